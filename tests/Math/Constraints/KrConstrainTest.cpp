// Constraints: every crossing substituted back into both inputs, parallel and coincident pairs,
// dispatch across dimensions, degenerate lines and planes, and out-of-range axes.
#include "Math/Constraints/KrConstrain.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

TConstrain C(std::int32_t kind, std::vector<double> v) {
    TConstrain c;
    c.kind = kind;
    for (std::size_t i = 0; i < v.size(); ++i)
        c.v[i] = v[i];
    return c;
}
vec3d Unit(vec3d d) {
    return d / norm(d);
}
TConstrain Pt3(vec3d p) {
    return C(4, {p.x, p.y, p.z});
}
TConstrain Ln3(vec3d p, vec3d d) {
    d = Unit(d);
    return C(5, {p.x, p.y, p.z, d.x, d.y, d.z});
}
TConstrain Pl3(vec3d p, vec3d n) {
    n = Unit(n);
    return C(6, {n.x, n.y, n.z, -dot(n, p)});
}
TConstrain Ln2(vec2d p, vec2d d) {
    d = d / norm(d);
    return C(2, {p.x, p.y, d.x, d.y});
}

// Distance from q to the constraint through its nearest point: the squared-distance forms of
// lines lose digits to cancellation (|w|² − (w·d)²), the foot does not.
template <class V> double Off(const TConstrain& c, const V& q) {
    V f;
    return GetNearest(c, q, f) ? norm(f - q) : INFINITY;
}

// Projects a few probes onto the result and requires each projection on both inputs.
template <class V>
void ExpectOnBoth(const TConstrain& a, const TConstrain& b, const TConstrain& out,
                  const std::vector<V>& probes) {
    for (const V& s : probes) {
        V q;
        ASSERT_TRUE(GetNearest(out, s, q)) << "kind " << out.kind;
        EXPECT_LE(Off(a, q), 1e-12);
        EXPECT_LE(Off(b, q), 1e-12);
    }
}

TEST(Constrain, EveryPairThroughOnePointCrossesThere) {
    const vec3d P{1.5, -2.25, 3.0};
    const std::vector<TConstrain> space = {Pt3(P),
                                           Ln3(P, {1, 2, -0.5}),
                                           Ln3(P, {-0.3, 0.1, 1}),
                                           Pl3(P, {0.2, -1, 0.7}),
                                           Pl3(P, {1, 1, 1}),
                                           C(7, {0, P.x}),
                                           C(7, {1, P.y}),
                                           C(7, {2, P.z})};
    const std::vector<vec3d> probes = {{0, 0, 0}, {10, -3, 7}, {-5, 8, 2}};
    for (const TConstrain& a : space)
        for (const TConstrain& b : space) {
            if (a.kind == b.kind && a.v[0] == b.v[0] && a.v[1] == b.v[1] && a.v[3] == b.v[3]) continue;
            SCOPED_TRACE(testing::Message() << "kinds " << a.kind << ", " << b.kind);
            TConstrain out;
            ASSERT_TRUE(Cross(a, b, 1e-9, &out));
            ASSERT_NE(out.kind, 0);
            EXPECT_LE(Off(out, P), 1e-12);
            ExpectOnBoth(a, b, out, probes);
        }
    const vec2d Q{-0.75, 4.5};
    const std::vector<TConstrain> plane = {C(1, {Q.x, Q.y}), Ln2(Q, {1, 3}), Ln2(Q, {-2, 0.5}),
                                           C(3, {0, Q.x}), C(3, {1, Q.y})};
    for (const TConstrain& a : plane)
        for (const TConstrain& b : plane) {
            if (a.kind == b.kind && a.v[0] == b.v[0] && a.v[2] == b.v[2]) continue;
            TConstrain out;
            ASSERT_TRUE(Cross(a, b, 1e-9, &out));
            ASSERT_NE(out.kind, 0);
            EXPECT_LE(Off(out, Q), 1e-12);
            ExpectOnBoth(a, b, out, std::vector<vec2d>{{0, 0}, {7, -2}});
        }
}

