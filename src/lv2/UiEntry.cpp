// The editor binary's one export: LV2's descriptor of the gate's X11 editor.
// Every call lands in a GateUi; nothing unwinds into the host.
#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

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

// The host's ui:scaleFactor among OPTIONS (a float, its URIs mapped by
// MAP), or 0 when it gives none.
double ScaleOption(const LV2_Options_Option* options, const LV2_URID_Map* map) {
    if (!options || !map || !map->map) return 0.0;
    const LV2_URID key = map->map(map->handle, LV2_UI__scaleFactor);
    const LV2_URID type = map->map(map->handle, LV2_ATOM__Float);
    for (; options->key != 0; ++options)
        if (options->key == key && options->type == type && options->size == sizeof(float) &&
            options->value)
            return *static_cast<const float*>(options->value);
    return 0.0;
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
        auto* map = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map));
        auto* editor = new GateUi(
            reinterpret_cast<std::uintptr_t>(parent), write, controller,
            static_cast<const LV2UI_Touch*>(feature(features, LV2_UI__touch)),
            static_cast<const LV2UI_Resize*>(feature(features, LV2_UI__resize)), map,
            ScaleOption(
                static_cast<const LV2_Options_Option*>(feature(features, LV2_OPTIONS__options)),
                map));
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

// A host changes the scale while the editor is shown through the options
// interface; the editor has no option to report.
const LV2_Options_Interface kOptions = {
    [](LV2_Handle, LV2_Options_Option*) -> uint32_t { return LV2_OPTIONS_ERR_UNKNOWN; },
    [](LV2_Handle handle, const LV2_Options_Option* options) -> uint32_t {
        try {
            GateUi* editor = ui(handle);
            if (const double scale = ScaleOption(options, editor->map()); scale != 0.0) {
                editor->setScale(scale);
                return LV2_OPTIONS_SUCCESS;
            }
        } catch (...) {}
        return LV2_OPTIONS_ERR_UNKNOWN;
    },
};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdle;
    if (uri && std::strcmp(uri, LV2_OPTIONS__interface) == 0) return &kOptions;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {tarnwick::lv2::kUiUri, instantiate, cleanup, portEvent,
                                      extensionData};

}  // namespace

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
