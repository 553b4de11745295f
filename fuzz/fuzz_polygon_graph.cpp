// Fuzz target: the union of convex polygons made from bytes (on a coarse grid, so that vertices,
// edges and sides coincide often, optionally turned). The union never crashes, hangs or throws,
// its outer contours run counter-clockwise and its holes clockwise, and its area agrees with the
// area that inclusion–exclusion over the polygons' convex intersections gives. (Boost.Geometry's
// union was the first referee; it loses area on some of these touching triangles where GEOS and
// the graph agree, so the exact convex arithmetic replaced it.)
#include "Core/KrMessage.h"
#include "Math/Polygon/KrBoolPolygonGraphW2.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

double Cross(const vec3d& o, const vec3d& a, const vec3d& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Counter-clockwise convex hull (monotone chain); collinear points dropped.
TKrContour Hull(std::vector<vec3d> p) {
    std::sort(p.begin(), p.end(),
              [](const vec3d& a, const vec3d& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
    p.erase(std::unique(p.begin(), p.end()), p.end());
    if (p.size() < 3) return {};
    TKrContour h(2 * p.size());
    std::size_t k = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
        while (k >= 2 && Cross(h[k - 2], h[k - 1], p[i]) <= 0)
            --k;
        h[k++] = p[i];
    }
    for (std::size_t i = p.size() - 1, t = k + 1; i-- > 0;) {
        while (k >= t && Cross(h[k - 2], h[k - 1], p[i]) <= 0)
            --k;
        h[k++] = p[i];
    }
    h.resize(k - 1);
    return h;
}

double Area(const TKrContour& c) {
    double s = 0;
    for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++)
        s += (c[j].x - c[i].x) * (c[j].y + c[i].y);
    return s / 2;
}

// The part of convex `p` on the left of (or on) every side of convex counter-clockwise `clip`.
TKrContour Clip(TKrContour p, const TKrContour& clip) {
    for (std::size_t i = 0; i < clip.size() && !p.empty(); ++i) {
        const vec3d& a = clip[i];
        const vec3d& b = clip[(i + 1) % clip.size()];
        TKrContour q;
        for (std::size_t k = 0; k < p.size(); ++k) {
            const vec3d& u = p[k];
            const vec3d& v = p[(k + 1) % p.size()];
            const double du = Cross(a, b, u), dv = Cross(a, b, v);
            if (du >= 0) q.push_back(u);
            if ((du >= 0) != (dv >= 0)) {
                const double t = du / (du - dv);
                q.push_back(vec3d(u.x + (v.x - u.x) * t, u.y + (v.y - u.y) * t, 0));
            }
        }
        p.swap(q);
    }
    return p.size() < 3 ? TKrContour() : p;
}

// Area of the union by inclusion–exclusion: every non-empty intersection of a subset, signed by
// the subset's size. Subsets whose intersection is empty are pruned with all their supersets.
double UnionArea(const std::vector<TKrContour>& ccw, std::size_t from, const TKrContour& cur, int depth) {
    double a = 0;
    for (std::size_t i = from; i < ccw.size(); ++i) {
        const TKrContour next = depth ? Clip(cur, ccw[i]) : ccw[i];
        if (next.empty()) continue;
        a += (depth % 2 ? -1 : 1) * Area(next) + UnionArea(ccw, i + 1, next, depth + 1);
    }
    return a;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::size_t at = 0;
    auto next = [&]() -> int { return at < size ? data[at++] : 0; };
    const int sets = 1 + next() % 8;
    std::vector<TKrPlanarSet> in;
    std::vector<TKrContour> ccw;
    double perimeter = 0, largest = 0, total = 0;
    for (int s = 0; s < sets && at < size; ++s) {
        const int kind = next();
        const int count = 3 + kind % 6;
        const double turn = (kind & 0x80) ? next() * (M_PI / 128) : 0;
        const double cs = std::cos(turn), sn = std::sin(turn);
        std::vector<vec3d> pts;
        for (int i = 0; i < count; ++i) {
            const double x = static_cast<std::int8_t>(next()) / 8.0,
                         y = static_cast<std::int8_t>(next()) / 8.0;
            pts.push_back(vec3d(x * cs - y * sn, x * sn + y * cs, 0));
        }
        TKrContour c = Hull(pts);
        if (c.size() < 3) continue;
        const double a = Area(c);
        if (!(a > 1e-6)) continue;
        ccw.push_back(c);
        if (kind & 0x40) std::reverse(c.begin(), c.end()); // orientation must not matter
        for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++)
            perimeter += std::hypot(c[i].x - c[j].x, c[i].y - c[j].y);
        largest = std::max(largest, a);
        total += a;
        in.push_back({{c}});
    }

    TKrPlanarSet out;
    try {
        kr::TBoolPolygonGraphW2::UnionAll(in, out);
    } catch (const TKrMessage&) {
        std::abort(); // valid input must unite
    }
    double ours = 0;
    for (const TKrDomain& d : out)
        for (std::size_t i = 0; i < d.size(); ++i) {
            const double a = Area(d[i]);
            if ((i == 0) != (a > 0)) std::abort();
            ours += a;
        }
    // Snapping moves a vertex by at most the tolerance (2e-7 of the extent, here at most 32).
    const double slack = 1e-9 * total + 64 * 2e-7 * 32 * perimeter;
    if (in.empty() ? !out.empty() : (ours > total + slack || ours < largest - slack)) std::abort();

    const double refArea = UnionArea(ccw, 0, {}, 0);
    if (std::abs(ours - refArea) > 1e-9 * refArea + slack) std::abort();
    return 0;
}
