// The tile cache against its uncached source: equal pixels at every level, each tile read once
// while it stays in budget, interruption, shared budgets, failing sources; the spiral order.
#include "Core/KrMessage.h"
#include "Core/KrSquareHelix.h"
#include "KrRasterTestUtils.h"
#include "Raster/KrCacheDibData.h"
#include "Raster/KrRectLoops.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <stdexcept>
#include <thread>

using krtest::TGuardedBuffer;

namespace {

const TInterpolationQuality kQ = GetDisplayInterpolationQuality();
const vec_t_<std::uint64_t, 2> kTile{32, 32};

// Forwards to a source and counts the reads of every grid origin (that is, of every tile). Can
// throw at, or report an incomplete result for, the n-th read, and call a hook before each read.
class TCountingSource : public TKrFilterDibData {
public:
    using TKrFilterDibData::TKrFilterDibData;
    std::map<std::pair<double, double>, int> reads;
    int total = 0, throwAt = 0, incompleteAt = 0;
    std::function<void(int)> beforeRead;

    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& r,
                             const TInterpolationQuality& q, int flags,
                             TKrProgressHandler* progress) override {
        ++total;
        if (beforeRead) beforeRead(total);
        if (total == throwAt) throw std::runtime_error("read failed");
        ++reads[{r.origin.x, r.origin.y}];
        const TKrGetRectResult res = m_source->GetRect(out, r, q, flags, progress);
        return total == incompleteAt ? grData : res;
    }
    int MaxReadsOfOneTile() const {
        int m = 0;
        for (const auto& r : reads)
            m = std::max(m, r.second);
        return m;
    }
};

struct TGrayImage {
    std::size_t w, h;
    std::vector<unsigned char> pixels;
    var_a<TCountingSource*> counter;
    TGrayImage(std::size_t w_, std::size_t h_)
        : w(w_), h(h_), pixels(krtest::RandomImage<unsigned char>(w, h, 1, 7)) {
        TKrDibChannels ch;
        ch.SetGray_U8();
        counter = new_a<TCountingSource>(krtest::MemSource(pixels, w, h, ch));
    }
};

TKrDibRect Grid(double x, double y, std::uint64_t w, std::uint64_t h, double p = 1) {
    return TKrDibRect{{x, y}, {w, h}, {p, p}};
}

// Reads `r` through `dib` into a guarded buffer (prefilled with the guard byte).
std::vector<unsigned char> ReadAll(TKrDibData& dib, const TKrDibRect& r, TKrGetRectResult* result = nullptr) {
    const std::size_t bpp = dib.Channels().GetBytesPP();
    TGuardedBuffer buf(r.count.x, r.count.y, bpp);
    const TKrGetRectResult res = dib.GetRect(buf.Out(), r, kQ, 0, nullptr);
    if (result) *result = res;
    EXPECT_TRUE(buf.GuardsIntact());
    return buf.mem;
}

struct TCellRecorder {
    std::vector<std::pair<long, long>> cells;
    bool DoCell(std::int64_t x, std::int64_t y) {
        cells.emplace_back(x, y);
        return true;
    }
};

} // namespace

TEST(RectLoops, HelixVisitsEveryCellOnceFromTheCentreInSpiralOrder) {
    TCellRecorder three;
    EXPECT_TRUE(KrRasterInternal::RectHelixLoop(0, 0, 3, 3, three));
    const std::vector<std::pair<long, long>> expected = {{1, 1}, {2, 1}, {2, 2}, {1, 2}, {0, 2},
                                                         {0, 1}, {0, 0}, {1, 0}, {2, 0}};
    EXPECT_EQ(three.cells, expected);

    // Every rectangle shape, also off the origin and at negative positions, against the library's
    // square spiral walk (which jumps over clipped legs by a different route).
    for (long w = 0; w <= 9; ++w)
        for (long h = 0; h <= 9; ++h) {
            TCellRecorder helix;
            EXPECT_TRUE(KrRasterInternal::RectHelixLoop(-5, 3, -5 + w, 3 + h, helix));
            std::vector<std::pair<long, long>> spiral;
            square_helix_loop(w, h, [&](long x, long y) {
                spiral.emplace_back(x - 5, y + 3);
                return true;
            });
            EXPECT_EQ(helix.cells, spiral) << w << " x " << h;
        }
}

