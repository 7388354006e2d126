// The built module's editor inside a host's window under a real window
// system (Wine on a virtual X server in the tests). The test plays a Windows
// DAW: it makes a top-level window, loads the module with LoadLibrary, opens
// the editor in that window and runs the message loop, with effEditIdle 30
// times a second, while SendInput drives the mouse. What the editor shows
// is compared with headless renders of the same states, made beforehand by
// the native tarnwick-host in the folder TARNWICK_EDITOR_RENDERS:
//   plain.png  no settings        about.png  --set attack=0.5 --about
//   half.png   --set attack=0.5   full.png   --set attack=1
// Text is drawn by the system's fonts here, so the text areas are left out.
#include <windows.h>
//
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/PictureFile.h"
#include "support/RecordingHost.h"
#if defined(TARNWICK_VST3_MODULE_PATH)
#include <algorithm>

#include "vst3/Vst3Interfaces.h"
#endif
#if defined(TARNWICK_CLAP_FILE)
#include "clap/ClapTestHost.h"
#endif

namespace {

using tarnwick::test::RecordingHost;
using MainProc = AEffect* (*)(audioMasterCallback);

constexpr const wchar_t* kEditorClass = L"TarnwickEditorWindow";

// As hosts do: the 64-bit module's own entry name first, then "main".
MainProc EntryOf(HMODULE module) {
    FARPROC entry = GetProcAddress(module, "VSTPluginMain");
    if (!entry) entry = GetProcAddress(module, "main");
    return reinterpret_cast<MainProc>(reinterpret_cast<void*>(entry));
}

// A Unix path as Wine's drive Z: has it.
std::string WindowsPath(std::string path) {
    if (path.empty() || path[0] != '/') return path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

// The editor's text: its labels, and the about panel's memo and label.
constexpr RECT kTextAreas[] = {
    {40, 112, 71, 125},   {56, 2, 248, 22},     {134, 112, 159, 125},
    {222, 112, 261, 125}, {292, 114, 325, 127}, {88, 138, 141, 155},
    {254, 134, 331, 154}, {218, 140, 324, 153}, {6, 6, 323, 139},
};

// Labels that size themselves to their caption grow with a wider face: a
// few pixels around each area are left out too.
bool InText(int x, int y) {
    constexpr int kMargin = 4;
    for (const RECT& r : kTextAreas)
        if (x >= r.left - kMargin && x < r.right + kMargin && y >= r.top - kMargin &&
            y < r.bottom + kMargin)
            return true;
    return false;
}

class EditorInWin32 : public ::testing::Test {
protected:
    void SetUp() override {
        const char* renders = std::getenv("TARNWICK_EDITOR_RENDERS");
        ASSERT_NE(renders, nullptr) << "TARNWICK_EDITOR_RENDERS names no folder";
        renders_ = renders;
        module_ = LoadLibraryA(WindowsPath(TARNWICK_MODULE_PATH).c_str());
        ASSERT_NE(module_, nullptr) << "error " << GetLastError();
        auto entry = EntryOf(module_);
        ASSERT_NE(entry, nullptr);
        effect_ = entry(&RecordingHost::callback);
        ASSERT_NE(effect_, nullptr);
        Dispatch(effect_, effOpen);
        top_ = MakeTopWindow(20, 30);
    }
    void TearDown() override {
        if (effect_) Dispatch(effect_, effClose);
        if (module_) FreeLibrary(module_);
        if (top_) DestroyWindow(top_);
    }

    HWND MakeTopWindow(int x, int y) {
        static const ATOM atom = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
            wc.lpszClassName = L"TarnwickTestHost";
            return RegisterClassW(&wc);
        }();
        RECT r{0, 0, 400, 200};
        AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
        HWND w =
            CreateWindowExW(0, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(atom)), L"host",
                            WS_OVERLAPPEDWINDOW | WS_VISIBLE, x, y, r.right - r.left,
                            r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        // Input goes to the foreground window once the desktop has shown it.
        SetForegroundWindow(w);
        for (int i = 0; i < 60 && GetForegroundWindow() != w; ++i) RunFor(50, {});
        return w;
    }

    static VstIntPtr Dispatch(AEffect* e, VstInt32 opcode, VstInt32 index = 0,
                              void* ptr = nullptr) {
        return e->dispatcher(e, opcode, index, 0, ptr, 0.0f);
    }
    VstIntPtr Open(AEffect* e, HWND parent) { return Dispatch(e, effEditOpen, 0, parent); }

    // The message loop, with idle calls at 30 a second to every open effect.
    void Run(int ms) { RunFor(ms, {effect_}); }
    void RunFor(int ms, const std::vector<AEffect*>& effects) {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        do {
            MSG m;
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&m);
                DispatchMessageW(&m);
            }
            for (AEffect* e : effects) Dispatch(e, effEditIdle);
            std::this_thread::sleep_for(std::chrono::milliseconds(33));
        } while (std::chrono::steady_clock::now() < end);
    }
    // Input reaches a window a while after it is sent, longer on a virtual
    // desktop that has just started: waits for what the input must bring
    // about, up to two seconds, rather than for a fixed time.
    bool RunUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 60; ++i) {
            if (done()) return true;
            Run(33);
        }
        return done();
    }

    static HWND Editor(HWND top) { return FindWindowExW(top, nullptr, kEditorClass, nullptr); }
    static int Editors(HWND top) {
        int n = 0;
        for (HWND w = nullptr; (w = FindWindowExW(top, w, kEditorClass, nullptr));) ++n;
        return n;
    }

    // Moves the pointer to a point of the host's client area (the editor sits at 0, 0).
    void PointerTo(int x, int y) {
        POINT p{x, y};
        ClientToScreen(top_, &p);
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dx = MulDiv(p.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
        in.mi.dy = MulDiv(p.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
        in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
        // The X server's late report of an earlier position can put the
        // pointer back (on a desktop that has just started, say): the move
        // is sent again until it holds, or the knob being dragged has moved
        // the pointer itself.
        for (int i = 0; i < 10; ++i) {
            SendInput(1, &in, sizeof in);
            Run(40);
            POINT now{};
            GetCursorPos(&now);
            if (now.x == p.x && now.y == p.y) return;
        }
    }
    // A press on the editor captures the pointer until the release.
    void Button(bool down) {
        INPUT in{};
        in.type = INPUT_MOUSE;
        in.mi.dwFlags = down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP;
        SendInput(1, &in, sizeof in);
        EXPECT_TRUE(RunUntil([down] { return (GetCapture() != nullptr) == down; }))
            << "the editor saw no button " << (down ? "press" : "release");
    }
    void ClickAt(int x, int y) {
        PointerTo(x, y);
        Button(true);
        Button(false);
    }
    static bool PointerVisible() {
        CURSORINFO info{};
        info.cbSize = sizeof info;
        GetCursorInfo(&info);
        return (info.flags & CURSOR_SHOWING) != 0;
    }

    tarnwick::platform::Picture Render(const char* name) const {
        return tarnwick::platform::LoadPictureFile(tarnwick::platform::PictureFormat::Png,
                                                   WindowsPath(renders_ + "/" + name));
    }
    // What the editor in `top` shows, as 0x00RRGGBB rows; empty without an editor.
    static std::vector<std::uint32_t> Screenshot(HWND top, int width, int height) {
        HWND editor = Editor(top);
        if (!editor) return {};
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HDC screen = GetDC(editor);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP shot = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, shot);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const std::uint32_t*>(bits);
        std::vector<std::uint32_t> rows(pixels, pixels + std::size_t(width) * height);
        for (std::uint32_t& p : rows) p &= 0xFFFFFFu;
        SelectObject(memory, old);
        DeleteObject(shot);
        DeleteDC(memory);
        ReleaseDC(editor, screen);
        return rows;
    }

    // Pixels outside the text areas that differ from a headless render.
    int DifferencesFrom(const char* render, HWND top = nullptr) {
        const auto picture = Render(render);
        const auto shot = Screenshot(top ? top : top_, picture.width, picture.height);
        if (shot.empty()) return -1;
        int differences = 0;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x)
                if (!InText(x, y) &&
                    shot[std::size_t(y) * picture.width + x] != (picture.Pixel(x, y) & 0xFFFFFFu)) {
                    if (differences++ < 4) std::printf("%s differs at (%d, %d)\n", render, x, y);
                }
        return differences;
    }

    std::string renders_;
    HMODULE module_ = nullptr;
    AEffect* effect_ = nullptr;
    HWND top_ = nullptr;
    RecordingHost recorder_{RecordingHost::Answers::LikeAHost};
};

