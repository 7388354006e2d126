// The X11 back end inside a host's window on a real X server. The test
// plays the host: its own connection makes the top-level windows, reads the
// screen back and moves the real pointer with XTest.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Services.h"
#include "platform/Window.h"
#include "platform/x11/X11.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include "support/X11Host.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

namespace {

using namespace tarnwick::platform;
using tarnwick::test::OpenSockets;

struct Message {
    std::uint32_t msg;
    std::uint32_t wParam;
    int x, y;
};

std::uint32_t Pattern(int x, int y, std::uint32_t tint);

class X11Test : public tarnwick::test::X11Host {
protected:
    void TearDown() override {
        if (!host_) return;
        // The back end never leaves its error handler in place, and no
        // error of its reached the host's.
        EXPECT_EQ(XSetErrorHandler(nullptr), CountError);
        EXPECT_EQ(errors_, 0);
        EXPECT_FALSE(x11::Connected());
        X11Host::TearDown();
    }

    // Pumps as the host's idle calls do until `done`, for at most 2 s.
    static bool PumpUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 1000; ++i) {
            x11::Pump();
            if (done()) return true;
            usleep(2000);
        }
        return false;
    }

    std::uint32_t ScreenPixel(std::uintptr_t win, int x, int y) {
        XImage* image = XGetImage(host_, win, x, y, 1, 1, AllPlanes, ZPixmap);
        const auto pixel = static_cast<std::uint32_t>(XGetPixel(image, 0, 0)) & 0xFFFFFFu;
        XDestroyImage(image);
        return pixel;
    }

    // Pixels of the window's top-left width x height on the screen that
    // differ from Pattern(tint) (a different tint inside `other`), read in
    // one image; -1 when the window is not viewable.
    int Differences(std::uintptr_t win, int width, int height, std::uint32_t tint,
                    WindowRect other = {}, std::uint32_t otherTint = 0) {
        return Compare(win, width, height,
                       [&](int x, int y) {
                           const bool inOther = x >= other.left && x < other.right &&
                                                y >= other.top && y < other.bottom;
                           return Pattern(x, y, inOther ? otherTint : tint);
                       })
            .pixels;
    }

    // The pixmaps the server holds for the client that owns `resource` (the
    // back end's connection): of its first ids, the drawables that are not
    // windows. A client's ids start at a multiple of 2^18 or more (2^21 with
    // the server's 256 clients), and ours are few.
    int PixmapsOf(std::uintptr_t resource) {
        const XID base = resource & ~XID{0x3FFFF};
        XSync(host_, False);
        const XErrorHandler previous = XSetErrorHandler([](Display*, XErrorEvent*) { return 0; });
        int pixmaps = 0;
        for (XID id = base; id < base + 256; ++id) {
            ::Window root;
            int x, y;
            unsigned w, h, border, depth;
            XWindowAttributes attributes;
            pixmaps += XGetGeometry(host_, id, &root, &x, &y, &w, &h, &border, &depth) != 0 &&
                       XGetWindowAttributes(host_, id, &attributes) == 0;
        }
        XSync(host_, False);
        XSetErrorHandler(previous);
        return pixmaps;
    }

    PointerPosition RootOf(std::uintptr_t win, int x, int y) {
        int rx = 0, ry = 0;
        ::Window child;
        XTranslateCoordinates(host_, win, DefaultRootWindow(host_), x, y, &rx, &ry, &child);
        return {rx, ry};
    }
};

std::uint32_t Pattern(int x, int y, std::uint32_t tint) {
    return ((static_cast<std::uint32_t>(x) * 7u & 0xFFu) << 16) |
           ((static_cast<std::uint32_t>(y) * 5u & 0xFFu) << 8) | tint;
}

void Fill(tarnwick::platform::Window& w, std::uint32_t tint) {
    for (int y = 0; y < w.Height(); ++y)
        for (int x = 0; x < w.Width(); ++x) w.Pixels()[y * w.Width() + x] = Pattern(x, y, tint);
}

