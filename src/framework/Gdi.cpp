#include "framework/Gdi.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <variant>
#include <vector>

#include "platform/Window.h"

namespace {

// ---- last error ------------------------------------------------------------------

thread_local DWORD lastError = ERROR_SUCCESS;

struct ErrorText {
    DWORD code;
    const char* text;
};
constexpr ErrorText kErrorTexts[] = {
    {ERROR_SUCCESS, "The operation completed successfully."},
    {1, "Incorrect function."},
    {ERROR_FILE_NOT_FOUND, "The system cannot find the file specified."},
    {3, "The system cannot find the path specified."},
    {ERROR_ACCESS_DENIED, "Access is denied."},
    {ERROR_INVALID_HANDLE, "The handle is invalid."},
    {ERROR_NOT_ENOUGH_MEMORY, "Not enough storage is available to process this command."},
    {ERROR_OUTOFMEMORY, "Not enough memory resources are available to complete this operation."},
    {ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {ERROR_INSUFFICIENT_BUFFER, "The data area passed to a system call is too small."},
    {ERROR_BUSY, "The requested resource is in use."},
    {ERROR_MR_MID_NOT_FOUND,
     "The system cannot find message text for message number 0x%1 in the message file for %2."},
    {ERROR_INVALID_WINDOW_HANDLE, "Invalid window handle."},
};

const char* FindErrorText(DWORD code) {
    for (const ErrorText& e : kErrorTexts) {
        if (e.code == code) return e.text;
    }
    return nullptr;
}

template <class T>
T Fail(DWORD code, T result) {
    lastError = code;
    return result;
}

// ---- pixel stores -------------------------------------------------------------------

// Sections larger than this fail as the system fails them: out of memory.
constexpr std::size_t kMaxSectionBytes = std::size_t{256} << 20;

// The 20 colours an 8-bit display keeps for itself, 10 at each end of the
// system palette; they are also the default logical palette.
constexpr std::array<PALETTEENTRY, 20> kStaticColors = {{
    {0, 0, 0, 0},       {128, 0, 0, 0},     {0, 128, 0, 0},     {128, 128, 0, 0},
    {0, 0, 128, 0},     {128, 0, 128, 0},   {0, 128, 128, 0},   {192, 192, 192, 0},
    {192, 220, 192, 0}, {166, 202, 240, 0}, {255, 251, 240, 0}, {160, 160, 164, 0},
    {128, 128, 128, 0}, {255, 0, 0, 0},     {0, 255, 0, 0},     {255, 255, 0, 0},
    {0, 0, 255, 0},     {255, 0, 255, 0},   {0, 255, 255, 0},   {255, 255, 255, 0},
}};
constexpr int kFirstFree = 10, kEndFree = 246;  // system entries 10..245 are free

int StaticSystemIndex(int i) { return i < 10 ? i : 236 + i; }

struct FreeDeleter {
    void operator()(std::uint8_t* p) const { std::free(p); }
};

// Rows of 8, 24 or 32 bits; 8-bit stores read their colours from `colors`.
struct Surface {
    int width = 0;
    int height = 0;
    int bpp = 32;
    std::size_t stride = 0;
    bool topDown = false;
    std::uint8_t* bits = nullptr;
    std::vector<RGBQUAD> colors;  // the colour table of an 8-bit store (up to 256)

    std::uint8_t* Row(int y) const {
        return bits + stride * static_cast<std::size_t>(topDown ? y : height - 1 - y);
    }
};

std::uint32_t QuadToPixel(const RGBQUAD& q) {
    return q.rgbBlue | (std::uint32_t{q.rgbGreen} << 8) | (std::uint32_t{q.rgbRed} << 16);
}

// Nearest colour by the sum of squared differences; ties keep the lower index.
int Nearest(const std::vector<RGBQUAD>& table, std::uint32_t px,
            const std::vector<int>* only = nullptr) {
    const int b = px & 0xFF, g = (px >> 8) & 0xFF, r = (px >> 16) & 0xFF;
    int best = 0;
    long bestD = -1;
    auto consider = [&](int i) {
        const RGBQUAD& q = table[static_cast<std::size_t>(i)];
        const long d = (q.rgbRed - r) * (q.rgbRed - r) + (q.rgbGreen - g) * (q.rgbGreen - g) +
                       (q.rgbBlue - b) * (q.rgbBlue - b);
        if (bestD < 0 || d < bestD) {
            bestD = d;
            best = i;
        }
    };
    if (only) {
        for (int i : *only) consider(i);
    } else {
        for (int i = 0; i < static_cast<int>(table.size()); ++i) consider(i);
    }
    return best;
}

// ---- regions ---------------------------------------------------------------------

// A region as horizontal bands: each band covers rows [top, bottom) and a
// sorted list of disjoint, non-touching spans [left, right). Bands are sorted,
// disjoint, and no two touching bands have equal spans, so equal regions have
// equal representations.
struct Band {
    int top, bottom;
    std::vector<std::pair<int, int>> spans;
    bool operator==(const Band&) const = default;
};
using Region = std::vector<Band>;

using Spans = std::vector<std::pair<int, int>>;

Spans CombineSpans(const Spans& a, const Spans& b, int mode) {
    std::vector<int> xs;
    for (auto& s : a) {
        xs.push_back(s.first);
        xs.push_back(s.second);
    }
    for (auto& s : b) {
        xs.push_back(s.first);
        xs.push_back(s.second);
    }
    std::sort(xs.begin(), xs.end());
    xs.erase(std::unique(xs.begin(), xs.end()), xs.end());
    Spans out;
    std::size_t ia = 0, ib = 0;
    for (std::size_t k = 0; k + 1 < xs.size(); ++k) {
        const int x = xs[k];
        while (ia < a.size() && a[ia].second <= x) ++ia;
        while (ib < b.size() && b[ib].second <= x) ++ib;
        const bool inA = ia < a.size() && a[ia].first <= x;
        const bool inB = ib < b.size() && b[ib].first <= x;
        bool in = false;
        switch (mode) {
            case RGN_AND: in = inA && inB; break;
            case RGN_OR: in = inA || inB; break;
            case RGN_XOR: in = inA != inB; break;
            case RGN_DIFF: in = inA && !inB; break;
            default: in = inA; break;
        }
        if (!in) continue;
        if (!out.empty() && out.back().second == x) {
            out.back().second = xs[k + 1];
        } else {
            out.emplace_back(x, xs[k + 1]);
        }
    }
    return out;
}

void AppendBand(Region& r, int top, int bottom, Spans spans) {
    if (spans.empty() || top >= bottom) return;
    if (!r.empty() && r.back().bottom == top && r.back().spans == spans) {
        r.back().bottom = bottom;
    } else {
        r.push_back({top, bottom, std::move(spans)});
    }
}

const Spans& SpansAt(const Region& r, int y) {
    static const Spans none;
    auto it =
        std::upper_bound(r.begin(), r.end(), y, [](int v, const Band& b) { return v < b.bottom; });
    return it != r.end() && it->top <= y ? it->spans : none;
}

Region CombineRegions(const Region& a, const Region& b, int mode) {
    std::vector<int> ys;
    for (auto& band : a) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    for (auto& band : b) {
        ys.push_back(band.top);
        ys.push_back(band.bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    Region out;
    for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
        AppendBand(out, ys[k], ys[k + 1], CombineSpans(SpansAt(a, ys[k]), SpansAt(b, ys[k]), mode));
    }
    return out;
}

// Region coordinates stay within 27 bits, as the system's do, so that no
// offset or combination can overflow.
constexpr int kMaxCoord = 1 << 27;
int ClampCoord(LONG v) { return std::clamp<LONG>(v, -kMaxCoord, kMaxCoord); }

// The union of rectangles in any order; empty rectangles add nothing.
Region RegionFromRects(const RECT* input, std::size_t n) {
    std::vector<RECT> clamped(input, input + n);
    for (RECT& rc : clamped) {
        rc = {ClampCoord(rc.left), ClampCoord(rc.top), ClampCoord(rc.right), ClampCoord(rc.bottom)};
    }
    const RECT* rects = clamped.data();
    std::vector<int> ys;
    for (std::size_t i = 0; i < n; ++i) {
        if (rects[i].left < rects[i].right && rects[i].top < rects[i].bottom) {
            ys.push_back(rects[i].top);
            ys.push_back(rects[i].bottom);
        }
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    Region out;
    Spans spans;
    for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
        spans.clear();
        for (std::size_t i = 0; i < n; ++i) {
            const RECT& rc = rects[i];
            if (rc.left < rc.right && rc.top <= ys[k] && ys[k] < rc.bottom)
                spans.emplace_back(rc.left, rc.right);
        }
        std::sort(spans.begin(), spans.end());
        Spans merged;
        for (auto& s : spans) {
            if (!merged.empty() && s.first <= merged.back().second) {
                merged.back().second = std::max(merged.back().second, s.second);
            } else {
                merged.push_back(s);
            }
        }
        AppendBand(out, ys[k], ys[k + 1], std::move(merged));
    }
    return out;
}

int Complexity(const Region& r) {
    if (r.empty()) return NULLREGION;
    return r.size() == 1 && r[0].spans.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT Box(const Region& r) {
    if (r.empty()) return {0, 0, 0, 0};
    RECT box{r.front().spans.front().first, r.front().top, r.front().spans.back().second,
             r.back().bottom};
    for (auto& b : r) {
        box.left = std::min(box.left, b.spans.front().first);
        box.right = std::max(box.right, b.spans.back().second);
    }
    return box;
}

// ---- objects ----------------------------------------------------------------------

using Id = std::uintptr_t;

struct DcObj {
    bool memory = false;    // a memory context; otherwise the screen or a window
    Id window = 0;          // the window whose pixels a window context draws on
    Surface windowSurface;  // those pixels, as Target last found them
    int bpp = 32;
    Id bitmap = 0;
    Id palette = 0;
    int stretchMode = BLACKONWHITE;
    bool background = false;  // the palette realises in the background
};

struct BitmapObj {
    Surface surface;
    std::unique_ptr<std::uint8_t, FreeDeleter> storage;
    Id selectedInto = 0;
};

struct RegionObj {
    Region region;
};

struct PaletteObj {
    std::vector<PALETTEENTRY> entries;
    std::vector<int> systemIndex;  // per entry, after realisation
    bool realized = false;
};

using Object = std::variant<DcObj, BitmapObj, RegionObj, PaletteObj>;

struct State {
    std::mutex mutex;
    std::unordered_map<Id, Object> objects;
    Id next = 0x10000;
    Id stockBitmap = 0;
    Id stockPalette = 0;
    int displayBpp = 32;
    int displayWidth = 1024;
    int displayHeight = 768;
    BitmapObj screen;  // the display's pixels, made when first drawn on
    std::vector<RGBQUAD> systemPalette;
    std::array<Id, 256> owner{};  // the palette that took each free entry

    State() {
        ResetSystemPalette();
        Id id = next++;
        BitmapObj stock;  // the 1 x 1 bitmap every memory context starts with
        stock.surface.width = stock.surface.height = 1;
        stock.surface.stride = 4;
        stock.storage.reset(static_cast<std::uint8_t*>(std::calloc(1, 4)));
        stock.surface.bits = stock.storage.get();
        objects.emplace(id, std::move(stock));
        stockBitmap = id;
        id = next++;
        PaletteObj pal;
        pal.entries.assign(kStaticColors.begin(), kStaticColors.end());
        objects.emplace(id, std::move(pal));
        stockPalette = id;
    }

    void ResetSystemPalette() {
        systemPalette.assign(256, RGBQUAD{0, 0, 0, 0});
        for (int i = 0; i < 20; ++i) {
            const PALETTEENTRY& e = kStaticColors[static_cast<std::size_t>(i)];
            systemPalette[static_cast<std::size_t>(StaticSystemIndex(i))] = {e.peBlue, e.peGreen,
                                                                             e.peRed, 0};
        }
        owner.fill(0);
    }

    bool IsStock(Id id) const { return id == stockBitmap || id == stockPalette; }

    template <class T>
    T* Get(const void* handle) {
        auto it = objects.find(reinterpret_cast<Id>(handle));
        if (it == objects.end()) return nullptr;
        return std::get_if<T>(&it->second);
    }

    Id Add(Object o) {
        const Id id = next;
        next += 4;
        objects.emplace(id, std::move(o));
        return id;
    }

    // The pixels a context draws on: its selected bitmap, or the display.
    Surface* Target(DcObj& dc) {
        if (dc.memory) {
            BitmapObj* b = Get<BitmapObj>(reinterpret_cast<void*>(dc.bitmap));
            return b ? &b->surface : nullptr;
        }
        if (dc.window) {
            // Looked up every time: the window may have been resized or destroyed.
            tarnwick::platform::Window* w = tarnwick::platform::WindowFromHandle(dc.window);
            if (!w) return nullptr;
            Surface& ws = dc.windowSurface;
            ws = Surface{};
            ws.width = w->Width();
            ws.height = w->Height();
            ws.stride = static_cast<std::size_t>(ws.width) * 4;
            ws.topDown = true;
            ws.bits = reinterpret_cast<std::uint8_t*>(w->Pixels());
            return &ws;
        }
        Surface& s = screen.surface;
        if (!s.bits || s.bpp != displayBpp || s.width != displayWidth ||
            s.height != displayHeight) {
            s = Surface{};
            s.width = displayWidth;
            s.height = displayHeight;
            s.bpp = displayBpp;
            s.stride = static_cast<std::size_t>(displayWidth) * (displayBpp / 8);
            s.topDown = true;
            screen.storage.reset(
                static_cast<std::uint8_t*>(std::calloc(s.stride * displayHeight, 1)));
            s.bits = screen.storage.get();
            if (!s.bits) return nullptr;
        }
        if (s.bpp == 8) s.colors = systemPalette;
        return &s;
    }
};

State& S() {
    static State state;
    return state;
}

template <class T>
T* Lookup(State& s, const void* handle) {
    T* obj = s.Get<T>(handle);
    if (!obj) lastError = ERROR_INVALID_HANDLE;
    return obj;
}

// Turns colours into the indices of an 8-bit store a context draws on: the
// section's own colour table, or on the display the entries of the realised
// palette (or the static colours when none is).
class IndexMapper {
public:
    IndexMapper(State& s, DcObj& dc, const Surface& target) : table_(&target.colors) {
        if (dc.memory || target.bpp != 8) return;
        PaletteObj* pal = s.Get<PaletteObj>(reinterpret_cast<void*>(dc.palette));
        if (pal && pal->realized && dc.palette != s.stockPalette) {
            only_ = pal->systemIndex;
        } else {
            for (int i = 0; i < 20; ++i) only_.push_back(StaticSystemIndex(i));
        }
        std::sort(only_.begin(), only_.end());
        only_.erase(std::unique(only_.begin(), only_.end()), only_.end());
    }
    std::uint8_t operator()(std::uint32_t px) {
        px &= 0x00FFFFFF;
        auto it = cache_.find(px);
        if (it != cache_.end()) return it->second;
        const auto index =
            static_cast<std::uint8_t>(Nearest(*table_, px, only_.empty() ? nullptr : &only_));
        cache_.emplace(px, index);
        return index;
    }

private:
    const std::vector<RGBQUAD>* table_;
    std::vector<int> only_;
    std::unordered_map<std::uint32_t, std::uint8_t> cache_;
};

// Pixel x of a row as the word 0xMMRRGGBB (mask 0 for stores without one).
std::uint32_t ReadPixel(const Surface& s, const std::uint8_t* row, int x) {
    switch (s.bpp) {
        case 8: return row[x] < s.colors.size() ? QuadToPixel(s.colors[row[x]]) : 0;
        case 24:
            return row[3 * x] | (std::uint32_t{row[3 * x + 1]} << 8) |
                   (std::uint32_t{row[3 * x + 2]} << 16);
        default: {
            std::uint32_t v;
            std::memcpy(&v, row + 4 * x, 4);
            return v;
        }
    }
}

void WritePixel(const Surface& s, std::uint8_t* row, int x, std::uint32_t px, IndexMapper& map) {
    switch (s.bpp) {
        case 8: row[x] = map(px); break;
        case 24:
            row[3 * x] = static_cast<std::uint8_t>(px);
            row[3 * x + 1] = static_cast<std::uint8_t>(px >> 8);
            row[3 * x + 2] = static_cast<std::uint8_t>(px >> 16);
            break;
        default: std::memcpy(row + 4 * x, &px, 4); break;
    }
}

std::uint32_t ColorRefToPixel(COLORREF c) {
    return GetBValue(c) | (std::uint32_t{GetGValue(c)} << 8) | (std::uint32_t{GetRValue(c)} << 16);
}
COLORREF PixelToColorRef(std::uint32_t px) {
    return RGB(static_cast<BYTE>(px >> 16), static_cast<BYTE>(px >> 8), static_cast<BYTE>(px));
}

// Samples source rectangle (xs, ys, ws, hs) of `src` onto rectangle
// (x, y, w, h) of `dst` (nearest neighbour, negative sizes mirror); pixels
// outside either store are skipped. The source is read completely first, so
// the two may overlap.
void Stretch(State& s, DcObj& dstDc, Surface& dst, int x, int y, int w, int h, const Surface& src,
             int xs, int ys, int ws, int hs) {
    const bool flipX = (w < 0) != (ws < 0), flipY = (h < 0) != (hs < 0);
    const long long dx0 = std::min<long long>(x, static_cast<long long>(x) + w);
    const long long dy0 = std::min<long long>(y, static_cast<long long>(y) + h);
    const long long sx0 = std::min<long long>(xs, static_cast<long long>(xs) + ws);
    const long long sy0 = std::min<long long>(ys, static_cast<long long>(ys) + hs);
    const long long aw = std::llabs(w), ah = std::llabs(h), aws = std::llabs(ws),
                    ahs = std::llabs(hs);
    if (aw == 0 || ah == 0 || aws == 0 || ahs == 0) return;

    // Destination columns and rows that land inside the destination store.
    const long long i0 = std::max<long long>(0, -dx0),
                    i1 = std::min<long long>(aw, dst.width - dx0);
    const long long j0 = std::max<long long>(0, -dy0),
                    j1 = std::min<long long>(ah, dst.height - dy0);
    if (i0 >= i1 || j0 >= j1) return;
    auto srcCol = [&](long long i) {
        const long long k = i * aws / aw;
        return flipX ? sx0 + aws - 1 - k : sx0 + k;
    };
    auto srcRow = [&](long long j) {
        const long long k = j * ahs / ah;
        return flipY ? sy0 + ahs - 1 - k : sy0 + k;
    };

    // Copy the part of the source that will be read.
    const long long cx0 = std::max<long long>(0, sx0),
                    cx1 = std::min<long long>(src.width, sx0 + aws);
    const long long cy0 = std::max<long long>(0, sy0),
                    cy1 = std::min<long long>(src.height, sy0 + ahs);
    if (cx0 >= cx1 || cy0 >= cy1) return;
    const std::size_t cw = static_cast<std::size_t>(cx1 - cx0);
    std::vector<std::uint32_t> copy(cw * static_cast<std::size_t>(cy1 - cy0));
    for (long long sy = cy0; sy < cy1; ++sy) {
        const std::uint8_t* row = src.Row(static_cast<int>(sy));
        for (long long sx = cx0; sx < cx1; ++sx) {
            copy[static_cast<std::size_t>(sy - cy0) * cw + static_cast<std::size_t>(sx - cx0)] =
                ReadPixel(src, row, static_cast<int>(sx));
        }
    }

    IndexMapper map(s, dstDc, dst);
    for (long long j = j0; j < j1; ++j) {
        const long long sy = srcRow(j);
        if (sy < cy0 || sy >= cy1) continue;
        std::uint8_t* row = dst.Row(static_cast<int>(dy0 + j));
        const std::uint32_t* line = copy.data() + static_cast<std::size_t>(sy - cy0) * cw;
        for (long long i = i0; i < i1; ++i) {
            const long long sx = srcCol(i);
            if (sx < cx0 || sx >= cx1) continue;
            WritePixel(dst, row, static_cast<int>(dx0 + i), line[sx - cx0], map);
        }
    }
}

bool SameColorTables(const Surface& a, const Surface& b) {
    return a.colors.size() == b.colors.size() &&
           std::memcmp(a.colors.data(), b.colors.data(), a.colors.size() * sizeof(RGBQUAD)) == 0;
}

}  // namespace

// ---- errors ------------------------------------------------------------------------

void SetLastError(DWORD code) { lastError = code; }
DWORD GetLastError() { return lastError; }

DWORD FormatMessageA(DWORD flags, const void*, DWORD messageId, DWORD, char* buffer, DWORD size,
                     void*) {
    if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM) || !buffer)
        return Fail<DWORD>(ERROR_INVALID_PARAMETER, 0);
    const char* text = FindErrorText(messageId);
    if (!text) return Fail<DWORD>(ERROR_MR_MID_NOT_FOUND, 0);
    const std::string full = std::string(text) + "\r\n";
    if (full.size() + 1 > size) return Fail<DWORD>(ERROR_INSUFFICIENT_BUFFER, 0);
    std::memcpy(buffer, full.c_str(), full.size() + 1);
    return static_cast<DWORD>(full.size());
}

std::string SystemErrorText(DWORD code) {
    const char* text = FindErrorText(code);
    return text ? text : "";
}

// ---- device contexts ---------------------------------------------------------------

HDC GetDC(HWND window) {
    const Id id = reinterpret_cast<Id>(window);
    if (id && !tarnwick::platform::WindowFromHandle(id))
        return Fail<HDC>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj dc;
    dc.window = id;
    dc.bpp = s.displayBpp;  // a window shows what the display can
    dc.palette = s.stockPalette;
    return reinterpret_cast<HDC>(s.Add(dc));
}

int ReleaseDC(HWND window, HDC hdc) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return 0;
    // Only the window a context was got for releases it.
    if (dc->memory || dc->window != reinterpret_cast<Id>(window))
        return Fail(ERROR_INVALID_HANDLE, 0);
    s.objects.erase(reinterpret_cast<Id>(hdc));
    return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj dc;
    dc.memory = true;
    dc.bpp = s.displayBpp;
    if (hdc) {
        DcObj* ref = Lookup<DcObj>(s, hdc);
        if (!ref) return nullptr;
        dc.bpp = ref->bpp;
    }
    dc.bitmap = s.stockBitmap;
    dc.palette = s.stockPalette;
    return reinterpret_cast<HDC>(s.Add(dc));
}

