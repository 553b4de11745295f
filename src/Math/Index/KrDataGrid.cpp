// TKrDataGrid: cell lookup by rounding, records row by row.
#include "Math/Index/KrDataGrid.h"

#include <cmath>
#include <limits>
#include <stdexcept>

static_assert(sizeof(TKrDataGrid::data_t) == 16, "grid records are 16 bytes");

TKrDataGrid::TKrDataGrid(int nx, int ny, const vec2d& origin, const vec2d& step, const data_t& fill)
    : m_nx(nx), m_ny(ny), m_origin(origin), m_step(step) {
    if (nx <= 0 || ny <= 0 ||
        static_cast<std::size_t>(nx) >
            std::numeric_limits<std::ptrdiff_t>::max() / sizeof(data_t) / static_cast<std::size_t>(ny))
        throw std::length_error("@TKrDataGrid::TKrDataGrid(): invalid dimensions.");
    m_data.assign(static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny), fill);
}

vec2d TKrDataGrid::CellPosition(const vec2d& p) const {
    return {(p.x - m_origin.x) / m_step.x, (p.y - m_origin.y) / m_step.y};
}

void TKrDataGrid::Copy(const cell_t& c, data_t* data, cell_t* cell) const {
    if (data)
        *data = m_data[static_cast<std::size_t>(c.y) * static_cast<std::size_t>(m_nx) +
                       static_cast<std::size_t>(c.x)];
    if (cell) *cell = c;
}

bool TKrDataGrid::FindCell(const vec2d& p, cell_t* cell, vec2d* centre) const {
    const vec2d f = CellPosition(p);
    // std::round takes halves away from zero. The comparisons are written so that NaN fails;
    // the bounds are checked in double before the conversion to int.
    const double i = std::round(f.x), j = std::round(f.y);
    if (!(i >= 0 && j >= 0 && i <= m_nx - 0.9 && j <= m_ny - 0.9)) return false;
    const cell_t c(static_cast<int>(i), static_cast<int>(j));
    if (cell) *cell = c;
    if (centre) *centre = CoordsByIndex(c);
    return true;
}

bool TKrDataGrid::FindData(const vec2d& p, data_t* data, cell_t* cell) const {
    cell_t c;
    if (!FindCell(p, &c, nullptr)) return false;
    Copy(c, data, cell);
    return true;
}

bool TKrDataGrid::FindData_frn(const vec2d& p, data_t* data, cell_t* cell) const {
    const vec2d f = CellPosition(p);
    if (!(f.x >= -0.5 && f.y >= -0.5 && f.x < m_nx && f.y < m_ny)) return false;
    const double i = std::round(f.x), j = std::round(f.y);
    const cell_t c(i < 0          ? 0
                   : i > m_nx - 1 ? m_nx - 1
                                  : static_cast<int>(i),
                   j < 0          ? 0
                   : j > m_ny - 1 ? m_ny - 1
                                  : static_cast<int>(j));
    Copy(c, data, cell);
    return true;
}

const TKrDataGrid::data_t& TKrDataGrid::DataByIndex(const cell_t& cell) const {
    if (cell.x < 0 || cell.y < 0 || cell.x >= m_nx || cell.y >= m_ny)
        throw std::out_of_range("@TKrDataGrid::DataByIndex(): cell out of range.");
    return m_data[static_cast<std::size_t>(cell.y) * static_cast<std::size_t>(m_nx) +
                  static_cast<std::size_t>(cell.x)];
}

TKrDataGrid::data_t& TKrDataGrid::DataByIndex(const cell_t& cell) {
    return const_cast<data_t&>(static_cast<const TKrDataGrid&>(*this).DataByIndex(cell));
}

vec2d TKrDataGrid::CoordsByIndex(const cell_t& cell) const {
    return {m_origin.x + cell.x * m_step.x, m_origin.y + cell.y * m_step.y};
}
