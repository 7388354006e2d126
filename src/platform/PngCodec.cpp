// PNG through libpng's simplified interface, which keeps libpng's error
// handling inside the library: a failure comes back as a flag and a message.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include <png.h>

#include "platform/PictureCodecs.h"

namespace tarnwick::platform::detail {
namespace {

struct ImageGuard {
    png_image* image;
    ~ImageGuard() { png_image_free(image); }
};

}  // namespace

bool PeekPngSize(std::span<const std::uint8_t> d, int& width, int& height) {
    // Signature, then the IHDR chunk: length, "IHDR", width, height.
    if (d.size() < 24 || std::memcmp(d.data(), kPngSignature, 8) != 0 ||
        std::memcmp(d.data() + 12, "IHDR", 4) != 0) {
        return false;
    }
    const std::uint32_t w = ReadU32BE(d.data() + 16), h = ReadU32BE(d.data() + 20);
    if (w == 0 || h == 0 || w > 0x7FFFFFFFu || h > 0x7FFFFFFFu) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

Picture DecodePng(std::span<const std::uint8_t> data) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    // 16-bit files without gamma information are sRGB like 8-bit ones, as
    // image tools write them; otherwise libpng would take them as linear.
    image.flags = PNG_IMAGE_FLAG_16BIT_sRGB;
    ImageGuard guard{&image};
    if (!png_image_begin_read_from_memory(&image, data.data(), data.size())) {
        throw PictureError(std::string("Invalid PNG picture: ") + image.message);
    }
    CheckPictureSize("PNG", image.width, image.height);
    Picture pic;
    pic.width = static_cast<int>(image.width);
    pic.height = static_cast<int>(image.height);
    // The alpha flag is set for an alpha channel and for transparency chunks.
    pic.hasAlpha = (image.format & PNG_FORMAT_FLAG_ALPHA) != 0;
    pic.sourceBitsPerPixel = pic.hasAlpha ? 32 : 24;
    image.format = PNG_FORMAT_BGRA;
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
    pic.pixels.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, pic.pixels.data(), 0, nullptr)) {
        throw PictureError(std::string("Invalid PNG picture: ") + image.message);
    }
    return pic;
}

}  // namespace tarnwick::platform::detail

namespace tarnwick::platform {

std::vector<std::uint8_t> EncodePng(const ImageView& view) {
    if (!view.bits || view.width <= 0 || view.height <= 0 || view.width > kMaxPictureDimension ||
        view.height > kMaxPictureDimension) {
        throw PictureError("Cannot write a PNG picture of " + std::to_string(view.width) + " x " +
                           std::to_string(view.height) + " pixels");
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(view.width);
    image.height = static_cast<png_uint_32>(view.height);
    image.format = PNG_FORMAT_BGRA;
    // A negative stride tells libpng the rows run upwards in memory.
    const png_int_32 stride = view.bottomUp ? -4 * view.width : 4 * view.width;
    png_alloc_size_t size = 0;
    if (!png_image_write_to_memory(&image, nullptr, &size, 0, view.bits, stride, nullptr)) {
        throw PictureError(std::string("Cannot write a PNG picture: ") + image.message);
    }
    std::vector<std::uint8_t> out(size);
    if (!png_image_write_to_memory(&image, out.data(), &size, 0, view.bits, stride, nullptr)) {
        throw PictureError(std::string("Cannot write a PNG picture: ") + image.message);
    }
    out.resize(size);
    return out;
}

void WritePngFile(const std::string& fileName, const ImageView& view) {
    const std::vector<std::uint8_t> bytes = EncodePng(view);
    std::FILE* f = std::fopen(fileName.c_str(), "wb");
    if (!f) throw PictureFileError(fileName, std::strerror(errno));
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok)
        throw PictureFileError(fileName, "The file could not be written.");
}

}  // namespace tarnwick::platform
