// The effect as a host sees it: its record, its answers to queries, its
// parameters and programs, and the host calls it makes.
#include <cmath>
#include <limits>
#include <string>

#include "plugin/PluginHarness.h"
#include "vst/DAEffEditor.h"
#include "vst/DVstUtils.h"

using Plugin = GateFixture;

namespace {

std::string text(const char* s) { return std::string(s); }

// A buffer with guard bytes after the first `size` bytes, to see what a
// query writes beyond the room the standard gives it.
struct Guarded {
    static constexpr int kGuard = 64;
    explicit Guarded(std::size_t size) : room(size), bytes(size + kGuard, '#') {}
    char* data() { return bytes.data(); }
    bool guardIntact() const {
        for (std::size_t i = room; i < bytes.size(); ++i)
            if (bytes[i] != '#') return false;
        return true;
    }
    std::size_t room;
    std::string bytes;
};

}  // namespace

TEST_F(Plugin, RecordDescribesTheGate) {
    EXPECT_EQ(effect->magic, 0x56737450);
    EXPECT_EQ(effect->numPrograms, 16);
    EXPECT_EQ(effect->numParams, 6);
    EXPECT_EQ(effect->numInputs, 4);
    EXPECT_EQ(effect->numOutputs, 2);
    EXPECT_EQ(effect->flags, effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing);
    EXPECT_EQ(effect->flags, 25);
    EXPECT_EQ(effect->uniqueID, 0x34313634);
    EXPECT_EQ(effect->version, 1);
    EXPECT_EQ(effect->ioRatio, 1.0f);
    EXPECT_EQ(static_cast<AudioEffect*>(effect->object), &plugin());
}

TEST_F(Plugin, AsksTheHostForItsNamesAtConstruction) {
    EXPECT_EQ(host->count(audioMasterGetVendorString), 1);
    EXPECT_EQ(host->count(audioMasterGetProductString), 1);
    EXPECT_EQ(text(plugin().hostVendor), "Recording Vendor");
    EXPECT_EQ(text(plugin().hostProduct), "Recording Host");
}

