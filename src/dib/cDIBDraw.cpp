// Drawing one bitmap onto another: the row routines, clipping, rotation and
// scaling, film strips, stretching, the 3 x 3 filter and window regions.
//
// The call path of a draw:
//   Draw: clips the rectangle (the transformed path first renders the
//     picture into a box, then draws the box);
//   -> the routine: DrawProc, one of the eight Row* operations below, chosen
//     by SelectDrawProc and bound to the bitmap whose Opacity and key it reads;
//   -> the rows: ForRows steps both sides one image row down per row;
//   -> the kernel of one row (DIBRowKernels.h);
//   -> the vector level: the AVX-512 or AVX2 variant takes the front of the
//     row (DIBVectorLevel), SSE2 four pixels at a time, then pixel by pixel.

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "dib/DIBRowKernels.h"
#include "dib/cDIB.h"

using tarnwick::FromWord;
using tarnwick::RowCopyOpacityKernel;
using tarnwick::RowMaskAsGreyKernel;
using tarnwick::RowMaskedKernel;
using tarnwick::RowMaskedOpacityKernel;
using tarnwick::RowMaskOnlyKernel;
using tarnwick::RowTransparentKernel;
using tarnwick::RowTransparentOpacityKernel;
using tarnwick::Word;

namespace {

// Runs `row` over `rows` rows, stepping one image row down on both sides.
template <class Row>
void ForRows(const TDIBPixel* s, TDIBPixel* d, int rows, std::ptrdiff_t ss, std::ptrdiff_t ds,
             Row row) {
    for (int r = 0; r < rows; ++r) {
        row(s, d);
        if (r + 1 < rows) {
            s -= ss;
            d -= ds;
        }
    }
}

// Frees a temporary bitmap whatever happens.
using TempDIB = std::unique_ptr<TMemoryDIB>;

}  // namespace

// ---- trigonometric tables ----------------------------------------------------

namespace {
// kind 0: sin a, 1: cos a, 2: sin(a + pi/2), 3: cos(a + pi/2); a in extended
// precision, rounded to nearest with ties to even.
std::array<int, 360> MakeTable(int kind) {
    const long double pi = 3.14159265358979323846264338327950288L;
    std::array<int, 360> t{};
    for (int d = 0; d < 360; ++d) {
        const long double a = (long double)d * pi / 180.0L;
        long double v = 0;
        switch (kind) {
            case 0: v = std::sin(a); break;
            case 1: v = std::cos(a); break;
            case 2: v = std::sin(a + pi / 2.0L); break;
            default: v = std::cos(a + pi / 2.0L); break;
        }
        t[d] = int(std::nearbyintl(v * 256.0L));
    }
    return t;
}
}  // namespace

const std::array<int, 360> SinTable = MakeTable(0);
const std::array<int, 360> CosTable = MakeTable(1);
const std::array<int, 360> CosQuarterTable = MakeTable(2);
const std::array<int, 360> NegSinQuarterTable = MakeTable(3);

// ---- row routines bound to a bitmap -------------------------------------------

void TAbstractSuperDIB::RowMaskAsGrey(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                      std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W](const TDIBPixel* s, TDIBPixel* d) { RowMaskAsGreyKernel(s, d, W); });
}

void TAbstractSuperDIB::RowMaskOnly(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                    std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W](const TDIBPixel* s, TDIBPixel* d) { RowMaskOnlyKernel(s, d, W); });
}

void TAbstractSuperDIB::RowCopy(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const std::size_t bytes = std::size_t(W) * sizeof(TDIBPixel);
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [bytes](const TDIBPixel* s, TDIBPixel* d) { std::memmove(d, s, bytes); });
}

void TAbstractSuperDIB::RowCopyOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                       std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const unsigned o = Opacity_;
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W, o](const TDIBPixel* s, TDIBPixel* d) { RowCopyOpacityKernel(s, d, W, o); });
}

