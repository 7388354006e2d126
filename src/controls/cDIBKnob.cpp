#include "controls/cDIBKnob.h"

#include <algorithm>

#include "framework/Messages.h"
#include "framework/WinApi.h"

TW_IMPLEMENT_CLASS(TCustomDIBKnob) {}

TW_IMPLEMENT_CLASS(TDIBKnob) {
    b.Property("Align", &TDIBKnob::Align, &TDIBKnob::SetAlign).Default(alNone);
    b.Property("Anchors", &TDIBKnob::Anchors, &TDIBKnob::SetAnchors)
        .Default(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop});
    b.Property("AutoSize", &TDIBKnob::AutoSize, &TDIBKnob::SetAutoSize).Default(true);
    b.Property("DrawTweens", &TDIBKnob::DrawTweens, &TDIBKnob::SetDrawTweens).Default(false);
    b.Property("IndexMain", &TDIBKnob::IndexMain);
    b.Property("LoopLastFrame", &TDIBKnob::LoopLastFrame, &TDIBKnob::SetLoopLastFrame)
        .Default(false);
    // No defaults: forms always store the range, the position and the steps.
    b.Property("Max", &TDIBKnob::Max, &TDIBKnob::SetMax);
    b.Property("Min", &TDIBKnob::Min, &TDIBKnob::SetMin);
    b.Property("NumGlyphs", &TDIBKnob::NumGlyphs, &TDIBKnob::SetNumGlyphs).Default(1);
    b.Property("Orientation", &TDIBKnob::Orientation, &TDIBKnob::SetOrientation)
        .Default(TKnobOrientation::koVertical);
    b.Property("PageSize", &TDIBKnob::PageSize, &TDIBKnob::SetPageSize);
    b.Property("Position", &TDIBKnob::Position, &TDIBKnob::SetPosition);
    b.Property("SmallChange", &TDIBKnob::SmallChange, &TDIBKnob::SetSmallChange);
    b.Property("OnChange", &TDIBKnob::OnChange);
    b.Property("OnContextPopup", &TDIBKnob::OnContextPopup);
    PublishHintsAndDragging(b, "OnstartDrag");
}

static const bool kRegistered = (RegisterClasses({TDIBKnob::StaticClass()}), true);

TCustomDIBKnob::TCustomDIBKnob(TComponent* Owner) : TCustomDIBControl(Owner) {
    AddImageLink(IndexMain_);
}

TCustomDIBKnob::~TCustomDIBKnob() {
    Destroying();
    CaptureLost();
    RemoveImageLink(IndexMain_);
    delete IndexMain_;
}

TDIBKnob::TDIBKnob(TComponent* Owner) : TCustomDIBKnob(Owner) {
    for (const char* name : {"AutoSize", "DrawTweens", "LoopLastFrame", "Min", "Max", "NumGlyphs",
                             "Opacity", "Orientation", "PageSize", "Position", "SmallChange"})
        AddTemplateProperty(name);
}

void TCustomDIBKnob::SetPosition(int Value) {
    Value = std::clamp(Value, Min_, Max_);
    if (Value != Position_) {
        Position_ = Value;
        OnChange(this);
    }
    Invalidate();
}

void TCustomDIBKnob::SetMax(int Value) {
    tarnwick::controls::SetRangeMax(*this, Max_, Value);
    Invalidate();
}

void TCustomDIBKnob::SetMin(int Value) {
    tarnwick::controls::SetRangeMin(*this, Min_, Value);
    Invalidate();
}

void TCustomDIBKnob::SetSmallChange(TKnobInc Value) { SmallChange_ = std::max<TKnobInc>(Value, 1); }

void TCustomDIBKnob::SetPageSize(TKnobInc Value) { PageSize_ = std::max<TKnobInc>(Value, 1); }

void TCustomDIBKnob::SetNumGlyphs(int Value) {
    if (Value <= 0) throw EDIBKnobError("NumGlyphs must be greater than 0.");
    NumGlyphs_ = Value;
    AdjustSize();
    Invalidate();
}

void TCustomDIBKnob::SetDrawTweens(bool Value) {
    DrawTweens_ = Value;
    Invalidate();
}

void TCustomDIBKnob::SetLoopLastFrame(bool Value) {
    LoopLastFrame_ = Value;
    Invalidate();
}

void TCustomDIBKnob::SetAutoSize(bool Value) {
    AutoSize_ = Value;
    AdjustSize();
}

void TCustomDIBKnob::AdjustSize() {
    if (!AutoSize_) return;
    int w = Width(), h = Height();
    if (CanAutoSize(w, h)) SetBounds(Left(), Top(), w, h);
}

bool TCustomDIBKnob::CanAutoSize(int& NewWidth, int& NewHeight) {
    TMemoryDIB* picture = nullptr;
    if (IndexMain_->GetImage(picture)) {
        NewWidth = picture->Width() / NumGlyphs_;
        NewHeight = picture->Height();
    }
    return true;
}

void TCustomDIBKnob::Loaded() {
    TCustomDIBControl::Loaded();
    AdjustSize();
}

