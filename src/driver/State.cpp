#include "driver/State.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "plugin/uPlugin.h"

namespace tarnwick::driver {

static_assert(kStatePrograms == APlugin::kNumPrograms && kStateValues == APlugin::kNumParams);
static_assert(kStateNameSize == APluginProgram::kNameSize);

namespace {

constexpr std::uint8_t kSignature[4] = {'T', 'W', 'G', 'S'};
constexpr auto relaxed = std::memory_order_relaxed;

void put32(std::uint8_t* at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) at[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint32_t get32(const std::uint8_t* at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(at[i]) << (8 * i);
    return v;
}

}  // namespace

const char* StateErrorText(StateError error) {
    switch (error) {
        case StateError::None: return "no error";
        case StateError::Truncated: return "the state is shorter than its record";
        case StateError::TooLong: return "the state is longer than its record";
        case StateError::NotAState: return "the data is not a state of this plug-in";
        case StateError::UnknownVersion: return "the state is of a version this build cannot read";
        case StateError::ProgramOutOfRange: return "the state's current program does not exist";
        case StateError::ValueOutOfRange: return "a value of the state is outside 0 to 1";
        case StateError::NameUnterminated: return "a program name of the state has no end";
    }
    return "unknown error";
}

StateBytes EncodeState(const GateState& state) {
    StateBytes bytes{};
    std::memcpy(bytes.data(), kSignature, 4);
    put32(bytes.data() + 4, kStateVersion);
    put32(bytes.data() + 8, state.program);
    std::uint8_t* at = bytes.data() + 12;
    for (const ProgramState& program : state.programs) {
        for (float value : program.values) {
            put32(at, std::bit_cast<std::uint32_t>(value));
            at += 4;
        }
        // Only the name's characters and zeros: nothing of what followed an
        // earlier, longer name leaks into the record.
        const std::size_t length = strnlen(program.name.data(), kStateNameSize - 1);
        std::memcpy(at, program.name.data(), length);
        at += kStateNameSize;
    }
    return bytes;
}

StateError DecodeState(std::span<const std::uint8_t> bytes, GateState& state) {
    if (bytes.size() < 4)
        return bytes.empty() || std::memcmp(bytes.data(), kSignature, bytes.size()) == 0
                   ? StateError::Truncated
                   : StateError::NotAState;
    if (std::memcmp(bytes.data(), kSignature, 4) != 0) return StateError::NotAState;
    if (bytes.size() < 8) return StateError::Truncated;
    if (get32(bytes.data() + 4) != kStateVersion) return StateError::UnknownVersion;
    if (bytes.size() < kStateSize) return StateError::Truncated;
    if (bytes.size() > kStateSize) return StateError::TooLong;
    GateState read;
    read.program = get32(bytes.data() + 8);
    if (read.program >= std::uint32_t(kStatePrograms)) return StateError::ProgramOutOfRange;
    const std::uint8_t* at = bytes.data() + 12;
    for (ProgramState& program : read.programs) {
        for (float& value : program.values) {
            value = std::bit_cast<float>(get32(at));
            at += 4;
            if (!(value >= 0.0f && value <= 1.0f)) return StateError::ValueOutOfRange;
        }
        if (!std::memchr(at, 0, kStateNameSize)) return StateError::NameUnterminated;
        std::memcpy(program.name.data(), at, kStateNameSize);
        at += kStateNameSize;
    }
    state = read;
    return StateError::None;
}

GateState CaptureState(APlugin& effect) {
    GateState state;
    const VstInt32 current = effect.getProgram();
    state.program = current >= 0 && current < kStatePrograms ? std::uint32_t(current) : 0;
    for (int p = 0; p < kStatePrograms; ++p) {
        ProgramState& program = state.programs[p];
        for (int i = 0; i < kStateValues; ++i)
            program.values[i] = effect.programs[p].values[i].load(relaxed);
        effect.programs[p].name.get(program.name.data(), kStateNameSize - 1);
    }
    return state;
}

void ApplyState(APlugin& effect, const GateState& state) {
    const auto clamp = [](float v) { return v > 1.0f ? 1.0f : v >= 0.0f ? v : 0.0f; };
    for (int p = 0; p < kStatePrograms; ++p) {
        const ProgramState& program = state.programs[p];
        for (int i = 0; i < kStateValues; ++i)
            effect.programs[p].values[i].store(clamp(program.values[i]), relaxed);
        char name[kStateNameSize] = {};
        std::memcpy(name, program.name.data(), kStateNameSize - 1);
        effect.programs[p].name.set(name);
    }
    const auto current =
        static_cast<VstInt32>(std::min<std::uint32_t>(state.program, kStatePrograms - 1));
    AEffect* record = effect.getAeffect();
    record->dispatcher(record, effSetProgram, 0, current, nullptr, 0.0f);
}

}  // namespace tarnwick::driver
