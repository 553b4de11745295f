// String helpers against their closest public peers: ssprintf against std::snprintf into a
// std::string, Base64 against OpenSSL's EVP_EncodeBlock/EVP_DecodeBlock. All figures are warm
// (the same buffers' sizes every iteration); "vs_peer" is our time over the peer's, below 1 is
// faster, measured side by side after the main loop.
#include "Core/KrStringCompare.h"
#include "Core/KrStringEncode.h"
#include "Core/KrStringFormat.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#ifdef KRSTD_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {
template <class F> double NsPerCall(F&& f, std::size_t calls) {
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < calls; ++i)
        f();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count() / calls;
}

// Our call and the peer's, alternated twice to even out frequency drift.
template <class Ours, class Peer> void SetRatio(benchmark::State& state, Ours&& ours, Peer&& peer) {
    const std::size_t calls = state.iterations() < 1000 ? 1000 : static_cast<std::size_t>(state.iterations());
    double o = 0, p = 0;
    for (int round = 0; round < 2; ++round) {
        o += NsPerCall(ours, calls);
        p += NsPerCall(peer, calls);
    }
    state.counters["vs_peer"] = o / p;
}

std::string RandomBytes(std::size_t n) {
    std::mt19937 rng(1);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(rng());
    return s;
}

// The usual way to printf into a std::string: measure, size, format.
template <class... Args> std::string SnprintfString(const char* format, Args... args) {
    const int n = std::snprintf(nullptr, 0, format, args...);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 0, '\0');
    if (n > 0) std::snprintf(&out[0], out.size() + 1, format, args...);
    return out;
}

const std::string kLongArg(10000, 'x');

auto OursShort = [] { benchmark::DoNotOptimize(Korvinex::ssprintf("%s:%d:%.3f", "point", 1234, 3.14159)); };
auto PeerShort = [] { benchmark::DoNotOptimize(SnprintfString("%s:%d:%.3f", "point", 1234, 3.14159)); };
auto OursLong = [] { benchmark::DoNotOptimize(Korvinex::ssprintf("<%s>%d", kLongArg.c_str(), 7)); };
auto PeerLong = [] { benchmark::DoNotOptimize(SnprintfString("<%s>%d", kLongArg.c_str(), 7)); };

void BM_Ssprintf_Short(benchmark::State& state) {
    for (auto _ : state)
        OursShort();
    SetRatio(state, OursShort, PeerShort);
}
void BM_Snprintf_Short(benchmark::State& state) {
    for (auto _ : state)
        PeerShort();
}
void BM_Ssprintf_10KB(benchmark::State& state) {
    for (auto _ : state)
        OursLong();
    SetRatio(state, OursLong, PeerLong);
}
void BM_Snprintf_10KB(benchmark::State& state) {
    for (auto _ : state)
        PeerLong();
}

void BM_PatternMatch(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(KrPatternMatch("DSC_20240517_000123.tif", "dsc_*_0001?3.TIF"));
}

void BM_Base64Encode(benchmark::State& state) {
    const std::string data = RandomBytes(static_cast<std::size_t>(state.range(0)));
    auto ours = [&] { benchmark::DoNotOptimize(KrEncodeStringBase64(data)); };
    for (auto _ : state)
        ours();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
#ifdef KRSTD_HAVE_OPENSSL
    SetRatio(state, ours, [&] {
        std::string out((data.size() + 2) / 3 * 4, '\0');
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        benchmark::DoNotOptimize(out);
    });
#endif
}

void BM_Base64Decode(benchmark::State& state) {
    const std::string text = KrEncodeStringBase64(RandomBytes(static_cast<std::size_t>(state.range(0))));
    auto ours = [&] { benchmark::DoNotOptimize(KrDecodeStringBase64(text)); };
    for (auto _ : state)
        ours();
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
#ifdef KRSTD_HAVE_OPENSSL
    SetRatio(state, ours, [&] {
        std::string out(text.size() / 4 * 3, '\0');
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        benchmark::DoNotOptimize(out);
    });
#endif
}

#ifdef KRSTD_HAVE_OPENSSL
void BM_EvpEncodeBlock(benchmark::State& state) {
    const std::string data = RandomBytes(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        std::string out((data.size() + 2) / 3 * 4, '\0');
        EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                        reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

void BM_EvpDecodeBlock(benchmark::State& state) {
    const std::string text = KrEncodeStringBase64(RandomBytes(static_cast<std::size_t>(state.range(0))));
    for (auto _ : state) {
        std::string out(text.size() / 4 * 3, '\0');
        EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                        reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
}
#endif
} // namespace

BENCHMARK(BM_Ssprintf_Short);
BENCHMARK(BM_Snprintf_Short);
BENCHMARK(BM_Ssprintf_10KB);
BENCHMARK(BM_Snprintf_10KB);
BENCHMARK(BM_PatternMatch);
BENCHMARK(BM_Base64Encode)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_Base64Decode)->Arg(1 << 10)->Arg(1 << 20);
#ifdef KRSTD_HAVE_OPENSSL
BENCHMARK(BM_EvpEncodeBlock)->Arg(1 << 10)->Arg(1 << 20);
BENCHMARK(BM_EvpDecodeBlock)->Arg(1 << 10)->Arg(1 << 20);
#endif
BENCHMARK_MAIN();
