// A hostile host: any sequence of dispatcher opcodes, parameter calls and
// audio blocks of any length, with the buffers and records a host may pass
// (null, zeroed, text without a terminator inside it, events with any timing).
// The effect must never crash, leak or read or write outside what it was
// given, parameters must stay in 0..1, and the gate may only attenuate.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "vst/DAEffect.h"
#include "vst/DAudioEffect.h"
#include "vst/DVstMain.h"

namespace {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size) : p_(data), end_(data + size) {}
    bool empty() const { return p_ >= end_; }
    template <class T>
    T take() {
        T v{};
        std::size_t n = std::min<std::size_t>(sizeof(T), std::size_t(end_ - p_));
        std::memcpy(&v, p_, n);
        p_ += n;
        return v;
    }

private:
    const std::uint8_t* p_;
    const std::uint8_t* end_;
};

VstTimeInfo gTime{};

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void* ptr, float) {
    switch (opcode) {
        case audioMasterVersion: return 2400;
        case audioMasterGetTime: return reinterpret_cast<VstIntPtr>(&gTime);
        case audioMasterTempoAt: return 1200000;
        case audioMasterGetSampleRate: return 0;  // as a scanning host does
        case audioMasterGetBlockSize: return 0;
        case audioMasterGetVendorString:
        case audioMasterGetProductString:
            if (ptr) std::strcpy(static_cast<char*>(ptr), "Fuzz host");
            return 1;
        default: return 0;
    }
}

constexpr int kMaxFrames = 2048;
constexpr std::size_t kBuffer = 4096;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    AudioEffect* object = createEffectInstance(host);
    if (!object) std::abort();
    AEffect* e = object->getAeffect();

    std::vector<float> channels(6 * kMaxFrames);
    std::vector<char> buffer(kBuffer);
    std::vector<VstMidiEvent> events(300);
    std::vector<std::uint8_t> eventList(sizeof(VstEvents) + 300 * sizeof(VstEvent*));
    std::vector<std::uint8_t> arrangement[2] = {
        std::vector<std::uint8_t>(vstSpeakerArrangementSize(8)),
        std::vector<std::uint8_t>(vstSpeakerArrangementSize(8))};

    for (int step = 0; step < 64 && !in.empty(); ++step) {
        switch (in.take<std::uint8_t>() % 5) {
            case 0:
            case 1: {  // a dispatcher call
                VstInt32 opcode = VstInt32(in.take<std::int8_t>()) % 90;
                if (opcode == effClose) opcode = effOpen;  // closing ends the run below
                VstInt32 index = in.take<std::int16_t>();
                VstIntPtr value = in.take<std::int32_t>();
                float opt;
                std::uint32_t bits = in.take<std::uint32_t>();
                std::memcpy(&opt, &bits, sizeof opt);
                std::uint8_t ptrKind = in.take<std::uint8_t>();
                // Text the effect may read: fuzz bytes, terminated inside the buffer.
                std::fill(buffer.begin(), buffer.end(), 0);
                std::size_t textLen = ptrKind % 200;
                for (std::size_t i = 0; i < textLen; ++i)
                    buffer[i] = char(in.take<std::uint8_t>() | 1);
                void* ptr = (ptrKind & 0x80) ? nullptr : buffer.data();
                if (opcode == effSetChunk) value = std::clamp<VstIntPtr>(value, 0, kBuffer);
                if (opcode == effProcessEvents && ptr) {
                    auto* list = reinterpret_cast<VstEvents*>(eventList.data());
                    list->numEvents = in.take<std::uint16_t>() % 300;
                    list->reserved = 0;
                    // The list is longer than its declared two entries, as hosts make it.
                    VstEvent** slots = list->events;
                    for (VstInt32 i = 0; i < list->numEvents; ++i) {
                        VstMidiEvent& m = events[std::size_t(i)];
                        m = VstMidiEvent{};
                        m.type = (in.take<std::uint8_t>() & 1) ? kVstMidiType : kVstSysExType;
                        m.byteSize = sizeof(VstMidiEvent);
                        m.deltaFrames = in.take<std::int16_t>();
                        for (char& c : m.midiData) c = char(in.take<std::uint8_t>());
                        slots[i] = reinterpret_cast<VstEvent*>(&m);
                    }
                    ptr = list;
                }
                if (opcode == effSetSpeakerArrangement) {
                    // Both records are real; the channel counts are the host's word.
                    for (auto& a : arrangement) {
                        std::fill(a.begin(), a.end(), 0);
                        reinterpret_cast<VstSpeakerArrangement*>(a.data())->numChannels =
                            in.take<std::uint8_t>() % 9;
                    }
                    value =
                        (ptrKind & 0x40) ? 0 : reinterpret_cast<VstIntPtr>(arrangement[0].data());
                    if (ptr) ptr = arrangement[1].data();
                }
                if (opcode == effGetSpeakerArrangement) {
                    // Both arguments are locations that receive a record address.
                    value =
                        (ptrKind & 0x40) ? 0 : reinterpret_cast<VstIntPtr>(arrangement[0].data());
                }
                e->dispatcher(e, opcode, index, value, ptr, opt);
                break;
            }
            case 2: {  // parameters, with any bit pattern as the value
                VstInt32 index = in.take<std::int8_t>() % 10;
                float v;
                std::uint32_t bits = in.take<std::uint32_t>();
                std::memcpy(&v, &bits, sizeof v);
                e->setParameter(e, index, v);
                for (VstInt32 i = 0; i < e->numParams; ++i) {
                    float p = e->getParameter(e, i);
                    if (!(p >= 0.0f && p <= 1.0f)) std::abort();
                }
                break;
            }
            case 3:
            case 4: {  // an audio block, replacing or accumulating, maybe in place
                VstInt32 frames = VstInt32(in.take<std::int16_t>()) % (kMaxFrames + 1);
                std::uint8_t mode = in.take<std::uint8_t>();
                float* ch[6];
                for (int c = 0; c < 6; ++c) ch[c] = channels.data() + std::size_t(c) * kMaxFrames;
                for (int i = 0; i < kMaxFrames; ++i) {
                    for (int c = 0; c < 4; ++c) ch[c][i] = float(in.take<std::int8_t>()) / 32.0f;
                    ch[4][i] = ch[5][i] = 0.0f;
                }
                float* inputs[4] = {ch[0], ch[1], ch[2], ch[3]};
                bool inPlace = mode & 1;
                float* outputs[2] = {inPlace ? ch[0] : ch[4], inPlace ? ch[1] : ch[5]};
                std::vector<float> before(ch[0], ch[0] + 2 * kMaxFrames);
                if (mode & 2)
                    e->process(e, inputs, outputs, frames);
                else
                    e->processReplacing(e, inputs, outputs, frames);
                // A gate only attenuates (accumulating in place adds the input once
                // more); without aliasing the inputs stay as they were.
                float gain = (inPlace && (mode & 2)) ? 2.0f : 1.0f;
                for (VstInt32 i = 0; i < frames; ++i)
                    for (int c = 0; c < 2; ++c) {
                        float x = before[std::size_t(c) * kMaxFrames + std::size_t(i)];
                        float y = outputs[c][i];
                        if (!std::isfinite(y) || std::fabs(y) > gain * std::fabs(x)) std::abort();
                        if (!inPlace && ch[c][i] != x) std::abort();
                    }
                break;
            }
        }
    }
    if (e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f) != 1) std::abort();
    return 0;
}
