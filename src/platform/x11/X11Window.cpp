// The X11 back end of the window service: a window is an X child window of
// the host's, on the back end's own connection; input arrives and pixels go
// out in Pump. What was presented last stays on the server as the window's
// background, so the server itself shows it whenever the window is mapped
// or uncovered, without waiting for the next pump.
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/Window.h"
#include "platform/WindowMessages.h"
#include "platform/x11/X11.h"
#include "platform/x11/X11Session.h"

namespace tarnwick::platform {

namespace {

using namespace msg;

constexpr long kEvents = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                         EnterWindowMask | LeaveWindowMask | StructureNotifyMask;

std::int32_t Point(int x, int y) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(y) << 16) |
                                     (static_cast<std::uint32_t>(x) & 0xFFFFu));
}

// The MK_ flags of X's button and modifier mask.
std::uint32_t Keys(unsigned state) {
    return (state & Button1Mask ? kLeftFlag : 0) | (state & Button3Mask ? kRightFlag : 0) |
           (state & Button2Mask ? kMiddleFlag : 0) | (state & ShiftMask ? kShiftFlag : 0) |
           (state & ControlMask ? kControlFlag : 0);
}

class X11Window;
X11Window* Find(std::uintptr_t handle);
bool pumping = false;
// How many windows hold a button: only while one does is the server asked
// about the pointer at each pump.
int holding = 0;

class X11Window final : public Window {
public:
    X11Window(std::uintptr_t nativeParent, int width, int height)
        : Window(nativeParent, width, height) {
        if (nativeParent != 0) MakeNative(static_cast<::Window>(nativeParent));
    }

    ~X11Window() override {
        SetHeld(0);
        if (!xid_) return;
        if (x11::Lost()) {
            Abandon();
        } else {
            x11::ErrorTrap trap;
            XDestroyWindow(display_, xid_);
            Forget();
        }
        x11::Release();
    }

    void SetSize(int width, int height) override {
        const int oldWidth = Width(), oldHeight = Height();
        Window::SetSize(width, height);
        if (!xid_ || x11::Lost() || (Width() == oldWidth && Height() == oldHeight)) return;
        x11::ErrorTrap trap;
        // The old frame does not fit: no background until the next present
        // makes one of the new size.
        DropFrame();
        XResizeWindow(display_, xid_, std::max(Width(), 1), std::max(Height(), 1));
    }

    ::Window Xid() const { return xid_; }

    void SetCursor(Cursor cursor) {
        if (!xid_ || x11::Lost()) return;
        if (cursor != None)
            XDefineCursor(display_, xid_, cursor);
        else
            XUndefineCursor(display_, xid_);
    }

    // One event for this window (under the pump's error guard).
    void OnEvent(XEvent& e) {
        switch (e.type) {
            case Expose:
                // Once a frame was presented the server has restored it.
                if (frame_ == None)
                    Invalidate({e.xexpose.x, e.xexpose.y, e.xexpose.x + e.xexpose.width,
                                e.xexpose.y + e.xexpose.height});
                return;
            case ButtonPress:
            case ButtonRelease: {
                const XButtonEvent& b = e.xbutton;
                x11::NoteInput(b.state, b.x_root, b.y_root);
                static constexpr std::uint32_t downs[] = {kLeftDown, kMiddleDown, kRightDown};
                static constexpr std::uint32_t flags[] = {kLeftFlag, kMiddleFlag, kRightFlag};
                // Buttons 4 and 5 are the wheel's notches, up and down; each
                // comes as a press and a release, and the press is the notch.
                if (b.button == Button4 || b.button == Button5) {
                    if (e.type == ButtonPress)
                        SendMouse(kMouseWheel,
                                  WheelParam(Keys(b.state),
                                             b.button == Button4 ? kWheelNotch : -kWheelNotch),
                                  Point(b.x, b.y));
                    return;
                }
                if (b.button < Button1 || b.button > Button3) return;  // sideways wheel, others
                const unsigned i = b.button - Button1;
                // X's state is the one before the event; the message tells the one after.
                std::uint32_t keys = Keys(b.state);
                keys = e.type == ButtonPress ? keys | flags[i] : keys & ~flags[i];
                SetHeld(keys & (kLeftFlag | kMiddleFlag | kRightFlag));
                std::uint32_t message = downs[i] + (e.type == ButtonPress ? 0 : 1);
                if (message == kLeftDown && DoubleClick(b.time, b.x, b.y))
                    message = kLeftDoubleClick;
                SendMouse(message, keys, Point(b.x, b.y));
                return;
            }
            case MotionNotify: {
                // Only the latest of a run of moves matters.
                while (XEventsQueued(display_, QueuedAlready) > 0) {
                    XEvent next;
                    XPeekEvent(display_, &next);
                    if (next.type != MotionNotify || next.xmotion.window != xid_) break;
                    XNextEvent(display_, &e);
                }
                const XMotionEvent& m = e.xmotion;
                x11::NoteInput(m.state, m.x_root, m.y_root);
                SetHeld(held_ & Keys(m.state));
                SendMouse(kMouseMove, Keys(m.state), Point(m.x, m.y));
                return;
            }
            case EnterNotify:
            case LeaveNotify: {
                const XCrossingEvent& c = e.xcrossing;
                if (c.detail == NotifyInferior) return;
                x11::NoteInput(c.state, c.x_root, c.y_root);
                int x = c.x;
                int y = c.y;
                // A leave reports a point outside the window, so that the
                // framework's hot tracking lets go; the pointer may still be
                // above us when another client grabbed it.
                const bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
                if (e.type == LeaveNotify && inside) x = y = -1;
                const std::uintptr_t handle = Handle();
                // Hidden with a button held (the host unmapped its window):
                // the server ended the grab with it, and nothing more of
                // this drag will come. It ends before the leave is told.
                if (e.type == LeaveNotify && held_ != 0 && !Viewable()) CancelMode();
                if (Find(handle) != this) return;
                SendMouse(kMouseMove, Keys(c.state), Point(x, y));
                // A grab taken by another client (a window manager, a host's
                // menu) or ended under us takes the pointer away mid-drag.
                if (c.mode != NotifyNormal && Find(handle) == this) CancelMode();
                return;
            }
            case UnmapNotify:
                if (e.xunmap.window == xid_) CancelMode();
                return;
            case DestroyNotify:
                // The owner destroyed the parent, and our window with it.
                if (e.xdestroywindow.window == xid_) {
                    Forget();
                    x11::Release();
                }
                return;
            default: return;
        }
    }

