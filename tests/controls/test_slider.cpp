// The bitmap slider in a container, driven through the form's native window:
// track clicks that repeat until the drag takes over, drags, keys, the
// composed pixels, and layouts that must follow resizing and picture changes.
#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <climits>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

#include "controls/cDIBPanel.h"
#include "controls/cDIBSlider.h"
#include "framework/Forms.h"
#include "framework/WinApi.h"
#include "framework/WindowManager.h"
#include "objects/TextForm.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "platform/headless/HeadlessInput.h"
#include "support/ContainerFixture.h"
#include "support/ControlSamples.h"
#include "support/Sanitizers.h"

namespace input = tarnwick::platform::headless;
using tarnwick::platform::Window;
using tarnwick::platform::WindowFromHandle;

namespace {

constexpr int kLeft = 10, kTop = 5;  // where the sliders sit in the container

class SliderTest : public tarnwick::test::ContainerFixture {
protected:
    void SetUp() override {
        const TColor colour(0x302010);  // pixel 0x102030
        MakeContainer(120, 240, 0, 0, 120, 240, &colour);
        list = new TDIBImageList(form.get());
        OpenWindow();
    }

    int add(int w, int h, const std::function<std::uint32_t(int, int)>& colour) {
        return tarnwick::test::AddPicture(*list, w, h, colour);
    }
    int solid(int w, int h, std::uint32_t colour) {
        return add(w, h, [=](int, int) { return colour; });
    }

    // A loaded slider at (kLeft, kTop) with a track and a pointer picture.
    TDIBSlider* make(TSliderType type, int track, int pointer, int w, int h) {
        auto* s = new TDIBSlider(box);
        s->SetParent(box);
        s->SetSliderType(type);
        s->SetDIBImageList(list);
        s->IndexMain()->SetDIBIndex(track);
        s->IndexPointer()->SetDIBIndex(pointer);
        s->SetBounds(kLeft, kTop, w, h);
        s->Loaded();
        return s;
    }
    // The editor's kind of slider: vertical, 20 x 83, a 20 x 81 track, no
    // caps, range 0..127; the track runs from -1 to 83, a pointer 10 high
    // has a travel of 75.
    TDIBSlider* threshold(int pointerHeight = 10) {
        TDIBSlider* s =
            make(stVertical, solid(20, 81, 0x406080), solid(10, pointerHeight, 0xE0E0E0), 20, 83);
        s->SetMax(127);
        return s;
    }

    // Mouse events at slider coordinates.
    void move(int x, int y) { input::MouseMove(*native, x + kLeft, y + kTop); }
    void button(bool down, int x, int y, input::Button b = input::Button::Left) {
        input::MouseButton(*native, b, down, x + kLeft, y + kTop);
    }
    void click(int x, int y, input::Button b = input::Button::Left) {
        button(true, x, y, b);
        button(false, x, y, b);
    }
    void key(std::uint16_t vk) {
        input::Key(*native, vk, true);
        input::Key(*native, vk, false);
    }
    std::uint32_t composed(int x, int y) const {
        const TDIBPixel& p = box->DIB()->ScanLine(y + kTop)[x + kLeft];
        return std::uint32_t(p.Mask) << 24 | p.Red << 16 | p.Green << 8 | p.Blue;
    }

    TDIBImageList* list = nullptr;
};

using tarnwick::test::Blend;

}  // namespace

