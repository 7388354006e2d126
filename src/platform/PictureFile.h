#pragma once
// Picture files: decoding BMP, JPEG, PNG and ICO into one 32-bit pixel layout,
// and writing 32-bit pixels as PNG for snapshots a person can look at.
//
// Every decoder checks what it reads against the size of its input and
// refuses pictures beyond kMaxPictureDimension or kMaxPicturePixels, so a
// damaged or hostile file ends in a PictureError, never in a crash.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform {

enum class PictureFormat { Bmp, Jpeg, Png, Ico };

inline constexpr int kMaxPictureDimension = 32768;
inline constexpr std::uint64_t kMaxPicturePixels = std::uint64_t{64} << 20;  // 256 MiB of pixels
inline constexpr std::uint64_t kMaxPictureFileBytes = std::uint64_t{256} << 20;

// A decoded picture: rows top-down, no padding, each pixel the four bytes
// blue, green, red, alpha. Pictures without alpha have alpha 255.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
    // The file gave each pixel a fourth byte of its own (32-bit bitmaps, PNG
    // with an alpha channel or transparency, icons with their masks).
    bool hasAlpha = false;
    // Bits per pixel the file stored (1, 4, 8, 16, 24, 32 for bitmaps and icons;
    // 24 or 32 for PNG with and without alpha, 8 or 24 for JPEG).
    int sourceBitsPerPixel = 0;

    // Pixel (x, y), y = 0 the top row, as the word 0xAARRGGBB.
    std::uint32_t Pixel(int x, int y) const;
};

// The content is not a picture of the expected format, or is damaged.
class PictureError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The file itself could not be read (missing, unreadable, too large).
class PictureFileError : public PictureError {
public:
    PictureFileError(std::string fileName, const std::string& reason);
    const std::string& FileName() const { return fileName_; }
    const std::string& Reason() const { return reason_; }

private:
    std::string fileName_;
    std::string reason_;
};

// The format a file name's extension stands for (case-insensitive: .bmp .dib,
// .jpg .jpeg .jpe .jfif, .png, .ico), or nothing.
std::optional<PictureFormat> PictureFormatFromFileName(std::string_view fileName);
// The extension of a file name without the dot ("" when it has none).
std::string FileExtension(std::string_view fileName);
// The format the first bytes announce, or nothing.
std::optional<PictureFormat> SniffPictureFormat(std::span<const std::uint8_t> data);
const char* PictureFormatName(PictureFormat format);

// Decodes bytes that must be a picture of `format` (the signature is checked).
Picture DecodePicture(PictureFormat format, std::span<const std::uint8_t> data);

// Reads a whole file; PictureFileError when it cannot be read.
std::vector<std::uint8_t> ReadFileBytes(const std::string& fileName);
// Reads and decodes a file that must be of `format`.
Picture LoadPictureFile(PictureFormat format, const std::string& fileName);

// 32-bit pixels to write: rows without padding, blue, green, red, alpha.
struct ImageView {
    const std::uint8_t* bits = nullptr;
    int width = 0;
    int height = 0;
    bool bottomUp = false;  // the first row in memory is the bottom row
};

// An 8-bit RGBA PNG of the pixels; PictureError on a bad view.
std::vector<std::uint8_t> EncodePng(const ImageView& image);
// EncodePng written to a file; PictureFileError when the file cannot be written.
void WritePngFile(const std::string& fileName, const ImageView& image);

}  // namespace tarnwick::platform
