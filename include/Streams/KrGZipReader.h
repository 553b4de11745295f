// TKrGZipReader: the uncompressed bytes of gzip data held in another stream.
#pragma once

#include "Streams/KrGZipFormat.h"
#include "Streams/KrStream.h"

#include <memory>

/// Decompresses gzip data (one or several concatenated members) from a borrowed source stream,
/// which the caller keeps alive while the reader is open. Checks every member's CRC-32.
///
/// Positioning is emulated: setPosition only records the wish, and the next Read goes back to
/// the start (position 0 only), or forward by decompressing and discarding. The size is exact
/// once the data has been read to its end; before that it is the trailer's 32-bit size of the
/// last member, raised by multiples of 4 GiB as far as the bytes already produced demand.
///
/// The constructor allocates one state block (zlib record, 64 KiB input buffer) that every
/// later Open reuses; reading allocates nothing, a forward skip a 1 MiB scratch buffer. From a
/// memory, string or readable fixed-memory stream the compressed bytes are inflated where they
/// lie, without going through the input buffer.
class KRSTD_API TKrGZipReader : public TKrStream {
public:
    TKrGZipReader();
    /// Closes (and, under optCloseSource, closes the source too).
    ~TKrGZipReader() override;

    /// Closes a previous open, checks the first member's header at the start of `source`, takes
    /// the size from the source's last four bytes and readies decompression from the first
    /// compressed byte. Fills `info` (when given) from the header. False when the source is
    /// null, cannot be positioned or read, or does not start with a valid gzip header; the
    /// reader then stays closed. The information name becomes the source's plus ":gzip".
    bool Open(TKrStream* source, TKrGZipFileInfo* info = nullptr);
    /// Ends decompression. Under optCloseSource closes the source and returns its result.
    bool Close() override;
    bool IsOpen() const noexcept;

    /// Decompresses up to n bytes at the (possibly requested) position. A short count at the
    /// end sets stEndOfData; a corrupt, truncated or CRC-failing member sets stReadError and
    /// returns the bytes produced before. Not open: stReadError and invalid_value. More than
    /// 0xFFFFFFFF bytes throws TKrMessage; a requested position behind the current one (other
    /// than 0) throws std::logic_error.
    streamsize_t Read(void* buf, streamsize_t n) override;
    /// Throws std::logic_error: the reader cannot write.
    streamsize_t Write(const void* buf, streamsize_t n) override;

    streamsize_t getPosition() override { return getPosition64(); }
    streamsize_t getPosition64() override;
    /// Records the position the next Read starts at; false when not open.
    bool setPosition(streamsize_t p) override { return setPosition64(p); }
    bool setPosition64(streamsize_t p) override;
    /// The uncompressed size (see the class comment); invalid_value64 when not open.
    streamsize_t getSize() override { return getSize64(); }
    streamsize_t getSize64() override;
    /// Throw std::logic_error: the size of decompressed data cannot be set.
    bool setSize(streamsize_t n) override;
    bool setSize64(streamsize_t n) override;
    /// True while open.
    explicit operator bool() override { return IsOpen(); }

private:
    struct TState;
    std::unique_ptr<TState> m_state;
};
