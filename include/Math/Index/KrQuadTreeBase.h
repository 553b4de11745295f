// KrQuadTree::TKrQuadTreeBase: the older quad tree of boxes over fragmented node and object buffers.
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrFragmentedBuffer.h"
#include "Math/KrLimits.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace KrQuadTree {

/// Tree shape and memory growth. Counts of 0 for the blocks mean the default block (16384).
struct STreeOptions {
    /// Levels including the root: 0 means 1 (the root only), at most 16.
    unsigned MaxLevels = 10;
    /// Nodes per growth block of the node buffer; also the nodes reserved at Init.
    unsigned NodesGrowBlock = 16384;
    /// Objects per growth block of the object buffer.
    unsigned ObjectsGrowBlock = 16384;
    /// Objects reserved at Init (rounded up to whole growth blocks); 0 reserves nothing. The
    /// reserve is address space only until objects are added: no page is touched before use.
    unsigned ObjectsReserve = 1048576;
};

/// The greatest level count a tree takes.
constexpr unsigned kMaxTreeLevels = 16;

/// A descent from the root: the node, its centre and the next quadrant to visit at each level.
/// Quadrants are numbered x side + 2 · y side (0 below the centre line, 1 above). It is the whole
/// state of a query; it needs no heap.
struct SNodePath {
    std::uint32_t Node[kMaxTreeLevels];
    vec2d Centre[kMaxTreeLevels];
    std::uint8_t Quadrant[kMaxTreeLevels];
};

/// Where AddObject recorded an object: the node and the object record, for DeleteObject.
struct SObjRcrdNums {
    std::uint32_t Node = 0;
    std::uint32_t Object = 0;
};

/// A quad tree of axis-aligned boxes identified by caller-chosen 64-bit ids; it never owns the
/// objects. An object descends from the root while its box lies entirely on one side of the
/// node's centre in x and in y (a box touching a centre line from one side counts as that side),
/// at most MaxLevels − 1 times, and is recorded in the node reached. A query reports every
/// object of every node whose region meets the query box: candidates, a superset of the objects
/// whose boxes meet it (touching counts); callers test the geometry themselves.
///
/// Object and query boxes are clamped to the tree limits first, so objects outside the limits
/// are kept at the border and found by queries reaching the border. Both sides use the same
/// centres, so the superset holds exactly, also for boxes on node borders.
///
/// Nodes (four child numbers and an object list) and objects (id and list links) live in two
/// TKrFragmentedBuffer by number; deleted objects are reused, empty nodes stay until Clear.
/// A node takes its object records in runs of consecutive numbers (1, 2, 4, ... up to 256 as it
/// fills), so a long list is walked through memory in order instead of one cache miss per
/// object; at most half of a node's records wait unused.
/// Costs: AddObject O(levels), DeleteObject O(1), a query O(visited nodes + candidates).
/// Single writer; see the derived classes for queries.
class KRSTD_API TKrQuadTreeBase {
public:
    /// An uninitialised tree: adds fail and queries find nothing until Init.
    TKrQuadTreeBase();
    TKrQuadTreeBase(const TKrQuadTreeBase&) = delete;
    TKrQuadTreeBase& operator=(const TKrQuadTreeBase&) = delete;
    TKrQuadTreeBase(TKrQuadTreeBase&&) noexcept;
    TKrQuadTreeBase& operator=(TKrQuadTreeBase&&) noexcept;
    ~TKrQuadTreeBase();

    /// Empties the tree and sets its limits and options (null: the defaults). Returns false, and
    /// leaves the tree uninitialised, when an extent is below 1e-30, a coordinate is not finite,
    /// or MaxLevels is above 16. Reserves the nodes and objects the options ask for (std::bad_alloc).
    bool Init(const vec2d& min, const vec2d& max, const STreeOptions* options = nullptr);
    /// Drops every object and node but the root; keeps limits, options and allocated memory.
    void Clear();
    bool IsInitialized() const noexcept { return m_initialized; }

    /// Records object `id` with the box spanned by two corners (in any order) and returns in
    /// `nums` (when not null) where it went. False for a NaN coordinate or an uninitialised tree;
    /// infinite coordinates are clamped like any other. Throws std::length_error beyond 2^32 − 2
    /// nodes or objects and std::bad_alloc.
    bool AddObject(std::uint64_t id, const vec2d& min, const vec2d& max, SObjRcrdNums* nums = nullptr);
    /// The same for a box; false for an empty box.
    bool AddObject(std::uint64_t id, const limits2d& box, SObjRcrdNums* nums = nullptr);
    /// The same for a pair of corners.
    bool AddObject(std::uint64_t id, const std::pair<vec2d, vec2d>& corners, SObjRcrdNums* nums = nullptr) {
        return AddObject(id, corners.first, corners.second, nums);
    }
    /// Removes the object recorded at `nums`; false (and no change) when those numbers do not
    /// name a live record of `id`. A record freed here is reused by later adds, so numbers must
    /// not be used again after their object was deleted.
    bool DeleteObject(std::uint64_t id, const SObjRcrdNums& nums);

    /// Live objects, and nodes including the root.
    std::size_t GetObjectsCount() const noexcept { return m_objectsCount; }
    std::size_t GetNodesCount() const noexcept { return m_nodes.size(); }
    /// Levels including the root, and the limits given to Init.
    unsigned GetLevels() const noexcept { return m_levels; }
    const limits2d& GetLimits() const noexcept { return m_limits; }

protected:
    /// The two GetRect forms for the derived classes; const, they touch nothing but their
    /// arguments. The first clears `ids` and appends the candidates of the box spanned by two
    /// corners (in any order); the second writes them at the front of `ids`, which it grows but
    /// never shrinks, and returns their count in `count` and as its result.
    void GetRectImpl(const vec2d& a, const vec2d& b, std::vector<std::uint64_t>& ids, SNodePath& path) const;
    std::size_t GetRectImpl(const limits2d& rect, std::size_t& count, std::vector<std::uint64_t>& ids,
                            SNodePath& path) const;

private:
    struct SNode {
        std::uint32_t Child[4]; // 0: none (the root is no one's child)
        std::uint32_t First;    // first object of the list, kNone when empty
        std::uint32_t RunNext;  // next unused record of the node's current run
        std::uint16_t RunLeft;  // unused records left in that run
        std::uint16_t RunLog;   // log2 of the size of the node's next run
    };
    struct SObject {
        std::uint64_t Id;
        std::uint32_t Next; // kNone at the end; the free list while freed
        std::uint32_t Prev; // kNone at the head, kFreed while freed
    };
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    static constexpr std::uint32_t kFreed = 0xFFFFFFFEu;

    bool Clamp(vec2d& lo, vec2d& hi) const;
    template <class Sink> void Collect(vec2d lo, vec2d hi, SNodePath& path, Sink& sink) const;
    std::uint32_t NewNode();
    std::uint32_t NewObject(std::uint32_t node, std::uint64_t id);

    TKrFragmentedBuffer<SNode> m_nodes;
    TKrFragmentedBuffer<SObject> m_objects;
    std::uint32_t m_freeObjects = kNone;
    std::size_t m_objectsCount = 0;
    limits2d m_limits;
    vec2d m_half[kMaxTreeLevels]; // half extents of a node at each level
    unsigned m_levels = 0;
    bool m_initialized = false;
};

} // namespace KrQuadTree
