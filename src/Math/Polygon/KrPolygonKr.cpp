// _kr: Boolean operations and containment of plane regions over the library's own domain routines.
#include "Math/Polygon/KrPolygonKr.h"

#include "Math/Polygon/KrDomainBool.h"
#include "Math/Polygon/KrPolygonGrid.h"
#include "Math/Polygon/KrPolygonPerimeter.h"

#include <algorithm>
#include <cmath>

namespace _kr {

namespace {

// The mode every call of this back end passes to the domain routines.
constexpr int kMode = 1;

TKrDomain ToDomain(const TKrContour& c) {
    return TKrDomain{c};
}
const TKrDomain& ToDomain(const TKrDomain& d) {
    return d;
}
TKrPlanarSet ToSet(const TKrContour& c) {
    return TKrPlanarSet{TKrDomain{c}};
}
TKrPlanarSet ToSet(const TKrDomain& d) {
    return TKrPlanarSet{d};
}
const TKrPlanarSet& ToSet(const TKrPlanarSet& s) {
    return s;
}

enum class TOp { Union, Intersection, Difference };

bool Call(TOp op, const TKrContour& a, const TKrContour& b, TKrPlanarSet& out, double tol) {
    switch (op) {
    case TOp::Union:
        return JoinDomains(a, b, out, kMode, tol);
    case TOp::Intersection:
        return IntersectDomains(a, b, out, kMode, tol);
    case TOp::Difference:
        return SubtractDomains(a, b, out, kMode, tol);
    }
    return false;
}
bool Call(TOp op, const TKrDomain& a, const TKrDomain& b, TKrPlanarSet& out, double tol) {
    switch (op) {
    case TOp::Union:
        return JoinDomainsMC(a, b, out, kMode, tol);
    case TOp::Intersection:
        return IntersectDomainsMC(a, b, out, kMode, tol);
    case TOp::Difference:
        return SubtractDomainsMC(a, b, out, kMode, tol);
    }
    return false;
}
bool Call(TOp op, const TKrPlanarSet& a, const TKrPlanarSet& b, TKrPlanarSet& out, double tol) {
    switch (op) {
    case TOp::Union:
        return JoinDomainsPS(a, b, out, kMode, tol);
    case TOp::Intersection:
        return IntersectDomainsPS(a, b, out, kMode, tol);
    case TOp::Difference:
        return SubtractDomainsPS(a, b, out, kMode, tol);
    }
    return false;
}

// Both operands raised to the larger of their two kinds.
template <class A, class B> bool Bool(TOp op, const A& a, const B& b, TKrPlanarSet& out, double tol) {
    if constexpr (std::is_same<A, TKrContour>::value && std::is_same<B, TKrContour>::value)
        return Call(op, a, b, out, tol);
    else if constexpr (!std::is_same<A, TKrPlanarSet>::value && !std::is_same<B, TKrPlanarSet>::value)
        return Call(op, ToDomain(a), ToDomain(b), out, tol);
    else
        return Call(op, ToSet(a), ToSet(b), out, tol);
}

template <class A, class B> bool Xor(const A& a, const B& b, TKrPlanarSet& out, double tol) {
    TKrPlanarSet ba;
    if (!Bool(TOp::Difference, a, b, out, tol) || !Bool(TOp::Difference, b, a, ba, tol)) return false;
    out.insert(out.end(), std::make_move_iterator(ba.begin()), std::make_move_iterator(ba.end()));
    return true;
}

using KrPolygonPerimeter::Perimeter;

// a lies in b when a − b leaves nothing but slivers narrower than the tolerance.
template <class A, class B> bool Within(const A& a, const B& b, double tol) {
    TKrPlanarSet rest;
    if (!Bool(TOp::Difference, a, b, rest, tol)) return false;
    return GetPlanarSetArea(rest) <= tol * Perimeter(a);
}

double SegmentDistance2(double px, double py, const vec3d& u, const vec3d& v) {
    const double dx = v.x - u.x, dy = v.y - u.y;
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - u.x) * dx + (py - u.y) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    const double ex = u.x + t * dx - px, ey = u.y + t * dy - py;
    return ex * ex + ey * ey;
}

// Even-odd crossing count of the contour's edges to the right of the point; near counts
// whether the point is within `tol` of an edge.
void Probe(double px, double py, const TKrContour& c, double tol, bool& inside, bool& near) {
    const std::size_t n = c.size();
    for (std::size_t i = 0, j = n ? n - 1 : 0; i < n; j = i++) {
        const vec3d& u = c[j];
        const vec3d& v = c[i];
        if ((v.y > py) != (u.y > py) && px < (u.x - v.x) * (py - v.y) / (u.y - v.y) + v.x) inside = !inside;
        if (!near && SegmentDistance2(px, py, u, v) <= tol * tol) near = true;
    }
}

bool PointIn(const vec3d& p, const TKrPlanarSet& s, double tol) {
    bool inside = false, near = false;
    for (const TKrDomain& d : s)
        for (const TKrContour& c : d)
            Probe(p.x, p.y, c, tol, inside, near);
    return inside || near;
}

double SegmentsDistance2(const vec3d& a, const vec3d& b, const vec3d& c, const vec3d& d) {
    const auto cross = [](const vec3d& o, const vec3d& p, const vec3d& q) {
        return (p.x - o.x) * (q.y - o.y) - (p.y - o.y) * (q.x - o.x);
    };
    const double d1 = cross(a, b, c), d2 = cross(a, b, d), d3 = cross(c, d, a), d4 = cross(c, d, b);
    if (((d1 > 0 && d2 < 0) || (d1 < 0 && d2 > 0)) && ((d3 > 0 && d4 < 0) || (d3 < 0 && d4 > 0))) return 0.0;
    return std::min(std::min(SegmentDistance2(a.x, a.y, c, d), SegmentDistance2(b.x, b.y, c, d)),
                    std::min(SegmentDistance2(c.x, c.y, a, b), SegmentDistance2(d.x, d.y, a, b)));
}

} // namespace

