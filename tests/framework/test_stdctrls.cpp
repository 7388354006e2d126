// Fonts, string lists and the standard text controls, loaded from the text
// form and painted into real (headless) windows.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/StdCtrls.h"
#include "objects/TextForm.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"

namespace {

const char* const kAboutForm = R"(object Form1: TForm
  Left = 0
  Top = 0
  Width = 200
  Height = 120
  Color = clBlack
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWhite
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  object Label2: TLabel
    Left = 90
    Top = 100
    Width = 106
    Height = 13
    Caption = '  Get &back to it then..  '
    Color = 5282283
  end
  object Memo1: TMemo
    Left = 6
    Top = 6
    Width = 180
    Height = 60
    BorderStyle = bsNone
    Color = clWhite
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clBlack
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
    Lines.Strings = (
      'Quorbel Gate v0.8'
      ''
      'Simple Sidechain gate. ')
  end
end
)";

// The pixels of a form's native window; its windowed children draw into it.
std::uint32_t* PixelsOf(TWinControl& c) {
    return tarnwick::platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(c.Handle()))
        ->Pixels();
}

int TextWidth(const std::string& text, int height, bool bold) {
    HDC dc = GetDC(nullptr);
    TCanvas canvas;
    canvas.SetHandle(dc);
    canvas.Font()->SetHeight(height);
    if (bold) canvas.Font()->SetStyle({fsBold});
    const int w = canvas.TextWidth(text);
    canvas.SetHandle(nullptr);
    ReleaseDC(nullptr, dc);
    return w;
}

TEST(StdCtrls, AFormLoadsFromTextAndWritesColoursAndLinesBack) {
    TForm form(nullptr);
    ComponentFromText(kAboutForm, &form);
    auto* label = static_cast<TLabel*>(form.FindComponent("Label2"));
    auto* memo = static_cast<TMemo*>(form.FindComponent("Memo1"));
    ASSERT_TRUE(label && memo);
    EXPECT_EQ(form.Color(), clBlack);
    EXPECT_EQ(form.Font()->Color(), clWhite);
    EXPECT_EQ(form.Font()->Size(), 8);
    // The label follows the form's font; the memo has its own.
    EXPECT_TRUE(label->ParentFont());
    EXPECT_EQ(label->Font()->Color(), clWhite);
    EXPECT_FALSE(memo->ParentFont());
    EXPECT_EQ(memo->Font()->Color(), clBlack);
    EXPECT_EQ(memo->Font()->Style(), TFontStyles{fsBold});
    EXPECT_EQ(memo->Lines()->Count(), 3);
    EXPECT_EQ(memo->Lines()->Strings(2), "Simple Sidechain gate. ");
    EXPECT_EQ(memo->Lines()->Text(), "Quorbel Gate v0.8\r\n\r\nSimple Sidechain gate. \r\n");
    // Auto-sized once loaded: the "&" takes no room.
    EXPECT_EQ(label->Width(), TextWidth("  Get back to it then..  ", -11, false));
    EXPECT_EQ(label->Height(), 13);

    const std::string text = ComponentToText(&form);
    EXPECT_NE(text.find("  Color = clBlack\n  Font.Charset = DEFAULT_CHARSET\n  Font.Color = "
                        "clWhite\n  Font.Height = -11\n  Font.Name = 'MS Sans Serif'\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Color = 5282283"), std::string::npos);
    EXPECT_NE(text.find("Font.Color = clBlack"), std::string::npos);
    EXPECT_NE(text.find("Font.Style = [fsBold]"), std::string::npos);
    EXPECT_NE(text.find("Lines.Strings = (\n      'Quorbel Gate v0.8'\n      ''\n"),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Font.Size"), std::string::npos);
    // The label's font is its parent's: not stored.
    const auto labelPart = text.substr(text.find("object Label2"), 200);
    EXPECT_EQ(labelPart.substr(0, labelPart.find("end")).find("Font."), std::string::npos);

    TForm again(nullptr);
    ComponentFromText(text, &again);
    EXPECT_EQ(ComponentToText(&again), text);
}

TEST(StdCtrls, UnknownColourNamesAreRefused) {
    TForm form(nullptr);
    EXPECT_THROW(ComponentFromText("object Form1: TForm\n  Color = clNoSuchColour\nend\n", &form),
                 EReadError);
    ComponentFromText("object Form1: TForm\n  Color = CLWHITE\nend\n", &form);
    EXPECT_EQ(form.Color(), clWhite);
}

TEST(StdCtrls, StringListsTellTheirChanges) {
    TStringList list;
    int changes = 0, changing = 0;
    list.OnChange = [&](TObject*) { ++changes; };
    list.OnChanging = [&](TObject*) { ++changing; };
    list.Add("b");
    list.Insert(0, "a");
    list.Add("c");
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(changing, 3);
    EXPECT_EQ(list.IndexOf("B"), 1);
    EXPECT_EQ(list.IndexOf("x"), -1);
    list.Delete(1);
    EXPECT_EQ(list.Text(), "a\r\nc\r\n");
    EXPECT_THROW(list.Strings(2), EListError);
    EXPECT_THROW(list.Insert(3, "x"), EListError);
    changes = 0;
    list.SetText("one\ntwo\r\nthree\rfour");
    EXPECT_EQ(changes, 1);  // one change for the whole text
    EXPECT_EQ(list.Count(), 4);
    EXPECT_EQ(list.Strings(3), "four");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

TEST(StdCtrls, FontChangesReachChildrenThatFollowTheirParent) {
    TForm form(nullptr);
    auto* follower = new TLabel(&form);
    follower->SetParent(&form);
    auto* own = new TLabel(&form);
    own->SetParent(&form);
    own->Font()->SetColor(clRed);
    EXPECT_FALSE(own->ParentFont());
    form.Font()->SetHeight(-16);
    form.Font()->SetStyle({fsBold});
    EXPECT_EQ(follower->Font()->Height(), -16);
    EXPECT_TRUE(follower->ParentFont());
    EXPECT_EQ(follower->Height(), 19);  // auto-sized to the new font
    EXPECT_EQ(own->Font()->Height(), -11);
    own->SetParentFont(true);
    EXPECT_EQ(own->Font()->Color(), form.Font()->Color());
    EXPECT_EQ(own->Font()->Height(), -16);
}

TEST(StdCtrls, AcceleratorTest) {
    EXPECT_TRUE(IsAccel('B', "Get &back"));
    EXPECT_TRUE(IsAccel('b', "Get &Back"));
    EXPECT_FALSE(IsAccel('G', "Get &back"));
    EXPECT_FALSE(IsAccel('&', "Fish && chips"));
    EXPECT_TRUE(IsAccel('C', "Fish && &chips"));
    EXPECT_FALSE(IsAccel('X', "trailing &"));
}

TEST(StdCtrls, LabelsPaintThroughTheirParentOpaqueUnlessTransparent) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 120, 40);
    auto* panel = new TCustomPanel(&form);  // erases to its colour
    panel->SetParent(&form);
    panel->SetBounds(0, 0, 120, 40);
    panel->SetColor(clBlack);
    panel->Font()->SetColor(clWhite);
    auto* label = new TLabel(&form);
    label->SetParent(panel);
    label->SetBounds(10, 20, 10, 10);
    label->SetColor(5282283);
    label->SetCaption("Get &back");
    std::uint32_t* px = PixelsOf(form);  // the panel's window lies at (0, 0) in it
    form.Update();
    const auto at = [&](int x, int y) { return px[y * form.Width() + x] & 0xFFFFFF; };
    // 5282283 is red 235, green 153, blue 80: pixel 0xEB9950. The label has
    // grown to its caption.
    EXPECT_EQ(label->Width(), TextWidth("Get back", -11, false));
    EXPECT_EQ(at(label->Left(), label->Top()), 0xEB9950u);
    EXPECT_EQ(at(label->Left() + label->Width() - 1, label->Top() + 12), 0xEB9950u);
    EXPECT_EQ(at(label->Left() + label->Width(), label->Top()), 0u);
    int ink = 0;
    for (int y = label->Top(); y < label->Top() + 13; ++y)
        for (int x = label->Left(); x < label->Left() + label->Width(); ++x)
            ink += at(x, y) != 0xEB9950u;
    EXPECT_GT(ink, 20) << "the caption in the panel's white font";

    label->SetTransparent(true);
    form.Update();
    EXPECT_EQ(at(label->Left(), label->Top()), 0u) << "the panel shows through";
    int lit = 0;
    for (int y = label->Top(); y < label->Top() + 13; ++y)
        for (int x = label->Left(); x < label->Left() + label->Width(); ++x) lit += at(x, y) != 0u;
    EXPECT_EQ(lit, ink);
}

