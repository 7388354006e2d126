// Plays the user of a program on an X server, for the integration scripts:
// finds windows by name or size, types keys, clicks and drags with XTest,
// and reads windows back to compare them with a picture or save them.
//   tarnwick-x11-driver wait NAME SECONDS        the first window whose name has NAME
//   tarnwick-x11-driver size W H SECONDS         the first window of W x H
//   tarnwick-x11-driver key WINDOW KEY...        e.g. Return, ctrl+s
//   tarnwick-x11-driver click WINDOW X Y [2]     (2: a double click)
//   tarnwick-x11-driver close WINDOW             as a window manager's close button
//   tarnwick-x11-driver drag WINDOW X Y DY STEPS
//   tarnwick-x11-driver compare WINDOW PNG       prints the pixels that differ
//   tarnwick-x11-driver shot WINDOW PNG          (WINDOW 0: the whole screen)
// Windows are given and printed in decimal. Exit 0 done, 1 not found or failed.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/PictureFile.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

Display* display = nullptr;

void pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int ignoreErrors(Display*, XErrorEvent*) { return 0; }

// Depth first, children in stacking order from the top.
::Window findWindow(::Window at, const char* name, int width, int height) {
    if (name) {
        char* title = nullptr;
        if (XFetchName(display, at, &title) && title) {
            const bool match = std::strstr(title, name) != nullptr;
            XFree(title);
            if (match) return at;
        }
    } else {
        XWindowAttributes a;
        if (XGetWindowAttributes(display, at, &a) && a.width == width && a.height == height &&
            a.map_state == IsViewable)
            return at;
    }
    ::Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    ::Window found = 0;
    if (XQueryTree(display, at, &root, &parent, &children, &count) && children) {
        for (unsigned i = count; i-- > 0 && !found;)
            found = findWindow(children[i], name, width, height);
        XFree(children);
    }
    return found;
}

::Window waitFor(const char* name, int width, int height, double seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    do {
        if (::Window w = findWindow(DefaultRootWindow(display), name, width, height)) return w;
        pause(100);
    } while (std::chrono::steady_clock::now() < end);
    return 0;
}

void pointerTo(::Window window, int x, int y) {
    int rx = 0, ry = 0;
    ::Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &rx, &ry, &child);
    XTestFakeMotionEvent(display, -1, rx, ry, CurrentTime);
    XSync(display, False);
}

void button(bool down) {
    XTestFakeButtonEvent(display, 1, down ? True : False, CurrentTime);
    XSync(display, False);
}

bool key(const std::string& spec) {
    std::vector<KeyCode> codes;
    std::size_t from = 0;
    for (;;) {
        const std::size_t plus = spec.find('+', from);
        std::string name = spec.substr(from, plus == std::string::npos ? plus : plus - from);
        if (name == "ctrl") name = "Control_L";
        if (name == "alt") name = "Alt_L";
        if (name == "shift") name = "Shift_L";
        const KeySym sym = XStringToKeysym(name.c_str());
        if (sym == NoSymbol) return false;
        codes.push_back(XKeysymToKeycode(display, sym));
        if (plus == std::string::npos) break;
        from = plus + 1;
    }
    for (KeyCode c : codes) XTestFakeKeyEvent(display, c, True, CurrentTime);
    for (auto c = codes.rbegin(); c != codes.rend(); ++c)
        XTestFakeKeyEvent(display, *c, False, CurrentTime);
    XSync(display, False);
    return true;
}

tarnwick::platform::Picture grab(::Window window, int& width, int& height) {
    XWindowAttributes a{};
    XGetWindowAttributes(display, window, &a);
    width = a.width;
    height = a.height;
    tarnwick::platform::Picture picture;
    XImage* image =
        XGetImage(display, window, 0, 0, unsigned(a.width), unsigned(a.height), AllPlanes, ZPixmap);
    if (!image) return picture;
    picture.width = a.width;
    picture.height = a.height;
    picture.pixels.resize(std::size_t(a.width) * a.height * 4);
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) {
            const unsigned long p = XGetPixel(image, x, y);
            std::uint8_t* o = &picture.pixels[(std::size_t(y) * a.width + x) * 4];
            o[0] = p & 0xFF;
            o[1] = (p >> 8) & 0xFF;
            o[2] = (p >> 16) & 0xFF;
            o[3] = 0xFF;
        }
    XDestroyImage(image);
    return picture;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 1;
    display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "no X server\n");
        return 1;
    }
    XSetErrorHandler(ignoreErrors);
    const std::string command = argv[1];
    const auto arg = [&](int i) { return i < argc ? argv[i] : "0"; };
    const auto window = [&](int i) {
        const ::Window w = std::strtoul(arg(i), nullptr, 10);
        return w ? w : DefaultRootWindow(display);
    };
    int result = 1;
    try {
        if (command == "wait" || command == "size") {
            const ::Window w = command == "wait" ? waitFor(arg(2), 0, 0, std::atof(arg(3)))
                                                 : waitFor(nullptr, std::atoi(arg(2)),
                                                           std::atoi(arg(3)), std::atof(arg(4)));
            if (w) std::printf("%lu\n", w);
            result = w ? 0 : 1;
        } else if (command == "key") {
            const ::Window w = window(2);
            XSetInputFocus(display, w, RevertToParent, CurrentTime);
            XSync(display, False);
            pause(100);
            result = 0;
            for (int i = 3; i < argc; ++i) {
                if (!key(argv[i])) result = 1;
                pause(100);
            }
        } else if (command == "close") {
            XEvent e{};
            e.xclient.type = ClientMessage;
            e.xclient.window = window(2);
            e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
            e.xclient.format = 32;
            e.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
            e.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, e.xclient.window, False, NoEventMask, &e);
            XSync(display, False);
            result = 0;
        } else if (command == "click") {
            const ::Window w = window(2);
            pointerTo(w, std::atoi(arg(3)), std::atoi(arg(4)));
            pause(100);
            for (int n = 0; n < std::max(1, std::atoi(arg(5))); ++n) {
                button(true);
                pause(40);
                button(false);
                pause(60);
            }
            result = 0;
        } else if (command == "drag") {
            const ::Window w = window(2);
            const int x = std::atoi(arg(3)), y = std::atoi(arg(4)), dy = std::atoi(arg(5));
            pointerTo(w, x, y);
            pause(150);
            button(true);
            pause(150);
            for (int i = 1; i <= std::atoi(arg(6)); ++i) {
                pointerTo(w, x, y + dy);  // the knob puts the pointer back each time
                pause(60);
            }
            button(false);
            pause(150);
            result = 0;
        } else if (command == "compare" || command == "shot") {
            int width = 0, height = 0;
            const auto screen = grab(window(2), width, height);
            if (screen.pixels.empty()) throw std::runtime_error("the window cannot be read");
            if (command == "shot") {
                tarnwick::platform::WritePngFile(arg(3), {screen.pixels.data(), width, height});
            } else {
                const auto expected = tarnwick::platform::LoadPictureFile(
                    tarnwick::platform::PictureFormat::Png, arg(3));
                long differ = 0;
                for (int y = 0; y < expected.height; ++y)
                    for (int x = 0; x < expected.width; ++x)
                        if (x >= width || y >= height ||
                            (screen.Pixel(x, y) & 0xFFFFFF) != (expected.Pixel(x, y) & 0xFFFFFF))
                            ++differ;
                std::printf("%ld\n", differ);
            }
            result = 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        result = 1;
    }
    XCloseDisplay(display);
    return result;
}
