#pragma once
// The windowless bitmap control. It lives inside a bitmap container, which
// lends it a scratch surface holding what lies under it; the control paints
// itself there and the container blends the result back with the control's
// Opacity. The base adds what a control without a window lacks: a keyboard
// focus and tab order kept by the container, hot tracking, an accelerator,
// auto-repeat of a held left button, picture links, features, and controls
// that move along with it.

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "controls/cDIBFeatures.h"
#include "controls/cDIBTimer.h"
#include "dib/cDIB.h"
#include "dib/cDIBImageList.h"
#include "framework/Controls.h"
#include "framework/Graphics.h"

class TCustomDIBContainer;

TW_DECLARE_EXCEPTION(EDIBControlError, Exception);

// Told to a bitmap control (and whoever watches its messages) when a run of
// wheel notches over it has ended.
inline constexpr std::uint32_t CM_WHEELGESTUREEND = CM_BASE + 0x50;

enum class TWantKey : std::uint8_t { wkTab, wkArrows, wkAllKeys };
TW_ENUM(TWantKey, "wkTab", "wkArrows", "wkAllKeys");
using TWantKeys = TSet<TWantKey>;

// Carries a picture through a component stream: its published DIB is a
// reference, so reading fills the bitmap it points at.
class TDIBWrapper : public TComponent {
    TW_CLASS(TDIBWrapper, TComponent)
public:
    explicit TDIBWrapper(TComponent* Owner, TMemoryDIB* DIB = nullptr)
        : TComponent(Owner), DIB_(DIB) {}
    TMemoryDIB* DIB() const { return DIB_; }

private:
    TMemoryDIB* DIB_;
};

// The same for the object of a class-valued template property.
class TPersistentWrapper : public TComponent {
    TW_CLASS(TPersistentWrapper, TComponent)
public:
    explicit TPersistentWrapper(TComponent* Owner, TPersistent* Persistent = nullptr)
        : TComponent(Owner), Persistent_(Persistent) {}
    TPersistent* Persistent() const { return Persistent_; }

private:
    TPersistent* Persistent_;
};

class TCustomDIBControl : public TControl {
    TW_CLASS(TCustomDIBControl, TControl)

public:
    // Owner must be a container or own one: Exception "Owner cannot be nil"
    // or "Parent must be a TDIBContainer" otherwise.
    explicit TCustomDIBControl(TComponent* Owner);
    ~TCustomDIBControl() override;

    // A parent that is not a container is replaced by the first container
    // it owns; without one, Exception "Parent must be a TDIBContainer".
    void SetParent(TWinControl* NewParent) override;
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Invalidate() override;
    void Click() override;
    void Loaded() override;
    // The context menu: PopupMenu when set; otherwise the menu shared by
    // all bitmap controls, emptied and filled by this control's hooks, or
    // null when they leave it empty.
    TPopupMenu* GetPopupMenu() override;

    // The container the control sits in, or null.
    TCustomDIBContainer* Container() const;

    // The index in the container's tab list; -1 when not in it. Values are
    // kept within -1..32767. Without a container, or while loading, only
    // stored; applied when the control is parented or loaded.
    int DIBTabOrder() const;
    void SetDIBTabOrder(int Value);

    char Accelerator() const { return Accelerator_; }
    void SetAccelerator(char Value) { Accelerator_ = Value; }
    std::uint8_t Opacity() const { return Opacity_; }
    void SetOpacity(std::uint8_t Value);
    TCustomDIBImageList* DIBImageList() const { return DIBImageList_; }
    void SetDIBImageList(TCustomDIBImageList* Value);
    TDIBFeatures* DIBFeatures() const { return DIBFeatures_.get(); }
    TControlList* Children() const { return Children_.get(); }
    bool AutoRepeat() const { return AutoRepeat_; }
    void SetAutoRepeat(bool Value) { AutoRepeat_ = Value; }
    int RepeatInterval() const { return RepeatInterval_; }
    void SetRepeatInterval(int Value) { RepeatInterval_ = Value; }
    TWantKeys WantKeys() const { return WantKeys_; }
    void SetWantKeys(TWantKeys Value) { WantKeys_ = Value; }

