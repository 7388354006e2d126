#pragma once
// Message records and numbers: what windows and controls send each other.

#include <cstdint>

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
inline constexpr std::uint32_t WM_PAINT = 0x000F;
inline constexpr std::uint32_t WM_QUERYNEWPALETTE = 0x030F;
inline constexpr std::uint32_t WM_PALETTECHANGED = 0x0311;  // WParam: the window that changed it

// The framework's own notifications, above the windowing system's range.
inline constexpr std::uint32_t CM_BASE = 0xB000;
inline constexpr std::uint32_t CM_PALETTECHANGED =
    CM_BASE + 0x01;  // WParam: nonzero for the foreground
inline constexpr std::uint32_t CM_TEXTCHANGED = CM_BASE + 0x02;  // a control's caption changed
inline constexpr std::uint32_t CM_HITTEST = CM_BASE + 0x0A;
inline constexpr std::uint32_t CM_MOUSEENTER = CM_BASE + 0x13;
inline constexpr std::uint32_t CM_MOUSELEAVE = CM_BASE + 0x14;
static_assert(CM_HITTEST == 0xB00A && CM_MOUSEENTER == 0xB013 && CM_MOUSELEAVE == 0xB014);
