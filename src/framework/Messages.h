#pragma once
// Message records and numbers: what windows and controls send each other.

#include <cstdint>

#include "platform/WindowMessages.h"

// A message as the windowing system delivers it: the number, two 32-bit
// parameters and a 32-bit result the receiver fills in.
struct TMessage {
    std::uint32_t Msg = 0;
    std::uint32_t WParam = 0;
    std::int32_t LParam = 0;
    std::int32_t Result = 0;
};

// The windowing system's numbers.
inline constexpr std::uint32_t WM_NULL = 0x0000;
inline constexpr std::uint32_t WM_SETFOCUS = 0x0007;   // WParam: the window that lost it
inline constexpr std::uint32_t WM_KILLFOCUS = 0x0008;  // WParam: the window that gets it
inline constexpr std::uint32_t WM_ENABLE = 0x000A;
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_ERASEBKGND = 0x0014;  // WParam: the DC
inline constexpr std::uint32_t WM_CANCELMODE = 0x001F;
inline constexpr std::uint32_t WM_SETCURSOR = 0x0020;
inline constexpr std::uint32_t WM_GETDLGCODE = 0x0087;
inline constexpr std::uint32_t WM_KEYDOWN = 0x0100;  // WParam: VK_ code
inline constexpr std::uint32_t WM_KEYUP = 0x0101;
inline constexpr std::uint32_t WM_CHAR = 0x0102;  // WParam: the character
inline constexpr std::uint32_t WM_SYSKEYDOWN = 0x0104;
inline constexpr std::uint32_t WM_SYSKEYUP = 0x0105;
inline constexpr std::uint32_t WM_SYSCHAR = 0x0106;
inline constexpr std::uint32_t WM_TIMER = 0x0113;  // WParam: the timer's identifier
// Mouse messages: WParam holds the MK_ flags, LParam the client position
// (x in the low 16 bits, y in the high 16 bits, both signed).
inline constexpr std::uint32_t WM_MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t WM_LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t WM_LBUTTONUP = 0x0202;
inline constexpr std::uint32_t WM_LBUTTONDBLCLK = 0x0203;
inline constexpr std::uint32_t WM_RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t WM_RBUTTONUP = 0x0205;
inline constexpr std::uint32_t WM_RBUTTONDBLCLK = 0x0206;
inline constexpr std::uint32_t WM_MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t WM_MBUTTONUP = 0x0208;
inline constexpr std::uint32_t WM_MBUTTONDBLCLK = 0x0209;
inline constexpr std::uint32_t WM_MOUSEWHEEL = 0x020A;
inline constexpr std::uint32_t WM_CAPTURECHANGED = 0x0215;  // LParam: the new capture window
inline constexpr std::uint32_t WM_QUERYNEWPALETTE = 0x030F;
inline constexpr std::uint32_t WM_PALETTECHANGED = 0x0311;  // WParam: the window that changed it

// The framework's own notifications, above the windowing system's range.
inline constexpr std::uint32_t CM_BASE = 0xB000;
inline constexpr std::uint32_t CM_PALETTECHANGED =
    CM_BASE + 0x01;  // WParam: nonzero for the foreground
inline constexpr std::uint32_t CM_TEXTCHANGED = CM_BASE + 0x02;  // a control's caption changed
inline constexpr std::uint32_t CM_HITTEST = CM_BASE + 0x0A;
inline constexpr std::uint32_t CM_FONTCHANGED = CM_BASE + 0x0E;  // a control's font changed
// Sent by a windowed control to its children when its font changed.
inline constexpr std::uint32_t CM_PARENTFONTCHANGED = CM_BASE + 0x0F;
inline constexpr std::uint32_t CM_MOUSEENTER = CM_BASE + 0x13;
inline constexpr std::uint32_t CM_MOUSELEAVE = CM_BASE + 0x14;
static_assert(CM_HITTEST == 0xB00A && CM_MOUSEENTER == 0xB013 && CM_MOUSELEAVE == 0xB014);

