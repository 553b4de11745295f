// Process facts read from the system: the executable, memory available, address-space limits.
#include "Core/KrRunFacts.h"

#include <sys/resource.h>
#include <unistd.h>

#include <charconv>
#include <fstream>

namespace KrRunFacts {
namespace {

/// The value in kB of "name:" in a /proc status-style file, in bytes; 0 when missing.
std::uint64_t ProcKiB(const char* file, const std::string& name) {
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, name.size(), name) != 0 || line.size() <= name.size() || line[name.size()] != ':')
            continue;
        std::size_t p = line.find_first_not_of(" \t", name.size() + 1);
        if (p == std::string::npos) return 0;
        std::uint64_t v = 0;
        std::from_chars(line.data() + p, line.data() + line.size(), v);
        return v * 1024;
    }
    return 0;
}

} // namespace

std::string ExecutablePath() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

TMemory Memory() {
    TMemory m;
    m.physical.total = ProcKiB("/proc/meminfo", "MemTotal");
    m.physical.avail = ProcKiB("/proc/meminfo", "MemAvailable");
    m.page.total = ProcKiB("/proc/meminfo", "SwapTotal");
    m.page.avail = ProcKiB("/proc/meminfo", "SwapFree");
    m.virt.total = std::uint64_t(1) << 47;
    const std::uint64_t used = ProcKiB("/proc/self/status", "VmSize");
    m.virt.avail = used < m.virt.total ? m.virt.total - used : 0;
    return m;
}

void AddressSpaceLimits(std::uint64_t& soft, std::uint64_t& hard) {
    struct rlimit r;
    soft = hard = 0;
    if (::getrlimit(RLIMIT_AS, &r) != 0) return;
    if (r.rlim_cur != RLIM_INFINITY) soft = r.rlim_cur;
    if (r.rlim_max != RLIM_INFINITY) hard = r.rlim_max;
}

} // namespace KrRunFacts
