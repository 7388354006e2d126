#include "framework/StdCtrls.h"

#include <cstdint>

static const bool kRegistered =
    (RegisterClasses({TLabel::StaticClass(), TMemo::StaticClass()}), true);

namespace {

constexpr UINT kAlignmentFlags[] = {DT_LEFT, DT_RIGHT, DT_CENTER};  // by TAlignment

}  // namespace

// ---- TGraphicControl ---------------------------------------------------------------

TW_IMPLEMENT_CLASS(TGraphicControl) {}

TGraphicControl::TGraphicControl(TComponent* Owner)
    : TControl(Owner), Canvas_(std::make_unique<TCanvas>()) {}

TGraphicControl::~TGraphicControl() = default;

void TGraphicControl::Dispatch(TMessage& Message) {
    if (Message.Msg != WM_PAINT) return TControl::Dispatch(Message);
    const auto dc = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(Message.WParam));
    if (!dc) return;
    Canvas_->Lock();
    struct Detach {
        TCanvas& canvas;
        ~Detach() {
            canvas.SetHandle(nullptr);
            canvas.Unlock();
        }
    } detach{*Canvas_};
    Canvas_->SetHandle(dc);
    Paint();
}

// ---- TCustomLabel ----------------------------------------------------------------

TW_IMPLEMENT_CLASS(TCustomLabel) {
    b.Property("Align", &TCustomLabel::Align, &TCustomLabel::SetAlign).Default(alNone);
    b.Property("Alignment", &TCustomLabel::Alignment, &TCustomLabel::SetAlignment)
        .Default(taLeftJustify);
    b.Property("Anchors", &TCustomLabel::Anchors, &TCustomLabel::SetAnchors)
        .Default(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop});
    b.Property("AutoSize", &TCustomLabel::AutoSize, &TCustomLabel::SetAutoSize).Default(true);
    b.Property("Caption", &TCustomLabel::Caption, &TCustomLabel::SetCaption);
    b.Property("Constraints", &TCustomLabel::Constraints);
    b.Property("Layout", &TCustomLabel::Layout, &TCustomLabel::SetLayout).Default(tlTop);
    b.Property("ShowAccelChar", &TCustomLabel::ShowAccelChar, &TCustomLabel::SetShowAccelChar)
        .Default(true);
    b.Property("Transparent", &TCustomLabel::Transparent, &TCustomLabel::SetTransparent)
        .Default(false);
    b.Property("WordWrap", &TCustomLabel::WordWrap, &TCustomLabel::SetWordWrap).Default(false);
}

TW_IMPLEMENT_CLASS(TLabel) {}

TCustomLabel::TCustomLabel(TComponent* Owner) : TGraphicControl(Owner) {
    SetControlStyle(ControlStyle() + TControlStyle{TControlStyleFlag::csOpaque});
    SetBounds(0, 0, 65, 17);
}

void TCustomLabel::SetAlignment(TAlignment Value) {
    if (Value == Alignment_) return;
    Alignment_ = Value;
    Invalidate();
}

void TCustomLabel::SetAutoSize(bool Value) {
    if (Value == AutoSize_) return;
    AutoSize_ = Value;
    AdjustBounds();
}

void TCustomLabel::SetLayout(TTextLayout Value) {
    if (Value == Layout_) return;
    Layout_ = Value;
    Invalidate();
}

void TCustomLabel::SetShowAccelChar(bool Value) {
    if (Value == ShowAccelChar_) return;
    ShowAccelChar_ = Value;
    AdjustBounds();
    Invalidate();
}

void TCustomLabel::SetTransparent(bool Value) {
    if (Value == Transparent_) return;
    Transparent_ = Value;
    TControlStyle style = ControlStyle();
    if (Value)
        style.Exclude(TControlStyleFlag::csOpaque);
    else
        style.Include(TControlStyleFlag::csOpaque);
    SetControlStyle(style);
    Invalidate();
}

void TCustomLabel::SetWordWrap(bool Value) {
    if (Value == WordWrap_) return;
    WordWrap_ = Value;
    AdjustBounds();
    Invalidate();
}

UINT TCustomLabel::TextFlags() const {
    return DT_EXPANDTABS | (WordWrap_ ? DT_WORDBREAK : 0) | kAlignmentFlags[Alignment_];
}

void TCustomLabel::DoDrawText(HDC DC, RECT& Rect, UINT Flags) {
    std::string text = Caption();
    // An empty label still measures one line.
    if ((Flags & DT_CALCRECT) && (text.empty() || (ShowAccelChar_ && text == "&"))) text += ' ';
    if (!ShowAccelChar_) Flags |= DT_NOPREFIX;
    TCanvas canvas;
    canvas.SetHandle(DC);
    canvas.SetFont(Font());
    canvas.Brush()->SetStyle(bsClear);
    const auto draw = [&] {
        DrawTextA(canvas.Handle(), text.data(), static_cast<int>(text.size()), &Rect, Flags);
    };
    if (!Enabled() && !(Flags & DT_CALCRECT)) {
        // Embossed: a light copy one pixel down and right, the shadow on top.
        OffsetRect(&Rect, 1, 1);
        canvas.Font()->SetColor(clBtnHighlight);
        draw();
        OffsetRect(&Rect, -1, -1);
        canvas.Font()->SetColor(clBtnShadow);
    }
    draw();
}

