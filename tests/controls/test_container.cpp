// Bitmap controls inside a container, driven through the form's native
// window: composition, drags with capture, auto-repeat, tabbing, and a paint
// whose area a control enlarges.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>

#include "controls/cDIBControl.h"
#include "controls/cDIBPanel.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/WinApi.h"
#include "framework/WindowManager.h"
#include "objects/Streaming.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "platform/headless/HeadlessInput.h"
#include "support/ContainerFixture.h"
#include "support/ControlSamples.h"
#include "support/FrameworkTestClasses.h"

namespace input = tarnwick::platform::headless;
using tarnwick::platform::Window;
using tarnwick::platform::WindowFromHandle;

namespace {

// A control that paints its whole face in one pixel value (0xMMRRGGBB),
// counts left presses, and hides the pointer while dragged when asked to.
class TSolid : public TCustomDIBControl {
public:
    TSolid(TComponent* owner, std::uint32_t pixel, TRect bounds)
        : TCustomDIBControl(owner), pixel_(pixel) {
        SetParent(static_cast<TWinControl*>(owner));
        SetBounds(bounds.Left, bounds.Top, bounds.Right - bounds.Left, bounds.Bottom - bounds.Top);
    }
    int presses = 0;
    bool hidePointer = false;
    int grow = 0;  // extra pixels it wants repainted left of any area touching it

    void Paint() override {
        for (int y = 0; y < Surface()->Height(); ++y)
            std::memcpy(Surface()->ScanLine(y),
                        std::vector<std::uint32_t>(Surface()->Width(), pixel_).data(),
                        std::size_t(Surface()->Width()) * 4);
    }
    void AdjustUpdateRect(TRect& r) override {
        if (grow && r.Left < Left() + Width() && Left() < r.Right)
            r.Left = std::min(r.Left, Left() - grow);
    }
    using TCustomDIBControl::PointerHidden;

protected:
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        TCustomDIBControl::MouseDown(b, s, x, y);
        if (b != mbLeft) return;
        ++presses;
        if (hidePointer) HidePointer();
    }
    void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
        ShowPointer();
        TCustomDIBControl::MouseUp(b, s, x, y);
    }

private:
    std::uint32_t pixel_;
};

class ContainerTest : public tarnwick::test::ContainerFixture {
protected:
    void SetUp() override {
        const TColor colour(0x302010);  // pixel 0x102030
        MakeContainer(60, 30, 4, 2, 40, 20, &colour);
        OpenWindow();
    }
    // The window's pixel at a point of the container's client area.
    std::uint32_t shown(int x, int y) const {
        return native->Pixels()[(y + 2) * native->Width() + x + 4];
    }
    std::uint32_t composed(int x, int y) const {
        std::uint32_t p;
        std::memcpy(&p, &box->DIB()->ScanLine(y)[x], 4);
        return p;
    }
    // Mouse events at container coordinates.
    void move(int x, int y) { input::MouseMove(*native, x + 4, y + 2); }
    void button(bool down, int x, int y) {
        input::MouseButton(*native, input::Button::Left, down, x + 4, y + 2);
    }
};

using tarnwick::test::Blend;

// A bitmap control that offers one entry of its own in the shared menu.
class TWithEntry : public TSolid {
public:
    using TSolid::TSolid;

protected:
    void FillContextMenu(TPopupMenu* Menu) override {
        auto* item = new TMenuItem(Menu);
        item->SetCaption("Reset");
        Menu->Items()->Add(item);
    }
};

}  // namespace

