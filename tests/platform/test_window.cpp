// The window service through the headless back end.
#include <gtest/gtest.h>

#include <vector>

#include "platform/Window.h"

namespace {

using namespace tarnwick::platform;

TEST(Window, ChildWindowsKeepTheirParentAndAreFoundByHandleWhileTheyLive) {
    auto hosted = CreateChildWindow(0x7E00, 40, 30);
    auto loose = CreateChildWindow(0, 1, 1);
    EXPECT_EQ(hosted->NativeParent(), 0x7E00u);
    EXPECT_EQ(loose->NativeParent(), 0u);
    EXPECT_EQ(hosted->Width(), 40);
    EXPECT_EQ(hosted->Height(), 30);

    const std::uintptr_t handle = hosted->Handle();
    EXPECT_NE(handle, 0u);
    EXPECT_NE(handle, loose->Handle());
    EXPECT_EQ(WindowFromHandle(handle), hosted.get());
    EXPECT_EQ(WindowFromHandle(loose->Handle()), loose.get());
    hosted.reset();
    EXPECT_EQ(WindowFromHandle(handle), nullptr);
    EXPECT_EQ(WindowFromHandle(0), nullptr);
}

TEST(Window, RepaintRequestsInsideAPendingOneAddNothing) {
    auto w = CreateChildWindow(0, 40, 30);
    w->TakeInvalidated();
    // A control that changes again and again before the next repaint.
    for (int i = 0; i < 100; ++i) w->Invalidate({4, 4, 12, 12});
    w->Invalidate({5, 5, 12, 10});
    w->Invalidate({10, 10, 50, 20});  // partly outside: clipped, and kept
    using Rects = std::vector<WindowRect>;
    EXPECT_EQ(w->TakeInvalidated(), (Rects{{4, 4, 12, 12}, {10, 10, 40, 20}}));
    EXPECT_FALSE(w->HasInvalidated());
}

}  // namespace
