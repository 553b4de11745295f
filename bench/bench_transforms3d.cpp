// Space transforms applied to 10M packed points through the array form beside a hand-written loop, and
// rotation angles to matrix beside the same rotation built from Eigen's axis rotations.
#include "KrBenchCompare.h"

#include "Math/Transforms/Kr3DProjectiveTransform.h"
#include "Math/Transforms/KrAffineTransform3D.h"
#include "Math/Transforms/KrAnglesAOK.h"

#include <Eigen/Geometry>

#include <cstddef>
#include <random>
#include <vector>

namespace {

constexpr std::size_t kPoints = 10'000'000;
constexpr std::size_t kAngles = 100'000;

// One pair of 240 MB buffers for every apply benchmark, touched once (warm figures). Timed by the
// thread's CPU time: the machine is shared, and waiting for a core is no cost of either loop.
struct TBuffers {
    std::vector<vec3d> src, dst;
    TBuffers() : src(kPoints), dst(kPoints) {
        std::mt19937_64 rng(1);
        std::uniform_real_distribution<double> c(0, 10000);
        for (vec3d& p : src)
            p = vec3d(c(rng), c(rng), c(rng));
    }
};
TBuffers& Buffers() {
    static TBuffers b;
    return b;
}

// The loops a caller would write by hand over packed x, y, z doubles.
__attribute__((noinline)) void HandAffine(const matr4x4& m, const double* s, double* d, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const double x = s[3 * i], y = s[3 * i + 1], z = s[3 * i + 2];
        d[3 * i] = m.m00 * x + m.m01 * y + m.m02 * z + m.m03;
        d[3 * i + 1] = m.m10 * x + m.m11 * y + m.m12 * z + m.m13;
        d[3 * i + 2] = m.m20 * x + m.m21 * y + m.m22 * z + m.m23;
    }
}

__attribute__((noinline)) void HandProjective(const matr4x4& m, const double* s, double* d, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const double x = s[3 * i], y = s[3 * i + 1], z = s[3 * i + 2];
        const double w = m.m30 * x + m.m31 * y + m.m32 * z + m.m33;
        d[3 * i] = (m.m00 * x + m.m01 * y + m.m02 * z + m.m03) / w;
        d[3 * i + 1] = (m.m10 * x + m.m11 * y + m.m12 * z + m.m13) / w;
        d[3 * i + 2] = (m.m20 * x + m.m21 * y + m.m22 * z + m.m23) / w;
    }
}

template <class Hand> void ApplyBench(benchmark::State& state, const TKr3DTransform& t, Hand hand) {
    TBuffers& b = Buffers();
    matr4x4 m;
    t.GetMatrix(&m);
    KrBenchCompareCpu(
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

void BM_ApplyAffine3D10M(benchmark::State& state) {
    const TKrAffineTransform3D t(0.9, -0.3, 0.1, 7, 0.35, 0.95, -0.05, -3, -0.1, 0.02, 1.1, 40);
    ApplyBench(state, t, HandAffine);
}
BENCHMARK(BM_ApplyAffine3D10M)->Unit(benchmark::kMillisecond);

void BM_ApplyProjective3D10M(benchmark::State& state) {
    const TKr3DProjectiveTransform t(1.1, 0.2, 0.1, 30, -0.15, 0.95, 0.05, 10, 0.02, -0.01, 1.05, 5, 2e-5,
                                     -1e-5, 3e-6, 1);
    ApplyBench(state, t, HandProjective);
}
BENCHMARK(BM_ApplyProjective3D10M)->Unit(benchmark::kMillisecond);

// 100,000 angle triples to matrices; the peer composes the same rotation from three Eigen axis
// rotations, as a caller without this library would.
void BM_AnglesToMatrix(benchmark::State& state) {
    std::vector<angles_aok> angles(kAngles);
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> u(-3, 3);
    for (angles_aok& a : angles)
        a = angles_aok(u(rng), u(rng) / 2, u(rng));
    std::vector<matr3x3> ours(kAngles);
    std::vector<Eigen::Matrix3d> peer(kAngles);
    KrBenchCompareCpu(
        state, 0, kAngles,
        [&] {
            for (std::size_t i = 0; i < kAngles; ++i)
                AnglesToMatrix(angles[i], ours[i]);
            benchmark::ClobberMemory();
        },
        [&] {
            using Eigen::AngleAxisd;
            using Eigen::Vector3d;
            for (std::size_t i = 0; i < kAngles; ++i)
                peer[i] = (AngleAxisd(-angles[i].alpha, Vector3d::UnitY()) *
                           AngleAxisd(angles[i].omega, Vector3d::UnitX()) *
                           AngleAxisd(angles[i].kappa, Vector3d::UnitZ()))
                              .toRotationMatrix();
            benchmark::ClobberMemory();
        });
}
BENCHMARK(BM_AnglesToMatrix)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