TEST(MemCache, EvictsLeastRecentlyUsedAndRunsTheEntryDestructors) {
    struct TEntry : TKrMemCacheEntry {
        std::vector<int>* dead;
        int id;
        TEntry(std::size_t size, std::vector<int>* d, int i) : TKrMemCacheEntry(size), dead(d), id(i) {}
        ~TEntry() override { dead->push_back(id); }
    };
    std::vector<int> dead;
    {
        TKrMemCache cache(100);
        auto a = cache.push_front(new_a<TEntry>(40, &dead, 1));
        cache.push_front(new_a<TEntry>(40, &dead, 2));
        cache.push_front(new_a<TEntry>(40, &dead, 3)); // newest may exceed the budget
        EXPECT_EQ(cache.used(), 120u);
        EXPECT_TRUE(dead.empty());
        cache.move_to_front(a);
        cache.push_front(new_a<TEntry>(10, &dead, 4)); // evicts 2, the least recently used
        EXPECT_EQ(dead, std::vector<int>({2}));
        EXPECT_EQ(cache.used(), 90u);
        EXPECT_EQ(cache.count(), 3u);
        var_a<TKrMemCacheEntry*> kept = cache.release(a);
        EXPECT_EQ(cache.used(), 50u);
        EXPECT_EQ(dead, std::vector<int>({2}));
        kept.reset();
        EXPECT_EQ(dead, std::vector<int>({2, 1}));
        cache.make_room(1000); // more than the budget: everything goes
        EXPECT_EQ(cache.count() + cache.used(), 0u);
        cache.push_front(new_a<TEntry>(10, &dead, 5));
    }
    EXPECT_EQ(dead, std::vector<int>({2, 1, 3, 4, 5}));
}

TEST(CacheDibData, EqualsTheUncachedSourceAtEveryLevel) {
    const std::size_t w = 301, h = 203;
    const auto base = krtest::RandomImage<unsigned char>(w, h, 1, 3);
    auto pyramid = new_a<krtest::TTestPyramid>(base, w, h, 4);
    TKrCacheDibData cache(pyramid, false, {16, 16}, nullptr);
    const TKrDibRect requests[] = {
        Grid(-10, -7, 100, 80),     Grid(250, 180, 90, 50), Grid(0, 0, 301, 203),  Grid(0.5, 0.5, 77, 61, 2),
        Grid(3.5, -4.5, 40, 70, 4), Grid(17, 9, 33, 21, 3), Grid(-500, 0, 10, 10), Grid(10.5, 2.5, 1, 1, 8)};
    for (int pass = 0; pass < 2; ++pass) // the second pass is served from tiles alone
        for (const TKrDibRect& r : requests) {
            TKrGetRectResult got, want;
            EXPECT_EQ(ReadAll(cache, r, &got), ReadAll(*pyramid, r, &want))
                << r.origin.x << " " << r.pixel_size.x;
            EXPECT_EQ(got & 1, want & 1);
        }
    std::size_t tiles = 0, levels = 0, bytes = 0;
    cache.GetCacheSize(&tiles, &levels, &bytes);
    EXPECT_EQ(levels, 4u); // pixel sizes 1, 2, 4 (also serving 3) and 8
    EXPECT_EQ(bytes, tiles * (16 * 16 + 4));

    // Reading cached tiles only: 3, and the pixels without tiles keep what they had.
    cache.PurgeCache();
    cache.GetCacheSize(&tiles, &levels, nullptr);
    EXPECT_EQ(tiles + levels, 0u);
    EXPECT_EQ(ReadAll(cache, Grid(40, 40, 16, 16)), ReadAll(*pyramid, Grid(40, 40, 16, 16)));
    TGuardedBuffer buf(64, 64, 1);
    EXPECT_EQ(cache.GetRectCache(buf.Out(), Grid(24, 24, 64, 64), kQ, false, 0, nullptr), grCompleteData);
    for (std::size_t y = 0; y < 64; ++y)
        for (std::size_t x = 0; x < 64; ++x) {
            const bool cached = x >= 8 && x < 40 && y >= 8 && y < 40; // tiles (32..63)²
            EXPECT_EQ(*buf.Pixel(x, y, 1), cached ? base[(y + 24) * w + x + 24] : krtest::kGuard);
        }
    EXPECT_EQ(cache.GetRectCache(buf.Out(), Grid(24, 24, 64, 64, 2), kQ, false, 0, nullptr), grComplete);
}

