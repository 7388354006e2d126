#pragma once
// A periodic timer component that holds a system timer, and the hidden
// window the system delivers its ticks to, only while it actually runs: a
// library of many controls, each with its own timer, holds system resources
// only for the timers that tick.

#include <cstdint>
#include <memory>

#include "framework/ExtCtrls.h"
#include "gdi/Gdi.h"
#include "objects/Classes.h"

class TDIBTimer : public TComponent {
    TW_CLASS(TDIBTimer, TComponent)

public:
    explicit TDIBTimer(TComponent* Owner);
    ~TDIBTimer() override;

    // Calls OnTimer when one is assigned.
    virtual void DoTimer();

    // The timer runs exactly while it is Enabled, has a nonzero Interval and
    // an OnTimer handler, and the system granted it. Changing any of the three
    // starts a fresh period; a refused timer turns Enabled off.
    bool Enabled() const { return Enabled_; }
    void SetEnabled(bool Value);
    std::uint32_t Interval() const { return Interval_; }
    void SetInterval(std::uint32_t Value);
    const TNotifyEvent& OnTimer() const { return OnTimer_; }
    void SetOnTimer(TNotifyEvent Value);

    // The hidden window the ticks arrive at; null while the timer is off.
    HWND WindowHandle() const;

private:
    void UpdateTimer();

    std::uint32_t Interval_ = 1000;
    tarnwick::framework::TimerWindow windowHandle;
    TNotifyEvent OnTimer_;
    bool Enabled_ = false;
};
