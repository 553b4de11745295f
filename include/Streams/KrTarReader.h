// TKrTarReader: walks the entries of a tar archive in any stream.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Streams/KrStream.h"
#include "Streams/KrTarRecord.h"

#include <string>

class TKrProgressHandler;

/// Reads the entries of tar archives: the classic layout the writer makes, GNU tar's long
/// names and link names ("././@LongLink", types 'L' and 'K'), the ustar name prefix, pax
/// "path", "linkpath", "size" and "mtime" records, and base-256 sizes. Entries are delivered in
/// archive order; a record whose checksum does not parse or does not match (such as the zero
/// records of the end marker) ends the archive.
///
/// The source stream is borrowed and must outlive the reader; it is read front to back, so a
/// gzip reader serves. Not synchronised.
class KRSTD_API TKrTarReader {
public:
    struct TFormatOptions {
        /// 0, 1 or 3; names are read as the bytes stored. Other values are rejected at the
        /// first read.
        int filename_encoding = 0;
    };
    /// Receives one entry and a stream limited to its data (valid during the call only).
    using TCallback = void (*)(const TTarFileRecord& record, TKrStream* data, void* user);

    TKrTarReader(TKrStream* source, const TFormatOptions& format);
    virtual ~TKrTarReader();
    TKrTarReader(const TKrTarReader&) = delete;
    TKrTarReader& operator=(const TKrTarReader&) = delete;

    /// Reads the next entry's header and calls `callback` with a part stream over its data;
    /// afterwards the source is positioned after the padded data, however much the callback
    /// read. False at the end of the archive (the end marker, a corrupt header, or the end of
    /// the source). Throws TKrMessage for an entry whose size field is not a number, whose data
    /// runs past the end of a source of known size, or whose long name is implausibly long;
    /// std::logic_error for an invalid filename_encoding.
    bool ReadFile(TCallback callback, void* user);
    /// Reads the next entry and its data into a new array (`data` may be null to skip the
    /// data). The array is allocated once at the entry's size, except when the source is
    /// smaller than the header claims: then the data is read in growing steps, so a lying
    /// header costs no more memory than the bytes that exist. Throws TKrMessage when the data
    /// ends early, besides the cases of the callback form. `progress` (may be null) runs from
    /// 0 to 1 over the entry's data.
    bool ReadFile(TTarFileRecord* record, var_a<char*>* data, TKrProgressHandler* progress = nullptr);

    /// The size of the source stream (for progress over a whole archive).
    streamsize_t GetFullSrcSize();

private:
    /// Reads headers up to the next entry (consuming long-name and pax records); false at the
    /// end. Leaves the source at the entry's first data byte.
    bool ReadHeader(TTarFileRecord& record);
    /// Throws when the source's size is known and `size` bytes from here run past its end.
    void CheckFits(const TTarFileRecord& record);
    /// Reads the padded data of a meta record of at most `cap` bytes into `out` (cut at `size`).
    void ReadMeta(std::string& out, std::uint64_t size, std::uint64_t cap, const char* what);
    void SkipTo(streamsize_t position);

    TKrStream* m_source;
    TFormatOptions m_format;
};
