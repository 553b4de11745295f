// TKrTarWriter: appends files and directories to a tar archive in any stream.
#pragma once

#include "Core/KrExport.h"
#include "Streams/KrStream.h"
#include "Streams/KrTarRecord.h"

#include <memory>

class TKrProgressHandler;

/// Writes the classic tar layout: a 512-byte header per entry (no format magic, mode 0777, owner
/// and group 0), the data padded with zero bytes to whole records, and two zero records at the
/// end. Names of 100 to 511 bytes go through a "././@LongLink" record before the header; files
/// of 8 GiB and more become several consecutive entries of the same name, 4 GiB each at most
/// (a warning is logged), since 11 octal digits cannot hold their size.
///
/// The target stream is borrowed and must outlive the writer. Not synchronised.
class KRSTD_API TKrTarWriter {
public:
    struct TFormatOptions {
        /// 0, 1 or 3; names are written as the bytes given. Other values are rejected at the
        /// first write.
        int filename_encoding = 0;
    };
    /// Options bit: Close closes the target stream too.
    static constexpr unsigned optCloseTarget = 4;

    /// Throws std::invalid_argument for a null target.
    TKrTarWriter(TKrStream* target, const TFormatOptions& format, unsigned options);
    /// Closes as Close does; an exception there is logged, never thrown.
    virtual ~TKrTarWriter();
    TKrTarWriter(const TKrTarWriter&) = delete;
    TKrTarWriter& operator=(const TKrTarWriter&) = delete;

    /// Appends an entry with record.size bytes copied from `data`'s current position (a name
    /// ending in "/" is a directory: no data is read). The data is copied through one reused
    /// 256 KiB buffer, or written straight from a TKrMemoryStream's buffer. `progress` (may be
    /// null) runs from 0 to 1 over the bytes, one sub-range per part of a split file, and is
    /// checked for cancellation between blocks. Returns false for an empty name, a short read
    /// of `data` or a failing target; the archive then stays open and Close writes no end
    /// marker. Throws std::logic_error after Close and for an invalid filename_encoding,
    /// TKrMessage for a name of 512 bytes or more.
    bool WriteFile(const TTarFileRecord& record, TKrStream* data, TKrProgressHandler* progress);
    /// The same with record.size bytes from memory.
    bool WriteFile(const TTarFileRecord& record, const char* data, TKrProgressHandler* progress);

    /// Once, when the last entry was written completely: writes the end marker (1024 zero
    /// bytes). Then, under optCloseTarget, closes the target. False when a write or the
    /// target's Close failed.
    bool Close();

    bool IsClosed() const noexcept { return m_closed; }

protected:
    /// Closes the target under optCloseTarget; a tarball, being its own target, closes its
    /// gzip half here.
    virtual bool CloseTarget();
    /// Lets the target go, so the destructor leaves it alone (for targets destroyed first).
    void DetachTarget() noexcept { m_target = nullptr; }

private:
    bool WriteEntry(const TTarFileRecord& record, TKrStream* stream, const char* memory,
                    TKrProgressHandler* progress);
    bool WriteLongName(const std::string& name, std::uint32_t unixTime);
    bool WriteData(TKrStream* stream, const char*& memory, std::uint64_t n, TKrProgressHandler* progress);

    TKrStream* m_target;
    bool m_closed = false;
    bool m_lastComplete = true;
    TFormatOptions m_format;
    unsigned m_options;
    std::unique_ptr<char[]> m_buffer; // copy buffer, made on the first stream copy
};
