// kr::TStaticPointsGrid: the two counting passes, closing up short cells, row-wise queries.
#include "Math/Index/KrStaticPointsGrid.h"

#include "Core/KrMessage.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace kr {

namespace {
[[noreturn]] void Fail(const char* text) {
    throw TKrMessage(text);
}
} // namespace

void TStaticPointsGrid::Init(const limits2d& limits, std::uint32_t cellsX, std::uint32_t cellsY) {
    const char* const signature = "@void kr::TStaticPointsGrid::Init(const limits2d &, uint32_t, uint32_t): ";
    if (cellsX == 0 || cellsY == 0 || std::uint64_t(cellsX) * cellsY > (std::uint64_t(1) << 32))
        Fail((std::string(signature) + "Invalid arguments cellsX, cellsY").c_str());
    TCellFrame frame;
    if (limits.empty || !frame.Setup(limits.min, limits.max, cellsX, cellsY, true))
        Fail((std::string(signature) + "Invalid argument limits").c_str());
    m_frame = frame;
    m_cellsX = cellsX;
    m_cellsY = cellsY;
    m_shift = (cellsX & (cellsX - 1)) == 0 ? __builtin_ctz(cellsX) : -1;
    m_cells.assign(std::size_t(cellsX) * cellsY, TCell{0, 0});
    m_ids.clear();
    m_counted = 0;
    m_phase = EPhase::Counting;
}

void TStaticPointsGrid::SuggestCells(const limits2d& limits, std::size_t count, double pointsPerCell,
                                     std::uint32_t& cellsX, std::uint32_t& cellsY) noexcept {
    cellsX = cellsY = 1;
    if (limits.empty || !(pointsPerCell > 0)) return;
    const double cells = std::min(double(count) / pointsPerCell, double(1 << 26));
    const double w = limits.max.x - limits.min.x, h = limits.max.y - limits.min.y;
    if (!(cells >= 1) || !std::isfinite(w) || !std::isfinite(h)) return;
    double nx, ny;
    if (!(w > 0) && !(h > 0)) {
        nx = ny = 1;
    } else if (!(h > 0)) {
        nx = cells, ny = 1;
    } else if (!(w > 0)) {
        nx = 1, ny = cells;
    } else {
        // Square cells: nx / ny = w / h and nx · ny = cells.
        nx = std::sqrt(cells * w / h);
        ny = cells / std::max(nx, 1.0);
    }
    cellsX = static_cast<std::uint32_t>(std::clamp(std::round(nx), 1.0, double(1 << 26)));
    cellsY = static_cast<std::uint32_t>(std::clamp(std::round(ny), 1.0, double(1 << 26) / cellsX));
}

void TStaticPointsGrid::Deinit() noexcept {
    *this = TStaticPointsGrid();
}

void TStaticPointsGrid::InitPoint(const vec2d& point) {
    if (!TCellFrame::IsFinite(point))
        Fail("@void kr::TStaticPointsGrid::InitPoint(const vec2d &): Invalid argument point");
    Count(CellIndex(point));
    m_frame.bounds.add(point);
}

void TStaticPointsGrid::InitPointI(std::uint32_t cell) {
    Count(cell);
    // The point may lie anywhere beyond the limits on the sides where its cell is a border cell.
    const std::uint32_t x = m_shift >= 0 ? cell & (m_cellsX - 1) : cell % m_cellsX;
    const std::uint32_t y = m_shift >= 0 ? cell >> m_shift : cell / m_cellsX;
    const double inf = std::numeric_limits<double>::infinity();
    limits2d& b = m_frame.bounds;
    if (x == 0) b.min.x = -inf;
    if (x == m_cellsX - 1) b.max.x = inf;
    if (y == 0) b.min.y = -inf;
    if (y == m_cellsY - 1) b.max.y = inf;
}

void TStaticPointsGrid::Count(std::uint32_t cell) {
    if (m_phase != EPhase::Counting || cell >= m_cells.size() || m_counted == UINT32_MAX)
        Fail("@void kr::TStaticPointsGrid::InitPoint(const vec2d &): not counting, cell out of range or too "
             "many points");
    ++m_cells[cell].count;
    ++m_counted;
}

void TStaticPointsGrid::AddPointBegin() {
    if (m_phase != EPhase::Counting) Fail("@void kr::TStaticPointsGrid::AddPointBegin(): not counting");
    std::uint32_t offset = 0;
    for (TCell& c : m_cells) {
        c.start = offset;
        offset += c.count;
    }
    m_ids.resize(offset);
    m_phase = EPhase::Filling;
}

void TStaticPointsGrid::AddPoint(const vec2d& point, TObjectId id) {
    AddPointI(CellIndex(point), id);
}

void TStaticPointsGrid::FailAdd() {
    Fail("@void kr::TStaticPointsGrid::AddPointI(uint32_t, TObjectId): more points than counted, or not "
         "filling");
}

void TStaticPointsGrid::AddPointEnd() {
    if (m_phase != EPhase::Filling) Fail("@void kr::TStaticPointsGrid::AddPointEnd(): not filling");
    // While filling, start is the next free slot and count the slots left: a cell's run ends at
    // start + count, where the next one begins.
    std::uint32_t begin = 0, to = 0;
    for (TCell& c : m_cells) {
        const std::uint32_t filled = c.start - begin, end = c.start + c.count;
        if (to != begin && filled) std::memmove(&m_ids[to], &m_ids[begin], filled * sizeof(TObjectId));
        c.start = to;
        c.count = filled;
        to += filled;
        begin = end;
    }
    m_ids.resize(to);
    m_phase = EPhase::Ready;
}

void TStaticPointsGrid::GetRect(const limits2d& rect, std::vector<TObjectId>& ids) const {
    ids.clear();
    TCellBox q;
    if (m_phase != EPhase::Ready || rect.empty || !m_frame.QueryCells(rect.min, rect.max, q)) return;
    const TObjectId* all = m_ids.data();
    for (std::uint32_t y = q.y0; y <= q.y1; ++y) {
        const std::size_t row = m_shift >= 0 ? std::size_t(y) << m_shift : std::size_t(y) * m_cellsX;
        const TCell& first = m_cells[row + q.x0];
        const TCell& last = m_cells[row + q.x1];
        ids.insert(ids.end(), all + first.start, all + last.start + last.count);
    }
}

} // namespace kr
