// XIni tree writer and tree reader: 300,000 typed items (int, double, string in turn) written into a
// tree and read back by index, against pugixml building and reading the equivalent DOM (<i n v/>
// elements with typed attribute values). Warm: every iteration rebuilds or rereads in memory that
// earlier iterations already touched. Without pugixml, the peer is a std::vector of records.
#include "KrBenchCompare.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"

#include <string>
#include <vector>

#ifdef KRSTD_HAVE_PUGIXML
#include <pugixml.hpp>
#endif

namespace {

constexpr std::size_t kItems = 300000;

struct TRecord {
    std::string name;
    int i;
    double d;
    std::string s;
};

const std::vector<TRecord>& Records() {
    static const std::vector<TRecord> records = [] {
        std::vector<TRecord> r(kItems);
        for (std::size_t k = 0; k < kItems; ++k)
            r[k] = {"item" + std::to_string(k % 1000), int(k * 2654435761u), k / 7.0,
                    "value " + std::to_string(k)};
        return r;
    }();
    return records;
}

void WriteTree(TKrXIniWriter& w) {
    std::size_t k = 0;
    for (const TRecord& r : Records()) {
        switch (k++ % 3) {
        case 0:
            w.WriteS(r.name, r.i);
            break;
        case 1:
            w.WriteS(r.name, r.d);
            break;
        default:
            w.WriteS(r.name, r.s);
            break;
        }
    }
}

// Sums what it reads so that nothing is optimised away.
double ReadTree(TKrXIniReader& r) {
    double sum = 0;
    const std::size_t n = r.CountE();
    for (std::size_t k = 0; k < n; ++k) {
        switch (k % 3) {
        case 0:
            sum += r.ReadE<int>(k);
            break;
        case 1:
            sum += r.ReadE<double>(k);
            break;
        default:
            sum += static_cast<double>(r.ReadE<std::string>(k).size());
            break;
        }
    }
    return sum;
}

#ifdef KRSTD_HAVE_PUGIXML
void BuildDom(pugi::xml_document& doc) {
    pugi::xml_node root = doc.append_child("krini");
    std::size_t k = 0;
    for (const TRecord& r : Records()) {
        const int kind = k++ % 3;
        pugi::xml_node item = root.append_child(kind == 0 ? "i" : kind == 1 ? "d" : "s");
        item.append_attribute("n") = r.name.c_str();
        pugi::xml_attribute v = item.append_attribute("v");
        if (kind == 0)
            v = r.i;
        else if (kind == 1)
            v = r.d;
        else
            v = r.s.c_str();
    }
}

double ReadDom(const pugi::xml_document& doc) {
    double sum = 0;
    std::size_t k = 0;
    for (pugi::xml_node item : doc.child("krini").children()) {
        const pugi::xml_attribute v = item.attribute("v");
        switch (k++ % 3) {
        case 0:
            sum += v.as_int();
            break;
        case 1:
            sum += v.as_double();
            break;
        default:
            sum += static_cast<double>(std::char_traits<char>::length(v.as_string()));
            break;
        }
    }
    return sum;
}
#endif

void BM_Write_TreeWriter_vs_PugixmlDom(benchmark::State& state) {
    KrBenchCompare(
        state, 0, kItems,
        [] {
            TKrXIniTreeWriter w(nullptr);
            WriteTree(w);
            benchmark::DoNotOptimize(w.GetRoot()->FindItem(kItems - 1));
        },
        [] {
#ifdef KRSTD_HAVE_PUGIXML
            pugi::xml_document doc;
            BuildDom(doc);
            benchmark::DoNotOptimize(doc.first_child());
#else
            std::vector<TRecord> copy(Records());
            benchmark::DoNotOptimize(copy.data());
#endif
        });
}

void BM_Read_TreeReader_vs_PugixmlDom(benchmark::State& state) {
    TKrXIniTreeWriter w(nullptr);
    WriteTree(w);
    TKrXIniTreeReader reader(w.GetRoot());
#ifdef KRSTD_HAVE_PUGIXML
    pugi::xml_document doc;
    BuildDom(doc);
#endif
    KrBenchCompare(
        state, 0, kItems, [&] { benchmark::DoNotOptimize(ReadTree(reader)); },
        [&] {
#ifdef KRSTD_HAVE_PUGIXML
            benchmark::DoNotOptimize(ReadDom(doc));
#else
            double sum = 0;
            for (const TRecord& r : Records())
                sum += r.i + r.d + static_cast<double>(r.s.size());
            benchmark::DoNotOptimize(sum);
#endif
        });
}

} // namespace

BENCHMARK(BM_Write_TreeWriter_vs_PugixmlDom)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read_TreeReader_vs_PugixmlDom)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
