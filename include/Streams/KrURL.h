// TKrURL, the resource label and attribute records, and the text functions on URLs.
#pragma once

#include "Core/KrExport.h"
#include "Utils/KrDateTime.h"

#include <cstdint>
#include <string>

class TKrPath;
class TKrStream;
class TKrXIniReader;
class TKrXIniWriter;

/// A resource address: a scheme of lower-case letters, ":" and the rest. Holds only its text;
/// every operation on the resource goes through TKrURLManager.
class KRSTD_API TKrURL {
public:
    TKrURL() = default;
    /// Init(text): throws for a text TKrURLManager::IsValidURL rejects.
    explicit TKrURL(const std::string& text) { Init(text); }
    explicit TKrURL(const char* text) { Init(text ? std::string(text) : std::string()); }

    /// Takes `text` after validating it; throws "@TKrURL::Init(): Not a valid URL: \"%1%\"".
    void Init(const std::string& text);
    /// Takes `text` as it is, without validation.
    static TKrURL FromString(const std::string& text);
    /// The "file" URL of a path (empty for an invalid path).
    static TKrURL FromFile(const TKrPath& path);
    /// The file path of a "file" URL ("" for another scheme); `validate` resolves the path's
    /// case against the disk.
    std::string ToFile(bool validate = false) const;

    TKrURL operator+(const std::string& text) const { return FromString(m_text + text); }
    TKrURL& operator+=(const std::string& text) {
        m_text += text;
        return *this;
    }
    bool operator==(const TKrURL& o) const { return m_text == o.m_text; }
    bool operator!=(const TKrURL& o) const { return m_text != o.m_text; }
    bool operator<(const TKrURL& o) const { return m_text < o.m_text; }
    bool operator<=(const TKrURL& o) const { return m_text <= o.m_text; }
    bool operator>(const TKrURL& o) const { return m_text > o.m_text; }
    bool operator>=(const TKrURL& o) const { return m_text >= o.m_text; }

    bool IsEmpty() const noexcept { return m_text.empty(); }
    void clear() noexcept { m_text.clear(); }
    const std::string& std_str() const noexcept { return m_text; }

private:
    std::string m_text;
};

/// What a handler reports about a resource (TKrURLManager::GetURLAttr).
struct KRSTD_API TKrURLAttrib {
    std::uint64_t size = 0; ///< bytes of a file; 0 for a folder
    TKrDateTime created;    ///< creation (or status-change) time, UTC
    TKrDateTime modified;   ///< last modification, UTC
    bool isFile = false;
    bool isFolder = false;
    bool isReadOnly = false; ///< the process may not write it
};

/// The identity of a resource's content: size, modification time and the CRC of its head
/// and tail (ComputePartialCRC), cheap enough to compare big files.
class KRSTD_API TKrResourceLabel {
public:
    std::uint64_t size = 0;
    TKrDateTime timestamp;
    std::uint32_t partCrc = 0;

    void Reset() noexcept { *this = TKrResourceLabel(); }
    /// Positions `stream` at 0 and stores its partial CRC; reads at most a few blocks.
    void ComputeCRC(TKrStream* stream);
    bool operator==(const TKrResourceLabel& o) const noexcept {
        return size == o.size && timestamp.Ticks() == o.timestamp.Ticks() && partCrc == o.partCrc;
    }
    bool operator!=(const TKrResourceLabel& o) const noexcept { return !(*this == o); }
    /// Same size and timestamps at most 2 s apart (file systems round times that coarsely).
    bool WeakCheck(const TKrResourceLabel& o) const noexcept;
    /// Same size and partial CRC.
    bool ContentCheck(const TKrResourceLabel& o) const noexcept {
        return size == o.size && partCrc == o.partCrc;
    }
};

// Text functions on URLs; none of them touches a resource.

/// Up to and including the last "/"; empty when there is none.
KRSTD_API TKrURL KrExtractURLPath(const TKrURL& url);
/// After the last "/" (the whole text when there is none).
KRSTD_API std::string KrExtractURLNameExt(const TKrURL& url);
/// The name without its extension.
KRSTD_API std::string KrExtractURLNameOnly(const TKrURL& url);
/// Path and name without the extension.
KRSTD_API TKrURL KrExtractURLPathNameOnly(const TKrURL& url);
/// The name's extension from its last "." (with the dot); empty when the name has none.
KRSTD_API std::string KrExtractURLExt(const TKrURL& url);
/// Case-insensitive comparison of the texts (-1, 0, 1).
KRSTD_API int KrURLcmpi_Ansi(const TKrURL& a, const TKrURL& b);
/// The same after replacing "file" URLs by their paths.
KRSTD_API int KrURLFilescmpi_Ansi(const TKrURL& a, const TKrURL& b);
KRSTD_API TKrURL KrIncludeTrailingSlash(const TKrURL& url);
KRSTD_API TKrURL KrExcludeTrailingSlash(const TKrURL& url);

// Settings persistence.

/// Writes the URL's text as the string item `name`.
KRSTD_API void XIniSaveSE(TKrXIniWriter* writer, const std::string& name, const TKrURL& url);
/// Reads the string item at `index` as a URL (validated: an invalid text throws).
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, TKrURL& url);
/// Writes "size", "timestamp" (RFC text) and "part_crc" into the current section.
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const TKrResourceLabel& label);
/// Reads the three items by name from the current section.
KRSTD_API void XIniLoadE(TKrXIniReader* reader, TKrResourceLabel& label);
