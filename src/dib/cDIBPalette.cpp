#include "dib/cDIBPalette.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <string>

#include "dib/cDIB.h"

namespace {

inline int square(int v) { return v * v; }

}  // namespace

TDIBPaletteEntries DIBDefaultPaletteEntries() {
    TDIBPaletteEntries e{};
    for (int i = 0; i < kDIBPaletteColorCount; ++i) {
        auto v = std::uint8_t(255 - i);
        e[i] = {v, v, v, 0};
    }
    return e;
}

int DIBNearestIndex(const TDIBPaletteEntries& entries, std::uint8_t blue, std::uint8_t green,
                    std::uint8_t red) {
    int best = 0;
    int bestDist = std::numeric_limits<int>::max();
    for (int n = 0; n < kDIBPaletteColorCount; ++n) {
        const TDIBPaletteEntry& e = entries[n];
        int d = square(blue - e.Blue) + square(green - e.Green) + square(red - e.Red);
        if (d < bestDist) {
            bestDist = d;
            best = n;
            if (d == 0) break;
        }
    }
    return best;
}

// For one (red, green) pair the distance of entry n to (blue, green, red) is
// base[n] + (blue - entry blue)^2 with base[n] fixed, so no entry whose base
// exceeds the best distance found so far can win. Entries are kept sorted by
// base (insertion sort: the order changes little from one green step to the
// next) and the scan stops at the first one that cannot win. The result is
// the same as the plain search's, ties included: the lowest index among the
// entries at the smallest distance.
void DIBBuildLookupTable(const TDIBPaletteEntries& entries, std::uint8_t* table,
                         const std::function<void(int)>& onPlane) {
    constexpr int N = kDIBPaletteColorCount;
    int base[N];
    std::uint8_t order[N];
    int sortedBase[N];
    int sortedBlue[N];

    for (int i = 0; i < 64; ++i) {
        if (onPlane) onPlane(i);
        const int red = i * 4;
        for (int n = 0; n < N; ++n) order[n] = std::uint8_t(n);
        for (int j = 0; j < 64; ++j) {
            const int green = j * 4;
            for (int n = 0; n < N; ++n)
                base[n] = square(green - entries[n].Green) + square(red - entries[n].Red);
            for (int p = 1; p < N; ++p) {
                std::uint8_t o = order[p];
                int v = base[o];
                int q = p;
                while (q > 0 && base[order[q - 1]] > v) {
                    order[q] = order[q - 1];
                    --q;
                }
                order[q] = o;
            }
            for (int p = 0; p < N; ++p) {
                sortedBase[p] = base[order[p]];
                sortedBlue[p] = entries[order[p]].Blue;
            }

            std::uint8_t* row = table + i * 4096 + j * 64;
            int best = order[0];
            for (int k = 0; k < 64; ++k) {
                const int blue = k * 4;
                // Start from the previous answer: neighbouring colours usually
                // share their nearest entry, which makes the bound tight.
                int bestDist = base[best] + square(blue - entries[best].Blue);
                for (int p = 0; p < N && sortedBase[p] <= bestDist; ++p) {
                    int d = sortedBase[p] + square(blue - sortedBlue[p]);
                    int o = order[p];
                    if (d < bestDist || (d == bestDist && o < best)) {
                        bestDist = d;
                        best = o;
                    }
                }
                row[k] = std::uint8_t(best);
            }
        }
    }
}

// ---- TDIBPalette ------------------------------------------------------------

namespace {

std::unique_ptr<TDIBPaletteEntries> allocEntries() {
    std::unique_ptr<TDIBPaletteEntries> e(new (std::nothrow) TDIBPaletteEntries);
    if (!e) throw EDIBPaletteError("Could not get enough memory for a palette.");
    return e;
}

}  // namespace

// Forms name the palette by class.
static const bool kRegistered = (RegisterClasses({TDIBPalette::StaticClass()}), true);

TW_IMPLEMENT_CLASS(TDIBPalette) {
    b.Property("UseTable", &TDIBPalette::UseTable, &TDIBPalette::SetUseTable).Default(false);
}

