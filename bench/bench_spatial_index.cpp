// Spatial indexes against Boost.Geometry's rtree and GEOS's STRtree: builds, inserts and window queries.
//
// 1,000,000 random points and 1,000,000 boxes (sides up to 1.5) in a 1000 × 1000 square; 1000
// windows of about 10 × 10, which hold about 100 points or boxes each. Structures are refilled in
// place (warm); the peers are made anew each iteration, their tear-down included.
#include "Math/Index/KrPointsQuadTree.h"
#include "Math/Index/KrQuadTree.h"
#include "Math/Index/KrStaticPointsGrid.h"
#include "Math/Index/KrStaticQuadTree.h"

// The rtree's packing sort trips g++ 12's maybe-uninitialized analysis inside libstdc++'s heap code.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <benchmark/benchmark.h>
#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>
#ifdef KRSTD_HAVE_GEOS
#include <geos_c.h>
#endif

#include <ctime>
#include <functional>
#include <random>
#include <vector>

namespace {
namespace bg = boost::geometry;
namespace bgi = boost::geometry::index;
using TBgPoint = bg::model::point<double, 2, bg::cs::cartesian>;
using TBgBox = bg::model::box<TBgPoint>;
using TPointValue = std::pair<TBgPoint, std::uint64_t>;
using TBoxValue = std::pair<TBgBox, std::uint64_t>;
template <class TValue, class TParams = bgi::rstar<16>> using TRtree = bgi::rtree<TValue, TParams>;
using TIds = std::vector<std::uint64_t>;

constexpr std::size_t kCount = 1000000;
constexpr std::size_t kWindows = 1000;
constexpr double kSide = 1000;

struct TData {
    limits2d limits{vec2d(0, 0), vec2d(kSide, kSide)};
    std::vector<vec2d> points;
    std::vector<limits2d> boxes;
    std::vector<limits2d> windows;
    std::vector<TPointValue> pointValues;
    std::vector<TBoxValue> boxValues;
};

const TData& Data() {
    static const TData data = [] {
        TData d;
        std::mt19937_64 gen(7);
        std::uniform_real_distribution<double> pos(0, kSide), size(0, 1.5), side(9, 11);
        for (std::size_t i = 0; i < kCount; ++i) {
            d.points.push_back({pos(gen), pos(gen)});
            const vec2d lo(pos(gen), pos(gen));
            d.boxes.push_back(limits2d(lo, lo + vec2d(size(gen), size(gen))));
            d.pointValues.push_back({TBgPoint(d.points[i].x, d.points[i].y), i});
            d.boxValues.push_back(
                {TBgBox(TBgPoint(lo.x, lo.y), TBgPoint(d.boxes[i].max.x, d.boxes[i].max.y)), i});
        }
        for (std::size_t i = 0; i < kWindows; ++i) {
            const vec2d lo(pos(gen) * 0.98, pos(gen) * 0.98);
            d.windows.push_back(limits2d(lo, lo + vec2d(side(gen), side(gen))));
        }
        return d;
    }();
    return data;
}

TBgBox BgBox(const limits2d& b) {
    return TBgBox(TBgPoint(b.min.x, b.min.y), TBgPoint(b.max.x, b.max.y));
}

/// Seconds of CPU time of the calling thread: other builds share this machine's two cores, and
/// wall time would charge their time slices to whichever side happened to be running.
double ThreadSeconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

/// Runs ours and each peer in turn every iteration, timing each (thread CPU time); counters: our
/// rate and each peer's (M items/s), "ratio" = first peer's time / ours, "ratio_<peer>" the others.
void RunPeers(benchmark::State& state, std::size_t items, const std::function<void()>& ours,
              const std::vector<std::pair<const char*, std::function<void()>>>& peers) {
    double oursSec = 0;
    std::vector<double> peerSec(peers.size(), 0);
    ours(); // once untimed each: memory reused later is faulted in here, not in the first timing
    for (const auto& peer : peers)
        peer.second();
    for (auto _ : state) {
        double t0 = ThreadSeconds();
        ours();
        double t1 = ThreadSeconds();
        oursSec += t1 - t0;
        for (std::size_t i = 0; i < peers.size(); ++i) {
            t0 = ThreadSeconds();
            peers[i].second();
            t1 = ThreadSeconds();
            peerSec[i] += t1 - t0;
        }
    }
    const double n = static_cast<double>(state.iterations()) * items / 1e6;
    state.counters["ours_M/s"] = n / oursSec;
    for (std::size_t i = 0; i < peers.size(); ++i) {
        state.counters[std::string(peers[i].first) + "_M/s"] = n / peerSec[i];
        state.counters[i == 0 ? std::string("ratio") : std::string("ratio_") + peers[i].first] =
            peerSec[i] / oursSec;
    }
}

#ifdef KRSTD_HAVE_GEOS
/// GEOS's STRtree through the C API over prepared geometries (made once, outside the timing).
struct TGeos {
    GEOSContextHandle_t h = GEOS_init_r();
    std::vector<GEOSGeometry*> points, boxes, windows;
    GEOSSTRtree* tree = nullptr;

