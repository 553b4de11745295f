// kr::TMultiScaleFullCacheDibData: a pyramid that holds whole levels of its source in memory.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrMultiScaleDibData.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kr {

/// Takes the levels of a (multi-level) source and, on the first request that needs a level,
/// reads that whole level into one buffer; later requests copy from memory without rescaling.
/// Suits small images and overviews that are shown again and again. One thread at a time.
class KRSTD_API TMultiScaleFullCacheDibData : public TKrMultiScaleDibData {
public:
    /// Without a source: one empty level; reads return 0 until Init.
    TMultiScaleFullCacheDibData();
    /// Init(source).
    explicit TMultiScaleFullCacheDibData(var_a<TKrDibData*> source);
    ~TMultiScaleFullCacheDibData() override;

    /// Frees any level buffers, takes the source, its channels and its levels (GetAllLevels);
    /// no level is read yet. A null source throws TKrMessage.
    void Init(var_a<TKrDibData*> source);
    /// Frees the level buffers and lets the source go.
    void Deinit() noexcept;

    const TKrDibChannels& Channels() override;
    /// Answers from the level whose pixel size is nearest the request's (the geometric mean of
    /// the two axes when they differ), reading that level whole on first use. Copies the overlap
    /// of the request at the level's pixel positions, without rescaling. 2 when the overlap is
    /// empty or the level could not be read, 0 without a source. O(bytes copied) once loaded,
    /// plus the level read the first time.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    /// Frees every level buffer and purges the source.
    void PurgeCache() override;
    /// The level read of pyramids: copies `rect` (inside the level) from the level's buffer.
    TKrGetRectResult GetRect(std::size_t level, const TKrDibRectI& rect,
                             const TKrDibDataOutBuffer& out) override;

    /// The level GetRect uses for `request`.
    std::size_t ChooseLevel(const TKrDibRect& request) const noexcept;
    /// True when the level's buffer is in memory.
    bool IsLevelLoaded(std::size_t level) const noexcept;

private:
    struct TLevelSlot {
        char* buffer = nullptr; // malloc-ed, stride · count y + 4 bytes
        std::size_t stride = 0;
        std::size_t size = 0;
        bool failed = false;
    };
    /// The loaded level, or null when it failed (now or before).
    const TLevelSlot* Load(std::size_t level);
    void FreeLevels() noexcept;

    var_a<TKrDibData*> m_source;
    TKrDibChannels m_channels;
    std::vector<TLevelSlot> m_slots;
};

} // namespace kr