TEST_F(EditorInWin32, DrivenByTheMouseItAutomatesShowsTheAboutPanelAndComesAndGoes) {
    ASSERT_EQ(Open(effect_, top_), 1);
    ERect* rect = nullptr;
    Dispatch(effect_, effEditGetRect, 0, &rect);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, 336);
    EXPECT_EQ(rect->bottom - rect->top, 157);
    ASSERT_EQ(Editors(top_), 1);
    RECT client{};
    GetClientRect(Editor(top_), &client);
    EXPECT_EQ(client.right, 336);
    EXPECT_EQ(client.bottom, 157);
    Run(300);
    EXPECT_EQ(DifferencesFrom("plain.png"), 0) << "the editor shows the current values at once";
    // The captions (the first seven areas) are there, in the system's face
    // about as heavy as in the render's.
    const auto plain = Render("plain.png");
    const auto shot = Screenshot(top_, plain.width, plain.height);
    const auto dark = [](std::uint32_t c) {
        return (c & 0xFF) < 0x80 && (c >> 8 & 0xFF) < 0x80 && (c >> 16 & 0xFF) < 0x80;
    };
    for (int i = 0; i < 7 && !shot.empty(); ++i) {
        const RECT& r = kTextAreas[i];
        int ink = 0, renderInk = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x) {
                ink += dark(shot[std::size_t(y) * plain.width + x]);
                renderInk += dark(plain.Pixel(x, y));
            }
        EXPECT_GT(ink, renderInk / 2) << "caption " << i;
        EXPECT_LT(ink, renderInk * 2) << "caption " << i;
    }

    // Drag the attack knob upwards: it hides the pointer, turns, and tells the host.
    const int knobX = 14 + 40, knobY = 32 + 40;
    PointerTo(knobX, knobY);
    Button(true);
    // The knob puts the pointer back after each step. Under Wine the X
    // server's late report of an earlier move can undo that, and a move to
    // where the pointer already is brings nothing: the moves alternate
    // between two points above the press and go on until four steps arrived.
    for (int i = 0; i < 40 && recorder_.count(audioMasterAutomate) < 4; ++i)
        PointerTo(knobX, knobY - 4 - i % 2);
    EXPECT_FALSE(PointerVisible());
    Button(false);
    EXPECT_TRUE(RunUntil(PointerVisible));
    ASSERT_GE(recorder_.count(audioMasterAutomate), 4);
    const tarnwick::test::HostCall* last = recorder_.last(audioMasterAutomate);
    EXPECT_EQ(last->index, 0);
    EXPECT_EQ(last->opt, effect_->getParameter(effect_, 0));
    EXPECT_GT(last->opt, 0.1f);

    // The maker's name opens the about panel over everything.
    effect_->setParameter(effect_, 0, 0.5f);
    Run(100);
    ClickAt(254 + 20, 134 + 10);
    Run(1000);  // the captions finish fading
    EXPECT_EQ(DifferencesFrom("about.png"), 0);
    ClickAt(218 + 50, 140 + 6);
    PointerTo(390, 190);  // off the editor: no caption stays lit
    Run(1000);
    EXPECT_EQ(DifferencesFrom("half.png"), 0);

    // Closed and opened again, twice.
    for (int round = 0; round < 2; ++round) {
        Dispatch(effect_, effEditClose);
        EXPECT_EQ(Editors(top_), 0);
        ASSERT_EQ(Open(effect_, top_), 1);
        EXPECT_EQ(Editors(top_), 1);
        Run(100);
    }
    EXPECT_EQ(DifferencesFrom("half.png"), 0);
    Dispatch(effect_, effEditClose);
    EXPECT_EQ(Editors(top_), 0);
    EXPECT_TRUE(PointerVisible());
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, kEditorClass, nullptr), nullptr)
        << "no timer window is left";
}

