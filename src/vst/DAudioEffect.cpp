#include "vst/DAudioEffect.h"

#include "vst/DAEffEditor.h"
#include "vst/DVstUtils.h"

#include <cxxabi.h>
#include <cstring>

namespace {

bool fitsInt32(VstIntPtr value) {
    if constexpr (sizeof(VstIntPtr) > sizeof(VstInt32))
        return value >= INT32_MIN && value <= INT32_MAX;
    else
        return true;
}

[[gnu::hot]] AudioEffect* owner(AEffect* e) {
    return e ? static_cast<AudioEffect*>(e->object) : nullptr;
}

// Runs one call of the effect for the host: nothing may unwind into the host,
// so a failure answers the neutral value. Only a thread cancellation, which
// must finish unwinding, passes through.
template <typename Result, typename Call>
Result guarded(Result neutral, Call&& call) {
    try {
        return call();
    } catch (abi::__forced_unwind&) {
        throw;
    } catch (...) {
        return neutral;
    }
}

// The five routines whose addresses stand in the record. A record without
// its object gets neutral answers. None of them allocates.
[[gnu::hot]] VstIntPtr dispatchEntry(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                     void* ptr, float opt) {
    AudioEffect* effect = owner(e);
    if (!effect) return 0;
    const VstIntPtr result =
        guarded(VstIntPtr{0}, [&] { return effect->dispatcher(opcode, index, value, ptr, opt); });
    if (opcode == effClose) {
        delete effect;  // the record goes with it
        return 1;
    }
    return result;
}

void processEntry(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (AudioEffect* effect = owner(e))
        guarded(0, [&] {
            effect->process(inputs, outputs, sampleFrames);
            return 0;
        });
}

void processReplacingEntry(AEffect* e, float** inputs, float** outputs, VstInt32 sampleFrames) {
    if (AudioEffect* effect = owner(e))
        guarded(0, [&] {
            effect->processReplacing(inputs, outputs, sampleFrames);
            return 0;
        });
}

// A host's own parameter change is not echoed back to it: setParameter, not
// setParameterAutomated.
void setParameterEntry(AEffect* e, VstInt32 index, float value) {
    if (AudioEffect* effect = owner(e))
        guarded(0, [&] {
            effect->setParameter(index, value);
            return 0;
        });
}

float getParameterEntry(AEffect* e, VstInt32 index) {
    AudioEffect* effect = owner(e);
    if (!effect) return 0.0f;
    return guarded(0.0f, [&] { return effect->getParameter(index); });
}

}  // namespace

AudioEffect::AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams)
    : sampleRate(44100.0f),
      editor(nullptr),
      numPrograms(numPrograms),
      numParams(numParams),
      blockSize(1024),
      curProgram(0),
      audioMaster(audioMaster) {
    std::memset(&cEffect, 0, sizeof cEffect);
    cEffect.magic = kEffectMagic;
    cEffect.dispatcher = dispatchEntry;
    cEffect.process = processEntry;
    cEffect.setParameter = setParameterEntry;
    cEffect.getParameter = getParameterEntry;
    cEffect.numPrograms = numPrograms;
    cEffect.numParams = numParams;
    cEffect.numInputs = 1;
    cEffect.numOutputs = 2;
    cEffect.ioRatio = 1.0f;
    cEffect.object = this;
    cEffect.uniqueID = makeFourCharCode('N', 'o', 'E', 'f');
    cEffect.version = 1;
    cEffect.processReplacing = processReplacingEntry;
}

AudioEffect::~AudioEffect() { delete editor; }

void AudioEffect::setEditor(AEffEditor* newEditor) {
    if (newEditor != editor) delete editor;
    editor = newEditor;
    setFlag(effFlagsHasEditor, editor != nullptr);
}

void AudioEffect::setFlag(VstInt32 flag, bool state) {
    if (state)
        cEffect.flags |= flag;
    else
        cEffect.flags &= ~flag;
}

VstIntPtr AudioEffect::callHost(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                float opt) {
    return audioMaster ? audioMaster(&cEffect, opcode, index, value, ptr, opt) : 0;
}

// ---- defaults ----------------------------------------------------------------

void AudioEffect::setSampleRate(float newSampleRate) {
    sampleRate.store(newSampleRate, std::memory_order_relaxed);
}

void AudioEffect::setBlockSize(VstInt32 newBlockSize) {
    blockSize.store(newBlockSize, std::memory_order_relaxed);
}

void AudioEffect::setParameter(VstInt32, float) {}
float AudioEffect::getParameter(VstInt32) { return 0.0f; }

