// kr::TRangeOctoTreeI: a sparse octree whose nodes hold the [min, max] range of a value over their cube.
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrBaseOctoTree.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

class TKrStream;
class TKrXIniReader;
class TKrXIniWriter;

namespace kr {

/// Every node of the TBaseOctoTree holds the range of the values put into its cube: finest
/// cells hold what AddValue and SetCellRange gave them, an inner node the union of its
/// children's ranges. Instantiated for T = int and T = long.
///
/// AddValue keeps every range on its path up to date; SetCellRange does not (a batch of them is
/// followed by one UpdateNodesRange). A node without children above the finest level covers
/// nothing yet and holds the empty range.
///
/// Stream layout (SaveE/LoadE), little-endian:
///   8 bytes "KrOcTree", u32 version (1), u32 value size (4 or 8), u32 levels,
///   6 × f64 limits (min x, y, z, max x, y, z), u32 node count n,
///   n bytes, one per node in breadth-first order: 1 = split, 0 = not,
///   n × (min, max) values in the same order, u32 CRC-32 of every byte before it.
/// Breadth-first order lets the loader rebuild every child number from the split flags alone,
/// so a stream holds no node numbers to check. XIni layout (XIniSaveE/XIniLoadE), items of the
/// current section: "version" (int 1), "value_size" (int), "levels" (int), "min" and "max"
/// (three doubles each), "nodes" (the node count), "split" (binary: the flag bytes) and "ranges"
/// (binary: the value pairs, as in the stream).
///
/// Loading checks everything before it changes the tree (which keeps its content on failure)
/// and memory grows with the bytes actually read, never with a count the input claims.
/// Failures throw TKrMessage "@kr::TRangeOctoTreeI::LoadE(TKrStream*): <reason>" (or
/// "...::XIniLoadE(TKrXIniReader*, size_t): <reason>") naming what was wrong: the data ends
/// early, wrong signature, unsupported version, value size, levels or limits, node count,
/// checksum mismatch, node structure, or a node's range.
template <class T> class KRSTD_API TRangeOctoTreeI : public TBaseOctoTree {
public:
    using value_t = T;
    /// A range of values; min > max is the empty range.
    struct range_t {
        T min;
        T max;
        bool empty() const noexcept { return min > max; }
        bool operator==(const range_t& o) const noexcept { return min == o.min && max == o.max; }
        bool operator!=(const range_t& o) const noexcept { return !(*this == o); }
    };
    /// The one stored form of the empty range.
    static constexpr range_t EmptyRange() noexcept {
        return {std::numeric_limits<T>::max(), std::numeric_limits<T>::lowest()};
    }

    /// TBaseOctoTree::Create; the root holds the empty range.
    void Create(const limits3d& limits, unsigned levels);
    void Destroy() noexcept;

    /// Widens the range of p's finest cell (clamped into the tree) and of every node above it to
    /// include `value`, splitting nodes on the way as needed. False for a NaN coordinate or a
    /// tree not created. O(levels).
    bool AddValue(const vec3d& p, T value);
    /// Sets the range of a finest cell (any min > max stores the empty range), splitting down to
    /// it, and leaves the nodes above alone: call UpdateNodesRange after a batch. False for a
    /// cell outside the tree or a tree not created. O(levels).
    bool SetCellRange(const index_t& cell, const range_t& range);
    /// The range of a finest cell; empty for a cell never reached or outside the tree.
    range_t GetCellRange(const index_t& cell) const;
    /// The range of a node. Throws std::out_of_range for a number at or above GetNodesCount().
    const range_t& GetNodeRange(std::uint32_t node) const;

    /// Recomputes a node's range as the union of its children's (a node without children keeps
    /// its own). Throws std::out_of_range like GetNodeRange. O(1).
    void UpdateNodeRange(std::uint32_t node);
    /// Recomputes every inner node from the finest cells up. O(nodes).
    void UpdateNodesRange();

    /// The union of the ranges of the finest cells that `box` touches (clamped to the limits).
    /// False, with `range` untouched, when the box is empty, has a NaN coordinate, does not meet
    /// the limits or the tree is not created. Whole nodes inside the box are taken at once.
    bool GetRange(const limits3d& box, range_t* range) const;

    /// Writes the tree in the stream layout above. Throws TKrMessage when the stream refuses
    /// bytes or the tree is not created. O(nodes).
    void SaveE(TKrStream* stream) const;
    /// Replaces the tree by one read from the stream (see the failures above). O(bytes).
    void LoadE(TKrStream* stream);
    /// Writes the items of the XIni layout into the writer's current section.
    void XIniSaveE(TKrXIniWriter* writer) const;
    /// Replaces the tree by the one in the section at `index` of the reader's current section.
    void XIniLoadE(TKrXIniReader* reader, std::size_t index);

private:
    std::uint32_t SplitNode(std::uint32_t node);
    void Replace(const limits3d& limits, unsigned levels, const std::string& split, const std::string& ranges,
                 const char* where);
    void Flatten(std::string& split, std::string& ranges) const;

    std::vector<range_t> m_ranges;
};

extern template class TRangeOctoTreeI<int>;
extern template class TRangeOctoTreeI<long>;

/// The persistence convention of the library (KrXIniSerialize.h) for range octrees.
template <class T> void XIniSaveE(TKrXIniWriter* writer, const TRangeOctoTreeI<T>& tree) {
    tree.XIniSaveE(writer);
}
template <class T> void XIniLoadE(TKrXIniReader* reader, std::size_t index, TRangeOctoTreeI<T>& tree) {
    tree.XIniLoadE(reader, index);
}

} // namespace kr
