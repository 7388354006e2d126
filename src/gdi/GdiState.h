#pragma once
// Inside the GDI stand-in (the Gdi*.cpp files of this folder, and no one
// else): the objects behind the handles, the state that holds them, and the
// pixel helpers the drawing calls share.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <unordered_map>
#include <utility>
#include <variant>
#include <vector>

#include "gdi/Gdi.h"
#include "platform/FontRasteriser.h"

namespace tarnwick::gdi_internal {

// The calling thread's last error, and a failure that sets it.
extern thread_local DWORD lastError;

template <class T>
T Fail(DWORD code, T result) {
    lastError = code;
    return result;
}

// ---- pixel stores -------------------------------------------------------------------

// System palette entries 0..9 and 246..255 hold the 20 static colours.
inline int StaticSystemIndex(int i) { return i < 10 ? i : 236 + i; }

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

// Nearest colour by the sum of squared differences; ties keep the lower index.
// `only`, when given, lists the indices that may be chosen.
int Nearest(const std::vector<RGBQUAD>& table, std::uint32_t px,
            const std::vector<int>* only = nullptr);

// ---- regions ---------------------------------------------------------------------

// A region as horizontal bands: each band covers rows [top, bottom) and a
// sorted run of disjoint, non-touching spans [left, right). Bands are sorted,
// disjoint, and no two touching bands have equal spans, so equal regions have
// equal representations. The spans of all bands lie in one array, so a
// region that is rebuilt in place keeps its storage: the drawing calls that
// recompute a clip on every paint allocate only while a region grows past
// anything it held before.
using Span = std::pair<int, int>;

class Region {
public:
    bool empty() const { return bands_.empty(); }
    void clear() {
        bands_.clear();
        spans_.clear();
    }
    // The rectangle (right and bottom excluded); an empty one gives nothing.
    void SetRect(const RECT& r);
    // The union of rectangles in any order; empty rectangles add nothing.
    void SetRects(const RECT* rects, std::size_t n);
    // This := a (mode) b. Neither may be this region itself.
    void Combine(const Region& a, const Region& b, int mode);
    void Offset(int dx, int dy);

    std::span<const Span> SpansAt(int y) const;  // the spans of row y
    bool Intersects(const RECT& r) const;
    int Complexity() const;  // NULLREGION, SIMPLEREGION, COMPLEXREGION
    RECT Box() const;        // (0, 0, 0, 0) when empty
    std::size_t RectCount() const { return spans_.size(); }
    // Calls f(RECT) for each rectangle: rows top to bottom, left to right.
    template <class F>
    void ForEachRect(F&& f) const {
        for (const Band& b : bands_)
            for (std::uint32_t i = b.first; i < b.last; ++i)
                f(RECT{spans_[i].first, b.top, spans_[i].second, b.bottom});
    }

    bool operator==(const Region&) const = default;

private:
    struct Band {
        int top, bottom;
        std::uint32_t first, last;  // its spans: spans_[first, last)
        bool operator==(const Band&) const = default;
    };
    std::span<const Span> SpansOf(const Band& b) const {
        return {spans_.data() + b.first, spans_.data() + b.last};
    }
    // Closes the band [top, bottom) whose spans were appended from `start`
    // on: drops it when it has none, merges it into the band above when
    // that touches it with the same spans.
    void CloseBand(int top, int bottom, std::size_t start);

    std::vector<Band> bands_;
    std::vector<Span> spans_;
};

// ---- objects ----------------------------------------------------------------------

using Id = std::uintptr_t;

// What SaveDC keeps of a context. Coordinates given to a context are
// logical: the origin is added to make device coordinates, the pixels of its
// store. The clip region is held in device coordinates.
struct DcState {
    POINT origin{0, 0};
    bool clipped = false;  // without a clip region the whole store is drawn on
    Region clip;
    int stretchMode = BLACKONWHITE;
    Id font = 0;  // 0: the stock font
    COLORREF textColor = RGB(0, 0, 0);
    COLORREF bkColor = RGB(255, 255, 255);
    int bkMode = OPAQUE;
};

struct DcObj {
    bool memory = false;    // a memory context; otherwise the screen or a window
    Id window = 0;          // the window whose pixels a window context draws on
    Surface windowSurface;  // those pixels, as Target last found them
    int bpp = 32;
    Id bitmap = 0;
    Id palette = 0;
    bool background = false;  // the palette realises in the background
    DcState state;
    // SaveDC's stack, oldest first: the first `depth` entries. Entries above
    // stay allocated for the next save to reuse.
    std::vector<DcState> saved;
    std::size_t depth = 0;
    // Working storage of the clipping calls, kept for its capacity.
    Region work, rect;

    // Logical to device coordinates, widened so that no origin overflows.
    long long DeviceX(int x) const { return static_cast<long long>(x) + state.origin.x; }
    long long DeviceY(int y) const { return static_cast<long long>(y) + state.origin.y; }

