// TKrXIniStreamReaderMT: the items of a section handed to a callback on several threads.
#include "Core/KrProgressHandler.h"
#include "System/KrThreads.h"
#include "XIni/KrXIniDocQ.h"
#include "XIni/KrXIniStreamReader.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>

namespace {
constexpr std::size_t BlockSize = 16;
}

TKrXIniStreamReaderMT::TKrXIniStreamReaderMT(const var_a<TKrStream*>& stream, bool throwOnError,
                                             TKrProgressHandler* progress)
    : TKrXIniStreamReader(stream, throwOnError, progress) {}

void TKrXIniStreamReaderMT::ReadArrayMT(std::function<void(TKrXIniReader*, std::size_t)>& fn,
                                        TKrProgressHandler* progress) {
    const std::size_t n = CountE();
    if (n == 0) return;
    std::size_t threads = KrGetThreadsCount();
    if (threads == 0) threads = 2;
    const std::size_t workers = std::min((n + BlockSize - 1) / BlockSize, threads);

    TKrXIniSectionQ* const section = m_current;
    std::atomic<std::size_t> next{0};
    std::atomic<bool> stop{false};

    // Each worker reads through its own reader whose current section holds a copy of one item.
    auto work = [&]() {
        TKrXIniStreamReader reader(*this, nullptr);
        TKrXIniSectionQ single;
        TKrXIniItemQ copy;
        for (;;) {
            if (progress) {
                progress->ThreadTick();
                if (progress->UserBreak()) return;
            }
            if (stop.load(std::memory_order_relaxed)) return;
            const std::size_t first = next.fetch_add(BlockSize);
            if (first >= n) return;
            const std::size_t last = std::min(first + BlockSize, n);
            for (std::size_t i = first; i < last; ++i) {
                copy = *section->items[i];
                single.items.assign(1, &copy);
                reader.m_current = &single;
                reader.m_stack.clear();
                fn(&reader, i);
            }
        }
    };

    std::vector<std::future<void>> futures;
    futures.reserve(workers);
    auto waitAll = [&]() {
        stop = true;
        for (std::future<void>& f : futures)
            if (f.valid()) f.wait();
    };
    try {
        for (std::size_t w = 0; w < workers; ++w) futures.push_back(std::async(std::launch::async, work));
        for (std::future<void>& f : futures) {
            while (f.wait_for(std::chrono::milliseconds(100)) != std::future_status::ready) {
                if (progress && progress->Timeout()) {
                    progress->SetPosNB(double(std::min(next.load(), n) + 1) / double(n));
                    progress->CheckBreak();
                }
            }
        }
    } catch (...) {
        waitAll();
        throw;
    }
    waitAll();
    for (std::future<void>& f : futures) f.get();
}
