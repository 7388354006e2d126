#pragma once
// Colours, canvases over device contexts, graphics and pictures loaded from
// files.

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "gdi/Gdi.h"
#include "objects/Classes.h"
#include "objects/SysUtils.h"
#include "platform/Mutex.h"
#include "platform/PictureFile.h"

// ---- geometry ------------------------------------------------------------------

struct TPoint {
    int32_t X;
    int32_t Y;
    bool operator==(const TPoint&) const = default;
};

// Right and Bottom lie just outside the rectangle, except where a user of the
// type says otherwise (a bitmap's clip rectangle is inclusive).
struct TRect {
    int32_t Left;
    int32_t Top;
    int32_t Right;
    int32_t Bottom;
    int32_t Width() const { return Right - Left; }
    int32_t Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

struct TSize {
    int32_t cx;
    int32_t cy;
    bool operator==(const TSize&) const = default;
};

inline TPoint Point(int32_t x, int32_t y) { return {x, y}; }
inline TRect Rect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return {left, top, right, bottom};
}
inline TRect Bounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    return {left, top, left + width, top + height};
}

// ---- colours -------------------------------------------------------------------

// 0x00BBGGRR for a plain colour; with the top byte 0xFF the low byte names a
// system colour (COLOR_...), resolved by ColorToRGB.
using TColor = int32_t;

inline constexpr TColor clSystemColor = static_cast<TColor>(0xFF000000u);

inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;
inline constexpr TColor clLtGray = clSilver;
inline constexpr TColor clDkGray = clGray;
inline constexpr TColor clMoneyGreen = 0xC0DCC0;
inline constexpr TColor clSkyBlue = 0xF0CAA6;
inline constexpr TColor clCream = 0xF0FBFF;
inline constexpr TColor clMedGray = 0xA4A0A0;
inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

inline constexpr TColor clScrollBar = clSystemColor | COLOR_SCROLLBAR;
inline constexpr TColor clBackground = clSystemColor | COLOR_BACKGROUND;
inline constexpr TColor clActiveCaption = clSystemColor | COLOR_ACTIVECAPTION;
inline constexpr TColor clInactiveCaption = clSystemColor | COLOR_INACTIVECAPTION;
inline constexpr TColor clMenu = clSystemColor | COLOR_MENU;
inline constexpr TColor clWindow = clSystemColor | COLOR_WINDOW;
inline constexpr TColor clWindowFrame = clSystemColor | COLOR_WINDOWFRAME;
inline constexpr TColor clMenuText = clSystemColor | COLOR_MENUTEXT;
inline constexpr TColor clWindowText = clSystemColor | COLOR_WINDOWTEXT;
inline constexpr TColor clCaptionText = clSystemColor | COLOR_CAPTIONTEXT;
inline constexpr TColor clActiveBorder = clSystemColor | COLOR_ACTIVEBORDER;
inline constexpr TColor clInactiveBorder = clSystemColor | COLOR_INACTIVEBORDER;
inline constexpr TColor clAppWorkSpace = clSystemColor | COLOR_APPWORKSPACE;
inline constexpr TColor clHighlight = clSystemColor | COLOR_HIGHLIGHT;
inline constexpr TColor clHighlightText = clSystemColor | COLOR_HIGHLIGHTTEXT;
inline constexpr TColor clBtnFace = clSystemColor | COLOR_BTNFACE;
inline constexpr TColor clBtnShadow = clSystemColor | COLOR_BTNSHADOW;
inline constexpr TColor clGrayText = clSystemColor | COLOR_GRAYTEXT;
inline constexpr TColor clBtnText = clSystemColor | COLOR_BTNTEXT;
inline constexpr TColor clInactiveCaptionText = clSystemColor | COLOR_INACTIVECAPTIONTEXT;
inline constexpr TColor clBtnHighlight = clSystemColor | COLOR_BTNHIGHLIGHT;
inline constexpr TColor cl3DDkShadow = clSystemColor | COLOR_3DDKSHADOW;
inline constexpr TColor cl3DLight = clSystemColor | COLOR_3DLIGHT;
inline constexpr TColor clInfoText = clSystemColor | COLOR_INFOTEXT;
inline constexpr TColor clInfoBk = clSystemColor | COLOR_INFOBK;
inline constexpr TColor clHotLight = clSystemColor | COLOR_HOTLIGHT;
inline constexpr TColor clGradientActiveCaption = clSystemColor | COLOR_GRADIENTACTIVECAPTION;
inline constexpr TColor clGradientInactiveCaption = clSystemColor | COLOR_GRADIENTINACTIVECAPTION;
inline constexpr TColor clMenuHighlight = clSystemColor | COLOR_MENUHILIGHT;
inline constexpr TColor clMenuBar = clSystemColor | COLOR_MENUBAR;

