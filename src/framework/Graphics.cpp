#include "framework/Graphics.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

using tarnwick::platform::PictureFormat;

COLORREF ColorToRGB(TColor color) {
    if (color < 0) return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color);
}

// ---- colour names --------------------------------------------------------------------

namespace {

struct NamedValue {
    const char* name;
    int64_t value;
};

constexpr NamedValue kColorNames[] = {
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
    {"clMoneyGreen", clMoneyGreen},
    {"clSkyBlue", clSkyBlue},
    {"clCream", clCream},
    {"clMedGray", clMedGray},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clScrollBar", clScrollBar},
    {"clBackground", clBackground},
    {"clActiveCaption", clActiveCaption},
    {"clInactiveCaption", clInactiveCaption},
    {"clMenu", clMenu},
    {"clWindow", clWindow},
    {"clWindowFrame", clWindowFrame},
    {"clMenuText", clMenuText},
    {"clWindowText", clWindowText},
    {"clCaptionText", clCaptionText},
    {"clActiveBorder", clActiveBorder},
    {"clInactiveBorder", clInactiveBorder},
    {"clAppWorkSpace", clAppWorkSpace},
    {"clHighlight", clHighlight},
    {"clHighlightText", clHighlightText},
    {"clBtnFace", clBtnFace},
    {"clBtnShadow", clBtnShadow},
    {"clGrayText", clGrayText},
    {"clBtnText", clBtnText},
    {"clInactiveCaptionText", clInactiveCaptionText},
    {"clBtnHighlight", clBtnHighlight},
    {"cl3DDkShadow", cl3DDkShadow},
    {"cl3DLight", cl3DLight},
    {"clInfoText", clInfoText},
    {"clInfoBk", clInfoBk},
    {"clHotLight", clHotLight},
    {"clGradientActiveCaption", clGradientActiveCaption},
    {"clGradientInactiveCaption", clGradientInactiveCaption},
    {"clMenuHighlight", clMenuHighlight},
    {"clMenuBar", clMenuBar},
};

constexpr NamedValue kCharsetNames[] = {
    {"ANSI_CHARSET", 0},      {"DEFAULT_CHARSET", 1},    {"SYMBOL_CHARSET", 2},
    {"MAC_CHARSET", 77},      {"SHIFTJIS_CHARSET", 128}, {"HANGEUL_CHARSET", 129},
    {"JOHAB_CHARSET", 130},   {"GB2312_CHARSET", 134},   {"CHINESEBIG5_CHARSET", 136},
    {"GREEK_CHARSET", 161},   {"TURKISH_CHARSET", 162},  {"VIETNAMESE_CHARSET", 163},
    {"HEBREW_CHARSET", 177},  {"ARABIC_CHARSET", 178},   {"BALTIC_CHARSET", 186},
    {"RUSSIAN_CHARSET", 204}, {"THAI_CHARSET", 222},     {"EASTEUROPE_CHARSET", 238},
    {"OEM_CHARSET", 255},
};

template <std::size_t N>
bool ToIdent(const NamedValue (&table)[N], int64_t value, std::string& ident) {
    for (const auto& e : table)
        if (e.value == value) {
            ident = e.name;
            return true;
        }
    return false;
}

template <std::size_t N>
bool FromIdent(const NamedValue (&table)[N], std::string_view ident, int64_t& value) {
    for (const auto& e : table)
        if (SameText(ident, e.name)) {
            value = e.value;
            return true;
        }
    return false;
}

// MulDiv of the system: a * b / c rounded half away from zero.
int MulDiv(int a, int b, int c) {
    const long long p = static_cast<long long>(a) * b;
    const long long q = (std::llabs(p) * 2 + std::llabs(c)) / (2 * std::llabs(c));
    return static_cast<int>((p < 0) != (c < 0) ? -q : q);
}

}  // namespace

bool ColorToIdent(TColor color, std::string& ident) { return ToIdent(kColorNames, color, ident); }

bool IdentToColor(std::string_view ident, TColor& color) {
    int64_t v = 0;
    if (!FromIdent(kColorNames, ident, v)) return false;
    color = static_cast<TColor>(v);
    return true;
}