void TDIBPalette::RecreatePaletteHandle() {
    // A logical palette with room for 254 entries, 235 of them used. The
    // system reads an entry's first byte as red, the table and the 8-bit
    // colour table as blue; the stored bytes follow the table, so they are
    // swapped here to make the realised colours the ones Render8Bit shows.
    std::vector<std::uint8_t> buf(sizeof(LOGPALETTE) +
                                  (kDIBPaletteCapacity - 1) * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = kDIBPaletteColorCount;
    for (int i = 0; i < kDIBPaletteColorCount; ++i) {
        const TDIBPaletteEntry& e = (*Entries_)[i];
        lp->palPalEntry[i] = PALETTEENTRY{e.Red, e.Green, e.Blue, e.Flags};
    }
    HPALETTE h = CreatePalette(lp);
    if (PaletteHandle_) DeleteObject(PaletteHandle_);
    PaletteHandle_ = h;
}

void TDIBPalette::SetEntries(const TDIBPaletteEntries& Value) {
    const bool same = std::memcmp(Entries_->data(), Value.data(), kDIBPaletteColorsSize) == 0;
    *Entries_ = Value;
    RecreatePaletteHandle();
    if (same && LookupTable_) return;
    // A form being read may still hold the table for these colours; if it
    // does not, Loaded builds one. Until then there is none, so that a read
    // that fails leaves no table of other colours behind.
    if (!UseTable_ || IsLoading())
        LookupTable_.reset();
    else
        BuildTable();
}

void TDIBPalette::SetUseTable(bool Value) {
    UseTable_ = Value;
    if (!Value)
        LookupTable_.reset();
    else if (!IsLoading())  // while a form is read, its table follows or Loaded builds one
        BuildTable();
}

void TDIBPalette::Assign(TPersistent* Source) {
    auto* src = dynamic_cast<TDIBPalette*>(Source);
    if (!src) throw Exception("Not a TDIBPalette Component");
    if (src == this) return;
    if (src->LookupTable_) {
        if (!LookupTable_) LookupTable_ = std::make_unique<std::uint8_t[]>(kDIBPaletteTableSize);
        std::memcpy(LookupTable_.get(), src->LookupTable_.get(), kDIBPaletteTableSize);
    } else {
        LookupTable_.reset();
    }
    // The flag follows the table, so that what was copied is also stored.
    UseTable_ = LookupTable_ != nullptr;
    *Entries_ = *src->Entries_;
    RecreatePaletteHandle();
}

void TDIBPalette::Loaded() {
    TComponent::Loaded();
    RecreatePaletteHandle();
    if (!UseTable_)
        LookupTable_.reset();
    else if (!LookupTable_)
        BuildTable();
}

void TDIBPalette::DefineProperties(TFiler* Filer) {
    TComponent::DefineProperties(Filer);
    Filer->DefineBinaryProperty(
        "DIBPaletteColors", [this](TStream& S) { ReadColors(S); },
        [this](TStream& S) { WriteColors(S); }, true);
    Filer->DefineBinaryProperty(
        "DIBPaletteTable", [this](TStream& S) { ReadTable(S); },
        [this](TStream& S) { WriteTable(S); }, UseTable_ && LookupTable_);
}

void TDIBPalette::ReadColors(TStream& Stream) {
    const std::int64_t size = Stream.Remaining();
    if (size == 0) return;  // keep the colours there are
    if (size != std::int64_t(kDIBPaletteColorsSize))
        throw EDIBPaletteError("Invalid palette stream.");
    TDIBPaletteEntries e;
    Stream.ReadBuffer(e.data(), kDIBPaletteColorsSize);
    SetEntries(e);
}

void TDIBPalette::WriteColors(TStream& Stream) {
    Stream.WriteBuffer(Entries_->data(), kDIBPaletteColorsSize);
}

void TDIBPalette::ReadTable(TStream& Stream) {
    // Only a whole table of valid indexes is taken; anything else would
    // leave part of the table unset or point outside the palette.
    if (Stream.Remaining() != std::int64_t(kDIBPaletteTableSize))
        throw EDIBPaletteError("Invalid palette table stream.");
    auto t = std::make_unique<std::uint8_t[]>(kDIBPaletteTableSize);
    Stream.ReadBuffer(t.get(), kDIBPaletteTableSize);
    for (std::size_t i = 0; i < kDIBPaletteTableSize; ++i)
        if (t[i] >= kDIBPaletteColorCount) throw EDIBPaletteError("Invalid palette table stream.");
    LookupTable_ = std::move(t);
}

void TDIBPalette::WriteTable(TStream& Stream) {
    if (LookupTable_) Stream.WriteBuffer(LookupTable_.get(), kDIBPaletteTableSize);
}

// ---- Render8Bit -------------------------------------------------------------

namespace {

// Releases what Render8Bit creates, whatever happens.
struct TRender8BitResources {
    HDC MemDC = nullptr;
    HBITMAP Section = nullptr;
    ~TRender8BitResources() {
        if (Section) DeleteObject(Section);
        if (MemDC) DeleteDC(MemDC);
    }
};

[[noreturn]] void raiseLastError() {
    const DWORD code = GetLastError();
    throw Exception("Windows error (" + std::to_string(code) + ") " + SystemErrorText(code));
}

}  // namespace

void Render8Bit(TAbstractSuperDIB* Source, HDC DC, int X, int Y, int W, int H, int SrcX, int SrcY,
                TDIBPalette* Palette) {
    if (!Palette || !Palette->UseTable() || !Palette->LookupTable())
        throw EDIBError("Render8Bit can only be used with a palette containing a lookup table");
    if (GetDeviceCaps(DC, BITSPIXEL) != 8)
        throw EDIBError("Render8Bit can only be used to blit to an 8 bit DC");
    if (!Source->HasBits() || !Source->Bits()) return;
    const int width = Source->Width(), height = Source->Height();
    if (SrcX >= width || SrcY >= height) return;

    // Clip as Draw does: a negative destination coordinate moves the source
    // start along, a negative source coordinate moves the destination along,
    // and the rectangle ends at the source's right and bottom edges. What
    // lies beyond the device context's own edges is left to SetDIBitsToDevice,
    // but never past the largest coordinate it takes. In 64 bits, so that no
    // argument can make the arithmetic wrap.
    long long x = X, y = Y, w = W, h = H, sx = SrcX, sy = SrcY;
    if (x < 0) sx -= x, w += x, x = 0;
    if (y < 0) sy -= y, h += y, y = 0;
    if (sx < 0) x -= sx, w += sx, sx = 0;
    if (sy < 0) y -= sy, h += sy, sy = 0;
    const long long last = std::numeric_limits<int>::max();
    w = std::min({w, width - sx, last - x});
    h = std::min({h, height - sy, last - y});
    if (w <= 0 || h <= 0) return;
    X = int(x), Y = int(y), W = int(w), H = int(h), SrcX = int(sx), SrcY = int(sy);

    TRender8BitResources res;
    res.MemDC = CreateCompatibleDC(DC);
    if (!res.MemDC) raiseLastError();

    std::vector<std::uint8_t> infoBuf(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD), 0);
    auto* info = reinterpret_cast<BITMAPINFO*>(infoBuf.data());
    info->bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info->bmiHeader.biWidth = W;
    info->bmiHeader.biHeight = H;
    info->bmiHeader.biPlanes = 1;
    info->bmiHeader.biBitCount = 8;
    info->bmiHeader.biCompression = BI_RGB;
    std::memcpy(info->bmiColors, Palette->Entries().data(), kDIBPaletteColorsSize);

    void* bits = nullptr;
    SetLastError(0);
    res.Section = CreateDIBSection(res.MemDC, info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!res.Section || !bits) raiseLastError();

    const std::uint8_t* table = Palette->LookupTable();
    const std::size_t stride = (std::size_t(W) + 3) & ~std::size_t(3);
    auto* out = static_cast<std::uint8_t*>(bits);
    for (int r = 0; r < H; ++r) {
        const TDIBPixel* src = Source->ScanLine(SrcY + r) + SrcX;
        std::uint8_t* dst = out + std::size_t(H - 1 - r) * stride;
        for (int x = 0; x < W; ++x)
            dst[x] = table[DIBLookupIndex(src[x].Blue, src[x].Green, src[x].Red)];
    }
    SetDIBitsToDevice(DC, X, Y, DWORD(W), DWORD(H), 0, 0, 0, UINT(H), bits, info, DIB_RGB_COLORS);
}

