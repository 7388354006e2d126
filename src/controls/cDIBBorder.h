#pragma once
// A frame of pictures around a rectangle of a bitmap: four edges, each two
// end pictures with a middle picture tiled or stretched between them. A
// container refers to one border, narrows its client area by the edges'
// sizes and asks the border to draw itself under or over its controls.

#include <cstdint>
#include <memory>

#include "dib/cDIB.h"
#include "dib/cDIBImageList.h"
#include "objects/Classes.h"

// How the middle picture fills the span between the end pictures.
enum TDIBBorderDrawStyle : std::uint8_t { dsTile, dsStretch };
TW_ENUM(TDIBBorderDrawStyle, "dsTile", "dsStretch");

// Which side of the rectangle an edge runs along.
enum class TDIBBorderSide : std::uint8_t { Left = 0, Right = 1, Top = 2, Bottom = 3 };

// One edge. The horizontal and vertical kinds differ only in the names under
// which their pictures are published.
class TDIBBorderEdge : public TPersistent {
    TW_CLASS(TDIBBorderEdge, TPersistent)

public:
    // Owner is the component that holds the edge: the links report to it, and
    // it names the edge in streams.
    TDIBBorderEdge(TDIBBorderSide Side, TComponent* Owner = nullptr);
    ~TDIBBorderEdge() override;

    TPersistent* GetOwner() const override { return owner_; }

    // The thickest of the pictures whose link is valid (height for a top or
    // bottom edge, width for a left or right one); 0 without any.
    int CalcSize() const;
    void DrawEdge(TAbstractSuperDIB* Dest, const TRect& Rect) const;
    // Gives all three links one image list.
    void SetDIBImageList(TCustomDIBImageList* Value);

    bool AutoCalcSize() const { return AutoCalcSize_; }
    void SetAutoCalcSize(bool Value) { AutoCalcSize_ = Value; }
    TDIBBorderSide Side() const { return side; }
    TDIBBorderDrawStyle DrawStyle() const { return DrawStyle_; }
    void SetDrawStyle(TDIBBorderDrawStyle Value) { DrawStyle_ = Value; }
    // CalcSize while AutoCalcSize is set, the stored size otherwise. Writing
    // always sets the stored size.
    int Size() const { return AutoCalcSize_ ? CalcSize() : storedSize_; }
    void SetSize(int Value) { storedSize_ = Value; }

    // The end pictures in drawing order (left/top, then right/bottom) and the
    // middle picture.
    TDIBImageLink* FirstImage() const { return first_.get(); }
    TDIBImageLink* SecondImage() const { return second_.get(); }
    TDIBImageLink* MiddleImage() const { return middle_.get(); }

private:
    bool Vertical() const { return side == TDIBBorderSide::Left || side == TDIBBorderSide::Right; }

    bool AutoCalcSize_ = true;
    TDIBBorderSide side;
    TDIBBorderDrawStyle DrawStyle_ = dsTile;
    std::unique_ptr<TDIBImageLink> first_;
    std::unique_ptr<TDIBImageLink> second_;
    std::unique_ptr<TDIBImageLink> middle_;
    // The stretched middle picture, kept between paints.
    mutable TMemoryDIB piece_;
    std::int32_t storedSize_ = 32;
    TComponent* owner_;
};

// The top or bottom edge: ImageLeft, ImageMiddle, ImageRight.
class TDIBHorzBorderEdge : public TDIBBorderEdge {
    TW_CLASS(TDIBHorzBorderEdge, TDIBBorderEdge)

public:
    using TDIBBorderEdge::TDIBBorderEdge;
};

// The left or right edge: ImageTop, ImageMiddle, ImageBottom.
class TDIBVertBorderEdge : public TDIBBorderEdge {
    TW_CLASS(TDIBVertBorderEdge, TDIBBorderEdge)

public:
    using TDIBBorderEdge::TDIBBorderEdge;
};

class TDIBBorder : public TComponent {
    TW_CLASS(TDIBBorder, TComponent)

public:
    explicit TDIBBorder(TComponent* Owner);
    ~TDIBBorder() override;

    // The side edges run the full height; top and bottom run between them,
    // narrowed by the side pictures' thickness whatever Size says.
    void DrawBorder(TAbstractSuperDIB* Dest, const TRect& Rect) const;
    void Notification(TComponent* Component, TOperation Operation) override;

    TDIBHorzBorderEdge* BorderBottom() const { return BorderBottom_.get(); }
    TDIBVertBorderEdge* BorderLeft() const { return BorderLeft_.get(); }
    TDIBVertBorderEdge* BorderRight() const { return BorderRight_.get(); }
    TDIBHorzBorderEdge* BorderTop() const { return BorderTop_.get(); }
    TCustomDIBImageList* DIBImageList() const { return DIBImageList_; }
    // Watched for destruction; given to the links of all four edges.
    void SetDIBImageList(TCustomDIBImageList* Value);

private:
    std::unique_ptr<TDIBHorzBorderEdge> BorderBottom_;
    std::unique_ptr<TDIBVertBorderEdge> BorderLeft_;
    std::unique_ptr<TDIBVertBorderEdge> BorderRight_;
    std::unique_ptr<TDIBHorzBorderEdge> BorderTop_;
    TCustomDIBImageList* DIBImageList_ = nullptr;
};
