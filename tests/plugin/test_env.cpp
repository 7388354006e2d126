#include <gtest/gtest.h>

#include <vector>

#include "plugin/Env03.h"

namespace {

// Steps the envelope while it stays in its current stage; answers how many
// steps that stage lasted (the step that leaves it included).
int stepsUntilStageChanges(TEnv& env, int limit = 100000) {
    const auto start = env.stage;
    int n = 0;
    while (env.stage == start && n < limit) {
        env.Step();
        ++n;
    }
    return n;
}

TEnv& withRates(TEnv& env, float attack, float hold, float decay, float sustain, float release) {
    env.attackStep = attack;
    env.holdSteps = hold;
    env.decayStep = decay;
    env.sustainLevel = sustain;
    env.releaseStep = release;
    return env;
}

}  // namespace

TEST(Env, StartsIdleWithTheDefaultRates) {
    TEnv env;
    EXPECT_EQ(env.stage, TEnv::Idle);
    EXPECT_EQ(env.level, 0.0f);
    EXPECT_EQ(env.velocity, 0.0f);
    EXPECT_EQ(env.output, 0.0f);
    EXPECT_EQ(env.holdCount, 0);
    EXPECT_FALSE(env.releaseRequested);
    EXPECT_EQ(env.attackStep.load(), 0.2f);
    EXPECT_EQ(env.holdSteps.load(), 0.0f);
    EXPECT_EQ(env.decayStep.load(), 0.7f);
    EXPECT_EQ(env.sustainLevel.load(), 0.8f);
    EXPECT_EQ(env.releaseStep.load(), 0.5f);
    // Idle does nothing, however often it is stepped.
    for (int i = 0; i < 10; ++i) env.Step();
    EXPECT_EQ(env.stage, TEnv::Idle);
    EXPECT_EQ(env.output, 0.0f);
}

TEST(Env, FullCycleStepCounts) {
    TEnv env;
    withRates(env, 0.25f, 2.5f, 0.1f, 0.7f, 0.25f);
    env.Trigger(1.0f);
    EXPECT_EQ(env.stage, TEnv::Attack);
    // 0.25, 0.5, 0.75, 1.0 (not above 1: stays), 1.25 -> clamped: five steps.
    EXPECT_EQ(stepsUntilStageChanges(env), 5);
    EXPECT_EQ(env.stage, TEnv::Hold);
    EXPECT_EQ(env.level, 1.0f);
    // ceil(2.5) + 1 steps of hold; the counter stops at 3.
    EXPECT_EQ(stepsUntilStageChanges(env), 4);
    EXPECT_EQ(env.holdCount, 3);
    EXPECT_EQ(env.stage, TEnv::Decay);
    // Decay by 0.1 (float arithmetic) until below 0.7, then clamped to it.
    float expect = 1.0f;
    int decaySteps = 0;
    do {
        expect = expect - 0.1f;
        ++decaySteps;
    } while (!(expect < 0.7f));
    EXPECT_EQ(stepsUntilStageChanges(env), decaySteps);
    EXPECT_EQ(env.stage, TEnv::Sustain);
    EXPECT_EQ(env.level, 0.7f);
    // Sustain holds until a release is asked for.
    for (int i = 0; i < 50; ++i) env.Step();
    EXPECT_EQ(env.stage, TEnv::Sustain);
    EXPECT_EQ(env.output, 0.7f);
    env.Release();
    env.Step();  // the request is acted on, the level not yet changed
    EXPECT_EQ(env.stage, TEnv::ReleaseStage);
    EXPECT_EQ(env.level, 0.7f);
    // 0.45, 0.2, -0.05 -> clamped to 0, Idle.
    EXPECT_EQ(stepsUntilStageChanges(env), 3);
    EXPECT_EQ(env.stage, TEnv::Idle);
    EXPECT_EQ(env.level, 0.0f);
    EXPECT_EQ(env.output, 0.0f);
    // The request stays set until the next trigger.
    EXPECT_TRUE(env.releaseRequested);
}

TEST(Env, HoldOfZeroStepsLastsOneStep) {
    TEnv env;
    withRates(env, 2.0f, 0.0f, 1.0f, 1.0f, 1.0f);
    env.Trigger(1.0f);
    env.Step();
    ASSERT_EQ(env.stage, TEnv::Hold);
    EXPECT_EQ(stepsUntilStageChanges(env), 1);
    EXPECT_EQ(env.holdCount, 0);
    // A decay of 1 onto a sustain of 1 lasts one step and keeps the level.
    EXPECT_EQ(stepsUntilStageChanges(env), 1);
    EXPECT_EQ(env.stage, TEnv::Sustain);
    EXPECT_EQ(env.level, 1.0f);
}

