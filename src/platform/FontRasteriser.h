#pragma once
// Text rasterisation: opening a face by family name and size, its metrics,
// per-character advances and kerning, and a run of glyphs rendered as 8-bit
// coverage. Whole pixels throughout, as a screen font is laid out.
//
// On Linux one implementation (FreeType with fontconfig) serves the headless
// and the X11 back ends, so that text is drawn the same pixel for pixel on
// both. "MS Sans Serif" and an empty family name resolve to one pinned sans
// face, by its file, so that what is drawn does not depend on what else is
// installed; other names go through fontconfig. On Windows GDI rasterises,
// with the system's faces: text there measures and looks as the system's own.
//
// Faces are shared and immutable once opened; they may be used from any
// thread.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::platform {

struct FontRequest {
    std::string family;
    // Negative: the character height (the em) in pixels; positive: the cell
    // height (ascent + descent); 0: the default character height, 11.
    int height = 0;
    bool bold = false;
    bool italic = false;
    bool operator==(const FontRequest&) const = default;
};

struct FontMetrics {
    int ascent = 0;           // cell top to baseline
    int descent = 0;          // baseline to cell bottom
    int internalLeading = 0;  // the part of the cell above the em
    int averageCharWidth = 0;
    int maxCharWidth = 0;
    int Height() const { return ascent + descent; }
};

// 8-bit coverage (0 none, 255 full) of a rendered run, rows top-down. (left,
// top) is the position of pixel (0, 0) relative to the top-left corner of the
// run's first cell; glyphs may reach left of it or beyond the advance.
struct Coverage {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;
};

class FontFace {
public:
    virtual ~FontFace() = default;
    virtual const FontMetrics& Metrics() const = 0;
    // The family actually used (for a fallback, the one fontconfig chose).
    virtual const std::string& FamilyName() const = 0;
    // The horizontal advance of a character in whole pixels.
    virtual int Advance(char32_t c) const = 0;
    // The kerning adjustment between two characters, in whole pixels.
    virtual int Kerning(char32_t left, char32_t right) const = 0;
    // Renders the characters with the pen moving by Advance (no kerning).
    virtual Coverage Render(std::u32string_view text) const = 0;
};

// Never null: a request that nothing installed can serve gives an empty face
// (zero metrics, no glyphs), so text then simply does not show.
std::shared_ptr<const FontFace> OpenFont(const FontRequest& request);

#ifndef _WIN32
// The file the pinned face for "MS Sans Serif" comes from (regular or bold).
std::string DefaultFontFile(bool bold, bool italic);
#endif

// UTF-8 to code points; a byte that does not start a valid sequence stands
// for itself (Latin-1).
std::u32string DecodeUtf8(std::string_view text);

}  // namespace tarnwick::platform
