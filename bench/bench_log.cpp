// Logging throughput: records written by the owner thread into a memory stream, and records
// queued by two worker threads and written by the owner; the peer is stdio fprintf of the same
// record text into an in-memory FILE. Warm: the streams are reused.
#include "Core/KrLog.h"
#include "KrBenchCompare.h"
#include "Streams/KrMemoryStream.h"
#include "Utils/KrDateTime.h"

#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {
constexpr int kRecords = 20000;

struct TLogUp {
    TLogUp() {
        KrLogInitialize();
        KrLogSetLogV(stream);
    }
    ~TLogUp() { KrLogFinalize(); }
    var_a<TKrMemoryStream*> stream = new_a<TKrMemoryStream>();
};

void BM_OwnerRecords_vs_Fprintf(benchmark::State& state) {
    TLogUp log;
    char* buf = nullptr;
    std::size_t len = 0;
    FILE* mem = open_memstream(&buf, &len);
    KrBenchCompare(
        state, 0, kRecords,
        [&] {
            log.stream->setPosition(0);
            for (int i = 0; i < kRecords; ++i)
                KrLogWriteInfo("bench", "a record of ordinary length", 3, 0);
        },
        [&] {
            std::rewind(mem);
            for (int i = 0; i < kRecords; ++i) {
                const std::string time = TKrDateTime::Current().ToRFCString();
                std::fprintf(mem, "\n%s\tI3\t%s\t%s\n", time.c_str(), "bench", "a record of ordinary length");
                std::fflush(mem);
            }
        });
    std::fclose(mem);
    std::free(buf);
}

void BM_TwoWorkersThroughQueue(benchmark::State& state) {
    TLogUp log;
    for (auto _ : state) {
        log.stream->setPosition(0);
        auto work = [] {
            for (int i = 0; i < kRecords / 2; ++i)
                KrLogWriteWarning("worker", "a record of ordinary length");
        };
        std::thread a(work), b(work);
        a.join();
        b.join();
        KrLogWriteQueue();
    }
    state.counters["records/s"] =
        benchmark::Counter(double(kRecords) * state.iterations(), benchmark::Counter::kIsRate);
}
} // namespace

BENCHMARK(BM_OwnerRecords_vs_Fprintf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwoWorkersThroughQueue)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_MAIN();
