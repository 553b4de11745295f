// The polygon graph engine: snapping, splitting and merging boundaries, and rebuilding regions.
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrPointsQuadTree.h"
#include "Math/Index/KrQuadTree.h"
#include "Math/Polygon/KrPolygonGraphTypes.h"
#include "Math/Polygon/KrPolygonTypes.h"

#include <cstdint>
#include <string>
#include <vector>

class TKrProgressHandler;
class TKrXIniWriter;

namespace kr {

/// Node and edge data of a polygon graph whose edges carry index records of type TIndexes.
template <class TIndexes> struct KRSTD_API TPolygonGraphWTraits_t {
    using TIndexesType = TIndexes;
    struct TNodeData {
        vec2d Pos;
    };
    struct TEdgeData {
        vec2d Dir;                           ///< unit direction from the first node to the second
        double Len = 0;                      ///< length
        TIndexes Indexes;                    ///< which inputs run along the edge, how often and which way
        std::uint32_t Used = 0;              ///< passes taken by the running extraction
        TQuadTree::TObjectHandle Handle = 0; ///< where the edge sits in the edge index
    };
};

/// The traits of the two-operand graph.
struct KRSTD_API TBoolPolygonGraphWTraits : TPolygonGraphWTraits_t<TPolygonGraphTypes::TBoolEdgeIndexes> {
    static constexpr const char* kClassName = "kr::TBoolPolygonGraphW";
};
/// The traits of the many-input graph.
struct KRSTD_API TPolygonGraphWTraits : TPolygonGraphWTraits_t<TPolygonGraphTypes::TEdgeIndexes> {
    static constexpr const char* kClassName = "kr::TPolygonGraphW";
};

/// Flags of the extraction (Get).
enum : unsigned {
    /// Leaves out vertices where a rebuilt contour runs straight on (left behind by splits).
    GRAPH_GET_DROP_COLLINEAR = 1,
};

/// The planar-graph engine behind the Boolean polygon graphs. Inputs are put in as contours
/// whose edges carry index records; vertices closer than the tolerance are snapped together,
/// edges are split at vertices passing within the tolerance, coincident edges are merged
/// (their records added, opposite passes cancelling), and the region of any one input is then
/// rebuilt from the shared graph. All proximity queries go through a point quad tree of the
/// nodes and a rectangle quad tree of the edges.
///
/// A graph is used by one thread at a time. After an internal consistency error (a TKrMessage)
/// the graph must be initialised again.
template <class TTraits> class KRSTD_API TPolygonGraphW_t {
public:
    using TIndexes = typename TTraits::TIndexesType;
    using TGraph = TGraph_t<typename TTraits::TNodeData, typename TTraits::TEdgeData>;
    using TNode = typename TGraph::TNode;
    using TEdge = typename TGraph::TEdge;

    /// An edge with the direction it is traversed in.
    struct TEdgeHandler {
        TEdge* Edge = nullptr;
        bool Back = false; ///< traversed from the second node to the first
        const TNode* From() const noexcept { return Edge->Node[Back ? 1 : 0]; }
        const TNode* To() const noexcept { return Edge->Node[Back ? 0 : 1]; }
        vec2d Dir() const noexcept { return Back ? -Edge->Data.Dir : Edge->Data.Dir; }
    };
    using TContour = std::vector<TEdgeHandler>;
    /// The outer contour, then the holes.
    using TDomain = std::vector<TContour>;
    using TPlanarSet = std::vector<TDomain>;

    /// The tolerances derived from eps: node snapping, its square, edge distance, its square,
    /// and the diagonal tolerance of a tolerance box.
    struct TTolerances {
        double Eps = 0;
        double EpsNode = 0;
        double EpsNode2 = 0;
        double EpsEdge = 0;
        double EpsEdge2 = 0;
        double EpsDiag = 0;
    };

    /// An empty graph; Init before use. Three resolving passes, multi-pass resolving on.
    TPolygonGraphW_t();
    /// Default construction followed by Init.
    TPolygonGraphW_t(const TKrLimits2d& lim, CORRECT_MODE mode, double eps);
    TPolygonGraphW_t(const TPolygonGraphW_t&) = delete;
    TPolygonGraphW_t& operator=(const TPolygonGraphW_t&) = delete;
    ~TPolygonGraphW_t();

    /// Clears the graph and sets it up over `lim` (every vertex put in should lie inside) with
    /// tolerance `eps`. Throws "@<signature>: Invalid argument "Lim"" for empty limits,
    /// "... "Eps" = <eps>" for eps not above 0 and "... "Mode" = <mode>" for a mode other
    /// than 1 or 2.
    void Init(const TKrLimits2d& lim, CORRECT_MODE mode, double eps);
    /// Sets the tolerance and everything derived from it (same "Eps" error as Init).
    void SetEps(double eps);
    double GetEps() const noexcept { return m_eps; }
    const TTolerances& Tolerances() const noexcept { return m_tol; }
    CORRECT_MODE Mode() const noexcept { return m_mode; }
    const TKrLimits2d& Limits() const noexcept { return m_lim; }

    /// Resolving passes of the outermost PutEnd (with multi-pass resolving, pass k of P snaps at
    /// eps / 2^(P−k)). 0 resolves every vertex when it is put in.
    void SetPassesCount(unsigned passes) noexcept { m_passes = passes; }
    unsigned PassesCount() const noexcept { return m_passes; }
    /// Multi-pass resolving; switched off by the first resolution that used it.
    void SetMultiPass(bool on) noexcept { m_multiPass = on; }
    bool MultiPass() const noexcept { return m_multiPass; }

    /// Bracket insertions; they nest and only the outermost PutEnd resolves the graph. The
    /// handler may be null; cancellation surfaces as its exception.
    void PutBegin() noexcept { ++m_putLevel; }
    void PutEnd(TKrProgressHandler* progress = nullptr);

    /// Puts in a closed contour: input `index` runs along it in direction `dir` (0 as given,
    /// 1 reversed). Holes of a domain must already run opposite to its outer contour.
    void Put(const TKrContour& c, std::uint8_t dir, std::uint64_t index);
    /// Puts in a closed or open contour.
    void Put(const TKrContour& c, bool closed, std::uint8_t dir, std::uint64_t index);
    void Put(const TKrDomain& d, std::uint8_t dir, std::uint64_t index);
    void Put(const TKrPlanarSet& s, std::uint8_t dir, std::uint64_t index);
    /// The same with a ready record for every edge (its direction codes relative to the contour).
    void Put(const TKrContour& c, bool closed, const TIndexes& indexes);
    void Put(const TKrDomain& d, const TIndexes& indexes);
    void Put(const TKrPlanarSet& s, const TIndexes& indexes);

    /// An edge properly crossing `e` (interiors meet in one point), or null.
    TEdge* GetCrossedEdge(const TEdge* e) const;
    /// The crossing point of two segments' lines when the segments properly cross; false else.
    static bool intersection(const TEdge* a, const TEdge* b, vec2d& point) noexcept;
    /// A node at `point` (an existing one within the tolerance is reused), with every edge
    /// passing within the tolerance split there. Returns the node.
    TNode* InsertNode(const vec2d& point);
    /// Finds the proper crossings of the edges from store position `fromEdge` on (edges made
    /// later than the others) with any edge and inserts a node at each; returns how many were
    /// found. Cost: one edge-index query per edge examined.
    std::size_t InsertCrossings(std::uint64_t fromEdge = 0);

    /// Whether `e` may be split at `n`: n is not an end, lies within `tol` of the edge with its
    /// projection inside it, and (stability test) is farther than `tol` from both ends, where
    /// snapping the two nodes together is the better repair.
    bool CanSplitEdge(const TEdge* e, const TNode* n, double tol) const noexcept;
    /// Replaces `e` by two edges through `n`, carrying its records.
    void SplitEdge(TEdge* e, TNode* n);

    /// Rebuilds the region of input `index` (flags: GRAPH_GET_*). Failures are raised as
    /// "@<module>: <line>: <signature>" with the reason in the message's trace.
    void Get(TPlanarSet& out, std::uint64_t index, unsigned flags = 0);
    void Get(TKrPlanarSet& out, std::uint64_t index, unsigned flags = 0);
    /// Fills sets[i] with the region of input i, for i below count (null entries are skipped).
    void Get(TKrPlanarSet** sets, std::size_t count, unsigned flags, TKrProgressHandler* progress);

    /// Converts an extracted contour, domain or set to the double model (z = 0).
    static void Convert(const TContour& c, TKrContour& out, unsigned flags = 0);
    static void Convert(const TDomain& d, TKrDomain& out, unsigned flags = 0);
    static void Convert(const TPlanarSet& s, TKrPlanarSet& out, unsigned flags = 0);
    /// Writes the contour's vertices into buf[0..BufSize); throws "Count == BufSize" when it
    /// has more. Returns the vertex count.
    static std::size_t Convert(const TContour& c, vec2d* buf, std::size_t BufSize);

    /// Throws "@<name>: Detect double edges" when two live edges join the same two nodes.
    bool Check(const std::string& name, TKrProgressHandler* progress = nullptr) const;
    /// Throws "@Edge has no indexes" for a live edge that no input runs along.
    void CheckEdgeIndexes() const;
    /// Replaces `edges` with the live edges whose bounds meet `lim`.
    void GetEdges(const TKrLimits2d& lim, std::vector<TEdge*>& edges) const;
    /// One line per edge at `n`: the far node's position and the edge's records.
    std::string GetNeighboursDesc(const TNode* n) const;
    /// Writes an edge handler to the information log, headed by `title`.
    void LogWriteEdgeHandler(const std::string& title, const TEdgeHandler& h) const;
    /// Writes "Nodes" and "Edges" sections, one unnamed section per live node and edge.
    void XIniSaveE(TKrXIniWriter* writer) const;

    TGraph& Graph() noexcept { return m_graph; }
    const TGraph& Graph() const noexcept { return m_graph; }
    std::size_t NodesCount() const noexcept;
    std::size_t EdgesCount() const noexcept;

protected:
    TNode* AddNode(const vec2d& pos);
    void DeleteNode(TNode* n);
    TEdge* AddEdge(TNode* a, TNode* b, const TIndexes& indexes);
    void DeleteEdge(TEdge* e);
    void Collapse(TNode* keep, TNode* other);
    void QueueNode(TNode* n);
    void QueueEdge(TEdge* e);
    void QueueAll();
    TNode* InsertNodeR0(const vec2d& pos);
    void PutContour(const TKrContour& c, bool closed, const TIndexes& indexes);
    void Resolve(double tol, TKrProgressHandler* progress, double from, double to);
    void ResolveNode(TNode* n, double tol, bool edgesQuery);
    void ResolveEdge(TEdge* e, double tol);
    void SetTolerances(double eps) noexcept;
    void GetClosedEpsEdges(const vec2d& p, double tol, std::vector<TEdge*>& out) const;
    void GetClosedEpsNodes(const TEdge* e, double tol, std::vector<TNode*>& out) const;
    void GetImpl(TPlanarSet& out, std::uint64_t index, unsigned flags);

    struct TGuard {
        unsigned First, Second;
    };

    TGraph m_graph;
    TPointsQuadTree m_nodeTree;
    TQuadTree m_edgeTree;
    std::vector<TNode*> m_nodeQueue;
    std::vector<TEdge*> m_edgeQueue;
    TKrLimits2d m_lim;
    TTolerances m_tol;
    double m_eps = 0;
    CORRECT_MODE m_mode = CORRECT_MODE_2;
    unsigned m_passes = 3;
    bool m_multiPass = true;
    bool m_stableSplit = true;
    int m_putLevel = 0;
    /// {crossing search rounds of a union, resolving restarts after those rounds}
    TGuard m_rounds{4, 4};
    /// {resolving steps allowed per queued item, extraction steps allowed per edge pass}
    TGuard m_budget{32, 32};
};

extern template class TPolygonGraphW_t<TBoolPolygonGraphWTraits>;
extern template class TPolygonGraphW_t<TPolygonGraphWTraits>;

/// The many-input graph: every input has its own index, any number of them per edge.
class KRSTD_API TPolygonGraphW : public TPolygonGraphW_t<TPolygonGraphWTraits> {
public:
    using TPolygonGraphW_t<TPolygonGraphWTraits>::TPolygonGraphW_t;
};

/// XIni dumps: a node as section "Pos" with "x", "y"; an edge as section "Dir" with "x", "y",
/// item "Len" and section "Indexes" with one unnamed section per record; a contour as one
/// unnamed section per vertex holding its "Pos".
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TPolygonGraphW::TNode& node);
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TPolygonGraphW::TEdge& edge);
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TPolygonGraphW::TContour& contour);

} // namespace kr
