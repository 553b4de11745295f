// _kr: Boolean operations and containment of plane regions over the library's own domain routines.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

/// The back end over the domain toolkit (KrDomainBool.h): union is JoinDomains (two contours),
/// JoinDomainsMC (domains) or JoinDomainsPS (planar sets), intersection and difference the
/// Intersect and Subtract routines of the same kinds; a contour meets a domain as a domain with
/// no holes and anything meets a planar set as a planar set. Exclusive or is a − b followed by
/// b − a, concatenated. Every call passes mode 1 and the precision as the routines' tolerance.
namespace _kr {

#define KRSTD_KR_BOOL_DECL(A, B)                                                                             \
    KRSTD_API bool union_(const A& a, const B& b, TKrPlanarSet& out, double precision);                      \
    KRSTD_API bool intersection(const A& a, const B& b, TKrPlanarSet& out, double precision);                \
    KRSTD_API bool difference(const A& a, const B& b, TKrPlanarSet& out, double precision);                  \
    KRSTD_API bool xor_(const A& a, const B& b, TKrPlanarSet& out, double precision);                        \
    /** True when `a` lies inside `b` up to slivers narrower than the precision. */                          \
    KRSTD_API bool contains(const A& a, const B& b, double precision);
KRSTD_KR_BOOL_DECL(TKrContour, TKrContour)
KRSTD_KR_BOOL_DECL(TKrContour, TKrDomain)
KRSTD_KR_BOOL_DECL(TKrContour, TKrPlanarSet)
KRSTD_KR_BOOL_DECL(TKrDomain, TKrContour)
KRSTD_KR_BOOL_DECL(TKrDomain, TKrDomain)
KRSTD_KR_BOOL_DECL(TKrDomain, TKrPlanarSet)
KRSTD_KR_BOOL_DECL(TKrPlanarSet, TKrContour)
KRSTD_KR_BOOL_DECL(TKrPlanarSet, TKrDomain)
KRSTD_KR_BOOL_DECL(TKrPlanarSet, TKrPlanarSet)
#undef KRSTD_KR_BOOL_DECL

/// True when the point lies inside the region (even-odd over all its contours) or within the
/// precision of its boundary. O(n).
KRSTD_API bool contains(const vec3d& point, const TKrContour& region, double precision);
KRSTD_API bool contains(const vec3d& point, const TKrDomain& region, double precision);
KRSTD_API bool contains(const vec3d& point, const TKrPlanarSet& region, double precision);

/// Area enclosed by the contour, whatever its orientation. O(n).
KRSTD_API double area(const TKrContour& c);

/// True when the regions of two closed contours share a point, boundaries closer than the
/// precision counting as touching. O(n·m) in the worst case, O(n + m) for disjoint bounds.
KRSTD_API bool intersects(const TKrContour& a, const TKrContour& b, double precision);

} // namespace _kr
