// Forms driven through their native window: painting of the window tree,
// mouse routing with capture and hot tracking, focus and Tab.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/Forms.h"
#include "framework/WindowManager.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessInput.h"

namespace input = tarnwick::platform::headless;
using tarnwick::platform::Window;
using tarnwick::platform::WindowFromHandle;

namespace {

std::vector<std::string> journal;

// A windowed control that paints its client area in one colour.
class TSolid : public TWinControl {
public:
    TSolid(TComponent* owner, std::uint32_t colour, std::string name)
        : TWinControl(owner), colour_(colour), name_(std::move(name)) {}

protected:
    void PaintWindow(HDC dc) override {
        journal.push_back("paint " + name_);
        for (int y = 0; y < Height(); ++y)
            for (int x = 0; x < Width(); ++x)
                SetPixel(dc, x, y, RGB(BYTE(colour_ >> 16), BYTE(colour_ >> 8), BYTE(colour_)));
    }

private:
    std::uint32_t colour_;
    std::string name_;
};

// A windowless control that writes down the mouse messages it gets.
class TMouseProbe : public TControl {
public:
    TMouseProbe(TComponent* owner, std::string name) : TControl(owner), name_(std::move(name)) {
        OnClick = [this](TObject*) { journal.push_back(name_ + " click"); };
    }
    bool hit = true;

protected:
    void WndProc(TMessage& m) override {
        switch (m.Msg) {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_MOUSEMOVE:
                journal.push_back(name_ +
                                  (m.Msg == WM_LBUTTONDOWN ? " down "
                                   : m.Msg == WM_LBUTTONUP ? " up "
                                                           : " move ") +
                                  std::to_string(MouseX(m.LParam)) + "," +
                                  std::to_string(MouseY(m.LParam)));
                break;
            case CM_MOUSEENTER: journal.push_back(name_ + " enter"); break;
            case CM_MOUSELEAVE: journal.push_back(name_ + " leave"); break;
            case CM_HITTEST: m.Result = hit ? 1 : 0; return;
        }
        TControl::WndProc(m);
    }

private:
    std::string name_;
};

Window& NativeOf(TWinControl& c) {
    return *WindowFromHandle(reinterpret_cast<std::uintptr_t>(c.Handle()));
}

using Log = std::vector<std::string>;

}  // namespace

TEST(WindowTree, PaintsParentsFirstClipsChildrenAndRepaintsWhatAMoveUncovers) {
    TSolid form(nullptr, 0xFF0000, "form");
    form.SetBounds(0, 0, 60, 40);
    auto* child = new TSolid(&form, 0x00FF00, "child");
    child->SetBounds(10, 10, 20, 10);
    child->SetParent(&form);
    auto* over = new TSolid(&form, 0x0000FF, "over");  // above child, overlapping it
    over->SetBounds(25, 15, 10, 10);
    over->SetParent(&form);
    Window& w = NativeOf(form);
    journal.clear();
    form.Update();
    EXPECT_EQ(journal, (Log{"paint form", "paint child", "paint over"}));
    const auto px = [&](int x, int y) { return w.Pixels()[y * w.Width() + x]; };
    EXPECT_EQ(px(5, 5), 0xFF0000u);
    EXPECT_EQ(px(12, 12), 0x00FF00u);
    EXPECT_EQ(px(27, 17), 0x0000FFu);  // the sibling above wins where they overlap
    EXPECT_EQ(px(32, 22), 0x0000FFu);

    // A child's own repaint stays out of the sibling above it.
    journal.clear();
    child->Invalidate();
    form.Update();
    EXPECT_EQ(journal, (Log{"paint child"}));
    EXPECT_EQ(px(27, 17), 0x0000FFu);

    // Moving: the parent repaints where the child was, the child where it is.
    journal.clear();
    child->SetBounds(40, 25, 20, 10);
    PAINTSTRUCT ps;
    ASSERT_NE(BeginPaint(form.Handle(), &ps), nullptr);
    EXPECT_EQ(ps.rcPaint.left, 10);  // the box around both places
    EXPECT_EQ(ps.rcPaint.bottom, 35);
    EXPECT_EQ(BeginPaint(form.Handle(), &ps), nullptr);  // no paint inside a paint
    EndPaint(form.Handle(), &ps);
    form.Invalidate();
    form.Update();
    EXPECT_EQ(px(12, 12), 0xFF0000u);
    EXPECT_EQ(px(45, 30), 0x00FF00u);

    // Hiding uncovers; the hidden child is not painted.
    journal.clear();
    over->SetVisible(false);
    form.Update();
    EXPECT_EQ(journal, (Log{"paint form"}));
    EXPECT_EQ(px(27, 17), 0xFF0000u);
}

