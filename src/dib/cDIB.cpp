// The bitmap family as a pixel store: creation, size, filling, views, change
// notification, copying, the "Data" record and import of picture files.

#include "dib/cDIB.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "dib/cDIBCompressor.h"
#include "objects/Streaming.h"

// ---- colours ----------------------------------------------------------------

std::uint32_t ColorToPixel(TColor Color) {
    const std::uint32_t rgb = std::uint32_t(ColorToRGB(Color));  // 0x00BBGGRR
    return ((rgb & 0xFFu) << 16) | (rgb & 0xFF00u) | ((rgb >> 16) & 0xFFu);
}

TColor PixelToColor(std::uint32_t Pixel) {
    return TColor(((Pixel & 0xFFu) << 16) | (Pixel & 0xFF00u) | ((Pixel >> 16) & 0xFFu));
}

std::uint32_t PixelWord(const TDIBPixel& P) {
    return std::uint32_t(P.Blue) | (std::uint32_t(P.Green) << 8) | (std::uint32_t(P.Red) << 16) |
           (std::uint32_t(P.Mask) << 24);
}

// ---- TAbstractSuperDIB ----------------------------------------------------------

TAbstractSuperDIB::TAbstractSuperDIB() {
    DrawProc_ = Bound(&TAbstractSuperDIB::RowCopy);
    InitDefaults();
}

TAbstractSuperDIB::~TAbstractSuperDIB() = default;

void TAbstractSuperDIB::SetFrameSource(int Frames, std::function<void(int)> Draw) {
    frameSource_.reset();
    if (Frames <= 0 || !Draw) return;
    frameSource_.reset(new FrameSource{Frames, Width_, Height_, std::move(Draw),
                                       std::vector<bool>(std::size_t(Frames), false)});
}

bool TAbstractSuperDIB::FrameSourceValid() {
    if (!frameSource_) return false;
    if (frameSource_->width == Width_ && frameSource_->height == Height_ && Bits_) return true;
    frameSource_.reset();
    return false;
}

void TAbstractSuperDIB::PrepareFrame(int Index, int Frames) {
    // A view draws the frames of the bitmap whose pixels it shows.
    if (!OwnsBits_) {
        if (bitsOwner_ && bitsOwner_ != this && bitsOwner_->Bits_ == Bits_)
            bitsOwner_->PrepareFrame(Index, Frames);
        return;
    }
    if (!FrameSourceValid()) return;
    if (Frames != frameSource_->frames || Index < 0 || Index >= Frames) return PrepareFrames();
    if (frameSource_->drawn[std::size_t(Index)]) return;
    frameSource_->drawn[std::size_t(Index)] = true;
    frameSource_->draw(Index);
}

void TAbstractSuperDIB::PrepareFrames() {
    if (!OwnsBits_) {
        if (bitsOwner_ && bitsOwner_ != this && bitsOwner_->Bits_ == Bits_)
            bitsOwner_->PrepareFrames();
        return;
    }
    if (!FrameSourceValid()) return;
    for (int i = 0; i < frameSource_->frames; ++i) PrepareFrame(i, frameSource_->frames);
    frameSource_.reset();  // every frame is there now
}

int TAbstractSuperDIB::PreparedFrames() const {
    if (!frameSource_) return -1;
    return int(std::count(frameSource_->drawn.begin(), frameSource_->drawn.end(), true));
}

void TAbstractSuperDIB::InitDefaults() {
    Angle_ = 0;
    Masked_ = false;
    Opacity_ = 255;
    ScaleX_ = ScaleY_ = 100.0L;
    Transparent_ = false;
}

bool TAbstractSuperDIB::HasBits() const { return Bits_ != nullptr || !OwnsBits_; }

