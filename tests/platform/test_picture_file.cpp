#include <gtest/gtest.h>

#include <png.h>
#include <zlib.h>

#include <cstring>

#include "platform/PictureFile.h"
#include "support/PictureBuilders.h"

using namespace tarnwick::platform;
using namespace tarnwick::test;

namespace {

Picture Decode(PictureFormat f, const Bytes& b) { return DecodePicture(f, b); }

// The error text of a decode that must fail.
std::string DecodeError(PictureFormat f, const Bytes& b) {
    try {
        Decode(f, b);
    } catch (const PictureError& e) {
        return e.what();
    }
    return "(no error)";
}

void ExpectPixels(const Picture& p, int w, int h, const std::vector<std::uint32_t>& argb) {
    ASSERT_EQ(p.width, w);
    ASSERT_EQ(p.height, h);
    ASSERT_EQ(p.pixels.size(), static_cast<std::size_t>(w * h * 4));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            EXPECT_EQ(p.Pixel(x, y), argb[y * w + x]) << "at " << x << "," << y;
        }
    }
}

// A PNG written by libpng itself, to read colour types our writer never makes.
Bytes PngOf(int w, int h, png_uint_32 format, const std::vector<std::uint8_t>& pixels,
            const std::vector<std::uint8_t>* colormap = nullptr, int colors = 0) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = w;
    image.height = h;
    image.format = format;
    image.colormap_entries = colors;
    png_alloc_size_t size = 0;
    const void* cmap = colormap ? colormap->data() : nullptr;
    EXPECT_TRUE(png_image_write_to_memory(&image, nullptr, &size, 0, pixels.data(), 0, cmap));
    Bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&image, out.data(), &size, 0, pixels.data(), 0, cmap));
    out.resize(size);
    return out;
}

// A 16-bit RGB PNG without gamma information, through libpng's full interface.
Bytes Png16(const std::vector<std::uint8_t>& row, int width) {
    Bytes out;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    png_set_write_fn(
        p, &out,
        [](png_structp s, png_bytep d, png_size_t n) {
            auto* v = static_cast<Bytes*>(png_get_io_ptr(s));
            v->insert(v->end(), d, d + n);
        },
        [](png_structp) {});
    png_set_IHDR(p, info, width, 1, 16, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(p, info);
    std::vector<std::uint8_t> copy = row;
    png_write_row(p, copy.data());
    png_write_end(p, info);
    png_destroy_write_struct(&p, &info);
    return out;
}

}  // namespace

TEST(PictureFormatTest, ExtensionsAndSignatures) {
    EXPECT_EQ(PictureFormatFromFileName("a/b/Knob.BMP"), PictureFormat::Bmp);
    EXPECT_EQ(PictureFormatFromFileName("x.dib"), PictureFormat::Bmp);
    for (const char* n : {"p.jpg", "p.JPEG", "p.jpe", "p.Jfif"}) {
        EXPECT_EQ(PictureFormatFromFileName(n), PictureFormat::Jpeg) << n;
    }
    EXPECT_EQ(PictureFormatFromFileName("p.PnG"), PictureFormat::Png);
    EXPECT_EQ(PictureFormatFromFileName("p.ico"), PictureFormat::Ico);
    EXPECT_EQ(PictureFormatFromFileName("p.gif"), std::nullopt);
    EXPECT_EQ(PictureFormatFromFileName("dir.png/noext"), std::nullopt);
    EXPECT_EQ(FileExtension("dir.png/noext"), "");
    EXPECT_EQ(FileExtension("a.tar.XYZ"), "XYZ");

    EXPECT_EQ(SniffPictureFormat(Bytes{'B', 'M', 0}), PictureFormat::Bmp);
    EXPECT_EQ(SniffPictureFormat(Bytes{0xFF, 0xD8, 0xFF, 0xE0}), PictureFormat::Jpeg);
    EXPECT_EQ(SniffPictureFormat(Bytes{0, 0, 1, 0, 1, 0}), PictureFormat::Ico);
    EXPECT_EQ(SniffPictureFormat(Bytes{'G', 'I', 'F', '8'}), std::nullopt);
    EXPECT_EQ(SniffPictureFormat(Bytes{}), std::nullopt);

    // The signature must match the format asked for.
    EXPECT_NE(DecodeError(PictureFormat::Png, Bytes{'B', 'M', 0, 0}).find("Not a PNG picture"),
              std::string::npos);
}

