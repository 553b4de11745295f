// XML on a generated 100 MiB XIni-shaped document: the scanner, the DOM reader and unescaping
// against pugixml (in-place parse), expat, a bare memchr tag tokenizer and memchr itself.
// Warm: every buffer and the heap are reused across iterations, and one untimed run of each side
// precedes the timed ones; that first run is reported separately as the cold figure.
#include "Streams/KrFixedMemStream.h"
#include "Xml/KrXmlDom.h"
#include "Xml/KrXmlEscape.h"
#include "Xml/KrXmlParser.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#ifdef KRSTD_HAVE_PUGIXML
#include <pugixml.hpp>
#endif
#ifdef KRSTD_HAVE_EXPAT
#include <expat.h>
#endif

namespace {
constexpr std::size_t kDocBytes = 100u << 20;

/// <krini> with sections "x" of integer, double and string items; a third of the strings need
/// escaping. Deterministic.
const std::string& Document() {
    static const std::string doc = [] {
        std::string d;
        d.reserve(kDocBytes + 4096);
        d += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<krini>\n";
        char line[160];
        unsigned long seed = 12345;
        for (unsigned long section = 0; d.size() < kDocBytes; ++section) {
            std::snprintf(line, sizeof line, " <x n=\"section%lu\">\n", section);
            d += line;
            for (int item = 0; item < 16; ++item) {
                seed = seed * 6364136223846793005ul + 1442695040888963407ul;
                const unsigned v = static_cast<unsigned>(seed >> 33);
                switch (item % 3) {
                case 0:
                    std::snprintf(line, sizeof line, "  <i n=\"count%d\" v=\"%u\"/>\n", item, v);
                    break;
                case 1:
                    std::snprintf(line, sizeof line, "  <d n=\"scale%d\" v=\"%.17g\"/>\n", item, v / 7.0);
                    break;
                default:
                    if (v % 3 == 0)
                        std::snprintf(line, sizeof line,
                                      "  <s n=\"label%d\" v=\"a &amp; b &lt;%u&gt;&#xA;c\"/>\n", item, v);
                    else
                        std::snprintf(line, sizeof line, "  <s n=\"label%d\" v=\"plain text value %u\"/>\n",
                                      item, v);
                }
                d += line;
            }
            d += " </x>\n";
        }
        d += "</krini>\n";
        return d;
    }();
    return doc;
}

/// Keeps freed memory in the process, so repeated iterations measure parsing, not page faults.
void KeepHeapWarm() {
    // No mmap'ed blocks (each would be fresh pages on every iteration) and no trimming.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}

/// As KrBenchCompare, plus an untimed `setupPeer` before each peer run (in-place parsers need
/// a fresh copy of the input) and one untimed-in-the-totals first run of each side, reported
/// as the cold rates.
template <class Ours, class Setup, class Peer>
void Compare(benchmark::State& state, std::size_t bytes, Ours&& ours, Setup&& setupPeer, Peer&& peer) {
    using clock = std::chrono::steady_clock;
    auto seconds = [](clock::time_point a, clock::time_point b) {
        return std::chrono::duration<double>(b - a).count();
    };
    auto t0 = clock::now();
    ours();
    auto t1 = clock::now();
    setupPeer();
    auto t2 = clock::now();
    peer();
    auto t3 = clock::now();
    const double coldOurs = seconds(t0, t1), coldPeer = seconds(t2, t3);
    double oursSec = 0, peerSec = 0;
    for (auto _ : state) {
        t0 = clock::now();
        ours();
        t1 = clock::now();
        setupPeer();
        t2 = clock::now();
        peer();
        t3 = clock::now();
        oursSec += seconds(t0, t1);
        peerSec += seconds(t2, t3);
    }
    const double gb = bytes / 1e9, n = static_cast<double>(state.iterations());
    state.counters["ours_GB/s"] = gb * n / oursSec;
    state.counters["peer_GB/s"] = gb * n / peerSec;
    state.counters["ratio"] = peerSec / oursSec;
    state.counters["ours_cold_GB/s"] = gb / coldOurs;
    state.counters["peer_cold_GB/s"] = gb / coldPeer;
}

class TCountingColl : public TKrXmlColl {
public:
    std::size_t tags = 0, attrs = 0, texts = 0;
    bool AddCharData(const char*, const char*) override { return ++texts, true; }
    bool AddSTag(const char*, const char*, const char*, const char*,
                 const std::vector<TKrXmlAttrData>& a) override {
        attrs += a.size();
        return ++tags, true;
    }
    bool AddETag(const char*, const char*, const char*, const char*) override { return true; }
    bool AddEmptyElemTag(const char*, const char*, const char*, const char*,
                         const std::vector<TKrXmlAttrData>& a) override {
        attrs += a.size();
        return ++tags, true;
    }
};

std::size_t ScanCount(TKrXmlParserLow& parser) {
    const std::string& doc = Document();
    TCountingColl coll;
    if (!parser.ReadXml(doc.data(), doc.size(), nullptr, nullptr, &coll)) std::abort();
    return coll.tags + coll.attrs;
}

void Nothing() {}

#ifdef KRSTD_HAVE_PUGIXML
void BM_Scan_vs_PugiInPlace(benchmark::State& state) {
    KeepHeapWarm();
    const std::string& doc = Document();
    TKrXmlParserLow parser;
    std::vector<char> work(doc.size());
    pugi::xml_document pdoc;
    Compare(
        state, doc.size(), [&] { benchmark::DoNotOptimize(ScanCount(parser)); },
        [&] { std::memcpy(work.data(), doc.data(), doc.size()); },
        [&] {
            if (!pdoc.load_buffer_inplace(work.data(), work.size())) std::abort();
            benchmark::DoNotOptimize(pdoc.first_child());
        });
}

void BM_ReadXml_vs_PugiInPlace(benchmark::State& state) {
    KeepHeapWarm();
    const std::string& doc = Document();
    std::vector<char> work(doc.size());
    pugi::xml_document pdoc;
    Compare(
        state, doc.size(),
        [&] {
            TKrFixedMemStream s(doc.data(), doc.size());
            var_a<TKrXmlTagItem*> root = KrReadXml(&s, true, nullptr);
            benchmark::DoNotOptimize(root.get());
        },
        [&] { std::memcpy(work.data(), doc.data(), doc.size()); },
        [&] {
            if (!pdoc.load_buffer_inplace(work.data(), work.size())) std::abort();
            benchmark::DoNotOptimize(pdoc.first_child());
            pdoc.reset();
        });
}
BENCHMARK(BM_Scan_vs_PugiInPlace)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadXml_vs_PugiInPlace)->Unit(benchmark::kMillisecond)->Iterations(3);
#endif

#ifdef KRSTD_HAVE_EXPAT
void BM_Scan_vs_Expat(benchmark::State& state) {
    const std::string& doc = Document();
    TKrXmlParserLow parser;
    std::size_t expatTags = 0;
    Compare(
        state, doc.size(), [&] { benchmark::DoNotOptimize(ScanCount(parser)); }, Nothing,
        [&] {
            XML_Parser p = XML_ParserCreate(nullptr);
            XML_SetUserData(p, &expatTags);
            XML_SetStartElementHandler(
                p, [](void* data, const XML_Char*, const XML_Char**) { ++*static_cast<std::size_t*>(data); });
            if (XML_Parse(p, doc.data(), static_cast<int>(doc.size()), 1) != XML_STATUS_OK) std::abort();
            XML_ParserFree(p);
        });
    benchmark::DoNotOptimize(expatTags);
}
BENCHMARK(BM_Scan_vs_Expat)->Unit(benchmark::kMillisecond)->Iterations(2);
#endif

/// The floor for any tokenizer: find every '<' and its '>' with memchr, nothing else.
void BM_Scan_vs_MemchrTagTokenizer(benchmark::State& state) {
    const std::string& doc = Document();
    TKrXmlParserLow parser;
    Compare(
        state, doc.size(), [&] { benchmark::DoNotOptimize(ScanCount(parser)); }, Nothing,
        [&] {
            const char* p = doc.data();
            const char* end = p + doc.size();
            std::size_t tags = 0;
            while ((p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p))))) {
                p = static_cast<const char*>(std::memchr(p, '>', static_cast<std::size_t>(end - p)));
                if (!p) break;
                ++tags;
            }
            benchmark::DoNotOptimize(tags);
        });
}