TEST_F(SliderTest, AHeldTrackClickStepsEvery250MsUntilThePointerArrivesThenTheDragTakesOver) {
    TDIBSlider* s = threshold();
    EXPECT_EQ(s->TrackRect(), (TRect{0, -1, 19, 83}));
    EXPECT_EQ(s->Travel(), 75);
    EXPECT_EQ(s->PointerRect(), (TRect{5, -1, 14, 8}));
    int changes = 0;
    s->OnChange = [&](TObject*) { ++changes; };

    // 41 pixels below the pointer's middle: a large step of 5 at once.
    move(10, 40);
    button(true, 10, 40);
    EXPECT_EQ(s->Position(), 5);
    EXPECT_EQ(s->PointerRect().Top, -1 + 75 * 5 / 127);
    input::AdvanceTime(249);
    EXPECT_EQ(s->Position(), 5);
    input::AdvanceTime(1);
    EXPECT_EQ(s->Position(), 10);
    // Ten steps in all bring the pointer (rows 31..40 at 55) under the mouse.
    for (int i = 0; i < 9; ++i) input::AdvanceTime(250);
    EXPECT_EQ(s->Position(), 55);
    EXPECT_EQ(s->PointerRect(), (TRect{5, 31, 14, 40}));
    EXPECT_FALSE(s->Dragging());
    input::AdvanceTime(250);  // its last row counts: the press becomes a drag
    EXPECT_TRUE(s->Dragging());
    EXPECT_EQ(s->Position(), 55);
    input::AdvanceTime(1000);  // and the repetition ends
    EXPECT_EQ(s->Position(), 55);
    EXPECT_EQ(input::RunningTimerCount(), 0u);
    EXPECT_EQ(changes, 11);

    // The pointer follows the mouse pixel by pixel, the value in whole
    // steps; a move within one step reports nothing.
    move(10, 60);  // grabbed at its last row: pointer offset 60 + 1 - 9 = 52
    EXPECT_EQ(s->PointerPos(), 52);
    EXPECT_EQ(s->Position(), 52 * 127 / 75);
    move(10, 200);  // past the end: clamped
    move(10, 201);
    EXPECT_EQ(s->PointerPos(), 75);
    EXPECT_EQ(s->Position(), 127);
    EXPECT_EQ(changes, 13);
    button(false, 10, 201);
    move(10, 0);
    EXPECT_FALSE(s->Dragging());

    // A drag cut short by a lost capture ends; the next move does nothing.
    button(true, 10, 78);
    ASSERT_TRUE(s->Dragging());
    ReleaseCapture();
    move(10, 10);
    EXPECT_FALSE(s->Dragging());
    EXPECT_EQ(s->Position(), 127);
    button(false, 10, 10);

    // Keys: toward Min is up, and so is Page Up (the knob's way round is the other).
    s->SetDIBTabOrder(0);
    box->SetFocus();
    key(VK_PRIOR);
    key(VK_UP);
    EXPECT_EQ(s->Position(), 121);
    key(VK_DOWN);
    key(VK_LEFT);  // not a vertical slider's key
    EXPECT_EQ(s->Position(), 122);
    s->OnKeyDown = [](TObject*, std::uint16_t& k, TShiftState) { k = 0; };  // takes the keys
    key(VK_NEXT);
    EXPECT_EQ(s->Position(), 122);

    // The stop a drag asks of the repetition ends with that drag: a held
    // track click after one repeats again.
    button(true, 10, 75);
    ASSERT_TRUE(s->Dragging());
    button(false, 10, 75);
    button(true, 10, 10);
    EXPECT_EQ(s->Position(), 117);
    input::AdvanceTime(250);
    input::AdvanceTime(250);
    EXPECT_EQ(s->Position(), 107);
    button(false, 10, 10);

    // A release ends a drag where its last move left the pointer, not at its
    // value's own pixel (62 is at 36); cut short, the drag ends at that pixel.
    button(true, 10, 66);
    move(10, 40);
    button(false, 10, 40);
    EXPECT_EQ(s->Position(), 62);
    EXPECT_EQ(s->PointerPos(), 37);
    button(true, 10, 40);
    ReleaseCapture();
    EXPECT_EQ(s->PointerPos(), 36);
    button(false, 10, 40);
}

