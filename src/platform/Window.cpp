#include "platform/Window.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

#include "platform/WindowMessages.h"

namespace tarnwick::platform {

namespace {

// The live windows by handle, so that a stale or forged handle is
// recognised instead of followed. Handles only grow, so appending keeps the
// list in their order, oldest first; a few windows in one block are looked
// up without walking nodes scattered over the heap.
struct Entry {
    std::uintptr_t handle;
    Window* window;
};
struct Registry {
    std::vector<Entry> windows;
    std::uintptr_t next = 0x20000;
    std::size_t invalidated = 0;  // windows whose list of rectangles is not empty
};

// Constant-initialised: no guard to look at (on a page of its own) before
// each use.
constinit Registry registry;

[[gnu::hot]] Registry& Windows() { return registry; }

int ClampSize(int v) { return std::clamp(v, 0, Window::kMaxSize); }

}  // namespace

Window::Window(std::uintptr_t nativeParent, int width, int height) : nativeParent_(nativeParent) {
    Registry& r = Windows();
    handle_ = r.next;
    r.next += 4;
    r.windows.push_back({handle_, this});
    width_ = ClampSize(width);
    height_ = ClampSize(height);
    pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
}

Window::~Window() {
    Registry& r = Windows();
    if (!invalid_.empty()) --r.invalidated;
    std::erase_if(r.windows, [this](const Entry& e) { return e.handle == handle_; });
}

void Window::SetSize(int width, int height) {
    width = ClampSize(width);
    height = ClampSize(height);
    if (width == width_ && height == height_) return;
    width_ = width;
    height_ = height;
    pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0);
    TakeInvalidated();
    InvalidateAll();
}

void Window::Invalidate(const WindowRect& rect) {
    const WindowRect clipped{std::max(rect.left, 0), std::max(rect.top, 0),
                             std::min(rect.right, width_), std::min(rect.bottom, height_)};
    if (clipped.Empty()) return;
    // A request inside one already pending adds nothing: a control that
    // changes again and again before the next repaint grows no list.
    for (const WindowRect& r : invalid_)
        if (r.left <= clipped.left && r.top <= clipped.top && clipped.right <= r.right &&
            clipped.bottom <= r.bottom)
            return;
    if (invalid_.empty()) ++Windows().invalidated;
    invalid_.push_back(clipped);
}

std::vector<WindowRect> Window::TakeInvalidated() {
    if (!invalid_.empty()) --Windows().invalidated;
    return std::exchange(invalid_, {});
}

WindowRect Window::TakeInvalidatedBox() {
    const std::vector<WindowRect> rects = TakeInvalidated();
    if (rects.empty()) return {};
    WindowRect box = rects.front();
    for (const WindowRect& r : rects) {
        box.left = std::min(box.left, r.left);
        box.top = std::min(box.top, r.top);
        box.right = std::max(box.right, r.right);
        box.bottom = std::max(box.bottom, r.bottom);
    }
    return box;
}

std::int32_t Window::Send(std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) {
    if (!handler_) return 0;
    Delivery delivery;
    return handler_(msg, wParam, lParam);
}

void Window::SendMouse(std::uint32_t message, std::uint32_t keys, std::int32_t point) {
    if (message == msg::kMouseMove && point == lastPoint_ && keys == lastKeys_) return;
    lastPoint_ = point;
    lastKeys_ = keys & 0xFFFFu;  // a wheel's turn is no key
    Send(message, keys, point);
}

namespace {

// Per thread: hosts may run the editors of different instances on
// different window threads. Plain values (no destructors), so that no
// thread's exit has to run code of a module that may be gone by then.
thread_local int deliveries = 0;
thread_local std::vector<std::function<void()>>* deferred = nullptr;

}  // namespace

[[gnu::hot]] Delivery::Delivery() { ++deliveries; }

[[gnu::hot]] Delivery::~Delivery() {
    if (--deliveries != 0) return;
    // Work may defer more work; with no delivery under way that runs at once.
    while (deferred) {
        std::unique_ptr<std::vector<std::function<void()>>> work(std::exchange(deferred, nullptr));
        for (auto& w : *work) {
            try {
                w();
            } catch (...) {  // nothing reaches the window system
            }
        }
    }
}

void RunAfterDelivery(std::function<void()> work) {
    if (deliveries == 0) {
        work();
        return;
    }
    if (!deferred) deferred = new std::vector<std::function<void()>>;
    deferred->push_back(std::move(work));
}

[[gnu::hot]] Window* WindowFromHandle(std::uintptr_t handle) {
    Registry& r = Windows();
    const auto it = std::lower_bound(r.windows.begin(), r.windows.end(), handle,
                                     [](const Entry& e, std::uintptr_t h) { return e.handle < h; });
    return it != r.windows.end() && it->handle == handle ? it->window : nullptr;
}

std::vector<std::uintptr_t> WindowHandles() {
    Registry& r = Windows();
    std::vector<std::uintptr_t> handles;
    handles.reserve(r.windows.size());
    for (const Entry& e : r.windows) handles.push_back(e.handle);
    return handles;
}

[[gnu::hot]] bool AnyWindowInvalidated() { return Windows().invalidated != 0; }

Window* WindowMatching(const std::function<bool(const Window&)>& match) {
    Registry& r = Windows();
    for (const Entry& e : r.windows)
        if (match(*e.window)) return e.window;
    return nullptr;
}

double ScaleFromResources(const char* resources) {
    // One "name:\tvalue" line per resource; the value read as C reads it,
    // whatever the user's locale.
    for (const char* line = resources; line && *line;) {
        const char* end = std::strchr(line, '\n');
        if (!end) end = line + std::strlen(line);
        constexpr char kName[] = "Xft.dpi:";
        if (std::strncmp(line, kName, sizeof kName - 1) == 0) {
            const char* value = line + sizeof kName - 1;
            while (value < end && (*value == ' ' || *value == '\t')) ++value;
            double dpi = 0;
            const auto [rest, error] = std::from_chars(value, end, dpi);
            // Nonsense (none, negative, absurd) says nothing.
            if (error == std::errc() && dpi >= 24 && dpi <= 960) return dpi / 96.0;
            return 1.0;
        }
        line = *end ? end + 1 : end;
    }
    return 1.0;
}

}  // namespace tarnwick::platform