void TAbstractSuperDIB::SetSize(int W, int H) {
    if (W == Width_ && H == Height_) return;
    // A view shares another bitmap's buffer, which has that bitmap's size.
    if (!OwnsBits_) throw EDIBError("A view cannot change its size");
    Width_ = std::uint16_t(W == 0 ? 1 : W);
    Height_ = std::uint16_t(H == 0 ? 1 : H);
    if (!Bits_ || !ReuseBits()) {
        if (Bits_) FreeBits();
        AllocateBits();
    }
    ClipRect_ = {0, 0, Width_ - 1, Height_ - 1};
}

void TAbstractSuperDIB::SetWidth(int Value) { SetSize(Value, Height_); }
void TAbstractSuperDIB::SetHeight(int Value) { SetSize(Width_, Value); }

void TAbstractSuperDIB::SetClipRect(const TRect& R) {
    TRect c = R;
    if (c.Right < c.Left) std::swap(c.Left, c.Right);
    if (c.Bottom < c.Top) std::swap(c.Top, c.Bottom);
    c.Right = std::min<int>(c.Right, Width_ - 1);
    c.Left = std::max<int>(c.Left, 0);
    c.Bottom = std::min<int>(c.Bottom, Height_ - 1);
    c.Top = std::max<int>(c.Top, 0);
    ClipRect_ = c;
}

void TAbstractSuperDIB::UseBitsOf(TAbstractSuperDIB* Source) {
    if (!Source) return;
    if (OwnsBits_ && Bits_) FreeBits();
    OwnsBits_ = false;
    Source->CopyPropertiesTo(this);
    Bits_ = Source->Bits_;
    bitsOwner_ = Source;
    // Drawing onto a view may reach all of the pixels it shows.
    ClipRect_ = {0, 0, Width_ - 1, Height_ - 1};
}

void TAbstractSuperDIB::Fill(TColor Color) {
    if (Bits_) {
        const std::uint32_t v = ColorToPixel(Color);
        TDIBPixel p;
        std::memcpy(&p, &v, 4);
        std::fill_n(Bits_, PixelCount(), p);
    }
    Changed();
}

void TAbstractSuperDIB::FillRect(TColor Color, int X, int Y, int W, int H) {
    if (!Bits_ || W <= 0 || H <= 0) return;
    if ((long long)X + W < 0 || (long long)Y + H < 0 || X >= Width_ || Y >= Height_) return;
    const int x0 = std::max(X, 0), y0 = std::max(Y, 0);
    const int x1 = int(std::min<long long>((long long)X + W, Width_));
    const int y1 = int(std::min<long long>((long long)Y + H, Height_));
    const std::uint32_t v = ColorToPixel(Color);
    TDIBPixel p;
    std::memcpy(&p, &v, 4);
    for (int y = y0; y < y1; ++y) std::fill(ScanLine(y) + x0, ScanLine(y) + x1, p);
}

void TAbstractSuperDIB::SetMaskValue(std::uint8_t M) {
    for (std::size_t i = 0, n = Bits_ ? PixelCount() : 0; i < n; ++i) Bits_[i].Mask = M;
    Changed();
}

void TAbstractSuperDIB::CopyPixelsFrom(TAbstractSuperDIB* Source) {
    if (!Source) return;
    Source->PrepareFrames();
    frameSource_.reset();  // pixels from elsewhere are all there
    SetSize(Source->Width_, Source->Height_);
    if (Bits_ && Source->Bits_ && Bits_ != Source->Bits_)
        std::memcpy(Bits_, Source->Bits_, PixelCount() * sizeof(TDIBPixel));
    Changed();
}

// ---- change notification ----------------------------------------------------------

void TAbstractSuperDIB::Changed() {
    SelectDrawProc();
    if (UpdateCount_ == 0 && OnChange_) OnChange_(this);
}

void TAbstractSuperDIB::EndUpdate() {
    if (UpdateCount_ == 0) throw EDIBError("EndUpdate without BeginUpdate");
    if (--UpdateCount_ == 0) Changed();
}

// ---- properties -------------------------------------------------------------------

