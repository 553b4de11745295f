// Checked rounding of double coordinates onto the integer grids of the grid back ends.
#pragma once

#include "Core/KrMessage.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <cmath>
#include <cstdint>

namespace KrPolygonGrid {

/// Throws "@%1%: the precision must be a positive finite number, not %2%".
[[noreturn]] void ThrowBadPrecision(const char* function, double precision);
/// Throws "@%1%: vertex (%2%, %3%) is not finite".
[[noreturn]] void ThrowNotFinite(const char* function, double x, double y);
/// Throws "@%1%: vertex (%2%, %3%) lies beyond the %4%-bit grid of step %5%".
[[noreturn]] void ThrowBeyondGrid(const char* function, double x, double y, int bits, double step);

/// 1 / precision, or throws for a precision that is not a positive finite number (or whose
/// inverse overflows).
inline double GridScale(double precision, const char* function) {
    const double s = 1.0 / precision;
    if (!(precision > 0) || !std::isfinite(s) || !std::isfinite(precision))
        ThrowBadPrecision(function, precision);
    return s;
}

/// The nearest integer to v (halves away from zero) if it lies in [lo, hi]; otherwise false.
/// NaN fails the range test, so it never reaches the integer conversion.
template <class I> inline bool Nearest(double v, double lo, double hi, I& out) {
    const double r = std::round(v);
    if (!(r >= lo && r <= hi)) return false;
    out = static_cast<I>(r);
    return true;
}

/// Every vertex of the region has finite x and y; otherwise throws ThrowNotFinite.
void CheckFinite(const TKrContour& c, const char* function);
void CheckFinite(const TKrDomain& d, const char* function);
void CheckFinite(const TKrPlanarSet& s, const char* function);

} // namespace KrPolygonGrid
