#pragma once
// Test doubles for the host interface: effects and an editor that record
// which virtual operation ran with which arguments, beside the shared
// recording host callback.

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "support/RecordingHost.h"
#include "vst/DAEffEditor.h"
#include "vst/DAudioEffectX.h"

namespace vsttest {

// The recording host every suite shares.
using tarnwick::test::HostCall;
using tarnwick::test::RecordingHost;

// ---- call log shared by effect and editor -------------------------------------

class CallLog {
public:
    void name(const void* p, std::string n) { names_[p] = std::move(n); }
    std::string pointer(const void* p) const {
        if (!p) return "null";
        const auto it = names_.find(p);
        return it != names_.end() ? it->second : "?";
    }
    void add(const char* op, std::initializer_list<std::string> args = {}) {
        std::string s = std::string(op) + "(";
        bool first = true;
        for (const auto& a : args) {
            if (!first) s += ",";
            s += a;
            first = false;
        }
        entries.push_back(s + ")");
    }
    std::vector<std::string> entries;

private:
    std::map<const void*, std::string> names_;
};

inline std::string num(long long v) { return std::to_string(v); }
inline std::string flt(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}
inline std::string yes(bool b) { return b ? "true" : "false"; }

// ---- editor -------------------------------------------------------------------------

class RecordingEditor : public AEffEditor {
public:
    RecordingEditor(AudioEffect* effect, CallLog& log, bool* destroyed = nullptr)
        : AEffEditor(effect), log_(log), destroyed_(destroyed) {}
    ~RecordingEditor() override {
        if (destroyed_) *destroyed_ = true;
    }
    VstInt32 getRect(ERect** rect) override {
        log_.add("getRect", {log_.pointer(rect)});
        if (rect) *rect = &rect_;
        return intAnswer;
    }
    VstInt32 open(void* ptr) override {
        log_.add("editor.open", {log_.pointer(ptr)});
        return intAnswer;
    }
    void close() override { log_.add("editor.close"); }
    void idle() override { log_.add("editor.idle"); }
    VstInt32 onKeyDown(VstKeyCode& key) override {
        log_.add("onKeyDown", {num(key.character), num(key.virt), num(key.modifier)});
        return intAnswer;
    }
    VstInt32 onKeyUp(VstKeyCode& key) override {
        log_.add("onKeyUp", {num(key.character), num(key.virt), num(key.modifier)});
        return intAnswer;
    }
    VstInt32 setKnobMode(VstInt32 mode) override {
        log_.add("setKnobMode", {num(mode)});
        return intAnswer;
    }

    ERect rect_{1, 2, 3, 4};
    VstInt32 intAnswer = 0;

private:
    CallLog& log_;
    bool* destroyed_;
};

// ---- effects ------------------------------------------------------------------------

// Nothing but the one operation every effect must supply: the base defaults.
class BareEffect : public AudioEffectX {
public:
    explicit BareEffect(audioMasterCallback host = nullptr, VstInt32 programs = 4,
                        VstInt32 params = 3)
        : AudioEffectX(host, programs, params) {}
    void process(float**, float**, VstInt32) override {}
    // The core decoding on its own, as if no extended class stood above it.
    VstIntPtr coreDispatch(VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
        return AudioEffect::dispatcher(opcode, index, value, ptr, opt);
    }
};

// Every operation the dispatchers reach, recorded with its arguments; the
// answers are configurable.
class RecordingEffect : public AudioEffectX {
public:
    RecordingEffect(CallLog& log, bool* destroyed = nullptr, audioMasterCallback host = nullptr)
        : AudioEffectX(host, 16, 6), log_(log), destroyed_(destroyed) {}
    ~RecordingEffect() override {
        if (destroyed_) *destroyed_ = true;
    }

    bool boolAnswer = true;
    VstInt32 intAnswer = 42;
    float vuAnswer = 0.0f;
    float destinationBuffer[4] = {};
    char icon = 0;

