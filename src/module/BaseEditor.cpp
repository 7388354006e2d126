// The editor of the GUI-less build: the base editor, with no rectangle, no
// window, and updates ignored. The flags and the dispatcher's editor routing
// stay those of the full product.
#include "module/ModuleEditor.h"
#include "plugin/uPlugin.h"
#include "vst/DAEffEditor.h"

AEffEditor* tarnwick::module::CreateEditor(APlugin* effect) { return new AEffEditor(effect); }
