// The features every form can name, on controls in a container driven
// through the form's native window: dragging and stepping a control,
// highlighting it while hot or focused, and clicks passing through the parts
// of a control outside its shape.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "controls/cDIBControl.h"
#include "controls/cDIBPanel.h"
#include "framework/Forms.h"
#include "framework/WindowManager.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "platform/headless/HeadlessInput.h"
#include "support/ContainerFixture.h"

namespace input = tarnwick::platform::headless;
using tarnwick::platform::Window;
using tarnwick::platform::WindowFromHandle;

namespace {

// A control whose face is one colour, painted into its surface or, when
// asked, through its Canvas and only on its right half. Counts left presses.
class TFace : public TCustomDIBControl {
public:
    TFace(TComponent* owner, TRect bounds, bool throughCanvas = false)
        : TCustomDIBControl(owner), throughCanvas_(throughCanvas) {
        SetParent(static_cast<TWinControl*>(owner));
        SetBounds(bounds.Left, bounds.Top, bounds.Right - bounds.Left, bounds.Bottom - bounds.Top);
    }
    int presses = 0;

    void Paint() override {
        const int w = Surface()->Width(), h = Surface()->Height();
        for (int y = 0; y < h; ++y)
            for (int x = throughCanvas_ ? w / 2 : 0; x < w; ++x)
                if (throughCanvas_)
                    Canvas()->SetPixels(x, y, clRed);
                else
                    Surface()->ScanLine(y)[x] = {0x40, 0x40, 0x40, 0xFF};
    }
    template <class F>
    F* Add(const char* className) {
        TDIBFeatureItem* item = DIBFeatures()->Add();
        item->SetFeatureClassName(className);
        return dynamic_cast<F*>(item->Feature());
    }

protected:
    void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
        TCustomDIBControl::MouseDown(b, s, x, y);
        if (b == mbLeft) ++presses;
    }

private:
    bool throughCanvas_;
};

class StandardFeatures : public tarnwick::test::ContainerFixture {
protected:
    void SetUp() override {
        MakeContainer(80, 60, 0, 0, 80, 60);
        OpenWindow();
    }
    void move(int x, int y) { input::MouseMove(*native, x, y); }
    void button(bool down, int x, int y, input::Button b = input::Button::Left) {
        input::MouseButton(*native, b, down, x, y);
    }
    void key(std::uint16_t vk) {
        input::Key(*native, vk, true);
        input::Key(*native, vk, false);
    }
};

}  // namespace

TEST_F(StandardFeatures, AreRegisteredByNameWithTheirOwnNames) {
    TFace face(box, {0, 0, 4, 4});
    auto* moving = face.Add<TMoveableDIB>("tmoveabledib");
    auto* light = face.Add<THighlightDIB>("THighlightDIB");
    auto* shape = face.Add<TShapeableDIB>("TShapeableDIB");
    ASSERT_TRUE(moving && light && shape);
    EXPECT_EQ(moving->GetFeatureName(), "Moveable DIB");
    EXPECT_EQ(light->GetFeatureName(), "Highlight dib");
    EXPECT_EQ(shape->GetFeatureName(), "Shapeable DIB");
    EXPECT_TRUE(moving->AcceptsControl(form.get()));
    EXPECT_FALSE(light->AcceptsControl(form.get()));
    EXPECT_FALSE(shape->AcceptsControl(form.get()));
    EXPECT_TRUE(shape->AcceptsControl(&face));
}

TEST_F(StandardFeatures, ADragMovesTheControlWithThePointerAndArrowKeysStepIt) {
    auto* face = new TFace(box, {10, 10, 30, 30});
    auto* moving = face->Add<TMoveableDIB>("TMoveableDIB");
    move(15, 15);
    button(true, 15, 15);
    move(22, 18);  // the grabbed point stays under the pointer
    EXPECT_EQ(face->BoundsRect(), (TRect{17, 13, 37, 33}));
    move(20, 25);
    EXPECT_EQ(face->BoundsRect(), (TRect{15, 20, 35, 40}));
    button(false, 20, 25);
    move(30, 30);
    EXPECT_EQ(face->BoundsRect(), (TRect{15, 20, 35, 40}));
    EXPECT_EQ(face->presses, 1);  // the control still saw the press

    // Snapped: 7 right and 3 up move 5 right only.
    moving->SetSnapSize(5);
    button(true, 20, 25);
    move(27, 22);
    EXPECT_EQ(face->BoundsRect(), (TRect{20, 20, 40, 40}));
    // The arrow keys step by the snap, also during a drag; not up or down
    // when vertical moves are not allowed.
    face->SetDIBTabOrder(0);
    box->SetFocus();
    ASSERT_TRUE(face->DIBFocused());
    key(VK_LEFT);
    EXPECT_EQ(face->Left(), 15);
    moving->SetAllowVertical(false);
    key(VK_DOWN);
    EXPECT_EQ(face->Top(), 20);
    // The capture taken away mid-drag ends the drag: no button-up will come.
    ReleaseCapture();
    move(35, 35);
    EXPECT_EQ(face->BoundsRect(), (TRect{15, 20, 35, 40}));
    button(false, 35, 35);

    // Only the accepted button drags, and only its release ends the drag.
    moving->SetSnapSize(1);
    moving->SetAllowVertical(true);
    moving->SetMouseButtons({mbRight});
    button(true, 20, 25);
    move(22, 25);
    button(false, 22, 25);
    EXPECT_EQ(face->Left(), 15);
    button(true, 20, 25, input::Button::Right);
    button(true, 20, 25);
    button(false, 20, 25);
    move(22, 26);
    EXPECT_EQ(face->BoundsRect(), (TRect{17, 21, 37, 41}));
    button(false, 22, 26, input::Button::Right);
    move(25, 30);
    EXPECT_EQ(face->Left(), 17);
    // Without a capture the release may go elsewhere; the next move over the
    // control without the button held ends the drag instead of moving.
    button(true, 20, 25, input::Button::Right);
    move(70, 50);
    button(false, 70, 50, input::Button::Right);
    move(20, 25);
    move(24, 28);
    EXPECT_EQ(face->BoundsRect(), (TRect{17, 21, 37, 41}));
}