TEST_F(SliderTest, EndCapsStepBySmallChangeAndRepeatWhileHeld) {
    // Horizontal, 40 x 10: caps 5 x 10, a 4 x 6 track tiled between them,
    // a 6 x 10 pointer.
    const int end1 = solid(5, 10, 0x111111), end2 = solid(5, 10, 0x222222);
    TDIBSlider* s = make(stHorizontal, solid(4, 6, 0x333333), solid(6, 10, 0x444444), 40, 10);
    s->IndexEnd1()->SetDIBIndex(end1);
    s->IndexEnd2()->SetDIBIndex(end2);
    EXPECT_EQ(s->End1Rect(), (TRect{0, 0, 4, 9}));
    EXPECT_EQ(s->End2Rect(), (TRect{34, 0, 38, 9}));
    EXPECT_EQ(s->TrackRect(), (TRect{4, 2, 34, 7}));
    s->SetPosition(50);
    EXPECT_EQ(s->PointerPos(), 25 * 50 / 100);

    button(true, 37, 5);
    EXPECT_EQ(s->Position(), 51);
    input::AdvanceTime(250);
    input::AdvanceTime(250);
    EXPECT_EQ(s->Position(), 53);
    button(false, 37, 5);
    input::AdvanceTime(500);
    EXPECT_EQ(s->Position(), 53);
    s->SetSmallChange(10);
    click(1, 5);
    EXPECT_EQ(s->Position(), 43);

    // A horizontal slider's keys: left and right; up and down do nothing.
    s->SetDIBTabOrder(0);
    box->SetFocus();
    key(VK_RIGHT);
    key(VK_UP);
    EXPECT_EQ(s->Position(), 53);
    key(VK_LEFT);
    key(VK_DOWN);
    key(VK_NEXT);
    EXPECT_EQ(s->Position(), 48);
}

TEST_F(SliderTest, ComposesTrackOverlayCapsAndPointerInThatOrder) {
    // Horizontal, 24 x 8: caps 3 x 6 at rows 1..6, a 4 x 4 track tiled over
    // columns 2..20 at rows 2..5 (one colour per picture column), a 4 x 6
    // pointer at opacity 196, an overlay inset by one pixel at opacity 64.
    const auto trackColour = [](int x) { return 0x800000u + 0x10u * std::uint32_t(x); };
    const std::uint32_t bg = 0x00102030, e1 = 0xFFA00000, e2 = 0xFF00A000, ptr = 0xFFF0F0F0,
                        over = 0xFF0000F0;
    const int end1 = solid(3, 6, e1), end2 = solid(3, 6, e2), overlay = solid(2, 2, over);
    TDIBSlider* s = make(stHorizontal, add(4, 4, [&](int x, int) { return trackColour(x); }),
                         solid(4, 6, ptr), 24, 8);
    s->IndexEnd1()->SetDIBIndex(end1);
    s->IndexEnd2()->SetDIBIndex(end2);
    s->IndexOverlay()->SetDIBIndex(overlay);
    s->SetOverlayBorderX(1);
    s->SetOverlayBorderY(1);
    s->SetStretchBackground(false);
    s->SetAutoSize(false);  // it would take the caps' height, 6
    s->SetBounds(kLeft, kTop, 24, 8);
    s->SetPosition(40);  // travel 19 - 4 = 15: pointer offset 6, columns 8..11
    form->Update();

    int wrong = 0;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 24; ++x) {
            std::uint32_t want = bg;
            if (x >= 2 && x <= 20 && y >= 2 && y <= 5)
                want = 0xFF000000u | trackColour((x - 2) % 4);
            if (x >= 3 && x < 3 + 6 - 1 && y >= 3 && y <= 4) want = Blend(over, want, 64);
            if (x <= 2 && y >= 1 && y <= 6) want = e1;
            if (x >= 20 && x <= 22 && y >= 1 && y <= 6) want = e2;
            if (x >= 8 && x <= 11 && y >= 1 && y <= 6) want = Blend(ptr, want, 196);
            if (composed(x, y) != want && ++wrong <= 5)
                ADD_FAILURE() << "(" << x << ", " << y << "): " << std::hex << composed(x, y)
                              << ", expected " << want;
        }
    EXPECT_EQ(wrong, 0);

    // While dragged the pointer is drawn at PointerOpacityHigh.
    button(true, 9, 3);
    form->Update();
    EXPECT_EQ(composed(9, 1), ptr);
    button(false, 9, 3);
    form->Update();
    EXPECT_EQ(composed(9, 1), Blend(ptr, bg, 196));
}

