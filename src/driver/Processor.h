#pragma once
// The gate's audio side as every plug-in format but VST 2 drives it: the
// effect through its VST 2 record, in the order a VST 2 host uses (open,
// sample rate, mains on, processing), so that the same values and blocks
// give the same samples, bit for bit, as the VST 2 module. A block is split
// at each parameter or program change, so that a change lands on its sample.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "driver/State.h"

struct AEffect;
class APlugin;

namespace tarnwick::driver {

// A change at a sample of a block: parameter TARGET (0 to 5) takes VALUE,
// or, with TARGET kProgramTarget, the program VALUE (0 to 15) is chosen.
struct Change {
    std::uint32_t offset;
    std::int32_t target;
    float value;
};
inline constexpr std::int32_t kProgramTarget = 6;

// Where a block's changes come from, in the order of their offsets: a
// format's own queues, read as the block goes, or a list.
class ChangeSource {
public:
    // The next change, or null when none is left.
    virtual const Change* peek() = 0;
    virtual void pop() = 0;

protected:
    ~ChangeSource() = default;
};

class ChangeList final : public ChangeSource {
public:
    explicit ChangeList(std::span<const Change> changes) : changes_(changes) {}
    const Change* peek() override { return next_ < changes_.size() ? &changes_[next_] : nullptr; }
    void pop() override { ++next_; }

private:
    std::span<const Change> changes_;
    std::size_t next_ = 0;
};

class Processor {
public:
    // The effect opened for SAMPLERATE; throws std::bad_alloc when none can
    // be made.
    explicit Processor(double sampleRate);
    ~Processor();
    Processor(const Processor&) = delete;
    Processor& operator=(const Processor&) = delete;

    // A new sample rate; the parameters' times are worked out anew for it.
    void setSampleRate(double sampleRate);
    // Mains on and processing; mains off. Both are idempotent.
    void activate();
    void deactivate();
    bool active() const { return active_; }
    // Starts again from a new effect, with nothing of the old one's history
    // (the envelope, the key's peak); with KEEPSTATE the new effect takes
    // the old one's programs and current program. False, with the old
    // effect going on, when none can be made.
    bool restart(bool keepState);
    // Starts again from the history a new effect starts from (a silent
    // envelope, no key peak, the gate neither opened nor closed), keeping
    // the effect, its programs and its values. Allocates nothing, takes no
    // lock: for the audio thread.
    void reset();

    // Any thread; the effect's own clamping.
    void setParameter(std::int32_t index, float value);
    float parameter(std::int32_t index) const;
    void setProgram(std::int32_t program);
    std::int32_t program() const;
    GateState state() const;
    void setState(const GateState& state);

    // Gates FRAMES samples: INPUTS are the signal (0, 1) and the key (2, 3),
    // OUTPUTS the two outputs (they may be the inputs). CHANGES, in the order
    // of their offsets, each apply before the sample at its offset; one at
    // or past the block's end applies after its last sample (all of them in
    // a block of no samples). A null key
    // buffer is silence when SILENTKEY, else (as for a VST 2 host) a block
    // with a missing buffer is skipped. Allocates nothing, takes no lock.
    void process(float* const* inputs, float* const* outputs, std::uint32_t frames,
                 ChangeSource* changes = nullptr, bool silentKey = false);

    // The key's peak within the meter's range, 0 to 1.
    float keyLevel() const;
    APlugin& plugin() { return *plugin_; }

private:
    bool open();
    void close();
    void apply(const Change& change);

    double sampleRate_;
    APlugin* plugin_ = nullptr;
    AEffect* effect_ = nullptr;  // the effect's record; effClose deletes both
    bool active_ = false;
    // Stands in for a key the host does not give; the block is split to fit.
    std::vector<float> silence_;
};

}  // namespace tarnwick::driver
