// The fade label in a container on a headless window, driven by the
// session's clock and real pointer movement.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/cDIBFadeLabel.h"
#include "objects/TextForm.h"
#include "platform/headless/HeadlessInput.h"
#include "support/ContainerFixture.h"

namespace input = tarnwick::platform::headless;
using tarnwick::platform::headless::AdvanceTime;

namespace {

constexpr TColor kWhite = clWhite;

class FadeLabelTest : public tarnwick::test::ContainerFixture {
protected:
    void SetUp() override {
        MakeContainer(120, 60, 0, 0, 120, 60, &kWhite);
        label = new TDIBFadeLabel(box);
        label->SetParent(box);
        label->SetLeft(10);
        label->SetTop(10);
        label->Font()->SetColor(clBlack);
        label->SetColorHighlighted(clRed);
        label->SetCaption("Attack");
        OpenWindow();
        form->Update();
    }
    std::uint32_t Pixel(int x, int y) const {
        return native->Pixels()[y * native->Width() + x] & 0xFFFFFF;
    }
    // Pixels of the label's rectangle that are clearly red, or clearly dark.
    int Count(bool red) {
        form->Update();
        int n = 0;
        for (int y = label->Top(); y < label->Top() + label->Height(); ++y)
            for (int x = label->Left(); x < label->Left() + label->Width(); ++x) {
                const std::uint32_t p = Pixel(x, y);
                const int r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF;
                n += red ? (r > 200 && g < 100) : (r < 100 && g < 100);
            }
        return n;
    }
    // The first row from the top that holds ink.
    int FirstInkRow() {
        form->Update();
        for (int y = 0; y < native->Height(); ++y)
            for (int x = 0; x < native->Width(); ++x)
                if (Pixel(x, y) != 0xFFFFFF) return y;
        return -1;
    }

    TDIBFadeLabel* label = nullptr;
};

TEST_F(FadeLabelTest, RampsAddTruncatedIncrements) {
    label->SetColorHighlighted(clWhite);
    const std::vector<TColor> grey = {0x191919, 0x333333, 0x4C4C4C, 0x666666, 0x7F7F7F,
                                      0x999999, 0xB2B2B2, 0xCCCCCC, 0xE5E5E5, 0xFFFFFF};
    EXPECT_EQ(label->FadeColors(), grey);  // 25.5 a step: 25, 51, 76, ...
    label->Font()->SetColor(static_cast<TColor>(RGB(0, 200, 10)));
    label->SetColorHighlighted(static_cast<TColor>(RGB(10, 0, 250)));
    label->SetFrameCount(4);
    EXPECT_EQ(label->FadeColors(),
              (std::vector<TColor>{
                  static_cast<TColor>(RGB(2, 150, 70)), static_cast<TColor>(RGB(5, 100, 130)),
                  static_cast<TColor>(RGB(7, 50, 190)), static_cast<TColor>(RGB(10, 0, 250))}));
    label->SetFrameCount(1);
    EXPECT_TRUE(label->FadeColors().empty());
}

TEST_F(FadeLabelTest, HighlightsAtOnceAndFadesBackInFrameCountTicks) {
    EXPECT_EQ(label->Width(), 31);
    EXPECT_EQ(label->Height(), 13);
    EXPECT_EQ(Count(true), 0);
    const int dark = Count(false);
    EXPECT_GT(dark, 20);

    input::MouseMove(*native, 20, 15);
    EXPECT_EQ(label->CurrentColor(), clRed);
    EXPECT_GT(Count(true), 20);
    EXPECT_EQ(Count(false), 0);

    input::MouseMove(*native, 100, 50);
    EXPECT_EQ(label->CurrentColor(), clRed) << "the colour holds until the first step";
    std::vector<TColor> shown;
    for (int t = 0; t < 10; ++t) {
        AdvanceTime(50);
        shown.push_back(label->CurrentColor());
    }
    std::vector<TColor> expected;
    for (int i = 9; i >= 1; --i) expected.push_back(label->FadeColors()[static_cast<size_t>(i)]);
    expected.push_back(clBlack);
    EXPECT_EQ(shown, expected);  // entry 9 is the highlight, entry 0 never shows
    EXPECT_FALSE(label->Fading());
    EXPECT_EQ(Count(true), 0);
    EXPECT_EQ(Count(false), dark);

    // Entering again during a fade jumps straight back to the highlight.
    input::MouseMove(*native, 20, 15);
    input::MouseMove(*native, 100, 50);
    AdvanceTime(150);
    input::MouseMove(*native, 20, 15);
    EXPECT_EQ(label->CurrentColor(), clRed);
    EXPECT_FALSE(label->Fading());

    // Without steps the colour goes back at once.
    label->SetFrameDelay(0);
    input::MouseMove(*native, 100, 50);
    EXPECT_EQ(label->CurrentColor(), clBlack);
}

TEST_F(FadeLabelTest, ChangingFrameCountDuringAFadeStaysWithinTheNewRamp) {
    input::MouseMove(*native, 20, 15);
    input::MouseMove(*native, 100, 50);
    AdvanceTime(50);
    label->SetFrameCount(3);
    std::vector<TColor> shown;
    for (int t = 0; t < 3 && label->Fading(); ++t) {
        AdvanceTime(50);
        shown.push_back(label->CurrentColor());
    }
    EXPECT_FALSE(label->Fading()) << "the fade outlived the shorter ramp";
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), clBlack);
    for (size_t i = 0; i + 1 < shown.size(); ++i)
        EXPECT_NE(std::find(label->FadeColors().begin(), label->FadeColors().end(), shown[i]),
                  label->FadeColors().end());

    // A ramp emptied under a running fade ends it at once.
    label->SetFrameCount(10);
    input::MouseMove(*native, 20, 15);
    input::MouseMove(*native, 100, 50);
    AdvanceTime(50);
    label->SetFrameCount(1);
    EXPECT_FALSE(label->Fading());
    EXPECT_EQ(label->CurrentColor(), clBlack);
    AdvanceTime(50);
    EXPECT_EQ(label->CurrentColor(), clBlack);
}

