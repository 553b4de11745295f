// The tile cache: level lookup, cached-tile copies, the spiral read of missing tiles, eviction.
#include "Raster/KrCacheDibData.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"
#include "Raster/KrRectLoops.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <map>
#include <new>
#include <stdexcept>
#include <tuple>
#include <type_traits>

struct TKrCacheDibData::TCacheTileKey {
    std::int64_t x, y; // the tile's first pixel in the level grid
    bool operator<(const TCacheTileKey& o) const noexcept { return x < o.x || (x == o.x && y < o.y); }
};

// A tile's pixels and its place in the memory cache. Destroying it gives its entry back to the
// memory cache, unless the memory cache already let go of the entry (then memCache is null).
struct TKrCacheDibData::TCacheTileData {
    var_a<char*> pixels; // tile width · bpp · tile height + 4 bytes, rows packed
    TKrMemCache* memCache = nullptr;
    TKrMemCache::iterator pos;

    TCacheTileData() = default;
    TCacheTileData(const TCacheTileData&) = delete;
    TCacheTileData& operator=(const TCacheTileData&) = delete;
    ~TCacheTileData() { Unlink(); }
    void Unlink() noexcept;
};

struct TKrCacheDibData::TCacheLevel {
    TKrDibRect grid; // origin and pixel size of the level; counts 0
    TInterpolationQuality quality;
    vec_t_<std::uint64_t, 2> tileSize;
    std::map<TCacheTileKey, TCacheTileData> tiles;
    std::size_t tileCount = 0;
    std::size_t usage = 0; // reads working on this level; a used level is never unlinked
};

// The memory cache's handle on one tile. When the memory cache drops it (eviction or clear) its
// destructor removes the tile from its level and, when that empties an unused level, the level.
class TKrCacheDibData::TTileMemCacheEntry : public TKrMemCacheEntry {
public:
    using TTiles = std::map<TCacheTileKey, TCacheTileData>;

    TTileMemCacheEntry(std::size_t size, TKrCacheDibData* cache, TLevels::iterator level,
                       TTiles::iterator node)
        : TKrMemCacheEntry(size), m_cache(cache), m_level(level), m_node(node) {}
    ~TTileMemCacheEntry() override {
        if (!m_cache) return;
        m_node->second.memCache = nullptr; // the entry is already out of the memory cache's list
        TCacheLevel& level = *m_level;
        level.tiles.erase(m_node);
        --level.tileCount;
        if (level.tileCount == 0 && level.usage == 0) m_cache->UnlinkLevel(m_level);
    }
    /// The tile goes first (its level is being dropped): the destructor must not touch it.
    void Detach() noexcept { m_cache = nullptr; }

private:
    TKrCacheDibData* m_cache;
    TLevels::iterator m_level;
    TTiles::iterator m_node;
};

void TKrCacheDibData::TCacheTileData::Unlink() noexcept {
    if (!memCache) return;
    TKrMemCache* cache = memCache;
    memCache = nullptr;
    var_a<TKrMemCacheEntry*> entry = cache->release(pos);
    static_cast<TTileMemCacheEntry*>(entry.get())->Detach();
}

