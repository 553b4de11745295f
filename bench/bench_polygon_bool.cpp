// Union and intersection of two random 1,000-vertex star polygons: the clipper, bg and
// polygon_align facades beside raw Clipper and raw Boost.Geometry, and GEOS when it is installed.
#define BOOST_GEOMETRY_NO_ROBUSTNESS // as the bg facade is built: one instantiation of the overlay

#include "KrBenchCompare.h"

#include "Math/Polygon/KrPolygonAlign.h"
#include "Math/Polygon/KrPolygonBG.h"
#include "Math/Polygon/KrPolygonBGConvert.h"
#include "Math/Polygon/KrPolygonClipper.h"

#include <boost/geometry/algorithms/correct.hpp>
#include <boost/geometry/algorithms/intersection.hpp>
#include <boost/geometry/algorithms/union.hpp>
#include <polyclipping/clipper.hpp>

#ifdef KRSTD_HAVE_GEOS
#include <geos_c.h>
#endif

#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kVertices = 1000;
constexpr double kPrecision = 1e-6;

TKrContour Star(std::mt19937& rng, double cx, double cy) {
    std::uniform_real_distribution<double> r(50, 100), jitter(0, 0.9);
    TKrContour c;
    for (int i = 0; i < kVertices; ++i) {
        const double a = (i + jitter(rng)) * 2 * M_PI / kVertices, rad = r(rng);
        c.push_back({cx + rad * std::cos(a), cy + rad * std::sin(a), 0});
    }
    return c;
}

struct TData {
    TKrContour a, b;
    bg::TPolygon ga, gb;
    TData() {
        std::mt19937 rng(42);
        a = Star(rng, 0, 0);
        b = Star(rng, 30, 10);
        // Raw Boost.Geometry users keep their data in its models, already corrected.
        for (const vec3d& p : a)
            ga.outer().push_back(bg::TPoint(p.x, p.y));
        for (const vec3d& p : b)
            gb.outer().push_back(bg::TPoint(p.x, p.y));
        boost::geometry::correct(ga);
        boost::geometry::correct(gb);
    }
};
const TData& Data() {
    static const TData d;
    return d;
}

// What a caller of raw Clipper does with double data: scale to the grid, execute into a tree,
// and read every ring back to doubles.
ClipperLib::Path RawPath(const TKrContour& c) {
    ClipperLib::Path p;
    p.reserve(c.size());
    for (const vec3d& v : c)
        p.emplace_back(ClipperLib::cInt(std::round(v.x / kPrecision)),
                       ClipperLib::cInt(std::round(v.y / kPrecision)));
    return p;
}
std::size_t RawClipper(ClipperLib::ClipType type) {
    const TData& d = Data();
    ClipperLib::Clipper c;
    c.AddPath(RawPath(d.a), ClipperLib::ptSubject, true);
    c.AddPath(RawPath(d.b), ClipperLib::ptClip, true);
    ClipperLib::PolyTree tree;
    c.Execute(type, tree, ClipperLib::pftEvenOdd, ClipperLib::pftEvenOdd);
    std::vector<std::vector<vec3d>> rings;
    for (ClipperLib::PolyNode* n = tree.GetFirst(); n; n = n->GetNext()) {
        rings.emplace_back();
        for (const ClipperLib::IntPoint& q : n->Contour)
            rings.back().push_back({q.X * kPrecision, q.Y * kPrecision, 0});
    }
    return rings.size();
}

void BM_ClipperUnion(benchmark::State& state) {
    const TData& d = Data();
    KrBenchCompareCpu(
        state, 0, 2 * kVertices,
        [&] {
            TKrPlanarSet out;
            clipper::union_(d.a, d.b, out, kPrecision);
            benchmark::DoNotOptimize(out.data());
        },
        [&] { benchmark::DoNotOptimize(RawClipper(ClipperLib::ctUnion)); });
}
BENCHMARK(BM_ClipperUnion)->Unit(benchmark::kMicrosecond);

void BM_ClipperIntersection(benchmark::State& state) {
    const TData& d = Data();
    KrBenchCompareCpu(
        state, 0, 2 * kVertices,
        [&] {
            TKrPlanarSet out;
            clipper::intersection(d.a, d.b, out, kPrecision);
            benchmark::DoNotOptimize(out.data());
        },
        [&] { benchmark::DoNotOptimize(RawClipper(ClipperLib::ctIntersection)); });
}
BENCHMARK(BM_ClipperIntersection)->Unit(benchmark::kMicrosecond);

void BM_BgUnion(benchmark::State& state) {
    const TData& d = Data();
    KrBenchCompareCpu(
        state, 0, 2 * kVertices,
        [&] {
            TKrPlanarSet out;
            bg::union_(d.a, d.b, out, 0);
            benchmark::DoNotOptimize(out.data());
        },
        [&] {
            bg::TMultiPolygon r;
            boost::geometry::union_(d.ga, d.gb, r);
            benchmark::DoNotOptimize(r.data());
        });
}
BENCHMARK(BM_BgUnion)->Unit(benchmark::kMicrosecond);

