// The window tree inside one native window: update regions, painting,
// capture, focus, the routing of the native window's input, and timers.
#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "framework/Application.h"
#include "framework/WindowNode.h"
#include "gdi/GdiState.h"
#include "platform/Services.h"
#include "platform/Window.h"

namespace tarnwick::framework {

namespace {

// Handles of framework windows are 2 modulo 4, so they never meet the
// platform's (0 modulo 4) nor each other.
struct WindowState {
    std::unordered_map<std::uintptr_t, WindowNode*> windows;
    std::uintptr_t next = 0x20002;
    HWND capture = nullptr;
    TControl* captureControl = nullptr;
    HWND focus = nullptr;
    TControl* mouseControl = nullptr;  // the control the pointer is over
    // RegionData's buffer. Not thread_local: a thread-local object with a
    // destructor keeps a Windows module loaded until its thread ends, and
    // the window manager's state is the window thread's alone anyway.
    std::vector<std::uint8_t> regionBytes;
};

WindowState& State() {
    static WindowState s;
    return s;
}

WindowNode* NodeOf(HWND window) {
    auto& w = State().windows;
    auto it = w.find(reinterpret_cast<std::uintptr_t>(window));
    return it == w.end() ? nullptr : it->second;
}

TRect Offset(TRect r, TPoint d) {
    return {r.Left + d.X, r.Top + d.Y, r.Right + d.X, r.Bottom + d.Y};
}

// A region kept by a window, made empty the first time it is needed.
HRGN Kept(HRGN& rgn) {
    if (!rgn) rgn = CreateRectRgn(0, 0, 0, 0);
    return rgn;
}

void Combine(WindowNode* n, HRGN dest, const TRect& r, int mode) {
    HRGN other = Kept(n->scratch);
    SetRectRgn(other, r.Left, r.Top, r.Right, r.Bottom);
    CombineRgn(dest, dest, other, mode);
}

bool HasUpdate(const WindowNode* n) {
    RECT box;
    return n->update && GetRgnBox(n->update, &box) != NULLREGION;
}

// A region's rectangles, read into a buffer that is kept (so that a paint
// allocates nothing) and valid until the next call; null on failure.
const RGNDATA* RegionData(HRGN rgn) {
    std::vector<std::uint8_t>& bytes = State().regionBytes;
    const DWORD size = GetRegionData(rgn, 0, nullptr);
    if (size < sizeof(RGNDATAHEADER)) return nullptr;
    if (bytes.size() < size) bytes.resize(size);
    auto* data = reinterpret_cast<RGNDATA*>(bytes.data());
    return GetRegionData(rgn, size, data) ? data : nullptr;
}

template <class F>
void ForEachRect(HRGN rgn, F&& f) {
    const RGNDATA* data = RegionData(rgn);
    if (!data) return;
    for (DWORD i = 0; i < data->rdh.nCount; ++i) {
        RECT r;
        std::memcpy(&r, data->Buffer + i * sizeof(RECT), sizeof r);
        f(r);
    }
}

// The part of a window's client area that is on the screen, in its client
// coordinates: inside every ancestor and the native window, not under a sibling above it or its
// own or an ancestor's, not under its windowed children. Written into rgn.
void VisibleRegion(TWinControl* w, HRGN rgn) {
    WindowNode* n = WindowNode::Of(w);
    const TPoint origin = OriginInRoot(w);
    const TRect client = Offset(w->ClientRect(), origin);
    SetRectRgn(rgn, client.Left, client.Top, client.Right, client.Bottom);
    for (TControl* c = w; c->Parent(); c = c->Parent()) {
        TWinControl* p = c->Parent();
        Combine(n, rgn, Offset(p->ClientRect(), OriginInRoot(p)), RGN_AND);
        const auto& siblings = WindowNode::Children(p);
        auto it = std::find(siblings.begin(), siblings.end(), c);
        for (++it; it != siblings.end(); ++it)
            if (auto* s = dynamic_cast<TWinControl*>(*it); s && s->Showing())
                Combine(n, rgn, Offset(s->ClientRect(), OriginInRoot(s)), RGN_DIFF);
    }
    for (TControl* c : WindowNode::Children(w))
        if (auto* s = dynamic_cast<TWinControl*>(c); s && s->Showing())
            Combine(n, rgn, Offset(s->ClientRect(), OriginInRoot(s)), RGN_DIFF);
    // Nor beyond the native window, whose size is limited: a larger form
    // shows only what fits.
    if (const auto* native = WindowNode::Of(RootOf(w))->native.get())
        Combine(n, rgn, {0, 0, native->Width(), native->Height()}, RGN_AND);
    OffsetRgn(rgn, -origin.X, -origin.Y);
}

void TellNative(TWinControl* w, const TRect& clientRect) {
    if (!w->Showing()) return;
    TWinControl* root = RootOf(w);
    const TRect r = Offset(clientRect, OriginInRoot(w));
    WindowNode::Of(root)->native->Invalidate({r.Left, r.Top, r.Right, r.Bottom});
}

void Paint(TWinControl* w) {
    if (!w->Showing()) return;
    WindowNode* n = WindowNode::Of(w);
    if (HasUpdate(n)) {
        const unsigned paints = n->paints;
        // A paint that fails leaves the rest of the tree to paint.
        Application->Guard(w, [w] { w->Perform(WM_PAINT, 0, 0); });
        // A window that did not paint is not asked again and again; one that
        // did keeps what it invalidated meanwhile for the next pass.
        if (WindowNode::Of(w) == n && n->paints == paints) ValidateRect(n->handle, nullptr);
    }
    const auto& children = WindowNode::Children(w);
    for (std::size_t i = 0; i < children.size(); ++i)
        if (auto* c = dynamic_cast<TWinControl*>(children[i]); c && c->HandleAllocated()) Paint(c);
}

// The deepest showing, enabled window at a point of w's client area.
TWinControl* WindowAt(TWinControl* w, TPoint p) {
    const auto& children = WindowNode::Children(w);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        auto* c = dynamic_cast<TWinControl*>(*it);
        if (!c || !c->Showing() || !c->Enabled()) continue;
        const TRect r = c->BoundsRect();
        if (p.X >= r.Left && p.X < r.Right && p.Y >= r.Top && p.Y < r.Bottom)
            return WindowAt(c, {p.X - r.Left, p.Y - r.Top});
    }
    return w;
}

bool Contains(TWinControl* ancestor, TControl* c) {
    for (; c; c = c->Parent())
        if (c == ancestor) return true;
    return false;
}

// Tells the control the pointer left and the one it is now over that it
// came, also while another control holds the capture.
void TrackPointer(TWinControl* root, TPoint p) {
    TControl* now = nullptr;
    const TRect rc = root->ClientRect();
    if (p.X >= rc.Left && p.X < rc.Right && p.Y >= rc.Top && p.Y < rc.Bottom) {
        TWinControl* w = WindowAt(root, p);
        const TPoint o = OriginInRoot(w);
        TControl* inner = w->ControlAtPos({p.X - o.X, p.Y - o.Y}, false);
        now = inner ? inner : w;
    }
    WindowState& s = State();
    TControl* old = s.mouseControl;
    if (old == now) return;
    if (old && !Contains(root, old)) old = nullptr;  // another native window's
    s.mouseControl = now;
    if (old) old->Perform(CM_MOUSELEAVE, 0, 0);
    if (now && s.mouseControl == now) now->Perform(CM_MOUSEENTER, 0, 0);
}

std::int32_t RouteMouse(TWinControl* root, std::uint32_t msg, std::uint32_t wParam,
                        std::int32_t lParam) {
    const TPoint p{MouseX(lParam), MouseY(lParam)};
    WindowState& s = State();
    TWinControl* target = nullptr;
    if (WindowNode* cap = NodeOf(s.capture); cap && Contains(root, cap->control))
        target = cap->control;
    else
        target = WindowAt(root, p);
    if (msg == WM_MOUSEMOVE && !s.capture)
        target->Perform(
            WM_SETCURSOR,
            reinterpret_cast<std::uintptr_t>(WindowNode::Of(target)->handle) & 0xFFFFFFFFu,
            static_cast<std::int32_t>(HTCLIENT | (WM_MOUSEMOVE << 16)));
    const TPoint o = OriginInRoot(target);
    const std::int32_t result = target->Perform(msg, wParam, MakeMouseLParam(p.X - o.X, p.Y - o.Y));
    TrackPointer(root, p);
    return result;
}

// The window system took the pointer away: a drag inside this window ends
// (its holder hears WM_CAPTURECHANGED), as if the button had gone up.
void CancelMode(TWinControl* root) {
    WindowState& s = State();
    if (WindowNode* cap = NodeOf(s.capture); cap && Contains(root, cap->control))
        SetCaptureControl(nullptr);
}

std::int32_t RouteKey(TWinControl* root, std::uint32_t msg, std::uint32_t wParam,
                      std::int32_t lParam) {
    TWinControl* target = root;
    if (WindowNode* f = NodeOf(State().focus); f && Contains(root, f->control)) target = f->control;
    // The focused control sees the key reflected first; a nonzero answer
    // means it was taken there (a dialog key, an accelerator, a short cut).
    if (target->Perform(CN_BASE + msg, wParam, lParam) != 0) return 0;
    return target->Perform(msg, wParam, lParam);
}

}  // namespace

