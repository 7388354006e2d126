// What the effect sends to the host: each wrapper's opcode and arguments, how
// the host's answer comes back, and the answers without a host.
#include <gtest/gtest.h>

#include <functional>

#include "VstTestSupport.h"

using namespace vsttest;

namespace {

struct Wrapper {
    const char* name;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    bool sendsPtr;  // the row's pointer goes out in ptr
    float opt;
    // Runs the wrapper with the given pointer argument; answers what it returned,
    // widened for comparison (booleans as 0/1, addresses as integers).
    std::function<VstIntPtr(BareEffect&, void*)> run;
    enum { Raw, NonZero, PassFlag, Nothing } answer;
};

VstIntPtr addr(const void* p) { return reinterpret_cast<VstIntPtr>(p); }

std::vector<Wrapper> wrappers() {
    using E = BareEffect;
    using W = Wrapper;
    auto text = [](void* p) { return static_cast<char*>(p); };
    return {
        {"getMasterVersion", audioMasterVersion, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getMasterVersion()}; }, W::Raw},
        {"getCurrentUniqueId", audioMasterCurrentId, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getCurrentUniqueId()}; }, W::Raw},
        {"masterIdle", audioMasterIdle, 0, 0, false, 0,
         [](E& e, void*) {
             e.masterIdle();
             return VstIntPtr{0};
         },
         W::Nothing},
        {"setParameterAutomated", audioMasterAutomate, 4, 0, false, 0.75f,
         [](E& e, void*) {
             e.setParameterAutomated(4, 0.75f);
             return VstIntPtr{0};
         },
         W::Nothing},
        {"wantEvents", audioMasterWantMidi, 0, 1, false, 0,
         [](E& e, void*) {
             e.wantEvents(1);
             return VstIntPtr{0};
         },
         W::Nothing},
        {"getTimeInfo", audioMasterGetTime, 0, 0x0A00, false, 0,
         [](E& e, void*) { return addr(e.getTimeInfo(0x0A00)); }, W::Raw},
        {"setTimeInfo", audioMasterSetTime, 0, 3, true, 0,
         [](E& e, void* p) {
             e.setTimeInfo(3, static_cast<VstTimeInfo*>(p));
             return VstIntPtr{0};
         },
         W::Nothing},
        {"tempoAt", audioMasterTempoAt, 0, 99, false, 0,
         [](E& e, void*) { return VstIntPtr{e.tempoAt(99)}; }, W::Raw},
        {"getNumAutomatableParameters", audioMasterGetNumAutomatableParameters, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getNumAutomatableParameters()}; }, W::Raw},
        {"getParameterQuantization", audioMasterGetParameterQuantization, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getParameterQuantization()}; }, W::Raw},
        {"ioChanged", audioMasterIOChanged, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.ioChanged()}; }, W::NonZero},
        {"needIdle", audioMasterNeedIdle, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.needIdle()}; }, W::NonZero},
        {"sizeWindow", audioMasterSizeWindow, 336, 157, false, 0,
         [](E& e, void*) { return VstIntPtr{e.sizeWindow(336, 157)}; }, W::NonZero},
        {"getInputLatency", audioMasterGetInputLatency, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getInputLatency()}; }, W::Raw},
        {"getOutputLatency", audioMasterGetOutputLatency, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getOutputLatency()}; }, W::Raw},
        {"getPreviousPlug", audioMasterGetPreviousPlug, 0, 0, false, 0,
         [](E& e, void*) { return addr(e.getPreviousPlug(5)); }, W::Raw},
        {"getNextPlug", audioMasterGetNextPlug, 0, 0, false, 0,
         [](E& e, void*) { return addr(e.getNextPlug(6)); }, W::Raw},
        {"willProcessReplacing", audioMasterWillReplaceOrAccumulate, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.willProcessReplacing()}; }, W::Raw},
        {"getCurrentProcessLevel", audioMasterGetCurrentProcessLevel, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getCurrentProcessLevel()}; }, W::Raw},
        {"getAutomationState", audioMasterGetAutomationState, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getAutomationState()}; }, W::Raw},
        {"offlineStart", audioMasterOfflineStart, 2, 3, true, 0,
         [](E& e, void* p) {
             return VstIntPtr{e.offlineStart(static_cast<VstAudioFile*>(p), 3, 2)};
         },
         W::NonZero},
        {"offlineRead", audioMasterOfflineRead, 1, 7, true, 0,
         [](E& e, void* p) {
             return VstIntPtr{e.offlineRead(static_cast<VstOfflineTask*>(p), 7, true)};
         },
         W::NonZero},
        {"offlineRead(source false)", audioMasterOfflineRead, 0, 7, true, 0,
         [](E& e, void* p) {
             return VstIntPtr{e.offlineRead(static_cast<VstOfflineTask*>(p), 7, false)};
         },
         W::NonZero},
        {"offlineWrite", audioMasterOfflineWrite, 0, 8, true, 0,
         [](E& e, void* p) {
             return VstIntPtr{e.offlineWrite(static_cast<VstOfflineTask*>(p), 8)};
         },
         W::NonZero},
        {"offlineGetCurrentPass", audioMasterOfflineGetCurrentPass, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.offlineGetCurrentPass()}; }, W::NonZero},
        {"offlineGetCurrentMetaPass", audioMasterOfflineGetCurrentMetaPass, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.offlineGetCurrentMetaPass()}; }, W::NonZero},
        {"setOutputSamplerate", audioMasterSetOutputSampleRate, 0, 0, false, 48000.0f,
         [](E& e, void*) {
             e.setOutputSamplerate(48000.0f);
             return VstIntPtr{0};
         },
         W::Nothing},
        {"getOutputSpeakerArrangement", audioMasterGetSpeakerArrangement, 0, 0, false, 0,
         [](E& e, void*) { return addr(e.getOutputSpeakerArrangement()); }, W::Raw},
        {"getInputSpeakerArrangement", audioMasterGetInputSpeakerArrangement, 0, 0, false, 0,
         [](E& e, void*) { return addr(e.getInputSpeakerArrangement()); }, W::Raw},
        {"getHostVendorString", audioMasterGetVendorString, 0, 0, true, 0,
         [text](E& e, void* p) { return VstIntPtr{e.getHostVendorString(text(p))}; }, W::NonZero},
        {"getHostProductString", audioMasterGetProductString, 0, 0, true, 0,
         [text](E& e, void* p) { return VstIntPtr{e.getHostProductString(text(p))}; }, W::NonZero},
        {"getHostVendorVersion", audioMasterGetVendorVersion, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getHostVendorVersion()}; }, W::Raw},
        {"hostVendorSpecific", audioMasterVendorSpecific, 11, -12, true, 2.5f,
         [](E& e, void* p) { return e.hostVendorSpecific(11, -12, p, 2.5f); }, W::Raw},
        {"canHostDo", audioMasterCanDo, 0, 0, true, 0,
         [text](E& e, void* p) { return VstIntPtr{e.canHostDo(text(p))}; }, W::Raw},
        {"getHostLanguage", audioMasterGetLanguage, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.getHostLanguage()}; }, W::Raw},
        {"openWindow", audioMasterOpenWindow, 0, 0, true, 0,
         [](E& e, void* p) { return addr(e.openWindow(static_cast<VstWindow*>(p))); }, W::Raw},
        {"closeWindow", audioMasterCloseWindow, 0, 0, true, 0,
         [](E& e, void* p) { return VstIntPtr{e.closeWindow(static_cast<VstWindow*>(p))}; },
         W::NonZero},
        {"getDirectory", audioMasterGetDirectory, 0, 0, false, 0,
         [](E& e, void*) { return addr(e.getDirectory()); }, W::Raw},
        {"updateDisplay", audioMasterUpdateDisplay, 0, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.updateDisplay()}; }, W::NonZero},
        {"beginEdit", audioMasterBeginEdit, 3, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.beginEdit(3)}; }, W::NonZero},
        {"endEdit", audioMasterEndEdit, 4, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.endEdit(4)}; }, W::NonZero},
        {"openFileSelector", audioMasterOpenFileSelector, 0, 0, true, 0,
         [](E& e, void* p) {
             return VstIntPtr{e.openFileSelector(static_cast<VstFileSelect*>(p))};
         },
         W::NonZero},
        {"isInputConnected", audioMasterPinConnected, 2, 0, false, 0,
         [](E& e, void*) { return VstIntPtr{e.isInputConnected(2)}; }, W::PassFlag},
        {"isOutputConnected", audioMasterPinConnected, 1, 1, false, 0,
         [](E& e, void*) { return VstIntPtr{e.isOutputConnected(1)}; }, W::PassFlag},
    };
}