TEST_F(StandardFeatures, ABorderSizeKeepsPressesNearTheEdgesFromDragging) {
    auto* face = new TFace(box, {10, 10, 30, 30});
    face->Add<TMoveableDIB>("TMoveableDIB")->SetBorderSize(4);
    // In the middle: a drag, whatever the previous press was.
    button(true, 20, 20);
    move(21, 22);
    button(false, 21, 22);
    EXPECT_EQ(face->BoundsRect(), (TRect{11, 12, 31, 32}));
    // Within 4 pixels of an edge: none, though the last drag began inside.
    for (TPoint p : {TPoint{12, 20}, TPoint{20, 13}, TPoint{28, 20}, TPoint{20, 29}}) {
        button(true, p.X, p.Y);
        move(p.X + 1, p.Y + 1);
        button(false, p.X + 1, p.Y + 1);
        EXPECT_EQ(face->BoundsRect(), (TRect{11, 12, 31, 32})) << p.X << ", " << p.Y;
    }
}

TEST_F(StandardFeatures, AHighlightLastsWhileTheControlIsHotOrFocused) {
    auto* face = new TFace(box, {10, 10, 30, 30});
    auto* other = new TFace(box, {40, 10, 50, 20});
    face->SetOpacity(100);
    face->Add<THighlightDIB>("THighlightDIB")->SetHighlightOpacity(240);
    face->SetDIBTabOrder(0);
    other->SetDIBTabOrder(1);

    move(15, 15);
    EXPECT_EQ(face->Opacity(), 240);
    move(5, 5);
    EXPECT_EQ(face->Opacity(), 100);
    // Given the feature while hot: leaving keeps the opacity it never raised.
    other->SetOpacity(90);
    move(45, 15);
    other->Add<THighlightDIB>("THighlightDIB");
    move(5, 5);
    EXPECT_EQ(other->Opacity(), 90);

    box->SetFocus();  // the first in the tab order takes the focus
    ASSERT_TRUE(face->DIBFocused());
    EXPECT_EQ(face->Opacity(), 240);
    move(15, 15);  // hovered and left while focused: still raised
    move(5, 5);
    EXPECT_EQ(face->Opacity(), 240);
    key(VK_TAB);
    ASSERT_TRUE(other->DIBFocused());
    EXPECT_EQ(face->Opacity(), 100);

    // Pressed (not taking the focus), dragged out and released outside:
    // back to its own opacity.
    face->SetDIBTabOrder(-1);
    move(15, 15);
    button(true, 15, 15);
    move(60, 50);
    EXPECT_EQ(face->Opacity(), 240);
    button(false, 60, 50);
    EXPECT_EQ(face->Opacity(), 100);
}

TEST_F(StandardFeatures, AClickOutsideTheShapeReachesTheControlUnderneath) {
    auto* below = new TFace(box, {10, 10, 30, 30});
    // On top, painting only its right half, through its Canvas.
    auto* shaped = new TFace(box, {10, 10, 30, 30}, true);
    auto* shape = shaped->Add<TShapeableDIB>("TShapeableDIB");
    form->Update();

    input::Click(*native, 12, 20);  // left half: the colour of the bottom-left pixel
    EXPECT_EQ(below->presses, 1);
    EXPECT_EQ(shaped->presses, 0);
    input::Click(*native, 25, 20);
    EXPECT_EQ(below->presses, 1);
    EXPECT_EQ(shaped->presses, 1);
    EXPECT_EQ(shaped->Surface(), nullptr);
    EXPECT_FALSE(shaped->Canvas()->HandleAllocated());

    // A fixed colour that is nowhere outside the painted half: all of it is hit.
    shape->SetTransparentMode(tmFixed);
    shape->SetTransparentColor(clBlue);
    input::AdvanceTime(10);
    shaped->Invalidate();  // a new look: the region is built again
    input::Click(*native, 12, 20);
    EXPECT_EQ(below->presses, 1);
    EXPECT_EQ(shaped->presses, 2);
}
