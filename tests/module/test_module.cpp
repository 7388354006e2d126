// The built plug-in module, loaded as a host loads it. (The Windows module's
// export and import tables are checked by check_windows_module.sh.)
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "support/LoadedModule.h"
#include "support/RecordingHost.h"

namespace {

using namespace tarnwick::test;

using MainProc = AEffect* (*)(audioMasterCallback);

// The 32-bit Windows module exports its entry point as "main" alone; the
// others under both names.
#if defined(_WIN32) && defined(__i386__)
constexpr const char* kOtherEntry = "main";
#else
constexpr const char* kOtherEntry = "VSTPluginMain";
#endif

#if !defined(_WIN32)
std::string runCommand(const std::string& command) {
    std::string output;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buf[512];
        while (std::fgets(buf, sizeof buf, pipe)) output += buf;
        pclose(pipe);
    }
    return output;
}
#endif

#if defined(__i386__) || defined(__x86_64__)
unsigned short fpuControlWord() {
    unsigned short cw = 0;
    __asm__ volatile("fnstcw %0" : "=m"(cw));
    return cw;
}
void setFpuControlWord(unsigned short cw) { __asm__ volatile("fldcw %0" : : "m"(cw)); }
#endif

class Module : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
#if defined(__i386__) || defined(__x86_64__)
        setFpuControlWord(0x037F);  // the usual default, so that the load visibly changes it
#endif
        handle = OpenModule(TARNWICK_MODULE_PATH);
#if defined(__i386__) || defined(__x86_64__)
        controlWordAfterLoad = fpuControlWord();
#endif
    }
    static void TearDownTestSuite() {
        if (handle) CloseModule(handle);
        handle = nullptr;
    }
    void SetUp() override { ASSERT_NE(handle, nullptr) << ModuleError(); }
    MainProc entry(const char* name) {
        return reinterpret_cast<MainProc>(ModuleSymbol(handle, name));
    }

    static void* handle;
    static unsigned short controlWordAfterLoad;
};

void* Module::handle = nullptr;
unsigned short Module::controlWordAfterLoad = 0;

}  // namespace

#if defined(_WIN32)
TEST_F(Module, EntryPointsAreFoundByName) {
    EXPECT_NE(entry("main"), nullptr);
#if defined(__i386__)
    EXPECT_EQ(entry("VSTPluginMain"), nullptr);
#else
    EXPECT_EQ(entry("VSTPluginMain"), entry("main"));
#endif
}
#else
TEST_F(Module, ExportsExactlyTheTwoEntryPoints) {
    const std::string listing =
        runCommand(std::string("nm -D --defined-only ") + TARNWICK_MODULE_PATH);
    std::set<std::string> names;
    std::size_t start = 0;
    while (start < listing.size()) {
        std::size_t end = listing.find('\n', start);
        if (end == std::string::npos) end = listing.size();
        const std::string line = listing.substr(start, end - start);
        const std::size_t space = line.rfind(' ');
        if (space != std::string::npos) names.insert(line.substr(space + 1));
        start = end + 1;
    }
    EXPECT_EQ(names, (std::set<std::string>{"main", "VSTPluginMain"})) << listing;
    EXPECT_NE(entry("main"), nullptr);
    EXPECT_NE(entry("VSTPluginMain"), nullptr);
}

TEST_F(Module, CarriesItsOwnCxxRuntime) {
    const std::string headers = runCommand(std::string("objdump -p ") + TARNWICK_MODULE_PATH);
    ASSERT_NE(headers.find("NEEDED"), std::string::npos) << headers;
    EXPECT_EQ(headers.find("libstdc++"), std::string::npos);
    EXPECT_EQ(headers.find("libgcc_s"), std::string::npos);
}
#endif

#if defined(__i386__) || defined(__x86_64__)
TEST_F(Module, LoadingMasksEveryFloatingPointException) {
    // Bit 6 is reserved and reads back as set whatever was loaded.
    EXPECT_EQ(controlWordAfterLoad & ~0x0040, 0x133F);
}
#endif

TEST_F(Module, MainRefusesAHostWithoutAVersion) {
    RecordingHost host(RecordingHost::Answers::LikeAHost);
    host.setAnswer(audioMasterVersion, 0);
    EXPECT_EQ(entry("main")(&RecordingHost::callback), nullptr);
    EXPECT_EQ(host.count(audioMasterVersion), 1);
    EXPECT_EQ(host.count(audioMasterGetVendorString), 0);  // nothing was created
    EXPECT_EQ(entry(kOtherEntry)(nullptr), nullptr);
}

TEST_F(Module, EachCallMakesAnIndependentGate) {
    RecordingHost host(RecordingHost::Answers::LikeAHost);
    AEffect* a = entry("main")(&RecordingHost::callback);
    AEffect* b = entry(kOtherEntry)(&RecordingHost::callback);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    EXPECT_NE(a, b);
    EXPECT_NE(a->object, b->object);
    for (AEffect* e : {a, b}) {
        EXPECT_EQ(e->magic, 0x56737450);
        EXPECT_EQ(e->uniqueID, 0x34313634);
        EXPECT_EQ(e->flags, 25);
        EXPECT_EQ(e->numInputs, 4);
        EXPECT_EQ(e->numOutputs, 2);
    }
    char name[64] = {};
    EXPECT_EQ(a->dispatcher(a, effGetEffectName, 0, 0, name, 0.0f), 1);
    EXPECT_STREQ(name, "QB Sidechain Gate");

    // A host's life cycle: open, rate, block size, mains on, audio, mains off.
    a->dispatcher(a, effOpen, 0, 0, nullptr, 0.0f);
    a->dispatcher(a, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    a->dispatcher(a, effSetBlockSize, 0, 64, nullptr, 0.0f);
    a->dispatcher(a, effMainsChanged, 0, 1, nullptr, 0.0f);
    a->setParameter(a, 5, 0.0f);  // only a's gate is switched off
    float in[4][64], out[2][64];
    for (int i = 0; i < 64; ++i) {
        in[0][i] = 0.5f;
        in[1][i] = -0.5f;
        in[2][i] = in[3][i] = 0.0f;
    }
    float* inputs[4] = {in[0], in[1], in[2], in[3]};
    float* outputs[2] = {out[0], out[1]};
    a->processReplacing(a, inputs, outputs, 64);
    EXPECT_EQ(out[0][63], 0.5f);
    EXPECT_EQ(out[1][0], -0.5f);
    b->processReplacing(b, inputs, outputs, 64);
    EXPECT_EQ(out[0][63], 0.0f);  // b's gate is closed on a silent key
    EXPECT_EQ(b->getParameter(b, 5), 1.0f);
    a->dispatcher(a, effMainsChanged, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(a->dispatcher(a, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(b->dispatcher(b, effClose, 0, 0, nullptr, 0.0f), 1);
}
