#pragma once
// The fade label: text drawn onto the bitmap surface. It turns to its
// highlight colour at once when the pointer enters (or it gains the focus)
// and fades back to the font colour in FrameCount steps of FrameDelay ms
// when the pointer leaves. Its whole image can be rotated and scaled, and
// laid onto the container with an opacity.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "controls/cDIBControl.h"
#include "controls/cDIBTimer.h"
#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"

class TCustomDIBFadeLabel : public TCustomDIBControl {
    TW_CLASS(TCustomDIBFadeLabel, TCustomDIBControl)

public:
    explicit TCustomDIBFadeLabel(TComponent* Owner);
    ~TCustomDIBFadeLabel() override;

    // Setting either rebuilds the fade ramp; neither repaints.
    TColor ColorHighlighted() const { return ColorHighlighted_; }
    void SetColorHighlighted(TColor Value);
    std::uint8_t FrameCount() const { return FrameCount_; }
    void SetFrameCount(std::uint8_t Value);
    // A running fade keeps the interval it started with.
    std::uint32_t FrameDelay() const { return FrameDelay_; }
    void SetFrameDelay(std::uint32_t Value) { FrameDelay_ = Value; }
    TAngle Angle() const { return Angle_; }
    void SetAngle(TAngle Value);  // taken modulo 360
    TAlignment Alignment() const { return Alignment_; }
    void SetAlignment(TAlignment Value);
    TTextLayout Layout() const { return Layout_; }
    void SetLayout(TTextLayout Value);
    long double Scale() const { return Scale_; }
    void SetScale(long double Value);
    bool ShowAccelChar() const { return ShowAccelChar_; }
    void SetShowAccelChar(bool Value);
    bool Transparent() const { return Transparent_; }
    void SetTransparent(bool Value);
    bool WordWrap() const { return WordWrap_; }
    void SetWordWrap(bool Value);
    bool AutoSize() const { return AutoSize_; }
    void SetAutoSize(bool Value);

    // The colour the text is drawn in now, and the ramp of the fade-out.
    TColor CurrentColor() const { return CurrentColor_; }
    const std::vector<TColor>& FadeColors() const { return FadeColors_; }
    int FadeIndex() const { return FadeIndex_; }
    bool Fading() const { return fadeTimer_->Enabled(); }

    void Highlight() override;
    void Unhighlight() override;
    void Paint() override;
    void Loaded() override;
    bool CanAutoSize(int& NewWidth, int& NewHeight) override;

    // Draws (or with DT_CALCRECT measures) the caption on the Canvas.
    virtual void DrawLabelText(RECT& Rect, UINT Flags);
    virtual void UpdateFadeColors();

protected:
    void Dispatch(TMessage& Message) override;
    void KeyPress(char& Key) override;

private:
    void FadeStep(TObject* Sender);
    void FinishFade();
    void AdjustSize();
    UINT TextFlags() const;

    std::unique_ptr<TDIBTimer> fadeTimer_;
    TColor CurrentColor_ = 0;
    int FadeIndex_ = 0;
    std::vector<TColor> FadeColors_;
    TColor ColorHighlighted_ = clWhite;
    std::uint8_t FrameCount_ = 10;
    std::uint32_t FrameDelay_ = 50;
    TAngle Angle_ = 0;
    TAlignment Alignment_ = taLeftJustify;
    TTextLayout Layout_ = tlTop;
    long double Scale_ = 100.0L;
    bool ShowAccelChar_ = true;
    bool Transparent_ = true;
    bool WordWrap_ = false;
    bool AutoSize_ = true;
};

class TDIBFadeLabel : public TCustomDIBFadeLabel {
    TW_CLASS(TDIBFadeLabel, TCustomDIBFadeLabel)

public:
    explicit TDIBFadeLabel(TComponent* Owner) : TCustomDIBFadeLabel(Owner) {}
};
