// TKrGZipWriter: compresses what is written to it into a gzip member in another stream.
#pragma once

#include "Streams/KrGZipFormat.h"
#include "Streams/KrStream.h"

#include <cstddef>
#include <memory>

/// Writes one gzip member into a borrowed target stream, which the caller keeps alive while the
/// writer is open: the header at Open, the deflate data as it fills 16 KiB buffers, the rest
/// and the trailer (CRC-32 and size) at Close. Position and size are the uncompressed bytes
/// written so far; the writer cannot seek, resize or read.
///
/// The constructor allocates one state block (zlib record, 16 KiB output buffer) that every
/// later Open reuses; zlib's own deflate state is made at Open and released at Close.
class KRSTD_API TKrGZipWriter : public TKrStream {
public:
    TKrGZipWriter();
    /// Finishes an open member (as Close does); destructors never throw.
    ~TKrGZipWriter() override;

    /// Closes a previous member, then starts one at the target's current position with zlib
    /// level `level` (-1: zlib's default, 0 stored .. 9 smallest). The header carries the
    /// name, comment and time of `info` when info.present. False when the target is null, the
    /// level is invalid or the header cannot be written (stWriteError and the target's bits).
    bool Open(TKrStream* target, const TKrGZipFileInfo& info, int level);
    bool Open(TKrStream* target, const TKrGZipFileInfo& info) { return Open(target, info, -1); }
    bool Open(TKrStream* target, int level) { return Open(target, TKrGZipFileInfo(), level); }
    bool Open(TKrStream* target) { return Open(target, TKrGZipFileInfo(), -1); }
    /// Compresses the rest, writes the trailer, closes the target under optCloseSource and
    /// releases zlib. False when any of these failed; true when not open.
    bool Close() override;
    bool IsOpen() const noexcept;

    /// Chooses how the next Open compresses. 1 (the default): one member, deflated by zlib on
    /// the calling thread. Any other value: the data is cut into 1 MiB blocks that worker
    /// threads deflate independently (with libdeflate where the library has it), written as
    /// consecutive gzip members, the first with this writer's header; `threads` workers, or
    /// the library's budget KrGetThreadsCount() for 0. Every gzip reader accepts the result as
    /// one stream. It is within about 2 % of one member's size; the last trailer's size field
    /// covers the last block only. Open then writes nothing yet: a target that refuses output
    /// fails a later Write or Close. Costs about 4 MiB per thread while open.
    void SetThreads(std::size_t threads) noexcept;
    /// What SetThreads chose (1 unless set).
    std::size_t GetThreads() const noexcept;

    /// Compresses n bytes, writing full 16 KiB buffers to the target; returns n, or
    /// invalid_value when not open or the target refused a buffer (stWriteError). More than
    /// 0xFFFFFFFF bytes throws TKrMessage.
    streamsize_t Write(const void* buf, streamsize_t n) override;
    /// Throws std::logic_error: the writer cannot read.
    streamsize_t Read(void* buf, streamsize_t n) override;

    /// Uncompressed bytes written since Open.
    streamsize_t getPosition() override { return getPosition64(); }
    streamsize_t getPosition64() override;
    streamsize_t getSize() override { return getSize64(); }
    streamsize_t getSize64() override;
    /// Throw std::logic_error: a gzip member is written front to back.
    bool setSize(streamsize_t n) override;
    bool setSize64(streamsize_t n) override;
    bool setPosition(streamsize_t p) override;
    bool setPosition64(streamsize_t p) override;
    /// True while open.
    explicit operator bool() override { return IsOpen(); }

private:
    struct TState;
    std::unique_ptr<TState> m_state;
};
