#include "controls/cDIBTimer.h"

#include "framework/Forms.h"
#include "framework/Messages.h"
#include "framework/WinApi.h"
#include "platform/Window.h"

namespace {
constexpr UINT_PTR kTimerId = 1;
}

// Forms name the timer by class.
static const bool kRegistered = (RegisterClasses({TDIBTimer::StaticClass()}), true);

TW_IMPLEMENT_CLASS(TDIBTimer) {
    b.Property("Enabled", &TDIBTimer::Enabled, &TDIBTimer::SetEnabled).Default(false);
    b.Property("Interval", &TDIBTimer::Interval, &TDIBTimer::SetInterval).Default(1000);
    b.Property("OnTimer", &TDIBTimer::OnTimer, &TDIBTimer::SetOnTimer);
}

TDIBTimer::TDIBTimer(TComponent* Owner) : TComponent(Owner) {}

TDIBTimer::~TDIBTimer() {
    Enabled_ = false;
    UpdateTimer();
    DestroyWindow();
}

HWND TDIBTimer::WindowHandle() const {
    return windowHandle ? reinterpret_cast<HWND>(windowHandle->Handle()) : nullptr;
}

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

void TDIBTimer::DoTimer() {
    if (OnTimer_) OnTimer_(this);
}

void TDIBTimer::DestroyWindow() {
    if (!windowHandle) return;
    KillTimer(WindowHandle(), kTimerId);
    // May run inside this window's own tick (a handler that stops or frees
    // its timer): the message handler touches nothing once the tick is done.
    windowHandle.reset();
}

void TDIBTimer::UpdateTimer() {
    DestroyWindow();
    if (Interval_ == 0 || !Enabled_ || !OnTimer_) return;
    windowHandle = tarnwick::platform::CreateChildWindow(0, 0, 0);
    windowHandle->SetMessageHandler([this](std::uint32_t Msg, std::uint32_t, std::int32_t) {
        // Everything but the tick is left to the default handling, which
        // answers 0.
        if (Msg == WM_TIMER) Tick();
        return 0;
    });
    if (SetTimer(WindowHandle(), kTimerId, Interval_, nullptr) == 0) {
        // Refused: the timer turns itself off, silently.
        Enabled_ = false;
        windowHandle.reset();
    }
}

void TDIBTimer::Tick() {
    // A failing handler must not end the ticks, nor reach the window system
    // (or a host) that delivered the tick: the application's handler has it.
    Application->Guard(this, [this] { DoTimer(); });
}
