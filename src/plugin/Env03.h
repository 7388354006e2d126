#pragma once
// Per-sample envelope generator: attack, hold, decay, sustain, release.
//
// The envelope knows nothing about time: every rate is an amount of level per
// step and the hold time is a number of steps. Its owner converts parameters
// into these values and may rewrite them from another thread at any time, so
// the five rate fields are atomics read with relaxed ordering; the remaining
// state belongs to the audio thread alone.

#include <atomic>
#include <cstdint>
#include <limits>

class TEnv {
public:
    enum : std::uint8_t {
        Idle = 0,
        Attack = 1,
        Hold = 2,
        Decay = 3,
        Sustain = 4,
        ReleaseStage = 5
    };

    TEnv() = default;
    TEnv(const TEnv&) = delete;
    TEnv& operator=(const TEnv&) = delete;

    float level = 0.0f;
    float velocity = 0.0f;
    std::atomic<float> attackStep{0.2f};
    std::atomic<float> holdSteps{0.0f};
    std::atomic<float> decayStep{0.7f};
    std::atomic<float> sustainLevel{0.8f};
    std::atomic<float> releaseStep{0.5f};
    std::uint8_t stage = Idle;
    float output = 0.0f;
    std::int32_t holdCount = 0;
    bool releaseRequested = false;

    // Starts or restarts the envelope; a restart continues from the current
    // level so that re-opening during a release does not click.
    void Trigger(float newVelocity);
    // Asks for the release; it is acted on once the envelope reaches Sustain.
    void Release() { releaseRequested = true; }
    // Advances by one sample and sets output.
    void Step();

    // The envelope's state held in locals for a run of samples. The audio
    // loop works on a copy so that the compiler can keep it in registers
    // (output buffers are floats and could otherwise alias the fields), and
    // takes the rates once per run.
    struct Run {
        float level, velocity, output;
        std::int32_t holdCount;
        std::uint8_t stage;
        bool releaseRequested;
        float attackStep, decayStep, sustainLevel, releaseStep;
        double holdSteps;  // an int32 counter and a float compare exactly as doubles

        explicit Run(const TEnv& env)
            : level(env.level),
              velocity(env.velocity),
              output(env.output),
              holdCount(env.holdCount),
              stage(env.stage),
              releaseRequested(env.releaseRequested),
              attackStep(env.attackStep.load(std::memory_order_relaxed)),
              decayStep(env.decayStep.load(std::memory_order_relaxed)),
              sustainLevel(env.sustainLevel.load(std::memory_order_relaxed)),
              releaseStep(env.releaseStep.load(std::memory_order_relaxed)),
              holdSteps(env.holdSteps.load(std::memory_order_relaxed)) {}

        void StoreTo(TEnv& env) const {
            env.level = level;
            env.velocity = velocity;
            env.output = output;
            env.holdCount = holdCount;
            env.stage = stage;
            env.releaseRequested = releaseRequested;
        }

        void Trigger(float newVelocity) {
            if (stage == Idle) level = 0.0f;
            velocity = newVelocity;
            stage = Attack;
            holdCount = 0;
            releaseRequested = false;
        }

        void Step() {
            switch (stage) {
                case Attack:
                    level = level + attackStep;
                    if (level > 1.0f) {
                        level = 1.0f;
                        stage = Hold;
                    }
                    break;
                case Hold:
                    if (holdCount >= holdSteps)
                        stage = Decay;
                    else if (holdCount < std::numeric_limits<std::int32_t>::max())
                        ++holdCount;  // a hold longer than the counter can reach stays put
                    break;
                case Decay:
                    level = level - decayStep;
                    if (level < sustainLevel) {
                        level = sustainLevel;
                        stage = Sustain;
                    }
                    break;
                case Sustain:
                    if (releaseRequested) stage = ReleaseStage;
                    break;
                case ReleaseStage:
                    level = level - releaseStep;
                    if (level < 0.0f) {
                        level = 0.0f;
                        stage = Idle;
                    }
                    break;
                default:  // Idle
                    break;
            }
            output = level * velocity;
        }
    };
};
