// bg: the Boost.Geometry models of plane regions and the conversions to and from them.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <boost/geometry/geometries/linestring.hpp>
#include <boost/geometry/geometries/multi_polygon.hpp>
#include <boost/geometry/geometries/point_xy.hpp>
#include <boost/geometry/geometries/polygon.hpp>
#include <boost/geometry/geometries/ring.hpp>

namespace bg {

/// 2D double points; rings counter-clockwise (holes clockwise) and closed, as the facade feeds
/// Boost.Geometry.
using TPoint = boost::geometry::model::d2::point_xy<double>;
using TRing = boost::geometry::model::ring<TPoint, false, true>;
using TPolygon = boost::geometry::model::polygon<TPoint, false, true>;
using TMultiPolygon = boost::geometry::model::multi_polygon<TPolygon>;
using TLineString = boost::geometry::model::linestring<TPoint>;

/// To Boost.Geometry: x and y copied unchanged (a vertex repeating its predecessor is left out),
/// a domain's contour 0 the outer ring and the others inner rings; the result is then corrected
/// (orientation, closing point). Non-finite coordinates throw a TKrMessage. O(n).
KRSTD_API void convert(const TKrContour& c, TRing& out);
KRSTD_API void convert(const TKrContour& c, TPolygon& out);
KRSTD_API void convert(const TKrDomain& d, TPolygon& out);
KRSTD_API void convert(const TKrPlanarSet& s, TMultiPolygon& out);
/// The contour with its vertices in reverse order, then corrected.
KRSTD_API void convert_rev(const TKrContour& c, TRing& out);
/// The same without the correction when `correct` is false (for input known to be valid).
KRSTD_API void _convert(const TKrContour& c, TRing& out, bool correct);
KRSTD_API void _convert(const TKrContour& c, TPolygon& out, bool correct);
KRSTD_API void _convert(const TKrDomain& d, TPolygon& out, bool correct);
KRSTD_API void _convert(const TKrPlanarSet& s, TMultiPolygon& out, bool correct);

/// From Boost.Geometry: each ring a contour without a closing point equal to its first point
/// (exactly, in x and y); z = 0. O(n).
KRSTD_API void convert(const TRing& r, TKrContour& out);
KRSTD_API void convert(const TPolygon& p, TKrDomain& out);
KRSTD_API void convert(const TMultiPolygon& m, TKrPlanarSet& out);

} // namespace bg
