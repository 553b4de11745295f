// Runs our code and a public peer side by side in one benchmark and reports both rates and the ratio.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <ctime>

/// CPU time of the calling thread in seconds: what a single-threaded comparison should use on a
/// machine that other work keeps busy (time spent waiting for a core does not count).
inline double KrBenchThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

/// KrBenchCompare timed by the thread's CPU time; for single-threaded work on both sides.
template <class Ours, class Peer>
void KrBenchCompareCpu(benchmark::State& state, std::size_t bytes, std::size_t items, Ours&& ours,
                       Peer&& peer) {
    double oursSec = 0, peerSec = 0;
    for (auto _ : state) {
        const double t0 = KrBenchThreadSeconds();
        ours();
        const double t1 = KrBenchThreadSeconds();
        peer();
        const double t2 = KrBenchThreadSeconds();
        oursSec += t1 - t0;
        peerSec += t2 - t1;
    }
    const double n = static_cast<double>(state.iterations());
    const double amount = bytes ? bytes / 1e9 : items / 1e6;
    state.counters[bytes ? "ours_GB/s" : "ours_M/s"] = amount * n / oursSec;
    state.counters[bytes ? "peer_GB/s" : "peer_M/s"] = amount * n / peerSec;
    state.counters["ratio"] = peerSec / oursSec;
}

/// Each iteration runs `ours` then `peer` (each processing `bytes`, or `items` when bytes is 0),
/// timing them separately; counters: ours and peer rates (GB/s or M items/s) and ours/peer.
/// Alternating in one loop keeps both under the same machine conditions.
template <class Ours, class Peer>
void KrBenchCompare(benchmark::State& state, std::size_t bytes, std::size_t items, Ours&& ours, Peer&& peer) {
    using clock = std::chrono::steady_clock;
    double oursSec = 0, peerSec = 0;
    for (auto _ : state) {
        auto t0 = clock::now();
        ours();
        auto t1 = clock::now();
        peer();
        auto t2 = clock::now();
        oursSec += std::chrono::duration<double>(t1 - t0).count();
        peerSec += std::chrono::duration<double>(t2 - t1).count();
    }
    const double n = static_cast<double>(state.iterations());
    const double amount = bytes ? bytes / 1e9 : items / 1e6;
    state.counters[bytes ? "ours_GB/s" : "ours_M/s"] = amount * n / oursSec;
    state.counters[bytes ? "peer_GB/s" : "peer_M/s"] = amount * n / peerSec;
    state.counters["ratio"] = peerSec / oursSec;
}
