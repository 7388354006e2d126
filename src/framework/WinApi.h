#pragma once
// The window manager's and the kernel's services besides drawing and the
// window tree (WindowManager.h): the tick count, the pointer, the keyboard's
// modifier state, and the COM library's identifiers (GUIDs) with their text
// form. Names, types and constants are those of the Windows interface, like
// the GDI's beside it; the services themselves come from the platform back
// end the binary links.

#include <cstdint>
#include <string>
#include <string_view>

#include "gdi/Gdi.h"

using SHORT = std::int16_t;
using UINT_PTR = std::uintptr_t;
using HRESULT = std::int32_t;
using OLECHAR = char16_t;  // UTF-16, as the COM library's strings are

// ---- clock ---------------------------------------------------------------------

// Milliseconds, wrapping at 2^32 (about every 49.7 days).
DWORD GetTickCount();

// ---- pointer and keyboard --------------------------------------------------------

BOOL GetCursorPos(POINT* point);
BOOL SetCursorPos(int x, int y);
// Adds one to the pointer's display counter (show) or takes one away, and
// answers the new count; the pointer shows while the count is at least 0.
int ShowCursor(BOOL show);

// The high bit is set while the key is down. Only the modifier keys VK_SHIFT,
// VK_CONTROL and VK_MENU are tracked; every other key answers 0.
SHORT GetKeyState(int virtualKey);

// ---- identifiers ---------------------------------------------------------------

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
    bool operator==(const GUID&) const = default;
};
static_assert(sizeof(GUID) == 16);

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT CO_E_CLASSSTRING = static_cast<HRESULT>(0x800401F3u);

// A random identifier (version 4, variant 1). E_INVALIDARG for a null pointer,
// E_FAIL when no random source is available.
HRESULT CoCreateGuid(GUID* guid);
// Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case hexadecimal)
// and a terminating zero; answers the characters written with the zero (39),
// or 0 when `max` is too small.
int StringFromGUID2(const GUID& guid, OLECHAR* text, int max);
// The reverse, in either case of hexadecimal; CO_E_CLASSSTRING for anything
// that is not exactly that form.
HRESULT CLSIDFromString(const OLECHAR* text, GUID* guid);

namespace tarnwick {

// The same text form in 8-bit characters, for keys and file names.
std::string GuidToString(const GUID& guid);
// False (and `guid` unchanged) for text that is not exactly the braced form.
bool GuidFromString(std::string_view text, GUID& guid);

}  // namespace tarnwick
