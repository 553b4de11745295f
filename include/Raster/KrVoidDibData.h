// TKrVoidDibData: a raster source with geometry and channels but no pixels.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibData.h"

/// A placeholder: every read answers "complete, nothing written" (2).
class KRSTD_API TKrVoidDibData : public TKrDibData {
public:
    /// Origin (0, 0), counts (1, 1), pixel size (1, 1); unsigned 1-byte red-green-blue.
    TKrVoidDibData();
    TKrVoidDibData(const TKrDibRect& rect, const TKrDibChannels& channels);
    static var_a<TKrDibData*> VCreate(const TKrDibRect& rect, const TKrDibChannels& channels);
    ~TKrVoidDibData() override;

    /// The stored grid's extent on `level`'s lattice: from the level sample at or before the
    /// first stored sample to the one at or after the last. An invalid level gives the stored grid.
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    const TKrDibChannels& Channels() override;
    /// The request unchanged, exact.
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// Always 2.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    void PurgeCache() override;

private:
    TKrDibRect m_rect;
    TKrDibChannels m_channels;
};
