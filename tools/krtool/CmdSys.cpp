// krtool sys: machine facts and the thread budget, the process table, running a program.
#include "KrToolCommand.h"

#include "System/KrLibrary.h"
#include "System/KrProcess.h"
#include "System/KrSysInfo.h"
#include "System/KrSysProcessInfo.h"
#include "System/KrThreads.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace {

int Info() {
    const TKrSysInfo& si = TKrSysInfo::Instance();
    std::uint64_t resident = 0;
    KrGetCurrentProcessMemoryInfo(&resident, nullptr, nullptr);
    std::printf("user\t%s\n", KrGetUserName().c_str());
    std::printf("host\t%s\n", KrGetComputerName().c_str());
    std::printf("architecture\t%s\n", si.architecture().c_str());
    std::printf("64-bit\t%s\n", si.is64bit() ? "yes" : "no");
    std::printf("processors\t%zu\n", si.processorCount());
    std::printf("worker threads\t%zu\n", TKrSysInfo::threadsCount());
    std::printf("page size\t%" PRIu64 "\n", si.pageSize());
    std::printf("physical memory\t%" PRIu64 "\n", si.totalPhysicalMemory());
    std::printf("swap\t%" PRIu64 "\n", si.totalSwap());
    std::printf("virtual memory\t%" PRIu64 "\n", si.totalVirtualMemory());
    std::printf("program\t%s\n", KrGetExecutableFileName().str().c_str());
    std::printf("resident memory\t%" PRIu64 "\n", resident);
    return 0;
}

// One line per process whose executable we may read: id, name, path; sorted by id.
int Ps(const std::vector<std::string>& args) {
    if (args.size() > 2) return KrToolUsage("sys");
    for (std::uint64_t pid : TKrSysProcessInfo::getRunningProcessesId()) {
        const TKrSysProcessInfo p = TKrSysProcessInfo::getProcessInfoByProcessId(pid);
        if (p.empty() || (args.size() == 2 && p.name != args[1])) continue;
        std::printf("%" PRIu64 "\t%s\t%s\n", p.id, p.name.c_str(), p.path.str().c_str());
    }
    return 0;
}

// exec [--timeout MS] PROGRAM [ARG...]: the program's output passes through; its exit code is
// ours. A program that outlives the time-out is terminated and we exit with 124.
int Exec(const std::vector<std::string>& args) {
    std::size_t first = 1;
    std::uint64_t timeoutMs = 0;
    if (args.size() > 2 && args[1] == "--timeout") {
        const std::string& t = args[2];
        auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), timeoutMs);
        if (ec != std::errc() || end != t.data() + t.size() || timeoutMs == 0) return KrToolUsage("sys");
        first = 3;
    }
    if (args.size() <= first) return KrToolUsage("sys");
    TKrProcHandle child;
    TKrExecStatus status;
    const std::vector<std::string> childArgs(args.begin() + std::ptrdiff_t(first) + 1, args.end());
    if (KrExecProcess(TKrPath(args[first]), childArgs, TKrPath(), child, TE_KrExecCondition::ecAlways,
                      &status) != 1) {
        std::fprintf(stderr, "krtool sys: %s: %s\n", args[first].c_str(), status.text.c_str());
        return 127;
    }
    if (!child.wait(timeoutMs)) {
        std::fprintf(stderr, "krtool sys: %s: still running after %" PRIu64 " ms, terminated\n",
                     args[first].c_str(), timeoutMs);
        return 124; // the handle terminates the child as it goes
    }
    const int code = child.exitCode();
    return code < 0 ? 1 : code;
}

int RunSys(const std::vector<std::string>& args) {
    if (args.empty()) return KrToolUsage("sys");
    if (args[0] == "info" && args.size() == 1) return Info();
    if (args[0] == "ps") return Ps(args);
    if (args[0] == "exec") return Exec(args);
    return KrToolUsage("sys");
}

} // namespace

KRTOOL_COMMAND(sys, "sys", "info | ps [NAME] | exec [--timeout MS] PROGRAM [ARG...]",
               "machine facts and thread budget, the process table, or run a program", RunSys);
