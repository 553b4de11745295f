// TKrFileStream: open-mode mapping, retrying reads, chunked writes with low-space reporting, and the
// descriptor layer underneath.
#include "Streams/KrFileStream.h"
#include "Core/KrExceptions.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {
constexpr streamsize_t kMaxChunk = 0x40000000; // no single write call exceeds 1 GiB
constexpr auto kRetryDelay = std::chrono::milliseconds(100);
// A single read()/write() moves at most this much on Linux; larger requests loop.
constexpr streamsize_t kMaxSysIo = 0x7ffff000;

const char* ModeName(std::uint32_t mode) {
    switch (mode) {
    case krOpenWrite:
        return "krOpenWrite";
    case krCreateNew:
        return "krCreateNew";
    case krCreate:
        return "krCreate";
    case krOpenRead:
        return "krOpenRead";
    case krOpenReadWriteExisting:
        return "krOpenReadWriteExisting";
    case krOpenReadWrite:
        return "krOpenReadWrite";
    default:
        return "UnknownMode";
    }
}
} // namespace

// ---- the descriptor layer ------------------------------------------------------------------------

/// The file behind a stream: one descriptor and the name it was opened with. Results follow the
/// system calls, with errno left as they set it.
class TKrFileStream::TKrFileHandleImpl {
public:
    TKrFileHandleImpl() = default;
    TKrFileHandleImpl(const TKrFileHandleImpl&) = delete;
    TKrFileHandleImpl& operator=(const TKrFileHandleImpl&) = delete;
    ~TKrFileHandleImpl() { close(); }

    bool isOpen() const noexcept { return m_fd >= 0; }
    int fd() const noexcept { return m_fd; }
    const std::string& name() const noexcept { return m_name; }

    bool openRead(const TKrPath& path, krShareMode share);
    bool openReadWrite(const TKrPath& path, krShareMode /*share*/, bool existingOnly) {
        return open(path.getValidatedUnixPath().toSysStr(), O_RDWR | (existingOnly ? 0 : O_CREAT));
    }
    bool create(const TKrPath& path, krShareMode /*share*/) {
        return open(path.toSysStr(), O_RDWR | O_CREAT | O_TRUNC);
    }
    bool createNew(const TKrPath& path, krShareMode /*share*/) {
        return open(path.toSysStr(), O_WRONLY | O_CREAT | O_EXCL);
    }

    bool close() noexcept {
        if (m_fd < 0) return true;
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

    streamsize_t read(void* buf, streamsize_t n) noexcept {
        if (m_fd < 0) {
            errno = EBADF;
            return TKrStream::invalid_value;
        }
        auto* p = static_cast<char*>(buf);
        streamsize_t done = 0;
        while (done < n) {
            ssize_t got = ::read(m_fd, p + done, std::min(n - done, kMaxSysIo));
            if (got < 0) {
                if (errno == EINTR) continue;
                return done ? done : TKrStream::invalid_value;
            }
            if (got == 0) break;
            done += static_cast<streamsize_t>(got);
        }
        return done;
    }

    /// Every byte, or the count written before an error (errno set), or invalid_value when the
    /// first call fails.
    streamsize_t write(const void* buf, streamsize_t n) noexcept {
        if (m_fd < 0) {
            errno = EBADF;
            return TKrStream::invalid_value;
        }
        const auto* p = static_cast<const char*>(buf);
        streamsize_t done = 0;
        while (done < n) {
            ssize_t put = ::write(m_fd, p + done, std::min(n - done, kMaxSysIo));
            if (put < 0) {
                if (errno == EINTR) continue;
                return done ? done : TKrStream::invalid_value;
            }
            if (put == 0) {
                errno = ENOSPC;
                return done;
            }
            done += static_cast<streamsize_t>(put);
        }
        return done;
    }

    bool setPosition(streamsize_t p) noexcept {
        return m_fd >= 0 && p <= static_cast<streamsize_t>(INT64_MAX) &&
               ::lseek(m_fd, static_cast<off_t>(p), SEEK_SET) >= 0;
    }
    streamsize_t getPosition() noexcept {
        off_t p = m_fd >= 0 ? ::lseek(m_fd, 0, SEEK_CUR) : -1;
        return p < 0 ? TKrStream::invalid_value : static_cast<streamsize_t>(p);
    }
    bool setSize(streamsize_t n) noexcept {
        return m_fd >= 0 && n <= static_cast<streamsize_t>(INT64_MAX) &&
               ::ftruncate(m_fd, static_cast<off_t>(n)) == 0;
    }
    streamsize_t getSize() noexcept {
        struct stat st;
        if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return TKrStream::invalid_value;
        return static_cast<streamsize_t>(st.st_size);
    }
    /// Nothing is held back in user space; an open descriptor is flushed by definition.
    bool flush() noexcept { return m_fd >= 0; }
    /// Whether the file named by the handle still exists.
    bool checkHandle() const noexcept {
        struct stat st;
        return !m_name.empty() && ::stat(m_name.c_str(), &st) == 0;
    }

private:
    bool open(const std::string& name, int flags) {
        close();
        m_name = name;
        int fd = ::open(name.c_str(), flags | O_CLOEXEC, 0666);
        if (fd < 0) return false;
        struct stat st;
        if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
            ::close(fd);
            errno = EISDIR;
            return false;
        }
        m_fd = fd;
        return true;
    }

