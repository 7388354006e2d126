#include "controls/cDIBSlider.h"

#include <algorithm>
#include <climits>
#include <utility>

#include "framework/Messages.h"
#include "gdi/Gdi.h"

static const bool kRegistered = (RegisterClasses({TDIBSlider::StaticClass()}), true);

namespace {

// The platform's point test: right and bottom edges are outside.
bool Inside(const TRect& R, int X, int Y) {
    const RECT r{R.Left, R.Top, R.Right, R.Bottom};
    return PtInRect(&r, POINT{X, Y}) != FALSE;
}

// Lengths of an inclusive rectangle.
std::int64_t Across(const TRect& R) { return std::int64_t(R.Right) - R.Left + 1; }
std::int64_t Down(const TRect& R) { return std::int64_t(R.Bottom) - R.Top + 1; }

int ClampToInt(std::int64_t V) { return int(std::clamp<std::int64_t>(V, INT_MIN, INT_MAX)); }

TSliderInc Step(TSliderInc Value) { return std::max<TSliderInc>(Value, 1); }

}  // namespace

TW_IMPLEMENT_CLASS(TCustomDIBSlider) {}

TW_IMPLEMENT_CLASS(TDIBSlider) {
    b.Property("Align", &TDIBSlider::Align, &TDIBSlider::SetAlign).Default(alNone);
    b.Property("Anchors", &TDIBSlider::Anchors, &TDIBSlider::SetAnchors)
        .Default(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop});
    // Construction sets AutoSize, yet False is the streaming default: a
    // slider stored without it loads with AutoSize on.
    b.Property("AutoSize", &TDIBSlider::AutoSize, &TDIBSlider::SetAutoSize).Default(false);
    b.Property("Constraints", &TDIBSlider::Constraints);
    b.Property("IndexEnd1", &TDIBSlider::IndexEnd1);
    b.Property("IndexEnd2", &TDIBSlider::IndexEnd2);
    b.Property("IndexMain", &TDIBSlider::IndexMain);
    b.Property("IndexOverlay", &TDIBSlider::IndexOverlay);
    b.Property("IndexPointer", &TDIBSlider::IndexPointer);
    // Without defaults: always stored.
    b.Property("LargeChange", &TDIBSlider::LargeChange, &TDIBSlider::SetLargeChange);
    b.Property("Max", &TDIBSlider::Max, &TDIBSlider::SetMax);
    b.Property("Min", &TDIBSlider::Min, &TDIBSlider::SetMin);
    b.Property("OverlayBorderX", &TDIBSlider::OverlayBorderX, &TDIBSlider::SetOverlayBorderX)
        .Default(0);
    b.Property("OverlayBorderY", &TDIBSlider::OverlayBorderY, &TDIBSlider::SetOverlayBorderY)
        .Default(0);
    b.Property("OverlayOpacity", &TDIBSlider::OverlayOpacity, &TDIBSlider::SetOverlayOpacity)
        .Default(64);
    b.Property("PageSize", &TDIBSlider::PageSize, &TDIBSlider::SetPageSize);
    b.Property("PointerOffset", &TDIBSlider::PointerOffset, &TDIBSlider::SetPointerOffset);
    b.Property("PointerOpacityHigh", &TDIBSlider::PointerOpacityHigh,
               &TDIBSlider::SetPointerOpacityHigh)
        .Default(255);
    b.Property("PointerOpacityLow", &TDIBSlider::PointerOpacityLow,
               &TDIBSlider::SetPointerOpacityLow)
        .Default(196);
    b.Property("Position", &TDIBSlider::Position, &TDIBSlider::SetPosition);
    b.Property("SliderType", &TDIBSlider::SliderType, &TDIBSlider::SetSliderType);
    b.Property("SmallChange", &TDIBSlider::SmallChange, &TDIBSlider::SetSmallChange);
    b.Property("StretchBackground", &TDIBSlider::StretchBackground,
               &TDIBSlider::SetStretchBackground);
    b.Property("OnChange", &TDIBSlider::OnChange);
    b.Property("OnContextPopup", &TDIBSlider::OnContextPopup);
    PublishHintsAndDragging(b);
}

