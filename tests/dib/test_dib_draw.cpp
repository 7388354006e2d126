// Drawing: the row routines against straightforward references of their
// formulas, clipping, rotation and scaling, film strips, stretching, the
// filter and regions.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dib/cDIB.h"
#include "platform/PictureFile.h"
#include "support/DibSamples.h"

namespace {

std::uint32_t W32(const TDIBPixel& p) { return PixelWord(p); }
TDIBPixel P32(std::uint32_t v) {
    TDIBPixel p;
    std::memcpy(&p, &v, 4);
    return p;
}

void Randomise(TAbstractSuperDIB& d, std::mt19937& rng) {
    for (std::size_t i = 0; i < d.PixelCount(); ++i) d.Bits()[i] = P32(rng());
}

// Pixel (x, y) in image coordinates.
TDIBPixel& At(TAbstractSuperDIB& d, int x, int y) { return d.ScanLine(y)[x]; }

void SavePng(TAbstractSuperDIB& d, const std::string& name) {
    const char* dir = std::getenv("TARNWICK_BUILD_DIR");
    if (!dir) return;
    // Shown opaque: the mask bytes are drawing data, not the picture's look.
    TMemoryDIB opaque;
    opaque.Assign(&d);
    opaque.SetMaskValue(255);
    tarnwick::platform::ImageView v{reinterpret_cast<const std::uint8_t*>(opaque.Bits()),
                                    opaque.Width(), opaque.Height(), true};
    tarnwick::platform::WritePngFile(std::string(dir) + "/" + name, v);
}

// ---- reference formulas, written plainly ----

std::uint8_t RefBlend(int s, int d, int w) {
    return std::uint8_t(((s * w + d * (255 - w)) / 256) + 1);
}

TDIBPixel RefBlendPixel(TDIBPixel s, TDIBPixel d, int w) {
    return {RefBlend(s.Blue, d.Blue, w), RefBlend(s.Green, d.Green, w), RefBlend(s.Red, d.Red, w),
            d.Mask};
}

enum class Routine { Copy, CopyOpacity, Masked, MaskedOpacity, Transparent, TransparentOpacity };

TDIBPixel RefPixel(Routine r, TDIBPixel s, TDIBPixel d, int o, std::uint32_t key) {
    const bool isKey = (W32(s) & 0xFFFFFF) == (key & 0xFFFFFF);
    switch (r) {
        case Routine::Copy: return s;
        case Routine::CopyOpacity: return RefBlendPixel(s, d, o);
        case Routine::Masked: return RefBlendPixel(s, d, s.Mask);
        case Routine::MaskedOpacity: return RefBlendPixel(s, d, s.Mask * o / 256);
        case Routine::Transparent: return isKey ? d : TDIBPixel{s.Blue, s.Green, s.Red, 0};
        case Routine::TransparentOpacity: {
            if (isKey) return d;
            TDIBPixel p = RefBlendPixel(s, d, o);
            p.Mask = s.Mask;
            return p;
        }
    }
    return d;
}

// Runs `body` once for every vector width the processor has, restoring the
// widest afterwards.
template <class F>
void ForEachVectorLevel(F body) {
    struct Restore {
        ~Restore() { SetDIBVectorLevel(DIBHighestVectorLevel()); }
    } restore;
    for (int level = 0; level <= DIBHighestVectorLevel(); ++level) {
        SetDIBVectorLevel(level);
        ASSERT_EQ(DIBVectorLevel(), level);
        SCOPED_TRACE("vector level " + std::to_string(level));
        body();
    }
}

void Configure(TAbstractSuperDIB& d, Routine r, int o) {
    d.SetMasked(r == Routine::Masked || r == Routine::MaskedOpacity);
    d.SetTransparent(r == Routine::Transparent || r == Routine::TransparentOpacity);
    const bool opaque = r == Routine::Copy || r == Routine::Masked || r == Routine::Transparent;
    d.SetOpacity(std::uint8_t(opaque ? 255 : o));
}

}  // namespace

void RandomRoutineCheck();

// Every blending routine, on odd sizes and offsets so that both the wide path
// and the per-pixel tail run, against the reference over random pixels; keys
// are made to occur often.
TEST(DIBDraw, RowRoutinesMatchReferenceOnRandomPixels) {
    ForEachVectorLevel([] { RandomRoutineCheck(); });
}

