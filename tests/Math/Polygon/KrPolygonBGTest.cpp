// The Boost.Geometry back end beyond the Booleans: merges with progress, buffers, repair, tests.
#include "KrRecordingProgress.h"
#include "Math/Polygon/KrDomainBool.h"
#include "Math/Polygon/KrPolygonBG.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TKrContour Rect(double x0, double y0, double x1, double y1) {
    return {{x0, y0, 0}, {x1, y0, 0}, {x1, y1, 0}, {x0, y1, 0}};
}

// n × n unit squares touching along their edges.
TKrPlanarSet Grid(int n) {
    TKrPlanarSet s;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            s.push_back({Rect(i, j, i + 1, j + 1)});
    return s;
}

} // namespace

TEST(PolygonBG, MergesTouchingDomainsIntoOneAndReportsProgress) {
    krtest::TRecordingProgress progress;
    TKrPlanarSet out;
    ASSERT_TRUE(bg::union_(Grid(6), out, 0, &progress));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size(), 1u);
    EXPECT_NEAR(GetPlanarSetArea(out), 36.0, 1e-12);
    ASSERT_FALSE(progress.positions.empty());
    for (std::size_t i = 1; i < progress.positions.size(); ++i)
        EXPECT_LE(progress.positions[i - 1], progress.positions[i]);
    EXPECT_EQ(progress.positions.back(), 1.0);

    // Sets given by value and by pointer (null skipped) merge alike; a ring of sets leaves a hole.
    TKrPlanarSet left = Grid(3), top{{Rect(3, 2, 5, 3)}}, right{{Rect(4, 0, 5, 2)}},
                 bottom{{Rect(3, 0, 4, 1)}};
    ASSERT_TRUE(bg::union_(std::vector<TKrPlanarSet>{left, top, right, bottom}, out, 0, nullptr));
    ASSERT_EQ(out.size(), 1u);
    ASSERT_EQ(out[0].size(), 2u);
    EXPECT_NEAR(GetPlanarSetArea(out), 9 + 2 + 2 + 1, 1e-12);
    ASSERT_TRUE(
        bg::union_(std::vector<const TKrPlanarSet*>{&left, nullptr, &top, &right, &bottom}, out, 0, nullptr));
    EXPECT_NEAR(GetPlanarSetArea(out), 14.0, 1e-12);

    // A requested break stops the merge with the handler's exception.
    krtest::TRecordingProgress stop;
    stop.breakAfterFirst = true;
    EXPECT_THROW(bg::union_(Grid(4), out, 0, &stop), TKrMessage);
}

TEST(PolygonBG, DomainMergeCombinesOverlappingHoles) {
    const TKrDomain d{Rect(0, 0, 10, 10), Rect(1, 1, 4, 4), Rect(3, 3, 6, 6), Rect(8, 8, 12, 9)};
    TKrPlanarSet out;
    ASSERT_TRUE(bg::union_(d, out, 0));
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].size(), 2u); // the two overlapping holes became one; the last cuts the edge
    EXPECT_NEAR(GetPlanarSetArea(out), 100 - (9 + 9 - 1) - 2, 1e-12);
}

TEST(PolygonBG, BuffersFollowTheirParameters) {
    TKrPlanarSet out;
    bg::TBufferParams p;
    p.distance = 1;
    p.pointsPerCircle = 360;
    ASSERT_TRUE(bg::buffer(Rect(0, 0, 10, 10), p, out));
    EXPECT_NEAR(GetPlanarSetArea(out), 100 + 40 + M_PI, 1e-3);
    p.join = bg::TBufferParams::Join_Miter;
    ASSERT_TRUE(bg::buffer(Rect(0, 0, 10, 10), p, out));
    EXPECT_NEAR(GetPlanarSetArea(out), 144, 1e-9);
    p.distance = -1;
    ASSERT_TRUE(bg::buffer(TKrPlanarSet{{Rect(0, 0, 10, 10)}}, p, out));
    EXPECT_NEAR(GetPlanarSetArea(out), 64, 1e-9);

    const TKrContour line{{0, 0, 0}, {10, 0, 0}};
    bg::TBufferParams lp;
    lp.end = bg::TBufferParams::End_Flat;
    ASSERT_TRUE(bg::line_buffer(line, lp, out));
    EXPECT_NEAR(GetPlanarSetArea(out), 20, 1e-9);
    lp.asymmetric = true;
    lp.distance = 1;
    lp.distanceRight = 3;
    ASSERT_TRUE(bg::line_buffer(line, lp, out));
    EXPECT_NEAR(GetPlanarSetArea(out), 40, 1e-9);
    EXPECT_TRUE(bg::contains(vec3d(5, -2.5, 0), out, 0)); // the right of an eastward line is south
}