void TAbstractSuperDIB::SetAngle(int Value) {
    const TAngle a = TAngle(std::uint16_t(Value) % 360);
    if (a == Angle_) return;
    Angle_ = a;
    Changed();
}

void TAbstractSuperDIB::SetAutoSize(bool Value) {
    if (Value == AutoSize_) return;
    AutoSize_ = Value;
    Changed();
}

void TAbstractSuperDIB::SetMasked(bool Value) {
    if (Value == Masked_) return;
    Masked_ = Value;
    Changed();
}

void TAbstractSuperDIB::SetOpacity(std::uint8_t Value) {
    if (Value == Opacity_) return;
    Opacity_ = Value;
    Changed();
}

void TAbstractSuperDIB::SetScale(long double Value) {
    if (Value == ScaleX_ && Value == ScaleY_) return;
    ScaleX_ = ScaleY_ = Value;
    Changed();
}

void TAbstractSuperDIB::SetScaleX(long double Value) {
    if (Value == ScaleX_) return;
    ScaleX_ = Value;
    Changed();
}

void TAbstractSuperDIB::SetScaleY(long double Value) {
    if (Value == ScaleY_) return;
    ScaleY_ = Value;
    Changed();
}

void TAbstractSuperDIB::SetTransparent(bool Value) {
    if (Value == Transparent_) return;
    Transparent_ = Value;
    Changed();
}

TColor TAbstractSuperDIB::TransparentColor() const {
    // Before there are pixels the automatic mode has no corner to read; the
    // stored colour is the answer then.
    if (TransparentMode_ == tmAuto && Bits_) return PixelToColor(PixelWord(Bits_[0]));
    return PixelToColor(TransparentColor_);
}

void TAbstractSuperDIB::SetTransparentColor(TColor Value) {
    if (Value == PixelToColor(TransparentColor_)) return;
    TransparentColor_ = ColorToPixel(Value);
    Changed();
}

void TAbstractSuperDIB::SetTransparentMode(TTransparentMode Value) {
    if (Value == TransparentMode_) return;
    TransparentMode_ = Value;
    Changed();
}

// ---- copying ------------------------------------------------------------------------

void TAbstractSuperDIB::CopyPropertiesTo(TPersistent* Dest) {
    auto* d = dynamic_cast<TAbstractSuperDIB*>(Dest);
    if (!d)
        throw EDIBError(std::string("Cannot assign a TAbstractDIB to a ") +
                        (Dest ? Dest->ClassName() : std::string("nil")));
    d->Angle_ = Angle_;
    d->AutoSize_ = AutoSize_;
    d->Masked_ = Masked_;
    d->Opacity_ = Opacity_;
    d->ScaleX_ = ScaleX_;
    d->ScaleY_ = ScaleY_;
    d->Transparent_ = Transparent_;
    d->TransparentColor_ = TransparentColor_;
    d->TransparentMode_ = TransparentMode_;
    d->DrawProc_ = DrawProc_;
    if (!d->OwnsBits_) {
        d->Width_ = Width_;
        d->Height_ = Height_;
    }
}

void TAbstractSuperDIB::AssignTo(TPersistent* Dest) {
    auto* d = dynamic_cast<TAbstractSuperDIB*>(Dest);
    if (!d) {
        TPersistent::AssignTo(Dest);  // reports the conversion error
        return;
    }
    d->CopyPixelsFrom(this);
    CopyPropertiesTo(d);
    d->Changed();
}

// ---- the "Data" record -----------------------------------------------------------------
// Width and Height (2 bytes each, little-endian), then the pixel buffer as held
// in memory: bottom row first, each pixel blue, green, red, mask.

void TAbstractSuperDIB::DefineProperties(TFiler* Filer) {
    TPersistent::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "Data", [this](TStream& S) { ReadData(S); }, [this](TStream& S) { WriteData(S); },
        Bits_ != nullptr);
}

