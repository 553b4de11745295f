// TKrMaskDibData: a one-channel alpha mask of a source: 0 where the source shows its background
// colour, 255 elsewhere.
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrByPartsChannelTransform.h"

#include <cstddef>
#include <cstdint>

/// A pixel is background when, on every channel, the signed difference between its value and the
/// background value of that channel lies within [−below, above]; background pixels get 0, all
/// others 255. The source must have unsigned 1-byte samples and at most 4 channels.
class KRSTD_API TKrMaskDibData : public TKrByPartsChannelTransform {
public:
    /// One unsigned 1-byte channel of kind alpha, shared by all masks.
    class KRSTD_API TOutChannels : public TKrDibChannels {
    public:
        TOutChannels();
        static const TOutChannels& Get();
    };

    /// `background` holds `count` values (at most 4), one per source channel from the first;
    /// missing values are 0, surplus ones are ignored. `below` and `above` are the tolerances
    /// under and over the background value (0 and 0: exact equality; a negative value moves that
    /// bound past the background value). A violated requirement throws the internal-error
    /// TKrMessage naming it ("BackColorSize <= 4", "m_SrcChCount <= 4", ...).
    TKrMaskDibData(var_a<TKrDibData*> source, const unsigned* background, std::size_t count, int below,
                   int above);
    static var_a<TKrDibData*> VCreate(var_a<TKrDibData*> source, const unsigned* background,
                                      std::size_t count, int below, int above);
    ~TKrMaskDibData() override;

    bool IsEquivalentTransform() override;
    bool TransformBuffer(const TKrDibDataOutBuffer& destination, const TKrDibDataOutBuffer& source,
                         const TKrDibRect& grid) override;

private:
    std::size_t m_SrcChCount;
    std::int64_t m_background[4] = {0, 0, 0, 0};
    std::int64_t m_low, m_high; ///< bounds of value − background
};
