// The gate's audio behaviour through the host's processing routines.
#include <cmath>
#include <limits>
#include <random>

#include "plugin/PluginHarness.h"

using Gate = GateFixture;

namespace {

void fill(std::vector<float>& channel, float value) {
    std::fill(channel.begin(), channel.end(), value);
}

}  // namespace

TEST_F(Gate, AsksForTheTempoEveryBlock) {
    host->clear();
    host->setAnswer(audioMasterTempoAt, 1234567);
    AudioBuffers b(16);
    processReplacing(b);
    ASSERT_EQ(host->count(audioMasterTempoAt), 1);
    EXPECT_EQ(host->last(audioMasterTempoAt)->value, 0);
    EXPECT_EQ(plugin().tempo, static_cast<float>(1234567.0L / 10000.0L));
    // Also for an empty block, which does nothing else.
    host->setAnswer(audioMasterTempoAt, 900000);
    processReplacing(b, 0);
    EXPECT_EQ(host->count(audioMasterTempoAt), 2);
    EXPECT_EQ(plugin().tempo, 90.0f);
}

TEST_F(Gate, OpensOneSampleAfterTheKeyCrossesTheThreshold) {
    setFastTimes();
    AudioBuffers b(8);
    fill(b.in[0], 0.25f);
    fill(b.in[1], -0.75f);
    b.in[2][3] = 0.6f;  // above the threshold of 0.5 from sample 3
    processReplacing(b);
    // Samples 0..3: closed (the envelope is stepped before the key is seen).
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(b.out[0][i], 0.0f) << i;
        EXPECT_EQ(b.out[1][i], 0.0f) << i;
    }
    // An attack step of 1 reaches full level at once.
    EXPECT_EQ(b.out[0][4], 0.25f);
    EXPECT_EQ(b.out[1][4], -0.75f);
    EXPECT_TRUE(plugin().gateOpen);
}

TEST_F(Gate, HysteresisKeepsTheGateOpenAboveEightyPercent) {
    setFastTimes();
    APlugin& p = plugin();
    AudioBuffers b(20000);
    fill(b.in[0], 1.0f);
    fill(b.in[1], 1.0f);
    fill(b.in[2], 0.41f);  // inside the band: never opens from closed
    processReplacing(b);
    for (std::size_t i = 0; i < b.n; ++i) ASSERT_EQ(b.out[0][i], 0.0f) << i;
    EXPECT_FALSE(p.gateOpen);

    b.in[2][0] = 0.7f;  // one sample above the threshold, then back into the band
    processReplacing(b);
    EXPECT_TRUE(p.gateOpen);
    // The peak decays until the key renews it; it never falls below 0.4.
    for (std::size_t i = 1; i < b.n; ++i) ASSERT_EQ(b.out[0][i], 1.0f) << i;

    fill(b.in[2], 0.39f);  // below 0.8 x threshold: the peak follows it down and closes
    processReplacing(b);
    EXPECT_FALSE(p.gateOpen);
    EXPECT_TRUE(p.gateClosed);
    EXPECT_EQ(b.out[0][b.n - 1], 0.0f);
}

TEST_F(Gate, PeakHoldsThirtySamplesThenFallsEveryThirtyFirst) {
    APlugin& p = plugin();
    AudioBuffers b(1);
    b.in[2][0] = 0.8f;
    processReplacing(b);
    EXPECT_EQ(p.keyPeak.load(), 0.8f);
    b.in[2][0] = 0.0f;
    float expected = 0.8f;
    for (int sample = 1; sample <= 31 * 4; ++sample) {
        processReplacing(b);
        if (sample % 31 == 0)
            expected = static_cast<float>(static_cast<long double>(expected) - 0.005L);
        ASSERT_EQ(p.keyPeak.load(), expected) << sample;
    }
    EXPECT_NEAR(p.keyPeak.load(), 0.78f, 1e-6f);
}

