#pragma once
// A host callback for tests: records every call it receives and answers as
// configured. Recording never allocates (the calls go into storage made with
// the host), so tests of what the audio path allocates can use it as well.

#include <array>
#include <cstddef>
#include <memory>
#include <span>

#include "vst/DAEffect.h"

namespace tarnwick::test {

struct HostCall {
    AEffect* effect;
    VstInt32 opcode;
    VstInt32 index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

// The callback is a plain function, so the host it reports to is global: the
// most recently made RecordingHost installs itself and uninstalls itself when
// destroyed. Without one installed, the callback answers 0.
class RecordingHost {
public:
    // Blank answers 0 to everything. LikeAHost answers the version query with
    // 2400 and the tempo query with 120 beats per minute, and gives vendor and
    // product texts, as a host that loads effects does.
    enum class Answers { Blank, LikeAHost };
    static constexpr std::size_t kCapacity = std::size_t{1} << 16;  // later calls are not kept

    explicit RecordingHost(Answers answers = Answers::Blank);
    ~RecordingHost();
    RecordingHost(const RecordingHost&) = delete;
    RecordingHost& operator=(const RecordingHost&) = delete;

    static VstIntPtr callback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value,
                              void* ptr, float opt);

    // The answer to one opcode, in place of defaultAnswer.
    void setAnswer(VstInt32 opcode, VstIntPtr value);
    VstIntPtr defaultAnswer = 0;
    // When set, copied into the caller's buffer for the vendor and product
    // queries, which are then answered with 1.
    const char* vendor = nullptr;
    const char* product = nullptr;

    std::span<const HostCall> calls() const { return {calls_.get(), numCalls_}; }
    int count(VstInt32 opcode) const;
    const HostCall* last(VstInt32 opcode) const;  // null when never called
    void clear() { numCalls_ = 0; }

private:
    VstIntPtr answer(const HostCall& call) const;

    std::unique_ptr<HostCall[]> calls_;
    std::size_t numCalls_ = 0;
    struct Answer {
        VstInt32 opcode;
        VstIntPtr value;
    };
    std::array<Answer, 16> answers_{};
    std::size_t numAnswers_ = 0;
};

}  // namespace tarnwick::test