void RandomRoutineCheck() {
    std::mt19937 rng(7);
    for (Routine r : {Routine::Copy, Routine::CopyOpacity, Routine::Masked, Routine::MaskedOpacity,
                      Routine::Transparent, Routine::TransparentOpacity}) {
        for (int trial = 0; trial < 40; ++trial) {
            const int sw = 1 + rng() % 41, sh = 1 + rng() % 9, dw = 1 + rng() % 45,
                      dh = 1 + rng() % 11;
            TMemoryDIB src(sw, sh), dst(dw, dh);
            Randomise(src, rng);
            Randomise(dst, rng);
            const std::uint32_t key = rng() & 0xFFFFFF;
            for (std::size_t i = 0; i < src.PixelCount(); ++i)
                if (rng() % 3 == 0)
                    src.Bits()[i] = P32((key | (rng() << 24)) ^ (rng() % 2 ? 0 : 0));
            const int o = rng() % 255;  // 0..254
            Configure(src, r, o);
            src.SetTransparentMode(tmFixed);
            src.SetTransparentColor(PixelToColor(key));
            TMemoryDIB before(dw, dh);
            before.CopyPixelsFrom(&dst);
            const int x = int(rng() % 50) - 20, y = int(rng() % 14) - 5;
            const int w = 1 + rng() % 50, h = 1 + rng() % 12;
            const int sx = rng() % 8, sy = rng() % 3;
            src.Draw(x, y, w, h, &dst, sx, sy);
            for (int py = 0; py < dh; ++py)
                for (int px = 0; px < dw; ++px) {
                    const int qx = px - x + sx, qy = py - y + sy;
                    const bool covered =
                        px >= x && px < x + w && py >= y && py < y + h && qx < sw && qy < sh;
                    const TDIBPixel old = At(before, px, py);
                    const TDIBPixel want =
                        covered ? RefPixel(r, At(src, qx, qy), old, o, key) : old;
                    ASSERT_EQ(W32(want), W32(At(dst, px, py)))
                        << "routine " << int(r) << " at " << px << "," << py;
                }
        }
    }
}

void ExhaustiveBlendCheck();

// The blend of every source byte with every destination byte at every weight,
// through copy-with-opacity (one weight per draw) and masked (the weight from
// each pixel's mask).
TEST(DIBDraw, BlendIsExactForAllBytePairsAndWeights) {
    ForEachVectorLevel([] { ExhaustiveBlendCheck(); });
}

void ExhaustiveBlendCheck() {
    // Three passes per mask value m: masked (weight m), copy with opacity m,
    // masked with opacity 200 (weight (m * 200) shr 8).
    TMemoryDIB src(256, 256), dst(256, 256);
    for (int m = 0; m < 256; ++m) {
        for (int pass = 0; pass < 3; ++pass) {
            if (pass == 1 && m == 255) continue;  // opacity 255 unmasked is a plain copy
            for (int s = 0; s < 256; ++s)
                for (int d = 0; d < 256; ++d) {
                    At(src, d, s) = {std::uint8_t(s), std::uint8_t(d), std::uint8_t(255 - s),
                                     std::uint8_t(m)};
                    At(dst, d, s) = {std::uint8_t(d), std::uint8_t(s), std::uint8_t(255 - d), 77};
                }
            src.SetMasked(pass != 1);
            src.SetOpacity(std::uint8_t(pass == 0 ? 255 : pass == 1 ? m : 200));
            const int w = pass == 2 ? m * 200 / 256 : m;
            src.Draw(0, 0, 256, 256, &dst, 0, 0);
            for (int s = 0; s < 256; ++s)
                for (int d = 0; d < 256; ++d) {
                    const TDIBPixel p = At(dst, d, s);
                    ASSERT_EQ(p.Blue, RefBlend(s, d, w))
                        << "pass " << pass << " m " << m << " s " << s << " d " << d;
                    ASSERT_EQ(p.Green, RefBlend(d, s, w));
                    ASSERT_EQ(p.Red, RefBlend(255 - s, 255 - d, w));
                    ASSERT_EQ(p.Mask, 77);
                }
        }
    }
}

TEST(DIBDraw, BlendEdgeValues) {
    TMemoryDIB src(1, 1), dst(1, 1);
    src.SetMasked(true);
    src.Bits()[0] = {255, 255, 255, 255};
    dst.Bits()[0] = {0, 0, 0, 9};
    src.Draw(0, 0, 1, 1, &dst, 0, 0);
    EXPECT_EQ(W32(dst.Bits()[0]), 0x09FFFFFFu);  // white stays white, mask kept

    src.Bits()[0] = {0, 0, 0, 255};  // black with weight 255 gives 1, not 0
    src.Draw(0, 0, 1, 1, &dst, 0, 0);
    EXPECT_EQ(W32(dst.Bits()[0]), 0x09010101u);

    src.Bits()[0] = {200, 100, 50, 0};  // weight 0 over black gives 1
    dst.Bits()[0] = {0, 0, 0, 0};
    src.Draw(0, 0, 1, 1, &dst, 0, 0);
    EXPECT_EQ(W32(dst.Bits()[0]), 0x00010101u);
}

