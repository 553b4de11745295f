// kr::TQuadTree: points and rectangles stored on an aligned hierarchy of cells.
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrBlockAllocator.h"
#include "Math/Index/KrCellFrame.h"
#include "Math/Index/KrItemChunks.h"

#include <cstdint>
#include <vector>

namespace kr {

/// A quad tree over fixed limits whose finest level has N = 2^(levels−1) cells per side. A point
/// is stored in the finest node of its cell; a rectangle in the deepest node whose block holds
/// both its corner cells. Objects are caller-chosen 64-bit ids; the tree never owns the objects
/// and keeps an id once per AddObject (adding it twice stores it twice).
///
/// Coordinates outside the limits are clamped into the border cells, so such objects are still
/// found. Queries return candidates: every object whose cells meet the query's cells, which is a
/// superset of the objects whose geometry meets the query rectangle (closed on all sides).
///
/// Nodes come from a block allocator, four siblings together, and a node's items sit in a few
/// growing arrays drawn from block allocators too, so adding allocates only once per block of
/// nodes or item arrays. One writer at a time; queries are const and may run concurrently while
/// nothing is modified.
class KRSTD_API TQuadTree {
public:
    using TObjectId = std::uint64_t;
    /// Where an object is stored: level (0 is the root) in bits 58–63, the node's cell y index
    /// (at that level) in bits 29–57 and its cell x index in bits 0–28.
    using TObjectHandle = std::uint64_t;

    /// The most levels a tree may have: cell indices must fit the handle's 29 bits.
    static constexpr int kMaxLevels = 30;

    /// A node's objects: their ids and, beside them, their finest cells, so that a query can
    /// skip the objects of a node that lie beside the query rather than in it.
    using TItemChunk = kr::TItemChunk<TCellBox>;
    struct TNode {
        TNode* parent;
        TNode* child[4]; ///< numbered bit(x) + 2·bit(y) of the children's cell indices
        std::uint32_t childCount;
        std::uint32_t itemCount;
        TItemChunk* items; ///< the objects stored here, in arrays; see TItemChunk
    };

    static TObjectHandle MakeHandle(int level, std::uint32_t x, std::uint32_t y) noexcept {
        return (static_cast<std::uint64_t>(level) << 58) | (static_cast<std::uint64_t>(y) << 29) | x;
    }
    static int HandleLevel(TObjectHandle h) noexcept { return static_cast<int>(h >> 58); }
    static std::uint32_t HandleY(TObjectHandle h) noexcept {
        return static_cast<std::uint32_t>(h >> 29) & kCellMask;
    }
    static std::uint32_t HandleX(TObjectHandle h) noexcept {
        return static_cast<std::uint32_t>(h) & kCellMask;
    }

    TQuadTree() = default;
    ~TQuadTree() = default;
    TQuadTree(const TQuadTree&) = delete;
    TQuadTree& operator=(const TQuadTree&) = delete;

    /// Sets up an empty tree over [Min, Max] with LevelsCount levels (1 to kMaxLevels), dropping
    /// what the tree held. Throws TKrMessage "@<signature>: Invalid arguments Min, Max" unless
    /// Min is below Max on both axes and every coordinate and extent is finite, and
    /// "@<signature>: Invalid argument LevelsCount" for a level count out of range. The memory
    /// held is kept for refilling.
    void Init(const vec2d& Min, const vec2d& Max, int LevelsCount);
    /// Drops every object and releases the memory; the tree is uninitialised again.
    void Deinit() noexcept;
    /// Drops every object; keeps the limits and the memory for refilling.
    void Clear() noexcept;

    bool IsInit() const noexcept { return m_root != nullptr; }
    int LevelsCount() const noexcept { return m_levels; }
    /// The limits given to Init.
    limits2d Limits() const noexcept { return m_limits; }
    /// Objects stored.
    std::size_t ObjectsCount() const noexcept { return m_count; }
    const TNode* Root() const noexcept { return m_root; }

    /// Stores a point object and optionally reports where. Throws TKrMessage for a NaN or infinite
    /// coordinate or an uninitialised tree. O(levels); allocates only when a block is full.
    void AddObject(TObjectId id, const vec2d& point, TObjectHandle* handle = nullptr);
    /// Stores a rectangle object given by two opposite corners (in any order).
    void AddObject(TObjectId id, const vec2d& min, const vec2d& max, TObjectHandle* handle = nullptr);

    /// Removes one entry of `id` from the node `handle` names (or from `node`, or from where the
    /// point or rectangle would be stored); true when found. Nodes left empty are removed.
    bool DeleteObject(TObjectId id, TObjectHandle handle);
    bool DeleteObject(TObjectId id, const vec2d& point);
    bool DeleteObject(TObjectId id, const vec2d& min, const vec2d& max);
    bool DeleteObject(TObjectId id, TNode* node);

    /// The handle of the node a point or rectangle would be stored in; false (and the handle
    /// untouched) for a NaN or infinite coordinate or an uninitialised tree.
    bool GetNodeIndex(const vec2d& point, TObjectHandle* index) const noexcept;
    bool GetNodeIndex(const vec2d& min, const vec2d& max, TObjectHandle* index) const noexcept;

    /// The node a handle names, or null when it does not exist (or the handle is out of range).
    TNode* GetNode(TObjectHandle index) const noexcept;
    /// The node a handle names, made with its ancestors when missing; null for a handle out of range.
    TNode* QueryNode(TObjectHandle index);
    /// Removes `node` with everything stored at and below it, then the ancestors left empty.
    /// For the root this empties the tree.
    void DeleteNode(TNode* node) noexcept;

    /// Replaces `ids` with the candidates for the closed rectangle [min, max]: nothing for a
    /// rectangle with NaN or inverted coordinates or one beside everything stored. Visits only
    /// nodes whose blocks meet the rectangle's cells and reports a node lying wholly inside
    /// with everything below it, untested.
    void GetRect(const vec2d& min, const vec2d& max, std::vector<TObjectId>& ids) const;
    /// Appends the ids stored at and below `node`.
    void GetRectAll(const TNode* node, std::vector<TObjectId>& ids) const;

private:
    static constexpr std::uint32_t kCellMask = (1u << 29) - 1;

    /// Siblings are made together, so that a query visiting them reads adjacent memory.
    struct alignas(64) TQuad {
        TNode node[4];
    };

    void AddItem(TObjectId id, const TCellBox& cells, TObjectHandle* handle, const char* signature);
    TObjectHandle HandleOf(const TCellBox& cells) const noexcept;
    bool Unlink(TObjectId id, TNode* node) noexcept;
    void Prune(TNode* node) noexcept;
    void FreeBelow(TNode* node) noexcept;

    TBlockAllocator<TQuad> m_quads;
    TNode m_rootNode{};
    TItemChunkPool<TCellBox> m_chunks;
    std::size_t m_count = 0;
    TNode* m_root = nullptr;
    TCellFrame m_frame;
    limits2d m_limits;
    int m_levels = 0;
};

} // namespace kr
