#pragma once
// The gate's LV2 editor: the VST 2 module's editor window, bridge and form
// behind LV2's UI calls. The UI has an effect of its own that never processes
// audio; the host's port values are set on it, and its editor draws them and
// reports its changes through the effect's host callback, which this class
// turns into LV2's write function and touch gestures.

#include <lv2/ui/ui.h>

#include <cstdint>

#include "vst/DAEffect.h"

class APlugin;

namespace tarnwick::lv2 {

class GateUi {
public:
    // The editor opened as a child of the X window PARENT; throws when there
    // is no effect or no editor to be had (no X server, PARENT not a window).
    // TOUCH may be null: the host hears no gestures then.
    GateUi(std::uintptr_t parent, LV2UI_Write_Function write, LV2UI_Controller controller,
           const LV2UI_Touch* touch);
    ~GateUi();
    GateUi(const GateUi&) = delete;
    GateUi& operator=(const GateUi&) = delete;

    // The editor's X window, the widget the host embeds.
    std::uintptr_t widget() const { return widget_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // A value of the plug-in's port from the host. Control inputs go to the
    // effect (and so to the editor) without being written back; the key
    // level moves the meter.
    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer);
    // Input, timers, painting and the meter; the host calls it often.
    void idle();

private:
    static VstIntPtr hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt);

    APlugin* plugin_ = nullptr;
    AEffect* effect_ = nullptr;  // the effect's record; effClose deletes both
    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2UI_Touch* touch_;
    std::uintptr_t widget_ = 0;
    int width_ = 0;
    int height_ = 0;
};

}  // namespace tarnwick::lv2