TEST(CacheDibData, ViewerPanningUnderABudgetReadsEachTileOnce) {
    TGrayImage img(2048, 600);
    // The window's sweep covers at most 9 × 9 tiles at any time; the budget holds 100.
    auto mem = new_a<TKrMemCache>(100 * (32 * 32 + 4));
    TKrCacheDibData cache(img.counter, false, kTile, mem);
    for (int step = 0; step < 120; ++step) {
        const double x = step * 15.0, y = 200 + 60 * std::sin(step * 0.2);
        const TKrDibRect r = Grid(x, std::round(y), 200, 150);
        TKrGetRectResult res;
        ASSERT_EQ(ReadAll(cache, r, &res), ReadAll(*img.counter->GetSrcDibData(), r));
        EXPECT_EQ(res, grCompleteData);
        EXPECT_LE(mem->used(), 101u * (32 * 32 + 4));
    }
    EXPECT_EQ(img.counter->MaxReadsOfOneTile(), 1);
    EXPECT_GT(img.counter->reads.size(), 300u); // the pan went far past the budget

    // Panning back beyond the budget must read again: the old tiles were evicted.
    const int before = img.counter->total;
    ReadAll(cache, Grid(0, 200, 200, 150));
    EXPECT_GT(img.counter->total, before);
}

TEST(CacheDibData, NeedStopInterruptsAfterTheCurrentTile) {
    TGrayImage img(512, 512);
    TKrCacheDibData cache(img.counter, false, kTile, nullptr);
    int tilesBeforeStop = 1;
    cache.SetNeedStopCallback([](void* n) { return --*static_cast<int*>(n) < 0; }, &tilesBeforeStop);
    TKrGetRectResult res;
    ReadAll(cache, Grid(100, 100, 96, 96), &res);
    EXPECT_EQ(res, grData);
    ASSERT_EQ(img.counter->total, 2);
    // The centre tile first, then the one to its right.
    EXPECT_EQ(img.counter->reads.begin()->first, std::make_pair(128.0, 128.0));
    EXPECT_EQ(img.counter->reads.rbegin()->first, std::make_pair(160.0, 128.0));

    // Another thread raises the flag while the third tile is being read.
    std::atomic<bool> stop{false};
    std::mutex m;
    std::condition_variable cv;
    bool reading = false;
    img.counter->beforeRead = [&](int n) {
        if (n != 5) return;
        std::unique_lock<std::mutex> lock(m);
        reading = true;
        cv.notify_one();
        cv.wait(lock, [&] { return stop.load(); });
    };
    cache.SetNeedStopCallback([](void* s) { return static_cast<std::atomic<bool>*>(s)->load(); }, &stop);
    std::thread viewer([&] { ReadAll(cache, Grid(100, 100, 96, 96), &res); });
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&] { return reading; });
        stop = true;
        cv.notify_one();
    }
    viewer.join();
    EXPECT_EQ(res, grData);
    EXPECT_EQ(img.counter->total, 5);
    stop = false;
    ReadAll(cache, Grid(100, 100, 96, 96), &res);
    EXPECT_EQ(res, grCompleteData);
    EXPECT_EQ(img.counter->total, 16);
    EXPECT_EQ(img.counter->MaxReadsOfOneTile(), 1);
}

