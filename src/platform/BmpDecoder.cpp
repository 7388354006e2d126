// Windows bitmaps: the file header, the device-independent bitmap behind it
// (also the body of most icon entries), palettes of 1, 4 and 8 bits with
// their run-length encodings, 16- and 32-bit colour masks, 24 and 32 bits,
// rows stored bottom-up or top-down.

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <string>

#include "platform/PictureCodecs.h"

namespace tarnwick::platform::detail {
namespace {

constexpr std::uint32_t kBiRgb = 0, kBiRle8 = 1, kBiRle4 = 2, kBiBitfields = 3,
                        kBiAlphaBitfields = 6;

[[noreturn]] void Fail(const std::string& why) {
    throw PictureError("Invalid BMP picture: " + why);
}

// One colour channel described by a bit mask of the pixel word.
struct Channel {
    std::uint32_t mask = 0;
    int shift = 0;
    std::uint32_t max = 0;  // largest value after shifting

    explicit Channel(std::uint32_t m = 0) : mask(m) {
        if (m == 0) return;
        shift = std::countr_zero(m);
        // Only the contiguous run starting at the lowest set bit counts.
        const std::uint32_t run = m >> shift;
        const int bits = std::countr_one(run);
        max = bits >= 32 ? 0xFFFFFFFFu : (1u << bits) - 1;
    }
    std::uint8_t Extract(std::uint32_t v) const {
        if (max == 0) return 0;
        const std::uint64_t x = (v >> shift) & max;
        return static_cast<std::uint8_t>((x * 255 + max / 2) / max);
    }
};

struct Header {
    int width = 0;
    int height = 0;  // colour rows only (icons: half the stored height)
    bool topDown = false;
    int bpp = 0;
    std::uint32_t compression = kBiRgb;
    std::uint32_t colorsUsed = 0;
    std::size_t headerSize = 0;
    bool core = false;                      // 12-byte header: 3-byte palette entries
    std::uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
    bool hasMasks = false;
    std::size_t masksEnd = 0;  // offset after the header and masks
};

Header ReadHeader(std::span<const std::uint8_t> d, bool icon) {
    Header h;
    if (d.size() < 4) Fail("the header is truncated");
    h.headerSize = ReadU32(d.data());
    if (h.headerSize == 12) {
        if (d.size() < 12) Fail("the header is truncated");
        h.core = true;
        h.width = ReadU16(d.data() + 4);
        h.height = ReadU16(d.data() + 6);
        h.bpp = ReadU16(d.data() + 10);
    } else if ((h.headerSize >= 16 && h.headerSize <= 64 && h.headerSize % 4 == 0) ||
               h.headerSize == 108 || h.headerSize == 124) {
        if (d.size() < h.headerSize || d.size() < 16) Fail("the header is truncated");
        // Short OS/2 headers stop after the depth; what they leave out is zero.
        std::array<std::uint8_t, 124> hdr{};
        std::memcpy(hdr.data(), d.data(), h.headerSize);
        const auto w = static_cast<std::int32_t>(ReadU32(hdr.data() + 4));
        const auto ht = static_cast<std::int32_t>(ReadU32(hdr.data() + 8));
        h.bpp = ReadU16(hdr.data() + 14);
        h.compression = ReadU32(hdr.data() + 16);
        h.colorsUsed = ReadU32(hdr.data() + 32);
        if (w <= 0 || w > kMaxPictureDimension)
            Fail("the width " + std::to_string(w) + " is out of range");
        if (ht == 0 || ht < -kMaxPictureDimension * 2 || ht > kMaxPictureDimension * 2) {
            Fail("the height " + std::to_string(ht) + " is out of range");
        }
        h.width = w;
        h.topDown = ht < 0;
        h.height = ht < 0 ? -ht : ht;
        if (h.headerSize >= 52) {
            h.masks[0] = ReadU32(hdr.data() + 40);
            h.masks[1] = ReadU32(hdr.data() + 44);
            h.masks[2] = ReadU32(hdr.data() + 48);
            h.hasMasks = true;
        }
        if (h.headerSize >= 56) h.masks[3] = ReadU32(hdr.data() + 52);
    } else {
        Fail("the header size " + std::to_string(h.headerSize) + " is not known");
    }
    if (icon) {
        if (h.topDown) Fail("an icon image cannot be stored top-down");
        h.height /= 2;
    }
    h.masksEnd = h.headerSize;
    switch (h.bpp) {
        case 1:
        case 4:
        case 8:
        case 16:
        case 24:
        case 32: break;
        default: Fail(std::to_string(h.bpp) + " bits per pixel is not a bitmap depth");
    }
    const bool bitfields = h.compression == kBiBitfields || h.compression == kBiAlphaBitfields;
    if (h.compression == kBiRle8 && h.bpp != 8) Fail("RLE8 needs 8 bits per pixel");
    if (h.compression == kBiRle4 && h.bpp != 4) Fail("RLE4 needs 4 bits per pixel");
    if (bitfields && h.bpp != 16 && h.bpp != 32) Fail("colour masks need 16 or 32 bits per pixel");
    if (h.compression != kBiRgb && h.compression != kBiRle8 && h.compression != kBiRle4 &&
        !bitfields) {
        Fail("compression " + std::to_string(h.compression) + " is not supported");
    }
    if ((h.compression == kBiRle8 || h.compression == kBiRle4) && h.topDown) {
        Fail("run-length encoded pixels cannot be stored top-down");
    }
    if (bitfields && !h.hasMasks) {
        // Masks follow a 40-byte header: three, or four with the alpha variant.
        const std::size_t n = h.compression == kBiAlphaBitfields ? 4 : 3;
        if (d.size() < h.headerSize + 4 * n) Fail("the colour masks are truncated");
        for (std::size_t i = 0; i < n; ++i) h.masks[i] = ReadU32(d.data() + h.headerSize + 4 * i);
        h.masksEnd = h.headerSize + 4 * n;
    } else if (!bitfields) {
        // Masks in a long header mean nothing without the bitfields compression.
        h.masks[0] = h.masks[1] = h.masks[2] = h.masks[3] = 0;
        if (h.bpp == 16) {
            h.masks[0] = 0x7C00;
            h.masks[1] = 0x03E0;
            h.masks[2] = 0x001F;
        } else if (h.bpp == 32) {
            h.masks[0] = 0x00FF0000;
            h.masks[1] = 0x0000FF00;
            h.masks[2] = 0x000000FF;
            h.masks[3] = 0xFF000000;
        }
    } else if (h.bpp == 32 && h.masks[3] == 0) {
        // A 32-bit picture keeps its fourth byte when the colour masks leave it free.
        if (((h.masks[0] | h.masks[1] | h.masks[2]) & 0xFF000000u) == 0) h.masks[3] = 0xFF000000u;
    }
    CheckPictureSize("BMP", h.width, h.height);
    return h;
}

using Palette = std::array<std::uint32_t, 256>;  // 0xAARRGGBB, alpha 255

std::size_t ReadPalette(std::span<const std::uint8_t> d, const Header& h, std::size_t limit,
                        Palette& pal) {
    pal.fill(0xFF000000u);
    if (h.bpp > 8) return h.masksEnd;
    const std::uint32_t full = 1u << h.bpp;
    std::uint32_t count = h.colorsUsed == 0 || h.colorsUsed > full ? full : h.colorsUsed;
    const std::size_t entry = h.core ? 3 : 4;
    std::size_t end = h.masksEnd + entry * count;
    if (end > limit) {
        // Writers that claim a full palette but store fewer entries are common
        // enough; take what lies before the pixels, and refuse only an empty one.
        count = static_cast<std::uint32_t>((limit - std::min(limit, h.masksEnd)) / entry);
        if (count == 0) Fail("the palette is missing");
        end = h.masksEnd + entry * count;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* p = d.data() + h.masksEnd + entry * i;
        pal[i] = 0xFF000000u | (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[1]} << 8) | p[0];
    }
    return end;
}

void Store(Picture& pic, int x, int row, std::uint32_t v) {
    std::uint8_t* p = pic.pixels.data() + (static_cast<std::size_t>(row) * pic.width + x) * 4;
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
    p[2] = static_cast<std::uint8_t>(v >> 16);
    p[3] = static_cast<std::uint8_t>(v >> 24);
}

// Run-length encoded 8- or 4-bit pixels. Pixels the encoding skips stay
// zero (black, alpha 0), as they stay untouched when a system draws them.
void DecodeRle(std::span<const std::uint8_t> src, const Header& h, const Palette& pal,
               Picture& pic) {
    const bool four = h.compression == kBiRle4;
    std::size_t i = 0;
    int x = 0, y = 0;  // y counts rows from the bottom
    auto put = [&](std::uint8_t index) {
        if (x < h.width && y < h.height) Store(pic, x, h.height - 1 - y, pal[index]);
        ++x;
    };
    for (;;) {
        if (i + 2 > src.size()) {
            if (y >= h.height) return;
            Fail("the run-length encoded pixels end too early");
        }
        const std::uint8_t count = src[i], value = src[i + 1];
        i += 2;
        if (count > 0) {
            for (int k = 0; k < count && x < h.width; ++k) {
                put(four ? ((k & 1) ? value & 0x0F : value >> 4) : value);
            }
            continue;
        }
        switch (value) {
            case 0:
                x = 0;
                ++y;
                break;       // end of line
            case 1: return;  // end of picture
            case 2:
                if (i + 2 > src.size()) Fail("a run-length delta is truncated");
                x = std::min(x + src[i], h.width);
                y += src[i + 1];
                i += 2;
                break;
            default: {
                const std::size_t n = value;
                const std::size_t bytes = four ? (n + 1) / 2 : n;
                if (i + bytes > src.size()) Fail("a run-length literal is truncated");
                for (std::size_t k = 0; k < n && x < h.width; ++k) {
                    const std::uint8_t b = src[i + (four ? k / 2 : k)];
                    put(four ? ((k & 1) ? b & 0x0F : b >> 4) : b);
                }
                i += (bytes + 1) & ~std::size_t{1};  // literals are padded to 16 bits
                break;
            }
        }
        if (y > h.height) return;  // everything further lies outside the picture
    }
}

}  // namespace