void TAbstractSuperDIB::WriteData(TStream& Stream) {
    if (!Bits_) return;
    const std::size_t pixelBytes = PixelCount() * sizeof(TDIBPixel);
    std::vector<std::uint8_t> record(4 + pixelBytes);
    record[0] = std::uint8_t(Width_), record[1] = std::uint8_t(Width_ >> 8);
    record[2] = std::uint8_t(Height_), record[3] = std::uint8_t(Height_ >> 8);
    std::memcpy(record.data() + 4, Bits_, pixelBytes);
    const std::vector<std::uint8_t> out = EncodeStream(this, record);
    Stream.WriteBuffer(out.data(), std::int64_t(out.size()));
}

void TAbstractSuperDIB::ReadData(TStream& Stream) {
    const std::int64_t left = Stream.Remaining();
    std::vector<std::uint8_t> stored(std::size_t(std::max<std::int64_t>(left, 0)));
    if (!stored.empty()) Stream.ReadBuffer(stored.data(), std::int64_t(stored.size()));
    const std::vector<std::uint8_t> record = DecodeStream(this, stored);
    LoadRecord(record.data(), record.size());
}

void TAbstractSuperDIB::LoadRecord(const std::uint8_t* Data, std::size_t Size) {
    // A record too short to hold its own size is not a picture: nothing changes.
    if (Size < 4) return;
    const int w = Data[0] | (Data[1] << 8), h = Data[2] | (Data[3] << 8);
    // A record with fewer pixels than its size announces is refused before
    // anything is allocated: a damaged form must not cost gigabytes, nor turn
    // into a picture that is partly made up.
    if (Size - 4 < std::size_t(w) * std::size_t(h) * sizeof(TDIBPixel))
        throw EDIBError("The picture data is shorter than its size");
    SetSize(w, h);
    if (Bits_) {
        // A zero width or height became 1; that pixel may be missing.
        const std::size_t want = PixelCount() * sizeof(TDIBPixel);
        const std::size_t have = std::min(want, Size - 4);
        auto* dst = reinterpret_cast<std::uint8_t*>(Bits_);
        std::memcpy(dst, Data + 4, have);
        std::memset(dst + have, 0, want - have);
    }
    Changed();
}

// ---- import ------------------------------------------------------------------------------

void TAbstractSuperDIB::ImportPicture(const std::string& FileName) {
    TPicture picture;
    picture.LoadFromFile(FileName);
    const int w = picture.Width(), h = picture.Height();
    SetSize(w, h);
    TWinDIB temp(w, h);
    temp.Canvas()->Draw(0, 0, picture.Graphic());
    GdiFlush();
    CopyPixelsFrom(&temp);
    if (picture.BitsPerPixel() == 32)
        SetMasked(true);
    else
        SetMaskValue(255);
    Changed();
}

void TAbstractSuperDIB::ImportMask(const std::string& FileName) {
    if (Width_ == 0 || Height_ == 0)
        throw EDIBError("You cannot import a mask until you have an image.");
    TWinDIB loaded;
    loaded.ImportPicture(FileName);
    TWinDIB stretched(Width_, Height_);
    StretchBlt(stretched.Handle(), 0, 0, Width_, Height_, loaded.Handle(), 0, 0, loaded.Width(),
               loaded.Height(), SRCCOPY);
    GdiFlush();
    if (Bits_)
        for (std::size_t i = 0, n = PixelCount(); i < n; ++i)
            Bits_[i].Mask = stretched.Bits()[i].Blue;
    Changed();
}

// ---- TCustomMemoryDIB ----------------------------------------------------------------------

TCustomMemoryDIB::TCustomMemoryDIB() = default;

TCustomMemoryDIB::TCustomMemoryDIB(int W, int H) {
    SetSize(W, H);
    SetClipRect({0, 0, W, H});
}

TCustomMemoryDIB::TCustomMemoryDIB(ViewTag Tag, TAbstractSuperDIB* Source)
    : TAbstractSuperDIB(Tag) {
    UseBitsOf(Source);
}

