// DIB sections, block transfers, stretching and single pixels.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "gdi/GdiState.h"

using namespace tarnwick::gdi_internal;

namespace {

// Sections larger than this fail as the system fails them: out of memory.
constexpr std::size_t kMaxSectionBytes = std::size_t{256} << 20;

// Samples source rectangle (xs, ys, ws, hs) of `src` onto rectangle
// (x, y, w, h) of `dst` (nearest neighbour, negative sizes mirror); all in
// device coordinates. Pixels outside either store, or outside the clip region
// of the destination's context, are skipped. The source is read completely
// first, so the two may overlap.
void Stretch(State& s, DcObj& dstDc, Surface& dst, long long x, long long y, int w, int h,
             const Surface& src, long long xs, long long ys, int ws, int hs) {
    const bool flipX = (w < 0) != (ws < 0), flipY = (h < 0) != (hs < 0);
    const long long dx0 = std::min(x, x + w), dy0 = std::min(y, y + h);
    const long long sx0 = std::min(xs, xs + ws), sy0 = std::min(ys, ys + hs);
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
        const int dy = static_cast<int>(dy0 + j);
        std::uint8_t* row = dst.Row(dy);
        const std::uint32_t* line = copy.data() + static_cast<std::size_t>(sy - cy0) * cw;
        dstDc.ForEachVisibleRun(dy, dx0 + i0, dx0 + i1, [&](int a, int b) {
            for (long long i = a - dx0; i < b - dx0; ++i) {
                const long long sx = srcCol(i);
                if (sx < cx0 || sx >= cx1) continue;
                WritePixel(dst, row, static_cast<int>(dx0 + i), line[sx - cx0], map);
            }
        });
    }
}

bool SameColorTables(const Surface& a, const Surface& b) {
    return a.colors.size() == b.colors.size() &&
           std::memcmp(a.colors.data(), b.colors.data(), a.colors.size() * sizeof(RGBQUAD)) == 0;
}

// The 8-bit section selected into a memory context.
BitmapObj* SelectedSection(StateAccess& s, HDC hdc) {
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return nullptr;
    BitmapObj* b = dc->memory ? s->Get<BitmapObj>(reinterpret_cast<void*>(dc->bitmap)) : nullptr;
    if (!b || b->surface.bpp != 8) return Fail<BitmapObj*>(ERROR_INVALID_PARAMETER, nullptr);
    return b;
}

// The pixel at logical (x, y) of a context, when it is on its surface and
// inside its clipping; surface is null otherwise.
struct VisiblePixel {
    DcObj* dc = nullptr;
    Surface* surface = nullptr;
    std::uint8_t* row = nullptr;
    int x = 0;
};

VisiblePixel PixelAt(StateAccess& s, HDC hdc, int x, int y) {
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return {};
    Surface* sf = s->Target(*dc);
    const long long dx = dc->DeviceX(x), dy = dc->DeviceY(y);
    if (!sf || dx < 0 || dy < 0 || dx >= sf->width || dy >= sf->height || !dc->Visible(dx, dy))
        return {};
    return {dc, sf, sf->Row(static_cast<int>(dy)), static_cast<int>(dx)};
}

}  // namespace

HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                         DWORD offset) {
    if (bits) *bits = nullptr;
    StateAccess s;
    if (hdc && !s.Lookup<DcObj>(hdc)) return nullptr;
    if (!info || usage != DIB_RGB_COLORS) return Fail<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
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
    const std::size_t bytes = sf.stride * static_cast<std::size_t>(sf.height);
    if (section) {
        MappingObj* m = s.Lookup<MappingObj>(section);
        if (!m) return nullptr;
        if (m->closed || offset % 4 != 0 || offset > m->size || bytes > m->size - offset)
            return Fail<HBITMAP>(ERROR_INVALID_PARAMETER, nullptr);
        sf.bits = m->storage.get() + offset;
        b.mapping = reinterpret_cast<Id>(section);
        ++m->sections;
    } else {
        b.storage.reset(static_cast<std::uint8_t*>(std::calloc(bytes, 1)));
        if (!b.storage) return Fail<HBITMAP>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
        sf.bits = b.storage.get();
    }
    if (bpp == 8) {
        const std::size_t n = h.biClrUsed == 0 ? 256 : h.biClrUsed;
        const auto* table = reinterpret_cast<const RGBQUAD*>(
            reinterpret_cast<const std::uint8_t*>(info) + h.biSize);
        sf.colors.assign(table, table + n);
    }
    b.surface = std::move(sf);
    void* pixels = b.surface.bits;
    const Id id = s->Add(std::move(b));
    if (bits) *bits = pixels;
    return reinterpret_cast<HBITMAP>(id);
}