// ---- windows, input and focus ----------------------------------------------------
inline constexpr std::uint32_t HTCLIENT = 1;  // the low word of WM_SETCURSOR's LParam

inline constexpr std::uint32_t CM_ENABLEDCHANGED = CM_BASE + 0x03;
inline constexpr std::uint32_t CM_DIALOGKEY = CM_BASE + 0x05;  // WParam: key code
// WParam: character, LParam: key data
inline constexpr std::uint32_t CM_DIALOGCHAR = CM_BASE + 0x06;
inline constexpr std::uint32_t CM_FOCUSCHANGED = CM_BASE + 0x07;  // LParam: the focused window
inline constexpr std::uint32_t CM_CHILDKEY = CM_BASE + 0x08;  // WParam: key code, LParam: window
// A control's messages reflected back to it before its own handling; a
// nonzero answer means the key was taken there.
inline constexpr std::uint32_t CN_BASE = 0xBC00;
inline constexpr std::uint32_t CN_KEYDOWN = CN_BASE + WM_KEYDOWN;
inline constexpr std::uint32_t CN_KEYUP = CN_BASE + WM_KEYUP;
inline constexpr std::uint32_t CN_CHAR = CN_BASE + WM_CHAR;
inline constexpr std::uint32_t CN_SYSKEYDOWN = CN_BASE + WM_SYSKEYDOWN;
inline constexpr std::uint32_t CN_SYSCHAR = CN_BASE + WM_SYSCHAR;

// The mouse messages whose LParam is a position in the receiver's client area.
// The back ends give the wheel's in client coordinates too (the system's is
// a screen position), so it is routed to the control under the pointer.
inline constexpr bool IsClientMouseMessage(std::uint32_t msg) {
    return msg >= WM_MOUSEMOVE && msg <= WM_MOUSEWHEEL;
}
// WM_MOUSEWHEEL's WParam: the MK_ flags in the low word, the signed turn
// (WHEEL_DELTA a notch, positive away from the user) in the high word.
inline constexpr int WHEEL_DELTA = 120;
inline constexpr int WheelDelta(std::uint32_t wParam) {
    return static_cast<std::int16_t>(wParam >> 16);
}

// Mouse message LParam: X in the low, Y in the high 16 bits, both signed.
inline constexpr std::int32_t MakeMouseLParam(int x, int y) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(y) << 16) |
                                     (static_cast<std::uint32_t>(x) & 0xFFFFu));
}
inline constexpr int MouseX(std::int32_t lParam) { return static_cast<std::int16_t>(lParam); }
inline constexpr int MouseY(std::int32_t lParam) {
    return static_cast<std::int16_t>(static_cast<std::uint32_t>(lParam) >> 16);
}

// Mouse message flags (WParam of the mouse messages).
inline constexpr std::uint32_t MK_LBUTTON = 0x0001;
inline constexpr std::uint32_t MK_RBUTTON = 0x0002;
inline constexpr std::uint32_t MK_SHIFT = 0x0004;
inline constexpr std::uint32_t MK_CONTROL = 0x0008;
inline constexpr std::uint32_t MK_MBUTTON = 0x0010;

// WM_GETDLGCODE answers: which keys a control handles itself instead of
// leaving them to dialog navigation.
inline constexpr std::int32_t DLGC_WANTARROWS = 0x0001;
inline constexpr std::int32_t DLGC_WANTTAB = 0x0002;
inline constexpr std::int32_t DLGC_WANTALLKEYS = 0x0004;
inline constexpr std::int32_t DLGC_WANTMESSAGE = 0x0004;
inline constexpr std::int32_t DLGC_HASSETSEL = 0x0008;
inline constexpr std::int32_t DLGC_DEFPUSHBUTTON = 0x0010;
inline constexpr std::int32_t DLGC_UNDEFPUSHBUTTON = 0x0020;
inline constexpr std::int32_t DLGC_RADIOBUTTON = 0x0040;
inline constexpr std::int32_t DLGC_WANTCHARS = 0x0080;
inline constexpr std::int32_t DLGC_STATIC = 0x0100;
inline constexpr std::int32_t DLGC_BUTTON = 0x2000;