TEST_F(EditorInWin32, ClosedInTheMiddleOfADragThePointerComesBack) {
    ASSERT_EQ(Open(effect_, top_), 1);
    Run(300);
    PointerTo(106 + 40, 32 + 40);
    Button(true);
    PointerTo(106 + 40, 32 + 30);
    EXPECT_FALSE(PointerVisible());
    Dispatch(effect_, effEditClose);
    EXPECT_TRUE(PointerVisible());
    Button(false);
    EXPECT_EQ(GetCapture(), nullptr);
}

// Every beginEdit the host heard was followed by the endEdit of the same
// parameter before another began.
bool EditsPaired(const RecordingHost& recorder) {
    int open = -1;
    for (const tarnwick::test::HostCall& c : recorder.calls()) {
        if (c.opcode == audioMasterBeginEdit) {
            if (open != -1) return false;
            open = c.index;
        } else if (c.opcode == audioMasterEndEdit) {
            if (open != c.index) return false;
            open = -1;
        }
    }
    return open == -1;
}

// The host hides its window in the middle of a knob drag and the button
// goes up elsewhere: the drag ends when the window goes, the pointer shown
// and put back where the drag began; back on the screen, a move without a
// button turns nothing, and every edit begun has ended.
TEST_F(EditorInWin32, ADragEndsWhenTheHostHidesItsWindow) {
    ASSERT_EQ(Open(effect_, top_), 1);
    Run(300);
    const int knobX = 14 + 40, knobY = 32 + 40;
    PointerTo(knobX, knobY);
    POINT origin{};
    GetCursorPos(&origin);
    Button(true);
    for (int i = 0; i < 40 && recorder_.count(audioMasterAutomate) < 2; ++i)
        PointerTo(knobX, knobY - 4 - i % 2);
    ASSERT_GE(recorder_.count(audioMasterAutomate), 2);
    // Sideways turns this knob not, so the pointer stays there.
    PointerTo(knobX + 30, knobY);
    POINT aside{};
    GetCursorPos(&aside);
    EXPECT_NE(aside.x, origin.x);
    EXPECT_FALSE(PointerVisible());

    ShowWindow(top_, SW_HIDE);
    EXPECT_TRUE(RunUntil([] { return PointerVisible() && GetCapture() == nullptr; }));
    // Under Wine the X server's report of the pointer can lag the warp.
    EXPECT_TRUE(RunUntil([&] {
        POINT now{};
        GetCursorPos(&now);
        return now.x == origin.x && now.y == origin.y;
    })) << "the pointer is back where the drag began";
    const int automated = recorder_.count(audioMasterAutomate);
    const float value = effect_->getParameter(effect_, 0);
    PointerTo(390, 190);
    Button(false);
    ShowWindow(top_, SW_SHOW);
    Run(100);
    for (int i = 1; i <= 4; ++i) PointerTo(knobX, knobY - 6 * i);
    EXPECT_EQ(recorder_.count(audioMasterAutomate), automated);
    EXPECT_EQ(effect_->getParameter(effect_, 0), value);
    EXPECT_TRUE(PointerVisible());

    // Another window takes the capture mid-drag: the drag ends there and then.
    PointerTo(knobX, knobY);
    Button(true);
    PointerTo(knobX + 30, knobY);
    EXPECT_FALSE(PointerVisible());
    SetCapture(top_);
    EXPECT_TRUE(PointerVisible());
    ReleaseCapture();
    Button(false);
    EXPECT_GE(recorder_.count(audioMasterBeginEdit), 1);
    EXPECT_TRUE(EditsPaired(recorder_));
}

