// The Win32 back end of the session services and the module's window
// class: the system tick count, SetTimer timers on one message-only window,
// the system pointer and the keyboard state.
#include <algorithm>
#include <map>
#include <utility>
#include <vector>

#include "platform/Services.h"
#include "platform/Window.h"
#include "platform/win32/Win32.h"
#include "platform/win32/Win32Session.h"

namespace tarnwick::platform {

namespace win32 {

namespace {

constexpr const wchar_t* kClassName = L"TarnwickEditorWindow";

void NoteWindow(HWND hwnd, UINT msg);

LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Nothing raised here may reach the host's message loop.
    try {
        NoteWindow(hwnd, msg);
        Delivery delivery;
        if (TimerWindowMessage(hwnd, msg, wParam)) return 0;
        return WindowMessage(hwnd, msg, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

// Registered once; unregistered when the module unloads, which runs the
// destructors of its statics, so that a host loading the module again
// (at another address, perhaps) registers a class of the new code.
struct ClassRegistration {
    ATOM atom = 0;
    ClassRegistration();
    ~ClassRegistration();
};

struct Timer {
    std::uintptr_t window = 0;
    std::uintptr_t id = 0;
    TimerCallback onTick;
};

struct Services {
    std::vector<HWND> windows;  // every live window of the class
    HWND timerWindow = nullptr;
    std::map<UINT_PTR, Timer> timers;  // by the system timer's identifier
    UINT_PTR nextId = 1;
    int hidden = 0;  // hidden less shown, since the pointer was last restored
};

Services& State() {
    static Services services;
    return services;
}

// Keeps the list of the class's windows, from their first message to their last.
void NoteWindow(HWND hwnd, UINT msg) {
    if (msg == WM_NCCREATE) State().windows.push_back(hwnd);
    if (msg == WM_NCDESTROY) std::erase(State().windows, hwnd);
}

ClassRegistration& Registration() {
    static ClassRegistration registration;
    return registration;
}

ClassRegistration::ClassRegistration() {
    State();  // made first, so it outlives the registration
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;  // the system tells double clicks, with the user's timing
    wc.lpfnWndProc = Procedure;
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = nullptr;
    wc.lpszClassName = kClassName;
    atom = RegisterClassExW(&wc);
}

ClassRegistration::~ClassRegistration() {
    Services& s = State();
    if (s.timerWindow) DestroyWindow(s.timerWindow);
    s.timerWindow = nullptr;
    s.timers.clear();
    // Windows that outlive the module: a host freed it with an editor it
    // never closed. Their procedure goes with the module, so the next
    // message to one of them would run code that is gone: they get the
    // system's procedure, which knows nothing of ours, and are destroyed
    // (which only their own thread can do; elsewhere they stay, harmless,
    // and the class stays registered with them).
    for (HWND hwnd : std::vector<HWND>(s.windows)) {
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcW));
        DestroyWindow(hwnd);
    }
    s.windows.clear();
    RestorePointer();
    if (atom) UnregisterClassW(kClassName, ModuleInstance());
}

auto FindTimer(std::uintptr_t window, std::uintptr_t id) {
    auto& timers = State().timers;
    return std::find_if(timers.begin(), timers.end(), [&](const auto& t) {
        return t.second.window == window && t.second.id == id;
    });
}

void DropTimer(std::map<UINT_PTR, Timer>::iterator it) {
    Services& s = State();
    if (s.timerWindow) KillTimer(s.timerWindow, it->first);
    s.timers.erase(it);
    if (s.timers.empty() && s.timerWindow) {
        DestroyWindow(std::exchange(s.timerWindow, nullptr));
    }
}

}  // namespace

HINSTANCE ModuleInstance() {
    static HINSTANCE instance = [] {
        HMODULE module = nullptr;
        GetModuleHandleExW(
            GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
            reinterpret_cast<LPCWSTR>(&Procedure), &module);
        return module;
    }();
    return instance;
}

const wchar_t* WindowClass() { return Registration().atom ? kClassName : nullptr; }

bool TimerWindowMessage(HWND hwnd, UINT msg, WPARAM wParam) {
    Services& s = State();
    if (!hwnd || hwnd != s.timerWindow) return false;
    if (msg != WM_TIMER) return false;
    auto it = s.timers.find(wParam);
    if (it == s.timers.end()) return true;
    if (it->second.window != 0 && !WindowFromHandle(it->second.window)) {
        DropTimer(it);  // its window has gone
        return true;
    }
    // The callback may stop or replace this very timer.
    TimerCallback onTick = it->second.onTick;
    onTick();
    return true;
}

void RestorePointer() {
    Services& s = State();
    for (; s.hidden > 0; --s.hidden) ShowCursor(TRUE);
    for (; s.hidden < 0; ++s.hidden) ShowCursor(FALSE);
}

}  // namespace win32

using namespace win32;

std::uint32_t TickCount() { return GetTickCount(); }

bool StartTimer(std::uintptr_t window, std::uintptr_t id, std::uint32_t periodMs,
                TimerCallback onTick) {
    Services& s = State();
    if (!s.timerWindow) {
        const wchar_t* cls = WindowClass();
        if (!cls) return false;
        s.timerWindow = CreateWindowExW(0, cls, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                        ModuleInstance(), nullptr);
        if (!s.timerWindow) return false;
    }
    auto it = FindTimer(window, id);
    const UINT_PTR sysId = it != s.timers.end() ? it->first : s.nextId++;
    // Setting a running timer again starts a fresh period.
    if (SetTimer(s.timerWindow, sysId, std::max<UINT>(periodMs, USER_TIMER_MINIMUM), nullptr) ==
        0) {
        if (it != s.timers.end())
            DropTimer(it);
        else if (s.timers.empty())
            DestroyWindow(std::exchange(s.timerWindow, nullptr));
        return false;
    }
    s.timers[sysId] = Timer{window, id, std::move(onTick)};
    return true;
}

bool StopTimer(std::uintptr_t window, std::uintptr_t id) {
    auto it = FindTimer(window, id);
    if (it == State().timers.end()) return false;
    DropTimer(it);
    return true;
}

PointerPosition GetPointerPosition() {
    POINT p{};
    GetCursorPos(&p);
    return {p.x, p.y};
}

void SetPointerPosition(PointerPosition position) { SetCursorPos(position.x, position.y); }

int ShowPointer(bool show) {
    Services& s = State();
    s.hidden += show ? -1 : 1;
    return ShowCursor(show ? TRUE : FALSE);
}

bool IsModifierDown(ModifierKey key) {
    static constexpr int keys[] = {VK_SHIFT, VK_CONTROL, VK_MENU};
    return (GetKeyState(keys[static_cast<int>(key)]) & 0x8000) != 0;
}

}  // namespace tarnwick::platform
