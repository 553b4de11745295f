// Every Boolean operation of every back end against GEOS, and the conversions' contracts.
#include "Core/KrMessage.h"
#include "KrGeosReferee.h"
#include "Math/Polygon/KrDomainBool.h"
#include "Math/Polygon/KrPolygonBG.h"
#include "Math/Polygon/KrPolygonBGConvert.h"
#include "Math/Polygon/KrPolygonBP.h"
#include "Math/Polygon/KrPolygonBPConvert.h"
#include "Math/Polygon/KrPolygonAlign.h"
#include "Math/Polygon/KrPolygonClipper.h"
#include "Math/Polygon/KrPolygonKr.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <string>

namespace {

using krtest::TGeosReferee;

TKrContour Rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
}

TKrContour Reversed(TKrContour c) {
    return TKrContour(c.rbegin(), c.rend());
}

// A star-shaped simple polygon: vertices at increasing angles around (cx, cy), random radii.
TKrContour Star(std::mt19937& rng, double cx, double cy, int n, double rMin, double rMax) {
    std::uniform_real_distribution<double> r(rMin, rMax), jitter(0.0, 0.9);
    TKrContour c;
    for (int i = 0; i < n; ++i) {
        const double a = (i + jitter(rng)) * 2 * M_PI / n;
        const double rad = r(rng);
        c.push_back({cx + rad * std::cos(a), cy + rad * std::sin(a), 7.0}); // z must be ignored
    }
    return c;
}

// Domains with one contour each.
TKrPlanarSet Set(std::initializer_list<TKrContour> contours) {
    TKrPlanarSet s;
    for (const TKrContour& c : contours)
        s.push_back({c});
    return s;
}

struct TCase {
    std::string name;
    TKrPlanarSet a, b;
};

std::vector<TCase> Cases() {
    std::vector<TCase> cases;
    std::mt19937 rng(20261206);
    for (int i = 0; i < 4; ++i)
        cases.push_back({"stars" + std::to_string(i), Set({Star(rng, 0, 0, 40, 3, 10)}),
                         Set({Star(rng, 2, 1, 55, 3, 10)})});
    // Checkerboard: the black squares touch the white ones along every inner edge, and each
    // other only at corners.
    TCase board{"checkerboard", {}, {}};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            ((i + j) % 2 ? board.b : board.a).push_back({Rect(i, j, i + 1, j + 1)});
    cases.push_back(board);
    // Holes, one clockwise and one counter-clockwise, crossed by a bar.
    cases.push_back({"holes",
                     {{Rect(0, 0, 10, 10), Reversed(Rect(2, 2, 4, 8)), Rect(6, 2, 8, 8)}},
                     Set({Rect(-1, 4, 11, 6)})});
    // An island inside a hole of the other operand.
    cases.push_back({"island", {{Rect(0, 0, 10, 10), Rect(2, 2, 8, 8)}}, Set({Rect(4, 4, 6, 6)})});
    // Shared and collinear-overlapping edges.
    cases.push_back({"shared_edge", Set({Rect(0, 0, 10, 10)}), Set({Rect(10, 2, 20, 8)})});
    cases.push_back({"collinear_overlap", Set({Rect(0, 0, 10, 10)}), Set({Rect(5, 0, 15, 5)})});
    cases.push_back({"same_square", Set({Rect(0, 0, 3, 3)}), Set({Rect(0, 0, 3, 3)})});
    // Vertices of one operand on edges of the other.
    cases.push_back({"vertex_on_edge", Set({Rect(0, 0, 4, 4)}), Set({{{4, 2, 0}, {8, 0, 0}, {8, 4, 0}}})});
    cases.push_back({"vertex_inside_edge", Set({{{0, 0, 0}, {2, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}}}),
                     Set({{{2, 0, 0}, {3, -2, 0}, {1, -2, 0}}})});
    // A sliver overlap of a thousandth and a sliver triangle.
    cases.push_back({"sliver", Set({Rect(0, 0, 10, 10)}), Set({Rect(0, 9.999, 10, 20)})});
    cases.push_back(
        {"needle", Set({Rect(0, 0, 10, 10)}), Set({{{-5, 5, 0}, {15, 5.001, 0}, {15, 5.002, 0}}})});
    cases.push_back({"disjoint", Set({Rect(0, 0, 1, 1)}), Set({Rect(3, 3, 4, 4)})});
    return cases;
}

