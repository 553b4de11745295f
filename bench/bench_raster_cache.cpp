// The tile cache on an 8192 × 8192 red-green-blue 8-bit image in memory: cached window reads
// against memcpy, the per-tile cost of misses, and building every level of a whole-level pyramid
// cache against OpenCV's pyrDown and resize(INTER_AREA) chains. One thread on both sides.
#include "KrBenchCompare.h"
#include "KrBenchImage.h"
#include "Raster/KrCacheDibData.h"
#include "Raster/KrMultiScaleFullCacheDibData.h"
#include "Raster/KrRawMemDibData.h"
#include "Raster/KrScaleDibData.h"
#include "System/KrThreads.h"

#include <benchmark/benchmark.h>
#ifdef KRSTD_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kSide = 8192, kBpp = 3, kStride = kSide * kBpp, kWin = 1024, kTile = 128;

const std::vector<unsigned char>& Image() {
    static const std::vector<unsigned char> img = KrBenchPhoto(kSide, kBpp);
    return img;
}

var_a<TKrDibData*> Source() {
    return TKrRawMemDibData::VCreate({reinterpret_cast<char*>(const_cast<unsigned char*>(Image().data())),
                                      static_cast<std::int64_t>(kStride)},
                                     TKrDibChannels(1, 1, 6, 4, 3),
                                     TKrDibRect{{0, 0}, {kSide, kSide}, {1, 1}}, nullptr);
}

// Counts the tile reads that reach the image.
class TCountingSource : public TKrFilterDibData {
public:
    using TKrFilterDibData::TKrFilterDibData;
    std::size_t reads = 0;
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& r,
                             const TInterpolationQuality& q, int flags,
                             TKrProgressHandler* progress) override {
        ++reads;
        return m_source->GetRect(out, r, q, flags, progress);
    }
};

// A window read whose every tile is cached, against memcpy of the same bytes. `x`, `y`: the
// window's corner (off the tile lattice when not multiples of 128, so edge tiles are partial).
void HitPath(benchmark::State& state, double x, double y) {
    TKrCacheDibData cache(Source(), false, {kTile, kTile}, nullptr);
    std::vector<char> out(kWin * kWin * kBpp, 1), peer(out.size(), 1);
    const TKrDibDataOutBuffer buf{out.data(), kWin * kBpp};
    const TKrDibRect window{{x, y}, {kWin, kWin}, {1, 1}};
    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    cache.GetRect(buf, window, q, 0, nullptr); // fills the tiles
    const auto xi = static_cast<std::size_t>(x), yi = static_cast<std::size_t>(y);
    KrBenchCompareCpu(
        state, out.size(), 0, [&] { benchmark::DoNotOptimize(cache.GetRect(buf, window, q, 0, nullptr)); },
        [&] {
            for (std::size_t r = 0; r < kWin; ++r)
                std::memcpy(peer.data() + r * kWin * kBpp, Image().data() + (yi + r) * kStride + xi * kBpp,
                            kWin * kBpp);
            benchmark::ClobberMemory();
        });
    state.counters["same"] = out == peer;
}
void BM_HitAligned(benchmark::State& state) {
    HitPath(state, 2048, 1024);
}
void BM_HitUnaligned(benchmark::State& state) {
    HitPath(state, 2000, 1100);
}
BENCHMARK(BM_HitAligned)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_HitUnaligned)->Unit(benchmark::kMicrosecond);

// Every tile missing: the cache reads 8 × 8 tiles (9 × 9 unaligned) from a counting source and
// copies them out; the peer reads the window straight from the source. The difference per tile
// is the cache's overhead (allocation, tile bookkeeping, the second copy).
void MissPath(benchmark::State& state, double x, double y) {
    auto counter = new_a<TCountingSource>(Source());
    TKrCacheDibData cache(counter, false, {kTile, kTile}, nullptr);
    std::vector<char> out(kWin * kWin * kBpp, 1);
    const TKrDibDataOutBuffer buf{out.data(), kWin * kBpp};
    const TKrDibRect window{{x, y}, {kWin, kWin}, {1, 1}};
    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    cache.GetRect(buf, window, q, 0, nullptr);
    const std::size_t tiles = counter->reads;
    cache.ResetCache();
    double oursSec = 0, peerSec = 0;
    for (auto _ : state) {
        const double t0 = KrBenchThreadSeconds();
        benchmark::DoNotOptimize(cache.GetRect(buf, window, q, 0, nullptr));
        const double t1 = KrBenchThreadSeconds();
        cache.ResetCache(); // untimed: the next round misses again
        const double t2 = KrBenchThreadSeconds();
        benchmark::DoNotOptimize(counter->GetRect(buf, window, q, 0, nullptr));
        const double t3 = KrBenchThreadSeconds();
        oursSec += t1 - t0;
        peerSec += t3 - t2;
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["tiles"] = static_cast<double>(tiles);
    state.counters["ours_us/tile"] = oursSec / n / double(tiles) * 1e6;
    state.counters["overhead_us/tile"] = (oursSec - peerSec) / n / double(tiles) * 1e6;
    state.counters["ratio"] = peerSec / oursSec;
}
void BM_MissAligned(benchmark::State& state) {
    MissPath(state, 2048, 1024);
}
void BM_MissUnaligned(benchmark::State& state) {
    MissPath(state, 2000, 1100);
}
BENCHMARK(BM_MissAligned)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MissUnaligned)->Unit(benchmark::kMicrosecond);