WindowNode::WindowNode(TWinControl* c, std::unique_ptr<platform::Window> nativeWindow)
    : control(c), native(std::move(nativeWindow)) {
    WindowState& s = State();
    std::uintptr_t id;
    if (native) {
        id = native->Handle();
    } else {
        id = s.next;
        s.next += 4;
    }
    handle = reinterpret_cast<HWND>(id);
    s.windows.emplace(id, this);
}

WindowNode::~WindowNode() {
    WindowState& s = State();
    s.windows.erase(reinterpret_cast<std::uintptr_t>(handle));
    if (s.capture == handle) {
        s.capture = nullptr;
        s.captureControl = nullptr;
    }
    if (s.focus == handle) s.focus = nullptr;
    if (update) DeleteObject(update);
    if (scratch) DeleteObject(scratch);
    if (paintClip) DeleteObject(paintClip);
    if (paintDC) DeleteDC(paintDC);
    if (paintBitmap) DeleteObject(paintBitmap);
}

std::int32_t WindowNode::NativeMessage(TWinControl* root, std::uint32_t msg, std::uint32_t wParam,
                                       std::int32_t lParam) {
    // Nothing a handler raises goes back into the window system.
    std::int32_t result = 0;
    Application->Guard(root, [&] {
        if (IsClientMouseMessage(msg))
            result = RouteMouse(root, msg, wParam, lParam);
        else if (msg >= WM_KEYDOWN && msg <= WM_SYSCHAR)
            result = RouteKey(root, msg, wParam, lParam);
        else if (msg == WM_PAINT)
            Paint(root);
        else if (msg == WM_CANCELMODE)
            CancelMode(root);
        else
            result = root->Perform(msg, wParam, lParam);
    });
    return result;
}

