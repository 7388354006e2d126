// The Win32 back end of the window service: a window is a child HWND of the
// host's; its input and paints arrive through the host's message loop.
#include <algorithm>
#include <utility>
#include <vector>

#include "platform/Window.h"
#include "platform/WindowMessages.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Session.h"

namespace tarnwick::platform {

namespace {

using namespace msg;
using namespace win32;

constexpr WPARAM kButtons = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON;
constexpr WPARAM kKeyFlags = kButtons | MK_SHIFT | MK_CONTROL;

class Win32Window;

class Win32Window final : public Window {
public:
    Win32Window(std::uintptr_t nativeParent, int width, int height)
        : Window(nativeParent, width, height) {
        const auto parent = reinterpret_cast<HWND>(nativeParent);
        // A stale or forged handle gets no window rather than a failure.
        const wchar_t* cls = WindowClass();
        if (!parent || !IsWindow(parent) || !cls) return;
        hwnd_ = CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 0, 0,
                                std::max(Width(), 1), std::max(Height(), 1), parent, nullptr,
                                ModuleInstance(), nullptr);
        if (hwnd_) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }

    ~Win32Window() override {
        if (hwnd_) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            if (GetCapture() == hwnd_) ReleaseCapture();
            DestroyWindow(hwnd_);
        }
        // The last window of the module gives the pointer back as it found it.
        if (!WindowMatching([this](const Window& w) { return &w != this; }))
            win32::RestorePointer();
    }

    void SetSize(int width, int height) override {
        Window::SetSize(width, height);
        if (hwnd_)
            SetWindowPos(hwnd_, nullptr, 0, 0, std::max(Width(), 1), std::max(Height(), 1),
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    void Invalidate(const WindowRect& rect) override {
        Window::Invalidate(rect);
        // What is invalidated while painting goes out with that paint.
        if (!hwnd_ || painting_) return;
        const RECT r{rect.left, rect.top, rect.right, rect.bottom};
        InvalidateRect(hwnd_, &r, FALSE);
    }

    HWND Hwnd() const { return hwnd_; }

    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
        switch (msg) {
            case WM_ERASEBKGND: return 1;  // the paint covers every pixel
            case WM_PAINT: Paint(); return 0;
            case WM_MOUSEMOVE:
                if (!tracking_) {
                    TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, hwnd_, 0};
                    tracking_ = TrackMouseEvent(&track) != 0;
                }
                Mouse(kMouseMove, wParam, lParam);
                return 0;
            case WM_MOUSELEAVE: {
                tracking_ = false;
                // A point outside, so that the framework's hot tracking lets go.
                WPARAM keys = 0;
                if (GetKeyState(VK_SHIFT) & 0x8000) keys |= MK_SHIFT;
                if (GetKeyState(VK_CONTROL) & 0x8000) keys |= MK_CONTROL;
                Mouse(kMouseMove, keys, MAKELPARAM(0xFFFF, 0xFFFF));
                return 0;
            }
            case WM_LBUTTONDOWN:
            case WM_LBUTTONDBLCLK:
            case WM_RBUTTONDOWN:
            case WM_MBUTTONDOWN:
                // Captured while a button is held: a drag that leaves the
                // window still reaches it, and so does the release.
                SetCapture(hwnd_);
                captured_ = GetCapture() == hwnd_;
                Mouse(msg, wParam, lParam);
                return 0;
            case WM_MOUSEWHEEL: {
                // The system tells the wheel at a screen point, to the
                // window under the pointer or the focused one: it is the
                // control's under the pointer, in client coordinates, and
                // not ours when the pointer is elsewhere.
                POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
                ScreenToClient(hwnd_, &p);
                if (p.x < 0 || p.y < 0 || p.x >= Width() || p.y >= Height())
                    return DefWindowProcW(hwnd_, msg, wParam, lParam);
                SendMouse(kMouseWheel,
                          WheelParam(static_cast<std::uint32_t>(wParam & kKeyFlags),
                                     static_cast<short>(HIWORD(wParam))),
                          static_cast<std::int32_t>(MAKELPARAM(p.x, p.y)));
                return 0;
            }
            case WM_LBUTTONUP:
            case WM_RBUTTONUP:
            case WM_MBUTTONUP: {
                const HWND self = hwnd_;
                // Our own release of the capture is no capture taken away.
                if ((wParam & kButtons) == 0) captured_ = false;
                Mouse(msg, wParam, lParam);
                // The handler may have destroyed us.
                if ((wParam & kButtons) == 0 && GetCapture() == self) ReleaseCapture();
                return 0;
            }
            // The pointer taken away while a button is held: another window
            // took the capture (or the system released it: a window
            // destroyed, a menu, a dialog), the system cancels modes, our
            // window is hidden, or the application is deactivated (told to
            // top-level windows; a child rarely hears it).
            case WM_CAPTURECHANGED:
                if (reinterpret_cast<HWND>(lParam) != hwnd_) CancelMode();
                return 0;
            case WM_CANCELMODE:
            case WM_ACTIVATEAPP:
            case WM_SHOWWINDOW:
            case WM_WINDOWPOSCHANGED: {
                const bool cancel =
                    msg == WM_CANCELMODE ||
                    (msg == WM_WINDOWPOSCHANGED
                         ? (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_HIDEWINDOW) != 0
                         : wParam == FALSE);
                if (cancel && !CancelMode()) return 0;
                return DefWindowProcW(hwnd_, msg, wParam, lParam);
            }
            case WM_NCDESTROY: {
                // The owner destroyed the parent, and our window with it.
                const HWND self = std::exchange(hwnd_, nullptr);
                SetWindowLongPtrW(self, GWLP_USERDATA, 0);
                const LRESULT result = DefWindowProcW(self, msg, wParam, lParam);
                CancelMode();
                return result;
            }
            default: return DefWindowProcW(hwnd_, msg, wParam, lParam);
        }
    }