enum class TBackend { BG, BP, Clipper, Kr, Align };
const char* Name(TBackend b) {
    switch (b) {
    case TBackend::BG:
        return "bg";
    case TBackend::BP:
        return "bp";
    case TBackend::Clipper:
        return "clipper";
    case TBackend::Kr:
        return "_kr";
    case TBackend::Align:
        return "polygon_align";
    }
    return "?";
}
const char* Name(TGeosReferee::TOp op) {
    switch (op) {
    case TGeosReferee::Union:
        return "union";
    case TGeosReferee::Intersection:
        return "intersection";
    case TGeosReferee::Difference:
        return "difference";
    case TGeosReferee::Xor:
        return "xor";
    }
    return "?";
}

template <class A, class B>
bool RunOp(TBackend be, TGeosReferee::TOp op, const A& a, const B& b, TKrPlanarSet& out, double precision) {
#define KRSTD_TEST_OPS(ns)                                                                                   \
    switch (op) {                                                                                            \
    case TGeosReferee::Union:                                                                                \
        return ns::union_(a, b, out, precision);                                                             \
    case TGeosReferee::Intersection:                                                                         \
        return ns::intersection(a, b, out, precision);                                                       \
    case TGeosReferee::Difference:                                                                           \
        return ns::difference(a, b, out, precision);                                                         \
    case TGeosReferee::Xor:                                                                                  \
        return ns::xor_(a, b, out, precision);                                                               \
    }
    switch (be) {
    case TBackend::BG:
        KRSTD_TEST_OPS(bg) break;
    case TBackend::BP:
        KRSTD_TEST_OPS(bp) break;
    case TBackend::Clipper:
        KRSTD_TEST_OPS(clipper) break;
    case TBackend::Kr:
        KRSTD_TEST_OPS(_kr) break;
    case TBackend::Align:
        KRSTD_TEST_OPS(polygon_align) break;
    }
#undef KRSTD_TEST_OPS
    return false;
}

// Calls fn with the narrowest argument kind that holds the set (contour, domain or set), so the
// table covers the mixed overloads too.
template <class Fn> bool WithKind(const TKrPlanarSet& s, Fn&& fn) {
    if (s.size() == 1 && s[0].size() == 1) return fn(s[0][0]);
    if (s.size() == 1) return fn(s[0]);
    return fn(s);
}

// Even-odd over every contour: the result's domains are disjoint and their holes inside them.
bool Inside(const TKrPlanarSet& s, double x, double y) {
    bool in = false;
    for (const TKrDomain& d : s)
        for (const TKrContour& c : d)
            for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++)
                if ((c[i].y > y) != (c[j].y > y) &&
                    x < (c[j].x - c[i].x) * (y - c[i].y) / (c[j].y - c[i].y) + c[i].x)
                    in = !in;
    return in;
}

double Perimeter(const TKrPlanarSet& s) {
    double p = 0;
    for (const TKrDomain& d : s)
        for (const TKrContour& c : d)
            for (std::size_t i = 0; i < c.size(); ++i)
                p += std::hypot(c[(i + 1) % c.size()].x - c[i].x, c[(i + 1) % c.size()].y - c[i].y);
    return p;
}

} // namespace