    std::uint32_t ChangeStamp() const { return ChangeStamp_; }
    bool DIBFocused() const { return DIBFocused_; }
    bool Hot() const { return Hot_; }
    bool MouseInside() const { return MouseInside_; }
    // A run of wheel notches over the control is one gesture: it begins at
    // the first notch and lasts until kWheelGestureMs after the last, the
    // pointer leaving or the mouse input being cancelled; its end is told
    // as CM_WHEELGESTUREEND.
    static constexpr std::uint32_t kWheelGestureMs = 300;
    bool WheelGesture() const { return wheelGesture_; }
    bool NotLoaded() const { return notLoaded_; }
    // The surface the control paints into while the container paints it.
    TAbstractSuperDIB* Surface() const { return surface_; }
    void SetSurface(TAbstractSuperDIB* Value) { surface_ = Value; }
    TCanvas* Canvas() const { return Canvas_.get(); }

    // The properties templates carry, checked against the control's own
    // class on first use: a constructor of a base class cannot see the
    // properties its descendants publish. A name the class does not publish,
    // or one of a kind templates cannot carry, raises EDIBControlError.
    const std::vector<std::string>& TemplateProperties();

    TNotifyEvent OnPaint;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseLeave;
    TNotifyEvent OnBeforePaint;
    TNotifyEvent OnAfterPaint;
    TKeyEvent OnKeyDown;
    TKeyEvent OnKeyUp;
    TKeyPressEvent OnKeyPress;

