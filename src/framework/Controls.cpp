#include "framework/Controls.h"

#include <algorithm>

#include "platform/Window.h"

// ---- TControl ----------------------------------------------------------------

TW_IMPLEMENT_CLASS(TControl) {
    b.Property("Left", &TControl::Left, &TControl::SetLeft).Default(0);
    b.Property("Top", &TControl::Top, &TControl::SetTop).Default(0);
    b.Property("Width", &TControl::Width, &TControl::SetWidth).Default(0);
    b.Property("Height", &TControl::Height, &TControl::SetHeight).Default(0);
    b.Property("Visible", &TControl::Visible, &TControl::SetVisible).Default(true);
}

TControl::TControl(TComponent* Owner) : TComponent(Owner) { SetWindowProc({}); }

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* Parent) {
    if (Parent == Parent_) return;
    for (TControl* p = Parent; p; p = p->Parent())
        if (p == this) throw EInvalidOperation("Control cannot be its own parent");
    if (Parent_) {
        Invalidate();  // the old parent shows what was under the control
        Parent_->RemoveControl(this);
    }
    Parent_ = Parent;
    if (Parent_) {
        Parent_->InsertControl(this);
        Invalidate();
    }
}

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
    Width = std::max(Width, 0);
    Height = std::max(Height, 0);
    if (Left == Left_ && Top == Top_ && Width == Width_ && Height == Height_) return;
    Invalidate();
    Left_ = Left;
    Top_ = Top;
    Width_ = Width;
    Height_ = Height;
    Invalidate();
}

void TControl::SetVisible(bool Value) {
    if (Value == Visible_) return;
    // Invalidate while visible, so the area is repainted either way.
    if (Visible_) Invalidate();
    Visible_ = Value;
    if (Visible_) Invalidate();
}

void TControl::SetWindowProc(TWndMethod Value) {
    if (Value)
        WindowProc_ = std::move(Value);
    else
        WindowProc_ = [this](TMessage& m) { WndProc(m); };
}

std::int32_t TControl::Perform(std::uint32_t Msg, std::uint32_t WParam, std::int32_t LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    // A copy, so that a procedure may replace itself while it runs.
    TWndMethod proc = WindowProc_;
    proc(m);
    return m.Result;
}

void TControl::Invalidate() {
    if (Visible_ && Parent_) Parent_->InvalidateRect(BoundsRect());
}

TComponent* TControl::GetParentComponent() const { return Parent_; }

void TControl::SetParentComponent(TComponent* Parent) {
    if (auto* w = dynamic_cast<TWinControl*>(Parent)) SetParent(w);
}

void TControl::WndProc(TMessage& Message) { Dispatch(Message); }

void TControl::Dispatch(TMessage& Message) { DefaultHandler(Message); }

void TControl::DefaultHandler(TMessage&) {}

// ---- TWinControl --------------------------------------------------------------

TW_IMPLEMENT_CLASS(TWinControl) {}

TWinControl::TWinControl(TComponent* Owner) : TControl(Owner) {}

TWinControl::~TWinControl() {
    // Child controls belong to their owners, not to their parent: they are
    // only let go of here.
    while (!Controls_.empty()) Controls_.back()->SetParent(nullptr);
    DestroyWnd();
}

TControl* TWinControl::Controls(int Index) const {
    if (Index < 0 || Index >= ControlCount())
        throw EListError("List index out of bounds (" + IntToStr(Index) + ")");
    return Controls_[static_cast<std::size_t>(Index)];
}

void TWinControl::InsertControl(TControl* Control) {
    if (std::find(Controls_.begin(), Controls_.end(), Control) == Controls_.end())
        Controls_.push_back(Control);
}

void TWinControl::RemoveControl(TControl* Control) { std::erase(Controls_, Control); }

void TWinControl::Broadcast(TMessage& Message) {
    // By index: a control may leave the list while it handles the message.
    for (std::size_t i = 0; i < Controls_.size(); ++i) {
        TWndMethod proc = Controls_[i]->WindowProc();
        proc(Message);
        if (Message.Result != 0) return;
    }
}

void TWinControl::NotifyControls(std::uint32_t Msg) {
    for (std::size_t i = 0; i < Controls_.size(); ++i) Controls_[i]->Perform(Msg, 0, 0);
}

void TWinControl::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
    TControl::GetChildren(Proc, Root);
    for (std::size_t i = 0; i < Controls_.size(); ++i)
        if (Controls_[i]->Owner() == Root) Proc(Controls_[i]);
}

HWND TWinControl::Handle() {
    if (!Window_) CreateWnd();
    return reinterpret_cast<HWND>(Window_->Handle());
}

void TWinControl::CreateWnd() {
    Window_ = tarnwick::platform::CreateChildWindow(ParentWindow_, Width(), Height());
    Window_->SetMessageHandler(
        [this](std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) {
            return Perform(msg, wParam, lParam);
        });
}

void TWinControl::DestroyWnd() { Window_.reset(); }

void TWinControl::SetBounds(int Left, int Top, int Width, int Height) {
    TControl::SetBounds(Left, Top, Width, Height);
    if (Window_) Window_->SetSize(this->Width(), this->Height());
}

void TWinControl::Invalidate() { InvalidateRect(ClientRect()); }

void TWinControl::InvalidateRect(const TRect& Rect) {
    if (Window_) {
        Window_->Invalidate({Rect.Left, Rect.Top, Rect.Right, Rect.Bottom});
        return;
    }
    // Without a window of its own the control is painted by its parent.
    if (Visible() && Parent())
        Parent()->InvalidateRect(
            {Rect.Left + Left(), Rect.Top + Top(), Rect.Right + Left(), Rect.Bottom + Top()});
}

std::int32_t SendMessage(HWND Window, std::uint32_t Msg, std::uint32_t WParam,
                         std::int32_t LParam) {
    auto* w = tarnwick::platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(Window));
    return w ? w->Send(Msg, WParam, LParam) : 0;
}
