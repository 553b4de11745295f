// Outline lengths of contours, domains and planar sets (every contour taken as closed).
#pragma once

#include "Math/Polygon/KrPolygonTypes.h"

#include <cmath>

namespace KrPolygonPerimeter {

inline double Perimeter(const TKrContour& c) {
    double p = 0;
    for (std::size_t i = 0, n = c.size(); i < n; ++i) {
        const vec3d& u = c[i];
        const vec3d& v = c[(i + 1) % n];
        p += std::hypot(v.x - u.x, v.y - u.y);
    }
    return p;
}
inline double Perimeter(const TKrDomain& d) {
    double p = 0;
    for (const TKrContour& c : d)
        p += Perimeter(c);
    return p;
}
inline double Perimeter(const TKrPlanarSet& s) {
    double p = 0;
    for (const TKrDomain& d : s)
        p += Perimeter(d);
    return p;
}

} // namespace KrPolygonPerimeter
