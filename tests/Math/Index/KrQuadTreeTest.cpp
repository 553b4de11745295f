// The quad trees, the static grid and the block allocator: placement, failures and node operations.
#include "Math/Index/KrBlockAllocator.h"
#include "Math/Index/KrPointsQuadTree.h"
#include "Math/Index/KrQuadTree.h"
#include "Math/Index/KrStaticPointsGrid.h"
#include "Math/Index/KrStaticQuadTree.h"

#include "KrThrownText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

using namespace kr;
using krtest::ThrownText;

namespace {
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

std::vector<std::uint64_t> Sorted(std::vector<std::uint64_t> v) {
    std::sort(v.begin(), v.end());
    return v;
}
} // namespace

TEST(KrBlockAllocator, ReusesFreedElementsAndKeepsBlocksOnClear) {
    TBlockAllocator<std::uint64_t, 4> a;
    std::uint64_t* first = a.New(1u);
    for (int i = 0; i < 4; ++i)
        a.New(2u);
    EXPECT_EQ(a.Capacity(), 8u);
    a.Delete(first);
    EXPECT_EQ(a.New(3u), first);
    EXPECT_EQ(a.Size(), 5u);
    a.Clear();
    EXPECT_EQ(a.Size(), 0u);
    EXPECT_EQ(a.Capacity(), 8u);
    EXPECT_EQ(a.New(4u), first); // carving starts over in the first block
    TBlockAllocator<std::uint64_t, 4> b(std::move(a));
    EXPECT_EQ(b.Size(), 1u);
    EXPECT_EQ(a.Capacity(), 0u);
    b.Release();
    EXPECT_EQ(b.Capacity(), 0u);
}

TEST(KrQuadTree, RectangleSpanningTwoCellsIsStoredAtTheirCommonNode) {
    TQuadTree t;
    t.Init({0, 0}, {8, 8}, 4);
    TQuadTree::TObjectHandle h = 0;
    t.AddObject(7, {2.5, 0.5}, {3.5, 0.5}, &h);
    EXPECT_EQ(TQuadTree::HandleLevel(h), 2);
    EXPECT_EQ(TQuadTree::HandleX(h), 1u); // cells 2–3
    EXPECT_EQ(TQuadTree::HandleY(h), 0u);
    std::vector<std::uint64_t> ids;
    t.GetRect({3.2, 0.2}, {3.4, 0.4}, ids);
    EXPECT_EQ(ids, std::vector<std::uint64_t>{7});
    t.GetRect({4.2, 0.2}, {4.4, 0.4}, ids); // cell 4: beside the rectangle, though at its node's parent
    EXPECT_TRUE(ids.empty());
    for (const auto& q : {std::make_pair(vec2d(9, 9), vec2d(10, 10)), {vec2d(-2, 1), vec2d(-1, 2)}}) {
        t.GetRect(q.first, q.second, ids);
        EXPECT_TRUE(ids.empty());
    }
}

TEST(KrQuadTree, HandlesFollowTheBitLayout) {
    const TQuadTree::TObjectHandle h = TQuadTree::MakeHandle(29, (1u << 29) - 1, 5);
    EXPECT_EQ(h, (std::uint64_t(29) << 58) | (std::uint64_t(5) << 29) | ((1u << 29) - 1));
    EXPECT_EQ(TQuadTree::HandleLevel(h), 29);
    EXPECT_EQ(TQuadTree::HandleX(h), (1u << 29) - 1);
    EXPECT_EQ(TQuadTree::HandleY(h), 5u);
}

TEST(KrQuadTree, PointsOnTheMaximumEdgeFallIntoTheLastCell) {
    TQuadTree t;
    t.Init({0, 0}, {8, 8}, 4);
    TQuadTree::TObjectHandle h = 0;
    t.AddObject(1, {8, 8}, &h);
    EXPECT_EQ(h, TQuadTree::MakeHandle(3, 7, 7));
    t.AddObject(2, {100, -100}, &h); // outside: clamped into the border cell
    EXPECT_EQ(h, TQuadTree::MakeHandle(3, 7, 0));
    std::vector<std::uint64_t> ids;
    t.GetRect({8, 8}, {8, 8}, ids);
    EXPECT_EQ(ids, std::vector<std::uint64_t>{1});
    t.GetRect({50, -200}, {200, -50}, ids); // outside the limits, but where an object lies
    EXPECT_EQ(ids, std::vector<std::uint64_t>{2});
}