#define KRSTD_KR_BOOL_DEF(A, B)                                                                              \
    bool union_(const A& a, const B& b, TKrPlanarSet& out, double precision) {                               \
        return Bool(TOp::Union, a, b, out, precision);                                                       \
    }                                                                                                        \
    bool intersection(const A& a, const B& b, TKrPlanarSet& out, double precision) {                         \
        return Bool(TOp::Intersection, a, b, out, precision);                                                \
    }                                                                                                        \
    bool difference(const A& a, const B& b, TKrPlanarSet& out, double precision) {                           \
        return Bool(TOp::Difference, a, b, out, precision);                                                  \
    }                                                                                                        \
    bool xor_(const A& a, const B& b, TKrPlanarSet& out, double precision) {                                 \
        return Xor(a, b, out, precision);                                                                    \
    }                                                                                                        \
    bool contains(const A& a, const B& b, double precision) {                                                \
        return Within(a, b, precision);                                                                      \
    }
KRSTD_KR_BOOL_DEF(TKrContour, TKrContour)
KRSTD_KR_BOOL_DEF(TKrContour, TKrDomain)
KRSTD_KR_BOOL_DEF(TKrContour, TKrPlanarSet)
KRSTD_KR_BOOL_DEF(TKrDomain, TKrContour)
KRSTD_KR_BOOL_DEF(TKrDomain, TKrDomain)
KRSTD_KR_BOOL_DEF(TKrDomain, TKrPlanarSet)
KRSTD_KR_BOOL_DEF(TKrPlanarSet, TKrContour)
KRSTD_KR_BOOL_DEF(TKrPlanarSet, TKrDomain)
KRSTD_KR_BOOL_DEF(TKrPlanarSet, TKrPlanarSet)
#undef KRSTD_KR_BOOL_DEF

bool contains(const vec3d& point, const TKrContour& region, double precision) {
    return contains(point, ToSet(region), precision);
}
bool contains(const vec3d& point, const TKrDomain& region, double precision) {
    return contains(point, ToSet(region), precision);
}
bool contains(const vec3d& point, const TKrPlanarSet& region, double precision) {
    if (!std::isfinite(point.x) || !std::isfinite(point.y))
        KrPolygonGrid::ThrowNotFinite("_kr::contains", point.x, point.y);
    KrPolygonGrid::GridScale(precision, "_kr::contains");
    KrPolygonGrid::CheckFinite(region, "_kr::contains");
    return PointIn(point, region, precision);
}

double area(const TKrContour& c) {
    return GetContourArea(c);
}

bool intersects(const TKrContour& a, const TKrContour& b, double precision) {
    KrPolygonGrid::GridScale(precision, "_kr::intersects");
    KrPolygonGrid::CheckFinite(a, "_kr::intersects");
    KrPolygonGrid::CheckFinite(b, "_kr::intersects");
    if (a.empty() || b.empty()) return false;
    TKrLimits2d la = GetLimits(a), lb = GetLimits(b);
    if (la.max.x + precision < lb.min.x || lb.max.x + precision < la.min.x ||
        la.max.y + precision < lb.min.y || lb.max.y + precision < la.min.y)
        return false;
    const TKrPlanarSet sa = ToSet(a), sb = ToSet(b);
    if (PointIn(a[0], sb, precision) || PointIn(b[0], sa, precision)) return true;
    const double tol2 = precision * precision;
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j)
            if (SegmentsDistance2(a[i], a[(i + 1) % a.size()], b[j], b[(j + 1) % b.size()]) <= tol2)
                return true;
    return false;
}

} // namespace _kr
