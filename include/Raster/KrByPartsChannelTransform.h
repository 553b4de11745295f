// TKrByPartsChannelTransform: the frame of pixel-by-pixel decorators that read their source tile
// by tile and rewrite each tile into the caller's buffer.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrDibData.h"

#include <cstddef>

/// A decorator whose output pixel depends only on the source pixels around the same grid
/// position. GetRect walks the covered part of a request in tiles of at most the scratch
/// buffer's limit (GetDefaultDibDataMemTileSize(), 128 by default) per side, reads each tile
/// (widened by the margin on every side) into a reused scratch buffer and converts it with
/// TransformBuffer. Geometry, levels and names come from the source; Channels() gives the output
/// channels. One thread at a time. Its virtual slots follow TKrFilterDibData's in the order
/// declared here.
class KRSTD_API TKrByPartsChannelTransform : public TKrFilterDibData {
public:
    /// A null source throws TKrMessage; output channels must have a valid sample type and a pixel
    /// of 1 to 2304 bytes (TKrMessage otherwise).
    TKrByPartsChannelTransform(var_a<TKrDibData*> source, const TKrDibChannels& output);
    ~TKrByPartsChannelTransform() override;

    /// Replaces the source and the output channels (checked as in the constructor).
    void Init(var_a<TKrDibData*> source, const TKrDibChannels& output);
    void SetOutputChannels(const TKrDibChannels& output);
    /// Extra source pixels read on every side of a tile (0 by default), for transforms that look
    /// at neighbours. Tiles shrink by twice the margin (to one pixel at least); a margin above
    /// the tile size makes GetRect throw TKrMessage.
    void SetMargin(std::size_t margin) noexcept { m_margin = margin; }
    std::size_t GetMargin() const noexcept { return m_margin; }

    /// The output channels.
    const TKrDibChannels& Channels() override;
    /// Straight from the source when IsEquivalentTransform(); otherwise tile by tile. The result
    /// starts at 2: a source read without bit 1 clears bit 1, a converted tile sets bit 0. A user
    /// break (progress) between tiles stops the walk and clears bit 1. Exceptions of the source
    /// or the conversion propagate; tiles already converted stay written.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    /// Blocks of the output layout's background (zero bytes).
    void FillDefaultColor(const TKrDibDataOutBuffer& out, TKrDibSize size) override;

    // --- Virtual slots added by the frame, in order --------------------------------------------

    /// True when the transform changes nothing, so that reads go straight to the source.
    virtual bool IsEquivalentTransform();
    /// Converts one tile: `source` holds the source pixels of `grid` (the margin lies before its
    /// first row and column), `destination` receives grid.count output pixels. False when
    /// nothing was written.
    virtual bool TransformBuffer(const TKrDibDataOutBuffer& destination, const TKrDibDataOutBuffer& source,
                                 const TKrDibRect& grid) = 0;

protected:
    TKrDibChannels m_channels;
    std::size_t m_margin = 0;
    TKrDibBufferCache m_bufferCache;
};