BOOL DeleteDC(HDC hdc) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return FALSE;
    if (dc->bitmap != s.stockBitmap) {
        if (BitmapObj* b = s.Get<BitmapObj>(reinterpret_cast<void*>(dc->bitmap)))
            b->selectedInto = 0;
    }
    s.objects.erase(reinterpret_cast<Id>(hdc));
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return nullptr;
    const Id id = reinterpret_cast<Id>(object);
    auto it = s.objects.find(id);
    if (it == s.objects.end()) return Fail<HGDIOBJ>(ERROR_INVALID_HANDLE, nullptr);
    BitmapObj* bmp = std::get_if<BitmapObj>(&it->second);
    // Palettes go through SelectPalette; only memory contexts take bitmaps.
    if (!bmp || !dc->memory) return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
    const Id self = reinterpret_cast<Id>(hdc);
    if (id != s.stockBitmap && bmp->selectedInto != 0 && bmp->selectedInto != self) {
        return Fail<HGDIOBJ>(ERROR_BUSY, nullptr);
    }
    const Id previous = dc->bitmap;
    if (previous != id) {
        if (BitmapObj* old = s.Get<BitmapObj>(reinterpret_cast<void*>(previous));
            old && previous != s.stockBitmap) {
            old->selectedInto = 0;
        }
        if (id != s.stockBitmap) bmp->selectedInto = self;
        dc->bitmap = id;
    }
    return reinterpret_cast<HGDIOBJ>(previous);
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return nullptr;
    if (type == OBJ_BITMAP) return dc->memory ? reinterpret_cast<HGDIOBJ>(dc->bitmap) : nullptr;
    if (type == OBJ_PAL) return reinterpret_cast<HGDIOBJ>(dc->palette);
    return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
}

