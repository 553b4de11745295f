// Visits of the cells of a rectangle: row by row, column by column, and in a spiral from the centre.
#pragma once

#include <algorithm>
#include <cstdint>

namespace KrRasterInternal {

// Each loop calls action.DoCell(x, y) for the cells of the half-open rectangle [x0, x1) × [y0, y1)
// and stops as soon as DoCell returns false (the loop then returns false). An empty rectangle
// visits nothing and succeeds. The action is a template parameter so that the per-cell call
// inlines.

/// Rows top to bottom, each left to right.
template <class A>
bool RectRowLoop(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, A& action) {
    for (std::int64_t y = y0; y < y1; ++y)
        for (std::int64_t x = x0; x < x1; ++x)
            if (!action.DoCell(x, y)) return false;
    return true;
}

/// Columns left to right, each top to bottom.
template <class A>
bool RectCollLoop(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, A& action) {
    for (std::int64_t x = x0; x < x1; ++x)
        for (std::int64_t y = y0; y < y1; ++y)
            if (!action.DoCell(x, y)) return false;
    return true;
}

/// The centre cell first, then rings around it: on each turn the column right of the visited
/// square downwards, the row below it leftwards, the column left of it upwards and the row above
/// it rightwards, each clipped to the rectangle. A viewer filled in this order shows the middle
/// of the request first. One call per cell plus O(larger side) clipping steps.
template <class A>
bool RectHelixLoop(std::int64_t x0, std::int64_t y0, std::int64_t x1, std::int64_t y1, A& action) {
    if (x0 >= x1 || y0 >= y1) return true;
    // Halving toward minus infinity, also for negative coordinates.
    const auto half = [](std::int64_t v) { return v >= 0 ? v / 2 : -((-v + 1) / 2); };
    const std::int64_t cx = half(x0 + x1 - 1), cy = half(y0 + y1 - 1);
    if (!action.DoCell(cx, cy)) return false;
    const std::int64_t side = std::max(x1 - x0, y1 - y0);
    if (side < 2) return true;
    std::int64_t L = cx, R = cx + 1, T = cy, B = cy + 1;
    for (std::int64_t turn = side / 2; turn > 0; --turn) {
        if (R < x1)
            for (std::int64_t y = std::max(T, y0), end = std::min(B + 1, y1); y < end; ++y)
                if (!action.DoCell(R, y)) return false;
        if (B < y1)
            for (std::int64_t x = std::min(R, x1) - 1, end = std::max(L - 1, x0); x >= end; --x)
                if (!action.DoCell(x, B)) return false;
        const bool topInside = T > y0;
        --T;
        if (L > x0)
            for (std::int64_t y = std::min(B, y1) - 1, end = std::max(T, y0); y >= end; --y)
                if (!action.DoCell(L - 1, y)) return false;
        if (topInside)
            for (std::int64_t x = std::max(L, x0), end = std::min(R + 1, x1); x < end; ++x)
                if (!action.DoCell(x, T)) return false;
        --L;
        ++R;
        ++B;
    }
    return true;
}

} // namespace KrRasterInternal
