// The headless back end of the session services: a virtual clock that only
// the caller moves, timers that fall due as it moves, a virtual pointer and
// modifier keys set by the caller.
#include <algorithm>
#include <array>
#include <map>
#include <utility>
#include <vector>

#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"

namespace tarnwick::platform {

namespace {

using TimerName = std::pair<std::uintptr_t, std::uintptr_t>;  // window, identifier

struct Timer {
    std::uint64_t due = 0;
    std::uint32_t period = 0;
    std::uint64_t serial = 0;  // tells a replaced timer from the one it replaced
    TimerCallback onTick;
};

struct Services {
    std::uint64_t now = 0;  // wider than the tick count, so due times never wrap
    std::map<TimerName, Timer> timers;
    std::uint64_t nextSerial = 0;
    bool refuseNext = false;
    bool delivering = false;
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
    if (std::exchange(s.refuseNext, false) || !onTick) return false;
    s.timers[{window, id}] = Timer{s.now + periodMs, periodMs, ++s.nextSerial, std::move(onTick)};
    return true;
}

bool StopTimer(std::uintptr_t window, std::uintptr_t id) {
    return State().timers.erase({window, id}) != 0;
}

PointerPosition GetPointerPosition() { return State().pointer; }
void SetPointerPosition(PointerPosition position) { State().pointer = position; }
int ShowPointer(bool show) { return State().showCount += show ? 1 : -1; }

bool IsModifierDown(ModifierKey key) { return State().modifiers[static_cast<std::size_t>(key)]; }

namespace headless {

void AdvanceTime(std::uint32_t ms) {
    Services& s = State();
    s.now += ms;
    if (s.delivering) return;

    struct Due {
        std::uint64_t due, serial;
        TimerName name;
    };
    std::vector<Due> due;
    for (const auto& [name, t] : s.timers)
        if (t.due <= s.now) due.push_back({t.due, t.serial, name});
    std::sort(due.begin(), due.end(), [](const Due& a, const Due& b) {
        return a.due != b.due ? a.due < b.due : a.serial < b.serial;
    });

    s.delivering = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{s.delivering};
    for (const Due& d : due) {
        // An earlier callback may have stopped or replaced this timer.
        auto it = s.timers.find(d.name);
        if (it == s.timers.end() || it->second.serial != d.serial) continue;
        if (d.name.first != 0 && !WindowFromHandle(d.name.first)) {
            s.timers.erase(it);
            continue;
        }
        it->second.due = s.now + it->second.period;
        // A copy: the callback may stop its own timer, destroying the original.
        const TimerCallback onTick = it->second.onTick;
        onTick();
    }
}

void RefuseNextTimer() { State().refuseNext = true; }
std::size_t RunningTimerCount() { return State().timers.size(); }
int PointerShowCount() { return State().showCount; }

void SetModifierDown(ModifierKey key, bool down) {
    State().modifiers[static_cast<std::size_t>(key)] = down;
}

void ResetServices() { State() = Services{}; }

}  // namespace headless

}  // namespace tarnwick::platform