TEST(Constrain, ParallelCoincidentAndTolerances) {
    struct Case {
        const char* what;
        TConstrain a, b;
        double tol;
        bool result;
        std::int32_t kind; // of out
    } cases[] = {
        {"points 0.5 apart, tol 0.5", C(1, {0, 0}), C(1, {0.3, 0.4}), 0.5, true, 1},
        {"points 0.5 apart, tol 0.49", C(1, {0, 0}), C(1, {0.3, 0.4}), 0.49, true, 0},
        {"parallel 2D lines 1 apart", Ln2({0, 0}, {1, 0}), Ln2({0, 1}, {1, 0}), 0.1, true, 0},
        {"same 2D line", Ln2({0, 0}, {1, 1}), Ln2({3, 3}, {-1, -1}), 0.1, true, 2},
        {"axis line along a line", C(3, {1, 2}), Ln2({0, 2}, {1, 0}), 1e-9, true, 3},
        {"axis line beside a line", C(3, {1, 3}), Ln2({0, 2}, {1, 0}), 1e-9, true, 0},
        {"same axis lines apart", C(3, {0, 1}), C(3, {0, 2}), 0.5, true, 0},
        {"parallel planes 1 apart", Pl3({0, 0, 0}, {0, 0, 1}), Pl3({0, 0, 1}, {0, 0, 1}), 0.1, false, 0},
        {"same plane, opposite normals", Pl3({0, 0, 2}, {0, 0, 1}), Pl3({5, 1, 2}, {0, 0, -1}), 0.1, true, 6},
        {"line parallel to a plane, apart", Pl3({0, 0, 0}, {0, 0, 1}), Ln3({0, 0, 1}, {1, 1, 0}), 0.1, false,
         0},
        {"line inside a plane", Pl3({0, 0, 0}, {0, 0, 1}), Ln3({4, 0, 0}, {1, 1, 0}), 0.1, true, 5},
        {"axis planes x=1, x=1.05, tol 0.1", C(7, {0, 1}), C(7, {0, 1.05}), 0.1, true, 7},
        {"axis planes x=1, x=1.05, tol 0.01", C(7, {0, 1}), C(7, {0, 1.05}), 0.01, true, 0},
        {"line along x in y=2", C(7, {1, 2}), Ln3({0, 2, 7}, {1, 0, 0}), 1e-9, true, 5},
        {"line along x misses y=3", C(7, {1, 3}), Ln3({0, 2, 7}, {1, 0, 0}), 1e-9, true, 0},
        {"axis plane parallel to plane", C(7, {2, 5}), Pl3({0, 0, 1}, {0, 0, 1}), 0.1, false, 0},
        {"skew lines 1 apart", Ln3({0, 0, 0}, {1, 0, 0}), Ln3({0, 0, 1}, {0, 1, 0}), 0.1, true, 0},
        {"parallel lines 1 apart", Ln3({0, 0, 0}, {1, 0, 0}), Ln3({0, 1, 0}, {1, 0, 0}), 0.1, true, 0},
        {"same 3D line", Ln3({0, 0, 0}, {1, 2, 3}), Ln3({2, 4, 6}, {1, 2, 3}), 1e-9, true, 5},
        {"point off a 3D line", Ln3({0, 0, 0}, {1, 0, 0}), Pt3({5, 0.2, 0}), 0.1, true, 0},
    };
    for (const Case& c : cases) {
        TConstrain out = C(1, {9, 9});
        EXPECT_EQ(Cross(c.a, c.b, c.tol, &out), c.result) << c.what;
        EXPECT_EQ(out.kind, c.kind) << c.what;
        TConstrain swapped;
        EXPECT_EQ(Cross(c.b, c.a, c.tol, &swapped), c.result) << c.what;
        EXPECT_EQ(swapped.kind, c.kind) << c.what;
    }

    TConstrain out;
    ASSERT_TRUE(Cross(C(7, {0, 1}), C(7, {1, 2}), 0.1, &out));
    EXPECT_EQ(out.kind, 5);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(out.v[i], (std::vector<double>{1, 2, 0, 0, 0, 1}[i]));
    ASSERT_TRUE(Cross(C(7, {2, 5}), Ln3({3, 4, 0}, {0, 0, 1}), 1e-9, &out));
    EXPECT_EQ(out.kind, 4);
    EXPECT_EQ(DistanceSqr(out, vec3d{3, 4, 5}), 0);
}