// Hosts show their window after the editor opened in it, and hide and show
// it again: the frame is there after one pass of the message loop, with no
// idle call and no timer.
TEST_F(EditorInWin32, ShownAfterOpeningItsFrameIsThereAtOnce) {
    ShowWindow(top_, SW_HIDE);
    RunFor(0, {});
    ASSERT_EQ(Open(effect_, top_), 1);
    for (int round = 0; round < 2; ++round) {
        ShowWindow(top_, SW_SHOW);
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        EXPECT_EQ(DifferencesFrom("plain.png"), 0) << "round " << round;
        ShowWindow(top_, SW_HIDE);
    }
}

TEST_F(EditorInWin32, SeveralInstancesOpenAndCloseInAnyOrderAndTheClassGoesWithTheModule) {
    auto entry = EntryOf(module_);
    AEffect* second = entry(&RecordingHost::callback);
    Dispatch(second, effOpen);
    HWND otherTop = MakeTopWindow(20, 250);

    ASSERT_EQ(Open(effect_, top_), 1);
    ASSERT_EQ(Open(second, otherTop), 1);
    RunFor(100, {effect_, second});
    Dispatch(effect_, effEditClose);
    EXPECT_EQ(Editors(top_), 0);
    // The other editor still follows its gate.
    second->setParameter(second, 0, 1.0f);
    RunFor(200, {second});
    EXPECT_EQ(DifferencesFrom("full.png", otherTop), 0);
    ASSERT_EQ(Open(effect_, top_), 1);
    Dispatch(second, effEditClose);
    Dispatch(second, effClose);
    Run(100);
    Dispatch(effect_, effEditClose);
    DestroyWindow(otherTop);
    EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, kEditorClass, nullptr), nullptr);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    EXPECT_TRUE(GetClassInfoExW(module_, kEditorClass, &wc));
    Dispatch(effect_, effClose);
    effect_ = nullptr;
    const HMODULE unloaded = std::exchange(module_, nullptr);
    ASSERT_TRUE(FreeLibrary(unloaded));
    const std::string path = TARNWICK_MODULE_PATH;
    EXPECT_FALSE(GetModuleHandleA(path.substr(path.rfind('/') + 1).c_str()))
        << "the module is unloaded";
    EXPECT_FALSE(GetClassInfoExW(unloaded, kEditorClass, &wc)) << "its class went with it";
    // Loaded again, the module registers its class afresh.
    module_ = LoadLibraryA(WindowsPath(TARNWICK_MODULE_PATH).c_str());
    ASSERT_NE(module_, nullptr);
    effect_ = EntryOf(module_)(&RecordingHost::callback);
    Dispatch(effect_, effOpen);
    ASSERT_EQ(Open(effect_, top_), 1);
    Run(100);
    EXPECT_EQ(DifferencesFrom("plain.png"), 0);
    Dispatch(effect_, effEditClose);
}

