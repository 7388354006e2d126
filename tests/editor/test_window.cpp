// The editor as a user meets it: the shipped form in a headless window,
// driven by pointer input and the clock, the gate behind it reporting to a
// recording host; and golden images of what it shows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "editor/uEditor.h"
#include "framework/Graphics.h"
#include "framework/WindowManager.h"
#include "platform/Services.h"
#include "platform/Window.h"
#include "platform/WindowMessages.h"
#include "platform/headless/HeadlessControl.h"
#include "platform/headless/HeadlessInput.h"
#include "plugin/uPlugin.h"
#include "support/GoldenImage.h"
#include "support/RecordingHost.h"

namespace {

using namespace tarnwick::platform::headless;
using tarnwick::test::RecordingHost;

AEffEditor* Shipped(APlugin* effect) {
    return new APluginEditor(effect, tarnwick::PluginEditorForm());
}

class Editor : public ::testing::Test {
protected:
    void SetUp() override {
        ResetServices();
        gate = std::make_unique<APlugin>(&RecordingHost::callback, Shipped);
        bridge = static_cast<APluginEditor*>(gate->getEditor());
        ASSERT_EQ(gate->dispatcher(effEditOpen, 0, 0, &hostWindow, 0.0f), 1);
        window = bridge->form.get();
        native = tarnwick::platform::WindowFromHandle(
            reinterpret_cast<std::uintptr_t>(window->Handle()));
        host.clear();
    }
    void TearDown() override {
        gate.reset();
        ResetServices();
    }
    // The host's idle call, then a paint pass.
    void Idle() {
        gate->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f);
        UpdateWindow(window->Handle());
    }
    void Tick() {
        AdvanceTime(100);
        UpdateWindow(window->Handle());
    }
    // A vertical drag from the middle of a control, `up` pixels upwards.
    void Drag(TControl* control, int up) {
        const int x = control->Left() + control->Width() / 2;
        const int y = control->Top() + control->Height() / 2;
        MouseButton(*native, Button::Left, true, x, y);
        MouseMove(*native, x, y - up);
        MouseButton(*native, Button::Left, false, x, y - up);
    }
    // The window's pixels against a golden image; a window shows no mask,
    // so they are compared opaque.
    static void ExpectLooksLike(const tarnwick::platform::Window& window, const char* name) {
        std::vector<std::uint32_t> pixels(window.Pixels(),
                                          window.Pixels() + window.Width() * window.Height());
        for (std::uint32_t& p : pixels) p |= 0xFF000000u;
        EXPECT_MATCHES_GOLDEN(reinterpret_cast<const std::uint8_t*>(pixels.data()), window.Width(),
                              window.Height(), false, name);
    }
    void ClickOn(TControl* control) {
        Click(*native, control->Left() + control->Width() / 2,
              control->Top() + control->Height() / 2);
    }

    RecordingHost host{RecordingHost::Answers::LikeAHost};
    int hostWindow = 0;
    std::unique_ptr<APlugin> gate;
    APluginEditor* bridge = nullptr;
    TPluginEditorWindow* window = nullptr;
    tarnwick::platform::Window* native = nullptr;
};

TEST_F(Editor, AKnobDraggedTo64AutomatesItsParameterOnce) {
    ASSERT_EQ(window->DIBKnob1->Position(), 12);  // 0.1 x 127 = 12.7
    Drag(window->DIBKnob1, 52);
    EXPECT_EQ(window->DIBKnob1->Position(), 64);
    EXPECT_EQ(gate->getParameter(0), 64.0f / 127.0f);
    ASSERT_EQ(host.count(audioMasterAutomate), 1);
    EXPECT_EQ(host.last(audioMasterAutomate)->index, 0);
    EXPECT_EQ(host.last(audioMasterAutomate)->opt, 64.0f / 127.0f);
    EXPECT_EQ(PointerShowCount(), 0) << "shown again after the drag";
    Tick();
    EXPECT_EQ(window->DIBKnob1->Position(), 64);

    // 127 comes back as 126, and 37 as 36; the parameter keeps what was set.
    Drag(window->DIBKnob3, 200);
    Tick();
    EXPECT_EQ(window->DIBKnob3->Position(), 126);
    EXPECT_EQ(gate->getParameter(2), 1.0f);
    Drag(window->DIBKnob2, 37 - 12);
    EXPECT_EQ(gate->getParameter(1), 37.0f / 127.0f);
    Tick();
    EXPECT_EQ(window->DIBKnob2->Position(), 36);
    EXPECT_EQ(host.count(audioMasterAutomate), 3);
}

