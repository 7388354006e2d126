#pragma once
// What the Windows modules add to the window service (platform/Window.h)
// when they link the Win32 back end. A window made with a native parent is
// a child HWND of it at (0, 0), visible, of a window class that the module
// registers on first use and unregisters when it is unloaded. The class has
// no background brush and the window answers WM_ERASEBKGND itself, so
// nothing is erased before a paint and nothing flashes. Its messages come
// through the host's message loop: mouse input (with the mouse captured
// while a button is held), and WM_PAINT, which paints the form and puts the
// painted part of the pixels on the screen with SetDIBitsToDevice (also the
// first time the host shows its window, however long after the editor
// opened). A capture taken away mid-press tells the window kCancelMode:
// another window took it, the system cancelled modes, the window was hidden
// or destroyed (or, where the message reaches a child, the application was
// deactivated); what a child window is not told (the host hid its own
// window, the button went up over another window) is found at the host's
// idle calls (PumpWindows). Keys are not taken: they stay with the host's
// windows. A window made without a parent has no HWND; it carries timers
// only.
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

}  // namespace tarnwick::platform::win32