TEST(StdCtrls, AMemoDrawsItsLinesInItsOwnWindow) {
    TForm form(nullptr);
    ComponentFromText(kAboutForm, &form);
    auto* memo = static_cast<TMemo*>(form.FindComponent("Memo1"));
    std::uint32_t* px = PixelsOf(form);  // the memo's window is a part of the form's
    form.Update();
    const auto rowHasInk = [&](int y) {
        for (int x = 0; x < memo->Width(); ++x) {
            const std::uint32_t p = px[(memo->Top() + y) * form.Width() + memo->Left() + x];
            if ((p & 0xFFFFFF) != 0xFFFFFF) return true;
        }
        return false;
    };
    // Line 1 (rows 0..12) has text, line 2 is empty, line 3 has text again.
    bool first = false, second = false, third = false;
    for (int y = 0; y < 13; ++y) first |= rowHasInk(y);
    for (int y = 13; y < 26; ++y) second |= rowHasInk(y);
    for (int y = 26; y < 39; ++y) third |= rowHasInk(y);
    EXPECT_TRUE(first);
    EXPECT_FALSE(second);
    EXPECT_TRUE(third);
    EXPECT_FALSE(rowHasInk(memo->Height() - 1));

    memo->Lines()->Clear();
    form.Update();
    for (int y = 0; y < memo->Height(); ++y) EXPECT_FALSE(rowHasInk(y)) << y;
}

TEST(StdCtrls, TimersTickFromAFormAndStopWhenDisabled) {
    using tarnwick::platform::headless::AdvanceTime;
    TForm form(nullptr);
    auto* timer = new TTimer(&form);
    int ticks = 0;
    timer->SetInterval(100);
    timer->SetOnTimer([&](TObject*) { ++ticks; });
    AdvanceTime(100);
    AdvanceTime(100);
    EXPECT_EQ(ticks, 2);
    timer->SetEnabled(false);
    AdvanceTime(100);
    EXPECT_EQ(ticks, 2);
    // A failing handler reaches the application, not the window system.
    timer->SetOnTimer([&](TObject*) { throw EInvalidOperation("tick failed"); });
    timer->SetEnabled(true);
    const int before = Application->ExceptionCount();
    AdvanceTime(100);
    EXPECT_EQ(Application->ExceptionCount(), before + 1);
    delete timer;
    AdvanceTime(100);
}

}  // namespace
