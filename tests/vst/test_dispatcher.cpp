// The dispatcher as the host reaches it: through the record's dispatcher
// routine, every opcode from 0 to 76 must call the right operation with the
// right arguments and hand back the right answer.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

#include "VstTestSupport.h"

using namespace vsttest;

namespace {

enum class Answer { Zero, One, Int, Bool, NotBool, EditorInt, Constant, DestBuffer, Icon };

struct Row {
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    const char* ptr;       // named pointer handed over in ptr, or nullptr
    const char* valuePtr;  // named pointer handed over in value, or nullptr
    float opt;
    const char* call;  // the one call expected, or nullptr for none
    Answer answer;
    VstIntPtr constant = 0;
};

class Dispatch : public ::testing::Test {
protected:
    Dispatch() {
        effect = new RecordingEffect(log, &destroyed);
        editor = new RecordingEditor(effect, log, &editorDestroyed);
        editor->intAnswer = 17;
        effect->setEditor(editor);
        record = effect->getAeffect();
    }
    ~Dispatch() override {
        if (!destroyed) delete effect;
    }

    // Distinct, named addresses: the recording operations only compare them.
    void* named(const std::string& name) {
        auto it = slots.find(name);
        if (it == slots.end()) {
            void* p = pool[slots.size()];
            log.name(p, name);
            it = slots.emplace(name, p).first;
        }
        return it->second;
    }

    VstIntPtr call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
        log.entries.clear();
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }

    VstIntPtr expected(const Row& row) const {
        switch (row.answer) {
            case Answer::Zero: return 0;
            case Answer::One: return 1;
            case Answer::Int: return effect->intAnswer;
            case Answer::Bool: return effect->boolAnswer ? 1 : 0;
            case Answer::NotBool: return effect->boolAnswer ? 0 : 1;
            case Answer::EditorInt: return editor->intAnswer;
            case Answer::Constant: return row.constant;
            case Answer::DestBuffer: return reinterpret_cast<VstIntPtr>(effect->destinationBuffer);
            case Answer::Icon: return reinterpret_cast<VstIntPtr>(&effect->icon);
        }
        return -12345;
    }

    void runTable(const std::vector<Row>& rows) {
        for (const Row& row : rows) {
            SCOPED_TRACE("opcode " + std::to_string(row.opcode));
            void* ptr = row.ptr ? named(row.ptr) : nullptr;
            const VstIntPtr value =
                row.valuePtr ? reinterpret_cast<VstIntPtr>(named(row.valuePtr)) : row.value;
            const VstIntPtr answer = call(row.opcode, row.index, value, ptr, row.opt);
            EXPECT_EQ(answer, expected(row));
            if (row.call) {
                EXPECT_EQ(log.entries, std::vector<std::string>{row.call});
            } else {
                EXPECT_EQ(log.entries, std::vector<std::string>{});
            }
        }
    }

    CallLog log;
    bool destroyed = false;
    bool editorDestroyed = false;
    RecordingEffect* effect;
    RecordingEditor* editor;
    AEffect* record;
    alignas(16) unsigned char pool[64][16] = {};
    std::map<std::string, void*> slots;
};

