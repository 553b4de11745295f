// TKrMultiScaleDibData: pyramid level arithmetic, level choice and the clipped level read.
#include "Raster/KrMultiScaleDibData.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"

#include <algorithm>
#include <cmath>

namespace {

// Beyond this the level arithmetic (2^k as a 32-bit shift) has no meaning.
constexpr std::size_t kMaxLevel = 30;

double LevelStep(std::size_t k) {
    return std::ldexp(1.0, static_cast<int>(k));
}

// The lattice offset of level k: the centre of its first 2^k × 2^k block of pixels.
double LevelOffset(std::size_t k) {
    return 0.5 * LevelStep(k) - 0.5;
}

// The level for a pixel size: 0 up to 1.1, else the first k with 2^k ≥ size − 0.1, at most
// `last` (unless unbounded).
std::size_t LevelFor(double pixelSize, std::size_t last, bool unbounded) {
    const double x = pixelSize - 0.1;
    if (!(x > 1)) return 0;
    double p = 1;
    std::size_t k = 0;
    while (x > p && k < kMaxLevel && (unbounded || k < last)) {
        p *= 2;
        ++k;
    }
    return k;
}

// The request moved to level k's lattice, keeping its centre and counts.
TKrDibRect Candidate(const TKrDibRect& request, std::size_t k) {
    const double p = LevelStep(k), o = LevelOffset(k);
    TKrDibRect r;
    r.count = request.count;
    r.pixel_size = {p, p};
    for (int axis = 0; axis < 2; ++axis) {
        const double n1 = static_cast<double>(request.count[axis]) - 1;
        const double centred = request.origin[axis] + (request.pixel_size[axis] - p) * n1 / 2;
        r.origin[axis] = std::round((centred - o) / p) * p + o;
    }
    return r;
}

// The grid of level steps p (per axis) covering every request sample: not exact.
TKrDibRect Covering(const TKrDibRect& request, const vec_t_<std::size_t, 2>& level) {
    TKrDibRect r;
    for (int axis = 0; axis < 2; ++axis) {
        const std::size_t k = level[axis];
        const double p = LevelStep(k), o = LevelOffset(k);
        const double n1 = static_cast<double>(request.count[axis]) - 1;
        const double first = std::floor((request.origin[axis] - o) / p);
        const double last = std::ceil((request.origin[axis] + n1 * request.pixel_size[axis] - o) / p);
        r.origin[axis] = first * p + o;
        r.pixel_size[axis] = p;
        const double n = last - first + 1;
        r.count[axis] = n > 0 && n < 1.8e19 ? static_cast<std::uint64_t>(n) : 0;
    }
    return r;
}

} // namespace

TKrMultiScaleDibData::TKrMultiScaleDibData() {
    ResetLevelBounds();
}

TKrMultiScaleDibData::~TKrMultiScaleDibData() = default;

TKrDibRect TKrMultiScaleDibData::Bounds() {
    return m_levels.empty() ? TKrDibRect() : m_levels.front();
}

TKrDibRect TKrMultiScaleDibData::BoundsEx(const TKrDibRect& level) {
    const std::size_t n = std::max<std::size_t>(m_levels.size(), 1);
    const std::size_t k = LevelFor(level.pixel_size.x, n - 1, false);
    const double p = LevelStep(k), o = LevelOffset(k);
    TKrDibRect r;
    r.origin = {o, o};
    r.pixel_size = {p, p};
    r.count = k < m_levels.size() ? m_levels[k].count : TKrDibSize{0, 0};
    return r;
}

std::size_t TKrMultiScaleDibData::Rect2RectI(const TKrDibRect& request, const TInterpolationQuality&, int,
                                             TKrDibRectI* out, bool anyLevel) {
    const std::size_t n = std::max<std::size_t>(m_levels.size(), 1);
    const std::size_t k = LevelFor(request.pixel_size.x, n - 1, anyLevel);
    if (out) {
        const double p = LevelStep(k), o = LevelOffset(k);
        const double l = std::round((request.origin.x - o) / p), t = std::round((request.origin.y - o) / p);
        // Far-off or non-finite origins land outside every level.
        constexpr double kFar = 4.0e18;
        out->left =
            std::isfinite(l) ? static_cast<std::int64_t>(std::clamp(l, -kFar, kFar)) : std::int64_t(kFar);
        out->top =
            std::isfinite(t) ? static_cast<std::int64_t>(std::clamp(t, -kFar, kFar)) : std::int64_t(kFar);
        out->width = request.count.x;
        out->height = request.count.y;
    }
    return k;
}

TKrDibRect TKrMultiScaleDibData::RectI2Rect(std::size_t level, const TKrDibRectI& rect) {
    const std::int64_t step = std::int64_t(1) << std::min(level, kMaxLevel);
    TKrDibRect r;
    r.origin = {std::trunc(static_cast<double>(rect.left) * static_cast<double>(step)),
                std::trunc(static_cast<double>(rect.top) * static_cast<double>(step))};
    r.count = {rect.width, rect.height};
    r.pixel_size = {static_cast<double>(step), static_cast<double>(step)};
    return r;
}

void TKrMultiScaleDibData::ResetLevelBounds() {
    m_levels.assign(1, TKrDibRect{{0, 0}, {0, 0}, {1, 1}});
}

