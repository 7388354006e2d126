// The editor of a module with a window back end (X11 on Linux, Win32 on
// Windows): the editor window as a child of the host's window. The module
// starts no thread; where the host's message loop does not drive the window
// (X11), the host's calls do, through platform::PumpWindows.
#include "editor/uEditor.h"
#include "module/ModuleEditor.h"
#include "platform/Window.h"

namespace {

class NativeEditor final : public APluginEditor {
public:
    using APluginEditor::APluginEditor;

    VstInt32 open(void* ptr) override {
        // No window system, or a parent that is not a window: the host gets
        // no editor rather than one that nobody can see, and learns it
        // before a form is read for nothing.
        if (!tarnwick::platform::IsNativeWindow(reinterpret_cast<std::uintptr_t>(ptr))) return 0;
        if (APluginEditor::open(ptr) == 0) return 0;
        // The first frame goes on the screen now, not at the next idle call.
        tarnwick::platform::PumpWindows();
        return 1;
    }

    [[gnu::hot]] void idle() override {
        APluginEditor::idle();
        tarnwick::platform::PumpWindows();
    }
};

}  // namespace

AEffEditor* tarnwick::module::CreateEditor(APlugin* effect) {
    return new NativeEditor(effect, tarnwick::PluginEditorForm());
}
