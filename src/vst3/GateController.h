#pragma once
// The gate's VST 3 edit controller: the parameters' names, units and texts,
// the programs as the root unit's program list, and the editor. Its values
// live on the driver's editor host (an effect that never processes), so the
// editor shows exactly what the host has set; the editor's edits go to the
// host as begin / perform / end.

#include <memory>

#include "driver/EditorHost.h"
#include "vst3/Vst3Support.h"

namespace tarnwick::vst3 {

class GateView;

class GateController final : public IEditController,
                             public IUnitInfo,
                             private driver::EditorListener {
public:
    GateController();

    tresult PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    TARNWICK_VST3_REFCOUNT(GateController);

public:
    // IPluginBase
    tresult PLUGIN_API initialize(FUnknown* context) override;
    tresult PLUGIN_API terminate() override;
    // IEditController
    tresult PLUGIN_API setComponentState(IBStream* state) override;
    tresult PLUGIN_API setState(IBStream* state) override;
    tresult PLUGIN_API getState(IBStream* state) override;
    int32 PLUGIN_API getParameterCount() override;
    tresult PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
    tresult PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                             String128 string) override;
    tresult PLUGIN_API getParamValueByString(ParamID id, TChar* string,
                                             ParamValue& valueNormalized) override;
    ParamValue PLUGIN_API normalizedParamToPlain(ParamID id, ParamValue valueNormalized) override;
    ParamValue PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) override;
    ParamValue PLUGIN_API getParamNormalized(ParamID id) override;
    tresult PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override;
    tresult PLUGIN_API setComponentHandler(IComponentHandler* handler) override;
    IPlugView* PLUGIN_API createView(FIDString name) override;
    // IUnitInfo
    int32 PLUGIN_API getUnitCount() override { return 1; }
    tresult PLUGIN_API getUnitInfo(int32 unitIndex, UnitInfo& info) override;
    int32 PLUGIN_API getProgramListCount() override { return 1; }
    tresult PLUGIN_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) override;
    tresult PLUGIN_API getProgramName(ProgramListID listId, int32 programIndex,
                                      String128 name) override;
    tresult PLUGIN_API getProgramInfo(ProgramListID, int32, CString, String128) override {
        return kResultFalse;
    }
    tresult PLUGIN_API hasProgramPitchNames(ProgramListID, int32) override { return kResultFalse; }
    tresult PLUGIN_API getProgramPitchName(ProgramListID, int32, int16, String128) override {
        return kResultFalse;
    }
    UnitID PLUGIN_API getSelectedUnit() override { return kRootUnitId; }
    tresult PLUGIN_API selectUnit(UnitID unitId) override {
        return unitId == kRootUnitId ? kResultOk : kInvalidArgument;
    }
    tresult PLUGIN_API getUnitByBus(MediaType, BusDirection, int32, int32, UnitID&) override {
        return kResultFalse;
    }
    tresult PLUGIN_API setUnitProgramData(int32, int32, IBStream*) override {
        return kNotImplemented;
    }

    // For the view: the editor, and the one view attached to it (or null).
    driver::EditorHost* editor() { return editor_.get(); }
    GateView*& attachedView() { return attachedView_; }

private:
    ~GateController() = default;
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, float value) override;
    void endEdit(std::int32_t index) override;

    std::unique_ptr<driver::EditorHost> editor_;
    Ref<IComponentHandler> handler_;
    GateView* attachedView_ = nullptr;
    float keyLevel_ = 0.0f;
};

}  // namespace tarnwick::vst3
