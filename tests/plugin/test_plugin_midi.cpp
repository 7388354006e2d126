// MIDI intake and consumption: events are queued in 250 slots and each is
// consumed at the sample its delay points to, counting on across blocks.
#include <random>

#include "plugin/PluginHarness.h"

using Midi = GateFixture;

namespace {

// The queue as a plain model: every sample with events pending counts every
// occupied slot down and frees the ones that reach 0.
struct QueueModel {
    int delay[APlugin::kNumMidiSlots];
    int pending = 0;
    QueueModel() {
        for (int& d : delay) d = -99;
    }
    void add(VstInt32 deltaFrames) {
        int slot = 1;
        while (slot < APlugin::kNumMidiSlots && delay[slot] != -99) ++slot;
        if (slot == APlugin::kNumMidiSlots || pending >= 250) return;
        ++pending;
        delay[slot] = deltaFrames < 0 ? 0 : deltaFrames;
    }
    void sample() {
        if (pending <= 0) return;
        for (int slot = 1; slot < APlugin::kNumMidiSlots; ++slot) {
            if (delay[slot] > 0) --delay[slot];
            if (delay[slot] == 0) {
                --pending;
                delay[slot] = -99;
            }
        }
    }
};

}  // namespace

TEST_F(Midi, EventIsConsumedAtSampleDeltaMinusOne) {
    std::vector<VstMidiEvent> events = {midiEvent(5)};
    EXPECT_EQ(sendEvents(events), 1);
    EXPECT_EQ(plugin().pendingMidi, 1);
    AudioBuffers b(4);
    processReplacing(b);  // samples 0..3
    EXPECT_EQ(plugin().pendingMidi, 1);
    AudioBuffers one(1);
    processReplacing(one);  // sample 4 = 5 - 1
    EXPECT_EQ(plugin().pendingMidi, 0);
}

TEST_F(Midi, DelaysCountOnAcrossBlocks) {
    std::vector<VstMidiEvent> events = {midiEvent(10), midiEvent(0), midiEvent(1), midiEvent(3)};
    sendEvents(events);
    AudioBuffers b(3);
    const int expectedAfterBlock[] = {1, 1, 1, 0};  // 0 and 1 at sample 0, 3 at 2, 10 at 9
    for (int block = 0; block < 4; ++block) {
        processReplacing(b);
        EXPECT_EQ(plugin().pendingMidi, expectedAfterBlock[block]) << block;
    }
}

TEST_F(Midi, SlotIsFreedAndReused) {
    std::vector<VstMidiEvent> events = {midiEvent(2, 0x80), midiEvent(4, 0xB0)};
    sendEvents(events);
    APlugin& p = plugin();
    EXPECT_EQ(p.midiSlots[0].deltaFrames, -99);  // slot 0 is never used
    EXPECT_NE(p.midiSlots[1].deltaFrames, -99);
    EXPECT_EQ(static_cast<unsigned char>(p.midiSlots[1].midiData[0]), 0x80);
    EXPECT_EQ(p.midiSlots[1].reserved1, 99);
    EXPECT_NE(p.midiSlots[2].deltaFrames, -99);
    AudioBuffers two(2);
    processReplacing(two);
    EXPECT_EQ(p.midiSlots[1].deltaFrames, -99);
    EXPECT_EQ(p.pendingMidi, 1);
    std::vector<VstMidiEvent> more = {midiEvent(1, 0xE0)};
    sendEvents(more);
    EXPECT_EQ(static_cast<unsigned char>(p.midiSlots[1].midiData[0]), 0xE0);  // the first free slot
}

TEST_F(Midi, OtherEventTypesAreIgnored) {
    std::vector<VstMidiEvent> events = {midiEvent(1), midiEvent(1), midiEvent(1)};
    events[0].type = kVstSysExType;
    events[2].type = 0;
    EXPECT_EQ(sendEvents(events), 1);
    EXPECT_EQ(plugin().pendingMidi, 1);
}

TEST_F(Midi, SurplusBeyondTwoHundredFiftyIsDropped) {
    std::vector<VstMidiEvent> events;
    for (int i = 0; i < 260; ++i) events.push_back(midiEvent(1000 + i));
    EXPECT_EQ(sendEvents(events), 1);
    EXPECT_EQ(plugin().pendingMidi, 250);
    std::vector<VstMidiEvent> late = {midiEvent(1)};
    EXPECT_EQ(sendEvents(late), 1);
    EXPECT_EQ(plugin().pendingMidi, 250);
    // The dropped ones never come: the last accepted one goes at sample 1248.
    AudioBuffers b(1248);
    processReplacing(b);
    EXPECT_EQ(plugin().pendingMidi, 1);
    AudioBuffers one(1);
    processReplacing(one);
    EXPECT_EQ(plugin().pendingMidi, 0);
}

