#include "lv2/GateInstance.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>

#include "plugin/uPlugin.h"

namespace tarnwick::lv2 {

namespace {

// The effect asks its host for the host's version and names and for the
// tempo; an LV2 host answers none of that through the effect, so the answers
// are the neutral ones (no names, no tempo).
VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

}  // namespace

GateInstance::GateInstance(double sampleRate) : sampleRate_(sampleRate) {
    if (!open()) throw std::bad_alloc();
}

GateInstance::~GateInstance() {
    if (active_) deactivate();
    close();
}

bool GateInstance::open() {
    // Without an editor: an LV2 host shows the plug-in's UI apart from its DSP.
    APlugin* plugin = nullptr;
    try {
        plugin = new APlugin(hostCallback, nullptr);
    } catch (...) {
        return false;
    }
    if (effect_) close();
    plugin_ = plugin;
    effect_ = plugin->getAeffect();  // effClose deletes the effect with its record
    effect_->dispatcher(effect_, effOpen, 0, 0, nullptr, 0.0f);
    effect_->dispatcher(effect_, effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate_));
    // The new effect has its first program: the ports' values go to it whole.
    applied_ = false;
    return true;
}

void GateInstance::close() {
    effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    effect_ = nullptr;
    plugin_ = nullptr;
}

void GateInstance::connect(std::uint32_t port, void* data) {
    if (port >= kNumPorts) return;
    ports_[port] = static_cast<float*>(data);
    if (port >= kFirstControl && port < kFirstControl + kNumControls)
        controlsConnected_ = std::all_of(ports_.begin() + kFirstControl,
                                         ports_.begin() + kFirstControl + kNumControls,
                                         [](const float* p) { return p != nullptr; });
}

void GateInstance::activate() {
    // Should no new effect be had, the old one goes on, history and all.
    if (everActive_) open();
    everActive_ = true;
    effect_->dispatcher(effect_, effMainsChanged, 0, 1, nullptr, 0.0f);
    effect_->dispatcher(effect_, effStartProcess, 0, 0, nullptr, 0.0f);
    active_ = true;
}

void GateInstance::deactivate() {
    effect_->dispatcher(effect_, effStopProcess, 0, 0, nullptr, 0.0f);
    effect_->dispatcher(effect_, effMainsChanged, 0, 0, nullptr, 0.0f);
    active_ = false;
}

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
        effect_->setParameter(effect_, static_cast<VstInt32>(i), value);
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
    constexpr auto kMaxBlock = static_cast<std::uint32_t>(std::numeric_limits<VstInt32>::max());
    while (frames > 0) {
        const std::uint32_t n = std::min(frames, kMaxBlock);
        effect_->processReplacing(effect_, inputs, outputs, static_cast<VstInt32>(n));
        frames -= n;
        if (frames == 0) break;
        for (float*& p : inputs)
            if (p) p += n;
        for (float*& p : outputs)
            if (p) p += n;
    }
    // The key's peak within the meter's range, 0 to 1, which gives the meter
    // the position the raw peak gives it: a silent key's peak hovers just
    // below 0, a loud one's goes above 1.
    if (float* level = ports_[kKeyLevel])
        *level = std::clamp(plugin_->keyPeak.load(std::memory_order_relaxed), 0.0f, 1.0f);
}

}  // namespace tarnwick::lv2
