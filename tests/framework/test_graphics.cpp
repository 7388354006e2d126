#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "framework/Graphics.h"
#include "support/PictureBuilders.h"

using namespace tarnwick::test;

namespace {

// A canvas on a memory context with a 32-bit section whose pixels start as `fill`.
struct Surface {
    HDC dc;
    HBITMAP bmp;
    HGDIOBJ old;
    std::uint32_t* bits = nullptr;
    int w, h;
    TCanvas canvas;

    Surface(int width, int height, std::uint32_t fill = 0x77777777u) : w(width), h(height) {
        dc = CreateCompatibleDC(nullptr);
        BITMAPINFO info{};
        info.bmiHeader = {40, width, height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* p = nullptr;
        bmp = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &p, nullptr, 0);
        bits = static_cast<std::uint32_t*>(p);
        for (int i = 0; i < w * h; ++i) bits[i] = fill;
        old = SelectObject(dc, bmp);
        canvas.SetHandle(dc);
    }
    ~Surface() {
        canvas.SetHandle(nullptr);
        SelectObject(dc, old);
        DeleteObject(bmp);
        DeleteDC(dc);
    }
    std::uint32_t At(int x, int y) const { return bits[(h - 1 - y) * w + x]; }
};

Bytes Bmp24(int w, int h, const std::vector<std::uint32_t>& rgb) {
    PictureRecipe s;
    s.width = w;
    s.height = h;
    s.pixels = Rows24(w, h, rgb);
    return Bmp(s);
}

template <class E>
std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace

TEST(ColorTest, ColorToRGBResolvesSystemColours) {
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
    EXPECT_EQ(ColorToRGB(0x123456), 0x123456u);
    EXPECT_EQ(ColorToRGB(clBtnFace), 0xF0F0F0u);
    EXPECT_EQ(ColorToRGB(clWindow), 0xFFFFFFu);
    EXPECT_EQ(ColorToRGB(clWindowText), 0u);
    EXPECT_EQ(ColorToRGB(clHighlight), GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(ColorToRGB(clNone), 0x1FFFFFFFu);  // not a system colour
    EXPECT_EQ(clBtnFace, static_cast<TColor>(0xFF00000F));
}

TEST(CanvasTest, HandleEventsAndLocking) {
    TCanvas canvas;
    EXPECT_FALSE(canvas.HandleAllocated());
    TBitmap bmp;
    bmp.SetPixels(1, 1, {1, 2, 3, 255}, false, 24);
    EXPECT_EQ(ErrorOf<EInvalidOperation>([&] { canvas.Draw(0, 0, &bmp); }),
              "Canvas does not allow drawing");

    Surface s(2, 2);
    std::string log;
    s.canvas.SetOnChanging([&](TObject* sender) {
        EXPECT_EQ(sender, &s.canvas);
        log += "<";
    });
    s.canvas.SetOnChange([&](TObject*) { log += ">"; });
    s.canvas.Draw(0, 0, nullptr);  // nothing to draw: no events
    TBitmap empty;
    s.canvas.Draw(0, 0, &empty);
    EXPECT_EQ(log, "");
    s.canvas.Draw(1, 1, &bmp);
    EXPECT_EQ(log, "<>");
    EXPECT_EQ(s.At(1, 1), 0x00030201u);  // no alpha of its own: mask byte 0
    s.canvas.SetPixels(0, 0, clBtnFace);
    EXPECT_EQ(s.canvas.Pixels(0, 0), 0xF0F0F0);
    EXPECT_EQ(s.canvas.Pixels(5, 5), -1);
    EXPECT_EQ(log, "<><>");

    s.canvas.Lock();
    s.canvas.Lock();
    EXPECT_EQ(s.canvas.LockCount(), 2);
    std::atomic<bool> got{true};
    std::thread([&] { got = s.canvas.TryLock(); }).join();
    EXPECT_FALSE(got);
    s.canvas.Unlock();
    s.canvas.Unlock();
    EXPECT_EQ(s.canvas.LockCount(), 0);
    std::thread([&] {
        got = s.canvas.TryLock();
        if (got) s.canvas.Unlock();
    }).join();
    EXPECT_TRUE(got);
    s.canvas.Unlock();  // unbalanced: ignored
    EXPECT_EQ(s.canvas.LockCount(), 0);
}

TEST(PictureTest, BitmapsDrawWithOrWithoutTheirMask) {
    TempDir dir;
    const std::string f24 =
        dir.Write("face.BMP", Bmp24(2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x808080}));
    TPicture pic;
    int changes = 0;
    pic.SetOnChange([&](TObject*) { ++changes; });
    pic.LoadFromFile(f24);
    EXPECT_EQ(changes, 1);
    ASSERT_NE(dynamic_cast<TBitmap*>(pic.Graphic()), nullptr);
    EXPECT_EQ(pic.Width(), 2);
    EXPECT_EQ(pic.Height(), 2);
    EXPECT_EQ(pic.BitsPerPixel(), 24);

    Surface s(3, 3);
    s.canvas.Draw(1, 0, pic.Graphic());
    EXPECT_EQ(s.At(1, 0), 0x00FF0000u);
    EXPECT_EQ(s.At(2, 0), 0x0000FF00u);
    EXPECT_EQ(s.At(1, 1), 0x000000FFu);
    EXPECT_EQ(s.At(2, 1), 0x00808080u);
    EXPECT_EQ(s.At(0, 0), 0x77777777u);  // outside the picture: untouched
    EXPECT_EQ(s.At(1, 2), 0x77777777u);

    // A 32-bit bitmap keeps its fourth byte.
    PictureRecipe d;
    d.width = 2;
    d.height = 1;
    d.bpp = 32;
    d.pixels = Rows32(2, 1, {0x80112233, 0x00445566});
    pic.LoadFromFile(dir.Write("alpha.bmp", Bmp(d)));
    EXPECT_EQ(pic.BitsPerPixel(), 32);
    EXPECT_EQ(static_cast<TRasterGraphic*>(pic.Graphic())->PixelFormat(), TPixelFormat::pf32bit);
    s.canvas.Draw(0, 2, pic.Graphic());
    EXPECT_EQ(s.At(0, 2), 0x80112233u);
    EXPECT_EQ(s.At(1, 2), 0x00445566u);
}

TEST(PictureTest, PngJpegAndIcon) {
    TempDir dir;
    const std::uint32_t px[2] = {0x40FF0000, 0xFF00FF00};
    const Bytes png =
        tarnwick::platform::EncodePng({reinterpret_cast<const std::uint8_t*>(px), 2, 1, false});
    TPicture pic;
    pic.LoadFromFile(dir.Write("a.png", png));
    ASSERT_NE(dynamic_cast<TPngImage*>(pic.Graphic()), nullptr);
    EXPECT_EQ(pic.BitsPerPixel(), 32);  // PNG with alpha counts as a 32-bit picture
    Surface s(2, 1);
    s.canvas.Draw(0, 0, pic.Graphic());
    EXPECT_EQ(s.At(0, 0), 0x40FF0000u);
    EXPECT_EQ(s.At(1, 0), 0xFF00FF00u);

    pic.LoadFromFile(dir.Write("b.JPEG", Jpeg(8, 8, std::vector<std::uint32_t>(64, 0x2080C0))));
    ASSERT_NE(dynamic_cast<TJPEGImage*>(pic.Graphic()), nullptr);
    EXPECT_EQ(pic.BitsPerPixel(), 24);
    Surface j(8, 8);
    j.canvas.Draw(0, 0, pic.Graphic());
    const std::uint32_t got = j.At(4, 4);
    EXPECT_EQ(got >> 24, 0u);
    EXPECT_NEAR(static_cast<int>((got >> 16) & 0xFF), 0x20, 8);
    EXPECT_NEAR(static_cast<int>((got >> 8) & 0xFF), 0x80, 8);
    EXPECT_NEAR(static_cast<int>(got & 0xFF), 0xC0, 8);

    PictureRecipe icon;
    icon.width = 1;
    icon.height = 2;
    icon.pixels = Rows24(1, 1, {0x0000FF});
    icon.pixels.insert(icon.pixels.end(), {0x80, 0, 0, 0});  // transparent
    pic.LoadFromFile(dir.Write("c.ico", Ico({{1, 1, 24, Dib(icon)}})));
    ASSERT_NE(dynamic_cast<TIcon*>(pic.Graphic()), nullptr);
    EXPECT_EQ(pic.BitsPerPixel(), 32);
    s.canvas.Draw(0, 0, pic.Graphic());
    EXPECT_EQ(s.At(0, 0), 0x000000FFu);
}

TEST(PictureTest, FailuresKeepThePicture) {
    TempDir dir;
    TPicture pic;
    pic.LoadFromFile(dir.Write("keep.bmp", Bmp24(3, 1, {1, 2, 3})));
    TGraphic* kept = pic.Graphic();
    int changes = 0;
    pic.SetOnChange([&](TObject*) { ++changes; });

    EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { pic.LoadFromFile(dir.File("anim.GIF")); }),
              "Unknown picture file extension (.GIF)");
    EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { pic.LoadFromFile(dir.File("noext")); }),
              "Unknown picture file extension (.)");
    const std::string missing = dir.File("missing.png");
    EXPECT_EQ(ErrorOf<EFOpenError>([&] { pic.LoadFromFile(missing); }),
              "Cannot open file \"" + missing + "\". The system cannot find the file specified.");
    Bytes cut = Bmp24(4, 4, std::vector<std::uint32_t>(16, 0));
    cut.resize(cut.size() - 20);
    EXPECT_EQ(ErrorOf<EInvalidGraphic>([&] { pic.LoadFromFile(dir.Write("cut.bmp", cut)); }),
              "Invalid BMP picture: the pixel data is truncated");
    // Right extension, wrong content.
    EXPECT_EQ(ErrorOf<EInvalidGraphic>(
                  [&] { pic.LoadFromFile(dir.Write("fake.png", Bmp24(1, 1, {0}))); }),
              "Not a PNG picture: the file does not begin with its signature");

    EXPECT_EQ(pic.Graphic(), kept);
    EXPECT_EQ(pic.Width(), 3);
    EXPECT_EQ(changes, 0);
}