TEST(BmpTest, TwentyFourBitBottomUpAndTopDown) {
    // 3 x 2: rows need one byte of padding each.
    const std::vector<std::uint32_t> rgb = {0xFF0000, 0x00FF00, 0x0000FF,
                                            0x123456, 0xFFFFFF, 0x000000};
    const std::vector<std::uint32_t> expect = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF,
                                               0xFF123456, 0xFFFFFFFF, 0xFF000000};
    PictureRecipe s;
    s.width = 3;
    s.height = 2;
    s.pixels = Rows24(3, 2, rgb);
    ASSERT_EQ(s.pixels.size(), 24u);
    Picture p = Decode(PictureFormat::Bmp, Bmp(s));
    ExpectPixels(p, 3, 2, expect);
    EXPECT_FALSE(p.hasAlpha);
    EXPECT_EQ(p.sourceBitsPerPixel, 24);

    s.height = -2;
    s.pixels = Rows24(3, 2, rgb, true);
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(s)), 3, 2, expect);
}

TEST(BmpTest, ThirtyTwoBitKeepsFourthByte) {
    const std::vector<std::uint32_t> argb = {0x00112233, 0x80FFFFFF, 0xFF010203, 0x7F000000};
    PictureRecipe s;
    s.width = 2;
    s.height = 2;
    s.bpp = 32;
    s.pixels = Rows32(2, 2, argb);
    Picture p = Decode(PictureFormat::Bmp, Bmp(s));
    ExpectPixels(p, 2, 2, argb);
    EXPECT_TRUE(p.hasAlpha);

    // A version 5 header with masks in unusual places, alpha in the low byte.
    s.headerSize = 124;
    s.compression = 3;
    s.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
    s.pixels.clear();
    Put32(s.pixels, 0x11223344);  // r 11 g 22 b 33 a 44: bottom-left
    Put32(s.pixels, 0xAABBCCDD);
    Put32(s.pixels, 0x01020304);  // top row
    Put32(s.pixels, 0x05060708);
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(s)), 2, 2,
                 {0x04010203, 0x08050607, 0x44112233, 0xDDAABBCC});
}

TEST(BmpTest, PaletteDepths) {
    // 8 bits, a three-colour palette; index 7 lies beyond it and reads black.
    PictureRecipe s;
    s.width = 3;
    s.height = 1;
    s.bpp = 8;
    s.colorsUsed = 3;
    s.palette = {0x000000, 0xFF8000, 0x0000FF};
    s.pixels = {1, 2, 7, 0};
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(s)), 3, 1, {0xFFFF8000, 0xFF0000FF, 0xFF000000});

    // 4 bits, two rows of three: high nibble first.
    s.bpp = 4;
    s.height = 2;
    s.colorsUsed = 0;
    s.palette.assign(16, 0);
    s.palette[1] = 0x111111;
    s.palette[2] = 0x222222;
    s.palette[15] = 0xFFFFFF;
    s.pixels = {0x12, 0xF0, 0, 0,   // bottom row: 1 2 15
                0x21, 0x10, 0, 0};  // top row: 2 1 1
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(s)), 3, 2,
                 {0xFF222222, 0xFF111111, 0xFF111111, 0xFF111111, 0xFF222222, 0xFFFFFFFF});

    // 1 bit, ten pixels wide so the row crosses a byte.
    s.bpp = 1;
    s.width = 10;
    s.height = 1;
    s.palette = {0x000000, 0xFFFFFF};
    s.pixels = {0xA5, 0x40, 0, 0};  // 1010 0101 01
    Picture p = Decode(PictureFormat::Bmp, Bmp(s));
    const std::vector<int> bits = {1, 0, 1, 0, 0, 1, 0, 1, 0, 1};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(p.Pixel(x, 0), bits[x] ? 0xFFFFFFFFu : 0xFF000000u) << x;
    EXPECT_FALSE(p.hasAlpha);
    EXPECT_EQ(p.sourceBitsPerPixel, 1);

    // The old 12-byte header with three-byte palette entries.
    PictureRecipe c;
    c.headerSize = 12;
    c.width = 2;
    c.height = 1;
    c.bpp = 8;
    c.palette.assign(256, 0);
    c.palette[5] = 0x336699;
    c.pixels = {5, 0, 0, 0};
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(c)), 2, 1, {0xFF336699, 0xFF000000});
}

