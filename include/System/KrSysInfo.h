// Facts about the machine and the running process: architecture, memory, user and host names.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstdint>
#include <string>

/// The machine, read once on first use (Instance(), thread-safe). Sizes are in bytes.
class KRSTD_API TKrSysInfo {
public:
    static const TKrSysInfo& Instance();

    /// True when the processor architecture's name contains "64".
    bool is64bit() const noexcept { return m_is64bit; }
    /// The number of processors work can be spread over (Qt's ideal thread count).
    std::size_t processorCount() const noexcept { return m_processors; }
    /// The processor architecture as Qt names it ("x86_64", "arm64", ...).
    const std::string& architecture() const noexcept { return m_architecture; }
    std::uint64_t pageSize() const noexcept { return m_pageSize; }
    std::uint64_t totalPhysicalMemory() const noexcept { return m_physical; }
    std::uint64_t totalSwap() const noexcept { return m_swap; }
    /// Physical memory plus swap.
    std::uint64_t totalVirtualMemory() const noexcept { return m_virtual; }
    /// The worker threads parallel algorithms use on this machine: KrGetThreadsCount().
    static std::size_t threadsCount();

private:
    TKrSysInfo();

    bool m_is64bit;
    std::size_t m_processors;
    std::string m_architecture;
    std::uint64_t m_pageSize;
    std::uint64_t m_physical;
    std::uint64_t m_swap;
    std::uint64_t m_virtual;
};

/// The user: the environment variable USERNAME, or USER when that is unset or empty (decoded
/// from the local 8-bit encoding to UTF-8).
KRSTD_API std::string KrGetUserName();
/// The host name.
KRSTD_API std::string KrGetComputerName();
/// TKrSysInfo::Instance().is64bit().
KRSTD_API bool KrIs64bitSystem();
/// Sets all outputs to 0, then stores this process's resident memory in bytes (resident pages
/// of /proc/self/statm times the page size) in `residentBytes`. The other two outputs are kept
/// for callers written against systems that report peak and private figures; they stay 0.
/// Returns whether the resident figure was read. Null outputs are skipped.
KRSTD_API bool KrGetCurrentProcessMemoryInfo(std::uint64_t* residentBytes, std::uint64_t* peakBytes,
                                             std::uint64_t* privateBytes);
