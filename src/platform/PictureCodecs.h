#pragma once
// Internal to the picture-file decoders: the per-format entry points and the
// helpers they share. Not part of the platform interface.

#include <cstddef>
#include <cstdint>
#include <span>

#include "platform/PictureFile.h"

namespace tarnwick::platform::detail {

Picture DecodeBmp(std::span<const std::uint8_t> data);
Picture DecodeJpeg(std::span<const std::uint8_t> data);
Picture DecodePng(std::span<const std::uint8_t> data);
Picture DecodeIco(std::span<const std::uint8_t> data);

// A device-independent bitmap as stored after a file header or inside an
// icon: header, optional colour masks and palette, pixels. For icons the
// header's height counts the colour rows and the AND mask rows together.
struct DibSource {
    std::span<const std::uint8_t> data;  // starts at the header
    // Offset of the pixel rows from the header's start; 0 when they follow the
    // palette directly (icons).
    std::size_t pixelOffset = 0;
    bool icon = false;
};
Picture DecodeDib(const DibSource& source);

// Size and depth of a DIB header for choosing among an icon's entries.
struct DibInfo {
    int width = 0;
    int height = 0;
    int bitsPerPixel = 0;
};
bool PeekDibInfo(std::span<const std::uint8_t> data, bool icon, DibInfo& info);
bool PeekPngSize(std::span<const std::uint8_t> data, int& width, int& height);

// Throws PictureError when width x height is not a picture we accept.
void CheckPictureSize(const char* format, std::int64_t width, std::int64_t height);

inline std::uint16_t ReadU16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t ReadU32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
inline std::uint32_t ReadU32BE(const std::uint8_t* p) {
    return (static_cast<std::uint32_t>(p[0]) << 24) | (static_cast<std::uint32_t>(p[1]) << 16) |
           (static_cast<std::uint32_t>(p[2]) << 8) | static_cast<std::uint32_t>(p[3]);
}

inline constexpr std::uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

}  // namespace tarnwick::platform::detail
