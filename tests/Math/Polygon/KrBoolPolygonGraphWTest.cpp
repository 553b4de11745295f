// The polygon graphs: record merging, snapping, splitting, crossings, extraction and its failures.
#include "Math/Polygon/KrBoolPolygonGraphW.h"
#include "Math/Polygon/KrOldPolygonGraph.h"
#include "Math/Polygon/KrPolygonGraphW.h"

#include "KrRecordingProgress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>

using namespace kr;
using TTypes = TPolygonGraphTypes;

namespace {

TKrContour Rect(double x0, double y0, double x1, double y1) {
    return {vec3d(x0, y0, 0), vec3d(x1, y0, 0), vec3d(x1, y1, 0), vec3d(x0, y1, 0)};
}

TKrLimits2d Lim(double x0, double y0, double x1, double y1) {
    return TKrLimits2d(vec2d(x0, y0), vec2d(x1, y1));
}

double Area(const TKrContour& c) {
    double s = 0;
    for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++)
        s += (c[j].x - c[i].x) * (c[j].y + c[i].y);
    return s / 2;
}

double Area(const TKrPlanarSet& s) {
    double a = 0;
    for (const TKrDomain& d : s)
        for (const TKrContour& c : d)
            a += Area(c);
    return a;
}

std::string Text(const TKrMessage& m) {
    return m.std_str();
}

} // namespace

TEST(KrPolygonGraphTypes, BoolRecordsCountPassesAndCancelOppositeOnes) {
    TTypes::TBoolEdgeIndexes r;
    r.merge(0, 0);
    r.merge(0, 0);
    r.merge(1, 1);
    EXPECT_EQ(r.Index[0].Count, 2u);
    EXPECT_EQ(r.Index[0].Dir, 0);
    EXPECT_EQ(r.Index[1].Dir, 1);
    r.merge(1, 0); // one pass back: 2 − 1
    EXPECT_EQ(r.Index[0].Count, 1u);
    EXPECT_EQ(r.Index[0].Dir, 0);
    r.merge(1, 0);
    EXPECT_EQ(r.Index[0].Count, 0u);
    EXPECT_EQ(r.Index[0].Dir, TTypes::kDirNone);

    // Whole records: the larger side wins, equal sides cancel; inverse flips the other first.
    TTypes::TBoolEdgeIndexes a, b;
    a.Index[0] = {0, 0, 3};
    a.Index[1] = {0, 1, 2};
    b.Index[0] = {0, 1, 5};
    b.Index[1] = {0, 0, 2};
    TTypes::TBoolEdgeIndexes m = a;
    m.merge(b);
    EXPECT_EQ(m.Index[0].Dir, 1);
    EXPECT_EQ(m.Index[0].Count, 2u);
    EXPECT_EQ(m.Index[1].Dir, TTypes::kDirNone);
    EXPECT_EQ(m.Index[1].Count, 0u);
    m = a;
    m.merge_inverse(b);
    EXPECT_EQ(m.Index[0].Dir, 0);
    EXPECT_EQ(m.Index[0].Count, 8u);
    EXPECT_EQ(m.Index[1].Dir, 1);
    EXPECT_EQ(m.Index[1].Count, 4u);
}

TEST(KrPolygonGraphTypes, ManyInputRecordsAppendAndCancelByIndex) {
    TTypes::TEdgeIndexes r;
    r.merge(0, 7);
    r.merge(0, 7);
    r.merge(1, 9);
    std::uint8_t dir = 42;
    EXPECT_TRUE(r.contains(9, &dir));
    EXPECT_EQ(dir, 1);
    EXPECT_EQ(r.count(7, &dir), 2u);
    r.merge(1, 7); // cancels one forward pass of 7
    EXPECT_EQ(r.count(7, nullptr), 1u);
    TTypes::TEdgeIndexes o;
    o.merge(0, 9);
    r.merge_inverse(o); // 9 forward seen from the other way is 9 backward: appended
    EXPECT_EQ(r.count(9, &dir), 2u);
    r.merge(o); // 9 forward cancels one backward
    EXPECT_EQ(r.count(9, nullptr), 1u);
    EXPECT_FALSE(r.contains(3, &dir));
    EXPECT_EQ(dir, TTypes::kDirNone);
}