TEST_F(Plugin, KeepsOnlyWhatFitsOfOverlongHostNames) {
    const std::string longName(200, 'v');
    host->vendor = longName.c_str();
    AudioEffect* other = createEffectInstance(&RecordingHost::callback);
    auto& p = *static_cast<APlugin*>(other);
    EXPECT_EQ(text(p.hostVendor), std::string(kVstMaxVendorStrLen, 'v'));
    AEffect* e = other->getAeffect();
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(Plugin, StartsWithProgramZeroApplied) {
    APlugin& p = plugin();
    EXPECT_EQ(dispatch(effGetProgram), 0);
    const float expected[6] = {0.1f, 0.1f, 0.1f, 0.5f, 0.0f, 1.0f};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(getParameter(i), expected[i]) << i;
    // At 44100 Hz, 0.1 s: steps of 1/4411, a hold of 4411 steps.
    EXPECT_EQ(p.env.attackStep.load(), static_cast<float>(1.0L / (0.1L * 44100.0L + 1.0L)));
    EXPECT_EQ(p.env.releaseStep.load(), p.env.attackStep.load());
    EXPECT_NEAR(p.env.attackStep.load(), 1.0f / 4411.0f, 1e-9f);
    EXPECT_EQ(p.env.holdSteps.load(), static_cast<float>(0.1L * 44100.0L + 1.0L));
    EXPECT_NEAR(p.env.holdSteps.load(), 4411.0f, 0.001f);
    EXPECT_EQ(p.env.decayStep.load(), 1.0f);
    EXPECT_EQ(p.env.sustainLevel.load(), 1.0f);
    EXPECT_EQ(p.threshold.load(), 0.5f);
    EXPECT_EQ(p.active.load(), 1);
    EXPECT_EQ(p.envMode.load(), 0);
    EXPECT_EQ(p.pendingMidi, 0);
    EXPECT_EQ(p.keyPeak.load(), 0.0f);
    EXPECT_FALSE(p.gateOpen);
    EXPECT_FALSE(p.gateClosed);
    for (int slot = 0; slot < APlugin::kNumMidiSlots; ++slot) {
        EXPECT_EQ(p.midiSlots[slot].deltaFrames, -99);
        EXPECT_EQ(p.midiSlots[slot].type, kVstMidiType);
        EXPECT_EQ(p.midiSlots[slot].reserved1, 99);
    }
}

TEST_F(Plugin, ParameterValuesAreClamped) {
    setParameter(0, 2.5f);
    EXPECT_EQ(getParameter(0), 1.0f);
    setParameter(0, -1.0f);
    EXPECT_EQ(getParameter(0), 0.0f);
    setParameter(1, 0.7f);
    setParameter(1, std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(getParameter(1), 0.0f);
    setParameter(3, std::numeric_limits<float>::infinity());
    EXPECT_EQ(getParameter(3), 1.0f);
    // The stored program gets the clamped value too.
    EXPECT_EQ(plugin().programs[0].values[0].load(), 0.0f);
    EXPECT_EQ(plugin().programs[0].values[3].load(), 1.0f);
}

TEST_F(Plugin, OutOfRangeParameterIndexesChangeNothing) {
    for (VstInt32 index : {6, -1, 1000}) {
        setParameter(index, 0.9f);
        EXPECT_EQ(getParameter(index), 0.0f);
    }
    const float expected[6] = {0.1f, 0.1f, 0.1f, 0.5f, 0.0f, 1.0f};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(getParameter(i), expected[i]);
        EXPECT_EQ(plugin().programs[0].values[i].load(), expected[i]);
    }
}

TEST_F(Plugin, SwitchesAreOnOnlyAboveOneHalf) {
    APlugin& p = plugin();
    setParameter(APlugin::kEnvMode, 0.5f);
    setParameter(APlugin::kActive, 0.5f);
    EXPECT_EQ(p.envMode.load(), 0);
    EXPECT_EQ(p.active.load(), 0);
    setParameter(APlugin::kEnvMode, 0.5000001f);
    setParameter(APlugin::kActive, 0.51f);
    EXPECT_EQ(p.envMode.load(), 1);
    EXPECT_EQ(p.active.load(), 1);
}

TEST_F(Plugin, TimeParametersBecomeEnvelopeSteps) {
    APlugin& p = plugin();
    setFastTimes();
    EXPECT_EQ(p.env.attackStep.load(), 1.0f);
    EXPECT_EQ(p.env.holdSteps.load(), 1.0f);
    EXPECT_EQ(p.env.releaseStep.load(), 1.0f);
    setParameter(APlugin::kAttack, 1.0f);
    EXPECT_EQ(p.env.attackStep.load(), static_cast<float>(1.0L / 44101.0L));
    setParameter(APlugin::kHold, 0.3f);
    EXPECT_EQ(p.env.holdSteps.load(),
              static_cast<float>(static_cast<long double>(0.3f) * 44100.0L + 1.0L));
    setParameter(APlugin::kRelease, 0.25f);
    EXPECT_EQ(p.env.releaseStep.load(), static_cast<float>(1.0L / 11026.0L));
}

TEST_F(Plugin, SampleRateChangeWaitsForTheNextParameterSet) {
    APlugin& p = plugin();
    const float before = p.env.attackStep.load();
    dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(p.env.attackStep.load(), before);
    EXPECT_EQ(dispatch(effSetProgram, 0, 0), 0);  // re-applies program 0 at the new rate
    EXPECT_EQ(p.env.attackStep.load(),
              static_cast<float>(1.0L / (static_cast<long double>(0.1f) * 48000.0L + 1.0L)));
    EXPECT_EQ(p.env.holdSteps.load(),
              static_cast<float>(static_cast<long double>(0.1f) * 48000.0L + 1.0L));
}

TEST_F(Plugin, UnusableSampleRatesGiveTheShortestTimes) {
    // A scanner answers 0; a broken host might send NaN, infinity or a negative rate.
    APlugin& p = plugin();
    for (float rate : {0.0f, std::numeric_limits<float>::quiet_NaN(),
                       std::numeric_limits<float>::infinity(), -44100.0f}) {
        dispatch(effSetSampleRate, 0, 0, nullptr, rate);
        dispatch(effSetProgram, 0, 0);
        EXPECT_EQ(p.env.attackStep.load(), 1.0f) << rate;
        EXPECT_EQ(p.env.holdSteps.load(), 1.0f) << rate;
        EXPECT_EQ(p.env.releaseStep.load(), 1.0f) << rate;
    }
    dispatch(effSetBlockSize, 0, 0);
    // The gate still works and produces finite audio.
    AudioBuffers b(64);
    for (std::size_t i = 0; i < b.n; ++i) {
        b.in[0][i] = 0.5f;
        b.in[1][i] = -0.5f;
        b.in[2][i] = (i / 8) % 2 ? 0.9f : 0.0f;
    }
    processReplacing(b);
    bool opened = false;
    for (std::size_t i = 0; i < b.n; ++i) {
        ASSERT_TRUE(std::isfinite(b.out[0][i]));
        ASSERT_TRUE(std::isfinite(b.out[1][i]));
        opened = opened || b.out[0][i] == 0.5f;
    }
    EXPECT_TRUE(opened);
}

TEST_F(Plugin, ParameterTexts) {
    char buf[64];
    for (int i = 0; i < 6; ++i) {
        dispatch(effGetParamName, i, 0, buf);
        EXPECT_EQ(text(buf), "par" + std::to_string(i));
        std::strcpy(buf, "x");
        dispatch(effGetParamLabel, i, 0, buf);
        EXPECT_EQ(text(buf), "%");
    }
    const std::string sep(1, decimalSeparator());
    setParameter(3, 0.5f);
    dispatch(effGetParamDisplay, 3, 0, buf);
    EXPECT_EQ(text(buf), "0" + sep + "50");  // the raw value, not a percentage
    dispatch(effGetParamDisplay, 5, 0, buf);
    EXPECT_EQ(text(buf), "1" + sep + "00");
    setParameter(0, 0.125f);
    dispatch(effGetParamDisplay, 0, 0, buf);
    EXPECT_EQ(text(buf), "0" + sep + "13");
    for (VstInt32 index : {6, -1}) {
        dispatch(effGetParamName, index, 0, buf);
        EXPECT_EQ(text(buf), "undefined");
        dispatch(effGetParamDisplay, index, 0, buf);
        EXPECT_EQ(text(buf), "undefined");
        dispatch(effGetParamLabel, index, 0, buf);
        EXPECT_EQ(text(buf), "%");
    }
}

TEST_F(Plugin, ProgramsAreNamedAndLive) {
    char buf[64];
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(dispatch(effGetProgramNameIndexed, i, 0, buf), 1);
        EXPECT_EQ(text(buf), "Preset " + std::to_string(i));
    }
    std::strcpy(buf, "unchanged");
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 16, 0, buf), 0);
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, -1, 0, buf), 0);
    EXPECT_EQ(text(buf), "unchanged");

    dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(dispatch(effGetProgram), 3);
    setParameter(3, 0.9f);
    char name[] = "Kick";
    dispatch(effSetProgramName, 0, 0, name);
    dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(getParameter(3), 0.5f);
    EXPECT_EQ(plugin().threshold.load(), 0.5f);
    dispatch(effGetProgramName, 0, 0, buf);
    EXPECT_EQ(text(buf), "Preset 5");
    dispatch(effSetProgram, 0, 3);
    EXPECT_EQ(getParameter(3), 0.9f);
    EXPECT_EQ(plugin().threshold.load(), 0.9f);
    dispatch(effGetProgramName, 0, 0, buf);
    EXPECT_EQ(text(buf), "Kick");
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 3, 0, buf), 1);
    EXPECT_EQ(text(buf), "Kick");
}

