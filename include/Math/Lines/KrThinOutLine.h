// Polyline thinning within a tolerance corridor and densifying to a maximum step.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <vector>

// A line is a vector of vertices; `closed` makes it a ring whose last vertex connects back to the
// first (the first vertex is not repeated). The plane forms compare x and y; z travels with its
// vertex. A vertex whose z is the largest double is a removal mark and never survives.

/// Drops every vertex within `tol` (in x and in y) of the previous kept vertex; a closed line also
/// compares vertex 0 with the last kept vertex. An open line keeps its last vertex. A closed line
/// whose vertices all coincide shrinks to its first vertex. Lines under 3 vertices stay. O(n).
/// Always returns true.
KRSTD_API bool RemoveLineCoincidedVertices(std::vector<vec3d>& line, unsigned closed, double tol);

/// RemoveLineCoincidedVertices with z compared as well.
KRSTD_API bool RemoveLineCoincidedVertices3d(std::vector<vec3d>& line, unsigned closed, double tol);

/// Drops every point that lies within `tol` (in x and in y) of an earlier kept point, wherever it
/// is in the array; the kept points stay in order. For unordered point sets, unlike the line form
/// which compares neighbours only. O(n log n) for spread points, O(n²) when all share one x.
/// Returns the number of points removed.
KRSTD_API std::size_t RemoveArrayCoincidedVertices(std::vector<vec3d>& points, double tol);

/// Thins the line in place: coincident vertices, then runs of nearly collinear vertices, then every
/// vertex within `tol` of a chord that spans it. Vertex 0 always stays, and so does the last
/// vertex of an open line. Worst case O(n²) for long straight runs. Returns false (line untouched)
/// when tol is negative or not a number, true otherwise.
KRSTD_API bool ThinOutLine(std::vector<vec3d>& line, unsigned closed, double tol);

/// ThinOutLine without the collinear pass and with a corridor of tolLeft on the left of each chord
/// and tolRight on its right (looking along the chord). Coincident vertices use
/// max(1e-6, min(tolLeft, tolRight)). Returns false (line untouched) on a negative or NaN tolerance.
KRSTD_API bool ThinOutLineE(std::vector<vec3d>& line, unsigned closed, double tolLeft, double tolRight);

/// Thinning in space: vertices within `tol` of their kept neighbour (in x, y and z) go first, then
/// the corridor pass with the true 3D distance from each chord. The input stays unchanged;
/// `keptIndices` (if given) receives the indices of the kept vertices in order and `out` (if
/// given) the kept vertices. Returns false (outputs untouched) on a negative or NaN tolerance.
KRSTD_API bool ThinOutLine3d(const std::vector<vec3d>& line, unsigned closed, double tol,
                             std::vector<std::size_t>* keptIndices, std::vector<vec3d>* out);

/// Inserts evenly spaced vertices (z interpolated) so that no piece, measured in x and y, is
/// longer than `step`; a closed line also splits its closing piece. Lines under 2 vertices stay.
/// Throws std::invalid_argument when step is not a positive finite number and std::length_error
/// when the result would exceed 2^30 vertices. O(result size).
KRSTD_API void ThickenLine(std::vector<vec3d>& line, bool closed, double step);
