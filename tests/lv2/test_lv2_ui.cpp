// The LV2 editor on a real X server. First inside jalv, the GTK host, which
// embeds X11 editors through suil, running on a JACK server of the test's own
// (its name in JACK_DEFAULT_SERVER; run_ui_test.sh starts it): the editor
// appears at its size, looks as tarnwick-host renders the same state, turns
// the host's port under a real pointer, follows the key level, and goes and
// comes back with the host. Then loaded as any host loads it, through
// lv2ui_descriptor, for what one jalv process cannot show: several editors
// at once, in any order, and a parent destroyed before the editor.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "lv2/GatePorts.h"
#include "support/TempDir.h"

// Last: Xlib's macros (None, Bool, ...) would break the headers above.
#include "support/X11Host.h"

#include <X11/Xatom.h>

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tarnwick::lv2::kPluginUri;
using tarnwick::test::OpenSockets;

const std::string kBundle = TARNWICK_LV2_BUNDLE;
constexpr int kWidth = 336, kHeight = 157;

bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(30ms);
    }
    return true;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

class X11Test : public tarnwick::test::X11Host {
protected:
    struct Geometry {
        int width = 0, height = 0, depth = 0;
        bool viewable = false;
    };
    Geometry GeometryOf(::Window w) {
        XWindowAttributes a{};
        if (!XGetWindowAttributes(host_, w, &a)) return {};
        return {a.width, a.height, a.depth, a.map_state == IsViewable};
    }
    // The windows under W without children of their own, the editor's among them.
    void Leaves(::Window w, std::vector<::Window>& out) {
        const auto children = Children(w);
        if (children.empty()) out.push_back(w);
        for (::Window c : children) Leaves(c, out);
    }

    // Pixels of window W that differ from tarnwick-host's render with OPTIONS.
    int DifferencesFromRender(::Window w, const std::string& options) {
        return Compare(w, tarnwick::test::RenderedEditor(TARNWICK_HOST, tmp_.File("editor.png"),
                                                         options))
            .pixels;
    }
    // Whether W comes to look as the render with OPTIONS within a few seconds.
    bool ComesToShow(::Window w, const std::string& options) {
        int last = -1;
        const bool same =
            WaitFor([&] { return (last = DifferencesFromRender(w, options)) == 0; }, 3s);
        if (!same) ADD_FAILURE() << last << " pixels differ from the render " << options;
        return same;
    }

    tarnwick::test::TempDir tmp_;
};

// ---- inside jalv ---------------------------------------------------------------

