// The X11 back end of the session services: the monotonic clock, timers
// serviced by Pump, and the pointer and modifier keys as the X server has
// them while our connection is open (the last input event's otherwise).
#include <time.h>

#include <array>

#include "platform/Services.h"
#include "platform/TimerQueue.h"
#include "platform/x11/X11Session.h"

namespace tarnwick::platform {

namespace {

struct Services {
    TimerQueue timers;
    int showCount = 0;
    unsigned state = 0;  // X's button and modifier mask
    PointerPosition pointer;
};

[[gnu::hot]] Services& State() {
    static Services services;
    return services;
}

[[gnu::hot]] std::uint64_t NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<std::uint64_t>(ts.tv_sec) * 1000u +
           static_cast<std::uint64_t>(ts.tv_nsec) / 1000000u;
}

// Asks the server for the pointer and the modifier state, when connected.
void QueryPointer() {
    Display* d = x11::CurrentDisplay();
    if (!d) return;
    ::Window root = None, child = None;
    int rootX = 0, rootY = 0, x = 0, y = 0;
    unsigned mask = 0;
    XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &x, &y, &mask);
    x11::NoteInput(mask, rootX, rootY);
}

}  // namespace

std::uint32_t TickCount() { return static_cast<std::uint32_t>(NowMs()); }

bool StartTimer(std::uintptr_t window, std::uintptr_t id, std::uint32_t periodMs,
                TimerCallback onTick) {
    return State().timers.Start(window, id, periodMs, std::move(onTick), NowMs());
}

bool StopTimer(std::uintptr_t window, std::uintptr_t id) { return State().timers.Stop(window, id); }

PointerPosition GetPointerPosition() {
    QueryPointer();
    return State().pointer;
}

void SetPointerPosition(PointerPosition position) {
    State().pointer = position;
    Display* d = x11::CurrentDisplay();
    if (!d) return;
    XWarpPointer(d, None, DefaultRootWindow(d), 0, 0, 0, 0, position.x, position.y);
    XFlush(d);
}

int ShowPointer(bool show) {
    Services& s = State();
    const bool hidden = x11::PointerHidden();
    s.showCount += show ? 1 : -1;
    if (x11::PointerHidden() != hidden) x11::ApplyPointerVisibility();
    return s.showCount;
}

bool IsModifierDown(ModifierKey key) {
    QueryPointer();
    static constexpr std::array<unsigned, 3> masks = {ShiftMask, ControlMask, Mod1Mask};
    return (State().state & masks[static_cast<std::size_t>(key)]) != 0;
}

namespace x11 {

bool PointerHidden() { return State().showCount < 0; }

void NoteInput(unsigned state, int rootX, int rootY) {
    State().state = state;
    State().pointer = {rootX, rootY};
}

[[gnu::hot]] void DeliverTimers() { State().timers.Deliver(NowMs); }

[[gnu::hot]] bool TimersMayBeDue() { return State().timers.MayBeDue(NowMs()); }

}  // namespace x11

}  // namespace tarnwick::platform
