// TKrCubeSpline: runs between break points, each solved as a natural cubic spline.
#include "Math/Curves/KrCubeSpline.h"

#include "Core/KrMessage.h"

#include <algorithm>
#include <cmath>

namespace {

bool Finite(const vec_t_<double, 2>& p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

// Strictly increasing finite x and finite y over [first, first + count). Written as !(a < b)
// so that a NaN fails the test.
bool Usable(const std::vector<TKRCUBESPLINEPOINT>& pts, std::size_t first, std::size_t count) {
    for (std::size_t i = first; i < first + count; ++i) {
        if (!std::isfinite(pts[i].x) || !std::isfinite(pts[i].y)) return false;
        if (i > first && !(pts[i - 1].x < pts[i].x)) return false;
    }
    return true;
}

void ThrowNotFinite(const char* function) {
    TKrMessage m(std::string("@") + function + ": the point's position is not finite.");
    throw m;
}

} // namespace

bool TKrCubeSpline::SetPoints(const std::vector<CUBESPLINE_POINT>& points, bool recalc) {
    for (std::size_t i = 0; i < points.size(); ++i) {
        if (!Finite(points[i].pt)) return false;
        if (i > 0 && !(points[i - 1].pt.x < points[i].pt.x)) return false;
    }
    m_points.resize(points.size()); // new points start with zero coefficients, old ones keep theirs
    for (std::size_t i = 0; i < points.size(); ++i) {
        m_points[i].type = points[i].type;
        m_points[i].x = points[i].pt.x;
        m_points[i].y = points[i].pt.y;
    }
    if (recalc) Recalc();
    return true;
}

void TKrCubeSpline::GetPoints(std::vector<CUBESPLINE_POINT>& out) const {
    out.resize(m_points.size());
    for (std::size_t i = 0; i < m_points.size(); ++i)
        out[i] = {m_points[i].type, {m_points[i].x, m_points[i].y}};
}

long TKrCubeSpline::InsertPoint(CUBESPLINE_POINT_TYPE type, const vec_t_<double, 2>& pt, bool recalc) {
    if (!Finite(pt))
        ThrowNotFinite(
            "long TKrCubeSpline::InsertPoint(CUBESPLINE_POINT_TYPE, const vec_t_<double,2>&, bool)");
    const auto it = std::upper_bound(m_points.begin(), m_points.end(), pt.x,
                                     [](double x, const TKRCUBESPLINEPOINT& p) { return x < p.x; });
    return InsertPoint(static_cast<long>(it - m_points.begin()), type, pt, recalc);
}

long TKrCubeSpline::InsertPoint(long index, CUBESPLINE_POINT_TYPE type, const vec_t_<double, 2>& pt,
                                bool recalc) {
    if (!Finite(pt))
        ThrowNotFinite(
            "long TKrCubeSpline::InsertPoint(long, CUBESPLINE_POINT_TYPE, const vec_t_<double,2>&, bool)");
    const long n = static_cast<long>(m_points.size());
    const long at = std::clamp(index, 0L, n);
    TKRCUBESPLINEPOINT p;
    p.type = type;
    p.x = pt.x;
    p.y = pt.y;
    m_points.insert(m_points.begin() + at, p);
    if (recalc) Recalc();
    return at;
}

void TKrCubeSpline::DeletePoint(unsigned long index, bool recalc) {
    if (index >= m_points.size()) return;
    m_points.erase(m_points.begin() + static_cast<long>(index));
    if (recalc) Recalc();
}

bool TKrCubeSpline::Recalc() {
    const std::size_t n = m_points.size();
    if (n < 2) return true;
    if (!Usable(m_points, 0, n)) return false;
    // A run ends at the first later point that is not smooth, or at the last point; the point
    // ending one run starts the next. The first and last points' types do not matter.
    std::size_t s = 0;
    while (s + 1 < n) {
        std::size_t e = s + 1;
        while (e + 1 < n && m_points[e].type == CUBESPLINE_POINT_SMOOTH)
            ++e;
        RecalcPart(s, e - s + 1);
        s = e;
    }
    return true;
}

bool TKrCubeSpline::RecalcPart(unsigned long first, unsigned long count) {
    if (count < 2) return true;
    if (first >= m_points.size() || count > m_points.size() - first) return false;
    if (!Usable(m_points, first, count)) return false;
    TKRCUBESPLINEPOINT* p = m_points.data() + first;
    if (count == 2) {
        const double s = (p[1].y - p[0].y) / (p[1].x - p[0].x);
        p[0].a0 = p[0].y - p[0].x * s;
        p[0].a1 = s;
        p[0].a2 = 0;
        p[0].a3 = 0;
        return true;
    }
    const std::size_t m = count - 1;
    std::vector<EVALCUBESPLINE> e(count, EVALCUBESPLINE{0, 0, 0, 0, 0, 0, 0, 0});
    for (std::size_t i = 0; i <= m; ++i)
        e[i].y = p[i].y;
    for (std::size_t i = 1; i <= m; ++i) {
        e[i].h = p[i].x - p[i - 1].x;
        e[i].delta = (e[i].y - e[i - 1].y) / e[i].h;
    }
    // Tridiagonal system for the interior half second derivatives; c_0 = c_m = 0.
    {
        const double d = 2 * (e[1].h + e[2].h);
        e[1].P = -e[2].h / d;
        e[1].Q = 3 * (e[2].delta - e[1].delta) / d;
    }
    for (std::size_t i = 2; i <= m - 1; ++i) {
        const double d = 2 * (e[i].h + e[i + 1].h) + e[i].h * e[i - 1].P;
        e[i].P = -e[i + 1].h / d;
        e[i].Q = (3 * (e[i + 1].delta - e[i].delta) - e[i].h * e[i - 1].Q) / d;
    }
    e[m - 1].c = e[m - 1].Q;
    for (std::size_t i = m - 1; i-- > 1;)
        e[i].c = e[i].P * e[i + 1].c + e[i].Q;
    // Each segment around its right end, then re-expanded in absolute x at its left point.
    for (std::size_t i = 1; i <= m; ++i) {
        EVALCUBESPLINE& r = e[i];
        r.b = r.delta + r.h * (2 * r.c + e[i - 1].c) / 3;
        r.d = (r.c - e[i - 1].c) / (3 * r.h);
        const double x = p[i].x;
        TKRCUBESPLINEPOINT& left = p[i - 1];
        left.a0 = r.y - r.b * x + r.c * x * x - r.d * x * x * x;
        left.a1 = r.b - 2 * r.c * x + 3 * r.d * x * x;
        left.a2 = r.c - 3 * r.d * x;
        left.a3 = r.d;
    }
    return true;
}