namespace {

constexpr std::size_t kDefaultMemCacheLimit = 67108864; // 64 MiB

// The largest tile, in bytes, a cache accepts: well beyond any sensible tile, far from overflow.
constexpr std::uint64_t kMaxTileBytes = std::uint64_t(1) << 40;

// Keeps a level in use (and so linked) for the lifetime of the guard.
class TLevelUsage {
public:
    explicit TLevelUsage(std::size_t& usage) noexcept : m_usage(usage) { ++m_usage; }
    TLevelUsage(const TLevelUsage&) = delete;
    TLevelUsage& operator=(const TLevelUsage&) = delete;
    ~TLevelUsage() { --m_usage; }

private:
    std::size_t& m_usage;
};

// round(v) as a pixel index; false when it is not finite or too far out for index arithmetic.
bool IndexOf(double v, std::int64_t& out) {
    v = std::round(v);
    if (!(std::fabs(v) <= 4.0e15)) return false;
    out = static_cast<std::int64_t>(v);
    return true;
}

std::int64_t FloorToMultiple(std::int64_t v, std::uint64_t m) {
    const auto s = static_cast<std::int64_t>(m);
    std::int64_t q = v / s;
    if (v % s != 0 && v < 0) --q;
    return q * s;
}

// True when the offset d between two origins is a whole number of pixels p within `tolerance`
// (either side of the lattice point).
bool OnLattice(double d, double p, double tolerance) {
    const double r = std::fmod(std::fabs(d), p);
    return r <= tolerance || p - r <= tolerance;
}

template <class T> constexpr T OpaqueSample() {
    if constexpr (std::is_floating_point<T>::value)
        return T(1);
    else
        return std::numeric_limits<T>::max();
}

// Copies pixels of `channels` samples of type T and appends an opaque alpha sample to each.
template <class T>
void AddAlphaRect(const TKrDibDataOutBuffer& src, const TKrDibDataOutBuffer& dst, const TKrDibSize& size,
                  std::size_t channels) {
    const T alpha = OpaqueSample<T>();
    const std::size_t inBytes = channels * sizeof(T);
    for (std::uint64_t y = 0; y < size.y; ++y) {
        const char* s = src.Row(static_cast<std::int64_t>(y));
        char* d = dst.Row(static_cast<std::int64_t>(y));
        for (std::uint64_t x = 0; x < size.x; ++x, s += inBytes, d += inBytes + sizeof(T)) {
            std::memcpy(d, s, inBytes);
            std::memcpy(d + inBytes, &alpha, sizeof(T));
        }
    }
}

TKrCacheDibData::TAddAlphaRect AddAlphaRectFor(const TKrDibChannels& ch) {
    if (ch.Type == TE_KrDibChannelType::ctUInt) {
        switch (ch.BytesPS) {
        case 1:
            return &AddAlphaRect<std::uint8_t>;
        case 2:
            return &AddAlphaRect<std::uint16_t>;
        case 4:
            return &AddAlphaRect<std::uint32_t>;
        }
    } else if (ch.Type == TE_KrDibChannelType::ctFloat) {
        switch (ch.BytesPS) {
        case 4:
            return &AddAlphaRect<float>;
        case 8:
            return &AddAlphaRect<double>;
        }
    }
    return nullptr;
}

// Copies the part of a tile at (kx, ky) that overlaps the index rectangle `area`, whose top-left
// pixel is the first pixel of `out`.
void CopyTileOverlap(const char* tile, std::int64_t kx, std::int64_t ky,
                     const vec_t_<std::uint64_t, 2>& tileSize, std::size_t bpp, const TKrDibRectI& area,
                     const TKrDibDataOutBuffer& out) {
    TKrDibRectI o;
    if (!IntersectRect(TKrDibRectI(kx, ky, tileSize.x, tileSize.y), area, o)) return;
    const std::size_t tileStride = tileSize.x * bpp;
    const char* src = tile + static_cast<std::size_t>(o.top - ky) * tileStride +
                      static_cast<std::size_t>(o.left - kx) * bpp;
    const TKrDibDataOutBuffer dst = out.Offset(o.left - area.left, o.top - area.top, bpp);
    KrCopyDibRect({const_cast<char*>(src), static_cast<std::int64_t>(tileStride)}, dst, {o.width, o.height},
                  bpp);
}

} // namespace

TKrCacheDibData::TKrCacheDibData(var_a<TKrDibData*> source, bool addAlpha,
                                 const vec_t_<std::uint64_t, 2> tileSize, var_a<TKrMemCache*> memCache)
    : TKrFilterDibData(std::move(source)), m_tileSize(tileSize) {
    const TKrDibChannels& in = m_source->Channels();
    KrRasterInternal::CheckChannels(in, "TKrCacheDibData::TKrCacheDibData");
    m_channels = in;
    bool hasAlpha = false;
    for (std::int32_t kind : in.Kinds)
        hasAlpha = hasAlpha || kind == TE_KrDibChannelKind::ckAlpha;
    if (addAlpha && !hasAlpha) {
        m_channels.Kinds.push_back(TE_KrDibChannelKind::ckAlpha);
        KrRasterInternal::CheckChannels(m_channels, "TKrCacheDibData::TKrCacheDibData");
        m_addAlphaRect = AddAlphaRectFor(in);
        m_converting = true;
    }
    const std::uint64_t bpp = m_channels.GetBytesPP();
    if (tileSize.x == 0 || tileSize.y == 0 || tileSize.x > (std::uint64_t(1) << 31) ||
        tileSize.y > (std::uint64_t(1) << 31) || tileSize.x * tileSize.y > kMaxTileBytes / bpp)
        throw TKrMessage("@TKrCacheDibData::TKrCacheDibData: invalid tile size (%1% x %2%).")
            << tileSize.x << tileSize.y;
    m_memCacheRef = memCache ? std::move(memCache) : new_a<TKrMemCache>(kDefaultMemCacheLimit);
    m_memCache = m_memCacheRef.get();
}