// One level of a whole-level pyramid cache seen as a single-level source (not owning the cache).
class TLevelView : public TKrDibData {
public:
    TLevelView(kr::TMultiScaleFullCacheDibData* cache, const TKrDibRect& level)
        : m_cache(cache), m_level(level) {}
    TKrDibRect BoundsEx(const TKrDibRect&) override { return m_level; }
    const TKrDibChannels& Channels() override { return m_cache->Channels(); }
    // The level's samples covering the request (the rescaler averages them).
    TKrDibRect GetInterpolationLevel(const TKrDibRect& request, const TInterpolationQuality&,
                                     bool* exact) override {
        if (exact) *exact = false;
        if (request.IsEmpty()) return m_level;
        TKrDibRect r = m_level;
        for (int a = 0; a < 2; ++a) {
            const double p = m_level.pixel_size[a], o = m_level.origin[a];
            const double first = std::floor((request.origin[a] - o) / p);
            const double last = std::ceil((request.Sample(a, double(request.count[a] - 1)) - o) / p);
            r.origin[a] = o + first * p;
            r.count[a] = static_cast<std::uint64_t>(last - first + 1);
        }
        return r;
    }
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override {
        return m_cache->GetRect(out, request, quality, flags, progress);
    }
    void PurgeCache() override {}

private:
    kr::TMultiScaleFullCacheDibData* m_cache;
    TKrDibRect m_level;
};

// Pyramid levels 1, 2, ... down to 128 pixels, as a viewer's overview source would provide
// them: each averaged by the linear (area) rescaler from the full-resolution image, or, once
// chained through the cache that holds the levels, each from the level before it.
class TAveragedLevels : public TKrFilterDibData {
public:
    explicit TAveragedLevels(var_a<TKrDibData*> source)
        : TKrFilterDibData(TKrScaleDibData::VCreate(source, {0, 0}, {1, 1}, TKrScaleDibData::ftLinear)) {
        for (std::size_t k = 0; (kSide >> k) >= kTile; ++k) {
            const double p = double(std::size_t(1) << k), o = 0.5 * p - 0.5;
            m_levels.push_back(TKrDibRect{{o, o}, {kSide >> k, kSide >> k}, {p, p}});
        }
    }
    /// From now on level k (k >= 2) is averaged from level k - 1 as `cache` holds it.
    void ChainThrough(kr::TMultiScaleFullCacheDibData* cache) {
        m_chain.assign(m_levels.size(), nullptr);
        for (std::size_t k = 2; k < m_levels.size(); ++k)
            m_chain[k] = TKrScaleDibData::VCreate(new_a<TLevelView>(cache, m_levels[k - 1]), {0, 0}, {1, 1},
                                                  TKrScaleDibData::ftLinear);
    }
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& request,
                             const TInterpolationQuality& quality, int flags,
                             TKrProgressHandler* progress) override {
        for (std::size_t k = 2; k < m_chain.size(); ++k)
            if (request.pixel_size.x == m_levels[k].pixel_size.x)
                return m_chain[k]->GetRect(out, request, quality, flags, progress);
        return m_source->GetRect(out, request, quality, flags, progress);
    }
    std::size_t GetAllLevels(std::vector<TKrDibRect>* levels) override {
        if (levels) *levels = m_levels;
        return m_levels.size();
    }

private:
    std::vector<TKrDibRect> m_levels;
    std::vector<var_a<TKrDibData*>> m_chain;
};

