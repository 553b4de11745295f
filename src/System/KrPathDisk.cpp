// TKrPath on the disk: special folders, metadata, removal, folder creation and the
// case-insensitive resolution of a path against what exists.
#include "System/KrPath.h"
#include "System/KrPathMetadata.h"

#include "Core/KrLog.h"
#include "Core/KrMessage.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace {

bool StatPath(const std::string& path, struct statx* out) {
    if (path.empty()) return false;
    return ::statx(AT_FDCWD, path.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, out) == 0;
}
bool PathExists(const std::string& path) {
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0;
}
TKrDateTime FromStatx(const struct statx_timestamp& ts) {
    return TKrDateTime(TKrDateTime::UnixEpochTicks + ts.tv_sec * TKrDateTime::TicksPerSecond +
                       ts.tv_nsec / 100);
}

} // namespace

// ---- special folders -----------------------------------------------------------------------------

TKrPath TKrPath::homeDir() {
    return TKrPath(QDir::homePath()).addSlash();
}
TKrPath TKrPath::docDir() {
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return TKrPath(docs.isEmpty() ? QDir::homePath() : docs).addSlash();
}
TKrPath TKrPath::workingDir() {
    return TKrPath(QDir::currentPath()).addSlash();
}
TKrPath TKrPath::tempDir() {
    return TKrPath(QDir::tempPath()).addSlash();
}
bool TKrPath::setWorkingDir(const TKrPath& path) {
    return !path.isPathEmpty() && QDir::setCurrent(path.toQtStr());
}

TKrPath TKrPath::tempFile(const std::string& name) {
    QTemporaryFile file((tempDir() / TKrPath(name)).toQtStr());
    file.setAutoRemove(false);
    if (!file.open()) return TKrPath();
    return TKrPath(file.fileName());
}

// ---- metadata ------------------------------------------------------------------------------------

const TKrPath::TMetadata& TKrPath::metadata() const {
    if (!m_metadata) {
        auto md = std::make_unique<TMetadata>();
        struct statx st;
        if (StatPath(getValidatedUnixPath().m_text, &st)) {
            md->exists = true;
            md->isFile = S_ISREG(st.stx_mode);
            md->isDir = S_ISDIR(st.stx_mode);
            md->size = static_cast<std::int64_t>(st.stx_size);
            md->created = FromStatx((st.stx_mask & STATX_BTIME) ? st.stx_btime : st.stx_ctime);
            md->accessed = FromStatx(st.stx_atime);
            md->modified = FromStatx(st.stx_mtime);
        }
        m_metadata = std::move(md);
    }
    return *m_metadata;
}

bool TKrPath::exists() const {
    return metadata().exists;
}
bool TKrPath::isFile() const {
    return metadata().isFile;
}
bool TKrPath::isFolder() const {
    return metadata().isDir;
}
std::int64_t TKrPath::fileSize() const {
    return metadata().size;
}
TKrDateTime TKrPath::creationTime() const {
    return metadata().created;
}
TKrDateTime TKrPath::accessTime() const {
    return metadata().accessed;
}
TKrDateTime TKrPath::updateTime() const {
    return metadata().modified;
}
void TKrPath::refresh() const {
    m_metadata.reset();
}

