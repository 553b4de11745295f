// Brightness/contrast/gamma on a 4096 × 4096 red-green-blue 8-bit image, one thread: the 8-bit
// table (T8bitBCGTF) over the packed samples and the whole decorator (TKrBCGDibData read tile by
// tile from a memory source) against OpenCV's cv::LUT with the same table.
// Warm: the image and the output buffers are touched before timing and reused; timed by thread
// CPU time so that other work on the machine does not count.
#include "KrBenchCompare.h"
#include "KrBenchImage.h"
#include "Raster/KrBCGDibData.h"
#include "Raster/KrRawMemDibData.h"

#include <benchmark/benchmark.h>
#ifdef KRSTD_HAVE_OPENCV
#include <opencv2/core.hpp>
#endif

#include <cstring>
#include <vector>

namespace {

constexpr std::size_t kSide = 4096, kBpp = 3, kStride = kSide * kBpp, kBytes = kSide * kStride;
constexpr double kB = 0.05, kC = 1.3, kG = 0.8;

const std::vector<unsigned char>& Image() {
    static const std::vector<unsigned char> img = KrBenchPhoto(kSide, kBpp);
    return img;
}

#ifdef KRSTD_HAVE_OPENCV
// The peer: cv::LUT on the same image with the same table, one thread; checks equal bytes.
template <class Ours>
void CompareWithLut(benchmark::State& state, const T8bitBCGTF& table, std::vector<unsigned char>& ours,
                    Ours&& oursRun) {
    cv::setNumThreads(1);
    const cv::Mat src(static_cast<int>(kSide), static_cast<int>(kSide), CV_8UC3,
                      const_cast<unsigned char*>(Image().data()), kStride);
    const cv::Mat lut(1, 256, CV_8U, const_cast<std::uint8_t*>(table.Table()));
    cv::Mat peer(static_cast<int>(kSide), static_cast<int>(kSide), CV_8UC3, cv::Scalar(0, 0, 0));
    KrBenchCompareCpu(state, kBytes, 0, oursRun, [&] {
        cv::LUT(src, lut, peer);
        benchmark::ClobberMemory();
    });
    state.counters["same"] = std::memcmp(ours.data(), peer.data, kBytes) == 0;
}
#endif

void BM_BCGTableVsLut(benchmark::State& state) {
    T8bitBCGTF table;
    table.SetBCG(kB, kC, kG);
    std::vector<unsigned char> ours(kBytes, 1);
    auto oursRun = [&] {
        table.TransformSamples(reinterpret_cast<char*>(ours.data()),
                               reinterpret_cast<const char*>(Image().data()), kBytes, 1);
        benchmark::ClobberMemory();
    };
#ifdef KRSTD_HAVE_OPENCV
    CompareWithLut(state, table, ours, oursRun);
#else
    KrBenchCompareCpu(state, kBytes, 0, oursRun, [] {});
    state.counters.erase("ratio");
#endif
}

// The decorator adds the tile walk: each 128 × 128 tile is copied from the source into the
// scratch buffer, then looked up into the output.
void BM_BCGDibDataVsLut(benchmark::State& state) {
    TKrDibChannels rgb;
    rgb.SetRGB_U8();
    var_a<TKrDibData*> src =
        TKrRawMemDibData::VCreate({reinterpret_cast<char*>(const_cast<unsigned char*>(Image().data())),
                                   static_cast<std::int64_t>(kStride)},
                                  rgb, TKrDibRect{{0, 0}, {kSide, kSide}, {1, 1}}, nullptr);
    TKrBCGDibData bcg(src);
    bcg.SetBCG(kB, kC, kG);
    T8bitBCGTF table;
    table.SetBCG(kB, kC, kG);
    std::vector<unsigned char> ours(kBytes, 1);
    const TKrDibRect grid{{0, 0}, {kSide, kSide}, {1, 1}};
    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    auto oursRun = [&] {
        benchmark::DoNotOptimize(bcg.GetRect(
            {reinterpret_cast<char*>(ours.data()), static_cast<std::int64_t>(kStride)}, grid, q, 0, nullptr));
        benchmark::ClobberMemory();
    };
#ifdef KRSTD_HAVE_OPENCV
    CompareWithLut(state, table, ours, oursRun);
#else
    KrBenchCompareCpu(state, kBytes, 0, oursRun, [] {});
    state.counters.erase("ratio");
#endif
}

} // namespace

BENCHMARK(BM_BCGTableVsLut)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_BCGDibDataVsLut)->Unit(benchmark::kMillisecond)->MinTime(2.0);

BENCHMARK_MAIN();
