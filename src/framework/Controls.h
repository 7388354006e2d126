#pragma once
// Controls: windowless ones (TControl) and those with a window of their own
// (TWinControl), with message dispatch through a replaceable window procedure.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Graphics.h"
#include "framework/Keyboard.h"
#include "framework/Messages.h"
#include "gdi/Gdi.h"
#include "objects/Classes.h"

namespace tarnwick::framework {
struct WindowNode;
}

class TWinControl;
class TControl;
class TPopupMenu;

enum class TControlStyleFlag : uint8_t {
    csAcceptsControls,  // may hold child controls
    csCaptureMouse,     // takes the mouse capture while the left button is down
    csClickEvents,      // a press and release inside it is a click
    csOpaque,           // covers its whole rectangle: nothing under it is painted
    csNoStdEvents,      // mouse and key events are not fired
    csSetCaption,
    csFramed,
};
TW_ENUM(TControlStyleFlag, "csAcceptsControls", "csCaptureMouse", "csClickEvents", "csOpaque",
        "csNoStdEvents", "csSetCaption", "csFramed");
using TControlStyle = TSet<TControlStyleFlag>;

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };
TW_ENUM(TMouseButton, "mbLeft", "mbRight", "mbMiddle");

// Where a control sits in its parent: docked to an edge (in that order:
// top, bottom, left, right), filling what is left, or where its bounds say.
enum TAlign : uint8_t { alNone, alTop, alBottom, alLeft, alRight, alClient };
TW_ENUM(TAlign, "alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient");

enum class TAnchorKind : uint8_t { akLeft, akTop, akRight, akBottom };
TW_ENUM(TAnchorKind, "akLeft", "akTop", "akRight", "akBottom");
using TAnchors = TSet<TAnchorKind>;

// The least and largest size of a control; 0 is no limit. SetBounds keeps
// the control inside them, and a change applies them at once.
class TSizeConstraints : public TPersistent {
    TW_CLASS(TSizeConstraints, TPersistent)

public:
    explicit TSizeConstraints(TControl* Control) : control_(Control) {}

    int MinWidth() const { return MinWidth_; }
    int MinHeight() const { return MinHeight_; }
    int MaxWidth() const { return MaxWidth_; }
    int MaxHeight() const { return MaxHeight_; }
    // Negative values become 0; a minimum above the maximum raises the
    // maximum, a maximum below the minimum lowers the minimum.
    void SetMinWidth(int Value);
    void SetMinHeight(int Value);
    void SetMaxWidth(int Value);
    void SetMaxHeight(int Value);
    // Width and height brought inside the limits.
    void Apply(int& Width, int& Height) const;
    void Assign(TPersistent* Source) override;

private:
    void Changed();

    TControl* control_;
    int MinWidth_ = 0;
    int MinHeight_ = 0;
    int MaxWidth_ = 0;
    int MaxHeight_ = 0;
};

using TMouseEvent = TEvent<TObject*, TMouseButton, TShiftState, int, int>;
using TMouseMoveEvent = TEvent<TObject*, TShiftState, int, int>;
using TKeyEvent = TEvent<TObject*, std::uint16_t&, TShiftState>;
using TKeyPressEvent = TEvent<TObject*, char&>;

enum TBiDiMode : uint8_t {
    bdLeftToRight,
    bdRightToLeft,
    bdRightToLeftNoAlign,
    bdRightToLeftReadingOnly
};
TW_ENUM(TBiDiMode, "bdLeftToRight", "bdRightToLeft", "bdRightToLeftNoAlign",
        "bdRightToLeftReadingOnly");
enum TDragKind : uint8_t { dkDrag, dkDock };
TW_ENUM(TDragKind, "dkDrag", "dkDock");
enum TDragMode : uint8_t { dmManual, dmAutomatic };
TW_ENUM(TDragMode, "dmManual", "dmAutomatic");
enum TDragState : uint8_t { dsDragEnter, dsDragLeave, dsDragMove };
TW_ENUM(TDragState, "dsDragEnter", "dsDragLeave", "dsDragMove");

// (Sender, Source or Target, X, Y): a drop, or the end of a drag or dock.
using TDragDropEvent = TEvent<TObject*, TObject*, int, int>;
// (Sender, Source, X, Y, State, Accept).
using TDragOverEvent = TEvent<TObject*, TObject*, int, int, TDragState, bool&>;
// (Sender, DragObject).
using TStartDragEvent = TEvent<TObject*, TObject*&>;
// (Sender, MousePos, Handled).
using TContextPopupEvent = TEvent<TObject*, TPoint, bool&>;

