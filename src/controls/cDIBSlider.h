#pragma once
// The bitmap slider: a linear value control composed of up to five pictures
// of an image list (two end caps, a tiled or stretched track, an overlay
// that fills the track up to the pointer, and the pointer). It lays the
// pieces out from the picture sizes, maps Position between Min and Max onto
// the pointer's pixel offset along the track, and is moved by dragging the
// pointer, by the end caps, by clicking the track (repeating while the
// button is held) and by the keyboard.

#include <cstdint>

#include "controls/cDIBControl.h"
#include "dib/cDIBImageList.h"
#include "framework/Graphics.h"

// A step of the slider: 1..32767.
using TSliderInc = std::int16_t;

enum TSliderType : std::uint8_t { stHorizontal, stVertical };
TW_ENUM(TSliderType, "stHorizontal", "stVertical");

class TCustomDIBSlider : public TCustomDIBControl {
    TW_CLASS(TCustomDIBSlider, TCustomDIBControl)

public:
    explicit TCustomDIBSlider(TComponent* Owner);
    ~TCustomDIBSlider() override;

    // The size is kept at least at the minimum size; a loaded slider is laid
    // out again.
    void SetBounds(int ALeft, int ATop, int AWidth, int AHeight) override;
    void Loaded() override;
    // Without a track picture the slider keeps its size; otherwise the
    // cross size follows the largest of the caps and the track.
    bool CanAutoSize(int& NewWidth, int& NewHeight) override;

    TDIBImageLink* IndexEnd1() const { return IndexEnd1_; }
    TDIBImageLink* IndexEnd2() const { return IndexEnd2_; }
    TDIBImageLink* IndexMain() const { return IndexMain_; }
    TDIBImageLink* IndexOverlay() const { return IndexOverlay_; }
    TDIBImageLink* IndexPointer() const { return IndexPointer_; }

    int Position() const { return Position_; }
    void SetPosition(int Value);
    int Min() const { return Min_; }
    void SetMin(int Value);
    int Max() const { return Max_; }
    void SetMax(int Value);
    TSliderInc SmallChange() const { return SmallChange_; }
    void SetSmallChange(TSliderInc Value);
    TSliderInc LargeChange() const { return LargeChange_; }
    void SetLargeChange(TSliderInc Value);
    TSliderInc PageSize() const { return PageSize_; }
    void SetPageSize(TSliderInc Value);

    TSliderType SliderType() const { return SliderType_; }
    void SetSliderType(TSliderType Value);
    std::uint8_t OverlayBorderX() const { return OverlayBorderX_; }
    void SetOverlayBorderX(std::uint8_t Value);
    std::uint8_t OverlayBorderY() const { return OverlayBorderY_; }
    void SetOverlayBorderY(std::uint8_t Value);
    int PointerOffset() const { return PointerOffset_; }
    void SetPointerOffset(int Value);
    std::uint8_t OverlayOpacity() const { return OverlayOpacity_; }
    void SetOverlayOpacity(std::uint8_t Value);
    std::uint8_t PointerOpacityHigh() const { return PointerOpacityHigh_; }
    void SetPointerOpacityHigh(std::uint8_t Value);
    std::uint8_t PointerOpacityLow() const { return PointerOpacityLow_; }
    void SetPointerOpacityLow(std::uint8_t Value);
    bool StretchBackground() const { return StretchBackground_; }
    void SetStretchBackground(bool Value);
    bool AutoSize() const { return AutoSize_; }
    void SetAutoSize(bool Value);

    // The layout in control coordinates; right and bottom are inclusive.
    const TRect& End1Rect() const { return End1Rect_; }
    const TRect& End2Rect() const { return End2Rect_; }
    const TRect& TrackRect() const { return TrackRect_; }
    const TRect& OverlayRect() const { return OverlayRect_; }
    const TRect& PointerRect() const { return PointerRect_; }
    // The pointer's offset along the track, 0..Travel().
    int PointerPos() const { return PointerPos_; }
    // The pixels the pointer can move; 0 when it is no shorter than the track.
    int Travel() const;
    bool Dragging() const { return dragging_; }
    // A drag with Shift held moves the pointer this many times slower.
    static constexpr int kFineDivisor = 4;

