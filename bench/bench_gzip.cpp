// Gzip streams on XIni-shaped text: TKrGZipReader against zlib's own raw-inflate loop over the
// same compressed memory, TKrGZipWriter at level 6 against zlib's raw deflate with the same
// parameters (100 MiB, warm: every buffer is allocated and touched before timing, and reused).
// Loading a gzip-compressed XIni document whole against the streaming load it replaced, and the
// parallel writer against zlib level 6, on KRSTD_BENCH_GZ_MIB MiB (16 unless set).
#include "KrBenchCompare.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrGZipReader.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrMemoryStream.h"
#include "XIni/KrBigBuffer.h"
#include "XIni/KrXIniLoad.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>

namespace {
constexpr std::size_t kTextSize = 100u << 20;
constexpr std::size_t kChunk = 1u << 20; // what a caller reads or writes at a time

/// Settings items as the XIni writers produce them, with varying names and values.
std::string MakeXIniText(std::size_t size) {
    std::string s =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<!DOCTYPE krini SYSTEM \"krini4.dtd\">\n<krini>\n";
    s.reserve(size + 512);
    char item[256];
    unsigned seed = 12345;
    for (unsigned i = 0; s.size() < size - 16; ++i) {
        seed = seed * 1103515245u + 12345u;
        std::snprintf(item, sizeof item,
                      "<x n=\"s%u\"><i n=\"k\" v=\"%u\"/><d n=\"p\" v=\"%u.%u\"/><s n=\"t%u\" "
                      "v=\"a&amp;b %u\"/></x>\n",
                      i % 1000, seed >> 12, (seed >> 4) % 10000, seed % 97, i % 7, (seed >> 20) % 500);
        s += item;
    }
    s.resize(size - 9);
    s += "</krini>\n";
    return s;
}

const std::string& XIniText() {
    static const std::string text = MakeXIniText(kTextSize);
    return text;
}

/// The adjustable-size text of the load and parallel-write comparisons.
const std::string& SizedText() {
    static const std::string text = [] {
        const char* mib = std::getenv("KRSTD_BENCH_GZ_MIB");
        const long n = mib ? std::atol(mib) : 0;
        return MakeXIniText(std::size_t(n > 0 ? n : 16) << 20);
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

/// Our side of the read benchmarks: the whole member in kChunk reads; returns the bytes read.
std::size_t ReadWhole(TKrGZipReader& reader, TKrFixedMemStream& source, std::vector<char>& out) {
    reader.Open(&source);
    std::size_t total = 0;
    for (streamsize_t got; (got = reader.Read(out.data(), kChunk)) > 0;)
        total += static_cast<std::size_t>(got);
    benchmark::DoNotOptimize(out.data());
    return total;
}

void BM_Read_GZipReader_vs_RawInflate(benchmark::State& state) {
    static TPacked packed;
    std::vector<char> out(kChunk, 1);
    TKrFixedMemStream source(packed.gz.GetBuffer(), packed.gz.getSize());
    TKrGZipReader reader;
    z_stream z{};
    inflateInit2(&z, -15);
    std::size_t oursTotal = 0, peerTotal = 0;
    KrBenchCompareCpu(
        state, kTextSize, 0, [&] { oursTotal = ReadWhole(reader, source, out); },
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

/// The same work on both sides: zlib decoding the gzip format itself (header, trailer, CRC-32 and
/// size checked by zlib) against TKrGZipReader, which checks them with its own code.
void BM_Read_GZipReader_vs_ZlibGzipInflate(benchmark::State& state) {
    static TPacked packed;
    std::vector<char> out(kChunk, 1);
    TKrFixedMemStream source(packed.gz.GetBuffer(), packed.gz.getSize());
    TKrGZipReader reader;
    z_stream z{};
    inflateInit2(&z, 16 + 15);
    std::size_t oursTotal = 0, peerTotal = 0;
    int peerEnd = Z_OK;
    KrBenchCompareCpu(
        state, kTextSize, 0, [&] { oursTotal = ReadWhole(reader, source, out); },
        [&] {
            inflateReset(&z);
            z.next_in = reinterpret_cast<Bytef*>(packed.gz.GetBuffer());
            z.avail_in = static_cast<uInt>(packed.gz.getSize());
            peerTotal = 0;
            int rc = Z_OK;
            while (rc == Z_OK) {
                z.next_out = reinterpret_cast<Bytef*>(out.data());
                z.avail_out = kChunk;
                rc = inflate(&z, Z_NO_FLUSH);
                peerTotal += kChunk - z.avail_out;
            }
            peerEnd = rc;
            benchmark::DoNotOptimize(out.data());
        });
    inflateEnd(&z);
    if (oursTotal != kTextSize || peerTotal != kTextSize || peerEnd != Z_STREAM_END)
        state.SkipWithError("decompressed size differs or zlib did not accept the trailer");
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
/// The load as it was before whole members: the stream copied into a buffer, then inflated
/// through TKrGZipReader in 16 MiB reads into a buffer sized from the trailer.
std::size_t StreamingLoad(TKrStream& stream) {
    using KrXIniInternal::TKrBigBuffer;
    const std::size_t size = stream.getSize64();
    TKrBigBuffer packed(size + 1);
    stream.setPosition64(0);
    stream.ReadAll(packed.get(), size);
    TKrFixedMemStream source(packed.get(), size);
    TKrGZipReader reader;
    reader.Open(&source);
    std::size_t capacity =
        std::max<std::size_t>(std::min<std::size_t>(reader.getSize64(), size * 1032 + 4096), 4096);
    TKrBigBuffer out(capacity + 1);
    std::size_t produced = 0;
    for (;;) {
        if (produced == capacity) {
            TKrBigBuffer bigger(capacity + capacity / 2 + 1);
            std::memcpy(bigger.get(), out.get(), produced);
            out = std::move(bigger);
            capacity += capacity / 2;
        }
        const std::size_t want = std::min<std::size_t>(16u << 20, capacity - produced);
        const streamsize_t got = reader.Read(out.get() + produced, want);
        produced += got;
        if (got < streamsize_t(want)) break;
    }
    return produced;
}

// Cold on both sides, as a load is: each makes fresh buffers for the copy and the text.
void BM_Load_XIniGz_Whole_vs_Streaming(benchmark::State& state) {
    const std::string& text = SizedText();
    TKrMemoryStream gz;
    TKrGZipWriter writer;
    writer.Open(&gz, 6);
    writer.Write(text.data(), text.size());
    writer.Close();
    TKrFixedMemStream stream(gz.GetBuffer(), gz.getSize());
    std::size_t oursSize = 0, peerSize = 0;
    KrBenchCompareCpu(
        state, text.size(), 0,
        [&] {
            KrXIniInternal::TKrXIniText loaded;
            KrXIniInternal::LoadXIniText(&stream, nullptr, loaded);
            oursSize = loaded.length;
        },
        [&] { peerSize = StreamingLoad(stream); });
    if (oursSize != text.size() || peerSize != text.size()) state.SkipWithError("loaded sizes differ");
}

double ProcessSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// The parallel writer (1 MiB members, the library's two workers) against zlib level 6 on one
// thread. `ratio` is wall-clock time, which needs two idle cores to mean anything; `cpu_ratio`
// compares the processor time both spend (every thread of the process counted), what the
// writer would reach on one core, whatever else the machine runs.
void BM_Write_GZipParallel_vs_ZlibLevel6(benchmark::State& state) {
    using clock = std::chrono::steady_clock;
    const std::string& text = SizedText();
    const std::size_t bound = deflateBound(nullptr, text.size()) + (text.size() >> 10) + 1024;
    std::vector<char> oursOut(bound, 1), peerOut(bound, 1);
    TKrFixedMemStream target(oursOut.data(), bound, krOpenWrite);
    TKrGZipWriter writer;
    writer.SetThreads(2);
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
    std::size_t oursSize = 0, peerSize = 0;
    double oursWall = 0, peerWall = 0, oursCpu = 0, peerCpu = 0;
    for (auto _ : state) {
        const auto w0 = clock::now();
        const double c0 = ProcessSeconds();
        target.setPosition(0);
        writer.Open(&target, 6);
        for (std::size_t at = 0; at < text.size(); at += kChunk)
            writer.Write(text.data() + at, std::min(kChunk, text.size() - at));
        writer.Close();
        oursSize = target.getPosition();
        const auto w1 = clock::now();
        const double c1 = ProcessSeconds();
        deflateReset(&z);
        z.next_out = reinterpret_cast<Bytef*>(peerOut.data());
        z.avail_out = static_cast<uInt>(bound);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
        z.avail_in = static_cast<uInt>(text.size());
        deflate(&z, Z_FINISH);
        peerSize = z.total_out + 18;
        const auto w2 = clock::now();
        const double c2 = ProcessSeconds();
        oursWall += std::chrono::duration<double>(w1 - w0).count();
        peerWall += std::chrono::duration<double>(w2 - w1).count();
        oursCpu += c1 - c0;
        peerCpu += c2 - c1;
    }
    deflateEnd(&z);
    const double gb = double(text.size()) * double(state.iterations()) / 1e9;
    state.counters["ours_GB/s"] = gb / oursWall;
    state.counters["peer_GB/s"] = gb / peerWall;
    state.counters["ratio"] = peerWall / oursWall;
    state.counters["cpu_ratio"] = peerCpu / oursCpu;
    state.counters["size_ratio"] = double(oursSize) / double(peerSize);
}

} // namespace

BENCHMARK(BM_Load_XIniGz_Whole_vs_Streaming)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Write_GZipParallel_vs_ZlibLevel6)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_Read_GZipReader_vs_RawInflate)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Read_GZipReader_vs_ZlibGzipInflate)->Unit(benchmark::kMillisecond)->MinTime(3);
BENCHMARK(BM_Write_GZipWriter_vs_RawDeflate_Level6)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