// A control's window procedure. Whoever replaces one keeps the previous
// procedure and passes on the messages it does not handle.
using TWndMethod = std::function<void(TMessage&)>;

class TControl : public TComponent {
    TW_CLASS(TControl, TComponent)

public:
    explicit TControl(TComponent* Owner);
    ~TControl() override;

    TWinControl* Parent() const { return Parent_; }
    // Moves the control into Parent's list of controls (out of its previous
    // parent's); null takes it out. A control cannot be its own ancestor:
    // EInvalidOperation "Control cannot be its own parent".
    virtual void SetParent(TWinControl* Parent);

    int Left() const { return Left_; }
    int Top() const { return Top_; }
    int Width() const { return Width_; }
    int Height() const { return Height_; }
    void SetLeft(int Value) { SetBounds(Value, Top_, Width_, Height_); }
    void SetTop(int Value) { SetBounds(Left_, Value, Width_, Height_); }
    void SetWidth(int Value) { SetBounds(Left_, Top_, Value, Height_); }
    void SetHeight(int Value) { SetBounds(Left_, Top_, Width_, Value); }
    // Negative sizes become 0, and the size is kept within Constraints. A
    // change re-aligns the parent's children when this one is aligned.
    virtual void SetBounds(int Left, int Top, int Width, int Height);
    TRect BoundsRect() const { return {Left_, Top_, Left_ + Width_, Top_ + Height_}; }
    TRect ClientRect() const { return {0, 0, Width_, Height_}; }

    bool Visible() const { return Visible_; }
    virtual void SetVisible(bool Value);
    // Enabled is told to the control as CM_ENABLEDCHANGED.
    bool Enabled() const { return Enabled_; }
    void SetEnabled(bool Value);
    TControlStyle ControlStyle() const { return ControlStyle_; }
    void SetControlStyle(TControlStyle Value) { ControlStyle_ = Value; }

    // Caption and Text are one string, told to the control as CM_TEXTCHANGED.
    const std::string& Caption() const { return Text_; }
    void SetCaption(const std::string& Value) { SetText(Value); }
    const std::string& Text() const { return Text_; }
    void SetText(const std::string& Value);

    // With ParentColor the control shows its parent's colour (and follows it).
    TColor Color() const;
    void SetColor(TColor Value);
    bool ParentColor() const { return ParentColor_; }
    void SetParentColor(bool Value);

    // The control's font. With ParentFont (the default) the control shows a
    // copy of its parent's font and follows its changes; changing the font
    // itself ends that. Every change reaches the control as CM_FONTCHANGED,
    // and a windowed control passes it on to its children.
    TFont* Font() const { return Font_.get(); }
    void SetFont(TFont* Value) { Font_->Assign(Value); }
    bool ParentFont() const { return ParentFont_; }
    void SetParentFont(bool Value);

    // Whether the control can size itself, and to what; the base cannot.
    virtual bool CanAutoSize(int& NewWidth, int& NewHeight);

    // Public, not published: a class publishes those it offers.
    TSizeConstraints* Constraints() const { return Constraints_.get(); }
    TAlign Align() const { return Align_; }
    void SetAlign(TAlign Value);
    // Stored only: nothing moves a control by its anchors.
    TAnchors Anchors() const { return Anchors_; }
    void SetAnchors(TAnchors Value) { Anchors_ = Value; }

    // The control's context menu (published).
    TPopupMenu* PopupMenu() const { return PopupMenu_; }
    void SetPopupMenu(TPopupMenu* Value);
    // The menu a right click would show: PopupMenu here; a class may offer
    // one of its own.
    virtual TPopupMenu* GetPopupMenu() { return PopupMenu_; }

    // The control holds the mouse capture (set on a left press when the
    // style asks for it, released with the button).
    bool MouseCapture() const;
    void SetMouseCapture(bool Value);

    // Every message to the control goes through WindowProc, which is WndProc
    // until someone replaces it. Setting an empty procedure puts WndProc back.
    const TWndMethod& WindowProc() const { return WindowProc_; }
    void SetWindowProc(TWndMethod Value);
    // Sends a message through WindowProc and answers its result.
    std::int32_t Perform(std::uint32_t Msg, std::uint32_t WParam, std::int32_t LParam);

    // Asks for the control's area to be painted again.
    virtual void Invalidate();
    // Fires OnClick.
    virtual void Click();
    // The top-most window control this one is in: itself for a window
    // control without a parent, null for a windowless one without a parent.
    TWinControl* TopParent() const;