    // The window holds the capture for a press, but the pointer was taken
    // away without a message to us: the host hid its window (a child hears
    // nothing of that), or the button went up over another window.
    void CheckCapture() {
        // Capture and queue are those of the window's thread.
        if (!captured_ || GetWindowThreadProcessId(hwnd_, nullptr) != GetCurrentThreadId()) return;
        bool held = false;
        for (int key : {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON}) held |= GetAsyncKeyState(key) < 0;
        // A release that is on its way arrives as a message, in order.
        MSG pending;
        const bool released =
            !held && !PeekMessageW(&pending, hwnd_, WM_MOUSEFIRST, WM_MOUSELAST, PM_NOREMOVE);
        if (GetCapture() != hwnd_ || !IsWindowVisible(hwnd_) || released) CancelMode();
    }

private:
    // Ends what the mouse was doing, once: the capture goes, and the
    // framework ends its drag. False when the handler destroyed this window.
    bool CancelMode() {
        if (!std::exchange(captured_, false)) return true;
        if (hwnd_ && GetCapture() == hwnd_) ReleaseCapture();
        const std::uintptr_t handle = Handle();
        Send(kCancelMode, 0, 0);
        return WindowFromHandle(handle) == this;
    }

    void Mouse(UINT msg, WPARAM wParam, LPARAM lParam) {
        SendMouse(msg, static_cast<std::uint32_t>(wParam & kKeyFlags),
                  static_cast<std::int32_t>(lParam));
    }

    void Paint() {
        struct Painting {
            HWND hwnd;
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd, &ps);
            ~Painting() {
                if (dc) EndPaint(hwnd, &ps);
            }
        } paint{hwnd_, {}};
        if (!paint.dc) return;
        const RECT& r = paint.ps.rcPaint;
        const std::uintptr_t handle = Handle();
        painting_ = true;
        Window::Invalidate({r.left, r.top, r.right, r.bottom});
        Send(kPaint, 0, 0);
        // The handler may have destroyed this window.
        if (WindowFromHandle(handle) != this) return;
        painting_ = false;
        Present(paint.dc);
    }

    // Puts the bounding box of the invalidated rectangles on the screen.
    void Present(HDC dc) {
        const WindowRect box = TakeInvalidatedBox();
        if (box.Empty()) return;
        // The rows of the box as a top-down DIB of their own, so that the
        // source rectangle means the same whichever way rows are counted.
        // 0x00RRGGBB in this machine's order is the DIB's blue, green, red.
        const int rows = box.bottom - box.top;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = Width();
        info.bmiHeader.biHeight = -rows;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        SetDIBitsToDevice(dc, box.left, box.top, static_cast<DWORD>(box.right - box.left),
                          static_cast<DWORD>(rows), box.left, 0, 0, static_cast<UINT>(rows),
                          Pixels() + static_cast<std::size_t>(box.top) * Width(), &info,
                          DIB_RGB_COLORS);
    }

    HWND hwnd_ = nullptr;
    bool painting_ = false;
    bool tracking_ = false;
    bool captured_ = false;  // the capture taken for a press, until its release
};

// This back end makes every window of the binary.
Win32Window* Find(std::uintptr_t handle) {
    return static_cast<Win32Window*>(WindowFromHandle(handle));
}

}  // namespace

std::unique_ptr<Window> CreateChildWindow(std::uintptr_t nativeParent, int width, int height) {
    return std::make_unique<Win32Window>(nativeParent, width, height);
}

namespace win32 {

LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* w = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!w || w->Hwnd() != hwnd) return DefWindowProcW(hwnd, msg, wParam, lParam);
    return w->OnMessage(msg, wParam, lParam);
}

std::uintptr_t NativeWindow(const Window& window) {
    Win32Window* w = Find(window.Handle());
    return w ? reinterpret_cast<std::uintptr_t>(w->Hwnd()) : 0;
}

}  // namespace win32

// The host's message loop delivers everything but what nobody tells a child
// window: its parent hidden, a release where it could not see it.
void PumpWindows() {
    for (std::uintptr_t handle : WindowHandles())
        if (Win32Window* w = Find(handle)) w->CheckCapture();
}

std::uintptr_t NativeHandle(const Window& window) { return win32::NativeWindow(window); }

int EventDescriptor() { return -1; }

double SystemScale(std::uintptr_t nativeParent) {
    // The parent's own DPI where the system tells it (Windows 10 and
    // later, looked up so that older systems still load the module), else
    // the screen's.
    using GetDpiForWindowProc = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        reinterpret_cast<GetDpiForWindowProc>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    UINT dpi = 0;
    if (getDpiForWindow && IsWindow(reinterpret_cast<HWND>(nativeParent)))
        dpi = getDpiForWindow(reinterpret_cast<HWND>(nativeParent));
    if (dpi == 0) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX)) : 0;
        if (screen) ReleaseDC(nullptr, screen);
    }
    return dpi >= 24 && dpi <= 960 ? dpi / 96.0 : 1.0;
}

bool IsNativeWindow(std::uintptr_t nativeParent) {
    const auto parent = reinterpret_cast<HWND>(nativeParent);
    return parent && IsWindow(parent) && win32::WindowClass();
}

}  // namespace tarnwick::platform
