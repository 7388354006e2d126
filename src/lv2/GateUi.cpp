#include "lv2/GateUi.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

#include "editor/uEditor.h"
#include "lv2/GatePorts.h"
#include "module/ModuleEditor.h"
#include "platform/Window.h"
#include "plugin/uPlugin.h"

namespace tarnwick::lv2 {

GateUi::GateUi(std::uintptr_t parent, LV2UI_Write_Function write, LV2UI_Controller controller,
               const LV2UI_Touch* touch)
    : write_(write), controller_(controller), touch_(touch) {
    // The module's own editor: the same window, bridge and X11 conduct.
    plugin_ = new APlugin(&GateUi::hostCallback, tarnwick::module::CreateEditor);
    effect_ = plugin_->getAeffect();
    effect_->user = this;
    effect_->dispatcher(effect_, effOpen, 0, 0, nullptr, 0.0f);
    auto* editor = dynamic_cast<APluginEditor*>(plugin_->getEditor());
    if (!editor ||
        effect_->dispatcher(effect_, effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f) !=
            1 ||
        !editor->form) {
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
        throw std::runtime_error("the editor cannot be opened in this window");
    }
    ERect* rect = nullptr;
    effect_->dispatcher(effect_, effEditGetRect, 0, 0, &rect, 0.0f);
    if (rect) {
        width_ = rect->right - rect->left;
        height_ = rect->bottom - rect->top;
    }
    if (platform::Window* window =
            platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(editor->form->Handle())))
        widget_ = platform::NativeHandle(*window);
    if (widget_ == 0) {
        effect_->dispatcher(effect_, effEditClose, 0, 0, nullptr, 0.0f);
        effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
        throw std::runtime_error("the editor has no X window");
    }
}

GateUi::~GateUi() {
    // Closing ends every open gesture (the host hears the ungrab) before the
    // effect and the window go; the window's X resources go with it even
    // when the host destroyed its parent first.
    effect_->dispatcher(effect_, effEditClose, 0, 0, nullptr, 0.0f);
    effect_->user = nullptr;
    effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

void GateUi::portEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                       const void* buffer) {
    // Only plain float values (protocol 0) are ours to read.
    if (format != 0 || size != sizeof(float) || !buffer) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    if (port >= kFirstControl && port < kFirstControl + kNumControls) {
        // The effect's own clamping, and the editor's update: no write back.
        plugin_->setParameter(static_cast<VstInt32>(port - kFirstControl), value);
    } else if (port == kKeyLevel) {
        if (!(value >= 0.0f)) value = 0.0f;  // NaN too
        plugin_->keyPeak.store(std::min(value, 1.0f), std::memory_order_relaxed);
    }
}

void GateUi::idle() { effect_->dispatcher(effect_, effEditIdle, 0, 0, nullptr, 0.0f); }

VstIntPtr GateUi::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr, void*,
                               float opt) {
    if (opcode == audioMasterVersion) return 2400;
    auto* ui = effect ? static_cast<GateUi*>(effect->user) : nullptr;
    if (!ui || index < 0 || index >= static_cast<VstInt32>(kNumControls)) return 0;
    const auto port = kFirstControl + static_cast<std::uint32_t>(index);
    switch (opcode) {
        case audioMasterAutomate:
            if (ui->write_) ui->write_(ui->controller_, port, sizeof opt, 0, &opt);
            return 1;
        case audioMasterBeginEdit:
        case audioMasterEndEdit:
            if (ui->touch_ && ui->touch_->touch)
                ui->touch_->touch(ui->touch_->handle, port, opcode == audioMasterBeginEdit);
            return 1;
        default: return 0;
    }
}

}  // namespace tarnwick::lv2
