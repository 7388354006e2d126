// The Windows modules against the Linux one: the same files and settings
// through Tarnwick.so (this build's host), Tarnwick.dll (the 32-bit Windows
// host under Wine) and Tarnwick64.dll (the 64-bit one), and the 64-bit VST 3
// bundle, must give the same output samples, bit for bit. Runs when scripts/test.sh names the Windows
// build trees (TARNWICK_WIN32_BUILD, TARNWICK_WIN64_BUILD); skipped otherwise.

#include "HostTestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

using namespace hosttest;

namespace {

constexpr int kRate = 44100;
constexpr int kFrames = kRate * 2;

struct WindowsBuild {
    std::string name;
    std::string host;    // tarnwick-host.exe
    std::string module;  // the DLL
    std::string prefix;  // the Wine prefix of that build tree
};

// The builds named, each with the Wine prefix to run in: the one named by
// TARNWICK_WINE_PREFIX, else the build tree's own.
std::vector<WindowsBuild> windowsBuilds() {
    std::vector<WindowsBuild> builds;
    const char* sharedPrefix = std::getenv("TARNWICK_WINE_PREFIX");
    for (auto [variable, dll] : {std::pair{"TARNWICK_WIN32_BUILD", "Tarnwick.dll"},
                                 std::pair{"TARNWICK_WIN64_BUILD", "Tarnwick64.dll"}}) {
        const char* dir = std::getenv(variable);
        if (dir == nullptr || *dir == '\0') continue;
        std::string d = dir;
        std::string prefix = sharedPrefix != nullptr ? sharedPrefix : d + "/wine";
        builds.push_back(
            {dll, d + "/tools/host/tarnwick-host.exe", d + "/src/module/" + dll, prefix});
    }
    return builds;
}

// The 64-bit build's VST 3 bundle, hosted by its own host, when it was built.
std::vector<WindowsBuild> windowsVst3Builds() {
    std::vector<WindowsBuild> bundles;
    for (WindowsBuild build : windowsBuilds()) {
        const std::string bundle =
            build.module.substr(0, build.module.rfind("/src/module/")) + "/vst3/Tarnwick.vst3";
        struct stat s {};
        if (build.name != "Tarnwick64.dll" || stat(bundle.c_str(), &s) != 0) continue;
        bundles.push_back({"Tarnwick.vst3", build.host, bundle, build.prefix});
    }
    return bundles;
}

RunResult runWindowsHost(const WindowsBuild& build, std::vector<std::string> args) {
    args.insert(args.begin(), {build.prefix, build.host});
    RunResult r = runTool(TARNWICK_WINE_RUN, args);
    // Windows programs end their lines with CR LF.
    for (std::string* text : {&r.out, &r.err}) {
        std::string plain;
        for (char c : *text) {
            if (c != '\r') plain += c;
        }
        *text = plain;
    }
    return r;
}

// A stereo signal with tones, quiet passages down to subnormal values, and
// the extremes of float; a key of bursts, some loud enough to open the gate
// and some not, with long gaps for the release to run out in.
void makeInputs(std::vector<float>& signal, std::vector<float>& key) {
    signal.resize(2 * kFrames);
    key.resize(kFrames);
    uint32_t noise = 987654321u;
    for (int i = 0; i < kFrames; ++i) {
        noise = noise * 1664525u + 1013904223u;
        float n = static_cast<float>(noise >> 8) / 16777216.0f - 0.5f;
        double t = static_cast<double>(i) / kRate;
        float scale = (i / 4000) % 4 == 3 ? 1e-37f : 1.0f;
        signal[2 * i] = scale * (static_cast<float>(0.7 * std::sin(2 * M_PI * 440 * t)) + 0.1f * n);
        signal[2 * i + 1] = scale * static_cast<float>(0.9 * std::sin(2 * M_PI * 97.5 * t));
        int burst = i / 5000;
        bool on = i % 5000 < 700;
        float level = burst % 4 == 1 ? 0.25f : 0.8f;
        key[i] = on ? level * static_cast<float>(std::sin(2 * M_PI * 60 * t)) : 0.01f * n;
    }
    signal[100] = std::numeric_limits<float>::denorm_min();
    signal[101] = -std::numeric_limits<float>::max();
    signal[102] = std::numeric_limits<float>::max();
}

struct GateRun {
    const char* label;
    std::vector<std::string> options;
};

const GateRun kRuns[] = {
    {"defaults", {}},
    {"fast gate",
     {"--set", "attack=0.001", "--set", "hold=0.003", "--set", "release=0.02", "--set",
      "threshold=0.37", "--block", "333"}},
    {"envelope mode",
     {"--set", "envmode=1", "--set", "threshold=0.6", "--set", "release=0.8", "--program", "5",
      "--block", "64"}},
    {"slow, accumulating",
     {"--set", "attack=0.9", "--set", "hold=0.7", "--set", "release=1", "--accumulate"}},
};

TEST(WindowsModules, ProcessGivesTheLinuxModulesSamplesBitForBit) {
    std::vector<WindowsBuild> builds = windowsBuilds();
    if (builds.empty()) GTEST_SKIP() << "no Windows build trees named";
    TempDir tmp;
    std::vector<float> signal, key;
    makeInputs(signal, key);
    writeAudio(tmp.File("signal.wav"), 2, kRate, signal);
    // The key as 16-bit integers: the Windows host's own reader must scale
    // them exactly as libsndfile does.
    writeAudio(tmp.File("key.wav"), 1, kRate, key, SF_FORMAT_WAV | SF_FORMAT_PCM_16);

    for (const GateRun& run : kRuns) {
        SCOPED_TRACE(run.label);
        auto args = [&](const std::string& module, const std::string& out) {
            std::vector<std::string> a = {
                "process",           module,  "--signal", tmp.File("signal.wav"), "--key",
                tmp.File("key.wav"), "--out", out};
            a.insert(a.end(), run.options.begin(), run.options.end());
            return a;
        };
        RunResult linux = runHost(args(TARNWICK_MODULE, tmp.File("linux.wav")));
        ASSERT_EQ(linux.exitCode, 0) << linux.err;
        Audio expected = readAudio(tmp.File("linux.wav"));
        ASSERT_EQ(expected.samples.size(), signal.size());

        // The comparison means something only if the gate passed, shut and
        // moved between the two.
        size_t passed = 0, shut = 0, between = 0;
        for (size_t i = 0; i < signal.size(); ++i) {
            float in = signal[i], out = expected.samples[i];
            if (in == 0.0f) continue;
            if (out == in) {
                ++passed;
            } else if (out == 0.0f) {
                ++shut;
            } else {
                ++between;
            }
        }
        EXPECT_GT(passed, 0u);
        EXPECT_GT(shut, 0u);
        EXPECT_GT(between, 1000u);

        std::vector<WindowsBuild> hosted = builds;
        // A VST 3 effect has no accumulating process.
        if (std::find(run.options.begin(), run.options.end(), "--accumulate") == run.options.end())
            for (const WindowsBuild& bundle : windowsVst3Builds()) hosted.push_back(bundle);
        for (const WindowsBuild& build : hosted) {
            SCOPED_TRACE(build.name);
            std::string out = tmp.File("windows.wav");
            RunResult r = runWindowsHost(build, args(build.module, out));
            ASSERT_EQ(r.exitCode, 0) << r.err;
            Audio got = readAudio(out);
            EXPECT_EQ(got.info.channels, 2);
            EXPECT_EQ(got.info.samplerate, kRate);
            ASSERT_EQ(got.samples.size(), expected.samples.size());
            size_t differ = 0, first = got.samples.size();
            for (size_t i = 0; i < got.samples.size(); ++i) {
                if (std::memcmp(&got.samples[i], &expected.samples[i], sizeof(float)) != 0) {
                    if (differ++ == 0) first = i;
                }
            }
            EXPECT_EQ(differ, 0u) << "first difference at sample " << first;
        }
    }
}

TEST(WindowsModules, InfoReportsWhatTheLinuxModuleReports) {
    std::vector<WindowsBuild> builds = windowsBuilds();
    if (builds.empty()) GTEST_SKIP() << "no Windows build trees named";
    RunResult linux = runHost({"info", TARNWICK_MODULE});
    ASSERT_EQ(linux.exitCode, 0) << linux.err;
    // Everything after the first line, which names the module file.
    auto body = [](const std::string& text) { return text.substr(text.find('\n') + 1); };
    for (const WindowsBuild& build : builds) {
        SCOPED_TRACE(build.name);
        RunResult r = runWindowsHost(build, {"info", build.module});
        ASSERT_EQ(r.exitCode, 0) << r.err;
        EXPECT_EQ(body(r.out), body(linux.out));
    }
}

TEST(WindowsModules, HostRefusesFilesItsOwnCodecCannotRead) {
    std::vector<WindowsBuild> builds = windowsBuilds();
    if (builds.empty()) GTEST_SKIP() << "no Windows build trees named";
    TempDir tmp;
    std::vector<float> quiet(2 * 64, 0.25f);
    writeAudio(tmp.File("signal.aiff"), 2, kRate, quiet, SF_FORMAT_AIFF | SF_FORMAT_PCM_16);
    writeAudio(tmp.File("signal8.wav"), 2, kRate, quiet, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    writeAudio(tmp.File("key.wav"), 2, kRate, quiet);
    const WindowsBuild& build = builds.front();
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"signal.aiff", "reads WAV files only"},
        {"signal8.wav", "8-bit samples is not supported"},
    };
    for (const auto& [file, message] : cases) {
        RunResult r =
            runWindowsHost(build, {"process", build.module, "--signal", tmp.File(file), "--key",
                                   tmp.File("key.wav"), "--out", tmp.File("out.wav")});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    RunResult r =
        runWindowsHost(build, {"process", build.module, "--signal", tmp.File("key.wav"), "--key",
                               tmp.File("key.wav"), "--out", tmp.File("out.flac")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("writes WAV files only"), std::string::npos) << r.err;
    EXPECT_EQ(tmp.Entries(), (std::vector<std::string>{"key.wav", "signal.aiff", "signal8.wav"}));
}

TEST(WindowsModules, HostKeepsItsInputsAndReadOnlyFilesSafe) {
    std::vector<WindowsBuild> builds = windowsBuilds();
    if (builds.empty()) GTEST_SKIP() << "no Windows build trees named";
    const WindowsBuild& build = builds.front();
    TempDir tmp;
    std::vector<float> quiet(2 * 64, 0.25f);
    writeAudio(tmp.File("signal.wav"), 2, kRate, quiet);
    writeAudio(tmp.File("key.wav"), 2, kRate, quiet);
    writeText(tmp.File("kept.wav"), "not to be replaced");
    ASSERT_EQ(::chmod(tmp.File("kept.wav").c_str(), 0444), 0);
    auto process = [&](const std::string& out, bool force) {
        std::vector<std::string> args = {
            "process", build.module,        "--signal", tmp.File("signal.wav"),
            "--key",   tmp.File("key.wav"), "--out",    out};
        if (force) args.push_back("--force");
        return runWindowsHost(build, args);
    };
    const std::pair<std::string, std::string> refusals[] = {
        // The signal again, spelled another way.
        {tmp.Dir() + "/./signal.wav", "is the same file as --signal"},
        {tmp.File("kept.wav"), "output is read-only"},
        {tmp.Dir(), "output is a directory"},
        {tmp.File("missing/out.wav"), "output folder does not exist"},
    };
    for (const auto& [out, message] : refusals) {
        SCOPED_TRACE(out);
        RunResult r = process(out, false);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }
    EXPECT_EQ(readText(tmp.File("kept.wav")), "not to be replaced");
    EXPECT_EQ(readAudio(tmp.File("signal.wav")).samples, quiet);

    RunResult forced = process(tmp.File("kept.wav"), true);
    ASSERT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(readAudio(tmp.File("kept.wav")).samples.size(), quiet.size());
    // No temporary file is left beside the results.
    EXPECT_EQ(tmp.Entries(), (std::vector<std::string>{"kept.wav", "key.wav", "signal.wav"}));
}

}  // namespace