TEST(HostCalls, EachWrapperSendsItsOpcodeAndArgumentsAndReadsTheAnswer) {
    alignas(16) char payload[256] = {};
    for (const VstIntPtr hostAnswer : {VstIntPtr{0}, VstIntPtr{5}, VstIntPtr{-1}}) {
        for (const Wrapper& w : wrappers()) {
            SCOPED_TRACE(std::string(w.name) + " answer " + std::to_string(hostAnswer));
            RecordingHost host;
            host.defaultAnswer = hostAnswer;
            BareEffect effect(RecordingHost::callback);
            const VstIntPtr result = w.run(effect, payload);
            ASSERT_EQ(host.calls().size(), 1u);
            const HostCall& c = host.calls()[0];
            EXPECT_EQ(c.effect, effect.getAeffect());
            EXPECT_EQ(c.opcode, w.opcode);
            EXPECT_EQ(c.index, w.index);
            EXPECT_EQ(c.value, w.value);
            EXPECT_EQ(c.ptr, w.sendsPtr ? static_cast<void*>(payload) : nullptr);
            EXPECT_EQ(c.opt, w.opt);
            switch (w.answer) {
                case Wrapper::Raw:
                    // getMasterVersion alone turns a 0 answer into 1.
                    if (w.opcode == audioMasterVersion && hostAnswer == 0)
                        EXPECT_EQ(result, 1);
                    else
                        EXPECT_EQ(result, hostAnswer);
                    break;
                case Wrapper::NonZero: EXPECT_EQ(result, hostAnswer != 0 ? 1 : 0); break;
                case Wrapper::PassFlag: EXPECT_EQ(result, hostAnswer == 0 ? 1 : 0); break;
                case Wrapper::Nothing: break;
            }
        }
    }
}

