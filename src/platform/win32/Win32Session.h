#pragma once
// Inside the Win32 back end: the module's window class, shared by the
// windows and the timers' message-only window.

#include <windows.h>

namespace tarnwick::platform::win32 {

// The class's name, registered on first use (null when the system refused).
const wchar_t* WindowClass();
// The module (DLL or program) this back end is linked into.
HINSTANCE ModuleInstance();

// The window procedure of every window of the class: the timers' window
// first, then the windows of the service.
bool TimerWindowMessage(HWND hwnd, UINT msg, WPARAM wParam);
LRESULT WindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Shows the pointer again as often as the services hid it.
void RestorePointer();

}  // namespace tarnwick::platform::win32
