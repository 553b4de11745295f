// bg: the conversions between plane regions and Boost.Geometry's rings, polygons and multi-polygons.
#include "Math/Polygon/KrPolygonBGConvert.h"

#include "Math/Polygon/KrPolygonGrid.h"

#include <boost/geometry/algorithms/correct.hpp>

namespace bg {

namespace {

void CopyRing(const TKrContour& c, TRing& out) {
    KrPolygonGrid::CheckFinite(c, "bg::convert");
    out.clear();
    out.reserve(c.size() + 1);
    // Consecutive repeats of a vertex are dropped: Boost.Geometry accepts them as valid but its
    // overlay can then lose most of a result (found by fuzzing).
    for (const vec3d& p : c)
        if (out.empty() || out.back().x() != p.x || out.back().y() != p.y) out.push_back(TPoint(p.x, p.y));
}

void CopyPolygon(const TKrDomain& d, TPolygon& out) {
    out.clear();
    if (d.empty()) return;
    CopyRing(d[0], out.outer());
    out.inners().resize(d.size() - 1);
    for (std::size_t i = 1; i < d.size(); ++i)
        CopyRing(d[i], out.inners()[i - 1]);
}

} // namespace

void _convert(const TKrContour& c, TRing& out, bool correct) {
    CopyRing(c, out);
    if (correct) boost::geometry::correct(out);
}

void _convert(const TKrContour& c, TPolygon& out, bool correct) {
    out.clear();
    CopyRing(c, out.outer());
    if (correct) boost::geometry::correct(out);
}

void _convert(const TKrDomain& d, TPolygon& out, bool correct) {
    CopyPolygon(d, out);
    if (correct) boost::geometry::correct(out);
}

void _convert(const TKrPlanarSet& s, TMultiPolygon& out, bool correct) {
    out.resize(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        CopyPolygon(s[i], out[i]);
    if (correct) boost::geometry::correct(out);
}

void convert(const TKrContour& c, TRing& out) {
    _convert(c, out, true);
}
void convert(const TKrContour& c, TPolygon& out) {
    _convert(c, out, true);
}
void convert(const TKrDomain& d, TPolygon& out) {
    _convert(d, out, true);
}
void convert(const TKrPlanarSet& s, TMultiPolygon& out) {
    _convert(s, out, true);
}

void convert_rev(const TKrContour& c, TRing& out) {
    KrPolygonGrid::CheckFinite(c, "bg::convert_rev");
    out.clear();
    out.reserve(c.size() + 1);
    for (auto it = c.rbegin(); it != c.rend(); ++it)
        if (out.empty() || out.back().x() != it->x || out.back().y() != it->y)
            out.push_back(TPoint(it->x, it->y));
    boost::geometry::correct(out);
}

void convert(const TRing& r, TKrContour& out) {
    std::size_t n = r.size();
    if (n > 1 && r[n - 1].x() == r[0].x() && r[n - 1].y() == r[0].y()) --n;
    out.resize(n);
    for (std::size_t i = 0; i < n; ++i)
        out[i] = vec3d(r[i].x(), r[i].y(), 0.0);
}

void convert(const TPolygon& p, TKrDomain& out) {
    out.resize(1 + p.inners().size());
    convert(p.outer(), out[0]);
    for (std::size_t i = 0; i < p.inners().size(); ++i)
        convert(p.inners()[i], out[i + 1]);
}

void convert(const TMultiPolygon& m, TKrPlanarSet& out) {
    out.resize(m.size());
    for (std::size_t i = 0; i < m.size(); ++i)
        convert(m[i], out[i]);
}

} // namespace bg
