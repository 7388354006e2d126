// The window manager's and the kernel's services over the platform back end.
#include "framework/WinApi.h"

#include <algorithm>
#include <random>

#include "framework/Messages.h"
#include "gdi/GdiState.h"
#include "platform/Services.h"
#include "platform/Window.h"

namespace platform = tarnwick::platform;
using tarnwick::gdi_internal::Fail;

DWORD GetTickCount() { return platform::TickCount(); }

BOOL GetCursorPos(POINT* point) {
    if (!point) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const platform::PointerPosition p = platform::GetPointerPosition();
    *point = {p.x, p.y};
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    platform::SetPointerPosition({x, y});
    return TRUE;
}

int ShowCursor(BOOL show) { return platform::ShowPointer(show != FALSE); }

SHORT GetKeyState(int virtualKey) {
    platform::ModifierKey key;
    switch (virtualKey) {
        case VK_SHIFT: key = platform::ModifierKey::Shift; break;
        case VK_CONTROL: key = platform::ModifierKey::Control; break;
        case VK_MENU: key = platform::ModifierKey::Alt; break;
        default: return 0;
    }
    return platform::IsModifierDown(key) ? static_cast<SHORT>(0x8000) : SHORT{0};
}

// ---- identifiers -------------------------------------------------------------------

HRESULT CoCreateGuid(GUID* guid) {
    if (!guid) return E_INVALIDARG;
    try {
        std::random_device source;
        std::uniform_int_distribution<unsigned> byte(0, 255);
        BYTE b[16];
        for (BYTE& v : b) v = static_cast<BYTE>(byte(source));
        b[6] = static_cast<BYTE>((b[6] & 0x0F) | 0x40);  // version 4: random
        b[8] = static_cast<BYTE>((b[8] & 0x3F) | 0x80);  // variant 1
        guid->Data1 = DWORD{b[0]} << 24 | DWORD{b[1]} << 16 | DWORD{b[2]} << 8 | b[3];
        guid->Data2 = static_cast<WORD>(b[4] << 8 | b[5]);
        guid->Data3 = static_cast<WORD>(b[6] << 8 | b[7]);
        for (int i = 0; i < 8; ++i) guid->Data4[i] = b[8 + i];
        return S_OK;
    } catch (const std::exception&) {
        return E_FAIL;
    }
}

namespace tarnwick {

namespace {

constexpr std::size_t kGuidTextLength = 38;

// The hexadecimal digits of the text form, as (offset, digit count) fields:
// Data1, Data2, Data3, then the eight bytes of Data4.
constexpr struct {
    std::size_t at, digits;
} kFields[] = {{1, 8},  {10, 4}, {15, 4}, {20, 2}, {22, 2}, {25, 2},
               {27, 2}, {29, 2}, {31, 2}, {33, 2}, {35, 2}};

std::uint32_t FieldValue(const GUID& g, std::size_t i) {
    if (i == 0) return g.Data1;
    if (i == 1) return g.Data2;
    if (i == 2) return g.Data3;
    return g.Data4[i - 3];
}

}  // namespace

std::string GuidToString(const GUID& guid) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text = "{00000000-0000-0000-0000-000000000000}";
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        std::uint32_t v = FieldValue(guid, i);
        for (std::size_t d = kFields[i].digits; d-- > 0; v >>= 4)
            text[kFields[i].at + d] = kHex[v & 0xF];
    }
    return text;
}

bool GuidFromString(std::string_view text, GUID& guid) {
    if (text.size() != kGuidTextLength || text.front() != '{' || text.back() != '}' ||
        text[9] != '-' || text[14] != '-' || text[19] != '-' || text[24] != '-')
        return false;
    std::uint32_t values[std::size(kFields)];
    for (std::size_t i = 0; i < std::size(kFields); ++i) {
        std::uint32_t v = 0;
        for (std::size_t d = 0; d < kFields[i].digits; ++d) {
            const char c = text[kFields[i].at + d];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else if (c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else
                return false;
            v = v << 4 | static_cast<std::uint32_t>(digit);
        }
        values[i] = v;
    }
    guid.Data1 = values[0];
    guid.Data2 = static_cast<WORD>(values[1]);
    guid.Data3 = static_cast<WORD>(values[2]);
    for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<BYTE>(values[3 + i]);
    return true;
}

}  // namespace tarnwick

int StringFromGUID2(const GUID& guid, OLECHAR* text, int max) {
    const std::string s = tarnwick::GuidToString(guid);
    if (!text || max < static_cast<int>(s.size()) + 1) return 0;
    for (char c : s) *text++ = static_cast<OLECHAR>(c);
    *text = 0;
    return static_cast<int>(s.size()) + 1;
}

HRESULT CLSIDFromString(const OLECHAR* text, GUID* guid) {
    if (!text || !guid) return E_INVALIDARG;
    // Narrow at most one character more than the form has, so longer text fails.
    std::string narrow;
    for (; *text && narrow.size() <= tarnwick::kGuidTextLength; ++text) {
        if (*text > 0x7F) return CO_E_CLASSSTRING;
        narrow.push_back(static_cast<char>(*text));
    }
    return tarnwick::GuidFromString(narrow, *guid) ? S_OK : CO_E_CLASSSTRING;
}