TEST_F(Plugin, OutOfRangeProgramsAreIgnored) {
    dispatch(effSetProgram, 0, 2);
    for (VstIntPtr program : {16, -1, 1000}) {
        dispatch(effSetProgram, 0, program);
        EXPECT_EQ(dispatch(effGetProgram), 2);
    }
    plugin().setProgram(-5);
    plugin().setProgram(16);
    EXPECT_EQ(dispatch(effGetProgram), 2);
}

TEST_F(Plugin, ProgramNamesNeverOverrunABuffer) {
    // Renaming keeps at most the 51 characters a program holds.
    std::string longName(300, 'n');
    for (std::size_t i = 0; i < longName.size(); ++i) longName[i] = static_cast<char>('a' + i % 26);
    dispatch(effSetProgramName, 0, 0, longName.data());
    char stored[APluginProgram::kNameSize + 8];
    plugin().programs[0].name.get(stored, sizeof stored);
    EXPECT_EQ(text(stored), longName.substr(0, 51));
    // Reading writes at most the standard's 24 characters and the NUL.
    Guarded byName(kVstMaxProgNameLen + 1);
    dispatch(effGetProgramName, 0, 0, byName.data());
    EXPECT_EQ(text(byName.data()), longName.substr(0, 24));
    EXPECT_TRUE(byName.guardIntact());
    Guarded byIndex(kVstMaxProgNameLen + 1);
    EXPECT_EQ(dispatch(effGetProgramNameIndexed, 0, 0, byIndex.data()), 1);
    EXPECT_EQ(text(byIndex.data()), longName.substr(0, 24));
    EXPECT_TRUE(byIndex.guardIntact());
    // A name that fits is kept whole.
    char shortName[] = "Snare";
    dispatch(effSetProgramName, 0, 0, shortName);
    dispatch(effGetProgramName, 0, 0, byName.data());
    EXPECT_EQ(text(byName.data()), "Snare");
}

