// TKrCheckersDibData: the checkerboard pyramid drawn behind transparent images.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrMultiScaleDibData.h"

#include <cstddef>

/// Black (0, 0, 0, 255) and white (255, 255, 255, 255) squares, unsigned 8-bit red-green-blue-
/// alpha, whose edge is 2^(levels − 1) full-resolution pixels on every level: 2^(levels − 1 − k)
/// pixels of level k. Pixel (0, 0) is black. Levels are the default pyramid levels of the grid's
/// counts, moved by the grid's origin and scaled by its pixel size.
class KRSTD_API TKrCheckersDibData : public TKrMultiScaleDibData {
public:
    /// `levels` is clamped to 1..31.
    TKrCheckersDibData(const TKrDibRect& grid, std::size_t levels);
    static var_a<TKrDibData*> VCreate(const TKrDibRect& grid, std::size_t levels);
    ~TKrCheckersDibData() override;

    const TKrDibChannels& Channels() override;
    void PurgeCache() override;
    using TKrMultiScaleDibData::GetRect;
    /// Draws the squares of level `level` at `rect` into 4-byte pixels; returns 3.
    TKrGetRectResult GetRect(std::size_t level, const TKrDibRectI& rect,
                             const TKrDibDataOutBuffer& out) override;

private:
    TKrDibChannels m_channels;
};
