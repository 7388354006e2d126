// tarnwick-host with the gate module itself: what `info` reports, and that
// `process` gives, bit for bit, what one direct processReplacing call over the
// whole file gives, whatever the block size and in accumulating mode too.

#include "HostTestSupport.h"
#include "vst/DAEffect.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

using namespace hosttest;

namespace {

constexpr int kRate = 48000;
constexpr int kFrames = kRate * 3 / 2;

VstIntPtr referenceHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterTempoAt: return 120 * 10000;
        case audioMasterGetVendorString:
        case audioMasterGetProductString:
            std::strcpy(static_cast<char*>(ptr), "reference");
            return 1;
        default: return 0;
    }
}

struct Setting {
    const char* role;
    VstInt32 index;
    float value;
};
const Setting kSettings[] = {
    {"attack", 0, 0.002f}, {"hold", 1, 0.01f}, {"release", 2, 0.03f}, {"threshold", 3, 0.4f}};

// A stereo signal of two detuned tones with a little noise, and a stereo key
// of bursts, some loud enough to open the gate and some not.
void makeInputs(std::vector<float>& signal, std::vector<float>& key) {
    signal.resize(2 * kFrames);
    key.resize(2 * kFrames);
    uint32_t noise = 12345;
    for (int i = 0; i < kFrames; ++i) {
        noise = noise * 1664525u + 1013904223u;
        float n = static_cast<float>(noise >> 8) / 16777216.0f - 0.5f;
        double t = static_cast<double>(i) / kRate;
        signal[2 * i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 220 * t)) + 0.05f * n;
        signal[2 * i + 1] = static_cast<float>(0.5 * std::sin(2 * M_PI * 331 * t)) - 0.05f * n;
        int burst = i / 6000;
        bool on = i % 6000 < 600;
        float level = burst % 3 == 2 ? 0.2f : 0.6f;
        key[2 * i] = on ? level * static_cast<float>(std::fabs(std::sin(2 * M_PI * 90 * t))) : 0.0f;
        key[2 * i + 1] = on ? 0.1f * n : 0.0f;
    }
}

