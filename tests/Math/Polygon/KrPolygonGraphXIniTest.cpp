// XIni dumps of polygon graph nodes, edges and contours: item names, nesting and values, through
// the shared library as a client sees the graph.
#include "Math/Polygon/KrBoolPolygonGraphW.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniTreeWriter.h"

#include <gtest/gtest.h>

#include <string>

using namespace kr;

namespace {

// "name=value" for leaves and "name{...}" for sections, in order, comma-separated.
std::string Shape(const TKrXIniTree& t) {
    std::string s;
    for (std::size_t i = 0; i < t.Count(); ++i) {
        const TKrXIniTree::TItem* it = t.FindItem(i);
        if (i) s += ",";
        s += it->name;
        if (it->child)
            s += "{" + Shape(*it->child) + "}";
        else
            s += "=" + it->value;
    }
    return s;
}

} // namespace

TEST(KrPolygonGraphXIni, DumpsFollowTheFixedLayout) {
    TBoolPolygonGraphW g(TKrLimits2d(vec2d(-1, -1), vec2d(5, 5)), CORRECT_MODE_2, 1e-6);
    g.Put(TKrContour{vec3d(0, 0, 0), vec3d(4, 0, 0), vec3d(4, 3, 0)}, true, 0, 1);
    const TBoolPolygonGraphW::TEdge* edge = nullptr;
    for (const auto& e : g.Graph().Edges())
        if (e.alive() && e.Node[0]->Data.Pos == vec2d(0, 0) && e.Node[1]->Data.Pos == vec2d(4, 0)) edge = &e;
    ASSERT_NE(edge, nullptr);

    auto tree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter w(tree);
    XIniSaveE(&w, *edge);
    const std::string one = "1.0000000000000000e+00", zero = "0.0000000000000000e+00";
    EXPECT_EQ(Shape(*tree), "Dir{x=" + one + ",y=" + zero + "},Len=4.0000000000000000e+00," +
                                "Indexes{{Dir=255,Flags=0,Count=0},{Dir=0,Flags=0,Count=1}}");

    auto nodeTree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter nw(nodeTree);
    XIniSaveE(&nw, *edge->Node[1]);
    EXPECT_EQ(Shape(*nodeTree), "Pos{x=4.0000000000000000e+00,y=" + zero + "}");

    TBoolPolygonGraphW::TPlanarSet set;
    g.Get(set, 1);
    auto contourTree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter cw(contourTree);
    XIniSaveE(&cw, set.at(0).at(0));
    EXPECT_EQ(contourTree->Count(), 3u);
    EXPECT_EQ(Shape(*contourTree->FindItem(0)->child).rfind("Pos{", 0), 0u);
}
