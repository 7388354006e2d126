#include "framework/Controls.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "framework/Application.h"
#include "framework/Menus.h"
#include "framework/WinApi.h"
#include "framework/WindowNode.h"
#include "platform/Window.h"

using namespace tarnwick::framework;

// ---- TSizeConstraints ------------------------------------------------------------

TW_IMPLEMENT_CLASS(TSizeConstraints) {
    b.Property("MaxHeight", &TSizeConstraints::MaxHeight, &TSizeConstraints::SetMaxHeight)
        .Default(0);
    b.Property("MaxWidth", &TSizeConstraints::MaxWidth, &TSizeConstraints::SetMaxWidth).Default(0);
    b.Property("MinHeight", &TSizeConstraints::MinHeight, &TSizeConstraints::SetMinHeight)
        .Default(0);
    b.Property("MinWidth", &TSizeConstraints::MinWidth, &TSizeConstraints::SetMinWidth).Default(0);
}

void TSizeConstraints::SetMinWidth(int Value) {
    MinWidth_ = std::max(Value, 0);
    if (MaxWidth_ > 0 && MaxWidth_ < MinWidth_) MaxWidth_ = MinWidth_;
    Changed();
}

void TSizeConstraints::SetMinHeight(int Value) {
    MinHeight_ = std::max(Value, 0);
    if (MaxHeight_ > 0 && MaxHeight_ < MinHeight_) MaxHeight_ = MinHeight_;
    Changed();
}

void TSizeConstraints::SetMaxWidth(int Value) {
    MaxWidth_ = std::max(Value, 0);
    if (MaxWidth_ > 0 && MinWidth_ > MaxWidth_) MinWidth_ = MaxWidth_;
    Changed();
}

void TSizeConstraints::SetMaxHeight(int Value) {
    MaxHeight_ = std::max(Value, 0);
    if (MaxHeight_ > 0 && MinHeight_ > MaxHeight_) MinHeight_ = MaxHeight_;
    Changed();
}

void TSizeConstraints::Apply(int& Width, int& Height) const {
    if (MaxWidth_ > 0) Width = std::min(Width, MaxWidth_);
    if (MaxHeight_ > 0) Height = std::min(Height, MaxHeight_);
    Width = std::max(Width, MinWidth_);
    Height = std::max(Height, MinHeight_);
}

void TSizeConstraints::Assign(TPersistent* Source) {
    auto* s = dynamic_cast<TSizeConstraints*>(Source);
    if (!s) return TPersistent::Assign(Source);
    MinWidth_ = s->MinWidth_;
    MinHeight_ = s->MinHeight_;
    MaxWidth_ = s->MaxWidth_;
    MaxHeight_ = s->MaxHeight_;
    Changed();
}

void TSizeConstraints::Changed() {
    if (control_)
        control_->SetBounds(control_->Left(), control_->Top(), control_->Width(),
                            control_->Height());
}

// ---- TControl ----------------------------------------------------------------

TW_IMPLEMENT_CLASS(TControl) {
    b.Property("Left", &TControl::Left, &TControl::SetLeft).Default(0);
    b.Property("Top", &TControl::Top, &TControl::SetTop).Default(0);
    b.Property("Width", &TControl::Width, &TControl::SetWidth).Default(0);
    b.Property("Height", &TControl::Height, &TControl::SetHeight).Default(0);
    b.Property("Visible", &TControl::Visible, &TControl::SetVisible).Default(true);
    b.Property("Enabled", &TControl::Enabled, &TControl::SetEnabled).Default(true);
    b.Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor).Default(false);
    b.Property("Color", &TControl::Color, &TControl::SetColor)
        .Type(ColorTypeInfo())
        .Stored([](TObject* c) { return !static_cast<TControl*>(c)->ParentColor(); });
    b.Property("Font", &TControl::Font, &TControl::SetFont).Stored([](TObject* c) {
        return !static_cast<TControl*>(c)->ParentFont();
    });
    b.Property("ParentFont", &TControl::ParentFont, &TControl::SetParentFont).Default(true);
    b.Property("PopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu);
    b.Property("OnClick", &TControl::OnClick);
    b.Property("OnMouseDown", &TControl::OnMouseDown);
    b.Property("OnMouseMove", &TControl::OnMouseMove);
    b.Property("OnMouseUp", &TControl::OnMouseUp);
}

