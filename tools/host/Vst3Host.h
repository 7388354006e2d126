#pragma once
// Loads a VST 3 module the way a DAW does (its bundle's binary for this
// machine, the factory, the audio component and its controller) and runs
// the gate through it: the signal on the main input bus, the key on the
// auxiliary one. Everything read from the module is checked before use.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tarnwick::host {

// Whether PATH names a VST 3 bundle or module (it ends in ".vst3").
bool IsVst3(const std::string& path);

class HostedVst3 {
public:
    // Loads the bundle (or the module file) at PATH and makes its audio
    // component and controller. Throws HostError with a one-line message.
    explicit HostedVst3(const std::string& path);
    ~HostedVst3();
    HostedVst3(const HostedVst3&) = delete;
    HostedVst3& operator=(const HostedVst3&) = delete;

    // The id of a parameter by its title ("Attack") or role ("attack");
    // throws HostError for an unknown one.
    std::uint32_t parameter(const std::string& name, const std::vector<const char*>& roles);
    // Set up for RATE and BLOCK, switched on; the first block starts with
    // PROGRAM (when given) and then SETTINGS, as a host's changes at sample 0.
    void start(double rate, std::int32_t block, std::optional<std::int64_t> program,
               const std::vector<std::pair<std::uint32_t, float>>& settings);
    // Gates FRAMES samples: INPUTS signal L, R, key L, R; OUTPUTS L, R.
    void process(float* const* inputs, float* const* outputs, std::int32_t frames);
    void stop();

private:
    struct Impl;
    Impl* impl_;
};

}  // namespace tarnwick::host
