// The effect under threads as a host drives it: the audio thread processes
// while two other threads set parameters, programs and program names and read
// parameter displays and program names. Every name written is one letter
// repeated a length fixed by that letter, so a name torn between two writes
// shows. Built with ThreadSanitizer, the run also proves the exchange free of
// data races.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "plugin/uPlugin.h"
#include "vst/DVstMain.h"

namespace {

// A host callback that keeps no state, so any thread may call it.
VstIntPtr statelessHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterTempoAt) return 1200000;
    return 0;
}

constexpr int kLetters = 20;  // 'a' x 4 up to 't' x 23: all fit a host's 24 characters

std::string patternName(int letter) {
    return std::string(static_cast<std::size_t>(4 + letter), static_cast<char>('a' + letter));
}

// A whole name is one that some single write (or the construction) produced.
bool isWholeName(const char* text) {
    const std::string s(text);
    for (int i = 0; i < APlugin::kNumPrograms; ++i)
        if (s == "Preset " + std::to_string(i)) return true;
    for (int letter = 0; letter < kLetters; ++letter)
        if (s == patternName(letter)) return true;
    return false;
}

// The text of a parameter between 0 and 1: a digit, the separator, two digits.
bool isParameterDisplay(const char* text) {
    return std::strlen(text) == 4 && (text[0] == '0' || text[0] == '1') &&
           !std::isdigit(static_cast<unsigned char>(text[1])) &&
           std::isdigit(static_cast<unsigned char>(text[2])) &&
           std::isdigit(static_cast<unsigned char>(text[3]));
}

struct Counts {
    long reads = 0;
    long torn = 0;
    long badDisplays = 0;
};

}  // namespace

TEST(EffectUnderThreads, NamesAndParametersStayWholeWhileAudioRuns) {
    AudioEffect* made = createEffectInstance(&statelessHost);
    ASSERT_NE(made, nullptr);
    AEffect* effect = made->getAeffect();
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    std::atomic<int> workersLeft{2};
    std::atomic<long> blocks{0};
    std::atomic<long> louderThanInput{0};
    std::thread audio([&] {
        constexpr int kFrames = 64;
        std::vector<float> in[4], out[2];
        for (auto& c : in) c.resize(kFrames);
        for (auto& c : out) c.resize(kFrames);
        float* inPtr[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
        float* outPtr[2] = {out[0].data(), out[1].data()};
        std::mt19937 rng(5);
        std::uniform_real_distribution<float> u(-1.0f, 1.0f);
        while (workersLeft.load() > 0) {
            const bool burst = blocks.load() % 8 < 3;
            for (int i = 0; i < kFrames; ++i) {
                in[0][i] = u(rng);
                in[1][i] = u(rng);
                in[2][i] = burst ? u(rng) : 0.01f * u(rng);
                in[3][i] = burst ? u(rng) : 0.0f;
            }
            effect->processReplacing(effect, inPtr, outPtr, kFrames);
            // The gain lies between 0 and 1 whatever the parameters do meanwhile.
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < kFrames; ++i)
                    if (!(std::fabs(out[c][i]) <= std::fabs(in[c][i]))) ++louderThanInput;
            ++blocks;
        }
    });

    constexpr int kIterations = 100000;
    Counts counts[2];
    auto worker = [&](int id) {
        std::mt19937 rng(static_cast<unsigned>(100 + id));
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        std::uniform_int_distribution<int> param(0, APlugin::kNumParams - 1);
        std::uniform_int_distribution<int> program(0, APlugin::kNumPrograms - 1);
        std::uniform_int_distribution<int> letter(0, kLetters - 1);
        Counts& c = counts[id];
        char text[64];
        for (int i = 0; i < kIterations; ++i) {
            const VstInt32 index = param(rng);
            // Keep the gate active most of the time so that the audio path works.
            effect->setParameter(effect, index,
                                 index == APlugin::kActive ? 0.6f + 0.4f * value(rng) : value(rng));
            if (i % 64 == 0)
                effect->dispatcher(effect, effSetProgram, 0, program(rng), nullptr, 0.0f);
            std::string name = patternName(letter(rng));
            effect->dispatcher(effect, effSetProgramName, 0, 0, name.data(), 0.0f);

            effect->dispatcher(effect, effGetParamDisplay, param(rng), 0, text, 0.0f);
            c.badDisplays += !isParameterDisplay(text);
            effect->dispatcher(effect, effGetProgramName, 0, 0, text, 0.0f);
            c.torn += !isWholeName(text);
            effect->dispatcher(effect, effGetProgramNameIndexed, program(rng), 0, text, 0.0f);
            c.torn += !isWholeName(text);
            c.reads += 2;
        }
        --workersLeft;
    };
    std::thread first(worker, 0), second(worker, 1);
    first.join();
    second.join();
    audio.join();

    EXPECT_EQ(counts[0].torn + counts[1].torn, 0)
        << "of " << counts[0].reads + counts[1].reads << " name reads";
    EXPECT_EQ(counts[0].badDisplays + counts[1].badDisplays, 0);
    EXPECT_EQ(louderThanInput.load(), 0);
    EXPECT_GT(blocks.load(), 0);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}
