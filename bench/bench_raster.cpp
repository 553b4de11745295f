// Raster reads on an 8192 × 8192 red-green-blue 8-bit image in memory: window reads against
// memcpy, rescaling (linear 0.5x and 1.5x, nearest) against OpenCV's resize, 1 and 2 threads.
// Warm: the image and every output buffer are touched before timing and reused. One-thread
// comparisons count each side's thread CPU time.
#include "KrBenchCompare.h"
#include "KrBenchImage.h"
#include "Raster/KrRawMemDibData.h"
#include "Raster/KrScaleDibData.h"
#include "System/KrThreads.h"

#include <benchmark/benchmark.h>
#ifdef KRSTD_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kSide = 8192, kBpp = 3, kStride = kSide * kBpp;

const std::vector<unsigned char>& Image() {
    static const std::vector<unsigned char> img = KrBenchPhoto(kSide, kBpp);
    return img;
}

var_a<TKrDibData*> Source() {
    static const var_a<TKrDibData*> src = TKrRawMemDibData::VCreate(
        {reinterpret_cast<char*>(const_cast<unsigned char*>(Image().data())),
         static_cast<std::int64_t>(kStride)},
        TKrDibChannels(1, 1, 6, 4, 3), TKrDibRect{{0, 0}, {kSide, kSide}, {1, 1}}, nullptr);
    return src;
}

// 1024 × 1024 windows at 35 places (105 MiB in all, more than the caches hold); ours and the
// peer read different windows, each cold, so neither finds the other's bytes in the cache.
void BM_WindowVsMemcpy(benchmark::State& state) {
    const var_a<TKrDibData*> src = Source();
    std::vector<char> out(1024 * 1024 * kBpp, 1);
    const TKrDibDataOutBuffer buf{out.data(), 1024 * kBpp};
    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    auto place = [](std::size_t t, std::size_t& x, std::size_t& y) {
        x = 1000 + 1237 * (t % 5);
        y = 700 + 911 * (t / 5 % 7);
    };
    std::size_t turn = 0;
    KrBenchCompareCpu(
        state, out.size(), 0,
        [&] {
            std::size_t x, y;
            place(turn, x, y);
            benchmark::DoNotOptimize(
                src->GetRect(buf, TKrDibRect{{double(x), double(y)}, {1024, 1024}, {1, 1}}, q, 0, nullptr));
        },
        [&] {
            std::size_t x, y;
            place(turn + 17, x, y);
            for (std::size_t r = 0; r < 1024; ++r)
                std::memcpy(out.data() + r * 1024 * kBpp, Image().data() + (y + r) * kStride + x * kBpp,
                            1024 * kBpp);
            benchmark::ClobberMemory();
            ++turn;
        });
}
BENCHMARK(BM_WindowVsMemcpy)->UseRealTime()->Unit(benchmark::kMillisecond);

// Rescales a source window of `in` × `in` pixels at (1000, 900) to `out` × `out`; the grids
// are those of the peer (pixel centres at half-pixel offsets), so results coincide.
struct TScaleRun {
    std::size_t in, out;
    bool linear;
};

void RunScale(benchmark::State& state, const TScaleRun& run, std::size_t threads) {
    const double s = double(run.out) / double(run.in);
    const double x0 = 1000, y0 = 900;
    TKrScaleDibData scaled(Source(), {0, 0}, {s, s},
                           run.linear ? TKrScaleDibData::ftLinear : TKrScaleDibData::ftNearest);
    // Linear: dst i at src (i + 0.5) / s − 0.5. Nearest, the peer's rule: src floor(i · (1 / s));
    // where i / s is a whole number the two may round apart (1 / 1.5 is inexact).
    const double o = run.linear ? 0.5 - 0.5 * s : -0.5 * s;
    const TKrDibRect req{{x0 * s + o, y0 * s + o}, {run.out, run.out}, {1, 1}};
    std::vector<unsigned char> ours(run.out * run.out * kBpp, 1);
    const TKrDibDataOutBuffer buf{reinterpret_cast<char*>(ours.data()),
                                  static_cast<std::int64_t>(run.out * kBpp)};
    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    KrSetThreadsCountMax(threads);
    auto oursRun = [&] { benchmark::DoNotOptimize(scaled.GetRect(buf, req, q, 0, nullptr)); };
#ifdef KRSTD_HAVE_OPENCV
    cv::setNumThreads(1);
    const cv::Mat whole(static_cast<int>(kSide), static_cast<int>(kSide), CV_8UC3,
                        const_cast<unsigned char*>(Image().data()), kStride);
    const cv::Mat roi = whole(cv::Rect(int(x0), int(y0), int(run.in), int(run.in)));
    cv::Mat peer(static_cast<int>(run.out), static_cast<int>(run.out), CV_8UC3);
    auto peerRun = [&] {
        cv::resize(roi, peer, peer.size(), 0, 0, run.linear ? cv::INTER_LINEAR : cv::INTER_NEAREST);
        benchmark::ClobberMemory();
    };
    // One thread: each side's thread CPU time (the machine is shared); two: wall time.
    if (threads == 1)
        KrBenchCompareCpu(state, 0, run.out * run.out, oursRun, peerRun);
    else
        KrBenchCompare(state, 0, run.out * run.out, oursRun, peerRun);
    // The peer repeats the edge of its window where we read the image around it: compare
    // inside a 2-pixel border.
    int maxDiff = 0;
    std::size_t differing = 0;
    for (std::size_t y = 2; y + 2 < run.out; ++y)
        for (std::size_t i = 2 * kBpp; i + 2 * kBpp < run.out * kBpp; ++i) {
            const int d =
                std::abs(int(ours[y * run.out * kBpp + i]) - int(peer.ptr<unsigned char>(int(y))[i]));
            maxDiff = std::max(maxDiff, d);
            differing += d != 0;
        }
    state.counters["max_diff"] = maxDiff;
    state.counters["diff_share"] = double(differing) / double((run.out - 4) * (run.out - 4) * kBpp);
#else
    KrBenchCompare(state, 0, run.out * run.out, oursRun, [] {});
    state.counters.erase("ratio");
#endif
    KrSetThreadsCountMax(20);
}

void BM_ScaleLinearHalf(benchmark::State& state) {
    RunScale(state, {2048, 1024, true}, std::size_t(state.range(0)));
}
void BM_ScaleLinear1_5(benchmark::State& state) {
    RunScale(state, {1024, 1536, true}, std::size_t(state.range(0)));
}
void BM_ScaleNearest1_5(benchmark::State& state) {
    RunScale(state, {1024, 1536, false}, std::size_t(state.range(0)));
}
void BM_ScaleNearestHalf(benchmark::State& state) {
    RunScale(state, {2048, 1024, false}, std::size_t(state.range(0)));
}
BENCHMARK(BM_ScaleLinearHalf)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleLinear1_5)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleNearest1_5)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScaleNearestHalf)
    ->Arg(1)
    ->Arg(2)
    ->ArgName("threads")
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
