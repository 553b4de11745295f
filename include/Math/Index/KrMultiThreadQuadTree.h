// KrQuadTree::TKrMultiThreadQuadTree: the older box quad tree whose queries may run on many threads at once.
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrQuadTreeBase.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace KrQuadTree {

/// TKrQuadTreeBase whose queries are const: the traversal state (an SNodePath of about 350
/// bytes) lives on the caller's stack or is passed in, so any number of threads may query one
/// tree at once while nobody adds, deletes, clears or re-initialises it.
class KRSTD_API TKrMultiThreadQuadTree : public TKrQuadTreeBase {
public:
    /// Clears `ids` and appends the ids of the candidate objects for the box spanned by two
    /// corners (in any order): every object whose box meets it, and others near it. Nothing for
    /// a NaN corner or an uninitialised tree.
    void GetRect(const vec2d& min, const vec2d& max, std::vector<std::uint64_t>& ids) const {
        SNodePath path;
        GetRectImpl(min, max, ids, path);
    }
    /// The same with the caller's traversal state.
    void GetRect(const vec2d& min, const vec2d& max, std::vector<std::uint64_t>& ids, SNodePath& path) const {
        GetRectImpl(min, max, ids, path);
    }
    /// The same into a reusable buffer: the candidates are written at the front of `ids`, which
    /// grows when needed and never shrinks; their number is returned and stored in `count`.
    /// Nothing for an empty rectangle.
    std::size_t GetRect(const limits2d& rect, std::size_t& count, std::vector<std::uint64_t>& ids) const {
        SNodePath path;
        return GetRectImpl(rect, count, ids, path);
    }
    std::size_t GetRect(const limits2d& rect, std::size_t& count, std::vector<std::uint64_t>& ids,
                        SNodePath& path) const {
        return GetRectImpl(rect, count, ids, path);
    }
};

} // namespace KrQuadTree