TEST_F(SliderTest, AShortOrNegativeTravelNeitherDividesByZeroNorInvertsThePointer) {
    // A pointer exactly as long as the track: travel 0. A click beside it
    // steps by SmallChange toward the click; a drag does nothing.
    TDIBSlider* s = threshold(85);
    ASSERT_EQ(s->Travel(), 0);
    click(1, 60, input::Button::Right);
    EXPECT_EQ(s->Position(), 1);
    click(1, 10, input::Button::Right);
    EXPECT_EQ(s->Position(), 0);
    button(true, 10, 40);
    move(10, 70);
    button(false, 10, 70);
    EXPECT_EQ(s->Position(), 0);

    // A pointer longer than its track: no travel, the pointer stays at the start.
    s->IndexPointer()->SetDIBIndex(solid(10, 95, 0xE0E0E0));
    EXPECT_EQ(s->Travel(), 0);
    s->SetPosition(127);
    EXPECT_EQ(s->PointerPos(), 0);
    EXPECT_EQ(s->PointerRect().Top, -1);
}

TEST_F(SliderTest, TheFullIntegerRangeMapsWithoutOverflow) {
    TDIBSlider* s = threshold();
    s->SetMax(INT_MAX);
    s->SetMin(INT_MIN);
    s->SetPosition(0);
    EXPECT_EQ(s->PointerPos(), 37);  // 75 * 2^31 / (2^32 - 1)
    click(10, 80);                   // far below: one large step
    EXPECT_EQ(s->Position(), 5);
    button(true, 10, s->PointerRect().Top + 1);
    move(10, 200);
    EXPECT_EQ(s->Position(), INT_MAX);
    move(10, -5);
    EXPECT_EQ(s->Position(), INT_MIN);
    button(false, 10, -5);
    s->SetDIBTabOrder(0);
    box->SetFocus();
    key(VK_PRIOR);  // below Min: clamped, not wrapped
    EXPECT_EQ(s->Position(), INT_MIN);
}

TEST_F(SliderTest, ATrackClickStepsByTheDistanceOnRangesThatDoNotStartAtZero) {
    TDIBSlider* s = threshold();
    s->SetMin(-100);
    s->SetMax(-50);
    // At -75 the pointer covers rows 36..45; a click 20 pixels beside its
    // middle spans 13 values, capped at LargeChange 5.
    s->SetPosition(-75);
    click(10, 60);
    EXPECT_EQ(s->Position(), -70);
    s->SetPosition(-75);
    click(10, 20);
    EXPECT_EQ(s->Position(), -80);

    // On 10..20 a click whose distance stands for no whole value does not move it.
    s->SetMax(20);
    s->SetMin(10);
    s->SetPosition(15);
    click(10, 47);
    EXPECT_EQ(s->Position(), 15);
    click(10, 49);  // 9 pixels: one value
    EXPECT_EQ(s->Position(), 16);
}