const std::vector<Row>& table() {
    static const std::vector<Row> rows = {
        {effOpen, 0, 0, nullptr, nullptr, 0, "open()", Answer::Zero},
        {effSetProgram, 0, 3, nullptr, nullptr, 0, "setProgram(3)", Answer::Zero},
        {effGetProgram, 0, 0, nullptr, nullptr, 0, "getProgram()", Answer::Int},
        {effSetProgramName, 0, 0, "buf", nullptr, 0, "setProgramName(buf)", Answer::Zero},
        {effGetProgramName, 0, 0, "buf", nullptr, 0, "getProgramName(buf)", Answer::Zero},
        {effGetParamLabel, 2, 0, "buf", nullptr, 0, "getParameterLabel(2,buf)", Answer::Zero},
        {effGetParamDisplay, 4, 0, "buf", nullptr, 0, "getParameterDisplay(4,buf)", Answer::Zero},
        {effGetParamName, 5, 0, "buf", nullptr, 0, "getParameterName(5,buf)", Answer::Zero},
        {effGetVu, 0, 0, nullptr, nullptr, 0, "getVu()", Answer::Zero},
        {effSetSampleRate, 0, 0, nullptr, nullptr, 48000.0f, "setSampleRate(48000)", Answer::Zero},
        {effSetBlockSize, 0, 512, nullptr, nullptr, 0, "setBlockSize(512)", Answer::Zero},
        {effMainsChanged, 0, 0, nullptr, nullptr, 0, "suspend()", Answer::Zero},
        {effMainsChanged, 0, 1, nullptr, nullptr, 0, "resume()", Answer::Zero},
        {effMainsChanged, 0, 2, nullptr, nullptr, 0, "resume()", Answer::Zero},
        {effEditGetRect, 0, 0, "rectLocation", nullptr, 0, "getRect(rectLocation)",
         Answer::EditorInt},
        {effEditOpen, 0, 0, "window", nullptr, 0, "editor.open(window)", Answer::EditorInt},
        {effEditClose, 0, 0, nullptr, nullptr, 0, "editor.close()", Answer::Zero},
        {effEditDraw, 0, 0, "buf", nullptr, 0, nullptr, Answer::Zero},
        {effEditMouse, 1, 2, nullptr, nullptr, 0, nullptr, Answer::Zero},
        {effEditKey, 1, 2, nullptr, nullptr, 0, nullptr, Answer::Zero},
        {effEditIdle, 0, 0, nullptr, nullptr, 0, "editor.idle()", Answer::Zero},
        {effEditTop, 0, 0, nullptr, nullptr, 0, nullptr, Answer::Zero},
        {effEditSleep, 0, 0, nullptr, nullptr, 0, nullptr, Answer::Zero},
        {effIdentify, 0, 0, nullptr, nullptr, 0, nullptr, Answer::Constant, 0x4E764566},
        {effGetChunk, 1, 0, "dataLocation", nullptr, 0, "getChunk(dataLocation,true)", Answer::Int},
        {effGetChunk, 0, 0, "dataLocation", nullptr, 0, "getChunk(dataLocation,false)",
         Answer::Int},
        {effSetChunk, 0, 100, "data", nullptr, 0, "setChunk(data,100,false)", Answer::Int},
        {effSetChunk, 7, 100, "data", nullptr, 0, "setChunk(data,100,true)", Answer::Int},
        {effProcessEvents, 0, 0, "events", nullptr, 0, "processEvents(events)", Answer::Int},
        {effCanBeAutomated, 3, 0, nullptr, nullptr, 0, "canParameterBeAutomated(3)", Answer::Bool},
        {effString2Parameter, 2, 0, "buf", nullptr, 0, "string2parameter(2,buf)", Answer::Bool},
        {effGetNumProgramCategories, 0, 0, nullptr, nullptr, 0, "getNumCategories()", Answer::Int},
        {effGetProgramNameIndexed, 2, 5, "buf", nullptr, 0, "getProgramNameIndexed(5,2,buf)",
         Answer::Bool},
        {effCopyProgram, 9, 0, nullptr, nullptr, 0, "copyProgram(9)", Answer::Bool},
        {effConnectInput, 1, 1, nullptr, nullptr, 0, "inputConnected(1,true)", Answer::One},
        {effConnectInput, 1, 0, nullptr, nullptr, 0, "inputConnected(1,false)", Answer::One},
        {effConnectOutput, 0, 5, nullptr, nullptr, 0, "outputConnected(0,true)", Answer::One},
        {effGetInputProperties, 2, 0, "pin", nullptr, 0, "getInputProperties(2,pin)", Answer::Bool},
        {effGetOutputProperties, 1, 0, "pin", nullptr, 0, "getOutputProperties(1,pin)",
         Answer::Bool},
        {effGetPlugCategory, 0, 0, nullptr, nullptr, 0, "getPlugCategory()", Answer::Int},
        {effGetCurrentPosition, 0, 0, nullptr, nullptr, 0, "reportCurrentPosition()", Answer::Int},
        {effGetDestinationBuffer, 0, 0, nullptr, nullptr, 0, "reportDestinationBuffer()",
         Answer::DestBuffer},
        {effOfflineNotify, 1, 3, "files", nullptr, 0, "offlineNotify(files,3,true)", Answer::Bool},
        {effOfflinePrepare, 0, 4, "task", nullptr, 0, "offlinePrepare(task,4)", Answer::Bool},
        {effOfflineRun, 0, 2, "task", nullptr, 0, "offlineRun(task,2)", Answer::Bool},
        {effProcessVarIo, 0, 0, "varIo", nullptr, 0, "processVariableIo(varIo)", Answer::Bool},
        {effSetSpeakerArrangement, 0, 0, "out", "in", 0, "setSpeakerArrangement(in,out)",
         Answer::Bool},
        {effSetBlockSizeAndSampleRate, 0, 256, nullptr, nullptr, 96000.0f,
         "setBlockSizeAndSampleRate(256,96000)", Answer::One},
        {effSetBypass, 0, 1, nullptr, nullptr, 0, "setBypass(true)", Answer::Bool},
        {effSetBypass, 0, 0, nullptr, nullptr, 0, "setBypass(false)", Answer::Bool},
        {effGetEffectName, 0, 0, "buf", nullptr, 0, "getEffectName(buf)", Answer::Bool},
        {effGetErrorText, 0, 0, "buf", nullptr, 0, "getErrorText(buf)", Answer::Bool},
        {effGetVendorString, 0, 0, "buf", nullptr, 0, "getVendorString(buf)", Answer::Bool},
        {effGetProductString, 0, 0, "buf", nullptr, 0, "getProductString(buf)", Answer::Bool},
        {effGetVendorVersion, 0, 0, nullptr, nullptr, 0, "getVendorVersion()", Answer::Int},
        {effVendorSpecific, 3, -7, "data", nullptr, 1.5f, "vendorSpecific(3,-7,data,1.5)",
         Answer::Int},
        {effCanDo, 0, 0, "buf", nullptr, 0, "canDo(buf)", Answer::Int},
        {effGetTailSize, 0, 0, nullptr, nullptr, 0, "getGetTailSize()", Answer::Int},
        {effIdle, 0, 0, nullptr, nullptr, 0, "fxIdle()", Answer::Int},
        {effGetIcon, 0, 0, nullptr, nullptr, 0, "getIcon()", Answer::Icon},
        {effSetViewPosition, 10, 20, nullptr, nullptr, 0, "setViewPosition(10,20)", Answer::Bool},
        {effGetParameterProperties, 4, 0, "paramProps", nullptr, 0,
         "getParameterProperties(4,paramProps)", Answer::Bool},
        {effKeysRequired, 0, 0, nullptr, nullptr, 0, "keysRequired()", Answer::NotBool},
        {effGetVstVersion, 0, 0, nullptr, nullptr, 0, "getVstVersion()", Answer::Int},
        {effEditKeyDown, 65, 0x141, nullptr, nullptr, 2.5f, "onKeyDown(65,65,2)",
         Answer::EditorInt},
        {effEditKeyUp, 66, 0x12, nullptr, nullptr, 3.5f, "onKeyUp(66,18,4)", Answer::EditorInt},
        {effEditKeyUp, 0, 0, nullptr, nullptr, 257.0f, "onKeyUp(0,0,1)", Answer::EditorInt},
        {effSetEditKnobMode, 0, 2, nullptr, nullptr, 0, "setKnobMode(2)", Answer::EditorInt},
        {effGetMidiProgramName, 3, 0, "midiName", nullptr, 0, "getMidiProgramName(3,midiName)",
         Answer::Int},
        {effGetCurrentMidiProgram, 4, 0, "midiName", nullptr, 0,
         "getCurrentMidiProgram(4,midiName)", Answer::Int},
        {effGetMidiProgramCategory, 5, 0, "midiCategory", nullptr, 0,
         "getMidiProgramCategory(5,midiCategory)", Answer::Int},
        {effHasMidiProgramsChanged, 6, 0, nullptr, nullptr, 0, "hasMidiProgramsChanged(6)",
         Answer::Bool},
        {effGetMidiKeyName, 7, 0, "keyName", nullptr, 0, "getMidiKeyName(7,keyName)", Answer::Bool},
        {effBeginSetProgram, 0, 0, nullptr, nullptr, 0, "beginSetProgram()", Answer::Bool},
        {effEndSetProgram, 0, 0, nullptr, nullptr, 0, "endSetProgram()", Answer::Bool},
        {effGetSpeakerArrangement, 0, 0, "outLocation", "inLocation", 0,
         "getSpeakerArrangement(inLocation,outLocation)", Answer::Bool},
        {effShellGetNextPlugin, 0, 0, "buf", nullptr, 0, "getNextShellPlugin(buf)", Answer::Int},
        {effStartProcess, 0, 0, nullptr, nullptr, 0, "startProcess()", Answer::Int},
        {effStopProcess, 0, 0, nullptr, nullptr, 0, "stopProcess()", Answer::Int},
        {effSetTotalSampleToProcess, 0, 4096, nullptr, nullptr, 0, "setTotalSampleToProcess(4096)",
         Answer::Int},
        {effSetPanLaw, 0, 1, nullptr, nullptr, 0.75f, "setPanLaw(1,0.75)", Answer::Bool},
        {effBeginLoadBank, 0, 0, "chunkInfo", nullptr, 0, "beginLoadBank(chunkInfo)", Answer::Int},
        {effBeginLoadProgram, 0, 0, "chunkInfo", nullptr, 0, "beginLoadProgram(chunkInfo)",
         Answer::Int},
    };
    return rows;
}

