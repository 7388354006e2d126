#pragma once
// A test that plays a host on a real X server: its own connection, on which
// X errors are counted, makes the top-level windows, moves and clicks the
// real pointer with XTest and reads the screen back.
//
// Include it after the project's headers: Xlib's macros (None, Bool, ...)
// would break them.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/PictureFile.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include "support/X11Pointer.h"

namespace tarnwick::test {

// The sockets this process has open: each X connection is one.
inline int OpenSockets() {
    int sockets = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const auto target = std::filesystem::read_symlink(entry.path(), ec);
        if (!ec && target.string().rfind("socket:", 0) == 0) ++sockets;
    }
    return sockets;
}

// The editor as `tarnwick-host render` (PROGRAM) draws it with OPTIONS, by
// way of the file PNG.
inline platform::Picture RenderedEditor(const char* program, const std::string& png,
                                        const std::string& options) {
    std::filesystem::remove(png);
    const std::string command = std::string(program) + " render --out " + png + " " + options;
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return platform::LoadPictureFile(platform::PictureFormat::Png, png);
}

// How the top-left part of a window on the screen differs from what was
// expected there.
struct ScreenDiff {
    int pixels = -1;  // how many differ; -1 when the window cannot be read
    int blacks = 0;   // how many of them are black
    int left = 0, top = 0, right = -1, bottom = -1;

    // Empty when none differ, else how many, where, and how many are black.
    std::string Text() const {
        if (pixels < 0) return "the window cannot be read";
        if (pixels == 0) return "";
        return std::to_string(pixels) + " pixels differ in (" + std::to_string(left) + ", " +
               std::to_string(top) + ")-(" + std::to_string(right) + ", " + std::to_string(bottom) +
               "), " + std::to_string(blacks) + " of them black";
    }
};

class X11Host : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = XOpenDisplay(nullptr);
        if (!host_) GTEST_SKIP() << "no X server";
        errors_ = 0;
        XSetErrorHandler(CountError);
    }
    void TearDown() override {
        if (host_) XCloseDisplay(host_);
    }

    // What passing time means to the host: idle calls to its editor, or
    // (by default) only waiting.
    virtual void Wait(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

    // A top-level window as a host makes one for a plug-in's editor.
    ::Window TopLevel(int x, int y, int width = 400, int height = 200, bool mapped = true,
                      unsigned long background = 0x808080) {
        const ::Window window =
            XCreateSimpleWindow(host_, DefaultRootWindow(host_), x, y, static_cast<unsigned>(width),
                                static_cast<unsigned>(height), 0, 0, background);
        if (mapped) XMapWindow(host_, window);
        XSync(host_, False);
        return window;
    }
    // The windows in PARENT (top_ when 0).
    std::vector<::Window> Children(::Window parent = 0) {
        ::Window root = 0, up = 0, *children = nullptr;
        unsigned count = 0;
        std::vector<::Window> found;
        if (XQueryTree(host_, parent ? parent : top_, &root, &up, &children, &count) && children)
            found.assign(children, children + count);
        if (children) XFree(children);
        return found;
    }

    // Moves the real pointer to (X, Y) in WINDOW (top_ when 0).
    void PointerTo(int x, int y, ::Window window = 0) {
        int rx = 0, ry = 0;
        ::Window child = 0;
        XTranslateCoordinates(host_, window ? window : top_, DefaultRootWindow(host_), x, y, &rx,
                              &ry, &child);
        XTestFakeMotionEvent(host_, -1, rx, ry, CurrentTime);
        XSync(host_, False);
    }
    void Button(bool down, unsigned button = 1) {
        XTestFakeButtonEvent(host_, button, down ? True : False, CurrentTime);
        XSync(host_, False);
    }
    void ClickAt(int x, int y, unsigned button = 1, int holdMs = 50) {
        PointerTo(x, y);
        Wait(50);
        Button(true, button);
        Wait(holdMs);
        Button(false, button);
        Wait(50);
    }
    // Starts a drag at (X, Y) in WINDOW: the button goes down there after
    // SETTLEMS, and the pointer moves by DY, STEPS times, STEPMS apart (from
    // (X, Y) every time when WARPSBACK, as a knob puts the pointer back).
    void Drag(int x, int y, int dy, int steps, bool warpsBack, int settleMs = 50, int stepMs = 40,
              ::Window window = 0) {
        PointerTo(x, y, window);
        Wait(settleMs);
        Button(true);
        Wait(settleMs);
        for (int i = 1; i <= steps; ++i) {
            PointerTo(x, warpsBack ? y + dy : y + i * dy, window);
            Wait(stepMs);
        }
    }
    bool PointerVisible() const { return test::PointerVisible(host_); }

    // How WINDOW's top-left WIDTH x HEIGHT on the screen differs from
    // EXPECTED(x, y) (0xRRGGBB; a higher byte is not compared).
    ScreenDiff Compare(::Window window, int width, int height,
                       const std::function<std::uint32_t(int, int)>& expected) {
        ScreenDiff diff;
        XImage* screen = width > 0 && height > 0
                             ? XGetImage(host_, window, 0, 0, static_cast<unsigned>(width),
                                         static_cast<unsigned>(height), AllPlanes, ZPixmap)
                             : nullptr;
        if (!screen) return diff;
        diff = {0, 0, width, height, -1, -1};
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const unsigned long pixel = XGetPixel(screen, x, y) & 0xFFFFFFu;
                if (pixel == (expected(x, y) & 0xFFFFFFu)) continue;
                ++diff.pixels;
                diff.blacks += pixel == 0;
                diff.left = std::min(diff.left, x);
                diff.top = std::min(diff.top, y);
                diff.right = std::max(diff.right, x);
                diff.bottom = std::max(diff.bottom, y);
            }
        XDestroyImage(screen);
        return diff;
    }
    // ... from PICTURE, over the picture's size.
    ScreenDiff Compare(::Window window, const platform::Picture& picture) {
        return Compare(window, picture.width, picture.height,
                       [&](int x, int y) { return picture.Pixel(x, y); });
    }

    static int CountError(Display*, XErrorEvent*) { return ++errors_, 0; }
    static inline int errors_ = 0;  // on the host's connection since SetUp

    Display* host_ = nullptr;
    ::Window top_ = 0;  // the host's window, for a test that keeps one
};

}  // namespace tarnwick::test
