// The effect record as a host reads it: raw bytes at the offsets of the
// interface for this build's pointer width, and how the base classes fill
// and change it.
#include <gtest/gtest.h>

#include <cstring>

#include "VstTestSupport.h"
#include "vst/DVstUtils.h"

using namespace vsttest;

namespace {

constexpr bool kWide = sizeof(void*) == 8;

// Offsets of the record's fields for this pointer width.
struct Offsets {
    std::size_t dispatcher, process, setParameter, getParameter, numPrograms, numParams, numInputs,
        numOutputs, flags, resvd1, resvd2, initialDelay, realQualities, offQualities, ioRatio,
        object, user, uniqueID, version, processReplacing, future, size;
};
constexpr Offsets kNarrow{4,  8,  12, 16, 20, 24, 28, 32, 36, 40, 44,
                          48, 52, 56, 60, 64, 68, 72, 76, 80, 84, 144};
constexpr Offsets kWideOffsets{8,  16, 24, 32, 40, 44,  48,  52,  56,  64,  72,
                               80, 84, 88, 92, 96, 104, 112, 116, 120, 128, 192};
constexpr Offsets kLayout = kWide ? kWideOffsets : kNarrow;

template <typename T>
T readAt(const AEffect* record, std::size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const unsigned char*>(record) + offset, sizeof value);
    return value;
}

TEST(RecordLayout, ResultsAndValuesArePointerWide) {
    // A -1 from the effect must reach a 64-bit host as -1, not 4294967295.
    EXPECT_EQ(sizeof(VstIntPtr), sizeof(void*));
    BareEffect effect;
    AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->dispatcher(record, effGetCurrentMidiProgram, 0, 0, &record->future, 0.0f),
              VstIntPtr{-1});
}

TEST(BaseRecord, ConstructionFillsTheRecordAsHostsExpect) {
    // The header checks every offset at compile time; here the bytes a host
    // reads at those offsets are checked.
    EXPECT_EQ(sizeof(AEffect), kLayout.size);
    BareEffect effect(nullptr, 7, 5);
    const AEffect* record = effect.getAeffect();
    EXPECT_EQ(readAt<uint32_t>(record, 0), 0x56737450u);
    EXPECT_EQ(readAt<AEffectDispatcherProc>(record, kLayout.dispatcher), record->dispatcher);
    EXPECT_EQ(readAt<AEffectGetParameterProc>(record, kLayout.getParameter), record->getParameter);
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(record);
    EXPECT_EQ(std::memcmp(bytes, "PtsV", 4), 0);  // little-endian "VstP"
    EXPECT_EQ(readAt<int32_t>(record, kLayout.numPrograms), 7);
    EXPECT_EQ(readAt<int32_t>(record, kLayout.numParams), 5);
    EXPECT_EQ(readAt<int32_t>(record, kLayout.numInputs), 1);
    EXPECT_EQ(readAt<int32_t>(record, kLayout.numOutputs), 2);
    EXPECT_EQ(readAt<int32_t>(record, kLayout.flags), 0);
    EXPECT_EQ(readAt<VstIntPtr>(record, kLayout.resvd1), 0);
    EXPECT_EQ(readAt<VstIntPtr>(record, kLayout.resvd2), 0);
    EXPECT_EQ(readAt<int32_t>(record, kLayout.initialDelay), 0);
    EXPECT_EQ(readAt<int32_t>(record, kLayout.realQualities), 0);
    EXPECT_EQ(readAt<int32_t>(record, kLayout.offQualities), 0);
    EXPECT_EQ(readAt<uint32_t>(record, kLayout.ioRatio), 0x3F800000u);  // 1.0f
    EXPECT_EQ(readAt<void*>(record, kLayout.object), static_cast<AudioEffect*>(&effect));
    EXPECT_EQ(readAt<void*>(record, kLayout.user), nullptr);
    EXPECT_EQ(readAt<int32_t>(record, kLayout.uniqueID), 0x4E6F4566);  // "NoEf"
    EXPECT_EQ(readAt<int32_t>(record, kLayout.version), 1);
    EXPECT_EQ(readAt<AEffectProcessProc>(record, kLayout.processReplacing),
              record->processReplacing);
    EXPECT_NE(record->processReplacing, nullptr);
    EXPECT_NE(record->processReplacing, record->process);
    for (std::size_t i = kLayout.future; i < kLayout.future + 60; ++i)
        EXPECT_EQ(bytes[i], 0) << "byte " << i;
    EXPECT_EQ(effect.getSampleRate(), 44100.0f);
    EXPECT_EQ(effect.getBlockSize(), 1024);
    EXPECT_EQ(effect.getProgram(), 0);
}