TEST(BmpTest, SixteenBitFields) {
    PictureRecipe s;
    s.width = 2;
    s.height = 1;
    s.bpp = 16;
    // Default 5-5-5: full red, then a mid grey (16 of 31 each).
    s.pixels = {0x00, 0x7C, 0x10, 0x42};
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(s)), 2, 1, {0xFFFF0000, 0xFF848484});
    // 5-6-5 through the masks after a 40-byte header: full green, then blue 1 of 31.
    s.compression = 3;
    s.masks = {0xF800, 0x07E0, 0x001F};
    s.pixels = {0xE0, 0x07, 0x01, 0x00};
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(s)), 2, 1, {0xFF00FF00, 0xFF000008});
}

TEST(BmpTest, RunLengthEncodings) {
    PictureRecipe s;
    s.width = 6;
    s.height = 3;
    s.bpp = 8;
    s.compression = 1;
    s.palette = {0x000000, 0x0000FF, 0x00FF00, 0xFF0000};
    s.colorsUsed = 4;
    // Bottom row: three of colour 1, the literal 2 3 3 (padded to 16 bits), end
    // of line. Then a delta two right and one up skips the middle row, two of
    // colour 3 on the top row, end of picture.
    s.pixels = {3, 1, 0, 3, 2, 3, 3, 0, 0, 0, 0, 2, 2, 1, 2, 3, 0, 1};
    const std::uint32_t r = 0xFF0000FF, g = 0xFF00FF00, b = 0xFFFF0000;
    // Skipped pixels stay zero: black and fully transparent.
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(s)), 6, 3,
                 {0, 0, b, b, 0, 0, 0, 0, 0, 0, 0, 0, r, r, r, g, b, b});

    // RLE4: a run alternates its two nibbles; a literal of 3 nibbles takes two
    // bytes. Runs longer than the row are cut at its end.
    s.bpp = 4;
    s.compression = 2;
    s.height = 2;
    s.pixels = {9, 0x12, 0, 0, 0, 3, 0x32, 0x10, 2, 0x33, 0, 1};
    ExpectPixels(Decode(PictureFormat::Bmp, Bmp(s)), 6, 2, {b, g, r, b, b, 0, r, g, r, g, r, g});

    // Data that ends before the picture does is refused.
    s.pixels = {3, 0x11};
    EXPECT_NE(DecodeError(PictureFormat::Bmp, Bmp(s)).find("end too early"), std::string::npos);
    // A literal longer than the data.
    s.pixels = {0, 9, 0x11};
    EXPECT_NE(DecodeError(PictureFormat::Bmp, Bmp(s)).find("truncated"), std::string::npos);
}

TEST(BmpTest, DamagedFilesAreRefused) {
    PictureRecipe good;
    good.width = 4;
    good.height = 4;
    good.pixels = Rows24(4, 4, std::vector<std::uint32_t>(16, 0x808080));
    const Bytes file = Bmp(good);
    ASSERT_NO_THROW(Decode(PictureFormat::Bmp, file));

    struct Case {
        const char* what;
        Bytes bytes;
        const char* message;
    };
    std::vector<Case> cases;
    cases.push_back({"short file", Bytes(file.begin(), file.begin() + 20), "too short"});
    cases.push_back({"missing last row", Bytes(file.begin(), file.end() - 12), "truncated"});
    Bytes b = file;
    b[14] = 77;  // header size
    cases.push_back({"header size", b, "header size 77"});
    b = file;
    b[14 + 14] = 7;  // depth
    cases.push_back({"depth", b, "7 bits per pixel"});
    b = file;
    b[14 + 4] = 0;  // width 0
    cases.push_back({"zero width", b, "width 0"});
    b = file;
    b[14 + 16] = 4;  // embedded JPEG
    cases.push_back({"compression", b, "compression 4"});
    b = file;
    b[10] = 0xFF;
    b[11] = 0xFF;  // pixel offset far beyond the file
    cases.push_back({"pixel offset", b, "outside the file"});
    PictureRecipe huge = good;
    huge.width = 30000;
    huge.height = 30000;  // within each limit, beyond the pixel budget
    cases.push_back({"too many pixels", Bmp(huge), "too large"});
    huge.width = 40000;
    huge.height = 1;
    cases.push_back({"too wide", Bmp(huge), "out of range"});
    PictureRecipe pal = good;
    pal.bpp = 8;
    pal.pixels.clear();  // no palette and no pixels at all
    cases.push_back({"palette missing", Bmp(pal), "palette is missing"});
    PictureRecipe rle = good;
    rle.bpp = 8;
    rle.compression = 1;
    rle.height = -4;
    rle.palette = {0};
    cases.push_back({"top-down RLE", Bmp(rle), "top-down"});

    for (const Case& c : cases) {
        const std::string err = DecodeError(PictureFormat::Bmp, c.bytes);
        EXPECT_NE(err.find("Invalid BMP picture"), std::string::npos) << c.what << ": " << err;
        EXPECT_NE(err.find(c.message), std::string::npos) << c.what << ": " << err;
    }
}