TEST_F(Gate, ClosesAtTheFirstSampleBelowEightyPercent) {
    setFastTimes();
    setParameter(APlugin::kThreshold, 0.5f);
    APlugin& p = plugin();
    AudioBuffers one(1);
    one.in[0][0] = 1.0f;
    one.in[2][0] = 0.6f;
    processReplacing(one);
    one.in[2][0] = 0.0f;
    int samples = 1;
    while (!p.gateClosed && samples < 100000) {
        const float before = p.keyPeak.load();
        processReplacing(one);
        ++samples;
        if (p.gateClosed) {
            EXPECT_GE(before, 0.4f);  // the previous peak was still inside the band
            EXPECT_LT(p.keyPeak.load(), 0.4f);
        }
    }
    // 0.6 falls by 0.005 every 31 samples: about 41 falls to get below 0.4.
    EXPECT_NEAR(samples, 41 * 31, 31);
    // Released: the level drops to 0 in one step, then stays there.
    processReplacing(one);
    processReplacing(one);
    processReplacing(one);
    EXPECT_EQ(one.out[0][0], 0.0f);
    EXPECT_EQ(p.env.stage, TEnv::Idle);
}

TEST_F(Gate, SilentKeyClosesAtTheFirstSample) {
    APlugin& p = plugin();
    AudioBuffers b(1);
    processReplacing(b);
    EXPECT_EQ(p.keyPeak.load(), -0.005f);
    EXPECT_TRUE(p.gateClosed);
    EXPECT_TRUE(p.env.releaseRequested);  // asked while idle; the next trigger clears it
    EXPECT_EQ(p.env.stage, TEnv::Idle);
    // At or below zero the peak falls every sample while the key stays under it.
    b.in[2][0] = -1.0f;
    processReplacing(b);
    EXPECT_EQ(p.keyPeak.load(), static_cast<float>(static_cast<long double>(-0.005f) - 0.005L));
    processReplacing(b);
    EXPECT_EQ(p.keyPeak.load(), static_cast<float>(static_cast<long double>(-0.01f) - 0.005L));
    // A silent key lifts a negative peak back to 0.
    b.in[2][0] = 0.0f;
    processReplacing(b);
    EXPECT_EQ(p.keyPeak.load(), 0.0f);
    b.in[2][0] = 0.9f;
    processReplacing(b);
    EXPECT_TRUE(p.gateOpen);
    EXPECT_FALSE(p.env.releaseRequested);
}

TEST_F(Gate, KeyIsSignedAndMixesInputFourAtHalfWeight) {
    setFastTimes();
    APlugin& p = plugin();
    AudioBuffers b(4096);
    fill(b.in[0], 1.0f);
    fill(b.in[2], -0.9f);
    fill(b.in[3], -0.9f);
    processReplacing(b);
    for (std::size_t i = 0; i < b.n; ++i) ASSERT_EQ(b.out[0][i], 0.0f);
    EXPECT_FALSE(p.gateOpen);

    AudioBuffers one(1);
    one.in[3][0] = 0.6f;  // input 4 alone
    processReplacing(one);
    EXPECT_EQ(p.keyPeak.load(), 0.6f * 0.5f);
    EXPECT_FALSE(p.gateOpen);  // 0.3 is below the threshold
    one.in[2][0] = 0.2f;
    one.in[3][0] = 0.7f;
    processReplacing(one);
    EXPECT_EQ(p.keyPeak.load(), static_cast<float>(static_cast<long double>(0.2f) + 0.5L * 0.7f));
    EXPECT_TRUE(p.gateOpen);  // 0.55 > 0.5
}

TEST_F(Gate, EnvelopeModeInvertsTheGain) {
    setFastTimes();
    setParameter(APlugin::kEnvMode, 1.0f);
    AudioBuffers b(6);
    fill(b.in[0], 0.5f);
    fill(b.in[1], 0.25f);
    b.in[2][2] = 1.0f;
    processReplacing(b);
    // Closed: 1 - 0, the signal passes; open: 1 - 1, it is shut.
    EXPECT_EQ(b.out[0][0], 0.5f);
    EXPECT_EQ(b.out[1][2], 0.25f);
    EXPECT_EQ(b.out[0][3], 0.0f);
    EXPECT_EQ(b.out[1][5], 0.0f);
}

