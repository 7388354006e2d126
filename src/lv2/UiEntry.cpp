// The editor binary's one export: LV2's descriptor of the gate's X11 editor.
// Every call lands in a GateUi; nothing unwinds into the host.
#include <lv2/ui/ui.h>

#include <cstring>

#include "lv2/GatePorts.h"
#include "lv2/GateUi.h"

namespace {

using tarnwick::lv2::GateUi;

GateUi* ui(LV2UI_Handle handle) { return static_cast<GateUi*>(handle); }

const void* feature(const LV2_Feature* const* features, const char* uri) {
    for (; features && *features; ++features)
        if ((*features)->URI && std::strcmp((*features)->URI, uri) == 0) return (*features)->data;
    return nullptr;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    if (!widget || !pluginUri || std::strcmp(pluginUri, tarnwick::lv2::kPluginUri) != 0)
        return nullptr;
    // An X11 editor lives inside the host's window; without one there is
    // nothing to show it in.
    const void* parent = feature(features, LV2_UI__parent);
    if (!parent) return nullptr;
    try {
        auto* editor =
            new GateUi(reinterpret_cast<std::uintptr_t>(parent), write, controller,
                       static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch)));
        if (auto* resize = static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize));
            resize && resize->ui_resize)
            resize->ui_resize(resize->handle, editor->width(), editor->height());
        *widget = reinterpret_cast<LV2UI_Widget>(editor->widget());
        return editor;
    } catch (...) {
        return nullptr;  // the host shows no editor (or its own controls)
    }
}

void cleanup(LV2UI_Handle handle) {
    try {
        delete ui(handle);
    } catch (...) {}
}

void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format,
               const void* buffer) {
    try {
        ui(handle)->portEvent(port, size, format, buffer);
    } catch (...) {}
}

int idle(LV2UI_Handle handle) {
    try {
        ui(handle)->idle();
    } catch (...) {}
    return 0;
}

const LV2UI_Idle_Interface kIdle = {idle};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {tarnwick::lv2::kUiUri, instantiate, cleanup, portEvent,
                                      extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