// Virtual-key codes.
inline constexpr int VK_LBUTTON = 0x01;
inline constexpr int VK_RBUTTON = 0x02;
inline constexpr int VK_CANCEL = 0x03;
inline constexpr int VK_MBUTTON = 0x04;
inline constexpr int VK_BACK = 0x08;
inline constexpr int VK_TAB = 0x09;
inline constexpr int VK_CLEAR = 0x0C;
inline constexpr int VK_RETURN = 0x0D;
inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;  // Alt
inline constexpr int VK_PAUSE = 0x13;
inline constexpr int VK_CAPITAL = 0x14;
inline constexpr int VK_ESCAPE = 0x1B;
inline constexpr int VK_SPACE = 0x20;
inline constexpr int VK_PRIOR = 0x21;  // Page Up
inline constexpr int VK_NEXT = 0x22;   // Page Down
inline constexpr int VK_END = 0x23;
inline constexpr int VK_HOME = 0x24;
inline constexpr int VK_LEFT = 0x25;
inline constexpr int VK_UP = 0x26;
inline constexpr int VK_RIGHT = 0x27;
inline constexpr int VK_DOWN = 0x28;
inline constexpr int VK_SELECT = 0x29;
inline constexpr int VK_PRINT = 0x2A;
inline constexpr int VK_EXECUTE = 0x2B;
inline constexpr int VK_SNAPSHOT = 0x2C;
inline constexpr int VK_INSERT = 0x2D;
inline constexpr int VK_DELETE = 0x2E;
inline constexpr int VK_HELP = 0x2F;
// '0'..'9' and 'A'..'Z' are their ASCII codes.
inline constexpr int VK_F1 = 0x70;
inline constexpr int VK_F2 = 0x71;
inline constexpr int VK_F3 = 0x72;
inline constexpr int VK_F4 = 0x73;
inline constexpr int VK_F5 = 0x74;
inline constexpr int VK_F6 = 0x75;
inline constexpr int VK_F7 = 0x76;
inline constexpr int VK_F8 = 0x77;
inline constexpr int VK_F9 = 0x78;
inline constexpr int VK_F10 = 0x79;
inline constexpr int VK_F11 = 0x7A;
inline constexpr int VK_F12 = 0x7B;

// The platform's back ends deliver these numbers.
static_assert(WM_PAINT == tarnwick::platform::msg::kPaint &&
              WM_CANCELMODE == tarnwick::platform::msg::kCancelMode &&
              WM_KEYDOWN == tarnwick::platform::msg::kKeyDown &&
              WM_CHAR == tarnwick::platform::msg::kChar &&
              WM_SYSKEYDOWN == tarnwick::platform::msg::kSysKeyDown &&
              WM_SYSCHAR == tarnwick::platform::msg::kSysChar &&
              WM_MOUSEMOVE == tarnwick::platform::msg::kMouseMove &&
              WM_LBUTTONDOWN == tarnwick::platform::msg::kLeftDown &&
              WM_LBUTTONDBLCLK == tarnwick::platform::msg::kLeftDoubleClick &&
              WM_MOUSEWHEEL == tarnwick::platform::msg::kMouseWheel &&
              WHEEL_DELTA == tarnwick::platform::msg::kWheelNotch &&
              WM_RBUTTONDOWN == tarnwick::platform::msg::kRightDown &&
              WM_MBUTTONDOWN == tarnwick::platform::msg::kMiddleDown &&
              MK_LBUTTON == tarnwick::platform::msg::kLeftFlag &&
              MK_RBUTTON == tarnwick::platform::msg::kRightFlag &&
              MK_SHIFT == tarnwick::platform::msg::kShiftFlag &&
              MK_CONTROL == tarnwick::platform::msg::kControlFlag &&
              MK_MBUTTON == tarnwick::platform::msg::kMiddleFlag);
