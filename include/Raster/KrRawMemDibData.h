// TKrRawMemDibData: a raster source over pixels the caller holds in memory.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrDibData.h"

#include <cstdint>

namespace KrRasterInternal {
struct TRawMemAccess;
}

/// Pixels at `data` with its row stride and a pixel step (the distance in bytes between
/// neighbouring pixels, bytes per pixel by default; it may be larger, for one plane of
/// interleaved data, or negative). The owner reference keeps the memory alive. Serves only
/// requests at the stored pixel size; offsets truncate toward zero.
class KRSTD_API TKrRawMemDibData : public TKrDibData {
public:
    /// An empty source: zero counts, pixel size 1, unsigned 1-byte channels without kinds.
    TKrRawMemDibData();
    /// Invalid channels, a null data pointer for a non-empty grid, rows that overlap (|stride|
    /// below count.x · |pixel step| for more than one row) or byte spans that overflow throw
    /// TKrMessage.
    TKrRawMemDibData(const TKrDibDataOutBuffer& data, const TKrDibChannels& channels, const TKrDibRect& rect,
                     var_a<void*> owner);
    TKrRawMemDibData(const TKrDibDataOutBuffer& data, std::int64_t pixelStep, const TKrDibChannels& channels,
                     const TKrDibRect& rect, var_a<void*> owner);
    static var_a<TKrDibData*> VCreate(const TKrDibDataOutBuffer& data, const TKrDibChannels& channels,
                                      const TKrDibRect& rect, var_a<void*> owner);
    static var_a<TKrDibData*> VCreate(const TKrDibDataOutBuffer& data, std::int64_t pixelStep,
                                      const TKrDibChannels& channels, const TKrDibRect& rect,
                                      var_a<void*> owner);
    ~TKrRawMemDibData() override;

    /// The stored extent on the lattice of `level`: the level's samples from the one at or
    /// before the first stored sample to the one at or after the last.
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    const TKrDibChannels& Channels() override;
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// 2 when the pixel sizes differ, a count is zero or the grids do not overlap; else copies
    /// the overlap (a block copy per row, or pixel by pixel for a pixel step other than the
    /// pixel size) and returns 3. O(bytes).
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    void PurgeCache() override;

    std::int64_t PixelStep() const noexcept { return m_pixelStep; }

private:
    friend struct KrRasterInternal::TRawMemAccess; // lets readers in the library use the pixels in place
    void Init();

    /// Copies n pixels from a strided source into packed pixels.
    using TCopier = void (*)(char* dst, const char* src, std::size_t n, std::int64_t srcStep,
                             std::size_t bytesPP);

    TKrDibDataOutBuffer m_data;
    std::int64_t m_pixelStep = 0;
    TKrDibChannels m_channels;
    TKrDibRect m_rect;
    var_a<void*> m_owner;
    TCopier m_copier = nullptr;
};