void TCustomDIBKnob::LinkedImageChanged(int, bool) { AdjustSize(); }

// Wide ranges (Min near the least integer, Max near the greatest) overflow
// 32 bits in both the product and the range; 64 bits hold them, and the
// quotient is a frame number again.
int TCustomDIBKnob::GetFrameIndex() {
    const std::int64_t range = std::int64_t(Max_) - Min_ + 1;
    return static_cast<int>((std::int64_t(Position_) - Min_) * NumGlyphs_ / range);
}

void TCustomDIBKnob::Paint() {
    TCustomDIBControl::Paint();
    TMemoryDIB* picture = nullptr;
    if (!Surface() || !IndexMain_->GetImage(picture)) return;
    if (DrawTweens_)
        DrawGlyphTween(picture, 0, 0, NumGlyphs_, Surface(), Min_, Max_, Position_, LoopLastFrame_);
    else
        DrawGlyph(picture, 0, 0, GetFrameIndex(), NumGlyphs_, Surface());
}

void TCustomDIBKnob::MoveBy(std::int64_t Steps, std::int64_t Step) {
    const std::int64_t target = std::int64_t(Position_) + Steps * Step;
    SetPosition(static_cast<int>(std::clamp<std::int64_t>(target, Min_, Max_)));
}

// ---- dragging ----------------------------------------------------------------------

void TCustomDIBKnob::StartDragging() {
    dragging_ = true;
    dragRest_ = 0;
    POINT p{0, 0};
    GetCursorPos(&p);
    dragOrigin_ = {p.x, p.y};
    HidePointer();
}

void TCustomDIBKnob::StopDragging() {
    dragging_ = false;
    SetCursorPos(dragOrigin_.X, dragOrigin_.Y);
    ShowPointer();
}

void TCustomDIBKnob::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomDIBControl::MouseDown(Button, Shift, X, Y);
    // The second press of a double click is the double click's, not a drag's.
    if (Button == mbLeft && !Shift.Contains(TShiftStateFlag::ssDouble)) StartDragging();
}

void TCustomDIBKnob::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomDIBControl::MouseMove(Shift, X, Y);
    if (!dragging_) return;
    // Only the held left button turns the knob; without it the drag is over.
    if (!Shift.Contains(TShiftStateFlag::ssLeft)) {
        StopDragging();
        return;
    }
    POINT p{0, 0};
    GetCursorPos(&p);
    // Up and right turn the knob up.
    const std::int64_t d = Orientation_ == TKnobOrientation::koHorizontal
                               ? std::int64_t(p.x) - dragOrigin_.X
                               : std::int64_t(dragOrigin_.Y) - p.y;
    if (d == 0) return;
    // A step every DragScale hundredths of a pixel (a pixel at 100 %), or
    // kFineDivisor times as many with Shift; the part short of a step is
    // kept for the next move.
    const bool fine = Shift.Contains(TShiftStateFlag::ssShift);
    if (fine != restFine_) dragRest_ = 0;
    restFine_ = fine;
    const std::int64_t perStep = std::int64_t(dragScale_) * (fine ? kFineDivisor : 1);
    dragRest_ += d * 100;
    const std::int64_t steps = dragRest_ / perStep;
    dragRest_ -= steps * perStep;
    if (steps != 0) MoveBy(steps, SmallChange_);
    SetCursorPos(dragOrigin_.X, dragOrigin_.Y);
}

void TCustomDIBKnob::MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) {
    TCustomDIBControl::MouseWheel(Shift, WheelDelta, X, Y);
    const int notches = TakeWheelNotches(WheelDelta);
    if (notches == 0) return;
    WheelNotched();
    // Away from the user turns the knob up, a step a notch; with Shift a
    // finer one where the step has one.
    const TKnobInc step = Shift.Contains(TShiftStateFlag::ssShift)
                              ? static_cast<TKnobInc>(std::max(1, SmallChange_ / kFineDivisor))
                              : SmallChange_;
    MoveBy(notches, step);
}

void TCustomDIBKnob::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomDIBControl::MouseUp(Button, Shift, X, Y);
    if (Button == mbLeft && dragging_) StopDragging();
}

// Releasing the button ends the capture before the button-up arrives, and a
// capture taken away ends the drag without one: either way the pointer goes
// back to where the drag began and shows again, once.
void TCustomDIBKnob::CaptureLost() {
    if (dragging_) StopDragging();
    TCustomDIBControl::CaptureLost();
}

void TCustomDIBKnob::KeyDown(std::uint16_t& Key, TShiftState Shift) {
    TCustomDIBControl::KeyDown(Key, Shift);
    switch (Key) {
        case VK_PRIOR: MoveBy(1, PageSize_); break;
        case VK_NEXT: MoveBy(-1, PageSize_); break;
        case VK_UP:
        case VK_RIGHT: MoveBy(1, SmallChange_); break;
        case VK_DOWN:
        case VK_LEFT: MoveBy(-1, SmallChange_); break;
        default: break;
    }
}