    // A control is stored inside its parent in a form stream.
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* Parent) override;

    TNotifyEvent OnClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;

    // Stored with a form and nothing more: hints, cursors, dragging,
    // docking, reading order and their events have no behaviour here.
    // Descendants publish those they offer.
    TBiDiMode BiDiMode_ = bdLeftToRight;
    TCursor Cursor_ = crDefault;
    TCursor DragCursor_ = crDrag;
    TDragKind DragKind_ = dkDrag;
    TDragMode DragMode_ = dmManual;
    std::string Hint_;
    bool ParentBiDiMode_ = true;
    bool ParentShowHint_ = true;
    bool ShowHint_ = false;
    TContextPopupEvent OnContextPopup;
    TNotifyEvent OnDblClick;
    TDragDropEvent OnDragDrop;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnEndDock;
    TDragDropEvent OnEndDrag;
    TStartDragEvent OnStartDock;
    TStartDragEvent OnStartDrag;

protected:
    // The control's own handling: extra work around dispatch goes here.
    virtual void WndProc(TMessage& Message);
    // Handlers by message number: an override handles its messages and
    // passes the rest to the inherited Dispatch; what nobody handles ends in
    // DefaultHandler.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

    // Mouse hooks, coordinates in the control's client area; the base fires
    // the events (unless the style has csNoStdEvents).
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    // The wheel turned by WheelDelta (WHEEL_DELTA a notch, positive away from
    // the user) over the control; the base does nothing.
    virtual void MouseWheel(TShiftState, int /*WheelDelta*/, int /*X*/, int /*Y*/) {}
    // The second press of a double click, after its MouseDown (which has
    // ssDouble in its shift state); the base fires OnDblClick.
    virtual void DblClick() { OnDblClick(this); }
    // The colour changed (own or parent's).
    virtual void ColorChanged() { Invalidate(); }
    void Notification(TComponent* Component, TOperation Operation) override;

private:
    void MouseMessage(TMessage& Message);
    void RequestAlign();
    void FontChanged();
    void FollowParentFont();

    TWinControl* Parent_ = nullptr;
    int Left_ = 0;
    int Top_ = 0;
    int Width_ = 0;
    int Height_ = 0;
    bool Visible_ = true;
    bool Enabled_ = true;
    bool ParentColor_ = false;
    bool clicked_ = false;  // pressed with click events: a release inside clicks
    TControlStyle ControlStyle_{TControlStyleFlag::csCaptureMouse,
                                TControlStyleFlag::csClickEvents};
    TColor Color_ = clWindow;
    std::string Text_;
    TWndMethod WindowProc_;
    std::unique_ptr<TSizeConstraints> Constraints_;
    TAlign Align_ = alNone;
    TAnchors Anchors_{TAnchorKind::akLeft, TAnchorKind::akTop};
    TPopupMenu* PopupMenu_ = nullptr;
    std::unique_ptr<TFont> Font_;
    bool ParentFont_ = true;
    bool followingParent_ = false;  // the font is being copied from the parent's
};

// Whether Key is the accelerator of Caption: the character after a single
// "&" ("&&" is a literal "&"), compared without regard to case.
bool IsAccel(std::uint16_t Key, const std::string& Caption);

class TWinControl : public TControl {
    TW_CLASS(TWinControl, TControl)

public:
    explicit TWinControl(TComponent* Owner);
    ~TWinControl() override;

    int ControlCount() const { return static_cast<int>(Controls_.size()); }
    TControl* Controls(int Index) const;  // EListError when out of range
    // Called by TControl::SetParent.
    void InsertControl(TControl* Control);
    void RemoveControl(TControl* Control);

    // Sends the message to each child control until one answers nonzero.
    void Broadcast(TMessage& Message);
    // Sends the message (parameters 0) to every child control.
    void NotifyControls(std::uint32_t Msg);

    // The topmost visible windowless child at Pos (client coordinates) that
    // answers CM_HITTEST with nonzero; disabled ones only when asked for.
    TControl* ControlAtPos(TPoint Pos, bool AllowDisabled);

    // The control's window, made on first use: a native window (a child of
    // ParentWindow, 0 for none) for a control without a windowed parent,
    // otherwise a window inside its parent's. Windowed children get theirs
    // with it.
    HWND Handle();
    bool HandleAllocated() const { return Window_ != nullptr; }
    std::uintptr_t ParentWindow() const { return ParentWindow_; }
    void SetParentWindow(std::uintptr_t Value) { ParentWindow_ = Value; }
    // Visible with every windowed ancestor, and with a window.
    bool Showing() const;
    // The 3-D look: a framed child (csFramed) gets a sunken frame drawn
    // around it by a parent that draws frames.
    bool Ctl3D() const { return Ctl3D_; }
    void SetCtl3D(bool Value) { Ctl3D_ = Value; }