    void process(float**, float**, VstInt32 n) override { log_.add("process", {num(n)}); }
    void processReplacing(float**, float**, VstInt32 n) override {
        log_.add("processReplacing", {num(n)});
    }
    void setParameter(VstInt32 i, float v) override { log_.add("setParameter", {num(i), flt(v)}); }
    float getParameter(VstInt32 i) override {
        log_.add("getParameter", {num(i)});
        return 0.25f;
    }
    void setSampleRate(float r) override { log_.add("setSampleRate", {flt(r)}); }
    void setBlockSize(VstInt32 n) override { log_.add("setBlockSize", {num(n)}); }
    void open() override { log_.add("open"); }
    void close() override { log_.add("close"); }
    VstInt32 getProgram() override { return ret("getProgram"); }
    void setProgram(VstInt32 p) override { log_.add("setProgram", {num(p)}); }
    void setProgramName(char* t) override { log_.add("setProgramName", {log_.pointer(t)}); }
    void getProgramName(char* t) override { log_.add("getProgramName", {log_.pointer(t)}); }
    void getParameterLabel(VstInt32 i, char* t) override {
        log_.add("getParameterLabel", {num(i), log_.pointer(t)});
    }
    void getParameterDisplay(VstInt32 i, char* t) override {
        log_.add("getParameterDisplay", {num(i), log_.pointer(t)});
    }
    void getParameterName(VstInt32 i, char* t) override {
        log_.add("getParameterName", {num(i), log_.pointer(t)});
    }
    float getVu() override {
        log_.add("getVu");
        return vuAnswer;
    }
    VstInt32 getChunk(void** d, bool preset) override {
        return ret("getChunk", {log_.pointer(d), yes(preset)});
    }
    VstInt32 setChunk(void* d, VstInt32 size, bool preset) override {
        return ret("setChunk", {log_.pointer(d), num(size), yes(preset)});
    }
    void suspend() override { log_.add("suspend"); }
    void resume() override { log_.add("resume"); }