class Process {
public:
    Process(const std::vector<std::string>& args, const std::vector<std::string>& env,
            const std::string& out, const std::string& err) {
        std::vector<char*> argv;
        for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        std::vector<std::string> environment(env);
        for (char** e = environ; *e; ++e) environment.emplace_back(*e);
        std::vector<char*> envp;
        for (auto& e : environment) envp.push_back(e.data());
        envp.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid_ = 0;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Process() {
        if (running()) {
            kill(pid_, SIGKILL);
            wait(1s);
        }
    }
    pid_t pid() const { return pid_; }
    bool running() { return pid_ != 0 && status_ < 0 && !reap(); }
    // The exit status once the process has ended within LIMIT; -1 if not.
    int wait(std::chrono::milliseconds limit) {
        WaitFor([&] { return reap(); }, limit);
        return status_;
    }

private:
    bool reap() {
        if (status_ >= 0) return true;
        int status = 0;
        if (pid_ == 0 || waitpid(pid_, &status, WNOHANG) != pid_) return false;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
    pid_t pid_ = 0;
    int status_ = -1;
};

class InJalv : public X11Test {
protected:
    void SetUp() override {
        X11Host::SetUp();
        if (!host_) return;
        if (!std::getenv("JACK_DEFAULT_SERVER"))
            GTEST_SKIP() << "no JACK server named (run through run_ui_test.sh)";
    }

    // jalv with the gate's editor; its standard output and error are kept.
    std::unique_ptr<Process> StartJalv(const std::vector<std::string>& controls) {
        // Line by line: jalv's output goes to a file, read while it runs.
        std::vector<std::string> args{"stdbuf",           "-oL",         "jalv.gtk3",
                                      "--print-controls", "--jack-name", "tarnwick_ui_test"};
        for (const auto& c : controls) args.insert(args.end(), {"-c", c});
        args.push_back(kPluginUri);
        return std::make_unique<Process>(
            args, std::vector<std::string>{"LV2_PATH=" + fs::path(kBundle).parent_path().string()},
            tmp_.File("jalv.out"), tmp_.File("jalv.err"));
    }

    // The host's top-level window: the one that says it belongs to PID.
    ::Window TopLevelOf(pid_t pid) {
        const Atom netWmPid = XInternAtom(host_, "_NET_WM_PID", False);
        for (::Window w : Children(DefaultRootWindow(host_))) {
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* data = nullptr;
            if (XGetWindowProperty(host_, w, netWmPid, 0, 1, False, XA_CARDINAL, &type, &format,
                                   &count, &after, &data) == Success &&
                data) {
                const bool ours = count == 1 && *reinterpret_cast<unsigned long*>(data) ==
                                                    static_cast<unsigned long>(pid);
                XFree(data);
                if (ours && GeometryOf(w).viewable) return w;
            }
        }
        return 0;
    }
    // The editor: the one shown window of the editor's size, with 24-bit
    // pixels, that the host's window holds and that holds nothing.
    ::Window EditorIn(::Window top) {
        std::vector<::Window> leaves;
        Leaves(top, leaves);
        for (::Window w : leaves) {
            const Geometry g = GeometryOf(w);
            if (g.viewable && g.width == kWidth && g.height == kHeight && g.depth == 24) return w;
        }
        return 0;
    }
    // Waits for jalv's window with the editor shown in it.
    ::Window EditorOf(Process& jalv) {
        ::Window editor = 0;
        WaitFor(
            [&] {
                XSync(host_, False);
                const ::Window top = TopLevelOf(jalv.pid());
                editor = top ? EditorIn(top) : 0;
                return editor != 0 || !jalv.running();
            },
            15s);
        return editor;
    }

    // The last value jalv printed for the control SYMBOL, or -1.
    double LastPrinted(const std::string& symbol) {
        const std::string text = ReadFile(tmp_.File("jalv.out"));
        const std::regex line("(^|\n)" + symbol + " = ([-0-9.]+)");
        double value = -1;
        for (auto it = std::sregex_iterator(text.begin(), text.end(), line);
             it != std::sregex_iterator(); ++it)
            value = std::stod((*it)[2]);
        return value;
    }
    std::string Errors() { return ReadFile(tmp_.File("jalv.err")); }
};

TEST_F(InJalv, ShowsTheStateTurnsPortsFollowsTheKeyAndComesBack) {
    // The host's values reach the editor before it is first seen. The gate
    // is off: it then leaves the key level alone.
    const std::string state = "--set threshold=0.3 --set envmode=1";
    auto jalv = StartJalv({"threshold=0.3", "envmode=1", "active=0"});
    ASSERT_NE(jalv->pid(), 0) << "jalv.gtk3 cannot be started";
    ::Window editor = EditorOf(*jalv);
    ASSERT_NE(editor, 0u) << "no editor in jalv's window\n" << Errors();
    EXPECT_NE(Errors().find("urn:tarnwick:gate:ui"), std::string::npos) << "not our editor";
    EXPECT_TRUE(ComesToShow(editor, state + " --set active=0"));

    // A drag on the attack knob hides the pointer and turns the knob.
    Drag(14 + 40, 32 + 40, -4, 8, true, 100, 60, editor);
    EXPECT_FALSE(PointerVisible());
    Button(false);
    EXPECT_TRUE(WaitFor([&] { return PointerVisible(); }, 2s));
    EXPECT_GT(DifferencesFromRender(editor, state + " --set active=0"), 0) << "the knob stayed";

    // A metronome on the key. jalv prints the key level it reads from the
    // gate: nothing while the gate is off.
    Process metro({"jack_metro", "-n", "tarnwick_ui_metro", "-b", "600", "-A", "0.9", "-D", "80"},
                  {}, tmp_.File("metro.out"), tmp_.File("metro.err"));
    bool connected = false;
    WaitFor(
        [&] {
            connected = std::system(
                            "jack_connect tarnwick_ui_metro:600_bpm tarnwick_ui_test:key_l "
                            ">/dev/null 2>&1") == 0;
            return connected;
        },
        5s);
    ASSERT_TRUE(connected) << ReadFile(tmp_.File("metro.err"));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(LastPrinted("keylevel"), 0.0);

    // The editor's switch turns the gate on in the host: the key level
    // comes back from the plug-in, and the editor's meter follows it.
    PointerTo(12 + 20, 132 + 10, editor);
    std::this_thread::sleep_for(100ms);
    Button(true);
    Button(false);
    EXPECT_TRUE(WaitFor([&] { return LastPrinted("keylevel") > 0.1; }, 3s))
        << "the host did not take the switch";
    PointerTo(390, 150, editor);  // off the editor: nothing lit by the pointer
    EXPECT_TRUE(WaitFor([&] { return DifferencesFromRender(editor, state) > 0; }, 3s))
        << "the meter does not move";

    // Closed by the user (the window manager's close): jalv destroys its
    // window, and the editor in it, and exits cleanly.
    const ::Window top = TopLevelOf(jalv->pid());
    XEvent close{};
    close.xclient.type = ClientMessage;
    close.xclient.window = top;
    close.xclient.message_type = XInternAtom(host_, "WM_PROTOCOLS", False);
    close.xclient.format = 32;
    close.xclient.data.l[0] = static_cast<long>(XInternAtom(host_, "WM_DELETE_WINDOW", False));
    close.xclient.data.l[1] = CurrentTime;
    XSendEvent(host_, top, False, NoEventMask, &close);
    XSync(host_, False);
    EXPECT_EQ(jalv->wait(5s), 0) << Errors();
    EXPECT_EQ(Errors().find("X Error"), std::string::npos) << Errors();
    EXPECT_TRUE(PointerVisible());

    // Opened again, and stopped by a signal.
    jalv = StartJalv({"threshold=0.3", "envmode=1"});
    editor = EditorOf(*jalv);
    ASSERT_NE(editor, 0u) << Errors();
    EXPECT_TRUE(ComesToShow(editor, state));
    kill(jalv->pid(), SIGTERM);
    EXPECT_EQ(jalv->wait(5s), 0) << Errors();
    EXPECT_EQ(Errors().find("X Error"), std::string::npos) << Errors();
    EXPECT_EQ(errors_, 0);
}

// ---- loaded by a host of the test's own -----------------------------------------

struct Written {
    std::uint32_t port;
    float value;
};

class LoadedUi : public X11Test {
protected:
    void SetUp() override {
        X11Host::SetUp();
        if (!host_) return;
        library_ = dlopen((kBundle + "/TarnwickUi.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << dlerror();
        auto entry = reinterpret_cast<const LV2UI_Descriptor* (*)(std::uint32_t)>(
            dlsym(library_, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor_ = entry(0);
        ASSERT_NE(descriptor_, nullptr);
        EXPECT_EQ(entry(1), nullptr);
        idle_ = static_cast<const LV2UI_Idle_Interface*>(
            descriptor_->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle_, nullptr);
    }
    void TearDown() override {
        if (library_) dlclose(library_);
        X11Host::TearDown();
    }

    ::Window NewParent(int y) { return TopLevel(0, y, 400, 200, true, 0); }

    // An editor in PARENT that records what it writes, with every feature
    // a host may give.
    struct Editor {
        LV2UI_Handle handle = nullptr;
        ::Window widget = 0;
        std::vector<Written> writes;
        std::vector<std::pair<std::uint32_t, bool>> touches;
        int width = 0, height = 0;
        // The features, which live as long as the editor.
        LV2UI_Resize resize{};
        LV2UI_Touch touch{};
    };
    // The host's URIs as numbers, as a host maps them.
    static LV2_URID Map(LV2_URID_Map_Handle, const char* uri) {
        static std::vector<std::string> uris;
        const auto at = std::find(uris.begin(), uris.end(), uri);
        if (at != uris.end()) return static_cast<LV2_URID>(at - uris.begin() + 1);
        uris.push_back(uri);
        return static_cast<LV2_URID>(uris.size());
    }
    LV2_URID_Map map_{nullptr, Map};
    // ui:scaleFactor SCALE, as the options a host gives.
    struct ScaleOptions {
        float scale;
        LV2_Options_Option options[2];
    };
    void SetScaleOptions(ScaleOptions& o, float scale) {
        o.scale = scale;
        o.options[0] = {LV2_OPTIONS_INSTANCE,
                        0,
                        Map(nullptr, LV2_UI__scaleFactor),
                        sizeof(float),
                        Map(nullptr, LV2_ATOM__Float),
                        &o.scale};
        o.options[1] = {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr};
    }
    // With SCALE, the host gives its URID map and ui:scaleFactor too.
    LV2UI_Handle Instantiate(Editor& e, ::Window parent, float scale = 0.0f) {
        static const auto write = [](LV2UI_Controller c, std::uint32_t port, std::uint32_t size,
                                     std::uint32_t format, const void* buffer) {
            if (size == sizeof(float) && format == 0)
                static_cast<Editor*>(c)->writes.push_back(
                    {port, *static_cast<const float*>(buffer)});
        };
        e = Editor{};
        e.resize = {&e, [](LV2UI_Feature_Handle h, int w, int hgt) {
                        static_cast<Editor*>(h)->width = w;
                        static_cast<Editor*>(h)->height = hgt;
                        return 0;
                    }};
        e.touch = {&e, [](LV2UI_Feature_Handle h, std::uint32_t port, bool grabbed) {
                       static_cast<Editor*>(h)->touches.emplace_back(port, grabbed);
                   }};
        const LV2_Feature parentFeature{
            LV2_UI__parent, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent))};
        const LV2_Feature resizeFeature{LV2_UI__resize, &e.resize};
        const LV2_Feature touchFeature{LV2_UI__touch, &e.touch};
        ScaleOptions options;
        SetScaleOptions(options, scale);
        const LV2_Feature mapFeature{LV2_URID__map, &map_};
        const LV2_Feature optionsFeature{LV2_OPTIONS__options, options.options};
        // Without a scale the list ends before the map and the options.
        const LV2_Feature* features[] = {&parentFeature,  &resizeFeature,
                                         &touchFeature,   scale > 0 ? &mapFeature : nullptr,
                                         &optionsFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        e.handle = descriptor_->instantiate(descriptor_, kPluginUri, kBundle.c_str(), write, &e,
                                            &widget, features);
        e.widget = static_cast<::Window>(reinterpret_cast<std::uintptr_t>(widget));
        return e.handle;
    }
    void SetPort(Editor& e, std::uint32_t port, float value) {
        descriptor_->port_event(e.handle, port, sizeof value, 0, &value);
    }
    void Idle(const std::vector<Editor*>& editors, std::chrono::milliseconds time) {
        const auto end = std::chrono::steady_clock::now() + time;
        while (std::chrono::steady_clock::now() < end) {
            for (Editor* e : editors) EXPECT_EQ(idle_->idle(e->handle), 0);
            XSync(host_, False);
            std::this_thread::sleep_for(30ms);
        }
    }
    // While a drag waits, the editors in dragging_ have their idle calls.
    void Wait(int ms) override { Idle(dragging_, std::chrono::milliseconds(ms)); }

    std::vector<Editor*> dragging_;
    void* library_ = nullptr;
    const LV2UI_Descriptor* descriptor_ = nullptr;
    const LV2UI_Idle_Interface* idle_ = nullptr;
};

TEST_F(LoadedUi, SeveralEditorsComeAndGoInAnyOrderAndLeaveNothingBehind) {
    using tarnwick::lv2::kFirstControl;
    const int socketsBefore = OpenSockets();
    const ::Window first = NewParent(0), second = NewParent(220);

    // No parent, or one that is no window: no editor, and nothing kept.
    Editor none;
    EXPECT_EQ(Instantiate(none, first + 0x100000), nullptr);
    EXPECT_EQ(OpenSockets(), socketsBefore);

    Editor a, b;
    ASSERT_NE(Instantiate(a, first), nullptr);
    ASSERT_NE(Instantiate(b, second), nullptr);
    EXPECT_EQ(a.width, kWidth);
    EXPECT_EQ(a.height, kHeight);
    EXPECT_EQ(Children(first), std::vector<::Window>{a.widget});
    EXPECT_EQ(Children(second), std::vector<::Window>{b.widget});

    // The host's values show without being written back; the key level moves the meter.
    SetPort(b, kFirstControl + 1, 0.75f);
    SetPort(b, tarnwick::lv2::kKeyLevel, 0.8f);
    Idle({&a, &b}, 300ms);
    EXPECT_EQ(DifferencesFromRender(b.widget, "--set hold=0.75 --key-peak 0.8"), 0);
    EXPECT_EQ(DifferencesFromRender(a.widget, ""), 0);
    EXPECT_TRUE(b.writes.empty());

    // A drag on the release knob: one grab, writes, one ungrab, all to its port.
    dragging_ = {&a, &b};
    Drag(200 + 40, 32 + 40, -20, 1, true, 60, 100, a.widget);
    Button(false);
    Idle({&a, &b}, 100ms);
    ASSERT_FALSE(a.writes.empty());
    for (const Written& w : a.writes) EXPECT_EQ(w.port, kFirstControl + 2);
    EXPECT_GT(a.writes.back().value, 0.2f);
    using Touch = std::pair<std::uint32_t, bool>;
    EXPECT_EQ(a.touches,
              (std::vector<Touch>{{kFirstControl + 2, true}, {kFirstControl + 2, false}}));

    // The first goes mid-drag: the grab ends and the pointer comes back.
    Drag(14 + 40, 32 + 40, -10, 1, true, 60, 60, a.widget);
    EXPECT_FALSE(PointerVisible());
    descriptor_->cleanup(a.handle);
    Button(false);
    EXPECT_EQ(a.touches.back(), (Touch{kFirstControl + 0, false}));
    Idle({&b}, 100ms);
    EXPECT_TRUE(PointerVisible());
    EXPECT_TRUE(Children(first).empty());

    // The host destroys the second's window first, as suil may: the editor
    // still goes quietly, and with it the last X connection.
    ASSERT_NE(Instantiate(a, first), nullptr);
    Idle({&a, &b}, 60ms);
    XDestroyWindow(host_, second);
    XSync(host_, False);
    Idle({&a, &b}, 100ms);
    descriptor_->cleanup(b.handle);
    EXPECT_EQ(DifferencesFromRender(a.widget, ""), 0) << "the other editor goes on";
    descriptor_->cleanup(a.handle);
    XSync(host_, False);
    EXPECT_TRUE(Children(first).empty());
    EXPECT_EQ(OpenSockets(), socketsBefore) << "an X connection is left";
    XDestroyWindow(host_, first);
    XSync(host_, False);
    EXPECT_EQ(errors_, 0);
}

TEST_F(LoadedUi, DrawnAtTheHostsScaleFactorAndResizedWhenItChanges) {
    const ::Window parent = NewParent(0);
    Editor e;
    ASSERT_NE(Instantiate(e, parent, 2.0f), nullptr);
    EXPECT_EQ(std::pair(e.width, e.height), std::pair(672, 314));
    const auto* options = static_cast<const LV2_Options_Interface*>(
        descriptor_->extension_data(LV2_OPTIONS__interface));
    ASSERT_NE(options, nullptr);
    ScaleOptions change;
    SetScaleOptions(change, 1.25f);
    EXPECT_EQ(options->set(e.handle, change.options), LV2_OPTIONS_SUCCESS);
    EXPECT_EQ(std::pair(e.width, e.height), std::pair(420, 196));
    Idle({&e}, 100ms);
    const std::vector<::Window> children = Children(parent);
    ASSERT_EQ(children.size(), 1u);
    XWindowAttributes a{};
    XGetWindowAttributes(host_, children[0], &a);
    EXPECT_EQ(std::pair(a.width, a.height), std::pair(420, 196));
    descriptor_->cleanup(e.handle);
    XDestroyWindow(host_, parent);
    XSync(host_, False);
}

}  // namespace
