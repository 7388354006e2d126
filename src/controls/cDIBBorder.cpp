#include "controls/cDIBBorder.h"

#include <algorithm>

namespace {

// The picture a link delivers, or null. A list hands out one shared view that
// the next request re-points, so each picture is fetched right before it is
// measured or drawn.
TMemoryDIB* pictureOf(const TDIBImageLink& Link) {
    TMemoryDIB* dib = nullptr;
    return Link.GetImage(dib) ? dib : nullptr;
}

}  // namespace

// Forms name the border by class.
static const bool kRegistered = (RegisterClasses({TDIBBorder::StaticClass()}), true);

// ---- edges ------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TDIBBorderEdge) {
    b.Property("AutoCalcSize", &TDIBBorderEdge::AutoCalcSize, &TDIBBorderEdge::SetAutoCalcSize)
        .Default(true);
    b.Property("DrawStyle", &TDIBBorderEdge::DrawStyle, &TDIBBorderEdge::SetDrawStyle)
        .Default(dsTile);
    b.Property(
        "Size", [](TDIBBorderEdge* e) { return std::int32_t(e->Size()); },
        &TDIBBorderEdge::SetSize);
}

TW_IMPLEMENT_CLASS(TDIBHorzBorderEdge) {
    b.Property("ImageLeft", &TDIBHorzBorderEdge::FirstImage);
    b.Property("ImageMiddle", &TDIBHorzBorderEdge::MiddleImage);
    b.Property("ImageRight", &TDIBHorzBorderEdge::SecondImage);
}

TW_IMPLEMENT_CLASS(TDIBVertBorderEdge) {
    b.Property("ImageTop", &TDIBVertBorderEdge::FirstImage);
    b.Property("ImageMiddle", &TDIBVertBorderEdge::MiddleImage);
    b.Property("ImageBottom", &TDIBVertBorderEdge::SecondImage);
}

TDIBBorderEdge::TDIBBorderEdge(TDIBBorderSide Side, TComponent* Owner)
    : side(Side),
      first_(std::make_unique<TDIBImageLink>(Owner)),
      second_(std::make_unique<TDIBImageLink>(Owner)),
      middle_(std::make_unique<TDIBImageLink>(Owner)),
      owner_(Owner) {}

TDIBBorderEdge::~TDIBBorderEdge() = default;

void TDIBBorderEdge::SetDIBImageList(TCustomDIBImageList* Value) {
    first_->SetDIBImageList(Value);
    second_->SetDIBImageList(Value);
    middle_->SetDIBImageList(Value);
}

int TDIBBorderEdge::CalcSize() const {
    int size = 0;
    for (const TDIBImageLink* link : {first_.get(), second_.get(), middle_.get()}) {
        if (!link->IsValid()) continue;
        const TMemoryDIB* dib = link->DIBImageList()->GetDIB(link->DIBIndex());
        size = std::max(size, Vertical() ? dib->Width() : dib->Height());
    }
    return size;
}