TEST_F(Dispatch, EveryOpcodeReachesItsOperationWithItsArguments) {
    // Every opcode from 0 to 76 except effClose (its own test) appears in the table.
    std::vector<bool> covered(77, false);
    for (const Row& row : table()) covered[row.opcode] = true;
    for (int op = 0; op <= 76; ++op)
        if (op != effClose) {
            EXPECT_TRUE(covered[op]) << "opcode " << op << " not in the table";
        }

    runTable(table());
    // The same with every boolean answer false and other integer answers.
    effect->boolAnswer = false;
    effect->intAnswer = -3;
    editor->intAnswer = -1;
    runTable(table());
}

TEST_F(Dispatch, UnknownAndNegativeOpcodesAnswerZeroAndCallNothing) {
    effect->intAnswer = 5;
    for (VstInt32 op : {77, 78, 100, 0xDEAD, INT_MAX, -1, -2, INT_MIN}) {
        char buffer[32] = "untouched";
        EXPECT_EQ(call(op, 1, 1, buffer, 1.0f), 0) << op;
        EXPECT_TRUE(log.entries.empty()) << op;
        EXPECT_STREQ(buffer, "untouched");
    }
}

TEST_F(Dispatch, OpcodesThatNeedABufferAnswerZeroWithoutOne) {
    effect->intAnswer = 5;
    editor->intAnswer = 5;
    const VstInt32 needsPtr[] = {effSetProgramName,
                                 effGetProgramName,
                                 effGetParamLabel,
                                 effGetParamDisplay,
                                 effGetParamName,
                                 effEditGetRect,
                                 effEditOpen,
                                 effGetChunk,
                                 effSetChunk,
                                 effProcessEvents,
                                 effString2Parameter,
                                 effGetProgramNameIndexed,
                                 effGetInputProperties,
                                 effGetOutputProperties,
                                 effOfflineNotify,
                                 effOfflinePrepare,
                                 effOfflineRun,
                                 effProcessVarIo,
                                 effSetSpeakerArrangement,
                                 effGetEffectName,
                                 effGetErrorText,
                                 effGetVendorString,
                                 effGetProductString,
                                 effCanDo,
                                 effGetParameterProperties,
                                 effGetMidiProgramName,
                                 effGetCurrentMidiProgram,
                                 effGetMidiProgramCategory,
                                 effGetMidiKeyName,
                                 effGetSpeakerArrangement,
                                 effShellGetNextPlugin,
                                 effBeginLoadBank,
                                 effBeginLoadProgram};
    for (VstInt32 op : needsPtr) {
        EXPECT_EQ(call(op, 1, 0, nullptr, 0.0f), 0) << op;
        EXPECT_EQ(log.entries, std::vector<std::string>{}) << op;
    }
    // The two arrangement opcodes also need the address carried in value.
    EXPECT_EQ(call(effSetSpeakerArrangement, 0, 0, named("out")), 0);
    EXPECT_EQ(call(effGetSpeakerArrangement, 0, 0, named("outLocation")), 0);
    EXPECT_TRUE(log.entries.empty());
}

