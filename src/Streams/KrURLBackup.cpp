// BackupURL: rotating backups of one resource in the "backup/" folder beside it.
#include "Core/KrMessage.h"
#include "Core/KrStringCompare.h"
#include "Streams/KrURLManager.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {
// Existing backups of name+ext in the folder, in name order (which is age order). Only folders
// on disk can be listed; other schemes keep every backup.
std::vector<TKrURL> ListBackups(const TKrURL& folder, const std::string& name, const std::string& ext) {
    std::vector<TKrURL> found;
    if (TKrURLManager::GetScheme(folder) != "file") return found;
    // name.YYYY-MM-DD.hh-mm-ss.ext, every digit a "?" (spelled out: "??-" would be a trigraph)
    const std::string q2(2, '?');
    const std::string pattern =
        name + "." + std::string(4, '?') + "-" + q2 + "-" + q2 + "." + q2 + "-" + q2 + "-" + q2 + ext;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(folder.ToFile(), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string entry = it->path().filename().string();
        if (entry.size() == pattern.size() && KrPatternMatch(entry.c_str(), pattern.c_str()))
            found.push_back(folder + entry);
    }
    std::sort(found.begin(), found.end());
    return found;
}
} // namespace

void BackupURL(const TKrURL& url, std::size_t keep) {
    TKrURLManager& manager = KrURLManager();
    if (!manager.IsResource(url)) return;
    if (keep == 0) {
        manager.DeleteResource(url);
        return;
    }
    const TKrURL folder = KrExtractURLPath(url) + "backup/";
    if (!manager.CreateFolder(folder)) throw TKrMessage("ErrCreateBackupFolder") << folder.std_str();

    const std::string name = KrExtractURLNameOnly(url);
    const std::string ext = KrExtractURLExt(url);
    std::vector<TKrURL> backups = ListBackups(folder, name, ext);
    for (std::size_t i = 0; backups.size() - i >= keep; ++i)
        manager.DeleteResource(backups[i]);

    TKrResourceLabel label;
    manager.GetResourceLabelWeak(url, &label);
    const TKrDateTime::TDT t = label.timestamp.ToDateTimeInfo(TKrDateTime::Local);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, ".%04d-%02d-%02d.%02d-%02d-%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    const TKrURL target = folder + (name + stamp + ext);
    if (!TKrURLManager::IsValidURL(target)) throw TKrMessage("@BackupURL(): Invalid URL ID");
    manager.RenMovResource(url, target, nullptr);
}
