// TKrRawMemDibData: pixels the caller holds in memory, with any row stride and pixel step.
#include "Raster/KrRawMemDibData.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"

#include <cmath>
#include <cstring>
#include <typeinfo>

namespace {
std::uint64_t Abs(std::int64_t v) {
    return v < 0 ? static_cast<std::uint64_t>(-(v + 1)) + 1 : static_cast<std::uint64_t>(v);
}
} // namespace

TKrRawMemDibData::TKrRawMemDibData() : m_rect{{0, 0}, {0, 0}, {1, 1}} {
    m_channels.Kinds.clear();
}

TKrRawMemDibData::TKrRawMemDibData(const TKrDibDataOutBuffer& data, const TKrDibChannels& channels,
                                   const TKrDibRect& rect, var_a<void*> owner)
    : m_data(data), m_pixelStep(static_cast<std::int64_t>(channels.GetBytesPP())), m_channels(channels),
      m_rect(rect), m_owner(std::move(owner)) {
    Init();
}

TKrRawMemDibData::TKrRawMemDibData(const TKrDibDataOutBuffer& data, std::int64_t pixelStep,
                                   const TKrDibChannels& channels, const TKrDibRect& rect, var_a<void*> owner)
    : m_data(data), m_pixelStep(pixelStep), m_channels(channels), m_rect(rect), m_owner(std::move(owner)) {
    Init();
}

void TKrRawMemDibData::Init() {
    KrRasterInternal::CheckChannels(m_channels, "TKrRawMemDibData::TKrRawMemDibData");
    const std::size_t bpp = m_channels.GetBytesPP();
    constexpr std::uint64_t kMax = std::uint64_t(1) << 62;
    const std::uint64_t step = Abs(m_pixelStep);
    const std::uint64_t rowSpan = m_rect.count.x ? (m_rect.count.x - 1) * step + bpp : 0;
    if (!KrIsDibRectValid(m_rect) || (step && m_rect.count.x > kMax / step) || m_rect.count.x > kMax / bpp ||
        (m_rect.count.y > 1 && m_rect.count.y > kMax / (Abs(m_data.stride) + 1)))
        throw TKrMessage(
            "@TKrRawMemDibData::TKrRawMemDibData: invalid image grid (%1% x %2% pixels, step %3%, "
            "stride %4%).")
            << m_rect.count.x << m_rect.count.y << static_cast<long>(m_pixelStep)
            << static_cast<long>(m_data.stride);
    if (!m_rect.IsEmpty() && !m_data.data)
        throw TKrMessage("@TKrRawMemDibData::TKrRawMemDibData: no pixel memory.");
    if (m_rect.count.y > 1 && Abs(m_data.stride) < rowSpan)
        throw TKrMessage("@TKrRawMemDibData::TKrRawMemDibData: the stride %1% is below the row span %2%.")
            << static_cast<long>(m_data.stride) << rowSpan;
    m_copier = KrRasterInternal::CopyPixelsFor(bpp);
}

var_a<TKrDibData*> TKrRawMemDibData::VCreate(const TKrDibDataOutBuffer& data, const TKrDibChannels& channels,
                                             const TKrDibRect& rect, var_a<void*> owner) {
    return new_a<TKrRawMemDibData>(data, channels, rect, std::move(owner));
}

var_a<TKrDibData*> TKrRawMemDibData::VCreate(const TKrDibDataOutBuffer& data, std::int64_t pixelStep,
                                             const TKrDibChannels& channels, const TKrDibRect& rect,
                                             var_a<void*> owner) {
    return new_a<TKrRawMemDibData>(data, pixelStep, channels, rect, std::move(owner));
}

TKrRawMemDibData::~TKrRawMemDibData() = default;

TKrDibRect TKrRawMemDibData::BoundsEx(const TKrDibRect& level) {
    // On the grid it is asked about, as for any leaf: a cache that asks at pixel size 2 must
    // learn where the data lie at that size, not be handed the stored grid back.
    return KrRasterInternal::ExtentOnGrid(m_rect, level);
}

const TKrDibChannels& TKrRawMemDibData::Channels() {
    return m_channels;
}

TKrDibRect TKrRawMemDibData::GetInterpolationLevel(const TKrDibRect& request,
                                                   const TInterpolationQuality& quality, bool* exact) {
    return GetSimplestInterpolationLevel(m_rect, request, quality, exact);
}

