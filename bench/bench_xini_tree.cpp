// XIni tree: building a tree of a million items, copying it and searching it by name, against the
// same records in a std::vector and a std::multimap. Warm: every iteration rebuilds or searches
// in memory that earlier iterations already touched (the allocator reuses what was freed).
#include "KrBenchCompare.h"
#include "XIni/KrXIniTree.h"

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace {
constexpr std::size_t kItems = 1000000;

struct TRecord {
    TKrXIniItemType type;
    std::string name;
    std::string value;
};

// Names are "item" and a number, unique; values are the number's text.
const std::vector<TRecord>& Records() {
    static const std::vector<TRecord> records = [] {
        std::vector<TRecord> r;
        r.reserve(kItems);
        for (std::size_t i = 0; i < kItems; ++i)
            r.push_back({TE_KrXIniItemType::Integer, "item" + std::to_string(i), std::to_string(i)});
        return r;
    }();
    return records;
}

// 16 names spread over the whole tree: a forward search scans half of it on average.
std::vector<std::string> Targets() {
    std::vector<std::string> t;
    for (std::size_t k = 0; k < 16; ++k)
        t.push_back(Records()[(2 * k + 1) * kItems / 32].name);
    return t;
}

void BM_Build_Tree_vs_Vector(benchmark::State& state) {
    const auto& records = Records();
    KrBenchCompare(
        state, 0, kItems,
        [&] {
            TKrXIniTree tree;
            for (const TRecord& r : records)
                tree.AddItem(r.type, r.name, r.value);
            benchmark::DoNotOptimize(tree.FindItem(kItems - 1));
        },
        [&] {
            std::vector<TRecord> v;
            for (const TRecord& r : records)
                v.push_back(r);
            benchmark::DoNotOptimize(v.data());
        });
}

void BM_Build_Tree_vs_Multimap(benchmark::State& state) {
    const auto& records = Records();
    KrBenchCompare(
        state, 0, kItems,
        [&] {
            TKrXIniTree tree;
            for (const TRecord& r : records)
                tree.AddItem(r.type, r.name, r.value);
            benchmark::DoNotOptimize(tree.FindItem(kItems - 1));
        },
        [&] {
            std::multimap<std::string, TRecord> m;
            for (const TRecord& r : records)
                m.emplace_hint(m.end(), r.name, r);
            benchmark::DoNotOptimize(m.size());
        });
}

void BM_Copy_Tree_vs_Vector(benchmark::State& state) {
    TKrXIniTree tree;
    for (const TRecord& r : Records())
        tree.AddItem(r.type, r.name, r.value);
    const std::vector<TRecord>& records = Records();
    KrBenchCompare(
        state, 0, kItems,
        [&] {
            TKrXIniTree copy(tree);
            benchmark::DoNotOptimize(copy.FindItem(0));
        },
        [&] {
            std::vector<TRecord> copy(records);
            benchmark::DoNotOptimize(copy.data());
        });
}

// Items per second here count the items scanned: 16 searches of half the tree each.
void BM_FindF_Tree_vs_VectorScan(benchmark::State& state) {
    TKrXIniTree tree;
    for (const TRecord& r : Records())
        tree.AddItem(r.type, r.name, r.value);
    const std::vector<TRecord>& records = Records();
    const std::vector<std::string> targets = Targets();
    KrBenchCompare(
        state, 0, kItems / 2 * targets.size(),
        [&] {
            for (const std::string& t : targets)
                benchmark::DoNotOptimize(tree.FindItemIndexF(t, 0));
        },
        [&] {
            for (const std::string& t : targets)
                benchmark::DoNotOptimize(std::find_if(records.begin(), records.end(),
                                                      [&](const TRecord& r) { return r.name == t; }));
        });
}

// An ordered index answers a count by name in O(log n); the tree scans every item. Items per second
// count the items held, per lookup.
void BM_Count_Tree_vs_Multimap(benchmark::State& state) {
    TKrXIniTree tree;
    std::multimap<std::string, TRecord> index;
    for (const TRecord& r : Records()) {
        tree.AddItem(r.type, r.name, r.value);
        index.emplace(r.name, r);
    }
    const std::vector<std::string> targets = Targets();
    KrBenchCompare(
        state, 0, kItems * targets.size(),
        [&] {
            for (const std::string& t : targets)
                benchmark::DoNotOptimize(tree.Count(t));
        },
        [&] {
            for (const std::string& t : targets)
                benchmark::DoNotOptimize(index.count(t));
        });
}
} // namespace

BENCHMARK(BM_Build_Tree_vs_Vector)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_Build_Tree_vs_Multimap)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(BM_Copy_Tree_vs_Vector)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindF_Tree_vs_VectorScan)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Count_Tree_vs_Multimap)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
