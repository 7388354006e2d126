#pragma once
// Whether the X server shows a pointer: a hidden pointer is a cursor image
// with no opaque pixel.
#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>

namespace tarnwick::test {

inline bool PointerVisible(Display* display) {
    XFixesCursorImage* cursor = XFixesGetCursorImage(display);
    bool any = false;
    for (int i = 0; i < cursor->width * cursor->height; ++i) any |= (cursor->pixels[i] >> 24) != 0;
    XFree(cursor);
    return any;
}

}  // namespace tarnwick::test
