// The LV2 plug-in against the VST 2 module, both binaries loaded as hosts
// load them and fed the same blocks and values; and the adapter's run, which
// must not allocate.
#include <gtest/gtest.h>
#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

#include "lv2/GateInstance.h"
#include "support/AllocationCounter.h"
#include "support/LoadedModule.h"
#include "vst/DAEffect.h"

namespace {

using namespace tarnwick::lv2;
using tarnwick::test::ModuleSymbol;
using tarnwick::test::OpenModule;

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

VstIntPtr plainHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Signal, key with bursts that open and close the gate, and a few key
// samples that are not finite.
std::vector<std::vector<float>> inputs(std::size_t frames, double rate) {
    std::vector<std::vector<float>> in(4, std::vector<float>(frames));
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        in[0][i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 220 * t));
        in[1][i] = static_cast<float>(0.4 * std::sin(2 * M_PI * 331 * t));
        const float burst = static_cast<float>((i / 3000) % 3) * 0.3f;
        in[2][i] = burst * static_cast<float>(std::sin(2 * M_PI * 60 * t));
        in[3][i] = burst * static_cast<float>(std::cos(2 * M_PI * 97 * t));
    }
    in[2][frames / 3] = kNaN;
    in[3][frames / 2] = kInf;
    return in;
}

// Rows of control values, one row per block in turn: ordinary values, and
// what a careless host may send.
const std::vector<std::vector<float>> kRows = {
    {0.1f, 0.1f, 0.1f, 0.5f, 0.0f, 1.0f},      {0.01f, 0.0f, 0.05f, 0.3f, 0.0f, 1.0f},
    {kNaN, 0.2f, kInf, 0.25f, 0.7f, 1.0f},     {-kInf, -0.5f, 1.5f, 2.0f, 0.4f, 1.0f},
    {0.02f, 1e-40f, 0.5f, 0.1f, 1.0f, 0.51f},  {0.3f, 0.01f, 0.01f, kNaN, 0.0f, 0.49f},
    {0.005f, 0.02f, 0.03f, 0.35f, 0.0f, 1.0f},
};

