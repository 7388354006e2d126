// Tarnwick.clap's editor in a host's window on a real X server. The test
// plays the host: a top-level window on its own connection, the plug-in's
// timer and X descriptor on a loop of its own, flush or process when the
// plug-in asks, and the real pointer moved by XTest.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "clap/ClapTestHost.h"
#include "support/TempDir.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include "support/X11Host.h"

namespace {

using namespace tarnwick::test;

// A plug-in with a host of its own, and what that host heard.
struct Side {
    explicit Side(const ClapFile& file) : gate(file, host) {}
    TestHost host;
    Instance gate;
    OutEvents edits;  // every event the plug-in sent out, in order
    bool flushWanted = false;
    bool processing = false;
};

class Editor : public X11Host {
protected:
    void SetUp() override {
        X11Host::SetUp();
        if (!host_) return;
        ASSERT_NE(file_.factory(), nullptr) << ModuleError();
        socketsBefore_ = OpenSockets();
        top_ = TopLevel(20, 30);
        first_ = &Add();
    }
    void TearDown() override {
        if (!host_) return;
        sides_.clear();
        XDestroyWindow(host_, top_);
        X11Host::TearDown();
        EXPECT_EQ(errors_, 0);
    }

    Side& Add() {
        sides_.push_back(std::make_unique<Side>(file_));
        Side& side = *sides_.back();
        EXPECT_TRUE(side.gate && side.gate->init(side.gate.get()));
        side.host.onRequestFlush = [&side] { side.flushWanted = true; };
        return side;
    }
    const clap_plugin_gui_t* Gui(Side& side) { return side.gate.gui(); }
    bool Open(Side& side, ::Window parent) {
        const clap_plugin_gui_t* gui = Gui(side);
        clap_window_t window{};
        window.api = CLAP_WINDOW_API_X11;
        window.x11 = parent;
        return gui->create(side.gate.get(), CLAP_WINDOW_API_X11, false) &&
               gui->set_scale(side.gate.get(), 1.0) && gui->set_parent(side.gate.get(), &window) &&
               gui->show(side.gate.get());
    }

    // The host's loop: each plug-in's timer and descriptor, and the flush
    // or the block each asked for, on the host's main thread.
    void Wait(int ms) override {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            for (auto& side : sides_) {
                if (!side->gate) continue;
                side->host.RunLoop(side->gate.get(), 4);
                if (side->processing) {
                    Process(*side);
                } else if (side->flushWanted) {
                    side->flushWanted = false;
                    for (const AnyEvent& e : side->gate.flush().events)
                        side->edits.events.push_back(e);
                }
            }
            XSync(host_, False);
        } while (std::chrono::steady_clock::now() < end);
    }
    void Process(Side& side, float key = 0.0f) {
        std::vector<float> silence(256, 0.0f), keys(256, key), out(512);
        float* signal[2] = {silence.data(), silence.data()};
        float* keyBuffers[2] = {keys.data(), keys.data()};
        float* outs[2] = {out.data(), out.data() + 256};
        clap_audio_buffer_t ins[2] = {{signal, nullptr, 2, 0, 0}, {keyBuffers, nullptr, 2, 0, 0}};
        clap_audio_buffer_t output = {outs, nullptr, 2, 0, 0};
        InEvents none;
        clap_process_t p = Block(256, ins, 2, &output, &none.list, &side.edits.list);
        EXPECT_EQ(side.gate->process(side.gate.get(), &p), CLAP_PROCESS_CONTINUE);
    }
    int DifferencesFromRender(const std::string& options, ::Window window = 0) {
        return Compare(window ? window : top_,
                       RenderedEditor(TARNWICK_HOST, tmp_.File("editor.png"), options))
            .pixels;
    }
    // The events from a gesture on the attack knob: begin, values, end.
    static bool OneGesture(const std::string& text, int param) {
        const std::string id = std::to_string(param);
        return text.rfind("begin:" + id + " value:" + id, 0) == 0 && text.size() >= 5 + id.size() &&
               text.compare(text.size() - 4 - id.size(), std::string::npos, "end:" + id) == 0 &&
               text.find("end:") == text.size() - 4 - id.size();
    }

    ClapFile file_{TARNWICK_CLAP_FILE};
    std::vector<std::unique_ptr<Side>> sides_;
    Side* first_ = nullptr;
    int socketsBefore_ = 0;
    TempDir tmp_;
};

