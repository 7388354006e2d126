// The editor of a build without a GUI: the base behaviour (no rectangle, no
// window, updates ignored), so the flags and the dispatcher's editor routing
// are those of the full product.
#include "plugin/PluginEditorFactory.h"

#include "plugin/uPlugin.h"
#include "vst/DAEffEditor.h"

AEffEditor* createPluginEditor(APlugin* effect) { return new AEffEditor(effect); }