TEST(KrQuadTree, BadArgumentsFailWithTheirTexts) {
    const std::string init = "@void kr::TQuadTree::Init(const vec2d &, const vec2d &, int): ";
    const std::string levels = init + "Invalid argument LevelsCount";
    const std::string range = init + "Invalid arguments Min, Max";
    const std::string add = "@void kr::TQuadTree::AddObject(TObjectId, const vec2d &, TObjectHandle *): ";
    const std::string addBox = "@void kr::TQuadTree::AddObject(TObjectId, const vec2d &, const vec2d &, "
                               "TObjectHandle *): Invalid arguments Min, Max";
    TQuadTree t;
    EXPECT_EQ(ThrownText([&] { t.AddObject(1, {1, 1}); }), add + "The tree is not initialised");
    t.Init({0, 0}, {8, 8}, 4);
    const struct {
        vec2d min, max;
        int levels;
        const std::string& text;
    } inits[] = {{{0, 0}, {8, 8}, 0, levels},         {{0, 0}, {8, 8}, 31, levels},
                 {{0, 0}, {8, 0}, 4, range},          {{5, 0}, {1, 8}, 4, range},
                 {{kNaN, 0}, {8, 8}, 4, range},       {{0, -kInf}, {8, 8}, 4, range},
                 {{-1e308, 0}, {1e308, 8}, 4, range}, {{0, 0}, {1e-320, 8}, 30, range}};
    for (const auto& c : inits)
        EXPECT_EQ(ThrownText([&] { t.Init(c.min, c.max, c.levels); }), c.text);
    EXPECT_EQ(t.LevelsCount(), 4); // a failed Init leaves the tree as it was
    EXPECT_EQ(ThrownText([&] { t.AddObject(1, {kNaN, 1}); }), add + "Invalid argument Point");
    EXPECT_EQ(ThrownText([&] { t.AddObject(1, {0, 0}, {kInf, 1}); }), addBox);

    const std::string pts = "@void kr::TPointsQuadTree::Init(const vec2d &, const vec2d &, int, uint32_t): ";
    const std::string sqt = "@void kr::TStaticQuadTree::Init(const limits2d &, int): ";
    const std::string grid = "@void kr::TStaticPointsGrid::Init(const limits2d &, uint32_t, uint32_t): ";
    const vec2d o(0, 0), one(1, 1), nan(1, kNaN);
    const limits2d unit(o, one), flipped({1, 0}, {0, 1});
    const std::pair<std::function<void()>, std::string> others[] = {
        {[&] { TPointsQuadTree().Init(o, one, 0, 4); }, pts + "Invalid argument LevelsCount"},
        {[&] { TPointsQuadTree().Init(o, nan, 3, 4); }, pts + "Invalid arguments Min, Max"},
        {[] { TStaticQuadTree().Init(limits2d(), 3); }, sqt + "Invalid arguments Min, Max"},
        {[&] { TStaticQuadTree().Init(unit, 31); }, sqt + "Invalid argument LevelsCount"},
        {[&] { TStaticPointsGrid().Init(flipped, 4, 4); }, grid + "Invalid argument limits"},
        {[&] { TStaticPointsGrid().Init(unit, 0, 4); }, grid + "Invalid arguments cellsX, cellsY"},
    };
    for (const auto& c : others)
        EXPECT_EQ(ThrownText(c.first), c.second);

    std::vector<std::uint64_t> ids{9};
    t.GetRect({kNaN, 0}, {8, 8}, ids);
    EXPECT_TRUE(ids.empty());
    TQuadTree::TObjectHandle h = 0;
    EXPECT_FALSE(t.GetNodeIndex({kInf, 0}, &h));
    EXPECT_FALSE(t.DeleteObject(1, {kNaN, 0}));
}

