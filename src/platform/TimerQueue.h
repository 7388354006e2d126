#pragma once
// The timers of the session services (Services.h), for back ends that
// service them from their own event handling: the headless one with its
// virtual clock, the X11 one from the host's idle calls. Times are
// milliseconds on the back end's clock, wide enough never to wrap.

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>

#include "platform/Services.h"

namespace tarnwick::platform {

class TimerQueue {
public:
    // Starts or replaces a timer, due one period after `now`; false for an
    // empty callback.
    bool Start(std::uintptr_t window, std::uintptr_t id, std::uint32_t periodMs,
               TimerCallback onTick, std::uint64_t now);
    bool Stop(std::uintptr_t window, std::uintptr_t id);

    // Delivers each timer that is due at clock() once, in order of due time
    // (then of starting), however many periods have passed: a late timer is
    // not caught up, as a window system coalesces timer messages. A timer's
    // next period starts when it is delivered, at clock() then. A timer whose
    // window has gone is dropped. Called from inside a callback it does
    // nothing.
    void Deliver(std::uint64_t (*clock)());

    std::size_t Count() const { return timers_.size(); }
    void Clear() { timers_.clear(); }

private:
    using Name = std::pair<std::uintptr_t, std::uintptr_t>;  // window, identifier
    struct Timer {
        std::uint64_t due = 0;
        std::uint32_t period = 0;
        std::uint64_t serial = 0;  // tells a replaced timer from the one it replaced
        TimerCallback onTick;
    };
    std::map<Name, Timer> timers_;
    std::uint64_t nextSerial_ = 0;
    bool delivering_ = false;
};

}  // namespace tarnwick::platform
