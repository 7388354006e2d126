#pragma once
// What every plug-in format tells its host about the gate's six parameters:
// names, units, steps, the default of a new program, and the value as text
// in real units both ways. The values are the effect's own, 0 to 1: the
// three times are the time in seconds, the threshold the key's level
// against full scale, the switches off below one half.

#include <array>
#include <string>
#include <string_view>

namespace tarnwick::driver {

enum class ParameterKind { Time, Level, Switch };

struct ParameterInfo {
    const char* symbol;  // the role, as the command-line host and LV2 name it
    const char* title;
    const char* units;  // of the text: "ms", "dB", none for a switch
    ParameterKind kind;
    int steps;  // 0: continuous; 1: a switch
};

inline constexpr int kNumParameters = 6;

inline constexpr std::array<ParameterInfo, kNumParameters> kParameters = {{
    {"attack", "Attack", "ms", ParameterKind::Time, 0},
    {"hold", "Hold", "ms", ParameterKind::Time, 0},
    {"release", "Release", "ms", ParameterKind::Time, 0},
    {"threshold", "Threshold", "dB", ParameterKind::Level, 0},
    {"envmode", "Envelope mode", "", ParameterKind::Switch, 1},
    {"active", "Active", "", ParameterKind::Switch, 1},
}};

// The value a new program gives the parameter, asked of the effect; 0 for
// an unknown index.
float DefaultValue(int index);

// VALUE (clamped to 0 to 1 as the effect clamps it) as text in the
// parameter's units: "12.5 ms", "-6.0 dB", "-inf dB", "On". Written the same
// under every locale. Empty for an unknown index.
std::string ValueText(int index, double value);

// The value TEXT stands for, clamped to 0 to 1: a number with or without the
// unit ("250", "250 ms", "0.25 s"; "-6 dB", "-inf"; "On", "off", "1"). False,
// with VALUE untouched, when the text says no value of the parameter.
bool TextValue(int index, std::string_view text, double& value);

}  // namespace tarnwick::driver
