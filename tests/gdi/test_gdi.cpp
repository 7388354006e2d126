#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "gdi/Gdi.h"

namespace {

// A memory context with a fresh 32-bit bottom-up section selected.
struct Section {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ old = nullptr;
    std::uint32_t* bits = nullptr;
    int w = 0, h = 0;

    Section(int width, int height, int bpp = 32, const std::vector<RGBQUAD>& colors = {})
        : w(width), h(height) {
        dc = CreateCompatibleDC(nullptr);
        std::vector<std::uint8_t> mem(sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD));
        auto* info = reinterpret_cast<BITMAPINFO*>(mem.data());
        info->bmiHeader = {40,     width, height, 1, static_cast<WORD>(bpp),
                           BI_RGB, 0,     0,      0, static_cast<DWORD>(colors.size()),
                           0};
        if (!colors.empty())
            std::memcpy(info->bmiColors, colors.data(), colors.size() * sizeof(RGBQUAD));
        void* p = nullptr;
        bmp = CreateDIBSection(dc, info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<std::uint32_t*>(p);
        old = SelectObject(dc, bmp);
    }
    ~Section() {
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    // Pixel (x, y) with y = 0 the top row, through the bottom-up layout.
    std::uint32_t& At(int x, int y) { return bits[(h - 1 - y) * w + x]; }
    void FillPattern() {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                At(x, y) = 0xA0000000u | static_cast<std::uint32_t>(y * 16 + x);
    }
};

std::uint32_t Pat(int x, int y) { return 0xA0000000u | static_cast<std::uint32_t>(y * 16 + x); }

class GdiTest : public ::testing::Test {
protected:
    void SetUp() override { objects_ = gdi::LiveObjectCount(); }
    void TearDown() override {
        gdi::SetDisplayMode(32);
        EXPECT_EQ(gdi::LiveObjectCount(), objects_) << "a test leaked GDI objects";
    }
    std::size_t objects_ = 0;
};

}  // namespace

TEST_F(GdiTest, SectionsStartZeroedBottomUp) {
    Section s(3, 2);
    ASSERT_NE(s.bmp, nullptr);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s.bits[i], 0u);
    // SetPixel at the top-left lands in the last row of memory, mask byte 0.
    EXPECT_EQ(SetPixel(s.dc, 0, 0, RGB(1, 2, 3)), RGB(1, 2, 3));
    EXPECT_EQ(s.bits[3], 0x00010203u);
    EXPECT_EQ(GetPixel(s.dc, 0, 0), RGB(1, 2, 3));
    EXPECT_EQ(GetPixel(s.dc, 3, 0), CLR_INVALID);
    BITMAP bm{};
    ASSERT_EQ(GetObjectA(s.bmp, sizeof bm, &bm), static_cast<int>(sizeof(BITMAP)));
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    EXPECT_EQ(bm.bmWidthBytes, 12);
    EXPECT_EQ(bm.bmBitsPixel, 32);
    EXPECT_EQ(bm.bmBits, s.bits);
    EXPECT_EQ(GetObjectType(s.bmp), OBJ_BITMAP);
    EXPECT_EQ(GetObjectType(s.dc), OBJ_MEMDC);
}

