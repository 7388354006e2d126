// PNG through libpng's simplified interface, which keeps libpng's error
// handling inside the library: a failure comes back as a flag and a message.

#include <cstring>
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

}  // namespace tarnwick::platform
