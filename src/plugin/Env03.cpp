#include "plugin/Env03.h"

void TEnv::Trigger(float newVelocity) {
    Run run(*this);
    run.Trigger(newVelocity);
    run.StoreTo(*this);
}

void TEnv::Step() {
    Run run(*this);
    run.Step();
    run.StoreTo(*this);
}
