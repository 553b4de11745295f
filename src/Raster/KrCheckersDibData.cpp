// TKrCheckersDibData: checkerboard levels computed on the fly.
#include "Raster/KrCheckersDibData.h"

#include <algorithm>
#include <cstring>

TKrCheckersDibData::TKrCheckersDibData(const TKrDibRect& grid, std::size_t levels) {
    m_channels.SetRGBA_U8();
    FillDefaultLevelBounds(grid.count, std::clamp<std::size_t>(levels, 1, 31));
    for (TKrDibRect& l : m_levels) {
        l.origin = {l.origin.x + grid.origin.x, l.origin.y + grid.origin.y};
        l.pixel_size = {l.pixel_size.x * grid.pixel_size.x, l.pixel_size.y * grid.pixel_size.y};
    }
}

var_a<TKrDibData*> TKrCheckersDibData::VCreate(const TKrDibRect& grid, std::size_t levels) {
    return new_a<TKrCheckersDibData>(grid, levels);
}

TKrCheckersDibData::~TKrCheckersDibData() = default;

const TKrDibChannels& TKrCheckersDibData::Channels() {
    return m_channels;
}

void TKrCheckersDibData::PurgeCache() {}

TKrGetRectResult TKrCheckersDibData::GetRect(std::size_t level, const TKrDibRectI& rect,
                                             const TKrDibDataOutBuffer& out) {
    const std::size_t n = m_levels.size();
    const std::uint64_t cell = std::uint64_t(1) << (n - 1 - std::min(level, n - 1));
    static const unsigned char black[4] = {0, 0, 0, 255}, white[4] = {255, 255, 255, 255};
    for (std::uint64_t j = 0; j < rect.height; ++j) {
        const bool yOdd = (static_cast<std::uint64_t>(rect.top) + j) & cell;
        char* p = out.Row(static_cast<std::int64_t>(j));
        for (std::uint64_t i = 0; i < rect.width; ++i, p += 4) {
            const bool xOdd = (static_cast<std::uint64_t>(rect.left) + i) & cell;
            std::memcpy(p, xOdd != yOdd ? white : black, 4);
        }
    }
    return grCompleteData;
}
