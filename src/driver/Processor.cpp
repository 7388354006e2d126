#include "driver/Processor.h"

#include <algorithm>
#include <limits>
#include <new>

#include "plugin/uPlugin.h"

namespace tarnwick::driver {

namespace {

constexpr std::size_t kSilenceFrames = 4096;

// The effect asks its host for the host's version and names and for the
// tempo; the formats driven here answer none of that through the effect,
// so the answers are the neutral ones (no names, no tempo).
VstIntPtr hostCallback(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

}  // namespace

Processor::Processor(double sampleRate) : sampleRate_(sampleRate), silence_(kSilenceFrames, 0.0f) {
    if (!open()) throw std::bad_alloc();
}

Processor::~Processor() {
    deactivate();
    close();
}

bool Processor::open() {
    // Without an editor: these formats show the plug-in's editor apart from
    // its audio.
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
    return true;
}

void Processor::close() {
    effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
    effect_ = nullptr;
    plugin_ = nullptr;
}

void Processor::setSampleRate(double sampleRate) {
    sampleRate_ = sampleRate;
    effect_->dispatcher(effect_, effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    // The times are steps at the rate in force when they were set.
    for (VstInt32 i = 0; i < APlugin::kNumParams; ++i)
        effect_->setParameter(effect_, i, effect_->getParameter(effect_, i));
}

void Processor::activate() {
    if (active_) return;
    effect_->dispatcher(effect_, effMainsChanged, 0, 1, nullptr, 0.0f);
    effect_->dispatcher(effect_, effStartProcess, 0, 0, nullptr, 0.0f);
    active_ = true;
}

void Processor::deactivate() {
    if (!active_) return;
    effect_->dispatcher(effect_, effStopProcess, 0, 0, nullptr, 0.0f);
    effect_->dispatcher(effect_, effMainsChanged, 0, 0, nullptr, 0.0f);
    active_ = false;
}

bool Processor::restart(bool keepState) {
    const bool wasActive = active_;
    const GateState kept = state();
    deactivate();
    const bool made = open();
    if (made && keepState) setState(kept);
    if (wasActive) activate();
    return made;
}

void Processor::reset() {
    // No MIDI reaches the effect through these formats, so its queue is as
    // empty as a new effect's; the rest is the audio side's history.
    APlugin& p = *plugin_;
    p.env.level = 0.0f;
    p.env.velocity = 0.0f;
    p.env.output = 0.0f;
    p.env.stage = TEnv::Idle;
    p.env.holdCount = 0;
    p.env.releaseRequested = false;
    p.keyPeak.store(0.0f, std::memory_order_relaxed);
    p.peakHoldCount = 0;
    p.gateOpen = false;
    p.gateClosed = false;
}

void Processor::setParameter(std::int32_t index, float value) {
    effect_->setParameter(effect_, index, value);
}

float Processor::parameter(std::int32_t index) const {
    return effect_->getParameter(effect_, index);
}

void Processor::setProgram(std::int32_t program) {
    effect_->dispatcher(effect_, effSetProgram, 0, program, nullptr, 0.0f);
}

std::int32_t Processor::program() const {
    return static_cast<std::int32_t>(
        effect_->dispatcher(effect_, effGetProgram, 0, 0, nullptr, 0.0f));
}

GateState Processor::state() const { return CaptureState(*plugin_); }

void Processor::setState(const GateState& state) { ApplyState(*plugin_, state); }

void Processor::apply(const Change& change) {
    if (change.target == kProgramTarget) {
        // A program out of range (or NaN) is no program: the effect ignores it.
        const float p = change.value;
        if (p >= 0.0f && p < float(APlugin::kNumPrograms)) setProgram(static_cast<std::int32_t>(p));
    } else {
        setParameter(change.target, change.value);
    }
}

void Processor::process(float* const* inputs, float* const* outputs, std::uint32_t frames,
                        ChangeSource* changes, bool silentKey) {
    float* in[4] = {inputs[0], inputs[1], inputs[2], inputs[3]};
    float* out[2] = {outputs[0], outputs[1]};
    const bool keyMissing = silentKey && (!in[2] || !in[3]);
    constexpr auto kMaxRun = static_cast<std::uint32_t>(std::numeric_limits<VstInt32>::max());
    const std::uint32_t maxRun = keyMissing ? static_cast<std::uint32_t>(silence_.size()) : kMaxRun;
    std::uint32_t done = 0;
    for (;;) {
        const Change* next = changes ? changes->peek() : nullptr;
        // At the block's end every change left applies, those past it too.
        for (; next && (next->offset <= done || done >= frames); next = changes->peek()) {
            apply(*next);
            changes->pop();
        }
        if (done >= frames) break;
        std::uint32_t end = frames;
        if (next) end = std::min(end, next->offset);
        const std::uint32_t n = std::min(end - done, maxRun);
        float* runIn[4] = {in[0], in[1], in[2], in[3]};
        float* runOut[2] = {out[0], out[1]};
        for (float*& p : runIn)
            if (p) p += done;
        for (float*& p : runOut)
            if (p) p += done;
        if (keyMissing) runIn[2] = runIn[3] = silence_.data();
        effect_->processReplacing(effect_, runIn, runOut, static_cast<VstInt32>(n));
        done += n;
    }
}

float Processor::keyLevel() const {
    // A silent key's peak hovers just below 0, a loud one's goes above 1.
    return std::clamp(plugin_->keyPeak.load(std::memory_order_relaxed), 0.0f, 1.0f);
}

}  // namespace tarnwick::driver
