// Plain lines and planes: squared distances, nearest points and crossings.
#include "Math/Constraints/KrLinePrimitives.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {
// A double axis index as a vector index; anything outside 0..2^31 maps to an index that the
// vector's checked access refuses.
std::size_t Axis(double a) {
    return a >= 0 && a < 2147483648.0 ? static_cast<std::size_t>(a) : std::size_t(-1);
}
constexpr double kDegenerate = 1e-16;
} // namespace

double DistanceSqr(const vec2d& a, const vec2d& b) {
    return norm2(b - a);
}
double DistanceSqr(const vec3d& a, const vec3d& b) {
    return norm2(b - a);
}

double DistanceSqr(const line2d& l, const vec2d& p) {
    const double dd = norm2(l.d);
    if (dd <= kDegenerate) return norm2(p - l.p);
    const double c = cross(l.d, p - l.p);
    return c * c / dd;
}
double DistanceSqrN(const line2d& l, const vec2d& p) {
    const double c = cross(l.d, p - l.p);
    return c * c;
}
bool GetLineNearest(const line2d& l, const vec2d& p, vec2d& out) {
    const double dd = norm2(l.d);
    if (dd <= kDegenerate) return false;
    out = l.p + l.d * (dot(l.d, p - l.p) / dd);
    return true;
}
bool GetLineNearestN(const line2d& l, const vec2d& p, vec2d& out) {
    out = l.p + l.d * dot(l.d, p - l.p);
    return true;
}

double DistanceSqr(const line3d& l, const vec3d& p) {
    const double dd = norm2(l.d);
    const vec3d w = p - l.p;
    if (dd <= kDegenerate) return norm2(w);
    const double t = dot(w, l.d);
    return std::max(0.0, norm2(w) - t * t / dd);
}
double DistanceSqrN(const line3d& l, const vec3d& p) {
    const vec3d w = p - l.p;
    const double t = dot(w, l.d);
    return std::max(0.0, norm2(w) - t * t);
}
bool GetLineNearest(const line3d& l, const vec3d& p, vec3d& out) {
    const double dd = norm2(l.d);
    if (dd <= kDegenerate) return false;
    out = l.p + l.d * (dot(l.d, p - l.p) / dd);
    return true;
}
bool GetLineNearestN(const line3d& l, const vec3d& p, vec3d& out) {
    out = l.p + l.d * dot(l.d, p - l.p);
    return true;
}

double DistanceSqr(const plane3d& pl, const vec3d& p) {
    const double nn = norm2(pl.n);
    if (nn < kDegenerate) return DBL_MAX;
    const double s = dot(pl.n, p) + pl.d;
    return s * s / nn;
}
double DistanceSqrN(const plane3d& pl, const vec3d& p) {
    const double s = dot(pl.n, p) + pl.d;
    return s * s;
}
bool GetPlaneNearest(const plane3d& pl, const vec3d& p, vec3d& out) {
    const double nn = norm2(pl.n);
    if (nn < kDegenerate) return false;
    out = p - pl.n * ((dot(pl.n, p) + pl.d) / nn);
    return true;
}
bool GetPlaneNearestN(const plane3d& pl, const vec3d& p, vec3d& out) {
    out = p - pl.n * (dot(pl.n, p) + pl.d);
    return true;
}

double DistanceSqr(const specline2d& l, const vec2d& p) {
    const double e = p[Axis(l.axis)] - l.value;
    return e * e;
}
double DistanceSqr(const specplane3d& pl, const vec3d& p) {
    const double e = p[Axis(pl.axis)] - pl.value;
    return e * e;
}
bool GetSpecLineNearest(const specline2d& l, const vec2d& p, vec2d& out) {
    vec2d r = p;
    r[Axis(l.axis)] = l.value;
    out = r;
    return true;
}
bool GetSpecPlaneNearest(const specplane3d& pl, const vec3d& p, vec3d& out) {
    vec3d r = p;
    r[Axis(pl.axis)] = pl.value;
    out = r;
    return true;
}

int LineCrossLine(const vec2d& p1, const vec2d& d1, const vec2d& p2, const vec2d& d2, vec2d& out) {
    const double c = cross(d1, d2);
    if (std::fabs(c) > 1e-8) {
        out = p1 + d1 * (cross(p2 - p1, d2) / c);
        return 1;
    }
    if (std::fabs(cross(d1, p2 - p1)) > 1e-8) return 0;
    out = p1;
    return 2;
}
int LineCrossLine(const line2d& a, const line2d& b, vec2d& out) {
    return LineCrossLine(a.p, a.d, b.p, b.d, out);
}

bool GetIntersection(const line3d& a, const line3d& b, vec3d& out) {
    const double den = norm2(cross(a.d, b.d));
    if (den <= kDegenerate) return false;
    // Parameters of the mutually closest points: a.p + s·a.d and b.p + t·b.d.
    const vec3d w0 = a.p - b.p;
    const double A = dot(a.d, a.d), B = dot(a.d, b.d), C = dot(b.d, b.d);
    const double D = dot(a.d, w0), E = dot(b.d, w0);
    const double s = (B * E - C * D) / den, t = (A * E - B * D) / den;
    out = (a.p + a.d * s + b.p + b.d * t) * 0.5;
    return true;
}