TEST_F(Midi, NegativeDelaysAreConsumedAtTheNextSample) {
    // -99 is also the free-slot mark: it must neither leak a pending count
    // nor hide the event.
    std::vector<VstMidiEvent> events = {midiEvent(-1), midiEvent(-99), midiEvent(-2147483647 - 1)};
    sendEvents(events);
    EXPECT_EQ(plugin().pendingMidi, 3);
    AudioBuffers one(1);
    processReplacing(one);
    EXPECT_EQ(plugin().pendingMidi, 0);
    // All 250 slots are available again.
    std::vector<VstMidiEvent> full;
    for (int i = 0; i < 250; ++i) full.push_back(midiEvent(5));
    sendEvents(full);
    EXPECT_EQ(plugin().pendingMidi, 250);
}

TEST_F(Midi, MidiIsInaudible) {
    setFastTimes();
    AudioBuffers quiet(512), busy(512);
    for (AudioBuffers* b : {&quiet, &busy}) {
        for (std::size_t i = 0; i < 512; ++i) {
            b->in[0][i] = 0.5f;
            b->in[1][i] = 0.25f;
            b->in[2][i] = (i / 50) % 2 ? 0.7f : 0.0f;
        }
    }
    processReplacing(quiet);
    TearDown();
    SetUp();
    setFastTimes();
    std::vector<VstMidiEvent> events;
    for (unsigned status : {0x80u, 0x90u, 0xA0u, 0xB0u, 0xC0u, 0xD0u, 0xE0u, 0xF0u})
        for (unsigned char velocity : {0, 64, 127})
            events.push_back(midiEvent(static_cast<VstInt32>(events.size() * 7),
                                       static_cast<unsigned char>(status), 60, velocity));
    sendEvents(events);
    processReplacing(busy);
    EXPECT_EQ(plugin().pendingMidi, 0);
    EXPECT_EQ(busy.out[0], quiet.out[0]);
    EXPECT_EQ(busy.out[1], quiet.out[1]);
}

TEST_F(Midi, NullOrEmptyListsAreHarmless) {
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, nullptr), 0);
    std::vector<VstMidiEvent> none;
    EXPECT_EQ(sendEvents(none), 1);
    VstEvents withHole{};
    withHole.numEvents = 1;
    withHole.events[0] = nullptr;
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, &withHole), 1);
    VstEvents negative{};
    negative.numEvents = -5;
    EXPECT_EQ(dispatch(effProcessEvents, 0, 0, &negative), 1);
    EXPECT_EQ(plugin().pendingMidi, 0);
}

TEST_F(Midi, ConsumptionMatchesThePerSampleScan) {
    // Random batches and blocks (blocks of one sample included), in both
    // processing modes and with the gate switched off at times: the pending
    // count after every block is the one the slot-by-slot scan gives.
    std::mt19937 rng(29);
    std::uniform_int_distribution<int> blockSize(0, 90);
    std::uniform_int_distribution<int> batch(0, 40);
    std::uniform_int_distribution<int> delay(-3, 400);
    std::uniform_int_distribution<int> coin(0, 9);
    QueueModel model;
    AudioBuffers b(90);
    for (int round = 0; round < 3000; ++round) {
        if (coin(rng) < 3) {
            std::vector<VstMidiEvent> events;
            const int n = batch(rng);
            for (int i = 0; i < n; ++i) {
                events.push_back(midiEvent(delay(rng)));
                model.add(events.back().deltaFrames);
            }
            ASSERT_EQ(sendEvents(events), 1);
        }
        if (coin(rng) == 0) setParameter(APlugin::kActive, coin(rng) < 5 ? 0.0f : 1.0f);
        const int frames = coin(rng) < 2 ? 1 : blockSize(rng);
        if (coin(rng) < 5)
            processReplacing(b, frames);
        else
            effect->process(effect, b.inPtr, b.outPtr, frames);
        for (int i = 0; i < frames; ++i) model.sample();
        ASSERT_EQ(plugin().pendingMidi, model.pending) << "round " << round;
        for (int slot = 1; slot < APlugin::kNumMidiSlots; ++slot)
            ASSERT_EQ(plugin().midiSlots[slot].deltaFrames == -99, model.delay[slot] == -99)
                << slot;
    }
}

TEST_F(Midi, DispatchMidiIsOneSampleOfTheScan) {
    std::vector<VstMidiEvent> events = {midiEvent(3), midiEvent(1)};
    sendEvents(events);
    APlugin& p = plugin();
    p.DispatchMidi();
    EXPECT_EQ(p.pendingMidi, 1);
    p.DispatchMidi();
    EXPECT_EQ(p.pendingMidi, 1);
    p.DispatchMidi();
    EXPECT_EQ(p.pendingMidi, 0);
    p.DispatchMidi();  // nothing pending: nothing counted
    EXPECT_EQ(p.pendingMidi, 0);
    std::vector<VstMidiEvent> next = {midiEvent(2)};
    sendEvents(next);
    p.DispatchMidi();
    EXPECT_EQ(p.pendingMidi, 1);
    AudioBuffers one(1);
    processReplacing(one);
    EXPECT_EQ(p.pendingMidi, 0);
}
