#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <sys/resource.h>
#endif

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>

#include "controls/cDIBBorder.h"
#include "objects/Streaming.h"
#include "support/ControlSamples.h"
#include "support/Sanitizers.h"

namespace {

constexpr std::uint32_t kBackground = 0x101010;

// Picture colours: each picture has its own high byte; the low bytes say
// which row or column of the picture a pixel came from.
std::uint32_t endColour(int picture) { return 0x010000u * std::uint32_t(picture); }
std::uint32_t rowColour(int row) { return 0x800000u + std::uint32_t(row); }
std::uint32_t columnColour(int column) { return 0x900000u + std::uint32_t(column); }

class BorderTest : public ::testing::Test {
protected:
    int add(int w, int h, const std::function<std::uint32_t(int, int)>& colour) {
        return tarnwick::test::AddPicture(*list, w, h, colour);
    }
    int solid(int w, int h, int picture) {
        return add(w, h, [=](int, int) { return endColour(picture); });
    }
    std::uint32_t at(int x, int y) const {
        const TDIBPixel& p = dest->ScanLine(y)[x];
        return p.Blue | p.Green << 8 | p.Red << 16;
    }
    // Compares every pixel of the destination with expected(x, y).
    void expectPixels(const std::function<std::uint32_t(int, int)>& expected) const {
        int wrong = 0;
        for (int y = 0; y < dest->Height(); ++y)
            for (int x = 0; x < dest->Width(); ++x)
                if (at(x, y) != expected(x, y) && ++wrong <= 5)
                    ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << std::hex << at(x, y)
                                  << ", expected " << expected(x, y);
        EXPECT_EQ(wrong, 0);
    }
    void newDest(int w, int h) {
        dest = std::make_unique<TMemoryDIB>(w, h);
        dest->Fill(TColor(kBackground));  // grey: the same in either byte order
    }
    static void setEdge(TDIBBorderEdge* e, int first, int middle, int second) {
        e->FirstImage()->SetDIBIndex(first);
        e->MiddleImage()->SetDIBIndex(middle);
        e->SecondImage()->SetDIBIndex(second);
    }

    std::unique_ptr<TDIBImageList> list = std::make_unique<TDIBImageList>(nullptr);
    std::unique_ptr<TDIBBorder> border = std::make_unique<TDIBBorder>(nullptr);
    std::unique_ptr<TMemoryDIB> dest;
};

}  // namespace

TEST_F(BorderTest, VerticalEdgesTileTheMiddleBetweenTheirEnds) {
    // Top 4 x 3, bottom 4 x 2, middle 4 x 10 with one colour per row. A
    // 30-pixel rectangle leaves 25 pixels: tiles at 3, 13 and 23, the last
    // one 5 pixels high.
    const int top = solid(4, 3, 1), bottom = solid(4, 2, 2);
    const int middle = add(4, 10, [](int, int y) { return rowColour(y); });
    border->SetDIBImageList(list.get());
    setEdge(border->BorderLeft(), top, middle, bottom);
    setEdge(border->BorderRight(), top, middle, bottom);
    newDest(20, 32);
    const TRect r{2, 1, 18, 31};
    border->BorderLeft()->DrawEdge(dest.get(), r);
    border->BorderRight()->DrawEdge(dest.get(), r);
    expectPixels([](int x, int y) -> std::uint32_t {
        const bool inLeft = x >= 2 && x < 6, inRight = x >= 14 && x < 18;
        if ((!inLeft && !inRight) || y < 1 || y >= 31) return kBackground;
        if (y < 4) return endColour(1);
        if (y >= 29) return endColour(2);
        return rowColour((y - 4) % 10);
    });
    EXPECT_EQ(border->BorderLeft()->CalcSize(), 4);
}

TEST_F(BorderTest, HorizontalEdgesTileOrStretchOverTheSpanBetweenTheirEnds) {
    // End pictures 6 wide over a 100-pixel rectangle leave 88 pixels.
    const int left = solid(6, 5, 1), right = solid(6, 4, 2);
    const int tile = add(7, 3, [](int x, int) { return columnColour(x); });
    // Uniform along its length, so a stretch of any ratio repeats its rows.
    const int bar = add(2, 3, [](int, int y) { return rowColour(y); });
    border->SetDIBImageList(list.get());
    setEdge(border->BorderTop(), left, tile, right);
    setEdge(border->BorderBottom(), left, bar, right);
    border->BorderBottom()->SetDrawStyle(dsStretch);
    newDest(100, 20);
    const TRect r{0, 0, 100, 20};
    border->BorderTop()->DrawEdge(dest.get(), r);
    border->BorderBottom()->DrawEdge(dest.get(), r);
    EXPECT_EQ(border->BorderTop()->CalcSize(), 5);
    expectPixels([](int x, int y) -> std::uint32_t {
        // Top: ends at y 0 (5 and 4 high), tiles of 7 columns, 3 high.
        if (x < 6 && y < 5) return endColour(1);
        if (x >= 94 && y < 4) return endColour(2);
        if (x >= 6 && x < 94 && y < 3) return columnColour((x - 6) % 7);
        // Bottom: each piece hugs the bottom line.
        if (x < 6 && y >= 15) return endColour(1);
        if (x >= 94 && y >= 16) return endColour(2);
        if (x >= 6 && x < 94 && y >= 17) return rowColour(y - 17);
        return kBackground;
    });
}