DWORD GetObjectType(HGDIOBJ object) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    auto it = s.objects.find(reinterpret_cast<Id>(object));
    if (it == s.objects.end()) return Fail<DWORD>(ERROR_INVALID_HANDLE, 0);
    if (auto* dc = std::get_if<DcObj>(&it->second)) return dc->memory ? OBJ_MEMDC : OBJ_DC;
    if (std::holds_alternative<BitmapObj>(it->second)) return OBJ_BITMAP;
    if (std::holds_alternative<RegionObj>(it->second)) return OBJ_REGION;
    return OBJ_PAL;
}

int GetObjectA(HGDIOBJ object, int size, void* out) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    BitmapObj* b = Lookup<BitmapObj>(s, object);
    if (!b) return 0;
    if (!out) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return Fail(ERROR_INVALID_PARAMETER, 0);
    const Surface& sf = b->surface;
    BITMAP bm{0,
              sf.width,
              sf.height,
              static_cast<LONG>(sf.stride),
              1,
              static_cast<WORD>(sf.bpp),
              reinterpret_cast<Id>(object) == s.stockBitmap ? nullptr : sf.bits};
    std::memcpy(out, &bm, sizeof bm);
    return sizeof(BITMAP);
}

HGDIOBJ GetStockObject(int index) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    if (index == DEFAULT_PALETTE) return reinterpret_cast<HGDIOBJ>(s.stockPalette);
    return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
}

