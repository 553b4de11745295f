// TKrVoidDibData: geometry and channels without pixels.
#include "Raster/KrVoidDibData.h"

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
    if (!KrIsDibRectValid(level) || !KrIsDibRectValid(m_rect)) return m_rect;
    TKrDibRect r;
    r.pixel_size = level.pixel_size;
    for (int axis = 0; axis < 2; ++axis) {
        const double p = level.pixel_size[axis], o = level.origin[axis];
        const double i0 = std::floor((m_rect.origin[axis] - o) / p);
        const double last =
            m_rect.origin[axis] + (static_cast<double>(m_rect.count[axis]) - 1) * m_rect.pixel_size[axis];
        const double i1 = std::ceil((last - o) / p);
        r.origin[axis] = o + i0 * p;
        const double n = std::round(i1 - i0 + 1);
        r.count[axis] = n > 0 && n < 1.8e19 ? static_cast<std::uint64_t>(n) : 0;
    }
    return r;
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
