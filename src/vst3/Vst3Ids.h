#pragma once
// The module's classes and the parameters' ids, which saved projects and
// automation keep: they never change.

#include "vst3/Vst3Interfaces.h"

namespace tarnwick::vst3 {

// The audio side and the edit controller, ids of the project's own.
inline constexpr Uid kProcessorUid = inlineUid(0x7B1E4A52, 0x9C3D4F07, 0xA86E5D21, 0x54574B31);
inline constexpr Uid kControllerUid = inlineUid(0x7B1E4A52, 0x9C3D4F07, 0xA86E5D21, 0x54574B32);
// The class that tells hosts which older plug-in the gate replaces.
inline constexpr Uid kCompatibilityUid = inlineUid(0x7B1E4A52, 0x9C3D4F07, 0xA86E5D21, 0x54574B33);
// The id a host gives the VST 2 module (unique id '4164', effect name
// "QB Sidechain Gate"): "VST", the unique id and the first nine characters
// of the name in lower case, as 32 hexadecimal digits.
inline constexpr Uid kVst2Uid = inlineUid(0x56535434, 0x31363471, 0x62207369, 0x64656368);

// Parameters 0 to 5 are the VST 2 module's indexes, so that automation
// carries over; then the program change and the key's level (read only).
inline constexpr ParamID kProgramParamId = 100;
inline constexpr ParamID kKeyLevelParamId = 101;
inline constexpr ProgramListID kProgramListId = 1;

inline constexpr const char* kVendor = "Quorbel";
inline constexpr const char* kName = "QB Sidechain Gate";
inline constexpr const char* kVersion = "1.0.0";

}  // namespace tarnwick::vst3