void TKrMultiScaleDibData::FillDefaultLevelBounds(TKrDibSize size, std::size_t levels) {
    levels = std::min(levels, kMaxLevel + 1);
    m_levels.clear();
    for (std::size_t k = 0; k < levels; ++k) {
        const double p = LevelStep(k), o = LevelOffset(k);
        m_levels.push_back(TKrDibRect{{o, o}, {size.x >> k, size.y >> k}, {p, p}});
    }
    if (m_levels.empty()) ResetLevelBounds();
}

TKrGetRectResult TKrMultiScaleDibData::GetRect(std::size_t, const TKrDibRectI&, const TKrDibDataOutBuffer&) {
    throw TKrMessage("@TKrGetRectResult TKrMultiScaleDibData::GetRect(size_t, const TKrDibRectI&, const "
                     "TKrDibDataOutBuffer&): Don`t implemented!");
}

TKrGetRectResult TKrMultiScaleDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                               const TInterpolationQuality& quality, int flags,
                                               TKrProgressHandler*) {
    TKrDibRectI r;
    const std::size_t k = Rect2RectI(request, quality, flags, &r, false);
    if (r.width == 0 || r.height == 0 || k >= m_levels.size()) return grComplete;
    const std::size_t bpp = Channels().GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, bpp, "TKrMultiScaleDibData::GetRect");
    const TKrDibSize level = m_levels[k].count;
    const auto lw = static_cast<std::int64_t>(std::min<std::uint64_t>(level.x, std::uint64_t(1) << 62));
    const auto lh = static_cast<std::int64_t>(std::min<std::uint64_t>(level.y, std::uint64_t(1) << 62));
    std::int64_t col, colEnd, row, rowEnd;
    if (!KrRasterInternal::OverlapRange(static_cast<double>(r.left), r.width, static_cast<std::uint64_t>(lw),
                                        col, colEnd) ||
        !KrRasterInternal::OverlapRange(static_cast<double>(r.top), r.height, static_cast<std::uint64_t>(lh),
                                        row, rowEnd))
        return grComplete;
    const TKrDibDataOutBuffer clipped = out.Offset(col - r.left, row - r.top, bpp);
    const TKrDibRectI level_rect(col, row, static_cast<std::uint64_t>(colEnd - col),
                                 static_cast<std::uint64_t>(rowEnd - row));
    return GetRect(k, level_rect, clipped);
}

std::size_t TKrMultiScaleDibData::GetAllLevels(std::vector<TKrDibRect>* levels) {
    if (levels) *levels = m_levels;
    return m_levels.size();
}

TKrDibSize TKrMultiScaleDibData::GetScaleDimensions(std::size_t level) {
    if (level >= m_levels.size())
        throw TKrMessage("@TKrMultiScaleDibData::GetScaleDimensions(size_t): Invalid Scale (%1%)")
            << static_cast<unsigned long>(level);
    return m_levels[level].count;
}

TKrDibRect TKrMultiScaleDibData::GetInterpolationLevel(const TKrDibRect& request,
                                                       const TInterpolationQuality& quality, bool* exact) {
    const std::size_t n = std::max<std::size_t>(m_levels.size(), 1);
    const double s = std::min(request.pixel_size.x, request.pixel_size.y);
    const double L = s > 0 ? std::clamp(std::log2(s), 0.0, static_cast<double>(n - 1)) : 0.0;
    const int mode = quality.Mode;
    const double tolerance = quality.Tolerance;

    if (request.IsEmpty()) {
        std::size_t k = static_cast<std::size_t>(std::round(L));
        if (mode < 1 && k + 1 < n) ++k;
        if (mode >= 2 && k > 0) --k;
        const double p = LevelStep(k), o = LevelOffset(k);
        TKrDibRect r;
        r.count = request.count;
        r.pixel_size = {p, p};
        for (int axis = 0; axis < 2; ++axis)
            r.origin[axis] = std::round((request.origin[axis] - o) / p) * p + o;
        if (exact) *exact = IsRectExact(request, r, tolerance);
        return r;
    }

    const std::size_t k = static_cast<std::size_t>(mode < 1 ? std::ceil(L) : std::round(L));
    const TKrDibRect candidate = Candidate(request, k);
    if (IsRectExact(request, candidate, tolerance)) {
        if (exact) *exact = true;
        return candidate;
    }
    const bool finer = (mode == 2 && k > 0 && s < LevelStep(k)) || (mode >= 3 && k > 0);
    if (finer) {
        const TKrDibRect below = Candidate(request, k - 1);
        if (IsRectExact(request, below, tolerance)) {
            if (exact) *exact = true;
            return below;
        }
    }
    vec_t_<std::size_t, 2> level{k, k};
    if (finer && mode == 2) {
        level = {k - 1, k - 1};
    } else if (finer) {
        // Mode 3 and above: level 0 below level 2; from level 2 on, each axis keeps 2^k where
        // the request's pixel size reaches it and takes the finer level elsewhere.
        if (k == 1)
            level = {0, 0};
        else
            for (int axis = 0; axis < 2; ++axis)
                level[axis] = request.pixel_size[axis] >= LevelStep(k) ? k : k - 1;
    }
    if (exact) *exact = false;
    return Covering(request, level);
}