TEST_F(EditorInWin32, TheWheelAndADoubleClickTurnTheKnobsAsOneGestureEach) {
    // A new program: attack and hold 0.1, knob position 12 of 127.
    ASSERT_EQ(Open(effect_, top_), 1);
    effect_->setParameter(effect_, 1, 0.8f);
    Run(150);
    const auto gestures = [&](VstInt32 index) {
        int begin = 0, automate = 0, end = 0;
        for (const tarnwick::test::HostCall& c : recorder_.calls()) {
            if (c.index != index) continue;
            begin += c.opcode == audioMasterBeginEdit;
            automate += c.opcode == audioMasterAutomate;
            end += c.opcode == audioMasterEndEdit;
        }
        return std::to_string(begin) + " begin, " + std::to_string(automate) + " automate, " +
               std::to_string(end) + " end";
    };
    // Three notches up on the attack knob: three steps, one gesture.
    PointerTo(14 + 40, 32 + 40);
    recorder_.clear();
    INPUT notch{};
    notch.type = INPUT_MOUSE;
    notch.mi.dwFlags = MOUSEEVENTF_WHEEL;
    notch.mi.mouseData = WHEEL_DELTA;
    for (int i = 0; i < 3; ++i) {
        SendInput(1, &notch, sizeof notch);
        Run(40);
    }
    Run(500);
    EXPECT_EQ(effect_->getParameter(effect_, 0), static_cast<float>(15 / 127.0L));
    EXPECT_EQ(gestures(0), "1 begin, 3 automate, 1 end");
    // A double click on the hold knob: a new program's value, one gesture.
    recorder_.clear();
    ClickAt(106 + 40, 32 + 40);
    ClickAt(106 + 40, 32 + 40);
    Run(150);
    EXPECT_EQ(effect_->getParameter(effect_, 1), 0.1f);
    EXPECT_EQ(gestures(1), "1 begin, 1 automate, 1 end");
    Dispatch(effect_, effEditClose);
}

