// The built module as hosts really drive it, in the spirit of the validators
// plug-in developers run: a host of our own loads Tarnwick.so with dlopen,
// gives the editor a window on a real X server and calls it in the orders and
// at the rates hosts use: every order of open, close, hide and reshow, idle
// every 1, 20 or 50 ms, a drag the host cuts short, a host that closes the
// editor from inside its own callback, parameters and programs changed from
// another thread, hundreds of open/close cycles, and unloading with the
// editor open. What a user sees is read back from the screen and compared
// with `tarnwick-host render` of the same state.
//
// Cases that can crash the process run in a child process of their own
// (a death test that must exit 0), so a crash fails that case alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "support/LoadedModule.h"
#include "support/RecordingHost.h"
#include "support/TempDir.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include "support/X11Host.h"

#include <X11/extensions/XRes.h>

namespace {

using tarnwick::test::HostCall;
using tarnwick::test::OpenSockets;
using tarnwick::test::RecordingHost;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using MainProc = AEffect* (*)(audioMasterCallback);

// The host's callback. Calls on the host's own thread are recorded and may
// make the host act from inside them, as hosts that pump their events or
// close windows in callbacks do; calls from other threads (which the
// recorder is not made for) get a host's plain answers.
std::thread::id hostThread;
std::function<void(const HostCall&)> whileInCallback;

VstIntPtr HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
    if (std::this_thread::get_id() != hostThread) return opcode == audioMasterVersion ? 2400 : 0;
    const VstIntPtr answer = RecordingHost::callback(effect, opcode, index, value, ptr, opt);
    if (whileInCallback) whileInCallback({effect, opcode, index, value, ptr, opt});
    return answer;
}

// What is wrong with the automation gestures in CALLS: an automation outside
// a gesture of its parameter, a gesture begun twice, ended without a begin,
// or never ended. Empty when all is well.
std::string GestureFaults(std::span<const HostCall> calls) {
    std::array<bool, 64> open{};
    std::string faults;
    auto fault = [&](const char* what, VstInt32 index) {
        if (faults.size() < 400) faults += std::string(what) + " " + std::to_string(index) + "; ";
    };
    for (const HostCall& c : calls) {
        if (c.opcode != audioMasterAutomate && c.opcode != audioMasterBeginEdit &&
            c.opcode != audioMasterEndEdit)
            continue;
        if (c.index < 0 || c.index >= static_cast<VstInt32>(open.size())) {
            fault("a gesture call for the parameter", c.index);
            continue;
        }
        bool& inGesture = open[static_cast<std::size_t>(c.index)];
        if (c.opcode == audioMasterAutomate && !inGesture)
            fault("automation outside a gesture of", c.index);
        if (c.opcode == audioMasterBeginEdit && inGesture) fault("a second begin for", c.index);
        if (c.opcode == audioMasterEndEdit && !inGesture)
            fault("an end without a begin for", c.index);
        if (c.opcode != audioMasterAutomate) inGesture = c.opcode == audioMasterBeginEdit;
    }
    for (std::size_t i = 0; i < open.size(); ++i)
        if (open[i]) fault("no end for", static_cast<VstInt32>(i));
    return faults;
}

int CountOf(std::span<const HostCall> calls, VstInt32 opcode, VstInt32 index) {
    return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const HostCall& c) {
        return c.opcode == opcode && c.index == index;
    }));
}

double ResidentMB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1048576.0;
}

// Where the controls are in the editor.
constexpr int kAttackX = 14 + 40, kAttackY = 32 + 40;
constexpr int kHoldX = 106 + 40, kHoldY = 32 + 40;
constexpr int kThreshX = 308 + 10;  // its pointer is 10 pixels high, at the top for 1.0
constexpr int kThreshTopY = 32 + 5;
constexpr int kActiveX = 12 + 20, kActiveY = 132 + 10;
constexpr int kEnvModeX = 56 + 15, kEnvModeY = 137 + 7;
constexpr int kOffX = 390, kOffY = 190;  // in the host's window, beside the editor