TEST(PictureTest, StretchCopyAndStreams) {
    TBitmap bmp;
    bmp.SetPixels(2, 1, {0, 0, 255, 255, 255, 0, 0, 255}, false, 24);  // red, blue
    Surface s(4, 2);
    s.canvas.StretchDraw(Rect(0, 0, 4, 2), &bmp);
    for (int y = 0; y < 2; ++y) {
        EXPECT_EQ(s.At(0, y), 0x00FF0000u);
        EXPECT_EQ(s.At(1, y), 0x00FF0000u);
        EXPECT_EQ(s.At(2, y), 0x000000FFu);
        EXPECT_EQ(s.At(3, y), 0x000000FFu);
    }
    EXPECT_THROW(bmp.SetPixels(3, 3, {1, 2, 3}, false, 24), EInvalidGraphic);
    EXPECT_EQ(bmp.Width(), 2);

    // The picture holds a copy of what it is given.
    TPicture pic;
    pic.SetGraphic(&bmp);
    ASSERT_NE(pic.Graphic(), &bmp);
    EXPECT_NE(dynamic_cast<TBitmap*>(pic.Graphic()), nullptr);
    EXPECT_EQ(static_cast<TRasterGraphic*>(pic.Graphic())->PixelAt(1, 0), 0xFF0000FFu);
    TPicture other;
    other.Assign(&pic);
    EXPECT_EQ(other.Width(), 2);
    other.Assign(nullptr);
    EXPECT_EQ(other.Graphic(), nullptr);
    EXPECT_EQ(other.BitsPerPixel(), 0);

    const Bytes file = Bmp24(1, 1, {0xABCDEF});
    TMemoryStream stream(file.data(), file.size());
    TBitmap loaded;
    loaded.LoadFromStream(&stream);
    EXPECT_EQ(loaded.PixelAt(0, 0), 0xFFABCDEFu);
    TMemoryStream junk("xx", 2);
    EXPECT_THROW(loaded.LoadFromStream(&junk), EInvalidGraphic);
    EXPECT_EQ(loaded.PixelAt(0, 0), 0xFFABCDEFu);
}