TEST(BaseRecord, EachFlagSetterTouchesOnlyItsBit) {
    struct Setter {
        void (*set)(BareEffect&, bool);
        VstInt32 bit;
    };
    const Setter setters[] = {
        {[](BareEffect& e, bool s) { e.hasClip(s); }, effFlagsHasClip},
        {[](BareEffect& e, bool s) { e.hasVu(s); }, effFlagsHasVu},
        {[](BareEffect& e, bool s) { e.canMono(s); }, effFlagsCanMono},
        {[](BareEffect& e, bool s) { e.canProcessReplacing(s); }, effFlagsCanReplacing},
        {[](BareEffect& e, bool s) { e.programsAreChunks(s); }, effFlagsProgramChunks},
        {[](BareEffect& e, bool s) { e.isSynth(s); }, effFlagsIsSynth},
        {[](BareEffect& e, bool s) { e.noTail(s); }, effFlagsNoSoundInStop},
        {[](BareEffect& e, bool s) { e.wantAsyncOperation(s); }, effFlagsExtIsAsync},
        {[](BareEffect& e, bool s) { e.hasExternalBuffer(s); }, effFlagsExtHasBuffer},
    };
    EXPECT_EQ(effFlagsHasEditor | effFlagsHasClip | effFlagsHasVu | effFlagsCanMono |
                  effFlagsCanReplacing | effFlagsProgramChunks,
              63);
    EXPECT_EQ(effFlagsIsSynth | effFlagsNoSoundInStop | effFlagsExtIsAsync | effFlagsExtHasBuffer,
              256 + 512 + 1024 + 2048);
    for (const Setter& s : setters) {
        BareEffect effect;
        const VstInt32& flags = effect.getAeffect()->flags;
        s.set(effect, true);
        EXPECT_EQ(flags, s.bit);
        s.set(effect, true);  // setting twice keeps it set
        EXPECT_EQ(flags, s.bit);
        for (const Setter& other : setters) other.set(effect, true);
        s.set(effect, false);
        EXPECT_EQ(flags & s.bit, 0);
        EXPECT_EQ(flags | s.bit, 0xF3E) << s.bit;  // all the others stay set
    }
}

TEST(BaseRecord, CountsIdentityAndQualitiesGoToTheRecord) {
    BareEffect effect;
    effect.setUniqueID(makeFourCharCode('4', '1', '6', '4'));
    effect.setNumInputs(4);
    effect.setNumOutputs(3);
    effect.setInitialDelay(64);
    effect.setRealtimeQualities(5);
    effect.setOfflineQualities(6);
    const AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->uniqueID, 0x34313634);
    EXPECT_EQ(record->numInputs, 4);
    EXPECT_EQ(record->numOutputs, 3);
    EXPECT_EQ(record->initialDelay, 64);
    EXPECT_EQ(record->realQualities, 5);
    EXPECT_EQ(record->offQualities, 6);
}

TEST(BaseRecord, SynthFlagDecidesThePlugCategory) {
    BareEffect effect;
    effect.isSynth(true);
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategSynth);
    effect.isSynth(false);
    EXPECT_EQ(effect.getPlugCategory(), kPlugCategUnknown);
}

TEST(BaseRecord, TheEffectOwnsItsEditorAndFlagsIt) {
    CallLog log;
    bool firstGone = false, secondGone = false;
    {
        BareEffect effect;
        effect.setEditor(new RecordingEditor(&effect, log, &firstGone));
        EXPECT_EQ(effect.getAeffect()->flags, effFlagsHasEditor);
        effect.setEditor(new RecordingEditor(&effect, log, &secondGone));
        EXPECT_TRUE(firstGone);  // a replaced editor is not leaked
        EXPECT_FALSE(secondGone);
        effect.setEditor(effect.getEditor());  // the same editor again stays alive
        EXPECT_FALSE(secondGone);
        EXPECT_EQ(effect.getAeffect()->flags, effFlagsHasEditor);
    }
    EXPECT_TRUE(secondGone);  // destroyed with the effect

    // Detaching destroys the editor at once: a derived effect does this first
    // in its destructor, while the fields its editor may touch still exist.
    bool detachedGone = false;
    BareEffect effect;
    effect.setEditor(new RecordingEditor(&effect, log, &detachedGone));
    effect.setEditor(nullptr);
    EXPECT_TRUE(detachedGone);
    EXPECT_EQ(effect.getAeffect()->flags, 0);
    EXPECT_EQ(effect.getEditor(), nullptr);
}

// ---- the editor base ---------------------------------------------------------------------

class CountingEditor : public AEffEditor {
public:
    using AEffEditor::AEffEditor;
    void update() override { ++updates; }
    int updates = 0;
};

TEST(EditorBase, PostedUpdatesRunOnceAtTheNextIdle) {
    BareEffect effect;
    CountingEditor editor(&effect);
    EXPECT_EQ(editor.getEffect(), &effect);
    editor.idle();
    EXPECT_EQ(editor.updates, 0);
    editor.postUpdate();
    editor.postUpdate();
    editor.idle();
    EXPECT_EQ(editor.updates, 1);
    editor.idle();
    EXPECT_EQ(editor.updates, 1);
}

TEST(EditorBase, OpenKeepsTheParentWindowAcrossClose) {
    BareEffect effect;
    AEffEditor editor(&effect);
    EXPECT_EQ(editor.getSystemWindow(), nullptr);
    int window = 0;
    EXPECT_EQ(editor.open(&window), 0);
    editor.close();
    EXPECT_EQ(editor.getSystemWindow(), &window);
    EXPECT_FALSE(editor.onWheel(1.0f));
    VstKeyCode key{};
    EXPECT_EQ(editor.onKeyDown(key), -1);
    EXPECT_EQ(editor.onKeyUp(key), -1);
    EXPECT_EQ(editor.setKnobMode(2), 0);
}

}  // namespace
