#pragma once
// What the Linux module adds to the window service (platform/Window.h) when
// it links the X11 back end. The back end keeps one connection to the X
// server of its own, opened with the first window that has an X window and
// closed when the last one goes, so the host's connection is never touched.
// It starts no thread: everything happens in Pump, which the editor calls
// from the host's idle calls on the window thread.
//
// A window made with a native parent is an X child window of it at (0, 0),
// mapped; its messages are those of platform/Window.h. Until its first
// frame it has no background (the server never erases it, so nothing
// flashes); from then on the last frame presented is its background, a
// pixmap on the server, which the server shows by itself when the host
// maps the window (often after the editor has drawn) or uncovers it.
// Keyboard events are not selected: they go on to the host's window, so
// the host's own keys keep working over the editor. A window made without a parent has no
// X window; it carries timers only.

#include <cstdint>

namespace tarnwick::platform {
class Window;
}

namespace tarnwick::platform::x11 {

// Reads the pending events and delivers them to the windows' handlers as
// window messages (an area exposed before the first frame is invalidated,
// without erasing), then runs the timers that are due, then sends WM_PAINT
// to each window with invalidated rectangles and puts the bounding box of
// those rectangles of its pixels on the screen: one XPutImage into the
// frame and one XClearArea of the window. A window that nothing changed
// costs no request. Called from inside a handler or a timer it does
// nothing.
//
// When the X server goes away, the back end's connection notes it instead
// of ending the process (Xlib's default): its windows forget their X
// windows, the connection is closed without another request, and the
// editor stays alive with nothing on the screen; pumps and closing do
// nothing more on X. The IO error handler is the process's: ours passes
// the errors of other connections (the host's) on to the one it replaced.
void Pump();

// The X window of a window of this back end, 0 when it has none: made
// without a parent, the parent did not exist, or the parent (and with it
// our window) was destroyed by its owner.
std::uintptr_t NativeWindow(const Window& window);

// Whether the back end's connection to the X server is open.
bool Connected();

}  // namespace tarnwick::platform::x11
