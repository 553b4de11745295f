// TConstrain: crossings of constraints and a point measured against or projected onto one.
#include "Math/Constraints/KrConstrain.h"

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

std::size_t Axis(double a) {
    return a >= 0 && a < 2147483648.0 ? static_cast<std::size_t>(a) : std::size_t(-1);
}

vec2d P2(const TConstrain& c) {
    return {c.v[0], c.v[1]};
}
vec2d D2(const TConstrain& c) {
    return {c.v[2], c.v[3]};
}
vec3d P3(const TConstrain& c) {
    return {c.v[0], c.v[1], c.v[2]};
}
vec3d D3(const TConstrain& c) {
    return {c.v[3], c.v[4], c.v[5]};
}

void SetNone(TConstrain* out) {
    *out = TConstrain();
}
void SetPoint(TConstrain* out, const vec2d& p) {
    *out = TConstrain();
    out->kind = TConstrain::Point2D;
    out->v[0] = p.x;
    out->v[1] = p.y;
}
void SetPoint(TConstrain* out, const vec3d& p) {
    *out = TConstrain();
    out->kind = TConstrain::Point3D;
    out->v[0] = p.x;
    out->v[1] = p.y;
    out->v[2] = p.z;
}
void SetLine(TConstrain* out, const vec3d& p, const vec3d& d) {
    SetPoint(out, p);
    out->kind = TConstrain::Line3D;
    out->v[3] = d.x;
    out->v[4] = d.y;
    out->v[5] = d.z;
}
void SetCopy(TConstrain* out, const TConstrain& c) {
    *out = c;
}

bool IsPlaneKind(std::int32_t k) {
    return k >= 1 && k <= 3;
}
bool IsSpaceKind(std::int32_t k) {
    return k >= 4 && k <= 7;
}

} // namespace

bool ConstrainCrossPointPoint2D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    if (DistanceSqr(P2(a), P2(b)) <= tol * tol)
        SetPoint(out, P2(a));
    else
        SetNone(out);
    return true;
}

bool ConstrainCrossLinePoint2D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    if (std::fabs(cross(D2(a), P2(b) - P2(a))) <= tol)
        SetPoint(out, P2(b));
    else
        SetNone(out);
    return true;
}

bool ConstrainCrossLineLine2D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec2d ad = D2(a), bd = D2(b), ap = P2(a), bp = P2(b);
    if (std::fabs(cross(bd, ad)) <= tol) {
        if (std::fabs(cross(ad, ap - bp)) <= tol)
            SetCopy(out, a);
        else
            SetNone(out);
        return true;
    }
    SetPoint(out, bp + bd * (cross(ad, ap - bp) / cross(ad, bd)));
    return true;
}

bool ConstrainCrossSpecLinePoint2D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec2d p = P2(b);
    if (std::fabs(p[Axis(a.v[0])] - a.v[1]) <= tol)
        SetPoint(out, p);
    else
        SetNone(out);
    return true;
}

bool ConstrainCrossSpecLineLine2D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec2d p = P2(b), d = D2(b);
    const std::size_t ax = Axis(a.v[0]);
    const double e = a.v[1] - p[ax], g = d[ax];
    if (std::fabs(g) <= tol) {
        if (std::fabs(e) <= tol)
            SetCopy(out, a);
        else
            SetNone(out);
        return true;
    }
    SetPoint(out, p + d * (e / g));
    return true;
}

bool ConstrainCrossSpecLineSpecLine2D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const std::size_t ax = Axis(a.v[0]), bx = Axis(b.v[0]);
    if (ax != bx) {
        vec2d p;
        p[ax] = a.v[1];
        p[bx] = b.v[1];
        SetPoint(out, p);
    } else if (std::fabs(b.v[1] - a.v[1]) <= tol) {
        SetCopy(out, a);
    } else {
        SetNone(out);
    }
    return true;
}

bool ConstrainCrossPointPoint3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    if (DistanceSqr(P3(a), P3(b)) <= tol * tol)
        SetPoint(out, P3(a));
    else
        SetNone(out);
    return true;
}

