// Checked rounding of double coordinates onto the integer grids of the grid back ends.
#include "Math/Polygon/KrPolygonGrid.h"

namespace KrPolygonGrid {

void ThrowBadPrecision(const char* function, double precision) {
    throw TKrMessage("@%1%: the precision must be a positive finite number, not %2%")
        << function << precision;
}

void ThrowNotFinite(const char* function, double x, double y) {
    throw TKrMessage("@%1%: vertex (%2%, %3%) is not finite") << function << x << y;
}

void ThrowBeyondGrid(const char* function, double x, double y, int bits, double step) {
    throw TKrMessage("@%1%: vertex (%2%, %3%) lies beyond the %4%-bit grid of step %5%")
        << function << x << y << bits << step;
}

void CheckFinite(const TKrContour& c, const char* function) {
    for (const vec3d& p : c)
        if (!std::isfinite(p.x) || !std::isfinite(p.y)) ThrowNotFinite(function, p.x, p.y);
}

void CheckFinite(const TKrDomain& d, const char* function) {
    for (const TKrContour& c : d)
        CheckFinite(c, function);
}

void CheckFinite(const TKrPlanarSet& s, const char* function) {
    for (const TKrDomain& d : s)
        CheckFinite(d, function);
}

} // namespace KrPolygonGrid
