// JPEG through libjpeg-turbo. The library reports fatal errors through a
// callback that must not return; ours jumps back to the decoder, which turns
// the library's message into a PictureError. Nothing here may call exit().

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>

#include <jpeglib.h>

#include "platform/PictureCodecs.h"

namespace tarnwick::platform::detail {
namespace {

// Progressive files may hold any number of scans; a hostile one with
// thousands of tiny scans would take minutes. Real pictures use a dozen.
constexpr int kMaxScans = 500;

struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void OnJpegError(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->message);
    std::longjmp(err->jump, 1);
}

extern "C" void OnJpegMessage(j_common_ptr, int) {}  // warnings are not errors

extern "C" void OnJpegProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (cinfo->is_decompressor && d->input_scan_number > kMaxScans) {
        auto* err = reinterpret_cast<ErrorManager*>(cinfo->err);
        std::snprintf(err->message, sizeof err->message, "more than %d scans", kMaxScans);
        std::longjmp(err->jump, 1);
    }
}

// Everything between setjmp and the end of the jump's reach is plain data,
// so a jump back skips no destructor.
bool Decode(const std::uint8_t* data, std::size_t size, jpeg_decompress_struct& cinfo,
            ErrorManager& err, jpeg_progress_mgr& progress,
            std::uint8_t* (*allocate)(void*, int, int), void* context, int& sourceBits) {
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &progress;
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    jpeg_read_header(&cinfo, TRUE);
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    sourceBits = cinfo.num_components * 8;
    jpeg_calc_output_dimensions(&cinfo);
    std::uint8_t* out = allocate(context, static_cast<int>(cinfo.output_width),
                                 static_cast<int>(cinfo.output_height));
    if (!out) {
        jpeg_destroy_decompress(&cinfo);
        return false;
    }
    jpeg_start_decompress(&cinfo);
    const std::size_t stride = static_cast<std::size_t>(cinfo.output_width) * 4;
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = out + stride * cinfo.output_scanline;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    if (cmyk) {
        // Files written by common tools store CMYK inverted; the product of the
        // inverted ink and the key gives each colour channel.
        for (std::size_t i = 0; i < stride * cinfo.output_height; i += 4) {
            const unsigned c = out[i], m = out[i + 1], y = out[i + 2], k = out[i + 3];
            out[i] = static_cast<std::uint8_t>(y * k / 255);
            out[i + 1] = static_cast<std::uint8_t>(m * k / 255);
            out[i + 2] = static_cast<std::uint8_t>(c * k / 255);
            out[i + 3] = 255;
        }
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return true;
}

struct Target {
    Picture* pic;
    std::string sizeError;
};

std::uint8_t* Allocate(void* context, int width, int height) {
    auto* t = static_cast<Target*>(context);
    try {
        CheckPictureSize("JPEG", width, height);
        t->pic->width = width;
        t->pic->height = height;
        t->pic->pixels.assign(static_cast<std::size_t>(width) * height * 4, 0);
        return t->pic->pixels.data();
    } catch (const std::exception& e) {
        t->sizeError = e.what();
        return nullptr;
    }
}

}  // namespace

Picture DecodeJpeg(std::span<const std::uint8_t> data) {
    Picture pic;
    Target target{&pic, {}};
    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    ErrorManager err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnJpegError;
    err.pub.emit_message = OnJpegMessage;
    err.message[0] = '\0';
    jpeg_progress_mgr progress{};
    progress.progress_monitor = OnJpegProgress;
    int sourceBits = 0;
    if (!Decode(data.data(), data.size(), cinfo, err, progress, Allocate, &target, sourceBits)) {
        if (!target.sizeError.empty()) throw PictureError(target.sizeError);
        throw PictureError(std::string("Invalid JPEG picture: ") + err.message);
    }
    pic.hasAlpha = false;
    pic.sourceBitsPerPixel = sourceBits == 8 ? 8 : 24;
    return pic;
}

}  // namespace tarnwick::platform::detail