TEST(PolygonBool, EveryOperationOfEveryBackendMatchesGeos) {
    TGeosReferee geos;
    const double precision = 1e-6;
    std::mt19937 rng(7);
    for (const TCase& tc : Cases()) {
        const double scale = geos.Area(tc.a) + geos.Area(tc.b);
        const TKrLimits2d lim = [&] {
            TKrLimits2d l = GetLimits(tc.a);
            l.add(GetLimits(tc.b));
            return l;
        }();
        std::uniform_real_distribution<double> px(lim.min.x - 1, lim.max.x + 1),
            py(lim.min.y - 1, lim.max.y + 1);
        std::vector<vec2d> probes(300);
        for (vec2d& p : probes)
            p = vec2d(px(rng), py(rng));
        for (auto op :
             {TGeosReferee::Union, TGeosReferee::Intersection, TGeosReferee::Difference, TGeosReferee::Xor}) {
            TGeosReferee::TResult want = geos.Run(op, tc.a, tc.b);
            std::vector<int> answers;
            for (const vec2d& p : probes)
                answers.push_back(geos.Probe(want, p.x, p.y, 1e-4));
            for (auto be : {TBackend::BG, TBackend::BP, TBackend::Clipper, TBackend::Kr, TBackend::Align}) {
                SCOPED_TRACE(tc.name + " " + Name(op) + " " + Name(be));
                TKrPlanarSet out;
                const bool ok = WithKind(tc.a, [&](const auto& a) {
                    return WithKind(tc.b, [&](const auto& b) { return RunOp(be, op, a, b, out, precision); });
                });
                ASSERT_TRUE(ok);
                const double got = GetPlanarSetArea(out);
                const double tol = be == TBackend::BG || be == TBackend::Align
                                       ? 1e-9 * scale
                                       : 1e-9 * scale + precision * (Perimeter(tc.a) + Perimeter(tc.b));
                EXPECT_NEAR(got, want.area, tol);
                int wrong = 0;
                for (std::size_t i = 0; i < probes.size(); ++i)
                    if (answers[i] >= 0 && Inside(out, probes[i].x, probes[i].y) != (answers[i] == 1))
                        ++wrong;
                EXPECT_EQ(wrong, 0);
                for (const TKrDomain& d : out)
                    for (const TKrContour& c : d)
                        for (const vec3d& p : c)
                            ASSERT_EQ(p.z, 0.0);
            }
            geos.Free(want);
        }
    }
}

TEST(PolygonBool, DisjointSquaresUniteIntoTwoDomainsWithEveryBackend) {
    const TKrContour a = Rect(0, 0, 1, 1), b = Rect(2, 0, 3, 1);
    TKrPlanarSet out;
    for (auto be : {TBackend::BG, TBackend::BP, TBackend::Clipper, TBackend::Kr, TBackend::Align}) {
        SCOPED_TRACE(Name(be));
        ASSERT_TRUE(RunOp(be, TGeosReferee::Union, a, b, out, 1e-3));
        EXPECT_EQ(out.size(), 2u);
    }
}

TEST(PolygonBool, BpRoundsHalvesAwayFromZeroAndScalesBack) {
    bp::TPolygon p;
    bp::convert(TKrContour{{1.2, 1.3, 5}, {-0.25, 0.25, 0}, {0.75, -0.75, 0}}, p, 0.5);
    std::vector<bp::TPoint> pts(p.begin(), p.end());
    ASSERT_EQ(pts.size(), 3u);
    EXPECT_EQ(pts[0], bp::TPoint(2, 3));
    EXPECT_EQ(pts[1], bp::TPoint(-1, 1));
    EXPECT_EQ(pts[2], bp::TPoint(2, -2));
    TKrContour back;
    bp::convert(p, back, 0.5);
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0], vec3d(1.0, 1.5, 0));
    EXPECT_EQ(back[1], vec3d(-0.5, 0.5, 0));
}

TEST(PolygonBool, ClipperXorIsAMinusBThenBMinusA) {
    TKrPlanarSet out;
    ASSERT_TRUE(clipper::xor_(Rect(0, 0, 2, 2), Rect(1, 1, 3, 3), out, 1e-3));
    ASSERT_EQ(out.size(), 2u);
    EXPECT_DOUBLE_EQ(GetDomainArea(out[0]), 3.0);
    EXPECT_DOUBLE_EQ(GetDomainArea(out[1]), 3.0);
    EXPECT_TRUE(Inside({out[0]}, 0.5, 0.5));
    EXPECT_TRUE(Inside({out[1]}, 2.5, 2.5));
    // The same order with the roles swapped, and on the integer model.
    kr::TContour2<int> ia{{0, 0}, {2, 0}, {2, 2}, {0, 2}}, ib{{1, 1}, {3, 1}, {3, 3}, {1, 3}};
    kr::TPlanarSet2<int> iout;
    ASSERT_TRUE(clipper::xor_(ib, ia, iout));
    ASSERT_EQ(iout.size(), 2u);
    int maxX = 0;
    for (const auto& p : iout[0][0])
        maxX = std::max(maxX, p.x);
    EXPECT_EQ(maxX, 3);
}