TComponent* TDIBPalette::CheckOwner(TComponent* Owner) {
    if (!dynamic_cast<TCustomForm*>(Owner))
        throw EDIBPaletteError("Palette owner must be a TCustomForm.");
    return Owner;
}

TDIBPalette::TDIBPalette(TComponent* Owner)
    : TComponent(CheckOwner(Owner)), Entries_(allocEntries()) {
    *Entries_ = DIBDefaultPaletteEntries();
    RecreatePaletteHandle();
    ServeForm(static_cast<TCustomForm*>(Owner));
}

TDIBPalette::~TDIBPalette() {
    ServeForm(nullptr);
    if (PaletteHandle_) DeleteObject(PaletteHandle_);
}

void TDIBPalette::Notification(TComponent* Component, TOperation Operation) {
    TComponent::Notification(Component, Operation);
    // The owner tells its components of one that joins or leaves it, this
    // palette included.
    if (Component == this)
        ServeForm(Operation == TOperation::opInsert ? dynamic_cast<TCustomForm*>(Owner())
                                                    : nullptr);
}

void TDIBPalette::ServeForm(TCustomForm* Form) {
    if (Form == Form_) return;
    if (Hook_) {
        // A copy of the procedure kept elsewhere (another hook that came
        // later) now passes straight to the previous one.
        Hook_->Palette = nullptr;
        if (!Form_->IsDestroying() && !Form_->IsDesigning()) Form_->SetWindowProc(Hook_->Previous);
        Hook_.reset();
    }
    Form_ = Form;
    if (Form_ && !Form_->IsDesigning()) {
        Hook_ = std::make_shared<THook>(THook{this, Form_->WindowProc()});
        Form_->SetWindowProc([hook = Hook_](TMessage& m) {
            if (hook->Palette)
                hook->Palette->HookedWndProc(m);
            else
                hook->Previous(m);
        });
    }
}

