// Plane transforms applied to 10M packed points beside a hand-written loop over the same memory, and
// affine and projective fits to 1,000 pairs beside OpenCV's estimators.
#include "KrBenchCompare.h"

#include "Math/Transforms/KrAffineTransform.h"
#include "Math/Transforms/KrMatchPoints.h"
#include "Math/Transforms/KrProjectiveTransform.h"

#ifdef KRSTD_HAVE_OPENCV
#include <opencv2/calib3d.hpp>
#endif

#include <cmath>
#include <cstddef>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kPoints = 10'000'000;
constexpr std::size_t kPairs = 1000;

// One pair of 160 MB buffers for every apply benchmark, touched once (warm figures).
struct TBuffers {
    std::vector<vec2d> src, dst;
    TBuffers() : src(kPoints), dst(kPoints) {
        std::mt19937_64 rng(1);
        std::uniform_real_distribution<double> c(0, 10000);
        for (vec2d& p : src)
            p = vec2d(c(rng), c(rng));
    }
};
TBuffers& Buffers() {
    static TBuffers b;
    return b;
}

// The loops a caller would write by hand over packed x, y doubles.
__attribute__((noinline)) void HandAffine(const matr3x3& m, const double* s, double* d, std::size_t n) {
    const double a = m.m00, b = m.m01, c = m.m02, e = m.m10, f = m.m11, g = m.m12;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = s[2 * i], y = s[2 * i + 1];
        d[2 * i] = a * x + b * y + c;
        d[2 * i + 1] = e * x + f * y + g;
    }
}

__attribute__((noinline)) void HandProjective(const matr3x3& m, const double* s, double* d, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const double x = s[2 * i], y = s[2 * i + 1];
        const double w = m.m20 * x + m.m21 * y + m.m22;
        d[2 * i] = (m.m00 * x + m.m01 * y + m.m02) / w;
        d[2 * i + 1] = (m.m10 * x + m.m11 * y + m.m12) / w;
    }
}

template <class Hand> void ApplyBench(benchmark::State& state, const TKr2DTransform& t, Hand hand) {
    TBuffers& b = Buffers();
    matr3x3 m;
    t.GetMatrix(&m);
    KrBenchCompare(
        state, 0, kPoints,
        [&] {
            t.GetTraCoordM(b.src.data(), 0, kPoints, b.dst.data(), 0);
            benchmark::ClobberMemory();
        },
        [&] {
            hand(m, b.src.data()->data(), b.dst.data()->data(), kPoints);
            benchmark::ClobberMemory();
        });
}

void BM_ApplyAffine10M(benchmark::State& state) {
    const TAffineTransform t(1.2, 0.3, -50, -0.1, 0.9, 700);
    ApplyBench(state, t, HandAffine);
}
BENCHMARK(BM_ApplyAffine10M)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ApplyProjective10M(benchmark::State& state) {
    const TProjectiveTransform t(1.1, 0.2, 30, -0.15, 0.95, 10, 2e-5, -1e-5, 1);
    ApplyBench(state, t, HandProjective);
}
BENCHMARK(BM_ApplyProjective10M)->Unit(benchmark::kMillisecond)->UseRealTime();

#ifdef KRSTD_HAVE_OPENCV

// 1,000 pairs over [0, 4000]² mapped by m with noise of 0.5.
struct TPairs {
    TKrPointPairs pairs;
    std::vector<cv::Point2f> from, to;
    explicit TPairs(const matr3x3& m) {
        std::mt19937_64 rng(2);
        std::uniform_real_distribution<double> c(0, 4000);
        std::normal_distribution<double> noise(0, 0.5);
        for (std::size_t i = 0; i < kPairs; ++i) {
            const vec2d p(c(rng), c(rng));
            const double w = m.m20 * p.x + m.m21 * p.y + m.m22;
            const vec2d q((m.m00 * p.x + m.m01 * p.y + m.m02) / w + noise(rng),
                          (m.m10 * p.x + m.m11 * p.y + m.m12) / w + noise(rng));
            pairs.emplace_back(p, q);
            from.emplace_back(float(p.x), float(p.y));
            to.emplace_back(float(q.x), float(q.y));
        }
    }
};

// The largest distance between the two fits' images of the pairs' sources.
double Disagreement(const TKrPointPairs& pairs, const matr3x3& a, const cv::Mat& b) {
    double worst = 0;
    for (const auto& p : pairs) {
        const double x = p.first.x, y = p.first.y;
        const double wa = a.m20 * x + a.m21 * y + a.m22;
        const double wb =
            b.rows == 3 ? b.at<double>(2, 0) * x + b.at<double>(2, 1) * y + b.at<double>(2, 2) : 1;
        const double dx = (a.m00 * x + a.m01 * y + a.m02) / wa -
                          (b.at<double>(0, 0) * x + b.at<double>(0, 1) * y + b.at<double>(0, 2)) / wb;
        const double dy = (a.m10 * x + a.m11 * y + a.m12) / wa -
                          (b.at<double>(1, 0) * x + b.at<double>(1, 1) * y + b.at<double>(1, 2)) / wb;
        worst = std::max(worst, std::hypot(dx, dy));
    }
    return worst;
}

// OpenCV's affine estimator is robust only; with a threshold no pair can exceed, its first
// sample already has every pair as inlier and what remains is the Levenberg-Marquardt
// least-squares refinement over all pairs.
void BM_FitAffine1000(benchmark::State& state) {
    const TPairs data(matr3x3(1.2, 0.3, -50, -0.1, 0.9, 700, 0, 0, 1));
    matr3x3 ours;
    cv::Mat peer;
    KrBenchCompare(
        state, 0, kPairs, [&] { benchmark::DoNotOptimize(ours = MatchPoints_Affine(data.pairs)); },
        [&] {
            peer = cv::estimateAffine2D(data.from, data.to, cv::noArray(), cv::RANSAC, 1e9, 2000, 0.99, 10);
        });
    state.counters["max_diff"] = Disagreement(data.pairs, ours, peer);
}
BENCHMARK(BM_FitAffine1000)->Unit(benchmark::kMicrosecond);

// findHomography with method 0: every pair, normalised linear solution refined by
// Levenberg-Marquardt on the geometric error (ours minimises the linearised error, so the two
// differ within the noise).
void BM_FitProjective1000(benchmark::State& state) {
    const TPairs data(matr3x3(1.1, 0.2, 30, -0.15, 0.95, 10, 2e-5, -1e-5, 1));
    matr3x3 ours;
    cv::Mat peer;
    KrBenchCompare(
        state, 0, kPairs, [&] { benchmark::DoNotOptimize(ours = MatchPoints_Projective(data.pairs)); },
        [&] { peer = cv::findHomography(data.from, data.to, 0); });
    state.counters["max_diff"] = Disagreement(data.pairs, ours, peer);
}
BENCHMARK(BM_FitProjective1000)->Unit(benchmark::kMicrosecond);

#endif

} // namespace

BENCHMARK_MAIN();
