// KrQuadTree::TKrQuadTree: the older box quad tree that keeps its query state inside (one query at a time).
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrQuadTreeBase.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KrQuadTree {

/// TKrQuadTreeBase whose queries keep their traversal state in the tree, so a query is not
/// const and only one may run at a time (also against other queries). For concurrent queries on
/// one tree use TKrMultiThreadQuadTree.
class KRSTD_API TKrQuadTree : public TKrQuadTreeBase {
public:
    /// Clears `ids` and appends the ids of the candidate objects for the box spanned by two
    /// corners (in any order): every object whose box meets it, and others near it. Nothing for
    /// a NaN corner or an uninitialised tree.
    void GetRect(const vec2d& min, const vec2d& max, std::vector<std::uint64_t>& ids) {
        GetRectImpl(min, max, ids, m_path);
    }
    /// The same into a reusable buffer: the candidates are written at the front of `ids`, which
    /// grows when needed and never shrinks; their number is returned and stored in `count`.
    /// Nothing for an empty rectangle.
    std::size_t GetRect(const limits2d& rect, std::size_t& count, std::vector<std::uint64_t>& ids) {
        return GetRectImpl(rect, count, ids, m_path);
    }

private:
    SNodePath m_path;
};

} // namespace KrQuadTree
