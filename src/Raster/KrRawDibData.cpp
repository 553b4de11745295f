// TKrRawDibData: pixels read row by row from a headerless stream.
#include "Raster/KrRawDibData.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"
#include "Streams/KrStream.h"

#include <cmath>
#include <limits>

TKrRawDibData::TKrRawDibData(var_a<TKrStream*> stream, const TKrDibChannels& channels, const TKrDibRect& rect)
    : m_stream(std::move(stream)), m_channels(channels), m_rect(rect) {
    if (!m_stream) throw TKrMessage("@TKrRawDibData::TKrRawDibData: no stream.");
    KrRasterInternal::CheckChannels(m_channels, "TKrRawDibData::TKrRawDibData");
    const std::uint64_t bpp = m_channels.GetBytesPP();
    constexpr std::uint64_t kMax = std::uint64_t(1) << 62;
    if (!KrIsDibRectValid(m_rect) || m_rect.count.x > kMax / bpp ||
        (m_rect.count.x && m_rect.count.y > kMax / (m_rect.count.x * bpp)))
        throw TKrMessage("@TKrRawDibData::TKrRawDibData: invalid image grid (%1% x %2% pixels of %3% bytes).")
            << m_rect.count.x << m_rect.count.y << static_cast<unsigned long>(bpp);
}

var_a<TKrDibData*> TKrRawDibData::VCreate(var_a<TKrStream*> stream, const TKrDibChannels& channels,
                                          const TKrDibRect& rect) {
    return new_a<TKrRawDibData>(std::move(stream), channels, rect);
}

TKrRawDibData::~TKrRawDibData() = default;

TKrDibRect TKrRawDibData::BoundsEx(const TKrDibRect&) {
    return m_rect;
}

const TKrDibChannels& TKrRawDibData::Channels() {
    return m_channels;
}

TKrDibRect TKrRawDibData::GetInterpolationLevel(const TKrDibRect& request,
                                                const TInterpolationQuality& quality, bool* exact) {
    return GetSimplestInterpolationLevel(m_rect, request, quality, exact);
}

TKrGetRectResult TKrRawDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                        const TInterpolationQuality&, int, TKrProgressHandler*) {
    if (request.pixel_size != m_rect.pixel_size || !KrIsDibRectValid(request) || request.IsEmpty())
        return grComplete;
    const std::size_t bpp = m_channels.GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, bpp, "TKrRawDibData::GetRect");
    const double c0 = std::round((request.origin.x - m_rect.origin.x) / m_rect.pixel_size.x);
    const double r0 = std::round((request.origin.y - m_rect.origin.y) / m_rect.pixel_size.y);
    std::int64_t col, colEnd, row, rowEnd;
    if (!KrRasterInternal::OverlapRange(c0, request.count.x, m_rect.count.x, col, colEnd) ||
        !KrRasterInternal::OverlapRange(r0, request.count.y, m_rect.count.y, row, rowEnd))
        return grComplete;
    const auto ic0 = static_cast<std::int64_t>(c0), ir0 = static_cast<std::int64_t>(r0);
    const std::uint64_t rowBytes = m_rect.count.x * bpp;
    const std::uint64_t span = static_cast<std::uint64_t>(colEnd - col) * bpp;
    for (std::int64_t r = row; r < rowEnd; ++r) {
        const std::uint64_t position =
            static_cast<std::uint64_t>(r) * rowBytes + static_cast<std::uint64_t>(col) * bpp;
        char* dst = out.Row(r - ir0) + (col - ic0) * static_cast<std::int64_t>(bpp);
        if (!m_stream->setPosition64(position) || !m_stream->ReadAll(dst, span))
            throw TKrMessage(
                "@TKrRawDibData::GetRect: the stream \"%1%\" ends or fails before image row %2% (%3% "
                "bytes at %4%).")
                << m_stream->GetInfoName() << static_cast<long>(r) << span << position;
    }
    return grCompleteData;
}

void TKrRawDibData::PurgeCache() {
    m_stream->Flush();
}
