#pragma once
// The editor window's form: its layout and pictures in the binary form that
// the component reader loads (generated at build time from
// src/editor/form/EditorWindow.txt and the drawn pictures).

#include <span>

namespace tarnwick {
std::span<const unsigned char> EditorFormBytes();
}
