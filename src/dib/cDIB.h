#pragma once
// The 32-bit bitmap family: pixel store, stream record and drawing.
//
// Pixels are four bytes, blue, green, red, mask (0 transparent, 255 opaque),
// stored bottom-up without row padding: image row y (0 = top) starts at pixel
// (Height - 1 - y) * Width.

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "framework/Graphics.h"
#include "gdi/Gdi.h"
#include "objects/Classes.h"
#include "objects/SysUtils.h"

struct TDIBPixel {
    std::uint8_t Blue;
    std::uint8_t Green;
    std::uint8_t Red;
    std::uint8_t Mask;
};
static_assert(sizeof(TDIBPixel) == 4);

using TAngle = std::uint16_t;

enum TTransparentMode : std::uint8_t { tmAuto = 0, tmFixed = 1 };
TW_ENUM(TTransparentMode, "tmAuto", "tmFixed");

TW_DECLARE_EXCEPTION(EDIBError, Exception);

// Colour conversion between a TColor (0x00BBGGRR) and a pixel word
// (0xMMRRGGBB). The pixel made from a colour has mask 0.
std::uint32_t ColorToPixel(TColor Color);
TColor PixelToColor(std::uint32_t Pixel);
std::uint32_t PixelWord(const TDIBPixel& P);

class TAbstractSuperDIB;

// A row routine: `Rows` rows of `W` pixels from `Src` onto `Dst`, top row
// first; after each row both addresses move one image row down, which is one
// row back in memory (by the stride of their own bitmap, in pixels).
using TDIBRowRoutine = void (TAbstractSuperDIB::*)(const TDIBPixel* Src, TDIBPixel* Dst, int Rows,
                                                   int W, std::ptrdiff_t SrcStride,
                                                   std::ptrdiff_t DstStride);

// A row routine bound to the bitmap whose Opacity and stored TransparentColor
// it reads.
struct TDIBDrawProc {
    TAbstractSuperDIB* Owner = nullptr;
    TDIBRowRoutine Routine = nullptr;

    void operator()(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W, std::ptrdiff_t SrcStride,
                    std::ptrdiff_t DstStride) const {
        (Owner->*Routine)(Src, Dst, Rows, W, SrcStride, DstStride);
    }
    bool operator==(const TDIBDrawProc&) const = default;
};

// Argument of Filter: a 3 x 3 convolution, weights in image order (row above,
// the pixel's row, row below; each left, centre, right).
struct TDIBFilter {
    std::int32_t Reserved = 0;
    std::int16_t RedBias = 0;
    std::int16_t GreenBias = 0;
    std::int16_t BlueBias = 0;
    std::uint8_t Opacity = 255;
    std::int32_t Divisor = 0;  // <= 0: the sum of the weights
    std::int16_t Weights[9] = {};
};

// The vector width the blending row routines use: 0 four pixels at a time
// (SSE2), 1 eight (AVX2), 2 sixteen (AVX-512BW). Chosen at start-up as the
// widest the processor has; tests and benchmarks lower it to compare the
// paths, which give identical pixels.
int DIBVectorLevel();
int DIBHighestVectorLevel();
void SetDIBVectorLevel(int Level);

// Sine and cosine of whole degrees scaled by 256, built once at start-up.
extern const std::array<int, 360> SinTable;
extern const std::array<int, 360> CosTable;
extern const std::array<int, 360> CosQuarterTable;
extern const std::array<int, 360> NegSinQuarterTable;

struct TDIBSize {
    int Width;
    int Height;
    bool operator==(const TDIBSize&) const = default;
};

// The even-sized box that holds a W x H picture scaled (percent) and rotated.
TDIBSize CalcRotatedSize(int W, int H, int Angle, double ScaleX, double ScaleY);

class TAbstractSuperDIB : public TPersistent {
    TW_CLASS(TAbstractSuperDIB, TPersistent)
public:
    // Selects the constructors that make a view of another bitmap's pixels.
    struct ViewTag {};
    static constexpr ViewTag View{};

    TAbstractSuperDIB(const TAbstractSuperDIB&) = delete;
    TAbstractSuperDIB& operator=(const TAbstractSuperDIB&) = delete;
    ~TAbstractSuperDIB() override;

    // TPersistent
    void AssignTo(TPersistent* Dest) override;
    void DefineProperties(TFiler* Filer) override;

    virtual void AllocateBits() = 0;
    virtual void FreeBits() = 0;
    // Called by SetSize, the new size already set: keeps the buffer when it
    // can hold the new size, cleared as a new one would be. False: the
    // buffer is freed and a new one allocated.
    virtual bool ReuseBits() { return false; }
    virtual void Changed();
    virtual void SelectDrawProc();