bool TKrPath::isFolderEmpty() const {
    if (m_text.empty()) return true;
    QDirIterator it(toQtStr(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    return !it.hasNext();
}

// ---- file-system operations ----------------------------------------------------------------------

bool TKrPath::rmFile() const {
    if (m_text.empty()) return false;
    bool ok = QFile::remove(getValidatedUnixPath().toQtStr());
    refresh();
    return ok;
}

namespace {
// Removes a folder; `onFailure` sees each entry that could not be removed.
template <class F>
bool RemoveFolder(const TKrPath& folder, bool recursive, bool continueOnError, F&& onFailure) {
    if (folder.isPathEmpty()) return false;
    const QString root = folder.remSlash().toQtStr();
    bool ok = true;
    if (recursive) {
        std::vector<QString> dirs;
        std::vector<QString> files;
        QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            // Links are removed as links; their targets stay untouched.
            if (info.isDir() && !info.isSymLink())
                dirs.push_back(it.filePath());
            else
                files.push_back(it.filePath());
        }
        for (const QString& f : files) {
            if (QFile::remove(f)) continue;
            ok = false;
            onFailure(TKrPath(f));
            if (!continueOnError) return false;
        }
        // Deepest folders first, so each one is empty when its turn comes.
        std::stable_sort(dirs.begin(), dirs.end(), [](const QString& a, const QString& b) {
            return a.count(QLatin1Char('/')) > b.count(QLatin1Char('/'));
        });
        for (const QString& d : dirs) {
            if (QDir().rmdir(d)) continue;
            ok = false;
            onFailure(TKrPath(d));
            if (!continueOnError) return false;
        }
    }
    if (!QDir().rmdir(root)) {
        onFailure(folder);
        return false;
    }
    return ok;
}
} // namespace

bool TKrPath::rmFolder(bool recursive, bool continueOnError, TKrPath* failed) const {
    bool first = true;
    bool ok = RemoveFolder(*this, recursive, continueOnError, [&](const TKrPath& p) {
        if (failed && first) *failed = p;
        first = false;
    });
    refresh();
    return ok;
}

bool TKrPath::rmFolder2(bool recursive, bool continueOnError, std::vector<TKrPath>* failed) const {
    bool ok = RemoveFolder(*this, recursive, continueOnError, [&](const TKrPath& p) {
        if (failed) failed->push_back(p);
    });
    refresh();
    return ok;
}

bool TKrPath::makePath(const TKrPath& folder, bool withParents) {
    if (folder.isPathEmpty()) return false;
    const QString q = folder.toQtStr();
    if (QFileInfo(q).isDir()) return true;
    bool ok = withParents ? QDir().mkpath(q) : QDir().mkdir(q);
    folder.refresh();
    return ok;
}

// ---- case-insensitive resolution -----------------------------------------------------------------

TKrPath TKrPath::resolve(bool inPlaceWording) const {
    if (m_text.empty() || PathExists(m_text)) return TKrPath(m_text, TRawText{});

    std::size_t pos = 0;
    while (pos < m_text.size() && pos < 2 && m_text[pos] == '/')
        ++pos;
    std::string out = m_text.substr(0, pos);
    bool lost = false; // once a component is missing nothing below it can exist
    while (pos < m_text.size()) {
        std::size_t end = m_text.find('/', pos);
        const bool last = end == std::string::npos || end + 1 == m_text.size();
        if (end == std::string::npos) end = m_text.size();
        std::string component = m_text.substr(pos, end - pos);
        std::string candidate = out + component;
        if (!lost && !PathExists(candidate)) {
            const QDir::Filters filter =
                (last ? QDir::AllEntries : QDir::Dirs) | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System;
            const QStringList entries = QDir(out.empty() ? QStringLiteral(".") : QString::fromStdString(out))
                                            .entryList(filter, QDir::Name);
            const QString wanted =
                QString::fromStdString(component).toLower(); // Unicode's mapping, no locale's
            auto match = std::find_if(entries.begin(), entries.end(),
                                      [&](const QString& e) { return e.toLower() == wanted; });
            if (match != entries.end())
                candidate = out + match->toStdString();
            else
                lost = true;
        }
        out = std::move(candidate);
        if (end < m_text.size()) out += '/';
        pos = end + 1;
    }

    if (out != m_text) {
        TKrMessage warning(inPlaceWording
                               ? "@TKrPath::getValidatedUnixPath: after validation path\n\t%1%\nwas "
                                 "validated into\n\t%2%\nthis might require attention"
                               : "@TKrPath::getValidatedUnixPath: path\n%1%\nwas validated "
                                 "into\n%2%\nthis might require attention");
        warning << m_text << out;
        KrLogWriteWarning(warning);
    }
    return TKrPath(std::move(out), TRawText{});
}

TKrPath TKrPath::getValidatedUnixPath() const {
    return resolve(false);
}

void TKrPath::validateUnixPath() {
    TKrPath resolved = resolve(true);
    if (resolved.m_text != m_text) {
        m_text = std::move(resolved.m_text);
        m_metadata.reset();
    }
}