    TGeos() {
        const TData& d = Data();
        for (const vec2d& p : d.points)
            points.push_back(GEOSGeom_createPointFromXY_r(h, p.x, p.y));
        for (const limits2d& b : d.boxes)
            boxes.push_back(GEOSGeom_createRectangle_r(h, b.min.x, b.min.y, b.max.x, b.max.y));
        for (const limits2d& w : d.windows)
            windows.push_back(GEOSGeom_createRectangle_r(h, w.min.x, w.min.y, w.max.x, w.max.y));
    }
    ~TGeos() {
        Drop();
        for (auto* list : {&points, &boxes, &windows})
            for (GEOSGeometry* g : *list)
                GEOSGeom_destroy_r(h, g);
        GEOS_finish_r(h);
    }
    void Drop() {
        if (tree) GEOSSTRtree_destroy_r(h, tree);
        tree = nullptr;
    }
    static void Collect(void* item, void* ids) {
        static_cast<TIds*>(ids)->push_back(reinterpret_cast<std::uintptr_t>(item));
    }
    /// Inserts every geometry and makes the tree build itself (it does so at the first query).
    void Build(const std::vector<GEOSGeometry*>& geometries) {
        Drop();
        tree = GEOSSTRtree_create_r(h, 16);
        for (std::size_t i = 0; i < geometries.size(); ++i)
            GEOSSTRtree_insert_r(h, tree, geometries[i], reinterpret_cast<void*>(std::uintptr_t(i)));
        TIds ids;
        GEOSSTRtree_query_r(h, tree, windows[0], Collect, &ids);
    }
    std::size_t Queries() {
        std::size_t found = 0;
        TIds ids;
        for (GEOSGeometry* w : windows) {
            ids.clear();
            GEOSSTRtree_query_r(h, tree, w, Collect, &ids);
            found += ids.size();
        }
        return found;
    }
};

TGeos& Geos() {
    static TGeos geos;
    return geos;
}
#endif

// Builds ------------------------------------------------------------------------------------------

void FillGrid(kr::TStaticPointsGrid& g, std::uint32_t cells) {
    const TData& d = Data();
    g.Init(d.limits, cells, cells);
    for (const vec2d& p : d.points)
        g.InitPoint(p);
    g.AddPointBegin();
    for (std::size_t i = 0; i < d.points.size(); ++i)
        g.AddPoint(d.points[i], i);
    g.AddPointEnd();
}

void FillStaticTree(kr::TStaticQuadTree& t, int levels) {
    const TData& d = Data();
    t.Init(d.limits, levels);
    for (const vec2d& p : d.points)
        t.InitPoint(p);
    t.AddPointBegin();
    for (std::size_t i = 0; i < d.points.size(); ++i)
        t.AddPoint(d.points[i], i);
    t.AddPointEnd(true);
}

std::vector<std::pair<const char*, std::function<void()>>> PackedPointPeers() {
    std::vector<std::pair<const char*, std::function<void()>>> peers;
    peers.push_back({"rtree", [] {
                         const TData& d = Data();
                         TRtree<TPointValue> tree(d.pointValues.begin(), d.pointValues.end());
                         benchmark::DoNotOptimize(tree.size());
                     }});
#ifdef KRSTD_HAVE_GEOS
    peers.push_back({"geos", [] { Geos().Build(Geos().points); }});
#endif
    return peers;
}

void BM_BuildStaticPointsGrid(benchmark::State& state) {
    kr::TStaticPointsGrid grid;
    RunPeers(
        state, kCount, [&] { FillGrid(grid, static_cast<std::uint32_t>(state.range(0))); },
        PackedPointPeers());
}
BENCHMARK(BM_BuildStaticPointsGrid)->Arg(512)->Arg(1024)->Unit(benchmark::kMillisecond);

void BM_BuildStaticQuadTree(benchmark::State& state) {
    kr::TStaticQuadTree tree;
    RunPeers(
        state, kCount, [&] { FillStaticTree(tree, static_cast<int>(state.range(0))); }, PackedPointPeers());
}
BENCHMARK(BM_BuildStaticQuadTree)->Arg(10)->Arg(11)->Unit(benchmark::kMillisecond);

template <class TParams> void BM_InsertQuadTreePoints(benchmark::State& state) {
    kr::TQuadTree tree;
    const TData& d = Data();
    RunPeers(state, kCount,
             [&] {
                 tree.Init(d.limits.min, d.limits.max, 11);
                 for (std::size_t i = 0; i < d.points.size(); ++i)
                     tree.AddObject(i, d.points[i]);
             },
             {{"rtree", [&] {
                   TRtree<TPointValue, TParams> rtree;
                   for (const TPointValue& v : d.pointValues)
                       rtree.insert(v);
                   benchmark::DoNotOptimize(rtree.size());
               }}});
}
BENCHMARK_TEMPLATE(BM_InsertQuadTreePoints, bgi::rstar<16>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_InsertQuadTreePoints, bgi::quadratic<16>)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_InsertQuadTreePoints, bgi::linear<16>)->Unit(benchmark::kMillisecond);

