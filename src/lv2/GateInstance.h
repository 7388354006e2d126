#pragma once
// One instance of the gate behind LV2's calls: its ports on the shared
// driver, so that the same values and blocks give the same samples bit for
// bit as the VST 2 module.

#include <array>
#include <cstdint>

#include "driver/Processor.h"
#include "lv2/GatePorts.h"

namespace tarnwick::lv2 {

class GateInstance {
public:
    // The effect opened for SAMPLERATE; throws what constructing it throws.
    explicit GateInstance(double sampleRate);
    ~GateInstance();
    GateInstance(const GateInstance&) = delete;
    GateInstance& operator=(const GateInstance&) = delete;

    // A port's buffer; an unknown port index is ignored.
    void connect(std::uint32_t port, void* data);
    // Switches the effect on. Activated again, it starts from a new effect:
    // LV2 wants nothing of the history before (the envelope, the key's peak).
    void activate();
    void deactivate();
    // Applies the control inputs that changed, gates FRAMES samples and
    // reports the key level. Allocates nothing and takes no lock.
    void run(std::uint32_t frames);

    APlugin& plugin() { return processor_.plugin(); }

private:
    void applyControls();

    driver::Processor processor_;
    std::array<float*, kNumPorts> ports_{};
    // The bits of each control value last handed to the effect: a value that
    // is the same bits (a NaN included) is not applied again.
    std::array<std::uint32_t, kNumControls> appliedBits_{};
    bool applied_ = false;  // nothing applied yet: the first run applies every control
    bool controlsConnected_ = false;
    bool everActive_ = false;
};

}  // namespace tarnwick::lv2
