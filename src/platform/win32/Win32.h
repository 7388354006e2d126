#pragma once
// What the Windows modules add to the window service (platform/Window.h)
// when they link the Win32 back end. A window made with a native parent is
// a child HWND of it at (0, 0), visible, of a window class that the module
// registers on first use and unregisters when it is unloaded. The class has
// no background brush and the window answers WM_ERASEBKGND itself, so
// nothing is erased before a paint and nothing flashes. Its messages come
// through the host's message loop: mouse input (with the mouse captured
// while a button is held), and WM_PAINT, which paints the form and puts the
// painted part of the pixels on the screen with SetDIBitsToDevice. Keys are
// not taken: they stay with the host's windows. A window made without a
// parent has no HWND; it carries timers only.
//
// Timers are SetTimer timers of one message-only window, which lives while
// any timer runs. When the last window goes, a pointer the services hid is
// shown again.

#include <cstdint>

namespace tarnwick::platform {
class Window;
}

namespace tarnwick::platform::win32 {

// The HWND of a window of this back end, 0 when it has none: made without a
// parent, the parent was not a window, or the parent (and with it ours) was
// destroyed by its owner.
std::uintptr_t NativeWindow(const Window& window);

// Whether the module's window class is registered now.
bool WindowClassRegistered();

}  // namespace tarnwick::platform::win32