TEST(HostCalls, WithoutAHostEveryWrapperAnswersItsDefault) {
    RecordingHost host;  // installed, but the effect has no callback
    alignas(16) char payload[256] = {};
    for (const Wrapper& w : wrappers()) {
        SCOPED_TRACE(w.name);
        BareEffect effect(nullptr);
        const VstIntPtr result = w.run(effect, payload);
        if (w.opcode == audioMasterVersion || w.answer == Wrapper::PassFlag)
            EXPECT_EQ(result, 1);  // version 1, pins connected
        else
            EXPECT_EQ(result, 0);
    }
    EXPECT_TRUE(host.calls().empty());
}

TEST(HostCalls, ParameterAutomationRunsTheOverrideThenTellsTheHost) {
    RecordingHost host;
    CallLog log;
    RecordingEffect effect(log, nullptr, RecordingHost::callback);
    effect.setParameterAutomated(2, 0.3f);
    EXPECT_EQ(log.entries, std::vector<std::string>{"setParameter(2,0.3)"});
    ASSERT_EQ(host.calls().size(), 1u);
    EXPECT_EQ(host.calls()[0].opcode, audioMasterAutomate);
    EXPECT_EQ(host.calls()[0].opt, 0.3f);
    // The host's own change through the record is not echoed back.
    host.clear();
    AEffect* record = effect.getAeffect();
    record->setParameter(record, 1, 0.9f);
    EXPECT_TRUE(host.calls().empty());
}

TEST(HostCalls, FileSelectorIsNotAskedForWithoutARecord) {
    RecordingHost host;
    host.defaultAnswer = 1;
    BareEffect effect(RecordingHost::callback);
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_TRUE(host.calls().empty());
}

TEST(HostCalls, SampleRateAndBlockSizeFollowOnlyPositiveHostAnswers) {
    RecordingHost host;
    BareEffect effect(RecordingHost::callback);
    for (VstIntPtr answer : {VstIntPtr{0}, VstIntPtr{-48000}}) {
        host.setAnswer(audioMasterGetSampleRate, answer);
        host.setAnswer(audioMasterGetBlockSize, answer);
        EXPECT_EQ(effect.updateSampleRate(), 44100.0);
        EXPECT_EQ(effect.updateBlockSize(), 1024);
    }
    host.setAnswer(audioMasterGetSampleRate, 96000);
    host.setAnswer(audioMasterGetBlockSize, 128);
    EXPECT_EQ(effect.updateSampleRate(), 96000.0);
    EXPECT_EQ(effect.updateBlockSize(), 128);
    EXPECT_EQ(effect.getSampleRate(), 96000.0f);

    BareEffect alone(nullptr);
    alone.setSampleRate(32000.0f);
    EXPECT_EQ(alone.updateSampleRate(), 32000.0);
    EXPECT_EQ(alone.updateBlockSize(), 1024);
}

TEST(HostCalls, SampleRateFromTheHostGoesThroughTheOverride) {
    struct Counting : BareEffect {
        using BareEffect::BareEffect;
        void setSampleRate(float r) override {
            ++calls;
            BareEffect::setSampleRate(r);
        }
        int calls = 0;
    };
    RecordingHost host;
    host.setAnswer(audioMasterGetSampleRate, 22050);
    Counting effect(RecordingHost::callback);
    EXPECT_EQ(effect.updateSampleRate(), 22050.0);
    EXPECT_EQ(effect.calls, 1);
}

}  // namespace
