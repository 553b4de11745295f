// Every spatial index against brute force and Boost.Geometry's rtree on random and adversarial scenes.
#include "Math/Index/KrPointsQuadTree.h"
#include "Math/Index/KrQuadTree.h"
#include "Math/Index/KrStaticPointsGrid.h"
#include "Math/Index/KrStaticQuadTree.h"
#include "System/KrFsTestUtils.h"

// The rtree's packing sort trips g++ 12's maybe-uninitialized analysis inside libstdc++'s heap code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <functional>
#include <limits>
#include <memory>
#include <random>

using namespace kr;
using TIds = std::vector<std::uint64_t>;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

struct TScene {
    const char* name;
    limits2d limits;
    std::vector<vec2d> points;
    std::vector<limits2d> boxes;
    std::vector<limits2d> queries;
};

limits2d Box(double x0, double y0, double x1, double y1) {
    return limits2d({x0, y0}, {x1, y1});
}

/// Limits (0, 0)–(16, 16) or a long strip; points random, on cell borders and the limits, outside
/// them, or piled into one cell; queries random, zero-sized, on borders, outside, huge, infinite.
std::vector<TScene> Scenes() {
    std::mt19937_64 gen(20261205);
    auto uni = [&](double a, double b) { return std::uniform_real_distribution<double>(a, b)(gen); };
    auto grid = [&](int a, int b) { return double(std::uniform_int_distribution<int>(a, b)(gen)); };
    std::vector<TScene> scenes;

    TScene random{"random", Box(0, 0, 16, 16), {}, {}, {}};
    for (int i = 0; i < 3000; ++i) {
        random.points.push_back({uni(0, 16), uni(0, 16)});
        const double x = uni(-1, 16), y = uni(-1, 16);
        random.boxes.push_back(Box(x, y, x + uni(0, 3) * uni(0, 1), y + uni(0, 3) * uni(0, 1)));
    }
    for (int i = 0; i < 300; ++i) {
        const double x = uni(-2, 17), y = uni(-2, 17), s = uni(0, 8) * uni(0, 1);
        random.queries.push_back(Box(x, y, x + s, y + s * uni(0, 2)));
    }
    scenes.push_back(random);

    TScene borders{"borders", Box(0, 0, 16, 16), {}, {}, {}};
    for (int i = 0; i < 1500; ++i) {
        borders.points.push_back({grid(0, 16), grid(0, 16) / 2});
        const double x = grid(0, 16), y = grid(0, 16);
        borders.boxes.push_back(Box(x, y, x + grid(0, 2), y + grid(0, 1)));
    }
    for (int i = 0; i < 300; ++i) {
        const double x = grid(-1, 16), y = grid(-1, 16);
        borders.queries.push_back(Box(x, y, x + grid(0, 4) * (i % 3 != 0), y + grid(0, 4) * (i % 3 != 0)));
    }
    scenes.push_back(borders);

    // A long strip, with most points and boxes beyond it: above, below, far away, huge.
    TScene outside{"outside", Box(-3, 10, 29, 18), {}, {}, {}};
    for (int i = 0; i < 2000; ++i) {
        const double far = i % 50 == 0 ? 1e300 : 1;
        outside.points.push_back({uni(-40, 70) * far, uni(-10, 40)});
        const double x = uni(-40, 70), y = uni(-10, 40);
        outside.boxes.push_back(Box(x, y, x + uni(0, 5), y + uni(0, 5) * far));
    }
    for (int i = 0; i < 300; ++i) {
        const double x = uni(-60, 90), y = uni(-20, 50), s = uni(0, 20);
        outside.queries.push_back(Box(x, y, x + s, y + s / 4));
    }
    for (const limits2d& q :
         {Box(-1e308, -1e308, 1e308, 1e308), Box(-kInf, -kInf, kInf, kInf), Box(-kInf, 17, 0, kInf),
          Box(1e299, 0, kInf, 30), Box(29, 18, 29, 18), Box(-3, 10, -3, 10)})
        outside.queries.push_back(q);
    scenes.push_back(outside);

    // Many ids in one cell and a few elsewhere: buckets overflow down to the finest level.
    TScene pile{"pile", Box(0, 0, 16, 16), {}, {}, {}};
    for (int i = 0; i < 700; ++i) {
        pile.points.push_back(i % 7 ? vec2d(5.25, 9.5 + (i % 3) * 0.1) : vec2d(uni(0, 16), uni(0, 16)));
        pile.boxes.push_back(Box(5.25, 9.5, 5.25 + (i % 4) * 0.2, 9.75));
    }
    for (int i = 0; i < 100; ++i) {
        const double x = uni(4, 7), y = uni(8, 11);
        pile.queries.push_back(Box(x, y, x + uni(0, 1), y + uni(0, 1)));
    }
    scenes.push_back(pile);
    for (TScene& s : scenes) // a zero-sized query on every tenth point
        for (std::size_t i = 0; i < s.points.size(); i += 10)
            s.queries.push_back(limits2d(s.points[i], s.points[i]));
    return scenes;
}

