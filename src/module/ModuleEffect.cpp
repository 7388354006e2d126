// The module's effect factory: one new gate per call of the entry point,
// with the editor this module ships.
#include "module/ModuleEditor.h"
#include "plugin/uPlugin.h"
#include "vst/DVstMain.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new APlugin(audioMaster, tarnwick::module::CreateEditor);
}
