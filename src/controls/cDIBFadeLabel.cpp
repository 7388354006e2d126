#include "controls/cDIBFadeLabel.h"

#include <algorithm>

#include "controls/cDIBPanel.h"
#include "framework/Messages.h"

static const bool kRegistered = (RegisterClasses({TDIBFadeLabel::StaticClass()}), true);

TW_IMPLEMENT_CLASS(TCustomDIBFadeLabel) {}

TW_IMPLEMENT_CLASS(TDIBFadeLabel) {
    b.Property("Align", &TDIBFadeLabel::Align, &TDIBFadeLabel::SetAlign).Default(alNone);
    b.Property("Alignment", &TDIBFadeLabel::Alignment, &TDIBFadeLabel::SetAlignment).NoDefault();
    b.Property("Anchors", &TDIBFadeLabel::Anchors, &TDIBFadeLabel::SetAnchors)
        .Default(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop});
    b.Property("Angle", &TDIBFadeLabel::Angle, &TDIBFadeLabel::SetAngle).NoDefault();
    // Constructed True but stored only when True: a form without the line
    // loads an auto-sized label.
    b.Property("AutoSize", &TDIBFadeLabel::AutoSize, &TDIBFadeLabel::SetAutoSize).Default(false);
    b.Property("BidiMode", &TDIBFadeLabel::BiDiMode_).Default(bdLeftToRight);
    b.Property("Caption", &TDIBFadeLabel::Caption, &TDIBFadeLabel::SetCaption);
    b.Property("Children", &TDIBFadeLabel::Children);
    b.Property("Color", &TDIBFadeLabel::Color, &TDIBFadeLabel::SetColor)
        .Type(ColorTypeInfo())
        .Default(clWindow)
        .Stored([](TObject* c) { return !static_cast<TControl*>(c)->ParentColor(); });
    b.Property("ColorHighlighted", &TDIBFadeLabel::ColorHighlighted,
               &TDIBFadeLabel::SetColorHighlighted)
        .Type(ColorTypeInfo())
        .NoDefault();
    b.Property("Constraints", &TDIBFadeLabel::Constraints);
    // Stored and nothing more, as the hints and dragging below.
    b.Property("Cursor", &TDIBFadeLabel::Cursor_).Type(CursorTypeInfo()).Default(crDefault);
    b.Property("FrameCount", &TDIBFadeLabel::FrameCount, &TDIBFadeLabel::SetFrameCount).NoDefault();
    b.Property("FrameDelay", &TDIBFadeLabel::FrameDelay, &TDIBFadeLabel::SetFrameDelay).NoDefault();
    b.Property("Layout", &TDIBFadeLabel::Layout, &TDIBFadeLabel::SetLayout).NoDefault();
    b.Property("ParentBiDiMode", &TDIBFadeLabel::ParentBiDiMode_).Default(true);
    b.Property("ParentColor", &TDIBFadeLabel::ParentColor, &TDIBFadeLabel::SetParentColor)
        .Default(true);
    b.Property("Scale", &TDIBFadeLabel::Scale, &TDIBFadeLabel::SetScale).NoDefault();
    b.Property("ShowAccelChar", &TDIBFadeLabel::ShowAccelChar, &TDIBFadeLabel::SetShowAccelChar)
        .NoDefault();
    b.Property("Tag", &TDIBFadeLabel::Tag, &TDIBFadeLabel::SetTag).Default(0);
    b.Property("Transparent", &TDIBFadeLabel::Transparent, &TDIBFadeLabel::SetTransparent)
        .NoDefault();
    b.Property("WordWrap", &TDIBFadeLabel::WordWrap, &TDIBFadeLabel::SetWordWrap).NoDefault();
    b.Property("OnDblClick", &TDIBFadeLabel::OnDblClick);
    b.Property("OnContextPopup", &TDIBFadeLabel::OnContextPopup);
    PublishHintsAndDragging(b);
}

TCustomDIBFadeLabel::TCustomDIBFadeLabel(TComponent* Owner)
    : TCustomDIBControl(Owner), fadeTimer_(std::make_unique<TDIBTimer>(nullptr)) {
    fadeTimer_->SetOnTimer(TNotifyEvent::Bind(this, &TCustomDIBFadeLabel::FadeStep));
    SetParentColor(true);
    SetColorHighlighted(clWhite);
}

