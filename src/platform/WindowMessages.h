#pragma once
// The window messages a back end delivers to a window's handler, with the
// windowing system's numbers. The framework's Messages.h names the same
// numbers (and checks that they agree); this layer sits below it.

#include <cstdint>

namespace tarnwick::platform::msg {

inline constexpr std::uint32_t kPaint = 0x000F;
// The window system took the pointer away from the window (it was hidden,
// unmapped or deactivated, a grab was broken, or the button went up where
// the window could not see it): whatever the mouse was doing ends now.
inline constexpr std::uint32_t kCancelMode = 0x001F;
inline constexpr std::uint32_t kKeyDown = 0x0100;  // +1: key up
inline constexpr std::uint32_t kChar = 0x0102;
inline constexpr std::uint32_t kSysKeyDown = 0x0104;  // +1: system key up
inline constexpr std::uint32_t kSysChar = 0x0106;
inline constexpr std::uint32_t kMouseMove = 0x0200;
inline constexpr std::uint32_t kLeftDown = 0x0201;  // +1: up
// The second press of a double click: a left press soon after a left click
// at (about) the same point. It stands for that press, and its release
// follows as a plain kLeftDown + 1.
inline constexpr std::uint32_t kLeftDoubleClick = 0x0203;
inline constexpr std::uint32_t kRightDown = 0x0204;
inline constexpr std::uint32_t kMiddleDown = 0x0207;
// The wheel turned: WParam holds the keys (below) in its low and the signed
// turn in its high 16 bits, kWheelNotch a notch, positive away from the
// user; LParam the pointer in the window's client area (every back end
// converts to it, so the wheel is routed like the buttons).
inline constexpr std::uint32_t kMouseWheel = 0x020A;
inline constexpr int kWheelNotch = 120;
// A double click: the second press within this time and this distance
// (either way) of the first, as the systems' defaults have it.
inline constexpr std::uint32_t kDoubleClickMs = 500;
inline constexpr int kDoubleClickSlop = 2;

inline constexpr std::uint32_t WheelParam(std::uint32_t keys, int delta) {
    return (static_cast<std::uint32_t>(delta) << 16) | (keys & 0xFFFFu);
}

// Mouse message WParam: the buttons and modifier keys held.
inline constexpr std::uint32_t kLeftFlag = 0x01;
inline constexpr std::uint32_t kRightFlag = 0x02;
inline constexpr std::uint32_t kShiftFlag = 0x04;
inline constexpr std::uint32_t kControlFlag = 0x08;
inline constexpr std::uint32_t kMiddleFlag = 0x10;

}  // namespace tarnwick::platform::msg