TControl::TControl(TComponent* Owner)
    : TComponent(Owner),
      Constraints_(std::make_unique<TSizeConstraints>(this)),
      Font_(std::make_unique<TFont>()) {
    SetWindowProc({});
    Font_->SetOnChange([this](TObject*) { FontChanged(); });
}

TControl::~TControl() {
    SetParent(nullptr);
    ForgetControl(this);
}

void TControl::SetParent(TWinControl* Parent) {
    if (Parent == Parent_) return;
    for (TControl* p = Parent; p; p = p->Parent())
        if (p == this) throw EInvalidOperation("Control cannot be its own parent");
    if (Parent_) {
        Invalidate();  // the old parent shows what was under the control
        Parent_->RemoveControl(this);
    }
    TWinControl* old = std::exchange(Parent_, Parent);
    if (old && Align_ != alNone) old->Realign();
    if (Parent_) {
        Parent_->InsertControl(this);
        Invalidate();
        if (ParentColor_) ColorChanged();
        if (ParentFont_) FollowParentFont();
        RequestAlign();
    }
}

void TControl::SetBounds(int Left, int Top, int Width, int Height) {
    Width = std::max(Width, 0);
    Height = std::max(Height, 0);
    Constraints_->Apply(Width, Height);
    if (Left == Left_ && Top == Top_ && Width == Width_ && Height == Height_) return;
    Invalidate();
    Left_ = Left;
    Top_ = Top;
    Width_ = Width;
    Height_ = Height;
    Invalidate();
    RequestAlign();
}

void TControl::SetAlign(TAlign Value) {
    if (Value == Align_) return;
    const TAlign old = std::exchange(Align_, Value);
    if (Value != alNone)
        RequestAlign();
    else if (old != alNone && Parent_)
        Parent_->Realign();
}

void TControl::RequestAlign() {
    if (Align_ != alNone && Parent_) Parent_->Realign();
}

void TControl::SetPopupMenu(TPopupMenu* Value) {
    if (Value == PopupMenu_) return;
    if (PopupMenu_) PopupMenu_->RemoveFreeNotification(this);
    PopupMenu_ = Value;
    if (Value) Value->FreeNotification(this);
}

void TControl::Notification(TComponent* Component, TOperation Operation) {
    TComponent::Notification(Component, Operation);
    if (Operation == TOperation::opRemove && Component == PopupMenu_) PopupMenu_ = nullptr;
}

void TControl::SetVisible(bool Value) {
    if (Value == Visible_) return;
    // Invalidate while visible, so the area is repainted either way.
    if (Visible_) Invalidate();
    Visible_ = Value;
    if (Visible_) Invalidate();
    if (!Visible_) {
        if (MouseCapture()) SetMouseCapture(false);
    }
    if (Align_ != alNone && Parent_) Parent_->Realign();
}

void TControl::SetEnabled(bool Value) {
    if (Value == Enabled_) return;
    Enabled_ = Value;
    if (!Enabled_ && MouseCapture()) SetMouseCapture(false);
    Perform(CM_ENABLEDCHANGED, 0, 0);
}

void TControl::SetText(const std::string& Value) {
    if (Value == Text_) return;
    Text_ = Value;
    Perform(CM_TEXTCHANGED, 0, 0);
}

TColor TControl::Color() const { return ParentColor_ && Parent_ ? Parent_->Color() : Color_; }

void TControl::SetColor(TColor Value) {
    if (Value == Color_ && !ParentColor_) return;
    Color_ = Value;
    ParentColor_ = false;
    ColorChanged();
}

void TControl::SetParentColor(bool Value) {
    if (Value == ParentColor_) return;
    // The colour shown so far is kept as the own one when following ends.
    if (!Value) Color_ = Color();
    ParentColor_ = Value;
    ColorChanged();
}

void TControl::SetParentFont(bool Value) {
    if (Value == ParentFont_) return;
    ParentFont_ = Value;
    if (Value) FollowParentFont();
}

void TControl::FollowParentFont() {
    if (!Parent_ || !ParentFont_) return;
    followingParent_ = true;
    try {
        Font_->Assign(Parent_->Font());
    } catch (...) {
        followingParent_ = false;
        throw;
    }
    followingParent_ = false;
}

