// File and folder operations by path, over std::filesystem with error codes (nothing throws).
#include "System/KrFileUtils.h"
#include "Core/KrProgressHandler.h"

#include <filesystem>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {
fs::path Native(const TKrPath& p) {
    return fs::path(p.remSlash().str());
}
} // namespace

bool KrCopyFile(const TKrPath& from, const TKrPath& to, bool failIfExists) {
    std::error_code ec;
    const fs::path src = Native(from), dst = Native(to);
    if (!fs::is_regular_file(src, ec)) return false;
    if (fs::equivalent(src, dst, ec)) return !failIfExists;
    const auto options = failIfExists ? fs::copy_options::none : fs::copy_options::overwrite_existing;
    if (!fs::copy_file(src, dst, options, ec) || ec) return false;
    // Keep the modification time: resource labels compare it, and a copy is the same content.
    const auto time = fs::last_write_time(src, ec);
    if (!ec) fs::last_write_time(dst, time, ec);
    return true;
}

bool KrMoveFileEx(const TKrPath& from, const TKrPath& to, bool failIfExists) {
    std::error_code ec;
    const fs::path src = Native(from), dst = Native(to);
    if (!fs::exists(fs::symlink_status(src, ec))) return false;
    if (failIfExists && fs::exists(fs::symlink_status(dst, ec))) return false;
    fs::rename(src, dst, ec);
    if (!ec) return true;
    if (ec != std::errc::cross_device_link || !fs::is_regular_file(src, ec)) return false;
    if (!KrCopyFile(from, to, failIfExists)) return false;
    return fs::remove(src, ec);
}

bool KrForceDirectories(const TKrPath& folder) {
    std::error_code ec;
    const fs::path p = Native(folder);
    if (p.empty()) return false;
    fs::create_directories(p, ec);
    return fs::is_directory(p, ec);
}

bool KrRemoveDirectoryEx(const TKrPath& folder, bool recursive, TKrProgressHandler* progress) {
    std::error_code ec;
    const fs::path root = Native(folder);
    if (!fs::is_directory(fs::symlink_status(root, ec))) return false;
    if (recursive) {
        // Collect first, then remove the deepest entries first: links go as links, and a
        // failure leaves the rest in place instead of half-walking a changing tree.
        std::vector<fs::path> entries;
        for (fs::recursive_directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec))
            entries.push_back(it->path());
        if (ec) return false;
        for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
            if (progress) progress->Tick();
            if (!fs::remove(*it, ec) || ec) return false;
        }
    }
    return fs::remove(root, ec) && !ec;
}

bool KrFileDirExists(const TKrPath& path) {
    std::error_code ec;
    return !path.isPathEmpty() && fs::exists(Native(path), ec);
}

bool KrFileExists(const TKrPath& path) {
    std::error_code ec;
    return !path.isPathEmpty() && fs::is_regular_file(Native(path), ec);
}

bool KrDirExists(const TKrPath& path) {
    std::error_code ec;
    return !path.isPathEmpty() && fs::is_directory(Native(path), ec);
}
