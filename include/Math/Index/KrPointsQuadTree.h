// kr::TPointsQuadTree: points in buckets of a given capacity that push down a level when full.
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrBlockAllocator.h"
#include "Math/Index/KrCellFrame.h"
#include "Math/Index/KrItemChunks.h"

#include <cstdint>
#include <vector>

namespace kr {

/// A quad tree of points over fixed limits with `levels` levels (the finest has 2^(levels−1)
/// cells per side). Only leaves hold points; a leaf above the finest level holds fewer than
/// `capacity` points, and adding to a full one moves its points one level down first. Sparse
/// regions therefore stay shallow and dense ones grow deep; the finest leaves take any number.
///
/// Points outside the limits are clamped into the border cells. Queries return candidates: the
/// points whose finest cells meet the query's cells, a superset of the points inside the query
/// rectangle (closed on all sides). Emptied nodes are kept (a later point will likely refill them).
///
/// Nodes come from a block allocator, four siblings together, and a leaf's points sit in a few
/// growing arrays drawn from block allocators too, so adding allocates only once per block. One
/// writer at a time; queries are const and may run concurrently while nothing is modified.
class KRSTD_API TPointsQuadTree {
public:
    using TObjectId = std::uint64_t;

    /// The most levels a tree may have.
    static constexpr int kMaxLevels = 30;

    /// A point's finest cell.
    struct TCell {
        std::uint32_t x, y;
    };
    /// A leaf's points: their ids and, beside them, their finest cells.
    using TItemChunk = kr::TItemChunk<TCell>;
    struct TNode {
        TNode* parent;
        TNode* child[4]; ///< numbered bit(x) + 2·bit(y) of the children's cell indices
        std::uint32_t childCount;
        TItemChunk* items; ///< the points of a leaf, in arrays; see TItemChunk
        std::uint32_t itemCount;
    };

    TPointsQuadTree() = default;
    ~TPointsQuadTree() = default;
    TPointsQuadTree(const TPointsQuadTree&) = delete;
    TPointsQuadTree& operator=(const TPointsQuadTree&) = delete;

    /// Sets up an empty tree over [Min, Max] with LevelsCount levels (1 to kMaxLevels) and leaves
    /// of Capacity points (0 sends every point to the finest level), dropping what it held.
    /// Throws TKrMessage "@<signature>: Invalid arguments Min, Max" unless Min is below Max on
    /// both axes and everything is finite, "@<signature>: Invalid argument LevelsCount" for a
    /// level count out of range. The memory held is kept for refilling.
    void Init(const vec2d& Min, const vec2d& Max, int LevelsCount, std::uint32_t Capacity);
    /// Drops every point and releases the memory; the tree is uninitialised again.
    void Deinit() noexcept;
    /// Drops every point; keeps the limits, the parameters and the memory for refilling.
    void Clear() noexcept;

    bool IsInit() const noexcept { return m_root != nullptr; }
    int LevelsCount() const noexcept { return m_levels; }
    std::uint32_t Capacity() const noexcept { return m_capacity; }
    limits2d Limits() const noexcept { return m_limits; }
    /// Points stored.
    std::size_t ObjectsCount() const noexcept { return m_count; }
    const TNode* Root() const noexcept { return m_root; }

    /// Adds a point, pushing full leaves down on the way. Throws TKrMessage for a NaN or infinite
    /// coordinate or an uninitialised tree. O(levels) plus the points pushed down.
    void AddObject(TObjectId id, const vec2d& point);
    /// Removes the first entry of `id` from the leaf the point leads to; true when found.
    bool DeleteObject(TObjectId id, const vec2d& point) noexcept;
    /// Moves the points of the childless `node` at `depth` (0 is the root) to its children,
    /// creating those it needs. Nothing for a node with children or at the finest level.
    void PushDown(TNode* node, int depth);

    /// Replaces `ids` with the candidates for the closed rectangle [min, max]; nothing for a
    /// rectangle with NaN or inverted coordinates or one beside everything stored. A node lying
    /// wholly inside is reported with everything below it, untested.
    void GetRect(const vec2d& min, const vec2d& max, std::vector<TObjectId>& ids) const;
    /// Appends the ids stored at and below `node`.
    void GetRectAll(const TNode* node, std::vector<TObjectId>& ids) const;

private:
    /// Siblings are made together, so that a query visiting them reads adjacent memory.
    struct alignas(64) TQuad {
        TNode node[4];
    };

    TBlockAllocator<TQuad> m_quads;
    TNode m_rootNode{};
    TItemChunkPool<TCell> m_chunks;
    std::size_t m_count = 0;
    TNode* m_root = nullptr;
    TCellFrame m_frame;
    limits2d m_limits;
    int m_levels = 0;
    std::uint32_t m_capacity = 0;
};

} // namespace kr