TCustomDIBSlider::TCustomDIBSlider(TComponent* Owner) : TCustomDIBControl(Owner) {
    AddImageLink(IndexEnd1_);
    AddImageLink(IndexEnd2_);
    AddImageLink(IndexMain_);
    AddImageLink(IndexOverlay_);
    AddImageLink(IndexPointer_);
    SetAutoRepeat(true);
    // Only TDIBSlider publishes these; the names are checked on first use.
    for (const char* name :
         {"AutoSize", "LargeChange", "Min", "Max", "Opacity", "OverlayBorderX", "OverlayBorderY",
          "OverlayOpacity", "PageSize", "PointerOffset", "PointerOpacityHigh", "PointerOpacityLow",
          "Position", "SliderType", "SmallChange", "StretchBackground"})
        AddTemplateProperty(name);
}

TCustomDIBSlider::~TCustomDIBSlider() {
    Destroying();
    for (TDIBImageLink* link : {IndexEnd1_, IndexEnd2_, IndexMain_, IndexOverlay_, IndexPointer_}) {
        RemoveImageLink(link);
        delete link;
    }
}

// ---- properties --------------------------------------------------------------------

void TCustomDIBSlider::SetPosition(int Value) {
    Position_ = std::clamp(Value, Min_, Max_);
    Relayout();
    Invalidate();
    DoChange();
}

void TCustomDIBSlider::SetMax(int Value) { tarnwick::controls::SetRangeMax(*this, Max_, Value); }

void TCustomDIBSlider::SetMin(int Value) { tarnwick::controls::SetRangeMin(*this, Min_, Value); }

void TCustomDIBSlider::SetSmallChange(TSliderInc Value) { SmallChange_ = Step(Value); }
void TCustomDIBSlider::SetLargeChange(TSliderInc Value) { LargeChange_ = Step(Value); }
void TCustomDIBSlider::SetPageSize(TSliderInc Value) { PageSize_ = Step(Value); }

void TCustomDIBSlider::SetSliderType(TSliderType Value) {
    SliderType_ = Value;
    LayoutChanged();
}

void TCustomDIBSlider::SetOverlayBorderX(std::uint8_t Value) {
    OverlayBorderX_ = Value;
    LayoutChanged();
}

void TCustomDIBSlider::SetOverlayBorderY(std::uint8_t Value) {
    OverlayBorderY_ = Value;
    LayoutChanged();
}

void TCustomDIBSlider::SetPointerOffset(int Value) {
    PointerOffset_ = Value;
    LayoutChanged();
}

void TCustomDIBSlider::SetOverlayOpacity(std::uint8_t Value) {
    OverlayOpacity_ = Value;
    Invalidate();
}

void TCustomDIBSlider::SetPointerOpacityHigh(std::uint8_t Value) {
    PointerOpacityHigh_ = Value;
    Invalidate();
}

void TCustomDIBSlider::SetPointerOpacityLow(std::uint8_t Value) {
    PointerOpacityLow_ = Value;
    Invalidate();
}

void TCustomDIBSlider::SetStretchBackground(bool Value) {
    StretchBackground_ = Value;
    Invalidate();
}

void TCustomDIBSlider::SetAutoSize(bool Value) {
    AutoSize_ = Value;
    if (AutoSize_) AdjustSize();
}

void TCustomDIBSlider::DoChange() {
    if (Position_ != lastReported_) OnChange(this);
    lastReported_ = Position_;
}

// ---- layout ------------------------------------------------------------------------

int TCustomDIBSlider::Travel() const {
    const std::int64_t t = Horizontal() ? Across(TrackRect_) - Across(PointerRect_)
                                        : Down(TrackRect_) - Down(PointerRect_);
    return int(std::clamp<std::int64_t>(t, 0, INT_MAX));
}

int TCustomDIBSlider::PositionToPixel(int Value) const {
    const std::int64_t travel = Travel();
    const std::int64_t range = std::int64_t(Max_) - Min_;
    const std::int64_t offset = std::int64_t(Value) - Min_;
    // travel < 2^31 and |offset| < 2^32: the product fits in 64 bits.
    const std::int64_t p = range != 0 ? travel * offset / range : travel * offset;
    return int(std::clamp<std::int64_t>(p, 0, travel));
}