    int m_fd = -1;
    std::string m_name;
};

bool TKrFileStream::TKrFileHandleImpl::openRead(const TKrPath& path, krShareMode /*share*/) {
    const std::string name = path.getValidatedUnixPath().toSysStr();
    if (open(name, O_RDONLY)) return true;
    int err = errno;
    // A file that is there but cannot be opened may be held by a writer for a moment.
    if (!TKrPath(name).exists()) {
        errno = err;
        return false;
    }
    KrLogWriteInfo(TKrMessage("@TKrFileStream::OpenRead(): %1%: retry: GetLastError: %2% (%3%)...")
                       << name << err << GetSystemErrorMessageString(err),
                   5);
    std::this_thread::sleep_for(kRetryDelay);
    if (open(name, O_RDONLY)) return true;
    err = errno;
    KrLogWriteInfo(TKrMessage("@TKrFileStream::OpenRead(): %1%: give-up: GetLastError: %2% (%3%)")
                       << name << err << GetSystemErrorMessageString(err),
                   5);
    errno = err;
    return false;
}

// ---- error handler -------------------------------------------------------------------------------

namespace {
int g_savedErrno = 0;
}

std::error_code TKrFileStream::TKrErrorHandler::GetLastErrorCode() noexcept {
    return std::error_code(errno, std::system_category());
}
void TKrFileStream::TKrErrorHandler::ResetErrorCode() noexcept {
    g_savedErrno = errno;
    errno = 0;
}
void TKrFileStream::TKrErrorHandler::RestoreErrorCode() noexcept {
    errno = g_savedErrno;
}

// ---- the stream ----------------------------------------------------------------------------------

TKrFileStream::TKrFileStream()
    : m_handle(std::make_unique<TKrFileHandleImpl>()), m_lastErrorCategory(&std::system_category()) {}

TKrFileStream::TKrFileStream(const TKrPath& path, krOpenMode mode, krShareMode share) : TKrFileStream() {
    Open(path, mode, share);
    path.refresh();
}

TKrFileStream::~TKrFileStream() {
    try {
        Close();
    } catch (...) {
        std::fprintf(
            stderr,
            "@TKrFileStream::~TKrFileStream(): Unexpected exception in destructor, while closing file %s\n",
            m_path.str().c_str());
    }
}

var_a<TKrFileStream*> TKrFileStream::VCreate() {
    return new_a<TKrFileStream>();
}
var_a<TKrFileStream*> TKrFileStream::VCreate(const TKrPath& path, krOpenMode mode, krShareMode share) {
    var_a<TKrFileStream*> s = new_a<TKrFileStream>();
    s->Open(path, mode, share);
    return s;
}
var_a<TKrFileStream*> TKrFileStream::VCreateE(const TKrPath& path, krOpenMode mode, krShareMode share) {
    var_a<TKrFileStream*> s = new_a<TKrFileStream>();
    s->OpenE(path, mode, share);
    return s;
}