TEST_F(Dispatch, SetProgramPassesOnlyValuesBelowTheProgramCount) {
    call(effSetProgram, 0, 16);  // numPrograms is 16
    EXPECT_TRUE(log.entries.empty());
    call(effSetProgram, 0, 15);
    EXPECT_EQ(log.entries, std::vector<std::string>{"setProgram(15)"});
    call(effSetProgram, 0, -1);  // rejecting negatives is setProgram's business
    EXPECT_EQ(log.entries, std::vector<std::string>{"setProgram(-1)"});
    if constexpr (sizeof(VstIntPtr) > 4) {
        // A wide value must not be cut down to a valid program number.
        call(effSetProgram, 0, static_cast<VstIntPtr>(INT64_C(-1) << 32));
        EXPECT_TRUE(log.entries.empty());
    }
}

TEST_F(Dispatch, VuIsScaledTo32767AndRoundedToEven) {
    const std::pair<float, VstIntPtr> cases[] = {{0.0f, 0},       {0.5f, 16384},   {1.0f, 32767},
                                                 {-1.0f, -32767}, {-0.5f, -16384}, {0.25f, 8192}};
    for (auto [vu, answer] : cases) {
        effect->vuAnswer = vu;
        EXPECT_EQ(call(effGetVu), answer) << vu;
    }
}