TEST(DIBDraw, SelectionOfRowRoutine) {
    TMemoryDIB d(2, 2);
    auto is = [&](TDIBRowRoutine r) { return d.DrawProc() == TDIBDrawProc{&d, r}; };
    EXPECT_TRUE(is(&TAbstractSuperDIB::RowCopy));
    d.SetTransparent(true);
    EXPECT_TRUE(is(&TAbstractSuperDIB::RowTransparent));
    d.SetMasked(true);  // masked wins over transparent
    EXPECT_TRUE(is(&TAbstractSuperDIB::RowMasked));
    d.SetOpacity(254);
    EXPECT_TRUE(is(&TAbstractSuperDIB::RowMaskedOpacity));
    d.SetMasked(false);
    EXPECT_TRUE(is(&TAbstractSuperDIB::RowTransparentOpacity));
    d.SetTransparent(false);
    EXPECT_TRUE(is(&TAbstractSuperDIB::RowCopyOpacity));
    // BeginUpdate holds back OnChange, not the choice of routine.
    d.BeginUpdate();
    d.SetOpacity(255);
    EXPECT_TRUE(is(&TAbstractSuperDIB::RowCopy));
    d.EndUpdate();
}

TEST(DIBDraw, OpacityAndCopyTreatTheMaskByte) {
    TMemoryDIB src(1, 1), dst(1, 1);
    src.Bits()[0] = P32(0x11223344);
    dst.Bits()[0] = P32(0xAA000000);
    src.Draw(0, 0, 1, 1, &dst, 0, 0);
    EXPECT_EQ(W32(dst.Bits()[0]), 0x11223344u);  // the plain copy takes the mask too
    dst.Bits()[0] = P32(0xAA000000);
    src.SetOpacity(254);
    src.Draw(0, 0, 1, 1, &dst, 0, 0);
    EXPECT_EQ(dst.Bits()[0].Mask, 0xAA);
}

TEST(DIBDraw, MaskRoutines) {
    TMemoryDIB src(3, 1), dst(3, 1);
    src.SetOpacity(100);  // not used by the mask routines
    for (int i = 0; i < 3; ++i) {
        src.Bits()[i] = P32(0x00102030u | (std::uint32_t(i * 100) << 24));
        dst.Bits()[i] = P32(0x7F010203u);
    }
    src.DrawMask(0, 0, 3, 1, &dst, 0, 0);
    EXPECT_EQ(W32(dst.Bits()[0]), 0x00010203u);
    EXPECT_EQ(W32(dst.Bits()[2]), 0xC8010203u);
    src.DrawMaskAsGrey(0, 0, 3, 1, &dst, 0, 0);
    EXPECT_EQ(W32(dst.Bits()[1]), 0x64646464u);
    // The saved routine is back afterwards.
    EXPECT_EQ(src.DrawProc(), (TDIBDrawProc{&src, &TAbstractSuperDIB::RowCopyOpacity}));
}

TEST(DIBDraw, ClippingAgainstClipRectAndSource) {
    TMemoryDIB src(10, 4), dst(20, 10);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 10; ++x) At(src, x, y) = P32(0xFF000000u | (y << 8) | x);
    dst.Fill(clBlack);
    int changes = 0;
    dst.SetOnChange([&](TObject*) { ++changes; });

    src.Draw(-5, 0, 10, 4, &dst, 0, 0);  // starts at column 0 with source column 5
    EXPECT_EQ(W32(At(dst, 0, 0)), 0xFF000005u);
    EXPECT_EQ(W32(At(dst, 4, 3)), 0xFF000309u);
    EXPECT_EQ(W32(At(dst, 5, 0)), 0u);
    EXPECT_EQ(changes, 1);

    dst.Fill(clBlack);
    src.Draw(2, 1, 50, 50, &dst, 7, 1);  // only up to the source's edges
    EXPECT_EQ(W32(At(dst, 2, 1)), 0xFF000107u);
    EXPECT_EQ(W32(At(dst, 4, 3)), 0xFF000309u);
    EXPECT_EQ(W32(At(dst, 5, 1)), 0u);
    EXPECT_EQ(W32(At(dst, 2, 4)), 0u);

    dst.Fill(clBlack);
    dst.SetClipRect({3, 2, 5, 2});  // one row of three pixels
    src.Draw(0, 0, 10, 4, &dst, 0, 0);
    EXPECT_EQ(W32(At(dst, 3, 2)), 0xFF000203u);
    EXPECT_EQ(W32(At(dst, 5, 2)), 0xFF000205u);
    EXPECT_EQ(W32(At(dst, 6, 2)), 0u);
    EXPECT_EQ(W32(At(dst, 3, 1)), 0u);

    changes = 0;  // clipped away entirely: nothing drawn, no notification
    src.Draw(6, 0, 4, 4, &dst, 0, 0);
    src.Draw(0, 0, 10, 4, &dst, 10, 0);
    src.Draw(0, 0, 0, 4, &dst, 0, 0);
    EXPECT_EQ(changes, 0);
    // SrcX and SrcY are 16-bit: -65536 is column 0.
    dst.SetClipRect({0, 0, 19, 9});
    src.Draw(0, 0, 1, 1, &dst, -65536, 0);
    EXPECT_EQ(W32(At(dst, 0, 0)), 0xFF000000u);
    EXPECT_EQ(changes, 1);
}

