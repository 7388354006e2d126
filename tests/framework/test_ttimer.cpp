// The framework's timer: refused by the system it turns itself off; a form
// being read starts it only once it is complete.
#include <gtest/gtest.h>

#include <memory>

#include "framework/ExtCtrls.h"
#include "objects/TextForm.h"
#include "platform/headless/HeadlessControl.h"

namespace {

using namespace tarnwick::platform::headless;

class TTimerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetServices(); }
    void TearDown() override { ResetServices(); }
};

TEST_F(TTimerTest, ARefusedTimerTurnsItselfOff) {
    TTimer timer(nullptr);
    timer.SetOnTimer([](TObject*) {});
    EXPECT_TRUE(timer.Running());
    timer.SetEnabled(false);
    EXPECT_EQ(RunningTimerCount(), 0u);
    RefuseNextTimer();
    timer.SetEnabled(true);
    EXPECT_FALSE(timer.Enabled());
    EXPECT_FALSE(timer.Running());
}

class TTimerOwner : public TComponent {
    TW_CLASS(TTimerOwner, TComponent)

public:
    explicit TTimerOwner(TComponent* Owner) : TComponent(Owner) {}
    void Tick(TObject*) { ++ticks; }
    int ticks = 0;
};

TW_IMPLEMENT_CLASS(TTimerOwner) { b.Method<&TTimerOwner::Tick>("Tick"); }

TEST_F(TTimerTest, ReadFromAFormItStartsWhenLoaded) {
    TTimerOwner owner(nullptr);
    ComponentFromText(R"(object Owner: TTimerOwner
  object Updater: TTimer
    Interval = 100
    OnTimer = Tick
  end
end
)",
                      &owner);
    auto* timer = dynamic_cast<TTimer*>(owner.FindComponent("Updater"));
    ASSERT_NE(timer, nullptr);
    EXPECT_TRUE(timer->Running());
    AdvanceTime(100);
    EXPECT_EQ(owner.ticks, 1);
}

}  // namespace