TEST_F(EditorInWin32, AParentThatIsNotAWindowGivesNoEditor) {
    EXPECT_EQ(Open(effect_, reinterpret_cast<HWND>(0x7FFF0)), 0);
    Dispatch(effect_, effEditIdle);
    Dispatch(effect_, effEditClose);
    EXPECT_EQ(Open(effect_, top_), 1);
    Dispatch(effect_, effEditClose);
}

}  // namespace

#if defined(TARNWICK_VST3_MODULE_PATH)
// The VST 3 bundle's module: its controller's view in the same host window,
// driven by the system's message loop and a timer of its own (no idle call
// from the host), its edits heard by the host as begin / perform / end.
namespace vst3 = tarnwick::vst3;

class EditsHeard final : public vst3::IComponentHandler {
public:
    std::vector<std::pair<char, vst3::ParamID>> calls;  // 'b', 'p', 'e'
    vst3::tresult PLUGIN_API queryInterface(const vst3::TUID iid, void** obj) override {
        *obj = vst3::iidEqual(iid, IComponentHandler::iid.data()) ? this : nullptr;
        return *obj ? vst3::kResultOk : vst3::kNoInterface;
    }
    vst3::uint32 PLUGIN_API addRef() override { return 1; }
    vst3::uint32 PLUGIN_API release() override { return 1; }
    vst3::tresult PLUGIN_API beginEdit(vst3::ParamID id) override {
        calls.push_back({'b', id});
        return vst3::kResultOk;
    }
    vst3::tresult PLUGIN_API performEdit(vst3::ParamID id, vst3::ParamValue) override {
        calls.push_back({'p', id});
        return vst3::kResultOk;
    }
    vst3::tresult PLUGIN_API endEdit(vst3::ParamID id) override {
        calls.push_back({'e', id});
        return vst3::kResultOk;
    }
    vst3::tresult PLUGIN_API restartComponent(vst3::int32) override { return vst3::kResultOk; }
};

