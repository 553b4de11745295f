// Integrals along a figure's edges with a caller-supplied integrand.
#pragma once

#include "Core/KrExport.h"
#include "Math/Shapes/KrFigure.h"

namespace ContourIntegral {

/// The integrand: receives each sample point q with its integration element (r²·dφ, dl or
/// r·dφ, depending on the integral) and accumulates whatever it needs.
class KRSTD_API TCoreFunc {
public:
    virtual ~TCoreFunc();
    virtual void Add(const vec2d& q, double element) = 0;
};

/// Walks the figure's edges (consecutive point pairs; repeat the first point to close it) in
/// steps of a thousandth of FigureSize and hands each sample the element q × dq = r²·dφ.
/// The elements of a closed figure sum to twice its signed area. Nothing is called for fewer
/// than two points or a figure of size 0. O(perimeter / size · 1000) calls.
KRSTD_API void Integral_r2_dphi(TCoreFunc& fn, const TKrFigure& f);

/// The same walk with the element dl = |dq|; the elements sum to the length of the path.
KRSTD_API void Integral_dl(TCoreFunc& fn, const TKrFigure& f);

} // namespace ContourIntegral
