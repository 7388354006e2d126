#include "lv2/GateInstance.h"

#include <algorithm>
#include <bit>

namespace tarnwick::lv2 {

GateInstance::GateInstance(double sampleRate) : processor_(sampleRate) {}

GateInstance::~GateInstance() = default;

void GateInstance::connect(std::uint32_t port, void* data) {
    if (port >= kNumPorts) return;
    ports_[port] = static_cast<float*>(data);
    if (port >= kFirstControl && port < kFirstControl + kNumControls)
        controlsConnected_ = std::all_of(ports_.begin() + kFirstControl,
                                         ports_.begin() + kFirstControl + kNumControls,
                                         [](const float* p) { return p != nullptr; });
}

void GateInstance::activate() {
    // LV2 wants nothing of the history before (the envelope, the key's
    // peak), nor of the programs: a new effect, whose first program takes
    // the ports' values whole. Should none be had, the old one goes on,
    // history and all.
    if (everActive_ && processor_.restart(false)) applied_ = false;
    everActive_ = true;
    processor_.activate();
}

void GateInstance::deactivate() { processor_.deactivate(); }

void GateInstance::applyControls() {
    for (std::uint32_t i = 0; i < kNumControls; ++i) {
        const float* port = ports_[kFirstControl + i];
        if (!port) continue;
        const float value = *port;
        const auto bits = std::bit_cast<std::uint32_t>(value);
        if (applied_ && bits == appliedBits_[i]) continue;
        appliedBits_[i] = bits;
        // The host's own path: NaN, infinities and values outside 0 to 1 meet
        // the same clamping a VST 2 host's values do.
        processor_.setParameter(static_cast<std::int32_t>(i), value);
    }
    // Once every control is connected, each has had its first value.
    applied_ = controlsConnected_;
}

void GateInstance::run(std::uint32_t frames) {
    applyControls();
    float* inputs[4] = {ports_[kSignalLeft], ports_[kSignalRight], ports_[kKeyLeft],
                        ports_[kKeyRight]};
    float* outputs[2] = {ports_[kOutLeft], ports_[kOutRight]};
    // The effect skips a block with a missing buffer, as it does for a VST 2 host.
    processor_.process(inputs, outputs, frames);
    if (float* level = ports_[kKeyLevel]) *level = processor_.keyLevel();
}

}  // namespace tarnwick::lv2