TEST_F(ContainerTest, ComposesBackgroundAndControlsInChildOrderWithOpacity) {
    const std::uint32_t a = 0xFFC08040, b = 0xFF204080, c = 0x7F000000;
    new TSolid(box, a, {2, 2, 12, 12});
    auto* half = new TSolid(box, b, {8, 6, 18, 16});
    half->SetOpacity(128);
    // Opaque black with its own mask after a translucent control: composed
    // by the plain copy, so black stays 0 and the mask byte comes along. The
    // same size as the one before, so the scratch surface is not reallocated.
    new TSolid(box, c, {-3, 14, 7, 24});
    form->Update();

    int wrong = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 40; ++x) {
            std::uint32_t want = 0x00102030;  // background: mask 0
            if (x >= 2 && x < 12 && y >= 2 && y < 12) want = a;
            if (x >= 8 && x < 18 && y >= 6 && y < 16) want = Blend(b, want, 128);
            if (x < 7 && y >= 14) want = c;
            if ((composed(x, y) != want || shown(x, y) != (want & 0xFFFFFF)) && ++wrong <= 5)
                ADD_FAILURE() << "(" << x << ", " << y << "): composed " << std::hex
                              << composed(x, y) << ", shown " << shown(x, y) << ", expected "
                              << want;
        }
    EXPECT_EQ(wrong, 0);

    // A repaint of one control recomposes and copies its rectangle only.
    native->TakeInvalidated();
    half->SetOpacity(255);
    form->Update();
    EXPECT_EQ(shown(10, 8), b & 0xFFFFFF);
    EXPECT_EQ(shown(1, 1), 0x102030u);
}

TEST_F(ContainerTest, APaintAControlEnlargesIsPostponedToTheNextPass) {
    auto* wide = new TSolid(box, 0xFF0000FF, {20, 4, 30, 14});
    wide->grow = 6;  // wants 6 more pixels on the left whenever it is repainted
    int paints = 0;
    box->BeforePaint = [&](TObject*, TAbstractSuperDIB*) { ++paints; };
    form->Update();
    paints = 0;

    box->InvalidateRect({22, 6, 24, 8});
    form->Update();
    EXPECT_EQ(paints, 0);  // the first pass only widened the area
    RECT pending;
    ASSERT_TRUE(GetUpdateRect(box->Handle(), &pending, FALSE));
    EXPECT_EQ(pending.left, 14);
    EXPECT_EQ(pending.right, 24);
    form->Update();
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(box->UpdateRect(), (TRect{14, 6, 24, 8}));
    EXPECT_FALSE(GetUpdateRect(box->Handle(), &pending, FALSE));

    // A bottom edge up to 2 pixels lower is drawn at once.
    wide->grow = 0;
    struct TLower : TSolid {
        using TSolid::TSolid;
        void AdjustUpdateRect(TRect& r) override { r.Bottom += 2; }
    };
    new TLower(box, 0xFF00FF00, {0, 0, 4, 4});
    form->Update();
    paints = 0;
    box->InvalidateRect({1, 1, 3, 3});
    form->Update();
    EXPECT_EQ(paints, 1);
    EXPECT_EQ(box->UpdateRect(), (TRect{1, 1, 3, 5}));
}

TEST_F(ContainerTest, ADragKeepsTheCaptureAndEndsOnReleaseCaptureLossOrDestruction) {
    auto* knob = new TSolid(box, 0xFF111111, {2, 2, 12, 12});
    auto* other = new TSolid(box, 0xFF222222, {20, 2, 30, 12});
    knob->hidePointer = true;
    form->Update();

    // Press, drag out: the pointer is hidden, the capture and the hot state stay.
    move(5, 5);
    EXPECT_TRUE(knob->Hot());
    button(true, 5, 5);
    EXPECT_EQ(input::PointerShowCount(), -1);
    move(25, 5);
    EXPECT_TRUE(knob->MouseCapture());
    EXPECT_TRUE(knob->Hot());
    EXPECT_FALSE(knob->MouseInside());
    // Released over the other control: the pointer is back, the hot state moves.
    button(false, 25, 5);
    EXPECT_EQ(input::PointerShowCount(), 0);
    EXPECT_FALSE(knob->Hot());
    EXPECT_TRUE(other->Hot());

    // The capture taken away mid-drag: no button-up comes, the drag ends anyway.
    move(5, 5);
    button(true, 5, 5);
    move(35, 15);
    ASSERT_EQ(input::PointerShowCount(), -1);
    ReleaseCapture();
    EXPECT_EQ(input::PointerShowCount(), 0);
    EXPECT_FALSE(knob->PointerHidden());
    EXPECT_FALSE(knob->Hot());
    button(false, 35, 15);
    EXPECT_EQ(input::PointerShowCount(), 0);  // shown exactly once

    // Destroyed mid-drag: the pointer is given back and the container forgets it.
    move(5, 5);
    button(true, 5, 5);
    ASSERT_EQ(input::PointerShowCount(), -1);
    knob->SetDIBTabOrder(0);
    delete knob;
    EXPECT_EQ(input::PointerShowCount(), 0);
    EXPECT_EQ(box->TabCount(), 0);
    button(false, 5, 5);
    form->Update();
}

