// Fonts, text colours and the text calls: TextOut, DrawText and the
// measurements. Glyph shapes come from the platform's rasteriser; layout,
// clipping and blending are done here, the same on every platform.
#include <algorithm>
#include <climits>
#include <cstring>
#include <optional>
#include <string_view>
#include <utility>

#include "gdi/GdiState.h"

using namespace tarnwick::gdi_internal;
using tarnwick::platform::FontFace;

namespace {

tarnwick::platform::FontRequest RequestOf(const LOGFONTA& log) {
    tarnwick::platform::FontRequest r;
    r.family.assign(log.lfFaceName, strnlen(log.lfFaceName, LF_FACESIZE));
    r.height = log.lfHeight;
    r.bold = log.lfWeight >= 600;
    r.italic = log.lfItalic != 0;
    return r;
}

// The font a context draws with; a deleted one gives way to the stock font.
FontObj& FontOf(State& s, const DcObj& dc) {
    FontObj* f = dc.state.font ? s.Get<FontObj>(reinterpret_cast<void*>(dc.state.font)) : nullptr;
    if (!f) f = s.Get<FontObj>(reinterpret_cast<void*>(s.stockFont));
    if (!f->face) f->face = tarnwick::platform::OpenFont(RequestOf(f->log));
    return *f;
}

std::string_view TextOf(const char* text, int count) {
    if (!text) return {};
    if (count < 0) return std::string_view(text);
    return std::string_view(text, static_cast<std::size_t>(count));
}

// A device rectangle that drawing may touch, [l, r) x [t, b).
struct DeviceBox {
    long long l, t, r, b;
    DeviceBox Intersect(const DeviceBox& o) const {
        return {std::max(l, o.l), std::max(t, o.t), std::min(r, o.r), std::min(b, o.b)};
    }
};

std::uint8_t Mix(std::uint32_t fg, std::uint32_t bg, unsigned c) {
    return static_cast<std::uint8_t>((fg * c + bg * (255 - c) + 127) / 255);
}

// Lays coverage (or a solid box, when cov is null) over the target in the
// text colour; see Gdi.h for what happens to the mask byte.
class Painter {
public:
    Painter(State& s, DcObj& dc, Surface& target, const DeviceBox& limit)
        : dc_(dc), target_(target), map_(s, dc, target) {
        box_ = limit.Intersect({0, 0, target.width, target.height});
        color_ = ColorRefToPixel(dc.state.textColor);
    }

    // Coverage with its pixel (0, 0) at device (x, y).
    void Coverage(const tarnwick::platform::Coverage& cov, long long x, long long y) {
        for (int row = 0; row < cov.height; ++row) {
            const long long dy = y + row;
            if (dy < box_.t || dy >= box_.b) continue;
            const std::uint8_t* src = &cov.pixels[static_cast<std::size_t>(row) * cov.width];
            Blend(dy, x, x + cov.width, [&](long long dx) { return src[dx - x]; });
        }
    }

    void Solid(long long l, long long t, long long r, long long b) {
        for (long long dy = std::max(t, box_.t); dy < std::min(b, box_.b); ++dy)
            Blend(dy, l, r, [](long long) { return std::uint8_t{255}; });
    }

    void Fill(long long l, long long t, long long r, long long b, COLORREF color) {
        const std::uint32_t saved = color_;
        color_ = ColorRefToPixel(color);
        Solid(l, t, r, b);
        color_ = saved;
    }

private:
    template <class F>
    void Blend(long long dy, long long x0, long long x1, F coverageAt) {
        x0 = std::max(x0, box_.l);
        x1 = std::min(x1, box_.r);
        if (x0 >= x1) return;
        std::uint8_t* row = target_.Row(static_cast<int>(dy));
        dc_.ForEachVisibleRun(static_cast<int>(dy), x0, x1, [&](int a, int b) {
            for (int x = a; x < b; ++x) {
                const unsigned c = coverageAt(x);
                if (c == 0) continue;
                const std::uint32_t d = ReadPixel(target_, row, x);
                const unsigned m = d >> 24;
                const unsigned mask = c + (m * (255 - c) + 127) / 255;
                const std::uint32_t px =
                    Mix(color_ & 0xFF, d & 0xFF, c) |
                    (std::uint32_t{Mix((color_ >> 8) & 0xFF, (d >> 8) & 0xFF, c)} << 8) |
                    (std::uint32_t{Mix((color_ >> 16) & 0xFF, (d >> 16) & 0xFF, c)} << 16) |
                    (std::uint32_t{mask} << 24);
                WritePixel(target_, row, x, px, map_);
            }
        });
    }

