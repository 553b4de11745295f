// TKrMultiScaleDibData: the base of pyramid sources, which hold an image at pixel sizes 1, 2, 4, ...
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibData.h"

#include <cstddef>
#include <vector>

/// A pyramid: level k has pixel size 2^k and origin 0.5 · 2^k − 0.5 (the centre of the first
/// 2^k × 2^k block of full-resolution pixels). Requests are answered from the level that suits
/// the requested pixel size; concrete pyramids read one level at integer positions (the
/// level-read GetRect). Its virtual slots follow TKrDibData's in the order declared here.
class KRSTD_API TKrMultiScaleDibData : public TKrDibData {
public:
    /// One level: origin (0, 0), counts (0, 0), pixel size (1, 1).
    TKrMultiScaleDibData();
    ~TKrMultiScaleDibData() override;

    /// Level 0's bounds (the default grid when there are no levels).
    TKrDibRect Bounds() override;
    /// The bounds of the level chosen for level.pixel_size.x (see Rect2RectI).
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    /// The level grid that serves `request` under `quality` (see the implementation notes).
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// Chooses the level (Rect2RectI), clips the request to it and reads it with the level read.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    std::size_t GetAllLevels(std::vector<TKrDibRect>* levels) override;
    /// The counts of a level; a level not below the level count throws TKrMessage ending in
    /// "Invalid Scale (<level>)".
    TKrDibSize GetScaleDimensions(std::size_t level) override;

    // --- Virtual slots added by pyramids, in order ---------------------------------------------

    /// The level k for request.pixel_size.x: 0 up to 1.1, else the first k with
    /// 2^k ≥ pixel size − 0.1, at most the last level unless `anyLevel`. *out gets the request
    /// on that level: left, top = round((origin − o) / 2^k) with o = 0.5 · 2^k − 0.5, and the
    /// request's counts.
    virtual std::size_t Rect2RectI(const TKrDibRect& request, const TInterpolationQuality& quality, int flags,
                                   TKrDibRectI* out, bool anyLevel);
    /// Pixel size 2^level, origin (left · 2^level, top · 2^level), counts width and height.
    virtual TKrDibRect RectI2Rect(std::size_t level, const TKrDibRectI& rect);
    /// Back to the single default level.
    virtual void ResetLevelBounds();
    /// `levels` default levels for a size.x × size.y image: level k has counts size >> k.
    virtual void FillDefaultLevelBounds(TKrDibSize size, std::size_t levels);
    /// Reads `rect` (already clipped to the level) of one level into `out`. Every concrete
    /// pyramid overrides it; this version throws TKrMessage "... Don`t implemented!".
    virtual TKrGetRectResult GetRect(std::size_t level, const TKrDibRectI& rect,
                                     const TKrDibDataOutBuffer& out) = 0;

protected:
    std::vector<TKrDibRect> m_levels;
};
