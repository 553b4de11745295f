// kr::TBaseOctoTree: the cell addressing and node blocks of a sparse octree over 3D limits.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrLimits.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kr {

/// A sparse octree over a box. With L levels (the root being level 0) the finest level has
/// N = 2^(L−1) cells per side; a point maps to cell trunc((p − min) · N / extent) per axis,
/// clamped to [0, N − 1]. A node at level d covers a cube of 2^(L−1−d) finest cells.
///
/// Splitting: nodes split on demand, and always into all eight children at once. Splitting a
/// node appends its eight children as one block, numbered bit(x) + 2·bit(y) + 4·bit(z) by the
/// next lower bit of the cell indices, so a node's children are FirstChild .. FirstChild + 7 and
/// every child has a higher number than its parent. Node 0 is the root; FirstChild 0 means none.
/// Only the cells something was put into are reached by splits: memory follows the data, not
/// the extent.
///
/// Costs: a descent is O(L); nodes live in one vector (splits may move them). One writer;
/// concurrent const use is safe.
class KRSTD_API TBaseOctoTree {
public:
    /// The greatest level count: 2^20 cells per side.
    static constexpr unsigned kMaxLevels = 21;
    /// A finest cell's indices.
    using index_t = vec_t_<int, 3>;

    TBaseOctoTree() = default;

    /// Makes the tree empty (the root only) over `limits` with `levels` levels. Throws TKrMessage
    /// "@kr::TBaseOctoTree::Create(): Invalid argument limits" for empty, non-finite or
    /// inverted limits or a zero extent, and "... Invalid argument levels" for 0 or more than 21.
    /// The tree is left as it was when it throws.
    void Create(const limits3d& limits, unsigned levels);
    /// Frees every node; the tree is no longer created.
    void Destroy() noexcept;
    bool IsCreated() const noexcept { return m_levels != 0; }

    const limits3d& GetLimits() const noexcept { return m_limits; }
    /// Levels including the root (0 before Create).
    unsigned GetLevels() const noexcept { return m_levels; }
    /// Finest cells per side.
    int GetCellsPerSide() const noexcept { return m_cells; }
    std::size_t GetNodesCount() const noexcept { return m_firstChild.size(); }
    /// The first of the node's eight children, 0 when it has none. `node` must be below
    /// GetNodesCount().
    std::uint32_t GetFirstChild(std::uint32_t node) const { return m_firstChild[node]; }

    /// The finest cell of `p`, clamped to the tree ("clampted": positions outside the limits
    /// map to the nearest border cell). False, with `index` untouched, for a NaN coordinate or a
    /// tree not created. O(1).
    bool GetLocalClamptedIndex(const vec3d& p, index_t* index) const;

protected:
    /// Appends the eight children of `node` and returns the first. Throws std::length_error
    /// when node numbers would pass 2^32 − 1.
    std::uint32_t Split(std::uint32_t node);
    /// The child of a node at `level` on the way to finest cell `cell`.
    static unsigned ChildSlot(const index_t& cell, unsigned level, unsigned levels) {
        const unsigned shift = levels - 2 - level;
        return ((cell.x >> shift) & 1) | (((cell.y >> shift) & 1) << 1) | (((cell.z >> shift) & 1) << 2);
    }
    /// Checks limits and levels the way Create does; returns the reason text or "".
    static std::string CheckShape(const limits3d& limits, unsigned levels);
    /// Replaces the topology (no checks).
    void SetShape(const limits3d& limits, unsigned levels, std::vector<std::uint32_t> firstChild);
    void Swap(TBaseOctoTree& other) noexcept;

    std::vector<std::uint32_t> m_firstChild;

private:
    limits3d m_limits;
    vec3d m_scale{};
    unsigned m_levels = 0;
    int m_cells = 0;
};

} // namespace kr
