// Regions: rectangles combined, tested and read back.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "gdi/GdiState.h"

using namespace tarnwick::gdi_internal;

namespace {

// Region coordinates stay within 27 bits, as the system's do, so that no
// offset or combination can overflow, and a larger value can mark the end.
constexpr int kMaxCoord = 1 << 27;
constexpr int kNone = INT_MAX;
int ClampCoord(LONG v) { return std::clamp<LONG>(v, -kMaxCoord, kMaxCoord); }

bool Keep(bool inA, bool inB, int mode) {
    switch (mode) {
        case RGN_AND: return inA && inB;
        case RGN_OR: return inA || inB;
        case RGN_XOR: return inA != inB;
        case RGN_DIFF: return inA && !inB;
        default: return inA;
    }
}

// A sweep over sorted, disjoint intervals [lo, hi): where the next change
// after x is, and whether x lies inside one. `at` moves forward only.
template <class T, class Lo, class Hi>
struct Sweep {
    std::span<const T> items;
    Lo lo;
    Hi hi;
    std::size_t at = 0;

    int NextEdge(int x) {
        while (at < items.size() && hi(items[at]) <= x) ++at;
        if (at == items.size()) return kNone;
        return lo(items[at]) > x ? lo(items[at]) : hi(items[at]);
    }
    // Valid after NextEdge(x).
    bool Inside(int x) const { return at < items.size() && lo(items[at]) <= x; }
    int Start() const { return items.empty() ? kNone : lo(items.front()); }
};

template <class T, class Lo, class Hi>
Sweep<T, Lo, Hi> MakeSweep(std::span<const T> items, Lo lo, Hi hi) {
    return {items, lo, hi};
}

// Appends the spans of a (mode) b to out, merging touching ones.
void CombineSpans(std::span<const Span> a, std::span<const Span> b, int mode,
                  std::vector<Span>& out, std::size_t start) {
    auto first = [](const Span& s) { return s.first; };
    auto second = [](const Span& s) { return s.second; };
    auto sa = MakeSweep(a, first, second), sb = MakeSweep(b, first, second);
    for (int x = std::min(sa.Start(), sb.Start()); x != kNone;) {
        const int next = std::min(sa.NextEdge(x), sb.NextEdge(x));
        if (next == kNone) break;
        if (Keep(sa.Inside(x), sb.Inside(x), mode)) {
            if (out.size() > start && out.back().second == x)
                out.back().second = next;
            else
                out.emplace_back(x, next);
        }
        x = next;
    }
}

}  // namespace

void Region::CloseBand(int top, int bottom, std::size_t start) {
    const std::size_t end = spans_.size();
    if (start == end || top >= bottom) {
        spans_.resize(start);
        return;
    }
    if (!bands_.empty() && bands_.back().bottom == top) {
        const std::span<const Span> above = SpansOf(bands_.back());
        if (std::equal(above.begin(), above.end(), spans_.begin() + std::ptrdiff_t(start),
                       spans_.end())) {
            bands_.back().bottom = bottom;
            spans_.resize(start);
            return;
        }
    }
    bands_.push_back({top, bottom, std::uint32_t(start), std::uint32_t(end)});
}

void Region::SetRect(const RECT& r) {
    clear();
    const RECT c{ClampCoord(r.left), ClampCoord(r.top), ClampCoord(r.right), ClampCoord(r.bottom)};
    if (c.left >= c.right || c.top >= c.bottom) return;
    spans_.emplace_back(c.left, c.right);
    bands_.push_back({c.top, c.bottom, 0, 1});
}

void Region::SetRects(const RECT* input, std::size_t n) {
    clear();
    std::vector<RECT> rects;
    std::vector<int> ys;
    for (std::size_t i = 0; i < n; ++i) {
        const RECT& r = input[i];
        const RECT c{ClampCoord(r.left), ClampCoord(r.top), ClampCoord(r.right),
                     ClampCoord(r.bottom)};
        if (c.left >= c.right || c.top >= c.bottom) continue;
        rects.push_back(c);
        ys.push_back(c.top);
        ys.push_back(c.bottom);
    }
    std::sort(ys.begin(), ys.end());
    ys.erase(std::unique(ys.begin(), ys.end()), ys.end());
    std::vector<Span> row;
    for (std::size_t k = 0; k + 1 < ys.size(); ++k) {
        row.clear();
        for (const RECT& rc : rects)
            if (rc.top <= ys[k] && ys[k] < rc.bottom) row.emplace_back(rc.left, rc.right);
        std::sort(row.begin(), row.end());
        const std::size_t start = spans_.size();
        for (const Span& sp : row) {
            if (spans_.size() > start && sp.first <= spans_.back().second)
                spans_.back().second = std::max(spans_.back().second, sp.second);
            else
                spans_.push_back(sp);
        }
        CloseBand(ys[k], ys[k + 1], start);
    }
}

void Region::Combine(const Region& a, const Region& b, int mode) {
    clear();
    auto top = [](const Band& band) { return band.top; };
    auto bottom = [](const Band& band) { return band.bottom; };
    auto sa = MakeSweep(std::span<const Band>(a.bands_), top, bottom);
    auto sb = MakeSweep(std::span<const Band>(b.bands_), top, bottom);
    for (int y = std::min(sa.Start(), sb.Start()); y != kNone;) {
        const int next = std::min(sa.NextEdge(y), sb.NextEdge(y));
        if (next == kNone) break;
        const std::span<const Span> none;
        const std::size_t start = spans_.size();
        CombineSpans(sa.Inside(y) ? a.SpansOf(a.bands_[sa.at]) : none,
                     sb.Inside(y) ? b.SpansOf(b.bands_[sb.at]) : none, mode, spans_, start);
        CloseBand(y, next, start);
        y = next;
    }
}

