// TKrRawDibData: a raster source over pixels stored in a stream without a header.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrDibData.h"

class TKrStream;

/// Pixels row after row from offset 0 of a stream, each row count.x · bytes-per-pixel bytes.
/// Serves only requests at the stored pixel size; reads are whole-pixel aligned (offsets round
/// to the nearest pixel). One thread at a time (the stream's position is shared).
class KRSTD_API TKrRawDibData : public TKrDibData {
public:
    /// A null stream, invalid channels or a grid whose byte size overflows throw TKrMessage.
    TKrRawDibData(var_a<TKrStream*> stream, const TKrDibChannels& channels, const TKrDibRect& rect);
    static var_a<TKrDibData*> VCreate(var_a<TKrStream*> stream, const TKrDibChannels& channels,
                                      const TKrDibRect& rect);
    ~TKrRawDibData() override;

    /// The stored grid, whatever the argument.
    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    const TKrDibChannels& Channels() override;
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    /// 2 unless the request's pixel size equals the stored one exactly and it overlaps the data;
    /// else 3, after one positioned read per row. A stream that ends or fails before the image
    /// does throws TKrMessage (rows read so far stay in the buffer). O(rows + bytes).
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    /// Flushes the stream.
    void PurgeCache() override;

private:
    var_a<TKrStream*> m_stream;
    TKrDibChannels m_channels;
    TKrDibRect m_rect;
};
