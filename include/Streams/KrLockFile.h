// Lock files that serialise access to shared files between processes (and between objects of one process).
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"

#include <cstdint>
#include <memory>
#include <string>

class QLockFile;

/// One attempt-with-timeout at a lock file on disk. Exclusive: the lock is held until the
/// object dies. Not exclusive: the lock is taken and released at once, so the object only
/// shows that nobody else held it.
///
/// A lock left behind by a process that has died is taken over; a lock of a living process is
/// respected however old it is.
class KRSTD_API TKrSimpleLockFile {
public:
    /// Tries for up to `timeoutMs` (at least once), waiting 100 ms between attempts; an
    /// exclusive attempt itself waits for the remaining time. `info` is not used.
    TKrSimpleLockFile(const std::string& path, bool exclusive, const std::string& info,
                      std::uint64_t timeoutMs);
    TKrSimpleLockFile(const TKrSimpleLockFile&) = delete;
    TKrSimpleLockFile& operator=(const TKrSimpleLockFile&) = delete;
    /// Unlocks when locked; never throws.
    ~TKrSimpleLockFile();

    /// The object when the lock file was obtained, otherwise an empty var_a.
    static var_a<TKrSimpleLockFile*> VCreate(const std::string& path, bool exclusive, const std::string& info,
                                             std::uint64_t timeoutMs);
    /// Whether the lock could be had now (no waiting). Not exclusive: only whether a lock object
    /// can be made. Never throws.
    static bool CanLock(const std::string& path, bool exclusive);

    /// A lock file was obtained.
    bool IsLocked() const noexcept { return m_lock != nullptr; }

private:
    std::unique_ptr<QLockFile> m_lock;
};

/// A lock held for the object's life, whose exclusivity can be changed with Relock. Made
/// through VCreate so that an application can substitute its own kind of lock.
class KRSTD_API TKrLockFile {
public:
    /// The signature of the factory hook; `context` is passed through from VCreate.
    using TVCreateFunc = var_a<TKrLockFile*> (*)(const std::string& path, bool exclusive,
                                                 const std::string& info, std::uint64_t timeoutMs,
                                                 void* context);
    /// When set, VCreate calls this instead of making a TKrLockFile.
    static TVCreateFunc s_VCreateFunc;

    TKrLockFile(const std::string& path, bool exclusive, const std::string& info, std::uint64_t timeoutMs);
    TKrLockFile(const TKrLockFile&) = delete;
    TKrLockFile& operator=(const TKrLockFile&) = delete;
    virtual ~TKrLockFile();

    /// The hook's result when s_VCreateFunc is set (with `context`), otherwise a new TKrLockFile
    /// (check it with operator bool).
    static var_a<TKrLockFile*> VCreate(const std::string& path, bool exclusive, const std::string& info,
                                       std::uint64_t timeoutMs, void* context = nullptr);

    /// Replaces the held lock by one of the requested exclusivity. The switch happens under the
    /// guard lock file path + "#locker", so no other Relock slips in between. False when no
    /// lock was held, when the guard cannot be had (the old lock is kept then), or when the new
    /// lock cannot be had within the timeout (no lock is held then).
    bool Relock(bool exclusive);
    /// A lock is held.
    explicit operator bool() const noexcept { return m_lock.get() != nullptr; }
    const std::string& GetPath() const noexcept { return m_path; }

private:
    std::string m_path;
    std::uint64_t m_timeoutMs = 0;
    std::string m_info;
    var_a<TKrSimpleLockFile*> m_lock;
};
