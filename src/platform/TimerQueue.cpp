#include "platform/TimerQueue.h"

#include <algorithm>
#include <vector>

#include "platform/Window.h"

namespace tarnwick::platform {

bool TimerQueue::Start(std::uintptr_t window, std::uintptr_t id, std::uint32_t periodMs,
                       TimerCallback onTick, std::uint64_t now) {
    if (!onTick) return false;
    timers_[{window, id}] = Timer{now + periodMs, periodMs, ++nextSerial_, std::move(onTick)};
    return true;
}

bool TimerQueue::Stop(std::uintptr_t window, std::uintptr_t id) {
    return timers_.erase({window, id}) != 0;
}

void TimerQueue::Deliver(std::uint64_t (*clock)()) {
    if (delivering_) return;
    Delivery delivery;
    const std::uint64_t now = clock();
    struct Due {
        std::uint64_t due, serial;
        Name name;
    };
    std::vector<Due> due;
    for (const auto& [name, t] : timers_)
        if (t.due <= now) due.push_back({t.due, t.serial, name});
    if (due.empty()) return;
    std::sort(due.begin(), due.end(), [](const Due& a, const Due& b) {
        return a.due != b.due ? a.due < b.due : a.serial < b.serial;
    });

    delivering_ = true;
    struct Done {
        bool& flag;
        ~Done() { flag = false; }
    } done{delivering_};
    for (const Due& d : due) {
        // An earlier callback may have stopped or replaced this timer.
        auto it = timers_.find(d.name);
        if (it == timers_.end() || it->second.serial != d.serial) continue;
        if (d.name.first != 0 && !WindowFromHandle(d.name.first)) {
            timers_.erase(it);
            continue;
        }
        it->second.due = clock() + it->second.period;
        // A copy: the callback may stop its own timer, destroying the original.
        const TimerCallback onTick = it->second.onTick;
        onTick();
    }
}

}  // namespace tarnwick::platform
