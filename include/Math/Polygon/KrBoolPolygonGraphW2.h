// kr::TBoolPolygonGraphW2: the union of many regions through one polygon graph.
#pragma once

#include "Math/Polygon/KrBoolPolygonGraphW.h"

#include <vector>

class TKrProgressHandler;

namespace kr {

/// The two-operand graph with a union of any number of regions. All inputs go in as operand 0
/// (outer contours counter-clockwise, holes clockwise, whatever their given orientation), the
/// crossings are noded, the graph is resolved, and every edge is classified by the winding
/// numbers of its two sides: the edges between covered (winding above 0) and uncovered area form
/// operand 1, which is then extracted.
///
/// Many inputs are united as a cascade: groups of 8 neighbours (by the Morton order of their
/// centres) first, then the groups' results, so that each graph meets only boundary that
/// survived the level below. Cost per graph: O((n + k) log n) for n vertices and k crossings,
/// plus one ray query per connected component of the arrangement.
class KRSTD_API TBoolPolygonGraphW2 : public TBoolPolygonGraphW {
public:
    using TBoolPolygonGraphW::TBoolPolygonGraphW;

    /// The union of `sets` into `out` (outer contours counter-clockwise, holes clockwise, z = 0).
    /// `eps` is the snapping tolerance; null takes max(1e-10, 2·max(width, height)·1e-7) of the
    /// inputs' extent. Cancellation through `progress` surfaces as its exception; internal
    /// failures as TKrMessage. Returns true (an empty input gives an empty result).
    static bool UnionAll(const std::vector<TKrPlanarSet>& sets, TKrPlanarSet& out,
                         const double* eps = nullptr, TKrProgressHandler* progress = nullptr);
    static bool UnionAll(const std::vector<const TKrPlanarSet*>& sets, TKrPlanarSet& out,
                         const double* eps = nullptr, TKrProgressHandler* progress = nullptr);
    static bool UnionAll(const std::vector<TKrPlanarSet*>& sets, TKrPlanarSet& out,
                         const double* eps = nullptr, TKrProgressHandler* progress = nullptr);

    /// Sets operand 1 of every live edge to the boundary of the area where operand 0 winds a
    /// positive number of times, running with that area on its left. The graph must be planar
    /// (resolved, crossings noded).
    void MarkUnionBoundary();

    /// The winding number of operand 0 just right of the live edge `e` (seen along its first
    /// to second node), counted along an axis-parallel ray through the edge index.
    long RayWinding(const TEdge* e) const;

private:
    static void UnionFlat(const TKrPlanarSet* const* sets, std::size_t count, TKrPlanarSet& out, double tol,
                          TKrProgressHandler* progress);
    static bool UnionAllImpl(const TKrPlanarSet* const* sets, std::size_t count, TKrPlanarSet& out,
                             const double* eps, TKrProgressHandler* progress);
};

} // namespace kr