TEST(DIBDraw, DrawOntoOrFromBitmapsWithoutPixelsIsIgnored) {
    TMemoryDIB empty, src(4, 4);
    Randomise(src, *std::make_unique<std::mt19937>(1));
    int changes = 0;
    empty.SetOnChange([&](TObject*) { ++changes; });
    src.Draw(0, 0, 4, 4, &empty, 0, 0);
    src.SetAngle(30);
    src.Draw(0, 0, 4, 4, &empty, 0, 0);
    empty.Draw(0, 0, 4, 4, &src, 0, 0);
    EXPECT_EQ(changes, 0);
    EXPECT_EQ(empty.Bits(), nullptr);
}

TEST(DIBDraw, TrigonometricTables) {
    EXPECT_EQ(SinTable[0], 0);
    EXPECT_EQ(SinTable[30], 128);
    EXPECT_EQ(SinTable[45], 181);
    EXPECT_EQ(SinTable[90], 256);
    EXPECT_EQ(SinTable[270], -256);
    EXPECT_EQ(CosTable[0], 256);
    EXPECT_EQ(CosTable[60], 128);
    EXPECT_EQ(CosTable[1], 256);  // 255.96
    EXPECT_EQ(SinTable[1], 4);    // 4.47
    for (int d = 0; d < 360; ++d) {
        const double a = d * M_PI / 180;
        EXPECT_NEAR(SinTable[d], std::sin(a) * 256, 0.5);
        EXPECT_NEAR(CosTable[d], std::cos(a) * 256, 0.5);
        EXPECT_EQ(CosQuarterTable[d], CosTable[d]) << d;
        EXPECT_EQ(NegSinQuarterTable[d], -SinTable[d]) << d;
    }
}

TEST(DIBDraw, CalcRotatedSize) {
    EXPECT_EQ(CalcRotatedSize(9, 3, 0, 150, 150), (TDIBSize{14, 6}));
    // cos(-90 degrees) is not exactly 0 in floating point: 4 + 6e-16 rounds
    // up to 5, and that becomes 6.
    EXPECT_EQ(CalcRotatedSize(10, 4, 90, 100, 100), (TDIBSize{6, 10}));
    EXPECT_EQ(CalcRotatedSize(10, 10, 45, 100, 100), (TDIBSize{16, 16}));    // 14.14 -> 15 -> 16
    EXPECT_EQ(CalcRotatedSize(80, 80, 30, 100, 100), (TDIBSize{110, 110}));  // 109.28
}

TEST(DIBDraw, RenderTransformedQuarterTurnPutsTopOnTheRight) {
    // 5 x 5 so that the centre rows and columns are sampled; the outermost
    // ring is never sampled.
    TMemoryDIB src(5, 5), dst(5, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) At(src, x, y) = P32(0xFF000000u | (y << 8) | x);
    src.SetTransparentColor(TColor(0x0000EE));
    src.SetAngle(90);
    src.RenderTransformed(&dst);
    // Source (x, y) lands at (4 - y, x): the top row becomes the right column.
    for (int y = 1; y <= 3; ++y)
        for (int x = 1; x <= 3; ++x)
            EXPECT_EQ(W32(At(dst, 4 - y, x)), W32(At(src, x, y))) << x << "," << y;
    EXPECT_EQ(W32(At(dst, 0, 0)), 0x00EE0000u);  // fill: the stored key, mask 0
    src.SetMasked(true);
    src.RenderTransformed(&dst);
    EXPECT_EQ(W32(At(dst, 0, 0)), 0u);  // masked pictures fill with transparent black
}

TEST(DIBDraw, RenderTransformedScaleDoublesPixels) {
    TMemoryDIB src(8, 8), dst(16, 16);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) At(src, x, y) = P32(0xFF000000u | (y << 8) | x);
    src.SetScale(200);
    src.RenderTransformed(&dst);
    // Memory rows upwards: destination memory row j samples source memory row
    // (j - 8) / 2 from the centre (truncated toward zero), likewise columns.
    for (int j = 0; j < 16; ++j)
        for (int i = 0; i < 16; ++i) {
            const int yy = (j - 8) * 128 / 256, xx = (i - 8) * 128 / 256;
            const std::uint32_t want = (yy > -4 && yy < 4 && xx > -4 && xx < 4)
                                           ? W32(src.Bits()[(4 + yy) * 8 + 4 + xx])
                                           : 0u;
            EXPECT_EQ(W32(dst.Bits()[j * 16 + i]), want) << i << "," << j;
        }
    int changes = 0;
    dst.SetOnChange([&](TObject*) { ++changes; });
    src.SetScale(0);  // nothing to render
    src.RenderTransformed(&dst);
    EXPECT_EQ(changes, 0);
}

