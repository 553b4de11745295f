// The process table read from /proc: process ids, executable names and paths.
#pragma once

#include "Core/KrExport.h"
#include "System/KrPath.h"

#include <cstdint>
#include <string>
#include <vector>

/// One process: its id, its executable's base name and the executable's canonical path. An
/// empty description (id 0) stands for a process whose executable could not be read (gone, or
/// of another user). Every query reads /proc afresh: O(processes) system calls.
struct KRSTD_API TKrSysProcessInfo {
    std::uint64_t id = 0;
    std::string name;
    TKrPath path;

    bool empty() const noexcept { return id == 0; }

    /// The ids of all processes (the numeric entries of /proc).
    static std::vector<std::uint64_t> getRunningProcessesId();
    /// The description of `pid` from its /proc/<pid>/exe link; empty when that does not resolve
    /// to an executable file.
    static TKrSysProcessInfo getProcessInfoByProcessId(std::uint64_t pid);
    static std::uint64_t getCurrentProcessId();
    static TKrSysProcessInfo getCurrentProcessInfo();
    /// The ids of the processes named exactly `name` (case-sensitive) and, when `path` is not
    /// empty, running the executable `path`.
    static std::vector<std::uint64_t> findProcess(const std::string& name, const TKrPath& path = TKrPath());
    static std::vector<TKrSysProcessInfo> findProcessInfo(const std::string& name,
                                                          const TKrPath& path = TKrPath());
    /// True when another process runs this process's executable name (and, with `matchPath`,
    /// its path): another instance of this program is up.
    static bool isCurrentProcessRunning(bool matchPath);
};
