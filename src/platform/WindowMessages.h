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
inline constexpr std::uint32_t kRightDown = 0x0204;
inline constexpr std::uint32_t kMiddleDown = 0x0207;

// Mouse message WParam: the buttons and modifier keys held.
inline constexpr std::uint32_t kLeftFlag = 0x01;
inline constexpr std::uint32_t kRightFlag = 0x02;
inline constexpr std::uint32_t kShiftFlag = 0x04;
inline constexpr std::uint32_t kControlFlag = 0x08;
inline constexpr std::uint32_t kMiddleFlag = 0x10;

}  // namespace tarnwick::platform::msg
