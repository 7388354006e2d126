// The module's effect factory: one new gate per call of the entry point,
// with the editor this module ships.
#include "plugin/uPlugin.h"
#include "vst/DAEffEditor.h"
#include "vst/DVstMain.h"

namespace {

// No editor library is built yet, so the gate gets the base editor: no
// rectangle, no window, updates ignored. The flags and the dispatcher's
// editor routing are still those of the full product.
AEffEditor* createBaseEditor(APlugin* effect) { return new AEffEditor(effect); }

}  // namespace

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new APlugin(audioMaster, createBaseEditor);
}
