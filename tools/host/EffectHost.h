#pragma once
// Loads a VST 2 module the way a DAW does (dlopen or LoadLibrary, the entry point,
// then only the effect record's routines) and answers the effect's calls back
// into the host. Everything read from the module is treated as untrusted:
// strings come back through oversized zeroed buffers and are cut at the
// standard lengths, counts are checked before they size anything.

#include "vst/DAEffect.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tarnwick::host {

// A failure the command line reports as one line and a non-zero exit.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// What the host tells the effect when it asks.
struct HostState {
    double sampleRate = 44100.0;
    int32_t blockSize = 1024;
    bool accumulating = false;
    double samplePos = 0.0;  // frames already handed to the effect
    double tempo = 120.0;
};

// The largest counts the host believes: beyond them a record is taken as
// garbage rather than sizing buffers or loops by it.
inline constexpr int32_t kMaxChannels = 64;
inline constexpr int32_t kMaxParamsOrPrograms = 65536;

// The host's answers to audioMasterVersion, the vendor and product queries.
inline constexpr int32_t kHostVstVersion = 2400;
inline constexpr const char* kHostVendor = "Tarnwick";
inline constexpr const char* kHostProduct = "tarnwick-host";

// A loaded module with one effect made by its entry point. Not copyable; the
// effect is closed and the module unloaded on destruction.
class HostedEffect {
public:
    // Loads PATH, finds VSTPluginMain (or main) and calls it. Throws HostError
    // with a one-line message on any failure.
    explicit HostedEffect(const std::string& path);
    ~HostedEffect();
    HostedEffect(const HostedEffect&) = delete;
    HostedEffect& operator=(const HostedEffect&) = delete;

    AEffect& record() { return *effect_; }
    const AEffect& record() const { return *effect_; }
    HostState& state();

    VstIntPtr dispatch(int32_t opcode, int32_t index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                       float opt = 0.0f);
    // A dispatcher query that fills a text buffer; returns the text cut at
    // maxLen and the dispatcher's answer through *answer when given.
    std::string queryText(int32_t opcode, int32_t index, size_t maxLen,
                          VstIntPtr* answer = nullptr);

    void setParameter(int32_t index, float value);
    float getParameter(int32_t index);

    // effOpen, sample rate, block size. Closing (effClose) happens once, here
    // or in the destructor.
    void open(double sampleRate, int32_t blockSize);
    void close();

private:
    void* module_ = nullptr;
    AEffect* effect_ = nullptr;
    bool closed_ = false;
};

// The module at PATH loaded as a host loads the file its user picked (never
// a namesake on a search path); null with ERROR set when it cannot be.
void* loadModule(const std::string& path, std::string& error);
// A routine the module itself exports by NAME (not one of a library it pulls
// in), or null.
void* moduleSymbol(void* module, const char* name);
void unloadModule(void* module);

// The names of the flag bits ("a | b") and of a category, as a host shows them.
std::string flagNames(int32_t flags);
std::string categoryName(VstIntPtr category);
// Four-character code as text, non-printable bytes as '.'.
std::string fourCharText(int32_t code);

}  // namespace tarnwick::host