void BM_InsertQuadTreeBoxes(benchmark::State& state) {
    kr::TQuadTree tree;
    const TData& d = Data();
    RunPeers(state, kCount,
             [&] {
                 tree.Init(d.limits.min, d.limits.max, 10);
                 for (std::size_t i = 0; i < d.boxes.size(); ++i)
                     tree.AddObject(i, d.boxes[i].min, d.boxes[i].max);
             },
             {{"rtree", [&] {
                   TRtree<TBoxValue> rtree;
                   for (const TBoxValue& v : d.boxValues)
                       rtree.insert(v);
                   benchmark::DoNotOptimize(rtree.size());
               }}});
}
BENCHMARK(BM_InsertQuadTreeBoxes)->Unit(benchmark::kMillisecond);

void BM_InsertPointsQuadTree(benchmark::State& state) {
    kr::TPointsQuadTree tree;
    const TData& d = Data();
    RunPeers(state, kCount,
             [&] {
                 tree.Init(d.limits.min, d.limits.max, 16, 8);
                 for (std::size_t i = 0; i < d.points.size(); ++i)
                     tree.AddObject(i, d.points[i]);
             },
             {{"rtree", [&] {
                   TRtree<TPointValue> rtree;
                   for (const TPointValue& v : d.pointValues)
                       rtree.insert(v);
                   benchmark::DoNotOptimize(rtree.size());
               }}});
}
BENCHMARK(BM_InsertPointsQuadTree)->Unit(benchmark::kMillisecond);

// Window queries ------------------------------------------------------------------------------------