void TControl::FontChanged() {
    if (!followingParent_) ParentFont_ = false;
    Perform(CM_FONTCHANGED, 0, 0);
}

bool IsAccel(std::uint16_t Key, const std::string& Caption) {
    for (std::size_t i = 0; i + 1 < Caption.size(); ++i) {
        if (Caption[i] != '&') continue;
        if (Caption[i + 1] == '&') {  // "&&" is a literal "&"
            ++i;
            continue;
        }
        const auto c = static_cast<unsigned char>(Caption[i + 1]);
        return Key < 256 && std::toupper(c) == std::toupper(static_cast<unsigned char>(Key));
    }
    return false;
}

bool TControl::CanAutoSize(int&, int&) { return false; }

bool TControl::MouseCapture() const { return CaptureControl() == this; }

void TControl::SetMouseCapture(bool Value) {
    if (Value == MouseCapture()) return;
    SetCaptureControl(Value ? this : nullptr);
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

void TControl::Click() { OnClick(this); }

TWinControl* TControl::TopParent() const {
    const TControl* c = this;
    while (c->Parent_) c = c->Parent_;
    return dynamic_cast<TWinControl*>(const_cast<TControl*>(c));
}

TComponent* TControl::GetParentComponent() const { return Parent_; }

void TControl::SetParentComponent(TComponent* Parent) {
    if (auto* w = dynamic_cast<TWinControl*>(Parent)) SetParent(w);
}

void TControl::WndProc(TMessage& Message) {
    if (IsClientMouseMessage(Message.Msg)) {
        MouseMessage(Message);
        return;
    }
    Dispatch(Message);
}

void TControl::MouseMessage(TMessage& Message) {
    const int x = MouseX(Message.LParam);
    const int y = MouseY(Message.LParam);
    TShiftState shift = MouseKeysToShiftState(Message.WParam);
    const bool events = !ControlStyle_.Contains(TControlStyleFlag::csNoStdEvents);
    switch (Message.Msg) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
            if (Message.Msg == WM_LBUTTONDBLCLK) shift.Include(TShiftStateFlag::ssDouble);
            if (ControlStyle_.Contains(TControlStyleFlag::csCaptureMouse)) SetMouseCapture(true);
            clicked_ = ControlStyle_.Contains(TControlStyleFlag::csClickEvents);
            Dispatch(Message);
            if (events) MouseDown(mbLeft, shift, x, y);
            if (events && Message.Msg == WM_LBUTTONDBLCLK) DblClick();
            return;
        case WM_LBUTTONUP: {
            const bool clicked = std::exchange(clicked_, false);
            if (ControlStyle_.Contains(TControlStyleFlag::csCaptureMouse)) SetMouseCapture(false);
            Dispatch(Message);
            if (clicked && x >= 0 && y >= 0 && x < Width_ && y < Height_) Click();
            if (events) MouseUp(mbLeft, shift, x, y);
            return;
        }
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            Dispatch(Message);
            if (events) MouseDown(Message.Msg == WM_RBUTTONDOWN ? mbRight : mbMiddle, shift, x, y);
            return;
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            Dispatch(Message);
            if (events) MouseUp(Message.Msg == WM_RBUTTONUP ? mbRight : mbMiddle, shift, x, y);
            return;
        case WM_MOUSEMOVE:
            // The left button went up where this control could not see it
            // (over another window, or while ours was hidden): what it held
            // ends now, and the move is a plain move.
            if (!(Message.WParam & MK_LBUTTON) && MouseCapture() &&
                ControlStyle_.Contains(TControlStyleFlag::csCaptureMouse)) {
                clicked_ = false;
                SetMouseCapture(false);
            }
            Dispatch(Message);
            if (events) MouseMove(shift, x, y);
            return;
        case WM_MOUSEWHEEL:
            Dispatch(Message);
            if (events) MouseWheel(shift, WheelDelta(Message.WParam), x, y);
            return;
        default: Dispatch(Message);
    }
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) { OnMouseMove(this, Shift, X, Y); }

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CM_HITTEST:
            Message.Result = 1;  // the whole rectangle is the control's
            return;
        case WM_CAPTURECHANGED: clicked_ = false; return;
        case CM_PARENTFONTCHANGED: FollowParentFont(); return;
        case CM_FONTCHANGED: Invalidate(); return;
        default: DefaultHandler(Message);
    }
}