var_a<TKrDibData*> TKrCacheDibData::VCreate(var_a<TKrDibData*> source, bool addAlpha,
                                            const vec_t_<std::uint64_t, 2> tileSize,
                                            var_a<TKrMemCache*> memCache) {
    return new_a<TKrCacheDibData>(std::move(source), addAlpha, tileSize, std::move(memCache));
}

TKrCacheDibData::~TKrCacheDibData() {
    // Tiles give their entries back while the memory cache is certainly alive.
    m_levels.clear();
    m_levelCount = 0;
}

const TKrDibChannels& TKrCacheDibData::Channels() {
    return m_channels;
}

TKrGetRectResult TKrCacheDibData::GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                          const TInterpolationQuality& quality, int flags,
                                          TKrProgressHandler* progress) {
    return GetRectCache(out, request, quality, m_defAllowRead, flags, progress);
}

void TKrCacheDibData::PurgeCache() {
    ResetCache();
    m_source->PurgeCache();
}

void TKrCacheDibData::ResetCache() {
    for (auto it = m_levels.begin(); it != m_levels.end();) {
        auto next = std::next(it);
        if (it->usage == 0) UnlinkLevel(it);
        it = next;
    }
}

void TKrCacheDibData::GetCacheSize(std::size_t* tiles, std::size_t* levels, std::size_t* bytes) const {
    if (tiles) {
        std::size_t n = 0;
        for (const TCacheLevel& level : m_levels)
            n += level.tileCount;
        *tiles = n;
    }
    if (levels) *levels = m_levelCount;
    if (bytes) *bytes = m_memCache->used();
}

void TKrCacheDibData::UnlinkLevel(TLevels::iterator level) noexcept {
    m_levels.erase(level);
    --m_levelCount;
}

void TKrCacheDibData::UnlinkUnusedLevels() noexcept {
    for (auto it = m_levels.begin(); it != m_levels.end();) {
        auto next = std::next(it);
        if (it->tileCount == 0 && it->usage == 0) UnlinkLevel(it);
        it = next;
    }
}