bool TCustomLabel::CanAutoSize(int& NewWidth, int& NewHeight) {
    HDC dc = GetDC(nullptr);
    if (!dc) return false;
    RECT r{0, 0, Width(), Height()};
    try {
        DoDrawText(dc, r, TextFlags() | DT_CALCRECT);
    } catch (...) {
        ReleaseDC(nullptr, dc);
        throw;
    }
    ReleaseDC(nullptr, dc);
    NewWidth = r.right;
    NewHeight = r.bottom;
    return true;
}

void TCustomLabel::AdjustBounds() {
    if (IsLoading() || !AutoSize_) return;
    int w = Width(), h = Height();
    if (!CanAutoSize(w, h)) return;
    const int left = Alignment_ == taRightJustify ? Left() + Width() - w : Left();
    SetBounds(left, Top(), w, h);
}

void TCustomLabel::Loaded() {
    TGraphicControl::Loaded();
    AdjustBounds();
}

void TCustomLabel::Dispatch(TMessage& Message) {
    switch (Message.Msg) {
        case CM_TEXTCHANGED:
            AdjustBounds();
            Invalidate();
            return;
        case CM_FONTCHANGED: AdjustBounds(); break;
        default: break;
    }
    TGraphicControl::Dispatch(Message);
}

void TCustomLabel::Paint() {
    TCanvas* c = Canvas();
    if (!Transparent_) {
        c->Brush()->SetColor(Color());
        c->Brush()->SetStyle(bsSolid);
        c->FillRect(ClientRect());
    }
    RECT r{0, 0, Width(), Height()};
    const UINT flags = TextFlags();
    if (Layout_ != tlTop) {
        RECT measured = r;
        DoDrawText(c->Handle(), measured, flags | DT_CALCRECT);
        int dy = Height() - measured.bottom;
        if (Layout_ == tlCenter) dy /= 2;
        OffsetRect(&r, 0, dy);
    }
    DoDrawText(c->Handle(), r, flags);
}

// ---- TCustomMemo ---------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TCustomMemo) {
    b.Property("Align", &TCustomMemo::Align, &TCustomMemo::SetAlign).Default(alNone);
    b.Property("Alignment", &TCustomMemo::Alignment, &TCustomMemo::SetAlignment)
        .Default(taLeftJustify);
    b.Property("Anchors", &TCustomMemo::Anchors, &TCustomMemo::SetAnchors)
        .Default(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop});
    b.Property("BorderStyle", &TCustomMemo::BorderStyle, &TCustomMemo::SetBorderStyle)
        .Default(bsSingle);
    b.Property("Constraints", &TCustomMemo::Constraints);
    b.Property("Lines", &TCustomMemo::Lines, &TCustomMemo::SetLines);
    b.Property("ReadOnly", &TCustomMemo::ReadOnly, &TCustomMemo::SetReadOnly).Default(false);
    b.Property("WordWrap", &TCustomMemo::WordWrap, &TCustomMemo::SetWordWrap).Default(true);
}

TW_IMPLEMENT_CLASS(TMemo) {}

TCustomMemo::TCustomMemo(TComponent* Owner)
    : TWinControl(Owner),
      Lines_(std::make_unique<TStringList>()),
      canvas_(std::make_unique<TCanvas>()) {
    SetControlStyle(ControlStyle() + TControlStyle{TControlStyleFlag::csOpaque});
    SetBounds(0, 0, 185, 89);
    SetTabStop(true);
    Lines_->OnChange = [this](TObject*) { Invalidate(); };
}

TCustomMemo::~TCustomMemo() { Lines_->OnChange = nullptr; }

void TCustomMemo::SetAlignment(TAlignment Value) {
    if (Value == Alignment_) return;
    Alignment_ = Value;
    Invalidate();
}

void TCustomMemo::SetBorderStyle(TBorderStyle Value) {
    if (Value == BorderStyle_) return;
    BorderStyle_ = Value;
    Invalidate();
}

void TCustomMemo::SetWordWrap(bool Value) {
    if (Value == WordWrap_) return;
    WordWrap_ = Value;
    Invalidate();
}

void TCustomMemo::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {  // PaintWindow covers every pixel
        Message.Result = 1;
        return;
    }
    TWinControl::Dispatch(Message);
}

void TCustomMemo::PaintWindow(HDC DC) {
    struct Detach {
        TCanvas& canvas;
        ~Detach() { canvas.SetHandle(nullptr); }
    } detach{*canvas_};
    canvas_->SetHandle(DC);
    canvas_->SetFont(Font());
    canvas_->Brush()->SetColor(Color());
    canvas_->FillRect(ClientRect());
    int inset = 0;
    if (BorderStyle_ == bsSingle) {
        const RECT frame{0, 0, Width(), Height()};
        HBRUSH brush = CreateSolidBrush(ColorToRGB(clWindowFrame));
        FrameRect(canvas_->Handle(), &frame, brush);
        DeleteObject(brush);
        inset = 1;
    }
    // Lines start one pixel in from the left, as in an edit field.
    RECT r{inset + 1, inset, Width() - inset - 1, Height() - inset};
    std::string text;
    for (int i = 0; i < Lines_->Count(); ++i) {
        if (i > 0) text += '\n';
        text += Lines_->Strings(i);
    }
    canvas_->Brush()->SetStyle(bsClear);
    const int saved = SaveDC(canvas_->Handle());
    IntersectClipRect(canvas_->Handle(), r.left, r.top, r.right, r.bottom);
    DrawTextA(
        canvas_->Handle(), text.data(), static_cast<int>(text.size()), &r,
        DT_NOPREFIX | DT_EXPANDTABS | (WordWrap_ ? DT_WORDBREAK : 0) | kAlignmentFlags[Alignment_]);
    RestoreDC(canvas_->Handle(), saved);
}