// Builds levels 1..6 (4096 down to 128 pixels; level 0 is the image itself on both sides). Our
// levels are averaged from the full-resolution image (or from the previous level when chained);
// the peers halve the previous level.
// Cold: every round allocates its level buffers afresh on both sides. MP/s counts the
// 67 megapixels of the full-resolution image per build.
void BM_PyramidBuild(benchmark::State& state) {
    KrSetThreadsCountMax(1);
    var_a<TAveragedLevels*> source = new_a<TAveragedLevels>(Source());
    kr::TMultiScaleFullCacheDibData pyramid(source);
    if (state.range(0) == 3) source->ChainThrough(&pyramid);
    std::vector<TKrDibRect> levels;
    pyramid.GetAllLevels(&levels);
    std::vector<unsigned char> probe(kBpp);
    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    const bool levelOneOnly = state.range(0) == 2;
    const std::size_t last = levelOneOnly ? 2 : levels.size();
    auto ours = [&] {
        pyramid.PurgeCache();
        for (std::size_t k = 1; k < last; ++k) {
            // A one-pixel read makes the cache load the whole level.
            const TKrDibRect one{levels[k].origin, {1, 1}, levels[k].pixel_size};
            benchmark::DoNotOptimize(
                pyramid.GetRect({reinterpret_cast<char*>(probe.data()), 3}, one, q, 0, nullptr));
        }
    };
    const std::size_t megapixels = kSide * kSide;
#ifdef KRSTD_HAVE_OPENCV
    cv::setNumThreads(1);
    const cv::Mat whole(static_cast<int>(kSide), static_cast<int>(kSide), CV_8UC3,
                        const_cast<unsigned char*>(Image().data()), kStride);
    const bool area = state.range(0) >= 1;
    auto peer = [&] {
        std::vector<cv::Mat> chain(last);
        chain[0] = whole;
        for (std::size_t k = 1; k < last; ++k) {
            if (area)
                cv::resize(chain[k - 1], chain[k], cv::Size(), 0.5, 0.5, cv::INTER_AREA);
            else
                cv::pyrDown(chain[k - 1], chain[k]);
        }
        benchmark::DoNotOptimize(chain.back().data);
    };
    KrBenchCompareCpu(state, 0, megapixels, ours, peer);
    if (area) { // our level 1 is the same 2 × 2 box average as INTER_AREA at 0.5
        cv::Mat level1;
        cv::resize(whole, level1, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
        std::vector<unsigned char> mine(level1.total() * kBpp);
        pyramid.GetRect({reinterpret_cast<char*>(mine.data()), std::int64_t(level1.cols * kBpp)}, levels[1],
                        q, 0, nullptr);
        int maxDiff = 0;
        for (std::size_t i = 0; i < mine.size(); ++i)
            maxDiff = std::max(maxDiff, std::abs(int(mine[i]) - int(level1.data[i])));
        state.counters["max_diff_level1"] = maxDiff;
        // Level 2 comes from level 1 on both sides when chained, from level 0 otherwise.
        cv::Mat level2;
        cv::resize(level1, level2, cv::Size(), 0.5, 0.5, cv::INTER_AREA);
        mine.resize(level2.total() * kBpp);
        pyramid.GetRect({reinterpret_cast<char*>(mine.data()), std::int64_t(level2.cols * kBpp)}, levels[2],
                        q, 0, nullptr);
        maxDiff = 0;
        for (std::size_t i = 0; i < mine.size(); ++i)
            maxDiff = std::max(maxDiff, std::abs(int(mine[i]) - int(level2.data[i])));
        state.counters["max_diff_level2"] = maxDiff;
    }
#else
    KrBenchCompareCpu(state, 0, megapixels, ours, [] {});
    state.counters.erase("ratio");
#endif
    KrSetThreadsCountMax(20);
}
// 0: against pyrDown (Gaussian 5 × 5, then every other pixel); 1: against resize INTER_AREA;
// 2: level 1 alone against one INTER_AREA halving (the per-pixel cost without the chain);
// 3: our levels chained through the cache, against the INTER_AREA chain.
BENCHMARK(BM_PyramidBuild)->Arg(0)->Arg(1)->Arg(2)->Arg(3)->Iterations(3)->Unit(benchmark::kMillisecond);

// A read at pixel size 4 of a 2048 × 2048 window, served from the pyramid's level 2 (built once,
// outside the loop), against a level-0 read of a window of the same output size (512 × 512):
// what choosing a level costs over reading the image itself.
void BM_PyramidLevel2ReadVsLevel0(benchmark::State& state) {
    KrSetThreadsCountMax(1);
    var_a<TAveragedLevels*> source = new_a<TAveragedLevels>(Source());
    kr::TMultiScaleFullCacheDibData pyramid(source);
    source->ChainThrough(&pyramid);
    std::vector<TKrDibRect> levels;
    pyramid.GetAllLevels(&levels);
    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    constexpr std::size_t kOut = 512;
    std::vector<unsigned char> out(kOut * kOut * kBpp);
    const TKrDibDataOutBuffer buf{reinterpret_cast<char*>(out.data()), std::int64_t(kOut * kBpp)};
    // Level 2 samples sit at the centres of 4 × 4 blocks: (x0 + 1.5, y0 + 1.5) for a block at x0.
    const TKrDibRect scaled{{1024 + 1.5, 1024 + 1.5}, {kOut, kOut}, {4, 4}};
    const TKrDibRect direct{{1024, 1024}, {kOut, kOut}, {1, 1}};
    const var_a<TKrDibData*> image = Source();
    if (!(pyramid.GetRect(buf, scaled, q, 0, nullptr) & grComplete) || // builds levels 1 and 2
        !(image->GetRect(buf, direct, q, 0, nullptr) & grComplete)) {
        state.SkipWithError("a read did not complete");
        return;
    }
    KrBenchCompareCpu(
        state, 0, kOut * kOut, [&] { benchmark::DoNotOptimize(pyramid.GetRect(buf, scaled, q, 0, nullptr)); },
        [&] { benchmark::DoNotOptimize(image->GetRect(buf, direct, q, 0, nullptr)); });
    KrSetThreadsCountMax(20);
}
BENCHMARK(BM_PyramidLevel2ReadVsLevel0)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