TEST_F(GdiTest, SectionFailures) {
    BITMAPINFO info{};
    info.bmiHeader = {40, 65535, 65535, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = reinterpret_cast<void*>(1);
    SetLastError(0);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
    EXPECT_EQ(bits, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
    EXPECT_EQ(
        "Windows error (" + std::to_string(GetLastError()) + ") " + SystemErrorText(GetLastError()),
        "Windows error (8) Not enough storage is available to process this command.");

    for (auto change :
         {+[](BITMAPINFOHEADER& h) { h.biBitCount = 5; },
          +[](BITMAPINFOHEADER& h) { h.biWidth = 0; }, +[](BITMAPINFOHEADER& h) { h.biHeight = 0; },
          +[](BITMAPINFOHEADER& h) { h.biPlanes = 2; },
          +[](BITMAPINFOHEADER& h) { h.biCompression = 3; },
          +[](BITMAPINFOHEADER& h) { h.biSize = 12; }}) {
        info.bmiHeader = {40, 4, 4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        change(info.bmiHeader);
        SetLastError(0);
        EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
}

TEST_F(GdiTest, SelectingRestoresAndGuardsDeletion) {
    HDC a = CreateCompatibleDC(nullptr);
    HDC b = CreateCompatibleDC(nullptr);
    HGDIOBJ stock = GetCurrentObject(a, OBJ_BITMAP);
    BITMAP bm{};
    GetObjectA(stock, sizeof bm, &bm);
    EXPECT_EQ(bm.bmWidth, 1);  // every memory context starts with a 1 x 1 bitmap
    EXPECT_EQ(bm.bmHeight, 1);

    BITMAPINFO info{};
    info.bmiHeader = {40, 2, 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    HBITMAP bmp = CreateDIBSection(a, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
    EXPECT_EQ(SelectObject(a, bmp), stock);
    EXPECT_EQ(GetCurrentObject(a, OBJ_BITMAP), bmp);
    // One context at a time.
    SetLastError(0);
    EXPECT_EQ(SelectObject(b, bmp), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    // Selected objects cannot be deleted.
    EXPECT_FALSE(DeleteObject(bmp));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    EXPECT_EQ(SelectObject(a, stock), bmp);
    EXPECT_EQ(SelectObject(b, bmp), stock);
    // Deleting the context frees its selection.
    EXPECT_TRUE(DeleteDC(b));
    EXPECT_TRUE(DeleteObject(bmp));
    // A deleted handle is invalid everywhere.
    SetLastError(0);
    EXPECT_FALSE(DeleteObject(bmp));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(GetObjectType(bmp), 0u);
    EXPECT_EQ(SelectObject(a, bmp), nullptr);
    EXPECT_FALSE(DeleteDC(b));
    EXPECT_EQ(GetDeviceCaps(b, BITSPIXEL), 0);
    // Stock objects survive DeleteObject; contexts are not objects to delete.
    EXPECT_TRUE(DeleteObject(stock));
    EXPECT_EQ(GetObjectType(stock), OBJ_BITMAP);
    EXPECT_FALSE(DeleteObject(a));
    EXPECT_TRUE(DeleteDC(a));
    SetLastError(0);
    EXPECT_EQ(CreateCompatibleDC(a), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(GdiTest, BitBltCopiesAllFourBytesAndClips) {
    Section src(4, 3), dst(4, 3);
    src.FillPattern();
    for (int i = 0; i < 12; ++i) dst.bits[i] = 0x11111111u;
    ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 4, 3, src.dc, 0, 0, SRCCOPY));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(dst.At(x, y), Pat(x, y));

    // Negative destination and a source that ends early: only the overlap moves.
    for (int i = 0; i < 12; ++i) dst.bits[i] = 0x11111111u;
    ASSERT_TRUE(BitBlt(dst.dc, -1, 1, 10, 10, src.dc, 1, 0, SRCCOPY));
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            // Destination (x, y) takes source (x + 2, y - 1), which exists for x < 2, y >= 1.
            const std::uint32_t want = (y >= 1 && x < 2) ? Pat(x + 2, y - 1) : 0x11111111u;
            EXPECT_EQ(dst.At(x, y), want) << x << "," << y;
        }
    }

    // Overlapping copy within one store: shift everything one down and right.
    src.FillPattern();
    ASSERT_TRUE(BitBlt(src.dc, 1, 1, 3, 2, src.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(src.At(1, 1), Pat(0, 0));
    EXPECT_EQ(src.At(3, 2), Pat(2, 1));
    EXPECT_EQ(src.At(0, 0), Pat(0, 0));

    // Fills, and what is refused.
    ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 1, 1, nullptr, 0, 0, WHITENESS));
    EXPECT_EQ(dst.At(1, 1), 0xFFFFFFFFu);
    ASSERT_TRUE(BitBlt(dst.dc, 1, 1, 1, 1, nullptr, 0, 0, BLACKNESS));
    EXPECT_EQ(dst.At(1, 1), 0u);
    SetLastError(0);
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 1, 1, src.dc, 0, 0, 0x00EE0086 /* SRCPAINT */));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 1, 1, nullptr, 0, 0, SRCCOPY));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(GdiTest, StretchBltSamplesNearestNeighbour) {
    Section src(4, 2), dst(8, 4);
    src.FillPattern();
    EXPECT_EQ(GetStretchBltMode(dst.dc), BLACKONWHITE);
    // Doubling repeats every pixel twice in each direction.
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 8, 4, src.dc, 0, 0, 4, 2, SRCCOPY));
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(dst.At(x, y), Pat(x / 2, y / 2)) << x << "," << y;

    // Halving keeps columns 0 and 2 (floor(i * 4 / 2)), whatever the mode.
    Section half(2, 1);
    EXPECT_EQ(SetStretchBltMode(half.dc, COLORONCOLOR), BLACKONWHITE);
    ASSERT_TRUE(StretchBlt(half.dc, 0, 0, 2, 1, src.dc, 0, 0, 4, 2, SRCCOPY));
    EXPECT_EQ(half.At(0, 0), Pat(0, 0));
    EXPECT_EQ(half.At(1, 0), Pat(2, 0));

    // Three columns onto two: floor(0 * 3 / 2) = 0, floor(1 * 3 / 2) = 1.
    Section three(2, 1);
    ASSERT_TRUE(StretchBlt(three.dc, 0, 0, 2, 1, src.dc, 1, 1, 3, 1, SRCCOPY));
    EXPECT_EQ(three.At(0, 0), Pat(1, 1));
    EXPECT_EQ(three.At(1, 0), Pat(2, 1));

    // A negative destination width mirrors.
    Section mirror(4, 1);
    ASSERT_TRUE(StretchBlt(mirror.dc, 4, 0, -4, 1, src.dc, 0, 0, 4, 1, SRCCOPY));
    for (int x = 0; x < 4; ++x) EXPECT_EQ(mirror.At(x, 0), Pat(3 - x, 0));

    // A source rectangle half outside the source leaves those pixels alone.
    for (int i = 0; i < 32; ++i) dst.bits[i] = 0x55555555u;
    ASSERT_TRUE(StretchBlt(dst.dc, 0, 0, 8, 2, src.dc, 2, 0, 4, 1, SRCCOPY));
    EXPECT_EQ(dst.At(0, 0), Pat(2, 0));
    EXPECT_EQ(dst.At(3, 1), Pat(3, 0));
    EXPECT_EQ(dst.At(4, 0), 0x55555555u);
    EXPECT_EQ(SetStretchBltMode(dst.dc, 9), 0);
}

