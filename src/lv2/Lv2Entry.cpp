// The plug-in binary's one export: LV2's descriptor of the gate. Every call
// lands in a GateInstance; nothing unwinds into the host.
#include <lv2/core/lv2.h>

#include <new>

#include "lv2/GateInstance.h"

namespace {

using tarnwick::lv2::GateInstance;

GateInstance* gate(LV2_Handle handle) { return static_cast<GateInstance*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double sampleRate, const char*,
                       const LV2_Feature* const*) {
    try {
        return new GateInstance(sampleRate);
    } catch (...) {
        return nullptr;  // the host reports that the plug-in could not be made
    }
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) {
    gate(handle)->connect(port, data);
}

void activate(LV2_Handle handle) { gate(handle)->activate(); }

void run(LV2_Handle handle, uint32_t frames) { gate(handle)->run(frames); }

void deactivate(LV2_Handle handle) { gate(handle)->deactivate(); }

void cleanup(LV2_Handle handle) { delete gate(handle); }

const void* extensionData(const char*) { return nullptr; }

const LV2_Descriptor kDescriptor = {tarnwick::lv2::kPluginUri,
                                    instantiate,
                                    connectPort,
                                    activate,
                                    run,
                                    deactivate,
                                    cleanup,
                                    extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
