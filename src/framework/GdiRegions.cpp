// Regions: rectangles combined, tested and read back.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "framework/GdiState.h"

using namespace tarnwick::gdi_internal;

namespace {

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

}  // namespace

const Spans& tarnwick::gdi_internal::SpansAt(const Region& r, int y) {
    static const Spans none;
    auto it =
        std::upper_bound(r.begin(), r.end(), y, [](int v, const Band& b) { return v < b.bottom; });
    return it != r.end() && it->top <= y ? it->spans : none;
}

Region tarnwick::gdi_internal::CombineRegions(const Region& a, const Region& b, int mode) {
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

namespace {

// Region coordinates stay within 27 bits, as the system's do, so that no
// offset or combination can overflow.
constexpr int kMaxCoord = 1 << 27;
int ClampCoord(LONG v) { return std::clamp<LONG>(v, -kMaxCoord, kMaxCoord); }

}  // namespace

// The union of rectangles in any order; empty rectangles add nothing.
Region tarnwick::gdi_internal::RegionFromRects(const RECT* input, std::size_t n) {
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

int tarnwick::gdi_internal::Complexity(const Region& r) {
    if (r.empty()) return NULLREGION;
    return r.size() == 1 && r[0].spans.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT tarnwick::gdi_internal::Box(const Region& r) {
    if (r.empty()) return {0, 0, 0, 0};
    RECT box{r.front().spans.front().first, r.front().top, r.front().spans.back().second,
             r.back().bottom};
    for (auto& b : r) {
        box.left = std::min(box.left, b.spans.front().first);
        box.right = std::max(box.right, b.spans.back().second);
    }
    return box;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    const RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right),
                 std::max(top, bottom)};
    LockedState s;
    return reinterpret_cast<HRGN>(s->Add(RegionObj{RegionFromRects(&r, 1)}));
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
    if (!rects.empty())  // an empty vector may have no buffer to copy into
        std::memcpy(rects.data(),
                    reinterpret_cast<const std::uint8_t*>(data) + sizeof(RGNDATAHEADER),
                    rects.size() * sizeof(RECT));
    Region region = RegionFromRects(rects.data(), rects.size());
    LockedState s;
    return reinterpret_cast<HRGN>(s->Add(RegionObj{std::move(region)}));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    LockedState s;
    RegionObj* d = s.Lookup<RegionObj>(dest);
    RegionObj* a = d ? s.Lookup<RegionObj>(src1) : nullptr;
    if (!d || !a) return ERROR;
    if (mode < RGN_AND || mode > RGN_COPY) return Fail(ERROR_INVALID_PARAMETER, ERROR);
    if (mode == RGN_COPY) {
        d->region = a->region;
    } else {
        RegionObj* b = s.Lookup<RegionObj>(src2);
        if (!b) return ERROR;
        d->region = CombineRegions(a->region, b->region, mode);
    }
    return Complexity(d->region);
}

BOOL PtInRegion(HRGN region, int x, int y) {
    LockedState s;
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return FALSE;
    for (const auto& span : SpansAt(r->region, y)) {
        if (span.first <= x && x < span.second) return TRUE;
    }
    return FALSE;
}

int GetRgnBox(HRGN region, RECT* box) {
    LockedState s;
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return ERROR;
    if (!box) return Fail(ERROR_INVALID_PARAMETER, ERROR);
    *box = Box(r->region);
    return Complexity(r->region);
}

BOOL EqualRgn(HRGN a, HRGN b) {
    LockedState s;
    RegionObj* ra = s.Lookup<RegionObj>(a);
    RegionObj* rb = ra ? s.Lookup<RegionObj>(b) : nullptr;
    if (!ra || !rb) return FALSE;
    // Equal regions have equal bands (see Band).
    return ra->region == rb->region ? TRUE : FALSE;
}

int OffsetRgn(HRGN region, int dx, int dy) {
    LockedState s;
    RegionObj* r = s.Lookup<RegionObj>(region);
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
    LockedState s;
    RegionObj* r = s.Lookup<RegionObj>(region);
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