void TAbstractSuperDIB::RowMasked(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                  std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W](const TDIBPixel* s, TDIBPixel* d) { RowMaskedKernel(s, d, W); });
}

void TAbstractSuperDIB::RowMaskedOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                         std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const unsigned o = Opacity_;
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W, o](const TDIBPixel* s, TDIBPixel* d) { RowMaskedOpacityKernel(s, d, W, o); });
}

void TAbstractSuperDIB::RowTransparent(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                       std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const std::uint32_t key = TransparentColor_;
    ForRows(Src, Dst, Rows, SrcStride, DstStride,
            [W, key](const TDIBPixel* s, TDIBPixel* d) { RowTransparentKernel(s, d, W, key); });
}

void TAbstractSuperDIB::RowTransparentOpacity(const TDIBPixel* Src, TDIBPixel* Dst, int Rows, int W,
                                              std::ptrdiff_t SrcStride, std::ptrdiff_t DstStride) {
    const std::uint32_t key = TransparentColor_;
    const unsigned o = Opacity_;
    ForRows(Src, Dst, Rows, SrcStride, DstStride, [W, key, o](const TDIBPixel* s, TDIBPixel* d) {
        RowTransparentOpacityKernel(s, d, W, key, o);
    });
}

void TAbstractSuperDIB::SelectDrawProc() {
    // Masked wins over Transparent.
    TDIBRowRoutine r;
    if (Opacity_ == 255)
        r = Masked_        ? &TAbstractSuperDIB::RowMasked
            : Transparent_ ? &TAbstractSuperDIB::RowTransparent
                           : &TAbstractSuperDIB::RowCopy;
    else
        r = Masked_        ? &TAbstractSuperDIB::RowMaskedOpacity
            : Transparent_ ? &TAbstractSuperDIB::RowTransparentOpacity
                           : &TAbstractSuperDIB::RowCopyOpacity;
    DrawProc_ = Bound(r);
}

// ---- Draw ---------------------------------------------------------------------