TEST(PngTest, WriteAndReadBack) {
    // Bottom-up pixels as a bitmap holds them; the PNG shows them top-down.
    const std::uint32_t bottomUp[6] = {0xFF0000FF, 0x80FF0000, 0x00000000,
                                       0xFF00FF00, 0x01020304, 0xFFFFFFFF};
    ImageView view{reinterpret_cast<const std::uint8_t*>(bottomUp), 3, 2, true};
    const Bytes png = EncodePng(view);
    EXPECT_EQ(SniffPictureFormat(png), PictureFormat::Png);
    Picture p = Decode(PictureFormat::Png, png);
    EXPECT_TRUE(p.hasAlpha);
    EXPECT_EQ(p.sourceBitsPerPixel, 32);
    ExpectPixels(p, 3, 2, {0xFF00FF00, 0x01020304, 0xFFFFFFFF, 0xFF0000FF, 0x80FF0000, 0x00000000});

    view.bottomUp = false;
    ExpectPixels(Decode(PictureFormat::Png, EncodePng(view)), 3, 2,
                 {0xFF0000FF, 0x80FF0000, 0x00000000, 0xFF00FF00, 0x01020304, 0xFFFFFFFF});

    TempDir dir;
    WritePngFile(dir.File("snap.png"), view);
    EXPECT_EQ(LoadPictureFile(PictureFormat::Png, dir.File("snap.png")).Pixel(1, 0), 0x80FF0000u);
    EXPECT_THROW(WritePngFile(dir.File("no/such/folder.png"), view), PictureFileError);
    view.width = 0;
    EXPECT_THROW(EncodePng(view), PictureError);
}

TEST(PngTest, ColourTypesAndTransparency) {
    // Plain RGB: no alpha, every alpha byte 255.
    Picture rgb =
        Decode(PictureFormat::Png, PngOf(2, 1, PNG_FORMAT_RGB, {10, 20, 30, 200, 150, 100}));
    EXPECT_FALSE(rgb.hasAlpha);
    EXPECT_EQ(rgb.sourceBitsPerPixel, 24);
    ExpectPixels(rgb, 2, 1, {0xFF0A141E, 0xFFC89664});

    // Grey.
    ExpectPixels(Decode(PictureFormat::Png, PngOf(1, 1, PNG_FORMAT_GRAY, {77})), 1, 1,
                 {0xFF4D4D4D});

    // 16 bits per channel keep their high byte: no gamma conversion.
    ExpectPixels(Decode(PictureFormat::Png, Png16({0x80, 0x80, 0x40, 0x40, 0x20, 0x20}, 1)), 1, 1,
                 {0xFF804020});

    // A palette with a transparent entry counts as alpha.
    const std::vector<std::uint8_t> cmap = {255, 0, 0, 255, 0, 0, 255, 0};
    Picture pal =
        Decode(PictureFormat::Png, PngOf(2, 1, PNG_FORMAT_RGBA_COLORMAP, {0, 1}, &cmap, 2));
    EXPECT_TRUE(pal.hasAlpha);
    EXPECT_EQ(pal.Pixel(0, 0), 0xFFFF0000u);
    EXPECT_EQ(pal.Pixel(1, 0) >> 24, 0u);
}