    DcObj& dc_;
    Surface& target_;
    IndexMapper map_;
    DeviceBox box_{};
    std::uint32_t color_ = 0;
};

// ---- layout ---------------------------------------------------------------------

struct Line {
    std::u32string chars;
    std::vector<bool> marked;  // underlined as an accelerator
    int width = 0;
};

class Layout {
public:
    Layout(const FontFace& face, UINT format) : face_(face), format_(format) {
        tabWidth_ = std::max(1, 8 * face.Metrics().averageCharWidth);
    }

    // The x of each character from the line's start, and the end.
    std::vector<int> Positions(const std::u32string& chars) const {
        std::vector<int> xs(chars.size() + 1, 0);
        int x = 0;
        for (std::size_t i = 0; i < chars.size(); ++i) {
            xs[i] = x;
            if (chars[i] == U'\t' && (format_ & DT_EXPANDTABS))
                x = (x / tabWidth_ + 1) * tabWidth_;
            else
                x += face_.Advance(chars[i]);
        }
        xs[chars.size()] = x;
        return xs;
    }

    std::vector<Line> Lines(std::string_view utf8, int maxWidth) const {
        std::u32string text = tarnwick::platform::DecodeUtf8(utf8);
        // Accelerator prefixes first: "&x" marks x, "&&" is one "&".
        std::u32string chars;
        std::vector<bool> marked;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] == U'&' && !(format_ & DT_NOPREFIX)) {
                if (++i >= text.size()) break;  // a lone "&" at the end shows nothing
                chars.push_back(text[i]);
                marked.push_back(text[i] != U'&');
                continue;
            }
            chars.push_back(text[i]);
            marked.push_back(false);
        }
        std::vector<Line> lines;
        std::size_t start = 0;
        const bool single = format_ & DT_SINGLELINE;
        while (start <= chars.size()) {
            std::size_t end = start;
            while (end < chars.size() && ((chars[end] != U'\n' && chars[end] != U'\r') || single))
                ++end;
            AddParagraph(chars, marked, start, end, maxWidth, lines);
            if (end >= chars.size()) break;
            start =
                end + ((chars[end] == U'\r' && end + 1 < chars.size() && chars[end + 1] == U'\n')
                           ? 2
                           : 1);
        }
        if (chars.empty()) lines.clear();
        return lines;
    }

private:
    void Add(const std::u32string& chars, const std::vector<bool>& marked, std::size_t a,
             std::size_t b, std::vector<Line>& out) const {
        Line line;
        for (std::size_t i = a; i < b; ++i) {
            const char32_t c = chars[i];
            if (c == U'\n' || c == U'\r') continue;  // a single line shows no breaks
            line.chars.push_back(c);
            line.marked.push_back(marked[i]);
        }
        line.width = Positions(line.chars).back();
        out.push_back(std::move(line));
    }

    void AddParagraph(const std::u32string& chars, const std::vector<bool>& marked,
                      std::size_t start, std::size_t end, int maxWidth,
                      std::vector<Line>& out) const {
        if (!(format_ & DT_WORDBREAK) || (format_ & DT_SINGLELINE)) {
            Add(chars, marked, start, end, out);
            return;
        }
        auto isSpace = [](char32_t c) { return c == U' ' || c == U'\t'; };
        std::size_t lineStart = start;
        while (true) {
            // Take words while they fit; the first word always goes in.
            std::size_t fitEnd = lineStart, pos = lineStart;
            bool any = false;
            while (pos < end) {
                std::size_t wordEnd = pos;
                while (wordEnd < end && isSpace(chars[wordEnd])) ++wordEnd;
                while (wordEnd < end && !isSpace(chars[wordEnd])) ++wordEnd;
                const std::u32string candidate(
                    chars.begin() + static_cast<std::ptrdiff_t>(lineStart),
                    chars.begin() + static_cast<std::ptrdiff_t>(wordEnd));
                if (any && Positions(candidate).back() > maxWidth) break;
                fitEnd = wordEnd;
                pos = wordEnd;
                any = true;
            }
            if (fitEnd >= end) {
                Add(chars, marked, lineStart, end, out);
                return;
            }
            std::size_t trimmed = fitEnd;  // spaces at a break belong to no line
            while (trimmed > lineStart && isSpace(chars[trimmed - 1])) --trimmed;
            Add(chars, marked, lineStart, trimmed, out);
            lineStart = fitEnd;
            while (lineStart < end && isSpace(chars[lineStart])) ++lineStart;
            if (lineStart >= end) return;
        }
    }

    const FontFace& face_;
    UINT format_;
    int tabWidth_ = 8;
};

