// The editor of the Linux module: the editor window as an X child window of
// the host's. The module starts no thread, so the host's idle calls drive
// the window: its input, its timers and its painting happen in x11::Pump.
#include "editor/uEditor.h"
#include "module/ModuleEditor.h"
#include "platform/Window.h"
#include "platform/x11/X11.h"

namespace {

class X11Editor final : public APluginEditor {
public:
    using APluginEditor::APluginEditor;

    VstInt32 open(void* ptr) override {
        const bool made = !form;
        if (APluginEditor::open(ptr) == 0) return 0;
        if (made && !Shown()) {
            // No X server, or a parent window that does not exist: the host
            // gets no editor rather than one that nobody can see.
            APluginEditor::close();
            return 0;
        }
        // The first frame goes on the screen now, not at the next idle call.
        tarnwick::platform::x11::Pump();
        return 1;
    }

    void idle() override {
        APluginEditor::idle();
        tarnwick::platform::x11::Pump();
    }

private:
    bool Shown() {
        using namespace tarnwick::platform;
        const Window* window = WindowFromHandle(reinterpret_cast<std::uintptr_t>(form->Handle()));
        return window && x11::NativeWindow(*window) != 0;
    }
};

}  // namespace

AEffEditor* tarnwick::module::CreateEditor(APlugin* effect) {
    return new X11Editor(effect, tarnwick::PluginEditorForm());
}