    // The eight row routines.
    virtual void RowMaskAsGrey(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                               std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride);
    virtual void RowMaskOnly(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                             std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride);
    virtual void RowCopy(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                         std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride);
    virtual void RowCopyOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride);
    virtual void RowMasked(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                           std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride);
    virtual void RowMaskedOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                  std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride);
    virtual void RowTransparent(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride);
    virtual void RowTransparentOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                       std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride);

    virtual void SetAngle(int Value);
    virtual void SetAutoSize(bool Value);
    virtual void SetHeight(int Value);
    virtual void SetMasked(bool Value);
    virtual void SetOpacity(std::uint8_t Value);
    virtual void SetScale(long double Value);
    virtual void SetScaleX(long double Value);
    virtual void SetScaleY(long double Value);
    virtual void SetWidth(int Value);

    virtual void ReadData(TStream& Stream);
    virtual void WriteData(TStream& Stream);
    virtual void Filter(const TDIBFilter& Description);
    virtual void CopyPropertiesTo(TPersistent* Dest);
    virtual void Draw(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX, int SrcY);
    virtual void DrawRaw(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX, int SrcY);
    virtual void DrawMask(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX, int SrcY);
    virtual void DrawMaskAsGrey(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                                int SrcY);
    virtual void UseBitsOf(TAbstractSuperDIB* Source);
    virtual void Fill(TColor Color);
    virtual void FillRect(TColor Color, int X, int Y, int W, int H);
    virtual void InitDefaults();
    virtual void SetSize(int W, int H);
    virtual void RenderTransformed(TAbstractSuperDIB* Dest);
    virtual bool HasBits() const;
    virtual void ImportMask(const std::string& FileName);
    virtual void ImportPicture(const std::string& FileName);

    void BeginUpdate() { ++UpdateCount_; }
    void EndUpdate();

    void SetMaskValue(std::uint8_t M);
    void SetClipRect(const TRect& R);
    void CopyPixelsFrom(TAbstractSuperDIB* Source);
    void StretchFrom(TAbstractSuperDIB* Source);
    // Window regions (caller owns the handle; 0 when no pixel is inside).
    HRGN CreateMaskRegion(std::uint8_t Threshold) const;
    HRGN CreateColorRegion(TColor Color) const;

    // A film strip of Frames frames side by side, at its present size, whose
    // frames are drawn on first use by Draw(Index) into this bitmap: drawing
    // a frame of it (DrawGlyph, DrawGlyphTween) or copying its pixels draws
    // what is missing first, so a strip made when a window opens costs only
    // the frames it shows. Once the size changes the source is dropped.
    void SetFrameSource(int Frames, std::function<void(int Index)> Draw);
    // Draws frame Index of a strip of Frames frames if it is still missing
    // (every missing frame when Frames is not the source's count).
    void PrepareFrame(int Index, int Frames);
    void PrepareFrames();
    // The frames drawn so far (the frame count when there is no source).
    int PreparedFrames() const;

    TDIBPixel* ScanLine(int Row) const {
        return Bits_ + std::ptrdiff_t(Height_ - Row - 1) * Width_;
    }
    TDIBPixel* Bits() const { return Bits_; }
    std::size_t PixelCount() const { return std::size_t(Width_) * Height_; }

    TAngle Angle() const { return Angle_; }
    bool AutoSize() const { return AutoSize_; }
    const TRect& ClipRect() const { return ClipRect_; }
    int Height() const { return Height_; }
    int Width() const { return Width_; }
    bool Masked() const { return Masked_; }
    std::uint8_t Opacity() const { return Opacity_; }
    bool OwnsBits() const { return OwnsBits_; }
    long double Scale() const { return ScaleX_; }
    long double ScaleX() const { return ScaleX_; }
    long double ScaleY() const { return ScaleY_; }
    bool Transparent() const { return Transparent_; }
    void SetTransparent(bool Value);
    TColor TransparentColor() const;
    void SetTransparentColor(TColor Value);
    // The stored key in pixel order (0x00RRGGBB), whatever TransparentMode says.
    std::uint32_t StoredTransparentColor() const { return TransparentColor_; }
    TTransparentMode TransparentMode() const { return TransparentMode_; }
    void SetTransparentMode(TTransparentMode Value);
    int UpdateCount() const { return UpdateCount_; }
    const TNotifyEvent& OnChange() const { return OnChange_; }
    void SetOnChange(TNotifyEvent Value) { OnChange_ = std::move(Value); }
    const TDIBDrawProc& DrawProc() const { return DrawProc_; }
    void SetDrawProc(const TDIBDrawProc& Value) { DrawProc_ = Value; }
    // The row routine `Routine` bound to this bitmap.
    TDIBDrawProc Bound(TDIBRowRoutine Routine) { return {this, Routine}; }

