#include "driver/EditorHost.h"

#include <algorithm>

#include "editor/uEditor.h"
#include "module/ModuleEditor.h"
#include "platform/Window.h"
#include "plugin/uPlugin.h"

namespace tarnwick::driver {

EditorHost::EditorHost(EditorListener* listener) : listener_(listener) {
    plugin_ = new APlugin(&EditorHost::hostCallback, tarnwick::module::CreateEditor);
    effect_ = plugin_->getAeffect();
    effect_->user = this;
    effect_->dispatcher(effect_, effOpen, 0, 0, nullptr, 0.0f);
}

EditorHost::~EditorHost() {
    close();
    effect_->user = nullptr;
    effect_->dispatcher(effect_, effClose, 0, 0, nullptr, 0.0f);
}

bool EditorHost::open(std::uintptr_t parent) {
    if (isOpen()) return false;
    auto* editor = dynamic_cast<APluginEditor*>(plugin_->getEditor());
    if (!editor ||
        effect_->dispatcher(effect_, effEditOpen, 0, 0, reinterpret_cast<void*>(parent), 0.0f) != 1)
        return false;
    if (editor->form)
        if (platform::Window* window = platform::WindowFromHandle(
                reinterpret_cast<std::uintptr_t>(editor->form->Handle())))
            widget_ = platform::NativeHandle(*window);
    if (widget_ == 0) {
        effect_->dispatcher(effect_, effEditClose, 0, 0, nullptr, 0.0f);
        return false;
    }
    ERect* rect = nullptr;
    effect_->dispatcher(effect_, effEditGetRect, 0, 0, &rect, 0.0f);
    if (rect && rect->right > rect->left && rect->bottom > rect->top) {
        width_ = rect->right - rect->left;
        height_ = rect->bottom - rect->top;
    }
    return true;
}

void EditorHost::close() {
    if (!isOpen()) return;
    // The window's resources go with it even when the host destroyed its
    // parent first; every open gesture ends (the listener hears the end).
    widget_ = 0;
    effect_->dispatcher(effect_, effEditClose, 0, 0, nullptr, 0.0f);
}

void EditorHost::setScale(double factor) {
    auto* editor = dynamic_cast<APluginEditor*>(plugin_->getEditor());
    if (!editor) return;
    editor->setScale(factor);
    if (isOpen()) {
        // A new window, or none when it could not be made anew.
        widget_ = 0;
        if (editor->form)
            if (platform::Window* window = platform::WindowFromHandle(
                    reinterpret_cast<std::uintptr_t>(editor->form->Handle())))
                widget_ = platform::NativeHandle(*window);
        if (widget_ == 0) effect_->dispatcher(effect_, effEditClose, 0, 0, nullptr, 0.0f);
    }
    ERect* rect = nullptr;
    effect_->dispatcher(effect_, effEditGetRect, 0, 0, &rect, 0.0f);
    if (rect && rect->right > rect->left && rect->bottom > rect->top) {
        width_ = rect->right - rect->left;
        height_ = rect->bottom - rect->top;
    }
}

int EditorHost::scalePercent() const {
    auto* editor = dynamic_cast<APluginEditor*>(plugin_->getEditor());
    return editor ? editor->scalePercent() : 100;
}

void EditorHost::idle() {
    if (isOpen()) effect_->dispatcher(effect_, effEditIdle, 0, 0, nullptr, 0.0f);
}

void EditorHost::setParameter(std::int32_t index, float value) {
    plugin_->setParameter(index, value);
}

float EditorHost::parameter(std::int32_t index) const { return plugin_->getParameter(index); }

void EditorHost::setProgram(std::int32_t program) {
    effect_->dispatcher(effect_, effSetProgram, 0, program, nullptr, 0.0f);
}

std::int32_t EditorHost::program() const { return plugin_->getProgram(); }

GateState EditorHost::state() const { return CaptureState(*plugin_); }

void EditorHost::setState(const GateState& state) { ApplyState(*plugin_, state); }

void EditorHost::setKeyLevel(float level) {
    if (!(level >= 0.0f)) level = 0.0f;  // NaN too
    plugin_->keyPeak.store(std::min(level, 1.0f), std::memory_order_relaxed);
}

VstIntPtr EditorHost::hostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr,
                                   void*, float opt) {
    if (opcode == audioMasterVersion) return 2400;
    auto* host = effect ? static_cast<EditorHost*>(effect->user) : nullptr;
    if (!host || !host->listener_ || index < 0 || index >= APlugin::kNumParams) return 0;
    switch (opcode) {
        case audioMasterAutomate: host->listener_->performEdit(index, opt); return 1;
        case audioMasterBeginEdit: host->listener_->beginEdit(index); return 1;
        case audioMasterEndEdit: host->listener_->endEdit(index); return 1;
        default: return 0;
    }
}

}  // namespace tarnwick::driver
