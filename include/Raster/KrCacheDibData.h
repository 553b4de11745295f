// TKrCacheDibData: a decorator that answers reads from square tiles kept in a shared memory cache.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Math/KrVec.h"
#include "Raster/KrDibData.h"
#include "Raster/KrMemCache.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>

/// Keeps square-grid tiles of its source in memory, one set of tiles (a level) per distinct
/// sampling grid callers ask for. A read first copies every tile it already holds, then reads the
/// missing tiles from the source in a spiral from the centre of the request, so an interactive
/// view fills from the middle and a need-stop callback can interrupt it between tiles. Tile
/// memory is governed by a TKrMemCache that may serve many caches under one byte budget; tiles
/// are evicted least recently used first, across every cache sharing it.
///
/// Not locked: the cache and its memory cache are used from one thread at a time. The need-stop
/// callback is how another thread (a user interface) interrupts a long read.
class KRSTD_API TKrCacheDibData : public TKrFilterDibData {
public:
    /// Need-stop callback: returns true when the current read should stop after its current tile.
    using TNeedStopCallback = bool (*)(void*);

    /// `addAlpha`: when the source has no alpha channel, the output gets one, opaque where the
    /// source has data and 0 elsewhere. `tileSize`: tile width and height in level pixels (both
    /// non-zero). A null `memCache` makes the cache use a private one of 64 MiB. A null source,
    /// a zero or oversized tile or invalid source channels throw TKrMessage.
    TKrCacheDibData(var_a<TKrDibData*> source, bool addAlpha, const vec_t_<std::uint64_t, 2> tileSize,
                    var_a<TKrMemCache*> memCache);
    static var_a<TKrDibData*> VCreate(var_a<TKrDibData*> source, bool addAlpha,
                                      const vec_t_<std::uint64_t, 2> tileSize, var_a<TKrMemCache*> memCache);
    /// Gives every tile's memory back to the memory cache.
    ~TKrCacheDibData() override;

    /// The output channels: the source's, followed by alpha when the cache adds one.
    const TKrDibChannels& Channels() override;
    /// GetRectCache with the default allow-read flag.
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override;
    /// Drops every level no read is using, then purges the source.
    void PurgeCache() override;

    /// Reads `request` from the tiles of the level that matches its grid and quality. Cached tiles
    /// are copied first; then, when `allowRead`, missing tiles are read from the source in a
    /// spiral from the centre. Returns 2 for an empty request, one outside the source or (without
    /// `allowRead`) one without a level; 3 when every tile was visited; 1 when the need-stop
    /// callback or, with bit 0 of `flags`, an incomplete tile read stopped the visit. Pixels of
    /// tiles not visited are left as they were. Without `allowRead` nothing is read or created.
    /// A source exception propagates after the tile being read is dropped. O(bytes copied +
    /// tiles in the request · log tiles in the level) plus the source reads.
    TKrGetRectResult GetRectCache(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                  const TInterpolationQuality& quality, bool allowRead, int flags,
                                  TKrProgressHandler* progress);

    /// The allow-read flag GetRect uses (true at construction).
    void SetDefAllowRead(bool allow) noexcept { m_defAllowRead = allow; }
    /// The callback is asked after each tile read from the source; null removes it.
    void SetNeedStopCallback(TNeedStopCallback callback, void* arg) noexcept {
        m_needStop = callback;
        m_needStopArg = arg;
    }
    /// Drops every level no read is using, without touching the source.
    void ResetCache();
    /// Any pointer may be null: tiles held in all levels, levels, and the bytes used by the
    /// memory cache (which counts the tiles of every cache sharing it). O(levels).
    void GetCacheSize(std::size_t* tiles, std::size_t* levels, std::size_t* bytes) const;

    /// The tile width and height.
    const vec_t_<std::uint64_t, 2>& TileSize() const noexcept { return m_tileSize; }
    /// The memory cache the tiles are counted in.
    const var_a<TKrMemCache*>& MemCache() const noexcept { return m_memCacheRef; }

    struct TCacheTileKey;
    struct TCacheTileData;
    struct TCacheLevel;
    class TTileMemCacheEntry;
    /// Converts one source pixel into one output pixel.
    using TConvertPixel = void (*)(const char* src, char* dst);
    /// Copies a block of source pixels of `channels` samples into output pixels with an opaque
    /// alpha sample appended.
    using TAddAlphaRect = void (*)(const TKrDibDataOutBuffer& src, const TKrDibDataOutBuffer& dst,
                                   const TKrDibSize& size, std::size_t channels);

private:
    using TLevels = std::list<TCacheLevel>;

    TCacheTileData* ReadCacheTile(TLevels::iterator level, std::int64_t x, std::int64_t y,
                                  const TKrDibRectI& extent, int flags, TKrProgressHandler* progress);
    void UnlinkUnusedLevels() noexcept;
    void UnlinkLevel(TLevels::iterator level) noexcept;

    vec_t_<std::uint64_t, 2> m_tileSize;
    TKrDibChannels m_channels;
    TConvertPixel m_convertPixel = nullptr;
    TAddAlphaRect m_addAlphaRect = nullptr;
    bool m_defAllowRead = true;
    bool m_converting = false;
    std::unique_ptr<char[]> m_convertBuffer;
    std::size_t m_convertCapacity = 0;
    TNeedStopCallback m_needStop = nullptr;
    void* m_needStopArg = nullptr;
    TLevels m_levels;
    std::size_t m_levelCount = 0;
    var_a<TKrMemCache*> m_memCacheRef;
    TKrMemCache* m_memCache = nullptr;
    std::unique_ptr<unsigned char[]> m_tileFlags;
    std::size_t m_tileFlagsCapacity = 0;
};
