// Text rasterisation with GDI: a face is a font selected into a memory DC
// of its own; glyphs come from GetGlyphOutline as 65-level grey, widened to
// 8-bit coverage. Metrics are the font's text metrics, advances its cell
// increments, so text measures as GDI itself would measure it. The dialog
// font's names ("MS Sans Serif" and its kin) ask for Arial, the face whose
// widths the Linux build's pinned face shares.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/FontRasteriser.h"
#include "platform/FontSource.h"

namespace tarnwick::platform {

namespace {

constexpr const wchar_t* kDialogFace = L"Arial";

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(std::max(n, 0)), L'\0');
    if (n > 0)
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const wchar_t* text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (n <= 1) return {};
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    out.pop_back();  // the terminator
    return out;
}

// GDI takes characters as UTF-16 units: one outside that plane is drawn as
// the replacement character.
UINT CharCode(char32_t c) { return c <= 0xFFFF ? static_cast<UINT>(c) : 0xFFFDu; }

class GdiFace final : public FontFace {
public:
    // Takes the DC and the font selected into it.
    GdiFace(HDC dc, HFONT font, HGDIOBJ previous) : dc_(dc), font_(font), previous_(previous) {
        TEXTMETRICW tm{};
        GetTextMetricsW(dc_, &tm);
        metrics_.ascent = tm.tmAscent;
        metrics_.descent = tm.tmDescent;
        metrics_.internalLeading = tm.tmInternalLeading;
        metrics_.averageCharWidth = tm.tmAveCharWidth;
        metrics_.maxCharWidth = tm.tmMaxCharWidth;
        wchar_t face[LF_FACESIZE] = {};
        GetTextFaceW(dc_, LF_FACESIZE, face);
        name_ = Narrow(face);
        const DWORD pairs = GetKerningPairsW(dc_, 0, nullptr);
        if (pairs != 0 && pairs != GDI_ERROR) {
            std::vector<KERNINGPAIR> table(pairs);
            const DWORD got = GetKerningPairsW(dc_, pairs, table.data());
            for (DWORD i = 0; i < got && got != GDI_ERROR; ++i)
                kerning_[PairKey(table[i].wFirst, table[i].wSecond)] = table[i].iKernAmount;
        }
    }

    ~GdiFace() override {
        SelectObject(dc_, previous_);
        DeleteObject(font_);
        DeleteDC(dc_);
    }

    const FontMetrics& Metrics() const override { return metrics_; }
    const std::string& FamilyName() const override { return name_; }

    int Advance(char32_t c) const override { return LoadGlyph(c).advance; }

    int Kerning(char32_t left, char32_t right) const override {
        auto it = kerning_.find(PairKey(CharCode(left), CharCode(right)));
        return it == kerning_.end() ? 0 : it->second;
    }

    Coverage Render(std::u32string_view text) const override {
        return ComposeGlyphs(text, metrics_.ascent,
                             [this](char32_t c) -> const Glyph& { return LoadGlyph(c); });
    }

private:
    static std::uint32_t PairKey(UINT left, UINT right) {
        return (static_cast<std::uint32_t>(left & 0xFFFFu) << 16) | (right & 0xFFFFu);
    }

    const Glyph& LoadGlyph(char32_t c) const {
        auto it = glyphs_.find(c);
        if (it != glyphs_.end()) return it->second;
        Glyph g;
        const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
        GLYPHMETRICS gm{};
        const UINT code = CharCode(c);
        const DWORD size =
            GetGlyphOutlineW(dc_, code, GGO_GRAY8_BITMAP, &gm, 0, nullptr, &identity);
        if (size != GDI_ERROR) {
            g.advance = gm.gmCellIncX;
            // A blank glyph (a space) has metrics but no bitmap.
            std::vector<BYTE> bits(size);
            if (size > 0 && GetGlyphOutlineW(dc_, code, GGO_GRAY8_BITMAP, &gm, size, bits.data(),
                                             &identity) != GDI_ERROR) {
                g.left = gm.gmptGlyphOrigin.x;
                g.top = gm.gmptGlyphOrigin.y;
                g.width = static_cast<int>(gm.gmBlackBoxX);
                g.height = static_cast<int>(gm.gmBlackBoxY);
                // Rows are padded to whole 32-bit words; levels run 0..64.
                const std::size_t pitch = (static_cast<std::size_t>(g.width) + 3) & ~std::size_t{3};
                if (pitch * static_cast<std::size_t>(g.height) > bits.size()) {
                    g.width = g.height = 0;
                } else {
                    g.pixels.resize(static_cast<std::size_t>(g.width) * g.height);
                    for (int y = 0; y < g.height; ++y)
                        for (int x = 0; x < g.width; ++x) {
                            const unsigned level = std::min<unsigned>(bits[y * pitch + x], 64);
                            g.pixels[static_cast<std::size_t>(y) * g.width + x] =
                                static_cast<std::uint8_t>((level * 255 + 32) / 64);
                        }
                }
            }
        }
        return glyphs_.emplace(c, std::move(g)).first->second;
    }

    HDC dc_;
    HFONT font_;
    HGDIOBJ previous_;
    std::string name_;
    FontMetrics metrics_;
    std::unordered_map<std::uint32_t, int> kerning_;
    mutable std::unordered_map<char32_t, Glyph> glyphs_;
};

}  // namespace

std::shared_ptr<const FontFace> OpenFace(const FontRequest& request) {
    const std::wstring family =
        IsDefaultFamily(request.family) ? kDialogFace : Widen(request.family);
    if (family.size() >= LF_FACESIZE) return MakeEmptyFace();
    LOGFONTW lf{};
    lf.lfHeight = request.height;  // GDI's own convention: negative asks for the em
    lf.lfWeight = request.bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = request.italic ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_TT_PRECIS;
    lf.lfQuality = ANTIALIASED_QUALITY;
    std::copy(family.begin(), family.end(), lf.lfFaceName);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return MakeEmptyFace();
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) {
        DeleteObject(font);
        return MakeEmptyFace();
    }
    HGDIOBJ previous = SelectObject(dc, font);
    return std::make_shared<GdiFace>(dc, font, previous);
}

}  // namespace tarnwick::platform
