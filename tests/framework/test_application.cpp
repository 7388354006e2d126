// The application object under real input and the virtual clock: failures of
// handlers end in its exception handler, short cuts of popup menus, the
// modifier keys of the session, and panels laying out aligned children.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/WinApi.h"
#include "framework/WindowManager.h"
#include "objects/TextForm.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "platform/headless/HeadlessInput.h"

namespace headless = tarnwick::platform::headless;
using tarnwick::platform::ModifierKey;
using tarnwick::platform::Window;

namespace {

Window& NativeOf(TWinControl& c) {
    return *tarnwick::platform::WindowFromHandle(reinterpret_cast<std::uintptr_t>(c.Handle()));
}

// A windowed control that fails in whatever handler is set to fail.
class TFaulty : public TWinControl {
public:
    using TWinControl::TWinControl;
    bool failPaint = false;
    int paints = 0;

protected:
    void PaintWindow(HDC) override {
        ++paints;
        if (failPaint) throw EInvalidOperation("paint failed");
    }
};

class TheApplication : public ::testing::Test {
protected:
    void SetUp() override {
        headless::ResetServices();
        Application->OnException = [this](TObject* sender, const std::exception& e) {
            failures.push_back({sender, e.what()});
        };
    }
    void TearDown() override {
        Application->OnException = nullptr;
        Application->OnShortCut = nullptr;
        headless::ResetServices();
    }
    std::vector<std::pair<TObject*, std::string>> failures;
};

using Failures = std::vector<std::pair<TObject*, std::string>>;

}  // namespace

TEST_F(TheApplication, FailingTimerClickAndPaintHandlersGoToTheHandlerAndProcessingGoesOn) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 60, 30);
    int ticks = 0;
    form.SetWindowProc([&](TMessage& m) {
        if (m.Msg == WM_TIMER && ++ticks < 3)
            throw std::runtime_error("tick " + std::to_string(ticks));
    });
    ASSERT_NE(SetTimer(form.Handle(), 1, 100, nullptr), 0u);
    headless::AdvanceTime(100);
    headless::AdvanceTime(100);
    headless::AdvanceTime(100);
    EXPECT_EQ(ticks, 3);  // the timer kept ticking after two failures
    EXPECT_EQ(failures, (Failures{{&form, "tick 1"}, {&form, "tick 2"}}));
    form.SetWindowProc({});

    // A click handler that fails: the next press is handled as usual.
    auto* a = new TFaulty(&form);
    a->SetBounds(0, 0, 20, 20);
    a->SetParent(&form);
    auto* b = new TFaulty(&form);
    b->SetBounds(30, 0, 20, 20);
    b->SetParent(&form);
    int clicks = 0;
    a->OnClick = [&](TObject*) {
        if (++clicks == 1) throw EInvalidOperation("click failed");
    };
    Window& w = NativeOf(form);
    headless::Click(w, 5, 5);
    headless::Click(w, 5, 5);
    EXPECT_EQ(clicks, 2);
    EXPECT_FALSE(a->MouseCapture());
    EXPECT_EQ(Application->LastExceptionMessage(), "click failed");

    // A failing paint leaves its sibling to paint, and may paint again.
    form.Update();
    failures.clear();
    a->failPaint = true;
    a->Invalidate();
    b->Invalidate();
    w.Send(WM_PAINT, 0, 0);
    EXPECT_EQ(failures, (Failures{{a, "paint failed"}}));
    EXPECT_EQ(b->paints, 2);
    a->failPaint = false;
    a->Invalidate();
    form.Update();
    EXPECT_EQ(a->paints, 3);

    // Without an OnException the failure is dropped, and still recorded.
    Application->OnException = nullptr;
    const int before = Application->ExceptionCount();
    SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) { throw 42; });
    EXPECT_NO_THROW(headless::AdvanceTime(10));
    EXPECT_EQ(Application->ExceptionCount(), before + 1);
    EXPECT_EQ(Application->LastExceptionMessage(), "Unknown exception");
}

