// The bundle as the LV2 tool chain sees it: validated against the format's
// vocabularies, listed by lilv, and processing files with lv2apply exactly as
// tarnwick-host processes them with the VST 2 module.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "lv2/GatePorts.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using namespace tarnwick::lv2;

const std::string kBundle = TARNWICK_LV2_BUNDLE;
const std::string kLv2Path =
    "LV2_PATH=" + fs::path(kBundle).parent_path().string() + ":/usr/lib/lv2 ";

// The output of a shell command, its standard error included, and whether it
// exited 0.
std::string run(const std::string& command, bool* ok = nullptr) {
    std::string text;
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (!p) return text;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, p)) text.append(buffer, n);
    const int status = pclose(p);
    if (ok) *ok = status == 0;
    return text;
}

bool have(const char* tool) {
    return std::system(("command -v " + std::string(tool) + " >/dev/null").c_str()) == 0;
}

#define REQUIRE_TOOL(tool, package) \
    if (!have(tool)) GTEST_SKIP() << tool << " not installed (Debian package " package ")"

TEST(Lv2Bundle, ValidatesAgainstTheLv2Vocabularies) {
    REQUIRE_TOOL("sord_validate", "sordi");
    // The vocabularies are the installed bundles that describe no plug-in.
    std::string files;
    for (const auto& bundle : fs::directory_iterator("/usr/lib/lv2")) {
        std::ifstream manifest(bundle.path() / "manifest.ttl");
        std::stringstream text;
        text << manifest.rdbuf();
        if (text.str().find("lv2:Plugin") != std::string::npos ||
            text.str().find("lv2core#Plugin") != std::string::npos)
            continue;
        for (const auto& f : fs::directory_iterator(bundle.path()))
            if (f.path().extension() == ".ttl") files += " " + f.path().string();
    }
    ASSERT_NE(files.find("lv2core.ttl"), std::string::npos) << "no LV2 vocabularies (lv2-dev)";
    bool ok = false;
    const std::string out = run("sord_validate" + files + " " + kBundle + "/*.ttl", &ok);
    EXPECT_TRUE(ok);
    EXPECT_NE(out.find("Found 0 errors"), std::string::npos) << out;
}

TEST(Lv2Bundle, LilvListsThePortsPresetsAndEditor) {
    REQUIRE_TOOL("lv2info", "lilv-utils");
    bool ok = false;
    const std::string out = run(kLv2Path + "lv2info " + kPluginUri, &ok);
    ASSERT_TRUE(ok) << out;
    EXPECT_NE(out.find("Name:              QB Sidechain Gate"), std::string::npos) << out;
    EXPECT_NE(out.find("Class:             Gate Plugin"), std::string::npos) << out;
    // The editor, an X11 UI in a binary of its own.
    EXPECT_TRUE(std::regex_search(out, std::regex(std::string("UIs:\\s+") + kUiUri +
                                                  "\\s+Class:\\s+\\S+#X11UI\\s+Binary:\\s+\\S+/"
                                                  "TarnwickUi[.]so")))
        << out;
    for (std::uint32_t i = 0; i < kNumPorts; ++i) {
        // The port's block: from its heading to the next one.
        const auto start = out.find("Port " + std::to_string(i) + ":");
        ASSERT_NE(start, std::string::npos) << "port " << i;
        const std::string block = out.substr(start, out.find("Port ", start + 5) - start);
        EXPECT_NE(block.find(std::string("Symbol:      ") + kPorts[i].symbol), std::string::npos)
            << block;
        EXPECT_EQ(block.find("isSideChain") != std::string::npos, kPorts[i].kind == PortKind::KeyIn)
            << block;
        EXPECT_EQ(block.find("toggled") != std::string::npos, kPorts[i].toggled) << block;
        if (kPorts[i].kind == PortKind::ControlIn) {
            EXPECT_NE(block.find("Maximum:     1.000000"), std::string::npos) << block;
        }
    }
    for (int p = 0; p < 16; ++p)
        EXPECT_TRUE(std::regex_search(out, std::regex("\n\\s+Preset " + std::to_string(p) + "\n")))
            << "preset " << p;
}