const char* const kReentryNames[] = {"closes", "closes and reopens", "idles", "opens again"};

class HostConduct : public tarnwick::test::X11Host {
protected:
    void SetUp() override {
        X11Host::SetUp();
        if (!host_) return;
        hostThread = std::this_thread::get_id();
        whileInCallback = nullptr;
        top_ = TopLevel(20, 30);
        clientsBefore_ = XClients();
        Load();
    }
    void TearDown() override {
        if (!host_) return;
        whileInCallback = nullptr;
        Button(false);
        Unload();
        XDestroyWindow(host_, top_);
        XSync(host_, False);
        EXPECT_EQ(errors_, 0) << "errors on the host's own connection";
        X11Host::TearDown();
    }

    void Load() {
        module_ = tarnwick::test::OpenModule(TARNWICK_MODULE_PATH);
        ASSERT_NE(module_, nullptr) << tarnwick::test::ModuleError();
        auto entry =
            reinterpret_cast<MainProc>(tarnwick::test::ModuleSymbol(module_, "VSTPluginMain"));
        ASSERT_NE(entry, nullptr);
        effect_ = entry(&HostCallback);
        ASSERT_NE(effect_, nullptr);
        Dispatch(effOpen);
        Dispatch(effSetSampleRate, 0, nullptr, 44100.0f);
        Dispatch(effSetBlockSize, 64);
        Dispatch(effMainsChanged, 1);
    }
    // effClose, then dlclose, as a host removes a plug-in.
    void Unload() {
        if (effect_) Dispatch(effClose);
        effect_ = nullptr;
        if (module_) tarnwick::test::CloseModule(module_);
        module_ = nullptr;
    }

    VstIntPtr Dispatch(VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f) {
        return effect_->dispatcher(effect_, opcode, 0, value, ptr, opt);
    }
    VstIntPtr Open(::Window parent = 0) {
        return Dispatch(effEditOpen, 0, reinterpret_cast<void*>(parent ? parent : top_));
    }
    void Idle() {
        Dispatch(effEditIdle);
        XSync(host_, False);
    }
    // Idle calls every PERIOD ms for MS ms.
    void IdleFor(int ms, int period = 33) {
        const auto end = Clock::now() + milliseconds(ms);
        do {
            Idle();
            std::this_thread::sleep_for(milliseconds(period));
        } while (Clock::now() < end);
    }
    void Wait(int ms) override { IdleFor(ms); }
    void Hide() {
        XUnmapWindow(host_, top_);
        XSync(host_, False);
    }
    void Show() {
        XMapWindow(host_, top_);
        XSync(host_, False);
    }

    // Audio whose key holds PEAK for FRAMES: the gate's peak follower (and
    // with it the meter) rises to it at once and falls by 0.005 every 31 frames.
    void Play(float peak, int frames = 64) {
        const auto n = static_cast<std::size_t>(frames);
        std::vector<float> in(n, 0.0f), key(n, peak), out1(n), out2(n);
        float* inputs[] = {in.data(), in.data(), key.data(), in.data()};
        float* outputs[] = {out1.data(), out2.data()};
        effect_->processReplacing(effect_, inputs, outputs, frames);
    }

    // The pointer, in the host window's coordinates (the editor sits at 0, 0).
    std::array<int, 2> PointerAt() {
        ::Window root = 0, child = 0;
        int rx = 0, ry = 0, x = 0, y = 0;
        unsigned mask = 0;
        XQueryPointer(host_, top_, &root, &child, &rx, &ry, &x, &y, &mask);
        return {x, y};
    }

