// Facts about the running process for the header of a log file (the machine's are TKrSysInfo's).
#pragma once

#include <cstdint>
#include <string>

namespace KrRunFacts {

/// Available and total amounts in bytes.
struct TAmount {
    std::uint64_t avail = 0;
    std::uint64_t total = 0;
};

struct TMemory {
    TAmount physical; // MemAvailable / MemTotal
    TAmount page;     // free / total swap
    TAmount virt;     // address space left / user address space (47 bits on x86-64)
};

/// The executable's full path ("/proc/self/exe"); empty when it cannot be read.
std::string ExecutablePath();
/// From /proc/meminfo and /proc/self/status; zeros where a value cannot be read.
TMemory Memory();
/// Soft and hard limits of the address space (RLIMIT_AS); 0 when unlimited.
void AddressSpaceLimits(std::uint64_t& soft, std::uint64_t& hard);

} // namespace KrRunFacts
