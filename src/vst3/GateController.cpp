#include "vst3/GateController.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "driver/Parameters.h"
#include "plugin/uPlugin.h"
#include "vst3/GateView.h"
#include "vst3/Vst3Ids.h"

namespace tarnwick::vst3 {

namespace {

constexpr int32 kNumPrograms = driver::kStatePrograms;
// The six parameters, then the program change and the key's level.
constexpr int32 kNumParameterInfos = driver::kNumParameters + 2;

bool isGateParameter(ParamID id) { return id < ParamID(driver::kNumParameters); }

int32 programOf(ParamValue normalized) {
    // NaN, which has no conversion to int, is taken as 0, as a parameter's is.
    if (!(normalized >= 0.0)) return 0;
    return std::min(kNumPrograms - 1, int32(std::min(normalized, 1.0) * kNumPrograms));
}

}  // namespace

GateController::GateController() = default;

tresult PLUGIN_API GateController::queryInterface(const TUID iid, void** obj) {
    return Answer<IEditController, IPluginBase, IUnitInfo>(iid, this, obj);
}

tresult PLUGIN_API GateController::initialize(FUnknown*) {
    if (editor_) return kResultFalse;
    try {
        editor_ = std::make_unique<driver::EditorHost>(static_cast<driver::EditorListener*>(this));
    } catch (...) {
        return kOutOfMemory;
    }
    return kResultOk;
}

tresult PLUGIN_API GateController::terminate() {
    if (attachedView_) attachedView_->controllerGone();
    editor_.reset();
    handler_.reset();
    return kResultOk;
}

tresult PLUGIN_API GateController::setComponentState(IBStream* state) {
    if (!editor_) return kNotInitialized;
    driver::GateState read;
    const tresult answer = ReadState(state, read);
    if (answer == kResultOk) editor_->setState(read);
    return answer;
}

// Everything the controller shows comes from the component's state.
tresult PLUGIN_API GateController::setState(IBStream*) { return kResultOk; }
tresult PLUGIN_API GateController::getState(IBStream*) { return kResultOk; }

int32 PLUGIN_API GateController::getParameterCount() { return kNumParameterInfos; }

tresult PLUGIN_API GateController::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
    if (paramIndex < 0 || paramIndex >= kNumParameterInfos) return kInvalidArgument;
    info = ParameterInfo{};
    info.unitId = kRootUnitId;
    if (paramIndex < driver::kNumParameters) {
        const driver::ParameterInfo& p = driver::kParameters[paramIndex];
        info.id = ParamID(paramIndex);
        CopyText(info.title, p.title);
        CopyText(info.shortTitle, p.title);
        CopyText(info.units, p.units);
        info.stepCount = p.steps;
        info.defaultNormalizedValue = driver::DefaultValue(paramIndex);
        info.flags = ParameterInfo::kCanAutomate;
    } else if (paramIndex == driver::kNumParameters) {
        info.id = kProgramParamId;
        CopyText(info.title, "Program");
        CopyText(info.shortTitle, "Program");
        info.stepCount = kNumPrograms - 1;
        info.flags = ParameterInfo::kIsProgramChange | ParameterInfo::kIsList;
    } else {
        info.id = kKeyLevelParamId;
        CopyText(info.title, "Key level");
        CopyText(info.shortTitle, "Key");
        CopyText(info.units, "dB");
        info.flags = ParameterInfo::kIsReadOnly;
    }
    return kResultOk;
}

tresult PLUGIN_API GateController::getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                         String128 string) {
    if (!string) return kInvalidArgument;
    std::string text;
    if (isGateParameter(id)) {
        text = driver::ValueText(int(id), valueNormalized);
    } else if (id == kProgramParamId) {
        char name[kVstMaxProgNameLen + 1] = {};
        if (editor_) editor_->plugin().getProgramNameIndexed(0, programOf(valueNormalized), name);
        text = name;
    } else if (id == kKeyLevelParamId) {
        text = driver::ValueText(3, valueNormalized);
    } else {
        return kInvalidArgument;
    }
    CopyText(string, 128, text.c_str());
    return kResultOk;
}

