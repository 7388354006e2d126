#include "EffectHost.h"

#include <sys/stat.h>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <link.h>
#endif

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>

namespace tarnwick::host {
namespace {

// The command-line host runs one effect at a time, so the callback's answers
// come from one process-wide state (the callback may be called before the
// effect record exists, with a null record).
HostState gState;
VstTimeInfo gTimeInfo{};

// Copies TEXT into a buffer the effect gave us, assuming only the standard
// length of that buffer.
void copyOut(void* dst, const char* text, size_t capacity) {
    if (dst == nullptr || capacity == 0) return;
    auto* out = static_cast<char*>(dst);
    size_t n = std::min(std::strlen(text), capacity - 1);
    std::memcpy(out, text, n);
    out[n] = '\0';
}

// The one capability this host has that an effect may ask about is time
// information; to everything else it answers "don't know".
VstIntPtr hostCanDo(const char* text) {
    return text != nullptr && std::strncmp(text, "sendVstTimeInfo", 64) == 0 ? 1 : 0;
}

VstIntPtr hostCallback(AEffect* /*effect*/, VstInt32 opcode, VstInt32 /*index*/,
                       VstIntPtr /*value*/, void* ptr, float /*opt*/) {
    switch (opcode) {
        case audioMasterVersion: return kHostVstVersion;
        case audioMasterPinConnected: return 0;  // 0 means connected: every pin is fed
        case audioMasterWantMidi: return 1;
        case audioMasterGetTime: {
            // Whatever the effect's filter asks for, every field given is valid.
            gTimeInfo = VstTimeInfo{};
            gTimeInfo.samplePos = gState.samplePos;
            gTimeInfo.sampleRate = gState.sampleRate;
            gTimeInfo.tempo = gState.tempo;
            gTimeInfo.ppqPos = gState.samplePos / gState.sampleRate * gState.tempo / 60.0;
            gTimeInfo.timeSigNumerator = 4;
            gTimeInfo.timeSigDenominator = 4;
            gTimeInfo.flags =
                kVstTransportPlaying | kVstTempoValid | kVstPpqPosValid | kVstTimeSigValid;
            return reinterpret_cast<VstIntPtr>(&gTimeInfo);
        }
        case audioMasterTempoAt:
            // Tempo in beats per minute times 10000 at any position: the host has
            // no tempo map, only one fixed tempo.
            return static_cast<VstIntPtr>(gState.tempo * 10000.0);
        case audioMasterGetSampleRate: return static_cast<VstIntPtr>(gState.sampleRate);
        case audioMasterGetBlockSize: return gState.blockSize;
        case audioMasterGetInputLatency:
        case audioMasterGetOutputLatency: return 0;
        case audioMasterWillReplaceOrAccumulate: return gState.accumulating ? 2 : 1;
        case audioMasterGetCurrentProcessLevel:
            return 4;  // offline: the host renders files, not a live stream
        case audioMasterGetAutomationState: return 1;  // automation off
        case audioMasterGetVendorString: copyOut(ptr, kHostVendor, kVstMaxVendorStrLen); return 1;
        case audioMasterGetProductString:
            copyOut(ptr, kHostProduct, kVstMaxProductStrLen);
            return 1;
        case audioMasterGetVendorVersion: return 1000;
        case audioMasterCanDo: return hostCanDo(static_cast<const char*>(ptr));
        case audioMasterGetLanguage: return 1;  // English
        default: return 0;
    }
}

using EntryPoint = AEffect* (*)(audioMasterCallback);

std::string oneLine(const char* text) {
    std::string s = text != nullptr ? text : "unknown error";
    for (char& c : s) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return s;
}

}  // namespace

#if defined(_WIN32)

// Loads the module by its full name, as a DAW loads the file its user picked:
// never a namesake from the program's folder or the system's search path.
void* loadModule(const std::string& path, std::string& error) {
    char full[MAX_PATH * 4];
    DWORD n = GetFullPathNameA(path.c_str(), sizeof full, full, nullptr);
    if (n == 0 || n >= sizeof full) {
        error = "cannot resolve its path";
        return nullptr;
    }
    // No "cannot load" dialog box from the system: the reason comes back here.
    UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE module = LoadLibraryExA(full, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    DWORD code = GetLastError();
    SetErrorMode(oldMode);
    if (module == nullptr) {
        char text[512] = {};
        if (FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                           code, 0, text, sizeof text, nullptr) == 0) {
            std::snprintf(text, sizeof text, "system error %lu", static_cast<unsigned long>(code));
        }
        error = oneLine(text);
        while (!error.empty() && error.back() == ' ') error.pop_back();
    }
    return reinterpret_cast<void*>(module);
}

// GetProcAddress looks in the module's own export table only.
void* moduleSymbol(void* module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void unloadModule(void* module) { FreeLibrary(static_cast<HMODULE>(module)); }

#else

void* loadModule(const std::string& path, std::string& error) {
    // A bare file name would make dlopen search the library path; the module
    // is always the file the user named.
    std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* module = dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) error = oneLine(dlerror());
    return module;
}

// Finds NAME in the module itself, not in a library it happens to pull in.
void* moduleSymbol(void* module, const char* name) {
    void* sym = dlsym(module, name);
    if (sym == nullptr) return nullptr;
    link_map* own = nullptr;
    if (dlinfo(module, RTLD_DI_LINKMAP, &own) != 0 || own == nullptr) return nullptr;
    Dl_info info{};
    link_map* where = nullptr;
    if (dladdr1(sym, &info, reinterpret_cast<void**>(&where), RTLD_DL_LINKMAP) == 0 ||
        where != own) {
        return nullptr;
    }
    return sym;
}

void unloadModule(void* module) { dlclose(module); }

#endif

HostedEffect::HostedEffect(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) throw HostError("module not found: " + path);
    if (!S_ISREG(st.st_mode)) throw HostError("module is not a file: " + path);
    std::string why;
    module_ = loadModule(path, why);
    if (module_ == nullptr) throw HostError("cannot load module " + path + ": " + why);
    void* entry = moduleSymbol(module_, "VSTPluginMain");
    if (entry == nullptr) entry = moduleSymbol(module_, "main");
    if (entry == nullptr) {
        unloadModule(module_);
        throw HostError("module has no VST entry point (VSTPluginMain or main): " + path);
    }
    gState = HostState{};
    effect_ = reinterpret_cast<EntryPoint>(entry)(hostCallback);
    if (effect_ == nullptr) {
        unloadModule(module_);
        throw HostError("the module's entry point returned no effect: " + path);
    }
    if (effect_->magic != kEffectMagic || effect_->dispatcher == nullptr) {
        // Not an effect record we can talk to; nothing safe to call on it.
        unloadModule(module_);
        throw HostError("the module's entry point returned no valid effect record: " + path);
    }
    if (effect_->numInputs < 0 || effect_->numInputs > kMaxChannels || effect_->numOutputs < 0 ||
        effect_->numOutputs > kMaxChannels || effect_->numParams < 0 ||
        effect_->numParams > kMaxParamsOrPrograms || effect_->numPrograms < 0 ||
        effect_->numPrograms > kMaxParamsOrPrograms) {
        close();
        unloadModule(module_);
        throw HostError("the effect reports impossible counts: " + path);
    }
}

