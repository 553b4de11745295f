// polygon_align beyond the shared back-end table: precisions, repair, equality, validity and
// the multi-set unions.
#include "Core/KrMessage.h"
#include "Math/Polygon/KrDomainBool.h"
#include "Math/Polygon/KrPolygonAlign.h"
#include "Math/Polygon/KrPolygonBG.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

TKrContour Rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
}

} // namespace

TEST(PolygonAlign, GetEpsFollowsTheExtent) {
    EXPECT_DOUBLE_EQ(polygon_align::getEps(TKrLimits2d(vec2d(0, 0), vec2d(1000, 10))), 2e-4);
    EXPECT_DOUBLE_EQ(polygon_align::getEps(TKrLimits2d(vec2d(5, -3), vec2d(15, 997))), 2e-4);
    EXPECT_EQ(polygon_align::getEps(TKrLimits2d()), 1e-10);
    EXPECT_EQ(polygon_align::getEps(Rect(0, 0, 1e-5, 1e-5)), 1e-10); // the floor
    EXPECT_DOUBLE_EQ(polygon_align::getEps(TKrDomain{Rect(0, 0, 100, 1)}), 2e-5);
    EXPECT_DOUBLE_EQ(
        polygon_align::getEps(std::vector<TKrPlanarSet>{{{Rect(0, 0, 1, 1)}}, {{Rect(0, 0, 10, 50)}}}), 1e-5);
}

TEST(PolygonAlign, NearlyCoincidentBoundariesBecomeOne) {
    // b's left side lies 1e-7 right of a's right side: bg leaves a sliver gap, the aligned union
    // is one domain and the aligned intersection empty.
    const TKrContour a = Rect(0, 0, 10, 10), b = Rect(10 + 1e-7, 2, 20, 8);
    TKrPlanarSet out;
    ASSERT_TRUE(polygon_align::union_(a, b, out, 1e-5));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_NEAR(GetPlanarSetArea(out), 160.0, 1e-3);
    ASSERT_TRUE(polygon_align::intersection(a, b, out, kr::CORRECT_MODE_1, 1e-5));
    EXPECT_NEAR(GetPlanarSetArea(out), 0.0, 1e-9);
    ASSERT_TRUE(bg::union_(a, b, out, 0));
    EXPECT_EQ(out.size(), 2u);

    // AlignDomains makes the shared side exactly shared; clockwise input is accepted.
    TKrPlanarSet sa{{a}}, sb{{TKrContour(b.rbegin(), b.rend())}};
    ASSERT_TRUE(polygon_align::AlignDomains(sa, sb, kr::CORRECT_MODE_2, 1e-5, false));
    ASSERT_EQ(sa.size(), 1u);
    ASSERT_EQ(sb.size(), 1u);
    int shared = 0;
    for (const vec3d& p : sb[0][0])
        for (const vec3d& q : sa[0][0])
            shared += p.x == q.x && p.y == q.y;
    EXPECT_EQ(shared, 2);
    EXPECT_GT(GetPlanarSetArea(sb), 0.0);

    EXPECT_THROW(polygon_align::union_(a, b, out, kr::CORRECT_MODE(3), 1e-5), TKrMessage);
}

TEST(PolygonAlign, ResultsStayRightWhereAligningLeavesEdgesAHairApart) {
    const double precision = 1.0 / 1024;
    {
        // b's edge to (-1/16, -1/16) passes 1.5e-4 from the vertex both share at the origin:
        // aligning pinches b there into two parts whose edges leave the node 6e-5 rad apart,
        // where Boost.Geometry loses 32 of b - a. Exclusive or is still union minus intersection.
        const TKrContour a{{-1536, 10, 0}, {0, 0, 0}, {20, 2, 0}, {19.8125, 20, 0}};
        const TKrContour b{{1024, -0.0625, 0},        {0, 0, 0},
                           {1172.5625, 0, 0},         {1181, 1172.5625, 0},
                           {1172.5625, 1172.5625, 0}, {1168.0625, 1170.8125, 0},
                           {-0.0625, -0.0625, 0}};
        TKrPlanarSet u, i, x, d;
        ASSERT_TRUE(polygon_align::union_(a, b, u, precision));
        ASSERT_TRUE(polygon_align::intersection(a, b, i, precision));
        ASSERT_TRUE(polygon_align::xor_(a, b, x, precision));
        ASSERT_TRUE(polygon_align::difference(a, b, d, precision));
        EXPECT_NEAR(GetPlanarSetArea(x), GetPlanarSetArea(u) - GetPlanarSetArea(i), 0.1);
        EXPECT_NEAR(GetPlanarSetArea(d), GetContourArea(a) - GetPlanarSetArea(i), 0.1);
    }
    {
        // A sliver triangle whose edge aligns onto b's: Boost.Geometry's union of the aligned
        // operands came back empty.
        const TKrContour a{{2.375, 0, 0}, {0, 0, 0}, {10, -0.0625, 0}};
        const TKrContour b{{511.6875, 0.0625, 0}, {12.3125, 1056, 0}, {0, 0, 0}};
        TKrPlanarSet u, expected;
        ASSERT_TRUE(polygon_align::union_(a, b, u, precision));
        ASSERT_TRUE(bg::union_(a, b, expected, 0));
        EXPECT_NEAR(GetPlanarSetArea(u), GetPlanarSetArea(expected), 0.1);
    }
}

