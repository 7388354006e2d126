#pragma once
// The gate's audio side as a VST 3 component: the signal on the main input
// bus, the key on an auxiliary (side-chain) bus, the driver's effect behind
// them, so the samples are the VST 2 module's.

#include <memory>

#include "driver/Processor.h"
#include "vst3/Vst3Support.h"

namespace tarnwick::vst3 {

class GateComponent final : public IComponent,
                            public IAudioProcessor,
                            public IProcessContextRequirements {
public:
    GateComponent();

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    TARNWICK_VST3_REFCOUNT(GateComponent);

public:
    // IPluginBase
    tresult PLUGIN_API initialize(FUnknown* context) override;
    tresult PLUGIN_API terminate() override;
    // IComponent
    tresult PLUGIN_API getControllerClassId(TUID classId) override;
    tresult PLUGIN_API setIoMode(IoMode mode) override;
    int32 PLUGIN_API getBusCount(MediaType type, BusDirection dir) override;
    tresult PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index,
                                  BusInfo& bus) override;
    tresult PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
    tresult PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index,
                                   TBool state) override;
    tresult PLUGIN_API setActive(TBool state) override;
    tresult PLUGIN_API setState(IBStream* state) override;
    tresult PLUGIN_API getState(IBStream* state) override;
    // IAudioProcessor
    tresult PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                          SpeakerArrangement* outputs, int32 numOuts) override;
    tresult PLUGIN_API getBusArrangement(BusDirection dir, int32 index,
                                         SpeakerArrangement& arr) override;
    tresult PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;
    uint32 PLUGIN_API getLatencySamples() override { return 0; }
    tresult PLUGIN_API setupProcessing(ProcessSetup& setup) override;
    tresult PLUGIN_API setProcessing(TBool) override { return kResultOk; }
    tresult PLUGIN_API process(ProcessData& data) override;
    uint32 PLUGIN_API getTailSamples() override { return kNoTail; }
    // IProcessContextRequirements: the gate needs nothing of the transport.
    uint32 PLUGIN_API getProcessContextRequirements() override { return 0; }

private:
    ~GateComponent() = default;
    void reportKeyLevel(ProcessData& data);

    std::unique_ptr<driver::Processor> gate_;
    bool keyBusActive_ = true;
    bool everActive_ = false;
    float reportedKeyLevel_ = -1.0f;  // nothing reported yet
};

}  // namespace tarnwick::vst3