TEST(WindowTree, MouseGoesToTheChildUnderThePointerAndStaysWithTheCaptureHolder) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 100, 50);
    auto* a = new TMouseProbe(&form, "a");
    a->SetBounds(10, 10, 20, 20);
    a->SetParent(&form);
    auto* b = new TMouseProbe(&form, "b");
    b->SetBounds(40, 10, 20, 20);
    b->SetParent(&form);
    auto* ghost = new TMouseProbe(&form, "ghost");  // on top of b, but not hit there
    ghost->SetBounds(40, 10, 20, 20);
    ghost->SetParent(&form);
    ghost->hit = false;
    Window& w = NativeOf(form);

    journal.clear();
    input::MouseMove(w, 15, 15);
    input::MouseButton(w, input::Button::Left, true, 15, 15);
    EXPECT_TRUE(a->MouseCapture());
    input::MouseMove(w, 45, 12);  // over b while a holds the capture
    input::MouseButton(w, input::Button::Left, false, 45, 12);
    EXPECT_FALSE(a->MouseCapture());
    EXPECT_EQ(journal, (Log{"a move 5,5", "a enter", "a down 5,5", "a move 35,2", "a leave",
                            "b enter", "a up 35,2"}));

    // A release inside is a click; a disabled control is passed over.
    journal.clear();
    input::Click(w, 45, 12);
    EXPECT_EQ(journal, (Log{"b down 5,2", "b up 5,2", "b click"}));  // logged on arrival
    b->SetEnabled(false);
    journal.clear();
    input::MouseMove(w, 46, 12);
    EXPECT_EQ(journal, (Log{"b leave"}));
    EXPECT_EQ(form.ControlAtPos({46, 12}, false), nullptr);
    EXPECT_EQ(form.ControlAtPos({46, 12}, true), b);
}

TEST(WindowTree, TabMovesTheFocusThroughFocusableChildrenInTabOrder) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 100, 50);
    std::vector<TSolid*> kids;
    for (int i = 0; i < 4; ++i) {
        kids.push_back(new TSolid(&form, 0, "k" + std::to_string(i)));
        kids[i]->SetBounds(i * 20, 0, 10, 10);
        kids[i]->SetTabStop(true);
        kids[i]->SetParent(&form);
    }
    kids[2]->SetEnabled(false);
    kids[3]->SetTabOrder(0);  // order: k3 k0 k1 k2
    Window& w = NativeOf(form);
    std::vector<std::string> keys;
    for (TSolid* k : kids)
        k->OnKeyDown = [&keys, k](TObject*, std::uint16_t& key, TShiftState) {
            keys.push_back(std::to_string(key) + "@" + std::to_string(k->Left()));
        };

    kids[3]->SetFocus();
    EXPECT_EQ(form.ActiveControl(), kids[3]);
    input::Key(w, VK_TAB, true);
    EXPECT_TRUE(kids[0]->Focused());
    input::Key(w, VK_TAB, true);
    input::Key(w, VK_TAB, true);  // k2 is disabled: round to k3
    EXPECT_TRUE(kids[3]->Focused());
    input::Key(w, VK_SHIFT, true);
    input::Key(w, VK_TAB, true);
    input::Key(w, VK_SHIFT, false);
    EXPECT_TRUE(kids[1]->Focused());
    EXPECT_EQ(form.ActiveControl(), kids[1]);
    // Tab was the form's; other keys reach the focused control.
    EXPECT_EQ(keys, (std::vector<std::string>{"16@60"}));  // Shift, pressed on k3
    input::Key(w, 'A', true);
    EXPECT_EQ(keys.back(), "65@20");
}