TEST_F(Dispatch, CloseThroughTheRecordDestroysTheEffectAndAnswersOne) {
    EXPECT_EQ(call(effClose), 1);  // the dispatcher's own answer is 0
    EXPECT_EQ(log.entries, std::vector<std::string>{"close()"});
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(editorDestroyed);  // the effect owns its editor
}

TEST_F(Dispatch, TheOtherEntryRoutinesCallTheirOperations) {
    float in[4] = {}, out[4] = {};
    float* inputs[] = {in};
    float* outputs[] = {out};
    log.entries.clear();
    record->process(record, inputs, outputs, 4);
    record->processReplacing(record, inputs, outputs, 3);
    record->setParameter(record, 2, 0.5f);
    EXPECT_EQ(record->getParameter(record, 1), 0.25f);
    EXPECT_EQ(log.entries, (std::vector<std::string>{"process(4)", "processReplacing(3)",
                                                     "setParameter(2,0.5)", "getParameter(1)"}));
}

// ---- with the base defaults -----------------------------------------------------------

class Defaults : public ::testing::Test {
protected:
    VstIntPtr call(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0, void* ptr = nullptr,
                   float opt = 0.0f) {
        return record->dispatcher(record, opcode, index, value, ptr, opt);
    }
    RecordingHost host;
    BareEffect effect{RecordingHost::callback};
    AEffect* record = effect.getAeffect();
};

