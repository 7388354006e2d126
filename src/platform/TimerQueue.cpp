#include "platform/TimerQueue.h"

#include <algorithm>

#include "platform/Window.h"

namespace tarnwick::platform {

bool TimerQueue::Start(std::uintptr_t window, std::uintptr_t id, std::uint32_t periodMs,
                       TimerCallback onTick, std::uint64_t now) {
    if (!onTick) return false;
    timers_[{window, id}] = Timer{now + periodMs, periodMs, ++nextSerial_, std::move(onTick)};
    nextDue_ = std::min(nextDue_, now + periodMs);
    return true;
}

bool TimerQueue::Stop(std::uintptr_t window, std::uintptr_t id) {
    return timers_.erase({window, id}) != 0;
}

void TimerQueue::FindNextDue() {
    nextDue_ = kNever;
    for (const auto& [name, t] : timers_) nextDue_ = std::min(nextDue_, t.due);
}

void TimerQueue::Deliver(std::uint64_t (*clock)()) {
    if (delivering_) return;
    const std::uint64_t now = clock();
    if (now < nextDue_) return;
    Delivery delivery;
    due_.clear();
    for (const auto& [name, t] : timers_)
        if (t.due <= now) due_.push_back({t.due, t.serial, name});
    if (due_.empty()) {
        FindNextDue();
        return;
    }
    std::sort(due_.begin(), due_.end(), [](const Due& a, const Due& b) {
        return a.due != b.due ? a.due < b.due : a.serial < b.serial;
    });

    delivering_ = true;
    // Callbacks start and stop timers (and may throw): the next due time
    // is found afresh however the delivery ends.
    struct Done {
        TimerQueue& queue;
        ~Done() {
            queue.delivering_ = false;
            queue.FindNextDue();
        }
    } done{*this};
    for (const Due& d : due_) {
        // An earlier callback may have stopped or replaced this timer.
        auto it = timers_.find(d.name);
        if (it == timers_.end() || it->second.serial != d.serial) continue;
        if (d.name.first != 0 && !WindowFromHandle(d.name.first)) {
            timers_.erase(it);
            continue;
        }
        it->second.due = clock() + it->second.period;
        // Held here while it runs: the callback may stop or replace its own
        // timer, destroying the entry. It goes back to a timer that is still
        // the one it came from (moved, not copied: a tick allocates nothing).
        struct Held {
            TimerQueue& queue;
            const Due& due;
            TimerCallback onTick;
            ~Held() {
                auto back = queue.timers_.find(due.name);
                if (back != queue.timers_.end() && back->second.serial == due.serial)
                    back->second.onTick = std::move(onTick);
            }
        } held{*this, d, std::move(it->second.onTick)};
        held.onTick();
    }
}

}  // namespace tarnwick::platform
