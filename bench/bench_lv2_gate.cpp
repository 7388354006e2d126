// The LV2 plug-in's run against the VST 2 module's processReplacing, both
// binaries loaded as hosts load them and fed the same blocks with the same
// settings, in one run: the adapter's share (reading six control ports and
// writing the key level) should stay within a few per cent.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <lv2/core/lv2.h>

#include <cmath>
#include <vector>

#include "lv2/GatePorts.h"
#include "vst/DAEffect.h"

namespace {

using namespace tarnwick::lv2;

constexpr int kRate = 44100;
// Settings that open and close the gate on the key's bursts.
constexpr float kSettings[kNumControls] = {0.005f, 0.02f, 0.03f, 0.5f, 0.0f, 1.0f};

VstIntPtr plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Two seconds of signal and key, the key bursting four times a second; the
// blocks wrap so they stay whole.
struct Signal {
    Signal() : channel(4, std::vector<float>(2 * kRate)), out(2, std::vector<float>(8192)) {
        for (std::size_t i = 0; i < channel[0].size(); ++i) {
            const double t = static_cast<double>(i) / kRate;
            channel[0][i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 220 * t));
            channel[1][i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 330 * t));
            const bool burst = (i % (kRate / 4)) < kRate / 20;
            channel[2][i] = burst ? static_cast<float>(0.9 * std::sin(2 * M_PI * 60 * t)) : 0.0f;
            channel[3][i] = burst ? static_cast<float>(0.3 * std::sin(2 * M_PI * 90 * t)) : 0.0f;
        }
    }
    void at(std::size_t& pos, std::size_t frames, float** in, float** outs) {
        if (pos + frames > channel[0].size()) pos = 0;
        for (int c = 0; c < 4; ++c) in[c] = channel[c].data() + pos;
        for (int c = 0; c < 2; ++c) outs[c] = out[c].data();
        pos += frames;
    }
    std::vector<std::vector<float>> channel;
    std::vector<std::vector<float>> out;
};

// One signal for both, so that both read and write the same addresses: how
// buffers lie against each other and the effect moves such a loop by more
// than the adapter costs.
Signal& sharedSignal() {
    static Signal signal;
    return signal;
}

void report(benchmark::State& state, std::size_t frames) {
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
    const auto frames = static_cast<std::size_t>(state.range(0));
    Signal& signal = sharedSignal();
    std::size_t pos = 0;
    float* in[4];
    float* out[2];
    for (auto _ : state) {
        signal.at(pos, frames, in, out);
        e->processReplacing(e, in, out, static_cast<VstInt32>(frames));
        benchmark::DoNotOptimize(out[0]);
        benchmark::ClobberMemory();
    }
    report(state, frames);
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
    const auto frames = static_cast<std::size_t>(state.range(0));
    Signal& signal = sharedSignal();
    std::size_t pos = 0;
    float* in[4];
    float* out[2];
    for (auto _ : state) {
        // A host connects the buffers of each cycle before running it.
        signal.at(pos, frames, in, out);
        for (std::uint32_t c = 0; c < 4; ++c) d->connect_port(h, kSignalLeft + c, in[c]);
        d->connect_port(h, kOutLeft, out[0]);
        d->connect_port(h, kOutRight, out[1]);
        d->run(h, static_cast<std::uint32_t>(frames));
        benchmark::DoNotOptimize(out[0]);
        benchmark::ClobberMemory();
    }
    report(state, frames);
    d->deactivate(h);
    d->cleanup(h);
}

}  // namespace

BENCHMARK(BM_Vst2ProcessReplacing)->Arg(32)->Arg(512)->Arg(4096);
BENCHMARK(BM_Lv2Run)->Arg(32)->Arg(512)->Arg(4096);

BENCHMARK_MAIN();