TEST_F(ContainerTest, AHeldButtonRepeatsWhileThePointerIsInsideUntilReleaseOrCaptureLoss) {
    auto* arrow = new TSolid(box, 0xFF333333, {2, 2, 12, 12});
    arrow->SetAutoRepeat(true);
    move(5, 5);
    button(true, 5, 5);
    EXPECT_EQ(arrow->presses, 1);
    input::AdvanceTime(249);
    EXPECT_EQ(arrow->presses, 1);
    input::AdvanceTime(1);
    EXPECT_EQ(arrow->presses, 2);
    input::AdvanceTime(250);
    EXPECT_EQ(arrow->presses, 3);
    move(30, 5);  // outside: paused, still hot
    input::AdvanceTime(1000);
    EXPECT_EQ(arrow->presses, 3);
    EXPECT_TRUE(arrow->Hot());
    move(6, 6);  // back while held: resumes
    input::AdvanceTime(250);
    EXPECT_EQ(arrow->presses, 4);
    button(false, 6, 6);
    input::AdvanceTime(1000);
    EXPECT_EQ(arrow->presses, 4);

    // The capture lost while held: the repetition ends too.
    button(true, 6, 6);
    ReleaseCapture();
    input::AdvanceTime(1000);
    EXPECT_EQ(arrow->presses, 5);
    EXPECT_EQ(input::RunningTimerCount(), 0u);
}

