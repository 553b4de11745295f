// The older box quad tree on 1,000,000 small boxes against Boost.Geometry's rtree<rstar<16>>
// (packed and filled one by one): building, window queries (candidates, and candidates filtered
// to the exact answer as callers do), and two threads querying one TKrMultiThreadQuadTree
// against one thread.
#include "KrBenchCompare.h"

#include "Math/Index/KrMultiThreadQuadTree.h"
#include "Math/Index/KrSingleQueryQuadTree.h"

#include <benchmark/benchmark.h>

#include <boost/geometry.hpp>
#include <boost/geometry/index/rtree.hpp>

#include <iterator>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace {

namespace bg = boost::geometry;
using TPoint = bg::model::point<double, 2, bg::cs::cartesian>;
using TBox = bg::model::box<TPoint>;
using TValue = std::pair<TBox, std::uint64_t>;
using TRTree = bg::index::rtree<TValue, bg::index::rstar<16>>;

constexpr std::size_t kObjects = 1000000;
constexpr std::size_t kQueries = 10000;
constexpr double kExtent = 1000, kObjectSize = 1, kWindow = 10;

struct SData {
    std::vector<TValue> boxes; // id = index
    std::vector<TBox> windows;
};

// Boxes up to 1 × 1 over 1000 × 1000, windows of 10 × 10: about 110 hits per window.
const SData& Data() {
    static const SData data = [] {
        SData d;
        std::mt19937_64 gen(1);
        std::uniform_real_distribution<double> pos(0, kExtent - kWindow), size(0, kObjectSize);
        for (std::uint64_t i = 0; i < kObjects; ++i) {
            const double x = pos(gen), y = pos(gen);
            d.boxes.push_back({TBox(TPoint(x, y), TPoint(x + size(gen), y + size(gen))), i});
        }
        for (std::size_t i = 0; i < kQueries; ++i) {
            const double x = pos(gen), y = pos(gen);
            d.windows.emplace_back(TPoint(x, y), TPoint(x + kWindow, y + kWindow));
        }
        return d;
    }();
    return data;
}

vec2d Lo(const TBox& b) {
    return {b.min_corner().get<0>(), b.min_corner().get<1>()};
}
vec2d Hi(const TBox& b) {
    return {b.max_corner().get<0>(), b.max_corner().get<1>()};
}

template <class Tree> void Fill(Tree& tree) {
    tree.Init(vec2d(0, 0), vec2d(kExtent, kExtent));
    for (const TValue& v : Data().boxes)
        tree.AddObject(v.second, Lo(v.first), Hi(v.first));
}

KrQuadTree::TKrQuadTree& OurTree() {
    static KrQuadTree::TKrQuadTree tree;
    if (!tree.IsInitialized()) Fill(tree);
    return tree;
}
KrQuadTree::TKrMultiThreadQuadTree& OurMTTree() {
    static KrQuadTree::TKrMultiThreadQuadTree tree;
    if (!tree.IsInitialized()) Fill(tree);
    return tree;
}
const TRTree& Packed() {
    static const TRTree tree(Data().boxes);
    return tree;
}
const TRTree& Inserted() {
    static const TRTree tree = [] {
        TRTree t;
        for (const TValue& v : Data().boxes)
            t.insert(v);
        return t;
    }();
    return tree;
}

void BM_Build_vs_RTreePacked(benchmark::State& state) {
    KrBenchCompare(
        state, 0, kObjects,
        [] {
            KrQuadTree::TKrQuadTree tree;
            Fill(tree);
            benchmark::DoNotOptimize(tree.GetNodesCount());
        },
        [] {
            TRTree tree(Data().boxes);
            benchmark::DoNotOptimize(tree.size());
        });
}
BENCHMARK(BM_Build_vs_RTreePacked)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Build_vs_RTreeInsert(benchmark::State& state) {
    KrBenchCompare(
        state, 0, kObjects,
        [] {
            KrQuadTree::TKrQuadTree tree;
            Fill(tree);
            benchmark::DoNotOptimize(tree.GetNodesCount());
        },
        [] {
            TRTree tree;
            for (const TValue& v : Data().boxes)
                tree.insert(v);
            benchmark::DoNotOptimize(tree.size());
        });
}
BENCHMARK(BM_Build_vs_RTreeInsert)->Unit(benchmark::kMillisecond)->Iterations(2);

// Windows against one rtree; `exact` filters our candidates by their boxes, as a caller would.
void Queries(benchmark::State& state, const TRTree& rtree, bool exact) {
    KrQuadTree::TKrQuadTree& tree = OurTree();
    const SData& d = Data();
    std::vector<std::uint64_t> ids;
    std::vector<TValue> hits;
    std::size_t candidates = 0, found = 0;
    for (const TBox& w : d.windows) {
        tree.GetRect(Lo(w), Hi(w), ids);
        hits.clear();
        rtree.query(bg::index::intersects(w), std::back_inserter(hits));
        candidates += ids.size();
        found += hits.size();
    }
    KrBenchCompare(
        state, 0, kQueries,
        [&] {
            std::size_t n = 0;
            for (const TBox& w : d.windows) {
                tree.GetRect(Lo(w), Hi(w), ids);
                if (!exact) {
                    n += ids.size();
                    continue;
                }
                for (const std::uint64_t id : ids)
                    n += bg::intersects(d.boxes[id].first, w);
            }
            benchmark::DoNotOptimize(n);
        },
        [&] {
            std::size_t n = 0;
            for (const TBox& w : d.windows) {
                hits.clear();
                rtree.query(bg::index::intersects(w), std::back_inserter(hits));
                n += hits.size();
            }
            benchmark::DoNotOptimize(n);
        });
    state.counters["candidates/exact"] = static_cast<double>(candidates) / static_cast<double>(found);
    state.counters["exact/query"] = static_cast<double>(found) / kQueries;
}
void BM_Query_vs_RTreePacked(benchmark::State& state) {
    Queries(state, Packed(), false);
}
void BM_QueryExact_vs_RTreePacked(benchmark::State& state) {
    Queries(state, Packed(), true);
}
void BM_Query_vs_RTreeInsert(benchmark::State& state) {
    Queries(state, Inserted(), false);
}
BENCHMARK(BM_Query_vs_RTreePacked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QueryExact_vs_RTreePacked)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Query_vs_RTreeInsert)->Unit(benchmark::kMillisecond);

// Every window once, split between `threads` threads; each thread has its own output and path.
void QueryOnThreads(unsigned threads) {
    const KrQuadTree::TKrMultiThreadQuadTree& tree = OurMTTree();
    const std::vector<TBox>& windows = Data().windows;
    auto work = [&](std::size_t from, std::size_t to) {
        std::vector<std::uint64_t> ids;
        KrQuadTree::SNodePath path;
        std::size_t n = 0;
        for (std::size_t i = from; i < to; ++i) {
            tree.GetRect(Lo(windows[i]), Hi(windows[i]), ids, path);
            n += ids.size();
        }
        benchmark::DoNotOptimize(n);
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < threads; ++t)
        pool.emplace_back(work, windows.size() * t / threads, windows.size() * (t + 1) / threads);
    work(0, windows.size() / threads);
    for (std::thread& t : pool)
        t.join();
}

// ratio = one thread's time / two threads' time.
void BM_MultiThreadQuery_2threads_vs_1(benchmark::State& state) {
    OurMTTree();
    KrBenchCompare(
        state, 0, kQueries, [] { QueryOnThreads(2); }, [] { QueryOnThreads(1); });
}
BENCHMARK(BM_MultiThreadQuery_2threads_vs_1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
