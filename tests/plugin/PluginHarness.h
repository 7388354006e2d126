#pragma once
// Drives the effect the way a host does: created through the module's factory
// with a recording host callback, reached through its record's entry routines.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "plugin/uPlugin.h"
#include "support/RecordingHost.h"
#include "vst/DVstMain.h"

using tarnwick::test::RecordingHost;

// Four input and two output channels of n samples, zero-filled.
struct AudioBuffers {
    explicit AudioBuffers(std::size_t frames) : n(frames) {
        for (auto& c : in) c.assign(n, 0.0f);
        for (auto& c : out) c.assign(n, 0.0f);
        for (int i = 0; i < 4; ++i) inPtr[i] = in[i].data();
        for (int i = 0; i < 2; ++i) outPtr[i] = out[i].data();
    }
    std::size_t n;
    std::vector<float> in[4];
    std::vector<float> out[2];
    float* inPtr[4];
    float* outPtr[2];
};

class GateFixture : public ::testing::Test {
protected:
    void SetUp() override {
        host.reset();
        host = std::make_unique<RecordingHost>(RecordingHost::Answers::LikeAHost);
        AudioEffect* made = createEffectInstance(&RecordingHost::callback);
        ASSERT_NE(made, nullptr);
        effect = made->getAeffect();
    }
    void TearDown() override {
        if (effect) effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
        effect = nullptr;
    }

    APlugin& plugin() { return *static_cast<APlugin*>(static_cast<AudioEffect*>(effect->object)); }
    VstIntPtr dispatch(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }
    void setParameter(VstInt32 index, float value) { effect->setParameter(effect, index, value); }
    float getParameter(VstInt32 index) { return effect->getParameter(effect, index); }
    void processReplacing(AudioBuffers& b, VstInt32 frames) {
        effect->processReplacing(effect, b.inPtr, b.outPtr, frames);
    }
    void processReplacing(AudioBuffers& b) { processReplacing(b, static_cast<VstInt32>(b.n)); }
    void processAccumulating(AudioBuffers& b) {
        effect->process(effect, b.inPtr, b.outPtr, static_cast<VstInt32>(b.n));
    }
    // Shortest times (attack and release steps of 1, a hold of one step) so
    // that gate events show within a few samples.
    void setFastTimes() {
        setParameter(APlugin::kAttack, 0.0f);
        setParameter(APlugin::kHold, 0.0f);
        setParameter(APlugin::kRelease, 0.0f);
    }
    // Sends the events to the effect as the host's VstEvents list.
    VstIntPtr sendEvents(std::vector<VstMidiEvent>& events) {
        std::vector<unsigned char> storage(sizeof(VstEvents) + events.size() * sizeof(VstEvent*));
        auto* list = reinterpret_cast<VstEvents*>(storage.data());
        list->numEvents = static_cast<VstInt32>(events.size());
        for (std::size_t i = 0; i < events.size(); ++i)
            list->events[i] = reinterpret_cast<VstEvent*>(&events[i]);
        return dispatch(effProcessEvents, 0, 0, list);
    }

    std::unique_ptr<RecordingHost> host;
    AEffect* effect = nullptr;
};

inline VstMidiEvent midiEvent(VstInt32 deltaFrames, unsigned char status = 0x90,
                              unsigned char data1 = 60, unsigned char data2 = 100) {
    VstMidiEvent e{};
    e.type = kVstMidiType;
    e.byteSize = sizeof(VstMidiEvent);
    e.deltaFrames = deltaFrames;
    e.midiData[0] = static_cast<char>(status);
    e.midiData[1] = static_cast<char>(data1);
    e.midiData[2] = static_cast<char>(data2);
    return e;
}

inline bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
