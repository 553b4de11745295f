// XIni readers on a generated document of about 200 MiB (KRSTD_BENCH_MB overrides): the lazy
// open against the full parse, the full parse against pugixml's in-place DOM, a lazy walk of
// every item against the full parse, and ReadArrayMT with two workers against one. The lazy
// open reads the document from a file (mapped), the full parses from memory. Times are the
// thread's CPU time (page faults included), so other load on the machine does not count.
#include "KrBenchCompare.h"

#include "Streams/KrFileStream.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrStringStream.h"
#include "System/KrThreads.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"
#include "XIni/KrXIniTree.h"

#include <benchmark/benchmark.h>

#include <ctime>
#include <fstream>
#include <malloc.h>
#include <unistd.h>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#ifdef KRSTD_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

// One section "big" of 1,000,000 integer items, then nested sections of mixed items with
// escaped strings until the size is reached.
const std::string& Document() {
    static const std::string doc = [] {
        const char* mb = std::getenv("KRSTD_BENCH_MB");
        const std::size_t target = std::size_t(mb ? std::atoi(mb) : 200) << 20;
        auto out = new_a<TKrStringStream>();
        out->str().reserve(target + (1 << 20));
        TKrXIniStreamWriter w(out, 0, TKrXIniStreamWriter::Full);
        const std::size_t big = w.BeginSectionS("big");
        for (int i = 0; i < 1000000; ++i)
            w.WriteS<int>("k", i);
        w.EndSection(big);
        for (int s = 0; out->str().size() < target; ++s) {
            const std::size_t outer = w.BeginSectionS("part");
            for (int j = 0; j < 20; ++j) {
                const std::size_t inner = w.BeginSectionS("rec");
                w.WriteS<int>("id", s * 20 + j);
                w.WriteS<double>("x", s * 0.25 + j);
                w.WriteS<std::string>("name", "item <" + std::to_string(j) + "> & more");
                w.WriteDouble2S("pt", j, s);
                w.EndSection(inner);
            }
            w.EndSection(outer);
            w.Flush();
        }
        w.Close();
        return out->str();
    }();
    return doc;
}

void Counters(benchmark::State& state, std::size_t bytes, double oursSec, double peerSec) {
    const double n = double(state.iterations());
    state.counters["ours_MB/s"] = bytes / 1e6 * n / oursSec;
    state.counters["peer_MB/s"] = bytes / 1e6 * n / peerSec;
    state.counters["ratio"] = peerSec / oursSec;
}

double ThreadSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The document written once to a temporary file, removed at exit.
const std::string& DocumentFile() {
    static const std::string path = [] {
        std::string p = "/tmp/bench_xini_reader_" + std::to_string(getpid()) + ".xml";
        std::ofstream(p, std::ios::binary).write(Document().data(), std::streamsize(Document().size()));
        std::atexit([] { std::remove(DocumentFile().c_str()); });
        return p;
    }();
    return path;
}

// Warm heap: no mmap'ed blocks from malloc (each would be fresh pages on every iteration) and
// no trimming. Our document buffers are huge-page mappings either way.
template <class Ours, class Peer> void Alternate(benchmark::State& state, Ours&& ours, Peer&& peer) {
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
    double oursSec = 0, peerSec = 0;
    for (auto _ : state) {
        const double t0 = ThreadSeconds();
        ours();
        const double t1 = ThreadSeconds();
        peer();
        const double t2 = ThreadSeconds();
        oursSec += t1 - t0;
        peerSec += t2 - t1;
    }
    Counters(state, Document().size(), oursSec, peerSec);
    state.counters["ours_ms"] = oursSec * 1e3 / double(state.iterations());
    state.counters["peer_ms"] = peerSec * 1e3 / double(state.iterations());
}

var_a<TKrStream*> View() {
    const std::string& doc = Document();
    return new_a<TKrFixedMemStream>(doc.data(), doc.size());
}

