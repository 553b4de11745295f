// var_a against std::shared_ptr: making objects, copying pointers, and copies from two threads.
#include "Core/KrVarA.h"

#include <benchmark/benchmark.h>
#include <memory>

namespace {
struct TPayload {
    int value[4] = {1, 2, 3, 4};
};

void BM_NewA(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(new_a<TPayload>());
}
void BM_MakeShared(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(std::make_shared<TPayload>());
}

// Copies of one shared pointer from every benchmark thread: the cost of the atomic count.
var_a<TPayload*> g_var = new_a<TPayload>();
std::shared_ptr<TPayload> g_shared = std::make_shared<TPayload>();

void BM_CopyVarA(benchmark::State& state) {
    for (auto _ : state) {
        var_a<TPayload*> copy = g_var;
        benchmark::DoNotOptimize(copy.get());
    }
}
void BM_CopySharedPtr(benchmark::State& state) {
    for (auto _ : state) {
        std::shared_ptr<TPayload> copy = g_shared;
        benchmark::DoNotOptimize(copy.get());
    }
}
} // namespace

BENCHMARK(BM_NewA);
BENCHMARK(BM_MakeShared);
BENCHMARK(BM_CopyVarA)->Threads(1)->Threads(2);
BENCHMARK(BM_CopySharedPtr)->Threads(1)->Threads(2);
BENCHMARK_MAIN();