TEST(PolygonBG, ContainmentAndSelfIntersection) {
    const TKrDomain framed{Rect(0, 0, 10, 10), Rect(2, 2, 8, 8)};
    EXPECT_TRUE(bg::contains(vec3d(1, 1, 0), framed, 0));
    EXPECT_FALSE(bg::contains(vec3d(5, 5, 0), framed, 0));
    EXPECT_TRUE(bg::contains(vec3d(0, 5, 0), framed, 0)); // the boundary counts
    EXPECT_TRUE(bg::contains(Rect(0, 0, 1, 10), framed, 0));
    EXPECT_FALSE(bg::contains(Rect(0, 0, 3, 3), framed, 0));
    EXPECT_TRUE(bg::contains(Rect(4, 4, 5, 5), TKrPlanarSet{framed, {Rect(3, 3, 7, 7)}}, 0));

    const TKrContour bowtie{{0, 0, 0}, {2, 2, 0}, {2, 0, 0}, {0, 2, 0}};
    EXPECT_TRUE(bg::intersects(bowtie));
    EXPECT_FALSE(bg::intersects(Rect(0, 0, 1, 1)));
    EXPECT_FALSE(bg::intersects(framed));
    EXPECT_TRUE(bg::intersects(TKrDomain{Rect(0, 0, 10, 10), Rect(5, 5, 12, 6)}));
}

TEST(PolygonBG, KrtoolCombinesWktWithEveryBackend) {
    const std::string krtool = KrFsTest::Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    KrFsTest::TScratchDir dir;
    dir.Write("a.wkt", "POLYGON((0 0, 4 0, 4 4, 0 4, 0 0), (1 1, 1 2, 2 2, 2 1, 1 1))\n");
    dir.Write("b.wkt", "multipolygon(((3 3, 6 3, 6 6, 3 6, 3 3)), ((10 0, 11 0, 11 1, 10 1, 10 0)))");
    dir.Write("bad.wkt", "POLYGON((0 0, 1 x))");
    const std::string run = "LC_ALL=de_DE.UTF-8 " + krtool + "poly ";
    const std::pair<const char*, const char*> expected[] = {{"union", "area: 24\n"},
                                                            {"intersection", "area: 1\n"},
                                                            {"difference", "area: 14\n"},
                                                            {"xor", "area: 23\n"}};
    for (const char* backend : {"bg", "bp", "clipper", "kr", "align"})
        for (const auto& [op, area] : expected) {
            const std::string out = KrFsTest::RunShell(dir.path, run + op + " a.wkt b.wkt --backend " +
                                                                     backend + " --precision 0.5");
            EXPECT_NE(out.find(area), std::string::npos) << backend << " " << op << ": " << out;
        }
    EXPECT_EQ(KrFsTest::RunShell(dir.path, run + "area a.wkt"),
              "MULTIPOLYGON(((0 0, 4 0, 4 4, 0 4, 0 0), (1 1, 1 2, 2 2, 2 1, 1 1)))\narea: 15\n");
    int status = 0;
    KrFsTest::RunShell(dir.path, run + "area bad.wkt 2>/dev/null", &status);
    EXPECT_NE(status, 0);
    KrFsTest::RunShell(dir.path, run + "union a.wkt b.wkt --backend zz 2>/dev/null", &status);
    EXPECT_NE(status, 0);
    const std::string merged = KrFsTest::RunShell(
        dir.path, run + "union-all '" + std::string(KRSTD_TEST_SOURCE_DIR) + "/../samples/parcels.wkt'");
    EXPECT_NE(merged.find("area: 5000\n"), std::string::npos) << merged;
}
