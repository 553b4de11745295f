// Raster sampling grids: comparisons, exactness, settings persistence, integer rectangles.
#include "Raster/KrDibRect.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

bool operator==(const TKrDibRect& a, const TKrDibRect& b) noexcept {
    return a.origin == b.origin && a.count == b.count && a.pixel_size == b.pixel_size;
}

bool KrIsDibRectValid(const TKrDibRect& r) noexcept {
    constexpr std::uint64_t kMaxCount = std::uint64_t(1) << 48;
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.pixel_size.x) &&
           std::isfinite(r.pixel_size.y) && r.pixel_size.x > 0 && r.pixel_size.y > 0 &&
           r.count.x <= kMaxCount && r.count.y <= kMaxCount;
}

bool IsRectExact(const TKrDibRect& a, const TKrDibRect& b, double eps) noexcept {
    if (a.count != b.count) return false;
    for (int axis = 0; axis < 2; ++axis) {
        const double bound = eps * a.pixel_size[axis];
        if (!(std::fabs(a.origin[axis] - b.origin[axis]) <= bound)) return false;
        if (a.count[axis] == 0) continue;
        const double last = static_cast<double>(a.count[axis] - 1);
        if (!(std::fabs(a.Sample(axis, last) - b.Sample(axis, last)) <= bound)) return false;
    }
    if (a.IsEmpty() && a.pixel_size != b.pixel_size) return false;
    return true;
}

void XIniSaveE(TKrXIniWriter* writer, const TKrDibRect& rect) {
    constexpr std::uint64_t kMax32 = std::numeric_limits<std::uint32_t>::max();
    if (rect.count.x > kMax32 || rect.count.y > kMax32)
        throw TKrMessage("@XIniSaveE(TKrDibRect): a count above 4294967295 (%1% x %2%) cannot be stored.")
            << rect.count.x << rect.count.y;
    writer->WriteSE("origin_x", rect.origin.x);
    writer->WriteSE("origin_y", rect.origin.y);
    writer->WriteSE("pixel_size_x", rect.pixel_size.x);
    writer->WriteSE("pixel_size_y", rect.pixel_size.y);
    writer->WriteSE("count_x", static_cast<unsigned>(rect.count.x));
    writer->WriteSE("count_y", static_cast<unsigned>(rect.count.y));
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDibRect& rect) {
    KrRasterInternal::TSectionGuard section(reader, index);
    auto readFinite = [reader](const char* name, bool positive) {
        const std::size_t i = reader->FindFE(name, 0);
        const double v = reader->ReadE<double>(i);
        if (!std::isfinite(v) || (positive && !(v > 0))) reader->throw_error_value(i);
        return v;
    };
    TKrDibRect r;
    r.origin.x = readFinite("origin_x", false);
    r.origin.y = readFinite("origin_y", false);
    r.pixel_size.x = readFinite("pixel_size_x", true);
    r.pixel_size.y = readFinite("pixel_size_y", true);
    r.count.x = reader->ReadE<unsigned>(reader->FindFE("count_x", 0));
    r.count.y = reader->ReadE<unsigned>(reader->FindFE("count_y", 0));
    section.Exit();
    rect = r;
}

bool operator<(const TKrDibRectI& a, const TKrDibRectI& b) noexcept {
    if (a.left != b.left) return a.left < b.left;
    if (a.top != b.top) return a.top < b.top;
    if (a.width != b.width) return a.width < b.width;
    return a.height < b.height;
}

bool operator==(const TKrDibRectI& a, const TKrDibRectI& b) noexcept {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

bool PointInRect(const TKrDibRectI& rect, const vec_t_<std::int64_t, 2>& p) noexcept {
    return rect.left <= p.x && p.x < rect.right() && rect.top <= p.y && p.y < rect.bottom();
}

bool IntersectRect(const TKrDibRectI& a, const TKrDibRectI& b, TKrDibRectI& out) noexcept {
    const std::int64_t l = std::max(a.left, b.left), t = std::max(a.top, b.top);
    const std::int64_t r = std::min(a.right(), b.right()), bt = std::min(a.bottom(), b.bottom());
    out.SetRect(l, t, r, bt);
    return r > l && bt > t;
}

void ExcludeDibRegionRect(std::set<TKrDibRectI>& set, const TKrDibRectI& rect) {
    if (rect.width == 0 || rect.height == 0) return;
    std::vector<TKrDibRectI> cut;
    for (const TKrDibRectI& m : set) {
        TKrDibRectI overlap;
        if (IntersectRect(m, rect, overlap)) cut.push_back(m);
    }
    for (const TKrDibRectI& m : cut) {
        TKrDibRectI o;
        IntersectRect(m, rect, o);
        set.erase(m);
        if (o.top > m.top)
            set.insert(TKrDibRectI(m.left, m.top, m.width, static_cast<std::uint64_t>(o.top - m.top)));
        if (m.bottom() > o.bottom())
            set.insert(TKrDibRectI(m.left, o.bottom(), m.width,
                                   static_cast<std::uint64_t>(m.bottom() - o.bottom())));
        if (o.left > m.left)
            set.insert(TKrDibRectI(m.left, o.top, static_cast<std::uint64_t>(o.left - m.left), o.height));
        if (m.right() > o.right())
            set.insert(
                TKrDibRectI(o.right(), o.top, static_cast<std::uint64_t>(m.right() - o.right()), o.height));
    }
}