TEST_F(X11Test, ShowsItsPixelsAndTakesClicksInClientCoordinates) {
    const std::uintptr_t top = TopLevel(20, 30, 300, 200);
    auto win = CreateChildWindow(top, 160, 100);
    ASSERT_NE(x11::NativeWindow(*win), 0u);
    int paints = 0;
    std::vector<Message> got;
    win->SetMessageHandler([&](std::uint32_t msg, std::uint32_t wParam, std::int32_t lParam) {
        if (msg == 0x000F)
            ++paints;
        else
            got.push_back({msg, wParam, static_cast<std::int16_t>(lParam & 0xFFFF),
                           static_cast<std::int16_t>(lParam >> 16)});
        return 0;
    });

    Fill(*win, 0x40);
    win->InvalidateAll();
    ASSERT_TRUE(PumpUntil([&] {
        return ScreenPixel(top, 0, 0) == Pattern(0, 0, 0x40) &&
               ScreenPixel(top, 159, 99) == Pattern(159, 99, 0x40);
    }));
    EXPECT_GE(paints, 1);
    EXPECT_EQ(ScreenPixel(top, 160, 50), 0x808080u) << "the child has the size asked for";

    // Only the invalidated rectangle goes to the screen, in one pump.
    Fill(*win, 0x80);
    win->Invalidate({10, 20, 50, 40});
    const int paintsBefore = paints;
    x11::Pump();
    EXPECT_EQ(paints, paintsBefore + 1);
    EXPECT_EQ(ScreenPixel(top, 10, 20), Pattern(10, 20, 0x80));
    EXPECT_EQ(ScreenPixel(top, 49, 39), Pattern(49, 39, 0x80));
    EXPECT_EQ(ScreenPixel(top, 50, 39), Pattern(50, 39, 0x40));
    // Nothing invalid: no paint.
    x11::Pump();
    EXPECT_EQ(paints, paintsBefore + 1);

    // Press inside, drag out of the window and release there: the implicit
    // grab brings the rest, in our client coordinates.
    const PointerPosition origin = RootOf(top, 0, 0);
    XTestFakeMotionEvent(host_, -1, origin.x + 30, origin.y + 40, CurrentTime);
    XTestFakeButtonEvent(host_, 1, True, CurrentTime);
    XTestFakeMotionEvent(host_, -1, origin.x + 250, origin.y + 45, CurrentTime);
    XTestFakeButtonEvent(host_, 1, False, CurrentTime);
    XSync(host_, False);
    ASSERT_TRUE(PumpUntil([&] { return !got.empty() && got.back().msg == 0x0202; }));
    for (int i = 0; i < 5; ++i) x11::Pump();
    // Entering and leaving tell nothing the moves and buttons did not.
    const std::vector<std::array<int, 4>> expected = {
        {0x0200, 0x00, 30, 40},   // WM_MOUSEMOVE
        {0x0201, 0x01, 30, 40},   // WM_LBUTTONDOWN with MK_LBUTTON
        {0x0200, 0x01, 250, 45},  // the drag, outside the window
        {0x0202, 0x00, 250, 45},  // WM_LBUTTONUP, no button held any more
    };
    std::vector<std::array<int, 4>> seen;
    for (const Message& m : got)
        seen.push_back({static_cast<int>(m.msg), static_cast<int>(m.wParam), m.x, m.y});
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(GetPointerPosition(), (PointerPosition{origin.x + 250, origin.y + 45}));

    const KeyCode shift = XKeysymToKeycode(host_, XK_Shift_L);
    XTestFakeKeyEvent(host_, shift, True, CurrentTime);
    XSync(host_, False);
    EXPECT_TRUE(IsModifierDown(ModifierKey::Shift));
    EXPECT_FALSE(IsModifierDown(ModifierKey::Control));
    XTestFakeKeyEvent(host_, shift, False, CurrentTime);
    XSync(host_, False);
    EXPECT_FALSE(IsModifierDown(ModifierKey::Shift));
}

