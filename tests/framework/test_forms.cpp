#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "framework/Forms.h"

TEST(Forms, CaptionChangeIsAnnouncedOnce) {
    TForm form(nullptr);
    std::vector<std::string> announced;
    form.SetWindowProc([&](TMessage& m) {
        if (m.Msg == CM_TEXTCHANGED) announced.push_back(form.Caption());
    });
    form.SetCaption("Gate");
    form.SetCaption("Gate");
    form.SetCaption("");
    EXPECT_EQ(announced, (std::vector<std::string>{"Gate", ""}));
    EXPECT_EQ(GetStrProp(&form, "Caption"), "");
    SetStrProp(&form, "Caption", "Tarnwick");
    EXPECT_EQ(form.Caption(), "Tarnwick");
}

TEST(Forms, ApplicationForgetsADestroyedMainForm) {
    ASSERT_NE(Application, nullptr);
    auto form = std::make_unique<TForm>(nullptr);
    TForm other(nullptr);
    Application->SetMainForm(form.get());
    EXPECT_EQ(Application->MainForm(), form.get());
    form.reset();
    EXPECT_EQ(Application->MainForm(), nullptr);

    // Destroying another form leaves the main form alone.
    auto second = std::make_unique<TForm>(nullptr);
    Application->SetMainForm(&other);
    second.reset();
    EXPECT_EQ(Application->MainForm(), &other);
    Application->SetMainForm(nullptr);
}

TEST(Forms, FormsAreWindowedControlsWithPublishedBounds) {
    TForm form(nullptr);
    EXPECT_TRUE(form.InheritsFrom(TCustomForm::StaticClass()));
    EXPECT_TRUE(form.InheritsFrom(TWinControl::StaticClass()));
    SetOrdProp(&form, "Width", 336);
    SetOrdProp(&form, "Height", 157);
    EXPECT_EQ(form.Width(), 336);
    EXPECT_EQ(form.Height(), 157);
    SetOrdProp(&form, "Width", -3);  // negative sizes are refused as 0
    EXPECT_EQ(form.Width(), 0);
    EXPECT_TRUE(GetOrdProp(&form, "Visible"));
}
