#pragma once
// The session services a window system gives besides windows: a millisecond
// clock, periodic timers on a window, the pointer (position and visibility)
// and the state of the modifier keys. Each binary links exactly one back end,
// which defines these functions (see Window.h): the headless one keeps them
// virtual and lets the caller move them (headless/HeadlessControl.h); a real
// back end asks the window system.
//
// All of them are called on the window thread only.

#include <cstdint>
#include <functional>

namespace tarnwick::platform {

// Milliseconds since some start, wrapping at 2^32.
std::uint32_t TickCount();

// Calls `onTick` every `periodMs` milliseconds from the window thread's event
// handling until stopped. A timer is named by its window handle (0 for a
// timer not tied to a window) and an identifier; starting one with a name in
// use replaces it and starts a fresh period. Answers false, and starts
// nothing, when the system refuses the timer. A timer whose window has gone
// stops by itself. The callback may start and stop timers, its own included.
using TimerCallback = std::function<void()>;
bool StartTimer(std::uintptr_t window, std::uintptr_t id, std::uint32_t periodMs,
                TimerCallback onTick);
// Answers false when no such timer runs.
bool StopTimer(std::uintptr_t window, std::uintptr_t id);

// The pointer, in screen coordinates.
struct PointerPosition {
    int x = 0;
    int y = 0;
    bool operator==(const PointerPosition&) const = default;
};
PointerPosition GetPointerPosition();
void SetPointerPosition(PointerPosition position);
// The pointer's display counter: `show` adds one, otherwise one is taken
// away; the pointer is shown while the counter is at least 0. Answers the
// new count.
int ShowPointer(bool show);

enum class ModifierKey { Shift, Control, Alt };
bool IsModifierDown(ModifierKey key);

}  // namespace tarnwick::platform