TEST_F(X11Test, TheWheelIsItsNotchesAndASecondClickSoonAtOnePointADoubleClick) {
    const std::uintptr_t top = TopLevel(20, 30, 300, 200);
    auto win = CreateChildWindow(top, 160, 100);
    std::vector<std::array<int, 3>> got;  // message, WParam's high and low words
    win->SetMessageHandler([&](std::uint32_t msg, std::uint32_t wParam, std::int32_t) {
        if (msg != 0x000F && msg != 0x0200)
            got.push_back({static_cast<int>(msg), static_cast<std::int16_t>(wParam >> 16),
                           static_cast<int>(wParam & 0xFFFF)});
        return 0;
    });
    const PointerPosition origin = RootOf(top, 0, 0);
    const auto at = [&](int x, int y) {
        XTestFakeMotionEvent(host_, -1, origin.x + x, origin.y + y, CurrentTime);
    };
    const auto press = [&](unsigned button) {
        XTestFakeButtonEvent(host_, button, True, CurrentTime);
        XTestFakeButtonEvent(host_, button, False, CurrentTime);
        XSync(host_, False);
        for (int i = 0; i < 3; ++i) x11::Pump();
    };
    at(30, 40);
    press(4);
    const KeyCode shift = XKeysymToKeycode(host_, XK_Shift_L);
    XTestFakeKeyEvent(host_, shift, True, CurrentTime);
    press(5);
    XTestFakeKeyEvent(host_, shift, False, CurrentTime);
    press(1);
    press(1);  // soon, at the same point: a double click
    press(1);  // the third starts anew
    at(40, 40);
    press(1);  // too far from the last
    usleep(600 * 1000);
    press(1);  // too late after it
    ASSERT_TRUE(PumpUntil([&] { return got.size() >= 12; }));
    const std::vector<std::array<int, 3>> expected = {
        {0x020A, 120, 0x00}, {0x020A, -120, 0x04},  // WM_MOUSEWHEEL, up, then down with MK_SHIFT
        {0x0201, 0, 0x01},   {0x0202, 0, 0x00},     // WM_LBUTTONDOWN, WM_LBUTTONUP
        {0x0203, 0, 0x01},   {0x0202, 0, 0x00},     // WM_LBUTTONDBLCLK
        {0x0201, 0, 0x01},   {0x0202, 0, 0x00},    {0x0201, 0, 0x01},
        {0x0202, 0, 0x00},   {0x0201, 0, 0x01},    {0x0202, 0, 0x00},
    };
    EXPECT_EQ(got, expected);
}

// Hosts map their window after the editor has drawn into it, and hide and
// show it again: the server shows the last frame by itself, with no pump
// in between, and keeps no frame of a size or a window that is gone.
TEST_F(X11Test, TheServerShowsTheLastFrameOnMapAndExposeWithoutAPump) {
    const std::uintptr_t top = TopLevel(20, 30, 300, 200, false);
    auto win = CreateChildWindow(top, 160, 100);
    ASSERT_NE(x11::NativeWindow(*win), 0u);
    int paints = 0;
    win->SetMessageHandler([&](std::uint32_t msg, std::uint32_t, std::int32_t) {
        paints += msg == 0x000F;
        return 0;
    });
    // Drawn while the parent is unmapped, as the editor's open does.
    Fill(*win, 0x40);
    win->InvalidateAll();
    x11::Pump();
    ASSERT_EQ(paints, 1);
    XMapWindow(host_, top);
    XSync(host_, False);
    EXPECT_EQ(Differences(top, 160, 100, 0x40), 0) << "the first frame, at once";

    // Hidden, changed in part, shown again: the frame as last presented.
    Fill(*win, 0x80);
    win->Invalidate({10, 20, 50, 40});
    x11::Pump();
    XUnmapWindow(host_, top);
    XMapWindow(host_, top);
    XSync(host_, False);
    EXPECT_EQ(Differences(top, 160, 100, 0x40, {10, 20, 50, 40}, 0x80), 0);
    // Covered and uncovered: the same, and the exposure asks for no paint.
    const std::uintptr_t cover = TopLevel(20, 30, 100, 60);
    XDestroyWindow(host_, cover);
    XSync(host_, False);
    EXPECT_EQ(Differences(top, 160, 100, 0x40, {10, 20, 50, 40}, 0x80), 0);
    for (int i = 0; i < 5; ++i) x11::Pump();
    EXPECT_EQ(paints, 2);

    // A new size gets a frame of its own, the old one is freed, and so is
    // the frame of a window whose parent the host destroys.
    const std::uintptr_t xid = x11::NativeWindow(*win);
    EXPECT_EQ(PixmapsOf(xid), 1);
    for (int size = 0; size < 3; ++size) {
        win->SetSize(200 - size * 10, 120);
        Fill(*win, 0x20);
        x11::Pump();
    }
    XUnmapWindow(host_, top);
    XMapWindow(host_, top);
    XSync(host_, False);
    EXPECT_EQ(Differences(top, 180, 120, 0x20), 0);
    EXPECT_EQ(PixmapsOf(xid), 1);
    const std::uintptr_t other = TopLevel(20, 250, 100, 100);
    auto second = CreateChildWindow(other, 50, 50);
    second->InvalidateAll();
    x11::Pump();
    EXPECT_EQ(PixmapsOf(xid), 2);
    XDestroyWindow(host_, top);
    XSync(host_, False);
    ASSERT_TRUE(PumpUntil([&] { return x11::NativeWindow(*win) == 0; }));
    EXPECT_EQ(PixmapsOf(x11::NativeWindow(*second)), 1);
}