TEST_F(Defaults, HostVisibleAnswersOfTheBaseOperations) {
    char text[64] = "untouched";
    EXPECT_EQ(call(effGetVu), 0);
    EXPECT_EQ(call(effCanBeAutomated), 1);
    EXPECT_EQ(call(effGetNumProgramCategories), 1);
    EXPECT_EQ(call(effKeysRequired), 1);
    EXPECT_EQ(call(effGetVstVersion), 2300);
    MidiProgramName midiName{};
    EXPECT_EQ(call(effGetCurrentMidiProgram, 0, 0, &midiName), -1);  // -1, not 4294967295
    EXPECT_EQ(call(effSetTotalSampleToProcess, 0, 777), 777);
    EXPECT_EQ(call(effGetPlugCategory), kPlugCategUnknown);
    EXPECT_EQ(call(effCanDo, 0, 0, text), 0);
    EXPECT_EQ(call(effGetEffectName, 0, 0, text), 0);
    EXPECT_EQ(call(effGetChunk, 0, 0, text), 0);
    EXPECT_EQ(call(effGetProgram), 0);
    EXPECT_STREQ(text, "untouched");  // the base never writes the host's buffers
    EXPECT_TRUE(host.calls().empty());
}

TEST_F(Defaults, ProgramAndRatesAreStored) {
    call(effSetProgram, 0, 3);
    EXPECT_EQ(call(effGetProgram), 3);
    call(effSetSampleRate, 0, 0, nullptr, 22050.0f);
    call(effSetBlockSize, 0, 64);
    EXPECT_EQ(effect.getSampleRate(), 22050.0f);
    EXPECT_EQ(effect.getBlockSize(), 64);
}

TEST_F(Defaults, EditorOpcodesWithoutAnEditorAnswerZeroAndLeaveHostDataAlone) {
    ERect sentinel{};
    ERect* location = &sentinel;
    EXPECT_EQ(call(effEditGetRect, 0, 0, &location), 0);
    EXPECT_EQ(location, &sentinel);
    int window = 0;
    EXPECT_EQ(call(effEditOpen, 0, 0, &window), 0);
    EXPECT_EQ(call(effEditClose), 0);
    EXPECT_EQ(call(effEditIdle), 0);
    EXPECT_EQ(call(effEditKeyDown, 65, 65, nullptr, 0), 0);
    EXPECT_EQ(call(effEditKeyUp, 65, 65, nullptr, 0), 0);
    EXPECT_EQ(call(effSetEditKnobMode, 0, 1), 0);
}

TEST_F(Defaults, BaseEditorHandsOutNoRectangleAndIgnoresKeys) {
    effect.setEditor(new AEffEditor(&effect));
    ERect sentinel{};
    ERect* location = &sentinel;
    EXPECT_EQ(call(effEditGetRect, 0, 0, &location), 0);
    EXPECT_EQ(location, nullptr);
    int window = 0;
    EXPECT_EQ(call(effEditOpen, 0, 0, &window), 0);
    EXPECT_EQ(effect.getEditor()->getSystemWindow(), &window);
    EXPECT_EQ(call(effEditKeyDown, 65, 65), -1);  // -1 reaches the host as -1
    EXPECT_EQ(call(effEditKeyUp, 65, 65), -1);
    EXPECT_EQ(call(effSetEditKnobMode, 0, 1), 0);
}

TEST_F(Defaults, SpeakerArrangementQueryStoresNullInBothLocations) {
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* in = &dummy;
    VstSpeakerArrangement* out = &dummy;
    EXPECT_EQ(call(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&in), &out), 0);
    EXPECT_EQ(in, nullptr);
    EXPECT_EQ(out, nullptr);
}

class LoggingRates : public BareEffect {
public:
    using BareEffect::BareEffect;
    void setSampleRate(float) override { ++overridesRun; }
    void setBlockSize(VstInt32) override { ++overridesRun; }
    int overridesRun = 0;
};

