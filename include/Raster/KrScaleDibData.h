// TKrScaleDibData: a decorator that shifts and scales its source and resamples it block by block.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrDibData.h"
#include "Raster/KrDibFilter2D.h"

#include <cstddef>
#include <vector>

/// Destination coordinates relate to source coordinates by destination = (source + shift) ·
/// scale on each axis. Any grid is served: the source is read in blocks whose footprint (with
/// the filter's margins) fits block edge × block edge pixels and each block is resampled by a
/// nearest or linear/area filter. Blocks run on up to KrGetThreadsCount() threads; the source
/// itself is read by one thread at a time. A TKrRawMemDibData holding the whole footprint is
/// read in place by the nearest filter and by exact halving (whole output rows, no copy).
/// One caller thread at a time.
class KRSTD_API TKrScaleDibData : public TKrFilterDibData {
public:
    /// 1 = linear/area averaging; any other value nearest neighbour.
    enum TFilterType : int { ftNearest = 0, ftLinear = 1 };

    /// A null source, or a shift or scale that is not finite (scale also positive), throws
    /// TKrMessage.
    TKrScaleDibData(var_a<TKrDibData*> source, const vec2d& shift, const vec2d& scale, TFilterType filter);
    static var_a<TKrDibData*> VCreate(var_a<TKrDibData*> source, const vec2d& shift, const vec2d& scale,
                                      TFilterType filter);
    ~TKrScaleDibData() override;

    /// Replaces shift and scale (checked as in the constructor).
    void SetTransform(const vec2d& shift, const vec2d& scale);
    const vec2d& Shift() const noexcept { return m_shift; }
    const vec2d& Scale() const noexcept { return m_scale; }
    /// The block edge (GetDefaultDibDataMemTileSize() at construction); also the scratch limit.
    void SetBlockSize(std::size_t edge);
    std::size_t BlockSize() const noexcept { return m_blockSize; }

    vec2d CoordSrcToDest(const vec2d& p) const noexcept;
    vec2d CoordDestToSrc(const vec2d& p) const noexcept;
    vec2d SizeSrcToDest(const vec2d& s) const noexcept;
    vec2d SizeDestToSrc(const vec2d& s) const noexcept;

    /// The source's extent mapped to `level`'s lattice: the samples whose pixel lies inside
    /// the mapped source pixels.
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    /// The request unchanged, exact: the decorator produces any grid.
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// Passes requests the source serves exactly straight through; otherwise resamples block by
    /// block. A block footprint above the block edge throws the scratch buffer's "Requested size
    /// too big" message. A user break (progress) between block rows clears bit 1.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    /// One level: Bounds() (the source's levels do not map to pyramid levels of the result).
    std::size_t GetAllLevels(std::vector<TKrDibRect>* levels) override;
    TKrDibSize GetScaleDimensions(std::size_t level) override;

private:
    std::size_t m_blockSize;
    vec2d m_shift;
    vec2d m_scale;
    TKrDibBufferCache m_bufferCache;
    var_a<TKrDibFilter2D*> m_filter;
    std::vector<TKrDibBufferCache> m_workerCaches; // scratch of the worker threads other than the caller
};