UINT GetDIBColorTable(HDC hdc, UINT start, UINT count, RGBQUAD* colors) {
    StateAccess s;
    BitmapObj* b = SelectedSection(s, hdc);
    const auto size = b ? static_cast<UINT>(b->surface.colors.size()) : 0;
    if (!b || !colors || start >= size) return 0;
    const UINT n = std::min(count, size - start);
    std::copy_n(b->surface.colors.begin() + start, n, colors);
    return n;
}

UINT SetDIBColorTable(HDC hdc, UINT start, UINT count, const RGBQUAD* colors) {
    StateAccess s;
    BitmapObj* b = SelectedSection(s, hdc);
    const auto size = b ? static_cast<UINT>(b->surface.colors.size()) : 0;
    if (!b || !colors || start >= size) return 0;
    const UINT n = std::min(count, size - start);
    std::copy_n(colors, n, b->surface.colors.begin() + start);
    return n;
}

BOOL BitBlt(HDC hdest, int x, int y, int cx, int cy, HDC hsrc, int x1, int y1, DWORD rop) {
    StateAccess s;
    DcObj* dd = s.Lookup<DcObj>(hdest);
    if (!dd) return FALSE;
    Surface* dst = s->Target(*dd);
    if (!dst) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    if (rop == BLACKNESS || rop == WHITENESS) {
        const long long left = dd->DeviceX(x), top = dd->DeviceY(y);
        FillArea(*s, *dd, *dst, left, top, left + cx, top + cy,
                 rop == BLACKNESS ? 0u : 0xFFFFFFFFu);
        return TRUE;
    }
    if (rop != SRCCOPY) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    DcObj* sd = s.Lookup<DcObj>(hsrc);
    if (!sd) return FALSE;
    Surface* src = s->Target(*sd);
    if (!src) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    if (cx <= 0 || cy <= 0) return TRUE;
    // Clip against both stores; what is left moves one to one.
    long long dx = dd->DeviceX(x), dy = dd->DeviceY(y), sx = sd->DeviceX(x1), sy = sd->DeviceY(y1),
              w = cx, h = cy;
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
        const std::size_t sOff = static_cast<std::size_t>(sx) * (src->bpp / 8);
        const std::size_t dOff = static_cast<std::size_t>(dx) * (dst->bpp / 8);
        const bool down = !(dst == src && dy > sy);
        const std::size_t pixel = static_cast<std::size_t>(dst->bpp / 8);
        // Within one store, a clipped row moves in several pieces, and an
        // earlier piece may overwrite what a later one reads: read the row
        // out first.
        std::vector<std::uint8_t> line;
        if (dst == src && dd->state.clipped) line.resize(static_cast<std::size_t>(w) * pixel);
        for (long long k = 0; k < h; ++k) {
            const long long r = down ? k : h - 1 - k;
            std::uint8_t* to = dst->Row(static_cast<int>(dy + r)) + dOff;
            const std::uint8_t* from = src->Row(static_cast<int>(sy + r)) + sOff;
            if (!line.empty())
                from = static_cast<std::uint8_t*>(std::memcpy(line.data(), from, line.size()));
            dd->ForEachVisibleRun(static_cast<int>(dy + r), dx, dx + w, [&](int a, int b) {
                const std::size_t skip = static_cast<std::size_t>(a - dx) * pixel;
                std::memmove(to + skip, from + skip, static_cast<std::size_t>(b - a) * pixel);
            });
        }
        return TRUE;
    }
    Stretch(*s, *dd, *dst, dx, dy, static_cast<int>(w), static_cast<int>(h), *src, sx, sy,
            static_cast<int>(w), static_cast<int>(h));
    return TRUE;
}