TEST(DIBDraw, TransformedDrawUsesBoxAndSelfSettings) {
    TMemoryDIB src(9, 3), dst(20, 10);
    for (std::size_t i = 0; i < src.PixelCount(); ++i) src.Bits()[i] = P32(0xFF3366CCu);
    dst.Fill(TColor(0x0000FF));
    src.SetAutoSize(true);
    src.SetScale(150);
    src.SetTransparent(true);
    src.SetTransparentMode(tmFixed);
    src.SetTransparentColor(TColor(0x00FF00));  // green key: the box's margin stays untouched
    src.Draw(2, 1, 9, 3, &dst, 0, 0);
    // The box is 14 x 6 at (2, 1); the picture fills 13.5 x 4.5 of it around
    // the centre, the rest is key colour and leaves the red destination.
    int painted = 0, minX = 99, maxX = -1, minY = 99, maxY = -1;
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 20; ++x)
            if (W32(At(dst, x, y)) == 0x003366CCu) {
                ++painted;
                minX = std::min(minX, x), maxX = std::max(maxX, x);
                minY = std::min(minY, y), maxY = std::max(maxY, y);
            } else {
                EXPECT_EQ(W32(At(dst, x, y)), 0x00FF0000u) << x << "," << y;
            }
    EXPECT_GT(painted, 0);
    EXPECT_GE(minX, 2);
    EXPECT_LE(maxX, 15);
    EXPECT_GE(minY, 1);
    EXPECT_LE(maxY, 6);
}

// A picture scaled to nothing renders nothing into its box; the box is still
// drawn, with the pixels of a new bitmap (transparent black), and a zero side
// of an automatic box counts as one pixel.
TEST(DIBDraw, TransformedDrawOfAZeroScaleDrawsABlankBox) {
    auto drawn = [](bool autoSize, long double sx, long double sy) {
        TMemoryDIB src(4, 4), dst(8, 8);
        for (std::size_t i = 0; i < src.PixelCount(); ++i) src.Bits()[i] = P32(0xFF00FF00u);
        dst.Fill(TColor(0x0000FF));
        src.SetAutoSize(autoSize);
        src.SetScaleX(sx);
        src.SetScaleY(sy);
        tarnwick::test::DirtyHeap(4 * 4 * sizeof(TDIBPixel));
        src.Draw(1, 2, 4, 4, &dst, 0, 0);
        return std::vector<TDIBPixel>(dst.Bits(), dst.Bits() + dst.PixelCount());
    };
    auto blank = [](int boxW, int boxH) {
        TMemoryDIB expected(8, 8);
        expected.Fill(TColor(0x0000FF));
        for (int y = 2; y < 2 + boxH; ++y)
            for (int x = 1; x < 1 + boxW; ++x) At(expected, x, y) = P32(0);
        return std::vector<TDIBPixel>(expected.Bits(), expected.Bits() + expected.PixelCount());
    };
    auto words = [](const std::vector<TDIBPixel>& v) {
        std::vector<std::uint32_t> w;
        for (const TDIBPixel& p : v) w.push_back(W32(p));
        return w;
    };
    for (int run = 0; run < 3; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        EXPECT_EQ(words(drawn(false, 0, 100)), words(blank(4, 4)));
        EXPECT_EQ(words(drawn(false, 100, 0)), words(blank(4, 4)));
        EXPECT_EQ(words(drawn(true, 100, 0)), words(blank(4, 1)));  // a 4 x 0 box
        EXPECT_EQ(words(drawn(true, 0, 0)), words(blank(1, 1)));
    }
}

TEST(DIBDraw, DrawRawIgnoresSettingsAndRestoresThem) {
    TMemoryDIB src(2, 1), dst(2, 1);
    src.Bits()[0] = P32(0x10203040);
    src.Bits()[1] = P32(0x50607080);
    src.SetMasked(true);
    src.SetOpacity(3);
    src.SetAngle(45);
    src.SetScaleY(50);
    int changes = 0;
    src.SetOnChange([&](TObject*) { ++changes; });
    src.DrawRaw(0, 0, 2, 1, &dst, 0, 0);
    EXPECT_EQ(W32(dst.Bits()[1]), 0x50607080u);
    EXPECT_EQ(src.Angle(), 45);
    EXPECT_EQ(src.ScaleY(), 50.0L);
    EXPECT_EQ(src.DrawProc(), (TDIBDrawProc{&src, &TAbstractSuperDIB::RowMaskedOpacity}));
    EXPECT_EQ(changes, 0);
}