TCustomMemoryDIB::~TCustomMemoryDIB() {
    if (OwnsBits_ && Bits_) FreeBits();
}

void TCustomMemoryDIB::AllocateBits() {
    // A new buffer holds transparent black, as a new section does: a bitmap
    // that is sized and never filled (a form's item whose picture comes from
    // a file, the box of a picture scaled to nothing) must show the same
    // pixels, and write the same form, every time.
    Bits_ = static_cast<TDIBPixel*>(std::calloc(PixelCount(), sizeof(TDIBPixel)));
    if (!Bits_) throw std::bad_alloc();
    capacity_ = PixelCount();
}

void TCustomMemoryDIB::FreeBits() {
    std::free(Bits_);
    Bits_ = nullptr;
    capacity_ = 0;
}

bool TCustomMemoryDIB::ReuseBits() {
    // A bitmap that is resized again and again (a stretched piece, a working
    // copy) keeps its buffer while the new size fits.
    const std::size_t need = PixelCount();
    if (need > capacity_) return false;
    std::memset(Bits_, 0, need * sizeof(TDIBPixel));
    return true;
}

void TCustomMemoryDIB::AssignTo(TPersistent* Dest) {
    TAbstractSuperDIB::AssignTo(Dest);
    if (auto* d = dynamic_cast<TCustomMemoryDIB*>(Dest)) {
        d->ImageFilename_ = ImageFilename_;
        d->MaskFilename_ = MaskFilename_;
    }
}

void TCustomMemoryDIB::DefineProperties(TFiler* Filer) {
    TAbstractSuperDIB::DefineProperties(Filer);
    Filer->DefineProperty(
        "ImageFilename", [this](TReader& R) { ImageFilename_ = R.ReadString(); },
        [this](TWriter& W) { W.WriteString(ImageFilename_); }, !ImageFilename_.empty());
    Filer->DefineProperty(
        "MaskFilename", [this](TReader& R) { MaskFilename_ = R.ReadString(); },
        [this](TWriter& W) { W.WriteString(MaskFilename_); }, !MaskFilename_.empty());
}

void TCustomMemoryDIB::ReadData(TStream& Stream) {
    if (Stream.Remaining() <= 0) return;
    TAbstractSuperDIB::ReadData(Stream);
}

void TCustomMemoryDIB::WriteData(TStream& Stream) {
    if (StoreData_) TAbstractSuperDIB::WriteData(Stream);
}

void TCustomMemoryDIB::ImportPicture(const std::string& FileName) {
    TAbstractSuperDIB::ImportPicture(FileName);
    ImageFilename_ = FileName;
}

void TCustomMemoryDIB::ImportMask(const std::string& FileName) {
    TAbstractSuperDIB::ImportMask(FileName);
    MaskFilename_ = FileName;
}

// ---- TCustomWinDIB ---------------------------------------------------------------------------

TCustomWinDIB::TCustomWinDIB() { MakeCanvas(); }

TCustomWinDIB::TCustomWinDIB(int W, int H) : TCustomWinDIB() {
    SetSize(W, H);
    SetClipRect({0, 0, W, H});
}

TCustomWinDIB::TCustomWinDIB(ViewTag Tag, TAbstractSuperDIB* Source) : TAbstractSuperDIB(Tag) {
    UseBitsOf(Source);
}

TCustomWinDIB::~TCustomWinDIB() {
    Canvas_.reset();
    if (OwnsBits_ && Bits_) FreeBits();
    if (Handle_) DeleteDC(Handle_);
    if (mapping_) CloseHandle(mapping_);
}

void TCustomWinDIB::MakeCanvas() {
    Canvas_ = std::make_unique<TCanvas>();
    Canvas_->SetOnChange([this](TObject*) { Changed(); });
}

namespace {
[[noreturn]] void ThrowWindowsError() {
    const DWORD err = GetLastError();
    throw Exception("Windows error (" + std::to_string(err) + ") " + SystemErrorText(err));
}
}  // namespace