TEST_F(Editor, TheSwitchesToggleOnAClickAndTheSliderSetsTheThreshold) {
    ASSERT_EQ(window->Active->Position(), 126);
    ClickOn(window->Active);
    EXPECT_EQ(gate->getParameter(5), 0.0f);
    EXPECT_EQ(gate->active.load(), 0);
    Tick();
    ClickOn(window->Active);
    EXPECT_EQ(gate->getParameter(5), 1.0f);
    // A switch dragged to exactly 64 (the press turned it on, the drag
    // brings it down) shows its second frame; a click then turns it fully
    // on, not off.
    Drag(window->EnvMode, -63);
    EXPECT_EQ(window->EnvMode->Position(), 64);
    EXPECT_EQ(gate->getParameter(4), 64.0f / 127.0f);
    ClickOn(window->EnvMode);
    EXPECT_EQ(gate->getParameter(4), 1.0f);

    // The slider's top is threshold 1.
    Drag(window->Thresh, 200);
    EXPECT_EQ(window->Thresh->Position(), 0);
    EXPECT_EQ(gate->getParameter(3), 1.0f);
}

TEST_F(Editor, TheMakersNameOpensTheAboutPanelOverEverything) {
    ClickOn(window->Quorbel);
    ASSERT_TRUE(window->Aboutbox->Visible());
    EXPECT_EQ(window->Aboutbox->Left(), 0);
    EXPECT_EQ(window->Aboutbox->Top(), 0);
    Tick();
    ExpectLooksLike(*native, "editor_about");

    // The knobs underneath cannot be reached.
    Drag(window->DIBKnob1, 30);
    EXPECT_EQ(host.count(audioMasterAutomate), 0);
    Click(*native, window->Label2->Left() + 50, window->Label2->Top() + 6);
    EXPECT_FALSE(window->Aboutbox->Visible());
    Drag(window->DIBKnob1, 30);
    EXPECT_EQ(host.count(audioMasterAutomate), 1);
}

TEST_F(Editor, ClosedInTheMiddleOfADragItShowsThePointerAgain) {
    const int x = window->DIBKnob2->Left() + 40, y = window->DIBKnob2->Top() + 40;
    MouseButton(*native, Button::Left, true, x, y);
    MouseMove(*native, x, y - 10);
    EXPECT_EQ(PointerShowCount(), -1);
    gate->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(PointerShowCount(), 0);
    EXPECT_EQ(bridge->form, nullptr);
}

// What the host heard, as a string of gestures: "b0" beginEdit(0), "a0"
// automate(0), "e0" endEdit(0), in order.
std::string Gestures(const RecordingHost& host) {
    std::string out;
    for (const auto& call : host.calls()) {
        const char* kind = call.opcode == audioMasterBeginEdit  ? "b"
                           : call.opcode == audioMasterAutomate ? "a"
                           : call.opcode == audioMasterEndEdit  ? "e"
                                                                : nullptr;
        if (kind) out += std::string(out.empty() ? "" : " ") + kind + std::to_string(call.index);
    }
    return out;
}

TEST_F(Editor, EachDragClickOrCutShortDragIsOneGestureAndThePointerComesBack) {
    const auto middle = [](TControl* c) {
        return std::pair{c->Left() + c->Width() / 2, c->Top() + c->Height() / 2};
    };
    // A drag of three steps: one gesture around its automation.
    auto [x, y] = middle(window->DIBKnob1);
    MouseButton(*native, Button::Left, true, x, y);
    for (int step = 1; step <= 3; ++step) MouseMove(*native, x, y - 4 * step);
    EXPECT_EQ(Gestures(host), "b0 a0 a0 a0");
    MouseButton(*native, Button::Left, false, x, y - 12);
    EXPECT_EQ(Gestures(host), "b0 a0 a0 a0 e0");

    // A click on a switch: its change comes with the press.
    host.clear();
    ClickOn(window->Active);
    EXPECT_EQ(Gestures(host), "b5 a5 e5");

    // The window system takes the pointer away mid-drag: the drag ends, the
    // pointer shows again where the drag began, the value is the last step's.
    host.clear();
    std::tie(x, y) = middle(window->DIBKnob2);
    MouseButton(*native, Button::Left, true, x, y);
    MouseMove(*native, x, y - 5);
    const int held = window->DIBKnob2->Position();
    const auto origin = tarnwick::platform::GetPointerPosition();
    ASSERT_EQ(PointerShowCount(), -1);
    native->Send(tarnwick::platform::msg::kCancelMode, 0, 0);
    EXPECT_EQ(PointerShowCount(), 0);
    EXPECT_EQ(tarnwick::platform::GetPointerPosition(), origin);
    EXPECT_EQ(Gestures(host), "b1 a1 e1");
    // The button went up elsewhere, unseen: moves without it turn nothing.
    const auto bareMove = [&](int mx, int my) {
        native->Send(tarnwick::platform::msg::kMouseMove, 0,
                     static_cast<std::int32_t>((my << 16) | (mx & 0xFFFF)));
    };
    bareMove(x, y - 40);
    bareMove(x, y - 60);
    MouseButton(*native, Button::Left, false, x, y - 60);
    EXPECT_EQ(window->DIBKnob2->Position(), held);
    EXPECT_EQ(Gestures(host), "b1 a1 e1");

    // With no cancel at all, the first move without the button ends the drag.
    host.clear();
    std::tie(x, y) = middle(window->Thresh);
    MouseButton(*native, Button::Left, true, x, y);
    MouseMove(*native, x, y + 3);
    const int threshold = window->Thresh->Position();
    bareMove(x, y + 30);
    bareMove(x, y + 40);
    EXPECT_EQ(window->Thresh->Position(), threshold);
    EXPECT_EQ(Gestures(host), "b3 a3 e3");
    MouseButton(*native, Button::Left, false, x, y + 40);

    // Closed mid-drag: the gesture ends with the window.
    host.clear();
    std::tie(x, y) = middle(window->DIBKnob3);
    MouseButton(*native, Button::Left, true, x, y);
    MouseMove(*native, x, y - 5);
    gate->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(Gestures(host), "b2 a2 e2");
    EXPECT_EQ(PointerShowCount(), 0);
}

