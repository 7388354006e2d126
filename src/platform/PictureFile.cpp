#include "platform/PictureFile.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/PictureCodecs.h"

namespace tarnwick::platform {

using detail::kPngSignature;

std::uint32_t Picture::Pixel(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(x)) *
                          4;
    return detail::ReadU32(pixels.data() + i);
}

PictureFileError::PictureFileError(std::string fileName, const std::string& reason)
    : PictureError("Cannot open file \"" + fileName + "\". " + reason),
      fileName_(std::move(fileName)),
      reason_(reason) {}

std::string FileExtension(std::string_view fileName) {
    const std::size_t slash = fileName.find_last_of("/\\");
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return {};
    return std::string(fileName.substr(dot + 1));
}

std::optional<PictureFormat> PictureFormatFromFileName(std::string_view fileName) {
    std::string ext = FileExtension(fileName);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (ext == "bmp" || ext == "dib") return PictureFormat::Bmp;
    if (ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "jfif") return PictureFormat::Jpeg;
    if (ext == "png") return PictureFormat::Png;
    if (ext == "ico") return PictureFormat::Ico;
    return std::nullopt;
}

std::optional<PictureFormat> SniffPictureFormat(std::span<const std::uint8_t> d) {
    if (d.size() >= 2 && d[0] == 'B' && d[1] == 'M') return PictureFormat::Bmp;
    if (d.size() >= 3 && d[0] == 0xFF && d[1] == 0xD8 && d[2] == 0xFF) return PictureFormat::Jpeg;
    if (d.size() >= 8 && std::memcmp(d.data(), kPngSignature, 8) == 0) return PictureFormat::Png;
    // Icons (type 1) and cursors (type 2) share one layout.
    if (d.size() >= 4 && d[0] == 0 && d[1] == 0 && (d[2] == 1 || d[2] == 2) && d[3] == 0) {
        return PictureFormat::Ico;
    }
    return std::nullopt;
}

const char* PictureFormatName(PictureFormat format) {
    switch (format) {
        case PictureFormat::Bmp: return "BMP";
        case PictureFormat::Jpeg: return "JPEG";
        case PictureFormat::Png: return "PNG";
        case PictureFormat::Ico: return "ICO";
    }
    return "?";
}

Picture DecodePicture(PictureFormat format, std::span<const std::uint8_t> data) {
    if (SniffPictureFormat(data) != format) {
        throw PictureError(std::string("Not a ") + PictureFormatName(format) +
                           " picture: the file does not begin with its signature");
    }
    switch (format) {
        case PictureFormat::Bmp: return detail::DecodeBmp(data);
        case PictureFormat::Jpeg: return detail::DecodeJpeg(data);
        case PictureFormat::Png: return detail::DecodePng(data);
        case PictureFormat::Ico: return detail::DecodeIco(data);
    }
    throw PictureError("Unknown picture format");
}

namespace {
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string ErrnoText(int err) {
    switch (err) {
        case ENOENT: return "The system cannot find the file specified.";
        case EACCES: return "Access is denied.";
        default: return std::strerror(err);
    }
}
}  // namespace

std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName) {
    errno = 0;
    FilePtr f(std::fopen(fileName.c_str(), "rb"));
    if (!f) throw PictureFileError(fileName, ErrnoText(errno));
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        const std::size_t n = std::fread(chunk, 1, sizeof chunk, f.get());
        if (n == 0) break;
        if (bytes.size() + n > kMaxPictureFileBytes) {
            throw PictureFileError(fileName, "The file is too large for a picture.");
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    // A directory opens on some systems and then fails to read.
    if (std::ferror(f.get())) throw PictureFileError(fileName, ErrnoText(errno ? errno : EIO));
    return bytes;
}

Picture LoadPictureFile(PictureFormat format, const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadFileBytes(fileName);
    return DecodePicture(format, bytes);
}

// Through EncodePng, which each system provides with its own PNG writer.
void WritePngFile(const std::string& fileName, const ImageView& view) {
    const std::vector<std::uint8_t> bytes = EncodePng(view);
    std::FILE* f = std::fopen(fileName.c_str(), "wb");
    if (!f) throw PictureFileError(fileName, std::strerror(errno));
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok)
        throw PictureFileError(fileName, "The file could not be written.");
}

namespace detail {
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

void CheckPictureSize(const char* format, std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0) {
        throw PictureError(std::string("Invalid ") + format + " picture: it has no pixels");
    }
    if (width > kMaxPictureDimension || height > kMaxPictureDimension ||
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) >
            kMaxPicturePixels) {
        throw PictureError(std::string("Invalid ") + format + " picture: " + std::to_string(width) +
                           " x " + std::to_string(height) + " pixels is too large");
    }
}
}  // namespace detail

}  // namespace tarnwick::platform
