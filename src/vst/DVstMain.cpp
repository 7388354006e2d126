#include "vst/DVstMain.h"

#include "vst/DAudioEffect.h"

namespace {

// Runs when the module is loaded, before the host can call the entry point:
// masks every x87 exception so that faults give infinities and NaNs instead
// of traps, with extended precision and rounding to nearest.
__attribute__((constructor)) void initialiseModuleFpu() {
#if defined(__i386__) || defined(__x86_64__)
    const unsigned short controlWord = kModuleFpuControlWord;
    __asm__ volatile("fldcw %0" : : "m"(controlWord));
#endif
}

}  // namespace

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster) {
    // Without a callback there is no host to ask for its version.
    if (!audioMaster) return nullptr;
    try {
        if (audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
        AudioEffect* effect = createEffectInstance(audioMaster);
        return effect ? effect->getAeffect() : nullptr;
    } catch (...) {
        return nullptr;  // nothing unwinds into the host
    }
}

#if !defined(_WIN32)
// Hosts also look the entry point up as "main", a name C++ cannot declare as
// an ordinary function; the assembler name gives the same routine that symbol.
extern "C" TARNWICK_VST_EXPORT AEffect* tarnwickMainEntry(audioMasterCallback audioMaster) __asm__(
    "main");

extern "C" AEffect* tarnwickMainEntry(audioMasterCallback audioMaster) {
    return VSTPluginMain(audioMaster);
}
#endif