// Draws one line with the top-left corner of its cell at logical (x, y).
void DrawLine(State& s, DcObj& dc, Surface& target, const FontObj& font, const Line& line,
              const Layout& layout, int x, int y, const DeviceBox& limit) {
    const FontFace& face = *font.face;
    const auto& m = face.Metrics();
    const long long dx = dc.DeviceX(x), dy = dc.DeviceY(y);
    Painter p(s, dc, target, limit);
    if (dc.state.bkMode == OPAQUE)
        p.Fill(dx, dy, dx + line.width, dy + m.Height(), dc.state.bkColor);
    const std::vector<int> xs = layout.Positions(line.chars);
    // Runs between tabs, each rendered where its first character stands.
    for (std::size_t a = 0; a < line.chars.size();) {
        std::size_t b = a;
        while (b < line.chars.size() && line.chars[b] != U'\t') ++b;
        if (b > a) {
            const auto cov = face.Render(std::u32string_view(line.chars).substr(a, b - a));
            p.Coverage(cov, dx + xs[a] + cov.left, dy + cov.top);
        }
        a = b + 1;
    }
    const int thickness = std::max(1, m.Height() / 20);
    const int underlineRow = std::min(m.ascent + 1, std::max(0, m.Height() - thickness));
    if (font.log.lfUnderline)
        p.Solid(dx, dy + underlineRow, dx + line.width, dy + underlineRow + thickness);
    if (font.log.lfStrikeOut) {
        const int row = m.ascent - (m.ascent - m.internalLeading) * 3 / 10;
        p.Solid(dx, dy + row, dx + line.width, dy + row + thickness);
    }
    for (std::size_t i = 0; i < line.chars.size(); ++i)
        if (line.marked[i])
            p.Solid(dx + xs[i], dy + underlineRow, dx + xs[i + 1], dy + underlineRow + thickness);
}

// A colour of a context's state: the old one, replaced by Color when given;
// CLR_INVALID for no context.
COLORREF ExchangeColor(HDC hdc, COLORREF DcState::*member, std::optional<COLORREF> color) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return CLR_INVALID;
    COLORREF& held = dc->state.*member;
    return color ? std::exchange(held, *color & 0x00FFFFFF) : held;
}

}  // namespace

HFONT CreateFontIndirectA(const LOGFONTA* font) {
    if (!font) return Fail<HFONT>(ERROR_INVALID_PARAMETER, nullptr);
    StateAccess s;
    FontObj f;
    f.log = *font;
    f.log.lfFaceName[LF_FACESIZE - 1] = '\0';
    return reinterpret_cast<HFONT>(s->Add(std::move(f)));
}

COLORREF SetTextColor(HDC hdc, COLORREF color) {
    return ExchangeColor(hdc, &DcState::textColor, color);
}

COLORREF GetTextColor(HDC hdc) { return ExchangeColor(hdc, &DcState::textColor, std::nullopt); }

COLORREF SetBkColor(HDC hdc, COLORREF color) {
    return ExchangeColor(hdc, &DcState::bkColor, color);
}

COLORREF GetBkColor(HDC hdc) { return ExchangeColor(hdc, &DcState::bkColor, std::nullopt); }

