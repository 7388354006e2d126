#pragma once
// Decodes arbitrary bytes as a picture of one format: any input must end in a
// picture of consistent size or in a PictureError, never in a crash or a leak.

#include <cstddef>
#include <cstdint>

#include "platform/PictureFile.h"

inline int FuzzPicture(tarnwick::platform::PictureFormat format, const std::uint8_t* data,
                       std::size_t size) {
    using namespace tarnwick::platform;
    try {
        const Picture pic = DecodePicture(format, {data, size});
        const std::size_t expect =
            static_cast<std::size_t>(pic.width) * static_cast<std::size_t>(pic.height) * 4;
        if (pic.width <= 0 || pic.height <= 0 || pic.pixels.size() != expect) __builtin_trap();
        // Read every pixel so that a buffer shorter than claimed would show.
        std::uint32_t sum = 0;
        for (std::uint8_t b : pic.pixels) sum += b;
        if (sum == 0xFFFFFFFFu) __builtin_trap();
    } catch (const PictureError&) {}
    return 0;
}
