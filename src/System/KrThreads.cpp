// The worker-thread budget of the library's parallel algorithms; the main thread's id.
#include "System/KrThreads.h"

#include <QThread>

#include <algorithm>
#include <atomic>

namespace {
std::atomic<std::size_t> g_threadsMax{20};
std::atomic<std::thread::id> g_mainThread{std::thread::id()};
} // namespace

std::size_t KrGetThreadsCountFor(std::size_t processors) {
    const std::size_t limit = g_threadsMax.load(std::memory_order_relaxed);
    return processors == 0 ? limit : std::min(processors, limit);
}

std::size_t KrGetThreadsCount() {
    static const std::size_t processors = std::size_t(std::max(QThread::idealThreadCount(), 0));
    return KrGetThreadsCountFor(processors);
}

void KrSetThreadsCountMax(std::size_t n) {
    g_threadsMax.store(std::max<std::size_t>(n, 1), std::memory_order_relaxed);
}

void SetMainThreadId(std::thread::id id) {
    g_mainThread.store(id);
}

std::thread::id GetMainThreadId() {
    return g_mainThread.load();
}

std::thread::id GetThreadId() {
    return std::this_thread::get_id();
}

bool IsMainThread() {
    const std::thread::id main = g_mainThread.load();
    return main != std::thread::id() && main == std::this_thread::get_id();
}
