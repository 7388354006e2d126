// The film-strip knob in a container, driven through the form's window with
// the virtual pointer and keys, and control templates saved from one knob
// and loaded onto another.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "controls/cDIBFadeLabel.h"
#include "controls/cDIBKnob.h"
#include "controls/cDIBPanel.h"
#include "framework/Forms.h"
#include "framework/WinApi.h"
#include "framework/WindowManager.h"
#include "objects/Streaming.h"
#include "platform/Window.h"
#include "platform/headless/HeadlessControl.h"
#include "platform/headless/HeadlessInput.h"
#include "support/ContainerFixture.h"

namespace input = tarnwick::platform::headless;
using tarnwick::platform::Window;
using tarnwick::platform::WindowFromHandle;

namespace {

constexpr int kLeast = std::numeric_limits<int>::min();
constexpr int kMost = std::numeric_limits<int>::max();

// Frame k of the strip is 8 x 8 pixels of red 10 + 20k.
void AddStrip(TDIBImageList* list, int frames) {
    TMemoryDIB* dib = list->DIBImages()->Add()->DIB();
    dib->SetSize(8 * frames, 8);
    for (int k = 0; k < frames; ++k) dib->FillRect(TColor(10 + 20 * k), 8 * k, 0, 8, 8);
}

// A knob with a second picture link, to see pictures shared between links.
class TTwinKnob : public TDIBKnob {
    TW_CLASS(TTwinKnob, TDIBKnob)
public:
    explicit TTwinKnob(TComponent* owner) : TDIBKnob(owner) { AddImageLink(IndexExtra_); }
    ~TTwinKnob() override {
        RemoveImageLink(IndexExtra_);
        delete IndexExtra_;
    }
    TDIBImageLink* IndexExtra() const { return IndexExtra_; }

private:
    TDIBImageLink* IndexExtra_ = nullptr;
};

TW_IMPLEMENT_CLASS(TTwinKnob) { b.Property("IndexExtra", &TTwinKnob::IndexExtra); }

class KnobTest : public tarnwick::test::ContainerFixture {
protected:
    void SetUp() override {
        MakeContainer(60, 40, 0, 0, 60, 40);
        list = new TDIBImageList(form.get());
        OpenWindow();
    }
    TDIBKnob* newKnob(int frames = 4) {
        if (list->DIBImages()->Count() == 0) AddStrip(list, frames);
        auto* k = new TDIBKnob(box);
        k->SetParent(box);
        k->SetDIBImageList(list);
        k->SetNumGlyphs(frames);
        k->IndexMain()->SetDIBIndex(0);
        k->SetLeft(10);
        k->SetTop(10);
        return k;
    }
    std::uint8_t shownRed(int x, int y) const {
        return (native->Pixels()[y * native->Width() + x] >> 16) & 0xFF;
    }
    void move(int x, int y) { input::MouseMove(*native, x, y); }
    void button(bool down, int x, int y) {
        input::MouseButton(*native, input::Button::Left, down, x, y);
    }
    POINT pointer() const {
        POINT p;
        GetCursorPos(&p);
        return p;
    }

    TDIBImageList* list = nullptr;
};

}  // namespace

