// Text through the GDI stand-in with the pinned sans face: measurements,
// the accelerator underline, clipping, background modes and the mask byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "gdi/Gdi.h"

namespace {

// A memory context on a 32-bit top-down section filled with one pixel value,
// with a font of the given character height selected.
struct TextSurface {
    HDC dc = nullptr;
    HBITMAP bmp = nullptr;
    HGDIOBJ oldBitmap = nullptr;
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
    std::uint32_t* bits = nullptr;
    int w, h;

    TextSurface(int width, int height, std::uint32_t fill, int charHeight = 11, bool bold = false)
        : w(width), h(height) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader = {40, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<std::uint32_t*>(p);
        for (int i = 0; i < width * height; ++i) bits[i] = fill;
        oldBitmap = SelectObject(dc, bmp);
        LOGFONTA lf{};
        lf.lfHeight = -charHeight;
        lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
        std::strcpy(lf.lfFaceName, "MS Sans Serif");
        font = CreateFontIndirectA(&lf);
        oldFont = SelectObject(dc, font);
    }
    ~TextSurface() {
        SelectObject(dc, oldFont);
        SelectObject(dc, oldBitmap);
        DeleteObject(font);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    std::uint32_t At(int x, int y) const { return bits[y * w + x]; }
    bool RowUntouched(int y, int x0, int x1, std::uint32_t fill) const {
        for (int x = x0; x < x1; ++x)
            if (At(x, y) != fill) return false;
        return true;
    }
    RECT Measure(const char* text, UINT flags = 0, int width = 0) {
        RECT r{0, 0, width, 0};
        DrawTextA(dc, text, -1, &r, flags | DT_CALCRECT);
        return r;
    }
};

constexpr std::uint32_t kWhite = 0x00FFFFFF;  // mask 0, as a filled surface is

TEST(Text, PinnedFaceMeasuresTheEditorCaptions) {
    TextSurface s(8, 8, kWhite);
    TEXTMETRICA tm{};
    ASSERT_TRUE(GetTextMetricsA(s.dc, &tm));
    EXPECT_EQ(tm.tmHeight, 13);
    EXPECT_EQ(tm.tmAscent, 10);
    EXPECT_EQ(tm.tmDescent, 3);
    EXPECT_EQ(tm.tmInternalLeading, 2);
    EXPECT_GT(tm.tmAveCharWidth, 0);
    EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);

    EXPECT_EQ(s.Measure("Attack").right, 31);
    EXPECT_EQ(s.Measure("Hold ").right, 24);  // the trailing space counts
    EXPECT_EQ(s.Measure("Hold").right, 21);
    EXPECT_EQ(s.Measure("Release").right, 39);
    EXPECT_EQ(s.Measure("Thresh").right, 34);
    EXPECT_EQ(s.Measure("Thresh").bottom, 13);
    // The prefix character takes no room; "&&" is one "&".
    EXPECT_EQ(s.Measure("&Attack").right, 31);
    EXPECT_EQ(s.Measure("A&&B").right, s.Measure("A&B", DT_NOPREFIX).right);
    // Nothing to measure: no line at all.
    const RECT empty = s.Measure("");
    EXPECT_EQ(empty.right, 0);
    EXPECT_EQ(empty.bottom, 0);

    SIZE size{};
    ASSERT_TRUE(GetTextExtentPoint32A(s.dc, "Attack", 6, &size));
    EXPECT_EQ(size.cx, 31);
    EXPECT_EQ(size.cy, 13);

    TextSurface bold(8, 8, kWhite, 16, true);
    const RECT q = bold.Measure("Quorbel");
    EXPECT_EQ(q.right, 61);
    EXPECT_EQ(q.bottom, 19);
}

TEST(Text, LinesBreakAtLineEndsAndBetweenWords) {
    TextSurface s(8, 8, kWhite);
    EXPECT_EQ(s.Measure("one\r\ntwo\nthree").bottom, 39);
    EXPECT_EQ(s.Measure("one\r\ntwo", DT_SINGLELINE).bottom, 13);
    const int wide = s.Measure("Simple Sidechain gate.").right;
    const RECT wrapped = s.Measure("Simple Sidechain gate.", DT_WORDBREAK, wide - 1);
    EXPECT_EQ(wrapped.bottom, 26);
    EXPECT_LT(wrapped.right, wide);
    // A word wider than the rectangle keeps its line and its width.
    EXPECT_EQ(s.Measure("Sidechain", DT_WORDBREAK, 5).right, s.Measure("Sidechain").right);
    // Tabs stop every eight average character widths.
    TEXTMETRICA tm{};
    GetTextMetricsA(s.dc, &tm);
    EXPECT_EQ(s.Measure("a\tb", DT_EXPANDTABS).right, 8 * tm.tmAveCharWidth + s.Measure("b").right);
}

TEST(Text, PrefixUnderlinesOneCharacterOnTheRowBelowTheBaseline) {
    TextSurface s(60, 16, kWhite);
    SetBkMode(s.dc, TRANSPARENT);
    RECT r{0, 0, 60, 16};
    DrawTextA(s.dc, "T&ext", -1, &r, DT_LEFT);
    const int t = s.Measure("T").right, e = s.Measure("Te").right;
    const int row = 11;  // ascent 10, one row below the baseline
    for (int x = t; x < e; ++x) EXPECT_EQ(s.At(x, row), 0xFF000000u) << "x " << x;
    EXPECT_TRUE(s.RowUntouched(row, e + 1, 60, kWhite));

    TextSurface plain(60, 16, kWhite);
    SetBkMode(plain.dc, TRANSPARENT);
    DrawTextA(plain.dc, "Text", -1, &r, DT_LEFT);
    EXPECT_TRUE(plain.RowUntouched(row, 0, 60, kWhite)) << "no underline without a prefix";
}

TEST(Text, BackgroundModesAndTheMaskByte) {
    // Opaque: the text's cell is filled in the background colour, mask 255.
    TextSurface opaque(40, 16, 0x00102030);
    SetBkColor(opaque.dc, RGB(0, 0, 255));
    SetTextColor(opaque.dc, RGB(255, 255, 255));
    TextOutA(opaque.dc, 0, 0, "Hold", -1);
    const int width = opaque.Measure("Hold").right;
    EXPECT_EQ(opaque.At(width - 1, 12), 0xFF0000FFu);  // a corner of the cell
    EXPECT_EQ(opaque.At(width, 0), 0x00102030u);       // beside it: untouched
    EXPECT_EQ(opaque.At(0, 13), 0x00102030u);          // below it

    // Transparent: only glyph pixels change; black text on white with mask 0
    // leaves each touched pixel at 255 - coverage with mask coverage.
    TextSurface clear(40, 16, kWhite);
    SetBkMode(clear.dc, TRANSPARENT);
    SetTextColor(clear.dc, RGB(0, 0, 0));
    TextOutA(clear.dc, 0, 0, "Hold", -1);
    int touched = 0, strong = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 40; ++x) {
            const std::uint32_t px = clear.At(x, y);
            if (px == kWhite) continue;
            ++touched;
            const unsigned mask = px >> 24, blue = px & 0xFF;
            EXPECT_EQ(mask + blue, 255u) << x << "," << y;
            EXPECT_EQ(px & 0xFF, (px >> 8) & 0xFF);  // grey
            strong += mask >= 192;
        }
    EXPECT_GT(touched, 40);
    EXPECT_GT(strong, 20);
    for (int y = 13; y < 16; ++y) EXPECT_TRUE(clear.RowUntouched(y, 0, 40, kWhite));