std::int64_t TCustomDIBSlider::PixelSpan(std::int64_t P) const {
    const std::int64_t travel = Travel();
    if (travel == 0) return 0;
    // Beyond the travel the span only grows past the range, which every
    // caller clamps to anyway; clamping first keeps the product in 64 bits.
    return std::clamp<std::int64_t>(P, -travel, travel) * (std::int64_t(Max_) - Min_) / travel;
}

void TCustomDIBSlider::GetMinimumSize(TPoint& Size) {
    Size = {2, 2};
    TMemoryDIB* pic = nullptr;
    for (TDIBImageLink* link : {IndexEnd1_, IndexMain_, IndexEnd2_})
        if (link && link->GetImage(pic)) {
            Size.X += pic->Width();
            Size.Y += pic->Height();
        }
    if (Horizontal())
        Size.Y = 2;
    else
        Size.X = 2;
}

void TCustomDIBSlider::CalcLayout() {
    const int W = Width(), H = Height();
    End1Rect_ = {-1, -1, -1, -1};
    End2Rect_ = {W, H, W, H};
    TrackRect_ = End1Rect_;
    PointerRect_ = End1Rect_;
    TMemoryDIB* pic = nullptr;
    if (IndexEnd1_->GetImage(pic)) {
        int x = 0, y = 0;
        if (Horizontal())
            y = H / 2 - pic->Height() / 2;
        else
            x = W / 2 - pic->Width() / 2;
        End1Rect_ = {x, y, x + pic->Width() - 1, y + pic->Height() - 1};
    }
    if (IndexEnd2_->GetImage(pic)) {
        int x = W - 1 - pic->Width(), y = H - 1 - pic->Height();
        if (Horizontal()) {
            y = H / 2 - pic->Height() / 2;
            x = std::max(x, End1Rect_.Right);
        } else {
            x = W / 2 - pic->Width() / 2;
            y = std::max(y, End1Rect_.Bottom);
        }
        End2Rect_ = {x, y, x + pic->Width() - 1, y + pic->Height() - 1};
    }
    if (IndexMain_->GetImage(pic)) {
        TrackRect_ = {End1Rect_.Right, End1Rect_.Bottom, End2Rect_.Left, End2Rect_.Top};
        if (Horizontal()) {
            TrackRect_.Top = H / 2 - pic->Height() / 2;
            TrackRect_.Bottom = TrackRect_.Top + pic->Height() - 1;
        } else {
            TrackRect_.Left = W / 2 - pic->Width() / 2;
            TrackRect_.Right = TrackRect_.Left + pic->Width() - 1;
        }
    }
    OverlayRect_ = {TrackRect_.Left + OverlayBorderX_, TrackRect_.Top + OverlayBorderY_,
                    TrackRect_.Right - OverlayBorderX_, TrackRect_.Bottom - OverlayBorderY_};
    if (IndexPointer_->GetImage(pic)) {
        int x, y;
        if (Horizontal()) {
            x = TrackRect_.Left + PointerPos_;
            y = H / 2 - pic->Height() / 2 + PointerOffset_;
        } else {
            x = W / 2 - pic->Width() / 2 + PointerOffset_;
            y = TrackRect_.Top + PointerPos_;
        }
        PointerRect_ = {x, y, x + pic->Width() - 1, y + pic->Height() - 1};
    }
}

void TCustomDIBSlider::Relayout() {
    // The travel comes from the new layout, and the pointer's place from
    // the travel: lay out, place the pointer, lay it out there.
    CalcLayout();
    PointerPos_ = PositionToPixel(Position_);
    CalcLayout();
}

void TCustomDIBSlider::AdjustSize() {
    int w = Width(), h = Height();
    if (CanAutoSize(w, h)) SetBounds(Left(), Top(), w, h);
}

void TCustomDIBSlider::LayoutChanged() {
    if (AutoSize_) AdjustSize();
    Relayout();
    Invalidate();
}

void TCustomDIBSlider::LinkedImageChanged(int, bool) { LayoutChanged(); }

