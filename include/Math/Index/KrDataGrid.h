// TKrDataGrid: a regular grid of 16-byte records addressed by cell or by position.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <vector>

/// nx · ny records stored row by row (record (i, j) at j · nx + i). The origin is the centre of
/// cell (0, 0) and cell (i, j) is centred at origin + (i · dx, j · dy), so the grid covers
/// origin − step/2 to origin + (n − 1/2) · step per axis. Steps may be negative; a zero or
/// non-finite step makes every position lookup fail.
class KRSTD_API TKrDataGrid {
public:
    /// The record type: 16 bytes.
    using data_t = vec2d;
    /// A cell's column i and row j.
    using cell_t = vec_t_<int, 2>;

    /// A grid of nx · ny records, each set to `fill`. Throws std::length_error
    /// "@TKrDataGrid::TKrDataGrid(): invalid dimensions." when a count is 0 or negative or the
    /// record count does not fit in memory addressing; std::bad_alloc.
    TKrDataGrid(int nx, int ny, const vec2d& origin, const vec2d& step, const data_t& fill);

    /// The cell nearest to `p`: i = round((p.x − origin.x) / dx), j likewise, halves rounded
    /// away from zero. False (outputs untouched) when i or j is negative or greater than
    /// n − 0.9, or the position is not a number; otherwise stores the cell and its centre
    /// (either pointer may be null). O(1).
    bool FindCell(const vec2d& p, cell_t* cell, vec2d* centre) const;
    /// FindCell, then copies the cell's record to `data` (either pointer may be null).
    bool FindData(const vec2d& p, data_t* data, cell_t* cell) const;
    /// FindData for positions from −0.5 up to (not including) n cells from the origin per axis:
    /// the cell is the rounded position clamped to [0, n − 1], so the grid's far border and up
    /// to half a cell beyond it belong to the last cell.
    bool FindData_frn(const vec2d& p, data_t* data, cell_t* cell) const;

    /// The record of a cell. Throws std::out_of_range for a cell outside the grid.
    data_t& DataByIndex(const cell_t& cell);
    const data_t& DataByIndex(const cell_t& cell) const;
    /// The centre of a cell, origin + index · step (any index, no check).
    vec2d CoordsByIndex(const cell_t& cell) const;

    int GetWidth() const noexcept { return m_nx; }
    int GetHeight() const noexcept { return m_ny; }
    const vec2d& GetOrigin() const noexcept { return m_origin; }
    const vec2d& GetStep() const noexcept { return m_step; }
    /// The records, row by row.
    const std::vector<data_t>& GetData() const noexcept { return m_data; }

private:
    // The position of p in cells from the origin, per axis.
    vec2d CellPosition(const vec2d& p) const;
    void Copy(const cell_t& c, data_t* data, cell_t* cell) const;

    int m_nx, m_ny;
    vec2d m_origin, m_step;
    std::vector<data_t> m_data;
};