namespace {
// A strip of n frames of fw x h; frame k is filled with 10 * (k + 1) in blue.
std::unique_ptr<TMemoryDIB> Strip(int n, int fw, int h) {
    auto s = std::make_unique<TMemoryDIB>(n * fw, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < n * fw; ++x)
            At(*s, x, y) = P32(0xFF000000u | std::uint32_t(10 * (x / fw + 1)));
    return s;
}
}  // namespace

TEST(DIBDraw, DrawGlyphDrawsOneFrame) {
    auto strip = Strip(4, 3, 2);
    TMemoryDIB dst(10, 5);
    dst.Fill(clBlack);
    DrawGlyph(strip.get(), 1, 2, 2, 4, &dst);
    EXPECT_EQ(W32(At(dst, 1, 2)), 0xFF00001Eu);
    EXPECT_EQ(W32(At(dst, 3, 3)), 0xFF00001Eu);
    EXPECT_EQ(W32(At(dst, 4, 2)), 0u);
    EXPECT_EQ(W32(At(dst, 1, 4)), 0u);
    strip->SetOpacity(128);  // the frame is drawn with the picture's settings
    DrawGlyph(strip.get(), 1, 2, 0, 4, &dst);
    EXPECT_EQ(At(dst, 1, 2).Blue, RefBlend(10, 30, 128));
    DrawGlyph(strip.get(), 1, 2, 0, 0, &dst);  // no frames: nothing, no fault
}

TEST(DIBDraw, DrawGlyphTweenBlendsNeighbouringFrames) {
    auto strip = Strip(4, 2, 2);
    TMemoryDIB dst(2, 2);
    auto blueAfter = [&](int pos, bool wrap) {
        dst.Fill(clBlack);
        DrawGlyphTween(strip.get(), 0, 0, 4, &dst, 0, 8, pos, wrap);
        return int(At(dst, 0, 0).Blue);
    };
    EXPECT_EQ(blueAfter(2, false), 20);  // f = 1 exactly: frame 1 alone
    EXPECT_EQ(blueAfter(0, false), 10);
    // f = 1.5: frame 1 (20) over frame 2 (30) with weight 255 - Round(127.5) = 127.
    EXPECT_EQ(blueAfter(3, false), RefBlend(20, 30, 127));
    // f = 3.5: hi = 4 -> last frame without wrap, frame 0 with wrap.
    EXPECT_EQ(blueAfter(7, false), RefBlend(40, 40, 127));
    EXPECT_EQ(blueAfter(7, true), RefBlend(40, 10, 127));
    EXPECT_EQ(blueAfter(8, false), 40);
    EXPECT_EQ(blueAfter(8, true), 10);
    // Degenerate ranges and positions below Min stay defined.
    dst.Fill(clBlack);
    DrawGlyphTween(strip.get(), 0, 0, 4, &dst, 5, 5, 5, false);
    EXPECT_EQ(At(dst, 0, 0).Blue, 10);
    dst.Fill(clBlack);
    DrawGlyphTween(strip.get(), 0, 0, 4, &dst, 0, 8, -1, false);
    EXPECT_EQ(At(dst, 0, 0).Blue, 10);
}

// Far beyond Max both frames fold onto the same one, and the weight still
// comes from the fraction of the position: black blended over black with any
// weight below 255 turns into 1.
TEST(DIBDraw, DrawGlyphTweenFarBeyondMaxKeepsTheFraction) {
    auto strip = Strip(4, 2, 2);
    for (int x = 0; x < 8; ++x) At(*strip, x, 0) = P32(0xFF000000u);  // black, opaque
    TMemoryDIB dst(2, 2);
    auto after = [&](int pos) {
        dst.Fill(TColor(0xFFFFFF));
        DrawGlyphTween(strip.get(), 0, 0, 4, &dst, 0, 8, pos, false);
        return W32(At(dst, 0, 0));
    };
    EXPECT_EQ(after(101), 0xFF010101u);         // f = 50.5: weight 127
    EXPECT_EQ(after(100), 0xFF000000u);         // f = 50: weight 255, a plain copy
    EXPECT_EQ(after(2147483647), 0xFF010101u);  // f = 1073741823.5
}

TEST(DIBDraw, StretchFromNearestNeighbour) {
    TMemoryDIB src(4, 2), dst(8, 4);
    for (int i = 0; i < 8; ++i) src.Bits()[i] = P32(std::uint32_t(i));
    dst.StretchFrom(&src);
    // Doubling: each source pixel twice, each row twice, in memory order.
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 8; ++i)
            EXPECT_EQ(W32(dst.Bits()[j * 8 + i]), std::uint32_t((j / 2) * 4 + i / 2));
    TMemoryDIB small(2, 1);
    small.StretchFrom(&src);
    EXPECT_EQ(W32(small.Bits()[0]), 0u);
    EXPECT_EQ(W32(small.Bits()[1]), 2u);
}

