// Logical palettes, their realisation into the system palette, and the
// system colours.
#include <algorithm>

#include "gdi/GdiState.h"

using namespace tarnwick::gdi_internal;

namespace {

constexpr int kFirstFree = 10, kEndFree = 246;  // system entries 10..245 are free

}  // namespace

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palVersion != 0x300 || palette->palNumEntries == 0) {
        return Fail<HPALETTE>(ERROR_INVALID_PARAMETER, nullptr);
    }
    PaletteObj p;
    p.entries.assign(palette->palPalEntry, palette->palPalEntry + palette->palNumEntries);
    StateAccess s;
    return reinterpret_cast<HPALETTE>(s->Add(std::move(p)));
}

HPALETTE SelectPalette(HDC hdc, HPALETTE palette, BOOL forceBackground) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc || !s.Lookup<PaletteObj>(palette)) return nullptr;
    const Id previous = dc->palette;
    dc->palette = reinterpret_cast<Id>(palette);
    dc->background = forceBackground != FALSE;
    return reinterpret_cast<HPALETTE>(previous);
}

UINT RealizePalette(HDC hdc) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return GDI_ERROR;
    PaletteObj* pal = s->Get<PaletteObj>(reinterpret_cast<void*>(dc->palette));
    if (!pal || dc->bpp != 8 || dc->palette == s->stockPalette) return 0;
    auto& sys = s->systemPalette;
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
        for (int i = kFirstFree; i < kEndFree; ++i) s->owner[static_cast<std::size_t>(i)] = 0;
    }
    for (Id& o : s->owner) {
        if (o == id) o = 0;  // taken again below, entry by entry
    }
    int next = kFirstFree;
    for (std::size_t i = 0; i < pal->entries.size(); ++i) {
        const PALETTEENTRY& e = pal->entries[i];
        // The foreground palette reuses only what it placed in this pass; a
        // background one shares any entry that already holds its colour.
        int slot = exact(e, background ? kEndFree : next);
        if (slot >= kFirstFree && slot < kEndFree &&
            s->owner[static_cast<std::size_t>(slot)] == 0) {
            s->owner[static_cast<std::size_t>(slot)] = id;
        }
        for (; slot < 0 && next < kEndFree; ++next) {
            if (s->owner[static_cast<std::size_t>(next)] == 0) {
                slot = next;
                claim(slot, e);
                s->owner[static_cast<std::size_t>(slot)] = id;
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
    StateAccess s;
    PaletteObj* p = s.Lookup<PaletteObj>(palette);
    if (!p) return 0;
    if (!entries) return static_cast<UINT>(p->entries.size());
    if (start >= p->entries.size()) return 0;
    const UINT n = std::min<UINT>(count, static_cast<UINT>(p->entries.size()) - start);
    std::copy_n(p->entries.begin() + start, n, entries);
    return n;
}

UINT GetSystemPaletteEntries(HDC hdc, UINT start, UINT count, PALETTEENTRY* entries) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc || dc->bpp != 8 || !entries || start >= 256) return 0;
    const UINT n = std::min<UINT>(count, 256 - start);
    for (UINT i = 0; i < n; ++i) {
        const RGBQUAD& q = s->systemPalette[start + i];
        entries[i] = {q.rgbRed, q.rgbGreen, q.rgbBlue, 0};
    }
    return n;
}

UINT GetNearestPaletteIndex(HPALETTE palette, COLORREF color) {
    StateAccess s;
    PaletteObj* p = s.Lookup<PaletteObj>(palette);
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
