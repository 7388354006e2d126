#include "plugin/uPlugin.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "vst/DAEffEditor.h"
#include "vst/DVstUtils.h"

namespace {

constexpr auto relaxed = std::memory_order_relaxed;

constexpr const char* kEffectName = "QB Sidechain Gate";
constexpr const char* kVendorName = "Quorbel";
constexpr VstInt32 kPinFlags = kVstPinIsActive | kVstPinIsStereo;

// The per-sample gate with all of its state in locals, so that a block runs
// in registers; the effect's fields are loaded before and stored after.
struct GateRun {
    TEnv::Run env;
    float keyPeak;
    std::int32_t peakHoldCount;
    bool gateOpen;
    bool gateClosed;
    bool envMode;
    float threshold;
    float closingLimit;  // keyPeak at or below this is below 0.8 x threshold

    GateRun(const APlugin& p, float currentThreshold, float limit)
        : env(p.env),
          keyPeak(p.keyPeak.load(relaxed)),
          peakHoldCount(p.peakHoldCount),
          gateOpen(p.gateOpen),
          gateClosed(p.gateClosed),
          envMode(p.envMode.load(relaxed) != 0),
          threshold(currentThreshold),
          closingLimit(limit) {}

    void StoreTo(APlugin& p) const {
        env.StoreTo(p.env);
        p.keyPeak.store(keyPeak, relaxed);
        p.peakHoldCount = peakHoldCount;
        p.gateOpen = gateOpen;
        p.gateClosed = gateClosed;
    }

    // One sample: steps the envelope, follows the key and answers the gain
    // for this sample's signal.
    float Gain(float key1, float key2) {
        env.Step();
        // Half of key2 is exact in double, and a sum rounded to double and
        // then to float lands on the float nearest the exact sum (double has
        // more than 2 x 24 + 2 bits), just as at extended precision.
        const float key =
            static_cast<float>(static_cast<double>(key1) + 0.5 * static_cast<double>(key2));
        // A key that is not finite (NaN, or infinity from a glitch or an
        // overflowing mix) renews nothing; a finite key beyond the limit
        // renews the peak at the limit, from where it can still fall.
        if (key > keyPeak && key <= APlugin::kPeakLimit) {
            keyPeak = key;
        } else if (key > keyPeak && key <= std::numeric_limits<float>::max()) {
            keyPeak = APlugin::kPeakLimit;
        } else if (peakHoldCount < APlugin::kPeakHoldSamples && keyPeak > 0.0f) {
            ++peakHoldCount;
        } else {
            peakHoldCount = 0;
            // Rounds to the same float as the extended-precision difference
            // for every finite keyPeak (checked exhaustively).
            keyPeak = tarnwick::fallenPeak(keyPeak);
        }
        if (keyPeak > threshold && !gateOpen) {
            gateOpen = true;
            gateClosed = false;
            env.Trigger(1.0f);
        }
        if (keyPeak <= closingLimit && !gateClosed) {
            gateOpen = false;
            gateClosed = true;
            env.releaseRequested = true;
        }
        return envMode ? 1.0f - env.output : env.output;
    }
};

// The largest float below 0.8 x threshold, the product taken at extended
// precision: "0.8 x threshold > keyPeak" is then a plain float comparison.
float closingLimitFor(float currentThreshold) {
    const long double limit = 0.8L * static_cast<long double>(currentThreshold);
    float f = static_cast<float>(limit);
    if (static_cast<long double>(f) >= limit)
        f = std::nextafter(f, -std::numeric_limits<float>::infinity());
    return f;
}

// The sample rate the time parameters are scaled by. A rate that is not a
// finite non-negative number (a host may send anything) counts as 0, which
// gives the shortest times instead of NaN or infinite steps that would stall
// the envelope for good.
long double usableRate(float sampleRate) {
    if (!(sampleRate >= 0.0f) || std::isinf(sampleRate)) return 0.0L;
    return sampleRate;
}

// One output sample: replacing writes it, accumulating adds it.
template <bool Accumulate>
inline void put(float* out, std::size_t i, float sample) {
    if constexpr (Accumulate)
        out[i] += sample;
    else
        out[i] = sample;
}

template <bool Accumulate>
void passThrough(const float* in1, const float* in2, float* out1, float* out2, std::size_t n) {
    if constexpr (!Accumulate) {
        if (out1 != in2 && out2 != in1) {
            // Separate or in-place channels: a plain copy each.
            if (out1 != in1) std::memmove(out1, in1, n * sizeof(float));
            if (out2 != in2) std::memmove(out2, in2, n * sizeof(float));
            return;
        }
    }
    for (std::size_t i = 0; i < n; ++i) {
        const float s1 = in1[i];
        const float s2 = in2[i];
        put<Accumulate>(out1, i, s1);
        put<Accumulate>(out2, i, s2);
    }
}

}  // namespace