int TKrFileStream::GetNativeHandle() const noexcept {
    return m_handle->fd();
}

bool TKrFileStream::IsOpen() const noexcept {
    return m_handle->isOpen();
}
TKrFileStream::operator bool() {
    return m_handle->isOpen();
}

bool TKrFileStream::Close() {
    if (m_handle->isOpen()) {
        m_openMode = static_cast<krOpenMode>(0);
        m_handle->close();
    }
    return true;
}

bool TKrFileStream::OpenHandle(const TKrPath& path, krOpenMode mode, krShareMode share) {
    switch (mode) {
    case krOpenWrite:
    case krOpenReadWrite:
        return m_handle->openReadWrite(path, share, false);
    case krOpenReadWriteExisting:
        return m_handle->openReadWrite(path, share, true);
    case krCreateNew:
        return m_handle->createNew(path, share);
    case krCreate:
        return m_handle->create(path, share);
    case krOpenRead:
        return m_handle->openRead(path, share);
    }
    KrLogWriteError(
        TKrMessage("@TKrFileStream::Open(): Unknown open mode: %1%.") << static_cast<std::uint32_t>(mode), 3);
    errno = EINVAL;
    return false;
}

bool TKrFileStream::Open(const TKrPath& path, krOpenMode mode, krShareMode share) {
    Close();
    setState(0);
    m_lastError = 0;
    TKrErrorHandler::ResetErrorCode();

    bool ok = OpenHandle(path, mode, share);
    if (!ok) m_handle->close();
    const std::error_code err = TKrErrorHandler::GetLastErrorCode();
    m_lastError = err.value();
    m_lastErrorCategory = &err.category();

    const std::string sysPath = path.toSysStr();
    if (ok) {
        m_path = path;
        m_openMode = mode;
        m_shareMode = share;
    } else if (m_lastError != EACCES) {
        KrLogWriteInfo(TKrMessage("@TKrFileStream::Open(%4%): %1%: std::error_code: %2% (%3%).")
                           << sysPath << m_lastError << GetSystemErrorMessageString(m_lastError)
                           << ModeName(static_cast<std::uint32_t>(mode)),
                       5);
    }
    SetInfoName(sysPath);
    return ok;
}

void TKrFileStream::OpenE(const TKrPath& path, krOpenMode mode, krShareMode share) {
    if (Open(path, mode, share)) return;
    const char* id = "Err_OpenFile_name_msg";
    switch (static_cast<std::uint32_t>(mode)) {
    case krOpenWrite:
    case krOpenReadWrite:
        id = "Err_OpenWriteFile_name_msg";
        break;
    case krCreateNew:
    case krCreate:
        id = "Err_CreateFile_name_msg";
        break;
    case krOpenRead:
        id = "Err_OpenReadFile_name_msg";
        break;
    default:
        break;
    }
    throw KrMsg_helper(id) << path.toSysStr() << GetSystemErrorMessageString(m_lastError);
}

streamsize_t TKrFileStream::Read(void* buf, streamsize_t n) {
    if ((getOptions() & optFailReadsAfterError) && (getState() & stReadError)) return invalid_value;
    if (!m_handle->isOpen()) {
        AddState(stReadError);
        return invalid_value;
    }
    streamsize_t got = m_handle->read(buf, n);
    if (got == invalid_value) {
        int err = errno;
        // A read that fails moves nothing, so the position now is where the read started.
        const streamsize_t position = m_handle->getPosition();
        const std::string name = m_path.toSysStr();
        KrLogWriteWarning(TKrMessage("@TKrFileStream::Read(): %1%: GetLastError: %2% (%3%). Will retry...")
                              << name << err << GetSystemErrorMessageString(err),
                          2);
        if ((err == -1 || !m_handle->checkHandle()) && m_openMode == krOpenRead) {
            // The file went away under us (a network share dropping, a replaced file): open the
            // path again and continue where we were.
            std::this_thread::sleep_for(kRetryDelay);
            const TKrPath path = m_path;
            if (!Open(path, krOpenRead, m_shareMode)) {
                KrLogWriteError(std::string("@TKrFileStream::Read(): reopen fail"), 2);
            } else {
                m_handle->setPosition(position);
                got = m_handle->read(buf, n);
                if (got == invalid_value) {
                    err = errno;
                    KrLogWriteError(
                        TKrMessage(
                            "@TKrFileStream::Read(): %1%: reopened and failed: GetLastError: %2% (%3%)")
                            << name << err << GetSystemErrorMessageString(err),
                        2);
                }
            }
        } else {
            std::this_thread::sleep_for(kRetryDelay);
            m_handle->setPosition(position);
            got = m_handle->read(buf, n);
            if (got == invalid_value) {
                err = errno;
                KrLogWriteError(TKrMessage("@TKrFileStream::Read(): %1%: retry: GetLastError: %2% (%3%)")
                                    << name << err << GetSystemErrorMessageString(err),
                                2);
            }
        }
    }
    if (got == invalid_value) {
        AddState(stReadError);
        return invalid_value;
    }
    if (got < n) AddState(stEndOfData);
    return got;
}