namespace {

constexpr NamedValue kCursorNames[] = {
    {"crDefault", 0},     {"crNone", -1},     {"crArrow", -2},      {"crCross", -3},
    {"crIBeam", -4},      {"crSizeNESW", -6}, {"crSizeNS", -7},     {"crSizeNWSE", -8},
    {"crSizeWE", -9},     {"crUpArrow", -10}, {"crHourGlass", -11}, {"crDrag", -12},
    {"crNoDrop", -13},    {"crHSplit", -14},  {"crVSplit", -15},    {"crMultiDrag", -16},
    {"crSQLWait", -17},   {"crNo", -18},      {"crAppStart", -19},  {"crHelp", -20},
    {"crHandPoint", -21}, {"crSizeAll", -22}, {"crSize", -22},
};

// An ordinal type that forms write by the name Table gives a value, where
// it gives one, and by number otherwise.
template <class T, const auto& Table>
const TTypeInfo* NamedTypeInfo(const char* Name) {
    static const TTypeInfo info = [Name] {
        TTypeInfo t = *TypeInfoOf<T>();
        t.Name = Name;
        t.IntToIdent = [](int64_t v, std::string& s) { return ToIdent(Table, v, s); };
        t.IdentToInt = [](std::string_view s, int64_t& v) { return FromIdent(Table, s, v); };
        return t;
    }();
    return &info;
}

}  // namespace

const TTypeInfo* ColorTypeInfo() { return NamedTypeInfo<TColor, kColorNames>("TColor"); }
const TTypeInfo* CursorTypeInfo() { return NamedTypeInfo<TCursor, kCursorNames>("TCursor"); }
const TTypeInfo* CharsetTypeInfo() {
    return NamedTypeInfo<TFontCharset, kCharsetNames>("TFontCharset");
}

// ---- fonts, brushes, pens ------------------------------------------------------------

TW_IMPLEMENT_CLASS(TGraphicsObject) {}

TW_IMPLEMENT_CLASS(TFont) {
    b.Property("Charset", &TFont::Charset, &TFont::SetCharset).Type(CharsetTypeInfo()).NoDefault();
    b.Property("Color", &TFont::Color, &TFont::SetColor).Type(ColorTypeInfo()).NoDefault();
    b.Property("Height", &TFont::Height, &TFont::SetHeight).NoDefault();
    b.Property("Name", &TFont::Name, &TFont::SetName).NoDefault();
    b.Property("Pitch", &TFont::Pitch, &TFont::SetPitch).Default(fpDefault);
    b.Property("Size", &TFont::Size, &TFont::SetSize).Stored(false);
    b.Property("Style", &TFont::Style, &TFont::SetStyle).Default(TFontStyles{});
}

TFont::TFont() = default;

TFont::~TFont() {
    if (handle_) DeleteObject(handle_);
}

template <class T>
static bool Change(T& field, const T& value) {
    if (field == value) return false;
    field = value;
    return true;
}

void TFont::SetCharset(TFontCharset Value) {
    if (Change(Charset_, Value)) Changed();
}
void TFont::SetColor(TColor Value) {
    if (Change(Color_, Value)) Changed();
}
void TFont::SetHeight(int Value) {
    if (Change(Height_, Value)) Changed();
}
void TFont::SetName(const std::string& Value) {
    if (!Value.empty() && Change(Name_, Value)) Changed();
}
void TFont::SetPitch(TFontPitch Value) {
    if (Change(Pitch_, Value)) Changed();
}
int TFont::Size() const { return -MulDiv(Height_, 72, PixelsPerInch); }
void TFont::SetSize(int Value) { SetHeight(-MulDiv(Value, PixelsPerInch, 72)); }
void TFont::SetStyle(TFontStyles Value) {
    if (Change(Style_, Value)) Changed();
}

void TFont::Changed() {
    // The object is remade when next asked for; whoever had it selected was
    // told (OnChange) and let go of it first.
    TGraphicsObject::Changed();
    if (handle_) DeleteObject(std::exchange(handle_, nullptr));
}

