#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

#include "controls/cDIBTimer.h"
#include "framework/Controls.h"
#include "framework/Forms.h"
#include "framework/Messages.h"
#include "framework/WinApi.h"
#include "platform/headless/HeadlessControl.h"

namespace {

using namespace tarnwick::platform::headless;

class TimerTest : public ::testing::Test {
protected:
    void SetUp() override { ResetServices(); }
    void TearDown() override { ResetServices(); }
    // Advances the clock in steps of 10 ms, as a message loop would see it.
    void run(unsigned ms) {
        for (unsigned t = 0; t < ms; t += 10) AdvanceTime(10);
    }
    TNotifyEvent counter() {
        return [this](TObject* sender) {
            EXPECT_EQ(sender, timer.get());
            ++ticks;
        };
    }
    std::unique_ptr<TDIBTimer> timer = std::make_unique<TDIBTimer>(nullptr);
    int ticks = 0;
};

}  // namespace

TEST_F(TimerTest, RunsOnlyWithEnabledIntervalAndHandler) {
    EXPECT_FALSE(timer->Enabled());
    EXPECT_EQ(timer->Interval(), 1000u);
    timer->SetEnabled(true);
    EXPECT_EQ(timer->WindowHandle(), nullptr);  // no handler: nothing to run
    EXPECT_EQ(RunningTimerCount(), 0u);

    timer->SetOnTimer(counter());
    const HWND window = timer->WindowHandle();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(SendMessage(window, WM_PAINT, 0, 0), 0);  // left to the default handling
    run(990);
    EXPECT_EQ(ticks, 0);
    run(10);
    EXPECT_EQ(ticks, 1);
    run(2000);
    EXPECT_EQ(ticks, 3);

    // Interval 0 stops it and frees the window; Enabled stays set.
    timer->SetInterval(0);
    EXPECT_EQ(timer->WindowHandle(), nullptr);
    EXPECT_EQ(RunningTimerCount(), 0u);
    EXPECT_TRUE(timer->Enabled());
    run(3000);
    EXPECT_EQ(ticks, 3);

    timer->SetInterval(100);
    run(250);
    EXPECT_EQ(ticks, 5);
    timer->SetEnabled(false);
    EXPECT_EQ(timer->WindowHandle(), nullptr);
    run(500);
    EXPECT_EQ(ticks, 5);
    EXPECT_EQ(SendMessage(window, WM_TIMER, 1, 0), 0);  // an invalid handle by now
    EXPECT_EQ(ticks, 5);
}

TEST_F(TimerTest, OnlyRealChangesRestartThePeriod) {
    timer->SetOnTimer(counter());
    timer->SetEnabled(true);
    run(600);
    timer->SetEnabled(true);  // unchanged: the period goes on
    timer->SetInterval(1000);
    run(400);
    EXPECT_EQ(ticks, 1);
    run(600);
    timer->SetOnTimer(counter());  // a handler always restarts
    run(600);
    EXPECT_EQ(ticks, 1);
    run(400);
    EXPECT_EQ(ticks, 2);
}

TEST_F(TimerTest, ARefusedTimerTurnsItselfOff) {
    timer->SetOnTimer(counter());
    RefuseNextTimer();
    timer->SetEnabled(true);
    EXPECT_FALSE(timer->Enabled());
    EXPECT_EQ(timer->WindowHandle(), nullptr);
    run(2000);
    EXPECT_EQ(ticks, 0);
}

TEST_F(TimerTest, TicksSurviveFailingHandlersAndHandlersThatEndTheTimer) {
    timer->SetInterval(100);
    timer->SetOnTimer([this](TObject*) {
        ++ticks;
        throw std::runtime_error("handler failed");
    });
    timer->SetEnabled(true);
    const int failures = Application->ExceptionCount();
    run(300);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(Application->ExceptionCount(), failures + 3);  // each went to the application
    EXPECT_EQ(Application->LastExceptionMessage(), "handler failed");

    // A handler may stop its own timer, or free it.
    timer->SetOnTimer([this](TObject*) {
        ++ticks;
        timer->SetEnabled(false);
    });
    run(300);
    EXPECT_EQ(ticks, 4);
    EXPECT_EQ(timer->WindowHandle(), nullptr);
    timer->SetOnTimer([this](TObject*) {
        ++ticks;
        timer.reset();
    });
    timer->SetEnabled(true);
    run(300);
    EXPECT_EQ(ticks, 5);
    EXPECT_EQ(RunningTimerCount(), 0u);
}