/// Queries every window with `ask` against the packed rtree (and GEOS); adds the counter
/// "cand/hit", our candidates per exact hit.
void RunQueries(benchmark::State& state, bool boxes, const std::function<void(const limits2d&, TIds&)>& ask) {
    const TData& d = Data();
    static const TRtree<TPointValue> pointTree(Data().pointValues.begin(), Data().pointValues.end());
    static const TRtree<TBoxValue> boxTree(Data().boxValues.begin(), Data().boxValues.end());
    std::size_t candidates = 0, hits = 0;
    TIds ids;
    for (const limits2d& w : d.windows) {
        ask(w, ids);
        candidates += ids.size();
        for (std::uint64_t id : ids)
            hits += boxes ? w.intersects(d.boxes[id]) : w.contains(d.points[id]);
    }
    std::vector<std::pair<const char*, std::function<void()>>> peers;
    peers.push_back({"rtree", [&] {
                         std::vector<TPointValue> foundPoints;
                         std::vector<TBoxValue> foundBoxes;
                         for (const limits2d& w : d.windows) {
                             foundPoints.clear();
                             foundBoxes.clear();
                             if (boxes)
                                 boxTree.query(bgi::intersects(BgBox(w)), std::back_inserter(foundBoxes));
                             else
                                 pointTree.query(bgi::intersects(BgBox(w)), std::back_inserter(foundPoints));
                             benchmark::DoNotOptimize(foundPoints.data());
                             benchmark::DoNotOptimize(foundBoxes.data());
                         }
                     }});
#ifdef KRSTD_HAVE_GEOS
    Geos().Build(boxes ? Geos().boxes : Geos().points);
    peers.push_back({"geos", [] { benchmark::DoNotOptimize(Geos().Queries()); }});
#endif
    RunPeers(
        state, kWindows,
        [&] {
            for (const limits2d& w : d.windows) {
                ask(w, ids);
                benchmark::DoNotOptimize(ids.data());
            }
        },
        peers);
    state.counters["cand/hit"] = double(candidates) / double(hits);
}

void BM_QueryStaticPointsGrid(benchmark::State& state) {
    static kr::TStaticPointsGrid grid;
    FillGrid(grid, static_cast<std::uint32_t>(state.range(0)));
    RunQueries(state, false, [&](const limits2d& w, TIds& ids) { grid.GetRect(w, ids); });
}
BENCHMARK(BM_QueryStaticPointsGrid)->Arg(512)->Arg(1024)->Unit(benchmark::kMicrosecond);

void BM_QueryStaticQuadTree(benchmark::State& state) {
    static kr::TStaticQuadTree tree;
    FillStaticTree(tree, static_cast<int>(state.range(0)));
    RunQueries(state, false, [&](const limits2d& w, TIds& ids) { tree.GetRect(w, ids); });
}
BENCHMARK(BM_QueryStaticQuadTree)->Arg(10)->Arg(11)->Unit(benchmark::kMicrosecond);

void BM_QueryQuadTreePoints(benchmark::State& state) {
    static kr::TQuadTree tree;
    const TData& d = Data();
    tree.Init(d.limits.min, d.limits.max, static_cast<int>(state.range(0)));
    for (std::size_t i = 0; i < d.points.size(); ++i)
        tree.AddObject(i, d.points[i]);
    RunQueries(state, false, [&](const limits2d& w, TIds& ids) { tree.GetRect(w.min, w.max, ids); });
}
BENCHMARK(BM_QueryQuadTreePoints)->Arg(9)->Arg(10)->Unit(benchmark::kMicrosecond);

void BM_QueryQuadTreeBoxes(benchmark::State& state) {
    static kr::TQuadTree tree;
    const TData& d = Data();
    tree.Init(d.limits.min, d.limits.max, static_cast<int>(state.range(0)));
    for (std::size_t i = 0; i < d.boxes.size(); ++i)
        tree.AddObject(i, d.boxes[i].min, d.boxes[i].max);
    RunQueries(state, true, [&](const limits2d& w, TIds& ids) { tree.GetRect(w.min, w.max, ids); });
}
BENCHMARK(BM_QueryQuadTreeBoxes)->Arg(9)->Arg(10)->Unit(benchmark::kMicrosecond);

void BM_QueryPointsQuadTree(benchmark::State& state) {
    static kr::TPointsQuadTree tree;
    const TData& d = Data();
    tree.Init(d.limits.min, d.limits.max, 16, static_cast<std::uint32_t>(state.range(0)));
    for (std::size_t i = 0; i < d.points.size(); ++i)
        tree.AddObject(i, d.points[i]);
    RunQueries(state, false, [&](const limits2d& w, TIds& ids) { tree.GetRect(w.min, w.max, ids); });
}
BENCHMARK(BM_QueryPointsQuadTree)->Arg(8)->Arg(32)->Arg(128)->Arg(512)->Unit(benchmark::kMicrosecond);
} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    Data(); // inputs are made before anything is timed
#ifdef KRSTD_HAVE_GEOS
    Geos();
#endif
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
