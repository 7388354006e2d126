// Small effect modules that show what the command-line host does with what a
// module hands it. Built once per behaviour, named by HOST_TEST_KIND:
//   routing: 4 in / 2 out, six parameters par0..par5, sixteen programs;
//     out1 = in1 + 2 in3 + par3, out2 = in2 + 2 in4 + par5, so a test can
//     read back which input fed which channel and which value was set.
//   hostile: every text it is asked for is far longer than the standard
//     size and has no terminator within it.
//   nulleffect: the entry point answers no effect.
//   badmagic: the entry point answers a record without the magic number.
//   hugecounts: the record claims a million inputs.
//   observer: output 1 carries the host's time position of each frame,
//     output 2 repeats a table of 32 values: the host's answers to its
//     queries (sample rate, block size, tempo, version, can-do time info,
//     replace or accumulate), then the dispatcher opcodes it received before
//     the first block.

#include "vst/DAEffect.h"

#include <cstdio>
#include <cstring>

#ifndef HOST_TEST_KIND
#error "HOST_TEST_KIND must name a behaviour, e.g. HOST_TEST_KIND=routing"
#endif

namespace {

enum class Kind { routing, hostile, nulleffect, badmagic, hugecounts, observer };
constexpr Kind kKind = Kind::HOST_TEST_KIND;

struct TestEffect {
    AEffect record{};
    audioMasterCallback host = nullptr;
    float params[6] = {};
    int program = 0;
    int opcodes[24] = {};
    int opcodeCount = 0;
    bool processed = false;
};

TestEffect* self(AEffect* e) { return static_cast<TestEffect*>(e->object); }

// 300 bytes of 'A' and no terminator: past every standard text size.
void flood(void* ptr) { std::memset(ptr, 'A', 300); }

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float /*opt*/) {
    TestEffect* fx = self(e);
    const bool hostile = kKind == Kind::hostile;
    if (!fx->processed && fx->opcodeCount < 24) fx->opcodes[fx->opcodeCount++] = opcode;
    auto text = [&](const char* s) {
        if (hostile) {
            flood(ptr);
        } else {
            std::strcpy(static_cast<char*>(ptr), s);
        }
    };
    char buf[32];
    switch (opcode) {
        case effClose: delete fx; return 1;
        case effSetProgram:
            if (value >= 0 && value < 16) {
                fx->program = static_cast<int>(value);
                fx->params[3] = static_cast<float>(value) / 16.0f;
            }
            return 0;
        case effGetProgram: return fx->program;
        case effGetParamName:
            std::snprintf(buf, sizeof buf, "par%d", index);
            text(buf);
            return 0;
        case effGetParamDisplay:
        case effGetParamLabel:
        case effGetProgramName: text("x"); return 0;
        case effGetProgramNameIndexed:
            std::snprintf(buf, sizeof buf, "Program %d", index);
            text(buf);
            return 1;
        case effGetEffectName:
        case effGetVendorString:
        case effGetProductString: text("Test"); return 1;
        case effGetInputProperties:
        case effGetOutputProperties: {
            auto* pin = static_cast<VstPinProperties*>(ptr);
            if (hostile) {
                std::memset(pin->label, 'B', sizeof pin->label);
            } else {
                std::strcpy(pin->label, "pin");
            }
            pin->flags = kVstPinIsActive;
            return 1;
        }
        default: return 0;
    }
}

// What the observer writes: see the top of the file.
void observe(AEffect* e, float** out, VstInt32 frames, bool add) {
    TestEffect* fx = self(e);
    fx->processed = true;
    auto ask = [&](VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr) {
        return fx->host(e, opcode, 0, value, ptr, 0.0f);
    };
    char timeInfo[] = "sendVstTimeInfo";
    auto* time = reinterpret_cast<VstTimeInfo*>(ask(audioMasterGetTime, kVstTempoValid));
    float table[32];
    table[0] = static_cast<float>(ask(audioMasterGetSampleRate));
    table[1] = static_cast<float>(ask(audioMasterGetBlockSize));
    table[2] = static_cast<float>(ask(audioMasterTempoAt)) / 10000.0f;
    table[3] = static_cast<float>(ask(audioMasterVersion));
    table[4] = static_cast<float>(ask(audioMasterCanDo, 0, timeInfo));
    table[5] = static_cast<float>(ask(audioMasterWillReplaceOrAccumulate));
    table[6] = time != nullptr ? static_cast<float>(time->sampleRate) : -1.0f;
    table[7] = time != nullptr ? static_cast<float>(time->tempo) : -1.0f;
    for (int i = 0; i < 24; ++i)
        table[8 + i] = i < fx->opcodeCount ? static_cast<float>(fx->opcodes[i]) : -1.0f;
    for (VstInt32 i = 0; i < frames; ++i) {
        float position = time != nullptr ? static_cast<float>(time->samplePos + i) : -1.0f;
        out[0][i] = add ? out[0][i] + position : position;
        out[1][i] = add ? out[1][i] + table[i % 32] : table[i % 32];
    }
}

void processReplacing(AEffect* e, float** in, float** out, VstInt32 frames) {
    if (kKind == Kind::observer) return observe(e, out, frames, false);
    const float* p = self(e)->params;
    for (VstInt32 i = 0; i < frames; ++i) {
        out[0][i] = in[0][i] + 2.0f * in[2][i] + p[3];
        out[1][i] = in[1][i] + 2.0f * in[3][i] + p[5];
    }
}

void process(AEffect* e, float** in, float** out, VstInt32 frames) {
    if (kKind == Kind::observer) return observe(e, out, frames, true);
    const float* p = self(e)->params;
    for (VstInt32 i = 0; i < frames; ++i) {
        out[0][i] += in[0][i] + 2.0f * in[2][i] + p[3];
        out[1][i] += in[1][i] + 2.0f * in[3][i] + p[5];
    }
}

void setParameter(AEffect* e, VstInt32 index, float value) {
    if (index >= 0 && index < 6) self(e)->params[index] = value;
}

float getParameter(AEffect* e, VstInt32 index) {
    return index >= 0 && index < 6 ? self(e)->params[index] : 0.0f;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(audioMasterCallback host) {
    if (host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0) return nullptr;
    if (kKind == Kind::nulleffect) return nullptr;
    auto* fx = new TestEffect;
    fx->host = host;
    AEffect& r = fx->record;
    r.magic = kKind == Kind::badmagic ? 0 : kEffectMagic;
    r.dispatcher = dispatcher;
    r.process = process;
    r.processReplacing = processReplacing;
    r.setParameter = setParameter;
    r.getParameter = getParameter;
    r.numPrograms = 16;
    r.numParams = 6;
    r.numInputs = kKind == Kind::hugecounts ? 1 << 20 : 4;
    r.numOutputs = 2;
    r.flags = effFlagsCanReplacing;
    r.ioRatio = 1.0f;
    r.object = fx;
    r.uniqueID = 0x54657374;
    r.version = 1;
    return &r;
}