TKrGetRectResult TKrCacheDibData::GetRectCache(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                                               const TInterpolationQuality& quality, bool allowRead,
                                               int flags, TKrProgressHandler* progress) {
    if (request.count.x == 0 || request.count.y == 0) return grComplete;
    if (!KrIsDibRectValid(request)) return grComplete;
    const std::size_t bpp = m_channels.GetBytesPP();
    KrCheckDibOutBuffer(out, request.count, bpp, "TKrCacheDibData::GetRectCache");

    // The source's extent on the request's grid; nothing to do when the two do not meet.
    const TKrDibRect bounds = m_source->BoundsEx(request);
    if (bounds.IsEmpty() || !KrIsDibRectValid(bounds)) return grComplete;
    for (int axis = 0; axis < 2; ++axis) {
        if (bounds.origin[axis] >= request.Sample(axis, static_cast<double>(request.count[axis])) ||
            request.origin[axis] >= bounds.Sample(axis, static_cast<double>(bounds.count[axis])))
            return grComplete;
    }

    auto level = m_levels.begin();
    for (; level != m_levels.end(); ++level) {
        const TKrDibRect& g = level->grid;
        if (g.pixel_size.x == bounds.pixel_size.x && g.pixel_size.y == bounds.pixel_size.y &&
            OnLattice(bounds.origin.x - g.origin.x, g.pixel_size.x, quality.Tolerance) &&
            OnLattice(bounds.origin.y - g.origin.y, g.pixel_size.y, quality.Tolerance) &&
            EQ_d(level->quality, quality))
            break;
    }
    const bool found = level != m_levels.end();
    if (!found && !allowRead) return grComplete;

    // Index rectangles on the level grid: R the request, E the source's extent, I their overlap.
    const vec2d origin = found ? level->grid.origin : bounds.origin;
    const vec2d& p = bounds.pixel_size;
    TKrDibRectI R, E, I;
    if (!IndexOf((request.origin.x - origin.x) / p.x, R.left) ||
        !IndexOf((request.origin.y - origin.y) / p.y, R.top) ||
        !IndexOf((bounds.origin.x - origin.x) / p.x, E.left) ||
        !IndexOf((bounds.origin.y - origin.y) / p.y, E.top))
        return grComplete;
    R.width = request.count.x;
    R.height = request.count.y;
    E.width = bounds.count.x;
    E.height = bounds.count.y;
    if (!IntersectRect(R, E, I)) return grComplete;

    if (!found) {
        UnlinkUnusedLevels();
        TCacheLevel fresh;
        fresh.grid = TKrDibRect{bounds.origin, {0, 0}, bounds.pixel_size};
        fresh.quality = quality;
        fresh.tileSize = m_tileSize;
        m_levels.push_back(std::move(fresh));
        ++m_levelCount;
        level = std::prev(m_levels.end());
    }

    // A level whose reads all failed or whose tiles were all evicted meanwhile goes with its
    // last read, as it would have with its last tile.
    struct TDropIfEmpty {
        TKrCacheDibData* cache;
        TLevels::iterator level;
        ~TDropIfEmpty() {
            if (level->usage == 0 && level->tileCount == 0) cache->UnlinkLevel(level);
        }
    } dropIfEmpty{this, level};
    TLevelUsage usage(level->usage);

    // The tiles touching I, and one "done" flag per tile.
    const vec_t_<std::uint64_t, 2> ts = m_tileSize;
    const std::int64_t tx0 = FloorToMultiple(I.left, ts.x), ty0 = FloorToMultiple(I.top, ts.y);
    const std::uint64_t cols = (static_cast<std::uint64_t>(I.right() - tx0) + ts.x - 1) / ts.x;
    const std::uint64_t rows = (static_cast<std::uint64_t>(I.bottom() - ty0) + ts.y - 1) / ts.y;
    if (cols > std::numeric_limits<std::size_t>::max() / rows) throw std::bad_alloc();
    const std::size_t tileCount = cols * rows;
    if (tileCount > m_tileFlagsCapacity) {
        m_tileFlags.reset(new unsigned char[tileCount]);
        m_tileFlagsCapacity = tileCount;
    }
    unsigned char* done = m_tileFlags.get();
    std::memset(done, 0, tileCount);
    const std::int64_t txEnd = tx0 + static_cast<std::int64_t>(cols * ts.x);
    const std::int64_t tyEnd = ty0 + static_cast<std::int64_t>(rows * ts.y);

    const TKrDibDataOutBuffer outI = out.Offset(I.left - R.left, I.top - R.top, bpp);

    // Whatever is cached shows at once, before any source read.
    auto& tiles = level->tiles;
    const auto copyCached = [&](decltype(tiles.begin()) it) {
        const TCacheTileKey& key = it->first;
        CopyTileOverlap(it->second.pixels.get(), key.x, key.y, ts, bpp, I, outI);
        done[static_cast<std::size_t>((key.x - tx0) / static_cast<std::int64_t>(ts.x)) +
             static_cast<std::size_t>((key.y - ty0) / static_cast<std::int64_t>(ts.y)) * cols] = 1;
        if (it->second.memCache) m_memCache->move_to_front(it->second.pos);
    };
    if (level->tileCount <= cols) {
        for (auto it = tiles.lower_bound({tx0, std::numeric_limits<std::int64_t>::min()});
             it != tiles.end() && it->first.x < txEnd; ++it)
            if (it->first.y >= ty0 && it->first.y < tyEnd) copyCached(it);
    } else {
        for (std::int64_t x = tx0; x < txEnd; x += static_cast<std::int64_t>(ts.x))
            for (auto it = tiles.lower_bound({x, ty0});
                 it != tiles.end() && it->first.x == x && it->first.y < tyEnd; ++it)
                copyCached(it);
    }

    if (!allowRead) return grCompleteData;

    struct TReadTiles {
        TKrCacheDibData* self;
        TLevels::iterator level;
        const TKrDibRectI& E;
        const TKrDibRectI& I;
        const TKrDibDataOutBuffer& outI;
        unsigned char* done;
        std::uint64_t cols;
        std::int64_t tx0, ty0;
        std::size_t bpp;
        int flags;
        TKrProgressHandler* progress;

        bool DoCell(std::int64_t ix, std::int64_t iy) {
            unsigned char& flag = done[static_cast<std::size_t>(ix) + static_cast<std::size_t>(iy) * cols];
            if (flag) return true;
            const vec_t_<std::uint64_t, 2>& ts = self->m_tileSize;
            const std::int64_t x = tx0 + ix * static_cast<std::int64_t>(ts.x);
            const std::int64_t y = ty0 + iy * static_cast<std::int64_t>(ts.y);
            const TCacheTileData* tile = self->ReadCacheTile(level, x, y, E, flags, progress);
            if (!tile) {
                if (flags & 1) return false;
            } else {
                CopyTileOverlap(tile->pixels.get(), x, y, ts, bpp, I, outI);
            }
            flag = 1;
            return !(self->m_needStop && self->m_needStop(self->m_needStopArg));
        }
    } reader{this, level, E, I, outI, done, cols, tx0, ty0, bpp, flags, progress};
    const bool complete = KrRasterInternal::RectHelixLoop(0, 0, static_cast<std::int64_t>(cols),
                                                          static_cast<std::int64_t>(rows), reader);
    return complete ? grCompleteData : grData;
}