BOOL DeleteObject(HGDIOBJ object) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    const Id id = reinterpret_cast<Id>(object);
    auto it = s.objects.find(id);
    if (it == s.objects.end() || std::holds_alternative<DcObj>(it->second)) {
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    if (s.IsStock(id)) return TRUE;
    if (auto* b = std::get_if<BitmapObj>(&it->second); b && b->selectedInto != 0) {
        return Fail(ERROR_BUSY, FALSE);
    }
    if (std::holds_alternative<PaletteObj>(it->second)) {
        for (auto& [other, obj] : s.objects) {
            if (auto* dc = std::get_if<DcObj>(&obj); dc && dc->palette == id)
                return Fail(ERROR_BUSY, FALSE);
        }
        for (Id& o : s.owner) {
            if (o == id) o = 0;
        }
    }
    s.objects.erase(it);
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return 0;
    const bool palette = dc->bpp == 8;
    switch (index) {
        case HORZRES: return s.displayWidth;
        case VERTRES: return s.displayHeight;
        case BITSPIXEL: return dc->bpp;
        case PLANES: return 1;
        case NUMCOLORS: return palette ? 20 : -1;
        case RASTERCAPS:
            return RC_BITBLT | RC_BITMAP64 | RC_DI_BITMAP | RC_DIBTODEV | RC_STRETCHBLT |
                   (palette ? RC_PALETTE : 0);
        case SIZEPALETTE: return palette ? 256 : 0;
        case NUMRESERVED: return palette ? 20 : 0;
        case COLORRES: return palette ? 18 : 24;
        default: return 0;
    }
}

