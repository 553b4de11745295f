// TKrMemTarBall: a whole .tar.gz archive in memory, looked up by name.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Streams/KrStream.h"

#include <map>
#include <string>
#include <utility>

class TKrProgressHandler;

/// Decompresses a tarball once and keeps every entry's data in its own array, for lookups by
/// the stored name. Memory: the uncompressed data plus one map node per entry.
class KRSTD_API TKrMemTarBall {
public:
    /// An entry's data and its size in bytes.
    using TFile = std::pair<var_a<char*>, unsigned long>;

    TKrMemTarBall();
    /// Loads `source` at once (see Load).
    explicit TKrMemTarBall(TKrStream* source, TKrProgressHandler* progress = nullptr);
    ~TKrMemTarBall();

    /// Clears, then reads every entry of the gzip-compressed archive in `source` (from its
    /// start); a later entry of the same name replaces the earlier one. Directories are kept
    /// too, with no data. Throws TKrMessage when `source` is not gzip data or the archive is
    /// damaged. `progress` (may be null) follows the compressed bytes consumed.
    void Load(TKrStream* source, TKrProgressHandler* progress = nullptr);
    /// The entry stored under `name`, or null.
    const TFile* GetFile(const std::string& name) const;
    void Clear();
    std::size_t GetCount() const noexcept { return m_files.size(); }
    /// All entries, sorted by name.
    const std::map<std::string, TFile>& GetFiles() const noexcept { return m_files; }

private:
    std::map<std::string, TFile> m_files;
};
