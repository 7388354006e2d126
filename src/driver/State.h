#pragma once
// The gate's saved state, the one record every plug-in format but VST 2
// stores: the current program and all sixteen programs, each with its six
// values and its name. Little-endian whatever the machine, of a fixed size:
//   "TWGS", version (u32), current program (u32),
//   16 x { 6 values (f32), name (52 bytes, NUL-terminated, zero-padded) }.
// The reader is a reader of outside bytes: whatever it is given, it either
// returns a whole valid state or says what is wrong and gives nothing.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

class APlugin;

namespace tarnwick::driver {

inline constexpr std::uint32_t kStateVersion = 1;
inline constexpr int kStatePrograms = 16;
inline constexpr int kStateValues = 6;
inline constexpr std::size_t kStateNameSize = 52;
inline constexpr std::size_t kStateProgramSize = kStateValues * 4 + kStateNameSize;
inline constexpr std::size_t kStateSize = 12 + kStatePrograms * kStateProgramSize;

struct ProgramState {
    std::array<float, kStateValues> values{};
    std::array<char, kStateNameSize> name{};  // NUL-terminated
};

struct GateState {
    std::uint32_t program = 0;
    std::array<ProgramState, kStatePrograms> programs{};
};

enum class StateError {
    None,
    Truncated,
    TooLong,
    NotAState,       // not this record's signature
    UnknownVersion,  // a later version than this build reads
    ProgramOutOfRange,
    ValueOutOfRange,  // NaN, or outside 0 to 1
    NameUnterminated,
};

// A sentence for a log or a test's message.
const char* StateErrorText(StateError error);

using StateBytes = std::array<std::uint8_t, kStateSize>;
StateBytes EncodeState(const GateState& state);
// Reads BYTES whole into STATE; on any error STATE is left as it was.
StateError DecodeState(std::span<const std::uint8_t> bytes, GateState& state);

// The effect's state, read without changing it.
GateState CaptureState(APlugin& effect);
// Gives the effect STATE: every program's values and name, then the current
// program, whose values become the parameters' (as a host's program change
// makes them). Each value meets the effect's own clamping.
void ApplyState(APlugin& effect, const GateState& state);

}  // namespace tarnwick::driver