void TControl::DefaultHandler(TMessage&) {}

// ---- TWinControl --------------------------------------------------------------

TW_IMPLEMENT_CLASS(TWinControl) {
    b.Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop).Default(false);
    b.Property("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder).Default(-1);
    b.Property("OnEnter", &TWinControl::OnEnter);
    b.Property("OnExit", &TWinControl::OnExit);
    b.Property("OnKeyDown", &TWinControl::OnKeyDown);
    b.Property("OnKeyPress", &TWinControl::OnKeyPress);
    b.Property("OnKeyUp", &TWinControl::OnKeyUp);
}

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
    if (std::find(Controls_.begin(), Controls_.end(), Control) != Controls_.end()) return;
    Controls_.push_back(Control);
    if (auto* w = dynamic_cast<TWinControl*>(Control)) {
        TabList_.push_back(w);
        if (Window_) w->Handle();
    }
}

void TWinControl::RemoveControl(TControl* Control) {
    std::erase(Controls_, Control);
    if (auto* w = dynamic_cast<TWinControl*>(Control)) {
        std::erase(TabList_, w);
        w->DestroyWnd();
    }
}

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

TControl* TWinControl::ControlAtPos(TPoint Pos, bool AllowDisabled) {
    for (std::size_t i = Controls_.size(); i-- > 0;) {
        TControl* c = Controls_[i];
        if (dynamic_cast<TWinControl*>(c) || !c->Visible() || (!AllowDisabled && !c->Enabled()))
            continue;
        const TRect r = c->BoundsRect();
        if (Pos.X < r.Left || Pos.X >= r.Right || Pos.Y < r.Top || Pos.Y >= r.Bottom) continue;
        if (c->Perform(CM_HITTEST, 0, MakeMouseLParam(Pos.X - r.Left, Pos.Y - r.Top)) != 0)
            return c;
    }
    return nullptr;
}

void TWinControl::GetChildren(const TGetChildProc& Proc, TComponent* Root) {
    TControl::GetChildren(Proc, Root);
    for (std::size_t i = 0; i < Controls_.size(); ++i)
        if (Controls_[i]->Owner() == Root) Proc(Controls_[i]);
}

HWND TWinControl::Handle() {
    if (!Window_) CreateWnd();
    return Window_->handle;
}

bool TWinControl::Showing() const {
    if (!Window_) return false;
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Visible()) return false;
    return true;
}

void TWinControl::CreateWnd() {
    if (Parent()) {
        Parent()->Handle();
        if (Window_) return;  // the parent made it with its own
        Window_ = std::make_unique<WindowNode>(this, nullptr);
    } else {
        auto native = tarnwick::platform::CreateChildWindow(ParentWindow_, Width(), Height());
        native->SetMessageHandler(
            [this](std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) {
                return WindowNode::NativeMessage(this, msg, wParam, lParam);
            });
        Window_ = std::make_unique<WindowNode>(this, std::move(native));
    }
    // A new window needs painting in full; what it covers in its parent is
    // its own now.
    ::InvalidateRect(Window_->handle, nullptr, TRUE);
    MakeChildWindows();
}

void TWinControl::MakeChildWindows() {
    for (std::size_t i = 0; i < Controls_.size(); ++i)
        if (auto* w = dynamic_cast<TWinControl*>(Controls_[i])) w->Handle();
}

void TWinControl::DestroyWnd() {
    if (!Window_) return;
    for (TControl* c : Controls_)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyWnd();
    const bool showing = Showing();
    const TRect area = BoundsRect();
    Window_.reset();
    // What the window covered shows its parent again.
    if (showing && Parent() && Parent()->HandleAllocated()) {
        const TPoint o = OriginInRoot(Parent());
        InvalidateArea(RootOf(Parent()),
                       {area.Left + o.X, area.Top + o.Y, area.Right + o.X, area.Bottom + o.Y});
    }
}

void TWinControl::SetBounds(int Left, int Top, int Width, int Height) {
    const TRect before = BoundsRect();
    const bool wasShowing = Showing();
    TControl::SetBounds(Left, Top, Width, Height);
    if (Window_ && Window_->native) Window_->native->SetSize(this->Width(), this->Height());
    if (before != BoundsRect()) ShowChange(before, wasShowing);
    if (before.Right - before.Left != this->Width() || before.Bottom - before.Top != this->Height())
        Realign();
}