    // A button seen going down on this window but not up may have been
    // released where we could not see it (the window was hidden or unmapped
    // with the grab): the server's pointer state tells.
    void CheckHeldButtons() {
        if (!xid_ || held_ == 0 || x11::Lost()) return;
        ::Window root, child;
        int rx, ry, x, y;
        unsigned mask = 0;
        if (!XQueryPointer(display_, xid_, &root, &child, &rx, &ry, &x, &y, &mask)) mask = 0;
        // Events sent before the answer are queued by now: a release among
        // them is seen in order at the next pump, with the moves before it.
        if ((Keys(mask) & held_) != held_ && XEventsQueued(display_, QueuedAlready) == 0)
            CancelMode();
    }

    // Puts the bounding box of the invalidated rectangles on the screen:
    // into the frame (the window's background pixmap), then the window's
    // area is cleared to it. The first frame of a size is put whole.
    void Present() {
        WindowRect box = TakeInvalidatedBox();
        if (!xid_ || box.Empty() || x11::Lost()) return;
        if (frame_ == None && MakeFrame()) box = {0, 0, Width(), Height()};
        if (x11::Lost()) return;
        // The pixel store is the image: 32 bits a pixel in this machine's
        // byte order, which Xlib converts where the server's differs.
        XImage* image =
            XCreateImage(display_, visual_, 24, ZPixmap, 0, reinterpret_cast<char*>(Pixels()),
                         Width(), Height(), 32, Width() * 4);
        if (!image) return;
        const std::uint32_t probe = 1;
        image->byte_order = *reinterpret_cast<const unsigned char*>(&probe) ? LSBFirst : MSBFirst;
        const auto w = static_cast<unsigned>(box.right - box.left);
        const auto h = static_cast<unsigned>(box.bottom - box.top);
        if (frame_ != None) {
            XPutImage(display_, frame_, gc_, image, box.left, box.top, box.left, box.top, w, h);
            XClearArea(display_, xid_, box.left, box.top, w, h, False);
        } else {
            // No frame on the server (it had no memory for one): straight
            // onto the window, as exposures ask for it again.
            XPutImage(display_, xid_, gc_, image, box.left, box.top, box.left, box.top, w, h);
        }
        image->data = nullptr;  // the pixels stay the window's
        XDestroyImage(image);
    }

    // The connection is lost: the window forgets its X resources without a
    // request (only the GC's memory in Xlib is freed). True when it held a
    // button, so that what the mouse was doing ends.
    bool Abandon() {
        if (!xid_) return false;
        if (gc_) XFreeGC(display_, gc_);
        gc_ = nullptr;
        colormap_ = None;
        frame_ = None;
        xid_ = 0;
        return held_ != 0;
    }

