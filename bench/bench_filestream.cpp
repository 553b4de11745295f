// File stream: sequential 1 MiB writes and reads of a 64 MiB file through TKrFileStream against
// plain write()/read() on the same file. Warm: the file stays in the page cache across iterations.
#include "KrBenchCompare.h"
#include "Streams/KrFileStream.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {
constexpr std::size_t kBlock = 1 << 20;
constexpr std::size_t kTotal = 64 << 20;

/// A scratch file in the temporary folder, removed at the end.
struct TBenchFile {
    std::string path = TKrPath::tempFile("krstd-bench-XXXXXX.bin").str();
    ~TBenchFile() { std::remove(path.c_str()); }
};

void BM_Write1MiB_FileStream_vs_write(benchmark::State& state) {
    TBenchFile file;
    std::vector<char> block(kBlock, 'w');
    TKrFileStream ours(file.path, krOpenReadWrite);
    int fd = ::open(file.path.c_str(), O_RDWR);
    if (!ours.IsOpen() || fd < 0) {
        state.SkipWithError("cannot open the scratch file");
        return;
    }
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            ours.setPosition64(0);
            for (std::size_t done = 0; done < kTotal; done += kBlock)
                ours.Write(block.data(), kBlock);
        },
        [&] {
            ::lseek(fd, 0, SEEK_SET);
            for (std::size_t done = 0; done < kTotal; done += kBlock)
                if (::write(fd, block.data(), kBlock) != static_cast<ssize_t>(kBlock)) std::abort();
        });
    ::close(fd);
}

void BM_Read1MiB_FileStream_vs_read(benchmark::State& state) {
    TBenchFile file;
    std::vector<char> block(kBlock, 'r');
    {
        TKrFileStream w(file.path, krCreate);
        for (std::size_t done = 0; done < kTotal; done += kBlock)
            w.Write(block.data(), kBlock);
    }
    TKrFileStream ours(file.path, krOpenRead);
    int fd = ::open(file.path.c_str(), O_RDONLY);
    if (!ours.IsOpen() || fd < 0) {
        state.SkipWithError("cannot open the scratch file");
        return;
    }
    KrBenchCompare(
        state, kTotal, 0,
        [&] {
            ours.setPosition64(0);
            for (std::size_t done = 0; done < kTotal; done += kBlock)
                ours.Read(block.data(), kBlock);
            benchmark::DoNotOptimize(block.data());
        },
        [&] {
            ::lseek(fd, 0, SEEK_SET);
            for (std::size_t done = 0; done < kTotal; done += kBlock)
                if (::read(fd, block.data(), kBlock) != static_cast<ssize_t>(kBlock)) std::abort();
            benchmark::DoNotOptimize(block.data());
        });
    ::close(fd);
}
} // namespace

BENCHMARK(BM_Write1MiB_FileStream_vs_write)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read1MiB_FileStream_vs_read)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