TEST_F(KnobTest, ADragTurnsTheKnobWithThePointerHiddenWarpedBackAndShownOnce) {
    TDIBKnob* knob = newKnob();
    EXPECT_EQ(knob->BoundsRect(), (TRect{10, 10, 18, 18}));  // one frame of the strip
    knob->SetMax(39);
    knob->SetSmallChange(2);
    int changes = 0;
    knob->OnChange = [&](TObject*) { ++changes; };
    form->Update();
    EXPECT_EQ(shownRed(12, 12), 10);

    move(12, 12);
    button(true, 12, 12);
    EXPECT_EQ(input::PointerShowCount(), -1);
    move(12, 9);  // three pixels up: three steps
    EXPECT_EQ(knob->Position(), 6);
    EXPECT_EQ(pointer().x, 12);
    EXPECT_EQ(pointer().y, 12);
    move(12, 30);  // far down, outside: clamped at Min
    EXPECT_EQ(knob->Position(), 0);
    move(12, 30);  // pinned at Min: no change to report
    EXPECT_EQ(changes, 2);
    move(12, 0);
    EXPECT_EQ(knob->Position(), 24);
    form->Update();
    EXPECT_EQ(shownRed(12, 12), 50);  // frame (24 * 4) div 40 = 2
    button(false, 40, 3);
    EXPECT_EQ(input::PointerShowCount(), 0);
    EXPECT_EQ(pointer().x, 12);
    EXPECT_EQ(pointer().y, 12);
    move(12, 2);  // no button: no turn
    EXPECT_EQ(knob->Position(), 24);
    EXPECT_EQ(changes, 3);

    // Horizontal: right turns up. A capture taken away ends the drag too.
    knob->SetOrientation(TKnobOrientation::koHorizontal);
    move(12, 12);
    button(true, 12, 12);
    move(13, 4);
    EXPECT_EQ(knob->Position(), 26);
    ReleaseCapture();
    EXPECT_EQ(input::PointerShowCount(), 0);
    EXPECT_FALSE(knob->Dragging());
    button(false, 13, 4);
    EXPECT_EQ(input::PointerShowCount(), 0);

    // Keys while focused: arrows by SmallChange, pages by PageSize; a
    // handler that takes the key stops the turn.
    knob->SetDIBTabOrder(0);
    box->SetFocus();
    const auto press = [&](std::uint16_t vk) {
        input::Key(*native, vk, true);
        input::Key(*native, vk, false);
        return knob->Position();
    };
    EXPECT_EQ(press(VK_UP), 28);
    EXPECT_EQ(press(VK_RIGHT), 30);
    EXPECT_EQ(press(VK_DOWN), 28);
    EXPECT_EQ(press(VK_LEFT), 26);
    EXPECT_EQ(press(VK_PRIOR), 31);
    EXPECT_EQ(press(VK_NEXT), 26);
    knob->OnKeyDown = [](TObject*, std::uint16_t& key, TShiftState) { key = 0; };
    EXPECT_EQ(press(VK_UP), 26);
}

TEST_F(KnobTest, FramesAndStepsHoldForTheWidestRange) {
    TDIBKnob* knob = newKnob(2);
    knob->SetMax(127);
    knob->SetPosition(63);
    EXPECT_EQ(knob->GetFrameIndex(), 0);
    knob->SetPosition(64);
    EXPECT_EQ(knob->GetFrameIndex(), 1);
    knob->SetNumGlyphs(63);
    knob->SetPosition(127);
    EXPECT_EQ(knob->GetFrameIndex(), 62);
    EXPECT_THROW(knob->SetNumGlyphs(0), EDIBKnobError);

    // The whole 32-bit range: no division by zero, no wrapped steps.
    knob->SetMin(kLeast);
    knob->SetMax(kMost);
    knob->SetPosition(0);
    EXPECT_EQ(knob->GetFrameIndex(), 31);
    knob->SetPosition(kMost);
    EXPECT_EQ(knob->GetFrameIndex(), 62);
    form->Update();
    knob->SetPosition(kMost - 1);
    knob->SetDIBTabOrder(0);
    box->SetFocus();
    input::Key(*native, VK_PRIOR, true);
    EXPECT_EQ(knob->Position(), kMost);
    knob->SetPosition(kLeast + 1);
    input::Key(*native, VK_NEXT, true);
    EXPECT_EQ(knob->Position(), kLeast);
    knob->SetSmallChange(32767);
    knob->SetAutoSize(false);
    knob->SetWidth(8);  // 63 frames of a 16-pixel strip left it 0 wide
    knob->SetPosition(kMost - 5);
    move(12, 12);
    button(true, 12, 12);
    move(12, 11);
    EXPECT_EQ(knob->Position(), kMost);
    button(false, 12, 12);

    // The range can neither be empty nor wrap at the ends.
    knob->SetMax(kLeast);
    EXPECT_EQ(knob->Min(), kLeast);
    EXPECT_EQ(knob->Max(), kLeast + 1);
    knob->SetMin(kMost);
    EXPECT_EQ(knob->Max(), kMost);
    EXPECT_EQ(knob->Min(), kMost - 1);
}

namespace {

std::vector<std::uint8_t> SaveTemplateOf(TCustomDIBControl* c) {
    TMemoryStream s;
    c->SaveTemplate(s);
    return s.Bytes();
}

void LoadTemplateOnto(TCustomDIBControl* c, const std::vector<std::uint8_t>& bytes) {
    TMemoryStream s(bytes.data(), bytes.size());
    c->LoadTemplate(s);
}

std::int32_t IntAt(const std::vector<std::uint8_t>& b, std::size_t at) {
    std::int32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}

void PutAt(std::vector<std::uint8_t>& b, std::size_t at, std::int32_t v) {
    std::memcpy(&b[at], &v, 4);
}

// Where a name's bytes begin (its length comes 4 bytes before).
std::size_t Find(const std::vector<std::uint8_t>& b, const std::string& name) {
    auto it = std::search(b.begin(), b.end(), name.begin(), name.end());
    return static_cast<std::size_t>(it - b.begin());
}

}  // namespace