// A plain colour (0x00BBGGRR): system colours resolved, others unchanged.
COLORREF ColorToRGB(TColor color);

// The names of the colours above ("clWhite", "clBtnFace", ...), by which
// colour properties are streamed when a value has one; other values are
// streamed as numbers. The lookups ignore case.
bool ColorToIdent(TColor color, std::string& ident);
bool IdentToColor(std::string_view ident, TColor& color);
// The type of colour properties: TClassBuilder's .Type(ColorTypeInfo()).
const TTypeInfo* ColorTypeInfo();

// Cursor numbers, as the window system has them; in forms by their cr* names.
using TCursor = std::int16_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crHandPoint = -21;
// The type of cursor properties: TClassBuilder's .Type(CursorTypeInfo()).
const TTypeInfo* CursorTypeInfo();

// ---- fonts, brushes, pens --------------------------------------------------------

// A drawing attribute with change notification: OnChange fires after every
// change, so that a canvas or control using it can follow.
class TGraphicsObject : public TPersistent {
    TW_CLASS(TGraphicsObject, TPersistent)
public:
    const TNotifyEvent& OnChange() const { return onChange_; }
    void SetOnChange(TNotifyEvent value) { onChange_ = std::move(value); }

protected:
    virtual void Changed() { onChange_(this); }

private:
    TNotifyEvent onChange_;
};

enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
TW_ENUM(TFontStyle, "fsBold", "fsItalic", "fsUnderline", "fsStrikeOut");
using TFontStyles = TSet<TFontStyle>;
enum TFontPitch : uint8_t { fpDefault, fpVariable, fpFixed };
TW_ENUM(TFontPitch, "fpDefault", "fpVariable", "fpFixed");
using TFontCharset = uint8_t;
// The type of TFont.Charset: DEFAULT_CHARSET and the other names stream as
// identifiers.
const TTypeInfo* CharsetTypeInfo();

// A font: "MS Sans Serif", character height 11 (Size 8) in clWindowText
// unless changed. Height is the size in pixels (negative: character height,
// positive: cell height) and is what a form stores; Size is the same in
// points at 96 pixels per inch.
class TFont : public TGraphicsObject {
    TW_CLASS(TFont, TGraphicsObject)
public:
    TFont();
    ~TFont() override;

    TFontCharset Charset() const { return Charset_; }
    void SetCharset(TFontCharset Value);
    TColor Color() const { return Color_; }
    void SetColor(TColor Value);
    int Height() const { return Height_; }
    void SetHeight(int Value);
    const std::string& Name() const { return Name_; }
    void SetName(const std::string& Value);
    TFontPitch Pitch() const { return Pitch_; }
    void SetPitch(TFontPitch Value);
    int Size() const;
    void SetSize(int Value);
    TFontStyles Style() const { return Style_; }
    void SetStyle(TFontStyles Value);
    static constexpr int PixelsPerInch = 96;

    // A font object of the current settings, made when first asked for and
    // again after a change; owned by the font.
    HFONT Handle();
    void Assign(TPersistent* Source) override;

protected:
    void Changed() override;

private:
    TFontCharset Charset_ = DEFAULT_CHARSET;
    TColor Color_ = clWindowText;
    int Height_ = -11;
    std::string Name_ = "MS Sans Serif";
    TFontPitch Pitch_ = fpDefault;
    TFontStyles Style_;
    HFONT handle_ = nullptr;
};

