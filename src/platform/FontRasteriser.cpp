// Text rasterisation with FreeType; fontconfig finds faces by name.
//
// TrueType glyphs are hinted by the face's own instructions with the classic
// interpreter, which snaps stems to whole columns and rows as the faces were
// hinted for: at 11 pixels that is far crisper than vertical-only hinting,
// which leaves one-pixel stems smeared over two columns. The advances are
// the hinted ones, whole pixels. Coverage is 8-bit grey. All of it is a
// plain function of the face file and the FreeType version, so a pinned face
// draws the same pixels every time.
#include "platform/FontRasteriser.h"
#include "platform/FontSource.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_DRIVER_H
#include FT_MODULE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <tuple>
#include <unordered_map>

namespace tarnwick::platform {

namespace {

constexpr const char* kPinnedFolder = "/usr/share/fonts/truetype/liberation2/";

// FreeType's library object. Every face holds it, and so does the process
// (or the module) until it ends: the library is released with the last of
// them, so that a module the host unloads gives it back, and a face that
// outlives the font cache (in an editor a host never closed) never refers
// to a released library.
class Library {
public:
    static std::shared_ptr<Library> Shared() {
        // Null when FreeType cannot start.
        static const std::shared_ptr<Library> library = [] {
            FT_Library lib = nullptr;
            if (FT_Init_FreeType(&lib) != 0) return std::shared_ptr<Library>();
            FT_UInt classic = TT_INTERPRETER_VERSION_35;
            FT_Property_Set(lib, "truetype", "interpreter-version", &classic);
            return std::make_shared<Library>(lib);
        }();
        return library;
    }

    explicit Library(FT_Library lib) : lib_(lib) {}
    ~Library() { FT_Done_FreeType(lib_); }
    Library(const Library&) = delete;
    Library& operator=(const Library&) = delete;

    FT_Library Get() const { return lib_; }

private:
    FT_Library lib_;
};

// fontconfig's configuration of our own, made on the first match; released
// with the module (or the process). The process's current configuration,
// which a host may use too, is never touched.
struct ConfigRelease {
    void operator()(FcConfig* config) const { FcConfigDestroy(config); }
};

struct FaceFile {
    std::string path;
    int index = 0;
    bool emboldened = false;  // the file is lighter than asked: thicken
    bool slanted = false;     // the file is upright where italic was asked
};

// fontconfig's best match for a family, or an empty path.
FaceFile MatchWithFontconfig(const std::string& family, bool bold, bool italic) {
    static const std::unique_ptr<FcConfig, ConfigRelease> ownConfig(FcInitLoadConfigAndFonts());
    FcConfig* config = ownConfig.get();
    FaceFile out;
    if (!config) return out;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return out;
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(config, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return out;
    FcChar8* file = nullptr;
    if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file) {
        out.path = reinterpret_cast<const char*>(file);
        int index = 0, weight = FC_WEIGHT_REGULAR, slant = FC_SLANT_ROMAN;
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) == FcResultMatch) out.index = index;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        out.emboldened = bold && weight < FC_WEIGHT_DEMIBOLD;
        out.slanted = italic && slant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return out;
}

FaceFile Resolve(const FontRequest& r) {
    if (IsDefaultFamily(r.family)) {
        std::string pinned = DefaultFontFile(r.bold, r.italic);
        std::error_code ec;
        if (std::filesystem::exists(pinned, ec)) return {pinned, 0, false, false};
        FaceFile f = MatchWithFontconfig("Liberation Sans", r.bold, r.italic);
        if (!f.path.empty()) return f;
        return MatchWithFontconfig("sans-serif", r.bold, r.italic);
    }
    return MatchWithFontconfig(r.family, r.bold, r.italic);
}

class FreeTypeFace final : public FontFace {
public:
    FreeTypeFace(std::shared_ptr<Library> library, FT_Face face, const FaceFile& file,
                 const FontRequest& request)
        : library_(std::move(library)), face_(face), file_(file) {
        name_ = face->family_name ? face->family_name : "";
        const double upem = face->units_per_EM ? face->units_per_EM : 2048;
        double winAscent = face->ascender, winDescent = -face->descender;
        double avgWidth = 0;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
            os2 && os2->version != 0xFFFF) {
            if (os2->usWinAscent + os2->usWinDescent > 0) {
                winAscent = os2->usWinAscent;
                winDescent = os2->usWinDescent;
            }
            avgWidth = os2->xAvgCharWidth;
        }
        if (winAscent + winDescent <= 0) winAscent = upem;
        // The em in 26.6 pixels: given directly, or the part of the cell
        // height that the em takes.
        double em = kDefaultCharHeight;
        if (request.height < 0) em = -static_cast<double>(request.height);
        if (request.height > 0) em = request.height * upem / (winAscent + winDescent);
        const auto em26 = static_cast<FT_F26Dot6>(std::lround(em * 64));
        FT_Set_Char_Size(face_, 0, std::max<FT_F26Dot6>(em26, 1), 72, 72);
        const double scale = em / upem;
        if (request.height > 0) {
            metrics_.ascent = static_cast<int>(std::lround(winAscent * scale));
            metrics_.descent = request.height - metrics_.ascent;
        } else {
            metrics_.ascent = static_cast<int>(std::ceil(winAscent * scale - 1e-9));
            metrics_.descent = static_cast<int>(std::ceil(winDescent * scale - 1e-9));
        }
        metrics_.internalLeading =
            std::max(0, metrics_.Height() - static_cast<int>(std::lround(em)));
        metrics_.averageCharWidth = avgWidth > 0 ? static_cast<int>(std::lround(avgWidth * scale))
                                                 : LoadGlyph(U'x').advance;
        metrics_.maxCharWidth =
            static_cast<int>(std::ceil(face->max_advance_width * scale - 1e-9)) +
            (file_.emboldened ? 1 : 0);
    }
    ~FreeTypeFace() override { FT_Done_Face(face_); }