    void SetBounds(int Left, int Top, int Width, int Height) override;
    void SetVisible(bool Value) override;
    void Invalidate() override;
    // Stream children: for the root, first its components that are not
    // controls; then the child controls the root owns, in z-order.
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
    // Marks part of the client area for painting (without a window, the
    // parent's window takes it).
    void InvalidateRect(const TRect& Rect);
    // Paints what is invalid in the window and its windowed children now.
    void Update();
    // Lays out the aligned children again (see TAlign) within the client
    // area; done by itself when the size changes or a child's alignment,
    // visibility or bounds do.
    void Realign();

    // Keyboard focus.
    bool TabStop() const { return TabStop_; }
    void SetTabStop(bool Value) { TabStop_ = Value; }
    // The position among the parent's windowed children in tab order; -1
    // (or any negative value) leaves the order as it is.
    int TabOrder() const;
    void SetTabOrder(int Value);
    // Showing, enabled with every ancestor.
    virtual bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    // The windowed descendants in tab order (depth first).
    void GetTabOrderList(std::vector<TWinControl*>& List) const;
    // The next (or previous) focusable descendant after Current in tab
    // order, wrapping around; null when there is none.
    TWinControl* FindNextControl(TWinControl* Current, bool GoForward, bool CheckTabStop) const;
    // Moves the focus there; false when there was nothing to move to.
    bool SelectNext(TWinControl* Current, bool GoForward, bool CheckTabStop);

    // What a form does for the controls on it, asked of their TopParent();
    // a window control that is no form does none of it.
    // A window on it took the focus.
    virtual void ControlFocused(TWinControl*) {}
    // Sees a key message of one of its controls before the control does:
    // true when it took the key.
    virtual bool PreviewKeyMessage(TMessage&) { return false; }
    // A key-down that may be one of its short cuts: true when taken.
    virtual bool IsShortCut(TMessage&) { return false; }
    // A dialog key (CM_DIALOGKEY) or an accelerator character
    // (CM_DIALOGCHAR) of one of its controls: true when taken.
    virtual bool DialogMessage(std::uint32_t, std::uint32_t, std::int32_t) { return false; }

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

protected:
    void WndProc(TMessage& Message) override;
    void Dispatch(TMessage& Message) override;
    void DefaultHandler(TMessage& Message) override;
    virtual void CreateWnd();
    virtual void DestroyWnd();
    // Draws the window's own content during WM_PAINT; nothing in the base.
    virtual void PaintWindow(HDC) {}
    // Paints the visible windowless children on DC after PaintWindow: each
    // gets WM_PAINT with DC (WParam) moved to its corner and clipped to it.
    void PaintControls(HDC DC);
    // The part of the client area the aligned children share; all of it in
    // the base.
    virtual void AdjustClientRect(TRect&) {}
    // Places the aligned children inside Rect, in order top, bottom, left,
    // right, client; those of one kind nearest to their edge first.
    virtual void AlignControls(TRect& Rect);
    // The short-cut test before a key-down reaches the control: the popup
    // menus of the control and its parents (those with a window), the
    // form's short cuts, then the application's key hook. True when one of
    // them took the key.
    bool IsMenuKey(TMessage& Message);
    // Key hooks; the base fires the events (unless csNoStdEvents).
    virtual void KeyDown(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyUp(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    // Focus arrived (OnEnter) or left (OnExit).
    virtual void DoEnter() { OnEnter(this); }
    virtual void DoExit() { OnExit(this); }

private:
    friend struct tarnwick::framework::WindowNode;
    void MakeChildWindows();
    void ShowChange(const TRect& Before, bool WasShowing);
    bool KeyMessage(TMessage& Message);
    bool CNKeyDown(TMessage& Message);
    bool CNChar(TMessage& Message);

    std::vector<TControl*> Controls_;
    std::vector<TWinControl*> TabList_;
    std::unique_ptr<tarnwick::framework::WindowNode> Window_;
    std::uintptr_t ParentWindow_ = 0;
    bool Ctl3D_ = true;
    bool TabStop_ = false;
    bool aligning_ = false;
};

// The window control a handle belongs to, or null.
TWinControl* FindControl(HWND Window);

// Delivers a message to the window's procedure; 0 for an unknown window.
std::int32_t SendMessage(HWND Window, std::uint32_t Msg, std::uint32_t WParam, std::int32_t LParam);