BOOL StretchBlt(HDC hdest, int x, int y, int w, int h, HDC hsrc, int xs, int ys, int ws, int hs,
                DWORD rop) {
    if (rop != SRCCOPY) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    StateAccess s;
    DcObj* dd = s.Lookup<DcObj>(hdest);
    DcObj* sd = dd ? s.Lookup<DcObj>(hsrc) : nullptr;
    if (!dd || !sd) return FALSE;
    Surface* dst = s->Target(*dd);
    Surface* src = s->Target(*sd);
    if (!dst || !src) return Fail(ERROR_NOT_ENOUGH_MEMORY, FALSE);
    Stretch(*s, *dd, *dst, dd->DeviceX(x), dd->DeviceY(y), w, h, *src, sd->DeviceX(xs),
            sd->DeviceY(ys), ws, hs);
    return TRUE;
}

int SetStretchBltMode(HDC hdc, int mode) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    if (mode < BLACKONWHITE || mode > HALFTONE) return Fail(ERROR_INVALID_PARAMETER, 0);
    const int previous = dc->state.stretchMode;
    dc->state.stretchMode = mode;
    return previous;
}

int GetStretchBltMode(HDC hdc) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    return dc ? dc->state.stretchMode : 0;
}

int SetDIBitsToDevice(HDC hdc, int xDest, int yDest, DWORD w, DWORD h, int xSrc, int ySrc,
                      UINT startScan, UINT lines, const void* bits, const BITMAPINFO* info,
                      UINT usage) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    if (!bits || !info || usage != DIB_RGB_COLORS) return Fail(ERROR_INVALID_PARAMETER, 0);
    const BITMAPINFOHEADER& hd = info->bmiHeader;
    const int bpp = hd.biBitCount;
    if (hd.biSize < sizeof(BITMAPINFOHEADER) || hd.biWidth <= 0 || hd.biHeight == 0 ||
        hd.biHeight == INT32_MIN || (bpp != 8 && bpp != 24 && bpp != 32) ||
        hd.biCompression != BI_RGB || (bpp == 8 && hd.biClrUsed > 256)) {
        return Fail(ERROR_INVALID_PARAMETER, 0);
    }
    Surface* dst = s->Target(*dc);
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
        Stretch(*s, *dc, *dst, dc->DeviceX(xDest), dc->DeviceY(yDest), static_cast<int>(cw),
                static_cast<int>(std::min<long long>(ch, 1LL << 30)), src, xSrc,
                static_cast<int>(top), static_cast<int>(cw),
                static_cast<int>(std::min<long long>(ch, 1LL << 30)));
    }
    return static_cast<int>(have);
}

COLORREF GetPixel(HDC hdc, int x, int y) {
    StateAccess s;
    const VisiblePixel p = PixelAt(s, hdc, x, y);
    return p.surface ? PixelToColorRef(ReadPixel(*p.surface, p.row, p.x)) : CLR_INVALID;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF color) {
    StateAccess s;
    const VisiblePixel p = PixelAt(s, hdc, x, y);
    if (!p.surface) return CLR_INVALID;
    IndexMapper map(*s, *p.dc, *p.surface);
    WritePixel(*p.surface, p.row, p.x, ColorRefToPixel(color), map);
    return PixelToColorRef(ReadPixel(*p.surface, p.row, p.x));
}

HANDLE CreateFileMapping(HANDLE file, void*, DWORD protect, DWORD sizeHigh, DWORD sizeLow,
                         const char*) {
    if (file != INVALID_HANDLE_VALUE || protect != PAGE_READWRITE ||
        (sizeHigh == 0 && sizeLow == 0))
        return Fail<HANDLE>(ERROR_INVALID_PARAMETER, nullptr);
    if (sizeHigh != 0 || sizeLow > kMaxSectionBytes)
        return Fail<HANDLE>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    MappingObj m;
    m.storage.reset(static_cast<std::uint8_t*>(std::calloc(sizeLow, 1)));
    if (!m.storage) return Fail<HANDLE>(ERROR_NOT_ENOUGH_MEMORY, nullptr);
    m.size = sizeLow;
    StateAccess s;
    return reinterpret_cast<HANDLE>(s->Add(std::move(m)));
}

BOOL CloseHandle(HANDLE object) {
    StateAccess s;
    auto it = s->objects.find(reinterpret_cast<Id>(object));
    auto* m = it == s->objects.end() ? nullptr : std::get_if<MappingObj>(&it->second);
    if (!m || m->closed) return Fail(ERROR_INVALID_HANDLE, FALSE);
    if (m->sections > 0)
        m->closed = true;  // freed with its last section
    else
        s->Remove(it);
    return TRUE;
}
