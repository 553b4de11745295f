// Machine facts from Qt, sysinfo and sysconf; process facts from the environment and /proc.
#include "System/KrSysInfo.h"

#include "System/KrThreads.h"

#include <QString>
#include <QSysInfo>
#include <QThread>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sys/sysinfo.h>
#include <unistd.h>

TKrSysInfo::TKrSysInfo() {
    m_architecture = QSysInfo::currentCpuArchitecture().toStdString();
    m_is64bit = m_architecture.find("64") != std::string::npos;
    m_processors = std::size_t(std::max(QThread::idealThreadCount(), 0));
    const long page = ::sysconf(_SC_PAGESIZE);
    m_pageSize = page > 0 ? std::uint64_t(page) : 4096;
    struct sysinfo si {};
    if (::sysinfo(&si) == 0) {
        m_physical = std::uint64_t(si.totalram) * si.mem_unit;
        m_swap = std::uint64_t(si.totalswap) * si.mem_unit;
    } else {
        m_physical = m_swap = 0;
    }
    m_virtual = m_physical + m_swap;
}

const TKrSysInfo& TKrSysInfo::Instance() {
    static const TKrSysInfo info;
    return info;
}

std::size_t TKrSysInfo::threadsCount() {
    return KrGetThreadsCount();
}

std::string KrGetUserName() {
    const char* name = std::getenv("USERNAME");
    if (!name || !*name) name = std::getenv("USER");
    return name ? QString::fromLocal8Bit(name).toStdString() : std::string();
}

std::string KrGetComputerName() {
    return QSysInfo::machineHostName().toStdString();
}

bool KrIs64bitSystem() {
    return TKrSysInfo::Instance().is64bit();
}

bool KrGetCurrentProcessMemoryInfo(std::uint64_t* residentBytes, std::uint64_t* peakBytes,
                                   std::uint64_t* privateBytes) {
    for (std::uint64_t* out : {residentBytes, peakBytes, privateBytes})
        if (out) *out = 0;
    // "size resident shared text lib data dt", in pages.
    std::ifstream statm("/proc/self/statm");
    std::string line;
    if (!std::getline(statm, line)) return false;
    const std::size_t space = line.find(' ');
    if (space == std::string::npos) return false;
    std::uint64_t resident = 0;
    const char* first = line.data() + space + 1;
    const char* last = line.data() + line.size();
    auto [end, ec] = std::from_chars(first, last, resident);
    if (ec != std::errc() || end == first) return false;
    if (residentBytes) *residentBytes = resident * TKrSysInfo::Instance().pageSize();
    return true;
}
