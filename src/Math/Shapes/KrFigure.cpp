// Plane figures as point vectors: moving, turning, scaling, reversing, size, area and centroid.
#include "Math/Shapes/KrFigure.h"

#include <algorithm>
#include <cmath>

void MoveFigure(TKrFigure& f, const vec2d& d) {
    for (vec2d& p : f)
        p += d;
}

void RotateFigure(TKrFigure& f, double a) {
    const double c = std::cos(a), s = std::sin(a);
    for (vec2d& p : f)
        p = vec2d(p.x * c - p.y * s, p.x * s + p.y * c);
}

void ScaleFigure(TKrFigure& f, double k) {
    for (vec2d& p : f)
        p *= k;
}

void RevertFigure(TKrFigure& f) {
    std::reverse(f.begin(), f.end());
}

double FigureSize(const TKrFigure& f) {
    if (f.empty()) return 0;
    vec2d lo = f.front(), hi = f.front();
    for (const vec2d& p : f) {
        lo.x = std::min(lo.x, p.x);
        lo.y = std::min(lo.y, p.y);
        hi.x = std::max(hi.x, p.x);
        hi.y = std::max(hi.y, p.y);
    }
    return std::max(hi.x - lo.x, hi.y - lo.y);
}

double CalcSignedFigureArea(const TKrFigure& f) {
    const std::size_t n = f.size();
    if (n < 3) return 0;
    // A fan from the last point: relative coordinates keep far-off figures accurate.
    const vec2d o = f.back();
    double a = 0;
    for (std::size_t i = 0; i + 2 < n; ++i)
        a += cross(f[i] - o, f[i + 1] - o);
    return a / 2;
}

int FigureOrient(const TKrFigure& f) {
    const double a = CalcSignedFigureArea(f);
    return a > 0 ? 1 : a < 0 ? -1 : 0;
}

vec2d CalcFigureCenter(const TKrFigure& f, double* area) {
    if (f.empty()) {
        if (area) *area = 0;
        return vec2d();
    }
    const vec2d o = f.back();
    vec2d prev, s;
    double a = 0;
    for (const vec2d& p : f) {
        const vec2d d = p - o;
        const double c = cross(prev, d);
        a += c;
        s += c * (prev + d);
        prev = d;
    }
    if (std::fabs(a) >= 1e-30) {
        if (area) *area = a / 2;
        return o + s * (1.0 / 6.0 / (a / 2));
    }
    if (area) *area = a;
    return o;
}

void CenterFigure(TKrFigure& f) {
    MoveFigure(f, -CalcFigureCenter(f));
}