BOOL GdiFlush() { return TRUE; }

// ---- bitmaps ---------------------------------------------------------------------

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD) {
    if (bits) *bits = nullptr;
    State& s = S();
    std::lock_guard lock(s.mutex);
    if (hdc && !Lookup<DcObj>(s, hdc)) return nullptr;
    if (!info || section || usage != DIB_RGB_COLORS)
        return Fail<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
    const BITMAPINFOHEADER& h = info->bmiHeader;
    const int bpp = h.biBitCount;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || h.biWidth <= 0 || h.biHeight == 0 ||
        h.biHeight == INT32_MIN || h.biPlanes != 1 || (bpp != 8 && bpp != 24 && bpp != 32) ||
        h.biCompression != BI_RGB || (bpp == 8 && h.biClrUsed > 256)) {
        return Fail<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
    }
    Surface sf;
    sf.width = h.biWidth;
    sf.height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    sf.topDown = h.biHeight < 0;
    sf.bpp = bpp;
    sf.stride = ((static_cast<std::size_t>(sf.width) * bpp + 31) / 32) * 4;
    if (sf.stride > kMaxSectionBytes / static_cast<std::size_t>(sf.height)) {
        return Fail<HBITMAP>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    }
    BitmapObj b;
    b.storage.reset(static_cast<std::uint8_t*>(std::calloc(sf.stride * sf.height, 1)));
    if (!b.storage) return Fail<HBITMAP>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    sf.bits = b.storage.get();
    if (bpp == 8) {
        const std::size_t n = h.biClrUsed == 0 ? 256 : h.biClrUsed;
        const auto* table = reinterpret_cast<const RGBQUAD*>(
            reinterpret_cast<const std::uint8_t*>(info) + h.biSize);
        sf.colors.assign(table, table + n);
    }
    b.surface = std::move(sf);
    void* pixels = b.surface.bits;
    const Id id = s.Add(std::move(b));
    if (bits) *bits = pixels;
    return reinterpret_cast<HBITMAP>(id);
}

namespace {
BitmapObj* SelectedSection(State& s, HDC hdc) {
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return nullptr;
    BitmapObj* b = dc->memory ? s.Get<BitmapObj>(reinterpret_cast<void*>(dc->bitmap)) : nullptr;
    if (!b || b->surface.bpp != 8) return Fail<BitmapObj*>(ERROR_INVALID_PARAMETER, nullptr);
    return b;
}
}  // namespace

UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    BitmapObj* b = SelectedSection(s, hdc);
    const auto size = b ? static_cast<UINT>(b->surface.colors.size()) : 0;
    if (!b || !colors || start >= size) return 0;
    const UINT n = std::min(count, size - start);
    std::copy_n(b->surface.colors.begin() + start, n, colors);
    return n;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    BitmapObj* b = SelectedSection(s, hdc);
    const auto size = b ? static_cast<UINT>(b->surface.colors.size()) : 0;
    if (!b || !colors || start >= size) return 0;
    const UINT n = std::min(count, size - start);
    std::copy_n(colors, n, b->surface.colors.begin() + start);
    return n;
}