TWinControl* RootOf(TWinControl* c) {
    while (c->Parent() && c->Parent()->HandleAllocated()) c = c->Parent();
    return c;
}

TPoint OriginInRoot(const TControl* c) {
    TPoint p{0, 0};
    for (; c->Parent(); c = c->Parent()) {
        if (auto* w = dynamic_cast<const TWinControl*>(c);
            w && w->HandleAllocated() && WindowNode::Of(w)->native)
            break;
        p.X += c->Left();
        p.Y += c->Top();
    }
    return p;
}

void InvalidateArea(TWinControl* w, const TRect& area) {
    if (!w->HandleAllocated()) return;
    const TPoint o = OriginInRoot(w);
    const RECT r{area.Left - o.X, area.Top - o.Y, area.Right - o.X, area.Bottom - o.Y};
    InvalidateRect(WindowNode::Of(w)->handle, &r, TRUE);
    for (TControl* c : WindowNode::Children(w))
        if (auto* cw = dynamic_cast<TWinControl*>(c)) InvalidateArea(cw, area);
}

TWinControl* ControlOfWindow(HWND window) {
    WindowNode* n = NodeOf(window);
    return n ? n->control : nullptr;
}

TControl* CaptureControl() { return State().captureControl; }

void SetCaptureControl(TControl* c) {
    WindowState& s = State();
    TControl* old = s.captureControl;
    if (old == c && (!c || s.capture)) return;
    TWinControl* w = c ? dynamic_cast<TWinControl*>(c) : nullptr;
    if (c && !w) w = c->Parent();
    HWND hwnd = w && w->HandleAllocated() ? w->Handle() : nullptr;
    if (c && !hwnd) return;  // nothing on screen to capture for
    s.captureControl = c;
    s.capture = hwnd;
    // The old holder learns that its drag is over.
    if (old && old != c)
        old->Perform(WM_CAPTURECHANGED, 0,
                     static_cast<std::int32_t>(reinterpret_cast<std::uintptr_t>(hwnd)));
}

void ForgetControl(TControl* c) {
    WindowState& s = State();
    if (s.captureControl == c) {
        s.captureControl = nullptr;
        s.capture = nullptr;
    }
    if (s.mouseControl == c) s.mouseControl = nullptr;
}

}  // namespace tarnwick::framework

