#include "framework/ExtCtrls.h"

#include <algorithm>

TW_IMPLEMENT_CLASS(TCustomPanel) {
    b.Property("Align", &TCustomPanel::Align, &TCustomPanel::SetAlign).Default(alNone);
    b.Property("Alignment", &TCustomPanel::Alignment, &TCustomPanel::SetAlignment)
        .Default(taCenter);
    b.Property("Anchors", &TCustomPanel::Anchors, &TCustomPanel::SetAnchors)
        .Default(TAnchors{TAnchorKind::akLeft, TAnchorKind::akTop});
    b.Property("BevelInner", &TCustomPanel::BevelInner, &TCustomPanel::SetBevelInner)
        .Default(bvNone);
    b.Property("BevelOuter", &TCustomPanel::BevelOuter, &TCustomPanel::SetBevelOuter)
        .Default(bvRaised);
    b.Property("BevelWidth", &TCustomPanel::BevelWidth, &TCustomPanel::SetBevelWidth).Default(1);
    b.Property("BorderStyle", &TCustomPanel::BorderStyle, &TCustomPanel::SetBorderStyle)
        .Default(bsNone);
    b.Property("BorderWidth", &TCustomPanel::BorderWidth, &TCustomPanel::SetBorderWidth).Default(0);
    b.Property("Caption", &TCustomPanel::Caption, &TCustomPanel::SetCaption);
    b.Property("Constraints", &TCustomPanel::Constraints);
}

TCustomPanel::TCustomPanel(TComponent* Owner) : TWinControl(Owner) {
    SetControlStyle({TControlStyleFlag::csAcceptsControls, TControlStyleFlag::csCaptureMouse,
                     TControlStyleFlag::csClickEvents, TControlStyleFlag::csSetCaption,
                     TControlStyleFlag::csOpaque});
    SetBounds(0, 0, 185, 41);
    SetColor(clBtnFace);
}

template <class T>
void TCustomPanel::SetFrame(T& Field, T Value) {
    if (Value == Field) return;
    Field = Value;
    Realign();
    Invalidate();
}

void TCustomPanel::SetBevelWidth(int Value) { SetFrame(BevelWidth_, std::max(Value, 1)); }

void TCustomPanel::SetBorderWidth(int Value) { SetFrame(BorderWidth_, std::max(Value, 0)); }

void TCustomPanel::Dispatch(TMessage& Message) {
    if (Message.Msg == WM_ERASEBKGND) {
        const auto dc = reinterpret_cast<HDC>(static_cast<std::uintptr_t>(Message.WParam));
        HBRUSH brush = CreateSolidBrush(ColorToRGB(Color()));
        const RECT r{0, 0, Width(), Height()};
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        Message.Result = 1;
        return;
    }
    TWinControl::Dispatch(Message);
}

void TCustomPanel::AdjustClientRect(TRect& Rect) {
    int inset = BorderWidth_;
    if (BevelOuter_ != bvNone) inset += BevelWidth_;
    if (BevelInner_ != bvNone) inset += BevelWidth_;
    Rect = {Rect.Left + inset, Rect.Top + inset, Rect.Right - inset, Rect.Bottom - inset};
}
