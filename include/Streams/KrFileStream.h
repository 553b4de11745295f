// TKrFileStream: the stream over an operating-system file, with one delayed retry and low-space reporting.
#pragma once

#include "Core/KrVarA.h"
#include "Streams/KrStream.h"
#include "System/KrPath.h"

#include <cstdint>
#include <memory>
#include <system_error>

class TKrDateTime;

/// A TKrStream over a file. Reads and writes go straight to the system (no buffering in user
/// space), so each Read or Write costs at least one system call; use large blocks.
///
/// Open modes: krOpenWrite and krOpenReadWrite open for reading and writing, creating a missing
/// file and keeping the content; krOpenReadWriteExisting does the same but fails on a missing
/// file; krCreate creates or truncates (read and write); krCreateNew creates a file that must
/// not exist yet (write only); krOpenRead opens read only. The read and read-write opens find
/// the file case-insensitively (TKrPath::getValidatedUnixPath). The share mode is kept but
/// does not restrict other openers.
///
/// Failures are reported by results and state bits and logged: a failing read-only open of an
/// existing file and a failing read are retried once after 100 ms; a write on a full disk sets
/// stNoRoom together with stWriteError and logs a low-space error. Writes are split into calls
/// of at most 1 GiB.
class KRSTD_API TKrFileStream : public virtual TKrStream {
public:
    class TKrFileHandleImpl;

    /// The process-wide errno as an error code, and one saved copy of it. The saved copy is a
    /// single static value: Reset/Restore pairs are not safe across threads.
    class KRSTD_API TKrErrorHandler {
    public:
        /// (errno, system category).
        static std::error_code GetLastErrorCode() noexcept;
        /// Saves errno and sets it to 0.
        static void ResetErrorCode() noexcept;
        /// Puts the saved value back into errno.
        static void RestoreErrorCode() noexcept;
    };

    /// A closed stream.
    TKrFileStream();
    /// Opens with Open (failure leaves the stream closed) and refreshes the cached file
    /// information of `path`.
    TKrFileStream(const TKrPath& path, krOpenMode mode, krShareMode share = krShareDefault);
    /// Closes; never throws.
    ~TKrFileStream() override;

    /// Closes the file when open; true in any case.
    bool Close() override;
    /// Up to n bytes; fewer set stEndOfData. A failing read is logged and retried once after
    /// 100 ms (reopening the file first when it has gone away); a final failure sets
    /// stReadError and returns invalid_value.
    streamsize_t Read(void* buf, streamsize_t n) override;
    /// All n bytes, or: invalid_value after an error (stWriteError; stNoRoom too on a full
    /// disk), or the count written before the file stopped taking bytes (stWriteError|stNoRoom).
    streamsize_t Write(const void* buf, streamsize_t n) override;
    /// The file size; invalid_value when closed.
    streamsize_t getSize() override;
    streamsize_t getSize64() override;
    /// Resizes the file; failure sets stWriteError.
    bool setSize(streamsize_t n) override;
    bool setSize64(streamsize_t n) override;
    /// invalid_value when closed.
    streamsize_t getPosition() override;
    streamsize_t getPosition64() override;
    /// Failure (or a closed stream) sets stSeekError.
    bool setPosition(streamsize_t p) override;
    bool setPosition64(streamsize_t p) override;
    /// True at once for a read-only stream; false with stWriteError when closed. Nothing is
    /// buffered in user space, so an open writable stream has nothing to push either.
    bool Flush() override;
    explicit operator bool() override;

    static var_a<TKrFileStream*> VCreate();
    /// Opened with Open; check the result with IsOpen().
    static var_a<TKrFileStream*> VCreate(const TKrPath& path, krOpenMode mode,
                                         krShareMode share = krShareDefault);
    /// Opened with OpenE.
    static var_a<TKrFileStream*> VCreateE(const TKrPath& path, krOpenMode mode,
                                          krShareMode share = krShareDefault);

    /// Closes, clears the state word and opens `path`. Failures other than a denied access are
    /// logged at the debug level. The info name becomes the path either way.
    bool Open(const TKrPath& path, krOpenMode mode, krShareMode share = krShareDefault);
    /// Open, throwing the open-failure message with the path and the system's error text.
    void OpenE(const TKrPath& path, krOpenMode mode, krShareMode share = krShareDefault);
    bool IsOpen() const noexcept;

    /// Fills each non-null argument from the file's times (read through TKrPath). True.
    bool GetFileTime(TKrDateTime* created, TKrDateTime* modified, TKrDateTime* accessed);

    /// The path last opened successfully.
    const TKrPath& GetPath() const noexcept { return m_path; }
    /// errno after the last Open, in the system category.
    std::error_code GetLastError() const noexcept {
        return std::error_code(m_lastError, *m_lastErrorCategory);
    }
    /// The mode of the current open; 0 when closed.
    krOpenMode GetOpenMode() const noexcept { return m_openMode; }
    krShareMode GetShareMode() const noexcept { return m_shareMode; }

protected:
    /// The open file descriptor, -1 when closed: for derived streams that need a descriptor flag
    /// (log files append with O_APPEND so that several writers interleave whole records).
    int GetNativeHandle() const noexcept;

private:
    bool OpenHandle(const TKrPath& path, krOpenMode mode, krShareMode share);

    std::unique_ptr<TKrFileHandleImpl> m_handle;
    TKrPath m_path;
    std::int32_t m_lastError = 0;
    const std::error_category* m_lastErrorCategory;
    krOpenMode m_openMode = static_cast<krOpenMode>(0);
    krShareMode m_shareMode = krShareDefault;
};
