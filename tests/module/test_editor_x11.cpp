// The built module's editor inside a host's window on a real X server. The
// test plays a DAW: it makes a top-level window on its own connection, loads
// the module with dlopen, opens the editor in that window and calls
// effEditIdle 30 times a second while XTest moves the real pointer.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>

#include "platform/PictureFile.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/extensions/Xfixes.h>

namespace {

using tarnwick::test::RecordingHost;
using MainProc = AEffect* (*)(audioMasterCallback);

int hostErrors = 0;
int HostErrorHandler(Display*, XErrorEvent*) { return ++hostErrors, 0; }

// The sockets this process has open: the module's connection to the X
// server is one of them while the editor is open.
int OpenSockets() {
    int sockets = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        const auto target = std::filesystem::read_symlink(entry.path(), ec);
        if (!ec && target.string().rfind("socket:", 0) == 0) ++sockets;
    }
    return sockets;
}

class EditorInX11 : public ::testing::Test {
protected:
    void SetUp() override {
        host_ = XOpenDisplay(nullptr);
        if (!host_) GTEST_SKIP() << "no X server";
        XSetErrorHandler(HostErrorHandler);
        module_ = dlopen(TARNWICK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        auto entry = reinterpret_cast<MainProc>(dlsym(module_, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        effect_ = entry(&RecordingHost::callback);
        ASSERT_NE(effect_, nullptr);
        Dispatch(effOpen);
        top_ =
            XCreateSimpleWindow(host_, DefaultRootWindow(host_), 20, 30, 400, 200, 0, 0, 0x808080);
        XMapWindow(host_, top_);
        XSync(host_, False);
    }
    void TearDown() override {
        if (!host_) return;
        if (effect_) Dispatch(effClose);
        if (module_) dlclose(module_);
        XDestroyWindow(host_, top_);
        XCloseDisplay(host_);
        EXPECT_EQ(hostErrors, 0);
    }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr) {
        return effect_->dispatcher(effect_, opcode, index, 0, ptr, 0.0f);
    }
    VstIntPtr Open() { return Dispatch(effEditOpen, 0, reinterpret_cast<void*>(top_)); }

    // Idle calls at 30 a second until `done`, for at most 3 s.
    bool IdleUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 90; ++i) {
            Dispatch(effEditIdle);
            XSync(host_, False);
            if (done()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(33));
        }
        return false;
    }
    void IdleFor(int ms) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        IdleUntil([&] { return std::chrono::steady_clock::now() >= end; });
    }

    // The editor's X windows inside the host's window.
    unsigned Children() {
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XQueryTree(host_, top_, &root, &parent, &children, &count);
        if (children) XFree(children);
        return count;
    }
    // Moves the real pointer to a point of the editor (which sits at 0, 0).
    void PointerTo(int x, int y) {
        int rx = 0, ry = 0;
        ::Window child = 0;
        XTranslateCoordinates(host_, top_, DefaultRootWindow(host_), x, y, &rx, &ry, &child);
        XTestFakeMotionEvent(host_, -1, rx, ry, CurrentTime);
        XSync(host_, False);
    }
    void Button(bool down) {
        XTestFakeButtonEvent(host_, 1, down ? True : False, CurrentTime);
        XSync(host_, False);
    }
    void ClickAt(int x, int y) {
        PointerTo(x, y);
        IdleFor(50);
        Button(true);
        IdleFor(50);
        Button(false);
    }
    bool PointerVisible() {
        XFixesCursorImage* cursor = XFixesGetCursorImage(host_);
        bool any = false;
        for (int i = 0; i < cursor->width * cursor->height; ++i)
            any |= (cursor->pixels[i] >> 24) != 0;
        XFree(cursor);
        return any;
    }

    // Pixels of the editor on the screen that differ from the headless
    // render of the same state.
    int DifferencesFromRender(const std::string& options, ::Window window = 0) {
        const std::string png = tmp_.File("editor.png");
        const std::string command =
            std::string(TARNWICK_HOST) + " render --out " + png + " " + options;
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        const auto picture =
            tarnwick::platform::LoadPictureFile(tarnwick::platform::PictureFormat::Png, png);
        XImage* screen =
            XGetImage(host_, window ? window : top_, 0, 0, static_cast<unsigned>(picture.width),
                      static_cast<unsigned>(picture.height), AllPlanes, ZPixmap);
        if (!screen) return -1;  // not all on the screen
        int differences = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                differences +=
                    (XGetPixel(screen, x, y) & 0xFFFFFFu) != (picture.Pixel(x, y) & 0xFFFFFFu);
        XDestroyImage(screen);
        return differences;
    }

    Display* host_ = nullptr;
    ::Window top_ = 0;
    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
    RecordingHost recorder_{RecordingHost::Answers::LikeAHost};
    tarnwick::test::TempDir tmp_;
};

