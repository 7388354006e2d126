#pragma once
// The module's entry point. The plug-in module defines createEffectInstance
// (the factory of its effect); the entry library defines the exported main /
// VSTPluginMain, which asks the host for its version, calls the factory and
// hands the host the effect's record, and initialises the module's FPU state.

#include "vst/DAEffect.h"

class AudioEffect;

// Creates the module's effect; may throw or answer null on failure.
AudioEffect* createEffectInstance(audioMasterCallback audioMaster);

#if defined(_WIN32)
// A Windows module's exports are exactly those its module-definition file
// names, so nothing is marked for export in the code.
#define TARNWICK_VST_EXPORT
#else
#define TARNWICK_VST_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {
// Exported; on Linux also under the name "main" (a Windows module maps "main"
// to it in its module-definition file, and the 32-bit one exports only that).
TARNWICK_VST_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster);
}

// The x87 control word the module sets when it is loaded: all exceptions
// masked, 64-bit precision, round to nearest.
constexpr unsigned short kModuleFpuControlWord = 0x133F;
