// clipper: conversions of plane regions to and from the Clipper library's 64-bit paths and trees.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <polyclipping/clipper.hpp>

namespace clipper {

/// To Clipper: IntPoint(nearest(x·sx + ox), nearest(y·sy + oy)), halves away from zero, z
/// dropped; `out` is replaced. A domain or planar set gives all its contours in order. Throws a
/// TKrMessage for a vertex that is not finite or does not fit 64 bits. O(n).
KRSTD_API void convert(const TKrContour& c, ClipperLib::Path& out, const vec2d& scale, const vec2d& offset);
KRSTD_API void convert(const TKrDomain& d, ClipperLib::Paths& out, const vec2d& scale, const vec2d& offset);
KRSTD_API void convert(const TKrPlanarSet& s, ClipperLib::Paths& out, const vec2d& scale,
                       const vec2d& offset);
/// From Clipper: (X·sx + ox, Y·sy + oy, 0). O(n).
KRSTD_API void convert_rev(const ClipperLib::Path& p, TKrContour& out, const vec2d& scale,
                           const vec2d& offset);
/// The result tree as domains: every node that is not a hole, found depth-first (islands inside
/// holes included), gives a domain of its contour followed by its hole children's contours.
KRSTD_API void _convert(const ClipperLib::PolyTree& tree, TKrPlanarSet& out, const vec2d& scale,
                        const vec2d& offset);

/// The integer model, copied one to one (32 to 64 bits and back, without scaling).
KRSTD_API void convert(const kr::TContour2<int>& c, ClipperLib::Paths& out);
KRSTD_API void convert(const kr::TDomain2<int>& d, ClipperLib::Paths& out);
KRSTD_API void convert(const kr::TPlanarSet2<int>& s, ClipperLib::Paths& out);
KRSTD_API void convert_rev(const ClipperLib::Path& p, kr::TContour2<int>& out);
KRSTD_API void _convert(const ClipperLib::PolyTree& tree, kr::TPlanarSet2<int>& out);

} // namespace clipper
