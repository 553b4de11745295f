// Union of many overlapping rotated rectangles: the polygon graph against GEOS's unary union.
#include "KrBenchCompare.h"

#include "Math/Polygon/KrBoolPolygonGraphW2.h"

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#ifdef KRSTD_HAVE_GEOS
#include <geos_c.h>
#endif

namespace {

// n rectangles of 0.5 % to 5 % of the extent, turned at random, over a square of side 1000: dense
// enough that most of them overlap several others.
std::vector<TKrPlanarSet> Rectangles(int n) {
    std::mt19937_64 rng(42);
    std::uniform_real_distribution<double> pos(0, 1000), size(5, 50), ang(0, M_PI);
    std::vector<TKrPlanarSet> sets;
    sets.reserve(n);
    for (int i = 0; i < n; ++i) {
        const double cx = pos(rng), cy = pos(rng), w = size(rng), h = size(rng), a = ang(rng);
        const double cs = std::cos(a), sn = std::sin(a);
        TKrContour c;
        for (auto [u, v] : {std::pair{-w, -h}, {w, -h}, {w, h}, {-w, h}})
            c.push_back(vec3d(cx + (u * cs - v * sn) / 2, cy + (u * sn + v * cs) / 2, 0));
        sets.push_back({{c}});
    }
    return sets;
}

double Area(const TKrPlanarSet& s) {
    double a = 0;
    for (const TKrDomain& d : s)
        for (const TKrContour& c : d)
            for (std::size_t i = 0, j = c.size() - 1; i < c.size(); j = i++)
                a += (c[j].x - c[i].x) * (c[j].y + c[i].y) / 2;
    return a;
}

double OursOnce(const std::vector<TKrPlanarSet>& sets) {
    TKrPlanarSet out;
    kr::TBoolPolygonGraphW2::UnionAll(sets, out);
    return Area(out);
}

#ifdef KRSTD_HAVE_GEOS
struct TGeosInput {
    GEOSContextHandle_t h = GEOS_init_r();
    GEOSGeometry* collection = nullptr;

    explicit TGeosInput(const std::vector<TKrPlanarSet>& sets) {
        std::vector<GEOSGeometry*> polys;
        for (const TKrPlanarSet& s : sets) {
            const TKrContour& c = s[0][0];
            GEOSCoordSequence* seq = GEOSCoordSeq_create_r(h, static_cast<unsigned>(c.size() + 1), 2);
            for (unsigned i = 0; i <= c.size(); ++i)
                GEOSCoordSeq_setXY_r(h, seq, i, c[i % c.size()].x, c[i % c.size()].y);
            polys.push_back(GEOSGeom_createPolygon_r(h, GEOSGeom_createLinearRing_r(h, seq), nullptr, 0));
        }
        collection = GEOSGeom_createCollection_r(h, GEOS_GEOMETRYCOLLECTION, polys.data(),
                                                 static_cast<unsigned>(polys.size()));
    }
    ~TGeosInput() {
        GEOSGeom_destroy_r(h, collection);
        GEOS_finish_r(h);
    }
    double UnionOnce() const {
        GEOSGeometry* u = GEOSUnaryUnion_r(h, collection);
        double a = 0;
        GEOSArea_r(h, u, &a);
        GEOSGeom_destroy_r(h, u);
        return a;
    }
};
#endif

void BM_UnionAllRotatedRectangles(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::vector<TKrPlanarSet> sets = Rectangles(n);
#ifdef KRSTD_HAVE_GEOS
    TGeosInput geos(sets);
    const double ours = OursOnce(sets), peer = geos.UnionOnce();
    if (std::abs(ours - peer) > 1e-9 * peer) state.SkipWithError("the union areas differ");
    state.counters["area_rel_diff"] = std::abs(ours - peer) / peer;
    KrBenchCompareCpu(
        state, 0, static_cast<std::size_t>(n), [&] { benchmark::DoNotOptimize(OursOnce(sets)); },
        [&] { benchmark::DoNotOptimize(geos.UnionOnce()); });
#else
    for (auto _ : state)
        benchmark::DoNotOptimize(OursOnce(sets));
    state.SetItemsProcessed(state.iterations() * n);
#endif
}
BENCHMARK(BM_UnionAllRotatedRectangles)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
