// Plain lines and planes: squared distances, nearest points and crossings.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrVec.h"

/// A line in the plane through p along d.
struct line2d {
    vec2d p, d;
};
/// The line in the plane on which coordinate `axis` (0 = x, 1 = y, stored as a double) equals `value`.
struct specline2d {
    double axis, value;
};
/// A line in space through p along d.
struct line3d {
    vec3d p, d;
};
/// The plane n·x + d = 0.
struct plane3d {
    vec3d n;
    double d;
};
/// The plane on which coordinate `axis` (0, 1, 2, stored as a double) equals `value`.
struct specplane3d {
    double axis, value;
};

// The N forms take a direction or normal of unit length and skip the division by its squared
// length. An axis outside the vector's range throws std::invalid_argument from vec_t_'s indexing.

/// Squared distance between two points.
KRSTD_API double DistanceSqr(const vec2d& a, const vec2d& b);
KRSTD_API double DistanceSqr(const vec3d& a, const vec3d& b);

/// Squared distance from p to the line: (d × (p − p0))² / |d|². A line whose |d|² ≤ 1e-16 is
/// taken as its point p0.
KRSTD_API double DistanceSqr(const line2d& l, const vec2d& p);
KRSTD_API double DistanceSqrN(const line2d& l, const vec2d& p);
/// Foot of p on the line; false (out untouched) when |d|² ≤ 1e-16.
KRSTD_API bool GetLineNearest(const line2d& l, const vec2d& p, vec2d& out);
KRSTD_API bool GetLineNearestN(const line2d& l, const vec2d& p, vec2d& out);

/// Squared distance from p to the line in space, never below 0; a line whose |d|² ≤ 1e-16 is
/// taken as its point p0.
KRSTD_API double DistanceSqr(const line3d& l, const vec3d& p);
KRSTD_API double DistanceSqrN(const line3d& l, const vec3d& p);
/// Foot of p on the line; false (out untouched) when |d|² ≤ 1e-16.
KRSTD_API bool GetLineNearest(const line3d& l, const vec3d& p, vec3d& out);
KRSTD_API bool GetLineNearestN(const line3d& l, const vec3d& p, vec3d& out);

/// Squared distance from p to the plane, (n·p + d)² / |n|²; the largest double when |n|² < 1e-16.
KRSTD_API double DistanceSqr(const plane3d& pl, const vec3d& p);
KRSTD_API double DistanceSqrN(const plane3d& pl, const vec3d& p);
/// Foot of p on the plane; false (out untouched) when |n|² < 1e-16.
KRSTD_API bool GetPlaneNearest(const plane3d& pl, const vec3d& p, vec3d& out);
KRSTD_API bool GetPlaneNearestN(const plane3d& pl, const vec3d& p, vec3d& out);

/// (p[axis] − value)².
KRSTD_API double DistanceSqr(const specline2d& l, const vec2d& p);
KRSTD_API double DistanceSqr(const specplane3d& pl, const vec3d& p);
/// p with its axis coordinate replaced by the value; always true.
KRSTD_API bool GetSpecLineNearest(const specline2d& l, const vec2d& p, vec2d& out);
KRSTD_API bool GetSpecPlaneNearest(const specplane3d& pl, const vec3d& p, vec3d& out);

/// Crossing of two lines in the plane: 1 and the point when |a.d × b.d| > 1e-8; otherwise 0 when
/// they are parallel and apart (|a.d × (b.p − a.p)| > 1e-8), else 2 (one line) with out = a.p.
KRSTD_API int LineCrossLine(const line2d& a, const line2d& b, vec2d& out);
KRSTD_API int LineCrossLine(const vec2d& p1, const vec2d& d1, const vec2d& p2, const vec2d& d2, vec2d& out);

/// The midpoint of the two mutually closest points of two lines in space; false (out untouched)
/// when |a.d × b.d|² ≤ 1e-16.
KRSTD_API bool GetIntersection(const line3d& a, const line3d& b, vec3d& out);