    void CancelLostMode() { CancelMode(); }

private:
    void MakeNative(::Window parent) {
        Display* d = x11::Acquire();
        if (!d) return;
        x11::ErrorTrap trap;
        // The parent is checked first: a stale or forged handle must not
        // reach a request that the host would die of.
        XWindowAttributes parentAttributes;
        XVisualInfo visual;
        const bool parentOk =
            XGetWindowAttributes(d, parent, &parentAttributes) != 0 && !trap.Failed() &&
            XMatchVisualInfo(d, XScreenNumberOfScreen(parentAttributes.screen), 24, TrueColor,
                             &visual) != 0 &&
            visual.red_mask == 0xFF0000 && visual.green_mask == 0xFF00 && visual.blue_mask == 0xFF;
        if (!parentOk) {
            x11::Release();
            return;
        }
        display_ = d;
        visual_ = visual.visual;
        // Our visual may differ from the parent's (a host with 32-bit
        // windows): then the window needs a colormap and border of its own.
        colormap_ = XCreateColormap(d, parentAttributes.root, visual_, AllocNone);
        XSetWindowAttributes a{};
        a.background_pixmap = None;
        a.border_pixel = 0;
        a.colormap = colormap_;
        a.event_mask = kEvents;
        a.cursor = x11::PointerHidden() ? x11::BlankCursor() : None;
        xid_ = XCreateWindow(
            d, parent, 0, 0, std::max(Width(), 1), std::max(Height(), 1), 0, 24, InputOutput,
            visual_, CWBackPixmap | CWBorderPixel | CWColormap | CWEventMask | CWCursor, &a);
        gc_ = XCreateGC(d, xid_, 0, nullptr);
        XMapWindow(d, xid_);
        if (trap.Failed()) {
            XDestroyWindow(d, xid_);
            Forget();
            x11::Release();
        }
    }

    bool Viewable() {
        XWindowAttributes a;
        return XGetWindowAttributes(display_, xid_, &a) != 0 && a.map_state == IsViewable;
    }

    // X tells no double clicks: a left press soon after the last one, near
    // it, is the second of one; the press after that starts anew, as on
    // other systems. TIME is the server's, in ms (it wraps).
    bool DoubleClick(Time time, int x, int y) {
        const bool second =
            pressed_ && static_cast<std::uint32_t>(time - pressTime_) <= kDoubleClickMs &&
            std::abs(x - pressX_) <= kDoubleClickSlop && std::abs(y - pressY_) <= kDoubleClickSlop;
        pressed_ = !second;
        pressTime_ = time;
        pressX_ = x;
        pressY_ = y;
        return second;
    }

    // Only a press seen here can have started something to cancel.
    void CancelMode() {
        if (std::exchange(held_, 0) == 0) return;
        --holding;
        Send(kCancelMode, 0, 0);
    }

    void SetHeld(std::uint32_t buttons) {
        holding += (buttons != 0) - (held_ != 0);
        held_ = buttons;
    }

    // A pixmap of the window's size that keeps the last frame on the server,
    // made the window's background. False when the server refused it.
    bool MakeFrame() {
        x11::ErrorTrap trap;
        frame_ = XCreatePixmap(display_, xid_, static_cast<unsigned>(std::max(Width(), 1)),
                               static_cast<unsigned>(std::max(Height(), 1)), 24);
        if (trap.Failed()) {
            frame_ = None;
            return false;
        }
        XSetWindowBackgroundPixmap(display_, xid_, frame_);
        return true;
    }

    void DropFrame() {
        if (frame_ == None) return;
        XSetWindowBackgroundPixmap(display_, xid_, None);
        XFreePixmap(display_, frame_);
        frame_ = None;
    }

    // Lets go of the server's side; the window itself may already be gone.
    void Forget() {
        if (frame_ != None) XFreePixmap(display_, frame_);
        if (gc_) XFreeGC(display_, gc_);
        if (colormap_ != None) XFreeColormap(display_, colormap_);
        frame_ = None;
        gc_ = nullptr;
        colormap_ = None;
        xid_ = 0;
    }

    Display* display_ = nullptr;
    Visual* visual_ = nullptr;
    Colormap colormap_ = None;
    ::Window xid_ = 0;
    GC gc_ = nullptr;
    Pixmap frame_ = None;     // the last frame presented, the window's background
    std::uint32_t held_ = 0;  // the buttons seen going down here and not yet up
    bool pressed_ = false;    // a left press that a second one would make a double click
    Time pressTime_ = 0;
    int pressX_ = 0, pressY_ = 0;
};

// The window with this platform handle (never reused), or null: a handler
// may destroy windows while the pump runs. This back end makes every window
// of the binary.
X11Window* Find(std::uintptr_t handle) { return static_cast<X11Window*>(WindowFromHandle(handle)); }