TEST_F(KnobTest, ATemplateCarriesPicturesAndPropertiesOntoAnotherKnob) {
    TDIBKnob* from = newKnob();
    list->DIBImages()->Items(0)->SetDisplayName("Dial");
    from->SetMin(-5);
    from->SetMax(50);
    from->SetPosition(7);
    from->SetOpacity(200);
    from->SetDrawTweens(true);
    from->SetOrientation(TKnobOrientation::koHorizontal);
    const std::vector<std::uint8_t> bytes = SaveTemplateOf(from);
    EXPECT_EQ(IntAt(bytes, 16), 1);  // pictures
    EXPECT_EQ(IntAt(bytes, 20), 1);  // links

    TForm other(nullptr);
    auto* otherBox = new TDIBContainer(&other);
    auto* otherList = new TDIBImageList(&other);
    AddStrip(otherList, 1);  // something already there stays
    auto* to = new TDIBKnob(otherBox);
    to->SetDIBImageList(otherList);
    LoadTemplateOnto(to, bytes);
    ASSERT_EQ(otherList->DIBImages()->Count(), 2);
    TDIBImagesItem* item = otherList->DIBImages()->Items(1);
    GUID id;
    std::memcpy(&id, bytes.data(), 16);
    EXPECT_EQ(item->TemplateFilename(), tarnwick::GuidToString(id) + ":0");
    EXPECT_EQ(item->DisplayName(), "Dial");
    EXPECT_EQ(item->DIB()->Width(), 32);
    EXPECT_EQ(item->DIB()->ScanLine(0)[8].Red, 30);
    EXPECT_EQ(to->IndexMain()->DIBIndex(), 1);
    EXPECT_EQ(to->Min(), -5);
    EXPECT_EQ(to->Max(), 50);
    EXPECT_EQ(to->Position(), 7);
    EXPECT_EQ(to->NumGlyphs(), 4);
    EXPECT_EQ(to->Opacity(), 200);
    EXPECT_TRUE(to->DrawTweens());
    EXPECT_EQ(to->Orientation(), TKnobOrientation::koHorizontal);
    EXPECT_EQ(to->Width(), 8);    // sized from the loaded strip
    LoadTemplateOnto(to, bytes);  // the same template again adds nothing
    EXPECT_EQ(otherList->DIBImages()->Count(), 2);

    // Two links on one picture store it once; a link without a picture is
    // not stored.
    auto* twin = new TTwinKnob(box);
    twin->SetDIBImageList(list);
    twin->IndexMain()->SetDIBIndex(0);
    twin->IndexExtra()->SetDIBIndex(0);
    std::vector<std::uint8_t> shared = SaveTemplateOf(twin);
    EXPECT_EQ(IntAt(shared, 16), 1);
    EXPECT_EQ(IntAt(shared, 20), 2);
    auto* twinTo = new TTwinKnob(otherBox);
    twinTo->SetDIBImageList(otherList);
    LoadTemplateOnto(twinTo, shared);
    EXPECT_EQ(otherList->DIBImages()->Count(), 3);
    EXPECT_EQ(twinTo->IndexMain()->DIBIndex(), 2);
    EXPECT_EQ(twinTo->IndexExtra()->DIBIndex(), 2);
    twin->IndexExtra()->SetDIBIndex(-1);
    EXPECT_EQ(IntAt(SaveTemplateOf(twin), 20), 1);

    // No pictures: loads without an image list; unknown entries are skipped.
    twin->IndexMain()->SetDIBIndex(7);
    shared = SaveTemplateOf(twin);
    EXPECT_EQ(IntAt(shared, 16), 0);
    const std::size_t at = Find(shared, "Opacity");
    shared[at] = 'X';  // "Xpacity": a property no knob has
    auto* bare = new TDIBKnob(otherBox);
    bare->SetOpacity(9);
    LoadTemplateOnto(bare, shared);
    EXPECT_EQ(bare->Opacity(), 9);
    EXPECT_EQ(bare->Position(), twin->Position());
}