TEST_F(EditorInX11, DrivenByARealPointerItAutomatesShowsTheAboutPanelAndComesAndGoes) {
    const int socketsBefore = OpenSockets();
    ASSERT_EQ(Open(), 1);
    ERect* rect = nullptr;
    Dispatch(effEditGetRect, 0, &rect);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 336);
    EXPECT_EQ(rect->bottom - rect->top, 157);
    EXPECT_EQ(Children(), 1u);
    IdleFor(100);
    EXPECT_EQ(DifferencesFromRender(""), 0) << "the editor shows the current values at once";

    // Drag the attack knob upwards: it hides the pointer, turns, and tells the host.
    const int knobX = 14 + 40, knobY = 32 + 40;
    PointerTo(knobX, knobY);
    IdleFor(50);
    Button(true);
    IdleFor(50);
    for (int i = 0; i < 8; ++i) {
        PointerTo(knobX, knobY - 4);
        IdleFor(40);
    }
    EXPECT_FALSE(PointerVisible());
    Button(false);
    IdleFor(150);
    EXPECT_TRUE(PointerVisible());
    ASSERT_GT(recorder_.count(audioMasterAutomate), 0);
    const tarnwick::test::HostCall* last = recorder_.last(audioMasterAutomate);
    EXPECT_EQ(last->index, 0);
    const float attack = effect_->getParameter(effect_, 0);
    EXPECT_EQ(last->opt, attack);
    EXPECT_GT(attack, 0.1f);

    // The maker's name opens the about panel over everything.
    char set[64];
    std::snprintf(set, sizeof set, "--set attack=%.9g", static_cast<double>(attack));
    ClickAt(254 + 20, 134 + 10);
    IdleFor(600);  // the captions finish fading
    EXPECT_EQ(DifferencesFromRender(std::string(set) + " --about"), 0);
    ClickAt(218 + 50, 140 + 6);
    IdleFor(100);
    PointerTo(390, 190);  // off the editor: no caption stays lit
    IdleFor(600);
    EXPECT_EQ(DifferencesFromRender(set), 0);

    // Closed and opened again, twice.
    for (int round = 0; round < 2; ++round) {
        Dispatch(effEditClose);
        XSync(host_, False);
        EXPECT_EQ(Children(), 0u);
        ASSERT_EQ(Open(), 1);
        EXPECT_EQ(Children(), 1u);
        IdleFor(100);
    }
    EXPECT_EQ(DifferencesFromRender(set), 0);
    Dispatch(effEditClose);
    XSync(host_, False);
    EXPECT_EQ(Children(), 0u);
    EXPECT_EQ(OpenSockets(), socketsBefore) << "the editor's connection is closed";
    EXPECT_TRUE(PointerVisible());
}

TEST_F(EditorInX11, ClosedInTheMiddleOfADragThePointerComesBack) {
    ASSERT_EQ(Open(), 1);
    IdleFor(100);
    PointerTo(106 + 40, 32 + 40);
    IdleFor(50);
    Button(true);
    IdleFor(50);
    PointerTo(106 + 40, 32 + 30);
    IdleFor(50);
    EXPECT_FALSE(PointerVisible());
    Dispatch(effEditClose);
    Button(false);
    // The drag let go of the pointer: over a new editor it shows.
    ASSERT_EQ(Open(), 1);
    PointerTo(200, 20);
    IdleFor(100);
    EXPECT_TRUE(PointerVisible());
}

TEST_F(EditorInX11, SeveralInstancesOpenAndCloseInAnyOrder) {
    const int socketsBefore = OpenSockets();
    auto entry = reinterpret_cast<MainProc>(dlsym(module_, "VSTPluginMain"));
    AEffect* second = entry(&RecordingHost::callback);
    second->dispatcher(second, effOpen, 0, 0, nullptr, 0.0f);
    const ::Window otherTop =
        XCreateSimpleWindow(host_, DefaultRootWindow(host_), 20, 250, 400, 200, 0, 0, 0);
    XMapWindow(host_, otherTop);
    XSync(host_, False);

    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(
        second->dispatcher(second, effEditOpen, 0, 0, reinterpret_cast<void*>(otherTop), 0.0f), 1);
    IdleFor(100);
    Dispatch(effEditClose);
    EXPECT_EQ(Children(), 0u);
    // The other editor still follows its gate.
    second->setParameter(second, 0, 1.0f);
    for (int i = 0; i < 6; ++i) {
        second->dispatcher(second, effEditIdle, 0, 0, nullptr, 0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(33));
    }
    EXPECT_EQ(DifferencesFromRender("--set attack=1", otherTop), 0);
    ASSERT_EQ(Open(), 1);
    second->dispatcher(second, effEditClose, 0, 0, nullptr, 0.0f);
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
    IdleFor(100);
    Dispatch(effEditClose);
    XDestroyWindow(host_, otherTop);
    EXPECT_EQ(OpenSockets(), socketsBefore);
}

TEST_F(EditorInX11, AParentThatDoesNotExistGivesNoEditor) {
    const int socketsBefore = OpenSockets();
    EXPECT_EQ(Dispatch(effEditOpen, 0, reinterpret_cast<void*>(top_ + 0x100000)), 0);
    Dispatch(effEditIdle);
    Dispatch(effEditClose);
    EXPECT_EQ(OpenSockets(), socketsBefore);
}

}  // namespace
