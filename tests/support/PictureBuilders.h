#pragma once
// Builders for picture files in tests: bitmaps byte by byte from a recipe,
// JPEG through libjpeg, icons around bitmap or PNG bodies, and a temporary
// folder to write them to.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace tarnwick::test {

using Bytes = std::vector<std::uint8_t>;

inline void Put16(Bytes& b, std::uint32_t v) {
    b.push_back(v & 0xFF);
    b.push_back((v >> 8) & 0xFF);
}
inline void Put32(Bytes& b, std::uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// What a device-independent bitmap is made of, field by field, so that tests
// can write any header the format allows (and some it does not).
struct PictureRecipe {
    std::int32_t width = 1;
    std::int32_t height = 1;  // negative: top-down
    int bpp = 24;
    std::uint32_t compression = 0;
    std::uint32_t headerSize = 40;
    std::uint32_t colorsUsed = 0;
    std::vector<std::uint32_t> palette;  // 0x00RRGGBB
    std::vector<std::uint32_t> masks;    // written after a 40-byte header or inside a longer one
    Bytes pixels;                        // exactly as stored in the file
};

// The header, masks, palette and pixels of a device-independent bitmap.
Bytes Dib(const PictureRecipe& s);
// A whole .bmp file.
Bytes Bmp(const PictureRecipe& s);

// 24-bit rows from top-down 0xRRGGBB values, stored bottom-up with padding.
Bytes Rows24(int w, int h, const std::vector<std::uint32_t>& rgb, bool topDown = false);
// 32-bit rows from top-down 0xAARRGGBB values, stored bottom-up.
Bytes Rows32(int w, int h, const std::vector<std::uint32_t>& argb);

// An icon file around the given entry bodies (bitmap or PNG), each with
// the directory's width, height and depth.
struct IconEntry {
    int width, height, bpp;
    Bytes body;
};
Bytes Ico(const std::vector<IconEntry>& entries);

// A baseline JPEG of top-down 0xRRGGBB pixels (components 3) or grey bytes
// (components 1), written with libjpeg at the given quality.
Bytes Jpeg(int w, int h, const std::vector<std::uint32_t>& rgb, int components = 3,
           int quality = 95);

// A folder of its own under the system's temporary folder, removed at the end.

}  // namespace tarnwick::test