void Region::Offset(int dx, int dy) {
    for (Band& b : bands_) {
        b.top += dy;
        b.bottom += dy;
    }
    for (Span& sp : spans_) {
        sp.first += dx;
        sp.second += dx;
    }
}

std::span<const Span> Region::SpansAt(int y) const {
    auto it = std::upper_bound(bands_.begin(), bands_.end(), y,
                               [](int v, const Band& b) { return v < b.bottom; });
    if (it == bands_.end() || it->top > y) return {};
    return SpansOf(*it);
}

bool Region::Intersects(const RECT& r) const {
    for (const Band& b : bands_) {
        if (b.bottom <= r.top) continue;
        if (b.top >= r.bottom) break;
        for (const Span& sp : SpansOf(b))
            if (sp.first < r.right && r.left < sp.second) return true;
    }
    return false;
}

int Region::Complexity() const {
    if (bands_.empty()) return NULLREGION;
    return spans_.size() == 1 ? SIMPLEREGION : COMPLEXREGION;
}

RECT Region::Box() const {
    if (bands_.empty()) return {0, 0, 0, 0};
    RECT box{kNone, bands_.front().top, -kNone, bands_.back().bottom};
    for (const Band& b : bands_) {
        box.left = std::min(box.left, spans_[b.first].first);
        box.right = std::max(box.right, spans_[b.last - 1].second);
    }
    return box;
}

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
    const RECT r{std::min(left, right), std::min(top, bottom), std::max(left, right),
                 std::max(top, bottom)};
    RegionObj obj;
    obj.region.SetRect(r);
    StateAccess s;
    return reinterpret_cast<HRGN>(s->Add(std::move(obj)));
}

BOOL SetRectRgn(HRGN region, int left, int top, int right, int bottom) {
    StateAccess s;
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return FALSE;
    r->region.SetRect({std::min(left, right), std::min(top, bottom), std::max(left, right),
                       std::max(top, bottom)});
    return TRUE;
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
    RegionObj obj;
    obj.region.SetRects(rects.data(), rects.size());
    StateAccess s;
    return reinterpret_cast<HRGN>(s->Add(std::move(obj)));
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
    StateAccess s;
    RegionObj* d = s.Lookup<RegionObj>(dest);
    RegionObj* a = d ? s.Lookup<RegionObj>(src1) : nullptr;
    if (!d || !a) return ERROR;
    if (mode < RGN_AND || mode > RGN_COPY) return Fail(ERROR_INVALID_PARAMETER, ERROR);
    if (mode == RGN_COPY) {
        d->region = a->region;
    } else {
        RegionObj* b = s.Lookup<RegionObj>(src2);
        if (!b) return ERROR;
        // The destination may be one of the sources: combine into the
        // state's working region and trade storage with it.
        Region& work = s->workRegion;
        work.Combine(a->region, b->region, mode);
        std::swap(d->region, work);
    }
    return d->region.Complexity();
}

BOOL PtInRegion(HRGN region, int x, int y) {
    StateAccess s;
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return FALSE;
    for (const auto& span : r->region.SpansAt(y)) {
        if (span.first <= x && x < span.second) return TRUE;
    }
    return FALSE;
}

int GetRgnBox(HRGN region, RECT* box) {
    StateAccess s;
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return ERROR;
    if (!box) return Fail(ERROR_INVALID_PARAMETER, ERROR);
    *box = r->region.Box();
    return r->region.Complexity();
}

BOOL EqualRgn(HRGN a, HRGN b) {
    StateAccess s;
    RegionObj* ra = s.Lookup<RegionObj>(a);
    RegionObj* rb = ra ? s.Lookup<RegionObj>(b) : nullptr;
    if (!ra || !rb) return FALSE;
    // Equal regions have equal bands (see Band).
    return ra->region == rb->region ? TRUE : FALSE;
}

int OffsetRgn(HRGN region, int dx, int dy) {
    StateAccess s;
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return ERROR;
    if (!r->region.empty()) {
        const RECT box = r->region.Box();
        const long long limit = kMaxCoord;
        if (std::llabs(static_cast<long long>(box.left) + dx) > limit ||
            std::llabs(static_cast<long long>(box.right) + dx) > limit ||
            std::llabs(static_cast<long long>(box.top) + dy) > limit ||
            std::llabs(static_cast<long long>(box.bottom) + dy) > limit) {
            return Fail(ERROR_INVALID_PARAMETER, ERROR);
        }
    }
    r->region.Offset(dx, dy);
    return r->region.Complexity();
}

DWORD GetRegionData(HRGN region, DWORD count, RGNDATA* data) {
    StateAccess s;
    RegionObj* r = s.Lookup<RegionObj>(region);
    if (!r) return 0;
    const std::size_t n = r->region.RectCount();
    const DWORD need = static_cast<DWORD>(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
    if (!data) return need;
    if (count < need) return Fail<DWORD>(ERROR_INSUFFICIENT_BUFFER, 0);
    RGNDATAHEADER h{sizeof(RGNDATAHEADER), RDH_RECTANGLES, static_cast<DWORD>(n),
                    static_cast<DWORD>(n * sizeof(RECT)), r->region.Box()};
    std::memcpy(data, &h, sizeof h);
    auto* out = reinterpret_cast<std::uint8_t*>(data) + sizeof h;
    r->region.ForEachRect([&out](const RECT& rc) {
        std::memcpy(out, &rc, sizeof rc);
        out += sizeof rc;
    });
    return need;
}
