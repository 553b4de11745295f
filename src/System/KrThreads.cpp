// The number of worker threads the library's parallel algorithms use.
#include "System/KrThreads.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace {
std::atomic<std::size_t> g_threadsMax{20};
}

std::size_t KrGetThreadsCount() {
    static const std::size_t processors = std::thread::hardware_concurrency();
    const std::size_t limit = g_threadsMax.load(std::memory_order_relaxed);
    return processors == 0 ? limit : std::min(processors, limit);
}

void KrSetThreadsCountMax(std::size_t n) {
    g_threadsMax.store(std::max<std::size_t>(n, 1), std::memory_order_relaxed);
}
