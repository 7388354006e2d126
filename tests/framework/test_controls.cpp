#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Controls.h"
#include "objects/Streaming.h"
#include "objects/TextForm.h"
#include "platform/Window.h"
#include "support/RecordingControl.h"

namespace {

using tarnwick::platform::Window;
using tarnwick::platform::WindowFromHandle;
using Rects = std::vector<tarnwick::platform::WindowRect>;

// A control that records every message and answers 7 to message 0x400 itself.
class TProbe : public tarnwick::test::TRecordingControl {
public:
    explicit TProbe(TComponent* Owner) : TRecordingControl(Owner) { Answer = Reply{0x400, 7}; }
};

// A windowless control the stream reader can make by name.
class TProbeStreamed : public TControl {
    TW_CLASS(TProbeStreamed, TControl)

public:
    using TControl::TControl;
};

TW_IMPLEMENT_CLASS(TProbeStreamed) {}

Window* WindowOf(TWinControl& c) {
    return WindowFromHandle(reinterpret_cast<std::uintptr_t>(c.Handle()));
}

}  // namespace

TEST(Controls, PerformGoesThroughTheReplaceableWindowProcedure) {
    TProbe probe(nullptr);
    EXPECT_EQ(probe.Perform(0x400, 1, -2), 7);
    ASSERT_EQ(probe.Received.size(), 1u);
    EXPECT_EQ(probe.Received[0].WParam, 1u);
    EXPECT_EQ(probe.Received[0].LParam, -2);

    // A hook handles one message and passes the others to what it replaced.
    TWndMethod previous = probe.WindowProc();
    probe.SetWindowProc([&](TMessage& m) {
        if (m.Msg == 0x401)
            m.Result = 99;
        else
            previous(m);
    });
    EXPECT_EQ(probe.Perform(0x401, 0, 0), 99);
    EXPECT_EQ(probe.Perform(0x400, 0, 0), 7);
    EXPECT_EQ(probe.Received.size(), 2u);

    // Putting nothing back restores the control's own procedure.
    probe.SetWindowProc({});
    EXPECT_EQ(probe.Perform(0x401, 0, 0), 0);
    EXPECT_EQ(probe.Received.size(), 3u);
}

TEST(Controls, ParentsKeepTheirChildrenListCurrent) {
    TWinControl a(nullptr), b(nullptr);
    auto child = std::make_unique<TProbe>(nullptr);
    child->SetParent(&a);
    EXPECT_EQ(a.ControlCount(), 1);
    EXPECT_EQ(a.Controls(0), child.get());
    child->SetParent(&b);
    EXPECT_EQ(a.ControlCount(), 0);
    EXPECT_EQ(b.ControlCount(), 1);
    EXPECT_THROW(a.Controls(0), EListError);

    // No cycles.
    a.SetParent(&b);
    EXPECT_THROW(b.SetParent(&a), EInvalidOperation);
    EXPECT_THROW(a.SetParent(&a), EInvalidOperation);
    EXPECT_EQ(b.Parent(), nullptr);

    // A destroyed child leaves its parent's list; a destroyed parent lets
    // its children go.
    child.reset();
    EXPECT_EQ(b.ControlCount(), 1);  // a only
    auto parent = std::make_unique<TWinControl>(nullptr);
    TProbe orphan(nullptr);
    orphan.SetParent(parent.get());
    parent.reset();
    EXPECT_EQ(orphan.Parent(), nullptr);
}

TEST(Controls, BroadcastStopsAtTheFirstAnswerAndNotifyReachesAll) {
    TWinControl parent(nullptr);
    TProbe first(nullptr), second(nullptr);
    first.SetParent(&parent);
    second.SetParent(&parent);
    TMessage m{0x400, 0, 0, 0};
    parent.Broadcast(m);
    EXPECT_EQ(m.Result, 7);
    EXPECT_EQ(first.Received.size(), 1u);
    EXPECT_TRUE(second.Received.empty());

    TMessage quiet{0x402, 0, 0, 0};
    parent.Broadcast(quiet);
    EXPECT_EQ(second.Received.size(), 1u);

    parent.NotifyControls(CM_PALETTECHANGED);
    ASSERT_EQ(first.Received.size(), 3u);
    EXPECT_EQ(first.Received.back().Msg, CM_PALETTECHANGED);
    EXPECT_EQ(second.Received.back().Msg, CM_PALETTECHANGED);
}

