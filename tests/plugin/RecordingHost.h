#pragma once
// A host for tests: answers the version query with 2400 and the tempo query
// with a settable value, gives vendor and product texts, and records every
// call it receives in a fixed array (recording must not allocate, so that the
// allocation test can run with it).

#include <array>
#include <cstring>

#include "vst/DAEffect.h"

struct HostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

class RecordingHost {
public:
    RecordingHost() { current() = this; }
    ~RecordingHost() {
        if (current() == this) current() = nullptr;
    }
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt) {
        RecordingHost* host = current();
        return host ? host->answer(effect, opcode, index, value, ptr, opt) : 0;
    }

    int count(VstInt32 opcode) const {
        int n = 0;
        for (int i = 0; i < numCalls; ++i)
            if (calls[i].opcode == opcode) ++n;
        return n;
    }
    const HostCall* last(VstInt32 opcode) const {
        for (int i = numCalls; i-- > 0;)
            if (calls[i].opcode == opcode) return &calls[i];
        return nullptr;
    }
    void clear() { numCalls = 0; }

    VstIntPtr versionAnswer = 2400;
    VstIntPtr tempoAnswer = 1200000;  // 120 beats per minute, as hosts scale it
    const char* vendor = "Recording Vendor";
    const char* product = "Recording Host";
    std::array<HostCall, 1 << 16> calls{};
    int numCalls = 0;

private:
    static RecordingHost*& current() {
        static RecordingHost* host = nullptr;
        return host;
    }

    VstIntPtr answer(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                     float opt) {
        if (numCalls < static_cast<int>(calls.size()))
            calls[numCalls++] = {effect, opcode, index, value, ptr, opt};
        switch (opcode) {
            case audioMasterVersion: return versionAnswer;
            case audioMasterTempoAt: return tempoAnswer;
            case audioMasterGetVendorString: std::strcpy(static_cast<char*>(ptr), vendor); return 1;
            case audioMasterGetProductString:
                std::strcpy(static_cast<char*>(ptr), product);
                return 1;
            default: return 0;
        }
    }
};
