// kr::TStaticQuadTree: a build-once quad tree of point ids in one flat array.
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrBlockAllocator.h"
#include "Math/Index/KrCellFrame.h"

#include <cstdint>
#include <vector>

namespace kr {

/// A quad tree over fixed limits with `levels` levels (2^(levels−1) finest cells per side),
/// filled once from a known point set in two passes: InitPoint for every point makes the path to
/// its finest node and counts it there; AddPointBegin numbers the nodes depth-first and turns
/// the counts into offsets of one flat id array; AddPoint for every point stores its id;
/// AddPointEnd finishes and, when asked to propagate, gives every node the run of all ids below
/// it, so that a node lying wholly inside a query is answered with one copy.
///
/// Cells follow the limits on each axis (the cell size is extent / 2^(levels−1) per axis), so the
/// tree always covers exactly the limits and GetNodeRect is the rectangle a node's points lie in,
/// whatever the limits' shape; for square limits this is the same as one scale for both axes,
/// while one scale taken from the longer side would leave most nodes of a long strip empty and
/// the rest overfull. Limits may be flat (a zero extent puts all points in the first cell of
/// that axis). Points outside the limits are clamped into the border cells.
///
/// Counting a large point set switches to a flat table of the finest cells (trees of up to
/// kFlatMaxLevels levels, after one point per 16 finest cells), so that a point costs one table update
/// in each pass instead of a walk down the tree; small sets never pay for the table.
///
/// Queries return candidates: the points of every finest cell the query rectangle (closed on all
/// sides) touches, a superset of the points inside it. Queries are const and may run concurrently.
class KRSTD_API TStaticQuadTree {
public:
    using TObjectId = std::uint64_t;

    /// The most levels a tree may have.
    static constexpr int kMaxLevels = 30;

    /// A node's run of ids in Ids(). While filling, `start` is the next free slot and `count` the
    /// slots left.
    struct TNode {
        TNode* children; ///< four children numbered bit(x) + 2·bit(y), or null
        std::uint32_t start, count;
    };
    /// A node's position: its level (0 is the root) and cell indices at that level.
    struct TNodeIndex {
        std::uint32_t x, y;
        int level;
    };

    TStaticQuadTree() = default;
    ~TStaticQuadTree() = default;
    TStaticQuadTree(const TStaticQuadTree&) = delete;
    TStaticQuadTree& operator=(const TStaticQuadTree&) = delete;

    /// Prepares an empty tree over `limits`, dropping what it held (the memory is kept for
    /// refilling). Throws TKrMessage "@<signature>: Invalid arguments Min, Max" for empty or
    /// non-finite limits or min above max, "@<signature>: Invalid argument LevelsCount" for a
    /// level count outside 1 to kMaxLevels.
    void Init(const limits2d& limits, int levels);
    /// Releases everything; the tree is uninitialised again.
    void Deinit() noexcept;

    /// First pass: counts a point in its finest node, making the nodes on the way. Throws
    /// TKrMessage for a NaN or infinite coordinate, outside the first pass, or beyond 2^32 − 1
    /// points. O(levels).
    void InitPoint(const vec2d& point);
    /// Counts one object at the node (level, x, y), making the nodes on the way, and returns it.
    /// Throws TKrMessage for a position out of range or outside the first pass.
    TNode* InitNode(int level, std::uint32_t x, std::uint32_t y);
    /// Ends the first pass: numbers the nodes depth-first (a node's own ids before its
    /// children's) and sizes the id array.
    void AddPointBegin();
    /// Second pass: stores `id` in the point's finest node. Throws TKrMessage when that node already
    /// holds as many ids as were counted there, or outside the second pass.
    void AddPoint(const vec2d& point, TObjectId id);
    /// Stores `id` at the node (level, x, y), counted by InitNode.
    void AddNode(int level, std::uint32_t x, std::uint32_t y, TObjectId id);
    /// Ends the second pass; nodes that received fewer ids than counted are closed up. With
    /// `propagate`, every node's run then covers all ids at and below it. Queries may run from
    /// now on; Init starts over.
    void AddPointEnd(bool propagate);

    /// The rectangle of a node: min + index·(extent / 2^level) per axis. False, with `rect` made
    /// empty, for a level or index outside the tree.
    bool GetNodeRect(const TNodeIndex& index, limits2d* rect) const noexcept;
    /// The node at a position, or null when it was never made.
    const TNode* GetNode(const TNodeIndex& index) const noexcept;

    /// Replaces `ids` with the candidates for the closed rectangle `rect`; nothing for a rectangle
    /// with NaN or inverted coordinates, one beside every point, or a tree not yet filled.
    void GetRect(const limits2d& rect, std::vector<TObjectId>& ids) const;

    int LevelsCount() const noexcept { return m_levels; }
    limits2d Limits() const noexcept { return m_limits; }
    const TNode* Root() const noexcept { return m_levels ? &m_root : nullptr; }
    /// Whether AddPointEnd propagated the runs upwards.
    bool IsPropagated() const noexcept { return m_propagated; }
    const std::vector<TObjectId>& Ids() const noexcept { return m_ids; }

private:
    struct alignas(64) TQuad {
        TNode node[4];
    };
    enum class EPhase { None, Counting, Filling, Ready };

    /// Trees of up to this many levels count a large first pass in a flat table of the finest
    /// cells (8 bytes each, 8 MiB at 11 levels) instead of walking down the tree per point.
    static constexpr int kFlatMaxLevels = 11;

    TNode* Descend(int level, std::uint32_t x, std::uint32_t y, bool make);
    std::size_t FlatIndex(std::uint32_t x, std::uint32_t y) const noexcept {
        return (std::size_t(y) << (m_levels - 1)) | x;
    }
    std::size_t CountQuads(const TNode* from, int level, std::uint32_t x, std::uint32_t y,
                           std::uint64_t& total) const noexcept;
    std::uint64_t Place(const TNode* from, TNode* to, int level, std::uint32_t x, std::uint32_t y,
                        std::uint32_t& offset, std::size_t& quads) noexcept;
    void Count(TNode* node);
    void Store(TNode* node, TObjectId id);
    void Number(TNode* node, std::uint32_t& offset, std::size_t& quads) noexcept;
    void StoreFlat(std::uint32_t x, std::uint32_t y, TObjectId id);
    void CloseUp(TNode* node, int level, std::uint32_t x, std::uint32_t y, std::uint32_t& begin,
                 std::uint32_t& to, bool propagate) noexcept;
    void CollectAll(const TNode* node, std::vector<TObjectId>& ids) const;
    void Collect(const TNode* node, int level, std::uint32_t x, std::uint32_t y, const TCellBox& query,
                 std::vector<TObjectId>& ids) const;

    TBlockAllocator<TQuad> m_quads; // while counting
    std::vector<TQuad> m_layout;    // from AddPointBegin on: the same nodes in depth-first order
    // The flat table, once in use: counts of the finest cells while counting, then while filling
    // their next free slot (low half) and the slots left (high half).
    std::vector<std::uint64_t> m_flat;
    bool m_flatOn = false;
    TNode m_root{};
    TCellFrame m_frame;
    limits2d m_limits;
    int m_levels = 0;
    std::vector<TObjectId> m_ids;
    std::uint64_t m_counted = 0;
    EPhase m_phase = EPhase::None;
    bool m_propagated = false;
};

} // namespace kr