HFONT TFont::Handle() {
    if (handle_) return handle_;
    LOGFONTA lf{};
    lf.lfHeight = Height_;
    lf.lfWeight = Style_.Contains(fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = Style_.Contains(fsItalic);
    lf.lfUnderline = Style_.Contains(fsUnderline);
    lf.lfStrikeOut = Style_.Contains(fsStrikeOut);
    lf.lfCharSet = Charset_;
    lf.lfPitchAndFamily = Pitch_ == fpFixed      ? FIXED_PITCH
                          : Pitch_ == fpVariable ? VARIABLE_PITCH
                                                 : DEFAULT_PITCH;
    std::strncpy(lf.lfFaceName, Name_.c_str(), LF_FACESIZE - 1);
    handle_ = CreateFontIndirectA(&lf);
    return handle_;
}

void TFont::Assign(TPersistent* Source) {
    auto* f = dynamic_cast<TFont*>(Source);
    if (!f) return TPersistent::Assign(Source);
    if (f == this) return;
    const bool same = Charset_ == f->Charset_ && Color_ == f->Color_ && Height_ == f->Height_ &&
                      Name_ == f->Name_ && Pitch_ == f->Pitch_ && Style_ == f->Style_;
    Charset_ = f->Charset_;
    Color_ = f->Color_;
    Height_ = f->Height_;
    Name_ = f->Name_;
    Pitch_ = f->Pitch_;
    Style_ = f->Style_;
    if (!same) Changed();
}

TW_IMPLEMENT_CLASS(TBrush) {
    b.Property("Color", &TBrush::Color, &TBrush::SetColor).Type(ColorTypeInfo()).Default(clWhite);
    b.Property("Style", &TBrush::Style, &TBrush::SetStyle).Default(bsSolid);
}

TBrush::~TBrush() {
    if (handle_) DeleteObject(handle_);
}

void TBrush::SetColor(TColor Value) {
    // A colour given to a clear brush makes it solid again.
    const bool styleChange = Style_ == bsClear;
    if (Change(Color_, Value) || styleChange) {
        if (styleChange) Style_ = bsSolid;
        Changed();
    }
}

void TBrush::SetStyle(TBrushStyle Value) {
    if (Change(Style_, Value)) Changed();
}

void TBrush::Changed() {
    TGraphicsObject::Changed();
    if (handle_) DeleteObject(std::exchange(handle_, nullptr));
}

HBRUSH TBrush::Handle() {
    if (Style_ == bsClear) return static_cast<HBRUSH>(GetStockObject(NULL_BRUSH));
    if (!handle_) handle_ = CreateSolidBrush(ColorToRGB(Color_));
    return handle_;
}

void TBrush::Assign(TPersistent* Source) {
    auto* b = dynamic_cast<TBrush*>(Source);
    if (!b) return TPersistent::Assign(Source);
    if (b == this || (Color_ == b->Color_ && Style_ == b->Style_)) return;
    Color_ = b->Color_;
    Style_ = b->Style_;
    Changed();
}

TW_IMPLEMENT_CLASS(TPen) {
    b.Property("Color", &TPen::Color, &TPen::SetColor).Type(ColorTypeInfo()).Default(clBlack);
    b.Property("Style", &TPen::Style, &TPen::SetStyle).Default(psSolid);
    b.Property("Width", &TPen::Width, &TPen::SetWidth).Default(1);
}

void TPen::SetColor(TColor Value) {
    if (Change(Color_, Value)) Changed();
}
void TPen::SetStyle(TPenStyle Value) {
    if (Change(Style_, Value)) Changed();
}
void TPen::SetWidth(int Value) {
    if (Change(Width_, std::max(Value, 1))) Changed();
}

void TPen::Assign(TPersistent* Source) {
    auto* p = dynamic_cast<TPen*>(Source);
    if (!p) return TPersistent::Assign(Source);
    if (p == this || (Color_ == p->Color_ && Style_ == p->Style_ && Width_ == p->Width_)) return;
    Color_ = p->Color_;
    Style_ = p->Style_;
    Width_ = p->Width_;
    Changed();
}

// ---- canvas ------------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TCanvas) {
    b.Property("Brush", &TCanvas::Brush, &TCanvas::SetBrush);
    b.Property("Font", &TCanvas::Font, &TCanvas::SetFont);
    b.Property("Pen", &TCanvas::Pen, &TCanvas::SetPen);
}

