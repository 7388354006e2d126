#pragma once
// The editor's edits on their way from the main thread to the thread that
// processes: a ring of fixed size, one writer (the main thread) and one
// reader at a time (process on the audio thread, or flush), with no lock and
// nothing allocated on the reading side. When the ring is full the writer
// keeps the rest in a backlog of its own and hands it on later, so no edit
// is lost and the order stays; a run of values for one parameter then
// collapses into its last value.

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>

namespace tarnwick::clap {

struct Edit {
    enum Kind : std::uint8_t { Begin, Value, End };
    Kind kind;
    std::uint8_t param;
    float value;
};

class EditQueue {
public:
    static constexpr std::uint32_t kCapacity = 512;

    // The main thread's side.
    void submit(const Edit& edit) {
        if (backlog_.empty() && push(edit)) return;
        if (edit.kind == Edit::Value && !backlog_.empty() && backlog_.back().kind == Edit::Value &&
            backlog_.back().param == edit.param) {
            backlog_.back().value = edit.value;
            return;
        }
        backlog_.push_back(edit);
    }
    // Hands on what the ring had no room for; false while some is left.
    bool retry() {
        while (!backlog_.empty() && push(backlog_.front())) backlog_.pop_front();
        return backlog_.empty();
    }
    bool backlogged() const { return !backlog_.empty(); }

    // The reading side: the oldest edit, which stays until popped.
    bool peek(Edit& edit) const {
        const std::uint32_t read = read_.load(std::memory_order_relaxed);
        if (read == written_.load(std::memory_order_acquire)) return false;
        edit = ring_[read % kCapacity];
        return true;
    }
    void pop() {
        read_.store(read_.load(std::memory_order_relaxed) + 1, std::memory_order_release);
    }

private:
    bool push(const Edit& edit) {
        const std::uint32_t written = written_.load(std::memory_order_relaxed);
        if (written - read_.load(std::memory_order_acquire) >= kCapacity) return false;
        ring_[written % kCapacity] = edit;
        written_.store(written + 1, std::memory_order_release);
        return true;
    }

    std::array<Edit, kCapacity> ring_{};
    // Counters that only grow (and wrap): their difference is the fill.
    std::atomic<std::uint32_t> written_{0};
    std::atomic<std::uint32_t> read_{0};
    std::deque<Edit> backlog_;  // the main thread's alone
};

}  // namespace tarnwick::clap