int SetBkMode(HDC hdc, int mode) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    if (mode != TRANSPARENT && mode != OPAQUE) return Fail(ERROR_INVALID_PARAMETER, 0);
    return std::exchange(dc->state.bkMode, mode);
}

int GetBkMode(HDC hdc) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    return dc ? dc->state.bkMode : 0;
}

BOOL GetTextExtentPoint32A(HDC hdc, const char* text, int count, SIZE* size) {
    if (!size) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    const FontFace& face = *FontOf(*s, *dc).face;
    int width = 0;
    for (char32_t c : tarnwick::platform::DecodeUtf8(TextOf(text, count))) width += face.Advance(c);
    size->cx = width;
    size->cy = face.Metrics().Height();
    return TRUE;
}

BOOL GetTextMetricsA(HDC hdc, TEXTMETRICA* tm) {
    if (!tm) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    const FontObj& font = FontOf(*s, *dc);
    const auto& m = font.face->Metrics();
    *tm = TEXTMETRICA{};
    tm->tmHeight = m.Height();
    tm->tmAscent = m.ascent;
    tm->tmDescent = m.descent;
    tm->tmInternalLeading = m.internalLeading;
    tm->tmAveCharWidth = m.averageCharWidth;
    tm->tmMaxCharWidth = m.maxCharWidth;
    tm->tmWeight = font.log.lfWeight >= 600 ? FW_BOLD : FW_NORMAL;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = 96;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFF;
    tm->tmDefaultChar = '?';
    tm->tmBreakChar = ' ';
    tm->tmItalic = font.log.lfItalic ? 1 : 0;
    tm->tmUnderlined = font.log.lfUnderline ? 1 : 0;
    tm->tmStruckOut = font.log.lfStrikeOut ? 1 : 0;
    tm->tmPitchAndFamily = VARIABLE_PITCH;  // scalable, proportional
    tm->tmCharSet = font.log.lfCharSet;
    return TRUE;
}

BOOL TextOutA(HDC hdc, int x, int y, const char* text, int count) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    Surface* target = s->Target(*dc);
    if (!target) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    const FontObj& font = FontOf(*s, *dc);
    const Layout layout(*font.face, DT_SINGLELINE | DT_NOPREFIX);
    for (const Line& line : layout.Lines(TextOf(text, count), 0))
        DrawLine(*s, *dc, *target, font, line, layout, x, y,
                 {LLONG_MIN, LLONG_MIN, LLONG_MAX, LLONG_MAX});
    return TRUE;
}

int DrawTextA(HDC hdc, const char* text, int count, RECT* rect, UINT format) {
    if (!rect) return Fail(ERROR_INVALID_PARAMETER, 0);
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    const FontObj& font = FontOf(*s, *dc);
    const Layout layout(*font.face, format);
    const int lineHeight = font.face->Metrics().Height();
    const std::vector<Line> lines = layout.Lines(TextOf(text, count), rect->right - rect->left);
    int widest = 0;
    for (const Line& l : lines) widest = std::max(widest, l.width);
    const int height = lineHeight * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        rect->right = rect->left + widest;
        rect->bottom = rect->top + height;
        return height;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_BOTTOM)
            y = rect->bottom - height;
        else if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - height) / 2;
    }
    Surface* target = s->Target(*dc);
    if (!target) return Fail(ERROR_NOT_ENOUGH_MEMORY, 0);
    DeviceBox limit{LLONG_MIN, LLONG_MIN, LLONG_MAX, LLONG_MAX};
    if (!(format & DT_NOCLIP))
        limit = {dc->DeviceX(rect->left), dc->DeviceY(rect->top), dc->DeviceX(rect->right),
                 dc->DeviceY(rect->bottom)};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const Line& line = lines[i];
        int x = rect->left;
        if (format & DT_RIGHT)
            x = rect->right - line.width;
        else if (format & DT_CENTER)
            x = rect->left + (rect->right - rect->left - line.width) / 2;
        DrawLine(*s, *dc, *target, font, line, layout, x, y + lineHeight * static_cast<int>(i),
                 limit);
    }
    return (format & DT_SINGLELINE) && (format & (DT_BOTTOM | DT_VCENTER)) ? y - rect->top + height
                                                                           : height;
}
