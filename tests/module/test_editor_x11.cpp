// The built module's editor inside a host's window on a real X server. The
// test plays a DAW: it makes a top-level window on its own connection, loads
// the module with dlopen, opens the editor in that window and calls
// effEditIdle 30 times a second while XTest moves the real pointer.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <thread>

#include "driver/EditorHost.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include "support/X11Host.h"

#include <X11/Xatom.h>
#include <X11/keysym.h>

namespace {

using tarnwick::test::OpenSockets;
using tarnwick::test::RecordingHost;
using MainProc = AEffect* (*)(audioMasterCallback);

class EditorInX11 : public tarnwick::test::X11Host {
protected:
    void SetUp() override {
        X11Host::SetUp();
        if (!host_) return;
        module_ = dlopen(TARNWICK_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        auto entry = reinterpret_cast<MainProc>(dlsym(module_, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        effect_ = entry(&RecordingHost::callback);
        ASSERT_NE(effect_, nullptr);
        Dispatch(effOpen);
        top_ = TopLevel(20, 30);
    }
    void TearDown() override {
        if (!host_) return;
        if (effect_) Dispatch(effClose);
        if (module_) dlclose(module_);
        XDestroyWindow(host_, top_);
        X11Host::TearDown();
        EXPECT_EQ(errors_, 0);
    }

    VstIntPtr Dispatch(VstInt32 opcode, VstInt32 index = 0, void* ptr = nullptr) {
        return effect_->dispatcher(effect_, opcode, index, 0, ptr, 0.0f);
    }
    VstIntPtr Open() { return Dispatch(effEditOpen, 0, reinterpret_cast<void*>(top_)); }

    // Idle calls at 30 a second until `done`, for at most 3 s.
    bool IdleUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 90; ++i) {
            if (idle_)
                idle_();
            else
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
    void Wait(int ms) override { IdleFor(ms); }

    // Pixels of the editor on the screen that differ from the headless
    // render of the same state.
    int DifferencesFromRender(const std::string& options, ::Window window = 0) {
        return Compare(window ? window : top_, tarnwick::test::RenderedEditor(
                                                   TARNWICK_HOST, tmp_.File("editor.png"), options))
            .pixels;
    }

    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
    // The idle call of an editor other than the module's, when one is shown.
    std::function<void()> idle_;
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
    EXPECT_EQ(Children().size(), 1u);
    IdleFor(100);
    EXPECT_EQ(DifferencesFromRender(""), 0) << "the editor shows the current values at once";

    // Drag the attack knob upwards: it hides the pointer, turns, and tells the host.
    Drag(14 + 40, 32 + 40, -4, 8, true);
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
    IdleFor(550);  // the captions finish fading
    EXPECT_EQ(DifferencesFromRender(std::string(set) + " --about"), 0);
    ClickAt(218 + 50, 140 + 6);
    IdleFor(50);
    PointerTo(390, 190);  // off the editor: no caption stays lit
    IdleFor(600);
    EXPECT_EQ(DifferencesFromRender(set), 0);

    // Closed and opened again, twice.
    for (int round = 0; round < 2; ++round) {
        Dispatch(effEditClose);
        XSync(host_, False);
        EXPECT_EQ(Children().size(), 0u);
        ASSERT_EQ(Open(), 1);
        EXPECT_EQ(Children().size(), 1u);
        IdleFor(100);
    }
    EXPECT_EQ(DifferencesFromRender(set), 0);
    Dispatch(effEditClose);
    XSync(host_, False);
    EXPECT_EQ(Children().size(), 0u);
    EXPECT_EQ(OpenSockets(), socketsBefore) << "the editor's connection is closed";
    EXPECT_TRUE(PointerVisible());
}

TEST_F(EditorInX11, AReleaseLeavesTheSlidersPointerWhereTheLastMovePutIt) {
    // At threshold 1 the slider (at 308, 32; 127 steps over a travel of 75
    // pixels) has its pointer at the top, from row 31.
    effect_->setParameter(effect_, 3, 1.0f);
    ASSERT_EQ(Open(), 1);
    IdleFor(100);
    auto threshold = [](int step) {
        char set[64];
        std::snprintf(set, sizeof set, "--set threshold=%.9g",
                      static_cast<double>(static_cast<float>(1.0L - step / 127.0L)));
        return std::string(set);
    };
    // 16 pixels down is step 27 (16 x 127 / 75), whose own pixel is 15: the
    // pointer stays at 16, where step 28 is drawn, also once the button is
    // up. (Both steps come back from their values unchanged, so the
    // updater's ticks leave them alone.)
    Drag(318, 36, 16, 1, false);
    IdleFor(250);
    EXPECT_EQ(effect_->getParameter(effect_, 3), static_cast<float>(1.0L - 27 / 127.0L));
    EXPECT_EQ(DifferencesFromRender(threshold(28)), 0);
    const int automated = recorder_.count(audioMasterAutomate);
    Button(false);
    IdleFor(250);
    EXPECT_EQ(DifferencesFromRender(threshold(28)), 0) << "the release moved the pointer";
    EXPECT_EQ(recorder_.count(audioMasterAutomate), automated);
}

TEST_F(EditorInX11, TheWheelFineDragsAndDoubleClicksTurnTheControlsAsOneGestureEach) {
    // A new program: attack, hold and release 0.1 (knob position 12),
    // threshold 0.5 (slider position 63).
    ASSERT_EQ(Open(), 1);
    effect_->setParameter(effect_, 1, 0.8f);
    IdleFor(150);
    const auto count = [&](VstInt32 opcode, VstInt32 index) {
        int n = 0;
        for (const tarnwick::test::HostCall& c : recorder_.calls())
            n += c.opcode == opcode && c.index == index;
        return n;
    };
    const auto gestures = [&](VstInt32 index) {
        return std::to_string(count(audioMasterBeginEdit, index)) + " begin, " +
               std::to_string(count(audioMasterAutomate, index)) + " automate, " +
               std::to_string(count(audioMasterEndEdit, index)) + " end";
    };
    const auto at = [](int position) { return static_cast<float>(position / 127.0L); };

    // Three notches up on the attack knob: three steps, one gesture that
    // ends shortly after the last; two down on the slider move it down.
    recorder_.clear();
    for (int i = 0; i < 3; ++i) ClickAt(14 + 40, 32 + 40, 4, 10);
    IdleFor(450);
    EXPECT_EQ(effect_->getParameter(effect_, 0), at(15));
    EXPECT_EQ(gestures(0), "1 begin, 3 automate, 1 end");
    for (int i = 0; i < 2; ++i) ClickAt(308 + 10, 100, 5, 10);
    IdleFor(450);
    EXPECT_EQ(effect_->getParameter(effect_, 3), static_cast<float>(1.0L - 65 / 127.0L));
    EXPECT_EQ(gestures(3), "1 begin, 2 automate, 1 end");
    // The wheel leaves the switches and the meter alone.
    ClickAt(12 + 20, 132 + 10, 4, 10);
    ClickAt(294 + 5, 60, 4, 10);
    IdleFor(450);
    EXPECT_EQ(count(audioMasterAutomate, 5), 0);

    // Shift held: a drag of 32 pixels up turns the release knob 8 steps.
    const KeyCode shift = XKeysymToKeycode(host_, XK_Shift_L);
    XTestFakeKeyEvent(host_, shift, True, CurrentTime);
    Drag(200 + 40, 32 + 40, -4, 8, true);
    Button(false);
    XTestFakeKeyEvent(host_, shift, False, CurrentTime);
    XSync(host_, False);
    IdleFor(100);
    EXPECT_EQ(effect_->getParameter(effect_, 2), at(20));

    // A double click on the hold knob sets a new program's value, as one
    // gesture; on the active switch each click toggles, as before.
    recorder_.clear();
    ClickAt(106 + 40, 32 + 40);
    ClickAt(106 + 40, 32 + 40);
    IdleFor(150);
    EXPECT_EQ(effect_->getParameter(effect_, 1), 0.1f);
    EXPECT_EQ(gestures(1), "1 begin, 1 automate, 1 end");
    ClickAt(12 + 20, 132 + 10);
    ClickAt(12 + 20, 132 + 10);
    IdleFor(150);
    EXPECT_EQ(count(audioMasterAutomate, 5), 2);
    EXPECT_EQ(effect_->getParameter(effect_, 5), 1.0f);

    // What the screen shows is the render of those values.
    PointerTo(390, 190);
    IdleFor(600);
    std::string set;
    for (VstInt32 i = 0; i < 4; ++i) {
        char one[48];
        std::snprintf(one, sizeof one, "--set par%d=%.9g ", i,
                      static_cast<double>(effect_->getParameter(effect_, i)));
        set += one;
    }
    EXPECT_EQ(DifferencesFromRender(set), 0);
    EXPECT_TRUE(PointerVisible());
}

TEST_F(EditorInX11, DrawnAtTheHostsScaleOrTheSystemsTheWindowSizedToIt) {
    // The host says nothing: the server's Xft.dpi (144, so 150 %) sizes
    // the editor, before the first open too.
    const auto xftDpi = [&](const char* resources) {
        XChangeProperty(host_, DefaultRootWindow(host_), XA_RESOURCE_MANAGER, XA_STRING, 8,
                        PropModeReplace, reinterpret_cast<const unsigned char*>(resources),
                        static_cast<int>(std::strlen(resources)));
        XSync(host_, False);
    };
    const auto size = [&] {
        ERect* rect = nullptr;
        Dispatch(effEditGetRect, 0, &rect);
        return rect ? std::to_string(rect->right - rect->left) + "x" +
                          std::to_string(rect->bottom - rect->top)
                    : std::string("none");
    };
    const auto window = [&] {
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned count = 0;
        XWindowAttributes a{};
        if (XQueryTree(host_, top_, &root, &parent, &children, &count) && count == 1)
            XGetWindowAttributes(host_, children[0], &a);
        if (children) XFree(children);
        return std::to_string(a.width) + "x" + std::to_string(a.height);
    };
    constexpr VstInt32 kPreS = 0x50726553, kAeCs = 0x41654373;  // 'PreS', 'AeCs'
    const auto scaleTo = [&](float factor) {
        return effect_->dispatcher(effect_, effVendorSpecific, kPreS, kAeCs, nullptr, factor);
    };
    // The attack knob turned from 0 by a drag of DY device pixels.
    const auto turnBy = [&](int scale, int dy) {
        effect_->setParameter(effect_, 0, 0.0f);
        IdleFor(100);
        Drag(scale * (14 + 40), scale * (32 + 40), dy, 1, true, 50, 50);
        Button(false);
        IdleFor(100);
        return effect_->getParameter(effect_, 0);
    };
    xftDpi("Xft.dpi:\t144\n");
    EXPECT_EQ(size(), "504x236");
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(window(), "504x236");
    Dispatch(effEditClose);

    // The host's factor wins from then on, open or not; an open editor
    // asks the host for a window of its new size.
    EXPECT_EQ(effect_->dispatcher(effect_, effCanDo, 0, 0,
                                  const_cast<char*>("supportsViewDpiScaling"), 0),
              1);
    EXPECT_EQ(scaleTo(1.0f), 1);
    EXPECT_EQ(size(), "336x157");
    ASSERT_EQ(Open(), 1);
    recorder_.clear();
    EXPECT_EQ(scaleTo(2.1f), 1) << "the nearest step: 200 %";
    EXPECT_EQ(size(), "672x314");
    IdleFor(100);
    EXPECT_EQ(window(), "672x314");
    const tarnwick::test::HostCall* resize = recorder_.last(audioMasterSizeWindow);
    ASSERT_NE(resize, nullptr);
    EXPECT_EQ(resize->index, 672);
    EXPECT_EQ(resize->value, 314);
    // A drag turns a knob by the same amount per distance as at 100 %: 12
    // device pixels are 6 of the form's.
    const float turned = turnBy(2, -12);
    EXPECT_GT(turned, 0.0f);
    recorder_.clear();
    EXPECT_EQ(scaleTo(2.0f), 1);
    EXPECT_EQ(recorder_.count(audioMasterSizeWindow), 0) << "the same step changes nothing";
    EXPECT_EQ(scaleTo(std::numeric_limits<float>::quiet_NaN()), 1);
    EXPECT_EQ(size(), "336x157") << "nonsense is 100 %";
    EXPECT_EQ(turnBy(1, -6), turned);
    EXPECT_EQ(effect_->dispatcher(effect_, effVendorSpecific, kPreS, 0, nullptr, 2.0f), 0)
        << "another vendor's call";
    EXPECT_EQ(size(), "336x157");
    Dispatch(effEditClose);
    xftDpi("");
}

TEST_F(EditorInX11, ClosedInTheMiddleOfADragThePointerComesBack) {
    ASSERT_EQ(Open(), 1);
    IdleFor(100);
    Drag(106 + 40, 32 + 40, -10, 1, true, 50, 50);
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
    const ::Window otherTop = TopLevel(20, 250, 400, 200, true, 0);

    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(
        second->dispatcher(second, effEditOpen, 0, 0, reinterpret_cast<void*>(otherTop), 0.0f), 1);
    IdleFor(100);
    Dispatch(effEditClose);
    EXPECT_EQ(Children().size(), 0u);
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

// The gestures a format's host hears, as "b0 a0 e0".
struct Gestures final : tarnwick::driver::EditorListener {
    std::string heard;
    void beginEdit(std::int32_t i) override { heard += "b" + std::to_string(i) + " "; }
    void performEdit(std::int32_t i, float) override { heard += "a" + std::to_string(i) + " "; }
    void endEdit(std::int32_t i) override { heard += "e" + std::to_string(i) + " "; }
};

// The same editor as the formats other than VST 2 show it, at 200 %: every
// place and distance is twice the form's in device pixels, and the controls
// do per distance what they do at 100 % (the other tests' drags, halved).
TEST_F(EditorInX11, AtTwoHundredPercentTheControlsBehaveAsAtOneHundredOnTwiceThePixels) {
    XDestroyWindow(host_, top_);
    top_ = TopLevel(20, 30, 700, 340);
    Gestures heard;
    tarnwick::driver::EditorHost editor(&heard);
    editor.setScale(2.0);
    EXPECT_EQ(editor.width(), 672);
    EXPECT_EQ(editor.height(), 314);
    idle_ = [&] { editor.idle(); };
    ASSERT_TRUE(editor.open(top_));
    IdleFor(100);
    EXPECT_EQ(DifferencesFromRender("--scale 2"), 0);
    const auto at = [](int position) { return static_cast<float>(position / 127.0L); };

    // 64 device pixels up on the attack knob: 32 steps, as 32 pixels at 100 %.
    Drag(2 * 54, 2 * 72, -8, 8, true);
    EXPECT_FALSE(PointerVisible());
    Button(false);
    IdleFor(150);
    EXPECT_TRUE(PointerVisible());
    EXPECT_EQ(editor.parameter(0), at(44));
    EXPECT_EQ(heard.heard.substr(0, 6), "b0 a0 ");
    EXPECT_EQ(heard.heard.substr(heard.heard.size() - 3), "e0 ");
    // With Shift, 64 device pixels turn the release knob 8 steps.
    const KeyCode shift = XKeysymToKeycode(host_, XK_Shift_L);
    XTestFakeKeyEvent(host_, shift, True, CurrentTime);
    Drag(2 * 240, 2 * 72, -8, 8, true);
    Button(false);
    XTestFakeKeyEvent(host_, shift, False, CurrentTime);
    XSync(host_, False);
    IdleFor(100);
    EXPECT_EQ(editor.parameter(2), at(20));
    // The threshold slider's pointer (position 63, from pixel 74 of its
    // travel) dragged 32 device pixels down; the same at 100 % comes below.
    Drag(2 * 318, 2 * 32 + 74 + 10, 4, 8, false);
    Button(false);
    IdleFor(150);
    const float threshold = editor.parameter(3);
    EXPECT_LT(threshold, 0.4f);
    // A wheel notch turns the hold knob a step; the active switch at its
    // scaled place toggles.
    ClickAt(2 * 146, 2 * 72, 4, 10);
    IdleFor(450);
    EXPECT_EQ(editor.parameter(1), at(13));
    ClickAt(2 * 32, 2 * 142);
    IdleFor(150);
    EXPECT_EQ(editor.parameter(5), 0.0f);
    // A double click sets the hold knob's default.
    ClickAt(2 * 146, 2 * 72);
    ClickAt(2 * 146, 2 * 72);
    IdleFor(150);
    EXPECT_EQ(editor.parameter(1), 0.1f);

    PointerTo(690, 330);  // off the editor: no caption stays lit
    IdleFor(600);
    char set[160];
    std::snprintf(set, sizeof set,
                  "--set attack=%.9g --set release=%.9g --set threshold=%.9g --set active=0",
                  static_cast<double>(editor.parameter(0)),
                  static_cast<double>(editor.parameter(2)), static_cast<double>(threshold));
    EXPECT_EQ(DifferencesFromRender(std::string("--scale 2 ") + set), 0);

    // Back to 100 % while open: a new window of the form's size, the same values.
    editor.setScale(1.0);
    EXPECT_EQ(editor.width(), 336);
    EXPECT_EQ(editor.height(), 157);
    XSync(host_, False);
    IdleFor(100);
    EXPECT_EQ(Children().size(), 1u);
    EXPECT_EQ(DifferencesFromRender(set), 0);
    // Half the distance at 100 %, from the same place, gives the same values.
    editor.setParameter(0, at(12));
    editor.setParameter(3, 0.5f);
    IdleFor(150);
    Drag(54, 72, -4, 8, true);
    Button(false);
    IdleFor(150);  // the release puts the pointer back first
    Drag(318, 32 + 37 + 5, 2, 8, false);
    Button(false);
    IdleFor(150);
    EXPECT_EQ(editor.parameter(0), at(44));
    EXPECT_EQ(editor.parameter(3), threshold);
    editor.close();
    idle_ = nullptr;
    EXPECT_TRUE(PointerVisible());
}

TEST_F(EditorInX11, AParentThatDoesNotExistGivesNoEditor) {
    const int socketsBefore = OpenSockets();
    EXPECT_EQ(Dispatch(effEditOpen, 0, reinterpret_cast<void*>(top_ + 0x100000)), 0);
    Dispatch(effEditIdle);
    Dispatch(effEditClose);
    EXPECT_EQ(OpenSockets(), socketsBefore);
}

}  // namespace
