#pragma once
// Input for a headless window, as a window system would deliver it: mouse
// events in the window's client coordinates with the buttons held (MK_
// flags), keys as key-down/up and characters (WM_ numbers). Tests drive
// forms with these instead of calling into controls.

#include <cstdint>

namespace tarnwick::platform {
class Window;
}

namespace tarnwick::platform::headless {

enum class Button { Left, Right, Middle };

void MouseMove(Window& window, int x, int y);
void MouseButton(Window& window, Button button, bool down, int x, int y);
// A press and release at one point.
void Click(Window& window, int x, int y);
// Two clicks at one point, the second a double click's (as a window system
// tells it: its press is kLeftDoubleClick).
void DoubleClick(Window& window, int x, int y);
// The wheel turned by `delta` (kWheelNotch a notch, positive away from the
// user) with the pointer at (x, y).
void Wheel(Window& window, int delta, int x, int y);
// A key down or up (with Alt held, the system's WM_SYSKEY… messages).
void Key(Window& window, std::uint16_t virtualKey, bool down, bool alt = false);
// A character (WM_CHAR; with Alt, WM_SYSCHAR).
void Char(Window& window, char c, bool alt = false);

}  // namespace tarnwick::platform::headless