using namespace tarnwick::framework;
namespace platform = tarnwick::platform;
using tarnwick::gdi_internal::Fail;

BOOL IsWindow(HWND window) { return NodeOf(window) ? TRUE : FALSE; }

BOOL IsWindowVisible(HWND window) {
    WindowNode* n = NodeOf(window);
    return n && n->control->Showing() ? TRUE : FALSE;
}

BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase) {
    WindowNode* n = NodeOf(window);
    if (!n) return FALSE;
    TRect r = n->control->ClientRect();
    if (rect)
        r = {std::max<int>(rect->left, r.Left), std::max<int>(rect->top, r.Top),
             std::min<int>(rect->right, r.Right), std::min<int>(rect->bottom, r.Bottom)};
    if (r.Left >= r.Right || r.Top >= r.Bottom) return TRUE;
    Combine(n, Kept(n->update), r, RGN_OR);
    if (erase) n->erase = true;
    TellNative(n->control, r);
    return TRUE;
}

BOOL ValidateRect(HWND window, const RECT* rect) {
    WindowNode* n = NodeOf(window);
    if (!n) return FALSE;
    if (!n->update) return TRUE;
    if (rect) Combine(n, n->update, {rect->left, rect->top, rect->right, rect->bottom}, RGN_DIFF);
    if (!rect || !HasUpdate(n)) {
        SetRectRgn(n->update, 0, 0, 0, 0);
        n->erase = false;
    }
    return TRUE;
}

BOOL GetUpdateRect(HWND window, RECT* rect, BOOL) {
    WindowNode* n = NodeOf(window);
    RECT box{0, 0, 0, 0};
    const bool any = n && n->update && GetRgnBox(n->update, &box) != NULLREGION;
    if (rect) *rect = box;
    return any ? TRUE : FALSE;
}

BOOL UpdateWindow(HWND window) {
    WindowNode* n = NodeOf(window);
    if (!n) return FALSE;
    Paint(n->control);
    return TRUE;
}

HDC BeginPaint(HWND window, PAINTSTRUCT* paint) {
    WindowNode* n = NodeOf(window);
    if (!n || !paint || n->painting) return nullptr;
    std::memset(paint, 0, sizeof *paint);
    TWinControl* w = n->control;
    TWinControl* root = RootOf(w);
    tarnwick::platform::Window* native = WindowNode::Of(root)->native.get();
    const int width = std::max(w->Width(), 1);
    const int height = std::max(w->Height(), 1);
    if (!n->paintDC || n->paintWidth != width || n->paintHeight != height) {
        if (n->paintDC) DeleteDC(n->paintDC);
        if (n->paintBitmap) DeleteObject(n->paintBitmap);
        BITMAPINFO bmi{};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = width;
        bmi.bmiHeader.biHeight = -height;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        n->paintDC = CreateCompatibleDC(nullptr);
        n->paintBitmap = CreateDIBSection(n->paintDC, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (!n->paintDC || !n->paintBitmap) {
            if (n->paintDC) DeleteDC(n->paintDC);
            if (n->paintBitmap) DeleteObject(n->paintBitmap);
            n->paintDC = nullptr;
            n->paintBitmap = nullptr;
            return nullptr;
        }
        SelectObject(n->paintDC, n->paintBitmap);
        n->paintBits = static_cast<std::uint32_t*>(bits);
        n->paintWidth = width;
        n->paintHeight = height;
    }
    // What is painted: the update region where the window is visible.
    RECT box{0, 0, 0, 0};
    if (n->update) GetRgnBox(n->update, &box);
    paint->rcPaint = box;
    VisibleRegion(w, Kept(n->paintClip));
    CombineRgn(n->paintClip, n->paintClip, Kept(n->update), RGN_AND);
    // The buffer starts with what the window shows, so that what a paint
    // leaves alone stays as it was.
    const TPoint o = OriginInRoot(w);
    ForEachRect(n->paintClip, [&](const RECT& r) {
        for (int y = r.top; y < r.bottom; ++y)
            std::memcpy(n->paintBits + static_cast<std::size_t>(y) * width + r.left,
                        native->Pixels() + static_cast<std::size_t>(y + o.Y) * native->Width() +
                            (r.left + o.X),
                        static_cast<std::size_t>(r.right - r.left) * 4);
    });
    const bool erase = n->erase;
    ValidateRect(window, nullptr);
    n->painting = true;
    ++n->paints;
    paint->hdc = n->paintDC;
    // GDI handles are small numbers: the context fits the 32-bit WParam.
    const auto dc = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(n->paintDC));
    paint->fErase = erase && w->Perform(WM_ERASEBKGND, dc, 0) == 0 ? TRUE : FALSE;
    return n->paintDC;
}

