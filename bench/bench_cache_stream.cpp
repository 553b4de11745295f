// Cache and checksum streams. Random 4 KiB reads through a cache of 64 pages of 64 KiB over a
// file stream against the same reads straight on the file stream (files of 4 MiB, which the
// cache holds whole, and 64 MiB, which it does not); sequential 16-byte writes through the cache
// against straight writes; and checksummed reading against reading and then calling crc32.
// Warm: the files stay in the page cache and the streams and pages are reused across iterations.
#include "KrBenchCompare.h"
#include "Streams/KrCacheStream.h"
#include "Streams/KrCrc32Stream.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrMemoryStream.h"
#include "System/KrPath.h"
#include "Utils/KrCrc32.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr std::size_t kRead = 4096;
constexpr std::size_t kReadsPerIteration = 4096;
constexpr TKrCacheStream::TCacheParams kParams{64 << 10, 64};

/// A scratch file in the temporary folder, removed at the end.
struct TBenchFile {
    std::string path = TKrPath::tempFile("krstd-bench-XXXXXX.bin").str();
    ~TBenchFile() { std::remove(path.c_str()); }
};

void BM_RandomRead4KiB_Cache_vs_FileStream(benchmark::State& state) {
    const std::size_t fileSize = static_cast<std::size_t>(state.range(0)) << 20;
    TBenchFile file;
    {
        std::vector<char> block(1 << 20);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<char>(i * 131);
        TKrFileStream w(file.path, krCreate);
        for (std::size_t done = 0; done < fileSize; done += block.size())
            w.Write(block.data(), block.size());
    }
    auto cachedFile = new_a<TKrFileStream>(TKrPath(file.path), krOpenRead);
    TKrFileStream plain(TKrPath(file.path), krOpenRead);
    if (!cachedFile->IsOpen() || !plain.IsOpen()) {
        state.SkipWithError("cannot open the scratch file");
        return;
    }
    TKrCacheStream cache(cachedFile, kParams, false);
    std::mt19937_64 rng(42);
    std::vector<std::uint64_t> offsets(kReadsPerIteration);
    for (auto& o : offsets)
        o = rng() % (fileSize / kRead) * kRead;
    std::vector<char> buf(kRead);
    KrBenchCompare(
        state, kRead * kReadsPerIteration, 0,
        [&] {
            for (std::uint64_t o : offsets) {
                cache.setPosition64(o);
                if (cache.Read(buf.data(), kRead) != kRead) std::abort();
            }
            benchmark::DoNotOptimize(buf.data());
        },
        [&] {
            for (std::uint64_t o : offsets) {
                plain.setPosition64(o);
                if (plain.Read(buf.data(), kRead) != kRead) std::abort();
            }
            benchmark::DoNotOptimize(buf.data());
        });
}

void BM_SequentialWrite16_Cache_vs_FileStream(benchmark::State& state) {
    constexpr std::size_t kTotal = 4 << 20;
    const char record[17] = "0123456789abcdef";
    TBenchFile cachedPath, plainPath;
    auto cachedFile = new_a<TKrFileStream>(TKrPath(cachedPath.path), krCreate);
    TKrFileStream plain(TKrPath(plainPath.path), krCreate);
    if (!cachedFile->IsOpen() || !plain.IsOpen()) {
        state.SkipWithError("cannot open the scratch files");
        return;
    }
    TKrCacheStream cache(cachedFile, kParams, false);
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            cache.setPosition64(0);
            for (std::size_t done = 0; done < kTotal; done += 16)
                cache.Write(record, 16);
            if (!cache.Flush()) std::abort();
        },
        [&] {
            plain.setPosition64(0);
            for (std::size_t done = 0; done < kTotal; done += 16)
                plain.Write(record, 16);
        });
}

void BM_ReadWithCrc_Crc32Stream_vs_ReadThenCrc32(benchmark::State& state) {
    constexpr std::size_t kTotal = 64 << 20;
    const std::size_t block = static_cast<std::size_t>(state.range(0));
    auto source = new_a<TKrMemoryStream>();
    source->setSize(kTotal);
    for (std::size_t i = 0; i < kTotal; ++i)
        source->GetBuffer()[i] = static_cast<char>(i * 7 + (i >> 9));
    std::vector<char> buf(block);
    std::uint32_t sink = 0;
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            source->setPosition(0);
            TKrCrc32Stream crc(source, nullptr, 0);
            while (crc.Read(buf.data(), block) == block) {
            }
            sink ^= static_cast<std::uint32_t>(crc.GetCrc32());
        },
        [&] {
            source->setPosition(0);
            std::uint32_t sum = 0;
            streamsize_t got;
            while ((got = source->Read(buf.data(), block)) != 0)
                sum = crc32(sum, buf.data(), got);
            sink ^= sum;
        });
    benchmark::DoNotOptimize(sink);
}
} // namespace

BENCHMARK(BM_RandomRead4KiB_Cache_vs_FileStream)->Arg(4)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SequentialWrite16_Cache_vs_FileStream)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadWithCrc_Crc32Stream_vs_ReadThenCrc32)
    ->Arg(4096)
    ->Arg(64 << 10)
    ->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