bool ConstrainCrossLinePoint3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec3d w = P3(b) - P3(a);
    const double t = dot(w, D3(a));
    if (norm2(w) - t * t < tol * tol)
        SetPoint(out, P3(b));
    else
        SetNone(out);
    return true;
}

bool ConstrainCrossLineLine3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec3d ad = D3(a), bd = D3(b), w = P3(b) - P3(a);
    const vec3d n = cross(ad, bd);
    const double nn = norm2(n);
    if (nn > tol * tol) {
        const double nw = dot(n, w);
        if (nw * nw >= tol * tol * nn) {
            SetNone(out); // skew, at least tol apart
            return true;
        }
        // Point of b nearest to a: b.p + t·b.d with (w + t·b.d)·(a.d × n) = 0.
        const vec3d m = cross(ad, n);
        SetPoint(out, P3(b) - bd * (dot(w, m) / dot(bd, m)));
        return true;
    }
    const double ww = norm2(w), t = dot(ad, w);
    if (ww > tol * tol && std::fabs(ww - t * t) > tol * tol)
        SetNone(out);
    else
        SetCopy(out, a);
    return true;
}

bool ConstrainCrossPlanePoint3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    if (std::fabs(dot(P3(a), P3(b)) + a.v[3]) <= tol)
        SetPoint(out, P3(b));
    else
        SetNone(out);
    return true;
}

bool ConstrainCrossPlaneLine3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec3d n = P3(a), p = P3(b), d = D3(b);
    const double s = dot(n, p) + a.v[3], g = dot(n, d);
    if (std::fabs(g) >= tol) {
        SetPoint(out, p - d * (s / g));
        return true;
    }
    if (std::fabs(s) < tol) {
        SetCopy(out, b);
        return true;
    }
    SetNone(out);
    return false;
}

bool ConstrainCrossPlanePlane3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec3d an = P3(a), bn = P3(b);
    const double ad = a.v[3], bd = b.v[3];
    const vec3d m = cross(an, bn);
    const double mm = norm2(m);
    if (mm < tol * tol) {
        if (std::fabs(dot(an, bn) * bd - ad) < tol) {
            SetCopy(out, a);
            return true;
        }
        SetNone(out);
        return false;
    }
    const vec3d u = m / std::sqrt(mm);
    // From the foot of the origin on a, along a's plane across to b.
    const vec3d q0 = an * -ad;
    const vec3d v = cross(an, u);
    SetLine(out, q0 - v * ((dot(bn, q0) + bd) / dot(bn, v)), u);
    return true;
}

bool ConstrainCrossSpecPlanePoint3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec3d p = P3(b);
    if (std::fabs(p[Axis(a.v[0])] - a.v[1]) <= tol)
        SetPoint(out, p);
    else
        SetNone(out);
    return true;
}

bool ConstrainCrossSpecPlaneLine3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    const vec3d p = P3(b), d = D3(b);
    const std::size_t ax = Axis(a.v[0]);
    const double e = a.v[1] - p[ax], g = d[ax];
    if (std::fabs(g) <= tol) {
        if (std::fabs(e) <= tol)
            SetCopy(out, b);
        else
            SetNone(out);
        return true;
    }
    SetPoint(out, p + d * (e / g));
    return true;
}

bool ConstrainCrossSpecPlanePlane3D(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    TConstrain pa;
    ConstrainSpecPlaneToPlane3D(a, &pa);
    return ConstrainCrossPlanePlane3D(pa, b, tol, out);
}

bool ConstrainCrossSpecPlaneSpecPlane3D(const TConstrain& a, const TConstrain& b, double tol,
                                        TConstrain* out) {
    const std::size_t ax = Axis(a.v[0]), bx = Axis(b.v[0]);
    if (ax != bx) {
        vec3d p, d;
        p[ax] = a.v[1];
        p[bx] = b.v[1];
        d[3 - ax - bx] = 1;
        SetLine(out, p, d);
    } else if (std::fabs(a.v[1] - b.v[1]) <= tol) {
        SetCopy(out, a);
    } else {
        SetNone(out);
    }
    return true;
}