TCustomDIBFadeLabel::~TCustomDIBFadeLabel() {
    Destroying();
    fadeTimer_.reset();
}

// ---- properties --------------------------------------------------------------------

void TCustomDIBFadeLabel::SetColorHighlighted(TColor Value) {
    ColorHighlighted_ = Value;
    UpdateFadeColors();
}

void TCustomDIBFadeLabel::SetFrameCount(std::uint8_t Value) {
    FrameCount_ = Value;
    UpdateFadeColors();
}

void TCustomDIBFadeLabel::SetAngle(TAngle Value) {
    Angle_ = static_cast<TAngle>(Value % 360);
    Invalidate();
}

void TCustomDIBFadeLabel::SetAlignment(TAlignment Value) {
    Alignment_ = Value;
    Invalidate();
}

void TCustomDIBFadeLabel::SetLayout(TTextLayout Value) {
    Layout_ = Value;
    Invalidate();
}

void TCustomDIBFadeLabel::SetScale(long double Value) {
    Scale_ = Value;
    Invalidate();
}

void TCustomDIBFadeLabel::SetShowAccelChar(bool Value) {
    ShowAccelChar_ = Value;
    AdjustSize();
    Invalidate();
}

void TCustomDIBFadeLabel::SetTransparent(bool Value) {
    Transparent_ = Value;
    Invalidate();
}

void TCustomDIBFadeLabel::SetWordWrap(bool Value) {
    WordWrap_ = Value;
    Invalidate();
}

void TCustomDIBFadeLabel::SetAutoSize(bool Value) {
    AutoSize_ = Value;
    AdjustSize();
}

// ---- fading ------------------------------------------------------------------------

void TCustomDIBFadeLabel::UpdateFadeColors() {
    FadeColors_.clear();
    if (FrameCount_ >= 2) {
        const COLORREF from = ColorToRGB(Font()->Color()), to = ColorToRGB(ColorHighlighted_);
        long double r = GetRValue(from), g = GetGValue(from), b = GetBValue(from);
        const long double steps = FrameCount_;
        const long double dr = (GetRValue(to) - r) / steps, dg = (GetGValue(to) - g) / steps,
                          db = (GetBValue(to) - b) / steps;
        for (int i = 0; i < FrameCount_; ++i) {
            r += dr;
            g += dg;
            b += db;
            FadeColors_.push_back(static_cast<TColor>(
                static_cast<int>(r) | (static_cast<int>(g) << 8) | (static_cast<int>(b) << 16)));
        }
    }
    // A ramp rebuilt under a running fade: the countdown goes on within the
    // new ramp, and a ramp too short to fade through ends the fade at once.
    if (Fading()) {
        if (FadeColors_.empty())
            FinishFade();
        else
            FadeIndex_ = std::min(FadeIndex_, static_cast<int>(FadeColors_.size()) - 1);
    }
}

void TCustomDIBFadeLabel::Highlight() {
    fadeTimer_->SetEnabled(false);
    CurrentColor_ = ColorHighlighted_;
    Invalidate();
}

void TCustomDIBFadeLabel::Unhighlight() {
    if (FrameCount_ > 1 && FrameDelay_ != 0) {
        fadeTimer_->SetInterval(FrameDelay_);
        FadeIndex_ = FrameCount_ - 1;
        fadeTimer_->SetEnabled(true);
    } else {
        CurrentColor_ = Font()->Color();
        Invalidate();
    }
}

void TCustomDIBFadeLabel::FadeStep(TObject*) {
    if (FadeIndex_ != 0) {
        CurrentColor_ = FadeColors_[static_cast<std::size_t>(FadeIndex_)];
        --FadeIndex_;
        Invalidate();
    } else {
        FinishFade();
    }
}

void TCustomDIBFadeLabel::FinishFade() {
    fadeTimer_->SetEnabled(false);
    CurrentColor_ = Font()->Color();
    Invalidate();
}

// ---- size and painting --------------------------------------------------------------