    // The editor as `tarnwick-host render` draws it with OPTIONS.
    const tarnwick::platform::Picture& Render(const std::string& options) {
        auto found = renders_.find(options);
        if (found != renders_.end()) return found->second;
        return renders_[options] =
                   tarnwick::test::RenderedEditor(TARNWICK_HOST, tmp_.File("editor.png"), options);
    }
    // The render options of the gate's present state, with the meter at PEAK.
    std::string State(float peak = 0.0f) {
        std::string options;
        char one[64];
        for (VstInt32 i = 0; i < 6; ++i) {
            std::snprintf(one, sizeof one, "--set par%d=%.9g ", i,
                          static_cast<double>(effect_->getParameter(effect_, i)));
            options += one;
        }
        if (peak > 0) {
            std::snprintf(one, sizeof one, "--key-peak %.9g", static_cast<double>(peak));
            options += one;
        }
        return options;
    }
    // How the host's window (or WINDOW) differs from the render with
    // OPTIONS: empty when not at all, else how many pixels differ where and
    // how many of them are black.
    std::string ScreenDiff(const std::string& options, ::Window window = 0) {
        return Compare(window ? window : top_, Render(options)).Text();
    }

    // The X server's clients, and the resources (by type name) of the client
    // that made WINDOW.
    int XClients() {
        int count = 0;
        XResClient* clients = nullptr;
        XResQueryClients(host_, &count, &clients);
        if (clients) XFree(clients);
        return count;
    }
    std::map<std::string, int> ResourcesOfOwner(::Window window) {
        std::map<std::string, int> resources;
        int count = 0;
        XResClient* clients = nullptr;
        XResQueryClients(host_, &count, &clients);
        for (int i = 0; i < count; ++i) {
            if ((window & ~clients[i].resource_mask) != clients[i].resource_base) continue;
            int types = 0;
            XResType* kinds = nullptr;
            XResQueryClientResources(host_, clients[i].resource_base, &types, &kinds);
            for (int t = 0; t < types; ++t) {
                char* name = XGetAtomName(host_, kinds[t].resource_type);
                resources[name ? name : "?"] = kinds[t].count;
                if (name) XFree(name);
            }
            if (kinds) XFree(kinds);
        }
        if (clients) XFree(clients);
        return resources;
    }

    // The end of a case run in a child process of its own: FAULTS on the
    // error stream, and exit 0 when there are none.
    [[noreturn]] static void ExitWith(const std::string& faults) {
        std::fprintf(stderr, "%s\n", faults.c_str());
        std::fflush(stderr);
        std::_Exit(faults.empty() ? 0 : 1);
    }

    // A drag whose first automation makes the host do ACTION from inside
    // its callback; then the editor must close, reopen, show the gate's
    // state and the pointer, and unload. Answers what went wrong.
    enum class Reentry { Close, Reopen, Idle, OpenAgain };
    std::string ReenterDuringADrag(Reentry action) {
        int opened = 0;
        bool acted = false;
        whileInCallback = [&](const HostCall& call) {
            if (call.opcode != audioMasterAutomate || acted) return;
            acted = true;
            if (action == Reentry::Close || action == Reentry::Reopen) {
                Dispatch(effEditClose);
                --opened;
            }
            if (action == Reentry::Reopen || action == Reentry::OpenAgain) opened += Open() == 1;
            if (action == Reentry::Idle) Dispatch(effEditIdle);
        };
        opened += Open() == 1;
        IdleFor(100);
        Drag(kAttackX, kAttackY, -4, 4, true);
        Button(false);
        IdleFor(100);
        whileInCallback = nullptr;
        std::string faults;
        if (!acted) faults += "the drag sent no automation; ";
        if (Children().size() != (opened > 0 ? 1u : 0u))
            faults += "windows do not match the opens; ";
        for (; opened > 0; --opened) Dispatch(effEditClose);
        if (Open() != 1) faults += "no reopen; ";
        IdleFor(150);
        PointerTo(kOffX, kOffY);
        IdleFor(600);  // the captions fade back
        if (const std::string diff = ScreenDiff(State()); !diff.empty())
            faults += "the screen is not the gate's state: " + diff + "; ";
        PointerTo(kAttackX, kAttackY);
        IdleFor(50);
        if (!PointerVisible()) faults += "the pointer is hidden; ";
        Dispatch(effEditClose);
        if (!Children().empty()) faults += "a window stayed; ";
        if (const std::string gestures = GestureFaults(recorder_.calls()); !gestures.empty())
            faults += "gestures: " + gestures;
        Unload();
        return faults;
    }