TEST(Env, ReleaseDuringAttackWaitsForSustain) {
    TEnv env;
    withRates(env, 0.5f, 1.0f, 1.0f, 1.0f, 0.5f);
    env.Trigger(1.0f);
    env.Step();
    env.Release();
    EXPECT_EQ(env.stage, TEnv::Attack);
    std::vector<int> stages;  // the stage after each step
    for (int i = 0; i < 10; ++i) {
        env.Step();
        stages.push_back(env.stage);
    }
    // 1.0 stays in attack, 1.5 clamps; hold 0 -> 1 -> done; decay onto 1.0;
    // one step in sustain; release 0.5, 0.0 (not below 0), -0.5 -> idle.
    const std::vector<int> expected = {
        TEnv::Attack,       TEnv::Hold,         TEnv::Hold,         TEnv::Decay, TEnv::Sustain,
        TEnv::ReleaseStage, TEnv::ReleaseStage, TEnv::ReleaseStage, TEnv::Idle,  TEnv::Idle};
    EXPECT_EQ(stages, expected);
}

TEST(Env, RetriggerDuringReleaseContinuesFromTheCurrentLevel) {
    TEnv env;
    withRates(env, 0.3f, 0.0f, 1.0f, 1.0f, 0.25f);
    env.Trigger(1.0f);
    while (env.stage != TEnv::Sustain) env.Step();
    env.Release();
    env.Step();
    env.Step();  // 0.75
    ASSERT_EQ(env.stage, TEnv::ReleaseStage);
    ASSERT_EQ(env.level, 0.75f);
    env.holdCount = 7;
    env.Trigger(0.5f);
    EXPECT_EQ(env.stage, TEnv::Attack);
    EXPECT_EQ(env.level, 0.75f);  // no jump to 0
    EXPECT_EQ(env.holdCount, 0);
    EXPECT_FALSE(env.releaseRequested);
    env.Step();
    EXPECT_EQ(env.level, 1.0f);  // 0.75 + 0.3 > 1, clamped
    EXPECT_EQ(env.stage, TEnv::Hold);
    EXPECT_EQ(env.output, 0.5f);  // level times the new velocity
}

TEST(Env, TriggerWhileIdleStartsFromZero) {
    TEnv env;
    env.level = 0.6f;  // left over; Idle restarts from 0 regardless
    env.Trigger(1.0f);
    env.Step();
    EXPECT_EQ(env.level, 0.2f);
    EXPECT_EQ(env.output, 0.2f);
}

TEST(Env, TriggerInSustainReentersHoldAfterOneStep) {
    TEnv env;
    withRates(env, 0.1f, 3.0f, 1.0f, 1.0f, 0.5f);
    env.Trigger(1.0f);
    while (env.stage != TEnv::Sustain) env.Step();
    env.Trigger(1.0f);
    env.Step();
    EXPECT_EQ(env.stage, TEnv::Hold);
    EXPECT_EQ(env.level, 1.0f);
    EXPECT_EQ(stepsUntilStageChanges(env), 4);
}

TEST(Env, RateChangeTakesEffectAtTheNextStep) {
    TEnv env;
    withRates(env, 0.125f, 0.0f, 1.0f, 1.0f, 0.5f);
    env.Trigger(1.0f);
    env.Step();
    EXPECT_EQ(env.level, 0.125f);
    env.attackStep = 0.5f;
    env.Step();
    EXPECT_EQ(env.level, 0.625f);
}

TEST(Env, ArithmeticIsSinglePrecision) {
    // 1/3 added three times in float is 1.0 exactly and does not clamp;
    // the fourth addition does. A double accumulator would clamp earlier or later.
    TEnv env;
    withRates(env, 1.0f / 3.0f, 0.0f, 1.0f, 1.0f, 0.5f);
    env.Trigger(1.0f);
    float sum = 0.0f;
    int expected = 0;
    do {
        sum = sum + 1.0f / 3.0f;
        ++expected;
    } while (!(sum > 1.0f));
    EXPECT_EQ(stepsUntilStageChanges(env), expected);
}

TEST(Env, HoldCounterDoesNotOverflow) {
    TEnv env;
    env.holdSteps = 3.0e9f;
    env.stage = TEnv::Hold;
    env.holdCount = 2147483646;
    env.Step();
    env.Step();
    env.Step();
    EXPECT_EQ(env.holdCount, 2147483647);
    EXPECT_EQ(env.stage, TEnv::Hold);
}
