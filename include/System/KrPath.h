// TKrPath: a file-system path value that holds drive, network and Unix forms and compares case-insensitively.
#pragma once

#include "Core/KrExport.h"
#include "Utils/KrDateTime.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

class QString;
class TKrMessage;

/// A UTF-8 path with forward slashes. Every constructor and setPath normalise the text: '\'
/// becomes '/', repeated slashes collapse except the two leading ones of a network path
/// (//server/share), and a bare drive "C:" becomes "C:/". Nothing else changes: case, ".",
/// ".." and a trailing '/' stay as written.
///
/// Comparison ignores case and one trailing slash, the way Windows users expect. File-system
/// queries and operations resolve the text case-insensitively against the disk first (see
/// getValidatedUnixPath), so a path written on Windows still finds its file on Linux.
///
/// The file metadata is read once on the first query and cached until refresh(); a copy starts
/// without it. A path is a value: copies are independent, but one object must not be queried
/// from two threads at once because of that cache.
class KRSTD_API TKrPath {
public:
    TKrPath() noexcept;
    TKrPath(const std::string& path);
    /// A null pointer makes the empty path.
    TKrPath(const char* path);
    TKrPath(const std::wstring& path);
    TKrPath(const wchar_t* path);
    TKrPath(const QString& path);
    TKrPath(const TKrPath& other);
    TKrPath(TKrPath&& other) noexcept;
    /// Copies the text; the cached metadata is dropped.
    TKrPath& operator=(const TKrPath& other);
    TKrPath& operator=(TKrPath&& other) noexcept;
    ~TKrPath();

    void setPath(const std::string& path);
    void setPath(const char* path);
    void setPath(const QString& path);

    /// The normalised text.
    const std::string& str() const noexcept { return m_text; }

    // Classification of the normalised text; all O(1).
    /// "X:/..." with a Latin letter X.
    bool isWinDisk() const noexcept;
    /// "//x..." where x is not '/'.
    bool isWinNetwork() const noexcept;
    /// Starts with exactly one '/' ("/" included, "//..." not).
    bool isRoot() const noexcept;
    bool isAbsolute() const noexcept { return isWinDisk() || isWinNetwork() || isRoot(); }
    /// Not absolute; the empty path is relative.
    bool isRelative() const noexcept { return !isAbsolute(); }
    bool isPathEmpty() const noexcept { return m_text.empty(); }
    /// Ends with '/'.
    bool haveSlash() const noexcept { return !m_text.empty() && m_text.back() == '/'; }

    // Composition. Each returns a new path; the text is copied once.
    /// `p` appended below this path: this path with a slash for an empty `p`, `p` itself when it
    /// is absolute, otherwise addSlash() followed by `p`.
    TKrPath addPath(const TKrPath& p) const;
    TKrPath operator/(const TKrPath& p) const { return addPath(p); }
    TKrPath& operator/=(const TKrPath& p);
    /// The text with `s` appended as it stands: no separator and no normalisation.
    TKrPath addStr(const std::string& s) const;
    /// Appends '/' unless the text is empty or already ends with one.
    TKrPath addSlash() const;
    /// Removes one trailing '/', except from "/", "//" and a drive root "C:/".
    TKrPath remSlash() const;
    /// The folder part: up to and including the last '/' (empty when there is none). With
    /// `ignoreTrailingSlash`, a final '/' does not count, so a/b/ gives a/.
    TKrPath path(bool ignoreTrailingSlash = false) const;
    /// The text after the last '/' (the whole text when there is none).
    std::string fileName() const;

    // Name parts of fileName(). Leading dots never start an extension: ".profile" is a base name.
    /// Up to the first dot after the leading dots: "arch" for "arch.tar.gz".
    std::string baseName() const;
    /// Up to the last dot after the leading dots: "arch.tar".
    std::string fullBaseName() const;
    /// From the last dot on, dot included: ".gz"; "" without extension.
    std::string mainExt() const;
    /// From the first dot after the leading dots on: ".tar.gz".
    std::string fullExt() const;
    TKrPath removeMainExt() const;
    TKrPath removeFullExt() const;
    /// The name an executable of this path carries here (no extension on Linux).
    TKrPath toExecutable() const { return removeMainExt(); }

    // Conversions.
    /// The text for system calls (forward slashes, UTF-8).
    std::string toSysStr() const { return m_text; }
    std::string toPortableStr() const { return m_text; }
    QString toQtStr() const;
    /// The text between two '"'. `system` picks the system form, which is the same text here.
    std::string toQuotedStr(bool system = true) const;
    /// A comparison key: the text upper-cased (ASCII letters, and other letters by Unicode's
    /// default mapping, never a locale's), by default without a trailing slash (as remSlash()).
    std::string normalise(bool withoutTrailingSlash = true) const;

    /// Equal when the remSlash() texts match ignoring case (the folding of normalise(), so a
    /// Turkish locale changes nothing): C:/Data/ equals c:/data. ASCII texts compare without
    /// allocating.
    bool operator==(const TKrPath& other) const;
    bool operator!=(const TKrPath& other) const { return !(*this == other); }

