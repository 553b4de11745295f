// TKrTearSourceDibData: forwarding to a detachable source, with a snapshot of its description.
#include "Raster/KrTearSourceDibData.h"
#include "Raster/KrVoidDibData.h"

#include <stdexcept>

TKrTearSourceDibData::TKrTearSourceDibData(var_a<TKrDibData*> source) : m_source(std::move(source)) {
    if (!m_source) throw std::runtime_error("TKrTearSourceDibData: FSrcDibData == 0");
    SaveDibDataProps();
}

var_a<TKrDibData*> TKrTearSourceDibData::VCreate(var_a<TKrDibData*> source) {
    return new_a<TKrTearSourceDibData>(std::move(source));
}

TKrTearSourceDibData::~TKrTearSourceDibData() = default;

void TKrTearSourceDibData::SaveDibDataProps() {
    if (!m_source) return;
    std::vector<TKrDibRect> levels;
    const std::size_t count = m_source->GetAllLevels(&levels);
    TKrDibChannels channels = m_source->Channels();
    std::string name = m_source->GetImageName();
    if (levels.empty()) levels.push_back(m_source->Bounds());
    m_levelCount = count;
    m_levels = std::move(levels);
    m_channels = std::move(channels);
    m_imageName = std::move(name);
}

void TKrTearSourceDibData::SetSrcDibData(var_a<TKrDibData*> source) {
    m_source = std::move(source);
    SaveDibDataProps();
}

TKrDibRect TKrTearSourceDibData::Bounds() {
    return m_source ? m_source->Bounds() : m_levels.front();
}

TKrDibRect TKrTearSourceDibData::BoundsEx(const TKrDibRect& level) {
    if (m_source) return m_source->BoundsEx(level);
    // A saved level on the same lattice answers itself; other grids get level 0's extent.
    for (const TKrDibRect& l : m_levels)
        if (l.pixel_size == level.pixel_size) return l;
    return TKrVoidDibData(m_levels.front(), m_channels).BoundsEx(level);
}

const TKrDibChannels& TKrTearSourceDibData::Channels() {
    return m_source ? m_source->Channels() : m_channels;
}

TKrDibRect TKrTearSourceDibData::GetInterpolationLevel(const TKrDibRect& request,
                                                       const TInterpolationQuality& quality, bool* exact) {
    if (m_source) return m_source->GetInterpolationLevel(request, quality, exact);
    if (exact) *exact = true;
    return request;
}

TKrGetRectResult TKrTearSourceDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                               const TInterpolationQuality& quality, int flags,
                                               TKrProgressHandler* progress) {
    return m_source ? m_source->GetRect(out, request, quality, flags, progress) : grNothing;
}

void TKrTearSourceDibData::FillDefaultColor(const TKrDibDataOutBuffer& out, TKrDibSize size) {
    if (m_source)
        m_source->FillDefaultColor(out, size);
    else
        TKrDibData::FillDefaultColor(out, size);
}

void TKrTearSourceDibData::PurgeCache() {
    if (m_source) m_source->PurgeCache();
}

std::size_t TKrTearSourceDibData::GetAllLevels(std::vector<TKrDibRect>* levels) {
    if (m_source) return m_source->GetAllLevels(levels);
    if (levels) *levels = m_levels;
    return m_levelCount;
}

TKrDibSize TKrTearSourceDibData::GetScaleDimensions(std::size_t level) {
    if (m_source) return m_source->GetScaleDimensions(level);
    if (level < m_levels.size()) return m_levels[level].count;
    const TKrDibSize c = m_levels.front().count;
    return level < 64 ? TKrDibSize{c.x >> level, c.y >> level} : TKrDibSize{0, 0};
}

std::string TKrTearSourceDibData::GetImageName() {
    return m_source ? m_source->GetImageName() : m_imageName;
}