TCanvas::TCanvas()
    : Font_(std::make_unique<TFont>()),
      Brush_(std::make_unique<TBrush>()),
      Pen_(std::make_unique<TPen>()) {
    Font_->SetOnChange([this](TObject*) { FontChanged(); });
    Brush_->SetOnChange([this](TObject*) { BrushChanged(); });
}

TCanvas::~TCanvas() { SetHandle(nullptr); }

void TCanvas::SetHandle(HDC value) {
    if (value == handle_) return;
    if (handle_ && fontSelected_) SelectObject(handle_, previousFont_);
    fontSelected_ = false;
    colorsValid_ = false;
    previousFont_ = nullptr;
    handle_ = value;
}

HDC TCanvas::Handle() const {
    if (!handle_) return nullptr;
    if (!fontSelected_) {
        HGDIOBJ previous = SelectObject(handle_, Font_->Handle());
        if (previous) {
            previousFont_ = previous;
            fontSelected_ = true;
        }
    }
    if (!colorsValid_) {
        SetTextColor(handle_, ColorToRGB(Font_->Color()));
        SetBkColor(handle_, ColorToRGB(Brush_->Color()));
        SetBkMode(handle_, Brush_->Style() == bsClear ? TRANSPARENT : OPAQUE);
        colorsValid_ = true;
    }
    return handle_;
}

void TCanvas::FontChanged() {
    // Let go of the old font object before the font remakes it.
    if (handle_ && fontSelected_) SelectObject(handle_, previousFont_);
    fontSelected_ = false;
    colorsValid_ = false;
}

void TCanvas::BrushChanged() { colorsValid_ = false; }

void TCanvas::TextOut(int X, int Y, const std::string& Text) {
    RequireHandle();
    Changing();
    TextOutA(Handle(), X, Y, Text.data(), static_cast<int>(Text.size()));
    Changed();
}

void TCanvas::TextRect(const TRect& Rect, int X, int Y, const std::string& Text) {
    RequireHandle();
    Changing();
    HDC dc = Handle();
    const int saved = SaveDC(dc);
    IntersectClipRect(dc, Rect.Left, Rect.Top, Rect.Right, Rect.Bottom);
    if (Brush_->Style() != bsClear) {
        const RECT r{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
        ::FillRect(dc, &r, Brush_->Handle());
    }
    TextOutA(dc, X, Y, Text.data(), static_cast<int>(Text.size()));
    RestoreDC(dc, saved);
    Changed();
}

TSize TCanvas::TextExtent(const std::string& Text) const {
    RequireHandle();
    SIZE size{0, 0};
    GetTextExtentPoint32A(Handle(), Text.data(), static_cast<int>(Text.size()), &size);
    return {size.cx, size.cy};
}

void TCanvas::FillRect(const TRect& Rect) {
    RequireHandle();
    Changing();
    const RECT r{Rect.Left, Rect.Top, Rect.Right, Rect.Bottom};
    ::FillRect(Handle(), &r, Brush_->Handle());
    Changed();
}

void TCanvas::Lock() {
    lock_.lock();
    ++lockCount_;
}

void TCanvas::Unlock() {
    if (lockCount_ == 0) return;  // unbalanced: nothing is held
    --lockCount_;
    lock_.unlock();
}

bool TCanvas::TryLock() {
    if (!lock_.try_lock()) return false;
    ++lockCount_;
    return true;
}

void TCanvas::Changing() { onChanging_(this); }
void TCanvas::Changed() { onChange_(this); }

void TCanvas::RequireHandle() const {
    if (!handle_) throw EInvalidOperation("Canvas does not allow drawing");
}

void TCanvas::Draw(int X, int Y, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    RequireHandle();
    Changing();
    graphic->Draw(*this, Bounds(X, Y, graphic->Width(), graphic->Height()));
    Changed();
}

void TCanvas::StretchDraw(const TRect& rect, TGraphic* graphic) {
    if (!graphic || graphic->Empty()) return;
    RequireHandle();
    Changing();
    graphic->Draw(*this, rect);
    Changed();
}

TColor TCanvas::Pixels(int X, int Y) {
    RequireHandle();
    const COLORREF c = GetPixel(handle_, X, Y);
    return c == CLR_INVALID ? -1 : static_cast<TColor>(c);
}

void TCanvas::SetPixels(int X, int Y, TColor color) {
    RequireHandle();
    Changing();
    SetPixel(handle_, X, Y, ColorToRGB(color));
    Changed();
}

// ---- graphics ----------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TGraphic) {}
TW_IMPLEMENT_CLASS(TRasterGraphic) {}
TW_IMPLEMENT_CLASS(TBitmap) {}
TW_IMPLEMENT_CLASS(TJPEGImage) {}
TW_IMPLEMENT_CLASS(TPngImage) {}
TW_IMPLEMENT_CLASS(TIcon) {}

TPixelFormat TRasterGraphic::PixelFormat() const {
    switch (BitsPerPixel()) {
        case 1: return TPixelFormat::pf1bit;
        case 4: return TPixelFormat::pf4bit;
        case 8: return TPixelFormat::pf8bit;
        case 16: return TPixelFormat::pf16bit;
        case 24: return TPixelFormat::pf24bit;
        case 32: return TPixelFormat::pf32bit;
        default: return TPixelFormat::pfDevice;
    }
}

uint32_t TRasterGraphic::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    uint32_t v;
    std::memcpy(&v, pixels_.data() + (static_cast<std::size_t>(y) * width_ + x) * 4, 4);
    return v;
}

