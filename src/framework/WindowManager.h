#pragma once
// The window manager inside one native window. A form's window is the one
// the platform back end supplies; every windowed control inside it gets a
// window of the framework's own: a rectangle of its parent's client area, in
// z-order among its siblings (later ones on top), clipped by its parent, the
// siblings above it and its own windowed children. Each window keeps an
// update region with an erase flag; a paint pass (UpdateWindow, or the back
// end asking the native window to paint) sends WM_PAINT to each window that
// needs it, parents before children.
//
// BeginPaint hands out a context on a buffer with the window's client
// coordinates; EndPaint puts back only the pixels of the painted update
// region that are visible, so a window never paints over its siblings or
// children. Child windows have no native side: GetDC works on the form's
// window only, and painting a child goes through BeginPaint.
//
// Timers tick for a native window, or for a procedure alone; a tick that
// fails is reported with the control whose window it is.

#include "framework/WinApi.h"
#include "gdi/Gdi.h"

struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;   // the background still needs erasing (WM_ERASEBKGND answered 0)
    RECT rcPaint;  // the bounding box of the update region
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};

// The update region: rect (client coordinates; null for the whole client
// area) is added, or taken away. Both answer FALSE for an unknown window.
BOOL InvalidateRect(HWND window, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND window, const RECT* rect);
// The bounding box of the update region; FALSE when it is empty.
BOOL GetUpdateRect(HWND window, RECT* rect, BOOL erase);
// Paints the window and then its descendants that need it.
BOOL UpdateWindow(HWND window);
// Validates the whole update region and sends WM_ERASEBKGND when it was
// invalidated with erasing. Null for an unknown window or one already being
// painted.
HDC BeginPaint(HWND window, PAINTSTRUCT* paint);
BOOL EndPaint(HWND window, const PAINTSTRUCT* paint);

BOOL IsWindow(HWND window);
// The window and every windowed ancestor visible.
BOOL IsWindowVisible(HWND window);

// Mouse capture: every mouse message of the native window goes to the
// holder. Changing or releasing it tells the old holder (WM_CAPTURECHANGED).
HWND SetCapture(HWND window);
BOOL ReleaseCapture();
HWND GetCapture();

// Keyboard focus: WM_KILLFOCUS to the old window, WM_SETFOCUS to the new.
// Returns the window that had it.
HWND SetFocus(HWND window);
HWND GetFocus();

// Points between a window's client coordinates and its native window's.
BOOL ClientToScreen(HWND window, POINT* point);
BOOL ScreenToClient(HWND window, POINT* point);

// ---- timers ----------------------------------------------------------------------

using TIMERPROC = void (*)(HWND window, UINT msg, UINT_PTR id, DWORD tickCount);

inline constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
inline constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;

// Starts or restarts timer `id` of `window`; the period is clamped to
// USER_TIMER_MINIMUM..USER_TIMER_MAXIMUM. Each tick calls `proc` when given,
// and otherwise sends WM_TIMER (WParam = id) to the window. A timer without a
// window needs a procedure; `id` names one to replace, else the timer gets an
// identifier of its own. SetTimer answers that identifier for a timer without
// a window, and nonzero for one with a window.
// Answers 0 when refused: the system declined (last error
// ERROR_NOT_ENOUGH_MEMORY), the window is unknown
// (ERROR_INVALID_WINDOW_HANDLE), or there is nothing to deliver to
// (ERROR_INVALID_PARAMETER).
UINT_PTR SetTimer(HWND window, UINT_PTR id, UINT elapseMs, TIMERPROC proc);
// FALSE when no such timer runs. Safe inside the timer's own tick.
BOOL KillTimer(HWND window, UINT_PTR id);
