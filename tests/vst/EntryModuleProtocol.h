#pragma once
// How the entry-point test talks to its test module: the module's effect
// factory asks the host what to do, and the effect reports its close and its
// destruction, all through the vendor-specific host call.

#include "vst/DAEffect.h"

namespace vsttest {

constexpr VstInt32 kAskFactoryMode = 0x7E570001;  // index; the host's answer is the mode
constexpr VstInt32 kReportClosed = 0x7E570002;
constexpr VstInt32 kReportDestroyed = 0x7E570003;

enum FactoryMode : VstIntPtr { kBuild = 0, kThrow = 1, kReturnNull = 2 };

}  // namespace vsttest
