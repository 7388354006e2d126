// The editor of the Windows modules: the editor window as a child HWND of
// the host's. Its input, timers and paints come through the host's own
// message loop, so the host's calls need add nothing.
#include "module/ModuleEditor.h"
#include "module/NativeEditor.h"
#include "platform/win32/Win32.h"

namespace {

struct Win32 {
    static void Present() {}
    static std::uintptr_t NativeWindow(const tarnwick::platform::Window& window) {
        return tarnwick::platform::win32::NativeWindow(window);
    }
};

}  // namespace

AEffEditor* tarnwick::module::CreateEditor(APlugin* effect) {
    return new NativeEditor<Win32>(effect, tarnwick::PluginEditorForm());
}