void TCustomWinDIB::AllocateBits() {
    Bits_ = nullptr;
    const std::size_t bytes = PixelCount() * sizeof(TDIBPixel);
    SetLastError(0);
    if (bytes > mappingBytes_) {
        if (mapping_) CloseHandle(mapping_);
        mappingBytes_ = 0;
        const auto wide = static_cast<std::uint64_t>(bytes);
        mapping_ = CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE,
                                     DWORD(wide >> 32), DWORD(wide), nullptr);
        if (!mapping_) ThrowWindowsError();
        mappingBytes_ = bytes;
    }
    if (!Handle_) {
        HDC screen = GetDC(nullptr);
        Handle_ = CreateCompatibleDC(screen);
        ReleaseDC(nullptr, screen);
        if (!Handle_) ThrowWindowsError();
    }
    BITMAPINFO info{};
    info.bmiHeader.biSize = 40;
    info.bmiHeader.biWidth = Width_;
    info.bmiHeader.biHeight = Height_;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Section_ = CreateDIBSection(Handle_, &info, DIB_RGB_COLORS, &bits, mapping_, 0);
    if (!Section_) ThrowWindowsError();
    // A new bitmap holds transparent black, whatever the mapping held before.
    std::memset(bits, 0, bytes);
    Bits_ = static_cast<TDIBPixel*>(bits);
    GdiFlush();
    OldBitmap_ = SelectObject(Handle_, Section_);
    if (Canvas_) Canvas_->SetHandle(Handle_);
}

void TCustomWinDIB::FreeBits() {
    GdiFlush();
    if (Canvas_) Canvas_->SetHandle(nullptr);
    if (Handle_) SelectObject(Handle_, OldBitmap_);
    if (Section_) DeleteObject(Section_);
    Section_ = nullptr;
    OldBitmap_ = nullptr;
    Bits_ = nullptr;
}

// ---- published properties -------------------------------------------------------------------
// Both storage variants publish the drawing settings in the same order; the
// window variant adds its Canvas and Handle after AutoSize. None has a stored
// default, so every one is written.

TW_IMPLEMENT_CLASS(TAbstractSuperDIB) {}
TW_IMPLEMENT_CLASS(TCustomMemoryDIB) {}
TW_IMPLEMENT_CLASS(TCustomWinDIB) {}

namespace {
template <class C, class Extra>
void DescribeDIB(TClassBuilder<C>& b, Extra afterAutoSize) {
    b.Property("Angle", &C::Angle, &C::SetAngle);
    b.Property("AutoSize", &C::AutoSize, &C::SetAutoSize);
    afterAutoSize(b);
    b.Property(
        "Height", [](C* d) { return std::uint16_t(d->Height()); }, &C::SetHeight);
    b.Property("Masked", &C::Masked, &C::SetMasked);
    b.Property("Opacity", &C::Opacity, &C::SetOpacity);
    b.Property("Scale", &C::Scale, &C::SetScale);
    b.Property("Transparent", &C::Transparent, &C::SetTransparent);
    b.Property("TransparentColor", &C::TransparentColor, &C::SetTransparentColor);
    b.Property("TransparentMode", &C::TransparentMode, &C::SetTransparentMode);
    b.Property(
        "Width", [](C* d) { return std::uint16_t(d->Width()); }, &C::SetWidth);
}
}  // namespace

TW_IMPLEMENT_CLASS(TMemoryDIB) {
    DescribeDIB(b, [](TClassBuilder<TMemoryDIB>&) {});
}

TW_IMPLEMENT_CLASS(TWinDIB) {
    DescribeDIB(b, [](TClassBuilder<TWinDIB>& c) {
        c.Property("Canvas", &TWinDIB::Canvas);
        c.Property("Handle", [](TWinDIB* d) {
            return std::int64_t(reinterpret_cast<std::intptr_t>(d->Handle()));
        });
    });
}
