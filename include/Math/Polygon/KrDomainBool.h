// The domain toolkit's Boolean core: union, intersection and difference of contours, domains and planar sets.
#pragma once

#include "Core/KrExport.h"
#include "Math/Polygon/KrPolygonTypes.h"

// Each routine combines a and b into `out` (replaced) and returns true; Clipper refusing its
// input returns false. Vertices are snapped to the grid of step `tolerance` (nearest point,
// halves away from zero), so features closer than the tolerance merge and the result is exact on
// that grid. `mode` says how overlapping contours of one operand are read: 1 even-odd (a
// contour inside another is a hole), 2 non-zero winding (each contour adds its orientation).
// A mode other than 1 or 2, a tolerance that is not positive, or a vertex that is not finite or
// does not fit the 64-bit grid throws a TKrMessage. Results have counter-clockwise outer contours
// and clockwise holes, z = 0. Cost O((n + k) log n) for n vertices and k crossings.

KRSTD_API bool JoinDomains(const TKrContour& a, const TKrContour& b, TKrPlanarSet& out, int mode,
                           double tolerance);
KRSTD_API bool JoinDomainsMC(const TKrDomain& a, const TKrDomain& b, TKrPlanarSet& out, int mode,
                             double tolerance);
KRSTD_API bool JoinDomainsPS(const TKrPlanarSet& a, const TKrPlanarSet& b, TKrPlanarSet& out, int mode,
                             double tolerance);
KRSTD_API bool IntersectDomains(const TKrContour& a, const TKrContour& b, TKrPlanarSet& out, int mode,
                                double tolerance);
KRSTD_API bool IntersectDomainsMC(const TKrDomain& a, const TKrDomain& b, TKrPlanarSet& out, int mode,
                                  double tolerance);
KRSTD_API bool IntersectDomainsPS(const TKrPlanarSet& a, const TKrPlanarSet& b, TKrPlanarSet& out, int mode,
                                  double tolerance);
KRSTD_API bool SubtractDomains(const TKrContour& a, const TKrContour& b, TKrPlanarSet& out, int mode,
                               double tolerance);
KRSTD_API bool SubtractDomainsMC(const TKrDomain& a, const TKrDomain& b, TKrPlanarSet& out, int mode,
                                 double tolerance);
KRSTD_API bool SubtractDomainsPS(const TKrPlanarSet& a, const TKrPlanarSet& b, TKrPlanarSet& out, int mode,
                                 double tolerance);

/// Area enclosed by a closed contour, whatever its orientation (shoelace formula; 0 below three
/// vertices). O(n).
KRSTD_API double GetContourArea(const TKrContour& c);
/// Area of a domain (outer minus holes) and of a planar set (sum of its domains), assuming valid
/// regions. O(n).
KRSTD_API double GetDomainArea(const TKrDomain& d);
KRSTD_API double GetPlanarSetArea(const TKrPlanarSet& s);