TEST_F(GdiTest, SetDIBitsToDeviceScanLines) {
    // A 2 x 3 8-bit bottom-up DIB: palette colours with their mask byte dropped.
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD c[3];
    } info{{40, 2, 3, 1, 8, BI_RGB, 0, 0, 0, 3, 0},
           {{10, 20, 30, 99}, {40, 50, 60, 99}, {70, 80, 90, 99}}};
    const std::uint8_t bits[12] = {0, 1, 0, 0,   // bottom row
                                   1, 2, 0, 0,   // middle row
                                   2, 0, 0, 0};  // top row
    Section dst(4, 4);
    auto* bi = reinterpret_cast<const BITMAPINFO*>(&info);
    EXPECT_EQ(SetDIBitsToDevice(dst.dc, 1, 1, 2, 3, 0, 0, 0, 3, bits, bi, DIB_RGB_COLORS), 3);
    EXPECT_EQ(dst.At(1, 1), 0x005A5046u);  // top row, index 2
    EXPECT_EQ(dst.At(2, 1), 0x001E140Au);
    EXPECT_EQ(dst.At(1, 3), 0x001E140Au);  // bottom row, index 0
    EXPECT_EQ(dst.At(2, 3), 0x003C3228u);
    EXPECT_EQ(dst.At(0, 0), 0u);

    // Only the bottom scan line supplied: it lands on the rectangle's last row.
    Section part(2, 3);
    EXPECT_EQ(SetDIBitsToDevice(part.dc, 0, 0, 2, 3, 0, 0, 0, 1, bits, bi, DIB_RGB_COLORS), 1);
    EXPECT_EQ(part.At(0, 2), 0x001E140Au);
    EXPECT_EQ(part.At(0, 0), 0u);
    EXPECT_EQ(part.At(0, 1), 0u);
    EXPECT_EQ(SetDIBitsToDevice(part.dc, 0, 0, 2, 3, 0, 0, 0, 3, nullptr, bi, DIB_RGB_COLORS), 0);
}

TEST_F(GdiTest, RegionsFromRectangleBuffers) {
    // The layout the bitmap code fills: a 32-byte header, then rectangles.
    std::vector<std::uint8_t> buf(sizeof(RGNDATAHEADER) + 3 * sizeof(RECT));
    auto* hdr = reinterpret_cast<RGNDATAHEADER*>(buf.data());
    auto* rc = reinterpret_cast<RECT*>(buf.data() + sizeof(RGNDATAHEADER));
    *hdr = {32, RDH_RECTANGLES, 3, 0, {0, 0, 10, 10}};
    rc[0] = {0, 0, 2, 1};  // two touching runs of row 0 ...
    rc[1] = {2, 0, 5, 1};
    rc[2] = {0, 1, 5, 2};  // ... and the same run on row 1: one rectangle
    HRGN r = ExtCreateRegion(nullptr, static_cast<DWORD>(buf.size()),
                             reinterpret_cast<RGNDATA*>(buf.data()));
    ASSERT_NE(r, nullptr);
    HRGN box = CreateRectRgn(0, 0, 5, 2);
    EXPECT_TRUE(EqualRgn(r, box));
    RECT b{};
    EXPECT_EQ(GetRgnBox(r, &b), SIMPLEREGION);
    EXPECT_EQ(b.right, 5);
    EXPECT_EQ(b.bottom, 2);

    // OR with a rectangle to the lower right; right and bottom are exclusive.
    HRGN other = CreateRectRgn(4, 1, 8, 4);
    EXPECT_EQ(CombineRgn(r, r, other, RGN_OR), COMPLEXREGION);
    EXPECT_TRUE(PtInRegion(r, 0, 0));
    EXPECT_TRUE(PtInRegion(r, 7, 3));
    EXPECT_TRUE(PtInRegion(r, 4, 1));
    EXPECT_FALSE(PtInRegion(r, 5, 0));
    EXPECT_FALSE(PtInRegion(r, 8, 3));
    EXPECT_FALSE(PtInRegion(r, 3, 2));
    EXPECT_FALSE(PtInRegion(r, -1, 0));
    EXPECT_EQ(GetRgnBox(r, &b), COMPLEXREGION);
    EXPECT_EQ(b.left, 0);
    EXPECT_EQ(b.top, 0);
    EXPECT_EQ(b.right, 8);
    EXPECT_EQ(b.bottom, 4);

    // Read back as rows of rectangles: (0,0)-(5,1), (0,1)-(8,2), (4,2)-(8,4).
    const DWORD need = GetRegionData(r, 0, nullptr);
    ASSERT_EQ(need, 32u + 3 * 16u);
    std::vector<std::uint8_t> out(need);
    ASSERT_EQ(GetRegionData(r, need, reinterpret_cast<RGNDATA*>(out.data())), need);
    const auto* outRc = reinterpret_cast<const RECT*>(out.data() + 32);
    EXPECT_EQ(reinterpret_cast<RGNDATAHEADER*>(out.data())->nCount, 3u);
    EXPECT_EQ(outRc[1].left, 0);
    EXPECT_EQ(outRc[1].right, 8);
    EXPECT_EQ(outRc[2].top, 2);
    EXPECT_EQ(outRc[2].left, 4);

    // The same region rebuilt from those rectangles is equal; other modes work too.
    HRGN again = ExtCreateRegion(nullptr, need, reinterpret_cast<RGNDATA*>(out.data()));
    EXPECT_TRUE(EqualRgn(r, again));
    EXPECT_EQ(CombineRgn(again, r, other, RGN_DIFF), COMPLEXREGION);
    EXPECT_FALSE(PtInRegion(again, 4, 1));
    EXPECT_TRUE(PtInRegion(again, 3, 1));
    EXPECT_EQ(CombineRgn(again, r, box, RGN_AND), SIMPLEREGION);
    EXPECT_TRUE(EqualRgn(again, box));
    EXPECT_EQ(OffsetRgn(again, 10, 10), SIMPLEREGION);
    EXPECT_TRUE(PtInRegion(again, 10, 10));
    EXPECT_EQ(CombineRgn(again, box, box, RGN_XOR), NULLREGION);

    // An empty rectangle list makes an empty region.
    *hdr = {32, RDH_RECTANGLES, 0, 0, {0, 0, 0, 0}};
    HRGN empty = ExtCreateRegion(nullptr, 32, reinterpret_cast<RGNDATA*>(buf.data()));
    EXPECT_EQ(GetRgnBox(empty, &b), NULLREGION);
    for (HRGN h : {r, box, other, again, empty}) EXPECT_TRUE(DeleteObject(h));
}