TEST_F(SliderTest, ThePointerFollowsResizingAndPictureChanges) {
    TDIBSlider* s = threshold();
    s->SetPosition(127);
    EXPECT_EQ(s->PointerPos(), 75);
    s->SetBounds(kLeft, kTop, 20, 200);
    EXPECT_EQ(s->Travel(), 192);
    EXPECT_EQ(s->PointerPos(), 192);
    form->Update();
    EXPECT_EQ(composed(10, 199), Blend(0xE0E0E0, 0xFF406080, 196));  // the pointer's last row
    EXPECT_EQ(composed(10, 190), 0xFF406080u);                       // the track above it

    // An end cap shortens the track; the pointer stays at its end.
    s->IndexEnd1()->SetDIBIndex(solid(20, 10, 0x111111));
    EXPECT_EQ(s->Travel(), 182);
    EXPECT_EQ(s->PointerPos(), 182);
    EXPECT_EQ(s->PointerRect().Bottom, s->TrackRect().Bottom);
    // So does a change of type: the horizontal track of a 100 x 200 slider
    // runs over columns 19..100, a travel of 72.
    s->SetAutoSize(false);
    s->SetBounds(kLeft, kTop, 100, 200);
    s->SetSliderType(stHorizontal);
    EXPECT_EQ(s->PointerPos(), 72);
    EXPECT_EQ(s->PointerRect().Right, s->TrackRect().Right);
}

TEST_F(SliderTest, AnOverlayWithBordersWiderThanTheTrackIsSkipped) {
    TDIBSlider* s = make(stHorizontal, solid(19, 4, 0x333333), solid(4, 6, 0x444444), 24, 8);
    s->IndexOverlay()->SetDIBIndex(solid(2, 2, 0x0000F0));
    s->SetOverlayBorderX(15);  // wider than half the track both ways
    s->SetOverlayBorderY(15);
    s->SetPosition(100);
    TWinDIB surface(24, 8);
    s->SetSurface(&surface);
    auto paintInOneGiB = [&] {
#if !defined(_WIN32)  // a 32-bit Windows process has 2 GiB in all
        const rlimit limit{1u << 30, 1u << 30};
        setrlimit(RLIMIT_AS, &limit);
#endif
        s->Paint();
        std::exit(0);
    };
#if TARNWICK_HAS_ASAN
    // AddressSanitizer's shadow memory alone is larger than the limit.
    (void)paintInOneGiB;
#else
    EXPECT_EXIT(paintInOneGiB(), ::testing::ExitedWithCode(0), "");
#endif
    s->SetSurface(nullptr);
    form->Update();
    EXPECT_EQ(composed(3, 3), 0xFF333333u);  // the track, no overlay on it
}