TEST(Constrain, DispatchAndMeasures) {
    const TConstrain untouched = C(4, {7, 7, 7});
    const std::pair<TConstrain, TConstrain> refused[] = {
        {C(1, {0, 0}), Pt3({0, 0, 0})}, {Pl3({0, 0, 0}, {0, 0, 1}), Ln2({0, 0}, {1, 0})},
        {C(0, {}), C(1, {0, 0})},       {C(1, {0, 0}), C(0, {})},
        {C(8, {}), C(1, {0, 0})},       {C(4, {}), C(-1, {})}};
    for (const auto& r : refused) {
        TConstrain out = untouched;
        EXPECT_FALSE(Cross(r.first, r.second, 1, &out));
        EXPECT_EQ(out.kind, 4);
        EXPECT_EQ(out.v[0], 7);
    }
    EXPECT_EQ(DistanceSqr(C(0, {}), vec2d{1, 2}), DBL_MAX);
    EXPECT_EQ(DistanceSqr(C(4, {}), vec2d{1, 2}), DBL_MAX);
    EXPECT_EQ(DistanceSqr(C(1, {}), vec3d{1, 2, 3}), DBL_MAX);
    vec3d q;
    EXPECT_FALSE(GetNearest(C(2, {}), vec3d{}, q));
    TConstrain pl;
    ConstrainSpecPlaneToPlane3D(C(7, {1, 4}), &pl);
    EXPECT_EQ(pl.kind, 6);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(pl.v[i], (std::vector<double>{0, 1, 0, -4}[i]));
}

TEST(Constrain, AxisOutOfRangeThrowsVectorMessages) {
    auto message = [](auto f) {
        try {
            f();
        } catch (const std::invalid_argument& e) {
            return std::string(e.what());
        }
        return std::string("no throw");
    };
    TConstrain out;
    const std::string read2 = "vec_t_<T,2>::operator[]( size_t idx) const: index out of range";
    const std::string write3 = "vec_t_<T,3>::operator[]( size_t idx): index out of range";
    EXPECT_EQ(message([] { return DistanceSqr(C(3, {2, 1}), vec2d{}); }), read2);
    EXPECT_EQ(message([&] { return Cross(C(7, {-1, 1}), C(7, {1, 1}), 1, &out); }), write3);
    EXPECT_EQ(message([&] { ConstrainSpecPlaneToPlane3D(C(7, {3, 1}), &out); }), write3);
    EXPECT_EQ(message([&] {
                  return DistanceSqr(specplane3d{3, 1}, vec3d{});
              }),
              "vec_t_<T,3>::operator[]( size_t idx) const: index out of range");
}

TEST(LinePrimitives, CrossingsNearestAndDegenerates) {
    vec2d p;
    EXPECT_EQ(LineCrossLine(line2d{{0, 1}, {2, 2}}, line2d{{4, 0}, {-1, 1}}, p), 1);
    EXPECT_LE(std::sqrt(DistanceSqr(line2d{{0, 1}, {2, 2}}, p)) +
                  std::sqrt(DistanceSqr(line2d{{4, 0}, {-1, 1}}, p)),
              1e-12);
    EXPECT_EQ(LineCrossLine(line2d{{0, 0}, {1, 1}}, line2d{{0, 1}, {2, 2}}, p), 0);
    EXPECT_EQ(LineCrossLine({3, 3}, {1, 1}, {3, 3}, {1, 1}, p), 2);
    EXPECT_EQ(p, (vec2d{3, 3}));

    vec3d q{9, 9, 9};
    const line3d a{{0, 0, 0}, {1, 0, 0}}, b{{5, -3, 2}, {0, 2, 0}};
    ASSERT_TRUE(GetIntersection(a, b, q));
    EXPECT_LE(DistanceSqr(q, vec3d{5, 0, 1}), 1e-24);
    const line3d skew{{1, 1, 1}, {1, -2, 0.5}}, c2{{0, 4, -1}, {0.3, 1, 1}};
    ASSERT_TRUE(GetIntersection(skew, c2, q));
    EXPECT_NEAR(DistanceSqr(skew, q), DistanceSqr(c2, q), 1e-12); // the midpoint is equidistant

    EXPECT_FALSE(GetIntersection(a, line3d{{0, 1, 0}, {-3, 0, 0}}, q));
    EXPECT_FALSE(GetLineNearest(line2d{{1, 1}, {0, 0}}, {5, 5}, p));
    EXPECT_FALSE(GetLineNearest(line3d{{1, 1, 1}, {1e-9, 0, 0}}, {5, 5, 5}, q));
    EXPECT_FALSE(GetPlaneNearest(plane3d{{0, 0, 0}, 1}, {5, 5, 5}, q));
    EXPECT_EQ(DistanceSqr(line2d{{1, 1}, {0, 0}}, {4, 5}), 25);
    EXPECT_EQ(DistanceSqr(plane3d{{0, 0, 0}, 1}, {4, 5, 6}), DBL_MAX);
}

} // namespace