    const FontMetrics& Metrics() const override { return metrics_; }
    const std::string& FamilyName() const override { return name_; }

    int Advance(char32_t c) const override { return LoadGlyph(c).advance; }

    int Kerning(char32_t left, char32_t right) const override {
        if (!FT_HAS_KERNING(face_)) return 0;
        FT_Vector k{0, 0};
        if (FT_Get_Kerning(face_, FT_Get_Char_Index(face_, left), FT_Get_Char_Index(face_, right),
                           FT_KERNING_DEFAULT, &k) != 0)
            return 0;
        return static_cast<int>(k.x >> 6);
    }

    Coverage Render(std::u32string_view text) const override {
        return ComposeGlyphs(text, metrics_.ascent,
                             [this](char32_t c) -> const Glyph& { return LoadGlyph(c); });
    }

private:
    const Glyph& LoadGlyph(char32_t c) const {
        auto it = glyphs_.find(c);
        if (it != glyphs_.end()) return it->second;
        Glyph g;
        if (FT_Load_Char(face_, c, FT_LOAD_TARGET_NORMAL) == 0) {
            FT_GlyphSlot slot = face_->glyph;
            if (file_.slanted) FT_GlyphSlot_Oblique(slot);
            if (file_.emboldened) FT_GlyphSlot_Embolden(slot);
            g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
            if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) == 0 &&
                slot->bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
                const FT_Bitmap& bm = slot->bitmap;
                g.left = slot->bitmap_left;
                g.top = slot->bitmap_top;
                g.width = static_cast<int>(bm.width);
                g.height = static_cast<int>(bm.rows);
                g.pixels.resize(static_cast<std::size_t>(g.width) * g.height);
                for (int y = 0; y < g.height; ++y)
                    std::memcpy(&g.pixels[static_cast<std::size_t>(y) * g.width],
                                bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch,
                                static_cast<std::size_t>(g.width));
            }
        }
        return glyphs_.emplace(c, std::move(g)).first->second;
    }

    std::shared_ptr<Library> library_;
    FT_Face face_;
    FaceFile file_;
    std::string name_;
    FontMetrics metrics_;
    mutable std::unordered_map<char32_t, Glyph> glyphs_;
};

}  // namespace

std::shared_ptr<const FontFace> OpenFace(const FontRequest& request) {
    const FaceFile file = Resolve(request);
    std::shared_ptr<Library> library = Library::Shared();
    if (file.path.empty() || !library) return MakeEmptyFace();
    FT_Face face = nullptr;
    if (FT_New_Face(library->Get(), file.path.c_str(), file.index, &face) != 0 || !face)
        return MakeEmptyFace();
    if (!FT_IS_SCALABLE(face)) {
        FT_Done_Face(face);
        return MakeEmptyFace();
    }
    return std::make_shared<FreeTypeFace>(std::move(library), face, file, request);
}

std::string DefaultFontFile(bool bold, bool italic) {
    const char* style = bold ? (italic ? "BoldItalic" : "Bold") : (italic ? "Italic" : "Regular");
    return std::string(kPinnedFolder) + "LiberationSans-" + style + ".ttf";
}

}  // namespace tarnwick::platform