APluginProgram::APluginProgram() {
    name.set("Init");
    for (int i = 0; i < APlugin::kNumParams; ++i)
        values[i].store(kDefaults[std::size_t(i)], relaxed);
}

APlugin::APlugin(audioMasterCallback audioMaster, tarnwick::EditorFactory editorFactory)
    : AudioEffectX(audioMaster, kNumPrograms, kNumParams) {
    // Decay and sustain are fixed at 1: the envelope holds full level until released.
    env.decayStep.store(1.0f, relaxed);
    env.sustainLevel.store(1.0f, relaxed);

    for (VstMidiEvent& slot : midiSlots) {
        slot = VstMidiEvent{};
        slot.type = kVstMidiType;
        slot.deltaFrames = kFreeSlot;
        slot.reserved1 = 99;
    }
    pendingMidi = 0;

    // The host writes into a generous zeroed scratch buffer; only what fits
    // our fields is kept.
    char scratch[256] = {};
    getHostVendorString(scratch);
    scratch[sizeof scratch - 1] = '\0';
    copyHostText(hostVendor, scratch, sizeof hostVendor - 1);
    std::memset(scratch, 0, sizeof scratch);
    getHostProductString(scratch);
    scratch[sizeof scratch - 1] = '\0';
    copyHostText(hostProduct, scratch, sizeof hostProduct - 1);

    if (editorFactory) setEditor(editorFactory(this));

    hasVu(false);
    setNumInputs(4);
    setNumOutputs(2);
    canMono(true);
    canProcessReplacing(true);
    isSynth(false);
    setUniqueID(makeFourCharCode('4', '1', '6', '4'));

    for (int i = 0; i < kNumPrograms; ++i) {
        char presetName[APluginProgram::kNameSize];
        std::snprintf(presetName, sizeof presetName, "Preset %d", i);
        programs[i].name.set(presetName);
    }

    curProgram = 0;
    setProgram(0);
}

APlugin::~APlugin() {
    // The editor may still touch the effect's fields while it goes, so it
    // goes first, while they exist.
    setEditor(nullptr);
}

// ---- audio --------------------------------------------------------------------

void APlugin::processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock<false>(inputs, outputs, sampleFrames);
}

void APlugin::process(float** inputs, float** outputs, VstInt32 sampleFrames) {
    processBlock<true>(inputs, outputs, sampleFrames);
}

template <bool Accumulate>
void APlugin::processBlock(float** inputs, float** outputs, VstInt32 sampleFrames) {
    // A 32-bit answer divided in double rounds to the same float as at
    // extended precision (checked for every 32-bit value), and costs less.
    tempo = static_cast<float>(static_cast<double>(tempoAt(0)) / 10000.0);
    if (sampleFrames <= 0) return;
    // MIDI has no audible effect, so its bookkeeping for the whole block can
    // run before the audio: each event is still consumed at the same sample.
    advanceMidi(sampleFrames);
    if (!inputs || !outputs) return;
    const float* in1 = inputs[0];
    const float* in2 = inputs[1];
    const float* key1 = inputs[2];
    const float* key2 = inputs[3];
    float* out1 = outputs[0];
    float* out2 = outputs[1];
    if (!in1 || !in2 || !key1 || !key2 || !out1 || !out2) return;
    const auto n = static_cast<std::size_t>(sampleFrames);

    if (active.load(relaxed) == 0) {
        passThrough<Accumulate>(in1, in2, out1, out2, n);
        return;
    }
    const float currentThreshold = threshold.load(relaxed);
    GateRun run(*this, currentThreshold, closingLimit(currentThreshold));
    // The gated signal goes to the outputs only: the host's input buffers may
    // feed other effects. Each sample is read whole before it is written, so
    // outputs that alias inputs (in-place processing) work.
    for (std::size_t i = 0; i < n; ++i) {
        const float g = run.Gain(key1[i], key2[i]);
        const float s1 = in1[i] * g;
        const float s2 = in2[i] * g;
        put<Accumulate>(out1, i, s1);
        put<Accumulate>(out2, i, s2);
    }
    run.StoreTo(*this);
}

void APlugin::ProcessSample(float& signal1, float& signal2, float key1, float key2) {
    if (active.load(relaxed) == 0) return;
    const float currentThreshold = threshold.load(relaxed);
    GateRun run(*this, currentThreshold, closingLimit(currentThreshold));
    const float g = run.Gain(key1, key2);
    signal1 = signal1 * g;
    signal2 = signal2 * g;
    run.StoreTo(*this);
}