void FullParse() {
    var_a<TKrXIniTree*> tree = ReadKrXIniTree(View().get(), true, nullptr);
    benchmark::DoNotOptimize(tree.get());
}

// The lazy promise: open and read item 0 of the big section, against a full parse.
void BM_LazyOpenItem0_vs_FullParse(benchmark::State& state) {
    DocumentFile();
    Alternate(
        state,
        [] {
            TKrXIniStreamReader r(TKrFileStream::VCreate(TKrPath(DocumentFile()), krOpenRead), true, nullptr);
            r.EnterSectionSE("big");
            benchmark::DoNotOptimize(r.ReadE<int>(0));
        },
        FullParse);
}

// Every item read through the lazy reader (values by pointer), against a full parse.
void BM_LazyWalkAll_vs_FullParse(benchmark::State& state) {
    Alternate(
        state,
        [] {
            TKrXIniStreamReader r(View(), true, nullptr);
            std::vector<std::pair<std::size_t, std::size_t>> stack; // (level, next index)
            std::size_t next = 0, level = 0, sum = 0;
            for (;;) {
                if (!r.Exists(next)) {
                    if (stack.empty()) break;
                    r.ExitSection(level);
                    level = stack.back().first;
                    next = stack.back().second;
                    stack.pop_back();
                    continue;
                }
                if (r.ItemType(next) == TE_KrXIniItemType::Section) {
                    stack.push_back({level, next + 1});
                    level = r.EnterSection(next);
                    next = 0;
                    continue;
                }
                std::size_t len = 0;
                r.ItemValueRaw(next++, &len);
                sum += len;
            }
            benchmark::DoNotOptimize(sum);
        },
        FullParse);
}

#ifdef KRSTD_HAVE_PUGIXML
void BM_ReadKrXIniTree_vs_PugiInPlace(benchmark::State& state) {
    const std::string& doc = Document();
    std::vector<char> work(doc.size());
    pugi::xml_document pdoc;
    Alternate(state, FullParse, [&] {
        std::memcpy(work.data(), doc.data(), doc.size());
        if (!pdoc.load_buffer_inplace(work.data(), work.size())) std::abort();
        benchmark::DoNotOptimize(pdoc.first_child());
        pdoc.reset();
    });
}
BENCHMARK(BM_ReadKrXIniTree_vs_PugiInPlace)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

// CPU-bound callback over 20,000 sections: two workers against one.
void BM_ReadArrayMT_2Workers_vs_1(benchmark::State& state) {
    std::string text = "<krini><x n=\"arr\">";
    for (int i = 0; i < 20000; ++i)
        text += "<x><i n=\"v\" v=\"" + std::to_string(i) + "\"/></x>";
    text += "</x></krini>";
    std::function<void(TKrXIniReader*, std::size_t)> fn = [](TKrXIniReader* r, std::size_t) {
        const std::size_t level = r->EnterSectionE(0);
        unsigned h = unsigned(r->ReadE<int>(0));
        for (int k = 0; k < 20000; ++k)
            h = h * 2654435761u + 1;
        benchmark::DoNotOptimize(h);
        r->ExitSectionE(level);
    };
    auto run = [&](std::size_t threads) {
        KrSetThreadsCountMax(threads);
        TKrXIniStreamReaderMT r(new_a<TKrStringStream>(text), true, nullptr);
        r.EnterSectionSE("arr");
        r.ReadArrayMT(fn, nullptr);
    };
    KrBenchCompare(
        state, 0, 20000, [&] { run(2); }, [&] { run(1); });
    KrSetThreadsCountMax(20);
}

} // namespace

BENCHMARK(BM_LazyOpenItem0_vs_FullParse)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LazyWalkAll_vs_FullParse)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ReadArrayMT_2Workers_vs_1)->Unit(benchmark::kMillisecond)->Iterations(3);

BENCHMARK_MAIN();