enum TBrushStyle : uint8_t {
    bsSolid,
    bsClear,
    bsHorizontal,
    bsVertical,
    bsFDiagonal,
    bsBDiagonal,
    bsCross,
    bsDiagCross
};
TW_ENUM(TBrushStyle, "bsSolid", "bsClear", "bsHorizontal", "bsVertical", "bsFDiagonal",
        "bsBDiagonal", "bsCross", "bsDiagCross");

// How areas are filled: white and solid unless changed; bsClear fills
// nothing (and text is drawn without a background box). Hatched styles
// fill solid here.
class TBrush : public TGraphicsObject {
    TW_CLASS(TBrush, TGraphicsObject)
public:
    TBrush() = default;
    ~TBrush() override;
    TColor Color() const { return Color_; }
    void SetColor(TColor Value);
    TBrushStyle Style() const { return Style_; }
    void SetStyle(TBrushStyle Value);
    // A brush object of the current settings (the stock NULL_BRUSH for
    // bsClear), owned by the brush.
    HBRUSH Handle();
    void Assign(TPersistent* Source) override;

protected:
    void Changed() override;

private:
    TColor Color_ = clWhite;
    TBrushStyle Style_ = bsSolid;
    HBRUSH handle_ = nullptr;
};

enum TPenStyle : uint8_t {
    psSolid,
    psDash,
    psDot,
    psDashDot,
    psDashDotDot,
    psClear,
    psInsideFrame
};
TW_ENUM(TPenStyle, "psSolid", "psDash", "psDot", "psDashDot", "psDashDotDot", "psClear",
        "psInsideFrame");

// How lines are drawn: black, solid, one pixel wide unless changed.
class TPen : public TGraphicsObject {
    TW_CLASS(TPen, TGraphicsObject)
public:
    TColor Color() const { return Color_; }
    void SetColor(TColor Value);
    TPenStyle Style() const { return Style_; }
    void SetStyle(TPenStyle Value);
    int Width() const { return Width_; }
    void SetWidth(int Value);  // at least 1
    void Assign(TPersistent* Source) override;

private:
    TColor Color_ = clBlack;
    TPenStyle Style_ = psSolid;
    int Width_ = 1;
};

// ---- errors --------------------------------------------------------------------

TW_DECLARE_EXCEPTION(EInvalidGraphic, Exception);           // unreadable picture, unknown extension
TW_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);  // an operation the graphic cannot do
TW_DECLARE_EXCEPTION(EOutOfResources, Exception);           // the system refused a drawing object

class TGraphic;

// ---- canvas ----------------------------------------------------------------------

// Drawing through a device context that someone else owns: a bitmap's memory
// context, a window's context during painting. The canvas never creates or
// frees the context; SetHandle attaches one and SetHandle(nullptr) detaches it.
//
// Handle selects the canvas's font into the context and sets the context's
// text colour (Font.Color), background colour (Brush.Color) and background
// mode (transparent for bsClear), so that text drawn on Handle directly looks
// as the canvas's own; detaching puts the context's previous font back.
class TCanvas : public TPersistent {
    TW_CLASS(TCanvas, TPersistent)
public:
    TCanvas();
    ~TCanvas() override;

    HDC Handle() const;
    void SetHandle(HDC value);
    bool HandleAllocated() const { return handle_ != nullptr; }

    TFont* Font() const { return Font_.get(); }
    void SetFont(TFont* value) { Font_->Assign(value); }
    TBrush* Brush() const { return Brush_.get(); }
    void SetBrush(TBrush* value) { Brush_->Assign(value); }
    TPen* Pen() const { return Pen_.get(); }
    void SetPen(TPen* value) { Pen_->Assign(value); }

