#include "vst/DAEffEditor.h"

AEffEditor::AEffEditor(AudioEffect* effect)
    : effect(effect), systemWindow(nullptr), updateFlag(0) {}

AEffEditor::~AEffEditor() = default;

VstInt32 AEffEditor::getRect(ERect** rect) {
    if (rect) *rect = nullptr;
    return 0;
}

VstInt32 AEffEditor::open(void* ptr) {
    systemWindow = ptr;
    return 0;
}

void AEffEditor::close() {}

void AEffEditor::idle() {
    if (updateFlag != 0) {
        updateFlag = 0;
        update();
    }
}

void AEffEditor::update() {}

void AEffEditor::postUpdate() { updateFlag = 1; }

VstInt32 AEffEditor::onKeyDown(VstKeyCode&) { return -1; }

VstInt32 AEffEditor::onKeyUp(VstKeyCode&) { return -1; }

VstInt32 AEffEditor::setKnobMode(VstInt32) { return 0; }

bool AEffEditor::onWheel(float) { return false; }