    // Special folders, each with a trailing '/'.
    static TKrPath homeDir();
    /// The user's documents folder (the home folder when the system names none).
    static TKrPath docDir();
    static TKrPath workingDir();
    static TKrPath tempDir();
    /// Changes the process's current directory; false when that fails.
    static bool setWorkingDir(const TKrPath& path);
    bool toWorkingDir() const { return setWorkingDir(*this); }
    /// Creates a new, uniquely named empty file in tempDir() from the template `name` (a run of
    /// "XXXXXX" is replaced; without one, a unique suffix is appended) and leaves it on disk.
    /// Returns its path, or the empty path when no file could be created.
    static TKrPath tempFile(const std::string& name);

    // File-system queries; the first one reads the metadata (one stat after resolution).
    bool exists() const;
    bool isFile() const;
    bool isFolder() const;
    /// Bytes; -1 when the path does not exist.
    std::int64_t fileSize() const;
    /// Null times when the path does not exist. Without a recorded birth time the file system
    /// offers the time of the last status change instead.
    TKrDateTime creationTime() const;
    TKrDateTime accessTime() const;
    TKrDateTime updateTime() const;
    /// Drops the cached metadata; the next query reads it again.
    void refresh() const;
    /// True when listing the folder yields no entry (hidden ones count; also true when it
    /// cannot be listed).
    bool isFolderEmpty() const;

    // File-system operations; each returns success.
    /// Removes the file (after case-insensitive resolution).
    bool rmFile() const;
    /// Removes the folder. When `recursive`, every file below it (hidden ones too, symbolic
    /// links as links) is deleted first and the sub-folders deepest first. Without
    /// `continueOnError` the first failure ends the operation; with it the removal goes on.
    /// `failed` receives the first entry that could not be removed (left alone otherwise).
    bool rmFolder(bool recursive, bool continueOnError, TKrPath* failed = nullptr) const;
    /// The same, collecting every entry that could not be removed in `failed`.
    bool rmFolder2(bool recursive, bool continueOnError, std::vector<TKrPath>* failed = nullptr) const;
    /// Creates `folder`; with `withParents` all missing parents too, without it only when the
    /// parent exists. True when the folder exists afterwards.
    static bool makePath(const TKrPath& folder, bool withParents);
    bool makePath(bool withParents) const { return makePath(*this, withParents); }

    // Validation.
    /// False for an empty name and for names holding NUL, '/' or '\'.
    static bool isValidFileName(const std::string& name);
    /// False for the empty path and for texts holding NUL.
    bool isPathValid() const;
    /// `name` with every whitespace character (isspace) replaced by '_'.
    static std::string makeValidFileName(const std::string& name);

    // Relative and absolute forms. All work on the text only; no file-system access.
    /// This path when absolute; the empty path when `base` is empty or relative; otherwise
    /// simplify(base / this).
    TKrPath makeAbsolute(const TKrPath& base) const;
    TKrPath makeAbsolute() const { return makeAbsolute(workingDir()); }
    /// The path from `base` to this one: the common leading components (ignoring case) are
    /// dropped, one ".." stands for each remaining component of `base`, then the rest of this
    /// path follows. "." when both name the same folder. Paths without a common root (another
    /// drive, or one absolute and one relative) come back unchanged. Works on simplified forms.
    TKrPath makeRelative(const TKrPath& base) const;
    /// The longest common leading part of both simplified paths (components ignoring case);
    /// empty when even the roots differ.
    TKrPath commonPath(const TKrPath& other) const;
    /// Removes "." and empty components and resolves ".." against the component before it;
    /// leading ".." are kept ("/a/../../b" gives "/../b": nothing clamps at the root). A
    /// relative result loses its leading "." ("a/.." gives "."); the empty path stays empty.
    TKrPath simplify() const;
    /// The component stack behind simplify(): for an absolute path first its root ("" for /,
    /// "C:" for a drive, "//server" for a network path), for a relative one "." or "..".
    std::vector<std::string> simplify_ex() const;
    /// The components as written (empty ones skipped); an absolute path starts with its root:
    /// "/", "C:/" or "//server/".
    std::vector<std::string> split() const;
    /// The text without its absolute prefix ("C:/", the two slashes of "//", or the leading '/').
    TKrPath stripAbs() const;

    /// The path as found on disk: each component that does not exist as written is replaced by
    /// the first entry of its folder whose name matches ignoring case (folders only for inner
    /// components); unmatched components stay. A trailing '/' stays. Logs a warning when the
    /// result differs. Costs one stat when the path exists as written, otherwise a stat and
    /// possibly a folder listing per component up to the first one that cannot be found.
    TKrPath getValidatedUnixPath() const;
    /// The same, replacing this path's text.
    void validateUnixPath();

private:
    struct TMetadata;
    struct TRawText {};
    TKrPath(std::string text, TRawText) noexcept;
    void initPath(std::string text);
    const TMetadata& metadata() const;
    TKrPath resolve(bool inPlaceWording) const;

    std::string m_text;
    mutable std::unique_ptr<TMetadata> m_metadata;
};

/// Case-insensitive three-way comparison of both remSlash() texts: <0, 0, >0. Equality follows
/// operator==; the order of unequal texts is the current locale's collation.
KRSTD_API int pathcmp(const TKrPath& a, const TKrPath& b);

KRSTD_API std::ostream& operator<<(std::ostream& os, const TKrPath& path);
/// Appends the text as a string parameter.
KRSTD_API const TKrMessage& operator<<(const TKrMessage& m, const TKrPath& path) noexcept;