TEST(DefaultsRates, BlockSizeAndSampleRateTogetherBypassTheSingleSetters) {
    LoggingRates effect;
    AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->dispatcher(record, effSetBlockSizeAndSampleRate, 0, 333, nullptr, 88200.0f),
              1);
    EXPECT_EQ(effect.overridesRun, 0);
    EXPECT_EQ(effect.getBlockSize(), 333);
    EXPECT_EQ(effect.getSampleRate(), 88200.0f);
}

TEST(CoreDispatcher, ExtendedOpcodesAnswerZeroInTheCoreClass) {
    CallLog log;
    RecordingEffect effect(log);
    struct Core : RecordingEffect {
        using RecordingEffect::RecordingEffect;
        VstIntPtr core(VstInt32 op, void* p) { return AudioEffect::dispatcher(op, 1, 1, p, 1.0f); }
    };
    Core core(log);
    char buffer[8] = {};
    for (VstInt32 op = 25; op <= 80; ++op) EXPECT_EQ(core.core(op, buffer), 0) << op;
    EXPECT_TRUE(log.entries.empty());
    // ...and the core opcodes still arrive.
    EXPECT_EQ(core.core(effGetProgram, nullptr), 42);
}

// ---- nothing unwinds into the host ---------------------------------------------------------

class ThrowingEffect : public BareEffect {
public:
    explicit ThrowingEffect(bool* destroyed) : destroyed_(destroyed) {}
    ~ThrowingEffect() override { *destroyed_ = true; }
    void process(float**, float**, VstInt32) override { throw std::runtime_error("process"); }
    void processReplacing(float**, float**, VstInt32) override { throw 1; }
    void setParameter(VstInt32, float) override { throw std::bad_alloc(); }
    float getParameter(VstInt32) override { throw std::runtime_error("get"); }
    void open() override { throw std::runtime_error("open"); }
    void close() override { throw std::runtime_error("close"); }
    VstInt32 getProgram() override { throw std::runtime_error("program"); }

private:
    bool* destroyed_;
};

TEST(EntryRoutines, ExceptionsBecomeNeutralAnswers) {
    bool destroyed = false;
    auto* effect = new ThrowingEffect(&destroyed);
    AEffect* record = effect->getAeffect();
    float sample = 0.0f;
    float* channels[] = {&sample, &sample};
    EXPECT_NO_THROW(record->process(record, channels, channels, 1));
    EXPECT_NO_THROW(record->processReplacing(record, channels, channels, 1));
    EXPECT_NO_THROW(record->setParameter(record, 0, 1.0f));
    EXPECT_EQ(record->getParameter(record, 0), 0.0f);
    EXPECT_EQ(record->dispatcher(record, effOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(record->dispatcher(record, effGetProgram, 0, 0, nullptr, 0.0f), 0);
    // A failing close still frees the effect, and the host is told it is closed.
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_TRUE(destroyed);
}

TEST(EntryRoutines, ARecordWithoutItsObjectGetsNeutralAnswers) {
    BareEffect effect;
    AEffect stray = *effect.getAeffect();
    stray.object = nullptr;
    float sample = 1.0f;
    float* channels[] = {&sample, &sample};
    EXPECT_EQ(stray.dispatcher(&stray, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(stray.dispatcher(nullptr, effGetVstVersion, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(stray.dispatcher(&stray, effClose, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(stray.getParameter(&stray, 0), 0.0f);
    stray.setParameter(nullptr, 0, 1.0f);
    stray.process(&stray, channels, channels, 1);
    stray.processReplacing(nullptr, channels, channels, 1);
    EXPECT_EQ(sample, 1.0f);
    // The real record still answers.
    AEffect* record = effect.getAeffect();
    EXPECT_EQ(record->dispatcher(record, effGetVstVersion, 0, 0, nullptr, 0.0f), 2300);
}

}  // namespace
