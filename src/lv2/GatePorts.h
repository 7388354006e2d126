#pragma once
// The ports of the gate's LV2 plug-in, in index order: the one table the
// plug-in, its description and its tests read. Audio first (signal, key,
// outputs), then one control input per effect parameter in parameter order,
// then the key level the editor's meter shows.

#include <array>
#include <cstdint>

#include "driver/Parameters.h"

namespace tarnwick::lv2 {

// The plug-in's URI and the names of the things described with it.
inline constexpr const char* kPluginUri = "urn:tarnwick:gate";
// Its editor, an X11 UI in a binary of its own.
inline constexpr const char* kUiUri = "urn:tarnwick:gate:ui";

enum class PortKind { AudioIn, KeyIn, AudioOut, ControlIn, ControlOut };

struct PortInfo {
    PortKind kind;
    const char* symbol;
    const char* name;
    bool toggled;  // a switch: the host shows it as on/off
};

constexpr PortInfo controlPort(int index) {
    const driver::ParameterInfo& p = driver::kParameters[index];
    return {PortKind::ControlIn, p.symbol, p.title, p.kind == driver::ParameterKind::Switch};
}

inline constexpr std::uint32_t kSignalLeft = 0;
inline constexpr std::uint32_t kSignalRight = 1;
inline constexpr std::uint32_t kKeyLeft = 2;
inline constexpr std::uint32_t kKeyRight = 3;
inline constexpr std::uint32_t kOutLeft = 4;
inline constexpr std::uint32_t kOutRight = 5;
// Control input FIRSTCONTROL + i carries effect parameter i.
inline constexpr std::uint32_t kFirstControl = 6;
inline constexpr std::uint32_t kNumControls = driver::kNumParameters;
inline constexpr std::uint32_t kKeyLevel = kFirstControl + kNumControls;
inline constexpr std::uint32_t kNumPorts = kKeyLevel + 1;

inline constexpr std::array<PortInfo, kNumPorts> kPorts = {{
    {PortKind::AudioIn, "in_l", "Input L", false},
    {PortKind::AudioIn, "in_r", "Input R", false},
    {PortKind::KeyIn, "key_l", "Key L", false},
    {PortKind::KeyIn, "key_r", "Key R", false},
    {PortKind::AudioOut, "out_l", "Output L", false},
    {PortKind::AudioOut, "out_r", "Output R", false},
    // The parameters as the driver names them; switches are toggled.
    controlPort(0),
    controlPort(1),
    controlPort(2),
    controlPort(3),
    controlPort(4),
    controlPort(5),
    {PortKind::ControlOut, "keylevel", "Key level", false},
}};

}  // namespace tarnwick::lv2