    VstInt32 processEvents(VstEvents* e) override {
        return ret("processEvents", {log_.pointer(e)});
    }
    bool canParameterBeAutomated(VstInt32 i) override {
        return yesNo("canParameterBeAutomated", {num(i)});
    }
    bool string2parameter(VstInt32 i, char* t) override {
        return yesNo("string2parameter", {num(i), log_.pointer(t)});
    }
    VstInt32 getNumCategories() override { return ret("getNumCategories"); }
    bool getProgramNameIndexed(VstInt32 c, VstInt32 i, char* t) override {
        return yesNo("getProgramNameIndexed", {num(c), num(i), log_.pointer(t)});
    }
    bool copyProgram(VstInt32 d) override { return yesNo("copyProgram", {num(d)}); }
    void inputConnected(VstInt32 i, bool s) override {
        log_.add("inputConnected", {num(i), yes(s)});
    }
    void outputConnected(VstInt32 i, bool s) override {
        log_.add("outputConnected", {num(i), yes(s)});
    }
    bool getInputProperties(VstInt32 i, VstPinProperties* p) override {
        return yesNo("getInputProperties", {num(i), log_.pointer(p)});
    }
    bool getOutputProperties(VstInt32 i, VstPinProperties* p) override {
        return yesNo("getOutputProperties", {num(i), log_.pointer(p)});
    }
    VstInt32 getPlugCategory() override { return ret("getPlugCategory"); }
    VstInt32 reportCurrentPosition() override { return ret("reportCurrentPosition"); }
    float* reportDestinationBuffer() override {
        log_.add("reportDestinationBuffer");
        return destinationBuffer;
    }
    bool offlineNotify(VstAudioFile* f, VstInt32 n, bool s) override {
        return yesNo("offlineNotify", {log_.pointer(f), num(n), yes(s)});
    }
    bool offlinePrepare(VstOfflineTask* t, VstInt32 n) override {
        return yesNo("offlinePrepare", {log_.pointer(t), num(n)});
    }
    bool offlineRun(VstOfflineTask* t, VstInt32 n) override {
        return yesNo("offlineRun", {log_.pointer(t), num(n)});
    }
    bool processVariableIo(VstVariableIo* v) override {
        return yesNo("processVariableIo", {log_.pointer(v)});
    }
    bool setSpeakerArrangement(VstSpeakerArrangement* in, VstSpeakerArrangement* out) override {
        return yesNo("setSpeakerArrangement", {log_.pointer(in), log_.pointer(out)});
    }
    void setBlockSizeAndSampleRate(VstInt32 b, float r) override {
        log_.add("setBlockSizeAndSampleRate", {num(b), flt(r)});
    }
    bool setBypass(bool s) override { return yesNo("setBypass", {yes(s)}); }
    bool getEffectName(char* t) override { return yesNo("getEffectName", {log_.pointer(t)}); }
    bool getErrorText(char* t) override { return yesNo("getErrorText", {log_.pointer(t)}); }
    bool getVendorString(char* t) override { return yesNo("getVendorString", {log_.pointer(t)}); }
    bool getProductString(char* t) override { return yesNo("getProductString", {log_.pointer(t)}); }
    VstInt32 getVendorVersion() override { return ret("getVendorVersion"); }
    VstIntPtr vendorSpecific(VstInt32 a, VstIntPtr b, void* p, float f) override {
        return ret("vendorSpecific", {num(a), num(b), log_.pointer(p), flt(f)});
    }
    VstInt32 canDo(char* t) override { return ret("canDo", {log_.pointer(t)}); }
    VstInt32 getGetTailSize() override { return ret("getGetTailSize"); }
    VstInt32 fxIdle() override { return ret("fxIdle"); }
    void* getIcon() override {
        log_.add("getIcon");
        return &icon;
    }
    bool setViewPosition(VstInt32 x, VstInt32 y) override {
        return yesNo("setViewPosition", {num(x), num(y)});
    }
    bool getParameterProperties(VstInt32 i, VstParameterProperties* p) override {
        return yesNo("getParameterProperties", {num(i), log_.pointer(p)});
    }
    bool keysRequired() override { return yesNo("keysRequired"); }
    VstInt32 getVstVersion() override { return ret("getVstVersion"); }
    VstInt32 getMidiProgramName(VstInt32 c, MidiProgramName* n) override {
        return ret("getMidiProgramName", {num(c), log_.pointer(n)});
    }
    VstInt32 getCurrentMidiProgram(VstInt32 c, MidiProgramName* n) override {
        return ret("getCurrentMidiProgram", {num(c), log_.pointer(n)});
    }
    VstInt32 getMidiProgramCategory(VstInt32 c, MidiProgramCategory* n) override {
        return ret("getMidiProgramCategory", {num(c), log_.pointer(n)});
    }
    bool hasMidiProgramsChanged(VstInt32 c) override {
        return yesNo("hasMidiProgramsChanged", {num(c)});
    }
    bool getMidiKeyName(VstInt32 c, MidiKeyName* n) override {
        return yesNo("getMidiKeyName", {num(c), log_.pointer(n)});
    }
    bool beginSetProgram() override { return yesNo("beginSetProgram"); }
    bool endSetProgram() override { return yesNo("endSetProgram"); }
    bool getSpeakerArrangement(VstSpeakerArrangement** in, VstSpeakerArrangement** out) override {
        return yesNo("getSpeakerArrangement", {log_.pointer(in), log_.pointer(out)});
    }
    VstInt32 getNextShellPlugin(char* t) override {
        return ret("getNextShellPlugin", {log_.pointer(t)});
    }
    VstInt32 startProcess() override { return ret("startProcess"); }
    VstInt32 stopProcess() override { return ret("stopProcess"); }
    VstInt32 setTotalSampleToProcess(VstInt32 v) override {
        return ret("setTotalSampleToProcess", {num(v)});
    }
    bool setPanLaw(VstInt32 t, float v) override { return yesNo("setPanLaw", {num(t), flt(v)}); }
    VstInt32 beginLoadBank(VstPatchChunkInfo* p) override {
        return ret("beginLoadBank", {log_.pointer(p)});
    }
    VstInt32 beginLoadProgram(VstPatchChunkInfo* p) override {
        return ret("beginLoadProgram", {log_.pointer(p)});
    }

private:
    VstInt32 ret(const char* op, std::initializer_list<std::string> args = {}) {
        log_.add(op, args);
        return intAnswer;
    }
    bool yesNo(const char* op, std::initializer_list<std::string> args = {}) {
        log_.add(op, args);
        return boolAnswer;
    }

    CallLog& log_;
    bool* destroyed_;
};

}  // namespace vsttest
