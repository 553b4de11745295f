// TKrDibData: the abstract raster source read by sampling grid, its decorator base
// TKrFilterDibData, the read result and quality records, and the functions shared by sources.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Raster/KrDibBuffer.h"
#include "Raster/KrDibChannels.h"
#include "Raster/KrDibRect.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class TKrProgressHandler;

/// How closely a source must honour a requested grid.
struct TInterpolationQuality {
    /// Allowed misalignment, as a fraction of a pixel, for a grid to count as exact.
    double Tolerance = 0.5;
    /// Level choice of pyramids: 0 prefers the coarser level, 1 the nearest, 2 and 3 fall back
    /// to finer levels when the nearest is not exact.
    std::int32_t Mode = 1;
};

/// (0.5, 1): for showing images.
KRSTD_API TInterpolationQuality GetDisplayInterpolationQuality() noexcept;
/// (1/256, 3): for measuring in images.
KRSTD_API TInterpolationQuality GetMathInterpolationQuality() noexcept;
/// Tolerances equal within a relative 1e-12 (absolute near 0), modes exactly.
KRSTD_API bool EQ_d(const TInterpolationQuality& a, const TInterpolationQuality& b) noexcept;

/// The two-bit answer of GetRect: bit 0 = data was written, bit 1 = the read ran to its end.
/// Joined results OR bit 0 and AND bit 1.
enum TKrGetRectResult : std::uint32_t {
    grNothing = 0,     ///< nothing done (no source available)
    grData = 1,        ///< interrupted after writing some data
    grComplete = 2,    ///< complete, nothing to write (outside the data, or a grid not served)
    grCompleteData = 3 ///< complete with data
};
constexpr TKrGetRectResult KrJoinGetRectResult(TKrGetRectResult a, TKrGetRectResult b) noexcept {
    return static_cast<TKrGetRectResult>(((a | b) & 1u) | (a & b & 2u));
}

/// The library's raster source. A caller asks it to fill a caller-owned buffer with the samples
/// of a grid (GetRect) and receives a two-bit result. Sources are shared through
/// var_a<TKrDibData*>, made by static VCreate functions, and read by one thread at a time.
/// The virtual slots are in a fixed order that other modules are compiled against.
class KRSTD_API TKrDibData {
public:
    TKrDibData() = default;
    TKrDibData(const TKrDibData&) = delete;
    TKrDibData& operator=(const TKrDibData&) = delete;

    // --- Virtual slots, in order -------------------------------------------------------------

    virtual ~TKrDibData();
    /// The source's extent on its main level: BoundsEx(GetMainLevel()).
    virtual TKrDibRect Bounds();
    /// The source's extent expressed on the grid of `level` (origin and pixel size).
    virtual TKrDibRect BoundsEx(const TKrDibRect& level) = 0;
    virtual const TKrDibChannels& Channels() = 0;
    /// The grid the source would really read for `request`; *exact (when given) tells whether
    /// it matches the request within quality.Tolerance.
    virtual TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                             bool* exact) = 0;
    /// Writes the samples of `request` into `out` (count.y rows of count.x · GetBytesPP bytes).
    /// Pixels outside the source's data are left as they were. `flags` pass through decorators;
    /// bit 0 makes tile caches keep only tiles whose read completed. A null progress handler
    /// reports nothing. Strides too small for the request throw TKrMessage.
    virtual TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                     const TInterpolationQuality& quality, int flags,
                                     TKrProgressHandler* progress) = 0;
    /// Fills a block with the background: FillDibDefaultColor (zero bytes).
    virtual void FillDefaultColor(const TKrDibDataOutBuffer& out, TKrDibSize size);
    /// Drops whatever the source caches.
    virtual void PurgeCache() = 0;
    /// The source's levels (stored into *levels when given); by default Bounds() alone, 1.
    virtual std::size_t GetAllLevels(std::vector<TKrDibRect>* levels);
    /// Width and height of a level; by default Bounds()'s counts shifted right by `level`.
    virtual TKrDibSize GetScaleDimensions(std::size_t level);
    virtual std::string GetImageName();

    // --- Non-virtual ---------------------------------------------------------------------------

    /// GetInterpolationLevel of the grid (origin 0, 0; counts 0, 0; pixel size 1, 1) with
    /// quality (1.0, 1): the full-resolution grid the source works on.
    TKrDibRect GetMainLevel();
};

/// The alpha-channel support part of decorators. Carries no state; decorators that can add or
/// keep an alpha channel extend it.
class KRSTD_API TAlphaChanSupp {
public:
    virtual ~TAlphaChanSupp();
};

/// The base of every decorator: holds its source and forwards everything but GetRect to it.
class KRSTD_API TKrFilterDibData : public virtual TKrDibData, public TAlphaChanSupp {
public:
    /// A null source throws TKrMessage.
    explicit TKrFilterDibData(var_a<TKrDibData*> source);
    ~TKrFilterDibData() override;

    TKrDibRect BoundsEx(const TKrDibRect& level) override;
    const TKrDibChannels& Channels() override;
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality& quality,
                                     bool* exact) override;
    void PurgeCache() override;
    std::size_t GetAllLevels(std::vector<TKrDibRect>* levels) override;
    TKrDibSize GetScaleDimensions(std::size_t level) override;
    std::string GetImageName() override;
    /// The decorated source.
    virtual var_a<TKrDibData*> GetSrcDibData();

    /// Zeroes the first `bytes` bytes of each of `rows` rows.
    static void ZeroBuf(const TKrDibDataOutBuffer& out, std::uint64_t rows, std::size_t bytes);

protected:
    var_a<TKrDibData*> m_source;
};

// --- Shared functions ---------------------------------------------------------------------------

/// Process-wide default tile edge of in-memory caches (128 at start). Thread-safe.
KRSTD_API std::size_t GetDefaultDibDataMemTileSize() noexcept;
KRSTD_API void SetDefaultDibDataMemTileSize(std::size_t size) noexcept;
/// Process-wide tile edge used when creating tiled data (128 at start). Thread-safe.
KRSTD_API std::size_t getCreateTileSize() noexcept;
KRSTD_API void setCreateTileSize(std::size_t size) noexcept;

/// The grid of tile (x, y) at pixel size 1: origin (x · w, H − y · h − h) with H the row count
/// of dib's Bounds(), counts (w, h). Tile rows are numbered from the end of the image.
KRSTD_API TKrDibRect GetTileKrRect(const var_a<TKrDibData*>& dib, const vec_t_<std::int64_t, 2>& tile,
                                   const TKrDibSize& tileSize);

/// The level answer of single-level sources. *exact (when given): pixel sizes equal and both
/// origins on main's lattice within tolerance · pixel size. The result is `main` for a request
/// with a zero count, else main's pixel size over the whole pixels the request touches:
/// origin floor(request origin), counts ceil(request origin + count · pixel size) − that.
KRSTD_API TKrDibRect GetSimplestInterpolationLevel(const TKrDibRect& main, const TKrDibRect& request,
                                                   const TInterpolationQuality& quality, bool* exact);

/// True when dib has more than one level.
KRSTD_API bool IsMultiscaleDibData(const var_a<TKrDibData*>& dib);
