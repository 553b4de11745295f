// Output formats: palette colours for a height grid against a plain lookup table, and the vector
// text writer against fprintf of the same lines. Warm: inputs and outputs are made once.
//
// Sizes: KRSTD_BENCH_HEIGHTS (default 4,000,000 heights per iteration; 100000000 for the full
// run) and KRSTD_BENCH_POINTS (default 1,000,000 vertex lines; 10000000 for the full run).
#include "KrBenchCompare.h"
#include "Output/KrElevationPalette.h"
#include "Output/KrTXTWriter.h"
#include "Streams/KrFileStream.h"

#include <cstdio>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

std::size_t EnvSize(const char* name, std::size_t def) {
    const char* v = std::getenv(name);
    return v ? std::strtoull(v, nullptr, 10) : def;
}

// Smooth heights with some noise, already normalised to [0, 1].
const std::vector<double>& Heights() {
    static const std::vector<double> h = [] {
        std::vector<double> v(EnvSize("KRSTD_BENCH_HEIGHTS", 4000000));
        std::mt19937_64 gen(3);
        std::uniform_real_distribution<double> noise(-0.02, 0.02);
        for (std::size_t i = 0; i < v.size(); ++i) {
            const double s = 0.5 + 0.45 * std::sin(i * 1e-4) * std::cos(i * 3e-7) + noise(gen);
            v[i] = s < 0 ? 0 : s > 1 ? 1 : s;
        }
        return v;
    }();
    return h;
}

void PaletteColours(benchmark::State& state) {
    TKrElevationPalette::Initialize();
    const auto& palette =
        static_cast<const TKrTableElevationPalette&>(*TKrElevationPalette::GetPalette("elev"));
    // The peer: the same palette sampled into 4096 packed colours, looked up by the scaled height.
    std::vector<TKrColorRef> lut(4096);
    for (std::size_t i = 0; i < lut.size(); ++i)
        palette.GetColor(double(i) / (lut.size() - 1), &lut[i]);
    const std::vector<double>& h = Heights();
    std::vector<TKrColorRef> out(h.size());
    KrBenchCompareCpu(
        state, 0, h.size(),
        [&] {
            for (std::size_t i = 0; i < h.size(); ++i)
                out[i] = palette.GetColorRefFast(h[i]);
            benchmark::DoNotOptimize(out.data());
        },
        [&] {
            for (std::size_t i = 0; i < h.size(); ++i)
                out[i] = lut[static_cast<std::size_t>(h[i] * 4095.0)];
            benchmark::DoNotOptimize(out.data());
        });
    TKrElevationPalette::Uninitialize();
}
BENCHMARK(PaletteColours)->Unit(benchmark::kMillisecond)->UseRealTime();

const std::vector<vec3d>& Points() {
    static const std::vector<vec3d> p = [] {
        std::vector<vec3d> v(EnvSize("KRSTD_BENCH_POINTS", 1000000));
        std::mt19937_64 gen(4);
        std::uniform_real_distribution<double> xy(-5e5, 5e5), z(-100, 3000);
        for (vec3d& q : v)
            q = vec3d(xy(gen), xy(gen), z(gen));
        return v;
    }();
    return p;
}

// One polyline block of every point, into /dev/null on both sides, at 8 decimals.
void TextWriterPoints(benchmark::State& state) {
    const std::vector<vec3d>& p = Points();
    std::FILE* peer = std::fopen("/dev/null", "w");
    KrBenchCompareCpu(
        state, 0, p.size(),
        [&] {
            TKrTXTWriter w(TKrPath("/dev/null"), 8);
            if (!w.SavePolyline(p.data(), p.size(), false, "bench", "line"))
                state.SkipWithError("write failed");
        },
        [&] {
            std::fprintf(peer, "%c \"%s\" 0 %d 4 \"%s\"\n", 'L', "bench", int(p.size() + 5), "bench");
            std::fprintf(peer, "OBJECT_NAME=%s\nOBJECT_COLOR=%d\nOBJECT_SYMBOL=\nOBJECT_SIZE=1\n", "line", 0);
            for (const vec3d& q : p)
                std::fprintf(peer, "%.*f,%.*f,%.*f\n", 8, q.x, 8, q.y, 8, q.z);
            std::fprintf(peer, "*\n");
            std::fflush(peer);
        });
    std::fclose(peer);
}
BENCHMARK(TextWriterPoints)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
