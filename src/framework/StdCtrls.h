#pragma once
// The standard text controls: the windowless graphic control, the label and
// a display-only memo.

#include <cstdint>
#include <memory>
#include <string>

#include "framework/Controls.h"
#include "framework/ExtCtrls.h"

enum TTextLayout : uint8_t { tlTop, tlCenter, tlBottom };
TW_ENUM(TTextLayout, "tlTop", "tlCenter", "tlBottom");

// A windowless control that paints itself on a canvas: its parent sends it
// WM_PAINT with the parent's device context in WParam, moved to the
// control's top-left corner and clipped to it, during the parent's own
// paint (a message without a context paints nothing).
class TGraphicControl : public TControl {
    TW_CLASS(TGraphicControl, TControl)
public:
    explicit TGraphicControl(TComponent* Owner);
    ~TGraphicControl() override;
    // Attached to the parent's context while Paint runs.
    TCanvas* Canvas() const { return Canvas_.get(); }

protected:
    void Dispatch(TMessage& Message) override;
    virtual void Paint() {}

private:
    std::unique_ptr<TCanvas> Canvas_;
};

// Text in a rectangle. Opaque (its Color fills the rectangle) unless
// Transparent; "&" marks the accelerator when ShowAccelChar; with AutoSize
// the label takes the size of its text (keeping its right edge when right
// justified) whenever the caption, the font or the wrapping change.
class TCustomLabel : public TGraphicControl {
    TW_CLASS(TCustomLabel, TGraphicControl)
public:
    explicit TCustomLabel(TComponent* Owner);

    TAlignment Alignment() const { return Alignment_; }
    void SetAlignment(TAlignment Value);
    bool AutoSize() const { return AutoSize_; }
    void SetAutoSize(bool Value);
    TTextLayout Layout() const { return Layout_; }
    void SetLayout(TTextLayout Value);
    bool ShowAccelChar() const { return ShowAccelChar_; }
    void SetShowAccelChar(bool Value);
    bool Transparent() const { return Transparent_; }
    void SetTransparent(bool Value);
    bool WordWrap() const { return WordWrap_; }
    void SetWordWrap(bool Value);

    bool CanAutoSize(int& NewWidth, int& NewHeight) override;

protected:
    void Dispatch(TMessage& Message) override;
    void Loaded() override;
    void Paint() override;
    // Draws (or with DT_CALCRECT measures) the caption on DC with the
    // label's font.
    void DoDrawText(HDC DC, RECT& Rect, UINT Flags);
    void AdjustBounds();

private:
    UINT TextFlags() const;

    TAlignment Alignment_ = taLeftJustify;
    bool AutoSize_ = true;
    TTextLayout Layout_ = tlTop;
    bool ShowAccelChar_ = true;
    bool Transparent_ = false;
    bool WordWrap_ = false;
};

class TLabel : public TCustomLabel {
    TW_CLASS(TLabel, TCustomLabel)
public:
    explicit TLabel(TComponent* Owner) : TCustomLabel(Owner) {}
};

// Lines of text in a window of its own, drawn in the font on the memo's
// colour inside an optional one-pixel border. Display only: it takes no
// keyboard input, so ReadOnly is stored but changes nothing.
class TCustomMemo : public TWinControl {
    TW_CLASS(TCustomMemo, TWinControl)
public:
    explicit TCustomMemo(TComponent* Owner);
    ~TCustomMemo() override;

    TStrings* Lines() const { return Lines_.get(); }
    void SetLines(TStrings* Value) { Lines_->Assign(Value); }
    TAlignment Alignment() const { return Alignment_; }
    void SetAlignment(TAlignment Value);
    TBorderStyle BorderStyle() const { return BorderStyle_; }
    void SetBorderStyle(TBorderStyle Value);
    bool ReadOnly() const { return ReadOnly_; }
    void SetReadOnly(bool Value) { ReadOnly_ = Value; }
    bool WordWrap() const { return WordWrap_; }
    void SetWordWrap(bool Value);

protected:
    void Dispatch(TMessage& Message) override;
    void PaintWindow(HDC DC) override;

private:
    std::unique_ptr<TStringList> Lines_;
    std::unique_ptr<TCanvas> canvas_;
    TAlignment Alignment_ = taLeftJustify;
    TBorderStyle BorderStyle_ = bsSingle;
    bool ReadOnly_ = false;
    bool WordWrap_ = true;
};

class TMemo : public TCustomMemo {
    TW_CLASS(TMemo, TCustomMemo)
public:
    explicit TMemo(TComponent* Owner) : TCustomMemo(Owner) {}
};
