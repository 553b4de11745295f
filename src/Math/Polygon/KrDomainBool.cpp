// The domain toolkit's Boolean core on the Clipper library, exact on the grid of the tolerance.
#include "Math/Polygon/KrDomainBool.h"

#include "Math/Polygon/KrPolygonClipperConvert.h"
#include "Math/Polygon/KrPolygonGrid.h"

#include <cmath>

namespace {

ClipperLib::PolyFillType FillOf(int mode, const char* function) {
    if (mode == 1) return ClipperLib::pftEvenOdd;
    if (mode == 2) return ClipperLib::pftNonZero;
    throw TKrMessage("@%1%: invalid mode %2% (1 even-odd, 2 non-zero)") << function << mode;
}

void ToPaths(const TKrContour& c, ClipperLib::Paths& out, double s) {
    out.resize(1);
    clipper::convert(c, out[0], vec2d(s, s), vec2d(0, 0));
}
void ToPaths(const TKrDomain& d, ClipperLib::Paths& out, double s) {
    clipper::convert(d, out, vec2d(s, s), vec2d(0, 0));
}
void ToPaths(const TKrPlanarSet& ps, ClipperLib::Paths& out, double s) {
    clipper::convert(ps, out, vec2d(s, s), vec2d(0, 0));
}

// An operand without any usable contour is an empty region here, not a refusal: Clipper's
// AddPaths reports false for it, which the routines treat as nothing added.
template <class A>
bool Combine(ClipperLib::ClipType type, const A& a, const A& b, TKrPlanarSet& out, int mode, double tolerance,
             const char* function) {
    const ClipperLib::PolyFillType fill = FillOf(mode, function);
    const double s = KrPolygonGrid::GridScale(tolerance, function);
    ClipperLib::Paths pa, pb;
    ToPaths(a, pa, s);
    ToPaths(b, pb, s);
    out.clear();
    try {
        ClipperLib::Clipper c;
        const bool addedA = c.AddPaths(pa, ClipperLib::ptSubject, true);
        const bool addedB = c.AddPaths(pb, ClipperLib::ptClip, true);
        if (!addedA && !addedB) return true; // two empty regions give an empty one
        ClipperLib::PolyTree tree;
        if (!c.Execute(type, tree, fill, fill)) return false;
        clipper::_convert(tree, out, vec2d(tolerance, tolerance), vec2d(0, 0));
        return true;
    } catch (const ClipperLib::clipperException&) {
        return false;
    }
}

} // namespace

#define KRSTD_DOMAIN_BOOL_DEF(Name, Type, ClipType)                                                          \
    bool Name(const Type& a, const Type& b, TKrPlanarSet& out, int mode, double tolerance) {                 \
        return Combine(ClipperLib::ClipType, a, b, out, mode, tolerance, #Name);                             \
    }
KRSTD_DOMAIN_BOOL_DEF(JoinDomains, TKrContour, ctUnion)
KRSTD_DOMAIN_BOOL_DEF(JoinDomainsMC, TKrDomain, ctUnion)
KRSTD_DOMAIN_BOOL_DEF(JoinDomainsPS, TKrPlanarSet, ctUnion)
KRSTD_DOMAIN_BOOL_DEF(IntersectDomains, TKrContour, ctIntersection)
KRSTD_DOMAIN_BOOL_DEF(IntersectDomainsMC, TKrDomain, ctIntersection)
KRSTD_DOMAIN_BOOL_DEF(IntersectDomainsPS, TKrPlanarSet, ctIntersection)
KRSTD_DOMAIN_BOOL_DEF(SubtractDomains, TKrContour, ctDifference)
KRSTD_DOMAIN_BOOL_DEF(SubtractDomainsMC, TKrDomain, ctDifference)
KRSTD_DOMAIN_BOOL_DEF(SubtractDomainsPS, TKrPlanarSet, ctDifference)
#undef KRSTD_DOMAIN_BOOL_DEF

double GetContourArea(const TKrContour& c) {
    return std::fabs(GetContourSignedArea(c));
}

double GetDomainArea(const TKrDomain& d) {
    if (d.empty()) return 0.0;
    double a = GetContourArea(d[0]);
    for (std::size_t i = 1; i < d.size(); ++i)
        a -= GetContourArea(d[i]);
    return a;
}

double GetPlanarSetArea(const TKrPlanarSet& s) {
    double a = 0.0;
    for (const TKrDomain& d : s)
        a += GetDomainArea(d);
    return a;
}