void AudioEffect::setParameterAutomated(VstInt32 index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void AudioEffect::processReplacing(float**, float**, VstInt32) {}
void AudioEffect::open() {}
void AudioEffect::close() {}
VstInt32 AudioEffect::getProgram() { return curProgram.load(std::memory_order_relaxed); }
void AudioEffect::setProgram(VstInt32 program) {
    curProgram.store(program, std::memory_order_relaxed);
}
void AudioEffect::setProgramName(char*) {}
void AudioEffect::getProgramName(char*) {}
void AudioEffect::getParameterLabel(VstInt32, char*) {}
void AudioEffect::getParameterDisplay(VstInt32, char*) {}
void AudioEffect::getParameterName(VstInt32, char*) {}
float AudioEffect::getVu() { return 0.0f; }
VstInt32 AudioEffect::getChunk(void**, bool) { return 0; }
VstInt32 AudioEffect::setChunk(void*, VstInt32, bool) { return 0; }
void AudioEffect::suspend() {}
void AudioEffect::resume() {}
void AudioEffect::setUniqueID(VstInt32 iD) { cEffect.uniqueID = iD; }
void AudioEffect::setNumInputs(VstInt32 inputs) { cEffect.numInputs = inputs; }
void AudioEffect::setNumOutputs(VstInt32 outputs) { cEffect.numOutputs = outputs; }
void AudioEffect::hasVu(bool state) { setFlag(effFlagsHasVu, state); }
void AudioEffect::hasClip(bool state) { setFlag(effFlagsHasClip, state); }
void AudioEffect::canMono(bool state) { setFlag(effFlagsCanMono, state); }
void AudioEffect::canProcessReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
void AudioEffect::programsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
void AudioEffect::setRealtimeQualities(VstInt32 qualities) { cEffect.realQualities = qualities; }
void AudioEffect::setOfflineQualities(VstInt32 qualities) { cEffect.offQualities = qualities; }
void AudioEffect::setInitialDelay(VstInt32 delay) { cEffect.initialDelay = delay; }

// ---- core host calls ------------------------------------------------------------

VstInt32 AudioEffect::getMasterVersion() {
    const VstIntPtr version = callHost(audioMasterVersion);
    return version != 0 ? static_cast<VstInt32>(version) : 1;
}

VstInt32 AudioEffect::getCurrentUniqueId() {
    return static_cast<VstInt32>(callHost(audioMasterCurrentId));
}

void AudioEffect::masterIdle() { callHost(audioMasterIdle); }

// The host answers 0 for a connected pin.
bool AudioEffect::isInputConnected(VstInt32 input) {
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool AudioEffect::isOutputConnected(VstInt32 output) {
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

// ---- core dispatcher ---------------------------------------------------------------

[[gnu::hot]] VstIntPtr AudioEffect::dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                               void* ptr, float opt) {
    // The host's most frequent call, 50 times a second for each open
    // editor: answered ahead of the table, whose page it need not touch.
    if (opcode == effEditIdle) {
        if (editor) editor->idle();
        return 0;
    }
    const auto text = static_cast<char*>(ptr);
    switch (opcode) {
        case effOpen: open(); return 0;
        case effClose: close(); return 0;
        case effSetProgram:
            // Rejecting negative programs is left to setProgram; a value beyond the
            // 32-bit range (wide builds) is never a program.
            if (value < numPrograms && fitsInt32(value)) setProgram(static_cast<VstInt32>(value));
            return 0;
        case effGetProgram: return getProgram();
        case effSetProgramName:
            if (text) setProgramName(text);
            return 0;
        case effGetProgramName:
            if (text) getProgramName(text);
            return 0;
        case effGetParamLabel:
            if (text) getParameterLabel(index, text);
            return 0;
        case effGetParamDisplay:
            if (text) getParameterDisplay(index, text);
            return 0;
        case effGetParamName:
            if (text) getParameterName(index, text);
            return 0;
        case effGetVu: return roundToInt32(static_cast<long double>(getVu()) * 32767.0L);
        case effSetSampleRate: setSampleRate(opt); return 0;
        case effSetBlockSize: setBlockSize(static_cast<VstInt32>(value)); return 0;
        case effMainsChanged:
            if (value == 0)
                suspend();
            else
                resume();
            return 0;
        case effEditGetRect:
            if (editor && ptr) return editor->getRect(static_cast<ERect**>(ptr));
            return 0;
        case effEditOpen:
            // A window handle of 0 is no parent to open a child window in.
            if (editor && ptr) return editor->open(ptr);
            return 0;
        case effEditClose:
            if (editor) editor->close();
            return 0;
        case effIdentify: return makeFourCharCode('N', 'v', 'E', 'f');
        case effGetChunk:
            if (ptr) return getChunk(static_cast<void**>(ptr), index != 0);
            return 0;
        case effSetChunk:
            if (ptr) return setChunk(ptr, static_cast<VstInt32>(value), index != 0);
            return 0;
        default:  // effEditDraw, effEditMouse, effEditKey, effEditTop, effEditSleep, unknown
            return 0;
    }
}