TEST_F(Plugin, IdentityQueries) {
    char buf[128];
    EXPECT_EQ(dispatch(effGetEffectName, 0, 0, buf), 1);
    EXPECT_EQ(text(buf), "QB Sidechain Gate");
    EXPECT_EQ(dispatch(effGetProductString, 0, 0, buf), 1);
    EXPECT_EQ(text(buf), "QB Sidechain Gate");
    EXPECT_EQ(dispatch(effGetVendorString, 0, 0, buf), 1);
    EXPECT_EQ(text(buf), "Quorbel");
    EXPECT_EQ(dispatch(effGetVendorVersion), 1);
    EXPECT_EQ(dispatch(effGetPlugCategory), kPlugCategUnknown);
    EXPECT_EQ(dispatch(effGetVu), 0);
    EXPECT_EQ(dispatch(effGetVstVersion), 2300);
    EXPECT_EQ(dispatch(effGetChunk, 0, 0, buf), 0);
}

TEST_F(Plugin, CanDoAnswers) {
    for (const char* yes : {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                            "sendVstMidiEvent", "receiveVstTimeInfo"}) {
        std::string s = yes;
        EXPECT_EQ(dispatch(effCanDo, 0, 0, s.data()), 1) << yes;
    }
    for (const char* no :
         {"ReceiveVstEvents", "receiveVstEvents ", "receiveVst", "plugAsChannelInsert", ""}) {
        std::string s = no;
        EXPECT_EQ(dispatch(effCanDo, 0, 0, s.data()), -1) << no;
    }
}

TEST_F(Plugin, PinProperties) {
    for (int i = 0; i < 4; ++i) {
        VstPinProperties pin;
        std::memset(&pin, 0x5A, sizeof pin);
        pin.label[0] = '\0';
        EXPECT_EQ(dispatch(effGetInputProperties, i, 0, &pin), 1);
        EXPECT_EQ(text(pin.label), "Input #" + std::to_string(i + 1));
        EXPECT_EQ(pin.flags, 3);
        // Fields the effect does not fill stay as the host passed them.
        EXPECT_EQ(pin.arrangementType, 0x5A5A5A5A);
        EXPECT_EQ(pin.shortLabel[0], 0x5A);
    }
    for (int i = 0; i < 2; ++i) {
        VstPinProperties pin{};
        EXPECT_EQ(dispatch(effGetOutputProperties, i, 0, &pin), 1);
        EXPECT_EQ(text(pin.label), "Output #" + std::to_string(i + 1));
        EXPECT_EQ(pin.flags, 3);
    }
    VstPinProperties untouched;
    std::memset(&untouched, 0x5A, sizeof untouched);
    const VstPinProperties copy = untouched;
    EXPECT_EQ(dispatch(effGetInputProperties, 4, 0, &untouched), 0);
    EXPECT_EQ(dispatch(effGetInputProperties, -1, 0, &untouched), 0);
    EXPECT_EQ(dispatch(effGetOutputProperties, 2, 0, &untouched), 0);
    EXPECT_EQ(std::memcmp(&untouched, &copy, sizeof copy), 0);
}

TEST_F(Plugin, NullBuffersAnswerZeroAndWriteNothing) {
    for (VstInt32 opcode :
         {effGetProgramName, effSetProgramName, effGetParamLabel, effGetParamDisplay,
          effGetParamName, effEditGetRect, effEditOpen, effProcessEvents, effGetProgramNameIndexed,
          effGetInputProperties, effGetOutputProperties, effGetEffectName, effGetVendorString,
          effGetProductString, effCanDo}) {
        EXPECT_EQ(dispatch(opcode, 0, 0, nullptr), 0) << opcode;
    }
    char buf[64];
    dispatch(effGetProgramName, 0, 0, buf);
    EXPECT_EQ(text(buf), "Preset 0");
}