bool PeekDibInfo(std::span<const std::uint8_t> data, bool icon, DibInfo& info) {
    try {
        const Header h = ReadHeader(data, icon);
        info = {h.width, h.height, h.bpp};
        return true;
    } catch (const PictureError&) {
        return false;
    }
}

Picture DecodeDib(const DibSource& s) {
    const std::span<const std::uint8_t> d = s.data;
    const Header h = ReadHeader(d, s.icon);
    Palette pal;
    const std::size_t limit = s.pixelOffset != 0 ? std::min(s.pixelOffset, d.size()) : d.size();
    const std::size_t paletteEnd = ReadPalette(d, h, limit, pal);
    const std::size_t start = s.pixelOffset != 0 ? s.pixelOffset : paletteEnd;
    if (start > d.size()) Fail("the pixel data lies beyond the end of the file");
    const std::span<const std::uint8_t> src = d.subspan(start);

    Picture pic;
    pic.width = h.width;
    pic.height = h.height;
    pic.sourceBitsPerPixel = h.bpp;
    pic.hasAlpha = s.icon || h.bpp == 32;
    const std::size_t stride = ((static_cast<std::size_t>(h.width) * h.bpp + 31) / 32) * 4;
    const bool rle = h.compression == kBiRle8 || h.compression == kBiRle4;
    if (!rle && stride * static_cast<std::size_t>(h.height) > src.size()) {
        Fail("the pixel data is truncated");
    }
    pic.pixels.assign(static_cast<std::size_t>(h.width) * h.height * 4, 0);
    if (rle) {
        DecodeRle(src, h, pal, pic);
    } else {
        const Channel r(h.masks[0]), g(h.masks[1]), b(h.masks[2]), a(h.masks[3]);
        for (int row = 0; row < h.height; ++row) {
            const std::uint8_t* p = src.data() + stride * static_cast<std::size_t>(row);
            const int y = h.topDown ? row : h.height - 1 - row;
            for (int x = 0; x < h.width; ++x) {
                std::uint32_t v;
                switch (h.bpp) {
                    case 1: v = pal[(p[x >> 3] >> (7 - (x & 7))) & 1]; break;
                    case 4: v = pal[(x & 1) ? p[x >> 1] & 0x0F : p[x >> 1] >> 4]; break;
                    case 8: v = pal[p[x]]; break;
                    case 24:
                        v = 0xFF000000u | (std::uint32_t{p[3 * x + 2]} << 16) |
                            (std::uint32_t{p[3 * x + 1]} << 8) | p[3 * x];
                        break;
                    default: {
                        const std::uint32_t w =
                            h.bpp == 16 ? ReadU16(p + 2 * x) : ReadU32(p + 4 * x);
                        const std::uint8_t alpha = h.bpp == 32 ? a.Extract(w) : 255;
                        v = (std::uint32_t{alpha} << 24) | (std::uint32_t{r.Extract(w)} << 16) |
                            (std::uint32_t{g.Extract(w)} << 8) | b.Extract(w);
                        break;
                    }
                }
                Store(pic, x, y, v);
            }
        }
    }
    if (s.icon) {
        // The AND mask follows the colour rows: 1 bit per pixel, set where the
        // icon is transparent. 32-bit icons carry alpha of their own and need the
        // mask only when every alpha byte is zero.
        bool useMask = h.bpp != 32;
        if (!useMask) {
            useMask = true;
            for (std::size_t k = 3; k < pic.pixels.size(); k += 4) {
                if (pic.pixels[k] != 0) {
                    useMask = false;
                    break;
                }
            }
        }
        const std::size_t maskStride = ((static_cast<std::size_t>(h.width) + 31) / 32) * 4;
        const std::size_t maskStart = stride * static_cast<std::size_t>(h.height);
        const bool present = !rle && maskStart + maskStride * h.height <= src.size();
        if (useMask) {
            for (int row = 0; row < h.height; ++row) {
                const std::uint8_t* m =
                    present ? src.data() + maskStart + maskStride * row : nullptr;
                std::uint8_t* out =
                    pic.pixels.data() + static_cast<std::size_t>(h.height - 1 - row) * h.width * 4;
                for (int x = 0; x < h.width; ++x) {
                    // A missing mask leaves the icon opaque.
                    const bool transparent = m && ((m[x >> 3] >> (7 - (x & 7))) & 1);
                    out[4 * x + 3] = transparent ? 0 : 255;
                }
            }
        }
    }
    return pic;
}

Picture DecodeBmp(std::span<const std::uint8_t> data) {
    if (data.size() < 14 + 12) Fail("the file is too short");
    const std::uint32_t offBits = ReadU32(data.data() + 10);
    if (offBits != 0 && (offBits < 14 + 12 || offBits > data.size())) {
        Fail("the pixel offset " + std::to_string(offBits) + " lies outside the file");
    }
    DibSource s;
    s.data = data.subspan(14);
    s.pixelOffset = offBits == 0 ? 0 : offBits - 14;
    return DecodeDib(s);
}

}  // namespace tarnwick::platform::detail