TEST(PictureTest, DrawingOntoAnEightBitSurfacePicksNearestEntries) {
    // A grey ramp section, as the palette path uses.
    std::vector<std::uint8_t> mem(40 + 256 * 4);
    BITMAPINFOHEADER h{40, 3, 1, 1, 8, BI_RGB, 0, 0, 0, 235, 0};
    std::memcpy(mem.data(), &h, 40);
    for (int i = 0; i < 235; ++i) {
        const auto v = static_cast<std::uint8_t>(255 - i);
        std::memset(mem.data() + 40 + 4 * i, v, 3);
    }
    HDC dc = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    HBITMAP bmp = CreateDIBSection(dc, reinterpret_cast<BITMAPINFO*>(mem.data()), DIB_RGB_COLORS,
                                   &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, bmp);
    TCanvas canvas;
    canvas.SetHandle(dc);
    TBitmap grey;
    // Grey 100 is entry 155; pure red is nearest to grey 85 (entry 170); black to 21 (234).
    grey.SetPixels(3, 1, {100, 100, 100, 255, 0, 0, 255, 255, 0, 0, 0, 255}, false, 24);
    canvas.Draw(0, 0, &grey);
    const auto* px = static_cast<const std::uint8_t*>(bits);
    EXPECT_EQ(px[0], 155);
    EXPECT_EQ(px[1], 170);
    EXPECT_EQ(px[2], 234);
    canvas.SetHandle(nullptr);
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
}
