#pragma once
// Inside the text rasteriser: the part each system's rasteriser supplies
// (FreeType on Linux, GDI on Windows) to the shared part, which keeps the
// faces and decodes text.

#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/FontRasteriser.h"

namespace tarnwick::platform {

// The character height of a request with height 0.
inline constexpr int kDefaultCharHeight = 11;

// Whether a family name stands for the system's dialog font.
bool IsDefaultFamily(std::string_view family);

// Opens a face for a request whose height is not 0; never null.
std::shared_ptr<const FontFace> OpenFace(const FontRequest& request);

// One rendered character: 8-bit coverage, rows top-down.
struct Glyph {
    int advance = 0;
    int left = 0;  // bitmap position from the pen, x right
    int top = 0;   // bitmap top above the baseline, y up
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

// Lays the glyphs of a run side by side, the pen moving by their advances,
// into one coverage box; where glyphs overlap the stronger coverage wins.
Coverage ComposeGlyphs(std::u32string_view text, int ascent,
                       const std::function<const Glyph&(char32_t)>& glyph);

// A face with zero metrics and no glyphs.
std::shared_ptr<const FontFace> MakeEmptyFace();

}  // namespace tarnwick::platform
