// Device contexts and the objects selected into them.
#include <cstring>

#include "gdi/GdiState.h"
#include "platform/Window.h"

using namespace tarnwick::gdi_internal;

HDC GetDC(HWND window) {
    const Id id = reinterpret_cast<Id>(window);
    if (id && !tarnwick::platform::WindowFromHandle(id))
        return Fail<HDC>(ERROR_INVALID_WINDOW_HANDLE, nullptr);
    StateAccess s;
    DcObj dc;
    dc.window = id;
    dc.bpp = s->displayBpp;  // a window shows what the display can
    dc.palette = s->stockPalette;
    return reinterpret_cast<HDC>(s->Add(dc));
}

int ReleaseDC(HWND window, HDC hdc) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    // Only the window a context was got for releases it.
    if (dc->memory || dc->window != reinterpret_cast<Id>(window))
        return Fail(ERROR_INVALID_HANDLE, 0);
    s->Remove(s->objects.find(reinterpret_cast<Id>(hdc)));
    return 1;
}

HDC CreateCompatibleDC(HDC hdc) {
    StateAccess s;
    DcObj dc;
    dc.memory = true;
    dc.bpp = s->displayBpp;
    if (hdc) {
        DcObj* ref = s.Lookup<DcObj>(hdc);
        if (!ref) return nullptr;
        dc.bpp = ref->bpp;
    }
    dc.bitmap = s->stockBitmap;
    dc.palette = s->stockPalette;
    return reinterpret_cast<HDC>(s->Add(dc));
}

BOOL DeleteDC(HDC hdc) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    if (dc->bitmap != s->stockBitmap) {
        if (BitmapObj* b = s->Get<BitmapObj>(reinterpret_cast<void*>(dc->bitmap)))
            b->selectedInto = 0;
    }
    s->Remove(s->objects.find(reinterpret_cast<Id>(hdc)));
    return TRUE;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return nullptr;
    const Id id = reinterpret_cast<Id>(object);
    auto it = s->objects.find(id);
    if (it == s->objects.end()) return Fail<HGDIOBJ>(ERROR_INVALID_HANDLE, nullptr);
    if (std::holds_alternative<FontObj>(it->second)) {
        const Id previous = dc->state.font ? dc->state.font : s->stockFont;
        dc->state.font = id;
        return reinterpret_cast<HGDIOBJ>(previous);
    }
    BitmapObj* bmp = std::get_if<BitmapObj>(&it->second);
    // Palettes go through SelectPalette; only memory contexts take bitmaps.
    if (!bmp || !dc->memory) return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
    const Id self = reinterpret_cast<Id>(hdc);
    if (id != s->stockBitmap && bmp->selectedInto != 0 && bmp->selectedInto != self) {
        return Fail<HGDIOBJ>(ERROR_BUSY, nullptr);
    }
    const Id previous = dc->bitmap;
    if (previous != id) {
        if (BitmapObj* old = s->Get<BitmapObj>(reinterpret_cast<void*>(previous));
            old && previous != s->stockBitmap) {
            old->selectedInto = 0;
        }
        if (id != s->stockBitmap) bmp->selectedInto = self;
        dc->bitmap = id;
    }
    return reinterpret_cast<HGDIOBJ>(previous);
}

HGDIOBJ GetCurrentObject(HDC hdc, UINT type) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return nullptr;
    if (type == OBJ_BITMAP) return dc->memory ? reinterpret_cast<HGDIOBJ>(dc->bitmap) : nullptr;
    if (type == OBJ_PAL) return reinterpret_cast<HGDIOBJ>(dc->palette);
    return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
}