TEST_F(EditorInWin32, TheVst3ViewShowsTheEditorAndTellsTheHostItsEdits) {
    HMODULE module = LoadLibraryA(WindowsPath(TARNWICK_VST3_MODULE_PATH).c_str());
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    auto init = reinterpret_cast<vst3::InitModuleFunc>(
        reinterpret_cast<void*>(GetProcAddress(module, vst3::kInitDllName)));
    auto exit = reinterpret_cast<vst3::ExitModuleFunc>(
        reinterpret_cast<void*>(GetProcAddress(module, vst3::kExitDllName)));
    auto getFactory = reinterpret_cast<vst3::GetFactoryProc>(
        reinterpret_cast<void*>(GetProcAddress(module, vst3::kGetPluginFactoryName)));
    ASSERT_TRUE(init && exit && getFactory);
    ASSERT_TRUE(init());
    vst3::IPluginFactory* factory = getFactory();
    vst3::IEditController* controller = nullptr;
    for (vst3::int32 i = 0; i < factory->countClasses() && !controller; ++i) {
        vst3::PClassInfo info{};
        if (factory->getClassInfo(i, &info) == vst3::kResultOk &&
            std::string(info.category) == vst3::kVstComponentControllerClass)
            factory->createInstance(info.cid, vst3::IEditController::iid.data(),
                                    reinterpret_cast<void**>(&controller));
    }
    factory->release();
    ASSERT_NE(controller, nullptr);
    ASSERT_EQ(controller->initialize(nullptr), vst3::kResultOk);
    EditsHeard host;
    controller->setComponentHandler(&host);
    vst3::IPlugView* view = controller->createView(vst3::ViewType::kEditor);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->isPlatformTypeSupported(vst3::kPlatformTypeHWND), vst3::kResultTrue);
    vst3::ViewRect size;
    ASSERT_EQ(view->getSize(&size), vst3::kResultOk);
    EXPECT_EQ(size.getWidth(), 336);
    EXPECT_EQ(size.getHeight(), 157);
    ASSERT_EQ(view->attached(top_, vst3::kPlatformTypeHWND), vst3::kResultOk);
    ASSERT_EQ(Editors(top_), 1);
    RunFor(300, {});
    EXPECT_EQ(DifferencesFrom("plain.png"), 0);

    // A drag of the attack knob: one gesture, with values, for parameter 0.
    const int knobX = 14 + 40, knobY = 32 + 40;
    PointerTo(knobX, knobY);
    Button(true);
    const auto performed = [&host] {
        return std::count_if(host.calls.begin(), host.calls.end(),
                             [](const auto& c) { return c.first == 'p'; });
    };
    for (int i = 0; i < 40 && performed() < 4; ++i) PointerTo(knobX, knobY - 4 - i % 2);
    Button(false);
    ASSERT_GE(performed(), 4);
    EXPECT_EQ(host.calls.front(), std::make_pair('b', vst3::ParamID(0)));
    EXPECT_EQ(host.calls.back(), std::make_pair('e', vst3::ParamID(0)));
    EXPECT_GT(controller->getParamNormalized(0), 0.1);

    // Removed mid-drag of the hold knob: the gesture ends, the pointer comes back, the window goes.
    PointerTo(106 + 40, 32 + 40);
    Button(true);
    for (int i = 0; i < 40 && host.calls.back().second != 1; ++i)
        PointerTo(106 + 40, 32 + 36 - i % 2);
    ASSERT_EQ(host.calls.back().second, vst3::ParamID(1));
    EXPECT_EQ(view->removed(), vst3::kResultOk);
    EXPECT_TRUE(PointerVisible());
    EXPECT_EQ(host.calls.back(), std::make_pair('e', vst3::ParamID(1)));
    Button(false);
    EXPECT_EQ(Editors(top_), 0);
    view->release();
    controller->terminate();
    controller->release();
    EXPECT_TRUE(exit());
    FreeLibrary(module);
}
#endif

