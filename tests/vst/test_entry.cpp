// The module as a host meets it: loaded with dlopen or LoadLibrary, entered
// through the exported main / VSTPluginMain, closed through the record.
#include <gtest/gtest.h>

#include "EntryModuleProtocol.h"
#include "VstTestSupport.h"
#include "support/LoadedModule.h"

using namespace vsttest;
using namespace tarnwick::test;

namespace {

using MainProc = AEffect* (*)(audioMasterCallback);

unsigned short fpuControlWord() {
    unsigned short word = 0;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}

class EntryPoint : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Start with invalid-operation, division-by-zero and overflow traps
        // enabled, so that the check below sees what loading the module did.
        const unsigned short trapping = 0x0372;
        __asm__ volatile("fldcw %0" : : "m"(trapping));
        handle_ = OpenModule(TARNWICK_VST_TEST_MODULE);
        controlWordAfterLoad_ = fpuControlWord();
    }
    void SetUp() override {
        ASSERT_NE(handle_, nullptr) << ModuleError();
        main_ = reinterpret_cast<MainProc>(ModuleSymbol(handle_, "main"));
        pluginMain_ = reinterpret_cast<MainProc>(ModuleSymbol(handle_, "VSTPluginMain"));
        ASSERT_NE(main_, nullptr);
        ASSERT_NE(pluginMain_, nullptr);
        host.setAnswer(audioMasterVersion, 2400);
    }

    std::vector<VstInt32> reports() const {
        std::vector<VstInt32> found;
        for (const HostCall& c : host.calls())
            if (c.opcode == audioMasterVendorSpecific && c.index != kAskFactoryMode)
                found.push_back(c.index);
        return found;
    }

    static inline void* handle_ = nullptr;
    static inline unsigned short controlWordAfterLoad_ = 0;
    MainProc main_ = nullptr;
    MainProc pluginMain_ = nullptr;
    RecordingHost host;
};

TEST_F(EntryPoint, LoadingTheModuleMasksEveryFloatingPointException) {
    // Bit 6 of the control word is reserved: processors read it back as 1
    // whatever was loaded (0x133F reads as 0x137F), emulators may not.
    EXPECT_EQ(controlWordAfterLoad_ & ~0x40, 0x133F);
}

TEST_F(EntryPoint, BothExportedNamesCreateAnEffectAfterAskingTheHostsVersion) {
    for (MainProc entry : {main_, pluginMain_}) {
        host.clear();
        AEffect* record = entry(RecordingHost::callback);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->magic, kEffectMagic);
        EXPECT_EQ(record->numPrograms, 2);
        ASSERT_GE(host.calls().size(), 1u);
        EXPECT_EQ(host.calls()[0].opcode, audioMasterVersion);
        EXPECT_EQ(host.calls()[0].effect, nullptr);
        EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    }
}

TEST_F(EntryPoint, EachCallMakesAnIndependentEffect) {
    AEffect* first = main_(RecordingHost::callback);
    AEffect* second = main_(RecordingHost::callback);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_NE(first->object, second->object);
    first->dispatcher(first, effSetProgram, 0, 1, nullptr, 0.0f);
    EXPECT_EQ(first->dispatcher(first, effGetProgram, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(second->dispatcher(second, effGetProgram, 0, 0, nullptr, 0.0f), 0);
    first->dispatcher(first, effClose, 0, 0, nullptr, 0.0f);
    second->dispatcher(second, effClose, 0, 0, nullptr, 0.0f);
}

TEST_F(EntryPoint, CloseRunsCloseThenDestroysTheEffect) {
    AEffect* record = main_(RecordingHost::callback);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(reports(), (std::vector<VstInt32>{kReportClosed, kReportDestroyed}));
}

TEST_F(EntryPoint, AHostWithoutAVersionGetsNoEffect) {
    host.setAnswer(audioMasterVersion, 0);
    EXPECT_EQ(main_(RecordingHost::callback), nullptr);
    ASSERT_EQ(host.calls().size(), 1u);  // the factory was never asked
    EXPECT_EQ(host.calls()[0].opcode, audioMasterVersion);
    EXPECT_EQ(main_(nullptr), nullptr);  // no callback at all
    EXPECT_EQ(pluginMain_(nullptr), nullptr);
}

TEST_F(EntryPoint, AFailedConstructionAnswersNull) {
    host.setAnswer(audioMasterVendorSpecific, kThrow);
    EXPECT_EQ(main_(RecordingHost::callback), nullptr);
    host.setAnswer(audioMasterVendorSpecific, kReturnNull);
    EXPECT_EQ(pluginMain_(RecordingHost::callback), nullptr);
    EXPECT_TRUE(reports().empty());
}

}  // namespace