TEST(KrPolygonGraphTypes, SinexHONGrowsWithTheSignedTurn) {
    EXPECT_DOUBLE_EQ(GetSinexHON(vec2d(1, 0), vec2d(0, 1)), 1);
    const double r = std::sqrt(0.5);
    EXPECT_DOUBLE_EQ(GetSinexHON(vec2d(1, 0), vec2d(-r, r)), 2 - r);
    EXPECT_DOUBLE_EQ(GetSinexHON(vec2d(1, 0), vec2d(-r, -r)), -2 + r);
    double prev = -3;
    for (int deg = -179; deg <= 179; ++deg) {
        const double a = deg * M_PI / 180;
        const double v = GetSinexHON(vec2d(1, 0), vec2d(std::cos(a), std::sin(a)));
        EXPECT_GT(v, prev) << deg;
        prev = v;
    }
}

TEST(KrBoolPolygonGraphW, InitRejectsBadArgumentsWithTheirTexts) {
    TBoolPolygonGraphW g;
    const std::string sig = "@kr::TBoolPolygonGraphW::Init(const TKrLimits2d&, kr::CORRECT_MODE, double): ";
    try {
        g.Init(Lim(0, 0, 1, 1), CORRECT_MODE_2, 0);
        FAIL();
    } catch (const TKrMessage& m) {
        EXPECT_EQ(Text(m).rfind(sig + "Invalid argument \"Eps\" = 0", 0), 0u) << Text(m);
    }
    try {
        g.Init(Lim(0, 0, 1, 1), static_cast<CORRECT_MODE>(3), 0.1);
        FAIL();
    } catch (const TKrMessage& m) {
        EXPECT_EQ(Text(m), sig + "Invalid argument \"Mode\" = 3");
    }
    try {
        g.Init(TKrLimits2d(), CORRECT_MODE_1, 0.1);
        FAIL();
    } catch (const TKrMessage& m) {
        EXPECT_EQ(Text(m), sig + "Invalid argument \"Lim\"");
    }
    EXPECT_THROW(g.SetEps(-1), TKrMessage);
    g.Init(Lim(0, 0, 1, 1), CORRECT_MODE_1, 0.25);
    EXPECT_DOUBLE_EQ(g.Tolerances().EpsNode2, 0.0625);
    EXPECT_DOUBLE_EQ(g.Tolerances().EpsDiag, 0.355);
}

TEST(KrBoolPolygonGraphW, SameSquareForBothOperandsSharesEveryEdge) {
    TBoolPolygonGraphW g(Lim(-1, -1, 2, 2), CORRECT_MODE_2, 1e-6);
    g.PutBegin();
    g.Put(Rect(0, 0, 1, 1), 0, 0);
    g.Put(Rect(0, 0, 1, 1), 0, 1);
    EXPECT_EQ(g.NodesCount(), 8u); // nothing resolved inside the bracket
    g.PutEnd();
    EXPECT_EQ(g.NodesCount(), 4u);
    ASSERT_EQ(g.EdgesCount(), 4u);
    for (const auto& e : g.Graph().Edges()) {
        if (!e.alive()) continue;
        EXPECT_EQ(e.Data.Indexes.Index[0].Count, 1u);
        EXPECT_EQ(e.Data.Indexes.Index[1].Count, 1u);
    }
    for (int op = 0; op < 2; ++op) {
        TKrPlanarSet s;
        g.Get(s, op);
        ASSERT_EQ(s.size(), 1u);
        ASSERT_EQ(s[0].size(), 1u);
        EXPECT_EQ(s[0][0].size(), 4u);
        EXPECT_DOUBLE_EQ(Area(s), 1);
    }
    EXPECT_NO_THROW(g.Check("same square"));
    EXPECT_NO_THROW(g.CheckEdgeIndexes());
}

TEST(KrBoolPolygonGraphW, OppositePassesOfOneOperandCancel) {
    TBoolPolygonGraphW g(Lim(-1, -1, 2, 2), CORRECT_MODE_2, 1e-6);
    g.PutBegin();
    g.Put(Rect(0, 0, 1, 1), 0, 0);
    g.Put(Rect(0, 0, 1, 1), 1, 0);
    g.PutEnd();
    EXPECT_EQ(g.EdgesCount(), 0u);
    EXPECT_EQ(g.NodesCount(), 0u);
    TKrPlanarSet s;
    g.Get(s, 0);
    EXPECT_TRUE(s.empty());
}

