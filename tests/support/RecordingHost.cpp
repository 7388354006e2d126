#include "support/RecordingHost.h"

#include <cstring>
#include <stdexcept>

namespace tarnwick::test {

namespace {
RecordingHost* installed = nullptr;
}  // namespace

RecordingHost::RecordingHost(Answers answers) : calls_(std::make_unique<HostCall[]>(kCapacity)) {
    if (answers == Answers::LikeAHost) {
        setAnswer(audioMasterVersion, 2400);
        setAnswer(audioMasterTempoAt, 1200000);  // 120 beats per minute, as hosts scale it
        vendor = "Recording Vendor";
        product = "Recording Host";
    }
    installed = this;
}

RecordingHost::~RecordingHost() {
    if (installed == this) installed = nullptr;
}

VstIntPtr RecordingHost::callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                                  void* ptr, float opt) {
    RecordingHost* host = installed;
    if (!host) return 0;
    const HostCall call{effect, opcode, index, value, ptr, opt};
    if (host->numCalls_ < kCapacity) host->calls_[host->numCalls_++] = call;
    return host->answer(call);
}

void RecordingHost::setAnswer(VstInt32 opcode, VstIntPtr value) {
    for (std::size_t i = 0; i < numAnswers_; ++i) {
        if (answers_[i].opcode == opcode) {
            answers_[i].value = value;
            return;
        }
    }
    if (numAnswers_ == answers_.size()) throw std::length_error("RecordingHost: too many answers");
    answers_[numAnswers_++] = {opcode, value};
}

VstIntPtr RecordingHost::answer(const HostCall& call) const {
    const char* text = call.opcode == audioMasterGetVendorString    ? vendor
                       : call.opcode == audioMasterGetProductString ? product
                                                                    : nullptr;
    if (text) {
        if (call.ptr) std::strcpy(static_cast<char*>(call.ptr), text);
        return 1;
    }
    for (std::size_t i = 0; i < numAnswers_; ++i) {
        if (answers_[i].opcode == call.opcode) return answers_[i].value;
    }
    return defaultAnswer;
}

int RecordingHost::count(VstInt32 opcode) const {
    int n = 0;
    for (const HostCall& c : calls())
        if (c.opcode == opcode) ++n;
    return n;
}

const HostCall* RecordingHost::last(VstInt32 opcode) const {
    for (std::size_t i = numCalls_; i-- > 0;)
        if (calls_[i].opcode == opcode) return &calls_[i];
    return nullptr;
}

}  // namespace tarnwick::test
