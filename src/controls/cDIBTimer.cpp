#include "controls/cDIBTimer.h"

// Forms name the timer by class.
static const bool kRegistered = (RegisterClasses({TDIBTimer::StaticClass()}), true);

TW_IMPLEMENT_CLASS(TDIBTimer) {
    b.Property("Enabled", &TDIBTimer::Enabled, &TDIBTimer::SetEnabled).Default(false);
    b.Property("Interval", &TDIBTimer::Interval, &TDIBTimer::SetInterval).Default(1000);
    b.Property("OnTimer", &TDIBTimer::OnTimer, &TDIBTimer::SetOnTimer);
}

TDIBTimer::TDIBTimer(TComponent* Owner) : TComponent(Owner) {}

TDIBTimer::~TDIBTimer() = default;

HWND TDIBTimer::WindowHandle() const { return windowHandle.Handle(); }

void TDIBTimer::SetEnabled(bool Value) {
    if (Value == Enabled_) return;
    Enabled_ = Value;
    UpdateTimer();
}

void TDIBTimer::SetInterval(std::uint32_t Value) {
    if (Value == Interval_) return;
    Interval_ = Value;
    UpdateTimer();
}

void TDIBTimer::SetOnTimer(TNotifyEvent Value) {
    OnTimer_ = std::move(Value);
    UpdateTimer();
}

[[gnu::hot]] void TDIBTimer::DoTimer() {
    if (OnTimer_) OnTimer_(this);
}

void TDIBTimer::UpdateTimer() {
    windowHandle.Stop();
    if (Interval_ == 0 || !Enabled_ || !OnTimer_) return;
    // Refused: the timer turns itself off, silently.
    if (!windowHandle.Start(this, Interval_, [this] { DoTimer(); })) Enabled_ = false;
}
