// bp: conversions between plane regions and Boost.Polygon's 32-bit grid polygons.
#include "Math/Polygon/KrPolygonBPConvert.h"

#include "Math/Polygon/KrPolygonGrid.h"

#include <cstdint>
#include <limits>

namespace bp {

namespace {

constexpr double kLo = std::numeric_limits<std::int32_t>::min();
constexpr double kHi = std::numeric_limits<std::int32_t>::max();

std::vector<TPoint> ToGrid(const TKrContour& c, double s, double precision) {
    std::vector<TPoint> pts;
    pts.reserve(c.size());
    for (const vec3d& p : c) {
        int x = 0, y = 0;
        if (!KrPolygonGrid::Nearest(p.x * s, kLo, kHi, x) || !KrPolygonGrid::Nearest(p.y * s, kLo, kHi, y)) {
            if (!std::isfinite(p.x) || !std::isfinite(p.y))
                KrPolygonGrid::ThrowNotFinite("bp::convert", p.x, p.y);
            KrPolygonGrid::ThrowBeyondGrid("bp::convert", p.x, p.y, 32, precision);
        }
        pts.emplace_back(x, y);
    }
    return pts;
}

std::vector<TPoint> ToGrid(const kr::TContour2<int>& c) {
    std::vector<TPoint> pts;
    pts.reserve(c.size());
    for (const kr::TPoint2<int>& p : c)
        pts.emplace_back(p.x, p.y);
    return pts;
}

// Contours come back without a closing vertex that repeats the first.
template <class Poly, class Fn> void ForEachVertex(const Poly& p, Fn&& fn) {
    auto first = p.begin(), last = p.end();
    std::size_t n = p.size();
    if (n > 1) {
        auto back = first;
        std::advance(back, n - 1);
        if (*back == *first) --n;
    }
    for (std::size_t i = 0; i < n && first != last; ++i, ++first)
        fn(*first);
}

template <class Poly> void FromGrid(const Poly& p, TKrContour& out, double precision) {
    out.clear();
    out.reserve(p.size());
    ForEachVertex(p,
                  [&](const TPoint& q) { out.push_back(vec3d(q.x() * precision, q.y() * precision, 0.0)); });
}

template <class Poly> void FromGrid(const Poly& p, kr::TContour2<int>& out) {
    out.clear();
    out.reserve(p.size());
    ForEachVertex(p, [&](const TPoint& q) { out.push_back(kr::TPoint2<int>(q.x(), q.y())); });
}

} // namespace

void convert(const TKrContour& c, TPolygon& out, double precision) {
    const double s = KrPolygonGrid::GridScale(precision, "bp::convert");
    const std::vector<TPoint> pts = ToGrid(c, s, precision);
    out.set(pts.begin(), pts.end());
}

void convert(const TKrContour& c, TPolygonWithHoles& out, double precision) {
    const double s = KrPolygonGrid::GridScale(precision, "bp::convert");
    const std::vector<TPoint> pts = ToGrid(c, s, precision);
    out = TPolygonWithHoles();
    out.set(pts.begin(), pts.end());
}

void convert(const TKrDomain& d, TPolygonWithHoles& out, double precision) {
    const double s = KrPolygonGrid::GridScale(precision, "bp::convert");
    out = TPolygonWithHoles();
    if (d.empty()) return;
    const std::vector<TPoint> outer = ToGrid(d[0], s, precision);
    std::vector<TPolygon> holes(d.size() - 1);
    for (std::size_t i = 1; i < d.size(); ++i) {
        const std::vector<TPoint> h = ToGrid(d[i], s, precision);
        holes[i - 1].set(h.begin(), h.end());
    }
    out.set(outer.begin(), outer.end());
    out.set_holes(holes.begin(), holes.end());
}

void convert(const TKrPlanarSet& s, std::vector<TPolygonWithHoles>& out, double precision) {
    out.resize(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        convert(s[i], out[i], precision);
}

void convert(const kr::TContour2<int>& c, TPolygonWithHoles& out) {
    const std::vector<TPoint> pts = ToGrid(c);
    out = TPolygonWithHoles();
    out.set(pts.begin(), pts.end());
}

void convert(const kr::TDomain2<int>& d, TPolygonWithHoles& out) {
    out = TPolygonWithHoles();
    if (d.empty()) return;
    const std::vector<TPoint> outer = ToGrid(d[0]);
    std::vector<TPolygon> holes(d.size() - 1);
    for (std::size_t i = 1; i < d.size(); ++i) {
        const std::vector<TPoint> h = ToGrid(d[i]);
        holes[i - 1].set(h.begin(), h.end());
    }
    out.set(outer.begin(), outer.end());
    out.set_holes(holes.begin(), holes.end());
}

void convert(const kr::TPlanarSet2<int>& s, std::vector<TPolygonWithHoles>& out) {
    out.resize(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        convert(s[i], out[i]);
}

void convert(const TPolygon& p, TKrContour& out, double precision) {
    FromGrid(p, out, precision);
}

void convert(const TPolygonWithHoles& p, TKrDomain& out, double precision) {
    out.resize(1 + p.size_holes());
    FromGrid(p, out[0], precision);
    std::size_t i = 1;
    for (auto h = p.begin_holes(); h != p.end_holes(); ++h)
        FromGrid(*h, out[i++], precision);
}

void convert(const std::vector<TPolygonWithHoles>& v, TKrPlanarSet& out, double precision) {
    out.resize(v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        convert(v[i], out[i], precision);
}

void convert(const TPolygonWithHoles& p, kr::TDomain2<int>& out) {
    out.resize(1 + p.size_holes());
    FromGrid(p, out[0]);
    std::size_t i = 1;
    for (auto h = p.begin_holes(); h != p.end_holes(); ++h)
        FromGrid(*h, out[i++]);
}

void convert(const std::vector<TPolygonWithHoles>& v, kr::TPlanarSet2<int>& out) {
    out.resize(v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        convert(v[i], out[i]);
}

} // namespace bp