TEST_F(GdiTest, RegionFailuresAreNeutral) {
    std::vector<std::uint8_t> buf(32 + 16);
    auto* hdr = reinterpret_cast<RGNDATAHEADER*>(buf.data());
    auto* data = reinterpret_cast<RGNDATA*>(buf.data());
    *hdr = {32, RDH_RECTANGLES, 2, 0, {0, 0, 1, 1}};  // claims two, holds one
    SetLastError(0);
    EXPECT_EQ(ExtCreateRegion(nullptr, 48, data), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    *hdr = {40, RDH_RECTANGLES, 1, 0, {0, 0, 1, 1}};
    EXPECT_EQ(ExtCreateRegion(nullptr, 48, data), nullptr);
    *hdr = {32, 2, 1, 0, {0, 0, 1, 1}};
    EXPECT_EQ(ExtCreateRegion(nullptr, 48, data), nullptr);
    EXPECT_EQ(ExtCreateRegion(nullptr, 16, data), nullptr);

    HRGN r = CreateRectRgn(0, 0, 2, 2);
    ASSERT_TRUE(DeleteObject(r));
    SetLastError(0);
    EXPECT_FALSE(PtInRegion(r, 1, 1));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    RECT b{};
    EXPECT_EQ(GetRgnBox(r, &b), ERROR);
    HRGN live = CreateRectRgn(0, 0, 1, 1);
    EXPECT_EQ(CombineRgn(live, live, r, RGN_OR), ERROR);
    EXPECT_TRUE(PtInRegion(live, 0, 0));  // unchanged by the failed call
    // Coordinates stay within 27 bits: an offset beyond them is refused.
    EXPECT_EQ(OffsetRgn(live, 2147483647, 0), ERROR);
    EXPECT_TRUE(PtInRegion(live, 0, 0));
    HRGN huge = CreateRectRgn(-2147483647 - 1, 0, 2147483647, 1);
    EXPECT_EQ(GetRgnBox(huge, &b), SIMPLEREGION);
    EXPECT_EQ(b.left, -(1 << 27));
    EXPECT_EQ(b.right, 1 << 27);
    EXPECT_TRUE(DeleteObject(huge));
    EXPECT_FALSE(EqualRgn(live, r));
    EXPECT_EQ(GetRegionData(r, 0, nullptr), 0u);
    EXPECT_TRUE(DeleteObject(live));
}

TEST_F(GdiTest, DeviceCapsFollowTheDisplay) {
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE, 0);
    EXPECT_NE(GetDeviceCaps(screen, RASTERCAPS) & RC_STRETCHBLT, 0);
    EXPECT_EQ(GetDeviceCaps(screen, SIZEPALETTE), 0);
    EXPECT_EQ(GetDeviceCaps(screen, HORZRES), 1024);
    EXPECT_EQ(GetObjectType(screen), OBJ_DC);

    ASSERT_TRUE(gdi::SetDisplayMode(8, 640, 480));
    EXPECT_FALSE(gdi::SetDisplayMode(16));
    EXPECT_EQ(gdi::DisplayBitsPerPixel(), 8);
    // Contexts keep the depth they were made with.
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), 32);
    HDC screen8 = GetDC(nullptr);
    HDC mem8 = CreateCompatibleDC(screen8);
    HDC mem32 = CreateCompatibleDC(screen);
    for (HDC dc : {screen8, mem8}) {
        EXPECT_EQ(GetDeviceCaps(dc, BITSPIXEL), 8);
        EXPECT_NE(GetDeviceCaps(dc, RASTERCAPS) & RC_PALETTE, 0);
        EXPECT_EQ(GetDeviceCaps(dc, SIZEPALETTE), 256);
        EXPECT_EQ(GetDeviceCaps(dc, NUMRESERVED), 20);
    }
    EXPECT_EQ(GetDeviceCaps(mem32, BITSPIXEL), 32);
    EXPECT_EQ(GetDeviceCaps(screen8, VERTRES), 480);
    EXPECT_EQ(ReleaseDC(nullptr, mem8), 0);  // memory contexts are deleted, not released
    EXPECT_TRUE(DeleteDC(mem8));
    EXPECT_TRUE(DeleteDC(mem32));
    EXPECT_EQ(ReleaseDC(nullptr, screen8), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 1);
    EXPECT_EQ(ReleaseDC(nullptr, screen), 0);
    SetLastError(0);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x1234)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_WINDOW_HANDLE);
}

