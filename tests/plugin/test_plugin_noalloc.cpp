// The audio path must not allocate: a heap allocation can block on a lock
// inside the allocator. This test replaces the global allocation functions
// with counting ones and runs everything the audio thread calls.
#include <atomic>
#include <cstdlib>
#include <new>

#include "plugin/PluginHarness.h"

namespace {

std::atomic<long> allocations{0};

void* countedAllocation(std::size_t size) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}

void* countedAlignedAllocation(std::size_t size, std::align_val_t align) {
    allocations.fetch_add(1, std::memory_order_relaxed);
    const auto a = static_cast<std::size_t>(align);
#if defined(_WIN32)
    void* p = _aligned_malloc(size ? size : 1, a);  // Windows has no aligned_alloc
#else
    void* p = std::aligned_alloc(a, (size + a - 1) / a * a);
#endif
    if (p != nullptr) return p;
    throw std::bad_alloc();
}

void freeAligned(void* p) {
#if defined(_WIN32)
    _aligned_free(p);
#else
    std::free(p);
#endif
}

}  // namespace

void* operator new(std::size_t size) { return countedAllocation(size); }
void* operator new[](std::size_t size) { return countedAllocation(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}
void* operator new(std::size_t size, std::align_val_t align) {
    return countedAlignedAllocation(size, align);
}
void* operator new[](std::size_t size, std::align_val_t align) {
    return countedAlignedAllocation(size, align);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, std::align_val_t) noexcept { freeAligned(p); }
void operator delete[](void* p, std::align_val_t) noexcept { freeAligned(p); }
void operator delete(void* p, std::size_t, std::align_val_t) noexcept { freeAligned(p); }
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept { freeAligned(p); }

using AudioPath = GateFixture;

TEST_F(AudioPath, CounterSeesAllocations) {
    const long before = allocations.load();
    auto* leak = new std::vector<int>(10);
    EXPECT_GE(allocations.load() - before, 2);
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

    const long before = allocations.load();
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
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_GT(host->count(audioMasterTempoAt), 0);
}
