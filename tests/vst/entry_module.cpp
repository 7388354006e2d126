// The effect factory of the entry-point test module.
#include <stdexcept>

#include "EntryModuleProtocol.h"
#include "vst/DAudioEffectX.h"
#include "vst/DVstMain.h"

using namespace vsttest;

namespace {

class ModuleEffect : public AudioEffectX {
public:
    explicit ModuleEffect(audioMasterCallback audioMaster) : AudioEffectX(audioMaster, 2, 1) {}
    ~ModuleEffect() override { hostVendorSpecific(kReportDestroyed, 0, nullptr, 0.0f); }
    void process(float**, float**, VstInt32) override {}
    void close() override { hostVendorSpecific(kReportClosed, 0, nullptr, 0.0f); }
};

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    switch (audioMaster(nullptr, audioMasterVendorSpecific, kAskFactoryMode, 0, nullptr, 0.0f)) {
        case kThrow: throw std::runtime_error("effect could not be built");
        case kReturnNull: return nullptr;
        default: return new ModuleEffect(audioMaster);
    }
}