void TWinControl::Realign() {
    if (aligning_) return;
    aligning_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{aligning_};
    TRect r = ClientRect();
    AdjustClientRect(r);
    AlignControls(r);
}

void TWinControl::AlignControls(TRect& Rect) {
    for (TAlign align : {alTop, alBottom, alLeft, alRight, alClient}) {
        std::vector<TControl*> list;
        for (TControl* c : Controls_)
            if (c->Align() == align && c->Visible()) list.push_back(c);
        // Nearest to its edge first; among equals, in z-order.
        const auto key = [align](const TControl* c) {
            int edge = 0;
            switch (align) {
                case alTop: edge = c->Top(); break;
                case alBottom: edge = -(c->Top() + c->Height()); break;
                case alLeft: edge = c->Left(); break;
                case alRight: edge = -(c->Left() + c->Width()); break;
                default: break;
            }
            return edge;
        };
        std::stable_sort(list.begin(), list.end(),
                         [&key](const TControl* a, const TControl* b) { return key(a) < key(b); });
        for (TControl* c : list) {
            const int w = std::max(Rect.Right - Rect.Left, 0);
            const int h = std::max(Rect.Bottom - Rect.Top, 0);
            switch (align) {
                case alTop:
                    c->SetBounds(Rect.Left, Rect.Top, w, c->Height());
                    Rect.Top += c->Height();
                    break;
                case alBottom:
                    c->SetBounds(Rect.Left, Rect.Bottom - c->Height(), w, c->Height());
                    Rect.Bottom -= c->Height();
                    break;
                case alLeft:
                    c->SetBounds(Rect.Left, Rect.Top, c->Width(), h);
                    Rect.Left += c->Width();
                    break;
                case alRight:
                    c->SetBounds(Rect.Right - c->Width(), Rect.Top, c->Width(), h);
                    Rect.Right -= c->Width();
                    break;
                default: c->SetBounds(Rect.Left, Rect.Top, w, h); break;
            }
        }
    }
}

void TWinControl::SetVisible(bool Value) {
    const bool wasShowing = Showing();
    TControl::SetVisible(Value);
    ShowChange(BoundsRect(), wasShowing);
}

// A child window moved, appeared or went: the area it left and the area it
// took are painted again in every window they reach.
void TWinControl::ShowChange(const TRect& Before, bool WasShowing) {
    if (!Window_ || Window_->native || !Parent()) return;
    TWinControl* root = RootOf(this);
    const TPoint o = OriginInRoot(Parent());
    const auto inRoot = [o](TRect r) {
        return TRect{r.Left + o.X, r.Top + o.Y, r.Right + o.X, r.Bottom + o.Y};
    };
    if (WasShowing) InvalidateArea(root, inRoot(Before));
    if (Showing()) InvalidateArea(root, inRoot(BoundsRect()));
}

void TWinControl::Invalidate() { InvalidateRect(ClientRect()); }

void TWinControl::InvalidateRect(const TRect& Rect) {
    if (Window_) {
        const RECT r{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
        ::InvalidateRect(Window_->handle, &r, TRUE);
        return;
    }
    // Without a window of its own the control is painted by its parent.
    if (Visible() && Parent())
        Parent()->InvalidateRect(
            {Rect.Left + Left(), Rect.Top + Top(), Rect.Right + Left(), Rect.Bottom + Top()});
}

void TWinControl::Update() {
    if (Window_) UpdateWindow(Window_->handle);
}

void TWinControl::WndProc(TMessage& Message) {
    if (IsClientMouseMessage(Message.Msg)) {
        // A windowless child under the pointer (or holding the capture for
        // this window) takes the message in its own coordinates.
        TControl* c = nullptr;
        TControl* holder = CaptureControl();
        if (Window_ && GetCapture() == Window_->handle)
            c = holder && holder->Parent() == this ? holder : nullptr;
        else
            c = ControlAtPos({MouseX(Message.LParam), MouseY(Message.LParam)}, false);
        if (c) {
            Message.Result = c->Perform(Message.Msg, Message.WParam,
                                        MakeMouseLParam(MouseX(Message.LParam) - c->Left(),
                                                        MouseY(Message.LParam) - c->Top()));
            return;
        }
    }
    TControl::WndProc(Message);
}

void TWinControl::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
            if (!KeyMessage(Message)) DefaultHandler(Message);
            return;
        case CN_KEYDOWN:
        case CN_SYSKEYDOWN: Message.Result = CNKeyDown(Message) ? 1 : 0; return;
        case CN_CHAR:
        case CN_SYSCHAR: Message.Result = CNChar(Message) ? 1 : 0; return;
        case WM_SETFOCUS:
            TopParent()->ControlFocused(this);
            DoEnter();
            return;
        case WM_KILLFOCUS: DoExit(); return;
        case CM_FOCUSCHANGED:
        case CM_DIALOGCHAR: Broadcast(Message); return;
        case CM_FONTCHANGED:
            NotifyControls(CM_PARENTFONTCHANGED);
            TControl::Dispatch(Message);
            return;
        case CM_ENABLEDCHANGED:
            if (!Enabled() && Focused()) ::SetFocus(nullptr);
            Invalidate();
            return;
        default: TControl::Dispatch(Message);
    }
}