TIds ExactPoints(const std::vector<vec2d>& points, const std::vector<bool>& alive, const limits2d& q) {
    TIds ids;
    for (std::size_t i = 0; i < points.size(); ++i)
        if (alive[i] && q.contains(points[i])) ids.push_back(i);
    return ids;
}

TIds ExactBoxes(const std::vector<limits2d>& boxes, const std::vector<bool>& alive, const limits2d& q) {
    TIds ids;
    for (std::size_t i = 0; i < boxes.size(); ++i)
        if (alive[i] && q.intersects(boxes[i])) ids.push_back(i);
    return ids;
}

/// Checks one query's candidates: no id twice, and exactly `exact` left after `isHit`.
void ExpectCandidates(TIds candidates, const TIds& exact, const std::function<bool(std::uint64_t)>& isHit,
                      const std::string& where) {
    std::sort(candidates.begin(), candidates.end());
    EXPECT_EQ(std::adjacent_find(candidates.begin(), candidates.end()), candidates.end()) << where;
    TIds hits;
    std::copy_if(candidates.begin(), candidates.end(), std::back_inserter(hits), isHit);
    EXPECT_EQ(hits, exact) << where;
}

/// A point index under test: built from a scene's points (ids = positions), then queried.
struct TPointIndex {
    const char* name;
    std::function<std::function<void(const limits2d&, TIds&)>(const TScene&)> build;
};

std::function<void(const limits2d&, TIds&)> StaticGrid(const TScene& s, std::uint32_t nx, std::uint32_t ny) {
    auto g = std::make_shared<TStaticPointsGrid>();
    g->Init(s.limits, nx, ny);
    for (const vec2d& p : s.points)
        g->InitPoint(p);
    g->AddPointBegin();
    for (std::size_t i = 0; i < s.points.size(); ++i)
        g->AddPoint(s.points[i], i);
    g->AddPointEnd();
    return [g](const limits2d& q, TIds& ids) { g->GetRect(q, ids); };
}

std::function<void(const limits2d&, TIds&)> StaticTree(const TScene& s, int levels, bool propagate) {
    auto t = std::make_shared<TStaticQuadTree>();
    t->Init(s.limits, levels);
    for (const vec2d& p : s.points)
        t->InitPoint(p);
    t->AddPointBegin();
    for (std::size_t i = 0; i < s.points.size(); ++i)
        t->AddPoint(s.points[i], i);
    t->AddPointEnd(propagate);
    return [t](const limits2d& q, TIds& ids) { t->GetRect(q, ids); };
}

/// A dynamic tree made by Init(min, max, args...) and one AddObject per point.
template <class TTree, class... A>
std::function<void(const limits2d&, TIds&)> Dynamic(const TScene& s, A... initArgs) {
    auto t = std::make_shared<TTree>();
    t->Init(s.limits.min, s.limits.max, initArgs...);
    for (std::size_t i = 0; i < s.points.size(); ++i)
        t->AddObject(i, s.points[i]);
    return [t](const limits2d& q, TIds& ids) { t->GetRect(q.min, q.max, ids); };
}

const TPointIndex kPointIndexes[] = {
    {"TQuadTree", [](const TScene& s) { return Dynamic<TQuadTree>(s, 5); }},
    {"TPointsQuadTree K=4", [](const TScene& s) { return Dynamic<TPointsQuadTree>(s, 7, 4u); }},
    {"TPointsQuadTree K=0", [](const TScene& s) { return Dynamic<TPointsQuadTree>(s, 3, 0u); }},
    {"TStaticPointsGrid 16x16", [](const TScene& s) { return StaticGrid(s, 16, 16); }},
    {"TStaticPointsGrid 7x5", [](const TScene& s) { return StaticGrid(s, 7, 5); }},
    {"TStaticQuadTree propagated", [](const TScene& s) { return StaticTree(s, 5, true); }},
    {"TStaticQuadTree plain", [](const TScene& s) { return StaticTree(s, 6, false); }},
    {"TStaticQuadTree deep", [](const TScene& s) { return StaticTree(s, 13, true); }}, // counted on the tree
};

namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;
using TBgPoint = bg::model::point<double, 2, bg::cs::cartesian>;
using TBgBox = bg::model::box<TBgPoint>;

TBgBox BgBox(const limits2d& b) {
    return TBgBox(TBgPoint(b.min.x, b.min.y), TBgPoint(b.max.x, b.max.y));
}
} // namespace

TEST(KrSpatialIndex, PointCandidatesHoldExactlyTheBruteForceHits) {
    for (const TScene& s : Scenes()) {
        const std::vector<bool> alive(s.points.size(), true);
        for (const TPointIndex& index : kPointIndexes) {
            const auto query = index.build(s);
            TIds ids;
            for (std::size_t qi = 0; qi < s.queries.size(); ++qi) {
                const limits2d& q = s.queries[qi];
                query(q, ids);
                ExpectCandidates(
                    ids, ExactPoints(s.points, alive, q),
                    [&](std::uint64_t id) { return q.contains(s.points[id]); },
                    std::string(s.name) + " " + index.name + " query " + std::to_string(qi));
            }
            for (const limits2d& bad : {Box(kNaN, 0, 16, 16), Box(0, 0, 16, kNaN), Box(8, 0, 7, 16)}) {
                ids = {1};
                query(bad, ids);
                EXPECT_TRUE(ids.empty()) << index.name;
            }
        }
    }
}

TEST(KrSpatialIndex, RectanglesAndDeletionsInTheQuadTrees) {
    for (const TScene& s : Scenes()) {
        TQuadTree boxes, points;
        TPointsQuadTree buckets;
        boxes.Init(s.limits.min, s.limits.max, 6);
        points.Init(s.limits.min, s.limits.max, 4);
        buckets.Init(s.limits.min, s.limits.max, 8, 3);
        std::vector<TQuadTree::TObjectHandle> handles(s.boxes.size());
        for (std::size_t i = 0; i < s.boxes.size(); ++i)
            boxes.AddObject(i, s.boxes[i].max, s.boxes[i].min, &handles[i]); // corners in any order
        for (std::size_t i = 0; i < s.points.size(); ++i) {
            points.AddObject(i, s.points[i]);
            buckets.AddObject(i, s.points[i]);
        }
        // Remove every third object, each way a caller can name it, and some that are not there.
        std::vector<bool> boxAlive(s.boxes.size(), true), pointAlive(s.points.size(), true);
        for (std::size_t i = 0; i < s.boxes.size(); i += 3) {
            const bool byHandle = i % 2 == 0;
            EXPECT_TRUE(byHandle ? boxes.DeleteObject(i, handles[i])
                                 : boxes.DeleteObject(i, s.boxes[i].min, s.boxes[i].max));
            boxAlive[i] = false;
        }
        for (std::size_t i = 0; i < s.points.size(); i += 3) {
            EXPECT_TRUE(points.DeleteObject(i, s.points[i]));
            EXPECT_TRUE(buckets.DeleteObject(i, s.points[i]));
            pointAlive[i] = false;
        }
        EXPECT_FALSE(boxes.DeleteObject(0, handles[0]));
        EXPECT_FALSE(points.DeleteObject(1u << 30, s.points[1]));
        EXPECT_FALSE(buckets.DeleteObject(0, s.points[0]));
        EXPECT_FALSE(buckets.DeleteObject(1, {s.limits.min.x - 1e9, s.limits.max.y + 1e9}));
        EXPECT_FALSE(buckets.DeleteObject(1, {kNaN, 0}));

        TIds ids;
        for (std::size_t qi = 0; qi < s.queries.size(); ++qi) {
            const limits2d& q = s.queries[qi];
            const std::string where = std::string(s.name) + " query " + std::to_string(qi);
            boxes.GetRect(q.min, q.max, ids);
            ExpectCandidates(
                ids, ExactBoxes(s.boxes, boxAlive, q),
                [&](std::uint64_t id) { return q.intersects(s.boxes[id]); }, where + " rectangles");
            const TIds exact = ExactPoints(s.points, pointAlive, q);
            const auto isHit = [&](std::uint64_t id) { return q.contains(s.points[id]); };
            points.GetRect(q.min, q.max, ids);
            ExpectCandidates(ids, exact, isHit, where + " points");
            buckets.GetRect(q.min, q.max, ids);
            ExpectCandidates(ids, exact, isHit, where + " buckets");
        }
    }
}