void TDIBPalette::HookedWndProc(TMessage& Message) {
    if (Message.Msg != kQueryNewPalette && Message.Msg != kPaletteChanged) {
        Hook_->Previous(Message);
        return;
    }
    TCustomForm* form = Form_;
    std::intptr_t result = 0;
    PaletteMessage(
        Message.Msg, Message.WParam, result, form->Handle(), [form] { form->Invalidate(); },
        [form] { form->NotifyControls(CM_PALETTECHANGED); });
    Message.Result = static_cast<std::int32_t>(result);
}

void TDIBPalette::BuildTable() {
    if (!LookupTable_) LookupTable_ = std::make_unique<std::uint8_t[]>(kDIBPaletteTableSize);
    TCustomForm* mainForm = IsDesigning() ? Application->MainForm() : nullptr;
    if (!mainForm) {
        DIBBuildLookupTable(*Entries_, LookupTable_.get());
        return;
    }
    const std::string caption = mainForm->Caption();
    DIBBuildLookupTable(*Entries_, LookupTable_.get(), [mainForm](int i) {
        mainForm->SetCaption("Processing " + std::to_string(i * 100 / 63) + "%");
    });
    mainForm->SetCaption(caption);
}

bool TDIBPalette::PaletteMessage(std::uint32_t Msg, std::uintptr_t WParam, std::intptr_t& Result,
                                 HWND Window, const std::function<void()>& Invalidate,
                                 const std::function<void()>& NotifyControls) {
    auto realise = [&](BOOL background) -> UINT {
        HDC dc = GetDC(Window);
        if (!dc) return 0;
        HPALETTE old = SelectPalette(dc, PaletteHandle_, background);
        UINT changed = RealizePalette(dc);
        SelectPalette(dc, old, TRUE);
        RealizePalette(dc);
        ReleaseDC(Window, dc);
        return changed == GDI_ERROR ? 0 : changed;
    };

    static_assert(kQueryNewPalette == WM_QUERYNEWPALETTE && kPaletteChanged == WM_PALETTECHANGED);
    if (Msg == kQueryNewPalette) {
        Result = 0;
        Result = std::intptr_t(realise(FALSE));
        if (Result > 0 && Invalidate) Invalidate();
        if (NotifyControls) NotifyControls();
        return true;
    }
    if (Msg == kPaletteChanged) {
        // The window that changed the palette has realised it already.
        if (reinterpret_cast<HWND>(WParam) == Window) return true;
        if (realise(TRUE) > 0 && Invalidate) Invalidate();
        return true;
    }
    return false;
}