void ConstrainSpecPlaneToPlane3D(const TConstrain& s, TConstrain* out) {
    vec3d n;
    n[Axis(s.v[0])] = 1;
    TConstrain r;
    r.kind = TConstrain::Plane3D;
    r.v[0] = n.x;
    r.v[1] = n.y;
    r.v[2] = n.z;
    r.v[3] = -s.v[1];
    *out = r;
}

bool Cross(const TConstrain& a, const TConstrain& b, double tol, TConstrain* out) {
    using Rule = bool (*)(const TConstrain&, const TConstrain&, double, TConstrain*);
    // Indexed by [higher kind][lower kind]; pairs across dimensions stay empty.
    static const Rule rules[8][8] = {
        {},
        {nullptr, ConstrainCrossPointPoint2D},
        {nullptr, ConstrainCrossLinePoint2D, ConstrainCrossLineLine2D},
        {nullptr, ConstrainCrossSpecLinePoint2D, ConstrainCrossSpecLineLine2D,
         ConstrainCrossSpecLineSpecLine2D},
        {nullptr, nullptr, nullptr, nullptr, ConstrainCrossPointPoint3D},
        {nullptr, nullptr, nullptr, nullptr, ConstrainCrossLinePoint3D, ConstrainCrossLineLine3D},
        {nullptr, nullptr, nullptr, nullptr, ConstrainCrossPlanePoint3D, ConstrainCrossPlaneLine3D,
         ConstrainCrossPlanePlane3D},
        {nullptr, nullptr, nullptr, nullptr, ConstrainCrossSpecPlanePoint3D, ConstrainCrossSpecPlaneLine3D,
         ConstrainCrossSpecPlanePlane3D, ConstrainCrossSpecPlaneSpecPlane3D},
    };
    const bool plane = IsPlaneKind(a.kind) && IsPlaneKind(b.kind);
    const bool space = IsSpaceKind(a.kind) && IsSpaceKind(b.kind);
    if (!plane && !space) return false;
    const bool swap = b.kind > a.kind;
    const TConstrain& hi = swap ? b : a;
    const TConstrain& lo = swap ? a : b;
    return rules[hi.kind][lo.kind](hi, lo, tol, out);
}

double DistanceSqr(const TConstrain& c, const vec2d& p) {
    switch (c.kind) {
    case TConstrain::Point2D:
        return DistanceSqr(P2(c), p);
    case TConstrain::Line2D:
        return DistanceSqrN(line2d{P2(c), D2(c)}, p);
    case TConstrain::SpecLine2D:
        return DistanceSqr(specline2d{c.v[0], c.v[1]}, p);
    default:
        return DBL_MAX;
    }
}

double DistanceSqr(const TConstrain& c, const vec3d& p) {
    switch (c.kind) {
    case TConstrain::Point3D:
        return DistanceSqr(P3(c), p);
    case TConstrain::Line3D:
        return DistanceSqrN(line3d{P3(c), D3(c)}, p);
    case TConstrain::Plane3D:
        return DistanceSqrN(plane3d{P3(c), c.v[3]}, p);
    case TConstrain::SpecPlane3D:
        return DistanceSqr(specplane3d{c.v[0], c.v[1]}, p);
    default:
        return DBL_MAX;
    }
}

bool GetNearest(const TConstrain& c, const vec2d& p, vec2d& out) {
    switch (c.kind) {
    case TConstrain::Point2D:
        out = P2(c);
        return true;
    case TConstrain::Line2D:
        return GetLineNearestN(line2d{P2(c), D2(c)}, p, out);
    case TConstrain::SpecLine2D:
        return GetSpecLineNearest(specline2d{c.v[0], c.v[1]}, p, out);
    default:
        return false;
    }
}

bool GetNearest(const TConstrain& c, const vec3d& p, vec3d& out) {
    switch (c.kind) {
    case TConstrain::Point3D:
        out = P3(c);
        return true;
    case TConstrain::Line3D:
        return GetLineNearestN(line3d{P3(c), D3(c)}, p, out);
    case TConstrain::Plane3D:
        return GetPlaneNearestN(plane3d{P3(c), c.v[3]}, p, out);
    case TConstrain::SpecPlane3D:
        return GetSpecPlaneNearest(specplane3d{c.v[0], c.v[1]}, p, out);
    default:
        return false;
    }
}