TEST_F(Gate, InactiveCopiesTheSignalAndFreezesTheFollower) {
    APlugin& p = plugin();
    AudioBuffers b(300);
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (auto& c : b.in)
        for (float& s : c) s = u(rng);
    processReplacing(b);  // active: some state
    const float peak = p.keyPeak.load();
    const auto stage = p.env.stage;
    const float level = p.env.level;
    setParameter(APlugin::kActive, 0.0f);
    processReplacing(b);
    EXPECT_EQ(b.out[0], b.in[0]);
    EXPECT_EQ(b.out[1], b.in[1]);
    EXPECT_TRUE(sameBits(p.keyPeak.load(), peak));
    EXPECT_EQ(p.env.stage, stage);
    EXPECT_TRUE(sameBits(p.env.level, level));
    // Accumulating adds the plain signal.
    fill(b.out[0], 1.0f);
    fill(b.out[1], -1.0f);
    processAccumulating(b);
    for (std::size_t i = 0; i < b.n; ++i) {
        ASSERT_EQ(b.out[0][i], 1.0f + b.in[0][i]);
        ASSERT_EQ(b.out[1][i], -1.0f + b.in[1][i]);
    }
    // In place, and with the two channels crossed.
    std::vector<float> left = b.in[0], right = b.in[1];
    float* crossed[2] = {b.inPtr[1], b.inPtr[0]};
    effect->processReplacing(effect, b.inPtr, crossed, static_cast<VstInt32>(b.n));
    EXPECT_EQ(b.in[1], left);
    EXPECT_EQ(b.in[0], right);
}

TEST_F(Gate, NeverWritesIntoTheInputs) {
    setFastTimes();
    AudioBuffers b(512);
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (auto& c : b.in)
        for (float& s : c) s = u(rng);
    const auto before = b.in;
    processReplacing(b);
    processAccumulating(b);
    for (int c = 0; c < 4; ++c) EXPECT_EQ(b.in[c], before[c]) << c;
    // The gate did gate something, so the outputs differ from the inputs.
    EXPECT_NE(b.out[0], b.in[0]);
}

TEST_F(Gate, InPlaceProcessingMatchesSeparateBuffers) {
    setFastTimes();
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    AudioBuffers separate(1000);
    for (auto& c : separate.in)
        for (float& s : c) s = u(rng);
    AudioBuffers inPlace = separate;
    for (int i = 0; i < 4; ++i) inPlace.inPtr[i] = inPlace.in[i].data();
    float* outs[2] = {inPlace.inPtr[0], inPlace.inPtr[1]};
    processReplacing(separate);
    TearDown();
    SetUp();
    setFastTimes();
    effect->processReplacing(effect, inPlace.inPtr, outs, 1000);
    EXPECT_EQ(inPlace.in[0], separate.out[0]);
    EXPECT_EQ(inPlace.in[1], separate.out[1]);
}

TEST_F(Gate, EmptyNegativeAndMissingBlocksAreHarmless) {
    APlugin& p = plugin();
    AudioBuffers b(4);
    fill(b.out[0], 7.0f);
    for (VstInt32 frames : {0, -1, -100000}) {
        processReplacing(b, frames);
        effect->process(effect, b.inPtr, b.outPtr, frames);
    }
    EXPECT_EQ(b.out[0][0], 7.0f);
    EXPECT_EQ(p.keyPeak.load(), 0.0f);
    effect->processReplacing(effect, nullptr, nullptr, 4);
    effect->process(effect, b.inPtr, nullptr, 4);
    float* holes[4] = {b.inPtr[0], nullptr, b.inPtr[2], b.inPtr[3]};
    effect->processReplacing(effect, holes, b.outPtr, 4);
    EXPECT_EQ(b.out[0][0], 7.0f);
}

// ---- bit-exactness of the per-sample arithmetic ---------------------------

TEST_F(Gate, PeakDecayRoundsLikeExtendedPrecision) {
    APlugin& p = plugin();
    float s1 = 0.0f, s2 = 0.0f;
    // A stride through every finite float, positive and negative.
    for (std::uint64_t bits = 0; bits < 0x100000000ull; bits += 4093) {
        const auto u = static_cast<std::uint32_t>(bits);
        float peak;
        std::memcpy(&peak, &u, sizeof peak);
        if (!std::isfinite(peak)) continue;
        p.keyPeak = peak;
        p.peakHoldCount = APlugin::kPeakHoldSamples;  // forces the fall
        p.ProcessSample(s1, s2, -std::numeric_limits<float>::infinity(), 0.0f);
        const float expected = static_cast<float>(static_cast<long double>(peak) - 0.005L);
        ASSERT_TRUE(sameBits(p.keyPeak.load(), expected)) << std::hexfloat << peak;
    }
}