    // Over an opaque surface the mask stays 255.
    TextSurface solid(40, 16, 0xFFFFFFFF);
    SetBkMode(solid.dc, TRANSPARENT);
    TextOutA(solid.dc, 0, 0, "Hold", -1);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 40; ++x) EXPECT_EQ(solid.At(x, y) >> 24, 255u);
}

TEST(Text, DrawingHonoursTheRectangleTheOriginAndTheClipRegion) {
    // Clipped to the rectangle unless DT_NOCLIP.
    TextSurface s(60, 16, kWhite);
    SetBkMode(s.dc, TRANSPARENT);
    RECT r{0, 0, 12, 16};
    DrawTextA(s.dc, "Release", -1, &r, DT_LEFT);
    for (int y = 0; y < 16; ++y) EXPECT_TRUE(s.RowUntouched(y, 12, 60, kWhite));
    RECT all{0, 0, 12, 16};
    DrawTextA(s.dc, "Release", -1, &all, DT_LEFT | DT_NOCLIP);
    bool beyond = false;
    for (int y = 0; y < 16; ++y) beyond |= !s.RowUntouched(y, 12, 60, kWhite);
    EXPECT_TRUE(beyond);

    // The origin moves the text; the clip region cuts it.
    TextSurface moved(60, 30, kWhite), ref(60, 30, kWhite);
    SetBkMode(moved.dc, TRANSPARENT);
    SetBkMode(ref.dc, TRANSPARENT);
    TextOutA(ref.dc, 0, 0, "Attack", -1);
    SetViewportOrgEx(moved.dc, 20, 10, nullptr);
    IntersectClipRect(moved.dc, 0, 0, 15, 13);
    TextOutA(moved.dc, 0, 0, "Attack", -1);
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 60; ++x) {
            const bool inside = x >= 20 && x < 35 && y >= 10 && y < 23;
            EXPECT_EQ(moved.At(x, y), inside ? ref.At(x - 20, y - 10) : kWhite) << x << "," << y;
        }
}

TEST(Text, AlignmentPlacesTheLineInTheRectangle) {
    TextSurface s(100, 40, kWhite);
    SetBkMode(s.dc, OPAQUE);
    SetBkColor(s.dc, RGB(0, 0, 0));
    const int width = s.Measure("Hold").right;
    RECT r{0, 0, 100, 40};
    EXPECT_EQ(DrawTextA(s.dc, "Hold", -1, &r, DT_RIGHT | DT_BOTTOM | DT_SINGLELINE), 40);
    EXPECT_EQ(s.At(100 - width, 27), 0xFF000000u);
    EXPECT_EQ(s.At(99 - width, 27), kWhite);
    EXPECT_EQ(s.At(99, 26), kWhite);
    RECT c{0, 0, 100, 40};
    EXPECT_EQ(DrawTextA(s.dc, "Hold", -1, &c, DT_CENTER | DT_VCENTER | DT_SINGLELINE), 26);
    EXPECT_EQ(s.At((100 - width) / 2, 13), 0xFF000000u);
    EXPECT_EQ(s.At((100 - width) / 2 - 1, 13), kWhite);
}

TEST(Text, BadHandlesGiveNeutralAnswers) {
    RECT r{0, 0, 10, 10};
    EXPECT_EQ(DrawTextA(nullptr, "x", -1, &r, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(TextOutA(nullptr, 0, 0, "x", 1));
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
    TextSurface s(8, 8, kWhite);
    EXPECT_EQ(DrawTextA(s.dc, "x", -1, nullptr, 0), 0);
    EXPECT_EQ(SetBkMode(s.dc, 7), 0);
    // A selected font is busy; the stock font stands in for a deleted one.
    EXPECT_FALSE(DeleteObject(s.font));
    EXPECT_EQ(GetLastError(), ERROR_BUSY);
    EXPECT_EQ(GetObjectType(s.font), OBJ_FONT);
}

}  // namespace