TEST_F(X11Test, TheSystemsScaleIsTheServersXftDpiOver96ReadAfresh) {
    const auto set = [&](const char* resources) {
        const ::Window root = DefaultRootWindow(host_);
        if (resources)
            XChangeProperty(host_, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                            reinterpret_cast<const unsigned char*>(resources),
                            static_cast<int>(std::strlen(resources)));
        else
            XDeleteProperty(host_, root, XA_RESOURCE_MANAGER);
        XSync(host_, False);
        return tarnwick::platform::SystemScale(0);
    };
    EXPECT_EQ(set("Xcursor.size:\t24\nXft.dpi:\t144\n"), 1.5);
    EXPECT_EQ(set("Xft.dpi: 192"), 2.0) << "a change since is seen";
    EXPECT_EQ(set("Xft.dpi:\t120.5\nXft.hinting:\t1\n"), 120.5 / 96);
    for (const char* nothing : {"Xft.dpi:\tlots\n", "Xft.dpi:\t-96\n", "Xft.dpi:\t1e9\n",
                                "Xft.antialias:\t1\n", "Xft.dpi:", ""})
        EXPECT_EQ(set(nothing), 1.0) << nothing;
    EXPECT_EQ(set(nullptr), 1.0);
}

TEST_F(X11Test, TimersRunFromThePumpOnly) {
    int ticks = 0;
    ASSERT_TRUE(StartTimer(0, 7, 10, [&] { ++ticks; }));
    usleep(60000);
    EXPECT_EQ(ticks, 0);
    x11::Pump();
    EXPECT_EQ(ticks, 1) << "late periods are not caught up";

    const std::uint32_t start = TickCount();
    ASSERT_TRUE(PumpUntil([&] { return ticks >= 4; }));
    EXPECT_GE(TickCount() - start, 25u);
    EXPECT_TRUE(StopTimer(0, 7));
    usleep(30000);
    x11::Pump();
    EXPECT_EQ(ticks, 4);

    // A timer of a window stops with it.
    auto win = CreateChildWindow(0, 0, 0);
    EXPECT_EQ(x11::NativeWindow(*win), 0u);
    const std::uintptr_t handle = win->Handle();
    ASSERT_TRUE(StartTimer(handle, 1, 1, [&] { ++ticks; }));
    win.reset();
    usleep(5000);
    x11::Pump();
    EXPECT_EQ(ticks, 4);
    EXPECT_FALSE(StopTimer(handle, 1));
}