TEST_F(GdiTest, PaletteRealisationOnAnEightBitDisplay) {
    ASSERT_TRUE(gdi::SetDisplayMode(8));
    // A grey ramp of 235 entries from 255 down to 21.
    std::vector<std::uint8_t> mem(sizeof(LOGPALETTE) + 235 * sizeof(PALETTEENTRY));
    auto* lp = reinterpret_cast<LOGPALETTE*>(mem.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 235;
    for (int i = 0; i < 235; ++i) {
        const auto v = static_cast<BYTE>(255 - i);
        lp->palPalEntry[i] = {v, v, v, 0};
    }
    HPALETTE pal = CreatePalette(lp);
    ASSERT_NE(pal, nullptr);
    PALETTEENTRY e{};
    EXPECT_EQ(GetPaletteEntries(pal, 234, 1, &e), 1u);
    EXPECT_EQ(e.peRed, 21);
    EXPECT_EQ(GetPaletteEntries(pal, 0, 0, nullptr), 235u);
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(0, 0, 0)), 234u);
    EXPECT_EQ(GetNearestPaletteIndex(pal, RGB(250, 255, 255)), 2u);

    HDC dc = GetDC(nullptr);
    // Before realisation colours map onto the 20 static entries.
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(100, 100, 100)), RGB(128, 128, 128));
    HPALETTE old = SelectPalette(dc, pal, FALSE);
    EXPECT_EQ(old, GetStockObject(DEFAULT_PALETTE));
    // White, silver (192) and grey (128) are static already: 232 entries change.
    EXPECT_EQ(RealizePalette(dc), 232u);
    EXPECT_EQ(RealizePalette(dc), 0u);
    PALETTEENTRY sys{};
    ASSERT_EQ(GetSystemPaletteEntries(dc, 10, 1, &sys), 1u);
    EXPECT_EQ(sys.peRed, 254);  // the first entry not static already
    EXPECT_EQ(SetPixel(dc, 0, 0, RGB(100, 100, 100)), RGB(100, 100, 100));
    // A deleted or selected palette.
    EXPECT_FALSE(DeleteObject(pal));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);

    // A background palette takes the four free entries that remain.
    lp->palNumEntries = 6;
    for (int i = 0; i < 6; ++i) lp->palPalEntry[i] = {static_cast<BYTE>(10 + i), 0, 0, 0};
    HPALETTE reds = CreatePalette(lp);
    HDC other = GetDC(nullptr);
    SelectPalette(other, reds, TRUE);
    EXPECT_EQ(RealizePalette(other), 4u);
    EXPECT_EQ(RealizePalette(other), 0u);

    // Nothing to realise on a true-colour context.
    gdi::SetDisplayMode(32);
    HDC deep = GetDC(nullptr);
    SelectPalette(deep, reds, FALSE);
    EXPECT_EQ(RealizePalette(deep), 0u);
    EXPECT_EQ(GetSystemPaletteEntries(deep, 0, 1, &sys), 0u);
    EXPECT_EQ(SelectPalette(deep, old, FALSE), reds);
    EXPECT_EQ(SelectPalette(other, old, FALSE), reds);
    EXPECT_EQ(SelectPalette(dc, old, FALSE), pal);
    for (HDC h : {dc, other, deep}) ReleaseDC(nullptr, h);
    EXPECT_TRUE(DeleteObject(pal));
    EXPECT_TRUE(DeleteObject(reds));
    lp->palVersion = 0x200;
    EXPECT_EQ(CreatePalette(lp), nullptr);
}

TEST_F(GdiTest, EightBitPathKeepsIndices) {
    // The way an 8-bit picture reaches an 8-bit context: a memory context made
    // compatible with the display, an 8-bit section with the palette's colours,
    // and the picture's rows with the same colour table.
    ASSERT_TRUE(gdi::SetDisplayMode(8));
    std::vector<RGBQUAD> grey(235);
    for (int i = 0; i < 235; ++i) {
        const auto v = static_cast<BYTE>(255 - i);
        grey[static_cast<std::size_t>(i)] = {v, v, v, 0};
    }
    HDC screen = GetDC(nullptr);
    Section target(4, 2, 8, grey);
    EXPECT_EQ(GetDeviceCaps(target.dc, BITSPIXEL), 8);
    RGBQUAD q{};
    EXPECT_EQ(GetDIBColorTable(target.dc, 234, 1, &q), 1u);
    EXPECT_EQ(q.rgbRed, 21);
    EXPECT_EQ(GetDIBColorTable(target.dc, 235, 1, &q), 0u);  // the table has 235 entries

    std::vector<std::uint8_t> info(40 + 235 * 4);
    BITMAPINFOHEADER h{40, 4, 2, 1, 8, BI_RGB, 0, 0, 0, 235, 0};
    std::memcpy(info.data(), &h, 40);
    std::memcpy(info.data() + 40, grey.data(), 235 * 4);
    const std::uint8_t rows[8] = {0, 17, 100, 234, 5, 6, 7, 8};  // bottom row first
    EXPECT_EQ(SetDIBitsToDevice(target.dc, 0, 0, 4, 2, 0, 0, 0, 2, rows,
                                reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS),
              2);
    const auto* px = reinterpret_cast<const std::uint8_t*>(target.bits);
    // The section's rows are padded to 4 bytes; here they are exactly 4.
    for (int i = 0; i < 8; ++i) EXPECT_EQ(px[i], rows[i]) << i;
    EXPECT_EQ(GetPixel(target.dc, 3, 1), RGB(21, 21, 21));

    // Copying 32-bit pixels in picks the nearest entry.
    Section rgb(1, 1);
    rgb.bits[0] = 0x00646464;  // grey 100 is entry 155
    ASSERT_TRUE(BitBlt(target.dc, 0, 0, 1, 1, rgb.dc, 0, 0, SRCCOPY));
    EXPECT_EQ(px[4], 155);
    ReleaseDC(nullptr, screen);
}

