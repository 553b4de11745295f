// TKrLogFileStream: per-record buffering, appending writes, flush modes and the flush timer map.
#include "Core/KrLogFileStream.h"
#include "Core/KrBaseProgress.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <fcntl.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>

namespace {
// Unflushed bytes beyond this go out at the last record boundary even when nobody flushes.
constexpr std::size_t kSpillBytes = 64 * 1024;
constexpr std::uint32_t kDefaultIntervalMs = 10000;
constexpr std::int32_t kMaxIntervalSec = 32767;

using TTimerMap = std::map<std::uint64_t, TKrLogFileStream*>;
// Process-wide and unsynchronised, like the log it serves: only the log owner touches it.
TTimerMap* g_timers = nullptr;

// The event-loop timer that runs DoFlushTimers while the map holds streams. A child of the
// application, so it never outlives the event loop that fires it.
QPointer<QTimer> g_ticker;
// Timed intervals are whole seconds, so a one-second tick keeps a quiet record waiting at most
// one tick past its interval.
constexpr int kTickMs = 1000;

void StartTicker() {
    if (g_ticker || !TKrLogFileStream::CanDriveTimers()) return;
    auto* ticker = new QTimer(QCoreApplication::instance());
    QObject::connect(ticker, &QTimer::timeout, [] { TKrLogFileStream::DoFlushTimers(); });
    ticker->start(kTickMs);
    g_ticker = ticker;
}

void StopTicker() {
    // Deferred: the last stream may leave the map from inside the tick itself.
    if (g_ticker) g_ticker->deleteLater();
    g_ticker = nullptr;
}

/// The length of the longest prefix of `data` that ends with a whole record. A record starts
/// with a line feed and ends with one; inside a record every line feed is followed by three
/// tabs, so two line feeds in a row are always the seam between two records.
std::size_t RecordPrefix(const std::string& data) {
    for (std::size_t i = data.size(); i >= 2; --i)
        if (data[i - 1] == '\n' && data[i - 2] == '\n') return i - 1;
    return data.size(); // one record larger than the spill size: it goes out in pieces
}
} // namespace

TKrLogFileStream::TKrLogFileStream() = default;

TKrLogFileStream::TKrLogFileStream(const TKrPath& path, krOpenMode mode, krShareMode share) {
    Open(path, mode, share);
}

TKrLogFileStream::~TKrLogFileStream() {
    CloseTimer();
    try {
        DoFlush();
    } catch (...) {
        // a failing write-out is reported by the file stream's own log records; never throw here
    }
}

bool TKrLogFileStream::Open(const TKrPath& path, krOpenMode mode, krShareMode share) {
    m_buffer.clear();
    m_dirty = false;
    if (!TKrFileStream::Open(path, mode, share)) return false;
    if (mode != krOpenRead) {
        const int fd = GetNativeHandle();
        const int flags = ::fcntl(fd, F_GETFL);
        if (flags >= 0) ::fcntl(fd, F_SETFL, flags | O_APPEND);
    }
    return true;
}

void TKrLogFileStream::SetFlushMode(TFlushMode mode) {
    StopTimer();
    m_flushMode = mode;
    if (mode != fmTimed) return;
    m_flushIntervalMs =
        m_flushIntervalSec > 0
            ? static_cast<std::uint32_t>(std::min(m_flushIntervalSec, kMaxIntervalSec)) * 1000u
            : kDefaultIntervalMs;
    if (m_timerId == 0) {
        m_flushMode = fmAlways;
        return;
    }
    if (!g_timers) g_timers = new TTimerMap;
    (*g_timers)[m_timerId] = this;
    m_lastFlushTick = KrProgressTickMs();
    StartTicker();
}

void TKrLogFileStream::CloseTimer() {
    StopTimer();
    m_timerId = 0;
}

void TKrLogFileStream::StopTimer() {
    if (g_timers) {
        auto it = g_timers->find(m_timerId);
        if (it != g_timers->end() && it->second == this) g_timers->erase(it);
        if (g_timers->empty()) {
            delete g_timers;
            g_timers = nullptr;
            StopTicker();
        }
    }
}

void TKrLogFileStream::DoFlushTimers() {
    if (!g_timers) return;
    // A flush may log a failure, and logging may close a stream: walk a copy.
    const TTimerMap timers = *g_timers;
    for (const auto& entry : timers)
        if (g_timers && g_timers->count(entry.first)) entry.second->DoFlushTimer();
}

bool TKrLogFileStream::CanDriveTimers() {
    const QCoreApplication* app = QCoreApplication::instance();
    return app && app->thread() == QThread::currentThread();
}

std::uint64_t TKrLogFileStream::NewTimerId() noexcept {
    static std::atomic<std::uint64_t> next{0};
    return ++next;
}

streamsize_t TKrLogFileStream::Write(const void* buf, streamsize_t n) {
    if (!IsOpen()) {
        AddState(stWriteError);
        return invalid_value;
    }
    if (n == 0) return 0;
    m_dirty = true;
    // After a failed write the file takes nothing more; records keep flowing to the log's
    // other targets.
    if (getState() & stWriteError) return n;
    m_buffer.append(static_cast<const char*>(buf), static_cast<std::size_t>(n));
    if (m_buffer.size() >= kSpillBytes && !m_writing) WriteBuffered(RecordPrefix(m_buffer));
    return n;
}

bool TKrLogFileStream::WriteBuffered(std::size_t n) {
    if (m_writing) return false; // a failure report of the write-out below: it waits
    if (n == 0) return !(getState() & stWriteError);
    if (getState() & stWriteError) {
        m_buffer.clear();
        return false;
    }
    m_writing = true;
    std::string out = m_buffer.substr(0, n);
    m_buffer.erase(0, n);
    const bool ok = TKrFileStream::Write(out.data(), static_cast<streamsize_t>(out.size())) ==
                    static_cast<streamsize_t>(out.size());
    m_writing = false;
    if (!ok) m_buffer.clear();
    return ok;
}

bool TKrLogFileStream::Flush() {
    switch (m_flushMode) {
    case fmNever:
        return true;
    case fmTimed:
        DoFlushTimer();
        return !(getState() & stWriteError);
    case fmAlways:
    default:
        m_dirty = false;
        return WriteBuffered(m_buffer.size());
    }
}

bool TKrLogFileStream::DoFlushTimer() {
    const std::uint32_t now = KrProgressTickMs();
    if (!m_dirty || now - m_lastFlushTick < m_flushIntervalMs) return true;
    m_lastFlushTick = now;
    return DoFlush();
}

bool TKrLogFileStream::DoFlush() {
    m_dirty = false;
    if (!IsOpen()) return false;
    return WriteBuffered(m_buffer.size());
}

bool TKrLogFileStream::Close() {
    if (IsOpen()) DoFlush();
    m_buffer.clear();
    return TKrFileStream::Close();
}