protected:
    TAbstractSuperDIB();  // Create: no size, no pixels, defaults

    explicit TAbstractSuperDIB(ViewTag) {}

    // The pixels of a record, parsed into this bitmap (SetSize, copy, Changed).
    void LoadRecord(const std::uint8_t* Data, std::size_t Size);

    TAngle Angle_ = 0;
    bool AutoSize_ = false;
    TRect ClipRect_{0, 0, 0, 0};
    std::uint16_t Height_ = 0;
    bool Masked_ = false;
    std::uint8_t Opacity_ = 0;
    bool OwnsBits_ = true;
    long double ScaleX_ = 0;
    long double ScaleY_ = 0;
    bool Transparent_ = false;
    std::uint32_t TransparentColor_ = 0;
    TTransparentMode TransparentMode_ = tmAuto;
    std::int32_t UpdateCount_ = 0;
    std::uint16_t Width_ = 0;
    TNotifyEvent OnChange_;
    TDIBDrawProc DrawProc_;
    TDIBPixel* Bits_ = nullptr;

private:
    void DrawPlain(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX, int SrcY);
    void DrawTransformed(int X, int Y, int W, int H, TAbstractSuperDIB* Dest);
    void DrawWithRoutine(TDIBRowRoutine Routine, bool Untransformed, int X, int Y, int W, int H,
                         TAbstractSuperDIB* Dest, int SrcX, int SrcY);
    HRGN BuildRegion(bool ByMask, std::uint8_t Threshold, std::uint32_t Key) const;
    // False (and the source dropped) when the size is no longer its own.
    bool FrameSourceValid();

    struct FrameSource {
        int frames;
        int width, height;
        std::function<void(int)> draw;
        std::vector<bool> drawn;
    };
    std::unique_ptr<FrameSource> frameSource_;
    // The bitmap a view (UseBitsOf) shows the pixels of.
    TAbstractSuperDIB* bitsOwner_ = nullptr;
};

class TCustomMemoryDIB : public TAbstractSuperDIB {
    TW_CLASS(TCustomMemoryDIB, TAbstractSuperDIB)
public:
    TCustomMemoryDIB();
    TCustomMemoryDIB(int W, int H);                        // CreateSize
    TCustomMemoryDIB(ViewTag, TAbstractSuperDIB* Source);  // CreateView
    ~TCustomMemoryDIB() override;

    void AssignTo(TPersistent* Dest) override;
    void DefineProperties(TFiler* Filer) override;
    void AllocateBits() override;
    void FreeBits() override;
    bool ReuseBits() override;
    void ReadData(TStream& Stream) override;
    void WriteData(TStream& Stream) override;
    void ImportMask(const std::string& FileName) override;
    void ImportPicture(const std::string& FileName) override;

    const std::string& ImageFilename() const { return ImageFilename_; }
    void SetImageFilename(const std::string& V) { ImageFilename_ = V; }
    const std::string& MaskFilename() const { return MaskFilename_; }
    void SetMaskFilename(const std::string& V) { MaskFilename_ = V; }
    bool StoreData() const { return StoreData_; }
    void SetStoreData(bool V) { StoreData_ = V; }

protected:
    std::string ImageFilename_;
    std::string MaskFilename_;
    bool StoreData_ = true;

private:
    std::size_t capacity_ = 0;  // pixels the buffer can hold
};

class TMemoryDIB : public TCustomMemoryDIB {
    TW_CLASS(TMemoryDIB, TCustomMemoryDIB)
public:
    using TCustomMemoryDIB::TCustomMemoryDIB;
};

class TCustomWinDIB : public TAbstractSuperDIB {
    TW_CLASS(TCustomWinDIB, TAbstractSuperDIB)
public:
    TCustomWinDIB();
    TCustomWinDIB(int W, int H);
    TCustomWinDIB(ViewTag, TAbstractSuperDIB* Source);
    ~TCustomWinDIB() override;

    void AllocateBits() override;
    void FreeBits() override;

    HDC Handle() const { return Handle_; }
    TCanvas* Canvas() const { return Canvas_.get(); }

protected:
    HDC Handle_ = nullptr;
    HBITMAP Section_ = nullptr;
    HGDIOBJ OldBitmap_ = nullptr;
    std::unique_ptr<TCanvas> Canvas_;

private:
    void MakeCanvas();
    // The pixels live in a mapping that is only ever grown, and the context
    // stays, so that a surface resized to one control after another (the
    // container's scratch surface) allocates only when it grows.
    HANDLE mapping_ = nullptr;
    std::size_t mappingBytes_ = 0;
};

class TWinDIB : public TCustomWinDIB {
    TW_CLASS(TWinDIB, TCustomWinDIB)
public:
    using TCustomWinDIB::TCustomWinDIB;
};

// Film strips: frame Index of a horizontal strip of NumGlyphs equal frames,
// drawn with the picture's own settings.
void DrawGlyph(TAbstractSuperDIB* Picture, int X, int Y, int Index, int NumGlyphs,
               TAbstractSuperDIB* Dest);
// The strip position for Position in Min..Max, blending the two nearest frames.
void DrawGlyphTween(TAbstractSuperDIB* Picture, int X, int Y, int NumGlyphs,
                    TAbstractSuperDIB* Dest, int Min, int Max, int Position, bool Wrap);
