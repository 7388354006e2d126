#pragma once
// What a test or a command-line tool does to the headless back end's
// services (platform/Services.h): move the clock, which fires the timers that
// fall due, make the system refuse a timer, read the pointer's display
// counter and press modifier keys.

#include <cstddef>
#include <cstdint>

#include "platform/Services.h"

namespace tarnwick::platform::headless {

// Moves the clock on by `ms` and then delivers each timer that has fallen due
// once, in order of due time (then of starting), however many periods have
// passed: a late timer is not caught up, as a window system coalesces timer
// messages. A timer's next period starts when it is delivered. Called from
// inside a timer callback it only moves the clock.
void AdvanceTime(std::uint32_t ms);

// The next StartTimer answers false.
void RefuseNextTimer();

std::size_t RunningTimerCount();
int PointerShowCount();
void SetModifierDown(ModifierKey key, bool down);

// Back to the start: clock 0, no timers, no refusal pending, pointer at
// (0, 0) and shown (count 0), no modifier down.
void ResetServices();

}  // namespace tarnwick::platform::headless