bool TCustomDIBSlider::CanAutoSize(int& NewWidth, int& NewHeight) {
    if (!IndexMain_->IsValid()) return false;
    TPoint least;
    GetMinimumSize(least);
    NewWidth = std::max(NewWidth, least.X);
    NewHeight = std::max(NewHeight, least.Y);
    Relayout();
    if (Horizontal()) {
        std::int64_t need = std::max({Down(End1Rect_), Down(End2Rect_), Down(TrackRect_)});
        need = std::max<std::int64_t>(need, Constraints()->MinHeight());
        if (need > 0 && need != NewHeight) NewHeight = ClampToInt(need);
    } else {
        std::int64_t need = std::max({Across(End1Rect_), Across(End2Rect_), Across(TrackRect_)});
        need = std::max<std::int64_t>(need, Constraints()->MinWidth());
        if (need > 0 && need != NewWidth) NewWidth = ClampToInt(need);
    }
    return true;
}

void TCustomDIBSlider::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TPoint least{2, 2};
    GetMinimumSize(least);
    TCustomDIBControl::SetBounds(ALeft, ATop, std::max(AWidth, least.X),
                                 std::max(AHeight, least.Y));
    if (NotLoaded()) return;
    Relayout();
    Invalidate();
}

void TCustomDIBSlider::Loaded() {
    TCustomDIBControl::Loaded();
    lastReported_ = Position_;
    if (AutoSize_) AdjustSize();
    Relayout();
}

// ---- painting ----------------------------------------------------------------------

void TCustomDIBSlider::Paint() {
    TAbstractSuperDIB* surface = Surface();
    if (!surface) return;
    // Each picture is the image list's shared view: used before the next is fetched.
    TMemoryDIB* pic = nullptr;
    if (IndexMain_->GetImage(pic)) DrawTrack(pic);
    if (IndexOverlay_->GetImage(pic)) DrawOverlay(pic);
    if (IndexEnd1_->GetImage(pic))
        pic->Draw(End1Rect_.Left, End1Rect_.Top, pic->Width(), pic->Height(), surface, 0, 0);
    if (IndexEnd2_->GetImage(pic))
        pic->Draw(End2Rect_.Left, End2Rect_.Top, pic->Width(), pic->Height(), surface, 0, 0);
    if (IndexPointer_->GetImage(pic)) {
        pic->SetOpacity(dragging_ ? PointerOpacityHigh_ : PointerOpacityLow_);
        pic->Draw(PointerRect_.Left, PointerRect_.Top, pic->Width(), pic->Height(), surface, 0, 0);
    }
}

void TCustomDIBSlider::DrawTrack(TMemoryDIB* Track) {
    TAbstractSuperDIB* surface = Surface();
    const std::int64_t w = Across(TrackRect_), h = Down(TrackRect_);
    if (StretchBackground_) {
        if (w < 1 || h < 1 || w > 0xFFFF || h > 0xFFFF) return;
        Stretched(Track, int(w), int(h))
            .Draw(TrackRect_.Left, TrackRect_.Top, int(w), int(h), surface, 0, 0);
        return;
    }
    // Tiles from the track's start; the last one is cut at its end.
    const TRect saved = surface->ClipRect();
    const TRect clip{std::max(saved.Left, TrackRect_.Left), std::max(saved.Top, TrackRect_.Top),
                     std::min(saved.Right, TrackRect_.Right),
                     std::min(saved.Bottom, TrackRect_.Bottom)};
    if (clip.Left > clip.Right || clip.Top > clip.Bottom) return;  // nothing of it to draw
    surface->SetClipRect(clip);
    try {
        if (Horizontal())
            for (int x = TrackRect_.Left; x < TrackRect_.Right; x += Track->Width())
                Track->Draw(x, TrackRect_.Top, Track->Width(), Track->Height(), surface, 0, 0);
        else
            for (int y = TrackRect_.Top; y < TrackRect_.Bottom; y += Track->Height())
                Track->Draw(TrackRect_.Left, y, Track->Width(), Track->Height(), surface, 0, 0);
    } catch (...) {
        surface->SetClipRect(saved);
        throw;
    }
    surface->SetClipRect(saved);
}

TMemoryDIB& TCustomDIBSlider::Stretched(TMemoryDIB* Picture, int W, int H) {
    stretched_.SetSize(W, H);
    stretched_.Fill(clBlack);  // what a new bitmap holds, where the stretch writes nothing
    stretched_.StretchFrom(Picture);
    Picture->CopyPropertiesTo(&stretched_);
    return stretched_;
}