TEST_F(BorderTest, StretchWithoutRoomDrawsOnlyTheEnds) {
    // Ends 6 wide in an 8-pixel rectangle: the span is -4, and the middle
    // picture is thick, so a piece of wrapped-around length would need
    // gigabytes. Within a 1 GiB address space the edge still draws.
    const int left = solid(6, 2, 1), right = solid(6, 2, 2);
    const int middle = add(1, 8192, [](int, int y) { return rowColour(y % 16); });
    border->SetDIBImageList(list.get());
    setEdge(border->BorderTop(), left, middle, right);
    border->BorderTop()->SetDrawStyle(dsStretch);
    newDest(8, 4);
    auto drawInOneGiB = [&] {
#if !defined(_WIN32)  // a 32-bit Windows process has 2 GiB in all
        const rlimit limit{1u << 30, 1u << 30};
        setrlimit(RLIMIT_AS, &limit);
#endif
        border->BorderTop()->DrawEdge(dest.get(), TRect{0, 0, 8, 4});
        std::exit(0);
    };
#if TARNWICK_HAS_ASAN
    // AddressSanitizer's shadow memory alone is larger than the limit.
    (void)drawInOneGiB;
#else
    EXPECT_EXIT(drawInOneGiB(), ::testing::ExitedWithCode(0), "");
#endif
    border->BorderTop()->DrawEdge(dest.get(), TRect{0, 0, 8, 4});
    expectPixels([](int x, int y) -> std::uint32_t {
        if (y >= 2) return kBackground;
        return x >= 2 ? endColour(2) : endColour(1);  // the right end is drawn last
    });
}

TEST_F(BorderTest, BorderNarrowsTopAndBottomByThePicturesAndOutlivesItsList) {
    const int side = solid(3, 1, 1), corner = solid(2, 2, 2);
    border->SetDIBImageList(list.get());
    setEdge(border->BorderLeft(), -1, side, -1);
    setEdge(border->BorderRight(), -1, side, -1);
    setEdge(border->BorderTop(), corner, -1, corner);
    setEdge(border->BorderBottom(), corner, -1, corner);
    for (TDIBBorderEdge* e : {static_cast<TDIBBorderEdge*>(border->BorderLeft()),
                              static_cast<TDIBBorderEdge*>(border->BorderTop())}) {
        EXPECT_EQ(e->Size(), e->CalcSize());
        e->SetAutoCalcSize(false);
        EXPECT_EQ(e->Size(), 32);
    }
    newDest(12, 8);
    border->DrawBorder(dest.get(), TRect{0, 0, 12, 8});
    expectPixels([](int x, int y) -> std::uint32_t {
        const bool corner = (x >= 3 && x < 5) || (x >= 7 && x < 9);
        if (corner && (y < 2 || y >= 6)) return endColour(2);
        if (x < 3 || x >= 9) return endColour(1);
        return kBackground;
    });

    // Without its list the border draws nothing and measures nothing.
    list.reset();
    EXPECT_EQ(border->DIBImageList(), nullptr);
    EXPECT_EQ(border->BorderLeft()->MiddleImage()->DIBImageList(), nullptr);
    EXPECT_EQ(border->BorderLeft()->CalcSize(), 0);
    newDest(12, 8);
    border->DrawBorder(dest.get(), TRect{0, 0, 12, 8});
    expectPixels([](int, int) { return kBackground; });
}

TEST_F(BorderTest, BorderIsStoredWithItsForm) {
    TComponent form(nullptr);
    auto* images = new TDIBImageList(&form);
    images->SetName("Images");
    images->DIBImages()->Add();
    auto* saved = new TDIBBorder(&form);
    saved->SetName("Frame");
    saved->SetDIBImageList(images);
    saved->BorderRight()->SecondImage()->SetDIBIndex(0);
    saved->BorderTop()->SetDrawStyle(dsStretch);
    saved->BorderBottom()->SetAutoCalcSize(false);
    saved->BorderBottom()->SetSize(7);

    TMemoryStream stream;
    WriteComponentToStream(stream, &form);
    stream.SetPosition(0);
    TComponent loaded(nullptr);
    ReadComponentFromStream(stream, &loaded);
    auto* frame = dynamic_cast<TDIBBorder*>(loaded.FindComponent("Frame"));
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->DIBImageList(), loaded.FindComponent("Images"));
    EXPECT_EQ(frame->BorderRight()->SecondImage()->DIBImageList(), frame->DIBImageList());
    EXPECT_EQ(frame->BorderRight()->SecondImage()->DIBIndex(), 0);
    EXPECT_EQ(frame->BorderTop()->DrawStyle(), dsStretch);
    EXPECT_EQ(frame->BorderLeft()->DrawStyle(), dsTile);
    EXPECT_FALSE(frame->BorderBottom()->AutoCalcSize());
    EXPECT_EQ(frame->BorderBottom()->Size(), 7);
}
