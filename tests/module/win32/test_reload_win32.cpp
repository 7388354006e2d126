// The built module loaded with LoadLibrary and freed again and again, as
// hosts do when they scan plug-ins or reload a session, each time with its
// editor opened in a host's window and painted (text included). What the
// module takes (GDI fonts and contexts, its window class and windows, its
// runtime's exception pool) must go with it. The test prints what one load
// keeps, so that it doubles as the measurement.
#include <windows.h>
//
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "support/RecordingHost.h"

namespace {

using tarnwick::test::RecordingHost;
using MainProc = AEffect* (*)(audioMasterCallback);

constexpr const wchar_t* kEditorClass = L"TarnwickEditorWindow";

std::string WindowsPath(std::string path) {
    if (path.empty() || path[0] != '/') return path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

// Kernel handles of the process. Wine answers 0 to the system's count, so
// the handle values in use are probed there instead.
unsigned KernelHandles() {
    DWORD count = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
    for (std::uintptr_t h = 4; h < 0x40000; h += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++count;
    }
    return count;
}

// GDI objects of the process. Wine answers 0 here too; its GDI takes a
// handle's table index alone for the object there, so indices are probed.
unsigned GdiObjects() {
    const DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (count != 0) return count;
    unsigned probed = 0;
    for (std::uintptr_t i = 1; i < 0x10000; ++i)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(i)) != 0) ++probed;
    return probed;
}

// Bytes in use in every heap of the process (the C runtime's among them).
std::uint64_t HeapBytes() {
    HANDLE heaps[256];
    const DWORD n = GetProcessHeaps(256, heaps);
    std::uint64_t bytes = 0;
    for (DWORD i = 0; i < n && i < 256; ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry))
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) bytes += entry.cbData;
        HeapUnlock(heaps[i]);
    }
    return bytes;
}

// The lowest free thread-local storage index: it rises when a load keeps one.
DWORD FreeTlsIndex() {
    const DWORD index = TlsAlloc();
    TlsFree(index);
    return index;
}

struct Counts {
    unsigned handles = 0, gdi = 0;
    std::uint64_t heap = 0;
    DWORD tls = 0;
    static Counts Now() { return {KernelHandles(), GdiObjects(), HeapBytes(), FreeTlsIndex()}; }
};

class Reload : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TarnwickReloadHost";
        RegisterClassW(&wc);
        top_ = CreateWindowExW(0, wc.lpszClassName, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               420, 240, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(top_, nullptr);
    }
    void TearDown() override {
        if (top_) DestroyWindow(top_);
        UnregisterClassW(L"TarnwickReloadHost", GetModuleHandleW(nullptr));
    }

    void Pump() {
        MSG m;
        while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&m);
            DispatchMessageW(&m);
        }
    }

    enum class Ending { Closed, EffectClosedWithEditorOpen, NothingClosed };

    // Loads the module, opens a gate and its editor in the host's window,
    // lets it paint, ends as asked and frees the module.
    void Cycle(Ending ending = Ending::Closed) {
        HMODULE module = LoadLibraryA(WindowsPath(TARNWICK_MODULE_PATH).c_str());
        ASSERT_NE(module, nullptr) << "error " << GetLastError();
        module_ = module;
        FARPROC entry = GetProcAddress(module, "VSTPluginMain");
        if (!entry) entry = GetProcAddress(module, "main");
        AEffect* effect =
            reinterpret_cast<MainProc>(reinterpret_cast<void*>(entry))(&RecordingHost::callback);
        ASSERT_NE(effect, nullptr);
        auto dispatch = [&](VstInt32 opcode, void* ptr = nullptr) {
            return effect->dispatcher(effect, opcode, 0, 0, ptr, 0.0f);
        };
        dispatch(effOpen);
        EXPECT_EQ(dispatch(effEditOpen, top_), 1);
        for (int i = 0; i < 3; ++i) {
            dispatch(effEditIdle);
            UpdateWindow(top_);
            RedrawWindow(top_, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
            Pump();
        }
        if (ending == Ending::Closed) dispatch(effEditClose);
        if (ending != Ending::NothingClosed) dispatch(effClose);
        FreeLibrary(module);
        Pump();
    }

    HWND top_ = nullptr;
    HMODULE module_ = nullptr;  // the last one loaded, freed
    RecordingHost recorder_{RecordingHost::Answers::LikeAHost};
};