TKrCacheDibData::TCacheTileData* TKrCacheDibData::ReadCacheTile(TLevels::iterator level, std::int64_t x,
                                                                std::int64_t y, const TKrDibRectI& extent,
                                                                int flags, TKrProgressHandler* progress) {
    TLevelUsage usage(level->usage);
    const vec_t_<std::uint64_t, 2> ts = m_tileSize;
    x = FloorToMultiple(x, ts.x);
    y = FloorToMultiple(y, ts.y);
    const std::size_t bpp = m_channels.GetBytesPP();
    const std::size_t stride = ts.x * bpp;
    const std::size_t bytes = stride * ts.y + 4;
    var_a<char*> pixels = newarray_a(new char[bytes]);
    const vec2d& p = level->grid.pixel_size;
    const TKrDibRect grid{{level->grid.origin.x + static_cast<double>(x) * p.x,
                           level->grid.origin.y + static_cast<double>(y) * p.y},
                          ts,
                          p};
    const TKrDibDataOutBuffer tileOut{pixels.get(), static_cast<std::int64_t>(stride)};

    if (!m_converting) {
        FillDibDefaultColor(tileOut, ts, m_channels);
        const TKrGetRectResult r = m_source->GetRect(tileOut, grid, level->quality, flags, progress);
        if ((flags & 1) && !(r & grComplete)) return nullptr;
    } else {
        const TKrDibChannels& in = m_source->Channels();
        const std::size_t inBpp = in.GetBytesPP();
        const std::size_t inBytes = ts.x * inBpp * ts.y + 4;
        if (inBytes > m_convertCapacity) {
            m_convertBuffer.reset();
            m_convertCapacity = 0;
            m_convertBuffer.reset(new char[inBytes]);
            m_convertCapacity = inBytes;
        }
        const TKrDibDataOutBuffer scratch{m_convertBuffer.get(), static_cast<std::int64_t>(ts.x * inBpp)};
        FillDibDefaultColor(scratch, ts, in);
        const TKrGetRectResult r = m_source->GetRect(scratch, grid, level->quality, flags, progress);
        if ((flags & 1) && !(r & grComplete)) return nullptr;
        FillDibDefaultColor(tileOut, ts, m_channels);
        TKrDibRectI inside;
        if (!IntersectRect(TKrDibRectI(x, y, ts.x, ts.y), extent, inside))
            throw std::logic_error("@TKrCacheDibData::ReadCacheTile: Internal error (1201804011)");
        const TKrDibDataOutBuffer from = scratch.Offset(inside.left - x, inside.top - y, inBpp);
        const TKrDibDataOutBuffer to = tileOut.Offset(inside.left - x, inside.top - y, bpp);
        if (m_addAlphaRect) {
            m_addAlphaRect(from, to, {inside.width, inside.height}, in.size());
        } else if (m_convertPixel) {
            for (std::uint64_t row = 0; row < inside.height; ++row) {
                const char* s = from.Row(static_cast<std::int64_t>(row));
                char* d = to.Row(static_cast<std::int64_t>(row));
                for (std::uint64_t col = 0; col < inside.width; ++col, s += inBpp, d += bpp)
                    m_convertPixel(s, d);
            }
        } else {
            throw std::logic_error("@TKrCacheDibData::ReadCacheTile: Internal error (1201786844)");
        }
    }

    const auto inserted = level->tiles.emplace(
        std::piecewise_construct, std::forward_as_tuple(TCacheTileKey{x, y}), std::forward_as_tuple());
    if (!inserted.second) throw std::logic_error("@TKrCacheDibData::ReadCacheTile: Internal error (3)");
    const auto node = inserted.first;
    node->second.pixels = std::move(pixels);
    ++level->tileCount;
    var_a<TKrMemCacheEntry*> entry;
    try {
        entry = new_a<TTileMemCacheEntry>(bytes, this, level, node);
        // push_front takes its own reference, so a failed insertion leaves the entry with us.
        node->second.pos = m_memCache->push_front(entry);
        node->second.memCache = m_memCache;
    } catch (...) {
        if (entry) static_cast<TTileMemCacheEntry*>(entry.get())->Detach();
        level->tiles.erase(node);
        --level->tileCount;
        throw;
    }
    return &node->second;
}