TEST(CacheDibData, CachesSharingAMemoryCacheKeepOneBudget) {
    TGrayImage a(512, 512), b(512, 512);
    const std::size_t tileBytes = 32 * 32 + 4;
    auto mem = new_a<TKrMemCache>(10 * tileBytes);
    TKrCacheDibData ca(a.counter, false, kTile, mem), cb(b.counter, false, kTile, mem);
    ReadAll(ca, Grid(0, 0, 96, 96)); // 9 tiles
    ReadAll(cb, Grid(0, 0, 64, 64)); // 4 more: the newest may exceed the budget, 2 of a's go
    std::size_t tilesA = 0, tilesB = 0, levelsA = 0, bytes = 0;
    ca.GetCacheSize(&tilesA, &levelsA, &bytes);
    cb.GetCacheSize(&tilesB, nullptr, nullptr);
    EXPECT_EQ(tilesA, 7u);
    EXPECT_EQ(tilesB, 4u);
    EXPECT_EQ(bytes, 11 * tileBytes);
    ReadAll(cb, Grid(0, 0, 96, 160)); // b's reads push every tile of a out, and a's level with it
    ca.GetCacheSize(&tilesA, &levelsA, nullptr);
    EXPECT_EQ(tilesA + levelsA, 0u);
    EXPECT_LE(mem->used(), 11 * tileBytes);

    // A budget smaller than one tile keeps just the newest tile.
    mem->set_limit(1);
    ReadAll(ca, Grid(0, 0, 96, 96));
    ca.GetCacheSize(&tilesA, &levelsA, nullptr);
    cb.GetCacheSize(&tilesB, nullptr, nullptr);
    EXPECT_EQ(tilesA + tilesB, 1u);
    EXPECT_EQ(levelsA, 1u);
    mem->make_room(0); // over budget: the last tile goes and takes its unused level
    ca.GetCacheSize(&tilesA, &levelsA, nullptr);
    EXPECT_EQ(tilesA + levelsA, 0u);
    EXPECT_EQ(mem->count(), 0u);
}

TEST(CacheDibData, FailedOrIncompleteTileReadsLeaveNothingBehind) {
    TGrayImage img(256, 256);
    auto cache = new_a<TKrCacheDibData>(img.counter, false, kTile, nullptr);
    img.counter->throwAt = 3;
    EXPECT_THROW(ReadAll(*cache, Grid(0, 0, 96, 96)), std::runtime_error);
    std::size_t tiles = 0, levels = 0;
    cache->GetCacheSize(&tiles, nullptr, nullptr);
    EXPECT_EQ(tiles, 2u);
    cache->ResetCache(); // drops the level only when the failed read gave its usage back
    cache->GetCacheSize(&tiles, &levels, nullptr);
    EXPECT_EQ(tiles + levels, 0u);

    // Failing on a new level leaves no empty level either.
    img.counter->throwAt = img.counter->total + 1;
    EXPECT_THROW(ReadAll(*cache, Grid(0, 0, 20, 20)), std::runtime_error);
    cache->GetCacheSize(&tiles, &levels, nullptr);
    EXPECT_EQ(tiles + levels, 0u);

    // With bit 0 of flags an incomplete tile is not kept and stops the read; it is asked again.
    img.counter->reads.clear();
    img.counter->incompleteAt = img.counter->total + 2;
    TGuardedBuffer buf(96, 96, 1);
    EXPECT_EQ(cache->GetRect(buf.Out(), Grid(0, 0, 96, 96), kQ, 1, nullptr), grData);
    cache->GetCacheSize(&tiles, nullptr, nullptr);
    EXPECT_EQ(tiles, 1u);
    EXPECT_EQ(cache->GetRect(buf.Out(), Grid(0, 0, 96, 96), kQ, 1, nullptr), grCompleteData);
    cache->GetCacheSize(&tiles, nullptr, nullptr);
    EXPECT_EQ(tiles, 9u);
    EXPECT_EQ(img.counter->reads[std::make_pair(32.0, 32.0)], 1);
    EXPECT_EQ(img.counter->reads[std::make_pair(64.0, 32.0)], 2);

    // The cache goes before its memory cache's other users: its entries leave with it.
    auto mem = cache->MemCache();
    cache.reset();
    EXPECT_EQ(mem->count(), 0u);
    EXPECT_EQ(mem->used(), 0u);
}

