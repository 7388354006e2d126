// Small effect modules that show what the command-line host does with what a
// module hands it. Built once per behaviour (HOST_TEST_KIND):
//   0 routing: 4 in / 2 out, six parameters par0..par5, sixteen programs;
//     out1 = in1 + 2 in3 + par3, out2 = in2 + 2 in4 + par5, so a test can
//     read back which input fed which channel and which value was set.
//   1 hostile: every text it is asked for is far longer than the standard
//     size and has no terminator within it.
//   2 the entry point answers no effect.
//   3 the entry point answers a record without the magic number.
//   4 the record claims a million inputs.

#include "vst/DAEffect.h"

#include <cstdio>
#include <cstring>

#ifndef HOST_TEST_KIND
#error "HOST_TEST_KIND must be defined"
#endif

namespace {

struct TestEffect {
  AEffect record{};
  float params[6] = {};
  int program = 0;
};

TestEffect* self(AEffect* e) { return static_cast<TestEffect*>(e->object); }

// 300 bytes of 'A' and no terminator: past every standard text size.
void flood(void* ptr) { std::memset(ptr, 'A', 300); }

VstIntPtr dispatcher(AEffect* e, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float /*opt*/) {
  TestEffect* fx = self(e);
  const bool hostile = HOST_TEST_KIND == 1;
  auto text = [&](const char* s) {
    if (hostile) {
      flood(ptr);
    } else {
      std::strcpy(static_cast<char*>(ptr), s);
    }
  };
  char buf[32];
  switch (opcode) {
    case effClose:
      delete fx;
      return 1;
    case effSetProgram:
      if (value >= 0 && value < 16) {
        fx->program = static_cast<int>(value);
        fx->params[3] = static_cast<float>(value) / 16.0f;
      }
      return 0;
    case effGetProgram:
      return fx->program;
    case effGetParamName:
      std::snprintf(buf, sizeof buf, "par%d", index);
      text(buf);
      return 0;
    case effGetParamDisplay:
    case effGetParamLabel:
    case effGetProgramName:
      text("x");
      return 0;
    case effGetProgramNameIndexed:
      std::snprintf(buf, sizeof buf, "Program %d", index);
      text(buf);
      return 1;
    case effGetEffectName:
    case effGetVendorString:
    case effGetProductString:
      text("Test");
      return 1;
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
    default:
      return 0;
  }
}

void processReplacing(AEffect* e, float** in, float** out, VstInt32 frames) {
  const float* p = self(e)->params;
  for (VstInt32 i = 0; i < frames; ++i) {
    out[0][i] = in[0][i] + 2.0f * in[2][i] + p[3];
    out[1][i] = in[1][i] + 2.0f * in[3][i] + p[5];
  }
}

void process(AEffect* e, float** in, float** out, VstInt32 frames) {
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
  if (HOST_TEST_KIND == 2) return nullptr;
  auto* fx = new TestEffect;
  AEffect& r = fx->record;
  r.magic = HOST_TEST_KIND == 3 ? 0 : kEffectMagic;
  r.dispatcher = dispatcher;
  r.process = process;
  r.processReplacing = processReplacing;
  r.setParameter = setParameter;
  r.getParameter = getParameter;
  r.numPrograms = 16;
  r.numParams = 6;
  r.numInputs = HOST_TEST_KIND == 4 ? 1 << 20 : 4;
  r.numOutputs = 2;
  r.flags = effFlagsCanReplacing;
  r.ioRatio = 1.0f;
  r.object = fx;
  r.uniqueID = 0x54657374;
  r.version = 1;
  return &r;
}