TEST_F(Editor, NeedsTheHostsTimerAndDescriptorsAndIsEmbeddedOnly) {
    for (auto [timers, fds] : {std::pair{false, true}, std::pair{true, false}}) {
        TestHost lacking(timers, fds);
        Instance gate(file_, lacking);
        ASSERT_TRUE(gate->init(gate.get()));
        EXPECT_FALSE(gate.gui()->create(gate.get(), CLAP_WINDOW_API_X11, false))
            << "no editor rather than a frozen one";
    }
    const clap_plugin_t* p = first_->gate.get();
    const clap_plugin_gui_t* gui = Gui(*first_);
    EXPECT_TRUE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->is_api_supported(p, CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE(gui->is_api_supported(p, CLAP_WINDOW_API_WAYLAND, false));
    EXPECT_FALSE(gui->create(p, CLAP_WINDOW_API_X11, true));
    EXPECT_FALSE(gui->create(p, CLAP_WINDOW_API_WIN32, false));
    ASSERT_TRUE(gui->create(p, CLAP_WINDOW_API_X11, false));
    EXPECT_FALSE(gui->create(p, CLAP_WINDOW_API_X11, false)) << "made already";
    std::uint32_t w = 0, h = 0;
    ASSERT_TRUE(gui->get_size(p, &w, &h));
    EXPECT_EQ(w, 336u);
    EXPECT_EQ(h, 157u);
    EXPECT_FALSE(gui->can_resize(p));
    // The host's scale sizes the editor; a change while it is shown asks
    // the host to resize.
    EXPECT_TRUE(gui->set_scale(p, 1.5));
    EXPECT_FALSE(gui->set_scale(p, 0.0));
    ASSERT_TRUE(gui->get_size(p, &w, &h));
    EXPECT_EQ(w, 504u);
    EXPECT_EQ(h, 236u);
    EXPECT_TRUE(gui->set_size(p, 504, 236));
    EXPECT_FALSE(gui->set_size(p, 400, 200));
    EXPECT_FALSE(gui->show(p)) << "no parent yet";
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_X11;
    window.x11 = top_ + 0x100000;  // no such window
    EXPECT_FALSE(gui->set_parent(p, &window));
    EXPECT_TRUE(first_->host.timers.empty());
    window.x11 = top_;
    ASSERT_TRUE(gui->set_parent(p, &window) && gui->show(p));
    EXPECT_TRUE(gui->set_scale(p, 2.0));
    EXPECT_EQ(first_->host.resizes, (decltype(first_->host.resizes){{672, 314}}));
    Wait(100);
    ASSERT_EQ(Children().size(), 1u);
    XWindowAttributes a{};
    XGetWindowAttributes(host_, Children()[0], &a);
    EXPECT_EQ(a.width, 672);
    EXPECT_EQ(a.height, 314);
    EXPECT_EQ(first_->host.timers.size(), 1u) << "the editor is still on the host's loop";
    gui->destroy(p);
    gui->destroy(p);
    EXPECT_EQ(OpenSockets(), socketsBefore_);
}

TEST_F(Editor, IsDrawnAsTheRenderFollowsTheHostAndComesAndGoes) {
    ASSERT_TRUE(Open(*first_, top_));
    EXPECT_EQ(first_->host.timers.size(), 1u);
    EXPECT_EQ(first_->host.fds.size(), 1u) << "the X connection, on the host's loop";
    EXPECT_EQ(Children().size(), 1u);
    Wait(150);
    EXPECT_EQ(DifferencesFromRender(""), 0) << "the editor shows the current values at once";

    // The host's changes (a flush, a preset, a loud key in process) reach it.
    first_->gate.flush({ParamEvent(0, 0, 1.0), ParamEvent(0, 4, 1.0)});
    Wait(150);
    EXPECT_EQ(DifferencesFromRender("--set attack=1 --set envmode=1"), 0);
    const auto* presets = first_->gate.ext<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
    ASSERT_TRUE(presets->from_location(first_->gate.get(), CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN,
                                       nullptr, "4"));
    Wait(150);
    EXPECT_EQ(DifferencesFromRender("--program 4"), 0);
    const clap_plugin_t* p = first_->gate.get();
    ASSERT_TRUE(p->activate(p, 48000.0, 1, 256) && p->start_processing(p));
    Process(*first_, 1.0f);
    Wait(300);
    EXPECT_EQ(DifferencesFromRender("--program 4 --key-peak 1"), 0) << "the meter follows the key";
    p->stop_processing(p);
    p->deactivate(p);

    // Hidden, it is gone with its timer and handler; shown, it is back.
    for (int round = 0; round < 2; ++round) {
        ASSERT_TRUE(Gui(*first_)->hide(p));
        XSync(host_, False);
        EXPECT_EQ(Children().size(), 0u);
        EXPECT_TRUE(first_->host.timers.empty() && first_->host.fds.empty());
        ASSERT_TRUE(Gui(*first_)->show(p));
        EXPECT_EQ(Children().size(), 1u);
        Wait(100);
    }
    EXPECT_EQ(DifferencesFromRender("--program 4 --key-peak 1"), 0);
    Gui(*first_)->destroy(p);
    XSync(host_, False);
    EXPECT_EQ(Children().size(), 0u);
    EXPECT_TRUE(first_->host.timers.empty() && first_->host.fds.empty());
    EXPECT_EQ(OpenSockets(), socketsBefore_) << "the editor's connection is closed";
}

TEST_F(Editor, ADragReachesTheHostAsAGestureByFlushOrInProcess) {
    ASSERT_TRUE(Open(*first_, top_));
    Wait(100);
    const clap_plugin_t* p = first_->gate.get();
    // Not active: the plug-in asks for a flush, which takes the gesture.
    Drag(14 + 40, 32 + 40, -4, 8, true);
    EXPECT_FALSE(PointerVisible());
    Button(false);
    Wait(150);
    EXPECT_TRUE(PointerVisible());
    EXPECT_GT(first_->host.flushRequests, 0);
    EXPECT_GT(first_->host.dirty, 0) << "the host's saved state is old";
    const std::string text = first_->edits.Text();
    EXPECT_TRUE(OneGesture(text, 0)) << text;
    const double attack = first_->gate.value(0);
    EXPECT_GT(attack, 0.1);
    EXPECT_EQ(first_->edits.events[first_->edits.events.size() - 2].value.value, attack);

    // Processing: the blocks take the gesture on the hold knob.
    ASSERT_TRUE(p->activate(p, 48000.0, 1, 256) && p->start_processing(p));
    first_->processing = true;
    first_->edits.events.clear();
    Drag(106 + 40, 32 + 40, 4, 8, true);
    Button(false);
    Wait(150);
    const std::string processed = first_->edits.Text();
    EXPECT_TRUE(OneGesture(processed, 1)) << processed;
    EXPECT_LT(first_->gate.value(1), 0.1);
    EXPECT_EQ(first_->edits.events[first_->edits.events.size() - 2].value.value,
              first_->gate.value(1));
    EXPECT_EQ(first_->gate.value(0), attack);
    first_->processing = false;
    p->stop_processing(p);
    p->deactivate(p);
}

TEST_F(Editor, HiddenOrDestroyedMidDragOrFromTheHostsCallbackTheGestureEnds) {
    const clap_plugin_t* p = first_->gate.get();
    ASSERT_TRUE(Open(*first_, top_));
    Wait(100);
    Drag(14 + 40, 32 + 40, -6, 3, true);
    ASSERT_FALSE(PointerVisible());
    ASSERT_TRUE(Gui(*first_)->hide(p));
    Button(false);
    Wait(50);
    EXPECT_TRUE(OneGesture(first_->edits.Text(), 0)) << first_->edits.Text();
    ASSERT_TRUE(Gui(*first_)->show(p));
    PointerTo(200, 20);
    Wait(100);
    EXPECT_TRUE(PointerVisible());

    first_->edits.events.clear();
    Drag(14 + 40, 32 + 40, -6, 3, true);
    Gui(*first_)->destroy(p);
    Button(false);
    Wait(50);
    EXPECT_TRUE(OneGesture(first_->edits.Text(), 0)) << first_->edits.Text();
    EXPECT_TRUE(first_->host.timers.empty() && first_->host.fds.empty());

    // A host that takes the editor down from the plug-in's request to flush.
    ASSERT_TRUE(Open(*first_, top_));
    Wait(100);
    first_->edits.events.clear();
    first_->host.onRequestFlush = [&] {
        first_->flushWanted = true;
        Gui(*first_)->destroy(p);
    };
    Drag(14 + 40, 32 + 40, -6, 3, true);
    Button(false);
    Wait(100);
    EXPECT_EQ(Children().size(), 0u);
    EXPECT_TRUE(OneGesture(first_->edits.Text(), 0)) << first_->edits.Text();
    EXPECT_TRUE(first_->host.timers.empty() && first_->host.fds.empty());
    EXPECT_EQ(OpenSockets(), socketsBefore_);
}

TEST_F(Editor, SeveralInstancesComeAndGoInAnyOrderLeavingNothing) {
    Side& second = Add();
    Side& third = Add();
    const ::Window otherTop = TopLevel(20, 250, 400, 200, true, 0);
    ASSERT_TRUE(Open(*first_, top_));
    ASSERT_TRUE(Open(second, otherTop));
    ASSERT_TRUE(Open(third, TopLevel(380, 250, 400, 200)));
    Wait(100);
    Gui(*first_)->destroy(first_->gate.get());
    second.gate.flush({ParamEvent(0, 3, 1.0)});
    Wait(150);
    EXPECT_EQ(DifferencesFromRender("--set threshold=1", otherTop), 0) << "the others go on";
    // Destroyed with its editor up, a plug-in gives everything back.
    third.gate->destroy(third.gate.get());
    third.gate.forget();
    EXPECT_TRUE(third.host.timers.empty() && third.host.fds.empty());
    Wait(50);
    EXPECT_EQ(DifferencesFromRender("--set threshold=1", otherTop), 0);
    ASSERT_TRUE(Open(*first_, top_));
    Wait(100);
    EXPECT_EQ(DifferencesFromRender(""), 0);
    Gui(second)->destroy(second.gate.get());
    Gui(*first_)->destroy(first_->gate.get());
    XDestroyWindow(host_, otherTop);
    XSync(host_, False);
    EXPECT_EQ(OpenSockets(), socketsBefore_);
}

}  // namespace