void TCustomDIBSlider::DrawOverlay(TMemoryDIB* Overlay) {
    const std::int64_t ow = Across(OverlayRect_), oh = Down(OverlayRect_);
    // Borders wider than half the track leave no overlay at all.
    if (ow < 1 || oh < 1 || ow > 0xFFFF || oh > 0xFFFF) return;
    std::int64_t w = ow, h = oh;
    if (!IsDesigning()) {
        if (Horizontal())
            w = std::int64_t(PointerPos_) - OverlayBorderX_;
        else
            h = std::int64_t(PointerPos_) - OverlayBorderY_;
    }
    if (w <= 0 || h <= 0) return;
    TMemoryDIB& stretched = Stretched(Overlay, int(ow), int(oh));
    stretched.SetOpacity(OverlayOpacity_);
    stretched.Draw(OverlayRect_.Left, OverlayRect_.Top, int(w), int(h), Surface(), 0, 0);
}

// ---- focus -------------------------------------------------------------------------

void TCustomDIBSlider::DoDIBEnter() {
    TCustomDIBControl::DoDIBEnter();
    Invalidate();
}

void TCustomDIBSlider::DoDIBExit() {
    TCustomDIBControl::DoDIBExit();
    Invalidate();
}

// ---- mouse and keys ----------------------------------------------------------------

void TCustomDIBSlider::StepBy(std::int64_t Delta) {
    SetPosition(int(std::clamp<std::int64_t>(Position_ + Delta, Min_, Max_)));
}

void TCustomDIBSlider::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomDIBControl::MouseDown(Button, Shift, X, Y);
    // The second press of a double click is the double click's: it neither
    // steps nor drags.
    if (!IndexPointer_->IsValid() || Shift.Contains(TShiftStateFlag::ssDouble)) return;
    bool hit = Inside(PointerRect_, X, Y);
    // A repeated track click that has brought the pointer under the mouse
    // turns into a drag.
    if (!hit && Repeating())
        hit = Horizontal() ? PointerRect_.Left <= X && X <= PointerRect_.Right
                           : PointerRect_.Top <= Y && Y <= PointerRect_.Bottom;
    if (hit) {
        StopRepeat();
        dragging_ = true;
        grab_ = {X - PointerRect_.Left, Y - PointerRect_.Top};
        fine_ = false;
        lastAlong_ = Horizontal() ? X : Y;
        Invalidate();
        return;
    }
    if (Inside(End1Rect_, X, Y)) {
        StepBy(-SmallChange_);
        return;
    }
    if (Inside(End2Rect_, X, Y)) {
        StepBy(SmallChange_);
        return;
    }
    // The signed distance from the pointer's middle.
    const std::int64_t d = Horizontal()
                               ? std::int64_t(X) - PointerRect_.Left -
                                     (std::int64_t(PointerRect_.Right) - PointerRect_.Left) / 2
                               : std::int64_t(Y) - PointerRect_.Top -
                                     (std::int64_t(PointerRect_.Bottom) - PointerRect_.Top) / 2;
    std::int64_t step;
    if (Travel() == 0) {
        // No pixel stands for a value: go one small step toward the click.
        if (d == 0) return;
        step = SmallChange_;
    } else {
        // The distance as a part of the range (never more than all of it,
        // never less than none), at most a large step.
        step = std::clamp<std::int64_t>(PixelSpan(d < 0 ? -d : d), 0, std::int64_t(Max_) - Min_);
        step = std::min<std::int64_t>(step, LargeChange_);
    }
    StepBy(d < 0 ? -step : step);
}