TEST(KrBoolPolygonGraphW, NearlySharedSideBecomesOneEdgeAndAreasSurvive) {
    // The right square's left side sits eps/3 off the left square's right side, with its
    // corners shifted along it, so the nodes have to be snapped and the edges split.
    const double eps = 1e-3;
    for (unsigned passes : {0u, 1u, 3u}) {
        TBoolPolygonGraphW g(Lim(-1, -1, 3, 3), CORRECT_MODE_2, eps);
        g.SetPassesCount(passes);
        g.PutBegin();
        g.Put(Rect(0, 0, 1, 1), 0, 0);
        g.Put(Rect(1 + eps / 3, 0.25, 2, 0.75), 0, 1);
        g.PutEnd();
        int shared = 0;
        for (const auto& e : g.Graph().Edges())
            if (e.alive() && e.Data.Indexes.Index[0].Count && e.Data.Indexes.Index[1].Count) {
                ++shared;
                EXPECT_NE(e.Data.Indexes.Index[0].Dir,
                          e.Data.Indexes.Index[1].Dir); // neighbours run opposite
            }
        EXPECT_EQ(shared, 1) << passes;
        TKrPlanarSet a, b;
        g.Get(a, 0, GRAPH_GET_DROP_COLLINEAR);
        g.Get(b, 1);
        EXPECT_NEAR(Area(a), 1, 2 * eps) << passes;
        EXPECT_NEAR(Area(b), 0.5, 2 * eps) << passes;
    }
}

TEST(KrBoolPolygonGraphW, MultiPassReportsEachPassOnceAndOnlyFirstTime) {
    struct TMessages : krtest::TRecordingProgress {
        std::vector<std::string> texts;
        void SetMessage(const std::string& m) override { texts.push_back(m); }
    } p;
    TBoolPolygonGraphW g(Lim(-1, -1, 2, 2), CORRECT_MODE_2, 1e-6);
    g.PutBegin();
    g.Put(Rect(0, 0, 1, 1), 0, 0);
    g.PutEnd(&p);
    ASSERT_EQ(p.texts.size(), 3u);
    EXPECT_EQ(p.texts[0], "Resolving the polygon graph: pass 1 of 3");
    EXPECT_EQ(p.texts[2], "Resolving the polygon graph: pass 3 of 3");
    EXPECT_FALSE(g.MultiPass());
    EXPECT_DOUBLE_EQ(g.Tolerances().EpsNode, 1e-6); // restored after eps/4 and eps/2
    g.Put(Rect(2, 0, 3, 1), 0, 1);
    EXPECT_EQ(p.texts.size(), 3u);

    p.breakWanted = true;
    TBoolPolygonGraphW h(Lim(-1, -1, 2, 2), CORRECT_MODE_2, 1e-6);
    h.PutBegin();
    h.Put(Rect(0, 0, 1, 1), 0, 0);
    EXPECT_THROW(h.PutEnd(&p), TKrMessage);
}

TEST(KrBoolPolygonGraphW, CrossingsAreFoundAndNoded) {
    TBoolPolygonGraphW g(Lim(-1, -1, 3, 3), CORRECT_MODE_2, 1e-9);
    g.SetPassesCount(1);
    g.Put(TKrContour{vec3d(0, 0, 0), vec3d(2, 2, 0)}, false, 0, 0);
    g.Put(TKrContour{vec3d(0, 2, 0), vec3d(2, 0, 0)}, false, 0, 1);
    std::vector<TBoolPolygonGraphW::TEdge*> edges;
    g.GetEdges(Lim(0, 0, 2, 2), edges);
    ASSERT_EQ(edges.size(), 2u);
    auto* crossed = g.GetCrossedEdge(edges[0]);
    ASSERT_EQ(crossed, edges[1]);
    vec2d p;
    ASSERT_TRUE(TBoolPolygonGraphW::intersection(edges[0], crossed, p));
    EXPECT_DOUBLE_EQ(p.x, 1);
    EXPECT_DOUBLE_EQ(p.y, 1);
    auto* n = g.InsertNode(p);
    EXPECT_EQ(n->Edges.size(), 4u);
    EXPECT_EQ(g.EdgesCount(), 4u);
    g.GetEdges(Lim(0, 0, 2, 2), edges);
    for (auto* e : edges)
        EXPECT_EQ(g.GetCrossedEdge(e), nullptr);
    // Segments that only touch are not crossings.
    EXPECT_EQ(g.InsertCrossings(), 0u);
}