UINT TCustomDIBFadeLabel::TextFlags() const {
    constexpr UINT kAlignment[] = {DT_LEFT, DT_RIGHT, DT_CENTER};  // by TAlignment
    return (WordWrap_ ? DT_WORDBREAK : 0) | kAlignment[Alignment_] | DT_EXPANDTABS;
}

bool TCustomDIBFadeLabel::CanAutoSize(int& NewWidth, int& NewHeight) {
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    TCanvas* canvas = Canvas();
    const HDC previous = canvas->HandleAllocated() ? canvas->Handle() : nullptr;
    RECT r{0, 0, Width(), Height()};
    struct Release {
        TCanvas* canvas;
        HDC dc, previous;
        ~Release() {
            canvas->SetHandle(previous);
            ReleaseDC(nullptr, dc);
        }
    } release{canvas, dc, previous};
    canvas->SetHandle(dc);
    DrawLabelText(r, (WordWrap_ ? DT_WORDBREAK : 0) | DT_EXPANDTABS | DT_CALCRECT);
    NewWidth = r.right;
    NewHeight = r.bottom;
    return true;
}

void TCustomDIBFadeLabel::AdjustSize() {
    int w = Width(), h = Height();
    if (AutoSize_ && CanAutoSize(w, h)) SetBounds(Left(), Top(), w, h);
}

void TCustomDIBFadeLabel::Loaded() {
    TCustomDIBControl::Loaded();
    AdjustSize();
}

void TCustomDIBFadeLabel::DrawLabelText(RECT& Rect, UINT Flags) {
    std::string text = Caption();
    // An empty label still measures one line.
    if (((Flags & DT_CALCRECT) && text.empty()) || (ShowAccelChar_ && text == "&")) text += ' ';
    if (!ShowAccelChar_) Flags |= DT_NOPREFIX;
    TCanvas* canvas = Canvas();
    canvas->SetFont(Font());
    canvas->Font()->SetColor(CurrentColor_);
    canvas->Brush()->SetStyle(bsClear);
    const auto draw = [&] {
        DrawTextA(canvas->Handle(), text.data(), static_cast<int>(text.size()), &Rect, Flags);
    };
    if (!Enabled()) {
        // Embossed: the highlight colour one pixel right and down, the font
        // colour on top.
        OffsetRect(&Rect, 1, 1);
        canvas->Font()->SetColor(ColorHighlighted_);
        draw();
        OffsetRect(&Rect, -1, -1);
        canvas->Font()->SetColor(Font()->Color());
    }
    draw();
}

void TCustomDIBFadeLabel::Paint() {
    TAbstractSuperDIB* surface = Surface();
    if (!surface) return;
    if (!Transparent_) surface->Fill(Color());
    const UINT flags = TextFlags();
    RECT r{0, 0, Width(), Height()};
    if (Layout_ != tlTop) {
        RECT measured = r;
        DrawLabelText(measured, flags | DT_CALCRECT);
        int dy = Height() - measured.bottom;
        if (Layout_ == tlCenter) dy /= 2;
        OffsetRect(&r, 0, dy);
    }
    DrawLabelText(r, flags);
    surface->SetAngle(Angle_);
    surface->SetScale(Scale_);
}

// ---- notifications -------------------------------------------------------------------

void TCustomDIBFadeLabel::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CM_FONTCHANGED:
            if (!Hot()) CurrentColor_ = Font()->Color();
            AdjustSize();
            UpdateFadeColors();
            Invalidate();
            return;
        case CM_TEXTCHANGED:
            AdjustSize();
            Invalidate();
            return;
        case CM_ENABLEDCHANGED:  // the disabled look is drawn differently
            TCustomDIBControl::Dispatch(Message);
            Invalidate();
            return;
        case CM_DIALOGCHAR:
            if (Enabled() && IsAccel(static_cast<std::uint16_t>(Message.WParam), Caption()) &&
                ShowAccelChar_ && Container() && Container()->CanFocus()) {
                Click();
                Message.Result = 1;
            }
            return;
        default: TCustomDIBControl::Dispatch(Message);
    }
}

void TCustomDIBFadeLabel::KeyPress(char& Key) {
    TCustomDIBControl::KeyPress(Key);
    if (Key == ' ') Click();
}
