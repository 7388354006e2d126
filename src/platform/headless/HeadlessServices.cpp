// The headless back end of the session services: a virtual clock that only
// the caller moves, timers that fall due as it moves, a virtual pointer and
// modifier keys set by the caller.
#include <array>
#include <utility>

#include "platform/TimerQueue.h"
#include "platform/headless/HeadlessControl.h"

namespace tarnwick::platform {

namespace {

struct Services {
    std::uint64_t now = 0;  // wider than the tick count, so due times never wrap
    TimerQueue timers;
    bool refuseNext = false;
    PointerPosition pointer;
    int showCount = 0;
    std::array<bool, 3> modifiers{};
};

Services& State() {
    static Services services;
    return services;
}

}  // namespace

std::uint32_t TickCount() { return static_cast<std::uint32_t>(State().now); }

bool StartTimer(std::uintptr_t window, std::uintptr_t id, std::uint32_t periodMs,
                TimerCallback onTick) {
    Services& s = State();
    if (std::exchange(s.refuseNext, false)) return false;
    return s.timers.Start(window, id, periodMs, std::move(onTick), s.now);
}

bool StopTimer(std::uintptr_t window, std::uintptr_t id) { return State().timers.Stop(window, id); }

PointerPosition GetPointerPosition() { return State().pointer; }
void SetPointerPosition(PointerPosition position) { State().pointer = position; }
int ShowPointer(bool show) { return State().showCount += show ? 1 : -1; }

bool IsModifierDown(ModifierKey key) { return State().modifiers[static_cast<std::size_t>(key)]; }

namespace headless {

void AdvanceTime(std::uint32_t ms) {
    State().now += ms;
    State().timers.Deliver([] { return State().now; });
}

void RefuseNextTimer() { State().refuseNext = true; }
std::size_t RunningTimerCount() { return State().timers.Count(); }
int PointerShowCount() { return State().showCount; }

void SetModifierDown(ModifierKey key, bool down) {
    State().modifiers[static_cast<std::size_t>(key)] = down;
}

void ResetServices() { State() = Services{}; }

}  // namespace headless

}  // namespace tarnwick::platform
