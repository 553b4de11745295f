// kr::TBaseOctoTree: shape checks, clamped cell indices, splitting into blocks of eight.
#include "Math/Index/KrBaseOctoTree.h"

#include "Core/KrMessage.h"

#include <cmath>
#include <stdexcept>
#include <utility>

namespace kr {

std::string TBaseOctoTree::CheckShape(const limits3d& limits, unsigned levels) {
    if (levels == 0 || levels > kMaxLevels) return "Invalid argument LevelsCount";
    if (limits.is_empty()) return "Invalid argument Limits";
    const double cells = static_cast<double>(1u << (levels - 1));
    for (std::size_t a = 0; a < 3; ++a) {
        const double lo = limits.min[a], hi = limits.max[a];
        // Written so that NaN fails: finite corners, a positive finite extent and scale.
        if (!(std::isfinite(lo) && std::isfinite(hi) && hi > lo)) return "Invalid argument Limits";
        const double extent = hi - lo;
        if (!std::isfinite(extent) || !std::isfinite(cells / extent)) return "Invalid argument Limits";
    }
    return "";
}

void TBaseOctoTree::Create(const limits3d& limits, unsigned levels) {
    const std::string reason = CheckShape(limits, levels);
    if (!reason.empty()) throw TKrMessage("@kr::TBaseOctoTree::Create(const limits3d&, unsigned): " + reason);
    SetShape(limits, levels, std::vector<std::uint32_t>(1, 0));
}

void TBaseOctoTree::SetShape(const limits3d& limits, unsigned levels, std::vector<std::uint32_t> firstChild) {
    m_firstChild = std::move(firstChild);
    m_limits = limits;
    m_levels = levels;
    m_cells = 1 << (levels - 1);
    const vec3d extent = limits.size();
    m_scale = vec3d(m_cells / extent.x, m_cells / extent.y, m_cells / extent.z);
}

void TBaseOctoTree::Destroy() noexcept {
    std::vector<std::uint32_t>().swap(m_firstChild);
    m_limits = limits3d();
    m_scale = vec3d();
    m_levels = 0;
    m_cells = 0;
}

void TBaseOctoTree::Swap(TBaseOctoTree& other) noexcept {
    m_firstChild.swap(other.m_firstChild);
    std::swap(m_limits, other.m_limits);
    std::swap(m_scale, other.m_scale);
    std::swap(m_levels, other.m_levels);
    std::swap(m_cells, other.m_cells);
}

bool TBaseOctoTree::GetLocalClamptedIndex(const vec3d& p, index_t* index) const {
    if (!IsCreated()) return false;
    index_t cell;
    for (std::size_t a = 0; a < 3; ++a) {
        const double f = (p[a] - m_limits.min[a]) * m_scale[a];
        if (std::isnan(f)) return false;
        // Clamped in double: converting an out-of-range double to int is undefined.
        cell[a] = f <= 0 ? 0 : f >= m_cells - 1 ? m_cells - 1 : static_cast<int>(f);
    }
    if (index) *index = cell;
    return true;
}

std::uint32_t TBaseOctoTree::Split(std::uint32_t node) {
    const std::size_t first = m_firstChild.size();
    if (first > 0xFFFFFFFFu - 8) throw std::length_error("kr::TBaseOctoTree: too many nodes");
    m_firstChild.resize(first + 8, 0);
    m_firstChild[node] = static_cast<std::uint32_t>(first);
    return static_cast<std::uint32_t>(first);
}

} // namespace kr
