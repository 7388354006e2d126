#pragma once
// The timers of the session services (Services.h), for back ends that
// service them from their own event handling: the headless one with its
// virtual clock, the X11 one from the host's idle calls. Times are
// milliseconds on the back end's clock, wide enough never to wrap.

#include <cstddef>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

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
    // Whether a timer may be due at `now`: false only when none is, so that
    // a back end can skip its delivery (and what it wraps it in) cheaply.
    bool MayBeDue(std::uint64_t now) const { return now >= nextDue_; }

    std::size_t Count() const { return timers_.size(); }
    void Clear() {
        timers_.clear();
        nextDue_ = kNever;
    }

private:
    using Name = std::pair<std::uintptr_t, std::uintptr_t>;  // window, identifier
    struct Timer {
        std::uint64_t due = 0;
        std::uint32_t period = 0;
        std::uint64_t serial = 0;  // tells a replaced timer from the one it replaced
        TimerCallback onTick;
    };
    struct Due {
        std::uint64_t due, serial;
        Name name;
    };
    static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
    struct Entry {
        Name name;
        Timer timer;
    };
    void FindNextDue();
    Timer* Find(const Name& name);

    // A handful of timers in one block: a tick walks no tree of nodes
    // scattered over the heap.
    std::vector<Entry> timers_;
    // No timer is due before this (an early value only costs a look at the
    // timers): an idle call with nothing due touches none of them.
    std::uint64_t nextDue_ = kNever;
    std::vector<Due> due_;  // kept between deliveries, so that a tick allocates nothing
    std::uint64_t nextSerial_ = 0;
    bool delivering_ = false;
};

}  // namespace tarnwick::platform
