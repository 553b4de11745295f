// Gzip streams on 100 MiB of XIni-shaped text: TKrGZipReader against zlib's own raw-inflate loop
// over the same compressed memory, TKrGZipWriter at level 6 against zlib's raw deflate with the
// same parameters. Warm: every buffer is allocated and touched before timing, and reused.
#include "KrBenchCompare.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrGZipReader.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrMemoryStream.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

namespace {
constexpr std::size_t kTextSize = 100u << 20;
constexpr std::size_t kChunk = 1u << 20; // what a caller reads or writes at a time

/// Settings items as the XIni writers produce them, with varying names and values.
const std::string& XIniText() {
    static const std::string text = [] {
        std::string s =
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE krini SYSTEM \"krini4.dtd\">\n<krini>\n";
        s.reserve(kTextSize + 512);
        char item[256];
        unsigned seed = 12345;
        for (unsigned i = 0; s.size() < kTextSize - 16; ++i) {
            seed = seed * 1103515245u + 12345u;
            std::snprintf(item, sizeof item,
                          "<x n=\"s%u\"><i n=\"k\" v=\"%u\"/><d n=\"p\" v=\"%u.%u\"/><s n=\"t%u\" "
                          "v=\"a&amp;b %u\"/></x>\n",
                          i % 1000, seed >> 12, (seed >> 4) % 10000, seed % 97, i % 7, (seed >> 20) % 500);
            s += item;
        }
        s.resize(kTextSize - 9);
        s += "</krini>\n";
        return s;
    }();
    return text;
}

/// The text as one gzip member (our writer, level 6) and where its deflate data lies.
struct TPacked {
    TKrMemoryStream gz;
    std::size_t deflateOffset = 10, deflateSize = 0;
    TPacked() {
        TKrGZipWriter writer;
        writer.Open(&gz, 6);
        writer.Write(XIniText().data(), XIniText().size());
        writer.Close();
        deflateSize = gz.getSize() - deflateOffset - 8;
    }
};

void BM_Read_GZipReader_vs_RawInflate(benchmark::State& state) {
    static TPacked packed;
    std::vector<char> out(kChunk, 1);
    TKrFixedMemStream source(packed.gz.GetBuffer(), packed.gz.getSize());
    TKrGZipReader reader;
    z_stream z{};
    inflateInit2(&z, -15);
    std::size_t oursTotal = 0, peerTotal = 0;
    KrBenchCompareCpu(
        state, kTextSize, 0,
        [&] {
            reader.Open(&source);
            oursTotal = 0;
            for (streamsize_t got; (got = reader.Read(out.data(), kChunk)) > 0;)
                oursTotal += got;
            benchmark::DoNotOptimize(out.data());
        },
        [&] {
            inflateReset(&z);
            z.next_in = reinterpret_cast<Bytef*>(packed.gz.GetBuffer() + packed.deflateOffset);
            z.avail_in = static_cast<uInt>(packed.deflateSize);
            peerTotal = 0;
            for (int rc = Z_OK; rc == Z_OK;) {
                z.next_out = reinterpret_cast<Bytef*>(out.data());
                z.avail_out = kChunk;
                rc = inflate(&z, Z_NO_FLUSH);
                peerTotal += kChunk - z.avail_out;
            }
            benchmark::DoNotOptimize(out.data());
        });
    inflateEnd(&z);
    if (oursTotal != kTextSize || peerTotal != kTextSize) state.SkipWithError("decompressed size differs");
    state.counters["ratio_compressed"] = double(packed.gz.getSize()) / kTextSize;
}

void BM_Write_GZipWriter_vs_RawDeflate_Level6(benchmark::State& state) {
    const std::string& text = XIniText();
    const std::size_t bound = deflateBound(nullptr, text.size()) + 1024;
    std::vector<char> oursOut(bound, 1), peerOut(bound, 1);
    TKrFixedMemStream target(oursOut.data(), bound, krOpenWrite);
    TKrGZipWriter writer;
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::size_t oursSize = 0, peerSize = 0;
    KrBenchCompareCpu(
        state, kTextSize, 0,
        [&] {
            target.setPosition(0);
            writer.Open(&target, 6);
            for (std::size_t at = 0; at < text.size(); at += kChunk)
                writer.Write(text.data() + at, std::min(kChunk, text.size() - at));
            writer.Close();
            oursSize = target.getPosition();
        },
        [&] {
            deflateReset(&z);
            z.next_out = reinterpret_cast<Bytef*>(peerOut.data());
            z.avail_out = static_cast<uInt>(bound);
            for (std::size_t at = 0; at < text.size(); at += kChunk) {
                z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data() + at));
                z.avail_in = static_cast<uInt>(std::min(kChunk, text.size() - at));
                deflate(&z, Z_NO_FLUSH);
            }
            deflate(&z, Z_FINISH);
            peerSize = z.total_out;
        });
    deflateEnd(&z);
    if (oursSize != peerSize + 18)
        state.SkipWithError("compressed sizes differ by more than header and trailer");
}
} // namespace

BENCHMARK(BM_Read_GZipReader_vs_RawInflate)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Write_GZipWriter_vs_RawDeflate_Level6)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