TEST_F(GdiTest, LastErrorIsPerThreadWithTexts) {
    SetLastError(ERROR_INVALID_PARAMETER);
    DWORD seen = 0;
    std::thread([&] {
        seen = GetLastError();
        SetLastError(ERROR_INVALID_HANDLE);
    }).join();
    EXPECT_EQ(seen, 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);

    EXPECT_EQ(SystemErrorText(ERROR_INVALID_PARAMETER), "The parameter is incorrect.");
    EXPECT_EQ(SystemErrorText(ERROR_INVALID_HANDLE), "The handle is invalid.");
    EXPECT_EQ(SystemErrorText(ERROR_NOT_ENOUGH_MEMORY),
              "Not enough storage is available to process this command.");
    EXPECT_EQ(SystemErrorText(ERROR_BUSY), "The requested resource is in use.");
    EXPECT_EQ(SystemErrorText(123456), "");

    char buf[128];
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                             ERROR_INVALID_HANDLE, 0, buf, sizeof buf, nullptr),
              24u);
    EXPECT_STREQ(buf, "The handle is invalid.\r\n");
    EXPECT_EQ(
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 123456, 0, buf, sizeof buf, nullptr),
        0u);
    EXPECT_EQ(GetLastError(), ERROR_MR_MID_NOT_FOUND);
    EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_INVALID_HANDLE, 0, buf, 10,
                             nullptr),
              0u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
}

TEST_F(GdiTest, SystemColours) {
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RGB(255, 255, 255));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(240, 240, 240));
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), RGB(0, 0, 0));
    EXPECT_EQ(GetSysColor(99), 0u);
}

// ---- context state: origin, clip region, save and restore ----------------------------

namespace {

constexpr std::uint32_t kWhite = 0x00FFFFFF, kRed = 0x00FF0000, kBlue = 0x000000FF,
                        kGreen = 0x0000FF00;

bool InBox(int x, int y, int l, int t, int r, int b) { return x >= l && x < r && y >= t && y < b; }

}  // namespace

TEST_F(GdiTest, DrawingHonoursTheOriginAndClipRegionAcrossSaveAndRestore) {
    Section dst(20, 16), src(16, 16);
    src.FillPattern();
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
    RECT box{};
    const RECT all{0, 0, 20, 16};
    ASSERT_TRUE(FillRect(dst.dc, &all, white));
    EXPECT_EQ(GetClipBox(dst.dc, &box), SIMPLEREGION);
    EXPECT_TRUE(EqualRect(&box, &all));

    EXPECT_EQ(SaveDC(dst.dc), 1);
    ASSERT_TRUE(SetViewportOrgEx(dst.dc, 3, 2, nullptr));
    EXPECT_EQ(IntersectClipRect(dst.dc, 0, 0, 12, 10), SIMPLEREGION);  // device (3, 2, 15, 12)
    EXPECT_EQ(ExcludeClipRect(dst.dc, 4, 3, 6, 5), COMPLEXREGION);     // device (7, 5, 9, 7)
    EXPECT_EQ(GetClipBox(dst.dc, &box), COMPLEXREGION);
    const RECT logicalClip{0, 0, 12, 10};
    EXPECT_TRUE(EqualRect(&box, &logicalClip));
    const RECT hole{4, 3, 6, 5}, besideHole{4, 3, 7, 5};
    EXPECT_FALSE(RectVisible(dst.dc, &hole));
    EXPECT_TRUE(RectVisible(dst.dc, &besideHole));
    ASSERT_TRUE(BitBlt(dst.dc, -2, -1, 30, 30, src.dc, 0, 0, SRCCOPY));  // device (1, 1)

    EXPECT_EQ(SaveDC(dst.dc), 2);
    POINT old{};
    ASSERT_TRUE(OffsetViewportOrgEx(dst.dc, 1, 1, &old));  // origin (4, 3)
    EXPECT_EQ(old.x, 3);
    EXPECT_EQ(old.y, 2);
    const RECT fill{5, 5, 9, 8}, frame{0, 0, 5, 5};  // device (9, 8, 13, 11) and (4, 3, 9, 8)
    EXPECT_TRUE(FillRect(dst.dc, &fill, red));
    EXPECT_TRUE(FrameRect(dst.dc, &frame, blue));
    ASSERT_TRUE(RestoreDC(dst.dc, -1));

    POINT origin{};
    ASSERT_TRUE(GetViewportOrgEx(dst.dc, &origin));
    EXPECT_EQ(origin.x, 3);
    EXPECT_EQ(origin.y, 2);
    EXPECT_EQ(SetPixel(dst.dc, 5, 4, RGB(0, 255, 0)), CLR_INVALID);  // device (8, 6): in the hole
    EXPECT_EQ(GetPixel(dst.dc, 5, 4), CLR_INVALID);
    ASSERT_TRUE(RestoreDC(dst.dc, 1));
    EXPECT_FALSE(RestoreDC(dst.dc, 1));  // already taken
    EXPECT_EQ(GetClipBox(dst.dc, &box), SIMPLEREGION);
    EXPECT_TRUE(EqualRect(&box, &all));
    EXPECT_EQ(SetPixel(dst.dc, 8, 6, RGB(0, 255, 0)), RGB(0, 255, 0));

    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 20; ++x) {
            const bool clip = InBox(x, y, 3, 2, 15, 12) && !InBox(x, y, 7, 5, 9, 7);
            const bool onFrame = InBox(x, y, 4, 3, 9, 8) && !InBox(x, y, 5, 4, 8, 7);
            std::uint32_t want = kWhite;
            if (clip) want = Pat(x - 1, y - 1);
            if (clip && InBox(x, y, 9, 8, 13, 11)) want = kRed;
            if (clip && onFrame) want = kBlue;
            if (x == 8 && y == 6) want = kGreen;
            EXPECT_EQ(dst.At(x, y), want) << "at " << x << ", " << y;
        }
    }
    DeleteObject(red);
    DeleteObject(blue);
}