    TNotifyEvent OnChange;

    // The operations the slider adds, in this order.
    virtual void GetMinimumSize(TPoint& Size);
    virtual void DoChange();

    void DoDIBEnter() override;
    void DoDIBExit() override;
    void LinkedImageChanged(int Index, bool Changed) override;
    void Paint() override;
    void CaptureLost() override;

protected:
    void WndProc(TMessage& Message) override;
    void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    void MouseMove(TShiftState Shift, int X, int Y) override;
    void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) override;
    // A notch moves the pointer by SmallChange (with Shift, by a quarter of
    // it where that is at least 1): up on a vertical slider, right on a
    // horizontal one, for a turn away from the user.
    void MouseWheel(TShiftState Shift, int WheelDelta, int X, int Y) override;
    void KeyDown(std::uint16_t& Key, TShiftState Shift) override;

private:
    bool Horizontal() const { return SliderType_ == stHorizontal; }
    void CalcLayout();
    // CalcLayout with the pointer placed for Position on the new travel.
    void Relayout();
    // Runs the auto-size query and takes its answer.
    void AdjustSize();
    // After a change of a layout property: the size follows the pictures
    // when AutoSize is on, else the pieces are laid out again.
    void LayoutChanged();
    int PositionToPixel(int Value) const;
    // The part of Max - Min that a distance of P pixels stands for.
    std::int64_t PixelSpan(std::int64_t P) const;
    // Position moved by Delta through the setter, kept within Min..Max.
    void StepBy(std::int64_t Delta);
    void DragTo(int P);
    void FineDragBy(std::int64_t Moved);
    void DrawTrack(TMemoryDIB* Track);
    void DrawOverlay(TMemoryDIB* Overlay);
    // Picture stretched to W x H, with its drawing settings, in a bitmap
    // that is kept between paints (so that painting allocates nothing).
    TMemoryDIB& Stretched(TMemoryDIB* Picture, int W, int H);

    TMemoryDIB stretched_;

    TPoint grab_{0, 0};
    bool dragging_ = false;
    bool fine_ = false;              // the drag goes at the fine speed
    std::int64_t fineQuarters_ = 0;  // the pointer's offset in quarter pixels, then
    std::int64_t lastAlong_ = 0;     // the mouse along the track at the last move
    int PointerPos_ = 0;
    std::uint8_t PointerOpacityLow_ = 196;
    std::uint8_t PointerOpacityHigh_ = 255;
    TDIBImageLink* IndexEnd1_ = nullptr;
    TDIBImageLink* IndexEnd2_ = nullptr;
    TDIBImageLink* IndexMain_ = nullptr;
    TDIBImageLink* IndexOverlay_ = nullptr;
    TDIBImageLink* IndexPointer_ = nullptr;
    TSliderInc LargeChange_ = 5;
    int lastReported_ = 0;
    int Max_ = 100;
    int Min_ = 0;
    std::uint8_t OverlayOpacity_ = 64;
    std::uint8_t OverlayBorderX_ = 0;
    std::uint8_t OverlayBorderY_ = 0;
    int PointerOffset_ = 0;
    TRect End1Rect_{-1, -1, -1, -1};
    TRect End2Rect_{-1, -1, -1, -1};
    TRect TrackRect_{-1, -1, -1, -1};
    TRect OverlayRect_{-1, -1, -1, -1};
    TRect PointerRect_{-1, -1, -1, -1};
    TSliderType SliderType_ = stHorizontal;
    TSliderInc SmallChange_ = 1;
    TSliderInc PageSize_ = 5;
    int Position_ = 0;
    bool StretchBackground_ = true;
    bool AutoSize_ = true;
};

class TDIBSlider : public TCustomDIBSlider {
    TW_CLASS(TDIBSlider, TCustomDIBSlider)

public:
    using TCustomDIBSlider::TCustomDIBSlider;
};