TEST(KrQuadTree, NodesAreFoundMadeDeletedAndPruned) {
    TQuadTree t;
    t.Init({0, 0}, {16, 16}, 5);
    TQuadTree::TObjectHandle a = 0, b = 0;
    t.AddObject(1, {1, 1}, &a);
    t.AddObject(2, {1.5, 1.5}, &b);
    t.AddObject(3, {0.5, 0.5}, {3.5, 3.5}); // level 2 block (0, 0)
    EXPECT_EQ(a, b);
    EXPECT_EQ(t.GetNode(TQuadTree::MakeHandle(4, 9, 9)), nullptr);
    EXPECT_EQ(t.GetNode(TQuadTree::MakeHandle(5, 0, 0)), nullptr);   // below the finest level
    EXPECT_EQ(t.QueryNode(TQuadTree::MakeHandle(2, 4, 0)), nullptr); // index beyond the level
    EXPECT_FALSE(t.DeleteObject(99, a));
    EXPECT_FALSE(t.DeleteObject(1, {9, 9}));
    EXPECT_TRUE(t.DeleteObject(1, a));
    EXPECT_FALSE(t.DeleteObject(1, a));
    EXPECT_TRUE(t.DeleteObject(2, {1.5, 1.5}));
    EXPECT_EQ(t.GetNode(a), nullptr); // emptied finest node pruned up to the rectangle's node
    TQuadTree::TNode* n = t.GetNode(TQuadTree::MakeHandle(2, 0, 0));
    ASSERT_NE(n, nullptr);
    EXPECT_EQ(n->childCount, 0u);
    EXPECT_TRUE(t.DeleteObject(3, n));
    EXPECT_EQ(t.Root()->childCount, 0u);

    TQuadTree::TNode* made = t.QueryNode(TQuadTree::MakeHandle(4, 15, 15));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(t.GetNode(TQuadTree::MakeHandle(4, 15, 15)), made);
    t.AddObject(4, {15.5, 15.5});
    t.AddObject(5, {15, 15}, {16, 16});
    std::vector<std::uint64_t> ids;
    t.GetRectAll(t.Root(), ids);
    EXPECT_EQ(Sorted(ids), (std::vector<std::uint64_t>{4, 5}));
    t.DeleteNode(t.GetNode(TQuadTree::MakeHandle(3, 7, 7)));
    EXPECT_EQ(t.ObjectsCount(), 0u);
    EXPECT_EQ(t.Root()->childCount, 0u);
    t.AddObject(6, {2, 2});
    t.Clear();
    t.GetRect({0, 0}, {16, 16}, ids);
    EXPECT_TRUE(ids.empty());
    t.Deinit();
    EXPECT_FALSE(t.IsInit());
    t.GetRect({0, 0}, {16, 16}, ids);
    EXPECT_TRUE(ids.empty());
}

TEST(KrPointsQuadTree, FullBucketsPushDownToTheFinestLevel) {
    const std::uint32_t capacity = 3;
    TPointsQuadTree t;
    t.Init({0, 0}, {16, 16}, 5, capacity);
    for (std::uint64_t id = 0; id < capacity; ++id)
        t.AddObject(id, {5.5, 9.5});
    EXPECT_EQ(t.Root()->itemCount, capacity);
    EXPECT_EQ(t.Root()->childCount, 0u);
    t.AddObject(capacity, {5.5, 9.5});
    // One chain of single children down to cell (5, 9); only the finest node holds items.
    const TPointsQuadTree::TNode* node = t.Root();
    for (int bit = 3; bit >= 0; --bit) {
        EXPECT_EQ(node->itemCount, 0u);
        EXPECT_EQ(node->childCount, 1u);
        node = node->child[((5 >> bit) & 1) | (((9 >> bit) & 1) << 1)];
        ASSERT_NE(node, nullptr);
    }
    EXPECT_EQ(node->itemCount, capacity + 1);
    // A second point elsewhere stays shallow: a leaf under the root with room to spare.
    t.AddObject(50, {14, 1});
    const TPointsQuadTree::TNode* corner = t.Root()->child[1];
    ASSERT_NE(corner, nullptr);
    EXPECT_EQ(corner->itemCount, 1u);
    EXPECT_EQ(corner->childCount, 0u);
    EXPECT_FALSE(t.DeleteObject(50, {5.5, 9.5}));
    EXPECT_TRUE(t.DeleteObject(50, {14, 1}));
    EXPECT_TRUE(t.DeleteObject(1, {5.5, 9.5}));
    std::vector<std::uint64_t> ids;
    t.GetRect({0, 0}, {16, 16}, ids);
    EXPECT_EQ(Sorted(ids), (std::vector<std::uint64_t>{0, 2, 3}));
}