TEST(Controls, WindowIsMadeOnDemandAndTakesMessages) {
    auto c = std::make_unique<TWinControl>(nullptr);
    c->SetBounds(5, 6, 30, 20);
    EXPECT_FALSE(c->HandleAllocated());
    const HWND h = c->Handle();
    ASSERT_TRUE(c->HandleAllocated());
    EXPECT_EQ(c->Handle(), h);
    Window* w = WindowOf(*c);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->Width(), 30);
    EXPECT_EQ(w->Height(), 20);
    EXPECT_EQ(w->NativeParent(), 0u);

    // A control given a native parent makes its window as that parent's child.
    TWinControl hosted(nullptr);
    hosted.SetParentWindow(0x5A00);
    EXPECT_EQ(WindowOf(hosted)->NativeParent(), 0x5A00u);

    std::vector<std::uint32_t> seen;
    c->SetWindowProc([&](TMessage& m) {
        seen.push_back(m.Msg);
        m.Result = -5;
    });
    EXPECT_EQ(SendMessage(h, WM_PAINT, 0, 0), -5);
    EXPECT_EQ(seen, std::vector<std::uint32_t>{WM_PAINT});

    c->SetBounds(5, 6, 12, 8);
    EXPECT_EQ(w->Width(), 12);
    EXPECT_EQ(w->Height(), 8);

    // Gone with its control: the handle is then recognised as invalid.
    c.reset();
    EXPECT_EQ(WindowFromHandle(reinterpret_cast<std::uintptr_t>(h)), nullptr);
    EXPECT_EQ(SendMessage(h, WM_PAINT, 0, 0), 0);
    SetLastError(0);
    EXPECT_EQ(GetDC(h), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST(Controls, InvalidationReachesTheWindowThatShowsTheControl) {
    TWinControl form(nullptr);
    form.SetBounds(0, 0, 100, 50);
    Window* w = WindowOf(form);
    w->TakeInvalidated();

    TProbe child(nullptr);
    child.SetBounds(10, 5, 20, 10);
    child.SetParent(&form);
    EXPECT_EQ(w->TakeInvalidated(), (Rects{{10, 5, 30, 15}}));
    child.Invalidate();
    EXPECT_EQ(w->TakeInvalidated(), (Rects{{10, 5, 30, 15}}));

    // Moving repaints where it was and where it is; clipped to the window.
    child.SetBounds(90, 45, 20, 10);
    EXPECT_EQ(w->TakeInvalidated(), (Rects{{10, 5, 30, 15}, {90, 45, 100, 50}}));

    // A hidden control asks for nothing, but hiding repaints its place.
    child.SetVisible(false);
    EXPECT_EQ(w->TakeInvalidated(), (Rects{{90, 45, 100, 50}}));
    child.Invalidate();
    EXPECT_FALSE(w->HasInvalidated());

    // A windowless container passes its area up, in its parent's coordinates.
    TWinControl panel(nullptr);
    panel.SetBounds(40, 20, 30, 20);
    panel.SetParent(&form);
    w->TakeInvalidated();
    TProbe inner(nullptr);
    inner.SetBounds(1, 2, 3, 4);
    inner.SetParent(&panel);
    EXPECT_EQ(w->TakeInvalidated(), (Rects{{41, 22, 44, 26}}));
    form.Invalidate();
    EXPECT_EQ(w->TakeInvalidated(), (Rects{{0, 0, 100, 50}}));
}

TEST(Controls, WindowDeviceContextDrawsOnTheWindowsPixels) {
    TWinControl c(nullptr);
    c.SetBounds(0, 0, 4, 3);
    const HWND h = c.Handle();
    Window* w = WindowOf(c);
    const std::size_t objects = gdi::LiveObjectCount();

    HDC dc = GetDC(h);
    ASSERT_NE(dc, nullptr);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 32);
    EXPECT_EQ(SetPixel(dc, 2, 1, RGB(10, 20, 30)), RGB(10, 20, 30));
    EXPECT_EQ(w->Pixels()[1 * 4 + 2], 0x000A141Eu);  // rows top-down, 0x00RRGGBB
    EXPECT_EQ(GetPixel(dc, 2, 1), RGB(10, 20, 30));
    EXPECT_EQ(GetPixel(dc, 4, 0), CLR_INVALID);  // outside the window
    EXPECT_EQ(ReleaseDC(nullptr, dc), 0);        // not the window it was got for
    EXPECT_EQ(ReleaseDC(h, dc), 1);
    EXPECT_EQ(gdi::LiveObjectCount(), objects);

    // The context has the display's depth.
    ASSERT_TRUE(gdi::SetDisplayMode(8));
    dc = GetDC(h);
    EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
    ReleaseDC(h, dc);
    gdi::SetDisplayMode(32);

    // A context that outlives its window draws nowhere.
    auto gone = std::make_unique<TWinControl>(nullptr);
    gone->SetBounds(0, 0, 2, 2);
    const HWND g = gone->Handle();
    dc = GetDC(g);
    gone.reset();
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(1, 2, 3)), CLR_INVALID);
    EXPECT_EQ(ReleaseDC(g, dc), 1);
}

TEST(Controls, FormStreamsKeepTheControlTree) {
    RegisterClasses({TWinControl::StaticClass(), TProbeStreamed::StaticClass()});
    TWinControl root(nullptr);
    root.SetName("Root");
    auto* panel = new TWinControl(&root);
    panel->SetName("Panel");
    panel->SetParent(&root);
    panel->SetBounds(4, 5, 60, 30);
    auto* inner = new TProbeStreamed(&root);
    inner->SetName("Inner");
    inner->SetParent(panel);
    inner->SetBounds(1, 2, 3, 4);
    auto* loose = new TComponent(&root);  // not a control: stored at the root
    loose->SetName("Loose");
    RegisterClass(TComponent::StaticClass());

    const std::string text = ComponentToText(&root);
    EXPECT_LT(text.find("Loose"), text.find("Panel"));
    EXPECT_LT(text.find("Panel"), text.find("Inner"));

    TWinControl copy(nullptr);
    ComponentFromText(text, &copy);
    auto* p = dynamic_cast<TWinControl*>(copy.FindComponent("Panel"));
    auto* i = dynamic_cast<TControl*>(copy.FindComponent("Inner"));
    ASSERT_NE(p, nullptr);
    ASSERT_NE(i, nullptr);
    EXPECT_EQ(p->Parent(), &copy);
    EXPECT_EQ(i->Parent(), p);
    EXPECT_EQ(i->Owner(), &copy);
    EXPECT_EQ(p->BoundsRect(), (TRect{4, 5, 64, 35}));
    EXPECT_EQ(i->BoundsRect(), (TRect{1, 2, 4, 6}));
    ASSERT_NE(copy.FindComponent("Loose"), nullptr);
    EXPECT_EQ(copy.ControlCount(), 1);
}
