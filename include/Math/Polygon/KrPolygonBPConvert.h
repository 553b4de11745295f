// bp: the Boost.Polygon models of plane regions and the conversions to and from the grid.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <boost/polygon/polygon.hpp>

#include <vector>

namespace bp {

using TPoint = boost::polygon::point_data<int>;
using TPolygon = boost::polygon::polygon_data<int>;
using TPolygonWithHoles = boost::polygon::polygon_with_holes_data<int>;
using TPolygonSet = boost::polygon::polygon_set_data<int>;

/// To the grid of step `precision`: (nearest(x / precision), nearest(y / precision)), halves away
/// from zero; z is dropped. Throws a TKrMessage for a non-finite vertex, one beyond the 32-bit
/// grid, or a precision that is not positive. A domain's contour 0 is the outer boundary. O(n).
KRSTD_API void convert(const TKrContour& c, TPolygon& out, double precision);
KRSTD_API void convert(const TKrContour& c, TPolygonWithHoles& out, double precision);
KRSTD_API void convert(const TKrDomain& d, TPolygonWithHoles& out, double precision);
KRSTD_API void convert(const TKrPlanarSet& s, std::vector<TPolygonWithHoles>& out, double precision);
/// The integer model, one to one.
KRSTD_API void convert(const kr::TContour2<int>& c, TPolygonWithHoles& out);
KRSTD_API void convert(const kr::TDomain2<int>& d, TPolygonWithHoles& out);
KRSTD_API void convert(const kr::TPlanarSet2<int>& s, std::vector<TPolygonWithHoles>& out);

/// From the grid: x = X·precision, y = Y·precision, z = 0; the outer contour first, then the
/// holes; a closing vertex equal to the first is dropped. O(n).
KRSTD_API void convert(const TPolygon& p, TKrContour& out, double precision);
KRSTD_API void convert(const TPolygonWithHoles& p, TKrDomain& out, double precision);
KRSTD_API void convert(const std::vector<TPolygonWithHoles>& v, TKrPlanarSet& out, double precision);
KRSTD_API void convert(const TPolygonWithHoles& p, kr::TDomain2<int>& out);
KRSTD_API void convert(const std::vector<TPolygonWithHoles>& v, kr::TPlanarSet2<int>& out);

} // namespace bp