void TWinControl::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            if (!Window_ || !BeginPaint(Window_->handle, &ps)) return;
            // Ended also when the paint fails, or the window could never
            // paint again.
            struct Ending {
                HWND window;
                PAINTSTRUCT& ps;
                ~Ending() { EndPaint(window, &ps); }
            } ending{Window_->handle, ps};
            PaintWindow(ps.hdc);
            PaintControls(ps.hdc);
            return;
        }
        case WM_SETCURSOR:
            // Unanswered, the parent window may choose.
            if (Parent())
                Message.Result = Parent()->Perform(Message.Msg, Message.WParam, Message.LParam);
            return;
        case CM_CHILDKEY:
            if (Parent())
                Message.Result = Parent()->Perform(Message.Msg, Message.WParam, Message.LParam);
            return;
        default: TControl::DefaultHandler(Message);
    }
}

void TWinControl::PaintControls(HDC DC) {
    // GDI handles are small numbers: the context fits the 32-bit WParam.
    const auto dc = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(DC));
    for (TControl* c : Controls_) {
        if (dynamic_cast<TWinControl*>(c) || !c->Visible()) continue;
        const RECT r{c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height()};
        if (!RectVisible(DC, &r)) continue;
        const int saved = SaveDC(DC);
        struct Restore {
            HDC dc;
            int saved;
            ~Restore() { RestoreDC(dc, saved); }
        } restore{DC, saved};
        OffsetViewportOrgEx(DC, r.left, r.top, nullptr);
        IntersectClipRect(DC, 0, 0, c->Width(), c->Height());
        c->Perform(WM_PAINT, dc, 0);
    }
}

// WM_KEYDOWN, WM_KEYUP, WM_CHAR: the form's preview first, then the hooks.
// True when the key was taken (the hook set it to 0).
bool TWinControl::KeyMessage(TMessage& Message) {
    if (TWinControl* top = TopParent(); top != this && top->PreviewKeyMessage(Message)) return true;
    if (ControlStyle().Contains(TControlStyleFlag::csNoStdEvents)) return false;
    if (Message.Msg == WM_CHAR) {
        char c = static_cast<char>(Message.WParam);
        KeyPress(c);
        Message.WParam = static_cast<unsigned char>(c);
        Message.Result = c == 0 ? 1 : 0;
        return c == 0;
    }
    auto key = static_cast<std::uint16_t>(Message.WParam);
    const TShiftState shift = KeyDataToShiftState(Message.LParam);
    if (Message.Msg == WM_KEYDOWN || Message.Msg == WM_SYSKEYDOWN)
        KeyDown(key, shift);
    else
        KeyUp(key, shift);
    Message.WParam = key;
    Message.Result = key == 0 ? 1 : 0;
    return key == 0;
}

