// The editor as a user meets it: the shipped form in a headless window,
// driven by pointer input and the clock, the gate behind it reporting to a
// recording host; and golden images of what it shows.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "EditorGolden.h"
#include "editor/uEditor.h"
#include "framework/Graphics.h"
#include "framework/WindowManager.h"
#include "platform/headless/HeadlessControl.h"
#include "platform/headless/HeadlessInput.h"
#include "plugin/uPlugin.h"
#include "support/RecordingHost.h"

namespace {

using namespace tarnwick::platform::headless;
using tarnwick::test::MatchesGolden;
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
    EXPECT_TRUE(MatchesGolden(*native, "editor_about"));

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

TEST_F(Editor, LooksAsDesigned) {
    Tick();
    EXPECT_TRUE(MatchesGolden(*native, "editor_default"));

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
    EXPECT_TRUE(MatchesGolden(*native, "editor_turned_meter3"));
    gate->keyPeak.store(1.2f);
    Idle();
    EXPECT_TRUE(MatchesGolden(*native, "editor_meter_full"));

    // A caption lit in another colour, then left: halfway through its fade.
    auto* caption = dynamic_cast<TCustomDIBControl*>(window->FindComponent("DIBFadeLabel1"));
    ASSERT_NE(caption, nullptr);
    SetOrdProp(caption, "ColorHighlighted", clRed);
    MouseMove(*native, caption->Left() + 5, caption->Top() + 5);
    MouseMove(*native, 320, 10);
    for (int i = 0; i < 5; ++i) AdvanceTime(50);
    UpdateWindow(window->Handle());
    EXPECT_TRUE(MatchesGolden(*native, "editor_caption_half_faded"));
}

}  // namespace
