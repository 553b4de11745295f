// kr::TStaticPointsGrid: a build-once regular grid of point ids in one flat array.
#pragma once

#include "Core/KrExport.h"
#include "Math/Index/KrCellFrame.h"

#include <cstdint>
#include <vector>

namespace kr {

/// A regular grid of cellsX × cellsY cells over fixed limits, filled once from a known point set
/// in two passes: InitPoint for every point counts the cells, AddPointBegin turns the counts into
/// offsets of one flat id array, AddPoint for every point stores its id, AddPointEnd finishes.
/// Cells are numbered row by row (y·cellsX + x); each cell's ids are one contiguous run, and so
/// are those of a row of cells, so a query copies one run per row.
///
/// Points outside the limits are clamped into the border cells. Limits may be flat (all points
/// on one vertical or horizontal line). Queries return candidates: the points of every cell the
/// query rectangle (closed on all sides) touches, a superset of the points inside it.
///
/// Memory: 8 bytes per cell and 8 per point. Queries are const and may run concurrently.
class KRSTD_API TStaticPointsGrid {
public:
    using TObjectId = std::uint64_t;
    /// A cell's run of ids. While filling, `start` is the next free slot and `count` the slots left.
    struct TCell {
        std::uint32_t start, count;
    };

    /// Prepares an empty grid of cellsX × cellsY cells over `limits`. Throws TKrMessage for empty
    /// or non-finite limits, min above max, no cells, or more than 2^32 cells.
    void Init(const limits2d& limits, std::uint32_t cellsX, std::uint32_t cellsY);
    /// Cell counts per axis for about `pointsPerCell` of `count` points spread over `limits`.
    static void SuggestCells(const limits2d& limits, std::size_t count, double pointsPerCell,
                             std::uint32_t& cellsX, std::uint32_t& cellsY) noexcept;
    /// Releases everything; the grid is uninitialised again.
    void Deinit() noexcept;

    /// The cell of a point (clamped into the grid; NaN gives cell 0 of its axis).
    std::uint32_t CellIndex(const vec2d& point) const noexcept {
        const std::uint32_t x = m_frame.CellX(point.x), y = m_frame.CellY(point.y);
        return m_shift >= 0 ? (y << m_shift) | x : y * m_cellsX + x;
    }

    /// First pass: counts a point in its cell. Throws TKrMessage for a NaN or infinite coordinate,
    /// outside the first pass, or beyond 2^32 − 1 points.
    void InitPoint(const vec2d& point);
    /// Counts a point in a cell given by index (from CellIndex); throws for an index out of range.
    void InitPointI(std::uint32_t cell);
    /// Ends the first pass: turns counts into offsets and sizes the id array.
    void AddPointBegin();
    /// Second pass: stores `id` in the point's cell. Throws TKrMessage when the cell already holds
    /// as many ids as were counted, or outside the second pass.
    void AddPoint(const vec2d& point, TObjectId id);
    /// Stores `id` in a cell given by index.
    void AddPointI(std::uint32_t cell, TObjectId id) {
        if (m_phase != EPhase::Filling || cell >= m_cells.size() || m_cells[cell].count == 0) FailAdd();
        TCell& c = m_cells[cell];
        m_ids[c.start++] = id;
        --c.count;
    }
    /// Ends the second pass; cells that received fewer ids than counted are closed up. The grid
    /// may be queried from now on, and Init starts over.
    void AddPointEnd();

    /// Replaces `ids` with the ids of every cell the closed rectangle touches: floor((min − origin)·s)
    /// to floor((max − origin)·s) per axis, clamped. Nothing for a rectangle with NaN or inverted
    /// coordinates, one beside every point, or a grid not yet filled.
    void GetRect(const limits2d& rect, std::vector<TObjectId>& ids) const;

    std::uint32_t CellsX() const noexcept { return m_cellsX; }
    std::uint32_t CellsY() const noexcept { return m_cellsY; }
    const std::vector<TCell>& Cells() const noexcept { return m_cells; }
    const std::vector<TObjectId>& Ids() const noexcept { return m_ids; }

private:
    enum class EPhase { None, Counting, Filling, Ready };
    [[noreturn]] static void FailAdd();
    void Count(std::uint32_t cell);

    TCellFrame m_frame;
    std::uint32_t m_cellsX = 0, m_cellsY = 0;
    int m_shift = -1; // log2(cellsX) when cellsX is a power of two
    std::vector<TCell> m_cells;
    std::vector<TObjectId> m_ids;
    std::uint64_t m_counted = 0;
    EPhase m_phase = EPhase::None;
};

} // namespace kr