namespace {
void LogLowSpace(const std::string& name) {
    KrLogWriteError(KrMsg_helper("Err_Write_name_msg") << name << KrMsg_helper("Err_LowSpace"), 3);
}
} // namespace

streamsize_t TKrFileStream::Write(const void* buf, streamsize_t n) {
    if ((getOptions() & optFailWritesAfterError) && (getState() & stWriteError)) return invalid_value;
    if (!m_handle->isOpen()) {
        AddState(stWriteError);
        return invalid_value;
    }
    const auto* p = static_cast<const char*>(buf);
    streamsize_t done = 0;
    while (done < n) {
        const streamsize_t chunk = std::min(n - done, kMaxChunk);
        const streamsize_t put = m_handle->write(p + done, chunk);
        if (put == invalid_value) {
            const int err = errno;
            const std::string name = m_path.toSysStr();
            KrLogWriteWarning(TKrMessage("@TKrFileStream::Write(): %1%: GetLastError: %2% (%3%).")
                              << name << err << GetSystemErrorMessageString(err));
            if (err == ENOSPC) {
                AddState(stWriteError | stNoRoom);
                LogLowSpace(name);
            } else {
                AddState(stWriteError);
            }
            return invalid_value;
        }
        done += put;
        if (put < chunk) {
            const int err = errno;
            const std::string name = m_path.toSysStr();
            KrLogWriteWarning(
                TKrMessage("@TKrFileStream::Write(): %1%: number of bytes written (%2%) < requested "
                           "count (%3%). GetLastError: %4% (%5%).")
                << name << done << n << err << GetSystemErrorMessageString(err));
            if (err == ENOSPC) LogLowSpace(name);
            AddState(stWriteError | stNoRoom);
            return done;
        }
    }
    return n;
}

streamsize_t TKrFileStream::getSize() {
    return getSize64();
}
streamsize_t TKrFileStream::getSize64() {
    return m_handle->getSize();
}

bool TKrFileStream::setSize(streamsize_t n) {
    return setSize64(n);
}
bool TKrFileStream::setSize64(streamsize_t n) {
    if (m_handle->setSize(n)) return true;
    AddState(stWriteError);
    return false;
}

streamsize_t TKrFileStream::getPosition() {
    return getPosition64();
}
streamsize_t TKrFileStream::getPosition64() {
    return m_handle->getPosition();
}

bool TKrFileStream::setPosition(streamsize_t p) {
    return setPosition64(p);
}
bool TKrFileStream::setPosition64(streamsize_t p) {
    if (m_handle->setPosition(p)) return true;
    AddState(stSeekError);
    return false;
}

bool TKrFileStream::Flush() {
    if (m_handle->isOpen() && m_openMode == krOpenRead) return true;
    if (m_handle->flush()) return true;
    AddState(stWriteError);
    return false;
}

bool TKrFileStream::GetFileTime(TKrDateTime* created, TKrDateTime* modified, TKrDateTime* accessed) {
    m_path.refresh();
    if (created) *created = m_path.creationTime();
    if (modified) *modified = m_path.updateTime();
    if (accessed) *accessed = m_path.accessTime();
    return true;
}
