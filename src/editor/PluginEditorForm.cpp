// The editor's form as built into the library.
#include "editor/EditorForm.h"
#include "editor/uEditor.h"

std::span<const std::uint8_t> tarnwick::PluginEditorForm() {
    const auto bytes = EditorFormBytes();
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()};
}