void TCustomDIBSlider::MouseMove(TShiftState Shift, int X, int Y) {
    TCustomDIBControl::MouseMove(Shift, X, Y);
    if (!dragging_) return;
    // Only the held left button moves the pointer; without it the drag is over.
    if (!Shift.Contains(TShiftStateFlag::ssLeft)) {
        CaptureLost();
        return;
    }
    const std::int64_t along = Horizontal() ? X : Y;
    const std::int64_t before = std::exchange(lastAlong_, along);
    if (Shift.Contains(TShiftStateFlag::ssShift)) {
        FineDragBy(along - before);
        return;
    }
    if (std::exchange(fine_, false)) {
        // Back to the full speed from where the fine drag left the pointer,
        // not from where the mouse is.
        (Horizontal() ? grab_.X : grab_.Y) =
            ClampToInt(before - (Horizontal() ? TrackRect_.Left : TrackRect_.Top) - PointerPos_);
    }
    DragTo(ClampToInt(Horizontal() ? std::int64_t(X) - TrackRect_.Left - grab_.X
                                   : std::int64_t(Y) - TrackRect_.Top - grab_.Y));
}

// A quarter of a pixel of the pointer a pixel of the mouse: the pointer is
// kept in quarters, so every value between two pixels' can be reached and no
// movement is lost between steps.
void TCustomDIBSlider::FineDragBy(std::int64_t Moved) {
    const std::int64_t travel = Travel();
    if (travel == 0) return;
    const std::int64_t quarters = travel * kFineDivisor;
    if (!std::exchange(fine_, true)) fineQuarters_ = std::int64_t(PointerPos_) * kFineDivisor;
    fineQuarters_ = std::clamp<std::int64_t>(fineQuarters_ + Moved, 0, quarters);
    PointerPos_ = int(fineQuarters_ / kFineDivisor);
    Position_ = int(std::clamp<std::int64_t>(
        Min_ + fineQuarters_ * (std::int64_t(Max_) - Min_) / quarters, Min_, Max_));
    CalcLayout();
    Invalidate();
    DoChange();
}

void TCustomDIBSlider::MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) {
    TCustomDIBControl::MouseWheel(Shift, WheelDelta, X, Y);
    const int notches = TakeWheelNotches(WheelDelta);
    if (notches == 0) return;
    WheelNotched();
    const std::int64_t step = Shift.Contains(TShiftStateFlag::ssShift)
                                  ? std::max(1, SmallChange_ / kFineDivisor)
                                  : SmallChange_;
    // Away from the user moves the pointer up (toward Min) or right (toward Max).
    StepBy((Horizontal() ? notches : -notches) * step);
}

void TCustomDIBSlider::DragTo(int P) {
    const int travel = Travel();
    if (travel == 0) return;
    PointerPos_ = std::clamp(P, 0, travel);
    Position_ = int(std::clamp<std::int64_t>(Min_ + PixelSpan(P), Min_, Max_));
    CalcLayout();
    Invalidate();
    DoChange();
}

void TCustomDIBSlider::WndProc(TMessage& Message) {
    // The release ends the drag before the framework lets the capture go, so
    // that losing it is not taken for a drag cut short: the pointer stays
    // where the last move put it.
    if (Message.Msg == WM_LBUTTONUP && dragging_) {
        dragging_ = false;
        Invalidate();  // back to the resting opacity
    }
    TCustomDIBControl::WndProc(Message);
}

void TCustomDIBSlider::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (dragging_) Invalidate();  // back to the resting opacity
    dragging_ = false;
    TCustomDIBControl::MouseUp(Button, Shift, X, Y);
}

void TCustomDIBSlider::CaptureLost() {
    if (dragging_) {
        // Cut short, the drag leaves the pointer where its value puts it,
        // not at the pixel of the last move.
        dragging_ = false;
        Relayout();
        Invalidate();
    }
    TCustomDIBControl::CaptureLost();
}

void TCustomDIBSlider::KeyDown(std::uint16_t& Key, TShiftState Shift) {
    TCustomDIBControl::KeyDown(Key, Shift);
    // Toward Min is up on a vertical slider and left on a horizontal one.
    switch (Key) {
        case VK_LEFT:
            if (Horizontal()) StepBy(-SmallChange_);
            break;
        case VK_RIGHT:
            if (Horizontal()) StepBy(SmallChange_);
            break;
        case VK_UP:
            if (!Horizontal()) StepBy(-SmallChange_);
            break;
        case VK_DOWN:
            if (!Horizontal()) StepBy(SmallChange_);
            break;
        case VK_PRIOR: StepBy(-PageSize_); break;
        case VK_NEXT: StepBy(PageSize_); break;
        default: break;
    }
}
