// The gate's audio behaviour through the host's processing routines.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>

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

namespace {

// One fall of the peak, at extended precision as the rule states it.
float fallenAtExtendedPrecision(float peak) {
    return static_cast<float>(static_cast<long double>(peak) - 0.005L);
}

float nextFloatUp(float x) { return std::nextafter(x, std::numeric_limits<float>::infinity()); }

}  // namespace

TEST(PeakLimit, IsTheLargestPeakThatStillFalls) {
    const float limit = APlugin::kPeakLimit;
    EXPECT_LT(fallenAtExtendedPrecision(limit), limit);
    // Its next neighbours, then a stride through every larger float.
    float peak = nextFloatUp(limit);
    for (int i = 0; i < 1000; ++i, peak = nextFloatUp(peak))
        ASSERT_EQ(fallenAtExtendedPrecision(peak), peak) << std::hexfloat << peak;
    std::uint32_t bits;
    std::memcpy(&bits, &peak, sizeof bits);
    for (; std::isfinite(peak); bits += 4093, std::memcpy(&peak, &bits, sizeof peak))
        ASSERT_EQ(fallenAtExtendedPrecision(peak), peak) << std::hexfloat << peak;
}

TEST_F(Gate, NoKeyHoldsThePeakForEver) {
    constexpr float kInf = std::numeric_limits<float>::infinity();
    constexpr float kMax = std::numeric_limits<float>::max();
    const float limit = APlugin::kPeakLimit;
    APlugin& p = plugin();
    AudioBuffers one(1), quiet(31);
    const auto startFrom = [&](float key1, float key2) {
        p.keyPeak = 0.0f;
        p.peakHoldCount = 0;
        one.in[2][0] = key1;
        one.in[3][0] = key2;
        processReplacing(one);
    };
    // A finite key at or beyond the limit renews the peak at the limit, and
    // the peak falls after the usual 31 quiet samples.
    for (const float key : {limit, nextFloatUp(limit), 1.0e6f, kMax}) {
        SCOPED_TRACE(key);
        startFrom(key, 0.0f);
        EXPECT_EQ(p.keyPeak.load(), limit);
        EXPECT_TRUE(p.gateOpen);
        processReplacing(quiet);
        EXPECT_EQ(p.keyPeak.load(), fallenAtExtendedPrecision(limit));
    }
    // A key that is not finite renews nothing, whether it arrives as such
    // or comes from a mix that overflows: a peak of 0.8 falls on time.
    const std::pair<float, float> notFinite[] = {
        {kInf, 0.0f}, {0.0f, kInf}, {kMax, kMax}, {std::nanf(""), 0.0f}};
    for (const auto& [key1, key2] : notFinite) {
        SCOPED_TRACE(std::to_string(key1) + " " + std::to_string(key2));
        startFrom(0.8f, 0.0f);
        std::fill(quiet.in[2].begin(), quiet.in[2].end(), key1);
        std::fill(quiet.in[3].begin(), quiet.in[3].end(), key2);
        processReplacing(quiet);
        EXPECT_EQ(p.keyPeak.load(), fallenAtExtendedPrecision(0.8f));
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
        // A mix beyond the peak limit renews the peak at the limit; one that
        // overflows renews nothing.
        const float stored = expected == std::numeric_limits<float>::infinity()
                                 ? -std::numeric_limits<float>::infinity()
                                 : std::min(expected, APlugin::kPeakLimit);
        ASSERT_TRUE(sameBits(p.keyPeak.load(), stored)) << std::hexfloat << k1 << " " << k2;
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

// Runs the effect and the plain gate side by side: random block sizes (empty
// ones included), replacing and accumulating, parameter changes between
// blocks. Every output bit and every piece of gate state must match. The key
// source gives inputs 3 and 4 at a position; answers the number of openings.
class GateAgainstPlainGate : public GateFixture {
protected:
    template <class KeySource>
    int compareWithPlainGate(KeySource keyAt) {
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
                const float v =
                    index == 3 ? 0.65f + 0.25f * u(rng) : (coin(rng) < 14 ? 1.0f : 0.0f);
                setParameter(index, v);
                ref.set(index, v);
            }
            const auto n = static_cast<std::size_t>(blockSize(rng));
            for (std::size_t i = 0; i < n; ++i, ++position) {
                b.in[0][i] = u(rng);
                b.in[1][i] = u(rng);
                const auto [key1, key2] = keyAt(position, rng);
                b.in[2][i] = key1;
                b.in[3][i] = key2;
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
                EXPECT_TRUE(sameBits(b.out[0][i], expected1[i]))
                    << "round " << round << " sample " << i;
                EXPECT_TRUE(sameBits(b.out[1][i], expected2[i]))
                    << "round " << round << " sample " << i;
                if (HasFailure()) return openings;
            }
            APlugin& p = plugin();
            EXPECT_TRUE(sameBits(p.keyPeak.load(), ref.keyPeak)) << "round " << round;
            EXPECT_EQ(p.peakHoldCount, ref.peakHoldCount);
            EXPECT_EQ(p.gateOpen, ref.gateOpen);
            EXPECT_EQ(p.gateClosed, ref.gateClosed);
            EXPECT_EQ(p.env.stage, ref.env.stage);
            EXPECT_TRUE(sameBits(p.env.level, ref.env.level));
            EXPECT_EQ(p.env.holdCount, ref.env.holdCount);
            if (HasFailure()) return openings;
        }
        return openings;
    }
};

TEST_F(GateAgainstPlainGate, MatchesThePlainPerSampleGateBitForBit) {
    // A key of short bursts, with pauses long enough for the held peak to
    // fall below the hysteresis band.
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    const int openings = compareWithPlainGate([&](long long position, std::mt19937& rng) {
        const bool burst = position % 5000 < 250;
        const float key1 = burst ? 0.95f * u(rng) : 0.05f * u(rng);
        const float key2 = burst ? 0.5f * u(rng) : 0.0f;
        return std::pair{key1, key2};
    });
    EXPECT_GT(openings, 30);  // the run did exercise the gate
}

TEST_F(GateAgainstPlainGate, MatchesItForLoudFiniteKeysUpToThePeakLimit) {
    // Spikes of every size up to the limit, either sign, on either key
    // input, among NaN and negative infinity (which renew nothing in
    // either); every key mix stays finite and at most the limit, where the
    // plain gate's rule holds unchanged.
    const float limit = APlugin::kPeakLimit;
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    std::uniform_real_distribution<double> exponent(-3.0, std::log10(limit));
    std::uniform_int_distribution<int> pick(0, 399);
    float loudest = 0.0f;
    compareWithPlainGate([&](long long position, std::mt19937& rng) {
        float key1 = position % 5000 < 250 ? 0.95f * u(rng) : 0.05f * u(rng);
        float key2 = 0.0f;
        switch (pick(rng)) {
            case 0:
                key1 = std::copysign(static_cast<float>(std::pow(10.0, exponent(rng))), u(rng));
                break;
            case 1:
                key2 = std::copysign(static_cast<float>(std::pow(10.0, exponent(rng))), u(rng));
                break;
            case 2: key1 = u(rng) < 0.0f ? limit : -limit; break;
            case 3: key1 = std::numeric_limits<float>::quiet_NaN(); break;
            case 4: key2 = -std::numeric_limits<float>::infinity(); break;
            default: break;
        }
        if (key1 + 0.5f * key2 > loudest) loudest = key1 + 0.5f * key2;
        return std::pair{key1, key2};
    });
    EXPECT_EQ(loudest, limit);  // the run did reach the limit itself
}