#if defined(TARNWICK_CLAP_FILE)
// Tarnwick.clap's editor in the same host window: a Win32 child on a timer
// of its own (a Windows host lends none), its drags heard by the host as
// gesture and value events of the flush it asks for.
TEST_F(EditorInWin32, TheClapEditorShowsTheGateAndTellsTheHostItsEdits) {
    using namespace tarnwick::test;
    const ClapFile file(WindowsPath(TARNWICK_CLAP_FILE).c_str());
    ASSERT_NE(file.factory(), nullptr);
    TestHost host(false, false);
    Instance gate(file, host);
    ASSERT_TRUE(gate && gate->init(gate.get()));
    const clap_plugin_gui_t* gui = gate.gui();
    ASSERT_TRUE(gui->is_api_supported(gate.get(), CLAP_WINDOW_API_WIN32, false));
    EXPECT_FALSE(gui->is_api_supported(gate.get(), CLAP_WINDOW_API_WIN32, true));
    std::uint32_t width = 0, height = 0;
    clap_window_t window{};
    window.api = CLAP_WINDOW_API_WIN32;
    window.win32 = top_;
    ASSERT_TRUE(gui->create(gate.get(), CLAP_WINDOW_API_WIN32, false));
    ASSERT_TRUE(gui->get_size(gate.get(), &width, &height));
    EXPECT_EQ(width, 336u);
    EXPECT_EQ(height, 157u);
    ASSERT_TRUE(gui->set_parent(gate.get(), &window) && gui->show(gate.get()));
    ASSERT_EQ(Editors(top_), 1);
    RunFor(300, {});
    EXPECT_EQ(DifferencesFrom("plain.png"), 0);

    // A drag of the attack knob: begin, values, end for parameter 0, taken
    // by the flushes the plug-in asks for.
    std::string heard;
    const auto take = [&] {
        for (int i = 0; i < host.flushRequests; ++i) heard += gate.flush().Text() + ' ';
        host.flushRequests = 0;
    };
    const int knobX = 14 + 40, knobY = 32 + 40;
    PointerTo(knobX, knobY);
    Button(true);
    for (int i = 0; i < 20; ++i) {
        PointerTo(knobX, knobY - 4 - 2 * i);
        take();
    }
    Button(false);
    RunFor(100, {});
    take();
    EXPECT_EQ(heard.rfind("begin:0 value:0", 0), 0u) << heard;
    EXPECT_NE(heard.find("end:0"), std::string::npos) << heard;
    EXPECT_GT(gate.value(0), 0.1);

    // Destroyed mid-drag of the hold knob: the gesture ends, the pointer comes back, the
    // window goes.
    heard.clear();
    PointerTo(106 + 40, 32 + 40);
    Button(true);
    for (int i = 0; i < 40 && heard.find("value:1") == std::string::npos; ++i) {
        PointerTo(106 + 40, 32 + 36 - i % 2);
        take();
    }
    ASSERT_NE(heard.find("begin:1 value:1"), std::string::npos) << heard;
    gui->destroy(gate.get());
    EXPECT_TRUE(PointerVisible());
    Button(false);
    EXPECT_EQ(Editors(top_), 0);
    take();
    EXPECT_NE(heard.find("end:1"), std::string::npos) << heard;

    // At the host's scale, and anew at another while shown: the window's
    // size, and the host asked to resize.
    ASSERT_TRUE(gui->create(gate.get(), CLAP_WINDOW_API_WIN32, false));
    ASSERT_TRUE(gui->set_scale(gate.get(), 1.5) && gui->set_parent(gate.get(), &window));
    RECT client{};
    GetClientRect(Editor(top_), &client);
    EXPECT_EQ(client.right, 504);
    EXPECT_EQ(client.bottom, 236);
    ASSERT_TRUE(gui->set_scale(gate.get(), 2.0));
    ASSERT_EQ(Editors(top_), 1);
    GetClientRect(Editor(top_), &client);
    EXPECT_EQ(client.right, 672);
    EXPECT_EQ(client.bottom, 314);
    EXPECT_EQ(host.resizes, (decltype(host.resizes){{672, 314}}));
    RunFor(200, {});
    gui->destroy(gate.get());
    EXPECT_EQ(Editors(top_), 0);
}
#endif
