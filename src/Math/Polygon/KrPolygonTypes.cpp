// Bounds and signed areas of plane regions.
#include "Math/Polygon/KrPolygonTypes.h"

TKrLimits2d GetLimits(const TKrContour& c) {
    TKrLimits2d lim;
    for (const vec3d& p : c)
        lim.add(vec2d{p.x, p.y});
    return lim;
}

TKrLimits2d GetLimits(const TKrDomain& d) {
    TKrLimits2d lim;
    for (const TKrContour& c : d)
        lim.add(GetLimits(c));
    return lim;
}

TKrLimits2d GetLimits(const TKrPlanarSet& s) {
    TKrLimits2d lim;
    for (const TKrDomain& d : s)
        lim.add(GetLimits(d));
    return lim;
}

double GetContourSignedArea(const TKrContour& c) {
    const std::size_t n = c.size();
    if (n < 3) return 0.0;
    // Relative to the first vertex, which keeps far-off coordinates from cancelling.
    const double x0 = c[0].x, y0 = c[0].y;
    double twice = 0.0;
    for (std::size_t i = 1; i + 1 < n; ++i)
        twice += (c[i].x - x0) * (c[i + 1].y - y0) - (c[i + 1].x - x0) * (c[i].y - y0);
    return twice * 0.5;
}