TEST_F(X11Test, PointerIsHiddenOverOurWindowWhileTheCounterIsBelowZero) {
    const std::uintptr_t top = TopLevel(10, 10, 200, 200);
    auto win = CreateChildWindow(top, 120, 120);
    const PointerPosition inside = RootOf(top, 60, 60);
    SetPointerPosition(inside);
    EXPECT_EQ(GetPointerPosition(), inside);
    EXPECT_TRUE(PointerVisible());

    EXPECT_EQ(ShowPointer(false), -1);
    EXPECT_FALSE(PointerVisible());
    EXPECT_EQ(ShowPointer(false), -2);
    EXPECT_EQ(ShowPointer(true), -1);
    EXPECT_FALSE(PointerVisible());
    EXPECT_EQ(ShowPointer(true), 0);
    EXPECT_TRUE(PointerVisible());

    // A window made while hidden is hidden over too; closing the editor in
    // the middle of a drag leaves no hidden pointer behind.
    EXPECT_EQ(ShowPointer(false), -1);
    win.reset();
    win = CreateChildWindow(top, 120, 120);
    EXPECT_FALSE(PointerVisible());
    XTestFakeButtonEvent(host_, 1, True, CurrentTime);
    XTestFakeMotionEvent(host_, -1, inside.x + 150, inside.y, CurrentTime);
    XSync(host_, False);
    x11::Pump();
    EXPECT_FALSE(PointerVisible()) << "the drag's grab keeps our cursor outside the window";
    win.reset();
    EXPECT_TRUE(PointerVisible());
    XTestFakeButtonEvent(host_, 1, False, CurrentTime);
    EXPECT_EQ(ShowPointer(true), 0);
}

TEST_F(X11Test, WindowsShareOneConnectionUntilTheLastGoesInAnyOrder) {
    const std::uintptr_t a = TopLevel(0, 0, 100, 100);
    const std::uintptr_t b = TopLevel(100, 0, 100, 100);
    for (bool firstGoesFirst : {true, false}) {
        auto first = CreateChildWindow(a, 50, 50);
        auto second = CreateChildWindow(b, 50, 50);
        ASSERT_NE(x11::NativeWindow(*first), 0u);
        ASSERT_NE(x11::NativeWindow(*second), 0u);
        (firstGoesFirst ? first : second).reset();
        x11::Pump();
        EXPECT_TRUE(x11::Connected());
        (firstGoesFirst ? second : first).reset();
        EXPECT_FALSE(x11::Connected());
    }

    // A parent that does not exist any more: a window with no X window, and
    // the host lives on.
    const ::Window gone = TopLevel(0, 0, 1, 1, false, 0);
    XDestroyWindow(host_, gone);
    XSync(host_, False);
    auto orphan = CreateChildWindow(gone, 50, 50);
    EXPECT_EQ(x11::NativeWindow(*orphan), 0u);
    EXPECT_FALSE(x11::Connected());
    orphan->InvalidateAll();
    x11::Pump();
    EXPECT_FALSE(orphan->HasInvalidated());
    orphan.reset();

    // The host destroys its window before closing the editor, seen by a
    // pump or not.
    auto seen = CreateChildWindow(a, 50, 50);
    auto unseen = CreateChildWindow(b, 50, 50);
    XDestroyWindow(host_, a);
    XSync(host_, False);
    ASSERT_TRUE(PumpUntil([&] { return x11::NativeWindow(*seen) == 0; }));
    EXPECT_TRUE(x11::Connected());
    XDestroyWindow(host_, b);
    XSync(host_, False);
    unseen.reset();
    EXPECT_FALSE(x11::Connected());
    seen.reset();
}

// The X server goes away under an open window. The host guards its own
// connection; the back end's must not end the process either (Xlib's
// default for a lost connection): the window goes quiet, a pump and closing
// do nothing more on X, and the host hears of its own connection only.
// Each order runs in a child process with a server of its own, so that a
// death is a failed test; SIGPIPE is left as it is, so that a write to the
// dead socket would be one too.

