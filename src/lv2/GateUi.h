#pragma once
// The gate's LV2 editor: the module's editor on the shared driver's editor
// host, behind LV2's UI calls. The host's port values are set on the
// editor's effect, which draws them; the editor's gestures become LV2's
// write function and touch.

#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <cstdint>

#include "driver/EditorHost.h"

namespace tarnwick::lv2 {

class GateUi final : private driver::EditorListener {
public:
    // The editor opened as a child of the X window PARENT; throws when there
    // is no effect or no editor to be had (no X server, PARENT not a window).
    // TOUCH may be null: the host hears no gestures then. The editor is
    // drawn at SCALE (0: the system's), and told to the host through RESIZE
    // (when it has one). MAP is the host's, kept for later options.
    GateUi(std::uintptr_t parent, LV2UI_Write_Function write, LV2UI_Controller controller,
           const LV2UI_Touch* touch, const LV2UI_Resize* resize, const LV2_URID_Map* map,
           double scale);
    ~GateUi();
    GateUi(const GateUi&) = delete;
    GateUi& operator=(const GateUi&) = delete;

    // The editor's X window, the widget the host embeds.
    std::uintptr_t widget() const { return host_.widget(); }
    int width() const { return host_.width(); }
    int height() const { return host_.height(); }

    // A value of the plug-in's port from the host. Control inputs go to the
    // effect (and so to the editor) without being written back; the key
    // level moves the meter.
    void portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                   const void* buffer);
    // Input, timers, painting and the meter; the host calls it often.
    void idle() { host_.idle(); }
    // A new scale from the host: the editor is drawn at it, in a window of
    // its new size, which the host is told. (Made anew, the window has a
    // new id: a host that follows the widget's id rather than its parent's
    // children sees the old one go.)
    void setScale(double scale);
    const LV2_URID_Map* map() const { return map_; }

private:
    void beginEdit(std::int32_t index) override;
    void performEdit(std::int32_t index, float value) override;
    void endEdit(std::int32_t index) override;
    void touch(std::int32_t index, bool grabbed);
    void tellSize() const;

    LV2UI_Write_Function write_;
    LV2UI_Controller controller_;
    const LV2UI_Touch* touch_;
    const LV2UI_Resize* resize_;
    const LV2_URID_Map* map_;
    driver::EditorHost host_;
};

}  // namespace tarnwick::lv2
