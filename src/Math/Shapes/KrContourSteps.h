// The edge sampling shared by the contour integrals: steps of a thousandth of the figure's size.
#pragma once

#include "Math/Shapes/KrFigure.h"

#include <cmath>
#include <cstddef>

namespace ContourIntegral {
namespace Detail {

/// Calls fn(q, d, weight) for every sample q = p_i + t·d of every edge p_i → p_(i+1), where
/// `weight` is the share of the edge the sample stands for (so weight·d is the element dq).
/// An edge longer than a thousandth of `size` gets steps of that length and a last, shorter
/// step; a shorter edge one sample at its start point with weight 1. A template so that the
/// Fourier sums inline their work into the loop.
template <class Fn> void ForEachEdgeSample(const TKrFigure& f, double size, Fn&& fn) {
    const double step = 0.001 * size;
    for (std::size_t i = 0; i + 1 < f.size(); ++i) {
        const vec2d p = f[i];
        const vec2d d = f[i + 1] - p;
        const double len = norm(d);
        if (!(len > step)) {
            fn(p, d, 1.0);
            continue;
        }
        const double dt = step / len;
        // t = m·dt rather than a running sum, so long edges do not drift.
        double t = 0;
        std::size_t m = 0;
        for (; (t = static_cast<double>(m) * dt) <= 1 - dt; ++m)
            fn(p + d * t, d, dt);
        fn(p + d * t, d, 1 - t);
    }
}

} // namespace Detail
} // namespace ContourIntegral
