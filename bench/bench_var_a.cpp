// var_a against std::shared_ptr: making objects and copying pointers (the atomic count), in a
// single-threaded process (both skip the locked instructions) and with a second thread alive.
#include "Core/KrVarA.h"
#include "KrBenchCompare.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace {
struct TPayload {
    int value[4] = {1, 2, 3, 4};
};
constexpr std::size_t kOps = 1 << 20;

void BM_Make_NewA_vs_MakeShared(benchmark::State& state) {
    KrBenchCompareCpu(
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

// A thread that sleeps until the benchmark ends: its mere existence makes both pointers use
// atomic counts from then on, for the rest of the process.
class TSecondThread {
public:
    TSecondThread()
        : m_thread([this] {
              std::unique_lock<std::mutex> lock(m_mutex);
              m_wake.wait(lock, [this] { return m_done; });
          }) {}
    ~TSecondThread() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_done = false;
    std::thread m_thread;
};

void BM_Copy_VarA_vs_SharedPtr(benchmark::State& state) {
    var_a<TPayload*> a = new_a<TPayload>();
    std::shared_ptr<TPayload> s = std::make_shared<TPayload>();
    KrBenchCompareCpu(
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
void BM_Copy_VarA_vs_SharedPtr_SecondThread(benchmark::State& state) {
    TSecondThread other;
    BM_Copy_VarA_vs_SharedPtr(state);
}
void BM_Make_NewA_vs_MakeShared_SecondThread(benchmark::State& state) {
    TSecondThread other;
    BM_Make_NewA_vs_MakeShared(state);
}
} // namespace

// The single-threaded runs first: once a thread has been started the process never counts as
// single-threaded again.
BENCHMARK(BM_Make_NewA_vs_MakeShared)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy_VarA_vs_SharedPtr)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Make_NewA_vs_MakeShared_SecondThread)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy_VarA_vs_SharedPtr_SecondThread)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