TEST(PolygonAlign, EqualsIgnoresVertexOrderButNotShape) {
    const TKrContour sq{{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
    // The same square clockwise from another start, with an extra vertex on a side.
    const TKrContour other{{4, 4, 0}, {4, 0, 0}, {2, 0, 0}, {0, 0, 0}, {0, 4, 0}};
    const TKrPlanarSet a{{sq}}, b{{other}};
    EXPECT_TRUE(polygon_align::equals(a, b, kr::CORRECT_MODE_2, 1e-6));
    EXPECT_TRUE(polygon_align::equals(a, TKrPlanarSet{{Rect(0, 0, 4, 4 + 1e-8)}}, kr::CORRECT_MODE_2, 1e-6));
    EXPECT_FALSE(polygon_align::equals(a, TKrPlanarSet{{Rect(0, 0, 4, 4.1)}}, kr::CORRECT_MODE_2, 1e-6));
    EXPECT_FALSE(polygon_align::equals(a, TKrPlanarSet{}, kr::CORRECT_MODE_2, 1e-6));
    EXPECT_TRUE(polygon_align::equals(TKrPlanarSet{}, TKrPlanarSet{}, kr::CORRECT_MODE_2, 1e-6));
}

TEST(PolygonAlign, IsValidNamesTheFirstProblemAndCorrectRepairsIt) {
    std::string reason = "stale";
    EXPECT_TRUE(polygon_align::is_valid(TKrPlanarSet{{Rect(0, 0, 1, 1), Rect(0.2, 0.2, 0.8, 0.8)}}, reason));
    EXPECT_EQ(reason, "");

    const TKrContour bowtie{{0, 0, 0}, {2, 2, 0}, {2, 0, 0}, {0, 2, 0}};
    EXPECT_FALSE(polygon_align::is_valid(TKrPlanarSet{{bowtie}}, reason));
    EXPECT_EQ(reason, "Contour 0 of domain 0 intersects itself");
    EXPECT_FALSE(polygon_align::is_valid(TKrPlanarSet{{Rect(0, 0, 2, 2)}, {Rect(1, 1, 3, 3)}}, reason));
    EXPECT_EQ(reason, "Domains overlap");
    EXPECT_FALSE(polygon_align::is_valid(TKrPlanarSet{{Rect(0, 0, 1, 1)}, {{{0, 0, 0}, {1, 1, 0}}}}, reason));
    EXPECT_EQ(reason, "Contour 0 of domain 1 has fewer than three distinct vertices");
    EXPECT_FALSE(polygon_align::is_valid(TKrPlanarSet{{Rect(0, 0, 4, 4), Rect(1, 1, 2, 2), Rect(5, 5, 6, 6)}},
                                         reason));
    EXPECT_EQ(reason, "Domain 0: a hole lies outside the outer contour");

    // The bow tie repaired: two triangles meeting at the crossing, which is now a vertex.
    TKrPlanarSet fixed;
    polygon_align::correct(bowtie, fixed, kr::CORRECT_MODE_2, 1e-6);
    EXPECT_NEAR(GetPlanarSetArea(fixed), 2.0, 1e-9);
    EXPECT_TRUE(polygon_align::is_valid(fixed, reason)) << reason;
    // Overlapping domains merged.
    polygon_align::correct(TKrPlanarSet{{Rect(0, 0, 2, 2)}, {Rect(1, 1, 3, 3)}}, fixed, kr::CORRECT_MODE_1,
                           1e-6);
    ASSERT_EQ(fixed.size(), 1u);
    EXPECT_NEAR(GetPlanarSetArea(fixed), 7.0, 1e-9);
    EXPECT_THROW(polygon_align::correct(bowtie, fixed, kr::CORRECT_MODE_2, 0), TKrMessage);
}

TEST(PolygonAlign, MultiSetUnionAgreesAcrossStrategies) {
    // A row of unit squares whose sides meet within 1e-8, plus one set with a hole and one
    // standing apart. 3 sets take the simple path, 20 the R-tree.
    for (int n : {3, 20}) {
        SCOPED_TRACE(n);
        std::vector<TKrPlanarSet> sets;
        for (int i = 0; i < n; ++i)
            sets.push_back({{Rect(i + (i % 2) * 1e-8, 0, i + 1, 1)}});
        sets.push_back({{Rect(0, 2, 3, 5), Rect(1, 3, 2, 4)}});
        sets.push_back({{Rect(100, 100, 101, 101)}});
        const double want = n + 8 + 1;
        std::vector<const TKrPlanarSet*> ptrs;
        for (const TKrPlanarSet& s : sets)
            ptrs.push_back(&s);
        ptrs.push_back(nullptr);

        TKrPlanarSet viaDefault, viaRtree, viaMap, viaSimple;
        ASSERT_TRUE(polygon_align::union_(sets, viaDefault, 1e-6, nullptr));
        ASSERT_TRUE(polygon_align::union_use_rtree(ptrs, viaRtree, kr::CORRECT_MODE_2, 1e-6, nullptr));
        ASSERT_TRUE(polygon_align::union_use_map(ptrs, viaMap, kr::CORRECT_MODE_2, 1e-6, nullptr));
        ASSERT_TRUE(polygon_align::union_simple(ptrs, viaSimple, kr::CORRECT_MODE_2, 1e-6, nullptr));
        for (const TKrPlanarSet* r : {&viaDefault, &viaRtree, &viaMap, &viaSimple}) {
            EXPECT_NEAR(GetPlanarSetArea(*r), want, 1e-6);
            // The row, the framed square and the one apart; the row is one domain despite the gaps.
            EXPECT_EQ(r->size(), 3u);
        }
        EXPECT_TRUE(polygon_align::equals(viaRtree, viaSimple, kr::CORRECT_MODE_2, 1e-6));
    }
    TKrPlanarSet out{{Rect(0, 0, 1, 1)}};
    ASSERT_TRUE(polygon_align::union_(std::vector<TKrPlanarSet>{}, out, 1e-6, nullptr));
    EXPECT_TRUE(out.empty());
}

TEST(PolygonAlign, CrossingsBecomeSharedVertices) {
    TKrPlanarSet a{{Rect(0, 0, 2, 2)}}, b{{Rect(1, 1, 3, 3)}};
    ASSERT_TRUE(polygon_align::AlignDomains(a, b, kr::CORRECT_MODE_2, 1e-9, true));
    for (const TKrPlanarSet* s : {&a, &b}) {
        ASSERT_EQ(s->size(), 1u);
        int crossings = 0;
        for (const vec3d& p : (*s)[0][0])
            crossings += (p.x == 2 && p.y == 1) || (p.x == 1 && p.y == 2);
        EXPECT_EQ(crossings, 2);
        EXPECT_DOUBLE_EQ(GetPlanarSetArea(*s), 4.0);
    }
    // Without the flag the boundaries keep their own vertices.
    TKrPlanarSet c{{Rect(0, 0, 2, 2)}}, d{{Rect(1, 1, 3, 3)}};
    ASSERT_TRUE(polygon_align::AlignDomains(c, d, kr::CORRECT_MODE_2, 1e-9, false));
    EXPECT_EQ(c[0][0].size(), 4u);
}

TEST(PolygonAlign, CorrectMergesOverlappingHolesAndKeepsIslandsApart) {
    // Two holes overlapping each other, given in either orientation, and a second domain apart.
    const TKrPlanarSet s{
        {Rect(0, 0, 10, 10), Rect(1, 1, 5, 5), TKrContour{{3, 3, 0}, {3, 7, 0}, {7, 7, 0}, {7, 3, 0}}},
        {Rect(20, 0, 21, 1)}};
    TKrPlanarSet out;
    polygon_align::correct(s, out, kr::CORRECT_MODE_2, 1e-6);
    EXPECT_NEAR(GetPlanarSetArea(out), 100 - (16 + 16 - 4) + 1, 1e-9);
    ASSERT_EQ(out.size(), 2u);
    std::string reason;
    EXPECT_TRUE(polygon_align::is_valid(out, reason)) << reason;
    EXPECT_TRUE(polygon_align::is_valid(TKrPlanarSet{}, reason));
}
