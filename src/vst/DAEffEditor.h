#pragma once
// Base class of an effect's editor: the object through which the dispatcher
// hands on the host's editor requests. Every operation has a harmless default.

#include "vst/DAEffect.h"

class AudioEffect;

class AEffEditor {
public:
    explicit AEffEditor(AudioEffect* effect);
    virtual ~AEffEditor();
    AEffEditor(const AEffEditor&) = delete;
    AEffEditor& operator=(const AEffEditor&) = delete;

    // Stores the address of the editor's rectangle in *rect (null in the base).
    virtual VstInt32 getRect(ERect** rect);
    // ptr is the host's parent window.
    virtual VstInt32 open(void* ptr);
    virtual void close();
    // Runs one deferred update if postUpdate asked for one since the last idle.
    virtual void idle();
    virtual void update();
    virtual void postUpdate();
    // -1: the key is not used.
    virtual VstInt32 onKeyDown(VstKeyCode& keyCode);
    virtual VstInt32 onKeyUp(VstKeyCode& keyCode);
    virtual VstInt32 setKnobMode(VstInt32 val);
    virtual bool onWheel(float distance);

    AudioEffect* getEffect() const { return effect; }
    void* getSystemWindow() const { return systemWindow; }
    VstInt32 getUpdateFlag() const { return updateFlag; }

protected:
    AudioEffect* effect;  // not owned: the effect owns its editor
    void* systemWindow;   // the parent window last given to open
    VstInt32 updateFlag;  // non-zero: update at the next idle
};
