#pragma once
// The one function through which the effect gets its editor. The library that
// defines it decides what the editor is: the GUI-less default gives the base
// editor behaviour, the editor library the real window.

class AEffEditor;
class APlugin;

// Makes the editor for effect; the effect takes ownership.
AEffEditor* createPluginEditor(APlugin* effect);
