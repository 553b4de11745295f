// clipper: Boolean operations of plane regions on a 64-bit integer grid over the Clipper library.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

/// The Clipper back end. Double-model operands are put on the grid of step `precision` (nearest
/// grid point, halves away from zero) and results come back as X·precision, Y·precision, z = 0;
/// integer-model operands are copied one to one. Operand a is the subject and b the clip, both
/// closed and read with the even-odd rule; every node of the result tree that is not a hole
/// becomes a domain with its hole children. Exclusive or is a − b followed by b − a, the domains
/// of both results in that order and not merged. Returns false when Clipper refuses an operand
/// (for example one without any contour of three vertices, or one beyond Clipper's coordinate
/// range) or the execution; the output is then unspecified. A vertex that is not finite or does
/// not fit the 64-bit grid, or a precision that is not positive, throws a TKrMessage.
/// Cost O((n + k) log n) for n vertices and k crossings.
namespace clipper {

#define KRSTD_CLIPPER_BOOL_DECL(A, B, OUT, ...)                                                              \
    KRSTD_API bool union_(const A& a, const B& b, OUT& out __VA_ARGS__);                                     \
    KRSTD_API bool intersection(const A& a, const B& b, OUT& out __VA_ARGS__);                               \
    KRSTD_API bool difference(const A& a, const B& b, OUT& out __VA_ARGS__);                                 \
    KRSTD_API bool xor_(const A& a, const B& b, OUT& out __VA_ARGS__);
#define KRSTD_CLIPPER_BOOL_DECL_D(A, B) KRSTD_CLIPPER_BOOL_DECL(A, B, TKrPlanarSet, , double precision)
#define KRSTD_CLIPPER_BOOL_DECL_I(A, B)                                                                      \
    KRSTD_CLIPPER_BOOL_DECL(kr::A<int>, kr::B<int>, kr::TPlanarSet2<int>, )
KRSTD_CLIPPER_BOOL_DECL_D(TKrContour, TKrContour)
KRSTD_CLIPPER_BOOL_DECL_D(TKrContour, TKrDomain)
KRSTD_CLIPPER_BOOL_DECL_D(TKrContour, TKrPlanarSet)
KRSTD_CLIPPER_BOOL_DECL_D(TKrDomain, TKrContour)
KRSTD_CLIPPER_BOOL_DECL_D(TKrDomain, TKrDomain)
KRSTD_CLIPPER_BOOL_DECL_D(TKrDomain, TKrPlanarSet)
KRSTD_CLIPPER_BOOL_DECL_D(TKrPlanarSet, TKrContour)
KRSTD_CLIPPER_BOOL_DECL_D(TKrPlanarSet, TKrDomain)
KRSTD_CLIPPER_BOOL_DECL_D(TKrPlanarSet, TKrPlanarSet)
KRSTD_CLIPPER_BOOL_DECL_I(TContour2, TContour2)
KRSTD_CLIPPER_BOOL_DECL_I(TContour2, TDomain2)
KRSTD_CLIPPER_BOOL_DECL_I(TContour2, TPlanarSet2)
KRSTD_CLIPPER_BOOL_DECL_I(TDomain2, TContour2)
KRSTD_CLIPPER_BOOL_DECL_I(TDomain2, TDomain2)
KRSTD_CLIPPER_BOOL_DECL_I(TDomain2, TPlanarSet2)
KRSTD_CLIPPER_BOOL_DECL_I(TPlanarSet2, TContour2)
KRSTD_CLIPPER_BOOL_DECL_I(TPlanarSet2, TDomain2)
KRSTD_CLIPPER_BOOL_DECL_I(TPlanarSet2, TPlanarSet2)
#undef KRSTD_CLIPPER_BOOL_DECL_I
#undef KRSTD_CLIPPER_BOOL_DECL_D
#undef KRSTD_CLIPPER_BOOL_DECL

} // namespace clipper
