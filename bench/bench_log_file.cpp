// Log files and console progress: records through a TKrLogFileStream against fwrite of the same
// records to a FILE (each flush mode), records from two threads against one, and the cost of a
// console progress bar during a gzip compression. Warm: files and buffers are reused. The
// comparisons count the thread's CPU time (system time included), so a busy machine skews less.
//
// KRSTD_BENCH_GZIP_MIB sets the size of the compressed data (default 16 MiB; 100 for the full
// measurement).
#include "Core/KrCmdProgress.h"
#include "Core/KrLog.h"
#include "Core/KrLogFileStream.h"
#include "KrBenchCompare.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrMemoryStream.h"
#include "Utils/KrDateTime.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <thread>

namespace {
constexpr int kRecords = 20000;
const char* const kText = "a record of ordinary length";

std::string TempName(const char* tag) {
    return "/tmp/krstd-bench-" + std::string(tag) + "-" + std::to_string(::getpid()) + ".log";
}

/// Logging up with a log file as the global log stream.
struct TLogFileUp {
    explicit TLogFileUp(TKrLogFileStream::TFlushMode mode) : path(TempName("ours")) {
        KrLogInitialize();
        file->Open(path, krCreate);
        file->SetFlushMode(mode);
        KrLogSetLogV(file);
    }
    ~TLogFileUp() {
        KrLogFinalize();
        file->Close();
        std::remove(path.c_str());
    }
    void Rewind() {
        file->DoFlush();
        file->setSize(0);
    }
    std::string path;
    var_a<TKrLogFileStream*> file = new_a<TKrLogFileStream>();
};

/// state.range(0): the flush mode (0 never, 2 always); the peer flushes its FILE after each record
/// in mode 2 and never otherwise.
void BM_LogFile_vs_Fwrite(benchmark::State& state) {
    const auto mode = static_cast<TKrLogFileStream::TFlushMode>(state.range(0));
    TLogFileUp log(mode);
    const std::string peerPath = TempName("peer");
    std::FILE* peer = std::fopen(peerPath.c_str(), "w");
    KrBenchCompareCpu(
        state, 0, kRecords,
        [&] {
            log.Rewind();
            for (int i = 0; i < kRecords; ++i)
                KrLogWriteInfo("bench", kText, 3, 0);
        },
        [&] {
            std::fflush(peer);
            (void)::ftruncate(::fileno(peer), 0);
            std::rewind(peer);
            for (int i = 0; i < kRecords; ++i) {
                const std::string time = TKrDateTime::Current().ToRFCString();
                std::string record = "\n" + time + "\tI3\tbench\t" + kText + "\n";
                std::fwrite(record.data(), 1, record.size(), peer);
                if (mode == TKrLogFileStream::fmAlways) std::fflush(peer);
            }
        });
    std::fclose(peer);
    std::remove(peerPath.c_str());
}

/// state.range(0) threads write kRecords records in all into the log file; workers' records
/// go through the queue and the owner writes them.
void BM_LogFileThreads(benchmark::State& state) {
    TLogFileUp log(TKrLogFileStream::fmAlways);
    const int threads = static_cast<int>(state.range(0));
    for (auto _ : state) {
        log.Rewind();
        if (threads == 1) {
            for (int i = 0; i < kRecords; ++i)
                KrLogWriteInfo("bench", kText, 3, 0);
            continue;
        }
        auto work = [&] {
            for (int i = 0; i < kRecords / threads; ++i)
                KrLogWriteWarning("worker", kText);
        };
        std::vector<std::thread> pool;
        for (int t = 0; t < threads; ++t)
            pool.emplace_back(work);
        for (auto& t : pool)
            t.join();
        KrLogWriteQueue();
    }
    state.counters["records/s"] =
        benchmark::Counter(double(kRecords) * state.iterations(), benchmark::Counter::kIsRate);
}

std::size_t GzipBytes() {
    const char* env = std::getenv("KRSTD_BENCH_GZIP_MIB");
    const long mib = env ? std::atol(env) : 16;
    return static_cast<std::size_t>(mib > 0 ? mib : 16) << 20;
}

/// Compressible data: words drawn from a small vocabulary.
const std::string& GzipInput() {
    static const std::string data = [] {
        std::string s;
        s.reserve(GzipBytes());
        std::mt19937 gen(1);
        const char* words[] = {"alpha ", "beta ", "gamma ", "delta ", "epsilon ", "zeta ", "eta ", "theta\n"};
        while (s.size() < GzipBytes())
            s += words[gen() % 8];
        s.resize(GzipBytes());
        return s;
    }();
    return data;
}

void Compress(TKrMemoryStream& out, TKrProgressHandler* progress) {
    const std::string& in = GzipInput();
    out.setSize(0);
    out.setPosition(0);
    TKrGZipWriter writer;
    writer.Open(&out, TKrGZipFileInfo(), 6);
    constexpr std::size_t kChunk = 64 << 10;
    const double step = double(kChunk) / double(in.size());
    for (std::size_t at = 0; at < in.size(); at += kChunk) {
        const std::size_t n = std::min(kChunk, in.size() - at);
        writer.Write(in.data() + at, static_cast<streamsize_t>(n));
        if (progress) {
            progress->MoveNB(step, false);
            progress->Tick();
        }
    }
    writer.Close();
}

/// Ours: the compression with an interactive console bar (drawn into /dev/null); peer: without.
/// The ratio is the cost: 0.99 means the bar takes 1 %.
void BM_GzipWithConsoleProgress(benchmark::State& state) {
    std::FILE* sink = std::fopen("/dev/null", "w");
    (void)GzipInput(); // made before timing starts
    TKrMemoryStream withBar, without;
    KrBenchCompareCpu(
        state, GzipBytes(), 0,
        [&] {
            TKrCmdProgressImpl bar(sink);
            bar.MakeInteractive();
            bar.SetMessage("gzip");
            bar.Start();
            Compress(withBar, &bar);
            bar.Stop();
        },
        [&] { Compress(without, nullptr); });
    std::fclose(sink);
}
} // namespace

BENCHMARK(BM_LogFile_vs_Fwrite)
    ->Arg(TKrLogFileStream::fmAlways)
    ->Arg(TKrLogFileStream::fmNever)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LogFileThreads)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GzipWithConsoleProgress)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