TEST_F(GdiTest, SavedClipsComeBackExactlyWhenTheirEntriesAreReused) {
    // A paint cycle's pattern, three times over: save, clip to a child,
    // carve a hole, restore. Each round must start from the same clip.
    Section dst(40, 30);
    RECT box{};
    ASSERT_EQ(ExcludeClipRect(dst.dc, 0, 0, 40, 2), SIMPLEREGION);  // outer clip: rows 2..29
    for (int round = 0; round < 3; ++round) {
        const int x = 5 * round;
        EXPECT_EQ(SaveDC(dst.dc), 1);
        EXPECT_EQ(IntersectClipRect(dst.dc, x, 0, x + 20, 20), SIMPLEREGION);
        EXPECT_EQ(SaveDC(dst.dc), 2);
        EXPECT_EQ(ExcludeClipRect(dst.dc, x + 5, 5, x + 10, 10), COMPLEXREGION);
        const RECT hole{x + 5, 5, x + 10, 10}, edge{x + 4, 5, x + 6, 10};
        EXPECT_FALSE(RectVisible(dst.dc, &hole));
        EXPECT_TRUE(RectVisible(dst.dc, &edge));
        ASSERT_TRUE(RestoreDC(dst.dc, -1));
        EXPECT_TRUE(RectVisible(dst.dc, &hole));
        EXPECT_EQ(GetClipBox(dst.dc, &box), SIMPLEREGION);
        EXPECT_EQ(box.left, x);
        EXPECT_EQ(box.top, 2);
        ASSERT_TRUE(RestoreDC(dst.dc, 1));
        EXPECT_EQ(GetClipBox(dst.dc, &box), SIMPLEREGION);
        const RECT outer{0, 2, 40, 30};
        EXPECT_TRUE(EqualRect(&box, &outer)) << "round " << round;
    }
    // A region made a rectangle again, and combined into itself.
    HRGN r = CreateRectRgn(0, 0, 10, 10);
    HRGN other = CreateRectRgn(5, 5, 20, 20);
    EXPECT_EQ(CombineRgn(r, r, other, RGN_OR), COMPLEXREGION);
    ASSERT_TRUE(SetRectRgn(r, 30, 20, 2, 4));  // corners in any order
    EXPECT_EQ(GetRgnBox(r, &box), SIMPLEREGION);
    const RECT reset{2, 4, 30, 20};
    EXPECT_TRUE(EqualRect(&box, &reset));
    EXPECT_EQ(CombineRgn(r, r, r, RGN_XOR), NULLREGION);
    EXPECT_FALSE(SetRectRgn(nullptr, 0, 0, 1, 1));
    DeleteObject(r);
    DeleteObject(other);
}

TEST_F(GdiTest, SectionsOfAMappingShareItsMemoryUntilTheLastGoes) {
    const std::size_t live = gdi::LiveObjectCount();
    HANDLE mapping =
        CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, nullptr);
    ASSERT_NE(mapping, nullptr);
    BITMAPINFO info{};
    info.bmiHeader = {40, 4, 4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* a = nullptr;
    void* b = nullptr;
    HBITMAP whole = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &a, mapping, 0);
    info.bmiHeader.biHeight = 2;
    HBITMAP half = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &b, mapping, 32);
    ASSERT_TRUE(whole && half);
    EXPECT_EQ(static_cast<std::uint8_t*>(b), static_cast<std::uint8_t*>(a) + 32);
    // Too big for what is left of it, or misaligned: refused.
    void* none = nullptr;
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &none, mapping, 36), nullptr);
    EXPECT_EQ(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &none, mapping, 2), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_FALSE(DeleteObject(mapping));  // not a drawing object
    EXPECT_TRUE(CloseHandle(mapping));
    EXPECT_FALSE(CloseHandle(mapping));
    static_cast<std::uint32_t*>(a)[15] = 0x12345678;  // still there while sections show it
    EXPECT_EQ(static_cast<std::uint32_t*>(b)[7], 0x12345678u);
    DeleteObject(whole);
    DeleteObject(half);
    EXPECT_EQ(gdi::LiveObjectCount(), live);
    EXPECT_EQ(CreateFileMapping(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 1, 0, nullptr),
              nullptr);
    EXPECT_EQ(GetLastError(), ERROR_NOT_ENOUGH_MEMORY);
}