void BM_Scan_vs_Memchr(benchmark::State& state) {
    const std::string& doc = Document();
    TKrXmlParserLow parser;
    Compare(
        state, doc.size(), [&] { benchmark::DoNotOptimize(ScanCount(parser)); }, Nothing,
        [&] { benchmark::DoNotOptimize(std::memchr(doc.data(), '\x01', doc.size())); });
}

/// Unescaping in place text without references (the values of an XIni document mostly are).
void BM_DecodeEntityFree_vs_Memchr(benchmark::State& state) {
    std::string text(kDocBytes, '\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = "plain text value 0123456789\n"[i % 28];
    Compare(
        state, text.size(),
        [&] { benchmark::DoNotOptimize(KrDecodeStringXml(&text[0], text.size(), &text[0])); }, Nothing,
        [&] { benchmark::DoNotOptimize(std::memchr(text.data(), '&', text.size())); });
}

/// Unescaping the attribute values of the document (a third of the strings carry references)
/// against copying them.
void BM_DecodeValues_vs_Memcpy(benchmark::State& state) {
    const std::string& doc = Document();
    std::string values;
    for (std::size_t p = 0; (p = doc.find(" v=\"", p)) != std::string::npos;) {
        const std::size_t e = doc.find('"', p + 4);
        values.append(doc, p + 4, e - p - 4);
        p = e;
    }
    std::string out(values.size(), '\0');
    Compare(
        state, values.size(),
        [&] { benchmark::DoNotOptimize(KrDecodeStringXml(values.data(), values.size(), &out[0])); }, Nothing,
        [&] { benchmark::DoNotOptimize(std::memcpy(&out[0], values.data(), values.size())); });
}

BENCHMARK(BM_Scan_vs_MemchrTagTokenizer)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Scan_vs_Memchr)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DecodeEntityFree_vs_Memchr)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_DecodeValues_vs_Memcpy)->Unit(benchmark::kMillisecond)->Iterations(5);
} // namespace

BENCHMARK_MAIN();