// The reflected key-down: a key a child's container takes, or a dialog key
// (Tab) the form takes, unless the control asks for that key itself.
bool TWinControl::CNKeyDown(TMessage& Message) {
    if (IsMenuKey(Message)) return true;
    if (Perform(CM_CHILDKEY, Message.WParam,
                static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(Handle()))) != 0)
        return true;
    std::int32_t mask = 0;
    switch (Message.WParam) {
        case VK_TAB: mask = DLGC_WANTTAB; break;
        case 0x25:  // the arrows
        case 0x26:
        case 0x27:
        case 0x28: mask = DLGC_WANTARROWS; break;
        case 0x03:  // cancel, return, escape, execute
        case 0x0D:
        case 0x1B:
        case 0x2B: mask = DLGC_WANTALLKEYS; break;
    }
    if (mask == 0 || (Perform(WM_GETDLGCODE, 0, 0) & (mask | DLGC_WANTALLKEYS)) != 0) return false;
    return TopParent()->DialogMessage(CM_DIALOGKEY, Message.WParam, Message.LParam);
}

bool TWinControl::IsMenuKey(TMessage& Message) {
    if (!IsDesigning()) {
        for (TControl* c = this; c; c = c->Parent()) {
            TPopupMenu* menu = c->PopupMenu();
            if (menu && menu->WindowHandle() && menu->IsShortCut(Message)) return true;
        }
        if (TopParent()->IsShortCut(Message)) return true;
    }
    return Application->IsShortCut(Message);
}

// The reflected character: with Alt, or when the control does not want
// characters, it may be an accelerator of a control on the form.
bool TWinControl::CNChar(TMessage& Message) {
    if (Message.Msg == CN_CHAR && (Perform(WM_GETDLGCODE, 0, 0) & DLGC_WANTCHARS) != 0)
        return false;
    return TopParent()->DialogMessage(CM_DIALOGCHAR, Message.WParam, Message.LParam);
}

void TWinControl::KeyDown(std::uint16_t& Key, TShiftState Shift) { OnKeyDown(this, Key, Shift); }

void TWinControl::KeyUp(std::uint16_t& Key, TShiftState Shift) { OnKeyUp(this, Key, Shift); }

void TWinControl::KeyPress(char& Key) { OnKeyPress(this, Key); }

int TWinControl::TabOrder() const {
    if (!Parent()) return -1;
    const auto& list = Parent()->TabList_;
    const auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

void TWinControl::SetTabOrder(int Value) {
    if (!Parent() || Value < 0) return;
    auto& list = Parent()->TabList_;
    std::erase(list, this);
    list.insert(list.begin() + std::min<std::size_t>(static_cast<std::size_t>(Value), list.size()),
                this);
}

bool TWinControl::CanFocus() const {
    if (!Showing()) return false;
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Enabled()) return false;
    return true;
}

bool TWinControl::Focused() const { return Window_ && GetFocus() == Window_->handle; }

void TWinControl::SetFocus() {
    if (CanFocus()) ::SetFocus(Handle());
}

void TWinControl::GetTabOrderList(std::vector<TWinControl*>& List) const {
    for (TWinControl* c : TabList_) {
        List.push_back(c);
        c->GetTabOrderList(List);
    }
}

TWinControl* TWinControl::FindNextControl(TWinControl* Current, bool GoForward,
                                          bool CheckTabStop) const {
    std::vector<TWinControl*> list;
    GetTabOrderList(list);
    if (list.empty()) return nullptr;
    const auto n = static_cast<std::ptrdiff_t>(list.size());
    auto start = std::find(list.begin(), list.end(), Current) - list.begin();
    if (start == n) start = GoForward ? n - 1 : 0;
    for (std::ptrdiff_t step = 1; step <= n; ++step) {
        const std::ptrdiff_t i = ((start + (GoForward ? step : -step)) % n + n) % n;
        TWinControl* c = list[static_cast<std::size_t>(i)];
        if (c->CanFocus() && (!CheckTabStop || c->TabStop())) return c;
    }
    return nullptr;
}

bool TWinControl::SelectNext(TWinControl* Current, bool GoForward, bool CheckTabStop) {
    TWinControl* next = FindNextControl(Current, GoForward, CheckTabStop);
    if (!next) return false;
    next->SetFocus();
    return true;
}

TWinControl* FindControl(HWND Window) { return tarnwick::framework::ControlOfWindow(Window); }

std::int32_t SendMessage(HWND Window, std::uint32_t Msg, std::uint32_t WParam,
                         std::int32_t LParam) {
    TWinControl* c = FindControl(Window);
    return c ? c->Perform(Msg, WParam, LParam) : 0;
}
