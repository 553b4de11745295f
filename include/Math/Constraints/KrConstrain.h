// TConstrain: a point, line or plane that a placed point must satisfy, and crossings of two.
#pragma once

#include "Core/KrExport.h"
#include "Math/Constraints/KrLinePrimitives.h"

#include <cstdint>

/// A constraint: a kind code and six doubles of payload laid out by kind. Directions and normals
/// are unit vectors; axis indices are stored as doubles.
struct TConstrain {
    enum : std::int32_t {
        None = 0,        ///< no common part; payload not read
        Point2D = 1,     ///< x, y
        Line2D = 2,      ///< point x, y; direction dx, dy
        SpecLine2D = 3,  ///< axis index, value
        Point3D = 4,     ///< x, y, z
        Line3D = 5,      ///< point x, y, z; direction dx, dy, dz
        Plane3D = 6,     ///< a, b, c, d of a·x + b·y + c·z + d = 0
        SpecPlane3D = 7, ///< axis index, value
    };
    std::int32_t kind = None;
    double v[6] = {0, 0, 0, 0, 0, 0};
};

/// Intersection of two constraints with tolerance `tol` into `out` (kind 0 when they share
/// nothing). False, out untouched, for an unknown or empty kind or constraints of different
/// dimensions; the plane-line and plane-plane rules also give false for parallel, apart pairs.
/// The pair goes to the rule below named after it, the higher kind first.
KRSTD_API bool Cross(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out);

// One rule per pair of kinds (a is the first-named kind). Each sets out and returns true unless
// its documentation says otherwise.
KRSTD_API bool ConstrainCrossPointPoint2D(const TConstrain& a, const TConstrain& b, double tol,
                                          TConstrain* out);
KRSTD_API bool ConstrainCrossLinePoint2D(const TConstrain& a, const TConstrain& b, double tol,
                                         TConstrain* out);
KRSTD_API bool ConstrainCrossLineLine2D(const TConstrain& a, const TConstrain& b, double tol,
                                        TConstrain* out);
KRSTD_API bool ConstrainCrossSpecLinePoint2D(const TConstrain& a, const TConstrain& b, double tol,
                                             TConstrain* out);
KRSTD_API bool ConstrainCrossSpecLineLine2D(const TConstrain& a, const TConstrain& b, double tol,
                                            TConstrain* out);
KRSTD_API bool ConstrainCrossSpecLineSpecLine2D(const TConstrain& a, const TConstrain& b, double tol,
                                                TConstrain* out);
KRSTD_API bool ConstrainCrossPointPoint3D(const TConstrain& a, const TConstrain& b, double tol,
                                          TConstrain* out);
KRSTD_API bool ConstrainCrossLinePoint3D(const TConstrain& a, const TConstrain& b, double tol,
                                         TConstrain* out);
/// Skew lines closer than tol cross at the point of b nearest to a; parallel lines within tol
/// give line a.
KRSTD_API bool ConstrainCrossLineLine3D(const TConstrain& a, const TConstrain& b, double tol,
                                        TConstrain* out);
KRSTD_API bool ConstrainCrossPlanePoint3D(const TConstrain& a, const TConstrain& b, double tol,
                                          TConstrain* out);
/// False (out kind 0) for a line parallel to the plane and at least tol from it.
KRSTD_API bool ConstrainCrossPlaneLine3D(const TConstrain& a, const TConstrain& b, double tol,
                                         TConstrain* out);
/// False (out kind 0) for parallel planes apart; the crossing line otherwise.
KRSTD_API bool ConstrainCrossPlanePlane3D(const TConstrain& a, const TConstrain& b, double tol,
                                          TConstrain* out);
KRSTD_API bool ConstrainCrossSpecPlanePoint3D(const TConstrain& a, const TConstrain& b, double tol,
                                              TConstrain* out);
KRSTD_API bool ConstrainCrossSpecPlaneLine3D(const TConstrain& a, const TConstrain& b, double tol,
                                             TConstrain* out);
KRSTD_API bool ConstrainCrossSpecPlanePlane3D(const TConstrain& a, const TConstrain& b, double tol,
                                              TConstrain* out);
KRSTD_API bool ConstrainCrossSpecPlaneSpecPlane3D(const TConstrain& a, const TConstrain& b, double tol,
                                                  TConstrain* out);

/// The axis-parallel plane s (kind 7) as a kind-6 plane: the axis's unit normal, d = −value.
KRSTD_API void ConstrainSpecPlaneToPlane3D(const TConstrain& s, TConstrain* out);

/// Squared distance from p to a plane constraint (kinds 1-3) or a space constraint (kinds 4-7);
/// the largest double for a kind of the other dimension or kind 0.
KRSTD_API double DistanceSqr(const TConstrain& c, const vec2d& p);
KRSTD_API double DistanceSqr(const TConstrain& c, const vec3d& p);

/// The point of the constraint nearest to p; false (out untouched) for a kind of the other
/// dimension or kind 0.
KRSTD_API bool GetNearest(const TConstrain& c, const vec2d& p, vec2d& out);
KRSTD_API bool GetNearest(const TConstrain& c, const vec3d& p, vec3d& out);
