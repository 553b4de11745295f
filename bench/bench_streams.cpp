// In-memory streams: 16-byte writes into a memory stream against std::vector appends, and
// KrCopyStream between memory streams against memcpy. Warm: buffers are reused across iterations.
#include "KrBenchCompare.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrStreamUtils.h"

#include <cstring>
#include <vector>

namespace {
constexpr std::size_t kTotal = 64 << 20;
const char kRecord[17] = "0123456789abcdef";

void BM_Write16_MemoryStream_vs_Vector(benchmark::State& state) {
    TKrMemoryStream s;
    s.Reserve(kTotal);
    std::vector<char> v;
    v.reserve(kTotal);
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            s.setPosition(0);
            for (std::size_t i = 0; i < kTotal; i += 16)
                s.Write(kRecord, 16);
            benchmark::DoNotOptimize(s.GetBuffer());
        },
        [&] {
            v.clear();
            for (std::size_t i = 0; i < kTotal; i += 16)
                v.insert(v.end(), kRecord, kRecord + 16);
            benchmark::DoNotOptimize(v.data());
        });
}

void BM_Copy_KrCopyStream_vs_Memcpy(benchmark::State& state) {
    TKrMemoryStream src, dst;
    src.setSize(kTotal);
    std::memset(src.GetBuffer(), 'x', kTotal);
    dst.Reserve(kTotal);
    std::vector<char> out(kTotal);
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            src.setPosition(0);
            dst.setPosition(0);
            KrCopyStream(&src, &dst, nullptr);
            benchmark::DoNotOptimize(dst.GetBuffer());
        },
        [&] {
            std::memcpy(out.data(), src.GetBuffer(), kTotal);
            benchmark::DoNotOptimize(out.data());
        });
}
} // namespace

BENCHMARK(BM_Write16_MemoryStream_vs_Vector)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Copy_KrCopyStream_vs_Memcpy)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