// A host that closes the editor from inside the automation call the editor
// makes: the window in the middle of its drag must outlive the call.
APlugin* closingGate = nullptr;
VstIntPtr ClosingHost(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                      float opt) {
    const VstIntPtr answer = RecordingHost::callback(effect, opcode, index, value, ptr, opt);
    if (opcode == audioMasterAutomate && closingGate)
        closingGate->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    return answer;
}

TEST_F(Editor, AHostThatClosesTheEditorFromAnAutomationCallLeavesItWhole) {
    auto gate2 = std::make_unique<APlugin>(&ClosingHost, Shipped);
    closingGate = gate2.get();
    int parent2 = 0;
    ASSERT_EQ(gate2->dispatcher(effEditOpen, 0, 0, &parent2, 0.0f), 1);
    auto* bridge2 = static_cast<APluginEditor*>(gate2->getEditor());
    TDIBKnob* knob = bridge2->form->DIBKnob1;
    const auto handle2 = reinterpret_cast<std::uintptr_t>(bridge2->form->Handle());
    auto* window2 = tarnwick::platform::WindowFromHandle(handle2);
    const int x = knob->Left() + 40, y = knob->Top() + 40;
    host.clear();
    MouseButton(*window2, Button::Left, true, x, y);
    MouseMove(*window2, x, y - 5);  // automates, and the host closes
    EXPECT_EQ(bridge2->form, nullptr);
    EXPECT_EQ(tarnwick::platform::WindowFromHandle(handle2), nullptr)
        << "gone once the call returned";
    EXPECT_EQ(Gestures(host), "b0 a0 e0");
    EXPECT_EQ(PointerShowCount(), 0);
    // And it opens again.
    closingGate = nullptr;
    ASSERT_EQ(gate2->dispatcher(effEditOpen, 0, 0, &parent2, 0.0f), 1);
    EXPECT_NE(bridge2->form, nullptr);
    gate2.reset();
}

TEST_F(Editor, LooksAsDesigned) {
    Tick();
    ExpectLooksLike(*native, "editor_default");

    gate->setParameter(APlugin::kAttack, 0.0f);
    gate->setParameter(APlugin::kHold, 0.5f);
    gate->setParameter(APlugin::kRelease, 1.0f);
    gate->setParameter(APlugin::kThreshold, 0.8f);
    gate->setParameter(APlugin::kEnvMode, 1.0f);
    gate->setParameter(APlugin::kActive, 0.0f);
    gate->keyPeak.store(0.35f);
    Idle();
    Tick();
    EXPECT_EQ(window->vol->Position(), 3);
    ExpectLooksLike(*native, "editor_turned_meter3");
    gate->keyPeak.store(1.2f);
    Idle();
    ExpectLooksLike(*native, "editor_meter_full");

    // A caption lit in another colour, then left: halfway through its fade.
    auto* caption = dynamic_cast<TCustomDIBControl*>(window->FindComponent("DIBFadeLabel1"));
    ASSERT_NE(caption, nullptr);
    SetOrdProp(caption, "ColorHighlighted", clRed);
    MouseMove(*native, caption->Left() + 5, caption->Top() + 5);
    MouseMove(*native, 320, 10);
    for (int i = 0; i < 5; ++i) AdvanceTime(50);
    UpdateWindow(window->Handle());
    ExpectLooksLike(*native, "editor_caption_half_faded");
}

}  // namespace