void TRasterGraphic::SetPixels(int width, int height, std::vector<uint8_t> pixels, bool hasAlpha,
                               int sourceBits) {
    if (width < 0 || height < 0 ||
        pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4) {
        throw EInvalidGraphic("Picture pixels do not match its size");
    }
    width_ = width;
    height_ = height;
    pixels_ = std::move(pixels);
    hasAlpha_ = hasAlpha;
    sourceBits_ = sourceBits;
    Changed();
}

void TRasterGraphic::LoadBytes(const std::vector<uint8_t>& bytes) {
    tarnwick::platform::Picture pic;
    try {
        pic = tarnwick::platform::DecodePicture(FileFormat(), bytes);
    } catch (const tarnwick::platform::PictureError& e) {
        throw EInvalidGraphic(e.what());
    }
    SetPixels(pic.width, pic.height, std::move(pic.pixels), pic.hasAlpha, pic.sourceBitsPerPixel);
}

void TRasterGraphic::LoadFromFile(const std::string& fileName) {
    std::vector<uint8_t> bytes;
    try {
        bytes = tarnwick::platform::ReadFileBytes(fileName);
    } catch (const tarnwick::platform::PictureError& e) {
        throw EFOpenError(e.what());
    }
    LoadBytes(bytes);
}

void TRasterGraphic::LoadFromStream(TStream* stream) {
    if (!stream) throw EInvalidGraphic("No stream to read a picture from");
    const int64_t remaining = stream->Remaining();
    if (remaining < 0 ||
        static_cast<uint64_t>(remaining) > tarnwick::platform::kMaxPictureFileBytes) {
        throw EInvalidGraphic("The picture stream is too large");
    }
    std::vector<uint8_t> bytes(static_cast<std::size_t>(remaining));
    stream->ReadBuffer(bytes.data(), remaining);
    LoadBytes(bytes);
}

void TRasterGraphic::CopyFrom(const TRasterGraphic& other) {
    SetPixels(other.width_, other.height_, other.pixels_, other.hasAlpha_, other.sourceBits_);
}

void TRasterGraphic::Assign(TPersistent* source) {
    if (auto* other = dynamic_cast<TRasterGraphic*>(source)) {
        CopyFrom(*other);
        return;
    }
    TGraphic::Assign(source);
}