BOOL BitBlt(HDC hdest, int x, int y, int cx, int cy, HDC hsrc, int x1, int y1, DWORD rop) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dd = Lookup<DcObj>(s, hdest);
    if (!dd) return FALSE;
    Surface* dst = s.Target(*dd);
    if (!dst) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    if (rop == BLACKNESS || rop == WHITENESS) {
        IndexMapper map(s, *dd, *dst);
        const std::uint32_t px = rop == BLACKNESS ? 0u : 0xFFFFFFFFu;
        const int xa = std::max(x, 0), xb = static_cast<int>(std::min<long long>(
                                           dst->width, static_cast<long long>(x) + cx));
        const int ya = std::max(y, 0), yb = static_cast<int>(std::min<long long>(
                                           dst->height, static_cast<long long>(y) + cy));
        for (int yy = ya; yy < yb; ++yy) {
            for (int xx = xa; xx < xb; ++xx) WritePixel(*dst, dst->Row(yy), xx, px, map);
        }
        return TRUE;
    }
    if (rop != SRCCOPY) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    DcObj* sd = Lookup<DcObj>(s, hsrc);
    if (!sd) return FALSE;
    Surface* src = s.Target(*sd);
    if (!src) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    if (cx <= 0 || cy <= 0) return TRUE;
    // Clip against both stores; what is left moves one to one.
    long long dx = x, dy = y, sx = x1, sy = y1, w = cx, h = cy;
    auto clip = [&](long long& a, long long& b, long long& n, long long limitA, long long limitB) {
        const long long k = std::max({0LL, -a, -b});
        a += k;
        b += k;
        n -= k;
        n = std::min({n, limitA - a, limitB - b});
    };
    clip(dx, sx, w, dst->width, src->width);
    clip(dy, sy, h, dst->height, src->height);
    if (w <= 0 || h <= 0) return TRUE;
    if (dst->bpp == src->bpp && (dst->bpp != 8 || SameColorTables(*dst, *src))) {
        // Same layout: whole rows move; rows are taken in the order that keeps an
        // overlapping copy within one store correct.
        const std::size_t bytes = static_cast<std::size_t>(w) * (dst->bpp / 8);
        const std::size_t sOff = static_cast<std::size_t>(sx) * (src->bpp / 8);
        const std::size_t dOff = static_cast<std::size_t>(dx) * (dst->bpp / 8);
        const bool down = !(dst == src && dy > sy);
        for (long long k = 0; k < h; ++k) {
            const long long r = down ? k : h - 1 - k;
            std::memmove(dst->Row(static_cast<int>(dy + r)) + dOff,
                         src->Row(static_cast<int>(sy + r)) + sOff, bytes);
        }
        return TRUE;
    }
    Stretch(s, *dd, *dst, static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(w),
            static_cast<int>(h), *src, static_cast<int>(sx), static_cast<int>(sy),
            static_cast<int>(w), static_cast<int>(h));
    return TRUE;
}

BOOL StretchBlt(HDC hdest, int x, int y, int w, int h, HDC hsrc, int xs, int ys, int ws, int hs,
                DWORD rop) {
    if (rop != SRCCOPY) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dd = Lookup<DcObj>(s, hdest);
    DcObj* sd = dd ? Lookup<DcObj>(s, hsrc) : nullptr;
    if (!dd || !sd) return FALSE;
    Surface* dst = s.Target(*dd);
    Surface* src = s.Target(*sd);
    if (!dst || !src) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    Stretch(s, *dd, *dst, x, y, w, h, *src, xs, ys, ws, hs);
    return TRUE;
}

int SetStretchBltMode(HDC hdc, int mode) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return 0;
    if (mode < BLACKONWHITE || mode > HALFTONE) return Fail(ERROR_INVALID_PARAMETER, 0);
    const int previous = dc->stretchMode;
    dc->stretchMode = mode;
    return previous;
}

int GetStretchBltMode(HDC hdc) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    return dc ? dc->stretchMode : 0;
}

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return 0;
    if (!bits || !info || usage != DIB_RGB_COLORS) return Fail(ERROR_INVALID_PARAMETER, 0);
    const BITMAPINFOHEADER& hd = info->bmiHeader;
    const int bpp = hd.biBitCount;
    if (hd.biSize < sizeof(BITMAPINFOHEADER) || hd.biWidth <= 0 || hd.biHeight == 0 ||
        hd.biHeight == INT32_MIN || (bpp != 8 && bpp != 24 && bpp != 32) ||
        hd.biCompression != BI_RGB || (bpp == 8 && hd.biClrUsed > 256)) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    Surface* dst = s.Target(*dc);
    if (!dst) return Fail(ERROR_NOT_ENOUGH_MEMORY, 0);
    // The caller's scan lines as a store of their own: `lines` rows from
    // `startScan`, counted from the bottom (bottom-up) or the top (top-down).
    Surface src;
    src.width = hd.biWidth;
    src.bpp = bpp;
    src.stride = ((static_cast<std::size_t>(src.width) * bpp + 31) / 32) * 4;
    src.bits = static_cast<std::uint8_t*>(const_cast<void*>(bits));
    const long long fullHeight =
        hd.biHeight < 0 ? -static_cast<long long>(hd.biHeight) : hd.biHeight;
    const long long have =
        std::min<long long>(lines, std::max<long long>(0, fullHeight - startScan));
    if (have <= 0) return 0;
    src.height = static_cast<int>(have);
    src.topDown = hd.biHeight < 0;
    if (bpp == 8) {
        const std::size_t n = hd.biClrUsed == 0 ? 256 : hd.biClrUsed;
        src.colors.assign(info->bmiColors, info->bmiColors + n);
    }
    // Rows of the source rectangle in the store's top-down row numbers.
    const long long cw = std::min<long long>(w, static_cast<long long>(src.width) - xSrc);
    const long long ch = h;
    long long top;  // store row (from its top) of the rectangle's top row
    if (src.topDown) {
        top = static_cast<long long>(ySrc) - startScan;
    } else {
        // Bottom-up: scan line n lies at store row (have - 1 - (n - startScan)).
        top = have - 1 - (static_cast<long long>(ySrc) + ch - 1 - startScan);
    }
    if (cw > 0 && ch > 0) {
        // Rows outside the supplied scan lines are skipped by the stretch's clipping.
        Stretch(s, *dc, *dst, xDest, yDest, static_cast<int>(cw),
                static_cast<int>(std::min<long long>(ch, 1LL << 30)), src, xSrc,
                static_cast<int>(top), static_cast<int>(cw),
                static_cast<int>(std::min<long long>(ch, 1LL << 30)));
    }
    return static_cast<int>(have);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return CLR_INVALID;
    Surface* sf = s.Target(*dc);
    if (!sf || x < 0 || y < 0 || x >= sf->width || y >= sf->height) return CLR_INVALID;
    return PixelToColorRef(ReadPixel(*sf, sf->Row(y), x));
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return CLR_INVALID;
    Surface* sf = s.Target(*dc);
    if (!sf || x < 0 || y < 0 || x >= sf->width || y >= sf->height) return CLR_INVALID;
    IndexMapper map(s, *dc, *sf);
    WritePixel(*sf, sf->Row(y), x, ColorRefToPixel(color), map);
    return PixelToColorRef(ReadPixel(*sf, sf->Row(y), x));
}

