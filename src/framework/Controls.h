#pragma once
// Controls: windowless ones (TControl) and those with a window of their own
// (TWinControl), with message dispatch through a replaceable window procedure.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Classes.h"
#include "framework/Gdi.h"
#include "framework/Graphics.h"
#include "framework/Messages.h"

namespace tarnwick::platform {
class Window;
}

class TWinControl;

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
    // Negative sizes become 0.
    virtual void SetBounds(int Left, int Top, int Width, int Height);
    TRect BoundsRect() const { return {Left_, Top_, Left_ + Width_, Top_ + Height_}; }
    TRect ClientRect() const { return {0, 0, Width_, Height_}; }

    bool Visible() const { return Visible_; }
    void SetVisible(bool Value);

    // Every message to the control goes through WindowProc, which is WndProc
    // until someone replaces it. Setting an empty procedure puts WndProc back.
    const TWndMethod& WindowProc() const { return WindowProc_; }
    void SetWindowProc(TWndMethod Value);
    // Sends a message through WindowProc and answers its result.
    std::int32_t Perform(std::uint32_t Msg, std::uint32_t WParam, std::int32_t LParam);

    // Asks for the control's area to be painted again.
    virtual void Invalidate();

    // A control is stored inside its parent in a form stream.
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* Parent) override;

protected:
    // The control's own handling: extra work around dispatch goes here.
    virtual void WndProc(TMessage& Message);
    // Handlers by message number: an override handles its messages and
    // passes the rest to the inherited Dispatch; what nobody handles ends in
    // DefaultHandler.
    virtual void Dispatch(TMessage& Message);
    virtual void DefaultHandler(TMessage& Message);

private:
    TWinControl* Parent_ = nullptr;
    int Left_ = 0;
    int Top_ = 0;
    int Width_ = 0;
    int Height_ = 0;
    bool Visible_ = true;
    TWndMethod WindowProc_;
};

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

    // The control's window, made on first use. ParentWindow is the native
    // window it is made a child of (0 for none).
    HWND Handle();
    bool HandleAllocated() const { return Window_ != nullptr; }
    std::uintptr_t ParentWindow() const { return ParentWindow_; }
    void SetParentWindow(std::uintptr_t Value) { ParentWindow_ = Value; }

    void SetBounds(int Left, int Top, int Width, int Height) override;
    void Invalidate() override;
    // Stream children: for the root, first its components that are not
    // controls; then the child controls the root owns, in z-order.
    void GetChildren(const TGetChildProc& Proc, TComponent* Root) override;
    // Marks part of the client area for painting (nothing without a window
    // or a visible parent to show it).
    void InvalidateRect(const TRect& Rect);

protected:
    virtual void CreateWnd();
    virtual void DestroyWnd();

private:
    std::vector<TControl*> Controls_;
    std::unique_ptr<tarnwick::platform::Window> Window_;
    std::uintptr_t ParentWindow_ = 0;
};

// Delivers a message to the window's procedure; 0 for an unknown window.
std::int32_t SendMessage(HWND Window, std::uint32_t Msg, std::uint32_t WParam, std::int32_t LParam);