HostedEffect::~HostedEffect() {
    close();
    if (module_ != nullptr) unloadModule(module_);
}

HostState& HostedEffect::state() { return gState; }

VstIntPtr HostedEffect::dispatch(int32_t opcode, int32_t index, VstIntPtr value, void* ptr,
                                 float opt) {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string HostedEffect::queryText(int32_t opcode, int32_t index, size_t maxLen,
                                    VstIntPtr* answer) {
    // Far larger than any standard text, zeroed, so that an effect that writes
    // a little too much or forgets the terminator does no harm.
    std::array<char, 1024> buffer{};
    VstIntPtr r = dispatch(opcode, index, 0, buffer.data());
    if (answer != nullptr) *answer = r;
    buffer.back() = '\0';
    return std::string(buffer.data(), strnlen(buffer.data(), maxLen));
}

void HostedEffect::setParameter(int32_t index, float value) {
    if (effect_->setParameter != nullptr) effect_->setParameter(effect_, index, value);
}

float HostedEffect::getParameter(int32_t index) {
    return effect_->getParameter != nullptr ? effect_->getParameter(effect_, index) : 0.0f;
}

void HostedEffect::open(double sampleRate, int32_t blockSize) {
    gState.sampleRate = sampleRate;
    gState.blockSize = blockSize;
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, blockSize);
}

void HostedEffect::close() {
    if (closed_ || effect_ == nullptr) return;
    closed_ = true;
    dispatch(effClose);
}

std::string flagNames(int32_t flags) {
    static constexpr std::array<std::pair<int32_t, const char*>, 10> kNames = {{
        {effFlagsHasEditor, "effFlagsHasEditor"},
        {effFlagsHasClip, "effFlagsHasClip"},
        {effFlagsHasVu, "effFlagsHasVu"},
        {effFlagsCanMono, "effFlagsCanMono"},
        {effFlagsCanReplacing, "effFlagsCanReplacing"},
        {effFlagsProgramChunks, "effFlagsProgramChunks"},
        {effFlagsIsSynth, "effFlagsIsSynth"},
        {effFlagsNoSoundInStop, "effFlagsNoSoundInStop"},
        {effFlagsExtIsAsync, "effFlagsExtIsAsync"},
        {effFlagsExtHasBuffer, "effFlagsExtHasBuffer"},
    }};
    std::string out;
    int32_t rest = flags;
    for (const auto& [bit, name] : kNames) {
        if ((flags & bit) == 0) continue;
        if (!out.empty()) out += " | ";
        out += name;
        rest &= ~bit;
    }
    if (rest != 0) {
        char unknown[32];
        std::snprintf(unknown, sizeof unknown, "0x%x", static_cast<unsigned>(rest));
        if (!out.empty()) out += " | ";
        out += unknown;
    }
    return out.empty() ? "none" : out;
}

std::string categoryName(VstIntPtr category) {
    static constexpr std::array<const char*, 12> kNames = {
        "kPlugCategUnknown",        "kPlugCategEffect",    "kPlugCategSynth",
        "kPlugCategAnalysis",       "kPlugCategMastering", "kPlugCategSpacializer",
        "kPlugCategRoomFx",         "kPlugSurroundFx",     "kPlugCategRestoration",
        "kPlugCategOfflineProcess", "kPlugCategShell",     "kPlugCategGenerator"};
    if (category < 0 || category >= static_cast<VstIntPtr>(kNames.size())) return "unknown";
    return kNames[static_cast<size_t>(category)];
}

std::string fourCharText(int32_t code) {
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8) {
        auto c = static_cast<unsigned char>((static_cast<uint32_t>(code) >> shift) & 0xFF);
        s += (c >= 0x20 && c < 0x7F) ? static_cast<char>(c) : '.';
    }
    return s;
}

}  // namespace tarnwick::host
