// TKrVoidDibData: geometry and channels without pixels.
#include "Raster/KrVoidDibData.h"
#include "Raster/KrRasterInternal.h"

#include <cmath>

TKrVoidDibData::TKrVoidDibData() : m_rect{{0, 0}, {1, 1}, {1, 1}} {
    m_channels.SetRGB_U8();
}

TKrVoidDibData::TKrVoidDibData(const TKrDibRect& rect, const TKrDibChannels& channels)
    : m_rect(rect), m_channels(channels) {}

var_a<TKrDibData*> TKrVoidDibData::VCreate(const TKrDibRect& rect, const TKrDibChannels& channels) {
    return new_a<TKrVoidDibData>(rect, channels);
}

TKrVoidDibData::~TKrVoidDibData() = default;

TKrDibRect TKrVoidDibData::BoundsEx(const TKrDibRect& level) {
    return KrRasterInternal::ExtentOnGrid(m_rect, level);
}

const TKrDibChannels& TKrVoidDibData::Channels() {
    return m_channels;
}

TKrDibRect TKrVoidDibData::GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality&,
                                                 bool* exact) {
    if (exact) *exact = true;
    return request;
}

TKrGetRectResult TKrVoidDibData::GetRect(const TKrDibDataOutBuffer&, const TKrDibRect&,
                                         const TInterpolationQuality&, int, TKrProgressHandler*) {
    return grComplete;
}

void TKrVoidDibData::PurgeCache() {}