TEST(CacheDibData, LevelsAndBadInput) {
    TGrayImage img(256, 256);
    TKrCacheDibData cache(img.counter, false, kTile, nullptr);
    std::size_t levels = 0;
    TGuardedBuffer buf(40, 40, 1);
    EXPECT_EQ(cache.GetRect(buf.Out(), Grid(300, 0, 40, 40), kQ, 0, nullptr), grComplete);
    EXPECT_EQ(cache.GetRect(buf.Out(), Grid(0, 0, 0, 40), kQ, 0, nullptr), grComplete);
    EXPECT_EQ(cache.GetRect(buf.Out(), Grid(NAN, 0, 40, 40), kQ, 0, nullptr), grComplete);
    cache.GetCacheSize(nullptr, &levels, nullptr);
    EXPECT_EQ(levels, 0u);
    EXPECT_TRUE(buf.Untouched());
    EXPECT_THROW(cache.GetRect({nullptr, 40}, Grid(0, 0, 40, 40), kQ, 0, nullptr), TKrMessage);
    EXPECT_THROW(cache.GetRect({buf.Out().data, 10}, Grid(0, 0, 40, 40), kQ, 0, nullptr), TKrMessage);

    // Another quality gets a level of its own.
    cache.GetRect(buf.Out(), Grid(5, 7, 40, 40), GetMathInterpolationQuality(), 0, nullptr);
    cache.GetRect(buf.Out(), Grid(5, 7, 40, 40), kQ, 0, nullptr);
    cache.GetCacheSize(nullptr, &levels, nullptr);
    EXPECT_EQ(levels, 2u);

    EXPECT_THROW(TKrCacheDibData(img.counter, false, {0, 32}, nullptr), TKrMessage);
    EXPECT_THROW(TKrCacheDibData(img.counter, false, {std::uint64_t(1) << 40, 1}, nullptr), TKrMessage);
    EXPECT_THROW(TKrCacheDibData(nullptr, false, kTile, nullptr), TKrMessage);
}

TEST(CacheDibData, AddsAnOpaqueAlphaWhereTheSourceHasData) {
    const std::size_t w = 50, h = 40;
    auto rgb16 = krtest::RandomImage<std::uint16_t>(w, h, 3, 5);
    TKrDibChannels ch(TE_KrDibChannelType::ctUInt, 2, TE_KrDibChannelKind::ckRed,
                      TE_KrDibChannelKind::ckGreen, TE_KrDibChannelKind::ckBlue);
    TKrCacheDibData cache(krtest::MemSource(rgb16, w, h, ch), true, {16, 16}, nullptr);
    ASSERT_EQ(cache.Channels().Kinds.size(), 4u);
    EXPECT_EQ(cache.Channels().Kinds[3], TE_KrDibChannelKind::ckAlpha);
    std::vector<std::uint16_t> out(60 * 60 * 4, 7);
    EXPECT_EQ(
        cache.GetRect({reinterpret_cast<char*>(out.data()), 60 * 8}, Grid(-5, -10, 60, 60), kQ, 0, nullptr),
        grCompleteData);
    for (std::size_t y = 0; y < 60; ++y)
        for (std::size_t x = 0; x < 60; ++x) {
            const std::uint16_t* px = &out[(y * 60 + x) * 4];
            const long sx = long(x) - 5, sy = long(y) - 10;
            const bool inside = sx >= 0 && sx < long(w) && sy >= 0 && sy < long(h);
            EXPECT_EQ(px[3], inside ? 65535 : 7); // outside the source nothing is written
            if (inside) {
                EXPECT_EQ(0, std::memcmp(px, &rgb16[(sy * w + sx) * 3], 6));
            }
        }
}
