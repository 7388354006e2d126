#pragma once
// The sidechain gate: inputs 1-2 carry the signal, inputs 3-4 the key. A peak
// follower on the key, compared with the threshold and a hysteresis band down
// to 0.8 of it, triggers and releases an envelope whose output scales the
// signal on its way to the outputs.
//
// Threads: the host's audio thread runs the processing routines and
// processEvents; parameters and queries may arrive on any other thread, and
// the editor reads params and keyPeak from the window thread. Every value that
// crosses threads is a 32-bit atomic accessed with relaxed ordering, except
// the program names, which pass whole through SharedText; nothing on the
// audio path allocates or locks.

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>

#include "plugin/Env03.h"
#include "plugin/SharedText.h"
#include "vst/DAudioEffectX.h"

class AEffEditor;
class APlugin;

namespace tarnwick {

// One fall of the key peak: 0.005 taken in double and rounded once to float,
// which gives the float nearest to the exact difference.
constexpr float fallenPeak(float peak) {
    return static_cast<float>(static_cast<double>(peak) - 0.005);
}

// The largest float from which a fall still moves the peak. Above it the
// gap between floats is so wide that the difference rounds back to the
// peak itself. A larger positive float has a gap at least as wide, so the
// peaks that fall form one range up from 0: a search over the bit patterns
// of the positive floats (which order as the floats do) finds its end.
constexpr float largestFallingPeak() {
    std::uint32_t falls = std::bit_cast<std::uint32_t>(1.0f);
    std::uint32_t stays = std::bit_cast<std::uint32_t>(std::numeric_limits<float>::max());
    while (stays - falls > 1) {
        const std::uint32_t middle = falls + (stays - falls) / 2;
        const float peak = std::bit_cast<float>(middle);
        (fallenPeak(peak) != peak ? falls : stays) = middle;
    }
    return std::bit_cast<float>(falls);
}

// Makes the editor an effect registers at construction; the effect owns it.
// The module passes the editor it ships, tests pass their own.
using EditorFactory = AEffEditor* (*)(APlugin* effect);

// An editor a host can draw at a device scale (the module's): the effect
// hands on the factor a host gives, and asks the host to resize its window
// when that changed the open editor's size.
class ScalableEditor {
public:
    // 1.0 is 100 %; see the editor for the steps it takes. True when an
    // open editor took a new size.
    virtual bool setScale(double factor) = 0;

protected:
    ~ScalableEditor() = default;
};

}  // namespace tarnwick

class APluginProgram {
public:
    static constexpr int kNumValues = 6;
    static constexpr int kNameSize = 52;  // 51 characters and the NUL

    // The values of a new program, by parameter index.
    static constexpr std::array<float, kNumValues> kDefaults{0.1f, 0.1f, 0.1f, 0.5f, 0.0f, 1.0f};

    APluginProgram();
    APluginProgram(const APluginProgram&) = delete;
    APluginProgram& operator=(const APluginProgram&) = delete;

    std::array<std::atomic<float>, kNumValues> values;
    // Renamed and read from any thread; see SharedText.
    tarnwick::SharedText<kNameSize> name;
};

class APlugin : public AudioEffectX {
public:
    static constexpr VstInt32 kNumPrograms = 16;
    static constexpr VstInt32 kNumParams = APluginProgram::kNumValues;
    static constexpr int kNumMidiSlots = 251;  // slot 0 is never used
    static constexpr VstInt32 kMaxPendingMidi = 250;
    static constexpr VstInt32 kFreeSlot = -99;  // deltaFrames of a free slot
    static constexpr std::int32_t kPeakHoldSamples = 30;
    // The key peak never exceeds this, so that it always falls again once
    // the key goes quiet.
    static constexpr float kPeakLimit = tarnwick::largestFallingPeak();

    enum ParamIndex : VstInt32 { kAttack, kHold, kRelease, kThreshold, kEnvMode, kActive };