// The accumulators never reach past the source for any pair of sizes, and the
// rows and columns they pick follow the 16.16 arithmetic.
TEST(DIBDraw, StretchFromStaysInsideTheSourceForAllSizes) {
    for (int sh = 1; sh <= 24; ++sh)
        for (int dh = 1; dh <= 24; ++dh) {
            TMemoryDIB src(sh, sh), dst(dh, dh);
            for (int i = 0; i < sh * sh; ++i) src.Bits()[i] = P32(std::uint32_t(i));
            dst.StretchFrom(&src);
            for (int i = 0; i < dh * dh; ++i) ASSERT_LT(W32(dst.Bits()[i]), std::uint32_t(sh * sh));
            // First and last destination pixels come from the first source pixel and the last row.
            EXPECT_EQ(W32(dst.Bits()[0]), 0u);
        }
}

TEST(DIBDraw, FilterConvolvesInteriorAndBlackensBorder) {
    TMemoryDIB d(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            At(d, x, y) = {std::uint8_t(10 * x + y), 50, 200, std::uint8_t(x + 1)};
    TDIBFilter f;
    for (auto& w : f.Weights) w = 1;  // box blur, divisor = 9
    f.RedBias = 9;
    d.Filter(f);
    // Interior (1,1): blue sum over x 0..2, y 0..2 of 10x + y = 90 + 9 = 99 -> 11.
    EXPECT_EQ(At(d, 1, 1).Blue, 11);
    EXPECT_EQ(At(d, 2, 1).Blue, (3 * (10 + 20 + 30) + 9) / 9);
    EXPECT_EQ(At(d, 1, 1).Green, 50);
    EXPECT_EQ(At(d, 1, 1).Red, (9 * 200 + 9) / 9);
    EXPECT_EQ(At(d, 1, 1).Mask, 2);
    EXPECT_EQ(W32(At(d, 0, 0)), 0u);  // border: black, mask 0
    EXPECT_EQ(W32(At(d, 3, 2)), 0u);

    // Edge detection with a negative result clamps to 0; a sharpening kernel
    // clamps at 255.
    TMemoryDIB e(3, 3);
    for (std::size_t i = 0; i < 9; ++i) e.Bits()[i] = {100, 100, 100, 255};
    At(e, 1, 1) = {250, 0, 100, 255};
    TDIBFilter sharpen;
    const std::int16_t k[9] = {0, -1, 0, -1, 5, -1, 0, -1, 0};
    std::copy(k, k + 9, sharpen.Weights);
    e.Filter(sharpen);  // divisor: sum of weights = 1
    EXPECT_EQ(At(e, 1, 1).Blue, 255);
    EXPECT_EQ(At(e, 1, 1).Green, 0);
    EXPECT_EQ(At(e, 1, 1).Red, 100);
}

TEST(DIBDraw, FilterOverflowAndSmallBitmaps) {
    // Sums wrap in 16 bits: 8 * 255 * 16 = 32640 fits, 9 * 255 * 15 = 34425 wraps to -31111.
    TMemoryDIB d(3, 3);
    for (std::size_t i = 0; i < 9; ++i) d.Bits()[i] = {255, 255, 255, 255};
    TDIBFilter f;
    for (auto& w : f.Weights) w = 15;
    f.Divisor = 1;
    d.Filter(f);
    EXPECT_EQ(At(d, 1, 1).Blue, 0);  // wrapped negative, clamped
    // -32768 / -1 does not trap: exact quotient 32768, clamped to 255.
    for (std::size_t i = 0; i < 9; ++i) d.Bits()[i] = {128, 0, 0, 255};
    TDIBFilter g;
    g.Weights[4] = -256;  // -256 * 128 = -32768
    g.Divisor = 0;        // sum of weights: -256
    d.Filter(g);
    EXPECT_EQ(At(d, 1, 1).Blue, 128);
    TDIBFilter h;
    h.Weights[4] = -256;
    h.Divisor = 0;
    h.Weights[0] = 255;  // sum -1
    for (std::size_t i = 0; i < 9; ++i) d.Bits()[i] = {128, 0, 0, 255};
    At(d, 0, 0).Blue = 0;
    d.Filter(h);
    EXPECT_EQ(At(d, 1, 1).Blue, 255);
    // A divisor beyond 16 bits does not turn into a division by zero.
    TDIBFilter big;
    big.Weights[4] = 100;
    big.Divisor = 65536;
    d.Filter(big);
    EXPECT_EQ(At(d, 1, 1).Blue, 0);

    // Under three pixels there is no interior: all is border.
    TMemoryDIB thin(2, 5);
    for (std::size_t i = 0; i < thin.PixelCount(); ++i) thin.Bits()[i] = {9, 9, 9, 9};
    thin.Filter(f);
    for (std::size_t i = 0; i < thin.PixelCount(); ++i) EXPECT_EQ(W32(thin.Bits()[i]), 0u);
}

TEST(DIBDraw, PngSnapshotsOfGlyphAndRotation) {
    // A picture a person can look at: a 63-frame strip, one frame drawn plain
    // and rotated 30 degrees with AutoSize.
    const int fw = 40;
    TMemoryDIB strip(63 * fw, fw);
    for (int y = 0; y < fw; ++y)
        for (int x = 0; x < 63 * fw; ++x) {
            const int k = x / fw, lx = x % fw;
            const bool bar = std::abs(lx - fw / 2) < 3 && y < fw / 2;
            At(strip, x, y) =
                bar ? TDIBPixel{255, 255, 255, 255}
                    : TDIBPixel{std::uint8_t(k * 4), 80, std::uint8_t(255 - k * 4), 255};
        }
    TMemoryDIB canvas(200, 100);
    canvas.Fill(TColor(0x202020));
    DrawGlyph(&strip, 10, 10, 31, 63, &canvas);
    strip.SetAutoSize(true);
    strip.SetAngle(30);
    DrawGlyph(&strip, 80, 10, 31, 63, &canvas);
    EXPECT_EQ(W32(At(canvas, 10 + fw / 2, 12)), 0xFFFFFFFFu);
    SavePng(canvas, "dib_glyph_rotation.png");
}

namespace {
std::vector<RECT> RegionRects(HRGN r) {
    const DWORD n = GetRegionData(r, 0, nullptr);
    std::vector<std::uint8_t> buf(n);
    EXPECT_EQ(GetRegionData(r, n, reinterpret_cast<RGNDATA*>(buf.data())), n);
    const auto* h = reinterpret_cast<const RGNDATAHEADER*>(buf.data());
    const auto* rr = reinterpret_cast<const RECT*>(buf.data() + sizeof(RGNDATAHEADER));
    return {rr, rr + h->nCount};
}
}  // namespace

TEST(DIBDraw, MaskRegionRuns) {
    TMemoryDIB d(5, 2);
    for (std::size_t i = 0; i < d.PixelCount(); ++i) d.Bits()[i] = {0, 0, 0, 0};
    EXPECT_EQ(d.CreateMaskRegion(0), nullptr);  // every mask 0: no region
    At(d, 1, 0).Mask = 200;
    At(d, 2, 0).Mask = 10;
    At(d, 4, 0).Mask = 11;
    At(d, 0, 1).Mask = 255;
    HRGN r = d.CreateMaskRegion(10);
    ASSERT_NE(r, nullptr);
    std::vector<RECT> rects = RegionRects(r);
    DeleteObject(r);
    ASSERT_EQ(rects.size(), 3u);
    EXPECT_EQ(rects[0].left, 1);
    EXPECT_EQ(rects[0].right, 2);
    EXPECT_EQ(rects[0].top, 0);
    EXPECT_EQ(rects[0].bottom, 1);
    EXPECT_EQ(rects[1].left, 4);
    EXPECT_EQ(rects[1].right, 5);
    EXPECT_EQ(rects[2].left, 0);
    EXPECT_EQ(rects[2].top, 1);
    EXPECT_EQ(rects[2].bottom, 2);
}

// More runs than one batch of 400 rectangles: the batches are merged, and the
// region holds exactly the inside pixels.
TEST(DIBDraw, RegionsAcrossBatches) {
    TMemoryDIB d(41, 25);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 41; ++x) At(d, x, y) = P32((x + y) % 2 ? 0x80FFFFFFu : 0x01000000u);
    HRGN r = d.CreateMaskRegion(1);  // 20 or 21 runs per row, 512 in all
    ASSERT_NE(r, nullptr);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 41; ++x)
            ASSERT_EQ(PtInRegion(r, x, y) != 0, (x + y) % 2 == 1) << x << "," << y;
    EXPECT_FALSE(PtInRegion(r, 41, 0));
    DeleteObject(r);

    // Colour region: everything but the key colour; a run open at the row's
    // end closes at Width.
    HRGN c = d.CreateColorRegion(TColor(0x000000));
    ASSERT_NE(c, nullptr);
    for (int y = 0; y < 25; ++y)
        for (int x = 0; x < 41; ++x) ASSERT_EQ(PtInRegion(c, x, y) != 0, (x + y) % 2 == 1);
    DeleteObject(c);
    for (std::size_t i = 0; i < d.PixelCount(); ++i) d.Bits()[i] = P32(0xFF000000u);
    EXPECT_EQ(d.CreateColorRegion(clBlack), nullptr);
    At(d, 40, 3) = P32(0x00000001u);
    HRGN one = d.CreateColorRegion(clBlack);
    const std::vector<RECT> rects = RegionRects(one);
    DeleteObject(one);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].left, 40);
    EXPECT_EQ(rects[0].top, 3);
    EXPECT_EQ(rects[0].right, 41);
    EXPECT_EQ(rects[0].bottom, 4);
}
