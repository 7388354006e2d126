// The saved state as the VST 3 and CLAP builds read it from a host: any
// bytes. Either the reader takes a whole valid state, which the gate then
// holds exactly (values, names, current program) and writes back as the same
// state, or it refuses and changes nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "driver/Processor.h"
#include "driver/State.h"

using namespace tarnwick::driver;

namespace {

bool same(const GateState& a, const GateState& b) {
    if (a.program != b.program) return false;
    for (int p = 0; p < kStatePrograms; ++p) {
        if (std::memcmp(a.programs[p].values.data(), b.programs[p].values.data(),
                        sizeof a.programs[p].values) != 0 ||
            std::strncmp(a.programs[p].name.data(), b.programs[p].name.data(), kStateNameSize) != 0)
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Processor gate(48000.0);
    const GateState before = gate.state();
    GateState read = before;
    if (DecodeState({data, size}, read) != StateError::None) {
        if (!same(read, before)) std::abort();  // a refused state changed what it was read into
        return 0;
    }
    gate.setState(read);
    if (!same(gate.state(), read)) std::abort();  // the gate holds something else
    GateState again;
    const StateBytes written = EncodeState(read);
    if (DecodeState(written, again) != StateError::None || !same(again, read)) std::abort();
    return 0;
}