TEST_F(ContainerTest, StoredTabOrdersCloseUpAndTabCyclesThroughTheControls) {
    box->SetLoading(true);
    auto* first = new TSolid(box, 0xFF010101, {0, 0, 5, 5});
    auto* second = new TSolid(box, 0xFF020202, {5, 0, 10, 5});
    auto* outside = new TSolid(box, 0xFF030303, {10, 0, 15, 5});
    for (TSolid* c : {first, second, outside}) c->SetLoading(true);
    second->SetDIBTabOrder(5);
    first->SetDIBTabOrder(0);
    outside->SetDIBTabOrder(-5);  // below -1: not in the tab order, and no slot -5
    box->Loaded();
    for (TSolid* c : {first, second, outside}) c->Loaded();
    EXPECT_EQ(first->DIBTabOrder(), 0);
    EXPECT_EQ(second->DIBTabOrder(), 1);
    EXPECT_EQ(outside->DIBTabOrder(), -1);
    EXPECT_EQ(box->TabCount(), 2);
    EXPECT_TRUE(box->TabStop());

    box->SetFocus();
    EXPECT_EQ(box->ActiveControl(), first);
    EXPECT_TRUE(first->DIBFocused());
    input::Key(*native, VK_TAB, true);
    input::Key(*native, VK_TAB, false);
    EXPECT_EQ(box->ActiveControl(), second);
    EXPECT_FALSE(first->DIBFocused());
    input::Key(*native, VK_TAB, true);  // past the last: round to the first
    input::Key(*native, VK_TAB, false);
    EXPECT_EQ(box->ActiveControl(), first);
    input::Key(*native, VK_SHIFT, true);
    input::Key(*native, VK_TAB, true);  // Shift+Tab before the first: the last
    input::Key(*native, VK_TAB, false);
    input::Key(*native, VK_SHIFT, false);
    EXPECT_EQ(box->ActiveControl(), second);

    // Arrow keys reach the active control; clicking one outside the order
    // does not take the focus from it.
    std::uint16_t got = 0;
    second->OnKeyDown = [&](TObject*, std::uint16_t& key, TShiftState) { got = key; };
    input::Key(*native, VK_LEFT, true);
    EXPECT_EQ(got, VK_LEFT);
    input::Click(*native, 12 + 4, 2 + 2);
    EXPECT_EQ(box->ActiveControl(), second);
    EXPECT_EQ(second->Perform(WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);

    // The active control destroyed: the container keeps no reference to it.
    delete second;
    EXPECT_EQ(box->ActiveControl(), nullptr);
    EXPECT_EQ(box->TabCount(), 1);
    input::Key(*native, VK_TAB, true);
    EXPECT_EQ(box->ActiveControl(), first);
}

namespace {

// Registers a template property that only its descendant publishes.
class TTemplBase : public TCustomDIBControl {
public:
    explicit TTemplBase(TComponent* owner) : TCustomDIBControl(owner) {
        AddTemplateProperty("Knack");
    }
    int knack = 0;
};

class TTemplFinal : public TTemplBase {
    TW_CLASS(TTemplFinal, TTemplBase)
public:
    using TTemplBase::TTemplBase;
    int Knack() const { return knack; }
    void SetKnack(int v) { knack = v; }
};

TW_IMPLEMENT_CLASS(TTemplFinal) {
    b.Property("Knack", &TTemplFinal::Knack, &TTemplFinal::SetKnack);
}

}  // namespace

TEST_F(ContainerTest, TemplatePropertiesAreCheckedAgainstTheFinalClassAndOwnersMustHoldAContainer) {
    TTemplFinal good(box);
    EXPECT_EQ(good.TemplateProperties(), (std::vector<std::string>{"Width", "Height", "Knack"}));
    TTemplBase bad(box);
    try {
        bad.TemplateProperties();
        ADD_FAILURE() << "no error";
    } catch (const EDIBControlError& e) {
        EXPECT_STREQ(e.what(),
                     "Class TCustomDIBControl is trying to register Knack as a template property, "
                     "and that property does not exist.");
    }
    EXPECT_THROW(TSolid(nullptr, 0, {}), Exception);
    TForm bare(nullptr);
    try {
        TSolid orphan(&bare, 0, {});
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Parent must be a TDIBContainer");
    }
}

TEST_F(ContainerTest, ChildrenMoveAlongAndTheAcceleratorClicks) {
    auto* label = new TSolid(box, 0xFF444444, {0, 0, 10, 5});
    auto* knob = new TSolid(box, 0xFF555555, {0, 5, 10, 15});
    knob->Children()->Add()->SetControl(label);
    knob->Children()->Add()->SetControl(knob);  // itself: moved once, no recursion
    EXPECT_THROW(knob->Children()->Add()->SetControl(label), EFeatureError);
    EXPECT_THROW(knob->Children()->Items(0)->SetControl(nullptr), EFeatureError);

    input::AdvanceTime(40);
    const std::uint32_t stamp = knob->ChangeStamp();
    knob->SetBounds(3, 7, 10, 10);  // a move: the look is unchanged
    EXPECT_EQ(knob->ChangeStamp(), stamp);
    EXPECT_EQ(label->BoundsRect(), (TRect{3, 2, 13, 7}));
    EXPECT_EQ(knob->BoundsRect(), (TRect{3, 7, 13, 17}));
    knob->SetBounds(3, 7, 12, 10);
    EXPECT_EQ(knob->ChangeStamp(), GetTickCount());
    EXPECT_NE(knob->ChangeStamp(), stamp);
    delete label;  // the list lets go of a control that is gone
    EXPECT_EQ(knob->Children()->Count(), 2);

    int clicks = 0;
    knob->OnClick = [&](TObject*) { ++clicks; };
    knob->SetAccelerator('k');
    box->SetFocus();
    input::Char(*native, 'k');  // without Alt: no accelerator
    EXPECT_EQ(clicks, 0);
    input::Char(*native, 'k', true);
    EXPECT_EQ(clicks, 1);
}

TEST_F(ContainerTest, APanelThatFramesWindowedChildrenStoresThePanelsPropertiesAndSharesAMenu) {
    // The panel as the container sets it up.
    EXPECT_EQ(box->BevelOuter(), bvNone);
    EXPECT_EQ(box->BorderWidth(), 0);
    EXPECT_EQ(box->BorderStyle(), bsNone);
    EXPECT_TRUE(box->DoubleBuffered());
    EXPECT_EQ(box->DockManager(), nullptr);

    // A framed windowed child with the 3-D look sits in a sunken frame.
    auto* child = new TWinControl(box);
    child->SetControlStyle(TControlStyle{TControlStyleFlag::csFramed});
    child->SetBounds(20, 5, 10, 8);
    child->SetParent(box);
    box->Invalidate();
    form->Update();
    const std::uint32_t shadow = ColorToPixel(clBtnShadow), light = ColorToPixel(clBtnHighlight);
    EXPECT_EQ(composed(19, 4), shadow);  // top left, outside the child
    EXPECT_EQ(composed(29, 4), shadow);  // the shadow runs to Right - 1
    EXPECT_EQ(composed(30, 13), light);  // bottom right, outside the child
    EXPECT_EQ(composed(20, 13), light);
    EXPECT_EQ(composed(18, 4), 0x00102030u);
    child->SetCtl3D(false);
    box->Invalidate();
    form->Update();
    EXPECT_EQ(composed(19, 4), 0x00102030u);
    delete child;

    // Stored with the form and read back; the panel's own bevels are not
    // offered, and the form and the container are found by name.
    box->Hint_ = "Gate";
    box->ShowHint_ = true;
    box->DragMode_ = dmAutomatic;
    box->SetName("Box");
    TMemoryStream stream;
    WriteComponentToStream(stream, box);
    const std::vector<std::uint8_t> text = BinaryToTextBytes(stream.Bytes());
    const std::string form_text(text.begin(), text.end());
    EXPECT_NE(form_text.find("DragMode = dmAutomatic"), std::string::npos) << form_text;
    EXPECT_EQ(form_text.find("Bevel"), std::string::npos) << form_text;
    stream.SetPosition(0);
    std::unique_ptr<TComponent> copy = ReadComponentFromStream(stream);
    auto* read = dynamic_cast<TDIBContainer*>(copy.get());
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Hint_, "Gate");
    EXPECT_TRUE(read->ShowHint_);
    EXPECT_NE(GetClass("TForm"), nullptr);

    // The context menu: the control's own, else the shared one when the
    // control puts something in it, else none.
    auto* plain = new TSolid(box, 0xFF000000, {0, 0, 4, 4});
    auto* offering = new TWithEntry(box, 0xFF000000, {4, 0, 8, 4});
    EXPECT_EQ(plain->GetPopupMenu(), nullptr);
    TPopupMenu* shared = offering->GetPopupMenu();
    ASSERT_NE(shared, nullptr);
    EXPECT_EQ(offering->GetPopupMenu(), shared);
    EXPECT_EQ(shared->Items()->Count(), 1);  // emptied before it is filled again
    EXPECT_EQ(plain->GetPopupMenu(), nullptr);
    auto* own = new TPopupMenu(form.get());
    offering->SetPopupMenu(own);
    EXPECT_EQ(offering->GetPopupMenu(), own);
}
