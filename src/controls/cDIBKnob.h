#pragma once
// The film-strip knob: one picture holds NumGlyphs frames side by side and
// the knob shows the frame of its Position between Min and Max. A left drag
// turns it (the pointer is hidden and held in place, so no screen edge stops
// the drag; with Shift a quarter as fast); the wheel turns it a step a
// notch; arrow and page keys turn it while it has the focus. The same
// class serves as a switch (2 frames) or a meter driven by the program.

#include <algorithm>
#include <cstdint>

#include "controls/cDIBControl.h"
#include "dib/cDIB.h"

TW_DECLARE_EXCEPTION(EDIBKnobError, EDIBError);

enum class TKnobOrientation : std::uint8_t { koVertical, koHorizontal };
TW_ENUM(TKnobOrientation, "koVertical", "koHorizontal");

// A step of the knob: 1..32767.
using TKnobInc = std::int16_t;

class TCustomDIBKnob : public TCustomDIBControl {
    TW_CLASS(TCustomDIBKnob, TCustomDIBControl)

public:
    explicit TCustomDIBKnob(TComponent* Owner);
    ~TCustomDIBKnob() override;

    TDIBImageLink* IndexMain() const { return IndexMain_; }
    int Max() const { return Max_; }
    // Keeps Min < Max: a Max at or below Min pulls Min to Max - 1 (and Max
    // is at least the least integer + 1); Position follows into the range.
    void SetMax(int Value);
    int Min() const { return Min_; }
    void SetMin(int Value);
    int Position() const { return Position_; }
    // Clamped to Min..Max; OnChange when the value changes; always repaints.
    void SetPosition(int Value);
    TKnobInc SmallChange() const { return SmallChange_; }
    void SetSmallChange(TKnobInc Value);
    TKnobInc PageSize() const { return PageSize_; }
    void SetPageSize(TKnobInc Value);
    int NumGlyphs() const { return NumGlyphs_; }
    // EDIBKnobError "NumGlyphs must be greater than 0." for 0 or less.
    void SetNumGlyphs(int Value);
    bool DrawTweens() const { return DrawTweens_; }
    void SetDrawTweens(bool Value);
    bool LoopLastFrame() const { return LoopLastFrame_; }
    void SetLoopLastFrame(bool Value);
    TKnobOrientation Orientation() const { return Orientation_; }
    void SetOrientation(TKnobOrientation Value) { Orientation_ = Value; }
    bool AutoSize() const { return AutoSize_; }
    void SetAutoSize(bool Value);
    bool Dragging() const { return dragging_; }
    // A drag with Shift held turns the knob this many times slower.
    static constexpr int kFineDivisor = 4;
    // The device pixels of a drag's step in hundredths: 100 (a step a pixel)
    // unless the knob is shown at a device scale, where a drag turns it by
    // as much per distance as at 100 %. At least 1.
    int DragScale() const { return dragScale_; }
    void SetDragScale(int Hundredths) { dragScale_ = std::max(Hundredths, 1); }

    bool CanAutoSize(int& NewWidth, int& NewHeight) override;
    void Loaded() override;
    void LinkedImageChanged(int Index, bool Changed) override;
    void Paint() override;
    void CaptureLost() override;

    // The operations a knob adds, in this order.
    virtual void StartDragging();
    virtual int GetFrameIndex();
    virtual void StopDragging();

    TNotifyEvent OnChange;

protected:
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // A notch turns the knob by SmallChange (with Shift, by a quarter of it
    // where that is at least 1).
    void MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) override;
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;

private:
    void AdjustSize();
    // Position + Steps x Step without overflow, clamped by the setter.
    void MoveBy(std::int64_t Steps, std::int64_t Step);

    bool dragging_ = false;
    TPoint dragOrigin_{0, 0};
    // The drag short of a step, in hundredths of a pixel, and whether it is
    // a fine drag's: a change of speed starts afresh.
    std::int64_t dragRest_ = 0;
    bool restFine_ = false;
    int dragScale_ = 100;
    TDIBImageLink* IndexMain_ = nullptr;
    int Max_ = 100;
    int Min_ = 0;
    TKnobInc SmallChange_ = 1;
    TKnobInc PageSize_ = 5;
    int Position_ = 0;
    int NumGlyphs_ = 1;
    bool DrawTweens_ = false;
    bool LoopLastFrame_ = false;
    TKnobOrientation Orientation_ = TKnobOrientation::koVertical;
    bool AutoSize_ = true;
};

class TDIBKnob : public TCustomDIBKnob {
    TW_CLASS(TDIBKnob, TCustomDIBKnob)

public:
    explicit TDIBKnob(TComponent* Owner);
};