// Starts a virtual X server, sets DISPLAY to it and gives its process (0
// when none started).
pid_t StartServer() {
    int fds[2];
    if (pipe(fds) != 0) return 0;
    const pid_t server = fork();
    if (server == 0) {
        dup2(fds[1], 3);
        dup2(open("/dev/null", O_WRONLY), 2);
        execl(TARNWICK_XVFB, "Xvfb", "-displayfd", "3", "-screen", "0", "320x240x24", "-nolisten",
              "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    char c = 0;
    while (poll(&p, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    if (number.empty()) {
        kill(server, SIGKILL);
        waitpid(server, nullptr, 0);
        return 0;
    }
    setenv("DISPLAY", (":" + number).c_str(), 1);
    return server;
}

Display* lostHost = nullptr;
int hostLosses = 0;
int otherLosses = 0;
int HostIOError(Display* display) {
    ++(display == lostHost ? hostLosses : otherLosses);
    return 0;
}
void HostIOErrorExit(Display*, void*) {}

// The first call after the server dies: a pump (an idle call) or the
// destruction of a window (closing an editor).
void LoseTheServer(bool closeFirst) {
    const pid_t server = StartServer();
    ASSERT_NE(server, 0) << "no virtual X server could start";
    lostHost = XOpenDisplay(nullptr);
    ASSERT_NE(lostHost, nullptr);
    XSetIOErrorHandler(HostIOError);
    XSetIOErrorExitHandler(lostHost, HostIOErrorExit, nullptr);
    const ::Window top =
        XCreateSimpleWindow(lostHost, DefaultRootWindow(lostHost), 0, 0, 200, 100, 0, 0, 0);
    XMapWindow(lostHost, top);
    XSync(lostHost, False);
    const int socketsBefore = OpenSockets();

    auto closing = CreateChildWindow(top, 50, 50);
    auto win = CreateChildWindow(top, 100, 80);
    ASSERT_NE(x11::NativeWindow(*win), 0u);
    std::vector<std::uint32_t> got;
    win->SetMessageHandler([&](std::uint32_t msg, std::uint32_t, std::int32_t) {
        if (msg != 0x000F) got.push_back(msg);
        return 0;
    });
    // A drag under way: the button pressed over the window, the pointer hidden.
    XTestFakeMotionEvent(lostHost, -1, 60, 20, CurrentTime);
    XTestFakeButtonEvent(lostHost, 1, True, CurrentTime);
    XSync(lostHost, False);
    for (int i = 0; i < 200 && (got.empty() || got.back() != 0x0201); ++i) {
        x11::Pump();
        usleep(2000);
    }
    ASSERT_FALSE(got.empty());
    ASSERT_EQ(got.back(), 0x0201u);
    EXPECT_EQ(ShowPointer(false), -1);

    kill(server, SIGKILL);
    waitpid(server, nullptr, 0);
    // The host meets the loss on its own connection first: its handler
    // hears of it, passed on by ours.
    XSync(lostHost, False);
    EXPECT_EQ(hostLosses, 1);
    if (closeFirst) closing.reset();
    for (int i = 0; i < 3; ++i) x11::Pump();
    EXPECT_FALSE(x11::Connected());
    EXPECT_EQ(x11::NativeWindow(*win), 0u);
    EXPECT_EQ(got.back(), 0x001Fu) << "the drag is over";
    EXPECT_EQ(OpenSockets(), socketsBefore) << "the back end's connection is closed";

    // The window lives on without X, and so do the services; a new window
    // finds no server.
    win->SetSize(120, 90);
    x11::Pump();
    EXPECT_EQ(ShowPointer(true), 0);
    SetPointerPosition({5, 5});
    IsModifierDown(ModifierKey::Shift);
    EXPECT_EQ(x11::NativeWindow(*CreateChildWindow(top, 50, 50)), 0u);
    win.reset();
    closing.reset();
    EXPECT_EQ(otherLosses, 0) << "the host heard of the back end's connection";
    EXPECT_EQ(XSetIOErrorHandler(nullptr), HostIOError) << "the host's handler is back";
    XCloseDisplay(lostHost);
}

TEST(X11LostServer, NeitherAnIdleCallNorClosingEndsTheHost) {
    for (bool closeFirst : {false, true}) {
        std::fflush(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            alarm(30);
            LoseTheServer(closeFirst);
            std::fflush(nullptr);
            _exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
            << (closeFirst ? "closing" : "idling") << " first: "
            << (WIFSIGNALED(status) ? "ended by signal " + std::to_string(WTERMSIG(status))
                                    : "exit status " + std::to_string(WEXITSTATUS(status)));
    }
}

}  // namespace
