// TKrCubeSpline: a plane curve through control points, natural cubic pieces between break points.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrVec.h"

#include <cstdint>
#include <vector>

/// How the curve treats a control point. Any value other than 1 is a break point: the curve
/// passes through it, but slope and curvature are not carried across it.
enum CUBESPLINE_POINT_TYPE : std::int32_t {
    CUBESPLINE_POINT_SMOOTH = 1, ///< the curve is smooth across the point
    CUBESPLINE_POINT_BREAK = 2,  ///< the canonical break point (every value but 1 acts alike)
};

/// A control point as callers hand it in and get it back: its type and position (x, y).
struct CUBESPLINE_POINT {
    CUBESPLINE_POINT_TYPE type;
    vec_t_<double, 2> pt;
};

/// A stored control point with the polynomial y = a0 + a1·x + a2·x² + a3·x³ (absolute x) that
/// holds from this point to the next. The last point's coefficients are never computed or read.
struct TKRCUBESPLINEPOINT {
    CUBESPLINE_POINT_TYPE type = CUBESPLINE_POINT_SMOOTH;
    double x = 0;
    double y = 0;
    double a0 = 0, a1 = 0, a2 = 0, a3 = 0;
};

/// Working record of one run's calculation, one per point of the run: node value, slope, half
/// second derivative, cubic coefficient, interval, divided difference, and the elimination
/// factor and right side of the tridiagonal solve.
struct EVALCUBESPLINE {
    double y, b, c, d, h, delta, P, Q;
};

/// The curve: points split into runs at break points, each run a natural cubic spline (a line
/// when it has two points). A plain value; one thread at a time.
class KRSTD_API TKrCubeSpline {
public:
    TKrCubeSpline() = default;
    /// Copies the points with their coefficients.
    TKrCubeSpline(const TKrCubeSpline&) = default;
    TKrCubeSpline& operator=(const TKrCubeSpline&) = default;

    /// Replaces the points by `points`. Refuses (false, nothing changed) unless every x is
    /// greater than the one before it and every coordinate is finite. Points already present
    /// keep their coefficients until the next Recalc, which `recalc` runs at once. O(n).
    bool SetPoints(const std::vector<CUBESPLINE_POINT>& points, bool recalc);
    /// `out` becomes the points' types and positions.
    void GetPoints(std::vector<CUBESPLINE_POINT>& out) const;

    /// Inserts before the first point whose x is greater than pt.x (so after points of equal
    /// x); returns the new point's index. Throws TKrMessage for a non-finite position.
    long InsertPoint(CUBESPLINE_POINT_TYPE type, const vec_t_<double, 2>& pt, bool recalc);
    /// Inserts before point `index` (a negative index counts as 0, one at or past the end
    /// appends) with zero coefficients; returns the new point's index. The x order is the
    /// caller's to keep. Throws TKrMessage for a non-finite position.
    long InsertPoint(long index, CUBESPLINE_POINT_TYPE type, const vec_t_<double, 2>& pt, bool recalc);
    /// Removes point `index`; an index at or past the end changes nothing.
    void DeletePoint(unsigned long index, bool recalc);

    /// Recomputes every run's polynomials; nothing to do below two points. Returns true, or
    /// false without changing anything when the x values are not strictly increasing (as
    /// InsertPoint may leave them), since such a curve has no polynomials. O(n).
    bool Recalc();
    /// Computes the polynomials of the run of `count` points starting at `first` (its last
    /// point's coefficients stay as they are). False, nothing changed, when the run reaches
    /// past the points or its x values are not strictly increasing.
    bool RecalcPart(unsigned long first, unsigned long count);

    /// The stored points with their coefficients.
    const std::vector<TKRCUBESPLINEPOINT>& Points() const noexcept { return m_points; }

protected:
    std::vector<TKRCUBESPLINEPOINT> m_points;
};