DWORD GetObjectType(HGDIOBJ object) {
    StateAccess s;
    auto it = s->objects.find(reinterpret_cast<Id>(object));
    if (it == s->objects.end()) return Fail<DWORD>(ERROR_INVALID_HANDLE, 0);
    if (auto* dc = std::get_if<DcObj>(&it->second)) return dc->memory ? OBJ_MEMDC : OBJ_DC;
    if (std::holds_alternative<BitmapObj>(it->second)) return OBJ_BITMAP;
    if (std::holds_alternative<RegionObj>(it->second)) return OBJ_REGION;
    if (std::holds_alternative<BrushObj>(it->second)) return OBJ_BRUSH;
    if (std::holds_alternative<PaletteObj>(it->second)) return OBJ_PAL;
    if (std::holds_alternative<FontObj>(it->second)) return OBJ_FONT;
    return Fail<DWORD>(ERROR_INVALID_HANDLE, 0);  // a mapping is no drawing object
}

int GetObjectA(HGDIOBJ object, int size, void* out) {
    StateAccess s;
    if (FontObj* f = s->Get<FontObj>(object)) {
        if (!out) return sizeof(LOGFONTA);
        if (size < static_cast<int>(sizeof(LOGFONTA))) return Fail(ERROR_INVALID_PARAMETER, 0);
        std::memcpy(out, &f->log, sizeof(LOGFONTA));
        return sizeof(LOGFONTA);
    }
    BitmapObj* b = s.Lookup<BitmapObj>(object);
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
              reinterpret_cast<Id>(object) == s->stockBitmap ? nullptr : sf.bits};
    std::memcpy(out, &bm, sizeof bm);
    return sizeof(BITMAP);
}

HGDIOBJ GetStockObject(int index) {
    StateAccess s;
    if (index == DEFAULT_PALETTE) return reinterpret_cast<HGDIOBJ>(s->stockPalette);
    if (index == SYSTEM_FONT || index == DEFAULT_GUI_FONT)
        return reinterpret_cast<HGDIOBJ>(s->stockFont);
    if (index >= WHITE_BRUSH && index <= NULL_BRUSH)
        return reinterpret_cast<HGDIOBJ>(s->stockBrushes[static_cast<std::size_t>(index)]);
    return Fail<HGDIOBJ>(ERROR_INVALID_PARAMETER, nullptr);
}

BOOL DeleteObject(HGDIOBJ object) {
    StateAccess s;
    const Id id = reinterpret_cast<Id>(object);
    auto it = s->objects.find(id);
    if (it == s->objects.end() || std::holds_alternative<DcObj>(it->second) ||
        std::holds_alternative<MappingObj>(it->second)) {
        return Fail(ERROR_INVALID_HANDLE, FALSE);
    }
    if (s->IsStock(id)) return TRUE;
    if (auto* b = std::get_if<BitmapObj>(&it->second); b && b->selectedInto != 0) {
        return Fail(ERROR_BUSY, FALSE);
    }
    if (std::holds_alternative<FontObj>(it->second)) {
        for (auto& [other, obj] : s->objects) {
            if (auto* dc = std::get_if<DcObj>(&obj); dc && dc->state.font == id)
                return Fail(ERROR_BUSY, FALSE);
        }
    }
    if (std::holds_alternative<PaletteObj>(it->second)) {
        for (auto& [other, obj] : s->objects) {
            if (auto* dc = std::get_if<DcObj>(&obj); dc && dc->palette == id)
                return Fail(ERROR_BUSY, FALSE);
        }
        for (Id& o : s->owner) {
            if (o == id) o = 0;
        }
    }
    Id mapping = 0;
    if (auto* b = std::get_if<BitmapObj>(&it->second)) mapping = b->mapping;
    s->Remove(it);
    // A closed mapping goes with the last section that showed it.
    auto m = s->objects.find(mapping);
    if (auto* obj = m == s->objects.end() ? nullptr : std::get_if<MappingObj>(&m->second);
        obj && --obj->sections == 0 && obj->closed)
        s->Remove(m);
    return TRUE;
}

int GetDeviceCaps(HDC hdc, int index) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    const bool palette = dc->bpp == 8;
    switch (index) {
        case HORZRES: return s->displayWidth;
        case VERTRES: return s->displayHeight;
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