TEST(PngTest, DamagedFilesAreRefused) {
    const Bytes good = PngOf(4, 4, PNG_FORMAT_RGB, std::vector<std::uint8_t>(48, 99));
    Bytes crc = good;
    crc[29] ^= 0xFF;  // last byte of the header chunk's CRC
    EXPECT_NE(DecodeError(PictureFormat::Png, crc).find("Invalid PNG picture"), std::string::npos);
    const Bytes cut(good.begin(), good.begin() + good.size() / 2);
    EXPECT_NE(DecodeError(PictureFormat::Png, cut).find("Invalid PNG picture"), std::string::npos);
    Bytes wide = good;  // 100000 x 4: beyond our limits (CRC fixed below)
    wide[16] = 0;
    wide[17] = 1;
    wide[18] = 0x86;
    wide[19] = 0xA0;
    const std::uint32_t c = crc32(0, wide.data() + 12, 17);
    wide[29] = c >> 24;
    wide[30] = (c >> 16) & 0xFF;
    wide[31] = (c >> 8) & 0xFF;
    wide[32] = c & 0xFF;
    EXPECT_NE(DecodeError(PictureFormat::Png, wide).find("too large"), std::string::npos);
}

TEST(JpegTest, DecodesWithinTolerance) {
    // Left half red, right half blue, 16 x 16: baseline at high quality.
    std::vector<std::uint32_t> rgb(256);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) rgb[y * 16 + x] = x < 8 ? 0xE01010 : 0x1010E0;
    Picture p = Decode(PictureFormat::Jpeg, Jpeg(16, 16, rgb));
    ASSERT_EQ(p.width, 16);
    ASSERT_EQ(p.height, 16);
    EXPECT_FALSE(p.hasAlpha);
    EXPECT_EQ(p.sourceBitsPerPixel, 24);
    auto near = [](std::uint32_t got, std::uint32_t want) {
        for (int sh = 0; sh < 24; sh += 8) {
            const int d =
                static_cast<int>((got >> sh) & 0xFF) - static_cast<int>((want >> sh) & 0xFF);
            if (d < -12 || d > 12) return false;
        }
        return (got >> 24) == 0xFF;
    };
    for (int y : {0, 7, 15}) {
        EXPECT_PRED2(near, p.Pixel(2, y), 0xFFE01010u) << y;
        EXPECT_PRED2(near, p.Pixel(13, y), 0xFF1010E0u) << y;
    }

    Picture grey = Decode(PictureFormat::Jpeg, Jpeg(8, 8, std::vector<std::uint32_t>(64, 0x60), 1));
    EXPECT_EQ(grey.sourceBitsPerPixel, 8);
    EXPECT_PRED2(near, grey.Pixel(4, 4), 0xFF606060u);
}