TEST_F(Plugin, ResumeAsksForMidiAndSuspendDoesNothing) {
    host->clear();
    // A scanner switches mains off before it ever switched them on.
    EXPECT_EQ(dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_TRUE(host->calls().empty());
    EXPECT_EQ(dispatch(effMainsChanged, 0, 1), 0);
    ASSERT_EQ(host->count(audioMasterWantMidi), 1);
    EXPECT_EQ(host->last(audioMasterWantMidi)->value, 1);
    EXPECT_EQ(host->last(audioMasterWantMidi)->effect, effect);
    EXPECT_EQ(dispatch(effMainsChanged, 0, 2), 0);
    EXPECT_EQ(host->count(audioMasterWantMidi), 2);
}

TEST_F(Plugin, OnlyEditorChangesAreReportedToTheHost) {
    host->clear();
    setParameter(2, 0.3f);  // the host's own change
    EXPECT_EQ(host->count(audioMasterAutomate), 0);
    plugin().setParameterAutomated(2, 0.4f);  // the editor's path
    ASSERT_EQ(host->count(audioMasterAutomate), 1);
    EXPECT_EQ(host->last(audioMasterAutomate)->index, 2);
    EXPECT_EQ(host->last(audioMasterAutomate)->opt, 0.4f);
    EXPECT_EQ(getParameter(2), 0.4f);
}

TEST_F(Plugin, EditorOpcodesReachTheRegisteredEditor) {
    ERect* rect = reinterpret_cast<ERect*>(0x1);
    EXPECT_EQ(dispatch(effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);  // the base editor has no rectangle
    int window = 0;
    EXPECT_EQ(dispatch(effEditOpen, 0, 0, &window), 0);
    EXPECT_EQ(plugin().getEditor()->getSystemWindow(), &window);
    EXPECT_EQ(dispatch(effEditIdle), 0);
    EXPECT_EQ(dispatch(effEditClose), 0);
}

namespace {

// An editor that counts the updates the effect asks of it.
class CountingEditor : public AEffEditor {
public:
    explicit CountingEditor(AudioEffect* effect) : AEffEditor(effect) {}
    void update() override { ++updates; }
    int updates = 0;
};

AEffEditor* makeCountingEditor(APlugin* effect) { return new CountingEditor(effect); }

}  // namespace

TEST_F(Plugin, EditorIsUpdatedOnEveryChangeUnlessClosed) {
    APlugin p(&RecordingHost::callback, makeCountingEditor);
    auto* editor = static_cast<CountingEditor*>(p.getEditor());
    EXPECT_EQ(p.getAeffect()->flags, 25);
    editor->updates = 0;
    p.setParameter(0, 0.2f);
    EXPECT_EQ(editor->updates, 1);
    p.setParameter(9, 0.2f);  // out of range: nothing stored, no update
    EXPECT_EQ(editor->updates, 1);
    p.setProgram(1);  // six parameters and one more
    EXPECT_EQ(editor->updates, 8);
    char name[] = "x";
    p.setProgramName(name);
    EXPECT_EQ(editor->updates, 9);
    p.editorClosed = 1;
    p.setProgram(2);  // the per-parameter updates still go to the editor
    EXPECT_EQ(editor->updates, 15);
    p.setProgramName(name);
    EXPECT_EQ(editor->updates, 15);
}

TEST_F(Plugin, WithoutAnEditorFactoryTheGateHasNoEditorAndStillWorks) {
    APlugin p(&RecordingHost::callback, nullptr);
    AEffect* e = p.getAeffect();
    EXPECT_EQ(p.getEditor(), nullptr);
    EXPECT_EQ(e->flags & effFlagsHasEditor, 0);
    ERect* rect = nullptr;
    EXPECT_EQ(e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f), 0);
    EXPECT_EQ(e->dispatcher(e, effEditOpen, 0, 0, &rect, 0.0f), 0);
    p.setParameter(0, 0.2f);  // no editor to update
    EXPECT_FLOAT_EQ(p.getParameter(0), 0.2f);
}