float APlugin::closingLimit(float currentThreshold) {
    if (currentThreshold != cachedThreshold_) {
        cachedThreshold_ = currentThreshold;
        cachedClosingLimit_ = closingLimitFor(currentThreshold);
    }
    return cachedClosingLimit_;
}

void APlugin::suspend() {}

void APlugin::resume() { wantEvents(1); }

// ---- MIDI -----------------------------------------------------------------------

VstInt32 APlugin::processEvents(VstEvents* events) {
    if (!events) return 0;
    // Hosts make the list as long as numEvents, past its declared two entries.
    VstEvent* const* list = events->events;
    for (VstInt32 e = 0; e < events->numEvents; ++e) {
        const VstEvent* event = list[e];
        if (!event || event->type != kVstMidiType) continue;
        if (pendingMidi >= kMaxPendingMidi) continue;  // every slot is taken: dropped
        int slot = 1;
        while (slot < kNumMidiSlots && midiSlots[slot].deltaFrames != kFreeSlot) ++slot;
        if (slot == kNumMidiSlots) continue;
        std::memcpy(&midiSlots[slot], event, sizeof(VstMidiEvent));
        VstMidiEvent& stored = midiSlots[slot];
        stored.reserved1 = 99;
        // A negative delay would never count down to the sample that
        // consumes it (and -99 would even mark the slot free while counted
        // as pending): it means "now".
        if (stored.deltaFrames < 0) stored.deltaFrames = 0;
        // Consumed by the dispatch that brings its delay to 0; a delay of 0
        // goes at the very next dispatch.
        const std::int64_t due =
            midiDispatches_ + (stored.deltaFrames > 0 ? stored.deltaFrames : 1);
        midiDue_[slot] = due;
        if (pendingMidi == 0 || due < midiNextDue_) midiNextDue_ = due;
        ++pendingMidi;
    }
    return 1;
}

void APlugin::DispatchMidi() {
    if (pendingMidi <= 0) return;
    ++midiDispatches_;
    if (midiDispatches_ >= midiNextDue_) consumeDueEvents();
}

void APlugin::advanceMidi(VstInt32 sampleFrames) {
    std::int64_t remaining = sampleFrames;
    while (pendingMidi > 0 && remaining > 0) {
        const std::int64_t untilDue = midiNextDue_ - midiDispatches_;
        if (untilDue > remaining) {
            midiDispatches_ += remaining;
            return;
        }
        midiDispatches_ += untilDue;
        remaining -= untilDue;
        consumeDueEvents();
    }
}

void APlugin::consumeDueEvents() {
    std::int64_t next = std::numeric_limits<std::int64_t>::max();
    for (int slot = 1; slot < kNumMidiSlots; ++slot) {
        VstMidiEvent& event = midiSlots[slot];
        if (event.deltaFrames == kFreeSlot) continue;
        if (midiDue_[slot] <= midiDispatches_) {
            // MIDI is accepted for the host's sake but changes nothing in the
            // gate: the event is simply consumed.
            event.deltaFrames = kFreeSlot;
            --pendingMidi;
        } else if (midiDue_[slot] < next) {
            next = midiDue_[slot];
        }
    }
    midiNextDue_ = next;
}

// ---- parameters and programs ---------------------------------------------------------

void APlugin::setParameter(VstInt32 index, float value) {
    if (value > 1.0f)
        value = 1.0f;
    else if (!(value >= 0.0f))  // negative or NaN
        value = 0.0f;
    if (index < 0 || index >= kNumParams) return;
    params[index].store(value, relaxed);
    if (APluginProgram* program = currentProgramSlot())
        program->values[index].store(value, relaxed);
    if (editor) editor->update();
    applyParameter(index, value);
}

void APlugin::applyParameter(VstInt32 index, float value) {
    // Time parameters cover 0 to 1 second: value x rate + 1 steps.
    const auto steps = [&] {
        return static_cast<long double>(value) * usableRate(getSampleRate()) + 1.0L;
    };
    switch (index) {
        case kAttack: env.attackStep.store(static_cast<float>(1.0L / steps()), relaxed); break;
        case kHold: env.holdSteps.store(static_cast<float>(steps()), relaxed); break;
        case kRelease: env.releaseStep.store(static_cast<float>(1.0L / steps()), relaxed); break;
        case kThreshold: threshold.store(value, relaxed); break;
        case kEnvMode: envMode.store(value > 0.5f ? 1 : 0, relaxed); break;
        case kActive: active.store(value > 0.5f ? 1 : 0, relaxed); break;
        default: break;
    }
}