    // One line of text with the top-left corner of its cell at (X, Y), on a
    // background box in Brush.Color unless the brush is bsClear.
    void TextOut(int X, int Y, const std::string& Text);
    // The same clipped to Rect; a brush that is not bsClear fills Rect first.
    void TextRect(const TRect& Rect, int X, int Y, const std::string& Text);
    TSize TextExtent(const std::string& Text) const;
    int TextWidth(const std::string& Text) const { return TextExtent(Text).cx; }
    int TextHeight(const std::string& Text) const { return TextExtent(Text).cy; }
    // Fills Rect (right and bottom excluded) with the brush.
    void FillRect(const TRect& Rect);

    // Serialises drawing from several threads; nests on one thread.
    void Lock();
    void Unlock();
    bool TryLock();
    int LockCount() const { return lockCount_; }

    // Raised around every drawing operation: OnChanging before, OnChange after.
    const TNotifyEvent& OnChange() const { return onChange_; }
    void SetOnChange(TNotifyEvent value) { onChange_ = std::move(value); }
    const TNotifyEvent& OnChanging() const { return onChanging_; }
    void SetOnChanging(TNotifyEvent value) { onChanging_ = std::move(value); }
    virtual void Changing();
    virtual void Changed();

    // Draws a graphic at its own size with its top-left corner at (X, Y), or
    // scaled into a rectangle. Nothing happens for a null or empty graphic.
    // EInvalidOperation "Canvas does not allow drawing" without a handle.
    void Draw(int X, int Y, TGraphic* graphic);
    void StretchDraw(const TRect& rect, TGraphic* graphic);

    TColor Pixels(int X, int Y);
    void SetPixels(int X, int Y, TColor color);

private:
    void RequireHandle() const;
    void FontChanged();
    void BrushChanged();

    HDC handle_ = nullptr;
    std::unique_ptr<TFont> Font_;
    std::unique_ptr<TBrush> Brush_;
    std::unique_ptr<TPen> Pen_;
    mutable bool fontSelected_ = false;  // Font_'s handle is in the context
    mutable bool colorsValid_ = false;   // text and background settings are
    mutable HGDIOBJ previousFont_ = nullptr;
    tarnwick::platform::RecursiveMutex lock_;
    int lockCount_ = 0;
    TNotifyEvent onChange_;
    TNotifyEvent onChanging_;
};

// ---- graphics --------------------------------------------------------------------

enum class TPixelFormat {
    pfDevice,
    pf1bit,
    pf4bit,
    pf8bit,
    pf15bit,
    pf16bit,
    pf24bit,
    pf32bit,
    pfCustom
};

// A picture that can draw itself onto a canvas.
class TGraphic : public TPersistent {
    TW_CLASS(TGraphic, TPersistent)
public:
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual bool Empty() const = 0;
    // Bits per pixel the picture was stored with; 32 when each pixel carries a
    // mask of its own (32-bit bitmaps, PNG with alpha, icons). 0 when empty.
    virtual int BitsPerPixel() const = 0;
    // Replaces the picture with the file's; on any failure the picture is
    // unchanged. EFOpenError when the file cannot be read, EInvalidGraphic when
    // it is not a picture of this class's format.
    virtual void LoadFromFile(const std::string& fileName) = 0;
    virtual void LoadFromStream(TStream* stream) = 0;
    // A new graphic of the same class holding the same picture.
    virtual std::unique_ptr<TGraphic> Clone() const = 0;

    const TNotifyEvent& OnChange() const { return onChange_; }
    void SetOnChange(TNotifyEvent value) { onChange_ = std::move(value); }

protected:
    friend class TCanvas;
    // Draws the picture scaled into rect (destination coordinates).
    virtual void Draw(TCanvas& canvas, const TRect& rect) = 0;
    void Changed() { onChange_(this); }

private:
    TNotifyEvent onChange_;
};

