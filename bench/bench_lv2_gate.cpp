// The LV2 plug-in's run against the VST 2 module's processReplacing, both
// binaries loaded as hosts load them and fed the same blocks with the same
// settings, in one run: the adapter's share (reading six control ports and
// writing the key level) should stay within a few per cent.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <cmath>
#include <vector>

#include "GateSignal.h"
#include "lv2/GatePorts.h"
#include "vst/DAEffect.h"

namespace {

using namespace tarnwick::lv2;

using tarnwick::bench::kRate;
using tarnwick::bench::Signal;

// Settings that open and close the gate on the key's bursts.
constexpr float kSettings[kNumControls] = {0.005f, 0.02f, 0.03f, 0.5f, 0.0f, 1.0f};

VstIntPtr plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// One signal for both, so that both read and write the same addresses: how
// buffers lie against each other and the effect moves such a loop by more
// than the adapter costs.
Signal& sharedSignal() {
    static Signal signal;
    return signal;
}

// Runs Process(in, out, frames) on each block of the shared signal, in
// blocks of the benchmark's argument, and reports the rate per frame.
template <class Process>
void runBlocks(benchmark::State& state, Process&& process) {
    const auto frames = static_cast<std::size_t>(state.range(0));
    Signal& signal = sharedSignal();
    std::size_t pos = 0;
    float* in[4];
    float* out[2];
    for (auto _ : state) {
        signal.at(pos, frames, in, out);
        process(in, out, frames);
        benchmark::DoNotOptimize(out[0]);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * frames));
    state.counters["per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations() * frames),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void* symbol(benchmark::State& state, const char* path, const char* name) {
    void* module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    void* entry = module ? dlsym(module, name) : nullptr;
    if (!entry) state.SkipWithError((std::string("cannot load ") + path).c_str());
    return entry;
}

void BM_Vst2ProcessReplacing(benchmark::State& state) {
    auto entry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
        symbol(state, TARNWICK_VST_MODULE, "VSTPluginMain"));
    if (!entry) return;
    AEffect* e = entry(plainHost);
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    for (VstInt32 i = 0; i < static_cast<VstInt32>(kNumControls); ++i)
        e->setParameter(e, i, kSettings[i]);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    runBlocks(state, [e](float** in, float** out, std::size_t frames) {
        e->processReplacing(e, in, out, static_cast<VstInt32>(frames));
    });
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
}

void BM_Lv2Run(benchmark::State& state) {
    auto entry = reinterpret_cast<LV2_Descriptor_Function>(
        symbol(state, TARNWICK_LV2_BINARY, "lv2_descriptor"));
    if (!entry) return;
    const LV2_Descriptor* d = entry(0);
    LV2_Handle h = d->instantiate(d, kRate, "", nullptr);
    float controls[kNumControls];
    float keyLevel = 0.0f;
    for (std::uint32_t i = 0; i < kNumControls; ++i) {
        controls[i] = kSettings[i];
        d->connect_port(h, kFirstControl + i, &controls[i]);
    }
    d->connect_port(h, kKeyLevel, &keyLevel);
    d->activate(h);
    runBlocks(state, [d, h](float** in, float** out, std::size_t frames) {
        // A host connects the buffers of each cycle before running it.
        for (std::uint32_t c = 0; c < 4; ++c) d->connect_port(h, kSignalLeft + c, in[c]);
        d->connect_port(h, kOutLeft, out[0]);
        d->connect_port(h, kOutRight, out[1]);
        d->run(h, static_cast<std::uint32_t>(frames));
    });
    d->deactivate(h);
    d->cleanup(h);
}

}  // namespace

BENCHMARK(BM_Vst2ProcessReplacing)->Arg(32)->Arg(512)->Arg(4096);
BENCHMARK(BM_Lv2Run)->Arg(32)->Arg(512)->Arg(4096);

BENCHMARK_MAIN();