void BM_BgIntersection(benchmark::State& state) {
    const TData& d = Data();
    KrBenchCompareCpu(
        state, 0, 2 * kVertices,
        [&] {
            TKrPlanarSet out;
            bg::intersection(d.a, d.b, out, 0);
            benchmark::DoNotOptimize(out.data());
        },
        [&] {
            bg::TMultiPolygon r;
            boost::geometry::intersection(d.ga, d.gb, r);
            benchmark::DoNotOptimize(r.data());
        });
}
BENCHMARK(BM_BgIntersection)->Unit(benchmark::kMicrosecond);

// The aligning back end: the graph pass comes on top of the same Boost.Geometry overlay.
void AlignRow(benchmark::State& state, bool unite, int peer) {
    const TData& d = Data();
    auto ours = [&] {
        TKrPlanarSet out;
        if (unite)
            polygon_align::union_(d.a, d.b, out, kPrecision);
        else
            polygon_align::intersection(d.a, d.b, out, kPrecision);
        benchmark::DoNotOptimize(out.data());
    };
    if (peer == 0)
        KrBenchCompareCpu(state, 0, 2 * kVertices, ours, [&] {
            bg::TMultiPolygon r;
            if (unite)
                boost::geometry::union_(d.ga, d.gb, r);
            else
                boost::geometry::intersection(d.ga, d.gb, r);
            benchmark::DoNotOptimize(r.data());
        });
    else
        KrBenchCompareCpu(state, 0, 2 * kVertices, ours, [&] {
            benchmark::DoNotOptimize(RawClipper(unite ? ClipperLib::ctUnion : ClipperLib::ctIntersection));
        });
}
void BM_AlignUnion(benchmark::State& state) {
    AlignRow(state, true, 0);
}
BENCHMARK(BM_AlignUnion)->Unit(benchmark::kMicrosecond);
void BM_AlignIntersection(benchmark::State& state) {
    AlignRow(state, false, 0);
}
BENCHMARK(BM_AlignIntersection)->Unit(benchmark::kMicrosecond);
void BM_AlignUnionVsClipper(benchmark::State& state) {
    AlignRow(state, true, 1);
}
BENCHMARK(BM_AlignUnionVsClipper)->Unit(benchmark::kMicrosecond);
void BM_AlignIntersectionVsClipper(benchmark::State& state) {
    AlignRow(state, false, 1);
}
BENCHMARK(BM_AlignIntersectionVsClipper)->Unit(benchmark::kMicrosecond);

#ifdef KRSTD_HAVE_GEOS
// GEOS on the same polygons, built once: its overlay beside our bg facade's.
struct TGeos {
    GEOSContextHandle_t ctx = GEOS_init_r();
    GEOSGeometry *a = nullptr, *b = nullptr;
    GEOSGeometry* Make(const TKrContour& c) {
        GEOSCoordSequence* s = GEOSCoordSeq_create_r(ctx, unsigned(c.size() + 1), 2);
        for (std::size_t i = 0; i <= c.size(); ++i)
            GEOSCoordSeq_setXY_r(ctx, s, unsigned(i), c[i % c.size()].x, c[i % c.size()].y);
        return GEOSGeom_createPolygon_r(ctx, GEOSGeom_createLinearRing_r(ctx, s), nullptr, 0);
    }
    TGeos() : a(Make(Data().a)), b(Make(Data().b)) {}
};
TGeos& Geos() {
    static TGeos g;
    return g;
}

template <class Ours> void GeosRow(benchmark::State& state, Ours&& ours, bool unite) {
    TGeos& g = Geos();
    KrBenchCompareCpu(state, 0, 2 * kVertices, ours, [&] {
        GEOSGeometry* r = unite ? GEOSUnion_r(g.ctx, g.a, g.b) : GEOSIntersection_r(g.ctx, g.a, g.b);
        benchmark::DoNotOptimize(r);
        GEOSGeom_destroy_r(g.ctx, r);
    });
}

void BM_BgUnionVsGeos(benchmark::State& state) {
    GeosRow(
        state,
        [] {
            TKrPlanarSet out;
            bg::union_(Data().a, Data().b, out, 0);
            benchmark::DoNotOptimize(out.data());
        },
        true);
}
BENCHMARK(BM_BgUnionVsGeos)->Unit(benchmark::kMicrosecond);

void BM_BgIntersectionVsGeos(benchmark::State& state) {
    GeosRow(
        state,
        [] {
            TKrPlanarSet out;
            bg::intersection(Data().a, Data().b, out, 0);
            benchmark::DoNotOptimize(out.data());
        },
        false);
}
BENCHMARK(BM_BgIntersectionVsGeos)->Unit(benchmark::kMicrosecond);

void BM_AlignUnionVsGeos(benchmark::State& state) {
    GeosRow(
        state,
        [] {
            TKrPlanarSet out;
            polygon_align::union_(Data().a, Data().b, out, kPrecision);
            benchmark::DoNotOptimize(out.data());
        },
        true);
}
BENCHMARK(BM_AlignUnionVsGeos)->Unit(benchmark::kMicrosecond);

void BM_AlignIntersectionVsGeos(benchmark::State& state) {
    GeosRow(
        state,
        [] {
            TKrPlanarSet out;
            polygon_align::intersection(Data().a, Data().b, out, kPrecision);
            benchmark::DoNotOptimize(out.data());
        },
        false);
}
BENCHMARK(BM_AlignIntersectionVsGeos)->Unit(benchmark::kMicrosecond);
#endif

} // namespace
BENCHMARK_MAIN();
