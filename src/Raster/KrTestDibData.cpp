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

namespace {

// A well-mixed byte of (x, y, salt): neighbouring pixels and channels differ unpredictably.
unsigned char NoiseByte(std::uint64_t x, std::uint64_t y, std::uint64_t salt) {
    std::uint64_t h = x * 0x9E3779B97F4A7C15u ^ (y + 0x632BE59BD9B4E019u) * 0xC2B2AE3D27D4EB4Fu ^ salt;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9u;
    h ^= h >> 32;
    return static_cast<unsigned char>(h);
}

void RGBPixel(bool noise, std::uint64_t x, std::uint64_t y, char* out) {
    for (std::uint64_t c = 0; c < 3; ++c)
        out[c] = static_cast<char>(noise ? NoiseByte(x, y, c) : (c == 0 ? x : c == 1 ? y : x + y) & 255);
}

} // namespace

TKrTestDibDataRGB::TKrTestDibDataRGB(bool noise, TKrDibSize size)
    : TKrTestDibData(TKrDibChannels(), size), m_noise(noise) {
    m_channels.SetRGB_U8();
}

void TKrTestDibDataRGB::Pixel(std::uint64_t x, std::uint64_t y, char* out) const {
    RGBPixel(m_noise, x, y, out);
}

TKrTestDibDataRGBA::TKrTestDibDataRGBA(bool noise, TKrDibSize size)
    : TKrTestDibData(TKrDibChannels(), size), m_noise(noise) {
    m_channels.SetRGBA_U8();
}

void TKrTestDibDataRGBA::Pixel(std::uint64_t x, std::uint64_t y, char* out) const {
    RGBPixel(m_noise, x, y, out);
    out[3] = static_cast<char>(m_noise ? NoiseByte(x, y, 3) : 255);
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

TKrTestDibDataMultiScaleGray::TKrTestDibDataMultiScaleGray(unsigned levels, TKrDibSize size, std::int64_t x0,
                                                           std::int64_t y0)
    : m_x0(x0), m_y0(y0) {
    m_channels.SetGray_U8();
    FillDefaultLevelBounds(size, std::clamp<std::size_t>(levels, 1, 31));
}

const TKrDibChannels& TKrTestDibDataMultiScaleGray::Channels() {
    return m_channels;
}

void TKrTestDibDataMultiScaleGray::PurgeCache() {}

TKrGetRectResult TKrTestDibDataMultiScaleGray::GetRect(std::size_t level, const TKrDibRectI& rect,
                                                       const TKrDibDataOutBuffer& out) {
    const unsigned k = static_cast<unsigned>(std::min<std::size_t>(level, 62));
    for (std::uint64_t j = 0; j < rect.height; ++j) {
        char* p = out.Row(static_cast<std::int64_t>(j));
        const std::uint64_t y = (static_cast<std::uint64_t>(rect.top) + j) << k;
        for (std::uint64_t i = 0; i < rect.width; ++i) {
            const std::uint64_t x = (static_cast<std::uint64_t>(rect.left) + i) << k;
            p[i] = static_cast<char>(
                (x + static_cast<std::uint64_t>(m_x0) + 2 * (y + static_cast<std::uint64_t>(m_y0))) & 255);
        }
    }
    return grCompleteData;
}

TKrTestDibDataFChess::TKrTestDibDataFChess(std::size_t cell, TKrDibSize size) : m_cell(cell ? cell : 1) {
    m_channels = TKrDibChannels(TE_KrDibChannelType::ctFloat, 4, TE_KrDibChannelKind::ckGray);
    std::size_t levels = 1;
    while (levels < 31 && std::max(size.x, size.y) >> levels != 0)
        ++levels;
    FillDefaultLevelBounds(size, levels);
}

var_a<TKrDibData*> TKrTestDibDataFChess::VCreate(std::size_t cell, TKrDibSize size) {
    return new_a<TKrTestDibDataFChess>(cell, size);
}

const TKrDibChannels& TKrTestDibDataFChess::Channels() {
    return m_channels;
}

void TKrTestDibDataFChess::PurgeCache() {}

TKrGetRectResult TKrTestDibDataFChess::GetRect(std::size_t level, const TKrDibRectI& rect,
                                               const TKrDibDataOutBuffer& out) {
    const unsigned k = static_cast<unsigned>(std::min<std::size_t>(level, 62));
    for (std::uint64_t j = 0; j < rect.height; ++j) {
        char* p = out.Row(static_cast<std::int64_t>(j));
        const std::uint64_t y = ((static_cast<std::uint64_t>(rect.top) + j) << k) / m_cell;
        for (std::uint64_t i = 0; i < rect.width; ++i, p += 4) {
            const std::uint64_t x = ((static_cast<std::uint64_t>(rect.left) + i) << k) / m_cell;
            const float v = (x + y) & 1 ? 1.0f : 0.0f;
            std::memcpy(p, &v, 4);
        }
    }
    return grCompleteData;
}