// ---- regions -------------------------------------------------------------------

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    const RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right),
                 std::max(top, bottom)};
    State& s = S();
    std::lock_guard lock(s.mutex);
    return reinterpret_cast<HRGN>(s.Add(RegionObj{RegionFromRects(&r, 1)}));
}

HRGN ExtCreateRegion(const void* xform, DWORD count, const RGNDATA* data) {
    if (xform || !data || count < sizeof(RGNDATAHEADER))
        return Fail<HRGN>(ERROR_INVALID_PARAMETER, nullptr);
    const RGNDATAHEADER& h = data->rdh;
    if (h.dwSize != sizeof(RGNDATAHEADER) || h.iType != RDH_RECTANGLES ||
        h.nCount > (count - sizeof(RGNDATAHEADER)) / sizeof(RECT)) {
        return Fail<HRGN>(ERROR_INVALID_PARAMETER, nullptr);
    }
    std::vector<RECT> rects(h.nCount);
    std::memcpy(rects.data(), reinterpret_cast<const std::uint8_t*>(data) + sizeof(RGNDATAHEADER),
                rects.size() * sizeof(RECT));
    Region region = RegionFromRects(rects.data(), rects.size());
    State& s = S();
    std::lock_guard lock(s.mutex);
    return reinterpret_cast<HRGN>(s.Add(RegionObj{std::move(region)}));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    RegionObj* d = Lookup<RegionObj>(s, dest);
    RegionObj* a = d ? Lookup<RegionObj>(s, src1) : nullptr;
    if (!d || !a) return ERROR;
    if (mode < RGN_AND || mode > RGN_COPY) return Fail(ERROR_INVALID_PARAMETER, ERROR);
    if (mode == RGN_COPY) {
        d->region = a->region;
    } else {
        RegionObj* b = Lookup<RegionObj>(s, src2);
        if (!b) return ERROR;
        d->region = CombineRegions(a->region, b->region, mode);
    }
    return Complexity(d->region);
}

BOOL PtInRegion(HRGN region, int x, int y) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    RegionObj* r = Lookup<RegionObj>(s, region);
    if (!r) return FALSE;
    for (const auto& span : SpansAt(r->region, y)) {
        if (span.first <= x && x < span.second) return TRUE;
    }
    return FALSE;
}

int GetRgnBox(HRGN region, RECT* box) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    RegionObj* r = Lookup<RegionObj>(s, region);
    if (!r) return ERROR;
    if (!box) return Fail(ERROR_INVALID_PARAMETER, ERROR);
    *box = Box(r->region);
    return Complexity(r->region);
}

BOOL EqualRgn(HRGN a, HRGN b) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    RegionObj* ra = Lookup<RegionObj>(s, a);
    RegionObj* rb = ra ? Lookup<RegionObj>(s, b) : nullptr;
    if (!ra || !rb) return FALSE;
    // Equal regions have equal bands (see Band).
    return ra->region == rb->region ? TRUE : FALSE;
}

int OffsetRgn(HRGN region, int dx, int dy) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    RegionObj* r = Lookup<RegionObj>(s, region);
    if (!r) return ERROR;
    if (!r->region.empty()) {
        const RECT box = Box(r->region);
        const long long limit = kMaxCoord;
        if (std::llabs(static_cast<long long>(box.left) + dx) > limit ||
            std::llabs(static_cast<long long>(box.right) + dx) > limit ||
            std::llabs(static_cast<long long>(box.top) + dy) > limit ||
            std::llabs(static_cast<long long>(box.bottom) + dy) > limit) {
            return Fail(ERROR_INVALID_PARAMETER, ERROR);
        }
    }
    for (Band& b : r->region) {
        b.top += dy;
        b.bottom += dy;
        for (auto& span : b.spans) {
            span.first += dx;
            span.second += dx;
        }
    }
    return Complexity(r->region);
}

DWORD GetRegionData(HRGN region, DWORD count, RGNDATA* data) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    RegionObj* r = Lookup<RegionObj>(s, region);
    if (!r) return 0;
    std::vector<RECT> rects;
    for (const Band& b : r->region) {
        for (const auto& span : b.spans)
            rects.push_back({span.first, b.top, span.second, b.bottom});
    }
    const DWORD need = static_cast<DWORD>(sizeof(RGNDATAHEADER) + rects.size() * sizeof(RECT));
    if (!data) return need;
    if (count < need) return Fail<DWORD>(ERROR_INSUFFICIENT_BUFFER, 0);
    RGNDATAHEADER h{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(rects.size()),
                    static_cast<DWORD>(rects.size() * sizeof(RECT)), Box(r->region)};
    std::memcpy(data, &h, sizeof h);
    if (!rects.empty()) {
        std::memcpy(reinterpret_cast<std::uint8_t*>(data) + sizeof h, rects.data(),
                    rects.size() * sizeof(RECT));
    }
    return need;
}

// ---- palettes ------------------------------------------------------------------

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palVersion != 0x300 || palette->palNumEntries == 0) {
        return Fail<HPALETTE>(ERROR_INVALID_PARAMETER, nullptr);
    }
    PaletteObj p;
    p.entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    State& s = S();
    std::lock_guard lock(s.mutex);
    return reinterpret_cast<HPALETTE>(s.Add(std::move(p)));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc || !Lookup<PaletteObj>(s, palette)) return nullptr;
    const Id previous = dc->palette;
    dc->palette = reinterpret_cast<Id>(palette);
    dc->background = forceBackground != FALSE;
    return reinterpret_cast<HPALETTE>(previous);
}