TEST_F(Gate, KeyMixRoundsOnceFromTheExactValue) {
    APlugin& p = plugin();
    std::mt19937 rng(17);
    std::uniform_int_distribution<std::uint32_t> any;
    float s1 = 0.0f, s2 = 0.0f;
    for (int i = 0; i < 200000; ++i) {
        std::uint32_t b1 = any(rng), b2 = any(rng);
        if (i % 4 == 0) b2 &= 0x807FFFFFu;  // denormal key 2: halving it is inexact in float
        if (i % 8 == 1)
            b1 = (b1 & 0x80FFFFFFu) | ((b2 & 0x7F000000u) + 0x01000000u);  // close exponents
        float k1, k2;
        std::memcpy(&k1, &b1, 4);
        std::memcpy(&k2, &b2, 4);
        const float expected =
            static_cast<float>(static_cast<long double>(k1) + 0.5L * static_cast<long double>(k2));
        if (!std::isfinite(k1) || !std::isfinite(k2) || std::isnan(expected)) continue;
        p.keyPeak = -std::numeric_limits<float>::infinity();
        p.ProcessSample(s1, s2, k1, k2);
        if (expected == -std::numeric_limits<float>::infinity())
            continue;  // not above the old peak
        ASSERT_TRUE(sameBits(p.keyPeak.load(), expected)) << std::hexfloat << k1 << " " << k2;
    }
}

TEST_F(Gate, ClosingComparesWithTheUnroundedProduct) {
    APlugin& p = plugin();
    std::mt19937 rng(23);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    float s1 = 0.0f, s2 = 0.0f;
    for (int i = 0; i < 20000; ++i) {
        const float threshold = i == 0 ? 0.0f : i == 1 ? 1.0f : u(rng);
        setParameter(APlugin::kThreshold, threshold);
        const long double limit = 0.8L * threshold;
        // The float nearest to the limit, and its neighbours.
        const float nearest = static_cast<float>(limit);
        for (float peak :
             {std::nextafter(nearest, -1.0f), nearest, std::nextafter(nearest, 2.0f)}) {
            p.keyPeak = peak;
            p.peakHoldCount = 0;  // a positive peak is held, so it does not move
            p.gateOpen = true;
            p.gateClosed = false;
            p.ProcessSample(s1, s2, -1.0f, 0.0f);
            if (peak <= 0.0f) continue;
            ASSERT_EQ(p.gateClosed, static_cast<long double>(peak) < limit)
                << std::hexfloat << threshold << " " << peak;
        }
    }
}

namespace {

// The gate written plainly, one sample at a time, with the arithmetic at
// extended precision where the rules say so.
struct ReferenceGate {
    TEnv env;
    float keyPeak = 0.0f;
    int peakHoldCount = 0;
    bool gateOpen = false, gateClosed = false;
    float threshold = 0.5f;
    bool active = true, envMode = false;
    float rate = 44100.0f;

    ReferenceGate() {
        env.decayStep = 1.0f;
        env.sustainLevel = 1.0f;
    }
    void set(int index, float v) {
        const long double scaled = static_cast<long double>(v) * rate + 1.0L;
        switch (index) {
            case 0: env.attackStep = static_cast<float>(1.0L / scaled); break;
            case 1: env.holdSteps = static_cast<float>(scaled); break;
            case 2: env.releaseStep = static_cast<float>(1.0L / scaled); break;
            case 3: threshold = v; break;
            case 4: envMode = v > 0.5f; break;
            case 5: active = v > 0.5f; break;
        }
    }
    void sample(float& s1, float& s2, float k1, float k2) {
        if (!active) return;
        env.Step();
        const float key =
            static_cast<float>(static_cast<long double>(k1) + 0.5L * static_cast<long double>(k2));
        if (key > keyPeak) {
            keyPeak = key;
        } else if (peakHoldCount < 30 && keyPeak > 0.0f) {
            ++peakHoldCount;
        } else {
            peakHoldCount = 0;
            keyPeak = static_cast<float>(static_cast<long double>(keyPeak) - 0.005L);
        }
        if (keyPeak > threshold && !gateOpen) {
            gateOpen = true;
            gateClosed = false;
            env.Trigger(1.0f);
        }
        if (0.8L * static_cast<long double>(threshold) > static_cast<long double>(keyPeak) &&
            !gateClosed) {
            gateOpen = false;
            gateClosed = true;
            env.Release();
        }
        const float g = envMode ? 1.0f - env.output : env.output;
        s1 = s1 * g;
        s2 = s2 * g;
    }
};

}  // namespace