TEST(Lv2Gate, ProcessesBitForBitAsTheVst2Module) {
    void* lv2Module = OpenModule(TARNWICK_LV2_BINARY);
    void* vstModule = OpenModule(TARNWICK_VST_MODULE);
    ASSERT_TRUE(lv2Module && vstModule) << tarnwick::test::ModuleError();
    auto lv2Entry =
        reinterpret_cast<LV2_Descriptor_Function>(ModuleSymbol(lv2Module, "lv2_descriptor"));
    auto vstEntry = reinterpret_cast<AEffect* (*)(audioMasterCallback)>(
        ModuleSymbol(vstModule, "VSTPluginMain"));
    ASSERT_TRUE(lv2Entry && vstEntry);
    const LV2_Descriptor* d = lv2Entry(0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->URI, kPluginUri);
    EXPECT_EQ(lv2Entry(1), nullptr);

    for (double rate : {44100.0, 96000.0}) {
        SCOPED_TRACE(rate);
        const std::size_t frames = 60000;
        const auto in = inputs(frames, rate);
        std::vector<std::vector<float>> lv2Out(2, std::vector<float>(frames));
        std::vector<std::vector<float>> vstOut(2, std::vector<float>(frames));

        LV2_Handle h = d->instantiate(d, rate, "file:///nowhere/", nullptr);
        ASSERT_NE(h, nullptr);
        float controls[kNumControls] = {};
        float keyLevel = -1.0f;
        for (std::uint32_t i = 0; i < kNumControls; ++i)
            d->connect_port(h, kFirstControl + i, &controls[i]);
        d->connect_port(h, kKeyLevel, &keyLevel);
        d->connect_port(h, 99, &keyLevel);  // no such port: ignored
        d->activate(h);

        const auto openVst = [&] {
            AEffect* e = vstEntry(plainHost);
            e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
            e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
            e->dispatcher(e, effSetBlockSize, 0, 4096, nullptr, 0.0f);
            e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
            return e;
        };
        const auto closeVst = [](AEffect* e) {
            e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
            e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
        };
        AEffect* e = openVst();

        // Blocks of changing sizes; every other one in place, as LV2 allows.
        std::vector<std::vector<float>> io(2, std::vector<float>(4096));
        const std::size_t sizes[] = {1, 64, 511, 4096, 7, 1000};
        std::size_t pos = 0;
        for (std::size_t b = 0; pos < frames; ++b) {
            const std::size_t n = std::min(sizes[b % std::size(sizes)], frames - pos);
            const auto& row = kRows[b % kRows.size()];
            for (std::uint32_t i = 0; i < kNumControls; ++i) {
                controls[i] = row[i];
                e->setParameter(e, static_cast<VstInt32>(i), row[i]);
            }
            float* vin[4] = {};
            for (int c = 0; c < 4; ++c) vin[c] = const_cast<float*>(in[c].data() + pos);
            float* vout[2] = {vstOut[0].data() + pos, vstOut[1].data() + pos};
            e->processReplacing(e, vin, vout, static_cast<VstInt32>(n));

            const bool inPlace = b % 2 == 1;
            for (int c = 0; c < 2; ++c) {
                float* out = inPlace ? io[c].data() : lv2Out[c].data() + pos;
                if (inPlace) std::memcpy(out, vin[c], n * sizeof(float));
                d->connect_port(h, kSignalLeft + c, inPlace ? out : vin[c]);
                d->connect_port(h, kKeyLeft + c, vin[2 + c]);
                d->connect_port(h, kOutLeft + c, out);
            }
            d->run(h, static_cast<std::uint32_t>(n));
            if (inPlace)
                for (int c = 0; c < 2; ++c)
                    std::memcpy(lv2Out[c].data() + pos, io[c].data(), n * sizeof(float));
            EXPECT_GE(keyLevel, 0.0f);
            EXPECT_LE(keyLevel, 1.0f);
            pos += n;
        }
        for (int c = 0; c < 2; ++c) {
            EXPECT_EQ(std::memcmp(lv2Out[c].data(), vstOut[c].data(), frames * sizeof(float)), 0)
                << "channel " << c;
        }
        // The meter's port: the key's peak while it sounds, falling to 0 after it.
        std::vector<float> silence(4096, 0.0f);
        for (std::uint32_t port : {kSignalLeft, kSignalRight, kKeyLeft, kKeyRight})
            d->connect_port(h, port, silence.data());
        EXPECT_GT(keyLevel, 0.0f);
        d->run(h, 4096);
        EXPECT_EQ(keyLevel, 0.0f);
        closeVst(e);

        // Activated again, it starts afresh, as a new VST 2 effect does.
        d->deactivate(h);
        d->activate(h);
        e = openVst();
        for (std::uint32_t i = 0; i < kNumControls; ++i) e->setParameter(e, i, controls[i]);
        float* vin[4] = {};
        for (int c = 0; c < 4; ++c) vin[c] = const_cast<float*>(in[c].data());
        float* vout[2] = {vstOut[0].data(), vstOut[1].data()};
        e->processReplacing(e, vin, vout, 4096);
        for (int c = 0; c < 4; ++c) d->connect_port(h, kSignalLeft + c, vin[c]);
        d->connect_port(h, kOutLeft, lv2Out[0].data());
        d->connect_port(h, kOutRight, lv2Out[1].data());
        d->run(h, 4096);
        for (int c = 0; c < 2; ++c)
            EXPECT_EQ(std::memcmp(lv2Out[c].data(), vstOut[c].data(), 4096 * sizeof(float)), 0);
        closeVst(e);
        // A missing buffer: the block is skipped, nothing is written.
        d->connect_port(h, kKeyRight, nullptr);
        lv2Out[0][0] = 7.0f;
        d->connect_port(h, kOutLeft, lv2Out[0].data());
        d->run(h, 16);
        EXPECT_EQ(lv2Out[0][0], 7.0f);

        d->deactivate(h);
        d->cleanup(h);
    }
}

TEST(Lv2Gate, RunAllocatesNothing) {
    const long beforeMaking = tarnwick::test::Allocations();
    GateInstance gate(48000.0);
    EXPECT_GT(tarnwick::test::Allocations(),
              beforeMaking);  // the counter sees the effect being made
    const auto in = inputs(2048, 48000.0);
    std::vector<float> out(2 * 2048);
    float controls[kNumControls] = {};
    float keyLevel = 0.0f;
    for (int c = 0; c < 4; ++c) gate.connect(kSignalLeft + c, const_cast<float*>(in[c].data()));
    gate.connect(kOutLeft, out.data());
    gate.connect(kOutRight, out.data() + 2048);
    for (std::uint32_t i = 0; i < kNumControls; ++i) gate.connect(kFirstControl + i, &controls[i]);
    gate.connect(kKeyLevel, &keyLevel);
    gate.activate();

    // Runs with every row of values, in a first activation and (the effect
    // made anew, which may allocate) in a second.
    long during = 0;
    for (int activation = 0; activation < 2; ++activation) {
        const long before = tarnwick::test::Allocations();
        for (std::size_t round = 0; round < 3 * kRows.size(); ++round) {
            const auto& row = kRows[round % kRows.size()];
            std::copy(row.begin(), row.end(), controls);
            gate.run(static_cast<std::uint32_t>(1 + round * 97 % 2048));
        }
        during += tarnwick::test::Allocations() - before;
        gate.deactivate();
        gate.activate();
    }
    EXPECT_EQ(during, 0);
}

}  // namespace