    // The editor comes from editorFactory, the effect's one way to get one; a
    // null factory leaves the effect without an editor.
    APlugin(audioMasterCallback audioMaster, tarnwick::EditorFactory editorFactory);
    ~APlugin() override;

    // ---- audio (audio thread) ----------------------------------------------
    void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    void process(float** inputs, float** outputs, VstInt32 sampleFrames) override;
    VstInt32 processEvents(VstEvents* events) override;
    void suspend() override;
    void resume() override;
    // The per-sample gate on one sample of each input; the two signal samples
    // are rewritten with the gated values.
    void ProcessSample(float& signal1, float& signal2, float key1, float key2);
    // Consumes the events that fall due at this sample (runs while any are pending).
    void DispatchMidi();

    // ---- parameters and programs -------------------------------------------
    void setParameter(VstInt32 index, float value) override;
    float getParameter(VstInt32 index) override;
    void getParameterName(VstInt32 index, char* text) override;
    void getParameterDisplay(VstInt32 index, char* text) override;
    void getParameterLabel(VstInt32 index, char* label) override;
    void setProgram(VstInt32 program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(VstInt32 category, VstInt32 index, char* text) override;

    // ---- host queries -------------------------------------------------------
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    VstInt32 getVendorVersion() override;
    VstInt32 canDo(char* text) override;
    // The host's scale for the editor ('PreS', 'AeCs', the factor in opt).
    VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr value, void* ptr, float opt) override;
    bool getInputProperties(VstInt32 index, VstPinProperties* properties) override;
    bool getOutputProperties(VstInt32 index, VstPinProperties* properties) override;

    // ---- state (closely tied classes read these directly) --------------------
    // The values the editor's idle call reads come first, on the page of the
    // effect's record; the large tables (programs, MIDI slots) after them.
    VstInt32 pendingMidi = 0;
    char hostVendor[kVstMaxVendorStrLen + 1] = {};
    char hostProduct[kVstMaxProductStrLen + 1] = {};
    std::array<std::atomic<float>, kNumParams> params;
    float tempo = 0.0f;
    std::atomic<std::int32_t> editorClosed{0};
    std::atomic<float> keyPeak{0.0f};
    std::int32_t peakHoldCount = 0;
    bool gateOpen = false;
    bool gateClosed = false;
    std::atomic<float> threshold{0.0f};
    std::atomic<std::int32_t> active{0};
    std::atomic<std::int32_t> envMode{0};
    TEnv env;
    std::array<APluginProgram, kNumPrograms> programs;
    std::array<VstMidiEvent, kNumMidiSlots> midiSlots;

private:
    template <bool Accumulate>
    void processBlock(float** inputs, float** outputs, VstInt32 sampleFrames);
    // Runs the MIDI bookkeeping of sampleFrames samples at once.
    void advanceMidi(VstInt32 sampleFrames);
    // Frees the slots due at the current dispatch count.
    void consumeDueEvents();
    // The largest float below 0.8 x threshold, cached for the audio thread.
    float closingLimit(float currentThreshold);
    void applyParameter(VstInt32 index, float value);
    // The current program, or null while the index is out of range.
    APluginProgram* currentProgramSlot();

    // MIDI scheduling: instead of counting every pending slot down each
    // sample, each slot keeps the dispatch count at which it falls due and
    // the effect remembers the earliest one, so a sample with nothing due
    // costs nothing. midiDispatches_ counts the samples that ran while events
    // were pending; a slot's deltaFrames keeps the delay the event came with
    // (a negative one as 0) until the slot is freed.
    std::array<std::int64_t, kNumMidiSlots> midiDue_{};
    std::int64_t midiDispatches_ = 0;
    std::int64_t midiNextDue_ = 0;

    float cachedThreshold_ = std::numeric_limits<float>::quiet_NaN();  // nothing cached yet
    float cachedClosingLimit_ = 0.0f;
};
