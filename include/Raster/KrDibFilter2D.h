// Two-dimensional resampling filters of the rescaling decorator: nearest neighbour and
// linear/area averaging (8-bit fixed point and double precision).
#pragma once

#include "Core/KrExport.h"
#include "Raster/KrDibBuffer.h"
#include "Raster/KrDibChannels.h"

#include <cstdint>
#include <vector>

/// Resamples a source block into a destination block: destination column i samples the source
/// at x = start.x + i · step.x (in source pixels, 0 = first source column), rows likewise.
/// Filters keep the channels they were made for. InterpolateRect does not change the filter, so
/// several threads may run it at once once the pixel size is set. The virtual slots are in a
/// fixed order. Filters are made with new_a and dropped through var_a, which runs the concrete
/// destructor: the base destructor is protected and the concrete filters are final.
class KRSTD_API TKrDibFilter2D {
public:
    explicit TKrDibFilter2D(const TKrDibChannels& channels);

    /// Source pixels per destination pixel on each axis.
    virtual void SetPixelSize(const vec2d& step) = 0;
    /// Extra source pixels needed before (after) a block's footprint.
    virtual TKrDibSize MarginStart() const = 0;
    virtual TKrDibSize MarginEnd() const = 0;
    /// A zero destination size does nothing; a zero source size fills the destination with the
    /// bad colour (GetBadColor).
    virtual void InterpolateRect(const TKrDibDataOutBuffer& source, TKrDibSize sourceSize,
                                 const TKrDibDataOutBuffer& destination, TKrDibSize destinationSize,
                                 const vec2d& start, const vec2d& step) const = 0;

    const TKrDibChannels& Channels() const noexcept { return m_channels; }

protected:
    ~TKrDibFilter2D();
    TKrDibChannels m_channels;
    std::size_t m_bytesPP;
};

/// Each destination pixel copies the source pixel nearest to its position (clamped to the
/// block). Margins 0.
class KRSTD_API TKrNearestDibFilter2D final : public TKrDibFilter2D {
public:
    explicit TKrNearestDibFilter2D(const TKrDibChannels& channels);
    ~TKrNearestDibFilter2D();
    void SetPixelSize(const vec2d& step) override;
    TKrDibSize MarginStart() const override;
    TKrDibSize MarginEnd() const override;
    void InterpolateRect(const TKrDibDataOutBuffer& source, TKrDibSize sourceSize,
                         const TKrDibDataOutBuffer& destination, TKrDibSize destinationSize,
                         const vec2d& start, const vec2d& step) const override;
};

/// The taps of one output position along one axis: source indices first .. first + weights − 1.
struct TKrLinearSample {
    std::int64_t first = 0;
    std::vector<double> weights;
};

/// The linear/area weights for position x along an axis of n source pixels: two taps between
/// neighbours for step ≤ 1 (the first tap's weight 1 at and beyond the ends), else a box of
/// width `step` centred on x, clipped to the axis and normalised. Tap indices past the axis
/// carry weight 0.
KRSTD_API void InitLinearSample(double x, double step, std::int64_t n, TKrLinearSample& out);

/// The common part of the linear filters: margins from the pixel size.
class KRSTD_API TKrLinearDibFilter2DBase : public TKrDibFilter2D {
public:
    explicit TKrLinearDibFilter2DBase(const TKrDibChannels& channels);
    /// Margin per axis: 1 for step ≤ 1, else round(step · 0.5 + 0.5).
    void SetPixelSize(const vec2d& step) override;
    /// (mx, my) and (mx + 1, my + 1).
    TKrDibSize MarginStart() const override;
    TKrDibSize MarginEnd() const override;

protected:
    ~TKrLinearDibFilter2DBase();
    TKrDibSize m_margin{1, 1};
};

/// Linear/area resampling in double precision, any sample type. Unsigned samples are weighted as
/// integers and rounded once at the end (the normalised values scaled by the maximum): exact
/// where the weights are binary fractions, so halving 16-bit data gives the rounded mean, which
/// a dedicated 2 × 2 kernel then computes at memory speed.
class KRSTD_API TKrBilinearDibFilter2D final : public TKrLinearDibFilter2DBase {
public:
    explicit TKrBilinearDibFilter2D(const TKrDibChannels& channels);
    ~TKrBilinearDibFilter2D();
    void InterpolateRect(const TKrDibDataOutBuffer& source, TKrDibSize sourceSize,
                         const TKrDibDataOutBuffer& destination, TKrDibSize destinationSize,
                         const vec2d& start, const vec2d& step) const override;
};

/// Linear/area resampling of unsigned 1-byte samples in fixed point: a 15-bit horizontal pass,
/// then a vertical pass rounding back to 8 bits (within 1 of the exact value). Exact halving
/// grids run a dedicated 2 × 2 kernel with the same rounding, byte for byte.
class KRSTD_API TKrBilinearDibFilter2DUInt8 final : public TKrLinearDibFilter2DBase {
public:
    explicit TKrBilinearDibFilter2DUInt8(const TKrDibChannels& channels);
    ~TKrBilinearDibFilter2DUInt8();
    void InterpolateRect(const TKrDibDataOutBuffer& source, TKrDibSize sourceSize,
                         const TKrDibDataOutBuffer& destination, TKrDibSize destinationSize,
                         const vec2d& start, const vec2d& step) const override;
};