TKrGetRectResult TKrRawMemDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                           const TInterpolationQuality&, int, TKrProgressHandler*) {
    // Equal pixel sizes (a NaN never compares equal), no empty grid, overlapping extents.
    if (!(request.pixel_size == m_rect.pixel_size) || request.IsEmpty() || m_rect.IsEmpty() ||
        !KrIsDibRectValid(request))
        return grComplete;
    const std::size_t bpp = m_channels.GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, bpp, "TKrRawMemDibData::GetRect");
    // Offsets truncate toward zero: a request up to a pixel before the data starts at column 0.
    const double c0 = std::trunc((request.origin.x - m_rect.origin.x) / m_rect.pixel_size.x);
    const double r0 = std::trunc((request.origin.y - m_rect.origin.y) / m_rect.pixel_size.y);
    std::int64_t col, colEnd, row, rowEnd;
    if (!KrRasterInternal::OverlapRange(c0, request.count.x, m_rect.count.x, col, colEnd) ||
        !KrRasterInternal::OverlapRange(r0, request.count.y, m_rect.count.y, row, rowEnd))
        return grComplete;
    const auto ic0 = static_cast<std::int64_t>(c0), ir0 = static_cast<std::int64_t>(r0);
    const std::size_t n = static_cast<std::size_t>(colEnd - col);
    const std::int64_t dstSkip = (col - ic0) * static_cast<std::int64_t>(bpp);
    if (m_pixelStep == static_cast<std::int64_t>(bpp)) {
        for (std::int64_t r = row; r < rowEnd; ++r)
            std::memcpy(out.Row(r - ir0) + dstSkip, m_data.Row(r) + col * m_pixelStep, n * bpp);
    } else {
        for (std::int64_t r = row; r < rowEnd; ++r)
            m_copier(out.Row(r - ir0) + dstSkip, m_data.Row(r) + col * m_pixelStep, n, m_pixelStep, bpp);
    }
    return grCompleteData;
}

void TKrRawMemDibData::PurgeCache() {}

struct KrRasterInternal::TRawMemAccess {
    // The first column and row of `window` when it lies wholly inside the stored pixels at their
    // pixel size, with the offsets truncated as GetRect truncates them.
    static bool Inside(const TKrRawMemDibData& m, const TKrDibRect& window, std::int64_t& col,
                       std::int64_t& row) {
        if (!(window.pixel_size == m.m_rect.pixel_size) || window.IsEmpty() || m.m_rect.IsEmpty())
            return false;
        const double c0 = std::trunc((window.origin.x - m.m_rect.origin.x) / m.m_rect.pixel_size.x);
        const double r0 = std::trunc((window.origin.y - m.m_rect.origin.y) / m.m_rect.pixel_size.y);
        if (!(c0 >= 0 && r0 >= 0 &&
              c0 + static_cast<double>(window.count.x) <= static_cast<double>(m.m_rect.count.x) &&
              r0 + static_cast<double>(window.count.y) <= static_cast<double>(m.m_rect.count.y)))
            return false;
        col = static_cast<std::int64_t>(c0);
        row = static_cast<std::int64_t>(r0);
        return true;
    }
    static bool View(const TKrRawMemDibData& m, const TKrDibRect& window, TKrDibDataOutBuffer& view) {
        std::int64_t col, row;
        if (m.m_pixelStep != static_cast<std::int64_t>(m.m_channels.GetBytesPP()) ||
            !Inside(m, window, col, row))
            return false;
        view = {m.m_data.Row(row) + col * m.m_pixelStep, m.m_data.stride};
        return true;
    }
};

namespace {
// Only the class itself: a derived source may read its pixels differently.
const TKrRawMemDibData* AsRawMem(TKrDibData* source) {
    return source && typeid(*source) == typeid(TKrRawMemDibData)
               ? static_cast<const TKrRawMemDibData*>(source)
               : nullptr;
}
} // namespace

bool KrRasterInternal::ViewMemoryPixels(TKrDibData* source, const TKrDibRect& window,
                                        TKrDibDataOutBuffer& view) {
    const TKrRawMemDibData* m = AsRawMem(source);
    return m && TRawMemAccess::View(*m, window, view);
}

bool KrRasterInternal::SourceFillsWindow(TKrDibData* source, const TKrDibRect& window) {
    const TKrRawMemDibData* m = AsRawMem(source);
    std::int64_t col, row;
    return m && TRawMemAccess::Inside(*m, window, col, row);
}
