#pragma once
// Inside the window manager (WindowManager.cpp and Controls.cpp only): what a
// window control keeps for its window. The tree itself (parent, children,
// bounds, visibility) is the controls' own.

#include <cstdint>
#include <memory>

#include "framework/Controls.h"
#include "framework/WindowManager.h"

namespace tarnwick::platform {
class Window;
}

namespace tarnwick::framework {

struct WindowNode {
    WindowNode(TWinControl* control, std::unique_ptr<platform::Window> native);
    ~WindowNode();
    WindowNode(const WindowNode&) = delete;
    WindowNode& operator=(const WindowNode&) = delete;

    TWinControl* control;
    HWND handle;
    // Set for the window of a control without a windowed parent.
    std::unique_ptr<platform::Window> native;
    // Client coordinates; made at the first invalidation and kept (empty when
    // nothing is invalid), like the regions below, so that painting makes no
    // new objects.
    HRGN update = nullptr;
    HRGN scratch = nullptr;  // a rectangle being combined into another region
    bool erase = false;
    // The paint buffer: a section of the client size, kept between paints.
    HDC paintDC = nullptr;
    HBITMAP paintBitmap = nullptr;
    std::uint32_t* paintBits = nullptr;
    int paintWidth = 0;
    int paintHeight = 0;
    HRGN paintClip = nullptr;  // what EndPaint puts back, in client coordinates
    bool painting = false;
    unsigned paints = 0;  // BeginPaint calls, so a paint pass knows who painted

    // The native window's handler: input and paint requests from the back end.
    static std::int32_t NativeMessage(TWinControl* root, std::uint32_t msg, std::uint32_t wParam,
                                      std::int32_t lParam);
    static std::vector<TWinControl*>& TabList(TWinControl* c) { return c->TabList_; }
    static const std::vector<TControl*>& Children(const TWinControl* c) { return c->Controls_; }
    static WindowNode* Of(const TWinControl* c) { return c->Window_.get(); }
};

// The window control whose window shows this one's pixels, and the offset of
// this one's client area in it.
TWinControl* RootOf(TWinControl* c);
TPoint OriginInRoot(const TControl* c);
// Marks a rectangle of the root's client area invalid in every window it
// reaches (with erasing): what showing, hiding or moving a window uncovers.
void InvalidateArea(TWinControl* root, const TRect& area);
// The control that holds the mouse capture, the one the pointer is over.
TControl* CaptureControl();
void SetCaptureControl(TControl* c);
void ForgetControl(TControl* c);
TWinControl* ControlOfWindow(HWND window);

}  // namespace tarnwick::framework