X11Window* FindXid(::Window xid) {
    return static_cast<X11Window*>(WindowMatching(
        [xid](const Window& w) { return static_cast<const X11Window&>(w).Xid() == xid; }));
}

}  // namespace

std::unique_ptr<Window> CreateChildWindow(std::uintptr_t nativeParent, int width, int height) {
    return std::make_unique<X11Window>(nativeParent, width, height);
}

namespace x11 {

bool PumpRunning() { return pumping; }

void AbandonWindows(std::vector<std::uintptr_t>& held) {
    for (std::uintptr_t handle : WindowHandles())
        if (Find(handle)->Abandon()) held.push_back(handle);
}

void CancelModes(const std::vector<std::uintptr_t>& held) {
    for (std::uintptr_t handle : held)
        if (X11Window* w = Find(handle)) w->CancelLostMode();
}

void ApplyPointerVisibility() {
    if (!CurrentDisplay()) return;
    ErrorTrap trap;
    const Cursor cursor = PointerHidden() ? BlankCursor() : None;
    for (std::uintptr_t handle : WindowHandles()) Find(handle)->SetCursor(cursor);
}

[[gnu::hot]] void Pump() {
    if (pumping) return;
    pumping = true;
    struct Done {
        ~Done() {
            pumping = false;
            CloseIfUnused();
        }
    } done;
    // Taken only for work that may talk to the server or run a handler:
    // an idle call that has nothing to read, no timer due and nothing to
    // show costs no lock and no request. The error guard ends first.
    std::optional<Delivery> delivery;
    std::optional<ErrorTrap> trap;
    const auto busy = [&] {
        if (!delivery) delivery.emplace();
        if (!trap) trap.emplace();
    };

    if (Display* d = CurrentDisplay(); d && MayHaveInput(d)) {
        busy();
        while (!Lost() && XPending(d) > 0) {
            XEvent e;
            XNextEvent(d, &e);
            if (X11Window* w = FindXid(e.xany.window)) w->OnEvent(e);
        }
        NoteInputRead(d);
    }
    // A server found gone while reading: nothing more is sent to it.
    if (Lost()) {
        busy();
        DropLostConnection();
    }

    // By handle: a handler may destroy windows while the pump runs.
    if (holding > 0) {
        busy();
        for (std::uintptr_t handle : WindowHandles())
            if (X11Window* w = Find(handle)) w->CheckHeldButtons();
    }

    if (TimersMayBeDue()) {
        busy();
        DeliverTimers();
    }

    if (!AnyWindowInvalidated()) return;
    busy();
    for (std::uintptr_t handle : WindowHandles()) {
        X11Window* w = Find(handle);
        if (!w || !w->HasInvalidated()) continue;
        // Windows without an X window are not shown; their list is only emptied.
        if (w->Xid()) w->Send(kPaint, 0, 0);
        if ((w = Find(handle))) w->Present();
    }
}

std::uintptr_t NativeWindow(const Window& window) {
    X11Window* w = Find(window.Handle());
    return w ? w->Xid() : 0;
}

bool Connected() { return CurrentDisplay() != nullptr; }

}  // namespace x11

[[gnu::hot]] void PumpWindows() { x11::Pump(); }

std::uintptr_t NativeHandle(const Window& window) { return x11::NativeWindow(window); }

int EventDescriptor() {
    Display* display = x11::CurrentDisplay();
    return display ? ConnectionNumber(display) : -1;
}

double SystemScale(std::uintptr_t) {
    // The desktop sets Xft.dpi in the server's resource database (the
    // root window's RESOURCE_MANAGER), as the session's toolkits read it.
    // Read afresh, not as the connection found it when it opened: a user
    // may have changed it since.
    Display* d = x11::Acquire();
    if (!d) return 1.0;
    double scale = 1.0;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* text = nullptr;
    if (XGetWindowProperty(d, DefaultRootWindow(d), XA_RESOURCE_MANAGER, 0, 1 << 16, False,
                           XA_STRING, &type, &format, &count, &after, &text) == Success &&
        text) {
        if (type == XA_STRING && format == 8)
            scale = ScaleFromResources(std::string(reinterpret_cast<char*>(text), count).c_str());
        XFree(text);
    }
    x11::Release();
    return scale;
}

bool IsNativeWindow(std::uintptr_t nativeParent) {
    if (nativeParent == 0 || nativeParent > 0xFFFFFFFFu) return false;  // X ids are 29 bits
    Display* d = x11::Acquire();
    if (!d) return false;
    bool live;
    {
        x11::ErrorTrap trap;
        XWindowAttributes attributes;
        live = XGetWindowAttributes(d, static_cast<::Window>(nativeParent), &attributes) != 0 &&
               !trap.Failed();
    }
    x11::Release();
    return live;
}

}  // namespace tarnwick::platform