void TDIBBorderEdge::DrawEdge(TAbstractSuperDIB* Dest, const TRect& Rect) const {
    if (!first_->IsValid() && !second_->IsValid() && !middle_->IsValid()) return;
    // "Along" is the direction the edge runs, "across" its thickness.
    const bool vertical = Vertical();
    const bool farSide = side == TDIBBorderSide::Right || side == TDIBBorderSide::Bottom;
    auto along = [vertical](const TAbstractSuperDIB* d) {
        return vertical ? d->Height() : d->Width();
    };
    // Draws d at position Pos along the edge, Length long, from its origin;
    // across, it hugs the edge's own side of the rectangle.
    auto put = [&](TAbstractSuperDIB* d, int Pos, int Length) {
        if (vertical) {
            const int x = farSide ? Rect.Right - d->Width() : Rect.Left;
            d->Draw(x, Pos, d->Width(), Length, Dest, 0, 0);
        } else {
            const int y = farSide ? Rect.Bottom - d->Height() : Rect.Top;
            d->Draw(Pos, y, Length, d->Height(), Dest, 0, 0);
        }
    };

    const int start = vertical ? Rect.Top : Rect.Left;
    const int end = vertical ? Rect.Bottom : Rect.Right;
    int pos = start;
    int span = end - start;
    if (TMemoryDIB* f = pictureOf(*first_)) {
        pos += along(f);
        span -= along(f);
    }
    if (TMemoryDIB* s = pictureOf(*second_)) span -= along(s);

    if (TMemoryDIB* m = pictureOf(*middle_)) {
        if (DrawStyle_ == dsTile) {
            const int step = along(m);
            for (; span > 0; pos += step, span -= step) put(m, pos, span);
        } else if (span > 0) {
            // The end pictures may leave no room at all; a piece of no or
            // negative length would be a bitmap of a wrapped-around size.
            piece_.SetSize(vertical ? m->Width() : span, vertical ? span : m->Height());
            piece_.Fill(clBlack);  // what a new bitmap holds, where the stretch writes nothing
            piece_.StretchFrom(m);
            put(&piece_, pos, span);
        }
    }
    if (TMemoryDIB* f = pictureOf(*first_)) put(f, start, along(f));
    if (TMemoryDIB* s = pictureOf(*second_)) put(s, end - along(s), along(s));
}

// ---- the border ---------------------------------------------------------------

TW_IMPLEMENT_CLASS(TDIBBorder) {
    b.Property("BorderBottom", &TDIBBorder::BorderBottom);
    b.Property("BorderLeft", &TDIBBorder::BorderLeft);
    b.Property("BorderRight", &TDIBBorder::BorderRight);
    b.Property("BorderTop", &TDIBBorder::BorderTop);
    b.Property("DIBImageList", &TDIBBorder::DIBImageList, &TDIBBorder::SetDIBImageList);
}

TDIBBorder::TDIBBorder(TComponent* Owner)
    : TComponent(Owner),
      BorderBottom_(std::make_unique<TDIBHorzBorderEdge>(TDIBBorderSide::Bottom, this)),
      BorderLeft_(std::make_unique<TDIBVertBorderEdge>(TDIBBorderSide::Left, this)),
      BorderRight_(std::make_unique<TDIBVertBorderEdge>(TDIBBorderSide::Right, this)),
      BorderTop_(std::make_unique<TDIBHorzBorderEdge>(TDIBBorderSide::Top, this)) {}

TDIBBorder::~TDIBBorder() {
    Destroying();
    SetDIBImageList(nullptr);
}

void TDIBBorder::SetDIBImageList(TCustomDIBImageList* Value) {
    if (DIBImageList_) RemoveFreeNotification(DIBImageList_);
    DIBImageList_ = Value;
    if (DIBImageList_) FreeNotification(DIBImageList_);
    for (TDIBBorderEdge* edge : {static_cast<TDIBBorderEdge*>(BorderBottom_.get()),
                                 static_cast<TDIBBorderEdge*>(BorderLeft_.get()),
                                 static_cast<TDIBBorderEdge*>(BorderRight_.get()),
                                 static_cast<TDIBBorderEdge*>(BorderTop_.get())})
        edge->SetDIBImageList(Value);
}

void TDIBBorder::Notification(TComponent* Component, TOperation Operation) {
    TComponent::Notification(Component, Operation);
    if (Operation == TOperation::opRemove && Component == DIBImageList_) SetDIBImageList(nullptr);
}

void TDIBBorder::DrawBorder(TAbstractSuperDIB* Dest, const TRect& Rect) const {
    TRect r = Rect;
    BorderLeft_->DrawEdge(Dest, r);
    BorderRight_->DrawEdge(Dest, r);
    r.Left += BorderLeft_->CalcSize();
    r.Right -= BorderRight_->CalcSize();
    BorderTop_->DrawEdge(Dest, r);
    BorderBottom_->DrawEdge(Dest, r);
}