tresult PLUGIN_API GateController::getParamValueByString(ParamID id, TChar* string,
                                                         ParamValue& valueNormalized) {
    if (!string) return kInvalidArgument;
    const std::string text = Narrow(string);
    double value = 0.0;
    if (isGateParameter(id) || id == kKeyLevelParamId) {
        if (!driver::TextValue(isGateParameter(id) ? int(id) : 3, text, value)) return kResultFalse;
        valueNormalized = value;
        return kResultOk;
    }
    if (id != kProgramParamId) return kInvalidArgument;
    // A program by its name, or by its number.
    for (int32 p = 0; editor_ && p < kNumPrograms; ++p) {
        char name[kVstMaxProgNameLen + 1] = {};
        editor_->plugin().getProgramNameIndexed(0, p, name);
        if (text == name) {
            valueNormalized = double(p) / (kNumPrograms - 1);
            return kResultOk;
        }
    }
    try {
        const int p = std::stoi(text);
        if (p < 0 || p >= kNumPrograms) return kResultFalse;
        valueNormalized = double(p) / (kNumPrograms - 1);
        return kResultOk;
    } catch (...) {
        return kResultFalse;
    }
}

ParamValue PLUGIN_API GateController::normalizedParamToPlain(ParamID id,
                                                             ParamValue valueNormalized) {
    // The program's plain value is its number; the others' are the
    // effect's own values, 0 to 1.
    return id == kProgramParamId ? ParamValue(programOf(valueNormalized)) : valueNormalized;
}

ParamValue PLUGIN_API GateController::plainParamToNormalized(ParamID id, ParamValue plainValue) {
    if (id == kProgramParamId)
        return std::clamp(std::round(plainValue), 0.0, double(kNumPrograms - 1)) /
               (kNumPrograms - 1);
    return plainValue;
}

ParamValue PLUGIN_API GateController::getParamNormalized(ParamID id) {
    if (!editor_) return 0.0;
    if (isGateParameter(id)) return editor_->parameter(int32(id));
    if (id == kProgramParamId) return double(editor_->program()) / (kNumPrograms - 1);
    if (id == kKeyLevelParamId) return keyLevel_;
    return 0.0;
}

tresult PLUGIN_API GateController::setParamNormalized(ParamID id, ParamValue value) {
    if (!editor_) return kNotInitialized;
    if (isGateParameter(id)) {
        editor_->setParameter(int32(id), float(value));
    } else if (id == kProgramParamId) {
        // No program, as the component takes a NaN program change.
        if (std::isnan(value)) return kInvalidArgument;
        const int32 program = programOf(value);
        if (program == editor_->program()) return kResultOk;
        // The program's values are the parameters' now: the host reads them again.
        editor_->setProgram(program);
        if (handler_) handler_->restartComponent(kParamValuesChanged);
    } else if (id == kKeyLevelParamId) {
        const float level = std::isnan(value) ? 0.0f : float(std::clamp(value, 0.0, 1.0));
        keyLevel_ = level;
        editor_->setKeyLevel(level);
    } else {
        return kInvalidArgument;
    }
    return kResultOk;
}

tresult PLUGIN_API GateController::setComponentHandler(IComponentHandler* handler) {
    handler_.reset(handler);
    return kResultOk;
}

IPlugView* PLUGIN_API GateController::createView(FIDString name) {
    if (!editor_ || !name || std::string(name) != ViewType::kEditor) return nullptr;
    try {
        return new GateView(this);
    } catch (...) {
        return nullptr;
    }
}

tresult PLUGIN_API GateController::getUnitInfo(int32 unitIndex, UnitInfo& info) {
    if (unitIndex != 0) return kInvalidArgument;
    info = UnitInfo{};
    info.id = kRootUnitId;
    info.parentUnitId = kNoParentUnitId;
    info.programListId = kProgramListId;
    CopyText(info.name, "Root");
    return kResultOk;
}

tresult PLUGIN_API GateController::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
    if (listIndex != 0) return kInvalidArgument;
    info = ProgramListInfo{};
    info.id = kProgramListId;
    info.programCount = kNumPrograms;
    CopyText(info.name, "Programs");
    return kResultOk;
}

tresult PLUGIN_API GateController::getProgramName(ProgramListID listId, int32 programIndex,
                                                  String128 name) {
    if (!editor_) return kNotInitialized;
    if (listId != kProgramListId || programIndex < 0 || programIndex >= kNumPrograms || !name)
        return kInvalidArgument;
    char text[kVstMaxProgNameLen + 1] = {};
    editor_->plugin().getProgramNameIndexed(0, programIndex, text);
    CopyText(name, 128, text);
    return kResultOk;
}

// The editor's gestures, for the host. A gesture the host cut short (the
// view removed mid-drag) still ends: closing the editor ends it.
void GateController::beginEdit(std::int32_t index) {
    if (handler_) handler_->beginEdit(ParamID(index));
}

void GateController::performEdit(std::int32_t index, float value) {
    if (handler_) handler_->performEdit(ParamID(index), value);
}

void GateController::endEdit(std::int32_t index) {
    if (handler_) handler_->endEdit(ParamID(index));
}

}  // namespace tarnwick::vst3
