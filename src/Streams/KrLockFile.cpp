// Lock files: timed acquisition of a lock file on disk, the relockable lock and its factory hook.
#include "Streams/KrLockFile.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Core/KrTimer.h"

#include <QLockFile>
#include <QString>

#include <algorithm>
#include <climits>
#include <thread>

namespace {
constexpr auto kRetryDelay = std::chrono::milliseconds(100);

std::uint32_t TickMs() {
    return static_cast<std::uint32_t>(TKrTimerMs::Elapsed().count());
}

std::unique_ptr<QLockFile> MakeLock(const std::string& path) {
    auto lock = std::make_unique<QLockFile>(QString::fromUtf8(path.data(), static_cast<int>(path.size())));
    // Only a holder that has died makes a lock stale; a long-held lock of a living process stays
    // respected (the default would take over any lock older than 30 s).
    lock->setStaleLockTime(0);
    return lock;
}
} // namespace

TKrSimpleLockFile::TKrSimpleLockFile(const std::string& path, bool exclusive, const std::string& /*info*/,
                                     std::uint64_t timeoutMs) {
    const std::uint32_t start = TickMs();
    std::uint64_t elapsed = 0;
    do {
        try {
            std::unique_ptr<QLockFile> lock = MakeLock(path);
            if (lock->error() == QLockFile::NoError) {
                if (exclusive) {
                    const std::uint64_t remaining = timeoutMs > elapsed ? timeoutMs - elapsed : 0;
                    if (lock->tryLock(static_cast<int>(std::min<std::uint64_t>(remaining, INT_MAX))))
                        m_lock = std::move(lock);
                } else if (lock->tryLock(0)) {
                    lock->unlock();
                    m_lock = std::move(lock);
                }
            }
        } catch (...) {
            // counts as a failed attempt
        }
        if (m_lock) break;
        elapsed = static_cast<std::uint32_t>(TickMs() - start);
        if (elapsed >= timeoutMs) break;
        std::this_thread::sleep_for(kRetryDelay);
        elapsed = static_cast<std::uint32_t>(TickMs() - start);
    } while (elapsed < timeoutMs);

    if (!m_lock)
        KrLogWriteInfo(TKrMessage("TKrSimpleLockFile error (%1%, exclusive: %2%)") << path << exclusive, 5);
}

TKrSimpleLockFile::~TKrSimpleLockFile() {
    try {
        if (m_lock && m_lock->isLocked()) m_lock->unlock();
    } catch (...) {
    }
    m_lock.reset();
}

var_a<TKrSimpleLockFile*> TKrSimpleLockFile::VCreate(const std::string& path, bool exclusive,
                                                     const std::string& info, std::uint64_t timeoutMs) {
    var_a<TKrSimpleLockFile*> lock = new_a<TKrSimpleLockFile>(path, exclusive, info, timeoutMs);
    return lock->IsLocked() ? lock : var_a<TKrSimpleLockFile*>();
}

bool TKrSimpleLockFile::CanLock(const std::string& path, bool exclusive) {
    try {
        std::unique_ptr<QLockFile> lock = MakeLock(path);
        if (lock->error() != QLockFile::NoError) return false;
        if (!exclusive) return true;
        if (!lock->tryLock(0)) return false;
        lock->unlock();
        return true;
    } catch (...) {
        return false;
    }
}

// ---- TKrLockFile ---------------------------------------------------------------------------------

TKrLockFile::TVCreateFunc TKrLockFile::s_VCreateFunc = nullptr;

TKrLockFile::TKrLockFile(const std::string& path, bool exclusive, const std::string& info,
                         std::uint64_t timeoutMs)
    : m_lock(TKrSimpleLockFile::VCreate(path, exclusive, info, timeoutMs)) {
    if (m_lock) {
        m_path = path;
        m_timeoutMs = timeoutMs;
        m_info = info;
    }
}

TKrLockFile::~TKrLockFile() = default;

var_a<TKrLockFile*> TKrLockFile::VCreate(const std::string& path, bool exclusive, const std::string& info,
                                         std::uint64_t timeoutMs, void* context) {
    if (s_VCreateFunc) return s_VCreateFunc(path, exclusive, info, timeoutMs, context);
    return new_a<TKrLockFile>(path, exclusive, info, timeoutMs);
}

bool TKrLockFile::Relock(bool exclusive) {
    if (!m_lock || m_path.empty()) return false;
    var_a<TKrSimpleLockFile*> guard =
        TKrSimpleLockFile::VCreate(m_path + "#locker", true, m_info, m_timeoutMs);
    if (!guard) return false;
    m_lock.reset();
    m_lock = TKrSimpleLockFile::VCreate(m_path, exclusive, m_info, m_timeoutMs);
    guard.reset();
    return static_cast<bool>(m_lock);
}
