// The state of a device context: its origin, its clip region, and the stack
// SaveDC keeps them on.
#include <climits>

#include "framework/GdiState.h"

using namespace tarnwick::gdi_internal;

namespace {

// Logical to device coordinates for a rectangle, as a region (so clamped
// to the range regions keep).
Region DeviceRegion(const DcObj& dc, int left, int top, int right, int bottom) {
    auto clampInt = [](long long v) {
        return static_cast<LONG>(std::clamp<long long>(v, INT_MIN, INT_MAX));
    };
    const RECT r{clampInt(dc.DeviceX(left)), clampInt(dc.DeviceY(top)), clampInt(dc.DeviceX(right)),
                 clampInt(dc.DeviceY(bottom))};
    return RegionFromRects(&r, 1);
}

Region StoreRegion(const Surface& target) {
    const RECT all{0, 0, target.width, target.height};
    return RegionFromRects(&all, 1);
}

// The clip region to start from: the current one, or the whole store.
Region CurrentClip(State& s, DcObj& dc) {
    if (dc.state.clipped) return dc.state.clip;
    const Surface* target = s.Target(dc);
    return target ? StoreRegion(*target) : Region{};
}

int SetClip(DcObj& dc, Region clip) {
    dc.state.clipped = true;
    dc.state.clip = std::move(clip);
    return Complexity(dc.state.clip);
}

}  // namespace

namespace tarnwick::gdi_internal {

Region VisibleRegion(const DcObj& dc, const Surface& target) {
    Region all = StoreRegion(target);
    return dc.state.clipped ? CombineRegions(dc.state.clip, all, RGN_AND) : all;
}

}  // namespace tarnwick::gdi_internal

int SaveDC(HDC hdc) {
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    dc->saved.push_back(dc->state);
    return static_cast<int>(dc->saved.size());
}

BOOL RestoreDC(HDC hdc, int saved) {
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    const long long depth = static_cast<long long>(dc->saved.size());
    const long long level = saved < 0 ? depth + 1 + saved : saved;
    if (saved == 0 || level < 1 || level > depth) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    dc->state = std::move(dc->saved[static_cast<std::size_t>(level - 1)]);
    dc->saved.resize(static_cast<std::size_t>(level - 1));
    return TRUE;
}

BOOL SetViewportOrgEx(HDC hdc, int x, int y, POINT* old) {
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    if (old) *old = dc->state.origin;
    dc->state.origin = {x, y};
    return TRUE;
}

BOOL OffsetViewportOrgEx(HDC hdc, int dx, int dy, POINT* old) {
    LockedState s;
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
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    if (!origin) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    *origin = dc->state.origin;
    return TRUE;
}

int SelectClipRgn(HDC hdc, HRGN region) {
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return ERROR;
    if (!region) {
        dc->state.clipped = false;
        dc->state.clip.clear();
        return SIMPLEREGION;
    }
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return ERROR;
    return SetClip(*dc, r->region);
}

int IntersectClipRect(HDC hdc, int left, int top, int right, int bottom) {
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return ERROR;
    Region rect = DeviceRegion(*dc, left, top, right, bottom);
    return SetClip(*dc, dc->state.clipped ? CombineRegions(dc->state.clip, rect, RGN_AND) : rect);
}

int ExcludeClipRect(HDC hdc, int left, int top, int right, int bottom) {
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return ERROR;
    return SetClip(*dc, CombineRegions(CurrentClip(*s, *dc),
                                       DeviceRegion(*dc, left, top, right, bottom), RGN_DIFF));
}

int GetClipBox(HDC hdc, RECT* box) {
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return ERROR;
    if (!box) return Fail(ERROR_INVALID_PARAMETER, ERROR);
    const Surface* target = s->Target(*dc);
    if (!target) return Fail(ERROR_NOT_ENOUGH_MEMORY, ERROR);
    const Region visible = VisibleRegion(*dc, *target);
    *box = Box(visible);
    if (!visible.empty()) {
        // Device to logical.
        auto logical = [](LONG device, LONG origin) {
            return static_cast<LONG>(
                std::clamp<long long>(static_cast<long long>(device) - origin, INT_MIN, INT_MAX));
        };
        *box = {logical(box->left, dc->state.origin.x), logical(box->top, dc->state.origin.y),
                logical(box->right, dc->state.origin.x), logical(box->bottom, dc->state.origin.y)};
    }
    return Complexity(visible);
}

BOOL RectVisible(HDC hdc, const RECT* rect) {
    LockedState s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return FALSE;
    if (!rect) return Fail(ERROR_INVALID_PARAMETER, FALSE);
    const Surface* target = s->Target(*dc);
    if (!target) return FALSE;
    const Region hit = CombineRegions(
        VisibleRegion(*dc, *target),
        DeviceRegion(*dc, rect->left, rect->top, rect->right, rect->bottom), RGN_AND);
    return hit.empty() ? FALSE : TRUE;
}