TEST(PolygonBool, IntegerModelIsUsedWithoutScaling) {
    const kr::TDomain2<int> a{{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{2, 2}, {2, 8}, {8, 8}, {8, 2}}};
    const kr::TContour2<int> b{{5, -5}, {15, -5}, {15, 5}, {5, 5}};
    auto area = [](const kr::TPlanarSet2<int>& s) {
        long twice = 0;
        for (const auto& d : s)
            for (std::size_t k = 0; k < d.size(); ++k) {
                long t = 0;
                for (std::size_t i = 0; i < d[k].size(); ++i) {
                    const auto& p = d[k][i];
                    const auto& q = d[k][(i + 1) % d[k].size()];
                    t += long(p.x) * q.y - long(q.x) * p.y;
                }
                twice += k == 0 ? std::labs(t) : -std::labs(t);
            }
        return twice / 2.0;
    };
    kr::TPlanarSet2<int> bpOut, clOut;
    ASSERT_TRUE(bp::union_(a, b, bpOut));
    ASSERT_TRUE(clipper::union_(a, b, clOut));
    EXPECT_EQ(area(bpOut), 64.0 + 100.0 - 16.0);
    EXPECT_EQ(area(clOut), 64.0 + 100.0 - 16.0);
    ASSERT_TRUE(bp::intersection(b, a, bpOut));
    EXPECT_EQ(area(bpOut), 25.0 - 9.0);
}

TEST(PolygonBool, ClockwiseSquareIsCorrectedByBg) {
    TKrContour cw = Reversed(Rect(0, 0, 2, 2));
    cw.push_back(cw[0]); // a repeated closing vertex goes too
    ASSERT_LT(GetContourSignedArea(cw), 0);
    TKrPlanarSet out;
    ASSERT_TRUE(bg::union_(cw, Rect(5, 5, 6, 6), out, 0));
    ASSERT_EQ(out.size(), 2u);
    for (const TKrDomain& d : out)
        EXPECT_GT(GetContourSignedArea(d[0]), 0);
    bg::correct(cw);
    EXPECT_EQ(cw.size(), 4u);
    EXPECT_DOUBLE_EQ(GetContourSignedArea(cw), 4.0);
}

TEST(PolygonBool, KrSnapsFeaturesCloserThanTheTolerance) {
    // A gap of 1e-7 closes with a tolerance of 1e-5, stays open with 1e-9.
    TKrPlanarSet out;
    ASSERT_TRUE(_kr::union_(Rect(0, 0, 1, 1), Rect(1 + 1e-7, 0, 2, 1), out, 1e-5));
    EXPECT_EQ(out.size(), 1u);
    ASSERT_TRUE(_kr::union_(Rect(0, 0, 1, 1), Rect(1 + 1e-7, 0, 2, 1), out, 1e-9));
    EXPECT_EQ(out.size(), 2u);
    EXPECT_TRUE(_kr::intersects(Rect(0, 0, 1, 1), Rect(1 + 1e-7, 0, 2, 1), 1e-5));
    EXPECT_FALSE(_kr::intersects(Rect(0, 0, 1, 1), Rect(1 + 1e-7, 0, 2, 1), 1e-9));
    EXPECT_TRUE(_kr::intersects(Rect(0, 0, 10, 10), Rect(4, 4, 5, 5), 1e-9)); // nested, no edge contact
    EXPECT_TRUE(_kr::contains(Rect(0, 0, 1, 1), Rect(-1e-7, 0, 1, 1), 1e-5));
    EXPECT_FALSE(_kr::contains(Rect(0, 0, 1, 1), Rect(0.1, 0, 1, 1), 1e-5));
    EXPECT_TRUE(_kr::contains(vec3d(1 + 1e-7, 0.5, 0), Rect(0, 0, 1, 1), 1e-5));
    EXPECT_FALSE(_kr::contains(vec3d(3, 3, 0), TKrDomain{Rect(0, 0, 10, 10), Rect(2, 2, 4, 4)}, 1e-5));
    EXPECT_DOUBLE_EQ(_kr::area(Reversed(Rect(0, 0, 2, 3))), 6.0);
    EXPECT_THROW(JoinDomains(Rect(0, 0, 1, 1), Rect(0, 0, 1, 1), out, 3, 1e-3), TKrMessage);
}