TEST(KrStaticQuadTree, NodeRectanglesFollowEachAxisOfLongLimits) {
    TStaticQuadTree t;
    t.Init(limits2d({0, 0}, {8, 2}), 3);
    const std::pair<vec2d, TStaticQuadTree::TNodeIndex> points[] = {
        {{7, 1.5}, {3, 3, 2}}, {{0.5, 0.1}, {0, 0, 2}}, {{8, 2}, {3, 3, 2}}, {{4, 1}, {2, 2, 2}}};
    for (const auto& p : points)
        t.InitPoint(p.first);
    EXPECT_EQ(t.InitNode(1, 1, 0)->count, 1u);
    t.AddPointBegin();
    std::uint64_t id = 0;
    for (const auto& p : points)
        t.AddPoint(p.first, id++);
    t.AddNode(1, 1, 0, 9);
    t.AddPointEnd(true);
    for (const auto& p : points) {
        limits2d r;
        ASSERT_TRUE(t.GetNodeRect(p.second, &r));
        EXPECT_TRUE(r.contains(p.first)) << p.first.x << "," << p.first.y;
        ASSERT_NE(t.GetNode(p.second), nullptr);
    }
    limits2d r;
    ASSERT_TRUE(t.GetNodeRect({3, 1, 2}, &r));
    EXPECT_EQ(r.min, vec2d(6, 0.5));
    EXPECT_EQ(r.max, vec2d(8, 1));
    EXPECT_FALSE(t.GetNodeRect({4, 0, 2}, &r));
    EXPECT_TRUE(r.is_empty());
    EXPECT_FALSE(t.GetNodeRect({0, 0, 3}, &r));
    // Propagated runs: the root covers all, the level-1 node (1, 0) its own id and those below.
    EXPECT_EQ(t.Root()->count, 5u);
    const TStaticQuadTree::TNode* half = t.GetNode({1, 0, 1});
    ASSERT_NE(half, nullptr);
    EXPECT_EQ(half->count, 1u);
    EXPECT_EQ(t.Ids()[half->start], 9u);
    std::vector<std::uint64_t> ids;
    t.GetRect(limits2d({6.5, 0.2}, {6.6, 0.3}), ids); // the node (1, 0, 1) is only partly inside
    EXPECT_EQ(ids, std::vector<std::uint64_t>{9});
    t.GetRect(limits2d({6.5, 1.6}, {6.6, 1.7}), ids);
    EXPECT_EQ(Sorted(ids), (std::vector<std::uint64_t>{0, 2}));
}

TEST(KrStaticIndexes, PassesCheckTheirCountsAndCloseUpShortCells) {
    TStaticPointsGrid g;
    TStaticQuadTree t;
    g.Init(limits2d({0, 0}, {4, 4}), 4, 4);
    t.Init(limits2d({0, 0}, {4, 4}), 3);
    for (const vec2d& p : {vec2d(0.5, 0.5), vec2d(0.5, 0.5), vec2d(3.5, 3.5), vec2d(1.5, 0.5)}) {
        g.InitPoint(p);
        t.InitPoint(p);
    }
    EXPECT_NE(ThrownText([&] { g.AddPoint({0, 0}, 1); }), "<no exception>"); // still counting
    EXPECT_NE(ThrownText([&] { g.InitPoint({kNaN, 0}); }), "<no exception>");
    EXPECT_NE(ThrownText([&] { t.InitPoint({0, kInf}); }), "<no exception>");
    g.AddPointBegin();
    t.AddPointBegin();
    for (auto* add :
         {+[](TStaticPointsGrid&g, TStaticQuadTree&, const vec2d&p, std::uint64_t id) { g.AddPoint(p, id); },
          +[](TStaticPointsGrid&, TStaticQuadTree&t, const vec2d&p, std::uint64_t id) {
              t.AddPoint(p, id);
          }}) {
        add(g, t, {0.5, 0.5}, 10); // one of two counted in this cell
        add(g, t, {3.5, 3.5}, 11);
        EXPECT_NE(ThrownText([&] { add(g, t, {3.5, 3.5}, 12); }), "<no exception>"); // counted once only
        EXPECT_NE(ThrownText([&] { add(g, t, {2.5, 0.5}, 13); }), "<no exception>"); // never counted
        add(g, t, {1.5, 0.5}, 14);
    }
    g.AddPointEnd();
    t.AddPointEnd(false);
    EXPECT_EQ(g.Ids(), (std::vector<std::uint64_t>{10, 14, 11}));
    EXPECT_EQ(t.Ids().size(), 3u);
    std::vector<std::uint64_t> ids;
    g.GetRect(limits2d({0, 0}, {4, 4}), ids);
    EXPECT_EQ(Sorted(ids), (std::vector<std::uint64_t>{10, 11, 14}));
    t.GetRect(limits2d({0, 0}, {4, 4}), ids);
    EXPECT_EQ(Sorted(ids), (std::vector<std::uint64_t>{10, 11, 14}));
    t.GetRect(limits2d({0, 0}, {1.2, 0.7}), ids);
    EXPECT_EQ(Sorted(ids), (std::vector<std::uint64_t>{10, 14}));
}
