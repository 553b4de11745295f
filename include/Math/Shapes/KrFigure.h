// Plane figures as point vectors: moving, turning, scaling, reversing, size, area and centroid.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrVec.h"

#include <vector>

// A figure is a vector of plane points. A closed figure repeats its first point at the end for
// the contour integrals, which run over consecutive pairs only; the area and centroid close the
// figure themselves from the last point back to the first, so the repeat does no harm there.
using TKrFigure = std::vector<vec2d>;

/// Adds d to every point. O(n).
KRSTD_API void MoveFigure(TKrFigure& f, const vec2d& d);

/// Turns every point by angle a (radians, counter-clockwise) about the origin. O(n).
KRSTD_API void RotateFigure(TKrFigure& f, double a);

/// Multiplies both coordinates of every point by k. O(n).
KRSTD_API void ScaleFigure(TKrFigure& f, double k);

/// Reverses the order of the points (the direction of travel). O(n).
KRSTD_API void RevertFigure(TKrFigure& f);

/// The larger of the bounding box's width and height; 0 for no points. O(n).
KRSTD_API double FigureSize(const TKrFigure& f);

/// Signed area, positive for counter-clockwise travel; 0 for fewer than three points. O(n).
KRSTD_API double CalcSignedFigureArea(const TKrFigure& f);

/// Direction of travel: +1 counter-clockwise, -1 clockwise, 0 when the figure encloses no area
/// (fewer than three points, or all on one line). O(n).
KRSTD_API int FigureOrient(const TKrFigure& f);

/// Centroid of the area the figure encloses; the signed area goes to *area when area is not
/// null. A figure without area (|2·area| below 1e-30) has its last point as centroid, and *area
/// then receives the unhalved sum (0 or a tiny value). No points give (0, 0) and area 0. O(n).
KRSTD_API vec2d CalcFigureCenter(const TKrFigure& f, double* area = nullptr);

/// Moves the figure so that its centroid lies at the origin. O(n).
KRSTD_API void CenterFigure(TKrFigure& f);
