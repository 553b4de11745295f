// Raster sampling grids: TKrDibRect (a regular grid in full-resolution pixels) and TKrDibRectI.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <cstdint>
#include <set>

class TKrXIniReader;
class TKrXIniWriter;

/// Width and height of a pixel block (columns, rows).
using TKrDibSize = vec_t_<std::uint64_t, 2>;

/// A regular sampling grid in the coordinates of the full-resolution image, where one
/// full-resolution pixel is one unit. Sample (i, j) lies at origin + (i, j) · pixel_size; row j
/// of a grid goes to row j of an output buffer. Pixel size (1, 1) is the full-resolution level,
/// 2^k pyramid level k. Six fields, 48 bytes, in this order: other modules rely on the layout.
struct TKrDibRect {
    vec2d origin{0, 0};     ///< position of sample (0, 0)
    TKrDibSize count{0, 0}; ///< columns and rows
    vec2d pixel_size{1, 1}; ///< distance between neighbouring columns and rows

    /// The position of sample (i, j) on one axis (0 = x, 1 = y).
    double Sample(int axis, double index) const noexcept {
        return axis ? origin.y + index * pixel_size.y : origin.x + index * pixel_size.x;
    }
    bool IsEmpty() const noexcept { return count.x == 0 || count.y == 0; }
};
static_assert(sizeof(TKrDibRect) == 48, "TKrDibRect is six 8-byte fields");

/// Exact field-wise equality (a NaN field makes grids unequal).
KRSTD_API bool operator==(const TKrDibRect& a, const TKrDibRect& b) noexcept;
inline bool operator!=(const TKrDibRect& a, const TKrDibRect& b) noexcept {
    return !(a == b);
}

/// True when origins are finite, pixel sizes finite and positive and both counts at most 2^48:
/// the grids sources can serve. Sources answer other requests with "nothing to write" (2).
KRSTD_API bool KrIsDibRectValid(const TKrDibRect& r) noexcept;

/// True when both grids have the same counts, their first samples agree within eps · (a's pixel
/// size) on each axis and, for non-empty grids, so do their last samples; empty grids must also
/// have equal pixel sizes.
KRSTD_API bool IsRectExact(const TKrDibRect& a, const TKrDibRect& b, double eps) noexcept;

/// Writes the six items "origin_x", "origin_y", "pixel_size_x", "pixel_size_y", "count_x",
/// "count_y" (counts as 32-bit unsigned) into the current section. A count above 2^32 - 1
/// throws TKrMessage; a failed write throws the writer's write error.
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrDibRect& rect);
/// Loads the section at index. A missing item throws the reader's missing-item error; a
/// non-finite origin or a pixel size that is not finite and positive throws its value error.
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrDibRect& rect);

/// A 32-bit left/top/right/bottom rectangle (right and bottom exclusive).
struct TKrRect32 {
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};

/// An integer pixel rectangle on one level grid, as pyramids and caches use it. Right and bottom
/// are exclusive. A width or height computed from crossed edges wraps around (IntersectRect).
struct TKrDibRectI {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::uint64_t width = 0;
    std::uint64_t height = 0;

    TKrDibRectI() = default;
    TKrDibRectI(std::int64_t l, std::int64_t t, std::uint64_t w, std::uint64_t h)
        : left(l), top(t), width(w), height(h) {}

    std::int64_t right() const noexcept { return left + static_cast<std::int64_t>(width); }
    std::int64_t bottom() const noexcept { return top + static_cast<std::int64_t>(height); }
    /// Moves the left edge and keeps the right one (the width absorbs the shift).
    void set_left(std::int64_t l) noexcept {
        width = static_cast<std::uint64_t>(right() - l);
        left = l;
    }
    void set_top(std::int64_t t) noexcept {
        height = static_cast<std::uint64_t>(bottom() - t);
        top = t;
    }
    /// Moves the right (bottom) edge: only the width (height) changes.
    void set_right(std::int64_t r) noexcept { width = static_cast<std::uint64_t>(r - left); }
    void set_bottom(std::int64_t b) noexcept { height = static_cast<std::uint64_t>(b - top); }
    void SetRect(std::int64_t l, std::int64_t t, std::int64_t r, std::int64_t b) noexcept {
        left = l;
        top = t;
        width = static_cast<std::uint64_t>(r - l);
        height = static_cast<std::uint64_t>(b - t);
    }
    /// The edges as 32-bit values (truncated).
    TKrRect32 GetRect() const noexcept {
        return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
                static_cast<std::int32_t>(right()), static_cast<std::int32_t>(bottom())};
    }
};

/// Lexicographic by left, top, width, height (for sets of rectangles).
KRSTD_API bool operator<(const TKrDibRectI& a, const TKrDibRectI& b) noexcept;
KRSTD_API bool operator==(const TKrDibRectI& a, const TKrDibRectI& b) noexcept;
inline bool operator!=(const TKrDibRectI& a, const TKrDibRectI& b) noexcept {
    return !(a == b);
}

/// True when left <= p.x < right and top <= p.y < bottom.
KRSTD_API bool PointInRect(const TKrDibRectI& rect, const vec_t_<std::int64_t, 2>& p) noexcept;
/// Writes the intersection to `out` (larger starts, smaller ends minus larger starts: a negative
/// extent wraps) and returns true only when both extents are positive. `out` may alias a or b.
KRSTD_API bool IntersectRect(const TKrDibRectI& a, const TKrDibRectI& b, TKrDibRectI& out) noexcept;
/// Removes `rect` from the set: members it cuts are replaced by up to four pieces (full-width
/// bands above and below, then the parts left and right of it), so the set covers exactly the
/// old area minus the rectangle. O(members · log members).
KRSTD_API void ExcludeDibRegionRect(std::set<TKrDibRectI>& set, const TKrDibRectI& rect);