TEST(JpegTest, DamagedFilesAreRefused) {
    const Bytes good = Jpeg(8, 8, std::vector<std::uint32_t>(64, 0x336699));
    EXPECT_NE(DecodeError(PictureFormat::Jpeg, Bytes(good.begin(), good.begin() + 20))
                  .find("Invalid JPEG picture"),
              std::string::npos);
    Bytes junk = {0xFF, 0xD8, 0xFF, 0x00, 1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_NE(DecodeError(PictureFormat::Jpeg, junk).find("Invalid JPEG picture"),
              std::string::npos);
}

TEST(IcoTest, PicksLargestDeepestAndAppliesMask) {
    // A 2 x 2 4-bit entry, a 4 x 2 8-bit entry and a 4 x 2 24-bit entry: the
    // last is as large as the second and deeper.
    PictureRecipe small;
    small.width = 2;
    small.height = 4;  // colour rows and mask rows
    small.bpp = 4;
    small.palette.assign(16, 0x00FF00);
    small.pixels = {0, 0, 0, 0, 0, 0, 0, 0,   // colour rows
                    0, 0, 0, 0, 0, 0, 0, 0};  // mask rows
    PictureRecipe eight = small;
    eight.width = 4;
    eight.bpp = 8;
    eight.palette.assign(256, 0x0000FF);
    eight.pixels.assign(8 + 8, 0);
    PictureRecipe deep = eight;
    deep.bpp = 24;
    deep.palette.clear();
    deep.pixels = Rows24(
        4, 2, {0x111111, 0x222222, 0x333333, 0x444444, 0x555555, 0x666666, 0x777777, 0x888888});
    // AND mask, bottom row first: bottom row's first pixel and top row's last are transparent.
    deep.pixels.insert(deep.pixels.end(), {0x80, 0, 0, 0, 0x10, 0, 0, 0});
    const Bytes ico = Ico({{2, 2, 4, Dib(small)}, {4, 2, 8, Dib(eight)}, {4, 2, 24, Dib(deep)}});
    Picture p = Decode(PictureFormat::Ico, ico);
    EXPECT_TRUE(p.hasAlpha);
    EXPECT_EQ(p.sourceBitsPerPixel, 24);
    ExpectPixels(p, 4, 2,
                 {0xFF111111, 0xFF222222, 0xFF333333, 0x00444444, 0x00555555, 0xFF666666,
                  0xFF777777, 0xFF888888});
}

TEST(IcoTest, AlphaIconsAndPngEntries) {
    // 32-bit entry with alpha of its own: the mask is ignored.
    PictureRecipe a;
    a.width = 1;
    a.height = 2;
    a.bpp = 32;
    a.pixels = Rows32(1, 1, {0x40102030});
    a.pixels.insert(a.pixels.end(), {0x80, 0, 0, 0});
    ExpectPixels(Decode(PictureFormat::Ico, Ico({{1, 1, 32, Dib(a)}})), 1, 1, {0x40102030});
    // Every alpha byte zero: the mask decides (here: opaque).
    a.pixels = Rows32(1, 1, {0x00102030});
    a.pixels.insert(a.pixels.end(), {0x00, 0, 0, 0});
    ExpectPixels(Decode(PictureFormat::Ico, Ico({{1, 1, 32, Dib(a)}})), 1, 1, {0xFF102030});

    // A PNG entry larger than the bitmap entry wins.
    const std::uint32_t px[4] = {0x7F0000FF, 0xFF00FF00, 0xFFFF0000, 0x00000000};
    const Bytes png = EncodePng({reinterpret_cast<const std::uint8_t*>(px), 2, 2, false});
    Picture p = Decode(PictureFormat::Ico, Ico({{1, 1, 32, Dib(a)}, {2, 2, 32, png}}));
    ExpectPixels(p, 2, 2, {0x7F0000FF, 0xFF00FF00, 0xFFFF0000, 0x00000000});
}

TEST(IcoTest, DamagedFilesAreRefused) {
    Bytes none = {0, 0, 1, 0, 0, 0};
    EXPECT_NE(DecodeError(PictureFormat::Ico, none).find("no image"), std::string::npos);
    Bytes dir = {0, 0, 1, 0, 2, 0, 16, 16};
    EXPECT_NE(DecodeError(PictureFormat::Ico, dir).find("directory is truncated"),
              std::string::npos);
    // An entry that points beyond the file.
    PictureRecipe a;
    a.width = 1;
    a.height = 2;
    a.pixels = {0, 0, 0, 0, 0, 0, 0, 0};
    Bytes ico = Ico({{1, 1, 24, Dib(a)}});
    ico[6 + 12] = 0xF0;
    EXPECT_NE(DecodeError(PictureFormat::Ico, ico).find("none of its 1 images"), std::string::npos);
}

TEST(PictureFileTest, MissingAndMismatchedFiles) {
    TempDir dir;
    try {
        LoadPictureFile(PictureFormat::Bmp, dir.File("absent.bmp"));
        FAIL() << "no error for a missing file";
    } catch (const PictureFileError& e) {
        EXPECT_EQ(e.FileName(), dir.File("absent.bmp"));
        EXPECT_EQ(std::string(e.what()), "Cannot open file \"" + dir.File("absent.bmp") +
                                             "\". The system cannot find the file specified.");
    }
    const std::string png = dir.Write("really.png", PngOf(1, 1, PNG_FORMAT_GRAY, {1}));
    EXPECT_THROW(LoadPictureFile(PictureFormat::Bmp, png), PictureError);
    EXPECT_EQ(LoadPictureFile(PictureFormat::Png, png).width, 1);
}
