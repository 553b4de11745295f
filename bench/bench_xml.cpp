// XML on a generated 100 MiB XIni-shaped document: the scanner, the DOM reader and unescaping
// against pugixml (in-place parse), expat, a bare memchr tag tokenizer and memchr itself; and the
// DOM reader on a 32 MiB text-heavy document of translation units; the DOM writer on the first
// 32 MiB of the XIni-shaped document against pugixml saving it.
// Times are the thread's CPU time (user and system, so page faults count), which keeps the
// figures usable on a machine shared with other work. Warm: every buffer and the heap are reused
// across iterations. Cold: before the first run of each side the heap gives its free memory back
// to the system, so that run pays for every fresh page it touches.
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"
#include "Xml/KrXmlDom.h"
#include "Xml/KrXmlEscape.h"
#include "Xml/KrXmlParser.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <ctime>
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

#ifdef KRSTD_HAVE_PUGIXML
/// Keeps freed memory in the process, so repeated iterations measure parsing, not page faults.
/// Only the DOM comparisons ask for it, and they all need pugixml.
void KeepHeapWarm() {
    // No mmap'ed blocks (each would be fresh pages on every iteration) and no trimming.
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
}
#endif

/// Thread CPU seconds.
double CpuNow() {
    timespec ts;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

/// As KrBenchCompare, plus an untimed `setupPeer` before each peer run (in-place parsers need
/// a fresh copy of the input), a cold first run of each side on a trimmed heap and an untimed
/// warm-up of each side before the timed iterations.
template <class Ours, class Setup, class Peer>
void Compare(benchmark::State& state, std::size_t bytes, Ours&& ours, Setup&& setupPeer, Peer&& peer) {
    malloc_trim(0);
    double t0 = CpuNow();
    ours();
    const double coldOurs = CpuNow() - t0;
    setupPeer();
    malloc_trim(0);
    t0 = CpuNow();
    peer();
    const double coldPeer = CpuNow() - t0;
    ours();
    setupPeer();
    peer();
    double oursSec = 0, peerSec = 0;
    for (auto _ : state) {
        t0 = CpuNow();
        ours();
        const double t1 = CpuNow();
        setupPeer();
        const double t2 = CpuNow();
        peer();
        const double t3 = CpuNow();
        oursSec += t1 - t0;
        peerSec += t3 - t2;
    }
    const double gb = bytes / 1e9, n = static_cast<double>(state.iterations());
    state.counters["ours_GB/s"] = gb * n / oursSec;
    state.counters["peer_GB/s"] = gb * n / peerSec;
    state.counters["ratio"] = peerSec / oursSec;
    state.counters["ours_cold_GB/s"] = gb / coldOurs;
    state.counters["peer_cold_GB/s"] = gb / coldPeer;
    state.counters["ratio_cold"] = coldPeer / coldOurs;
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

/// <xliff> with translation units whose source, target and note carry text (an eighth with
/// references), the shape of the language files. Deterministic.
const std::string& TextDocument() {
    static const std::string doc = [] {
        std::string d;
        d.reserve((32u << 20) + 4096);
        d += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xliff version=\"1.2\">\n"
             " <file original=\"KrStd\" source-language=\"en\" datatype=\"plaintext\">\n  <body>\n";
        char line[512];
        for (unsigned long unit = 0; d.size() < (32u << 20); ++unit) {
            const char* amp = unit % 8 == 0 ? " &amp; &lt;more&gt;" : "";
            std::snprintf(line, sizeof line,
                          "   <trans-unit id=\"general.Err_Message_%lu\" xml:space=\"preserve\">\n"
                          "    <source>Could not open the file %%1%% (unit %lu)%s.</source>\n"
                          "    <target state=\"translated\">Die Datei %%1%% konnte nicht ge\xC3\xB6"
                          "ffnet werden "
                          "(Einheit %lu)%s.</target>\n"
                          "    <note>Parameters: the file name.</note>\n   </trans-unit>\n",
                          unit, unit, amp, unit, amp);
            d += line;
        }
        d += "  </body>\n </file>\n</xliff>\n";
        return d;
    }();
    return doc;
}

void BM_ReadXmlTexts_vs_PugiInPlace(benchmark::State& state) {
    KeepHeapWarm();
    const std::string& doc = TextDocument();
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
/// Writing a DOM of the first 32 MiB of the document (indented, a third of the values escaped)
/// into reserved memory, against pugixml saving its DOM of the same text into a reserved string.
void BM_WriteXml_vs_PugiSave(benchmark::State& state) {
    KeepHeapWarm();
    std::string text = Document().substr(0, Document().rfind(" </x>\n", 32u << 20) + 6);
    text += "</krini>\n";
    TKrFixedMemStream in(text.data(), text.size());
    var_a<TKrXmlTagItem*> root = KrReadXml(&in, true, nullptr);
    pugi::xml_document pdoc;
    if (!pdoc.load_buffer(text.data(), text.size())) std::abort();
    TWriteXmlOptions options;
    options.indent = " ";
    options.shortEmptyElements = true;
    TKrMemoryStream out;
    out.Reserve(text.size() + (1u << 20));
    struct TSink : pugi::xml_writer {
        std::string text;
        void write(const void* data, std::size_t size) override {
            text.append(static_cast<const char*>(data), size);
        }
    } sink;
    sink.text.reserve(text.size() + (1u << 20));
    Compare(
        state, text.size(),
        [&] {
            out.setPosition(0);
            WriteXmlEx(&out, root.get(), options, {});
            benchmark::DoNotOptimize(out.GetBuffer());
        },
        Nothing,
        [&] {
            sink.text.clear();
            pdoc.save(sink, " ");
            benchmark::DoNotOptimize(sink.text.data());
        });
}
BENCHMARK(BM_WriteXml_vs_PugiSave)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_Scan_vs_PugiInPlace)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadXml_vs_PugiInPlace)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ReadXmlTexts_vs_PugiInPlace)->Unit(benchmark::kMillisecond)->Iterations(5);
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
