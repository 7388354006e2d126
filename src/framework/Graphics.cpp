#include "framework/Graphics.h"

#include <cstring>

using tarnwick::platform::PictureFormat;

COLORREF ColorToRGB(TColor color) {
    if (color < 0) return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color);
}

// ---- canvas ------------------------------------------------------------------------

TW_IMPLEMENT_CLASS(TCanvas) {}

TCanvas::TCanvas() = default;
TCanvas::~TCanvas() = default;

void TCanvas::SetHandle(HDC value) { handle_ = value; }

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