TEST_F(TheApplication, ShortCutsOfPopupMenusFormsAndTheApplicationTakeKeysFirst) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 60, 30);
    auto* edit = new TFaulty(&form);
    edit->SetBounds(0, 0, 20, 20);
    edit->SetParent(&form);
    std::vector<std::uint16_t> keys;
    edit->OnKeyDown = [&](TObject*, std::uint16_t& key, TShiftState) {
        if (key != VK_CONTROL && key != VK_SHIFT) keys.push_back(key);
    };
    // The form's menu serves the control on it.
    auto* menu = new TPopupMenu(&form);
    std::vector<std::string> clicked;
    for (auto [caption, key] : {std::pair{"Save", ShortCut('S', {TShiftStateFlag::ssCtrl})},
                                std::pair{"Off", ShortCut('O', {TShiftStateFlag::ssCtrl})}}) {
        auto* item = new TMenuItem(&form);
        item->SetCaption(caption);
        item->SetShortCut(key);
        item->OnClick = [&clicked, item](TObject*) { clicked.push_back(item->Caption()); };
        menu->Items()->Add(item);
    }
    menu->Items()->Items(1)->SetEnabled(false);
    form.SetPopupMenu(menu);
    Window& w = NativeOf(form);
    edit->SetFocus();

    headless::Key(w, 'S', true);  // no Ctrl: an ordinary key
    headless::Key(w, VK_CONTROL, true);
    headless::Key(w, 'S', true);
    headless::Key(w, 'O', true);  // disabled: reaches the control
    headless::Key(w, VK_CONTROL, false);
    EXPECT_EQ(clicked, (std::vector<std::string>{"Save"}));
    EXPECT_EQ(keys, (std::vector<std::uint16_t>{'S', 'O'}));

    // Ctrl as the session knows it, without a key message for it.
    headless::SetModifierDown(ModifierKey::Control, true);
    headless::Key(w, 'S', true);
    headless::SetModifierDown(ModifierKey::Control, false);
    EXPECT_EQ(clicked.size(), 2u);

    // The form's and the application's hooks come after the menus.
    std::vector<std::string> hooks;
    form.OnShortCut = [&](TMessage& m, bool& handled) {
        hooks.push_back("form");
        handled = m.WParam == VK_F2;
    };
    Application->OnShortCut = [&](TMessage& m, bool& handled) {
        hooks.push_back("application");
        handled = m.WParam == VK_F3;
    };
    headless::Key(w, VK_F2, true);
    headless::Key(w, VK_F3, true);
    headless::Key(w, VK_F4, true);
    EXPECT_EQ(hooks,
              (std::vector<std::string>{"form", "form", "application", "form", "application"}));
    EXPECT_EQ(keys.back(), VK_F4);
    EXPECT_EQ(keys.size(), 3u);

    // Stored with the form: the items inside their menu, the reference by name.
    form.SetName("Form");
    menu->SetName("Menu");
    menu->Items()->Items(0)->SetName("SaveItem");
    menu->Items()->Items(1)->SetName("OffItem");
    RegisterClass(TWinControl::StaticClass());
    TForm copy(nullptr);
    ComponentFromText(ComponentToText(&form), &copy);
    auto* loaded = dynamic_cast<TPopupMenu*>(copy.FindComponent("Menu"));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(copy.PopupMenu(), loaded);
    ASSERT_EQ(loaded->Items()->Count(), 2);
    EXPECT_EQ(loaded->Items()->Items(0)->ShortCut(), scCtrl | 'S');
    EXPECT_FALSE(loaded->Items()->Items(1)->Enabled());

    delete menu;  // the form lets go of it, and the items go with it
    EXPECT_EQ(form.PopupMenu(), nullptr);
    EXPECT_EQ(form.FindComponent("SaveItem"), nullptr);
}

TEST_F(TheApplication, ModifierKeysOfMouseAndKeyEventsAreTheSessions) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 60, 30);
    std::vector<TFaulty*> kids;
    for (int i = 0; i < 3; ++i) {
        kids.push_back(new TFaulty(&form));
        kids[i]->SetBounds(i * 20, 0, 10, 10);
        kids[i]->SetTabStop(true);
        kids[i]->SetParent(&form);
    }
    TShiftState shift;
    kids[0]->OnMouseDown = [&](TObject*, TMouseButton, TShiftState s, int, int) { shift = s; };
    Window& w = NativeOf(form);
    headless::SetModifierDown(ModifierKey::Alt, true);
    headless::SetModifierDown(ModifierKey::Shift, true);
    headless::MouseButton(w, headless::Button::Left, true, 2, 2);
    EXPECT_EQ(shift, (TShiftState{TShiftStateFlag::ssAlt, TShiftStateFlag::ssShift,
                                  TShiftStateFlag::ssLeft}));
    headless::SetModifierDown(ModifierKey::Alt, false);
    kids[0]->SetFocus();
    headless::Key(w, VK_TAB, true);  // Shift held: backwards
    EXPECT_TRUE(kids[2]->Focused());
}

TEST(Panels, AlignedChildrenFollowTheParentAndConstraintsClamp) {
    TCustomPanel panel(nullptr);
    panel.SetColor(clRed);
    panel.SetBounds(0, 0, 100, 60);
    panel.SetBorderWidth(2);
    const auto child = [&](TAlign align, int w, int h) {
        auto* c = new TFaulty(&panel);
        c->SetBounds(0, 0, w, h);
        c->SetAlign(align);
        c->SetParent(&panel);
        return c;
    };
    TControl* client = child(alClient, 1, 1);
    TControl* top = child(alTop, 5, 10);
    TControl* left = child(alLeft, 20, 5);
    TControl* bottom = child(alBottom, 5, 8);
    EXPECT_EQ(top->BoundsRect(), (TRect{3, 3, 97, 13}));  // border 2 and a raised bevel of 1
    EXPECT_EQ(bottom->BoundsRect(), (TRect{3, 49, 97, 57}));
    EXPECT_EQ(left->BoundsRect(), (TRect{3, 13, 23, 49}));
    EXPECT_EQ(client->BoundsRect(), (TRect{23, 13, 97, 49}));

    panel.SetBounds(0, 0, 200, 100);
    EXPECT_EQ(top->BoundsRect(), (TRect{3, 3, 197, 13}));
    EXPECT_EQ(client->BoundsRect(), (TRect{23, 13, 197, 89}));
    top->SetVisible(false);
    EXPECT_EQ(left->BoundsRect(), (TRect{3, 3, 23, 89}));

    // Constraints: applied when set and on every change of size.
    left->Constraints()->SetMaxWidth(15);
    EXPECT_EQ(left->Width(), 15);
    EXPECT_EQ(client->Left(), 18);
    bottom->Constraints()->SetMinHeight(12);
    bottom->SetHeight(4);
    EXPECT_EQ(bottom->BoundsRect(), (TRect{3, 85, 197, 97}));
    left->Constraints()->SetMinWidth(30);  // above the maximum: raises it
    EXPECT_EQ(left->Constraints()->MaxWidth(), 30);
    EXPECT_EQ(left->Width(), 30);

    // The panel's own background is its colour.
    Window& w = NativeOf(panel);
    panel.Update();
    EXPECT_EQ(w.Pixels()[1 * w.Width() + 1], 0xFF0000u);
}