    // effClose and dlclose with the editor open (in the middle of a drag
    // when MIDDRAG); answers what was left behind.
    std::string UnloadWithTheEditorOpen(bool midDrag) {
        std::string faults;
        if (Open() != 1) faults += "no editor; ";
        IdleFor(100);
        if (midDrag) Drag(kAttackX, kAttackY, -4, 3, true);
        Unload();
        PointerTo(kAttackX, kAttackY);
        Button(false);
        XSync(host_, False);
        if (!Children().empty()) faults += "a window stayed; ";
        if (XClients() != clientsBefore_) faults += "the editor's connection stayed; ";
        if (!PointerVisible()) faults += "the pointer is hidden; ";
        if (errors_ != 0) faults += "errors on the host's connection; ";
        return faults;
    }

    int clientsBefore_ = 0;
    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
    RecordingHost recorder_{RecordingHost::Answers::LikeAHost};
    tarnwick::test::TempDir tmp_;
    std::map<std::string, tarnwick::platform::Picture> renders_;
};

TEST_F(HostConduct, SizeFirstFrameAndParents) {
    // The size before the first open is the editor's, for hosts that size
    // their window first; after a close it stays the last one.
    ERect* rect = nullptr;
    EXPECT_EQ(Dispatch(effEditGetRect, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    auto size = [&] {
        return std::to_string(rect->top) + " " + std::to_string(rect->left) + " " +
               std::to_string(rect->bottom) + " " + std::to_string(rect->right);
    };
    EXPECT_EQ(size(), "0 0 157 336") << "before the first open";
    ASSERT_EQ(Open(), 1);
    EXPECT_EQ(Dispatch(effEditGetRect, 0, &rect), 1);
    EXPECT_EQ(size(), "0 0 157 336") << "while open";
    Dispatch(effEditClose);
    rect = nullptr;
    EXPECT_EQ(Dispatch(effEditGetRect, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(size(), "0 0 157 336") << "after the close";

    // Hosts map their window after effEditOpen returns: what shows before
    // the first idle call is the editor's frame, not black.
    const ::Window hidden = TopLevel(20, 260, 400, 200, false);
    ASSERT_EQ(Open(hidden), 1);
    XMapWindow(host_, hidden);
    XSync(host_, False);
    EXPECT_EQ(ScreenDiff("", hidden), "") << "before the first idle call";
    Dispatch(effEditClose);
    XDestroyWindow(host_, hidden);
    XSync(host_, False);

    // A parent that is not a window: 0, without the cost of loading the
    // form (a small part of a real open), and nothing left behind.
    const int sockets = OpenSockets();
    auto fastest = [](const std::function<void()>& f) {
        auto best = Clock::duration::max();
        for (int i = 0; i < 3; ++i) {
            const auto start = Clock::now();
            f();
            best = std::min(best, Clock::now() - start);
        }
        return std::chrono::duration<double, std::milli>(best).count();
    };
    VstIntPtr failed = 1;
    const double failedMs =
        fastest([&] { failed = Dispatch(effEditOpen, 0, reinterpret_cast<void*>(0x12345)); });
    EXPECT_EQ(failed, 0);
    Dispatch(effEditIdle);
    Dispatch(effEditClose);
    EXPECT_EQ(OpenSockets(), sockets);
    EXPECT_EQ(XClients(), clientsBefore_);
    const double openMs = fastest([&] {
        Open();
        Dispatch(effEditClose);
    });
    EXPECT_LT(failedMs, openMs / 4)
        << "a failed open took " << failedMs << " ms, a real one " << openMs;

    // Opened twice without a close, into another window: the editor is in
    // the second, and two closes take it away.
    const ::Window other = TopLevel(20, 260);
    ASSERT_EQ(Open(), 1);
    ASSERT_EQ(Open(other), 1);
    IdleFor(100);
    EXPECT_EQ(Children().size(), 0u) << "still in the first window";
    EXPECT_EQ(Children(other).size(), 1u);
    EXPECT_EQ(ScreenDiff("", other), "");
    Dispatch(effEditClose);
    Dispatch(effEditClose);
    XSync(host_, False);
    EXPECT_EQ(Children().size() + Children(other).size(), 0u);
    XDestroyWindow(host_, other);
    EXPECT_EQ(OpenSockets(), sockets);
    EXPECT_EQ(recorder_.count(audioMasterAutomate), 0);
}

TEST_F(HostConduct, OpenCloseHideAndReshowInEveryOrder) {
    // Every order of the four, done twice in a row, so that each order also
    // meets the state the one before left (a close with nothing open, a
    // reshow of a closed editor, an open into a hidden window ...).
    enum Step { kOpen, kClose, kHide, kShow };
    const char* names[] = {"open", "close", "hide", "show"};
    std::array<Step, 4> order{kOpen, kClose, kHide, kShow};
    int opened = 0;
    bool shown = true;
    std::string failures;
    do {
        std::string trail;
        for (int round = 0; round < 2; ++round) {
            for (Step step : order) {
                trail += std::string(names[step]) + " ";
                switch (step) {
                    case kOpen: opened += Open() == 1; break;
                    case kClose:
                        Dispatch(effEditClose);
                        opened = std::max(opened - 1, 0);
                        break;
                    case kHide:
                        Hide();
                        shown = false;
                        break;
                    case kShow:
                        Show();
                        shown = true;
                        // Shown again before any idle call: the last frame.
                        if (const std::string diff = opened > 0 ? ScreenDiff("") : "";
                            !diff.empty())
                            failures += trail + "(before idle): " + diff + "\n";
                        break;
                }
                Idle();
                const std::size_t children = Children().size();
                if (children != (opened > 0 ? 1u : 0u))
                    failures +=
                        trail + ": " + std::to_string(children) + " windows in the host's\n";
                if (const std::string diff = opened > 0 && shown ? ScreenDiff("") : "";
                    !diff.empty())
                    failures += trail + ": " + diff + "\n";
            }
        }
        for (; opened > 0; --opened) Dispatch(effEditClose);
        Show();
        shown = true;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(failures, "");
    EXPECT_EQ(Children().size(), 0u);
    EXPECT_EQ(XClients(), clientsBefore_) << "the editor's connection is closed";
    EXPECT_TRUE(PointerVisible());
    EXPECT_EQ(recorder_.count(audioMasterAutomate), 0);
}

TEST_F(HostConduct, IdleCadences) {
    // A host idles its editors every millisecond or every 50; either way the
    // knobs, the slider, the switches and the meter come to the gate's state.
    ASSERT_EQ(Open(), 1);
    const int periods[] = {1, 20, 50};
    for (int k = 0; k < 3; ++k) {
        const int period = periods[k];
        // Active stays on: a bypassed gate follows no key.
        for (VstInt32 i = 0; i < 5; ++i)
            effect_->setParameter(effect_, i, static_cast<float>((i + 2 * k + 1) % 8) / 8.0f);
        effect_->setParameter(effect_, 5, 1.0f);
        const float peak = 0.3f + 0.2f * static_cast<float>(k);
        // The meter moves for a while, then holds.
        const auto end = Clock::now() + milliseconds(300);
        for (int n = 0; Clock::now() < end; ++n) {
            Play(static_cast<float>(n % 11) / 10.0f);
            Idle();
            std::this_thread::sleep_for(milliseconds(period));
        }
        Play(peak, 8192);  // long enough to fall from full scale
        IdleFor(250, period);
        EXPECT_EQ(ScreenDiff(State(peak)), "") << "idled every " << period << " ms";
        EXPECT_EQ(Children().size(), 1u);
    }
    Dispatch(effEditClose);
    EXPECT_EQ(recorder_.count(audioMasterAutomate), 0);
    EXPECT_EQ(GestureFaults(recorder_.calls()), "");
}

TEST_F(HostConduct, DragsTheHostCutsShort) {
    // The host hides its window or closes the editor in the middle of a
    // drag, and the button comes up elsewhere. Once the editor shows again
    // nothing drags: moving without a button changes nothing, the pointer
    // shows and stays where it was put, the value is the last step's.
    struct Control {
        const char* name;
        VstInt32 index;
        int x, y, dy;
        bool warpsBack;
    };
    const Control controls[] = {{"the attack knob", 0, kAttackX, kAttackY, -4, true},
                                {"the threshold slider", 3, kThreshX, kThreshTopY, 6, false}};
    for (const Control& c : controls) {
        for (const bool byClosing : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (byClosing ? ", editor closed" : ", window hidden"));
            effect_->setParameter(effect_, 0, 0.0f);
            effect_->setParameter(effect_, 3, 1.0f);  // the slider's pointer at its top
            ASSERT_EQ(Open(), 1);
            IdleFor(150);
            recorder_.clear();
            Drag(c.x, c.y, c.dy, 4, c.warpsBack);
            const HostCall* step = recorder_.last(audioMasterAutomate);
            ASSERT_NE(step, nullptr) << "the drag turned nothing";
            const float lastStep = step->opt;
            const std::size_t automatedBefore =
                static_cast<std::size_t>(recorder_.count(audioMasterAutomate));

            if (byClosing)
                Dispatch(effEditClose);
            else
                Hide();
            IdleFor(100);
            PointerTo(kOffX, kOffY);
            Button(false);
            IdleFor(100);
            if (byClosing)
                ASSERT_EQ(Open(), 1);
            else
                Show();
            IdleFor(150);
            EXPECT_EQ(effect_->getParameter(effect_, c.index), lastStep) << "the value jumped";
            const std::array<int, 2> away{kOffX, kOffY};
            EXPECT_EQ(PointerAt(), away) << "the pointer was pulled back";

            // Moving across the control with no button held.
            for (int i = 0; i < 6; ++i) {
                PointerTo(c.x + (i % 2) * 3, c.y - 10 + 4 * i);
                IdleFor(40);
            }
            EXPECT_TRUE(PointerVisible());
            const std::array<int, 2> there{c.x + 3, c.y + 10};
            EXPECT_EQ(PointerAt(), there) << "the pointer was moved";
            EXPECT_EQ(static_cast<std::size_t>(recorder_.count(audioMasterAutomate)),
                      automatedBefore)
                << "automation after the drag was cut short";
            EXPECT_EQ(effect_->getParameter(effect_, c.index), lastStep);
            PointerTo(kOffX, kOffY);
            IdleFor(600);  // the captions fade back
            EXPECT_EQ(ScreenDiff(State()), "");
            EXPECT_EQ(GestureFaults(recorder_.calls()), "");
            Dispatch(effEditClose);
        }
    }
}

TEST_F(HostConduct, AutomationGestures) {
    // Each drag, click and wheel step is one gesture: begin before its first
    // automation, end after its last, for the same parameter.
    effect_->setParameter(effect_, 3, 1.0f);
    ASSERT_EQ(Open(), 1);
    IdleFor(150);
    struct Gesture {
        const char* what;
        VstInt32 index;
        std::function<void()> act;
        bool automates;  // a wheel step may change nothing
    };
    const Gesture gestures[] = {
        {"a knob drag", 0,
         [&] {
             Drag(kAttackX, kAttackY, -3, 4, true);
             Button(false);
             IdleFor(100);
         },
         true},
        {"a click on the active switch", 5, [&] { ClickAt(kActiveX, kActiveY); }, true},
        {"a click on the envelope switch", 4, [&] { ClickAt(kEnvModeX, kEnvModeY); }, true},
        {"a held click on the slider's track", 3, [&] { ClickAt(kThreshX, 32 + 70, 1, 600); },
         true},
        {"a burst of wheel notches on the hold knob", 1,
         [&] {
             for (int i = 0; i < 3; ++i) ClickAt(kHoldX, kHoldY, 4, 20);
             IdleFor(450);
         },
         true},
        {"wheel notches on the slider, the pointer leaving", 3,
         [&] {
             ClickAt(kThreshX, 32 + 60, 5, 20);
             ClickAt(kThreshX, 32 + 60, 5, 20);
             PointerTo(kOffX, kOffY);
             IdleFor(50);
         },
         true},
        {"a double click on the release knob", 2,
         [&] {
             ClickAt(200 + 40, kAttackY);
             ClickAt(200 + 40, kAttackY);
         },
         true},
    };
    for (const Gesture& g : gestures) {
        SCOPED_TRACE(g.what);
        recorder_.clear();
        g.act();
        const auto calls = recorder_.calls();
        const int automated = CountOf(calls, audioMasterAutomate, g.index);
        if (g.automates) {
            EXPECT_GT(automated, 0);
        }
        if (automated > 0) {
            EXPECT_EQ(CountOf(calls, audioMasterBeginEdit, g.index), 1);
            EXPECT_EQ(CountOf(calls, audioMasterEndEdit, g.index), 1);
        }
        EXPECT_EQ(GestureFaults(calls), "");
    }
    // A wheel burst or a double click cut short by a hide or a close ends
    // its gesture, once.
    for (const bool byClosing : {false, true}) {
        for (const bool wheel : {true, false}) {
            SCOPED_TRACE(std::string(wheel ? "a wheel burst" : "a double click") +
                         (byClosing ? ", editor closed" : ", window hidden"));
            effect_->setParameter(effect_, 1, 0.5f);
            IdleFor(150);
            recorder_.clear();
            if (wheel) {
                ClickAt(kHoldX, kHoldY, 5, 20);
            } else {
                ClickAt(kHoldX, kHoldY);
                PointerTo(kHoldX, kHoldY);
                Button(true);
                IdleFor(30);
            }
            if (byClosing) {
                Dispatch(effEditClose);
            } else {
                Hide();
                IdleFor(60, 20);  // well within the wheel gesture's own end
            }
            const auto calls = recorder_.calls();
            EXPECT_GT(CountOf(calls, audioMasterAutomate, 1), 0);
            EXPECT_EQ(CountOf(calls, audioMasterEndEdit, 1), 1) << "ended with the hide or close";
            Button(false);
            if (byClosing)
                ASSERT_EQ(Open(), 1);
            else
                Show();
            IdleFor(450);
            EXPECT_EQ(GestureFaults(recorder_.calls()), "");
            EXPECT_EQ(CountOf(recorder_.calls(), audioMasterEndEdit, 1), 1);
        }
    }
    Dispatch(effEditClose);
}

TEST_F(HostConduct, ReentryFromTheHostCallback) {
    // During a drag the editor sends automation from inside effEditIdle. A
    // host may close the editor in that callback, close and reopen it, idle
    // it or open it again: the editor survives with a consistent state.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const Reentry action :
         {Reentry::Close, Reentry::Reopen, Reentry::Idle, Reentry::OpenAgain}) {
        EXPECT_EXIT(ExitWith(ReenterDuringADrag(action)), ::testing::ExitedWithCode(0), "")
            << "the host " << kReentryNames[static_cast<int>(action)]
            << " inside audioMasterAutomate";
        Button(false);  // a child that died held it down
    }
}

TEST_F(HostConduct, ParametersAndProgramsFromAnotherThread) {
    // A value the host sets while effEditOpen runs shows once the editor is
    // open (after at most one tick of its 100 ms updater).
    const auto start = Clock::now();
    ASSERT_EQ(Open(), 1);
    const auto openTakes = Clock::now() - start;
    Dispatch(effEditClose);
    for (int trial = 0; trial < 8; ++trial) {
        const VstInt32 index = trial % 3;
        const float value = static_cast<float>(trial + 1) / 10.0f;
        std::atomic<bool> opening{false};
        std::thread other([&] {
            while (!opening.load()) std::this_thread::yield();
            std::this_thread::sleep_for(openTakes * trial / 8);
            effect_->setParameter(effect_, index, value);
        });
        opening.store(true);
        const VstIntPtr opened = Open();
        other.join();
        ASSERT_EQ(opened, 1);
        IdleFor(150);
        EXPECT_EQ(ScreenDiff(State()), "")
            << "parameter " << index << " set to " << value << " in trial " << trial << " was lost";
        Dispatch(effEditClose);
    }

    // Programs and parameters change on another thread while the editor
    // opens, idles and closes over and over; then the display follows.
    std::atomic<bool> done{false};
    std::thread other([&] {
        for (int n = 0; !done.load(); ++n) {
            effect_->dispatcher(effect_, effSetProgram, 0, n % 16, nullptr, 0.0f);
            effect_->setParameter(effect_, n % 6, static_cast<float>(n % 7) / 7.0f);
            std::this_thread::sleep_for(milliseconds(1));
        }
    });
    for (int cycle = 0; cycle < 12; ++cycle) {
        ASSERT_EQ(Open(), 1);
        IdleFor(60, 5);
        Dispatch(effEditClose);
        Idle();
    }
    ASSERT_EQ(Open(), 1);
    IdleFor(200, 10);
    done.store(true);
    other.join();
    Dispatch(effSetProgram, 5);
    IdleFor(150);
    EXPECT_EQ(Dispatch(effGetProgram), 5);
    EXPECT_EQ(ScreenDiff(State()), "") << "after the last program change";
    Dispatch(effEditClose);
    EXPECT_EQ(Children().size(), 0u);
    EXPECT_EQ(recorder_.count(audioMasterAutomate), 0);
}

TEST_F(HostConduct, TwoHundredOpenCloseCycles) {
    // X resources of the editor's connection, the X server's clients, and
    // the process's memory stay as they were after the first cycles.
    std::map<std::string, int> early;
    double earlyMB = 0, lateMB = 0;
    std::string grew;
    for (int cycle = 1; cycle <= 200; ++cycle) {
        ASSERT_EQ(Open(), 1) << "cycle " << cycle;
        Idle();
        const std::vector<::Window> children = Children();
        ASSERT_EQ(children.size(), 1u) << "cycle " << cycle;
        if (cycle == 10 || cycle == 200) {
            const std::map<std::string, int> now = ResourcesOfOwner(children[0]);
            if (cycle == 10) {
                early = now;
                earlyMB = ResidentMB();
            } else {
                lateMB = ResidentMB();
                for (const auto& [type, count] : now)
                    if (count > early[type])
                        grew += type + " " + std::to_string(early[type]) + " -> " +
                                std::to_string(count) + "; ";
            }
        }
        Dispatch(effEditClose);
        XSync(host_, False);
    }
    EXPECT_FALSE(early.empty()) << "the editor's X client was not found";
    EXPECT_EQ(grew, "");
    EXPECT_EQ(Children().size(), 0u);
    EXPECT_EQ(XClients(), clientsBefore_);
    EXPECT_LT(lateMB - earlyMB, 1.0)
        << "resident memory grew over 190 cycles, from " << earlyMB << " MB";
}

TEST_F(HostConduct, UnloadingWithTheEditorOpen) {
    // effClose with the editor open, then dlclose: no window, no connection,
    // and a pointer that shows, also in the middle of a drag.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    for (const bool midDrag : {false, true}) {
        EXPECT_EXIT(ExitWith(UnloadWithTheEditorOpen(midDrag)), ::testing::ExitedWithCode(0), "")
            << (midDrag ? "in the middle of a drag" : "idle");
        Button(false);
    }
}

}  // namespace
