// The headless back end of the window service: a window is a plain object
// with no native side. Nothing is shown and the parent is only recorded;
// callers read the pixels and the invalidated rectangles back.
#include "platform/Window.h"

namespace tarnwick::platform {

namespace {

class HeadlessWindow final : public Window {
public:
    HeadlessWindow(std::uintptr_t nativeParent, int width, int height)
        : Window(nativeParent, width, height) {}
};

}  // namespace

std::unique_ptr<Window> CreateChildWindow(std::uintptr_t nativeParent, int width, int height) {
    return std::make_unique<HeadlessWindow>(nativeParent, width, height);
}

// There is no window system: callers paint and read back themselves.
void PumpWindows() {}
std::uintptr_t NativeHandle(const Window&) { return 0; }
int EventDescriptor() { return -1; }

double SystemScale(std::uintptr_t) { return 1.0; }

bool IsNativeWindow(std::uintptr_t) { return false; }

}  // namespace tarnwick::platform