TEST_F(Gate, MatchesThePlainPerSampleGateBitForBit) {
    // Random block sizes (empty ones included), replacing and accumulating,
    // parameter changes between blocks: every output bit and every piece of
    // gate state must match the plain per-sample gate.
    std::mt19937 rng(41);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::uniform_int_distribution<int> blockSize(0, 700);
    std::uniform_int_distribution<int> coin(0, 19);
    ReferenceGate ref;
    const float times[3] = {0.0004f, 0.0002f, 0.0009f};
    for (int i = 0; i < 3; ++i) {
        setParameter(i, times[i]);
        ref.set(i, times[i]);
    }
    AudioBuffers b(700);
    long long position = 0;
    int openings = 0;
    for (int round = 0; round < 1000; ++round) {
        // Now and then a new threshold, mode or switch, between blocks.
        if (coin(rng) == 0) {
            const int index = 3 + coin(rng) % 3;
            const float v = index == 3 ? 0.65f + 0.25f * u(rng) : (coin(rng) < 14 ? 1.0f : 0.0f);
            setParameter(index, v);
            ref.set(index, v);
        }
        const auto n = static_cast<std::size_t>(blockSize(rng));
        // A key of short bursts, with pauses long enough for the held peak
        // to fall below the hysteresis band.
        for (std::size_t i = 0; i < n; ++i, ++position) {
            const bool burst = position % 5000 < 250;
            b.in[0][i] = u(rng);
            b.in[1][i] = u(rng);
            b.in[2][i] = burst ? 0.95f * u(rng) : 0.05f * u(rng);
            b.in[3][i] = burst ? 0.5f * u(rng) : 0.0f;
        }
        const bool accumulate = coin(rng) < 5;
        std::vector<float> expected1(n), expected2(n);
        for (std::size_t i = 0; i < n; ++i) {
            float s1 = b.in[0][i], s2 = b.in[1][i];
            const bool wasOpen = ref.gateOpen;
            ref.sample(s1, s2, b.in[2][i], b.in[3][i]);
            if (ref.gateOpen && !wasOpen) ++openings;
            expected1[i] = accumulate ? b.out[0][i] + s1 : s1;
            expected2[i] = accumulate ? b.out[1][i] + s2 : s2;
        }
        if (accumulate)
            effect->process(effect, b.inPtr, b.outPtr, static_cast<VstInt32>(n));
        else
            processReplacing(b, static_cast<VstInt32>(n));
        for (std::size_t i = 0; i < n; ++i) {
            ASSERT_TRUE(sameBits(b.out[0][i], expected1[i]))
                << "round " << round << " sample " << i;
            ASSERT_TRUE(sameBits(b.out[1][i], expected2[i]))
                << "round " << round << " sample " << i;
        }
        APlugin& p = plugin();
        ASSERT_TRUE(sameBits(p.keyPeak.load(), ref.keyPeak));
        ASSERT_EQ(p.peakHoldCount, ref.peakHoldCount);
        ASSERT_EQ(p.gateOpen, ref.gateOpen);
        ASSERT_EQ(p.gateClosed, ref.gateClosed);
        ASSERT_EQ(p.env.stage, ref.env.stage);
        ASSERT_TRUE(sameBits(p.env.level, ref.env.level));
        ASSERT_EQ(p.env.holdCount, ref.env.holdCount);
    }
    EXPECT_GT(openings, 30);  // the run did exercise the gate
}
