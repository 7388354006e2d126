#include "platform/TimerQueue.h"

#include <algorithm>

#include "platform/Window.h"

namespace tarnwick::platform {

TimerQueue::Timer* TimerQueue::Find(const Name& name) {
    for (Entry& e : timers_)
        if (e.name == name) return &e.timer;
    return nullptr;
}

bool TimerQueue::Start(std::uintptr_t window, std::uintptr_t id, std::uint32_t periodMs,
                       TimerCallback onTick, std::uint64_t now) {
    if (!onTick) return false;
    Timer timer{now + periodMs, periodMs, ++nextSerial_, std::move(onTick)};
    if (Timer* t = Find({window, id}))
        *t = std::move(timer);
    else
        timers_.push_back({{window, id}, std::move(timer)});
    nextDue_ = std::min(nextDue_, now + periodMs);
    return true;
}

bool TimerQueue::Stop(std::uintptr_t window, std::uintptr_t id) {
    const Name name{window, id};
    const auto it = std::find_if(timers_.begin(), timers_.end(),
                                 [&](const Entry& e) { return e.name == name; });
    if (it == timers_.end()) return false;
    timers_.erase(it);
    return true;
}

[[gnu::hot]] void TimerQueue::FindNextDue() {
    nextDue_ = kNever;
    for (const Entry& e : timers_) nextDue_ = std::min(nextDue_, e.timer.due);
}

[[gnu::hot]] void TimerQueue::Deliver(std::uint64_t (*clock)()) {
    if (delivering_) return;
    const std::uint64_t now = clock();
    if (now < nextDue_) return;
    Delivery delivery;
    due_.clear();
    for (const Entry& e : timers_)
        if (e.timer.due <= now) due_.push_back({e.timer.due, e.timer.serial, e.name});
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
        Timer* t = Find(d.name);
        if (!t || t->serial != d.serial) continue;
        if (d.name.first != 0 && !WindowFromHandle(d.name.first)) {
            Stop(d.name.first, d.name.second);
            continue;
        }
        t->due = clock() + t->period;
        // Held here while it runs: the callback may stop or replace its own
        // timer, destroying the entry. It goes back to a timer that is still
        // the one it came from (moved, not copied: a tick allocates nothing).
        struct Held {
            TimerQueue& queue;
            const Due& due;
            TimerCallback onTick;
            ~Held() {
                Timer* back = queue.Find(due.name);
                if (back && back->serial == due.serial) back->onTick = std::move(onTick);
            }
        } held{*this, d, std::move(t->onTick)};
        held.onTick();
    }
}

}  // namespace tarnwick::platform
