// CRC-32 against zlib and libdeflate, CRC-64 alone, MD5 against OpenSSL: 64 MiB, warm.
#include "Utils/KrCrc32.h"
#include "Utils/KrCrc64.h"
#include "Utils/KrCrcInternal.h"
#include "Utils/KrMD5.h"

#include <benchmark/benchmark.h>
#include <zlib.h>
#ifdef KRSTD_HAVE_LIBDEFLATE
#include <libdeflate.h>
#endif
#ifdef KRSTD_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

#include <chrono>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr std::size_t kSize = std::size_t(64) << 20;

/// One buffer for every benchmark, filled (and so faulted in) before the first one runs.
const std::string& Buffer() {
    static const std::string buffer = [] {
        std::string s(kSize, '\0');
        std::mt19937_64 gen(42);
        for (std::size_t i = 0; i < kSize; i += 8) {
            const std::uint64_t w = gen();
            for (int b = 0; b < 8; ++b)
                s[i + b] = static_cast<char>(w >> (8 * b));
        }
        return s;
    }();
    return buffer;
}

using TClock = std::chrono::steady_clock;
double Seconds(TClock::time_point a, TClock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

/// Times `ours` and `peer` alternately over the buffer; the iteration time is ours, the counters
/// give both throughputs and ratio = peer time / our time (above 1: we are faster).
template <class TOurs, class TPeer> void RunPair(benchmark::State& state, TOurs ours, TPeer peer) {
    double oursSeconds = 0, peerSeconds = 0;
    for (auto _ : state) {
        const TClock::time_point t0 = TClock::now();
        ours();
        const TClock::time_point t1 = TClock::now();
        peer();
        const TClock::time_point t2 = TClock::now();
        oursSeconds += Seconds(t0, t1);
        peerSeconds += Seconds(t1, t2);
        state.SetIterationTime(Seconds(t0, t1));
    }
    const double bytes = static_cast<double>(kSize) * static_cast<double>(state.iterations());
    state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
    state.counters["GB/s"] = bytes / oursSeconds / 1e9;
    state.counters["peer_GB/s"] = bytes / peerSeconds / 1e9;
    state.counters["ratio"] = peerSeconds / oursSeconds;
}

template <class TOurs> void RunAlone(benchmark::State& state, TOurs ours) {
    RunPair(state, ours, [] {});
    state.counters.erase("peer_GB/s");
    state.counters.erase("ratio");
}

void ZlibCrc32() {
    const std::string& b = Buffer();
    benchmark::DoNotOptimize(
        ::crc32(0L, reinterpret_cast<const Bytef*>(b.data()), static_cast<uInt>(b.size())));
}

void OursCrc32(KrCrcInternal::TKrCrcPath path) {
    const std::string& b = Buffer();
    benchmark::DoNotOptimize(KrCrcInternal::Crc32Path(path, 0, b.data(), b.size()));
}

void BM_Crc32_VsZlib(benchmark::State& state) {
    const std::string& b = Buffer();
    RunPair(
        state, [&] { benchmark::DoNotOptimize(crc32(0, b.data(), b.size())); }, ZlibCrc32);
    state.SetLabel(KrCrcInternal::CrcPathName(KrCrcInternal::CrcPathInUse()));
}

/// Each code path against zlib, whichever the dispatcher would choose here.
void BM_Crc32Path_VsZlib(benchmark::State& state) {
    const auto path = static_cast<KrCrcInternal::TKrCrcPath>(state.range(0));
    if (!KrCrcInternal::CrcPathSupported(path)) {
        state.SkipWithError("path not supported by this processor");
        return;
    }
    RunPair(
        state, [path] { OursCrc32(path); }, ZlibCrc32);
    state.SetLabel(KrCrcInternal::CrcPathName(path));
}

#ifdef KRSTD_HAVE_LIBDEFLATE
void BM_Crc32_VsLibdeflate(benchmark::State& state) {
    const std::string& b = Buffer();
    RunPair(
        state, [&] { benchmark::DoNotOptimize(crc32(0, b.data(), b.size())); },
        [&] { benchmark::DoNotOptimize(libdeflate_crc32(0, b.data(), b.size())); });
}
#endif

void BM_Crc64(benchmark::State& state) {
    const std::string& b = Buffer();
    RunAlone(state, [&] { benchmark::DoNotOptimize(crc64(0, b.data(), b.size())); });
    state.SetLabel(KrCrcInternal::CrcPathName(KrCrcInternal::CrcPathInUse()));
}

void BM_Crc64Path(benchmark::State& state) {
    const auto path = static_cast<KrCrcInternal::TKrCrcPath>(state.range(0));
    if (!KrCrcInternal::CrcPathSupported(path)) {
        state.SkipWithError("path not supported by this processor");
        return;
    }
    const std::string& b = Buffer();
    RunAlone(state, [&] { benchmark::DoNotOptimize(KrCrcInternal::Crc64Path(path, 0, b.data(), b.size())); });
    state.SetLabel(KrCrcInternal::CrcPathName(path));
}

void OursMD5() {
    unsigned char digest[16];
    KrMD5::md5(Buffer(), digest);
    benchmark::DoNotOptimize(digest);
}

#ifdef KRSTD_HAVE_OPENSSL
void BM_MD5_VsOpenSSL(benchmark::State& state) {
    const std::string& b = Buffer();
    RunPair(state, OursMD5, [&] {
        unsigned char digest[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_Digest(b.data(), b.size(), digest, &length, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(digest);
    });
}
#else
void BM_MD5(benchmark::State& state) {
    RunAlone(state, OursMD5);
}
#endif

} // namespace

BENCHMARK(BM_Crc32_VsZlib)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc32Path_VsZlib)
    ->Arg(KrCrcInternal::Crc_Table)
    ->Arg(KrCrcInternal::Crc_Clmul)
    ->Arg(KrCrcInternal::Crc_Clmul512)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#ifdef KRSTD_HAVE_LIBDEFLATE
BENCHMARK(BM_Crc32_VsLibdeflate)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_Crc64)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Crc64Path)
    ->Arg(KrCrcInternal::Crc_Table)
    ->Arg(KrCrcInternal::Crc_Clmul)
    ->Arg(KrCrcInternal::Crc_Clmul512)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
#ifdef KRSTD_HAVE_OPENSSL
BENCHMARK(BM_MD5_VsOpenSSL)->UseManualTime()->Unit(benchmark::kMillisecond);
#else
BENCHMARK(BM_MD5)->UseManualTime()->Unit(benchmark::kMillisecond);
#endif
BENCHMARK_MAIN();