APluginProgram* APlugin::currentProgramSlot() {
    // Read once: another thread may switch programs meanwhile.
    const VstInt32 program = curProgram;
    return program >= 0 && program < kNumPrograms ? &programs[program] : nullptr;
}

float APlugin::getParameter(VstInt32 index) {
    if (index < 0 || index >= kNumParams) return 0.0f;
    return params[index].load(relaxed);
}

void APlugin::getParameterName(VstInt32 index, char* text) {
    if (!text) return;
    if (index < 0 || index >= kNumParams) {
        std::strcpy(text, "undefined");
        return;
    }
    std::snprintf(text, kVstMaxParamStrLen + 1, "par%d", static_cast<int>(index));
}

void APlugin::getParameterDisplay(VstInt32 index, char* text) {
    if (!text) return;
    if (index < 0 || index >= kNumParams) {
        std::strcpy(text, "undefined");
        return;
    }
    floatToText(text, params[index].load(relaxed), kVstMaxParamStrLen + 1);
}

void APlugin::getParameterLabel(VstInt32, char* label) {
    if (label) std::strcpy(label, "%");
}

void APlugin::setProgram(VstInt32 program) {
    if (program < 0 || program >= kNumPrograms) return;
    curProgram = program;
    APluginProgram& p = programs[program];
    for (VstInt32 i = 0; i < kNumParams; ++i) setParameter(i, p.values[i].load(relaxed));
    if (!editorClosed.load(relaxed) && editor) editor->update();
}

void APlugin::setProgramName(char* name) {
    APluginProgram* program = currentProgramSlot();
    if (!name || !program) return;
    // Reads at most what the program holds; a longer name is cut.
    program->name.set(name);
    if (!editorClosed.load(relaxed) && editor) editor->update();
}

void APlugin::getProgramName(char* name) {
    const APluginProgram* program = currentProgramSlot();
    if (!name || !program) return;
    program->name.get(name, kVstMaxProgNameLen);
}

bool APlugin::getProgramNameIndexed(VstInt32, VstInt32 index, char* text) {
    if (!text || index < 0 || index >= kNumPrograms) return false;
    programs[index].name.get(text, kVstMaxProgNameLen);
    return true;
}

// ---- host queries ---------------------------------------------------------------

bool APlugin::getEffectName(char* name) {
    if (!name) return false;
    copyHostText(name, kEffectName, kVstMaxEffectNameLen);
    return true;
}

bool APlugin::getVendorString(char* text) {
    if (!text) return false;
    copyHostText(text, kVendorName, kVstMaxVendorStrLen);
    return true;
}

bool APlugin::getProductString(char* text) {
    if (!text) return false;
    copyHostText(text, kEffectName, kVstMaxProductStrLen);
    return true;
}

VstInt32 APlugin::getVendorVersion() { return 1; }

VstInt32 APlugin::canDo(char* text) {
    if (!text) return 0;
    static constexpr const char* kCapabilities[] = {"receiveVstEvents", "receiveVstMidiEvent",
                                                    "sendVstEvents", "sendVstMidiEvent",
                                                    "receiveVstTimeInfo"};
    for (const char* capability : kCapabilities)
        if (std::strcmp(text, capability) == 0) return 1;
    // Hosts that scale their plug-ins' windows ask this before they send
    // the factor.
    if (std::strcmp(text, "supportsViewDpiScaling") == 0)
        return dynamic_cast<tarnwick::ScalableEditor*>(editor) ? 1 : -1;
    return -1;
}

VstIntPtr APlugin::vendorSpecific(VstInt32 index, VstIntPtr value, void*, float opt) {
    auto* scalable = dynamic_cast<tarnwick::ScalableEditor*>(editor);
    if (index != makeFourCharCode('P', 'r', 'e', 'S') ||
        value != makeFourCharCode('A', 'e', 'C', 's') || !scalable)
        return 0;
    // An open editor that changed its size asks the host for a window to fit.
    ERect* size = nullptr;
    if (scalable->setScale(opt) && editor->getRect(&size) && size)
        sizeWindow(size->right - size->left, size->bottom - size->top);
    return 1;
}

bool APlugin::getInputProperties(VstInt32 index, VstPinProperties* properties) {
    if (!properties || index < 0 || index >= 4) return false;
    std::snprintf(properties->label, sizeof properties->label, "Input #%d",
                  static_cast<int>(index) + 1);
    properties->flags = kPinFlags;
    return true;
}

bool APlugin::getOutputProperties(VstInt32 index, VstPinProperties* properties) {
    if (!properties || index < 0 || index >= 2) return false;
    std::snprintf(properties->label, sizeof properties->label, "Output #%d",
                  static_cast<int>(index) + 1);
    properties->flags = kPinFlags;
    return true;
}
