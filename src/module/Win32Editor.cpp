// The editor of the Windows modules: the editor window as a child HWND of
// the host's. Its input, timers and paints come through the host's own
// message loop, so the idle calls need add nothing.
#include "editor/uEditor.h"
#include "module/ModuleEditor.h"
#include "platform/Window.h"
#include "platform/win32/Win32.h"

namespace {

class Win32Editor final : public APluginEditor {
public:
    using APluginEditor::APluginEditor;

    VstInt32 open(void* ptr) override {
        const bool made = !form;
        if (APluginEditor::open(ptr) == 0) return 0;
        if (made && !Shown()) {
            // A parent that is not a window: the host gets no editor rather
            // than one that nobody can see.
            APluginEditor::close();
            return 0;
        }
        return 1;
    }

private:
    bool Shown() {
        using namespace tarnwick::platform;
        const Window* window = WindowFromHandle(reinterpret_cast<std::uintptr_t>(form->Handle()));
        return window && win32::NativeWindow(*window) != 0;
    }
};

}  // namespace

AEffEditor* tarnwick::module::CreateEditor(APlugin* effect) {
    return new Win32Editor(effect, tarnwick::PluginEditorForm());
}
