// JPEG and PNG through the Windows Imaging Component: what the decoders give
// for files the system's own encoders wrote, and how they refuse damage.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "platform/PictureFile.h"
#include "support/PictureBuilders.h"

using namespace tarnwick::platform;

namespace {

TEST(WicPictures, PngKeepsEveryPixelAndItsAlpha) {
    // Blue, green, red, alpha: opaque, half transparent, fully transparent.
    const std::vector<std::uint8_t> top = {10, 20, 30, 255, 40, 50, 60, 128, 0, 0, 0, 0};
    const std::vector<std::uint8_t> bottom = {200, 100, 50, 255, 1, 2, 3, 255, 9, 8, 7, 64};
    std::vector<std::uint8_t> rows = top;
    rows.insert(rows.end(), bottom.begin(), bottom.end());
    for (bool bottomUp : {false, true}) {
        SCOPED_TRACE(bottomUp ? "bottom-up" : "top-down");
        std::vector<std::uint8_t> memory = rows;
        if (bottomUp) {
            memory.assign(bottom.begin(), bottom.end());
            memory.insert(memory.end(), top.begin(), top.end());
        }
        const std::vector<std::uint8_t> png = EncodePng({memory.data(), 3, 2, bottomUp});
        ASSERT_EQ(SniffPictureFormat(png), PictureFormat::Png);
        const Picture pic = DecodePicture(PictureFormat::Png, png);
        EXPECT_EQ(pic.width, 3);
        EXPECT_EQ(pic.height, 2);
        EXPECT_TRUE(pic.hasAlpha);
        EXPECT_EQ(pic.sourceBitsPerPixel, 32);
        EXPECT_EQ(pic.pixels, rows);
    }
}

TEST(WicPictures, JpegGivesOpaquePixelsCloseToTheColourWritten) {
    using tarnwick::test::Jpeg;
    const Picture colour =
        DecodePicture(PictureFormat::Jpeg, Jpeg(16, 8, std::vector<std::uint32_t>(128, 0x2080C0)));
    EXPECT_EQ(colour.width, 16);
    EXPECT_EQ(colour.height, 8);
    EXPECT_FALSE(colour.hasAlpha);
    EXPECT_EQ(colour.sourceBitsPerPixel, 24);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) {
            const std::uint32_t p = colour.Pixel(x, y);
            EXPECT_EQ(p >> 24, 0xFFu);
            EXPECT_LE(std::abs(static_cast<int>((p >> 16) & 0xFF) - 0x20), 3);
            EXPECT_LE(std::abs(static_cast<int>((p >> 8) & 0xFF) - 0x80), 3);
            EXPECT_LE(std::abs(static_cast<int>(p & 0xFF) - 0xC0), 3);
        }
    }
    const Picture grey =
        DecodePicture(PictureFormat::Jpeg, Jpeg(8, 8, std::vector<std::uint32_t>(64, 0x70), 1));
    EXPECT_EQ(grey.sourceBitsPerPixel, 8);
    EXPECT_LE(std::abs(static_cast<int>(grey.Pixel(3, 3) & 0xFF) - 0x70), 2);
}

TEST(WicPictures, DamagedFilesAreRefusedWithTheFormatsName) {
    std::vector<std::uint8_t> pixels(4 * 4 * 4, 0x80);
    std::vector<std::uint8_t> png = EncodePng({pixels.data(), 4, 4, false});
    png.resize(png.size() / 2);
    std::vector<std::uint8_t> jpeg = tarnwick::test::Jpeg(4, 4, std::vector<std::uint32_t>(16));
    jpeg.resize(20);
    const std::pair<PictureFormat, std::vector<std::uint8_t>> cases[] = {
        {PictureFormat::Png, png}, {PictureFormat::Jpeg, jpeg}};
    for (const auto& [format, bytes] : cases) {
        SCOPED_TRACE(PictureFormatName(format));
        try {
            DecodePicture(format, bytes);
            ADD_FAILURE() << "decoded without complaint";
        } catch (const PictureError& e) {
            EXPECT_EQ(std::string(e.what()).rfind(
                          std::string("Invalid ") + PictureFormatName(format) + " picture", 0),
                      0u)
                << e.what();
        }
    }
    EXPECT_THROW(EncodePng({pixels.data(), 0, 4, false}), PictureError);
}

}  // namespace
