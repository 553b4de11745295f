// bp: Boolean operations of plane regions on a 32-bit integer grid over Boost.Polygon.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

/// The Boost.Polygon back end. Double-model operands are put on the grid of step `precision`
/// (a vertex becomes the nearest grid point, halves away from zero) and results come back as
/// X·precision, Y·precision, z = 0, each domain's outer contour first. Integer-model operands are
/// used as they are. The operations always succeed; a vertex that is not finite or lies beyond
/// the 32-bit grid, or a precision that is not positive, throws a TKrMessage instead of wrapping.
/// Cost O((n + k) log n) for n vertices and k crossings.
namespace bp {

#define KRSTD_BP_BOOL_DECL(A, B, OUT, ...)                                                                   \
    KRSTD_API bool union_(const A& a, const B& b, OUT& out __VA_ARGS__);                                     \
    KRSTD_API bool intersection(const A& a, const B& b, OUT& out __VA_ARGS__);                               \
    KRSTD_API bool difference(const A& a, const B& b, OUT& out __VA_ARGS__);                                 \
    KRSTD_API bool xor_(const A& a, const B& b, OUT& out __VA_ARGS__);
#define KRSTD_BP_BOOL_DECL_D(A, B) KRSTD_BP_BOOL_DECL(A, B, TKrPlanarSet, , double precision)
#define KRSTD_BP_BOOL_DECL_I(A, B) KRSTD_BP_BOOL_DECL(kr::A<int>, kr::B<int>, kr::TPlanarSet2<int>, )
KRSTD_BP_BOOL_DECL_D(TKrContour, TKrContour)
KRSTD_BP_BOOL_DECL_D(TKrContour, TKrDomain)
KRSTD_BP_BOOL_DECL_D(TKrContour, TKrPlanarSet)
KRSTD_BP_BOOL_DECL_D(TKrDomain, TKrContour)
KRSTD_BP_BOOL_DECL_D(TKrDomain, TKrDomain)
KRSTD_BP_BOOL_DECL_D(TKrDomain, TKrPlanarSet)
KRSTD_BP_BOOL_DECL_D(TKrPlanarSet, TKrContour)
KRSTD_BP_BOOL_DECL_D(TKrPlanarSet, TKrDomain)
KRSTD_BP_BOOL_DECL_D(TKrPlanarSet, TKrPlanarSet)
KRSTD_BP_BOOL_DECL_I(TContour2, TContour2)
KRSTD_BP_BOOL_DECL_I(TContour2, TDomain2)
KRSTD_BP_BOOL_DECL_I(TContour2, TPlanarSet2)
KRSTD_BP_BOOL_DECL_I(TDomain2, TContour2)
KRSTD_BP_BOOL_DECL_I(TDomain2, TDomain2)
KRSTD_BP_BOOL_DECL_I(TDomain2, TPlanarSet2)
KRSTD_BP_BOOL_DECL_I(TPlanarSet2, TContour2)
KRSTD_BP_BOOL_DECL_I(TPlanarSet2, TDomain2)
KRSTD_BP_BOOL_DECL_I(TPlanarSet2, TPlanarSet2)
#undef KRSTD_BP_BOOL_DECL_I
#undef KRSTD_BP_BOOL_DECL_D
#undef KRSTD_BP_BOOL_DECL

} // namespace bp
