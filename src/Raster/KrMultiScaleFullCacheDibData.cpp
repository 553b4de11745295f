// kr::TMultiScaleFullCacheDibData: level choice, whole-level reads and copies out of memory.
#include "Raster/KrMultiScaleFullCacheDibData.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace kr {

TMultiScaleFullCacheDibData::TMultiScaleFullCacheDibData() = default;

TMultiScaleFullCacheDibData::TMultiScaleFullCacheDibData(var_a<TKrDibData*> source) {
    Init(std::move(source));
}

TMultiScaleFullCacheDibData::~TMultiScaleFullCacheDibData() {
    FreeLevels();
}

void TMultiScaleFullCacheDibData::FreeLevels() noexcept {
    for (TLevelSlot& slot : m_slots) {
        std::free(slot.buffer);
        slot = TLevelSlot();
    }
}

void TMultiScaleFullCacheDibData::Init(var_a<TKrDibData*> source) {
    if (!source) throw TKrMessage("@kr::TMultiScaleFullCacheDibData::Init: no source.");
    std::vector<TKrDibRect> levels;
    source->GetAllLevels(&levels);
    if (levels.empty()) levels.push_back(source->Bounds());
    TKrDibChannels channels = source->Channels();
    FreeLevels();
    m_source = std::move(source);
    m_channels = std::move(channels);
    m_levels = std::move(levels);
    m_slots.assign(m_levels.size(), TLevelSlot());
}

void TMultiScaleFullCacheDibData::Deinit() noexcept {
    FreeLevels();
    m_slots.clear();
    m_source.reset();
    m_channels = TKrDibChannels();
    ResetLevelBounds();
}

const TKrDibChannels& TMultiScaleFullCacheDibData::Channels() {
    return m_channels;
}

bool TMultiScaleFullCacheDibData::IsLevelLoaded(std::size_t level) const noexcept {
    return level < m_slots.size() && m_slots[level].buffer;
}

std::size_t TMultiScaleFullCacheDibData::ChooseLevel(const TKrDibRect& request) const noexcept {
    const std::size_t n = m_levels.size();
    if (n <= 1) return 0;
    const double s = request.pixel_size.x == request.pixel_size.y
                         ? request.pixel_size.x
                         : std::sqrt(request.pixel_size.x * request.pixel_size.y);
    if (!(m_levels[0].pixel_size.x < s)) return 0; // also for a NaN size
    for (std::size_t i = 1; i < n; ++i) {
        const double pi = m_levels[i].pixel_size.x;
        if (pi >= s) return s - m_levels[i - 1].pixel_size.x < pi - s ? i - 1 : i;
    }
    return n - 1;
}

const TMultiScaleFullCacheDibData::TLevelSlot* TMultiScaleFullCacheDibData::Load(std::size_t level) {
    TLevelSlot& slot = m_slots[level];
    if (slot.buffer) return &slot;
    if (slot.failed) return nullptr;
    const TKrDibRect& grid = m_levels[level];
    const std::size_t bpp = m_channels.GetBytesPP();
    const std::uint64_t w = grid.count.x, h = grid.count.y;
    const std::uint64_t maxBytes = std::numeric_limits<std::size_t>::max() / 2;
    if (bpp == 0 || w == 0 || h == 0 || w > maxBytes / bpp || h > (maxBytes - 4) / (w * bpp)) {
        slot.failed = true;
        return nullptr;
    }
    const std::size_t stride = w * bpp, size = stride * h + 4;
    // calloc: the background is zero bytes, and the system hands out fresh pages already zeroed.
    char* buffer = static_cast<char*>(std::calloc(size, 1));
    if (!buffer) {
        slot.failed = true;
        return nullptr;
    }
    TKrGetRectResult r;
    try {
        r = m_source->GetRect({buffer, static_cast<std::int64_t>(stride)}, grid,
                              TInterpolationQuality{0.4, 1}, 0, nullptr);
    } catch (...) {
        std::free(buffer);
        throw;
    }
    if (!(r & grComplete)) {
        std::free(buffer);
        slot.failed = true;
        return nullptr;
    }
    slot.buffer = buffer;
    slot.stride = stride;
    slot.size = size;
    return &slot;
}

TKrGetRectResult TMultiScaleFullCacheDibData::GetRect(std::size_t level, const TKrDibRectI& rect,
                                                      const TKrDibDataOutBuffer& out) {
    if (!m_source || level >= m_slots.size()) return grNothing;
    const TKrDibSize count = m_levels[level].count;
    if (rect.width == 0 || rect.height == 0 || rect.left < 0 || rect.top < 0 ||
        static_cast<std::uint64_t>(rect.left) > count.x ||
        rect.width > count.x - static_cast<std::uint64_t>(rect.left) ||
        static_cast<std::uint64_t>(rect.top) > count.y ||
        rect.height > count.y - static_cast<std::uint64_t>(rect.top))
        return grComplete;
    const TLevelSlot* slot = Load(level);
    if (!slot) return grComplete;
    const std::size_t bpp = m_channels.GetBytesPP();
    KrCheckDibOutBuffer(out, {rect.width, rect.height}, bpp, "kr::TMultiScaleFullCacheDibData::GetRect");
    const std::size_t row = rect.width * bpp;
    const char* src = slot->buffer + static_cast<std::size_t>(rect.top) * slot->stride +
                      static_cast<std::size_t>(rect.left) * bpp;
    if (out.stride == static_cast<std::int64_t>(row) && slot->stride == row)
        std::memcpy(out.data, src, row * rect.height);
    else
        KrCopyDibRect({const_cast<char*>(src), static_cast<std::int64_t>(slot->stride)}, out,
                      {rect.width, rect.height}, bpp);
    return grCompleteData;
}

TKrGetRectResult TMultiScaleFullCacheDibData::GetRect(const TKrDibDataOutBuffer& out,
                                                      const TKrDibRect& request, const TInterpolationQuality&,
                                                      int, TKrProgressHandler*) {
    if (!m_source) return grNothing;
    if (request.IsEmpty() || !KrIsDibRectValid(request)) return grComplete;
    const std::size_t k = ChooseLevel(request);
    const TKrDibRect& level = m_levels[k];
    const double l = std::round((request.origin.x - level.origin.x) / level.pixel_size.x);
    const double t = std::round((request.origin.y - level.origin.y) / level.pixel_size.y);
    std::int64_t col, colEnd, row, rowEnd;
    if (!KrRasterInternal::OverlapRange(l, request.count.x, level.count.x, col, colEnd) ||
        !KrRasterInternal::OverlapRange(t, request.count.y, level.count.y, row, rowEnd))
        return grComplete;
    const std::size_t bpp = m_channels.GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, bpp, "kr::TMultiScaleFullCacheDibData::GetRect");
    const TKrDibDataOutBuffer clipped =
        out.Offset(col - static_cast<std::int64_t>(l), row - static_cast<std::int64_t>(t), bpp);
    return GetRect(k,
                   TKrDibRectI(col, row, static_cast<std::uint64_t>(colEnd - col),
                               static_cast<std::uint64_t>(rowEnd - row)),
                   clipped);
}

void TMultiScaleFullCacheDibData::PurgeCache() {
    FreeLevels();
    if (m_source) m_source->PurgeCache();
}

} // namespace kr