// The values the bundle's presets.ttl gives PRESET, by port symbol, as a
// host reads them (through sordi's N-Triples).
std::map<std::string, std::string> presetValues(int preset) {
    const std::string triples = run("sordi " + kBundle + "/presets.ttl");
    const std::string lv2 = "<http://lv2plug.in/ns/lv2core#";
    std::map<std::string, std::string> symbolOf, valueOf, values;
    std::vector<std::string> ports;
    const std::regex triple(R"re((\S+) (\S+) "?([^"]*?)"?(\^\^\S+)? \.)re");
    std::istringstream lines(triples);
    for (std::string line; std::getline(lines, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, triple)) continue;
        if (m[2] == lv2 + "symbol>") symbolOf[m[1]] = m[3];
        if (m[2] == "<http://lv2plug.in/ns/ext/presets#value>") valueOf[m[1]] = m[3];
        if (m[1] == "<" + std::string(kPluginUri) + ":preset" + std::to_string(preset) + ">" &&
            m[2] == lv2 + "port>")
            ports.push_back(m[3]);
    }
    for (const std::string& port : ports) values[symbolOf[port]] = valueOf[port];
    return values;
}

std::vector<float> readFrames(const std::string& path, int* channels) {
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f) return {};
    std::vector<float> frames(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(f, frames.data(), info.frames);
    sf_close(f);
    *channels = info.channels;
    return frames;
}

TEST(Lv2Bundle, Lv2ApplyProcessesAsTheVst2HostDoes) {
    REQUIRE_TOOL("lv2apply", "lilv-utils");
    tarnwick::test::TempDir dir;
    // Four channels: the signal pair, then the key pair, whose bursts cross
    // the thresholds used below.
    const int rate = 44100, frames = 66150;
    std::vector<float> in(4 * frames);
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double burst = ((i / 5000) % 4) * 0.25;
        in[4 * i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 220 * t));
        in[4 * i + 1] = static_cast<float>(0.5 * std::sin(2 * M_PI * 277 * t));
        in[4 * i + 2] = static_cast<float>(burst * std::sin(2 * M_PI * 55 * t));
        in[4 * i + 3] = static_cast<float>(burst * 0.5 * std::sin(2 * M_PI * 80 * t));
    }
    const std::string input = dir.File("in.wav");
    SF_INFO info{0, rate, 4, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 0, 0};
    SNDFILE* f = sf_open(input.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_float(f, in.data(), frames);
    sf_close(f);

    struct Setting {
        std::map<std::string, std::string> values;
        int block;
        int program;  // -1: none; else lv2apply gets the preset's values
    };
    const std::vector<Setting> settings = {
        {{}, 512, -1},
        {{{"threshold", "0.25"}, {"attack", "0.01"}, {"release", "0.05"}}, 333, -1},
        {{{"threshold", "0.375"}, {"hold", "0"}, {"envmode", "1"}}, 1, -1},
        {{{"active", "0"}}, 4096, -1},
        {{}, 64, 7},
    };
    for (std::size_t s = 0; s < settings.size(); ++s) {
        SCOPED_TRACE("setting " + std::to_string(s));
        auto values = settings[s].values;
        std::string hostArgs = " --block " + std::to_string(settings[s].block);
        if (settings[s].program >= 0) {
            values = presetValues(settings[s].program);
            ASSERT_EQ(values.size(), kNumControls);
            hostArgs += " --program " + std::to_string(settings[s].program);
        }
        std::string lv2Args;
        for (const auto& [symbol, value] : values) lv2Args += " -c " + symbol + " " + value;
        if (settings[s].program < 0)
            for (const auto& [symbol, value] : values) hostArgs += " --set " + symbol + "=" + value;
        const std::string lv2Out = dir.File("lv2-" + std::to_string(s) + ".wav");
        const std::string hostOut = dir.File("host-" + std::to_string(s) + ".wav");
        bool ok = false;
        std::string out = run(
            kLv2Path + "lv2apply -i " + input + " -o " + lv2Out + lv2Args + " " + kPluginUri, &ok);
        ASSERT_TRUE(ok) << out;
        out = run(std::string(TARNWICK_HOST) + " process " + TARNWICK_VST_MODULE + " --signal " +
                      input + " --out " + hostOut + hostArgs,
                  &ok);
        ASSERT_TRUE(ok) << out;

        int lv2Channels = 0, hostChannels = 0;
        const auto a = readFrames(lv2Out, &lv2Channels);
        const auto b = readFrames(hostOut, &hostChannels);
        EXPECT_EQ(lv2Channels, 2);
        EXPECT_EQ(hostChannels, 2);
        ASSERT_EQ(a.size(), static_cast<std::size_t>(2 * frames));
        ASSERT_EQ(a.size(), b.size());
        EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
        // Not a pair of silences: the gate lets the signal through somewhere,
        // and (switched on) shuts it somewhere.
        std::size_t loud = 0, silent = 0;
        for (float x : a) {
            if (std::fabs(x) > 0.01f) ++loud;
            if (x == 0.0f) ++silent;
        }
        EXPECT_GT(loud, 1000u);
        if (values.count("active") == 0) {
            EXPECT_GT(silent, 1000u);
        }
    }
}

}  // namespace
