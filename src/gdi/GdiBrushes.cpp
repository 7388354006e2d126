// Solid brushes and the rectangle fills that use them.
#include "gdi/GdiState.h"

using namespace tarnwick::gdi_internal;

namespace tarnwick::gdi_internal {

void FillArea(State& s, DcObj& dc, Surface& target, long long left, long long top, long long right,
              long long bottom, std::uint32_t px) {
    const long long x0 = std::max(left, 0LL), x1 = std::min<long long>(right, target.width);
    const long long y0 = std::max(top, 0LL), y1 = std::min<long long>(bottom, target.height);
    if (x0 >= x1 || y0 >= y1) return;
    IndexMapper map(s, dc, target);
    for (long long y = y0; y < y1; ++y) {
        std::uint8_t* row = target.Row(static_cast<int>(y));
        dc.ForEachVisibleRun(static_cast<int>(y), x0, x1, [&](int a, int b) {
            for (int x = a; x < b; ++x) WritePixel(target, row, x, px, map);
        });
    }
}

}  // namespace tarnwick::gdi_internal

namespace {

// The colour a brush paints, or false when it paints nothing (a hollow brush)
// or is not a brush (with the last error set).
bool BrushPixel(StateAccess& s, HBRUSH brush, std::uint32_t& px) {
    const auto value = reinterpret_cast<Id>(brush);
    if (value >= 1 && value <= COLOR_MENUBAR + 1) {  // a system colour index + 1
        px = ColorRefToPixel(GetSysColor(static_cast<int>(value - 1)));
        return true;
    }
    BrushObj* b = s.Lookup<BrushObj>(brush);
    if (!b || b->hollow) return false;
    px = ColorRefToPixel(b->color);
    return true;
}

// Fills the logical rectangles of `rects` with the brush.
template <std::size_t N>
int FillRects(HDC hdc, const RECT (&rects)[N], HBRUSH brush) {
    StateAccess s;
    DcObj* dc = s.Lookup<DcObj>(hdc);
    if (!dc) return 0;
    std::uint32_t px = 0;
    if (!BrushPixel(s, brush, px)) return s->Get<BrushObj>(brush) ? 1 : 0;
    Surface* target = s->Target(*dc);
    if (!target) return Fail(ERROR_NOT_ENOUGH_MEMORY, 0);
    for (const RECT& r : rects) {
        FillArea(*s, *dc, *target, dc->DeviceX(r.left), dc->DeviceY(r.top), dc->DeviceX(r.right),
                 dc->DeviceY(r.bottom), px);
    }
    return 1;
}

}  // namespace

HBRUSH CreateSolidBrush(COLORREF color) {
    StateAccess s;
    return reinterpret_cast<HBRUSH>(s->Add(BrushObj{color & 0x00FFFFFF, false}));
}

int FillRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return Fail(ERROR_INVALID_PARAMETER, 0);
    const RECT rects[] = {*rect};
    return FillRects(hdc, rects, brush);
}

int FrameRect(HDC hdc, const RECT* rect, HBRUSH brush) {
    if (!rect) return Fail(ERROR_INVALID_PARAMETER, 0);
    const RECT& r = *rect;
    if (r.left >= r.right || r.top >= r.bottom) {
        const RECT none[] = {{0, 0, 0, 0}};
        return FillRects(hdc, none, brush);  // checks the handles, draws nothing
    }
    // Top and bottom rows across the full width, then the sides between them.
    const RECT edges[] = {{r.left, r.top, r.right, r.top + 1},
                          {r.left, r.bottom - 1, r.right, r.bottom},
                          {r.left, r.top + 1, r.left + 1, r.bottom - 1},
                          {r.right - 1, r.top + 1, r.right, r.bottom - 1}};
    return FillRects(hdc, edges, brush);
}
