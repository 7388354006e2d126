// The system-independent part of text rasterisation: faces are opened once
// per request and kept, and text is decoded from UTF-8.
#include <algorithm>
#include <cctype>
#include <map>
#include <tuple>

#include "platform/FontRasteriser.h"
#include "platform/FontSource.h"

namespace tarnwick::platform {

namespace {

bool SameFamily(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

class EmptyFace final : public FontFace {
public:
    const FontMetrics& Metrics() const override { return metrics_; }
    const std::string& FamilyName() const override { return name_; }
    int Advance(char32_t) const override { return 0; }
    int Kerning(char32_t, char32_t) const override { return 0; }
    Coverage Render(std::u32string_view) const override { return {}; }

private:
    FontMetrics metrics_;
    std::string name_;
};

}  // namespace

bool IsDefaultFamily(std::string_view family) {
    return family.empty() || SameFamily(family, "MS Sans Serif") ||
           SameFamily(family, "MS Shell Dlg") || SameFamily(family, "MS Shell Dlg 2");
}

std::shared_ptr<const FontFace> MakeEmptyFace() { return std::make_shared<EmptyFace>(); }

Coverage ComposeGlyphs(std::u32string_view text, int ascent,
                       const std::function<const Glyph&(char32_t)>& glyph) {
    Coverage out;
    // The box of all glyph bitmaps, from the pen positions.
    int minX = 0, maxX = 0, minY = 0, maxY = 0, pen = 0;
    bool any = false;
    for (char32_t c : text) {
        const Glyph& g = glyph(c);
        if (g.width > 0 && g.height > 0) {
            const int x0 = pen + g.left, y0 = ascent - g.top;
            if (!any) {
                minX = x0, maxX = x0 + g.width, minY = y0, maxY = y0 + g.height;
                any = true;
            } else {
                minX = std::min(minX, x0), maxX = std::max(maxX, x0 + g.width);
                minY = std::min(minY, y0), maxY = std::max(maxY, y0 + g.height);
            }
        }
        pen += g.advance;
    }
    if (!any) return out;
    out.left = minX;
    out.top = minY;
    out.width = maxX - minX;
    out.height = maxY - minY;
    out.pixels.assign(static_cast<std::size_t>(out.width) * out.height, 0);
    pen = 0;
    for (char32_t c : text) {
        const Glyph& g = glyph(c);
        const int x0 = pen + g.left - minX, y0 = ascent - g.top - minY;
        for (int y = 0; y < g.height; ++y) {
            std::uint8_t* dst = &out.pixels[static_cast<std::size_t>(y0 + y) * out.width + x0];
            const std::uint8_t* src = &g.pixels[static_cast<std::size_t>(y) * g.width];
            for (int x = 0; x < g.width; ++x) dst[x] = std::max(dst[x], src[x]);
        }
        pen += g.advance;
    }
    return out;
}

std::shared_ptr<const FontFace> OpenFont(const FontRequest& request) {
    // Faces are kept for the life of the process (of the module, in a
    // module: they go when it is unloaded): a form asks for the same few
    // fonts again and again, and each keeps its rendered glyphs.
    static std::map<std::tuple<std::string, int, bool, bool>, std::shared_ptr<const FontFace>>
        cache;
    std::string family = request.family;
    if (IsDefaultFamily(family)) family.clear();
    for (char& ch : family) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
    const int height = request.height == 0 ? -kDefaultCharHeight : request.height;
    auto key = std::make_tuple(family, height, request.bold, request.italic);
    auto it = cache.find(key);
    if (it != cache.end()) return it->second;
    FontRequest normal = request;
    normal.height = height;
    auto face = OpenFace(normal);
    cache.emplace(std::move(key), face);
    return face;
}

std::u32string DecodeUtf8(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char b = s[i];
        int len = b < 0x80           ? 1
                  : (b >> 5) == 0x6  ? 2
                  : (b >> 4) == 0xE  ? 3
                  : (b >> 3) == 0x1E ? 4
                                     : 0;
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        bool ok = len > 0 && i + len <= n;
        for (int k = 1; ok && k < len; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        if (ok && len > 1 &&
            (cp < (len == 2   ? 0x80u
                   : len == 3 ? 0x800u
                              : 0x10000u) ||
             cp > 0x10FFFF))
            ok = false;
        if (!ok) {
            out.push_back(b);
            ++i;
        } else {
            out.push_back(cp);
            i += static_cast<std::size_t>(len);
        }
    }
    return out;
}

}  // namespace tarnwick::platform