TEST_F(Reload, EachFreeGivesBackWhatTheModuleTook) {
    for (int i = 0; i < 5; ++i) Cycle();
    const Counts before = Counts::Now();
    constexpr int kCycles = 50;
    for (int i = 0; i < kCycles; ++i) Cycle();
    const Counts after = Counts::Now();
    const double handles = (static_cast<double>(after.handles) - before.handles) / kCycles;
    const double gdi = (static_cast<double>(after.gdi) - before.gdi) / kCycles;
    const double heap =
        (static_cast<double>(after.heap) - static_cast<double>(before.heap)) / kCycles / 1024.0;
    const double tls = (static_cast<double>(after.tls) - before.tls) / kCycles;
    std::printf(
        "kept per load: %.2f kernel handles, %.2f GDI objects, %.2f KB of heap, %.2f TLS "
        "indices\n",
        handles, gdi, heap, tls);

    auto nothingLeft = [&](const char* after) {
        EXPECT_EQ(FindWindowExW(top_, nullptr, kEditorClass, nullptr), nullptr) << after;
        EXPECT_EQ(FindWindowExW(HWND_MESSAGE, nullptr, kEditorClass, nullptr), nullptr)
            << "the timers' window, " << after;
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        EXPECT_FALSE(GetClassInfoExW(module_, kEditorClass, &wc)) << "the window class, " << after;
    };
    nothingLeft("closed as a host does");
    EXPECT_EQ(gdi, 0.0) << "fonts and contexts";
    // Not one kernel handle: the threads library's record of the freeing
    // thread (a thread handle and an event) goes, and the lock of its table
    // of keys (two semaphores) is never made. Nor its thread-local storage
    // index, or the keys': with none left the host would end.
    EXPECT_LT(tls, 0.5) << "thread-local storage indices";
    EXPECT_EQ(after.handles, before.handles) << "kernel handles";
    // The runtime's exception pool was 19 KB a load (73 KB in the 64-bit
    // module).
    EXPECT_LT(heap, 4.0);

    // A host that ends the gate with its editor still open, or frees the
    // module with a gate it never closed: no window of the module's is left
    // in the host's (whose next message would run code that is gone), and
    // the next load opens its editor as ever.
    Cycle(Ending::EffectClosedWithEditorOpen);
    nothingLeft("the gate closed with its editor open");
    Cycle(Ending::NothingClosed);
    nothingLeft("freed with the editor open");
    SendMessageW(top_, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20));
    Cycle();
}

// Each thread shows a gate's editor in a window of its own (as hosts
// that give each plug-in window a thread do) and ends.
DWORD WINAPI EditorThread(void* main) {
    AEffect* effect = reinterpret_cast<MainProc>(main)(&RecordingHost::callback);
    HWND top = CreateWindowExW(0, L"TarnwickReloadHost", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 420,
                               240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    auto dispatch = [&](VstInt32 opcode) {
        return effect->dispatcher(effect, opcode, 0, 0, top, 0.0f);
    };
    dispatch(effOpen);
    const DWORD opened = dispatch(effEditOpen) == 1;
    dispatch(effEditIdle);
    dispatch(effEditClose);
    dispatch(effClose);
    DestroyWindow(top);
    return opened;
}

TEST_F(Reload, ThreadsThatEndWhileTheModuleStaysLoadedLeaveNothingOfIt) {
    HMODULE module = LoadLibraryA(WindowsPath(TARNWICK_MODULE_PATH).c_str());
    ASSERT_NE(module, nullptr);
    FARPROC entry = GetProcAddress(module, "VSTPluginMain");
    if (!entry) entry = GetProcAddress(module, "main");
    Counts before;
    for (int i = 0; i < 53; ++i) {
        if (i == 3) before = Counts::Now();
        HANDLE t =
            CreateThread(nullptr, 0, EditorThread, reinterpret_cast<void*>(entry), 0, nullptr);
        ASSERT_NE(t, nullptr);
        DWORD opened = 0;
        WaitForSingleObject(t, INFINITE);
        GetExitCodeThread(t, &opened);
        CloseHandle(t);
        ASSERT_EQ(opened, 1u);
    }
    const Counts after = Counts::Now();
    const double heap =
        (static_cast<double>(after.heap) - static_cast<double>(before.heap)) / 50 / 1024.0;
    std::printf("kept per thread: %.2f KB of heap\n", heap);
    EXPECT_LT(heap, 0.1) << "its thread-local storage (0.3 KB a thread)";
    EXPECT_EQ(after.handles, before.handles) << "kernel handles";
    FreeLibrary(module);
}

}  // namespace
