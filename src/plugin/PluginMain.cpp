// The module's effect factory: one new gate per call of the entry point, with
// the editor of whichever editor library the module links.
#include "plugin/PluginEditorFactory.h"
#include "plugin/uPlugin.h"
#include "vst/DVstMain.h"

AudioEffect* createEffectInstance(audioMasterCallback audioMaster) {
    return new APlugin(audioMaster, createPluginEditor);
}