    // The operations a bitmap control adds, in this order.
    virtual void DoAfterPaint();
    virtual void AdjustUpdateRect(TRect& Rect);
    virtual void DoBeforePaint();
    virtual void Highlight() {}
    virtual void Unhighlight() {}
    virtual void DoDIBEnter();
    virtual void DoDIBExit();
    virtual bool HandleKeyDown(TMessage& Message);
    virtual bool HandleKeyChar(TMessage& Message);
    virtual bool HandleKeyUp(TMessage& Message);
    virtual void PointerEnter();
    virtual void PointerLeave();
    virtual void LinkedImageChanged(int Index, bool Changed);
    virtual bool IsShortcutKey(TMessage& Message);
    virtual void Paint();
    virtual void StopRepeat();
    // Ends whatever a press started when the button-up will not come: the
    // capture went elsewhere. The base stops the auto-repeat, shows a pointer
    // the control hid and ends a deferred hot state.
    virtual void CaptureLost();
    // Templates: the look of a control (its linked pictures and its template
    // properties) to and from a stream; see cDIBControlTemplates.cpp.
    virtual void LoadTemplate(TStream& Stream);
    virtual void SaveTemplate(TStream& Stream);

protected:
    void Notification(TComponent* Component, TOperation Operation) override;
    void WndProc(TMessage& Message) override;
    void Dispatch(TMessage& Message) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // Key hooks; fire the events. A handler that sets Key to 0 takes it.
    virtual void KeyDown(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyUp(std::uint16_t& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    // The shared context menu's hooks: the base empties it and adds nothing.
    virtual void ClearContextMenu(TPopupMenu* Menu);
    virtual void FillContextMenu(TPopupMenu* Menu);

    // Makes a picture link of this control; it stays the descendant's to free.
    void AddImageLink(TDIBImageLink*& Link);
    void RemoveImageLink(TDIBImageLink* Link);
    void AddTemplateProperty(const std::string& Name);

    // Hides the pointer for a drag, once; ShowPointer undoes it, once. The
    // control keeps count, so a drag that ends by capture loss or
    // destruction gives the pointer back exactly once.
    void HidePointer();
    void ShowPointer();
    bool PointerHidden() const { return pointerHidden_; }
    // The auto-repeat of a held left button is running.
    bool Repeating() const { return repeatTimer_ && repeatTimer_->Enabled(); }

    // The whole notches in a turn of the wheel, the rest of a finer wheel's
    // turn kept for the next one (positive away from the user).
    int TakeWheelNotches(int WheelDelta);
    // A notch turned the control: begins its wheel gesture or makes it last.
    void WheelNotched();
    void EndWheelGesture();

    TShiftState LastShift() const { return shift_; }
    TPoint LastMousePos() const { return lastMouse_; }

private:
    friend class TCustomDIBContainer;  // reads the stored tab order
    void RepeatTick(TObject* Sender);
    void StartRepeat();
    void StopRepeatTimer();
    void PaintMessage();
    void DialogChar(TMessage& Message);
    bool KeyMessage(TMessage& Message, bool Char);
    void LeaveContainer();

    std::uint32_t ChangeStamp_ = 0;
    std::vector<TDIBImageLink*> imageLinks_;
    TCustomDIBImageList* DIBImageList_ = nullptr;
    std::unique_ptr<TCanvas> Canvas_;
    TAbstractSuperDIB* surface_ = nullptr;
    char Accelerator_ = 0;
    bool notLoaded_ = true;
    bool DIBFocused_ = false;
    bool stopRepeat_ = false;
    bool boundsGuard_ = false;
    std::unique_ptr<TControlList> Children_;
    bool AutoRepeat_ = false;
    int RepeatInterval_ = 250;
    TPoint lastMouse_{0, 0};
    TShiftState shift_;
    std::unique_ptr<TDIBTimer> repeatTimer_;
    std::unique_ptr<TDIBTimer> wheelTimer_;  // made at the first notch
    bool wheelGesture_ = false;
    int wheelRest_ = 0;
    TMessage storedPress_{};
    bool MouseInside_ = false;
    bool Hot_ = false;
    std::unique_ptr<TDIBFeatures> DIBFeatures_;
    std::uint8_t Opacity_ = 255;
    bool sizeUnchanged_ = false;
    std::vector<std::string> templateProperties_;
    bool templatePropertiesChecked_ = false;
    std::int16_t storedTabOrder_ = -1;
    TWantKeys WantKeys_{TWantKey::wkArrows};
    bool pointerHidden_ = false;
    TCustomDIBContainer* container_ = nullptr;  // the parent, while it is a container
};

// Hints, dragging and docking, which the published controls and the
// container store with a form and nothing more (the framework has none of
// them). StartDrag names the start-drag event, which one control stores
// under a spelling of its own.
template <class C>
void PublishHintsAndDragging(TClassBuilder<C>& b, const char* StartDrag = "OnStartDrag") {
    b.Property("DragCursor", &C::DragCursor_).Type(CursorTypeInfo()).Default(crDrag);
    b.Property("DragKind", &C::DragKind_).Default(dkDrag);
    b.Property("DragMode", &C::DragMode_).Default(dmManual);
    b.Property("Hint", &C::Hint_);
    b.Property("ParentShowHint", &C::ParentShowHint_).Default(true);
    b.Property("ShowHint", &C::ShowHint_).Default(false);
    b.Property("OnDragDrop", &C::OnDragDrop);
    b.Property("OnDragOver", &C::OnDragOver);
    b.Property("OnEndDock", &C::OnEndDock);
    b.Property("OnEndDrag", &C::OnEndDrag);
    b.Property("OnStartDock", &C::OnStartDock);
    b.Property(StartDrag, &C::OnStartDrag);
}

namespace tarnwick::controls {

// The range of a knob or slider. Max stays above Min, so neither end can be
// the extreme integer on the wrong side; a new end moves the other one and
// the position along, through the control's own setters, so that whatever
// they do besides (change events, layout) happens as from outside.
template <class Control>
void SetRangeMax(Control& control, int& max, int value) {
    max = std::max(value, std::numeric_limits<int>::min() + 1);
    if (control.Min() >= max) control.SetMin(max - 1);
    if (control.Position() > max) control.SetPosition(max);
}

template <class Control>
void SetRangeMin(Control& control, int& min, int value) {
    min = std::min(value, std::numeric_limits<int>::max() - 1);
    if (min >= control.Max()) control.SetMax(min + 1);
    if (control.Position() < min) control.SetPosition(min);
}

}  // namespace tarnwick::controls