TEST_F(SliderTest, AFormStoresTheSliderAndLoadsItLaidOutWithItsTemplateProperties) {
    form->SetName("Form1");
    list->SetName("Pictures");
    box->SetName("Box");
    auto* s = new TDIBSlider(form.get());  // made by the form, placed in its container
    s->SetName("Threshold");
    s->SetParent(form.get());
    EXPECT_EQ(s->Parent(), box);
    s->SetSliderType(stVertical);
    s->SetDIBImageList(list);
    s->IndexMain()->SetDIBIndex(solid(20, 81, 0x406080));
    s->IndexPointer()->SetDIBIndex(solid(10, 10, 0xE0E0E0));
    s->SetBounds(kLeft, kTop, 20, 83);
    s->SetMax(127);
    s->SetPosition(127);
    s->SetAutoSize(false);
    s->Hint_ = "Threshold";  // kept for the form's sake

    const std::string text = ComponentToText(form.get());
    const std::string own = text.substr(text.find("object Threshold"));
    for (const char* stored :
         {"LargeChange = 5", "Min = 0", "Max = 127", "Position = 127", "PointerOffset = 0",
          "SliderType = stVertical", "StretchBackground = True", "IndexMain.DIBIndex = 0",
          "IndexPointer.DIBIndex = 1", "DIBImageList = Pictures", "Hint = 'Threshold'"})
        EXPECT_NE(own.find(stored), std::string::npos) << stored;
    for (const char* left : {"AutoSize", "PointerOpacityLow", "OverlayOpacity", "OverlayBorderX"})
        EXPECT_EQ(own.find(left), std::string::npos) << left;

    // AutoSize False is not stored, so the copy loads with it on.
    RegisterClasses({TForm::StaticClass(), TDIBContainer::StaticClass()});
    auto copy = ComponentFromText(text);
    auto* loaded = dynamic_cast<TDIBSlider*>(copy->FindComponent("Threshold"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(loaded->AutoSize());
    EXPECT_FALSE(loaded->NotLoaded());
    EXPECT_EQ(loaded->Position(), 127);
    EXPECT_EQ(loaded->Hint_, "Threshold");
    EXPECT_EQ(loaded->TrackRect(), (TRect{0, -1, 19, 83}));
    EXPECT_EQ(loaded->PointerPos(), 75);

    // Templates carry what the final class publishes; the base class alone
    // does not publish what it registers.
    EXPECT_EQ(loaded->TemplateProperties().size(), 18u);
    TCustomDIBSlider bare(box);
    EXPECT_THROW(bare.TemplateProperties(), EDIBControlError);
}

TEST_F(SliderTest, TheWheelStepsShiftDragsAQuarterAsFastAndADoubleClickNeitherStepsNorDrags) {
    TDIBSlider* s = threshold();
    s->SetSmallChange(4);
    s->SetPosition(60);
    int changes = 0, doubleClicks = 0;
    s->OnChange = [&](TObject*) { ++changes; };
    s->OnDblClick = [&](TObject*) { ++doubleClicks; };
    const auto wheel = [&](int delta) {
        input::Wheel(*native, delta, kLeft + 10, kTop + 60);
        return s->Position();
    };
    // Away from the user moves the pointer up, toward Min; Shift by a
    // quarter step.
    EXPECT_EQ(wheel(120), 56);
    EXPECT_TRUE(s->WheelGesture());
    EXPECT_EQ(wheel(-240), 64);
    input::SetModifierDown(tarnwick::platform::ModifierKey::Shift, true);
    EXPECT_EQ(wheel(120), 63);
    input::SetModifierDown(tarnwick::platform::ModifierKey::Shift, false);
    EXPECT_EQ(s->PointerPos(), 63 * 75 / 127);
    input::AdvanceTime(TCustomDIBControl::kWheelGestureMs + 1);
    EXPECT_FALSE(s->WheelGesture());
    s->SetSliderType(stHorizontal);
    EXPECT_EQ(wheel(120), 67) << "a horizontal slider goes right, toward Max";
    s->SetSliderType(stVertical);

    // A fine drag: a quarter pixel of the pointer a pixel of the mouse,
    // with every value between two pixels' reached; without Shift again
    // the pointer goes on from where it is, at the full speed.
    s->SetPosition(0);
    changes = 0;
    move(10, 3);
    button(true, 10, 3);
    ASSERT_TRUE(s->Dragging());
    input::SetModifierDown(tarnwick::platform::ModifierKey::Shift, true);
    move(10, 6);
    EXPECT_EQ(s->PointerPos(), 0);
    EXPECT_EQ(s->Position(), 3 * 127 / 300);
    move(10, 9);
    EXPECT_EQ(s->PointerPos(), 1);
    EXPECT_EQ(s->Position(), 6 * 127 / 300);
    move(10, 13);
    EXPECT_EQ(s->PointerPos(), 2);
    EXPECT_EQ(s->Position(), 10 * 127 / 300);
    EXPECT_EQ(changes, 3);
    input::SetModifierDown(tarnwick::platform::ModifierKey::Shift, false);
    move(10, 14);
    EXPECT_EQ(s->PointerPos(), 3);
    EXPECT_EQ(s->Position(), 3 * 127 / 75);
    button(false, 10, 14);

    // A double click on the track: the first click steps, the second
    // press neither steps nor repeats nor drags.
    const int stepped = s->Position() + 5;
    input::DoubleClick(*native, kLeft + 10, kTop + 60);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(s->Position(), stepped);
    EXPECT_FALSE(s->Dragging());
    input::AdvanceTime(1000);
    EXPECT_EQ(s->Position(), stepped);
    EXPECT_EQ(input::RunningTimerCount(), 0u);
}
