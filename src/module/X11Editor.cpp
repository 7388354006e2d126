// The editor of the Linux module: the editor window as an X child window of
// the host's. The module starts no thread, so the host's idle calls drive
// the window: its input, its timers and its painting happen in x11::Pump.
#include "module/ModuleEditor.h"
#include "module/NativeEditor.h"
#include "platform/x11/X11.h"

namespace {

struct X11 {
    static void Present() { tarnwick::platform::x11::Pump(); }
    static std::uintptr_t NativeWindow(const tarnwick::platform::Window& window) {
        return tarnwick::platform::x11::NativeWindow(window);
    }
};

}  // namespace

AEffEditor* tarnwick::module::CreateEditor(APlugin* effect) {
    return new NativeEditor<X11>(effect, tarnwick::PluginEditorForm());
}
