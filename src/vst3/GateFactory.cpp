// The module's factory: the gate's component, its controller, and the
// class that tells hosts which VST 2 plug-in it replaces; and the module's
// exported entry points.
#include <cstring>
#include <new>
#include <string>
#include <type_traits>

#include "vst3/GateComponent.h"
#include "vst3/GateController.h"
#include "vst3/Vst3Ids.h"

namespace tarnwick::vst3 {

namespace {

struct ClassFacts {
    const Uid* uid;
    FIDString category;
    const char* subCategories;
    uint32 flags;
};

const ClassFacts kClasses[] = {
    {&kProcessorUid, kVstAudioEffectClass, PlugType::kFxDynamics, kDistributable},
    {&kControllerUid, kVstComponentControllerClass, "", 0},
    {&kCompatibilityUid, kPluginCompatibilityClass, "", 0},
};
constexpr int32 kNumClasses = int32(sizeof kClasses / sizeof kClasses[0]);

// Answers which older classes the gate's component replaces, as the host
// reads it from a module without a moduleinfo.json.
class Compatibility final : public IPluginCompatibility {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        return Answer<IPluginCompatibility>(iid, this, obj);
    }
    TARNWICK_VST3_REFCOUNT(Compatibility);

public:
    tresult PLUGIN_API getCompatibilityJSON(IBStream* stream) override {
        const std::string json = std::string("[{\"New\": \"") + uidToString(kProcessorUid).data() +
                                 "\", \"Old\": [\"" + uidToString(kVst2Uid).data() + "\"]}]";
        return WriteStream(stream,
                           {reinterpret_cast<const std::uint8_t*>(json.data()), json.size()})
                   ? kResultOk
                   : kResultFalse;
    }

private:
    ~Compatibility() = default;
};

// A class's facts in any of the three records (the later ones add the
// flags, vendor and versions, the last in UTF-16).
template <class Info>
tresult describe(int32 index, Info* info) {
    if (!info || index < 0 || index >= kNumClasses) return kInvalidArgument;
    const ClassFacts& facts = kClasses[index];
    *info = Info{};
    std::memcpy(info->cid, facts.uid->data(), sizeof(TUID));
    info->cardinality = PClassInfo::kManyInstances;
    CopyText(info->category, facts.category);
    CopyText(info->name, kName);
    if constexpr (!std::is_same_v<Info, PClassInfo>) {
        info->classFlags = facts.flags;
        CopyText(info->subCategories, facts.subCategories);
        CopyText(info->vendor, kVendor);
        CopyText(info->version, kVersion);
        CopyText(info->sdkVersion, kVstVersionString);
    }
    return kResultOk;
}

class Factory final : public IPluginFactory3 {
public:
    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        return Answer<IPluginFactory3, IPluginFactory, IPluginFactory2>(iid, this, obj);
    }
    // One factory for the module's life: the count is kept but never frees it.
    uint32 PLUGIN_API addRef() override { return 1; }
    uint32 PLUGIN_API release() override { return 1; }

    tresult PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
        if (!info) return kInvalidArgument;
        *info = PFactoryInfo{};
        CopyText(info->vendor, kVendor);
        info->flags = PFactoryInfo::kUnicode;
        return kResultOk;
    }

    int32 PLUGIN_API countClasses() override { return kNumClasses; }

    tresult PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        return describe(index, info);
    }
    tresult PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        return describe(index, info);
    }
    tresult PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
        return describe(index, info);
    }

    tresult PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override {
        if (!obj) return kInvalidArgument;
        *obj = nullptr;
        if (!cid || !iid) return kInvalidArgument;
        FUnknown* made = nullptr;
        try {
            if (iidEqual(cid, kProcessorUid.data()))
                made = static_cast<IComponent*>(new GateComponent);
            else if (iidEqual(cid, kControllerUid.data()))
                made = static_cast<IEditController*>(new GateController);
            else if (iidEqual(cid, kCompatibilityUid.data()))
                made = new Compatibility;
            else
                return kNoInterface;
        } catch (...) {
            return kOutOfMemory;
        }
        const tresult answer = made->queryInterface(iid, obj);
        made->release();  // the creator's reference: the caller holds the query's
        return answer;
    }

    tresult PLUGIN_API setHostContext(FUnknown*) override { return kResultOk; }
};

Factory theFactory;

}  // namespace

}  // namespace tarnwick::vst3

// The module's exports. Nothing of the module has to be set up or torn
// down at entry and exit; the calls pair and may come more than once.
extern "C" {

__attribute__((visibility("default"))) tarnwick::vst3::IPluginFactory* PLUGIN_API
GetPluginFactory() {
    return &tarnwick::vst3::theFactory;
}

#if defined(_WIN32)
__attribute__((visibility("default"))) bool PLUGIN_API InitDll() { return true; }
__attribute__((visibility("default"))) bool PLUGIN_API ExitDll() { return true; }
#else
__attribute__((visibility("default"))) bool PLUGIN_API ModuleEntry(void*) { return true; }
__attribute__((visibility("default"))) bool PLUGIN_API ModuleExit() { return true; }
#endif
}
