// Tar archives in memory: writing and reading ~256 MiB in 1,000 files against copying the same
// bytes with memcpy (the bound any archiver in memory meets), and a tarball at level 6 against
// our gzip writer alone on the same bytes. Warm: buffers are allocated and touched once, reused.
#include "KrBenchCompare.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrTarBall.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {
constexpr std::size_t kFiles = 1000;
constexpr std::size_t kFileSize = 268435; // 1,000 files of this make ~256 MiB
constexpr std::size_t kTotal = kFiles * kFileSize;

const std::vector<char>& Payload() {
    static const std::vector<char> data = [] {
        std::vector<char> d(kTotal);
        unsigned seed = 7;
        for (char& c : d)
            c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
        return d;
    }();
    return data;
}

std::string FileName(std::size_t i) {
    char name[64];
    std::snprintf(name, sizeof name, "project/images/tile_%04zu.bin", i);
    return name;
}

void WriteArchive(TKrTarWriter& writer, const char* data, std::size_t files, std::size_t fileSize) {
    const TKrDateTime t = TKrDateTime::FromUnixTime(1700000000);
    for (std::size_t i = 0; i < files; ++i)
        writer.WriteFile({FileName(i), fileSize, t}, data + i * fileSize, nullptr);
}

void BM_TarWrite_vs_Memcpy(benchmark::State& state) {
    const std::vector<char>& data = Payload();
    TKrMemoryStream archive;
    const std::size_t capacity = kTotal + kFiles * 1024 + 4096;
    archive.setSize(capacity); // touched once, so no iteration pays the first-touch faults
    std::memset(archive.GetBuffer(), 1, capacity);
    // The peer puts the same bytes where the archive has them (behind each 512-byte header,
    // padded to whole records): the same alignments, so only the archiving work differs.
    constexpr std::size_t kStride = 512 + (kFileSize + 511) / 512 * 512;
    std::vector<char> copy(kFiles * kStride, 1);
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            archive.setSize(0);
            TKrTarWriter writer(&archive, TKrTarWriter::TFormatOptions(), 0);
            WriteArchive(writer, data.data(), kFiles, kFileSize);
            writer.Close();
            benchmark::DoNotOptimize(archive.GetBuffer());
        },
        [&] {
            for (std::size_t i = 0; i < kFiles; ++i)
                std::memcpy(copy.data() + i * kStride + 512, data.data() + i * kFileSize, kFileSize);
            benchmark::DoNotOptimize(copy.data());
        });
}

/// The archive of the payload, made once.
TKrMemoryStream& Archive() {
    static TKrMemoryStream archive;
    if (archive.getSize() == 0) {
        TKrTarWriter writer(&archive, TKrTarWriter::TFormatOptions(), 0);
        WriteArchive(writer, Payload().data(), kFiles, kFileSize);
        writer.Close();
    }
    return archive;
}

struct TSink {
    std::vector<char> buffer = std::vector<char>(kFileSize, 1);
    std::size_t bytes = 0;
};

void Drain(const TTarFileRecord&, TKrStream* data, void* user) {
    auto* sink = static_cast<TSink*>(user);
    for (streamsize_t got; (got = data->Read(sink->buffer.data(), sink->buffer.size())) > 0;)
        sink->bytes += got;
}

void BM_TarReadCallback_vs_Memcpy(benchmark::State& state) {
    TKrMemoryStream& archive = Archive();
    std::vector<char> copy(kFileSize, 1);
    TSink sink;
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            TKrFixedMemStream source(archive.GetBuffer(), archive.getSize());
            TKrTarReader reader(&source, TKrTarReader::TFormatOptions());
            sink.bytes = 0;
            while (reader.ReadFile(Drain, &sink)) {
            }
            benchmark::DoNotOptimize(sink.buffer.data());
        },
        [&] {
            for (std::size_t i = 0; i < kFiles; ++i)
                std::memcpy(copy.data(), Payload().data() + i * kFileSize, kFileSize);
            benchmark::DoNotOptimize(copy.data());
        });
    if (sink.bytes != kTotal) state.SkipWithError("read a different amount");
}

void BM_TarReadToArrays_vs_Memcpy(benchmark::State& state) {
    TKrMemoryStream& archive = Archive();
    std::vector<char> copy(kFileSize, 1);
    std::size_t total = 0;
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            TKrFixedMemStream source(archive.GetBuffer(), archive.getSize());
            TKrTarReader reader(&source, TKrTarReader::TFormatOptions());
            TTarFileRecord r;
            var_a<char*> data;
            total = 0;
            while (reader.ReadFile(&r, &data))
                total += r.size;
            benchmark::DoNotOptimize(data.get());
        },
        [&] {
            for (std::size_t i = 0; i < kFiles; ++i)
                std::memcpy(copy.data(), Payload().data() + i * kFileSize, kFileSize);
            benchmark::DoNotOptimize(copy.data());
        });
    if (total != kTotal) state.SkipWithError("read a different amount");
}

// Level 6 deflates at ~50 MB/s here: 32 MiB of compressible text in 128 files keeps it short.
constexpr std::size_t kBallFiles = 128;
constexpr std::size_t kBallFileSize = 256 * 1024;

const std::string& BallText() {
    static const std::string text = [] {
        std::string s;
        char line[128];
        unsigned seed = 99;
        while (s.size() < kBallFiles * kBallFileSize) {
            seed = seed * 1103515245u + 12345u;
            std::snprintf(line, sizeof line, "<i n=\"p%u\" v=\"%u.%u\"/>\n", seed % 500, seed >> 12,
                          seed % 97);
            s += line;
        }
        s.resize(kBallFiles * kBallFileSize);
        return s;
    }();
    return text;
}

void BM_TarBallWrite_vs_GZipWriter_Level6(benchmark::State& state) {
    const std::string& text = BallText();
    TKrMemoryStream ours, peer;
    ours.Reserve(text.size());
    peer.Reserve(text.size());
    TKrGZipWriter gzip;
    KrBenchCompare(
        state, text.size(), 0,
        [&] {
            ours.setSize(0);
            TKrTarBallWriter ball(&ours, TKrTarWriter::TFormatOptions(), 6);
            WriteArchive(ball, text.data(), kBallFiles, kBallFileSize);
            ball.Close();
        },
        [&] {
            peer.setSize(0);
            gzip.Open(&peer, 6);
            for (std::size_t i = 0; i < kBallFiles; ++i)
                gzip.Write(text.data() + i * kBallFileSize, kBallFileSize);
            gzip.Close();
        });
    state.counters["size_ratio"] = double(ours.getSize()) / double(peer.getSize());
}
} // namespace

BENCHMARK(BM_TarWrite_vs_Memcpy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_TarReadCallback_vs_Memcpy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_TarReadToArrays_vs_Memcpy)->Unit(benchmark::kMillisecond)->MinTime(2);
BENCHMARK(BM_TarBallWrite_vs_GZipWriter_Level6)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK_MAIN();
