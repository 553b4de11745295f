// Gzip member header fields and the gzip signature, shared by TKrGZipReader and TKrGZipWriter.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstdint>
#include <string>

/// The header fields of a gzip member that a caller sets (writer) or gets back (reader).
struct TKrGZipFileInfo {
    /// Set by the reader after a successful open; the writer writes the fields below only when
    /// it is true.
    bool present = false;
    /// Modification time in seconds since 1970 (MTIME); 0 means not given.
    std::uint32_t modificationTime = 0;
    /// Original file name (FNAME), without its terminating zero byte.
    std::string fileName;
    /// Free comment (FCOMMENT), without its terminating zero byte.
    std::string comment;
};

/// The two bytes every gzip member starts with: 0x1F 0x8B. Static storage, no cost.
KRSTD_API const unsigned char* KrGZipSignatureData();
/// Length of KrGZipSignatureData(): 2.
KRSTD_API std::size_t KrGZipSignatureSize();
