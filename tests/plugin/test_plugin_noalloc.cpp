// The audio path must not allocate: a heap allocation can block on a lock
// inside the allocator. This test counts the allocations (the global
// allocation functions replaced with counting ones) while it runs
// everything the audio thread calls.
#include "plugin/PluginHarness.h"
#include "support/AllocationCounter.h"

using AudioPath = GateFixture;

TEST_F(AudioPath, CounterSeesAllocations) {
    const long before = tarnwick::test::Allocations();
    auto* leak = new std::vector<int>(10);
    EXPECT_GE(tarnwick::test::Allocations() - before, 2);
    delete leak;
}

TEST_F(AudioPath, ProcessingEventsAndParametersAllocateNothing) {
    AudioBuffers b(512);
    for (std::size_t i = 0; i < b.n; ++i) {
        b.in[0][i] = 0.3f;
        b.in[1][i] = -0.3f;
        b.in[2][i] = (i / 64) % 2 ? 0.9f : 0.0f;
    }
    std::vector<VstMidiEvent> midi;
    for (int i = 0; i < 300; ++i) midi.push_back(midiEvent(i % 700 - 5));
    std::vector<unsigned char> storage(sizeof(VstEvents) + midi.size() * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = static_cast<VstInt32>(midi.size());
    for (std::size_t i = 0; i < midi.size(); ++i)
        list->events[i] = reinterpret_cast<VstEvent*>(&midi[i]);

    const long before = tarnwick::test::Allocations();
    for (int round = 0; round < 8; ++round) {
        effect->dispatcher(effect, effProcessEvents, 0, 0, list, 0.0f);
        plugin().processEvents(list);
        effect->processReplacing(effect, b.inPtr, b.outPtr, 512);
        effect->process(effect, b.inPtr, b.outPtr, 333);
        plugin().processReplacing(b.inPtr, b.outPtr, 17);
        plugin().process(b.inPtr, b.outPtr, 1);
        for (VstInt32 index = -1; index <= 6; ++index) {
            effect->setParameter(effect, index, 0.1f * static_cast<float>(round));
            plugin().setParameter(index, 0.9f);
        }
        // Switching the gate off takes the pass-through path.
        effect->setParameter(effect, APlugin::kActive, round % 2 ? 1.0f : 0.0f);
        // Program names go between threads without allocating on either side.
        char name[kVstMaxProgNameLen + 1] = "Renamed";
        effect->dispatcher(effect, effSetProgramName, 0, 0, name, 0.0f);
        effect->dispatcher(effect, effGetProgramName, 0, 0, name, 0.0f);
        effect->dispatcher(effect, effGetProgramNameIndexed, round, 0, name, 0.0f);
    }
    EXPECT_EQ(tarnwick::test::Allocations() - before, 0);
    EXPECT_GT(host->count(audioMasterTempoAt), 0);
}
