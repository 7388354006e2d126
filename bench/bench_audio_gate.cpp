// Cost of the gate per sample frame, next to two floors measured in the same
// run: copying the two channels, and the least a sidechain gate can do (a
// one-pole follower on the key against a threshold, scaling both channels).
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "GateSignal.h"
#include "plugin/uPlugin.h"

namespace {

using tarnwick::bench::kRate;
using tarnwick::bench::Signal;

VstIntPtr quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterTempoAt) return 1200000;
    return 0;
}

// The audio path never reaches the editor: the gate is measured without one.
constexpr tarnwick::EditorFactory kNoEditor = nullptr;

void setUp(APlugin& gate) {
    gate.setSampleRate(static_cast<float>(kRate));
    gate.setParameter(APlugin::kAttack, 0.005f);
    gate.setParameter(APlugin::kHold, 0.02f);
    gate.setParameter(APlugin::kRelease, 0.03f);
    gate.setParameter(APlugin::kThreshold, 0.5f);
}

void report(benchmark::State& state, std::size_t frames) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames));
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations() * frames),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void runGate(benchmark::State& state, APlugin& gate, int transitionsCheck) {
    const auto frames = static_cast<std::size_t>(state.range(0));
    Signal signal;
    std::size_t pos = 0;
    float* in[4];
    float* out[2];
    int openings = 0;
    bool wasOpen = gate.gateOpen;
    for (auto _ : state) {
        signal.at(pos, frames, in, out);
        gate.processReplacing(in, out, static_cast<VstInt32>(frames));
        benchmark::DoNotOptimize(out[0]);
        benchmark::ClobberMemory();
        openings += gate.gateOpen && !wasOpen;
        wasOpen = gate.gateOpen;
    }
    if (transitionsCheck && openings == 0 && state.iterations() * frames > 4 * kRate)
        state.SkipWithError("the key never opened the gate");
    report(state, frames);
}

void BM_Gate(benchmark::State& state) {
    APlugin gate(quietHost, kNoEditor);
    setUp(gate);
    runGate(state, gate, 1);
}

void BM_GateMidiPending(benchmark::State& state) {
    APlugin gate(quietHost, kNoEditor);
    setUp(gate);
    std::vector<VstMidiEvent> events(250);
    std::vector<VstEvent*> pointers;
    for (auto& e : events) {
        e = VstMidiEvent{};
        e.type = kVstMidiType;
        e.byteSize = sizeof(VstMidiEvent);
        e.deltaFrames = 1 << 30;  // far ahead: pending for the whole run
        e.midiData[0] = static_cast<char>(0x90);
        pointers.push_back(reinterpret_cast<VstEvent*>(&e));
    }
    std::vector<unsigned char> storage(sizeof(VstEvents) + pointers.size() * sizeof(VstEvent*));
    auto* list = reinterpret_cast<VstEvents*>(storage.data());
    list->numEvents = 250;
    std::memcpy(list->events, pointers.data(), pointers.size() * sizeof(VstEvent*));
    gate.processEvents(list);
    runGate(state, gate, 1);
    if (gate.pendingMidi != 250) state.SkipWithError("events were consumed");
}

void BM_GateInactive(benchmark::State& state) {
    APlugin gate(quietHost, kNoEditor);
    setUp(gate);
    gate.setParameter(APlugin::kActive, 0.0f);
    runGate(state, gate, 0);
}

void BM_FloorCopy(benchmark::State& state) {
    const auto frames = static_cast<std::size_t>(state.range(0));
    Signal signal;
    std::size_t pos = 0;
    float* in[4];
    float* out[2];
    for (auto _ : state) {
        signal.at(pos, frames, in, out);
        std::memcpy(out[0], in[0], frames * sizeof(float));
        std::memcpy(out[1], in[1], frames * sizeof(float));
        benchmark::DoNotOptimize(out[0]);
        benchmark::ClobberMemory();
    }
    report(state, frames);
}

// The least a sidechain gate does per sample.
struct TrivialGate {
    float follower = 0.0f;
    float coefficient = 0.001f;
    float threshold = 0.5f;
    void process(float** in, float** out, std::size_t frames) {
        float f = follower;
        for (std::size_t i = 0; i < frames; ++i) {
            f += coefficient * (std::fabs(in[2][i]) - f);
            const float g = f > threshold ? 1.0f : 0.0f;
            out[0][i] = in[0][i] * g;
            out[1][i] = in[1][i] * g;
        }
        follower = f;
    }
};

void BM_FloorTrivialGate(benchmark::State& state) {
    const auto frames = static_cast<std::size_t>(state.range(0));
    Signal signal;
    TrivialGate gate;
    std::size_t pos = 0;
    float* in[4];
    float* out[2];
    for (auto _ : state) {
        signal.at(pos, frames, in, out);
        gate.process(in, out, frames);
        benchmark::DoNotOptimize(out[0]);
        benchmark::ClobberMemory();
    }
    report(state, frames);
}

}  // namespace

BENCHMARK(BM_FloorCopy)->Arg(32)->Arg(512)->Arg(4096);
BENCHMARK(BM_FloorTrivialGate)->Arg(32)->Arg(512)->Arg(4096);
BENCHMARK(BM_Gate)->Arg(32)->Arg(512)->Arg(4096);
BENCHMARK(BM_GateMidiPending)->Arg(32)->Arg(512)->Arg(4096);
BENCHMARK(BM_GateInactive)->Arg(32)->Arg(512)->Arg(4096);

BENCHMARK_MAIN();
