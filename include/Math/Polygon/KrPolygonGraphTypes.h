// Building blocks of the polygon graphs: edge index records, the node/edge store, pseudo-angles.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrVec.h"

#include <cstdint>
#include <deque>
#include <vector>

namespace kr {

/// The per-edge index records of the polygon graphs. An edge remembers, for each input that runs
/// along it, the direction and the net number of times it does so; two inputs running along
/// the same edge in opposite directions therefore cancel, which is what makes coincident
/// boundaries of a region disappear.
struct KRSTD_API TPolygonGraphTypes {
    /// Direction code: the input runs from the edge's first node to its second.
    static constexpr std::uint8_t kDirForward = 0;
    /// Direction code: the input runs from the second node to the first.
    static constexpr std::uint8_t kDirBackward = 1;
    /// Direction code: the input does not run along the edge.
    static constexpr std::uint8_t kDirNone = 255;

    /// One operand's record on an edge of the two-operand graph.
    struct TBoolEdgeIndex {
        std::uint8_t Flags = 0;
        std::uint8_t Dir = kDirNone;
        std::uint32_t Count = 0;
    };

    /// The records of operands 0 and 1 on one edge. Merging is O(1).
    struct KRSTD_API TBoolEdgeIndexes {
        TBoolEdgeIndex Index[2];

        TBoolEdgeIndexes() = default;
        /// One pass of operand `operand` (0 or 1) in direction `dir`.
        TBoolEdgeIndexes(std::uint8_t dir, unsigned operand) { merge(dir, operand); }

        /// Adds one pass of `operand` in direction `dir`: counts up in the same direction, down
        /// in the opposite one; a count reaching 0 leaves no direction.
        void merge(std::uint8_t dir, unsigned operand);
        /// Adds another edge's records, both edges joining the same nodes in the same order.
        void merge(const TBoolEdgeIndexes& other);
        /// Adds another edge's records, that edge joining the same nodes in the opposite order.
        void merge_inverse(const TBoolEdgeIndexes& other);
        /// The records as seen from an edge running the other way.
        TBoolEdgeIndexes inverse() const;
        /// True when no operand runs along the edge any more.
        bool empty() const noexcept { return Index[0].Count == 0 && Index[1].Count == 0; }
        /// The net count and direction of `operand` (0 and kDirNone for an operand out of range).
        std::uint32_t count(std::uint64_t operand, std::uint8_t* dir) const noexcept;
        /// Number of operands a record can hold.
        static constexpr std::uint64_t operands() noexcept { return 2; }
    };

    /// One entry of the many-input graph: input `index` runs once along the edge in `dir`.
    struct TEdgeIndex {
        std::uint8_t flag = 0;
        std::uint8_t dir = kDirNone;
        std::uint64_t index = 0;
    };

    /// The entries of any number of inputs on one edge. Merging is linear in the entries, which
    /// stay few: an edge is shared by a handful of inputs at most in practice.
    struct KRSTD_API TEdgeIndexes {
        std::vector<TEdgeIndex> items;

        TEdgeIndexes() = default;
        TEdgeIndexes(std::uint8_t dir, std::uint64_t index) { merge(dir, index); }

        /// Removes an entry of `index` running opposite to `dir` if there is one, else appends
        /// {0, dir, index}.
        void merge(std::uint8_t dir, std::uint64_t index);
        /// Merges every entry of `other` (same node order).
        void merge(const TEdgeIndexes& other);
        /// Merges every entry of `other` with its direction flipped (opposite node order).
        void merge_inverse(const TEdgeIndexes& other);
        TEdgeIndexes inverse() const;
        bool empty() const noexcept { return items.empty(); }
        /// True when `index` runs along the edge; its direction goes to *dir when given.
        bool contains(std::uint64_t index, std::uint8_t* dir) const noexcept;
        /// How many times `index` runs along the edge, and in which direction.
        std::uint32_t count(std::uint64_t index, std::uint8_t* dir) const noexcept;
        static constexpr std::uint64_t operands() noexcept { return UINT64_MAX; }
    };
};

/// The flag bits of graph nodes and edges.
enum : unsigned {
    /// Removed from the graph; kept in the store until the graph is cleared.
    GRAPH_FLAG_DELETED = 1,
    /// Waiting in a resolving queue.
    GRAPH_FLAG_QUEUED = 2,
};

/// A planar graph store: nodes and edges live in deques, so their addresses stay valid while the
/// graph grows, and are only flagged when removed (an operation never frees them one by one).
/// Each node lists its incident edges; an edge knows its two end nodes in order.
template <class TNodeData, class TEdgeData> class KRSTD_API TGraph_t {
public:
    struct TEdge;
    struct TNode {
        TNodeData Data;
        std::vector<TEdge*> Edges;
        std::uint64_t Id = 0; ///< position in the store, used as the spatial index id
        unsigned Flags = 0;
        bool alive() const noexcept { return !(Flags & GRAPH_FLAG_DELETED); }
    };
    struct TEdge {
        TEdgeData Data;
        TNode* Node[2] = {nullptr, nullptr};
        std::uint64_t Id = 0;
        unsigned Flags = 0;
        bool alive() const noexcept { return !(Flags & GRAPH_FLAG_DELETED); }
        /// The end that is not `n`.
        TNode* other(const TNode* n) const noexcept { return Node[0] == n ? Node[1] : Node[0]; }
    };

    TNode* NewNode() {
        m_nodes.emplace_back();
        m_nodes.back().Id = m_nodes.size() - 1;
        return &m_nodes.back();
    }
    TEdge* NewEdge(TNode* a, TNode* b) {
        m_edges.emplace_back();
        TEdge* e = &m_edges.back();
        e->Id = m_edges.size() - 1;
        e->Node[0] = a;
        e->Node[1] = b;
        a->Edges.push_back(e);
        b->Edges.push_back(e);
        return e;
    }
    /// Drops every node and edge.
    void Clear() {
        m_nodes.clear();
        m_edges.clear();
    }
    TNode& Node(std::uint64_t id) { return m_nodes[id]; }
    TEdge& Edge(std::uint64_t id) { return m_edges[id]; }
    const TNode& Node(std::uint64_t id) const { return m_nodes[id]; }
    const TEdge& Edge(std::uint64_t id) const { return m_edges[id]; }
    std::deque<TNode>& Nodes() noexcept { return m_nodes; }
    std::deque<TEdge>& Edges() noexcept { return m_edges; }
    const std::deque<TNode>& Nodes() const noexcept { return m_nodes; }
    const std::deque<TEdge>& Edges() const noexcept { return m_edges; }

private:
    std::deque<TNode> m_nodes;
    std::deque<TEdge> m_edges;
};

/// A pseudo-angle of the turn from direction `a` to direction `b` (unit vectors), in [−2, 2]
/// and growing monotonically with the signed turning angle (left turns positive), without
/// trigonometry: the clamped cross product for turns up to 90°, mirrored beyond.
KRSTD_API double GetSinexHON(const vec2d& a, const vec2d& b) noexcept;

} // namespace kr