TEST(KrBoolPolygonGraphW, HolesGoToTheInnermostOuterContour) {
    // A frame with a hole, an island inside the hole, and a separate square: holes run clockwise.
    TKrContour hole = Rect(2, 2, 8, 8);
    std::reverse(hole.begin(), hole.end());
    TKrPlanarSet in = {{Rect(0, 0, 10, 10), hole}, {Rect(4, 4, 6, 6)}, {Rect(20, 0, 21, 1)}};
    TBoolPolygonGraphW g(Lim(-1, -1, 22, 11), CORRECT_MODE_2, 1e-7);
    g.Put(in, 0, 0);
    TKrPlanarSet out;
    g.Get(out, 0);
    ASSERT_EQ(out.size(), 3u);
    std::size_t withHole = 0;
    for (const TKrDomain& d : out) {
        EXPECT_GT(Area(d[0]), 0);
        if (d.size() == 2) {
            withHole++;
            EXPECT_DOUBLE_EQ(Area(d[0]), 100);
            EXPECT_DOUBLE_EQ(Area(d[1]), -36);
        }
    }
    EXPECT_EQ(withHole, 1u);
    EXPECT_DOUBLE_EQ(Area(out), 100 - 36 + 4 + 1);
}

TEST(KrBoolPolygonGraphW, TouchingCornersComeBackAsSeparateContours) {
    TBoolPolygonGraphW g(Lim(-1, -1, 3, 3), CORRECT_MODE_2, 1e-7);
    g.PutBegin();
    g.Put(Rect(0, 0, 1, 1), 0, 0);
    g.Put(Rect(1, 1, 2, 2), 0, 0);
    g.PutEnd();
    TKrPlanarSet out;
    g.Get(out, 0);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[0][0].size(), 4u);
    EXPECT_EQ(out[1][0].size(), 4u);
}

TEST(KrBoolPolygonGraphW, BrokenBoundaryFailsWithLocationAndReason) {
    TBoolPolygonGraphW g(Lim(-1, -1, 3, 3), CORRECT_MODE_2, 1e-7);
    g.Put(TKrContour{vec3d(0, 0, 0), vec3d(1, 0, 0), vec3d(1, 1, 0)}, false, 0, 1);
    TKrPlanarSet out;
    try {
        g.Get(out, 1);
        FAIL();
    } catch (const TKrMessage& m) {
        EXPECT_EQ(Text(m).rfind("@src/Math/Polygon/BoolPolygonGraphW: ", 0), 0u) << Text(m);
        ASSERT_NE(m.GetTrace(), nullptr);
        EXPECT_EQ(Text(m.GetTrace()->front()), "@Index 1: Contact not found");
    }
    // A lone clockwise contour is a hole without an owner.
    TBoolPolygonGraphW h(Lim(-1, -1, 3, 3), CORRECT_MODE_2, 1e-7);
    h.Put(Rect(0, 0, 1, 1), 1, 0);
    try {
        h.Get(out, 0);
        FAIL();
    } catch (const TKrMessage& m) {
        ASSERT_NE(m.GetTrace(), nullptr);
        EXPECT_EQ(Text(m.GetTrace()->front()), "@Index 0: Find Hole owner failed!");
    }
    std::vector<vec2d> buf(2);
    TBoolPolygonGraphW::TPlanarSet raw;
    g.Init(Lim(-1, -1, 3, 3), CORRECT_MODE_2, 1e-7);
    g.Put(Rect(0, 0, 1, 1), 0, 0);
    g.Get(raw, 0);
    EXPECT_THROW(TBoolPolygonGraphW::Convert(raw[0][0], buf.data(), buf.size()), TKrMessage);
}

TEST(KrPolygonGraphW, EveryInputIsRebuiltFromTheSharedGraph) {
    // Three unit squares in a row, each its own input; the old generation snaps on insertion.
    for (int gen = 0; gen < 2; ++gen) {
        TPolygonGraphW w(Lim(-1, -1, 4, 2), CORRECT_MODE_1, 1e-6);
        old::TPolygonGraph o(Lim(-1, -1, 4, 2), CORRECT_MODE_1, 1e-6);
        TPolygonGraphW& g = gen ? static_cast<TPolygonGraphW&>(o) : w;
        g.PutBegin();
        for (int i = 0; i < 3; ++i)
            g.Put(Rect(i, 0, i + 1 + (i == 1 ? 1e-7 : 0), 1), 0, 10 + i);
        g.PutEnd();
        EXPECT_EQ(g.NodesCount(), 8u);
        for (int i = 0; i < 3; ++i) {
            TKrPlanarSet s;
            g.Get(s, 10 + i);
            ASSERT_EQ(s.size(), 1u);
            EXPECT_NEAR(Area(s), 1, 1e-6);
        }
        TKrPlanarSet none;
        g.Get(none, 3);
        EXPECT_TRUE(none.empty());
    }
    old::TBoolPolygonGraph b(Lim(-1, -1, 2, 2), CORRECT_MODE_2, 1e-6);
    EXPECT_EQ(b.PassesCount(), 0u);
}