// Loads the module as the host does, applies the same set-up and runs one
// processReplacing over all frames.
std::vector<float> directRun(const std::vector<float>& signal, const std::vector<float>& key) {
    void* module = dlopen(TARNWICK_MODULE, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(module, nullptr) << dlerror();
    if (module == nullptr) return {};
    auto entry =
        reinterpret_cast<AEffect* (*)(audioMasterCallback)>(dlsym(module, "VSTPluginMain"));
    EXPECT_NE(entry, nullptr);
    AEffect* fx = entry != nullptr ? entry(referenceHost) : nullptr;
    EXPECT_NE(fx, nullptr);
    if (fx == nullptr) {
        dlclose(module);
        return {};
    }
    fx->dispatcher(fx, effOpen, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    fx->dispatcher(fx, effSetBlockSize, 0, kFrames, nullptr, 0.0f);
    fx->dispatcher(fx, effSetProgram, 0, 0, nullptr, 0.0f);
    for (const auto& s : kSettings) fx->setParameter(fx, s.index, s.value);
    fx->dispatcher(fx, effMainsChanged, 0, 1, nullptr, 0.0f);
    std::vector<std::vector<float>> in(4, std::vector<float>(kFrames));
    std::vector<std::vector<float>> out(2, std::vector<float>(kFrames));
    for (int i = 0; i < kFrames; ++i) {
        in[0][i] = signal[2 * i];
        in[1][i] = signal[2 * i + 1];
        in[2][i] = key[2 * i];
        in[3][i] = key[2 * i + 1];
    }
    float* inPtrs[4] = {in[0].data(), in[1].data(), in[2].data(), in[3].data()};
    float* outPtrs[2] = {out[0].data(), out[1].data()};
    fx->processReplacing(fx, inPtrs, outPtrs, kFrames);
    fx->dispatcher(fx, effMainsChanged, 0, 0, nullptr, 0.0f);
    fx->dispatcher(fx, effClose, 0, 0, nullptr, 0.0f);
    dlclose(module);
    std::vector<float> interleaved(2 * kFrames);
    for (int i = 0; i < kFrames; ++i) {
        interleaved[2 * i] = out[0][i];
        interleaved[2 * i + 1] = out[1][i];
    }
    return interleaved;
}

TEST(HostWithGate, ProcessIsBitExactWithOneDirectCallAtEveryBlockSize) {
    TempDir tmp;
    std::vector<float> signal, key;
    makeInputs(signal, key);
    writeAudio(tmp.File("signal.wav"), 2, kRate, signal);
    writeAudio(tmp.File("key.wav"), 2, kRate, key);
    std::vector<float> expected = directRun(signal, key);
    ASSERT_EQ(expected.size(), signal.size());

    // The comparison means something only if the gate both passed and shut.
    size_t passed = 0, shut = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (expected[i] == signal[i] && signal[i] != 0.0f) ++passed;
        if (expected[i] == 0.0f && signal[i] != 0.0f) ++shut;
    }
    EXPECT_GT(passed, expected.size() / 10);
    EXPECT_GT(shut, expected.size() / 10);

    const std::vector<std::vector<std::string>> runs = {
        {"--block", "1"},   {"--block", "7"},      {"--block", "64"},
        {"--block", "512"}, {"--block", "100000"}, {"--block", "333", "--accumulate"},
    };
    for (const auto& extra : runs) {
        std::string label = extra[1] + (extra.size() > 2 ? " accumulate" : "");
        SCOPED_TRACE(label);
        std::vector<std::string> args = {
            "process", TARNWICK_MODULE,     "--signal", tmp.File("signal.wav"),
            "--key",   tmp.File("key.wav"), "--out",    tmp.File("out.wav")};
        for (const auto& s : kSettings) {
            args.insert(args.end(), {"--set", std::string(s.role) + "=" + std::to_string(s.value)});
        }
        args.insert(args.end(), extra.begin(), extra.end());
        RunResult r = runHost(args);
        ASSERT_EQ(r.exitCode, 0) << r.err;
        Audio a = readAudio(tmp.File("out.wav"));
        EXPECT_EQ(a.info.format, SF_FORMAT_WAV | SF_FORMAT_FLOAT);
        EXPECT_EQ(a.info.samplerate, kRate);
        ASSERT_EQ(a.info.channels, 2);
        ASSERT_EQ(a.samples.size(), expected.size());
        size_t firstDiff = expected.size();
        for (size_t i = 0; i < expected.size() && firstDiff == expected.size(); ++i) {
            if (std::memcmp(&a.samples[i], &expected[i], sizeof(float)) != 0) firstDiff = i;
        }
        EXPECT_EQ(firstDiff, expected.size()) << "first differing sample " << firstDiff;
    }
}

// The demo as scripts/demo.sh runs it: the generator is deterministic, the
// gate lets the pad through on each kick and snare of the key and shuts it
// between them, and the summary reports the files as they are.
TEST(HostWithGate, DemoGatesThePadInTheRhythmOfTheDrums) {
    TempDir a, b;
    for (const TempDir* dir : {&a, &b}) {
        RunResult r = runTool(TARNWICK_DEMO_GEN, {dir->Dir()});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        r = runHost({"process", TARNWICK_MODULE, "--signal", dir->File("pad.wav"), "--key",
                     dir->File("drums.wav"), "--out", dir->File("gated.wav"), "--set",
                     "attack=0.002", "--set", "hold=0.05", "--set", "release=0.08", "--set",
                     "threshold=0.5"});
        ASSERT_EQ(r.exitCode, 0) << r.err;
    }
    // Byte for byte, headers included.
    for (const char* name : {"pad.wav", "drums.wav", "gated.wav"})
        EXPECT_TRUE(readText(a.File(name)) == readText(b.File(name))) << name;

    Audio in = readAudio(a.File("pad.wav"));
    Audio out = readAudio(a.File("gated.wav"));
    ASSERT_EQ(in.info.channels, 2);
    ASSERT_EQ(in.info.frames, 4 * 16 * 6000);  // four bars of sixteenths at 120 bpm, 48 kHz
    ASSERT_EQ(out.info.frames, in.info.frames);
    // RMS over the first half of a sixteenth-note step.
    auto rms = [](const Audio& x, int step) {
        double sum = 0.0;
        size_t first = static_cast<size_t>(step) * 12000;
        for (size_t i = first; i < first + 6000; ++i) sum += double{x.samples[i]} * x.samples[i];
        return std::sqrt(sum / 6000.0);
    };
    const std::string pattern = "K.h.S.hKK.h.S.hh";
    for (int step = 0; step < 64; ++step) {
        SCOPED_TRACE(step);
        ASSERT_GT(rms(in, step), 0.05);  // the pad sounds throughout
        char hit = pattern[static_cast<size_t>(step % 16)];
        char before = pattern[static_cast<size_t>((step + 15) % 16)];
        if (hit == 'K' || hit == 'S') {
            EXPECT_GT(rms(out, step), 0.9 * rms(in, step));
        } else if (before != 'K' && before != 'S') {  // a step to release in
            EXPECT_LT(rms(out, step), 1e-4);
        }
    }

    RunResult r = runTool(TARNWICK_DEMO_GEN, {"--summary", a.File("pad.wav"), a.File("gated.wav")});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    double signalRms = 0.0, gatedRms = 0.0, openPercent = 0.0;
    ASSERT_EQ(
        std::sscanf(r.out.c_str(), "signal RMS %lf, gated RMS %lf, gate open %lf%% of the time\n",
                    &signalRms, &gatedRms, &openPercent),
        3)
        << r.out;
    auto wholeRms = [](const Audio& x) {
        double sum = 0.0;
        for (float v : x.samples) sum += double{v} * v;
        return std::sqrt(sum / static_cast<double>(x.samples.size()));
    };
    EXPECT_NEAR(signalRms, wholeRms(in), 0.0005);
    EXPECT_NEAR(gatedRms, wholeRms(out), 0.0005);
    EXPECT_LT(gatedRms, 0.7 * signalRms);
    // Five hits a bar, each heard for about a step: a quarter to a half of the time.
    EXPECT_GT(openPercent, 25.0);
    EXPECT_LT(openPercent, 50.0);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

TEST(HostWithGate, InfoReportsWhatAHostSees) {
    RunResult r = runHost({"info", TARNWICK_MODULE});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const char* expected[] = {
        "magic: 0x56737450 (VstP)\n",
        "numPrograms: 16\n",
        "numParams: 6\n",
        "numInputs: 4\n",
        "numOutputs: 2\n",
        "flags: 0x19 effFlagsHasEditor | effFlagsCanMono | effFlagsCanReplacing\n",
        "uniqueID: \"4164\" 0x34313634\n",
        "version: 1\n",
        "effectName: \"QB Sidechain Gate\"\n",
        "vendor: \"Quorbel\"\n",
        "product: \"QB Sidechain Gate\"\n",
        "vendorVersion: 1\n",
        "vstVersion: 2300\n",
        "category: 0 kPlugCategUnknown\n",
        "parameter 0: name=\"par0\" value=0.100000 display=\"0.10\" label=\"%\"\n",
        "parameter 3: name=\"par3\" value=0.500000 display=\"0.50\" label=\"%\"\n",
        "parameter 5: name=\"par5\" value=1.000000 display=\"1.00\" label=\"%\"\n",
        "program 0: \"Preset 0\"\n",
        "program 15: \"Preset 15\"\n",
        "input 3: label=\"Input #4\" flags=0x3 active stereo\n",
        "output 1: label=\"Output #2\" flags=0x3 active stereo\n",
        "canDo receiveVstEvents: 1 (yes)\n",
        "canDo receiveVstTimeInfo: 1 (yes)\n",
        "canDo bypass: -1 (no)\n",
    };
    for (const char* line : expected)
        EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
    EXPECT_EQ(r.out.find("input 4"), std::string::npos);
    EXPECT_EQ(r.out.find("program 16"), std::string::npos);
}

}  // namespace
