#pragma once
// The editor of a module with a window back end: the editor window as a
// child of the host's window. Backend gives the back end's X or HWND of a
// window (NativeWindow) and what a host's call must add to bring the window
// up to date on the screen (Present: nothing where the host's message loop
// drives the window).
#include <cstdint>

#include "editor/uEditor.h"
#include "platform/Window.h"

namespace tarnwick::module {

template <class Backend>
class NativeEditor final : public APluginEditor {
public:
    using APluginEditor::APluginEditor;

    VstInt32 open(void* ptr) override {
        const bool made = !form;
        if (APluginEditor::open(ptr) == 0) return 0;
        if (made && !Shown()) {
            // No window system, or a parent that is not a window: the host
            // gets no editor rather than one that nobody can see.
            APluginEditor::close();
            return 0;
        }
        // The first frame goes on the screen now, not at the next idle call.
        Backend::Present();
        return 1;
    }

    void idle() override {
        APluginEditor::idle();
        Backend::Present();
    }

private:
    bool Shown() {
        const platform::Window* window =
            platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(form->Handle()));
        return window && Backend::NativeWindow(*window) != 0;
    }
};

}  // namespace tarnwick::module
