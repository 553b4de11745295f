// var_a against std::shared_ptr: making objects and copying pointers (the atomic count).
#include "Core/KrVarA.h"
#include "KrBenchCompare.h"

#include <memory>

namespace {
struct TPayload {
    int value[4] = {1, 2, 3, 4};
};
constexpr std::size_t kOps = 1 << 20;

void BM_Make_NewA_vs_MakeShared(benchmark::State& state) {
    KrBenchCompare(
        state, 0, kOps,
        [] {
            for (std::size_t i = 0; i < kOps; ++i)
                benchmark::DoNotOptimize(new_a<TPayload>());
        },
        [] {
            for (std::size_t i = 0; i < kOps; ++i)
                benchmark::DoNotOptimize(std::make_shared<TPayload>());
        });
}

void BM_Copy_VarA_vs_SharedPtr(benchmark::State& state) {
    var_a<TPayload*> a = new_a<TPayload>();
    std::shared_ptr<TPayload> s = std::make_shared<TPayload>();
    KrBenchCompare(
        state, 0, kOps,
        [&] {
            for (std::size_t i = 0; i < kOps; ++i) {
                var_a<TPayload*> copy = a;
                benchmark::DoNotOptimize(copy.get());
            }
        },
        [&] {
            for (std::size_t i = 0; i < kOps; ++i) {
                std::shared_ptr<TPayload> copy = s;
                benchmark::DoNotOptimize(copy.get());
            }
        });
}
} // namespace

BENCHMARK(BM_Make_NewA_vs_MakeShared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy_VarA_vs_SharedPtr)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
