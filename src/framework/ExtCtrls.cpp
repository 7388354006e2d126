#include "framework/ExtCtrls.h"

#include <algorithm>

#include "framework/Application.h"
#include "framework/WindowManager.h"
#include "platform/Window.h"

namespace tarnwick::framework {

namespace {
constexpr UINT_PTR kTimerId = 1;
}

bool TimerWindow::Start(TObject* sender, std::uint32_t interval, std::function<void()> onTick) {
    Stop();
    window_ = tarnwick::platform::CreateChildWindow(0, 0, 0);
    window_->SetMessageHandler(
        [sender, onTick = std::move(onTick)](std::uint32_t Msg, std::uint32_t, std::int32_t) {
            if (Msg == WM_TIMER) Application->Guard(sender, onTick);
            return 0;
        });
    if (SetTimer(Handle(), kTimerId, interval, nullptr) != 0) return true;
    window_.reset();
    return false;
}

TimerWindow::TimerWindow() = default;

TimerWindow::~TimerWindow() { Stop(); }

void TimerWindow::Stop() {
    if (!window_) return;
    KillTimer(Handle(), kTimerId);
    tarnwick::platform::RunAfterDelivery([window = window_.release()] { delete window; });
}

HWND TimerWindow::Handle() const {
    return window_ ? reinterpret_cast<HWND>(window_->Handle()) : nullptr;
}

}  // namespace tarnwick::framework

TW_IMPLEMENT_CLASS(TCustomPanel) {}

TW_IMPLEMENT_CLASS(TPanel) {
    b.Property("Align", &TPanel::Align, &TPanel::SetAlign).Default(alNone);
    b.Property("Alignment", &TPanel::Alignment, &TPanel::SetAlignment).Default(taCenter);
    b.Property("Anchors", &TPanel::Anchors, &TPanel::SetAnchors)
        .Default(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop});
    b.Property("BevelInner", &TPanel::BevelInner, &TPanel::SetBevelInner).Default(bvNone);
    b.Property("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter).Default(bvRaised);
    b.Property("BevelWidth", &TPanel::BevelWidth, &TPanel::SetBevelWidth).Default(1);
    b.Property("BorderStyle", &TPanel::BorderStyle, &TPanel::SetBorderStyle).Default(bsNone);
    b.Property("BorderWidth", &TPanel::BorderWidth, &TPanel::SetBorderWidth).Default(0);
    b.Property("Caption", &TPanel::Caption, &TPanel::SetCaption);
    b.Property("Constraints", &TPanel::Constraints);
}

static const bool kRegistered =
    (RegisterClasses({TPanel::StaticClass(), TTimer::StaticClass()}), true);

TCustomPanel::TCustomPanel(TComponent* Owner) : TWinControl(Owner) {
    SetControlStyle({TControlStyleFlag::csAcceptsControls, TControlStyleFlag::csCaptureMouse,
                     TControlStyleFlag::csClickEvents, TControlStyleFlag::csSetCaption,
                     TControlStyleFlag::csOpaque});
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

template <class T>
void TCustomPanel::SetFrame(T& Field, T Value) {
    if (Value == Field) return;
    Field = Value;
    Realign();
    Invalidate();
}

template void TCustomPanel::SetFrame<TBevelCut>(TBevelCut&, TBevelCut);

void TCustomPanel::SetBevelWidth(int Value) { SetFrame(BevelWidth_, std::max(Value, 1)); }

void TCustomPanel::SetBorderWidth(int Value) { SetFrame(BorderWidth_, std::max(Value, 0)); }

void TCustomPanel::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {
        const auto dc = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(Message.WParam));
        HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
        const RECT r{0, 0, Width(), Height()};
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        Message.Result = 1;
        return;
    }
    TWinControl::Dispatch(Message);
}

void TCustomPanel::AdjustClientRect(TRect& Rect) {
    int inset = BorderWidth_;
    if (BevelOuter_ != bvNone) inset += BevelWidth_;
    if (BevelInner_ != bvNone) inset += BevelWidth_;
    Rect = {Rect.Left + inset, Rect.Top + inset, Rect.Right - inset, Rect.Bottom - inset};
}

// ---- TTimer ---------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TTimer) {
    b.Property("Enabled", &TTimer::Enabled, &TTimer::SetEnabled).Default(true);
    b.Property("Interval", &TTimer::Interval, &TTimer::SetInterval).Default(1000);
    b.Property("OnTimer", &TTimer::OnTimer, &TTimer::SetOnTimer);
}

TTimer::TTimer(TComponent* Owner) : TComponent(Owner) {}

TTimer::~TTimer() = default;

void TTimer::SetEnabled(bool Value) {
    if (Value == Enabled_) return;
    Enabled_ = Value;
    UpdateTimer();
}

void TTimer::SetInterval(std::uint32_t Value) {
    if (Value == Interval_) return;
    Interval_ = Value;
    UpdateTimer();
}

void TTimer::SetOnTimer(TNotifyEvent Value) {
    OnTimer_ = std::move(Value);
    UpdateTimer();
}

void TTimer::Timer() { OnTimer_(this); }

void TTimer::UpdateTimer() {
    timer_.Stop();
    // A form being read sets Enabled, Interval and OnTimer one after the
    // other; the timer starts once they are all there.
    if (Interval_ == 0 || !Enabled_ || !OnTimer_ || IsLoading() || IsDesigning()) return;
    if (!timer_.Start(this, Interval_, [this] { Timer(); })) Enabled_ = false;
}

void TTimer::Loaded() {
    TComponent::Loaded();
    UpdateTimer();
}
