// XIni stream writer: string items against pugixml saving an equivalent DOM, double items
// against the same text built with snprintf("%.16e"), binary items against OpenSSL's Base64. Warm: the output
// buffers are reserved once and reused, the DOM is built once outside the timed region.
#include "KrBenchCompare.h"
#include "Streams/KrMemoryStream.h"
#include "XIni/KrXIniStreamWriter.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#ifdef KRSTD_HAVE_PUGIXML
#include <pugixml.hpp>
#endif
#ifdef KRSTD_HAVE_OPENSSL
#include <openssl/evp.h>
#endif

namespace {

constexpr std::size_t kStringItems = 400000;
constexpr std::size_t kDoubleItems = 1000000;

std::vector<std::string> SampleValues() {
    std::mt19937 gen(1);
    std::vector<std::string> values(kStringItems);
    for (auto& v : values) {
        v.resize(24 + gen() % 48);
        for (char& c : v)
            c = "abcdefghijklmnopqrstuvwxyz ABCDEFGHIJ/.,0123456789"[gen() % 50];
        if (gen() % 8 == 0) v[gen() % v.size()] = '&';
    }
    return values;
}

std::vector<double> SampleDoubles() {
    std::mt19937_64 gen(2);
    std::uniform_real_distribution<double> coord(-1e6, 1e6);
    std::vector<double> values(kDoubleItems);
    for (auto& d : values)
        d = coord(gen);
    return values;
}

// Writes `body` through a writer into `out` (position reset, capacity kept).
template <class F> void WriteXIni(TKrMemoryStream& out, F&& body) {
    out.setPosition(0);
    TKrXIniStreamWriter w(static_a<TKrStream>(&out), 0, TKrXIniStreamWriter::RootOnly);
    body(w);
    w.Close();
}

#ifdef KRSTD_HAVE_PUGIXML
struct TStringWriter : pugi::xml_writer {
    std::string text;
    void write(const void* data, std::size_t size) override {
        text.append(static_cast<const char*>(data), size);
    }
};
#endif

void BM_StringItems_Writer_vs_PugixmlSave(benchmark::State& state) {
    const std::vector<std::string> values = SampleValues();
    TKrMemoryStream out;
    out.Reserve(64 << 20);
    auto ours = [&] {
        WriteXIni(out, [&](TKrXIniStreamWriter& w) {
            for (const auto& v : values)
                w.WriteS_x_string("item", v);
        });
        benchmark::DoNotOptimize(out.GetBuffer());
    };
    ours();
    const std::size_t bytes = out.getSize();
#ifdef KRSTD_HAVE_PUGIXML
    pugi::xml_document doc;
    pugi::xml_node root = doc.append_child("krini");
    for (const auto& v : values) {
        pugi::xml_node s = root.append_child("s");
        s.append_attribute("n") = "item";
        s.append_attribute("v") = v.c_str();
    }
    TStringWriter sink;
    sink.text.reserve(64 << 20);
    KrBenchCompare(state, bytes, 0, ours, [&] {
        sink.text.clear();
        doc.save(sink, "  ", pugi::format_default | pugi::format_no_declaration);
        benchmark::DoNotOptimize(sink.text.data());
    });
#else
    std::string copy(bytes, ' ');
    KrBenchCompare(state, bytes, 0, ours, [&] {
        std::memcpy(&copy[0], out.GetBuffer(), bytes);
        benchmark::DoNotOptimize(copy.data());
    });
#endif
}

// The peer formats each item's text with snprintf and appends it, as the writer did before it
// had its own number formatting.
void BM_DoubleItems_Writer_vs_Snprintf(benchmark::State& state) {
    const std::vector<double> values = SampleDoubles();
    TKrMemoryStream out;
    out.Reserve(64 << 20);
    std::vector<char> text(64 << 20);
    KrBenchCompare(
        state, 0, kDoubleItems,
        [&] {
            WriteXIni(out, [&](TKrXIniStreamWriter& w) {
                for (double d : values)
                    w.WriteS_x_double("x", d);
            });
            benchmark::DoNotOptimize(out.GetBuffer());
        },
        [&] {
            char* p = text.data();
            for (double d : values)
                p += std::snprintf(p, 64, "  <d n=\"x\" v=\"%.16e\"/>\n", d);
            benchmark::DoNotOptimize(text.data());
        });
}

// Binary items (Base64 in lines of 64 characters) against OpenSSL encoding the same lines.
void BM_BinaryItems_Writer_vs_OpenSSL(benchmark::State& state) {
    constexpr std::size_t kItems = 4000, kBytes = 4096;
    std::string bytes(kBytes, '\0');
    std::mt19937 gen(3);
    for (char& c : bytes)
        c = static_cast<char>(gen());
    TKrMemoryStream out;
    out.Reserve(64 << 20);
    std::vector<char> text(kItems * (kBytes / 48 + 1) * 72);
    KrBenchCompare(
        state, kItems * kBytes, 0,
        [&] {
            WriteXIni(out, [&](TKrXIniStreamWriter& w) {
                for (std::size_t i = 0; i < kItems; ++i)
                    w.WriteBinaryS("b", bytes);
            });
            benchmark::DoNotOptimize(out.GetBuffer());
        },
        [&] {
            char* p = text.data();
            const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
            for (std::size_t i = 0; i < kItems; ++i) {
                for (std::size_t k = 0; k < kBytes; k += 48) {
                    std::memcpy(p, "    ", 4);
                    const int n = static_cast<int>(std::min<std::size_t>(48, kBytes - k));
#ifdef KRSTD_HAVE_OPENSSL
                    p += 4 + EVP_EncodeBlock(reinterpret_cast<unsigned char*>(p + 4), s + k, n);
#else
                    std::memcpy(p + 4, s + k, static_cast<std::size_t>(n));
                    p += 4 + n * 4 / 3;
#endif
                    *p++ = '\n';
                }
            }
            benchmark::DoNotOptimize(text.data());
        });
}

} // namespace

BENCHMARK(BM_StringItems_Writer_vs_PugixmlSave)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DoubleItems_Writer_vs_Snprintf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BinaryItems_Writer_vs_OpenSSL)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
