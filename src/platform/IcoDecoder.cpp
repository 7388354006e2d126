// Icons (and cursors, which share the layout): a directory of images, each a
// device-independent bitmap with an AND mask or a whole PNG file. The largest
// image wins, and among equally large ones the deepest.

#include <cstring>
#include <string>

#include "platform/PictureCodecs.h"

namespace tarnwick::platform::detail {
namespace {

[[noreturn]] void Fail(const std::string& why) {
    throw PictureError("Invalid ICO picture: " + why);
}

}  // namespace

Picture DecodeIco(std::span<const std::uint8_t> data) {
    if (data.size() < 6) Fail("the header is truncated");
    const int count = ReadU16(data.data() + 4);
    if (count == 0) Fail("it holds no image");
    if (data.size() < 6 + 16 * static_cast<std::size_t>(count)) Fail("the directory is truncated");

    int best = -1;
    std::int64_t bestArea = 0;
    int bestDepth = 0;
    for (int i = 0; i < count; ++i) {
        const std::uint8_t* e = data.data() + 6 + 16 * i;
        const std::uint32_t size = ReadU32(e + 8), offset = ReadU32(e + 12);
        if (offset > data.size() || size > data.size() - offset || size == 0) continue;
        const auto body = data.subspan(offset, size);
        int w = 0, h = 0, depth = 0;
        if (PeekPngSize(body, w, h)) {
            depth = 32;
        } else {
            DibInfo info;
            if (!PeekDibInfo(body, true, info)) continue;
            w = info.width;
            h = info.height;
            depth = info.bitsPerPixel;
        }
        const std::int64_t area = std::int64_t{w} * h;
        if (best < 0 || area > bestArea || (area == bestArea && depth > bestDepth)) {
            best = i;
            bestArea = area;
            bestDepth = depth;
        }
    }
    if (best < 0) Fail("none of its " + std::to_string(count) + " images is readable");

    const std::uint8_t* e = data.data() + 6 + 16 * best;
    const auto body = data.subspan(ReadU32(e + 12), ReadU32(e + 8));
    Picture pic;
    if (body.size() >= 8 && std::memcmp(body.data(), kPngSignature, 8) == 0) {
        pic = DecodePng(body);
    } else {
        DibSource s;
        s.data = body;
        s.icon = true;
        pic = DecodeDib(s);
    }
    pic.hasAlpha = true;
    return pic;
}

}  // namespace tarnwick::platform::detail
