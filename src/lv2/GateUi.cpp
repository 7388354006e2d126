#include "lv2/GateUi.h"

#include <cstring>
#include <stdexcept>

#include "lv2/GatePorts.h"

namespace tarnwick::lv2 {

GateUi::GateUi(std::uintptr_t parent, LV2UI_Write_Function write, LV2UI_Controller controller,
               const LV2UI_Touch* touch, const LV2UI_Resize* resize, const LV2_URID_Map* map,
               double scale)
    : write_(write),
      controller_(controller),
      touch_(touch),
      resize_(resize),
      map_(map),
      host_(this) {
    if (scale != 0.0) host_.setScale(scale);
    if (!host_.open(parent)) throw std::runtime_error("the editor cannot be opened in this window");
    tellSize();
}

void GateUi::setScale(double scale) {
    const int width = host_.width(), height = host_.height();
    host_.setScale(scale);
    if (host_.width() != width || host_.height() != height) tellSize();
}

void GateUi::tellSize() const {
    if (resize_ && resize_->ui_resize) resize_->ui_resize(resize_->handle, width(), height());
}

// Closing ends every open gesture (the host hears the ungrab) before the
// effect and the window go.
GateUi::~GateUi() { host_.close(); }

void GateUi::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                       const void* buffer) {
    // Only plain float values (protocol 0) are ours to read.
    if (format != 0 || size != sizeof(float) || !buffer) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (port >= kFirstControl && port < kFirstControl + kNumControls)
        host_.setParameter(static_cast<std::int32_t>(port - kFirstControl), value);
    else if (port == kKeyLevel)
        host_.setKeyLevel(value);
}

void GateUi::performEdit(std::int32_t index, float value) {
    const auto port = kFirstControl + static_cast<std::uint32_t>(index);
    if (write_) write_(controller_, port, sizeof value, 0, &value);
}

void GateUi::beginEdit(std::int32_t index) { touch(index, true); }

void GateUi::endEdit(std::int32_t index) { touch(index, false); }

void GateUi::touch(std::int32_t index, bool grabbed) {
    if (touch_ && touch_->touch)
        touch_->touch(touch_->handle, kFirstControl + static_cast<std::uint32_t>(index), grabbed);
}

}  // namespace tarnwick::lv2
