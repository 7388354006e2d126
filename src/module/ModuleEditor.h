#pragma once
// The editor a gate of this module gets. The shipped module defines it with
// the editor window on X11; the GUI-less build of the effect (for the audio
// tests and fuzz targets) with the base editor, which shows nothing.

class AEffEditor;
class APlugin;

namespace tarnwick::module {
AEffEditor* CreateEditor(APlugin* effect);
}
