// The raster source interface: default operations, the decorator base, and shared functions.
#include "Raster/KrDibData.h"
#include "Core/KrMessage.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

namespace {
std::atomic<std::size_t> g_memTileSize{128};
std::atomic<std::size_t> g_createTileSize{128};

bool NearlyEqual(double a, double b) {
    if (a == b) return true;
    const double scale = std::max({1.0, std::fabs(a), std::fabs(b)});
    return std::fabs(a - b) <= 1e-12 * scale;
}
} // namespace

TInterpolationQuality GetDisplayInterpolationQuality() noexcept {
    return {0.5, 1};
}

TInterpolationQuality GetMathInterpolationQuality() noexcept {
    return {0.00390625, 3};
}

bool EQ_d(const TInterpolationQuality& a, const TInterpolationQuality& b) noexcept {
    return a.Mode == b.Mode && NearlyEqual(a.Tolerance, b.Tolerance);
}

// --- TKrDibData ---------------------------------------------------------------------------------

TKrDibData::~TKrDibData() = default;

TKrDibRect TKrDibData::Bounds() {
    return BoundsEx(GetMainLevel());
}

void TKrDibData::FillDefaultColor(const TKrDibDataOutBuffer& out, TKrDibSize size) {
    FillDibDefaultColor(out, size, Channels());
}

std::size_t TKrDibData::GetAllLevels(std::vector<TKrDibRect>* levels) {
    if (levels) levels->assign(1, Bounds());
    return 1;
}

TKrDibSize TKrDibData::GetScaleDimensions(std::size_t level) {
    const TKrDibRect b = Bounds();
    if (level >= 64) return {0, 0};
    return {b.count.x >> level, b.count.y >> level};
}

std::string TKrDibData::GetImageName() {
    return std::string();
}

TKrDibRect TKrDibData::GetMainLevel() {
    TKrDibRect request;
    request.origin = {0, 0};
    request.count = {0, 0};
    request.pixel_size = {1, 1};
    return GetInterpolationLevel(request, TInterpolationQuality{1.0, 1}, nullptr);
}

TAlphaChanSupp::~TAlphaChanSupp() = default;

// --- TKrFilterDibData -----------------------------------------------------------------------------

TKrFilterDibData::TKrFilterDibData(var_a<TKrDibData*> source) : m_source(std::move(source)) {
    if (!m_source) throw TKrMessage("@TKrFilterDibData::TKrFilterDibData: no source.");
}

TKrFilterDibData::~TKrFilterDibData() = default;

TKrDibRect TKrFilterDibData::BoundsEx(const TKrDibRect& level) {
    return m_source->BoundsEx(level);
}

const TKrDibChannels& TKrFilterDibData::Channels() {
    return m_source->Channels();
}

TKrDibRect TKrFilterDibData::GetInterpolationLevel(const TKrDibRect& request,
                                                   const TInterpolationQuality& quality, bool* exact) {
    return m_source->GetInterpolationLevel(request, quality, exact);
}

void TKrFilterDibData::PurgeCache() {
    m_source->PurgeCache();
}

std::size_t TKrFilterDibData::GetAllLevels(std::vector<TKrDibRect>* levels) {
    return m_source->GetAllLevels(levels);
}

TKrDibSize TKrFilterDibData::GetScaleDimensions(std::size_t level) {
    return m_source->GetScaleDimensions(level);
}

std::string TKrFilterDibData::GetImageName() {
    return m_source->GetImageName();
}

var_a<TKrDibData*> TKrFilterDibData::GetSrcDibData() {
    return m_source;
}

void TKrFilterDibData::ZeroBuf(const TKrDibDataOutBuffer& out, std::uint64_t rows, std::size_t bytes) {
    if (bytes == 0) return;
    for (std::uint64_t j = 0; j < rows; ++j)
        std::memset(out.Row(static_cast<std::int64_t>(j)), 0, bytes);
}

// --- Shared functions -------------------------------------------------------------------------------

std::size_t GetDefaultDibDataMemTileSize() noexcept {
    return g_memTileSize.load(std::memory_order_relaxed);
}

void SetDefaultDibDataMemTileSize(std::size_t size) noexcept {
    g_memTileSize.store(size, std::memory_order_relaxed);
}

std::size_t getCreateTileSize() noexcept {
    return g_createTileSize.load(std::memory_order_relaxed);
}

void setCreateTileSize(std::size_t size) noexcept {
    g_createTileSize.store(size, std::memory_order_relaxed);
}

TKrDibRect GetTileKrRect(const var_a<TKrDibData*>& dib, const vec_t_<std::int64_t, 2>& tile,
                         const TKrDibSize& tileSize) {
    const double rows = static_cast<double>(dib->Bounds().count.y);
    TKrDibRect r;
    r.origin.x = static_cast<double>(tile.x) * static_cast<double>(tileSize.x);
    r.origin.y = rows - static_cast<double>(tile.y) * static_cast<double>(tileSize.y) -
                 static_cast<double>(tileSize.y);
    r.count = tileSize;
    r.pixel_size = {1, 1};
    return r;
}

TKrDibRect GetSimplestInterpolationLevel(const TKrDibRect& main, const TKrDibRect& request,
                                         const TInterpolationQuality& quality, bool* exact) {
    if (exact) {
        bool e = main.pixel_size == request.pixel_size;
        for (int axis = 0; e && axis < 2; ++axis) {
            const double ps = request.pixel_size[axis];
            e = std::fmod(std::fabs(request.origin[axis] - main.origin[axis]), ps) <= quality.Tolerance * ps;
        }
        *exact = e;
    }
    if (request.count.x == 0 || request.count.y == 0) return main;
    TKrDibRect r;
    r.pixel_size = main.pixel_size;
    for (int axis = 0; axis < 2; ++axis) {
        const double first = std::floor(request.origin[axis]);
        const double end = std::ceil(request.origin[axis] +
                                     static_cast<double>(request.count[axis]) * request.pixel_size[axis]);
        r.origin[axis] = first;
        const double n = end - first;
        r.count[axis] = n > 0 && n < 1.8e19 ? static_cast<std::uint64_t>(n) : 0;
    }
    return r;
}

bool IsMultiscaleDibData(const var_a<TKrDibData*>& dib) {
    return dib && dib->GetAllLevels(nullptr) > 1;
}