TEST_F(GdiTest, EveryDrawingCallStaysInsideASelectedClipRegion) {
    Section dst(12, 12), src(4, 4);
    src.FillPattern();
    // Two device rectangles: (2, 2, 6, 6) and (5, 7, 10, 9).
    HRGN clip = CreateRectRgn(2, 2, 6, 6);
    HRGN more = CreateRectRgn(5, 7, 10, 9);
    ASSERT_EQ(CombineRgn(clip, clip, more, RGN_OR), COMPLEXREGION);
    std::uint32_t dib[4] = {0x00112233, 0x00112233, 0x00112233, 0x00112233};
    BITMAPINFO info{};
    info.bmiHeader = {40, 2, -2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};

    const std::function<void()> draws[] = {
        [&] { BitBlt(dst.dc, -3, -3, 20, 20, nullptr, 0, 0, BLACKNESS); },
        [&] { StretchBlt(dst.dc, -1, -1, 12, 12, src.dc, 0, 0, 4, 4, SRCCOPY); },
        [&] {
            for (int y = -1; y < 11; y += 2)
                for (int x = -1; x < 11; x += 2)
                    SetDIBitsToDevice(dst.dc, x, y, 2, 2, 0, 0, 0, 2, dib, &info, DIB_RGB_COLORS);
        },
        [&] {
            const RECT r{-5, -5, 30, 30};
            FillRect(dst.dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        },
    };
    for (const auto& draw : draws) {
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) dst.At(x, y) = kWhite;
        ASSERT_EQ(SelectClipRgn(dst.dc, clip), COMPLEXREGION);
        SetViewportOrgEx(dst.dc, 1, 1, nullptr);  // the region stays in device coordinates
        draw();
        for (int y = 0; y < 12; ++y) {
            for (int x = 0; x < 12; ++x) {
                const bool inside = InBox(x, y, 2, 2, 6, 6) || InBox(x, y, 5, 7, 10, 9);
                EXPECT_EQ(dst.At(x, y) != kWhite, inside) << "at " << x << ", " << y;
            }
        }
        EXPECT_EQ(SelectClipRgn(dst.dc, nullptr), SIMPLEREGION);
        SetViewportOrgEx(dst.dc, 0, 0, nullptr);
    }
    DeleteObject(clip);
    DeleteObject(more);
}

TEST_F(GdiTest, AClippedCopyWithinOneStoreReadsItsSourceBeforeWriting) {
    Section s(8, 1);
    for (int x = 0; x < 8; ++x) s.At(x, 0) = static_cast<std::uint32_t>(x);
    // Two pieces, (1..3) and (4..8): the first overwrites pixels 1 and 2 that
    // the second reads when the row moves right by two.
    IntersectClipRect(s.dc, 1, 0, 8, 1);
    ExcludeClipRect(s.dc, 3, 0, 4, 1);
    ASSERT_TRUE(BitBlt(s.dc, 2, 0, 6, 1, s.dc, 0, 0, SRCCOPY));
    const std::uint32_t want[8] = {0, 1, 0, 3, 2, 3, 4, 5};
    for (int x = 0; x < 8; ++x) EXPECT_EQ(s.At(x, 0), want[x]) << "at " << x;
}

TEST_F(GdiTest, BrushesAndRectangleArithmetic) {
    HBRUSH b = CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(GetObjectType(b), OBJ_BRUSH);
    EXPECT_TRUE(DeleteObject(b));
    EXPECT_EQ(GetObjectType(b), 0u);
    HGDIOBJ stock = GetStockObject(NULL_BRUSH);
    EXPECT_TRUE(DeleteObject(stock));  // stock objects survive deletion
    EXPECT_EQ(GetObjectType(stock), OBJ_BRUSH);
    Section s(2, 2);
    const RECT r{0, 0, 2, 2};
    EXPECT_TRUE(FillRect(s.dc, &r, static_cast<HBRUSH>(stock)));  // paints nothing
    EXPECT_EQ(s.At(1, 1), 0u);
    EXPECT_TRUE(FillRect(s.dc, &r, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1)));
    EXPECT_EQ(s.At(1, 1), kWhite);
    EXPECT_FALSE(FillRect(s.dc, &r, b));  // deleted

    const RECT a{0, 0, 10, 10};
    EXPECT_TRUE(PtInRect(&a, {0, 0}));
    EXPECT_TRUE(PtInRect(&a, {9, 9}));
    EXPECT_FALSE(PtInRect(&a, {10, 5}));
    EXPECT_FALSE(PtInRect(&a, {5, 10}));

    RECT out{1, 1, 1, 1};
    const RECT apart{10, 0, 20, 10}, over{5, -5, 15, 5};
    EXPECT_FALSE(IntersectRect(&out, &a, &apart));  // touching is not overlapping
    const RECT zero{0, 0, 0, 0};
    EXPECT_TRUE(EqualRect(&out, &zero));
    EXPECT_TRUE(IntersectRect(&out, &a, &over));
    const RECT common{5, 0, 10, 5};
    EXPECT_TRUE(EqualRect(&out, &common));

    const RECT empty{50, 50, 40, 60};
    EXPECT_TRUE(UnionRect(&out, &a, &empty));  // an empty rectangle adds nothing
    EXPECT_TRUE(EqualRect(&out, &a));
    EXPECT_TRUE(UnionRect(&out, &a, &over));
    const RECT both{0, -5, 15, 10};
    EXPECT_TRUE(EqualRect(&out, &both));
    EXPECT_FALSE(UnionRect(&out, &empty, &empty));
    EXPECT_TRUE(EqualRect(&out, &zero));

    out = a;
    OffsetRect(&out, 3, -2);
    InflateRect(&out, 1, 2);
    const RECT moved{2, -4, 14, 10};
    EXPECT_TRUE(EqualRect(&out, &moved));
    EXPECT_TRUE(IsRectEmpty(&empty));
    EXPECT_FALSE(IsRectEmpty(&a));
    SetRectEmpty(&out);
    EXPECT_TRUE(EqualRect(&out, &zero));
}