TEST_F(FadeLabelTest, LayoutsMoveTheTextWithinTheLabel) {
    label->SetAutoSize(false);
    label->SetBounds(10, 10, 40, 20);
    const int top = FirstInkRow();
    label->SetLayout(tlCenter);
    EXPECT_EQ(FirstInkRow(), top + 3);  // (20 - 13) div 2
    label->SetLayout(tlBottom);
    EXPECT_EQ(FirstInkRow(), top + 7);
}

TEST_F(FadeLabelTest, ADisabledLabelIsEmbossed) {
    label->SetEnabled(false);
    EXPECT_GT(Count(true), 20) << "the highlight colour one pixel right and down";
    EXPECT_GT(Count(false), 20) << "the font colour on top";
    label->SetEnabled(true);
    EXPECT_EQ(Count(true), 0);
}

TEST_F(FadeLabelTest, AutoSizeMeasuresOneLineEvenWhenEmpty) {
    label->SetCaption("");
    EXPECT_EQ(label->Height(), 13);
    label->SetCaption("Release");
    EXPECT_EQ(label->Width(), 39);
    label->Font()->SetHeight(-16);
    label->Font()->SetStyle({fsBold});
    label->SetCaption("Quorbel");
    EXPECT_EQ(label->Width(), 61);
    EXPECT_EQ(label->Height(), 19);
}

TEST_F(FadeLabelTest, AFormEntryWithoutAutoSizeIsSizedWhenLoaded) {
    const std::string text = R"(object DIBContainer1: TDIBContainer
    Left = 0
    Top = 0
    Width = 120
    Height = 60
    Cursor = crHandPoint
    ParentFont = False
    object DIBFadeLabel6: TDIBFadeLabel
      Left = 88
      Top = 38
      Width = 53
      Height = 17
      Accelerator = #0
      Alignment = taLeftJustify
      Angle = 0
      Caption = 'Env Mode'
      ColorHighlighted = clBlack
      Cursor = crHandPoint
      DragMode = dmAutomatic
      DIBTabOrder = -1
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clBlack
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = []
      FrameCount = 10
      FrameDelay = 50
      Hint = 'Attack and release, or the key as it is'
      Layout = tlTop
      Opacity = 255
      ParentFont = False
      Scale = 100.0
      ShowAccelChar = True
      ShowHint = True
      Transparent = True
      WordWrap = False
    end
end
)";
    ComponentFromText(text, box);
    auto* l = static_cast<TDIBFadeLabel*>(box->FindComponent("DIBFadeLabel6"));
    ASSERT_NE(l, nullptr);
    EXPECT_TRUE(l->AutoSize());
    EXPECT_EQ(l->Height(), 13);
    EXPECT_LT(l->Width(), 53);
    EXPECT_EQ(l->ColorHighlighted(), clBlack);
    EXPECT_EQ(l->FadeColors(), std::vector<TColor>(10, clBlack));  // an invisible fade
    const std::string back = ComponentToText(box);
    EXPECT_NE(back.find("ColorHighlighted = clBlack"), std::string::npos) << back;
    EXPECT_NE(back.find("Scale = 100.0"), std::string::npos);
    EXPECT_NE(back.find("AutoSize = True"), std::string::npos) << "stored when on";
    // Hints, cursors and dragging are kept for the form's sake.
    EXPECT_EQ(l->Cursor_, crHandPoint);
    EXPECT_TRUE(l->ShowHint_);
    EXPECT_NE(back.find("Cursor = crHandPoint"), back.rfind("Cursor = crHandPoint"))
        << "the container's and the label's: " << back;
    EXPECT_NE(back.find("Hint = 'Attack and release"), std::string::npos) << back;
    EXPECT_NE(back.find("DragMode = dmAutomatic"), std::string::npos) << back;
    EXPECT_FALSE(box->ParentFont()) << "the container's own ParentFont, not a stored copy";
}

TEST_F(FadeLabelTest, TheAcceleratorAndTheSpaceKeyClick) {
    int clicks = 0;
    label->OnClick = [&](TObject*) { ++clicks; };
    label->SetCaption("&Attack");
    EXPECT_EQ(label->Perform(CM_DIALOGCHAR, 'a', 0), 1);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(label->Perform(CM_DIALOGCHAR, 't', 0), 0);
    label->SetShowAccelChar(false);
    EXPECT_EQ(label->Perform(CM_DIALOGCHAR, 'a', 0), 0);
    EXPECT_EQ(clicks, 1);
    label->Perform(WM_CHAR, ' ', 0);
    EXPECT_EQ(clicks, 2);
}

}  // namespace
