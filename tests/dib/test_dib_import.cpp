// Importing pictures and masks from real files (bitmaps written here byte by
// byte, so that the test owns its exact pixels).

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dib/cDIB.h"

namespace {

std::string TempPath(const std::string& name) {
    const char* dir = std::getenv("TARNWICK_BUILD_DIR");
    return std::string(dir ? dir : "/tmp") + "/" + name;
}

void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(std::uint8_t(x >> (8 * i)));
}

// An uncompressed bottom-up BMP; `pixels` are 0xAARRGGBB, top row first.
std::string WriteBmp(const std::string& name, int w, int h, int bpp,
                     const std::vector<std::uint32_t>& pixels) {
    const int rowBytes = ((w * bpp / 8) + 3) & ~3;
    std::vector<std::uint8_t> f = {'B', 'M'};
    Put32(f, 54 + rowBytes * h);
    Put32(f, 0);
    Put32(f, 54);
    Put32(f, 40);
    Put32(f, std::uint32_t(w));
    Put32(f, std::uint32_t(h));
    f.push_back(1), f.push_back(0), f.push_back(std::uint8_t(bpp)), f.push_back(0);
    for (int i = 0; i < 6; ++i) Put32(f, 0);
    for (int y = h - 1; y >= 0; --y) {
        std::size_t start = f.size();
        for (int x = 0; x < w; ++x) {
            const std::uint32_t p = pixels[std::size_t(y * w + x)];
            f.push_back(std::uint8_t(p)), f.push_back(std::uint8_t(p >> 8)),
                f.push_back(std::uint8_t(p >> 16));
            if (bpp == 32) f.push_back(std::uint8_t(p >> 24));
        }
        while (f.size() - start < std::size_t(rowBytes)) f.push_back(0);
    }
    const std::string path = TempPath(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    EXPECT_NE(file, nullptr);
    std::fwrite(f.data(), 1, f.size(), file);
    std::fclose(file);
    return path;
}

std::uint32_t At(TAbstractSuperDIB& d, int x, int y) { return PixelWord(d.ScanLine(y)[x]); }

}  // namespace

TEST(DIBImport, TwentyFourBitPictureGetsOpaqueMask) {
    const std::string path = WriteBmp("dib_import24.bmp", 3, 2, 24,
                                      {0x112233, 0x445566, 0x778899, 0xAABBCC, 0xDDEEFF, 0x010203});
    TMemoryDIB d;
    int changes = 0;
    d.SetOnChange([&](TObject*) { ++changes; });
    d.ImportPicture(path);
    ASSERT_EQ(d.Width(), 3);
    ASSERT_EQ(d.Height(), 2);
    EXPECT_EQ(At(d, 0, 0), 0xFF112233u);
    EXPECT_EQ(At(d, 2, 0), 0xFF778899u);
    EXPECT_EQ(At(d, 1, 1), 0xFFDDEEFFu);
    EXPECT_FALSE(d.Masked());  // left as it was
    EXPECT_EQ(d.ImageFilename(), path);
    EXPECT_GE(changes, 1);
}

TEST(DIBImport, ThirtyTwoBitPictureKeepsItsMask) {
    const std::string path =
        WriteBmp("dib_import32.bmp", 2, 2, 32, {0x80112233, 0x00445566, 0xFF778899, 0x10AABBCC});
    TMemoryDIB d;
    d.ImportPicture(path);
    EXPECT_TRUE(d.Masked());
    EXPECT_EQ(At(d, 0, 0), 0x80112233u);
    EXPECT_EQ(At(d, 1, 0), 0x00445566u);
    EXPECT_EQ(At(d, 1, 1), 0x10AABBCCu);
}

TEST(DIBImport, MaskFromTheBlueOfAStretchedPicture) {
    TMemoryDIB d;
    try {
        d.ImportMask("whatever.bmp");
        FAIL() << "a mask was imported into a bitmap without a size";
    } catch (const EDIBError& e) {
        EXPECT_STREQ(e.what(), "You cannot import a mask until you have an image.");
    }
    d.SetSize(4, 2);
    d.Fill(TColor(0x123456));
    // A 2 x 1 mask picture stretched to 4 x 2: left half blue 0x40, right 0xC0.
    const std::string path = WriteBmp("dib_mask.bmp", 2, 1, 24, {0x000040, 0xFFFFC0});
    d.ImportMask(path);
    EXPECT_EQ(At(d, 0, 0), 0x40563412u);
    EXPECT_EQ(At(d, 1, 1), 0x40563412u);
    EXPECT_EQ(At(d, 2, 0), 0xC0563412u);
    EXPECT_EQ(At(d, 3, 1), 0xC0563412u);
    EXPECT_EQ(d.MaskFilename(), path);
    EXPECT_EQ(d.ImageFilename(), "");
}

TEST(DIBImport, MissingFileErrorPassesThrough) {
    TMemoryDIB d(2, 2);
    EXPECT_THROW(d.ImportPicture(TempPath("no_such_picture.bmp")), Exception);
    EXPECT_EQ(d.ImageFilename(), "");
    EXPECT_EQ(d.Width(), 2);
}
