// TKrByPartsChannelTransform: the tile walk shared by the pixel-by-pixel decorators.
#include "Raster/KrByPartsChannelTransform.h"
#include "Core/KrMessage.h"
#include "Core/KrProgressHandler.h"
#include "Raster/KrRasterInternal.h"

#include <algorithm>
#include <cmath>

TKrByPartsChannelTransform::TKrByPartsChannelTransform(var_a<TKrDibData*> source,
                                                       const TKrDibChannels& output)
    : TKrFilterDibData(std::move(source)), m_bufferCache(GetDefaultDibDataMemTileSize()) {
    SetOutputChannels(output);
}

TKrByPartsChannelTransform::~TKrByPartsChannelTransform() = default;

void TKrByPartsChannelTransform::Init(var_a<TKrDibData*> source, const TKrDibChannels& output) {
    if (!source) throw TKrMessage("@TKrByPartsChannelTransform::Init: no source.");
    SetOutputChannels(output);
    m_source = std::move(source);
}

void TKrByPartsChannelTransform::SetOutputChannels(const TKrDibChannels& output) {
    KrRasterInternal::CheckChannels(output, "TKrByPartsChannelTransform::SetOutputChannels");
    m_channels = output;
}

const TKrDibChannels& TKrByPartsChannelTransform::Channels() {
    return m_channels;
}

void TKrByPartsChannelTransform::FillDefaultColor(const TKrDibDataOutBuffer& out, TKrDibSize size) {
    FillDibDefaultColor(out, size, m_channels);
}

bool TKrByPartsChannelTransform::IsEquivalentTransform() {
    return false;
}

TKrGetRectResult TKrByPartsChannelTransform::GetRect(const TKrDibDataOutBuffer& out,
                                                     const TKrDibRect& request,
                                                     const TInterpolationQuality& quality, int flags,
                                                     TKrProgressHandler* progress) {
    if (IsEquivalentTransform()) return m_source->GetRect(out, request, quality, flags, progress);
    if (request.IsEmpty() || !KrIsDibRectValid(request)) return grComplete;

    // The request indices the source covers.
    const TKrDibRect B = BoundsEx(request);
    if (B.IsEmpty()) return grComplete;
    std::int64_t first[2], end[2];
    for (int axis = 0; axis < 2; ++axis) {
        const double offset = std::round((B.origin[axis] - request.origin[axis]) / request.pixel_size[axis]);
        if (!KrRasterInternal::OverlapRange(offset, B.count[axis], request.count[axis], first[axis],
                                            end[axis]))
            return grComplete;
    }

    const std::size_t outBpp = m_channels.GetBytesPP();
    const std::size_t srcBpp = m_source->Channels().GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, outBpp, "TKrByPartsChannelTransform::GetRect");
    if (srcBpp == 0)
        throw TKrMessage("@TKrByPartsChannelTransform::GetRect: the source has no pixel layout.");

    // Tiles shrink by the margins so that the widened tile fits the scratch limit.
    const auto limit = static_cast<std::int64_t>(std::max<std::size_t>(GetDefaultDibDataMemTileSize(), 1));
    if (m_margin > static_cast<std::size_t>(limit))
        throw TKrMessage("@TKrByPartsChannelTransform::GetRect: margin %1% exceeds the tile size %2%.")
            << static_cast<unsigned long long>(m_margin) << static_cast<long long>(limit);
    const auto margin = static_cast<std::int64_t>(m_margin);
    const std::int64_t tile = std::max<std::int64_t>(limit - 2 * margin, 1);
    m_bufferCache.SetLinerarSizeLimit(static_cast<std::size_t>(tile + 2 * margin));

    const std::int64_t tilesX = (end[0] - first[0] + tile - 1) / tile;
    const std::int64_t tilesY = (end[1] - first[1] + tile - 1) / tile;
    const double total = static_cast<double>(tilesX) * static_cast<double>(tilesY);
    double done = 0;
    unsigned result = grComplete;
    if (progress) progress->SetPosNB(0);
    for (std::int64_t row = first[1]; row < end[1]; row += tile) {
        const std::int64_t rows = std::min(tile, end[1] - row);
        for (std::int64_t col = first[0]; col < end[0]; col += tile) {
            if (progress && progress->UserBreak()) return static_cast<TKrGetRectResult>(result & ~2u);
            const std::int64_t cols = std::min(tile, end[0] - col);
            TKrDibRect grid;
            grid.pixel_size = request.pixel_size;
            grid.origin = {request.Sample(0, static_cast<double>(col)),
                           request.Sample(1, static_cast<double>(row))};
            grid.count = {static_cast<std::uint64_t>(cols), static_cast<std::uint64_t>(rows)};
            TKrDibRect widened = grid;
            widened.origin = {request.Sample(0, static_cast<double>(col - margin)),
                              request.Sample(1, static_cast<double>(row - margin))};
            widened.count = {static_cast<std::uint64_t>(cols + 2 * margin),
                             static_cast<std::uint64_t>(rows + 2 * margin)};
            const TKrDibDataOutBuffer scratch = m_bufferCache.GetBuffer(widened.count, srcBpp);
            m_source->FillDefaultColor(scratch, widened.count);
            const unsigned read = m_source->GetRect(scratch, widened, quality, flags, nullptr);
            if (!(read & 2u)) result &= ~2u;
            if ((read & 1u) &&
                TransformBuffer(out.Offset(col, row, outBpp), scratch.Offset(margin, margin, srcBpp), grid))
                result |= 1u;
            done += 1;
            if (progress) progress->SetPosNB(done / total);
        }
    }
    return static_cast<TKrGetRectResult>(result);
}
