#pragma once
// The window service: the one window a form is shown in, a child of a native
// window of the host's. A window has a size and a store of 32-bit pixels that
// the framework draws into (0x00RRGGBB, rows top-down, no padding), remembers
// which rectangles need painting, and hands the messages delivered to it to
// one handler, the framework's window procedure. That much is the same on
// every back end, so golden images are too.
//
// A back end adds the native side: it makes the native child window of the
// parent, resizes it, and presents invalidated rectangles of the pixels.
// Each binary links exactly one back end, which defines CreateChildWindow:
//   platform/headless  tests and command-line tools; nothing is shown, and
//                      pixels and invalid rectangles are read back
//   platform/x11       the Linux module
//   platform/win32     the Windows modules
// This layer and the layers above it never name a back end.

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tarnwick::platform {

struct WindowRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool Empty() const { return left >= right || top >= bottom; }
    bool operator==(const WindowRect&) const = default;
};

// Receives a message (number, two parameters) and answers with a result.
using WindowMessageHandler =
    std::function<std::int32_t(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam)>;

class Window {
public:
    // Sizes are limited so that the pixel store stays reasonable; larger or
    // negative requests are clamped.
    static constexpr int kMaxSize = 16384;

    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Nonzero and never reused: a handle outlives its window only as an
    // invalid handle.
    std::uintptr_t Handle() const { return handle_; }
    // The native window this one was made a child of (0 for none).
    std::uintptr_t NativeParent() const { return nativeParent_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    // A new size clears the pixels and makes the whole window invalid.
    virtual void SetSize(int width, int height);

    std::uint32_t* Pixels() { return pixels_.data(); }
    const std::uint32_t* Pixels() const { return pixels_.data(); }

    // Marks a rectangle (clipped to the window) as needing paint; an empty
    // one is ignored.
    virtual void Invalidate(const WindowRect& rect);
    void InvalidateAll() { Invalidate({0, 0, width_, height_}); }
    // The rectangles marked since the last call, in order; the list is emptied.
    std::vector<WindowRect> TakeInvalidated();
    // The bounding box of the rectangles marked since the last call (empty
    // when there were none); the list is emptied. What a back end presents.
    WindowRect TakeInvalidatedBox();
    bool HasInvalidated() const { return !invalid_.empty(); }

    void SetMessageHandler(WindowMessageHandler handler) { handler_ = std::move(handler); }
    // Delivers a message to the handler; 0 when there is none.
    std::int32_t Send(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam);

protected:
    // Windows are made by the back end's CreateChildWindow only.
    Window(std::uintptr_t nativeParent, int width, int height);

    // Sends a mouse message from the window system. A move that tells nothing
    // new (the point and keys of the last mouse message, as an enter or leave
    // where a motion or a button already was) is not sent again.
    void SendMouse(std::uint32_t msg, std::uint32_t keys, std::int32_t point);

private:
    std::uintptr_t handle_;
    std::uintptr_t nativeParent_;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint32_t> pixels_;
    std::vector<WindowRect> invalid_;
    WindowMessageHandler handler_;
    std::int32_t lastPoint_ = -1;  // (-1, -1): the pointer was never reported
    std::uint32_t lastKeys_ = ~0u;
};

// Makes a window as a child of a native parent window (0 for none). Defined
// by the back end the binary links.
std::unique_ptr<Window> CreateChildWindow(std::uintptr_t nativeParent, int width, int height);

// The live window with this handle (of any back end), or null.
Window* WindowFromHandle(std::uintptr_t handle);
// The handles of the live windows, oldest first: for a back end to go
// through its windows while handlers may make or destroy some.
std::vector<std::uintptr_t> WindowHandles();
// The oldest live window that `match` accepts, or null.
Window* WindowMatching(const std::function<bool(const Window&)>& match);
// Whether any live window has invalidated rectangles, without a look at
// any window: what an idle call that nothing changed asks.
bool AnyWindowInvalidated();

// What a host's call adds to bring the windows up to date on the screen: the
// pending input is delivered, due timers run and what changed is presented.
// Nothing where the system's own message loop drives the windows (Win32,
// headless). Defined by the back end.
void PumpWindows();
// The native window (X window, HWND) of a window, 0 when it has none: no
// window system, no parent, or the parent was destroyed by its owner.
std::uintptr_t NativeHandle(const Window& window);
// Whether a window made as a child of `nativeParent` would be shown: it is
// a live window of the window system. Cheap next to making the window.
bool IsNativeWindow(std::uintptr_t nativeParent);
// The file descriptor on which the window system's events for our windows
// arrive (the X connection), for a host whose run loop watches it and then
// has PumpWindows called; -1 where there is none, or where the system's own
// message loop delivers them (Win32, headless). Defined by the back end.
int EventDescriptor();

// The scale the system asks of windows made under `nativeParent`, for a
// host that says none: on X11 the resource database's Xft.dpi over 96, on
// Windows the parent's DPI over 96; 1 where the system says nothing (or
// without a window system). Defined by the back end.
double SystemScale(std::uintptr_t nativeParent);
// The same from an X resource database's text ("Xft.dpi:\t144\n..."):
// 1 when it holds no usable Xft.dpi.
double ScaleFromResources(const char* resources);

// While the window system delivers something (a window message, a timer
// tick, the pending events of a pump), a handler may call out (into a
// host) and be called back to destroy what the delivery is still using.
// Such work is handed to RunAfterDelivery: it runs at once when no delivery
// is under way on this thread, otherwise as soon as the outermost one
// returns. A back end marks each delivery with a Delivery on its stack.
class Delivery {
public:
    Delivery();
    ~Delivery();
    Delivery(const Delivery&) = delete;
    Delivery& operator=(const Delivery&) = delete;
};
void RunAfterDelivery(std::function<void()> work);

}  // namespace tarnwick::platform