namespace {

// Frees what drawing a picture borrowed from the system, also on failure.
struct DrawResources {
    HDC dc = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ previous = nullptr;
    ~DrawResources() {
        if (previous) SelectObject(dc, previous);
        if (section) DeleteObject(section);
        if (dc) DeleteDC(dc);
    }
};

[[noreturn]] void RaiseLastError() {
    const DWORD err = GetLastError();
    throw EOutOfResources("Windows error (" + std::to_string(err) + ") " + SystemErrorText(err));
}

}  // namespace

void TRasterGraphic::Draw(TCanvas& canvas, const TRect& rect) {
    // The pixels go into a top-down section of a memory context and are copied
    // (or stretched) from there, so the canvas's context decides how they land.
    DrawResources r;
    SetLastError(ERROR_SUCCESS);
    r.dc = CreateCompatibleDC(canvas.Handle());
    if (!r.dc) RaiseLastError();
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width_, -height_, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    r.section = CreateDIBSection(r.dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!r.section) RaiseLastError();
    auto* out = static_cast<uint8_t*>(bits);
    std::memcpy(out, pixels_.data(), pixels_.size());
    if (!hasAlpha_) {
        for (std::size_t i = 3; i < pixels_.size(); i += 4) out[i] = 0;
    }
    r.previous = SelectObject(r.dc, r.section);
    if (!r.previous) RaiseLastError();
    const bool ok =
        rect.Width() == width_ && rect.Height() == height_
            ? BitBlt(canvas.Handle(), rect.Left, rect.Top, width_, height_, r.dc, 0, 0, SRCCOPY)
            : StretchBlt(canvas.Handle(), rect.Left, rect.Top, rect.Width(), rect.Height(), r.dc, 0,
                         0, width_, height_, SRCCOPY);
    if (!ok) RaiseLastError();
}

PictureFormat TBitmap::FileFormat() const { return PictureFormat::Bmp; }
PictureFormat TJPEGImage::FileFormat() const { return PictureFormat::Jpeg; }
PictureFormat TPngImage::FileFormat() const { return PictureFormat::Png; }
PictureFormat TIcon::FileFormat() const { return PictureFormat::Ico; }

namespace {
template <class T>
std::unique_ptr<TGraphic> CloneOf(const T& self) {
    auto copy = std::make_unique<T>();
    copy->Assign(const_cast<T*>(&self));
    return copy;
}
}  // namespace

std::unique_ptr<TGraphic> TBitmap::Clone() const { return CloneOf(*this); }
std::unique_ptr<TGraphic> TJPEGImage::Clone() const { return CloneOf(*this); }
std::unique_ptr<TGraphic> TPngImage::Clone() const { return CloneOf(*this); }
std::unique_ptr<TGraphic> TIcon::Clone() const { return CloneOf(*this); }

// ---- picture -----------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TPicture) {}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::SetGraphic(TGraphic* value) {
    graphic_ = value ? value->Clone() : nullptr;
    Changed();
}

void TPicture::LoadFromFile(const std::string& fileName) {
    const auto format = tarnwick::platform::PictureFormatFromFileName(fileName);
    if (!format) {
        throw EInvalidGraphic("Unknown picture file extension (." +
                              tarnwick::platform::FileExtension(fileName) + ")");
    }
    std::unique_ptr<TGraphic> graphic;
    switch (*format) {
        case PictureFormat::Bmp: graphic = std::make_unique<TBitmap>(); break;
        case PictureFormat::Jpeg: graphic = std::make_unique<TJPEGImage>(); break;
        case PictureFormat::Png: graphic = std::make_unique<TPngImage>(); break;
        case PictureFormat::Ico: graphic = std::make_unique<TIcon>(); break;
    }
    graphic->LoadFromFile(fileName);
    graphic_ = std::move(graphic);
    Changed();
}

void TPicture::Assign(TPersistent* source) {
    if (!source) {
        SetGraphic(nullptr);
    } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
        SetGraphic(picture->Graphic());
    } else if (auto* graphic = dynamic_cast<TGraphic*>(source)) {
        SetGraphic(graphic);
    } else {
        TPersistent::Assign(source);
    }
}
