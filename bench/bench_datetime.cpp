// TKrDateTime beside QDateTime and the C library: ISO text out and in, local zone, clock reads.
// Each benchmark runs ours and a peer over the same 256 inputs per iteration (warm caches) and
// reports ns per item for both and the ratio peer/ours (above 1: ours is faster).
#include "Utils/KrDateTime.h"

#include <QDateTime>
#include <QString>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr int kBatch = 256;
constexpr std::int64_t kMsPer1601 = 11644473600000;

std::vector<std::int64_t> SampleUnixMs() {
    std::mt19937_64 rng(1);
    std::uniform_int_distribution<std::int64_t> ms(0, 4102444800000); // 1970..2100
    std::vector<std::int64_t> v(kBatch);
    for (auto& m : v)
        m = ms(rng);
    return v;
}

TKrDateTime FromUnixMs(std::int64_t ms) {
    return TKrDateTime((ms + kMsPer1601) * TKrDateTime::TicksPerMillisecond);
}

template <class Ours, class Peer> void Compare(benchmark::State& state, Ours ours, Peer peer) {
    using clock = std::chrono::steady_clock;
    double oursNs = 0, peerNs = 0;
    for (auto _ : state) {
        const auto a = clock::now();
        ours();
        const auto b = clock::now();
        peer();
        const auto c = clock::now();
        oursNs += std::chrono::duration<double, std::nano>(b - a).count();
        peerNs += std::chrono::duration<double, std::nano>(c - b).count();
    }
    const double items = static_cast<double>(state.iterations()) * kBatch;
    state.counters["ours_ns"] = oursNs / items;
    state.counters["peer_ns"] = peerNs / items;
    state.counters["peer/ours"] = oursNs > 0 ? peerNs / oursNs : 0;
}

void BM_UtcText_vs_Qt(benchmark::State& state) {
    const auto ms = SampleUnixMs();
    Compare(
        state,
        [&] {
            for (auto m : ms)
                benchmark::DoNotOptimize(FromUnixMs(m).ToRFCStringZExact());
        },
        [&] {
            for (auto m : ms)
                benchmark::DoNotOptimize(
                    QDateTime::fromMSecsSinceEpoch(m, Qt::UTC).toString(Qt::ISODateWithMs));
        });
}

void BM_UtcText_vs_C(benchmark::State& state) {
    const auto ms = SampleUnixMs();
    Compare(
        state,
        [&] {
            for (auto m : ms)
                benchmark::DoNotOptimize(FromUnixMs(m).ToRFCStringZExact());
        },
        [&] {
            for (auto m : ms) {
                const std::time_t t = static_cast<std::time_t>(m / 1000);
                std::tm tm;
                ::gmtime_r(&t, &tm);
                char buf[40];
                const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
                std::snprintf(buf + n, sizeof buf - n, ".%03dZ", static_cast<int>(m % 1000));
                benchmark::DoNotOptimize(std::string(buf));
            }
        });
}

void BM_LocalText_vs_Qt(benchmark::State& state) {
    const auto ms = SampleUnixMs();
    Compare(
        state,
        [&] {
            for (auto m : ms)
                benchmark::DoNotOptimize(FromUnixMs(m).ToRFCString());
        },
        [&] {
            for (auto m : ms) {
                const QDateTime l = QDateTime::fromMSecsSinceEpoch(m);
                benchmark::DoNotOptimize(l.toOffsetFromUtc(l.offsetFromUtc()).toString(Qt::ISODateWithMs));
            }
        });
}

void BM_LocalText_vs_C(benchmark::State& state) {
    const auto ms = SampleUnixMs();
    Compare(
        state,
        [&] {
            for (auto m : ms)
                benchmark::DoNotOptimize(FromUnixMs(m).ToRFCString());
        },
        [&] {
            for (auto m : ms) {
                const std::time_t t = static_cast<std::time_t>(m / 1000);
                std::tm tm;
                ::localtime_r(&t, &tm);
                char buf[48];
                const std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
                std::snprintf(buf + n, sizeof buf - n, ".%03d", static_cast<int>(m % 1000));
                std::strftime(buf + n + 4, sizeof buf - n - 4, "%z", &tm);
                benchmark::DoNotOptimize(std::string(buf));
            }
        });
}

