// TKrBufferedWriter: the one buffered output path of the library's text writers.
#pragma once

#include "Streams/KrStream.h"

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>

/// Collects output in a buffer of fixed capacity and hands it to a stream only in full buffers
/// and at Flush, so a writer pays a memcpy per piece and one virtual call per block instead of
/// one per piece. Write is inline: when the piece fits, it is a compare and a memcpy; the rest
/// (filling the buffer, handing it on, going on with what is left) is out of line.
///
/// A block goes to the stream through WriteAll. With RecordFailure a failed block makes the
/// call that caused it return false and sets Failed() for good; later blocks are still offered
/// to the stream. With ThrowFailure the stream's WriteAllE throws instead. A null stream fails
/// every block, in either mode, without throwing. Bytes still buffered when the writer goes are
/// dropped: destructors must not throw, so the owner flushes. One thread at a time.
class TKrBufferedWriter {
public:
    /// What a failed block does.
    enum TOnFailure { RecordFailure, ThrowFailure };

    /// A writer into `stream` (not owned) with a buffer of `capacity` bytes (at least 1). The
    /// buffer is not value-initialised, so its pages are touched only as output reaches them.
    TKrBufferedWriter(TKrStream* stream, std::size_t capacity, TOnFailure onFailure = RecordFailure);
    ~TKrBufferedWriter();
    TKrBufferedWriter(const TKrBufferedWriter&) = delete;
    TKrBufferedWriter& operator=(const TKrBufferedWriter&) = delete;

    /// Appends n bytes. False when a block handed on meanwhile failed.
    bool Write(const char* p, std::size_t n) {
        if (n <= static_cast<std::size_t>(m_end - m_cur)) {
            if (n) std::memcpy(m_cur, p, n);
            m_cur += n;
            return true;
        }
        return WriteSlow(p, n);
    }
    bool Write(std::string_view s) { return Write(s.data(), s.size()); }
    bool Write(char c) {
        if (m_cur != m_end) {
            *m_cur++ = c;
            return true;
        }
        return WriteSlow(&c, 1);
    }

    /// Hands the buffered bytes (if any) to the stream; the stream itself is not flushed.
    bool Flush();

    /// True once any block failed.
    bool Failed() const noexcept { return m_failed; }
    /// Bytes accepted since construction, flushed or not.
    std::size_t Count() const noexcept { return m_flushed + static_cast<std::size_t>(m_cur - m_begin); }
    std::size_t Capacity() const noexcept { return static_cast<std::size_t>(m_end - m_begin); }

private:
    bool WriteSlow(const char* p, std::size_t n);
    bool HandOn(std::size_t n);

    std::unique_ptr<char[]> m_storage;
    char* m_begin;
    char* m_cur;
    char* m_end;
    TKrStream* m_stream;
    std::size_t m_flushed = 0;
    TOnFailure m_onFailure;
    bool m_failed = false;
};
