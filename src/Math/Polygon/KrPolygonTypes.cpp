// Bounds of plane regions.
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
