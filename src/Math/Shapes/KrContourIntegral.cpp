// Integrals along a figure's edges with a caller-supplied integrand.
#include "Math/Shapes/KrContourIntegral.h"

#include "Math/Shapes/KrContourSteps.h"

namespace ContourIntegral {

TCoreFunc::~TCoreFunc() = default;

void Integral_r2_dphi(TCoreFunc& fn, const TKrFigure& f) {
    const double size = FigureSize(f);
    if (f.size() < 2 || size == 0) return;
    Detail::ForEachEdgeSample(f, size,
                              [&](const vec2d& q, const vec2d& d, double w) { fn.Add(q, cross(q, d) * w); });
}

void Integral_dl(TCoreFunc& fn, const TKrFigure& f) {
    const double size = FigureSize(f);
    if (f.size() < 2 || size == 0) return;
    Detail::ForEachEdgeSample(f, size,
                              [&](const vec2d& q, const vec2d& d, double w) { fn.Add(q, norm(d) * w); });
}

} // namespace ContourIntegral
