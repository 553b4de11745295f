// TKrOverlayDibData: several sources with identical channels laid over each other (a mosaic).
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibData.h"

#include <cstddef>
#include <limits>
#include <set>
#include <vector>

/// Later sources cover earlier ones. With the direct flag every source writes straight into the
/// caller's buffer, so a later source covers only the pixels it writes. Without it requests are
/// cut into blocks of at most block edge × block edge (GetDefaultDibDataMemTileSize(), 128 by
/// default), each source is read into a scratch block filled with the background, and its whole
/// overlap is copied to the output: a later source then covers an earlier one over its whole
/// extent, background pixels included. Channels and level choice come from source 0. Sources
/// read during requests are purged once more than 20 of them were read. One thread at a time.
class KRSTD_API TKrOverlayDibData : public TKrDibData {
public:
    /// At least one source, none null (the internal-error message naming "source_dibdata[i]");
    /// a source whose channels differ from source 0's throws TKrMessage
    /// "@TKrOverlayDibData::TKrOverlayDibData(): channels mismatch in dibdata[<i>]."
    TKrOverlayDibData(const std::vector<var_a<TKrDibData*>>& sources, bool direct);
    static var_a<TKrDibData*> VCreate(const std::vector<var_a<TKrDibData*>>& sources, bool direct);
    ~TKrOverlayDibData() override;

    /// The union, in `level`'s indices, of every source's BoundsEx(level).
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    const TKrDibChannels& Channels() override;
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// Reads every source that meets the request, in order, up to GetGetRectMaxRasters() of them.
    /// Results join by AND of bit 1 and OR of bit 0, from 2. Exceptions of a source propagate.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    /// Purges every source but the first.
    void PurgeCache() override;

    /// The most sources read for one request (block); unlimited by default.
    std::size_t GetGetRectMaxRasters() const noexcept { return m_maxRasters; }
    void SetGetRectMaxRasters(std::size_t count) noexcept { m_maxRasters = count; }
    const std::vector<var_a<TKrDibData*>>& Sources() const noexcept { return m_sources; }

private:
    TKrGetRectResult ReadBlock(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                               const TInterpolationQuality& quality, int flags, TKrProgressHandler* progress);

    std::vector<var_a<TKrDibData*>> m_sources;
    bool m_direct;
    std::size_t m_maxRasters = std::numeric_limits<std::size_t>::max();
    std::size_t m_blockSize;
    TKrDibBufferCache m_bufferCache;
    std::set<std::size_t> m_read; ///< sources read since the last purge
};
