#pragma once
// The panel: a windowed container that fills its background with its colour.

#include <cstdint>

#include "framework/Controls.h"

enum TBevelCut : uint8_t { bvNone, bvLowered, bvRaised, bvSpace };
TW_ENUM(TBevelCut, "bvNone", "bvLowered", "bvRaised", "bvSpace");
enum TBorderStyle : uint8_t { bsNone, bsSingle };
TW_ENUM(TBorderStyle, "bsNone", "bsSingle");
enum TAlignment : uint8_t { taLeftJustify, taRightJustify, taCenter };
TW_ENUM(TAlignment, "taLeftJustify", "taRightJustify", "taCenter");

// The bevels and the border width narrow the area the aligned children
// share; the bevels, BorderStyle and Alignment are not drawn (whoever
// derives from the panel paints it).
class TCustomPanel : public TWinControl {
    TW_CLASS(TCustomPanel, TWinControl)

public:
    explicit TCustomPanel(TComponent* Owner);

    TBevelCut BevelInner() const { return BevelInner_; }
    void SetBevelInner(TBevelCut Value) { SetFrame(BevelInner_, Value); }
    TBevelCut BevelOuter() const { return BevelOuter_; }
    void SetBevelOuter(TBevelCut Value) { SetFrame(BevelOuter_, Value); }
    int BevelWidth() const { return BevelWidth_; }
    // At least 1.
    void SetBevelWidth(int Value);
    int BorderWidth() const { return BorderWidth_; }
    // At least 0.
    void SetBorderWidth(int Value);
    TBorderStyle BorderStyle() const { return BorderStyle_; }
    void SetBorderStyle(TBorderStyle Value) { BorderStyle_ = Value; }
    TAlignment Alignment() const { return Alignment_; }
    void SetAlignment(TAlignment Value) { Alignment_ = Value; }

protected:
    void Dispatch(TMessage& Message) override;
    void AdjustClientRect(TRect& Rect) override;

private:
    template <class T>
    void SetFrame(T& Field, T Value);

    TBevelCut BevelInner_ = bvNone;
    TBevelCut BevelOuter_ = bvRaised;
    int BevelWidth_ = 1;
    int BorderWidth_ = 0;
    TBorderStyle BorderStyle_ = bsNone;
    TAlignment Alignment_ = taCenter;
};
