// Deterministic test sources.
#include "Raster/KrTestDibData.h"
#include "Raster/KrRasterInternal.h"
#include "Raster/KrVoidDibData.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

TKrTestDibData::TKrTestDibData(const TKrDibChannels& channels, TKrDibSize size)
    : m_channels(channels), m_rect{{0, 0}, size, {1, 1}} {}

TKrTestDibData::~TKrTestDibData() = default;

TKrDibRect TKrTestDibData::BoundsEx(const TKrDibRect& level) {
    return TKrVoidDibData(m_rect, m_channels).BoundsEx(level);
}

const TKrDibChannels& TKrTestDibData::Channels() {
    return m_channels;
}

TKrDibRect TKrTestDibData::GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality&,
                                                 bool* exact) {
    if (exact) *exact = true;
    return request;
}

void TKrTestDibData::PurgeCache() {}

TKrGetRectResult TKrTestDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                         const TInterpolationQuality&, int, TKrProgressHandler*) {
    if (request.IsEmpty() || !KrIsDibRectValid(request)) return grComplete;
    const std::size_t bpp = m_channels.GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, bpp, "TKrTestDibData::GetRect");
    // The pattern pixel of each request column and row, or -1 off the grid.
    auto pixels = [&](int axis) {
        std::vector<std::int64_t> idx(static_cast<std::size_t>(request.count[axis]));
        const double n = static_cast<double>(m_rect.count[axis]);
        for (std::size_t i = 0; i < idx.size(); ++i) {
            const double p = std::floor(request.Sample(axis, static_cast<double>(i)) + 0.5);
            idx[i] = p >= 0 && p < n ? static_cast<std::int64_t>(p) : -1;
        }
        return idx;
    };
    const std::vector<std::int64_t> xs = pixels(0), ys = pixels(1);
    bool any = false;
    for (std::size_t j = 0; j < ys.size(); ++j) {
        if (ys[j] < 0) continue;
        char* row = out.Row(static_cast<std::int64_t>(j));
        for (std::size_t i = 0; i < xs.size(); ++i)
            if (xs[i] >= 0) {
                Pixel(static_cast<std::uint64_t>(xs[i]), static_cast<std::uint64_t>(ys[j]), row + i * bpp);
                any = true;
            }
    }
    return any ? grCompleteData : grComplete;
}

TKrTestDibDataGray::TKrTestDibDataGray(TKrDibSize size)
    : TKrTestDibData(TKrDibChannels(TE_KrDibChannelType::ctUInt, 1, TE_KrDibChannelKind::ckGray), size) {}

void TKrTestDibDataGray::Pixel(std::uint64_t x, std::uint64_t y, char* out) const {
    *out = static_cast<char>((x + 2 * y) & 255);
}

TKrTestDibDataGrayConst::TKrTestDibDataGrayConst(unsigned value, TKrDibSize size)
    : TKrTestDibData(TKrDibChannels(TE_KrDibChannelType::ctUInt, 1, TE_KrDibChannelKind::ckGray), size),
      m_value(static_cast<unsigned char>(value)) {}

void TKrTestDibDataGrayConst::Pixel(std::uint64_t, std::uint64_t, char* out) const {
    *out = static_cast<char>(m_value);
}

namespace {

std::uint16_t Gray16(std::uint64_t x, std::uint64_t y) {
    return static_cast<std::uint16_t>((97 * x + 389 * y) & 0xFFFF);
}

} // namespace

TKrTestDibDataGray16::TKrTestDibDataGray16(TKrDibSize size)
    : TKrTestDibData(TKrDibChannels(TE_KrDibChannelType::ctUInt, 2, TE_KrDibChannelKind::ckGray), size) {}

void TKrTestDibDataGray16::Pixel(std::uint64_t x, std::uint64_t y, char* out) const {
    const std::uint16_t v = Gray16(x, y);
    std::memcpy(out, &v, 2);
}

TKrTestDibDataGray16A::TKrTestDibDataGray16A(TKrDibSize size)
    : TKrTestDibData(TKrDibChannels(TE_KrDibChannelType::ctUInt, 2, TE_KrDibChannelKind::ckGray,
                                    TE_KrDibChannelKind::ckAlpha),
                     size) {}

void TKrTestDibDataGray16A::Pixel(std::uint64_t x, std::uint64_t y, char* out) const {
    const std::uint16_t v[2] = {Gray16(x, y), static_cast<std::uint16_t>((x + y) % 3 == 0 ? 0 : 65535)};
    std::memcpy(out, v, 4);
}

TKrTestDibDataMSDummy::TKrTestDibDataMSDummy(unsigned levels, TKrDibSize size, const TKrDibChannels& channels)
    : m_channels(channels) {
    KrRasterInternal::CheckChannels(channels, "TKrTestDibDataMSDummy");
    FillDefaultLevelBounds(size, std::clamp<std::size_t>(levels, 1, 31));
}

const TKrDibChannels& TKrTestDibDataMSDummy::Channels() {
    return m_channels;
}

void TKrTestDibDataMSDummy::PurgeCache() {}

TKrGetRectResult TKrTestDibDataMSDummy::GetRect(std::size_t level, const TKrDibRectI& rect,
                                                const TKrDibDataOutBuffer& out) {
    const std::size_t bpp = m_channels.GetBytesPP();
    for (std::uint64_t j = 0; j < rect.height; ++j) {
        auto* p = reinterpret_cast<unsigned char*>(out.Row(static_cast<std::int64_t>(j)));
        const std::uint64_t y = static_cast<std::uint64_t>(rect.top) + j;
        for (std::uint64_t i = 0; i < rect.width; ++i) {
            const std::uint64_t x = static_cast<std::uint64_t>(rect.left) + i;
            for (std::size_t b = 0; b < bpp; ++b)
                *p++ = static_cast<unsigned char>(x + 3 * y + 17 * level + 5 * b);
        }
    }
    return grCompleteData;
}