std::vector<std::string> Texts(bool utc) {
    std::vector<std::string> v;
    for (auto m : SampleUnixMs())
        v.push_back(utc ? FromUnixMs(m).ToRFCStringZExact() : FromUnixMs(m).ToRFCString());
    return v;
}

void BM_ParseUtc_vs_Qt(benchmark::State& state) {
    const auto texts = Texts(true);
    std::vector<QString> qtexts;
    for (const auto& t : texts)
        qtexts.push_back(QString::fromStdString(t));
    Compare(
        state,
        [&] {
            for (const auto& t : texts)
                benchmark::DoNotOptimize(TKrDateTime::FromRFCString(t));
        },
        [&] {
            for (const auto& t : qtexts)
                benchmark::DoNotOptimize(QDateTime::fromString(t, Qt::ISODateWithMs).toMSecsSinceEpoch());
        });
}

void BM_ParseUtc_vs_C(benchmark::State& state) {
    const auto texts = Texts(true);
    Compare(
        state,
        [&] {
            for (const auto& t : texts)
                benchmark::DoNotOptimize(TKrDateTime::FromRFCString(t));
        },
        [&] {
            for (const auto& t : texts) {
                std::tm tm{};
                const char* rest = ::strptime(t.c_str(), "%Y-%m-%dT%H:%M:%S", &tm);
                const int ms = rest && *rest == '.' ? std::atoi(rest + 1) : 0;
                benchmark::DoNotOptimize(static_cast<std::int64_t>(::timegm(&tm)) * 1000 + ms);
            }
        });
}

void BM_ParseWithOffset_vs_Qt(benchmark::State& state) {
    const auto texts = Texts(false); // "+01:00"/"+02:00" offsets: no zone lookup on either side
    std::vector<QString> qtexts;
    for (const auto& t : texts)
        qtexts.push_back(QString::fromStdString(t));
    Compare(
        state,
        [&] {
            for (const auto& t : texts)
                benchmark::DoNotOptimize(TKrDateTime::FromRFCString(t));
        },
        [&] {
            for (const auto& t : qtexts)
                benchmark::DoNotOptimize(QDateTime::fromString(t, Qt::ISODateWithMs).toMSecsSinceEpoch());
        });
}

void BM_ParseLocal_vs_Qt(benchmark::State& state) {
    std::vector<std::string> texts;
    std::vector<QString> qtexts;
    for (auto t : Texts(true)) {
        t.pop_back(); // no zone: local wall-clock time, resolved by mktime
        texts.push_back(t);
        qtexts.push_back(QString::fromStdString(t));
    }
    Compare(
        state,
        [&] {
            for (const auto& t : texts)
                benchmark::DoNotOptimize(TKrDateTime::FromRFCString(t));
        },
        [&] {
            for (const auto& t : qtexts)
                benchmark::DoNotOptimize(QDateTime::fromString(t, Qt::ISODateWithMs).toMSecsSinceEpoch());
        });
}

void BM_Current_vs_Qt(benchmark::State& state) {
    Compare(
        state,
        [&] {
            for (int i = 0; i < kBatch; ++i)
                benchmark::DoNotOptimize(TKrDateTime::Current());
        },
        [&] {
            for (int i = 0; i < kBatch; ++i)
                benchmark::DoNotOptimize(QDateTime::currentMSecsSinceEpoch());
        });
}
} // namespace

BENCHMARK(BM_UtcText_vs_Qt);
BENCHMARK(BM_UtcText_vs_C);
BENCHMARK(BM_LocalText_vs_Qt);
BENCHMARK(BM_LocalText_vs_C);
BENCHMARK(BM_ParseUtc_vs_Qt);
BENCHMARK(BM_ParseUtc_vs_C);
BENCHMARK(BM_ParseWithOffset_vs_Qt);
BENCHMARK(BM_ParseLocal_vs_Qt);
BENCHMARK(BM_Current_vs_Qt);

int main(int argc, char** argv) {
    // A zone with daylight saving time, so that local conversions do real work on both sides.
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
