// kr::TCellFrame: clamped cell addressing shared by the grid and quad-tree indexes.
#pragma once

#include "Math/KrLimits.h"

#include <cmath>
#include <cstdint>

namespace kr {

/// An inclusive range of cells on both axes.
struct TCellBox {
    std::uint32_t x0, y0, x1, y1;

    bool Intersects(std::uint32_t bx0, std::uint32_t by0, std::uint32_t bx1,
                    std::uint32_t by1) const noexcept {
        return bx0 <= x1 && bx1 >= x0 && by0 <= y1 && by1 >= y0;
    }
    bool Contains(std::uint32_t bx0, std::uint32_t by0, std::uint32_t bx1, std::uint32_t by1) const noexcept {
        return bx0 >= x0 && bx1 <= x1 && by0 >= y0 && by1 <= y1;
    }
};

/// Cell addressing of one index: origin, cells per unit and last cell index per axis, and the
/// bounds of everything stored, which are the limits grown by objects stored outside them.
///
/// A coordinate maps to trunc((v − origin)·scale) clamped to [0, last]: objects outside the limits
/// sit in the border cells. The mapping is monotonic, so an object inside a query rectangle always
/// lands between the cells of the rectangle's corners; that is what makes every query answer a
/// superset of the exact one. Queries that miss the bounds find nothing without touching a cell.
struct TCellFrame {
    vec2d origin;
    vec2d scale;
    std::uint32_t lastX = 0, lastY = 0;
    limits2d bounds;

    /// Addresses cellsX × cellsY cells over [min, max] and sets the bounds to it. False (the frame
    /// unchanged) when a coordinate is not finite, min is not below max (a zero extent passes when
    /// `flatAllowed`: everything then falls into the first cell of that axis), the extent overflows
    /// or the cells are too small to address.
    bool Setup(const vec2d& min, const vec2d& max, std::uint32_t cellsX, std::uint32_t cellsY,
               bool flatAllowed) noexcept {
        vec2d s;
        if (cellsX == 0 || cellsY == 0 || !AxisScale(min.x, max.x, cellsX, flatAllowed, s.x) ||
            !AxisScale(min.y, max.y, cellsY, flatAllowed, s.y))
            return false;
        origin = min;
        scale = s;
        lastX = cellsX - 1;
        lastY = cellsY - 1;
        bounds = limits2d(min, max);
        return true;
    }

    static bool IsFinite(const vec2d& p) noexcept { return std::isfinite(p.x) && std::isfinite(p.y); }

    /// The cell of `v` on an axis; NaN gives 0 (callers reject NaN first where that matters).
    static std::uint32_t CellOf(double v, double origin, double scale, std::uint32_t last) noexcept {
        const double t = (v - origin) * scale;
        if (!(t > 0)) return 0;
        if (t >= static_cast<double>(last)) return last;
        return static_cast<std::uint32_t>(t);
    }
    std::uint32_t CellX(double x) const noexcept { return CellOf(x, origin.x, scale.x, lastX); }
    std::uint32_t CellY(double y) const noexcept { return CellOf(y, origin.y, scale.y, lastY); }

    /// The cells a closed query rectangle may touch; false (nothing to find) for a rectangle with
    /// NaN or inverted coordinates or one that misses the bounds. A query edge lying on a cell
    /// border includes the cell beyond it, where objects on that border are stored.
    bool QueryCells(const vec2d& min, const vec2d& max, TCellBox& cells) const noexcept {
        if (bounds.empty || !(min.x <= max.x) || !(min.y <= max.y)) return false;
        if (max.x < bounds.min.x || min.x > bounds.max.x || max.y < bounds.min.y || min.y > bounds.max.y)
            return false;
        cells = {CellX(min.x), CellY(min.y), CellX(max.x), CellY(max.y)};
        return true;
    }

private:
    static bool AxisScale(double lo, double hi, std::uint32_t cells, bool flatAllowed,
                          double& scale) noexcept {
        if (!std::isfinite(lo) || !std::isfinite(hi)) return false;
        const double extent = hi - lo;
        if (!(extent > 0)) {
            scale = 0;
            return flatAllowed && extent == 0;
        }
        scale = static_cast<double>(cells) / extent;
        return std::isfinite(extent) && std::isfinite(scale);
    }
};

} // namespace kr
