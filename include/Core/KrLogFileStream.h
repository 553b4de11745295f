// TKrLogFileStream: a file stream for log records, buffered per record, with a flush policy.
#pragma once

#include "Streams/KrFileStream.h"

#include <cstdint>
#include <string>

/// A log file. Written bytes collect in memory and go to the file in one system call when the
/// stream is flushed (the log's record writer flushes after every record), so a record costs one
/// write() and records from several processes appending to one file interleave whole.
///
/// Flush modes: fmNever keeps bytes until 64 KiB have gathered (or the stream closes); fmTimed
/// writes on a flush when at least the interval has passed since the last one, and a timer
/// (DoFlushTimers, driven by the application's event loop) catches quiet periods; fmAlways writes on every
/// flush. Timed flushing needs a timer identifier; without one it falls back to fmAlways. Once a write fails
/// (a full disk), the stream drops further bytes: the failure is reported once through the log, and what the
/// file held stays intact.
class KRSTD_API TKrLogFileStream : public TKrFileStream {
public:
    enum TFlushMode : std::int32_t { fmNever = 0, fmTimed = 1, fmAlways = 2 };

    /// A closed stream in flush mode fmAlways without timer.
    TKrLogFileStream();
    /// Open()s `path`.
    TKrLogFileStream(const TKrPath& path, krOpenMode mode, krShareMode share = krShareDefault);
    /// Writes what is buffered, leaves the timer map and closes; never throws.
    ~TKrLogFileStream() override;

    /// TKrFileStream::Open, then every write appends at the end of the file, even when another
    /// process writes to it too.
    bool Open(const TKrPath& path, krOpenMode mode, krShareMode share = krShareDefault);

    /// Stops the timer (keeping its identifier), then sets the mode. fmTimed takes min(interval, 32767)
    /// seconds, or 10 s when no positive interval is set, and registers the stream in the timer map; without
    /// a timer identifier the mode becomes fmAlways.
    void SetFlushMode(TFlushMode mode);
    TFlushMode GetFlushMode() const noexcept { return m_flushMode; }
    /// The timed-flush interval in seconds (0: the 10 s default). Takes effect with SetFlushMode.
    void SetFlushInterval(std::int32_t seconds) noexcept { m_flushIntervalSec = seconds; }
    /// The identifier under which the timer map keeps the stream; 0 is "no timer".
    void SetTimerId(std::uint64_t id) noexcept { m_timerId = id; }
    std::uint64_t GetTimerId() const noexcept { return m_timerId; }
    /// The effective interval of timed flushing in milliseconds.
    std::uint32_t GetFlushIntervalMs() const noexcept { return m_flushIntervalMs; }

    /// Buffers the bytes (a non-empty write marks the stream dirty); returns n. invalid_value
    /// with stWriteError on a closed stream. 64 KiB of unflushed bytes are written out at the
    /// last record boundary.
    streamsize_t Write(const void* buf, streamsize_t n) override;
    /// Applies the flush mode: fmNever does nothing, fmAlways writes the buffer, fmTimed writes
    /// it when dirty and the interval has passed.
    bool Flush() override;
    /// Writes the buffer, then closes.
    bool Close() override;
    /// Timer callback: the fmTimed check of Flush.
    bool DoFlushTimer();
    /// Clears the dirty flag and writes the buffer now, whatever the mode.
    bool DoFlush();
    /// Leaves the timer map (deleting it when it becomes empty) and forgets the identifier.
    void CloseTimer();

    /// Runs DoFlushTimer on every stream in the timer map. While the map holds streams and
    /// CanDriveTimers() held when one joined, the application's event loop calls it once a
    /// second; a thread without one may call it itself (an idle hook). The map is not
    /// synchronised: call it from the thread that owns the log.
    static void DoFlushTimers();
    /// True when a QCoreApplication lives on the calling thread, so that its event loop can
    /// drive timed flushing. Log creators give a stream a timer identifier only then.
    static bool CanDriveTimers();
    /// A fresh identifier for SetTimerId (process-wide counter, never 0).
    static std::uint64_t NewTimerId() noexcept;

private:
    bool WriteBuffered(std::size_t n);
    /// Leaves the timer map but keeps the identifier, so that timed flushing can be set again.
    void StopTimer();

    std::int32_t m_flushIntervalSec = 0;
    std::uint64_t m_timerId = 0;
    TFlushMode m_flushMode = fmAlways;
    std::uint32_t m_flushIntervalMs = 10000;
    std::uint32_t m_lastFlushTick = 0;
    bool m_dirty = false;
    bool m_writing = false; // inside a write-out: records the failure report adds wait
    std::string m_buffer;
};
