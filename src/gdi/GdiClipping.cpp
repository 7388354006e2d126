// The state of a device context: its origin, its clip region, and the stack
// SaveDC keeps them on.
#include <climits>

#include "gdi/GdiState.h"

using namespace tarnwick::gdi_internal;

namespace {

// Logical to device coordinates for a rectangle (clamped to the range
// regions keep).
RECT DeviceRect(const DcObj& dc, int left, int top, int right, int bottom) {
    auto clampInt = [](long long v) {
        return static_cast<LONG>(std::clamp<long long>(v, INT_MIN, INT_MAX));
    };
    return {clampInt(dc.DeviceX(left)), clampInt(dc.DeviceY(top)), clampInt(dc.DeviceX(right)),
            clampInt(dc.DeviceY(bottom))};
}

RECT StoreRect(const Surface& target) { return {0, 0, target.width, target.height}; }

// The clip region := clip (mode) the device rectangle. Without a clip
// region the clip starts from `from` (the whole store), or with none, empty.
int CombineClip(DcObj& dc, const RECT& device, int mode, const Surface* from) {
    if (!dc.state.clipped) {
        if (from)
            dc.state.clip.SetRect(StoreRect(*from));
        else
            dc.state.clip.clear();
    }
    dc.rect.SetRect(device);
    dc.work.Combine(dc.state.clip, dc.rect, mode);
    std::swap(dc.state.clip, dc.work);
    dc.state.clipped = true;
    return dc.state.clip.Complexity();
}

}  // namespace

namespace tarnwick::gdi_internal {

const Region& VisibleRegion(DcObj& dc, const Surface& target) {
    dc.rect.SetRect(StoreRect(target));
    if (!dc.state.clipped) return dc.rect;
    dc.work.Combine(dc.state.clip, dc.rect, RGN_AND);
    return dc.work;
}

}  // namespace tarnwick::gdi_internal

int SaveDC(HDC hdc) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    // Assigning into a kept entry reuses its region's storage.
    if (dc->depth < dc->saved.size())
        dc->saved[dc->depth] = dc->state;
    else
        dc->saved.push_back(dc->state);
    return static_cast<int>(++dc->depth);
}

BOOL RestoreDC(HDC hdc, int saved) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    const long long depth = static_cast<long long>(dc->depth);
    const long long level = saved < 0 ? depth + 1 + saved : saved;
    if (saved == 0 || level < 1 || level > depth) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    dc->depth = static_cast<std::size_t>(level - 1);
    // The entry keeps the storage of the state it replaces, for the next save.
    std::swap(dc->state, dc->saved[dc->depth]);
    return TRUE;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    if (old) *old = dc->state.origin;
    dc->state.origin = {x, y};
    return TRUE;
}

BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    const long long x = static_cast<long long>(dc->state.origin.x) + dx;
    const long long y = static_cast<long long>(dc->state.origin.y) + dy;
    if (x < INT_MIN || x > INT_MAX || y < INT_MIN || y > INT_MAX)
        return Fail(ERROR_INVALID_PARAMETER, FALSE);
    if (old) *old = dc->state.origin;
    dc->state.origin = {static_cast<LONG>(x), static_cast<LONG>(y)};
    return TRUE;
}

BOOL GetViewportOrgEx(HDC hdc, POINT* origin) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    if (!origin) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *origin = dc->state.origin;
    return TRUE;
}

int SelectClipRgn(HDC hdc, HRGN region) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return ERROR;
    if (!region) {
        dc->state.clipped = false;
        dc->state.clip.clear();
        return SIMPLEREGION;
    }
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return ERROR;
    dc->state.clipped = true;
    dc->state.clip = r->region;
    return dc->state.clip.Complexity();
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return ERROR;
    if (!dc->state.clipped) {
        dc->state.clip.SetRect(DeviceRect(*dc, left, top, right, bottom));
        dc->state.clipped = true;
        return dc->state.clip.Complexity();
    }
    return CombineClip(*dc, DeviceRect(*dc, left, top, right, bottom), RGN_AND, nullptr);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return ERROR;
    return CombineClip(*dc, DeviceRect(*dc, left, top, right, bottom), RGN_DIFF, s->Target(*dc));
}

int GetClipBox(HDC hdc, RECT* box) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return ERROR;
    if (!box) return Fail(ERROR_INVALID_PARAMETER, ERROR);
    const Surface* target = s->Target(*dc);
    if (!target) return Fail(ERROR_NOT_ENOUGH_MEMORY, ERROR);
    const Region& visible = VisibleRegion(*dc, *target);
    *box = visible.Box();
    if (!visible.empty()) {
        // Device to logical.
        auto logical = [](LONG device, LONG origin) {
            return static_cast<LONG>(
                std::clamp<long long>(static_cast<long long>(device) - origin, INT_MIN, INT_MAX));
        };
        *box = {logical(box->left, dc->state.origin.x), logical(box->top, dc->state.origin.y),
                logical(box->right, dc->state.origin.x), logical(box->bottom, dc->state.origin.y)};
    }
    return visible.Complexity();
}

BOOL RectVisible(HDC hdc, const RECT* rect) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    if (!rect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const Surface* target = s->Target(*dc);
    if (!target) return FALSE;
    const RECT device = DeviceRect(*dc, rect->left, rect->top, rect->right, rect->bottom);
    const RECT store = StoreRect(*target);
    const RECT hit{std::max(device.left, store.left), std::max(device.top, store.top),
                   std::min(device.right, store.right), std::min(device.bottom, store.bottom)};
    if (hit.left >= hit.right || hit.top >= hit.bottom) return FALSE;
    return !dc->state.clipped || dc->state.clip.Intersects(hit) ? TRUE : FALSE;
}