UINT RealizePalette(HDC hdc) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc) return GDI_ERROR;
    PaletteObj* pal = s.Get<PaletteObj>(reinterpret_cast<void*>(dc->palette));
    if (!pal || dc->bpp != 8 || dc->palette == s.stockPalette) return 0;
    auto& sys = s.systemPalette;
    auto same = [](const RGBQUAD& q, const PALETTEENTRY& e) {
        return q.rgbRed == e.peRed && q.rgbGreen == e.peGreen && q.rgbBlue == e.peBlue;
    };
    auto exact = [&](const PALETTEENTRY& e, int end) {
        for (int i = 0; i < 20; ++i) {
            if (same(sys[static_cast<std::size_t>(StaticSystemIndex(i))], e))
                return StaticSystemIndex(i);
        }
        for (int i = kFirstFree; i < end; ++i) {
            if (same(sys[static_cast<std::size_t>(i)], e)) return i;
        }
        return -1;
    };
    UINT changed = 0;
    auto claim = [&](int slot, const PALETTEENTRY& e) {
        RGBQUAD q{e.peBlue, e.peGreen, e.peRed, 0};
        if (!same(sys[static_cast<std::size_t>(slot)], e)) ++changed;
        sys[static_cast<std::size_t>(slot)] = q;
    };
    const Id id = dc->palette;
    const bool background = dc->background;
    pal->systemIndex.assign(pal->entries.size(), 0);
    if (!background) {
        // The foreground palette takes the free entries from the start, in order,
        // displacing whatever background palettes had there.
        for (int i = kFirstFree; i < kEndFree; ++i) s.owner[static_cast<std::size_t>(i)] = 0;
    }
    for (Id& o : s.owner) {
        if (o == id) o = 0;  // taken again below, entry by entry
    }
    int next = kFirstFree;
    for (std::size_t i = 0; i < pal->entries.size(); ++i) {
        const PALETTEENTRY& e = pal->entries[i];
        // The foreground palette reuses only what it placed in this pass; a
        // background one shares any entry that already holds its colour.
        int slot = exact(e, background ? kEndFree : next);
        if (slot >= kFirstFree && slot < kEndFree && s.owner[static_cast<std::size_t>(slot)] == 0) {
            s.owner[static_cast<std::size_t>(slot)] = id;
        }
        for (; slot < 0 && next < kEndFree; ++next) {
            if (s.owner[static_cast<std::size_t>(next)] == 0) {
                slot = next;
                claim(slot, e);
                s.owner[static_cast<std::size_t>(slot)] = id;
            }
        }
        if (slot < 0)
            slot = Nearest(
                sys, e.peBlue | (std::uint32_t{e.peGreen} << 8) | (std::uint32_t{e.peRed} << 16));
        pal->systemIndex[i] = slot;
    }
    pal->realized = true;
    return changed;
}

UINT GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    PaletteObj* p = Lookup<PaletteObj>(s, palette);
    if (!p) return 0;
    if (!entries) return static_cast<UINT>(p->entries.size());
    if (start >= p->entries.size()) return 0;
    const UINT n = std::min<UINT>(count, static_cast<UINT>(p->entries.size()) - start);
    std::copy_n(p->entries.begin() + start, n, entries);
    return n;
}

UINT GetSystemPaletteEntries(HDC hdc, UINT start, UINT count, PALETTEENTRY* entries) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    DcObj* dc = Lookup<DcObj>(s, hdc);
    if (!dc || dc->bpp != 8 || !entries || start >= 256) return 0;
    const UINT n = std::min<UINT>(count, 256 - start);
    for (UINT i = 0; i < n; ++i) {
        const RGBQUAD& q = s.systemPalette[start + i];
        entries[i] = {q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
    }
    return n;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
    State& s = S();
    std::lock_guard lock(s.mutex);
    PaletteObj* p = Lookup<PaletteObj>(s, palette);
    if (!p) return CLR_INVALID;
    std::vector<RGBQUAD> table;
    for (const PALETTEENTRY& e : p->entries) table.push_back({e.peBlue, e.peGreen, e.peRed, 0});
    return static_cast<UINT>(Nearest(table, ColorRefToPixel(color)));
}

// ---- system colours --------------------------------------------------------------

DWORD GetSysColor(int index) {
    static constexpr COLORREF kColors[31] = {
        RGB(200, 200, 200), RGB(0, 0, 0),
        RGB(153, 180, 209), RGB(191, 205, 219),
        RGB(240, 240, 240), RGB(255, 255, 255),
        RGB(100, 100, 100), RGB(0, 0, 0),
        RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(180, 180, 180), RGB(244, 247, 252),
        RGB(171, 171, 171), RGB(0, 120, 215),
        RGB(255, 255, 255), RGB(240, 240, 240),
        RGB(160, 160, 160), RGB(109, 109, 109),
        RGB(0, 0, 0),       RGB(0, 0, 0),
        RGB(255, 255, 255), RGB(105, 105, 105),
        RGB(227, 227, 227), RGB(0, 0, 0),
        RGB(255, 255, 225), 0,
        RGB(0, 102, 204),   RGB(185, 209, 234),
        RGB(215, 228, 242), RGB(0, 120, 215),
        RGB(240, 240, 240),
    };
    return index >= 0 && index < 31 ? kColors[index] : 0;
}

// ---- the simulated display -------------------------------------------------------

namespace gdi {

bool SetDisplayMode(int bitsPerPixel, int width, int height) {
    if ((bitsPerPixel != 8 && bitsPerPixel != 32) || width < 1 || height < 1 || width > 16384 ||
        height > 16384) {
        return false;
    }
    State& s = S();
    std::lock_guard lock(s.mutex);
    s.displayBpp = bitsPerPixel;
    s.displayWidth = width;
    s.displayHeight = height;
    s.ResetSystemPalette();
    s.screen.storage.reset();
    s.screen.surface = Surface{};
    for (auto& [id, obj] : s.objects) {
        if (auto* p = std::get_if<PaletteObj>(&obj)) p->realized = false;
    }
    return true;
}

int DisplayBitsPerPixel() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    return s.displayBpp;
}

std::size_t LiveObjectCount() {
    State& s = S();
    std::lock_guard lock(s.mutex);
    return s.objects.size() - 2;  // the stock bitmap and palette always live
}

}  // namespace gdi