// A picture held as 32-bit pixels, whatever file it came from. Drawing copies
// the pixels to the canvas: with their mask byte when the picture has one
// (BitsPerPixel 32), with mask byte 0 otherwise, as a system copies a picture
// without alpha onto a 32-bit surface.
class TRasterGraphic : public TGraphic {
    TW_CLASS(TRasterGraphic, TGraphic)
public:
    int Width() const override { return width_; }
    int Height() const override { return height_; }
    bool Empty() const override { return width_ == 0 || height_ == 0; }
    int BitsPerPixel() const override { return Empty() ? 0 : (hasAlpha_ ? 32 : sourceBits_); }
    bool HasAlpha() const { return hasAlpha_; }
    TPixelFormat PixelFormat() const;
    void LoadFromFile(const std::string& fileName) override;
    void LoadFromStream(TStream* stream) override;
    void Assign(TPersistent* source) override;

    // Pixel (x, y), y = 0 the top row, as 0xAARRGGBB (alpha 255 without a mask).
    uint32_t PixelAt(int x, int y) const;
    // Top-down rows of blue, green, red, alpha.
    const std::vector<uint8_t>& Pixels() const { return pixels_; }
    // Replaces the picture with top-down 32-bit pixels.
    void SetPixels(int width, int height, std::vector<uint8_t> pixels, bool hasAlpha,
                   int sourceBits);

protected:
    // The file format this class reads.
    virtual tarnwick::platform::PictureFormat FileFormat() const = 0;
    void Draw(TCanvas& canvas, const TRect& rect) override;
    void CopyFrom(const TRasterGraphic& other);

private:
    void LoadBytes(const std::vector<uint8_t>& bytes);

    int width_ = 0;
    int height_ = 0;
    std::vector<uint8_t> pixels_;
    bool hasAlpha_ = false;
    int sourceBits_ = 0;
};

class TBitmap : public TRasterGraphic {
    TW_CLASS(TBitmap, TRasterGraphic)
public:
    std::unique_ptr<TGraphic> Clone() const override;

protected:
    tarnwick::platform::PictureFormat FileFormat() const override;
};

class TJPEGImage : public TRasterGraphic {
    TW_CLASS(TJPEGImage, TRasterGraphic)
public:
    std::unique_ptr<TGraphic> Clone() const override;

protected:
    tarnwick::platform::PictureFormat FileFormat() const override;
};

class TPngImage : public TRasterGraphic {
    TW_CLASS(TPngImage, TRasterGraphic)
public:
    std::unique_ptr<TGraphic> Clone() const override;

protected:
    tarnwick::platform::PictureFormat FileFormat() const override;
};

class TIcon : public TRasterGraphic {
    TW_CLASS(TIcon, TRasterGraphic)
public:
    std::unique_ptr<TGraphic> Clone() const override;

protected:
    tarnwick::platform::PictureFormat FileFormat() const override;
};

// ---- picture ---------------------------------------------------------------------

// Holds one graphic of whichever class its file called for.
class TPicture : public TPersistent {
    TW_CLASS(TPicture, TPersistent)
public:
    TPicture();
    ~TPicture() override;

    TGraphic* Graphic() const { return graphic_.get(); }
    // Holds a copy of the graphic (none for null).
    void SetGraphic(TGraphic* value);
    int Width() const { return graphic_ ? graphic_->Width() : 0; }
    int Height() const { return graphic_ ? graphic_->Height() : 0; }
    // The graphic's bits per pixel; 32 tells that every pixel carries a mask.
    int BitsPerPixel() const { return graphic_ ? graphic_->BitsPerPixel() : 0; }

    // Picks the graphic class by the extension (.bmp .dib, .jpg .jpeg .jpe
    // .jfif, .png, .ico, in any case) and loads the file into a new graphic.
    // EInvalidGraphic "Unknown picture file extension (.xyz)" for another
    // extension; the graphic's own errors otherwise. On failure the picture
    // keeps what it had.
    void LoadFromFile(const std::string& fileName);

    void Assign(TPersistent* source) override;

    const TNotifyEvent& OnChange() const { return onChange_; }
    void SetOnChange(TNotifyEvent value) { onChange_ = std::move(value); }

private:
    void Changed() { onChange_(this); }

    std::unique_ptr<TGraphic> graphic_;
    TNotifyEvent onChange_;
};
