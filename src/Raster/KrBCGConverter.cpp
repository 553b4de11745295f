// TBCGConverter: the brightness/contrast/gamma arithmetic.
#include "Raster/KrBCGConverter.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"

#include <algorithm>
#include <cmath>

double KrBCGMaxContrast() noexcept {
    return std::atan(1e6) / (M_PI / 4);
}

void TBCGConverter::Init(double b, double c, double gamma) {
    if (!std::isfinite(b) || std::isnan(c) || std::isnan(gamma))
        throw TKrMessage("@TBCGConverter::Init: invalid brightness %1%, contrast %2% or gamma %3%.")
            << KrRasterInternal::NumText(b) << KrRasterInternal::NumText(c)
            << KrRasterInternal::NumText(gamma);
    double slope;
    if (std::fabs(c) > KrBCGMaxContrast())
        slope = c > 0 ? 1e6 : -1e6;
    else if (std::fabs(c) == 1)
        slope = c;
    else // long double: the tangent is steep near the ends
        slope = static_cast<double>(
            std::tan(static_cast<long double>(c) * 3.14159265358979323846264338327950288L / 4));
    k = slope;
    a = 0.5 * (std::fabs(slope) * b + b - slope) + 0.5;
    g = std::clamp(gamma, 0.001, 1000.0);
}

void TBCGConverter::InitEffective(double offset, double slope, double gamma) noexcept {
    a = offset;
    k = slope;
    g = gamma;
}

double TBCGConverter::transform_bcg(double x) const noexcept {
    const double y = x * k + a;
    return y > 0 && y < 1 ? std::pow(y, g) : y;
}

bool operator==(const TBCGConverter& x, const TBCGConverter& y) noexcept {
    return x.a == y.a && x.k == y.k && x.g == y.g;
}
