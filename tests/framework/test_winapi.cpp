// Clock, timers, pointer, keys and identifiers through the headless back end.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "framework/Messages.h"
#include "framework/WinApi.h"
#include "framework/WindowManager.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"

namespace {

namespace headless = tarnwick::platform::headless;

class WinApi : public ::testing::Test {
protected:
    void SetUp() override { headless::ResetServices(); }
    void TearDown() override { headless::ResetServices(); }
};

// A window that records the timer messages it gets, as (tick, id).
struct TimerWindow {
    std::unique_ptr<tarnwick::platform::Window> window =
        tarnwick::platform::CreateChildWindow(0, 10, 10);
    std::vector<std::pair<DWORD, UINT_PTR>> ticks;
    std::function<void(UINT_PTR)> onTick;

    TimerWindow() {
        window->SetMessageHandler([this](std::uint32_t msg, std::uint32_t wParam, std::int32_t) {
            if (msg == WM_TIMER) {
                ticks.emplace_back(GetTickCount(), wParam);
                if (onTick) onTick(wParam);
            }
            return 0;
        });
    }
    HWND Handle() const { return reinterpret_cast<HWND>(window->Handle()); }
};

TEST_F(WinApi, TimersTickInOrderCoalesceAndCanBeKilledOrReplacedFromTheirOwnTick) {
    TimerWindow w;
    ASSERT_NE(SetTimer(w.Handle(), 7, 100, nullptr), 0u);
    ASSERT_NE(SetTimer(w.Handle(), 3, 30, nullptr), 0u);
    headless::AdvanceTime(29);
    EXPECT_TRUE(w.ticks.empty());
    headless::AdvanceTime(1);   // 30: timer 3 only
    headless::AdvanceTime(80);  // 110: timer 3 (due 60) once, not twice; then 7 (due 100)
    headless::AdvanceTime(20);  // 130: nothing (3 is next due at 140)
    using Tick = std::pair<DWORD, UINT_PTR>;
    EXPECT_EQ(w.ticks, (std::vector<Tick>{{30, 3}, {110, 3}, {110, 7}}));

    // Killing a timer inside its own tick, and restarting another with the
    // same identifier (a fresh period), from a handler.
    w.ticks.clear();
    w.onTick = [&](UINT_PTR id) {
        if (id == 3) {
            EXPECT_TRUE(KillTimer(w.Handle(), 3));
        }
        if (id == 7) SetTimer(w.Handle(), 7, 50, nullptr);
    };
    headless::AdvanceTime(100);  // 230: both due
    w.onTick = nullptr;
    headless::AdvanceTime(50);  // 280: 7 again after its new 50 ms period
    EXPECT_EQ(w.ticks, (std::vector<Tick>{{230, 3}, {230, 7}, {280, 7}}));
    EXPECT_FALSE(KillTimer(w.Handle(), 3));
    EXPECT_EQ(headless::RunningTimerCount(), 1u);

    // A destroyed window's timers stop.
    w.window.reset();
    headless::AdvanceTime(1000);
    EXPECT_EQ(headless::RunningTimerCount(), 0u);
}

TEST_F(WinApi, RefusedAndInvalidTimersAnswerZero) {
    TimerWindow w;
    headless::RefuseNextTimer();
    EXPECT_EQ(SetTimer(w.Handle(), 1, 100, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(headless::RunningTimerCount(), 0u);
    EXPECT_NE(SetTimer(w.Handle(), 1, 100, nullptr), 0u);  // the refusal was for one call

    EXPECT_EQ(SetTimer(reinterpret_cast<HWND>(std::uintptr_t{0x4}), 1, 100, nullptr), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
    EXPECT_EQ(SetTimer(nullptr, 1, 100, nullptr), 0u);  // nowhere to deliver

    // A period below the minimum ticks at the minimum.
    w.ticks.clear();
    SetTimer(w.Handle(), 2, 0, nullptr);
    headless::AdvanceTime(USER_TIMER_MINIMUM - 1);
    EXPECT_TRUE(w.ticks.empty());
    headless::AdvanceTime(1);
    EXPECT_EQ(w.ticks.size(), 1u);
}

std::vector<UINT_PTR> procTicks;
void RecordTick(HWND window, UINT msg, UINT_PTR id, DWORD) {
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(msg, WM_TIMER);
    procTicks.push_back(id);
}

TEST_F(WinApi, TheTickCountWrapsAndTimersRunAcrossTheWrap) {
    procTicks.clear();
    headless::AdvanceTime(0xFFFFFFF0u);
    EXPECT_EQ(GetTickCount(), 0xFFFFFFF0u);
    // A timer without a window gets its own identifier and calls its procedure.
    const UINT_PTR id = SetTimer(nullptr, 99, 100, RecordTick);
    ASSERT_NE(id, 0u);
    headless::AdvanceTime(0x20);
    EXPECT_EQ(GetTickCount(), 0x10u);
    EXPECT_TRUE(procTicks.empty());
    headless::AdvanceTime(0x43);
    EXPECT_TRUE(procTicks.empty());
    headless::AdvanceTime(1);  // 0xFFFFFFF0 + 100, wrapped
    EXPECT_EQ(GetTickCount(), 0x54u);
    EXPECT_EQ(procTicks, std::vector<UINT_PTR>{id});
    // Its identifier replaces it; another one makes a new timer.
    EXPECT_EQ(SetTimer(nullptr, id, 100, RecordTick), id);
    const UINT_PTR other = SetTimer(nullptr, id + 1000, 100, RecordTick);
    EXPECT_NE(other, 0u);
    EXPECT_NE(other, id);
    EXPECT_EQ(headless::RunningTimerCount(), 2u);
    EXPECT_TRUE(KillTimer(nullptr, id));
    EXPECT_TRUE(KillTimer(nullptr, other));
}

TEST_F(WinApi, PointerAndModifierKeys) {
    POINT p{1, 1};
    ASSERT_TRUE(SetCursorPos(-20, 700));
    ASSERT_TRUE(GetCursorPos(&p));
    EXPECT_EQ(p.x, -20);
    EXPECT_EQ(p.y, 700);
    EXPECT_FALSE(GetCursorPos(nullptr));

    EXPECT_EQ(ShowCursor(FALSE), -1);
    EXPECT_EQ(ShowCursor(FALSE), -2);
    EXPECT_EQ(ShowCursor(TRUE), -1);
    EXPECT_EQ(headless::PointerShowCount(), -1);

    using tarnwick::platform::ModifierKey;
    EXPECT_EQ(GetKeyState(VK_SHIFT), 0);
    headless::SetModifierDown(ModifierKey::Shift, true);
    headless::SetModifierDown(ModifierKey::Alt, true);
    EXPECT_LT(GetKeyState(VK_SHIFT), 0);  // high bit set
    EXPECT_LT(GetKeyState(VK_MENU), 0);
    EXPECT_EQ(GetKeyState(VK_CONTROL), 0);
    EXPECT_EQ(GetKeyState('A'), 0);
}

TEST_F(WinApi, GuidsAreRandomVersion4AndRoundTripThroughText) {
    std::set<std::string> seen;
    for (int i = 0; i < 64; ++i) {
        GUID g{};
        ASSERT_EQ(CoCreateGuid(&g), S_OK);
        EXPECT_EQ(g.Data3 >> 12, 4);
        EXPECT_EQ(g.Data4[0] & 0xC0, 0x80);
        seen.insert(tarnwick::GuidToString(g));
    }
    EXPECT_EQ(seen.size(), 64u);
    EXPECT_EQ(CoCreateGuid(nullptr), E_INVALIDARG);

    const GUID g{0x0123ABCD, 0x4567, 0x89EF, {0xFE, 0xDC, 0x0B, 0xA9, 0x87, 0x65, 0x43, 0x21}};
    EXPECT_EQ(tarnwick::GuidToString(g), "{0123ABCD-4567-89EF-FEDC-0BA987654321}");
    OLECHAR text[39];
    EXPECT_EQ(StringFromGUID2(g, text, 38), 0);
    ASSERT_EQ(StringFromGUID2(g, text, 39), 39);
    EXPECT_EQ(std::u16string(text), u"{0123ABCD-4567-89EF-FEDC-0BA987654321}");
    GUID back{};
    ASSERT_EQ(CLSIDFromString(u"{0123abcd-4567-89ef-fedc-0ba987654321}", &back), S_OK);
    EXPECT_EQ(back, g);

    for (const char16_t* bad :
         {u"0123ABCD-4567-89EF-FEDC-0BA987654321", u"{0123ABCD-4567-89EF-FEDC-0BA98765432}",
          u"{0123ABCD-4567-89EF-FEDC-0BA9876543210}", u"{0123ABCD+4567-89EF-FEDC-0BA987654321}",
          u"{0123ABCG-4567-89EF-FEDC-0BA987654321}", u""}) {
        EXPECT_EQ(CLSIDFromString(bad, &back), CO_E_CLASSSTRING);
    }
    EXPECT_EQ(back, g);
}

}  // namespace
