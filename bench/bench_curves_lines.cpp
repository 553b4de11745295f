// Spline lookup tables against SciPy's natural cubic spline; line thinning against GEOS's
// Douglas-Peucker simplification.
#include "KrBenchCompare.h"

#include "Math/Curves/KrInterpolationCubeSplineUnit.h"
#include "Math/Lines/KrThinOutLine.h"

#ifdef KRSTD_HAVE_GEOS
#include <geos_c.h>
#endif

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A 1,000-point curve over [0, 10 M): increasing x with random steps, a wavy y.
std::vector<CUBESPLINE_POINT> SplinePoints() {
    std::vector<CUBESPLINE_POINT> pts;
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> step(0.5, 1.5), noise(-0.05, 0.05);
    double x = 0;
    for (int i = 0; i < 1000; ++i) {
        pts.push_back(
            {CUBESPLINE_POINT_SMOOTH, {x, 5e6 + 4e6 * std::sin(x * 6.283e-6 * 3) * (0.9 + noise(rng))}});
        x += step(rng) * 9990.0;
    }
    return pts;
}

// Seconds SciPy takes to evaluate a natural CubicSpline through the same points at the same
// 10 M integer abscissas (timed inside the interpreter: its start and import are left out);
// negative when SciPy is missing.
double SciPySeconds(const std::vector<CUBESPLINE_POINT>& pts, unsigned long n) {
    char path[] = "/tmp/krbench_splXXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return -1;
    std::string text;
    for (const auto& p : pts)
        text += std::to_string(p.pt.x) + " " + std::to_string(p.pt.y) + "\n";
    const bool ok = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    // Debian's interpreter first: python3-scipy installs there, not into another python3 on PATH.
    const std::string py = access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
    const std::string cmd = py +
                            std::string(" -c \"import sys,time,numpy as np\n"
                                        "from scipy.interpolate import CubicSpline\n"
                                        "d=np.loadtxt(sys.argv[1]); x=np.arange(") +
                            std::to_string(n) +
                            ",dtype=float)\n"
                            "s=CubicSpline(d[:,0],d[:,1],bc_type='natural',extrapolate=False)\n"
                            "t=time.perf_counter(); y=s(x); print(time.perf_counter()-t)\" " +
                            path + " 2>/dev/null";
    FILE* f = ok ? popen(cmd.c_str(), "r") : nullptr;
    double sec = -1;
    if (f) {
        if (std::fscanf(f, "%lf", &sec) != 1) sec = -1;
        if (pclose(f) != 0) sec = -1;
    }
    std::remove(path);
    return sec;
}

void BM_SplineTable10M_vs_SciPy(benchmark::State& state) {
    const unsigned long n = 10'000'000;
    const auto pts = SplinePoints();
    TKrInterpolationCubeSpline s(pts);
    s.SetRange(n, false, true);
    std::vector<int> table;
    double ours = 0;
    for (auto _ : state) {
        const double t0 = KrBenchThreadSeconds();
        s.GetTransformTable(table);
        ours += KrBenchThreadSeconds() - t0;
        benchmark::DoNotOptimize(table.data());
    }
    ours /= static_cast<double>(state.iterations());
    state.counters["ours_M/s"] = n / ours / 1e6;
    const double scipy = SciPySeconds(pts, n);
    if (scipy > 0) {
        state.counters["scipy_M/s"] = n / scipy / 1e6;
        state.counters["ratio"] = scipy / ours;
    }
}
BENCHMARK(BM_SplineTable10M_vs_SciPy)->Unit(benchmark::kMillisecond)->Iterations(3);

// A 1 M-vertex noisy walk along a meandering path: what a digitised or tracked line looks like.
std::vector<vec3d> NoisyLine(std::size_t n) {
    std::vector<vec3d> line;
    line.reserve(n);
    std::mt19937_64 rng(5);
    std::normal_distribution<double> jitter(0, 0.05);
    for (std::size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) * 0.01;
        line.push_back({t + jitter(rng), 20 * std::sin(t * 0.05) + jitter(rng), 0});
    }
    return line;
}

// Largest distance of an original vertex from the piece of the thinned line that spans it; the
// thinned line keeps a subsequence of the vertices, so one walk pairs them up.
double MaxDeviation(const std::vector<vec3d>& src, const std::vector<vec3d>& kept) {
    double worst = 0;
    std::size_t j = 0;
    for (const vec3d& p : src) {
        if (j + 1 < kept.size() && p.x == kept[j + 1].x && p.y == kept[j + 1].y) ++j;
        if (j + 1 >= kept.size()) break;
        const vec3d& a = kept[j];
        const vec3d& b = kept[j + 1];
        const double dx = b.x - a.x, dy = b.y - a.y, len2 = dx * dx + dy * dy;
        double t = len2 > 0 ? ((p.x - a.x) * dx + (p.y - a.y) * dy) / len2 : 0;
        t = t < 0 ? 0 : t > 1 ? 1 : t;
        worst = std::max(worst, std::hypot(p.x - a.x - t * dx, p.y - a.y - t * dy));
    }
    return worst;
}

void BM_ThinOutLine1M_vs_GeosSimplify(benchmark::State& state) {
    const auto src = NoisyLine(1'000'000);
    const double tol = 0.2;
    std::size_t oursKept = 0;
    double ours = 0;
#ifdef KRSTD_HAVE_GEOS
    GEOSContextHandle_t h = GEOS_init_r();
    GEOSCoordSequence* seq = GEOSCoordSeq_create_r(h, static_cast<unsigned>(src.size()), 2);
    for (std::size_t i = 0; i < src.size(); ++i)
        GEOSCoordSeq_setXY_r(h, seq, static_cast<unsigned>(i), src[i].x, src[i].y);
    GEOSGeometry* g = GEOSGeom_createLineString_r(h, seq);
    double peer = 0;
    int peerKept = 0;
#endif
    for (auto _ : state) {
        std::vector<vec3d> line = src;
        const double t0 = KrBenchThreadSeconds();
        ThinOutLine(line, 0, tol);
        ours += KrBenchThreadSeconds() - t0;
        oursKept = line.size();
        state.counters["ours_max_dev"] = MaxDeviation(src, line);
#ifdef KRSTD_HAVE_GEOS
        const double t1 = KrBenchThreadSeconds();
        GEOSGeometry* simple = GEOSSimplify_r(h, g, tol);
        peer += KrBenchThreadSeconds() - t1;
        peerKept = GEOSGetNumCoordinates_r(h, simple);
        GEOSGeom_destroy_r(h, simple);
#endif
    }
    const double it = static_cast<double>(state.iterations());
    state.counters["ours_Mvert/s"] = src.size() * it / ours / 1e6;
    state.counters["ours_kept"] = static_cast<double>(oursKept);
#ifdef KRSTD_HAVE_GEOS
    state.counters["geos_Mvert/s"] = src.size() * it / peer / 1e6;
    state.counters["geos_kept"] = peerKept;
    state.counters["ratio"] = peer / ours;
    GEOSGeom_destroy_r(h, g);
    GEOS_finish_r(h);
#endif
}
BENCHMARK(BM_ThinOutLine1M_vs_GeosSimplify)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace

BENCHMARK_MAIN();
