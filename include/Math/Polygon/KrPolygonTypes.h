// The planar region model shared by the polygon graph and every Boolean back end.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrLimits.h"
#include "Math/KrVec.h"

#include <vector>

/// A closed ring or an open polyline of 3D points; the closing vertex is not repeated. Polygon
/// operations read x and y only and write z = 0.
using TKrContour = std::vector<vec3d>;

/// A region with holes: element 0 is the outer boundary, elements 1... are holes.
using TKrDomain = std::vector<TKrContour>;

/// A region made of several domains.
using TKrPlanarSet = std::vector<TKrDomain>;

/// Axis-aligned bounds of plane regions.
using TKrLimits2d = limits_t_<double, 2>;

/// Bounds of the x and y of every vertex; empty for an empty region.
KRSTD_API TKrLimits2d GetLimits(const TKrContour& c);
KRSTD_API TKrLimits2d GetLimits(const TKrDomain& d);
KRSTD_API TKrLimits2d GetLimits(const TKrPlanarSet& s);

/// Signed area: positive for a counter-clockwise contour in a y-up frame, 0 below three
/// vertices. O(n).
KRSTD_API double GetContourSignedArea(const TKrContour& c);

namespace kr {

/// A point of the integer model: two 32-bit signed grid coordinates for the back ends that
/// work on a grid.
template <class T> using TPoint2 = vec_t_<T, 2>;

/// Integer-model contour, domain (outer first) and planar set; only the grid back ends take them.
template <class T> using TContour2 = std::vector<TPoint2<T>>;
template <class T> using TDomain2 = std::vector<TContour2<T>>;
template <class T> using TPlanarSet2 = std::vector<TDomain2<T>>;

/// How the polygon graph repairs its input: 1 or 2; 2 is the default of the aligning back end.
enum CORRECT_MODE { CORRECT_MODE_1 = 1, CORRECT_MODE_2 = 2 };

} // namespace kr
