// TBCGConverter: brightness, contrast and gamma as an offset, a slope and a power on normalised
// sample values.
#pragma once

#include "Core/KrExport.h"

/// y = x · k + a, then y^g when 0 < y < 1. Brightness b shifts, contrast c turns the line about
/// the middle (c = 1 is the identity slope, 0 flat, 2 vertical; negative values invert).
struct KRSTD_API TBCGConverter {
    double a = 0; ///< offset
    double k = 1; ///< slope
    double g = 1; ///< gamma

    /// Slope k = tan(c · π/4) (exactly c when |c| = 1; ±1e6 beyond atan(1e6) / (π/4)), offset
    /// a = 0.5 · (|k| · b + b − k) + 0.5, gamma clamped to 0.001..1000. A NaN parameter, or a
    /// brightness that is not finite, throws TKrMessage and leaves the converter unchanged.
    void Init(double b, double c, double g);
    /// Stores the three values as they are.
    void InitEffective(double a, double k, double g) noexcept;
    double transform_bc(double x) const noexcept { return x * k + a; }
    double transform_bcg(double x) const noexcept;
};

KRSTD_API bool operator==(const TBCGConverter& x, const TBCGConverter& y) noexcept;
inline bool operator!=(const TBCGConverter& x, const TBCGConverter& y) noexcept {
    return !(x == y);
}

/// The largest contrast with its own slope: atan(1e6) / (π/4), about 1.99999873.
KRSTD_API double KrBCGMaxContrast() noexcept;

inline double bc_correction(double x, const TBCGConverter& converter) noexcept {
    return converter.transform_bc(x);
}
inline double bcg_correction(double x, const TBCGConverter& converter) noexcept {
    return converter.transform_bcg(x);
}
