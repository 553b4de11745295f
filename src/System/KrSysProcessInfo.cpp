// The process table from /proc: ids from the numeric entries, names and paths from the exe links.
#include "System/KrSysProcessInfo.h"

#include <QFileInfo>

#include <charconv>
#include <dirent.h>
#include <unistd.h>

namespace {
bool ParsePid(const char* text, std::uint64_t& pid) {
    const char* end = text + std::char_traits<char>::length(text);
    auto [ptr, ec] = std::from_chars(text, end, pid);
    return ec == std::errc() && ptr == end && ptr != text && pid != 0;
}

template <class F> void ForEachMatch(const std::string& name, const TKrPath& path, F&& f) {
    for (std::uint64_t pid : TKrSysProcessInfo::getRunningProcessesId()) {
        TKrSysProcessInfo info = TKrSysProcessInfo::getProcessInfoByProcessId(pid);
        if (info.empty() || info.name != name) continue;
        if (!path.isPathEmpty() && !(info.path == path)) continue;
        f(std::move(info));
    }
}
} // namespace

std::vector<std::uint64_t> TKrSysProcessInfo::getRunningProcessesId() {
    std::vector<std::uint64_t> ids;
    DIR* dir = ::opendir("/proc");
    if (!dir) return ids;
    while (const dirent* entry = ::readdir(dir)) {
        std::uint64_t pid;
        if (ParsePid(entry->d_name, pid)) ids.push_back(pid);
    }
    ::closedir(dir);
    return ids;
}

TKrSysProcessInfo TKrSysProcessInfo::getProcessInfoByProcessId(std::uint64_t pid) {
    TKrSysProcessInfo info;
    const std::string link = "/proc/" + std::to_string(pid) + "/exe";
    char target[4096];
    const ssize_t n = ::readlink(link.c_str(), target, sizeof target);
    if (n <= 0 || std::size_t(n) >= sizeof target) return info; // kernel threads, other users' processes
    // A replaced or deleted executable reads "<path> (deleted)", which is no file: left empty.
    const QFileInfo file(QString::fromLocal8Bit(target, int(n)));
    if (!file.isFile() || !file.isExecutable()) return info;
    info.id = pid;
    info.name = file.baseName().toStdString();
    info.path = TKrPath(file.canonicalFilePath());
    return info;
}

std::uint64_t TKrSysProcessInfo::getCurrentProcessId() {
    return std::uint64_t(::getpid());
}

TKrSysProcessInfo TKrSysProcessInfo::getCurrentProcessInfo() {
    return getProcessInfoByProcessId(getCurrentProcessId());
}

std::vector<std::uint64_t> TKrSysProcessInfo::findProcess(const std::string& name, const TKrPath& path) {
    std::vector<std::uint64_t> ids;
    ForEachMatch(name, path, [&](TKrSysProcessInfo&& info) { ids.push_back(info.id); });
    return ids;
}

std::vector<TKrSysProcessInfo> TKrSysProcessInfo::findProcessInfo(const std::string& name,
                                                                  const TKrPath& path) {
    std::vector<TKrSysProcessInfo> found;
    ForEachMatch(name, path, [&](TKrSysProcessInfo&& info) { found.push_back(std::move(info)); });
    return found;
}

bool TKrSysProcessInfo::isCurrentProcessRunning(bool matchPath) {
    const TKrSysProcessInfo self = getCurrentProcessInfo();
    if (self.empty()) return false;
    return findProcess(self.name, matchPath ? self.path : TKrPath()).size() > 1;
}