BOOL EndPaint(HWND window, const PAINTSTRUCT*) {
    WindowNode* n = NodeOf(window);
    if (!n || !n->painting) return FALSE;
    n->painting = false;
    TWinControl* w = n->control;
    tarnwick::platform::Window* native = WindowNode::Of(RootOf(w))->native.get();
    const TPoint o = OriginInRoot(w);
    ForEachRect(n->paintClip, [&](const RECT& r) {
        for (int y = r.top; y < r.bottom; ++y) {
            const std::uint32_t* src = n->paintBits + static_cast<std::size_t>(y) * n->paintWidth;
            std::uint32_t* dst =
                native->Pixels() + static_cast<std::size_t>(y + o.Y) * native->Width() + o.X;
            for (int x = r.left; x < r.right; ++x) dst[x] = src[x] & 0x00FFFFFFu;
        }
    });
    return TRUE;
}

HWND SetCapture(HWND window) {
    WindowState& s = State();
    HWND old = s.capture;
    WindowNode* n = NodeOf(window);
    SetCaptureControl(n ? n->control : nullptr);
    return old;
}

BOOL ReleaseCapture() {
    SetCaptureControl(nullptr);
    return TRUE;
}

HWND GetCapture() { return State().capture; }

HWND SetFocus(HWND window) {
    WindowState& s = State();
    HWND old = s.focus;
    WindowNode* n = NodeOf(window);
    if (window && !n) return nullptr;
    if (old == window) return old;
    s.focus = window;
    const auto asParam = [](HWND h) {
        return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(h));
    };
    if (WindowNode* o = NodeOf(old)) o->control->Perform(WM_KILLFOCUS, asParam(window), 0);
    if (n && s.focus == window) n->control->Perform(WM_SETFOCUS, asParam(old), 0);
    return old;
}

HWND GetFocus() { return State().focus; }

BOOL ClientToScreen(HWND window, POINT* point) {
    WindowNode* n = NodeOf(window);
    if (!n || !point) return FALSE;
    const TPoint o = OriginInRoot(n->control);
    point->x += o.X;
    point->y += o.Y;
    return TRUE;
}

BOOL ScreenToClient(HWND window, POINT* point) {
    WindowNode* n = NodeOf(window);
    if (!n || !point) return FALSE;
    const TPoint o = OriginInRoot(n->control);
    point->x -= o.X;
    point->y -= o.Y;
    return TRUE;
}

UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc) {
    const auto handle = reinterpret_cast<std::uintptr_t>(window);
    if (handle) {
        if (!platform::WindowFromHandle(handle))
            return Fail<UINT_PTR>(ERROR_INVALID_WINDOW_HANDLE, 0);
    } else {
        // Without a window there is no one to send WM_TIMER to.
        if (!proc) return Fail<UINT_PTR>(ERROR_INVALID_PARAMETER, 0);
        // The identifier of a running timer replaces it; any other is ignored
        // for a fresh one.
        static UINT_PTR nextThreadTimer = 0;
        if (id == 0 || !platform::StopTimer(0, id)) {
            do {
                id = ++nextThreadTimer;
            } while (id == 0);
        }
    }
    const UINT period = std::clamp(elapseMs, USER_TIMER_MINIMUM, USER_TIMER_MAXIMUM);
    // A failing tick goes to the application's handler; the timer goes on.
    auto tick = [handle, id, proc] {
        const auto window = reinterpret_cast<HWND>(handle);
        Application->Guard(ControlOfWindow(window), [&] {
            if (proc) {
                proc(window, WM_TIMER, id, GetTickCount());
            } else if (platform::Window* w = platform::WindowFromHandle(handle)) {
                w->Send(WM_TIMER, static_cast<std::uint32_t>(id), 0);
            }
        });
    };
    if (!platform::StartTimer(handle, id, period, tick))
        return Fail<UINT_PTR>(ERROR_NOT_ENOUGH_MEMORY, 0);
    return handle ? 1 : id;
}

BOOL KillTimer(HWND window, UINT_PTR id) {
    return platform::StopTimer(reinterpret_cast<std::uintptr_t>(window), id) ? TRUE : FALSE;
}
