#pragma once
// Base class of an effect: owns the record the host holds, keeps the host
// callback and the basic state, decodes the core dispatcher opcodes (0 to 24)
// into virtual operations with defaults, and wraps the core host calls.

#include <atomic>

#include "vst/DAEffect.h"

class AEffEditor;

class AudioEffect {
public:
    AudioEffect(audioMasterCallback audioMaster, VstInt32 numPrograms, VstInt32 numParams);
    // Destroys an attached editor.
    virtual ~AudioEffect();
    AudioEffect(const AudioEffect&) = delete;
    AudioEffect& operator=(const AudioEffect&) = delete;

    // ---- virtual operations, in slot order --------------------------------
    virtual void setSampleRate(float sampleRate);
    virtual void setBlockSize(VstInt32 blockSize);
    virtual void setParameter(VstInt32 index, float value);
    virtual float getParameter(VstInt32 index);
    // setParameter, then audioMasterAutomate so that the host records the change.
    virtual void setParameterAutomated(VstInt32 index, float value);
    virtual void process(float** inputs, float** outputs, VstInt32 sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames);
    virtual VstIntPtr dispatcher(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);
    virtual void open();
    virtual void close();
    virtual VstInt32 getProgram();
    virtual void setProgram(VstInt32 program);
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(VstInt32 index, char* label);
    virtual void getParameterDisplay(VstInt32 index, char* text);
    virtual void getParameterName(VstInt32 index, char* text);
    virtual float getVu();
    virtual VstInt32 getChunk(void** data, bool isPreset);
    virtual VstInt32 setChunk(void* data, VstInt32 byteSize, bool isPreset);
    virtual void suspend();
    virtual void resume();
    virtual void setUniqueID(VstInt32 iD);
    virtual void setNumInputs(VstInt32 inputs);
    virtual void setNumOutputs(VstInt32 outputs);
    virtual void hasVu(bool state);
    virtual void hasClip(bool state);
    virtual void canMono(bool state);
    virtual void canProcessReplacing(bool state);
    virtual void programsAreChunks(bool state);
    virtual void setRealtimeQualities(VstInt32 qualities);
    virtual void setOfflineQualities(VstInt32 qualities);
    virtual void setInitialDelay(VstInt32 delay);
    virtual VstInt32 getMasterVersion();
    virtual VstInt32 getCurrentUniqueId();
    virtual void masterIdle();
    virtual bool isInputConnected(VstInt32 input);
    virtual bool isOutputConnected(VstInt32 output);

    // ---- not virtual -------------------------------------------------------
    AEffect* getAeffect() { return &cEffect; }
    // Takes ownership of the editor (a previous one is destroyed, also by
    // setEditor(nullptr)) and keeps effFlagsHasEditor in step with it.
    void setEditor(AEffEditor* newEditor);
    AEffEditor* getEditor() const { return editor; }
    float getSampleRate() const { return sampleRate.load(std::memory_order_relaxed); }
    VstInt32 getBlockSize() const { return blockSize.load(std::memory_order_relaxed); }
    audioMasterCallback getAudioMaster() const { return audioMaster; }

protected:
    void setFlag(VstInt32 flag, bool state);
    bool hasFlag(VstInt32 flag) const { return (cEffect.flags & flag) != 0; }
    // The host callback with the record's address first; 0 without a callback.
    VstIntPtr callHost(VstInt32 opcode, VstInt32 index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);

    // The host may set the rates and the program on one thread while another
    // reads them: single 32-bit values, each read and written whole.
    AEffect cEffect;
    std::atomic<float> sampleRate;
    AEffEditor* editor;  // owned
    VstInt32 numPrograms;
    VstInt32 numParams;
    std::atomic<VstInt32> blockSize;
    std::atomic<VstInt32> curProgram;
    audioMasterCallback audioMaster;
};