void TAbstractSuperDIB::Draw(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                             int SrcY) {
    if (Angle_ != 0 || ScaleX_ != 100.0L || ScaleY_ != 100.0L)
        DrawTransformed(X, Y, W, H, Dest);
    else
        DrawPlain(X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawPlain(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                                  int SrcY) {
    // A bitmap without pixels (on either side) has nothing to give or take.
    if (!Dest || !Dest->Bits_ || !Bits_ || !DrawProc_.Owner) return;
    SrcX = std::uint16_t(SrcX);
    SrcY = std::uint16_t(SrcY);
    const TRect& clip = Dest->ClipRect_;
    // 64-bit so that extreme arguments cannot wrap around.
    long long x = X, y = Y, w = W, h = H, sx = SrcX, sy = SrcY;
    if (x < clip.Left) {
        long long k = clip.Left - x;
        sx += k, w -= k, x = clip.Left;
    }
    if (y < clip.Top) {
        long long k = clip.Top - y;
        sy += k, h -= k, y = clip.Top;
    }
    if (x + w > clip.Right) w = clip.Right - x + 1;
    if (y + h > clip.Bottom) h = clip.Bottom - y + 1;
    if (sx + w > Width_) w = Width_ - sx;
    if (sy + h > Height_) h = Height_ - sy;
    // Safeguard: the rectangle must lie inside Dest whatever its ClipRect says.
    if (x < 0 || y < 0) return;
    w = std::min<long long>(w, Dest->Width_ - x);
    h = std::min<long long>(h, Dest->Height_ - y);
    if (w <= 0 || h <= 0) return;

    const TDIBPixel* src = Bits_ + (Height_ - 1 - sy) * Width_ + sx;
    TDIBPixel* dst = Dest->Bits_ + (Dest->Height_ - 1 - y) * Dest->Width_ + x;
    DrawProc_(src, dst, int(h), int(w), Width_, Dest->Width_);
    Dest->Changed();
}

void TAbstractSuperDIB::DrawTransformed(int X, int Y, int W, int H, TAbstractSuperDIB* Dest) {
    if (!Dest || !Dest->Bits_ || !Bits_) return;
    TDIBSize box{W, H};
    if (AutoSize_) box = CalcRotatedSize(W, H, Angle_, double(ScaleX_), double(ScaleY_));
    if (box.Width < 0 || box.Height < 0 || box.Width > 0xFFFF || box.Height > 0xFFFF) return;

    // A zero side is one pixel, as for any new bitmap. The box starts
    // transparent black, which it keeps where the picture renders nothing (a
    // zero scale renders nothing at all).
    TempDIB temp = std::make_unique<TMemoryDIB>(std::max(box.Width, 1), std::max(box.Height, 1));
    temp->SetMasked(Masked_);
    temp->SetOpacity(Opacity_);
    temp->SetTransparent(Transparent_);
    temp->SetTransparentMode(tmFixed);
    temp->SetTransparentColor(TransparentColor());
    RenderTransformed(temp.get());
    temp->DrawProc_ = DrawProc_;  // still bound to Self: Self's opacity and key apply
    temp->DrawPlain(X, Y, temp->Width_, temp->Height_, Dest, 0, 0);
}

void TAbstractSuperDIB::DrawWithRoutine(TDIBRowRoutine Routine, bool Untransformed, int X, int Y,
                                        int W, int H, TAbstractSuperDIB* Dest, int SrcX, int SrcY) {
    struct Restore {
        TAbstractSuperDIB* self;
        TDIBDrawProc proc;
        TAngle angle;
        long double sx, sy;
        ~Restore() {
            self->DrawProc_ = proc;
            self->Angle_ = angle;
            self->ScaleX_ = sx;
            self->ScaleY_ = sy;
        }
    } restore{this, DrawProc_, Angle_, ScaleX_, ScaleY_};
    DrawProc_ = Bound(Routine);
    if (Untransformed) {
        Angle_ = 0;
        ScaleX_ = ScaleY_ = 100.0L;
    }
    Draw(X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawRaw(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                                int SrcY) {
    DrawWithRoutine(&TAbstractSuperDIB::RowCopy, true, X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawMask(int X, int Y, int W, int H, TAbstractSuperDIB* Dest, int SrcX,
                                 int SrcY) {
    DrawWithRoutine(&TAbstractSuperDIB::RowMaskOnly, false, X, Y, W, H, Dest, SrcX, SrcY);
}

void TAbstractSuperDIB::DrawMaskAsGrey(int X, int Y, int W, int H, TAbstractSuperDIB* Dest,
                                       int SrcX, int SrcY) {
    DrawWithRoutine(&TAbstractSuperDIB::RowMaskAsGrey, false, X, Y, W, H, Dest, SrcX, SrcY);
}

// ---- rotation and scaling --------------------------------------------------------

TDIBSize CalcRotatedSize(int W, int H, int Angle, double ScaleX, double ScaleY) {
    const double pi = 3.14159265358979323846;
    const double r = double(-Angle) * pi / 180.0;
    const double w = W * ScaleX / 100.0, h = H * ScaleY / 100.0;
    auto even = [](double v) {
        // Sizes beyond any bitmap are reported as the largest int; the caller refuses them.
        if (!(v < 2147483646.0)) return std::numeric_limits<int>::max();
        int n = int(std::ceil(v));
        return (n & 1) ? n + 1 : n;
    };
    return {even(std::fabs(w * std::cos(r)) + std::fabs(h * std::sin(r))),
            even(std::fabs(w * std::sin(r)) + std::fabs(h * std::cos(r)))};
}

namespace {
// A fixed-point step, rounded to nearest with ties to even; limited so that the
// 64-bit accumulators cannot overflow however small the scale.
long long Step(int tableValue, int size, long double scaledSize) {
    long double v = std::nearbyintl((long double)(tableValue * size) / scaledSize);
    const long double limit = 1099511627776.0L;  // 2^40
    if (!(v < limit)) return (long long)limit;
    if (!(v > -limit)) return -(long long)limit;
    return (long long)v;
}
}  // namespace

void TAbstractSuperDIB::RenderTransformed(TAbstractSuperDIB* Dest) {
    if (!Dest || !Dest->Bits_ || !Bits_) return;
    const std::uint32_t fill = Masked_ ? 0u : (TransparentColor_ & 0x00FFFFFFu);
    const long double sx = ScaleX_ / 100.0L, sy = ScaleY_ / 100.0L;
    const long double sw = Width_ * sx, sh = Height_ * sy;
    if (sw == 0 || sh == 0 || std::isnan(sw) || std::isnan(sh)) return;

    const int d = Angle_ % 360;
    const long long A = Step(CosTable[d], Width_, sw);
    const long long B = Step(SinTable[d], Height_, sh);
    const long long C = Step(NegSinQuarterTable[d], Width_, sw);
    const long long D = Step(CosQuarterTable[d], Height_, sh);

    const long long hw = Width_ / 2, hh = Height_ / 2;
    const TDIBPixel* origin = Bits_ + hh * Width_ + hw;
    const long long dw2 = Dest->Width_ / 2, dh2 = Dest->Height_ / 2;
    long long uRow = -A * dw2 - C * dh2;
    long long vRow = -B * dw2 - D * dh2;
    const TDIBPixel fillPixel = FromWord(fill);

    TDIBPixel* out = Dest->Bits_;
    for (int j = 0; j < Dest->Height_; ++j) {
        long long u = uRow, v = vRow;
        for (int i = 0; i < Dest->Width_; ++i, ++out) {
            const long long yy = v / 256, xx = u / 256;  // truncation toward zero
            if (-hh < yy && yy < hh && -hw < xx && xx < hw)
                *out = origin[yy * Width_ + xx];
            else
                *out = fillPixel;
            u += A;
            v += B;
        }
        uRow += C;
        vRow += D;
    }
    Dest->Changed();
}

// ---- film strips ------------------------------------------------------------------

void DrawGlyph(TAbstractSuperDIB* Picture, int X, int Y, int Index, int NumGlyphs,
               TAbstractSuperDIB* Dest) {
    if (!Picture || NumGlyphs <= 0) return;
    const int fw = Picture->Width() / NumGlyphs;
    if (fw <= 0 || Picture->Height() <= 0) return;
    Picture->PrepareFrame(Index, NumGlyphs);
    // Unrotated and unscaled, the frame is drawn straight from the strip,
    // which gives the pixels of drawing a copy of it (the copy would draw
    // with the strip's own routine) without making one on every paint.
    if (Index >= 0 && Index < NumGlyphs && Picture->Angle() == 0 && Picture->ScaleX() == 100.0L &&
        Picture->ScaleY() == 100.0L) {
        Picture->Draw(X, Y, fw, Picture->Height(), Dest, Index * fw, 0);
        return;
    }
    // Rotation and scaling turn the frame on its own, about its own centre.
    TempDIB temp = std::make_unique<TMemoryDIB>(fw, Picture->Height());
    Picture->DrawRaw(0, 0, fw, Picture->Height(), temp.get(), Index * fw, 0);
    Picture->CopyPropertiesTo(temp.get());
    temp->Draw(X, Y, fw, Picture->Height(), Dest, 0, 0);
}

void DrawGlyphTween(TAbstractSuperDIB* Picture, int X, int Y, int NumGlyphs,
                    TAbstractSuperDIB* Dest, int Min, int Max, int Position, bool Wrap) {
    if (!Picture || NumGlyphs <= 0) return;
    const int N = NumGlyphs;
    // An empty range has no fraction: it shows the first position.
    const long double f =
        Max == Min ? 0.0L
                   : (long double)(Position - (long double)Min) / ((long double)Max - Min) * N;
    // The weight comes from the fraction of the position itself. Only the
    // frame numbers are limited, to -1 .. N, which fold as any value beyond
    // would and keep Ceil and Floor representable.
    const long double frac = f - std::trunc(f);
    const long double limited = std::clamp(f, -1.0L, (long double)N);
    int hi = int(std::ceil(limited)), lo = int(std::floor(limited));
    // Below Min the fraction is negative; the weight stays a valid opacity.
    const int o = std::clamp(255 - int(std::nearbyintl(frac * 255.0L)), 0, 255);
    auto fold = [N, Wrap](int k) {
        if (k >= N) k = Wrap ? 0 : N - 1;
        if (k < 0) k = Wrap ? N - 1 : 0;
        return k;
    };
    hi = fold(hi);
    lo = fold(lo);
    Picture->PrepareFrame(hi, N);
    Picture->PrepareFrame(lo, N);

    const int fw = Picture->Width() / N, ph = Picture->Height();
    if (fw <= 0 || ph <= 0) return;
    TempDIB a = std::make_unique<TMemoryDIB>(fw, ph);
    TempDIB b = std::make_unique<TMemoryDIB>(fw, ph);
    Picture->DrawRaw(0, 0, fw, ph, a.get(), hi * fw, 0);
    Picture->CopyPropertiesTo(a.get());
    a->SetOpacity(255);
    Picture->DrawRaw(0, 0, fw, ph, b.get(), lo * fw, 0);
    b->SetAngle(0);
    b->SetScale(100.0L);
    b->SetOpacity(std::uint8_t(o));
    b->Draw(0, 0, fw, ph, a.get(), 0, 0);
    a->SetOpacity(Picture->Opacity());
    a->Draw(X, Y, fw, a->Height(), Dest, 0, 0);
}

// ---- stretching -------------------------------------------------------------------

void TAbstractSuperDIB::StretchFrom(TAbstractSuperDIB* Source) {
    if (Source) Source->PrepareFrames();
    if (!Source || !Source->Bits_ || !Bits_ || Source->Width_ == 0 || Source->Height_ == 0) return;
    const unsigned sw = Source->Width_, shgt = Source->Height_, dw = Width_, dh = Height_;
    const unsigned ix = sw / dw, fx = ((sw << 16) / dw) & 0xFFFFu;
    const unsigned iy = shgt / dh, fy = ((shgt << 16) / dh) & 0xFFFFu;
    const TDIBPixel* srcBase = Source->Bits_;
    const std::size_t lastRow = std::size_t(shgt - 1) * sw;

    std::uint16_t racc = std::uint16_t(fy);
    std::size_t rowStart = 0;
    TDIBPixel* out = Bits_;
    for (unsigned j = 0; j < dh; ++j) {
        // Started at fy, the row accumulator borrows one step early, so when
        // enlarging it can step one row past the last; that row is the last.
        const TDIBPixel* s = srcBase + std::min(rowStart, lastRow);
        std::uint16_t cacc = 0xFFFF;
        std::size_t col = 0;
        for (unsigned i = 0; i < dw; ++i) {
            *out++ = s[col];
            col += ix;
            if (cacc < fx) ++col;  // borrow
            cacc = std::uint16_t(cacc - fx);
        }
        rowStart += std::size_t(iy) * sw;
        if (racc < fy) rowStart += sw;
        racc = std::uint16_t(racc - fy);
    }
    Changed();
}

// ---- filter ------------------------------------------------------------------------

void TAbstractSuperDIB::Filter(const TDIBFilter& Description) {
    if (!Bits_) return;
    const int W = Width_, H = Height_;
    TempDIB temp = std::make_unique<TMemoryDIB>(W, H);  // starts black, mask 0

    int divisor = Description.Divisor;
    if (divisor <= 0) {
        divisor = 0;
        for (std::int16_t w : Description.Weights) divisor += w;
    }
    const std::int16_t bias[3] = {Description.BlueBias, Description.GreenBias, Description.RedBias};
    for (int y = 1; y + 1 < H; ++y) {
        const TDIBPixel* rows[3] = {ScanLine(y - 1), ScanLine(y), ScanLine(y + 1)};
        TDIBPixel* out = temp->ScanLine(y);
        for (int x = 1; x + 1 < W; ++x) {
            int result[3];
            for (int c = 0; c < 3; ++c) {
                std::int16_t sum = 0;  // sums wrap in 16 bits
                for (int r = 0; r < 3; ++r)
                    for (int k = 0; k < 3; ++k) {
                        const std::uint8_t* p = &rows[r][x - 1 + k].Blue;
                        sum =
                            std::int16_t(sum + std::int16_t(Description.Weights[r * 3 + k] * p[c]));
                    }
                sum = std::int16_t(sum + bias[c]);
                // Divided exactly, so -32768 / -1 stays positive and a divisor
                // beyond 16 bits cannot turn into zero.
                int v = divisor != 0 ? int(sum) / divisor : int(sum);
                result[c] = std::clamp(v, 0, 255);
            }
            out[x] = {std::uint8_t(result[0]), std::uint8_t(result[1]), std::uint8_t(result[2]),
                      ScanLine(y)[x].Mask};
        }
    }
    temp->SetOpacity(Description.Opacity);
    temp->DrawPlain(0, 0, W, H, this, 0, 0);
}

// ---- regions --------------------------------------------------------------------

HRGN TAbstractSuperDIB::CreateMaskRegion(std::uint8_t Threshold) const {
    return BuildRegion(true, Threshold, 0);
}

HRGN TAbstractSuperDIB::CreateColorRegion(TColor Color) const {
    return BuildRegion(false, 0, ColorToPixel(Color));
}

HRGN TAbstractSuperDIB::BuildRegion(bool ByMask, std::uint8_t Threshold, std::uint32_t Key) const {
    constexpr int kBatch = 400;
    if (!Bits_) return nullptr;
    std::vector<std::uint8_t> buffer(sizeof(RGNDATAHEADER) + kBatch * sizeof(RECT));
    auto* header = reinterpret_cast<RGNDATAHEADER*>(buffer.data());
    auto* rects = reinterpret_cast<RECT*>(buffer.data() + sizeof(RGNDATAHEADER));
    header->dwSize = sizeof(RGNDATAHEADER);
    header->iType = RDH_RECTANGLES;
    header->nCount = 0;
    header->nRgnSize = 0;
    header->rcBound = {0, 0, Width_, Height_};

    HRGN result = nullptr;
    auto flush = [&] {
        HRGN part =
            ExtCreateRegion(nullptr, DWORD(sizeof(RGNDATAHEADER) + header->nCount * sizeof(RECT)),
                            reinterpret_cast<const RGNDATA*>(buffer.data()));
        if (!part) {
            if (result) DeleteObject(result);
            throw EAssertionFailed("Assertion failure");
        }
        if (!result) {
            result = part;
        } else {
            CombineRgn(result, result, part, RGN_OR);
            DeleteObject(part);
        }
        header->nCount = 0;
    };
    auto inside = [&](const TDIBPixel& p) {
        return ByMask ? p.Mask > Threshold : (Word(p) & 0x00FFFFFFu) != Key;
    };
    for (int y = 0; y < Height_; ++y) {
        const TDIBPixel* row = ScanLine(y);
        int x = 0;
        while (x < Width_) {
            while (x < Width_ && !inside(row[x])) ++x;
            if (x == Width_) break;
            const int start = x;
            while (x < Width_ && inside(row[x])) ++x;
            rects[header->nCount++] = {start, y, x, y + 1};
            if (header->nCount == kBatch) flush();
        }
    }
    if (header->nCount > 0) flush();
    return result;
}