TEST(KrSpatialIndex, ExactHitsAgreeWithBoostRtree) {
    const TScene s = Scenes().front();
    bgi::rtree<std::pair<TBgPoint, std::uint64_t>, bgi::rstar<16>> pointTree;
    bgi::rtree<std::pair<TBgBox, std::uint64_t>, bgi::rstar<16>> boxTree;
    TQuadTree boxes;
    boxes.Init(s.limits.min, s.limits.max, 6);
    for (std::size_t i = 0; i < s.points.size(); ++i) {
        pointTree.insert({TBgPoint(s.points[i].x, s.points[i].y), i});
        boxTree.insert({BgBox(s.boxes[i]), i});
        boxes.AddObject(i, s.boxes[i].min, s.boxes[i].max);
    }
    const auto grid = StaticGrid(s, 8, 8);
    TIds ids, candidates;
    std::size_t hits = 0;
    for (const limits2d& q : s.queries) {
        std::vector<std::pair<TBgPoint, std::uint64_t>> foundPoints;
        pointTree.query(bgi::intersects(BgBox(q)), std::back_inserter(foundPoints));
        ids.clear();
        for (const auto& f : foundPoints)
            ids.push_back(f.second);
        std::sort(ids.begin(), ids.end());
        grid(q, candidates);
        ExpectCandidates(
            candidates, ids, [&](std::uint64_t id) { return q.contains(s.points[id]); }, "points");
        hits += ids.size();

        std::vector<std::pair<TBgBox, std::uint64_t>> foundBoxes;
        boxTree.query(bgi::intersects(BgBox(q)), std::back_inserter(foundBoxes));
        ids.clear();
        for (const auto& f : foundBoxes)
            ids.push_back(f.second);
        std::sort(ids.begin(), ids.end());
        boxes.GetRect(q.min, q.max, candidates);
        ExpectCandidates(
            candidates, ids, [&](std::uint64_t id) { return q.intersects(s.boxes[id]); }, "rectangles");
    }
    EXPECT_GT(hits, s.queries.size()); // the comparison was not vacuous
}

TEST(KrSpatialIndex, KrtoolListsTheLinesMeetingAWindow) {
    const std::string krtool = KrFsTest::Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    KrFsTest::TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const TScene s = Scenes()[1]; // points and boxes on cell borders
    std::string points = "x,y\n", boxes;
    auto number = [](double v) {
        char text[32];
        return std::string(text, std::to_chars(text, text + sizeof text, v).ptr);
    };
    for (std::size_t i = 0; i < 400; ++i) {
        points += number(s.points[i].x) + "," + number(s.points[i].y) + "\n";
        boxes += number(s.boxes[i].min.x) + ", " + number(s.boxes[i].min.y) + "," + number(s.boxes[i].max.x) +
                 "," + number(s.boxes[i].max.y) + "\r\n";
    }
    dir.Write("points.csv", points);
    dir.Write("boxes.csv", boxes);
    // Under a locale writing 1,5 the numbers still read the same.
    const std::string run = "LC_ALL=de_DE.UTF-8 " + krtool + "index ";
    for (const limits2d& q : {Box(2, 1, 5, 3.5), Box(0, 0, 16, 16), Box(7, 7, 7, 7), Box(-3, -3, -1, -1)}) {
        const std::string window = "--window " + number(q.min.x) + "," + number(q.min.y) + "," +
                                   number(q.max.x) + "," + number(q.max.y) + " ";
        std::string expectPoints, expectBoxes;
        for (std::size_t i = 0; i < 400; ++i) {
            if (q.contains(s.points[i])) expectPoints += std::to_string(i + 2) + "\n"; // after the header
            if (q.intersects(s.boxes[i])) expectBoxes += std::to_string(i + 1) + "\n";
        }
        for (const char* kind : {"quadtree", "points", "grid", "static"})
            EXPECT_EQ(KrFsTest::RunShell(dir.path, run + window + "--kind " + kind + " points.csv"),
                      expectPoints)
                << kind;
        EXPECT_EQ(KrFsTest::RunShell(dir.path, run + window + "boxes.csv"), expectBoxes);
        const std::string all =
            KrFsTest::RunShell(dir.path, run + window + "--candidates --kind grid points.csv");
        EXPECT_NE(all.find(expectPoints.substr(0, expectPoints.find('\n'))), std::string::npos);
    }
    int status = 0;
    KrFsTest::RunShell(dir.path, run + "--window 0,0,1,1 --kind grid boxes.csv 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
    dir.Write("bad.csv", "1,2\n3;4\n");
    KrFsTest::RunShell(dir.path, run + "--window 0,0,1,1 bad.csv 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
    KrFsTest::RunShell(dir.path, run + "--window 0,0,1 points.csv 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}