    // Calls f(a, b) for each run [a, b) of device row y within columns
    // [x0, x1) that the clip region lets through. The caller keeps y and the
    // columns inside the store.
    template <class F>
    void ForEachVisibleRun(int y, long long x0, long long x1, F&& f) const {
        if (!state.clipped) {
            if (x0 < x1) f(static_cast<int>(x0), static_cast<int>(x1));
            return;
        }
        for (const auto& [l, r] : state.clip.SpansAt(y)) {
            const long long a = std::max<long long>(x0, l), b = std::min<long long>(x1, r);
            if (a < b) f(static_cast<int>(a), static_cast<int>(b));
        }
    }
    bool Visible(long long x, long long y) const {
        bool in = false;
        ForEachVisibleRun(static_cast<int>(y), x, x + 1, [&](int, int) { in = true; });
        return in;
    }
};

struct BitmapObj {
    Surface surface;
    std::unique_ptr<std::uint8_t, FreeDeleter> storage;  // none for a section of a mapping
    Id selectedInto = 0;
    Id mapping = 0;  // the mapping whose memory it shows
};

// A block of memory that sections can show (CreateFileMapping). It lives
// until its handle is closed and no section shows it any more.
struct MappingObj {
    std::unique_ptr<std::uint8_t, FreeDeleter> storage;
    std::size_t size = 0;
    int sections = 0;
    bool closed = false;
};

struct RegionObj {
    Region region;
};

struct PaletteObj {
    std::vector<PALETTEENTRY> entries;
    std::vector<int> systemIndex;  // per entry, after realisation
    bool realized = false;
};

struct BrushObj {
    COLORREF color = 0;
    bool hollow = false;  // NULL_BRUSH: paints nothing
};

struct FontObj {
    LOGFONTA log{};
    std::shared_ptr<const tarnwick::platform::FontFace> face;
};

using Object = std::variant<DcObj, BitmapObj, RegionObj, PaletteObj, BrushObj, FontObj, MappingObj>;

struct State {
    // Only the window thread calls in here (see the README's threads), so
    // nothing is locked.
    std::unordered_map<Id, Object> objects;
    Id next = 0x10000;
    Id stockBitmap = 0;
    Id stockPalette = 0;
    std::array<Id, NULL_BRUSH + 1> stockBrushes{};  // by GetStockObject index
    Id stockFont = 0;
    int displayBpp = 32;
    int displayWidth = 1024;
    int displayHeight = 768;
    BitmapObj screen;  // the display's pixels, made when first drawn on
    std::vector<RGBQUAD> systemPalette;
    std::array<Id, 256> owner{};  // the palette that took each free entry
    Region workRegion;            // CombineRgn's result before it replaces the destination

    State();

    void ResetSystemPalette();

    bool IsStock(Id id) const {
        return id == stockBitmap || id == stockPalette || id == stockFont ||
               std::find(stockBrushes.begin(), stockBrushes.end(), id) != stockBrushes.end();
    }
    static constexpr std::size_t kStockObjects = 3 + NULL_BRUSH + 1;

    template <class T>
    T* Get(const void* handle) {
        auto it = objects.find(reinterpret_cast<Id>(handle));
        if (it == objects.end()) return nullptr;
        return std::get_if<T>(&it->second);
    }

    Id Add(Object o) {
        const Id id = next;
        next += 4;
        if (spare.empty()) {
            objects.emplace(id, std::move(o));
        } else {
            auto entry = std::move(spare.back());
            spare.pop_back();
            entry.key() = id;
            entry.mapped() = std::move(o);
            objects.insert(std::move(entry));
        }
        return id;
    }

    // Deletes an object. Its table entry is kept for a later one (up to
    // kSpareEntries of them), so that objects made and deleted again and
    // again (a context, a region, a section of a resized surface) cost no
    // allocation for the table.
    using Objects = std::unordered_map<Id, Object>;
    void Remove(Objects::iterator it) {
        auto entry = objects.extract(it);
        entry.mapped() = BrushObj{};  // releases what the object held now
        if (spare.size() < kSpareEntries) spare.push_back(std::move(entry));
    }
    static constexpr std::size_t kSpareEntries = 16;
    std::vector<Objects::node_type> spare;  // reserved for kSpareEntries

    // The pixels a context draws on: its selected bitmap, or the display.
    Surface* Target(DcObj& dc);
};

// Sets the pixels of a device rectangle [left, right) x [top, bottom) that
// lie in the store and that the context's clip lets through.
void FillArea(State& s, DcObj& dc, Surface& target, long long left, long long top, long long right,
              long long bottom, std::uint32_t px);

// The part of a store that a context draws on, in device coordinates: its
// clip region within the store, or the whole store. The region is the
// context's working storage, valid until its next clipping call.
const Region& VisibleRegion(DcObj& dc, const Surface& target);

// The state: every entry point starts with one, and finds the objects its
// handles name through Lookup.
class StateAccess {
public:
    StateAccess();
    State& operator*() const { return state_; }
    State* operator->() const { return &state_; }

    // The object of type T that the handle names, or null with the last error
    // ERROR_INVALID_HANDLE.
    template <class T>
    T* Lookup(const void* handle) const {
        T* obj = state_.Get<T>(handle);
        if (!obj) lastError = ERROR_INVALID_HANDLE;
        return obj;
    }

private:
    State& state_;
};

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
std::uint32_t ReadPixel(const Surface& s, const std::uint8_t* row, int x);
void WritePixel(const Surface& s, std::uint8_t* row, int x, std::uint32_t px, IndexMapper& map);

inline std::uint32_t ColorRefToPixel(COLORREF c) {
    return GetBValue(c) | (std::uint32_t{GetGValue(c)} << 8) | (std::uint32_t{GetRValue(c)} << 16);
}
inline COLORREF PixelToColorRef(std::uint32_t px) {
    return RGB(static_cast<BYTE>(px >> 16), static_cast<BYTE>(px >> 8), static_cast<BYTE>(px));
}

}  // namespace tarnwick::gdi_internal