TEST(PolygonBool, BadInputThrowsOrFollowsTheContract) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    const TKrContour sq = Rect(0, 0, 1, 1);
    TKrPlanarSet out;
    for (double bad : {nan, inf, -inf}) {
        TKrContour c = sq;
        c[2].y = bad;
        for (auto be : {TBackend::BG, TBackend::BP, TBackend::Clipper, TBackend::Kr, TBackend::Align}) {
            SCOPED_TRACE(Name(be));
            EXPECT_THROW(RunOp(be, TGeosReferee::Union, sq, c, out, 1e-3), TKrMessage);
        }
        EXPECT_THROW(bg::contains(vec3d(0, 0, 0), c, 0), TKrMessage);
        EXPECT_THROW(_kr::contains(vec3d(bad, 0, 0), sq, 1e-3), TKrMessage);
    }
    // Beyond the 32-bit and 64-bit grids, and precisions no grid has.
    EXPECT_THROW(bp::union_(sq, Rect(0, 0, 3e9, 1), out, 1.0), TKrMessage);
    EXPECT_THROW(clipper::union_(sq, Rect(0, 0, 1e19, 1), out, 1.0), TKrMessage);
    EXPECT_FALSE(clipper::union_(sq, Rect(0, 0, 5e18, 1), out, 1.0)); // Clipper's own range
    for (double p : {0.0, -1.0, nan, 1e-320}) {
        EXPECT_THROW(bp::union_(sq, sq, out, p), TKrMessage);
        EXPECT_THROW(clipper::union_(sq, sq, out, p), TKrMessage);
        EXPECT_THROW(_kr::union_(sq, sq, out, p), TKrMessage);
        if (p != 1e-320) { // no grid for it to overflow
            EXPECT_THROW(polygon_align::union_(sq, sq, out, p), TKrMessage);
        }
    }
    // Empty operands: an empty region, except for Clipper, which refuses to add nothing.
    for (auto be : {TBackend::BG, TBackend::BP, TBackend::Kr, TBackend::Align}) {
        SCOPED_TRACE(Name(be));
        ASSERT_TRUE(RunOp(be, TGeosReferee::Union, sq, TKrContour{}, out, 1e-3));
        EXPECT_NEAR(GetPlanarSetArea(out), 1.0, 1e-9);
        ASSERT_TRUE(RunOp(be, TGeosReferee::Intersection, TKrDomain{}, sq, out, 1e-3));
        EXPECT_EQ(GetPlanarSetArea(out), 0.0);
        ASSERT_TRUE(RunOp(be, TGeosReferee::Difference, TKrPlanarSet{}, TKrPlanarSet{}, out, 1e-3));
        EXPECT_TRUE(out.empty());
    }
    EXPECT_FALSE(clipper::union_(sq, TKrContour{}, out, 1e-3));
}

TEST(PolygonBool, BgIgnoresRepeatedVertices) {
    // Boost.Geometry's overlay lost most of this intersection while b repeated its vertices.
    const TKrContour a{{0.1875, 0, 0}, {1024, 656, 0}, {0, 0, 0}, {-880, -867.4375, 0}};
    TKrContour b{{-867.4375, -867.4375, 0}, {12.5625, 352, 0}, {56, 4, 0}, {0, 0, 0}};
    TKrPlanarSet clean, repeated;
    ASSERT_TRUE(bg::intersection(a, b, clean, 0));
    b.insert(b.begin(), 4, b[0]);
    b.insert(b.end(), b[3]);
    ASSERT_TRUE(bg::intersection(a, b, repeated, 0));
    EXPECT_GT(GetPlanarSetArea(clean), 80.0);
    EXPECT_NEAR(GetPlanarSetArea(repeated), GetPlanarSetArea(clean), 1e-9);
}
