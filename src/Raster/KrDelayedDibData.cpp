// TKrDelayedDibData: the declared grid and channels until the first read, the created source afterwards.
#include "Raster/KrDelayedDibData.h"

#include "Core/KrMessage.h"
#include "Raster/KrColorTransformDibData.h"
#include "Raster/KrRasterInternal.h"
#include "Raster/KrVoidDibData.h"

namespace {

// A created source whose pixels differ from the declared ones is read through a colour
// transform into the declared layout, so callers always get what the grid promised.
var_a<TKrDibData*> ConvertToDeclared(var_a<TKrDibData*> source, const TKrDibChannels& declared) {
    return TKrColorTransformDibData::VCreate(std::move(source), declared);
}

} // namespace

TKrDelayedDibData::TKrDelayedDibData(const TKrDibRect& grid, const TKrDibChannels& channels, TFactory factory,
                                     void* a, void* b)
    : m_grid(grid), m_channels(channels), m_factory(factory), m_a(a), m_b(b) {
    if (!m_factory) throw TKrMessage("@TKrDelayedDibData::TKrDelayedDibData: no factory.");
    KrRasterInternal::CheckChannels(m_channels, "TKrDelayedDibData::TKrDelayedDibData");
}

var_a<TKrDibData*> TKrDelayedDibData::VCreate(const TKrDibRect& grid, const TKrDibChannels& channels,
                                              TFactory factory, void* a, void* b) {
    return new_a<TKrDelayedDibData>(grid, channels, factory, a, b);
}

TKrDelayedDibData::~TKrDelayedDibData() = default;

TKrDibRect TKrDelayedDibData::Bounds() {
    return m_source ? m_source->Bounds() : m_grid;
}

TKrDibRect TKrDelayedDibData::BoundsEx(const TKrDibRect& level) {
    if (m_source) return m_source->BoundsEx(level);
    return TKrVoidDibData(m_grid, m_channels).BoundsEx(level);
}

const TKrDibChannels& TKrDelayedDibData::Channels() {
    return m_channels;
}

TKrDibRect TKrDelayedDibData::GetInterpolationLevel(const TKrDibRect& request,
                                                    const TInterpolationQuality& quality, bool* exact) {
    if (m_source) return m_source->GetInterpolationLevel(request, quality, exact);
    return GetSimplestInterpolationLevel(m_grid, request, quality, exact);
}

TKrGetRectResult TKrDelayedDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                            const TInterpolationQuality& quality, int flags,
                                            TKrProgressHandler* progress) {
    if (!m_source) {
        var_a<TKrDibData*> created = m_factory(m_a, m_b);
        if (!created) return grComplete;
        const TKrDibChannels& got = created->Channels();
        if (got.Type != m_channels.Type || got.BytesPS != m_channels.BytesPS || got.Kinds != m_channels.Kinds)
            created = ConvertToDeclared(std::move(created), m_channels);
        m_source = std::move(created);
    }
    return m_source->GetRect(out, request, quality, flags, progress);
}

void TKrDelayedDibData::PurgeCache() {
    if (m_source) m_source->PurgeCache();
}

std::size_t TKrDelayedDibData::GetAllLevels(std::vector<TKrDibRect>* levels) {
    return m_source ? m_source->GetAllLevels(levels) : TKrDibData::GetAllLevels(levels);
}

TKrDibSize TKrDelayedDibData::GetScaleDimensions(std::size_t level) {
    return m_source ? m_source->GetScaleDimensions(level) : TKrDibData::GetScaleDimensions(level);
}

std::string TKrDelayedDibData::GetImageName() {
    return m_source ? m_source->GetImageName() : std::string();
}

void TKrDelayedDibData::Unload() noexcept {
    m_source.reset();
}