TEST_F(KnobTest, MalformedTemplatesAreRefusedWithoutChangingAnything) {
    TDIBKnob* from = newKnob();
    const std::vector<std::uint8_t> good = SaveTemplateOf(from);
    const std::size_t nameAt = Find(good, "IndexMain");
    const std::size_t numberAt = nameAt + 9 + 4 + IntAt(good, nameAt + 9);
    const std::size_t positionAt = Find(good, "Position") + 8;  // its size

    TForm other(nullptr);
    auto* otherBox = new TDIBContainer(&other);
    auto* otherList = new TDIBImageList(&other);
    auto* to = new TDIBKnob(otherBox);
    to->SetDIBImageList(otherList);
    to->SetPosition(3);
    const auto refused = [&](std::vector<std::uint8_t> bytes, const char* text) {
        try {
            LoadTemplateOnto(to, bytes);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const EDIBControlError& e) {
            EXPECT_NE(std::string(e.what()).find(text), std::string::npos) << e.what();
        }
        EXPECT_EQ(otherList->DIBImages()->Count(), 0) << text;
        EXPECT_EQ(to->Position(), 3) << text;
    };
    std::vector<std::uint8_t> b = good;
    PutAt(b, 20, 0x7FFFFFFF);
    refused(b, "link count exceeds");
    b = good;
    PutAt(b, 16, -1);
    refused(b, "picture count exceeds");
    b = good;
    PutAt(b, nameAt - 4, 0x7FFFFFF0);
    refused(b, "link name is longer");
    b = good;
    PutAt(b, numberAt, 1);
    refused(b, "names picture 1 of 1");
    b = good;
    PutAt(b, positionAt, 10);
    refused(b, "entry for Position does not fit");
    b = good;
    PutAt(b, positionAt, 0x40000000);
    refused(b, "property entry is longer");
    b.assign(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(positionAt) + 2);
    refused(b, "property entry runs past the end");
    b = good;
    const std::string opacity("\x07\0\0\0Opacity", 11);  // the entry, not the picture's
    PutAt(b, Find(good, opacity) + 15, 256);             // 8 bits unsigned
    refused(b, "value for Opacity is out of range");
    for (std::size_t n = 0; n < good.size(); n += 7) {
        b.assign(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_THROW(LoadTemplateOnto(to, b), Exception) << n;
    }
    EXPECT_EQ(otherList->DIBImages()->Count(), 0);
}

namespace {

// A fade label whose templates carry its frame timing (unsigned 8 and 32
// bits), and a control with the other ordinal widths.
class TTimedFadeLabel : public TDIBFadeLabel {
    TW_CLASS(TTimedFadeLabel, TDIBFadeLabel)
public:
    explicit TTimedFadeLabel(TComponent* owner) : TDIBFadeLabel(owner) {
        AddTemplateProperty("FrameCount");
        AddTemplateProperty("FrameDelay");
    }
};

TW_IMPLEMENT_CLASS(TTimedFadeLabel) {}

class TOrdinalsControl : public TCustomDIBControl {
    TW_CLASS(TOrdinalsControl, TCustomDIBControl)
public:
    explicit TOrdinalsControl(TComponent* owner) : TCustomDIBControl(owner) {
        for (const char* name : {"Small", "Wide", "Huge"}) AddTemplateProperty(name);
    }
    std::int8_t Small_ = 0;
    std::int64_t Wide_ = 0;
    std::uint64_t Huge_ = 0;
};

TW_IMPLEMENT_CLASS(TOrdinalsControl) {
    b.Property("Small", &TOrdinalsControl::Small_);
    b.Property("Wide", &TOrdinalsControl::Wide_);
    b.Property("Huge", &TOrdinalsControl::Huge_);
}

}  // namespace

TEST_F(KnobTest, TemplatesLoadBackEveryOrdinalTheyStoreAndRefuseToCutWiderOnes) {
    auto* from = new TTimedFadeLabel(box);
    auto* to = new TTimedFadeLabel(box);
    from->SetFrameCount(255);
    for (std::uint32_t delay : {0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        from->SetFrameDelay(delay);
        LoadTemplateOnto(to, SaveTemplateOf(from));
        EXPECT_EQ(to->FrameDelay(), delay);
        EXPECT_EQ(to->FrameCount(), 255);
    }

    auto* ordinals = new TOrdinalsControl(box);
    auto* back = new TOrdinalsControl(box);
    ordinals->Small_ = -128;
    ordinals->Wide_ = std::numeric_limits<std::int32_t>::min();
    ordinals->Huge_ = 0xFFFFFFFFu;
    LoadTemplateOnto(back, SaveTemplateOf(ordinals));
    EXPECT_EQ(back->Small_, -128);
    EXPECT_EQ(back->Wide_, ordinals->Wide_);
    EXPECT_EQ(back->Huge_, 0xFFFFFFFFu);
    // A value the 32 bits of an entry cannot hold is refused, not cut.
    ordinals->Wide_ = std::int64_t(std::numeric_limits<std::int32_t>::min()) - 1;
    EXPECT_THROW(SaveTemplateOf(ordinals), EDIBControlError);
    ordinals->Wide_ = 0;
    ordinals->Huge_ = std::uint64_t(1) << 32;
    EXPECT_THROW(SaveTemplateOf(ordinals), EDIBControlError);
}

TEST_F(KnobTest, AnImageListFreedFirstWhileTheFormIsDestroyedIsForgotten) {
    TDIBKnob* knob = newKnob();
    // The form frees its components last first, and marks them all as
    // destroying before: the list goes while the knob already is.
    form->Destroying();
    delete list;
    EXPECT_EQ(knob->DIBImageList(), nullptr);
}

TEST_F(KnobTest, TheWheelTurnsByStepsAsOneGestureShiftDragsFineAndADoubleClickIsNoDrag) {
    TDIBKnob* knob = newKnob();
    knob->SetMax(99);
    knob->SetSmallChange(4);
    knob->SetPosition(40);
    int gestureEnds = 0, doubleClicks = 0;
    knob->SetWindowProc([&, inner = knob->WindowProc()](TMessage& m) {
        inner(m);
        gestureEnds += m.Msg == CM_WHEELGESTUREEND;
    });
    knob->OnDblClick = [&](TObject*) { ++doubleClicks; };
    const auto wheel = [&](int delta) {
        input::Wheel(*native, delta, 12, 12);
        return knob->Position();
    };

    // A notch is a step (away from the user up); several at once are as
    // many; a finer wheel's part-notches add up; Shift makes a step finer.
    move(12, 12);
    EXPECT_EQ(wheel(120), 44);
    EXPECT_TRUE(knob->WheelGesture());
    EXPECT_EQ(wheel(-240), 36);
    EXPECT_EQ(wheel(60), 36);
    EXPECT_EQ(wheel(60), 40);
    tarnwick::platform::headless::SetModifierDown(tarnwick::platform::ModifierKey::Shift, true);
    EXPECT_EQ(wheel(-120), 39);
    tarnwick::platform::headless::SetModifierDown(tarnwick::platform::ModifierKey::Shift, false);
    // One gesture, ended a while after its last notch.
    tarnwick::platform::headless::AdvanceTime(TCustomDIBControl::kWheelGestureMs - 50);
    EXPECT_TRUE(knob->WheelGesture());
    tarnwick::platform::headless::AdvanceTime(100);
    EXPECT_FALSE(knob->WheelGesture());
    EXPECT_EQ(gestureEnds, 1);
    // Or when the pointer leaves; nothing else turns a control it is not over.
    EXPECT_EQ(wheel(120), 43);
    move(50, 35);
    EXPECT_FALSE(knob->WheelGesture());
    EXPECT_EQ(gestureEnds, 2);
    input::Wheel(*native, 120, 50, 35);
    EXPECT_EQ(knob->Position(), 43);

    // Shift drags at a quarter of the speed, the pixels short of a step
    // kept: 3 + 3 + 3 pixels are two steps, 3 more make three.
    knob->SetSmallChange(1);
    move(12, 12);
    button(true, 12, 12);
    tarnwick::platform::headless::SetModifierDown(tarnwick::platform::ModifierKey::Shift, true);
    for (int i = 0; i < 3; ++i) move(12, 9);
    EXPECT_EQ(knob->Position(), 45);
    move(12, 9);
    EXPECT_EQ(knob->Position(), 46);
    EXPECT_EQ(pointer().y, 12) << "the pointer is held in place as in a plain drag";
    tarnwick::platform::headless::SetModifierDown(tarnwick::platform::ModifierKey::Shift, false);
    move(12, 10);
    EXPECT_EQ(knob->Position(), 48);
    button(false, 12, 12);

    // A double click: the first press drags (nothing moves), the second is
    // the double click's, with no drag and the pointer shown.
    input::DoubleClick(*native, 12, 12);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_FALSE(knob->Dragging());
    EXPECT_EQ(knob->Position(), 48);
    EXPECT_EQ(input::PointerShowCount(), 0);
    move(12, 2);
    EXPECT_EQ(knob->Position(), 48);
}
