// Lock files against other lock objects of this process and against a second process holding
// the lock; Relock.
#include "Streams/KrLockFile.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>

using KrFsTest::TLogCapture;
using KrFsTest::TScratchDir;

namespace {
using Clock = std::chrono::steady_clock;
using KrFsTest::MsSince;

/// A child process that takes an exclusive lock on `path`, reports it through a pipe and holds
/// it until the parent closes its end of a second pipe (or kills it).
class TLockHolderProcess {
public:
    explicit TLockHolderProcess(const std::string& path) {
        int ready[2], release[2];
        if (pipe(ready) != 0 || pipe(release) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(release[1]);
            TKrSimpleLockFile lock(path, true, "child", 2000);
            char ok = lock.IsLocked() ? '1' : '0', c;
            if (write(ready[1], &ok, 1) == 1) (void)!read(release[0], &c, 1);
            _exit(lock.IsLocked() ? 0 : 1); // skips the destructor: the parent unlinks if needed
        }
        close(ready[1]);
        close(release[0]);
        m_release = release[1];
        char ok = 0;
        m_locked = read(ready[0], &ok, 1) == 1 && ok == '1';
        close(ready[0]);
    }
    ~TLockHolderProcess() { Kill(); }
    bool Locked() const { return m_locked; }
    /// Ends the child without unlocking, leaving its lock file behind.
    void Kill() {
        if (m_release >= 0) close(m_release);
        m_release = -1;
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        m_pid = -1;
    }

private:
    pid_t m_pid = -1;
    int m_release = -1;
    bool m_locked = false;
};
} // namespace

TEST(KrLockFile, ExclusiveLocksExcludeEachOtherInOneProcess) {
    TScratchDir dir;
    const std::string path = dir / "res.lock";
    {
        var_a<TKrSimpleLockFile*> first = TKrSimpleLockFile::VCreate(path, true, "", 1000);
        ASSERT_TRUE(first);
        EXPECT_TRUE(std::filesystem::exists(path));
        auto t0 = Clock::now();
        EXPECT_FALSE(TKrSimpleLockFile::VCreate(path, true, "", 0)); // one attempt, no waiting
        EXPECT_FALSE(TKrSimpleLockFile::VCreate(path, false, "", 0));
        EXPECT_LT(MsSince(t0), 90);
        EXPECT_FALSE(TKrSimpleLockFile::CanLock(path, true));
        EXPECT_TRUE(TKrSimpleLockFile::CanLock(path, false));
    }
    EXPECT_FALSE(std::filesystem::exists(path)); // unlocked by the destructor
    EXPECT_TRUE(TKrSimpleLockFile::CanLock(path, true));
    // A non-exclusive lock only shows that the file could be locked; it holds nothing.
    var_a<TKrSimpleLockFile*> shared = TKrSimpleLockFile::VCreate(path, false, "", 0);
    ASSERT_TRUE(shared);
    EXPECT_TRUE(TKrSimpleLockFile::VCreate(path, true, "", 0));
    EXPECT_FALSE(TKrSimpleLockFile::CanLock(dir / "no/such/folder/x.lock", true));
}

TEST(KrLockFile, AnotherProcessHoldsTheLockUntilItDies) {
    TScratchDir dir;
    const std::string path = dir / "shared.lock";
    TLockHolderProcess holder(path);
    ASSERT_TRUE(holder.Locked());

    TLogCapture log;
    auto t0 = Clock::now();
    EXPECT_FALSE(TKrSimpleLockFile::VCreate(path, false, "", 350)); // retries every 100 ms
    const long long waited = MsSince(t0);
    EXPECT_GE(waited, 300);
    EXPECT_LT(waited, 1500);
    EXPECT_EQ(log.Count("\tI5\t\tTKrSimpleLockFile error (" + path + ", exclusive: 0)\n"), 1u);
    t0 = Clock::now();
    EXPECT_FALSE(TKrSimpleLockFile::VCreate(path, true, "", 250)); // waits inside the attempt
    EXPECT_GE(MsSince(t0), 200);
    EXPECT_FALSE(TKrSimpleLockFile::CanLock(path, true));
    EXPECT_FALSE(TKrLockFile(path, true, "", 0));

    holder.Kill(); // a lock left by a process that died is taken over
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_TRUE(TKrSimpleLockFile::VCreate(path, true, "", 0));
}

TEST(KrLockFile, RelockSwitchesExclusivityUnderTheGuard) {
    TScratchDir dir;
    const std::string path = dir / "r.lock";

    TKrLockFile missing(dir / "no/folder/r.lock", true, "", 0);
    EXPECT_FALSE(missing);
    EXPECT_FALSE(missing.Relock(true)); // nothing was obtained
    EXPECT_EQ(missing.GetPath(), "");

    var_a<TKrLockFile*> lock = TKrLockFile::VCreate(path, true, "info", 200);
    ASSERT_TRUE(lock && *lock);
    EXPECT_FALSE(TKrSimpleLockFile::CanLock(path, true));
    EXPECT_TRUE(lock->Relock(false));
    EXPECT_TRUE(TKrSimpleLockFile::CanLock(path, true)); // non-exclusive holds nothing
    EXPECT_FALSE(std::filesystem::exists(path + "#locker"));
    EXPECT_TRUE(lock->Relock(true));
    EXPECT_FALSE(TKrSimpleLockFile::CanLock(path, true));

    {
        // While someone else holds the guard, Relock fails and keeps the current lock.
        var_a<TKrSimpleLockFile*> guard = TKrSimpleLockFile::VCreate(path + "#locker", true, "", 0);
        ASSERT_TRUE(guard);
        EXPECT_FALSE(lock->Relock(false));
        EXPECT_TRUE(*lock);
        EXPECT_FALSE(TKrSimpleLockFile::CanLock(path, true));
    }
    // The relocked exclusive lock keeps out even a non-exclusive attempt.
    TKrLockFile other(path, false, "", 0);
    EXPECT_FALSE(other);
    lock.reset();
    EXPECT_TRUE(TKrSimpleLockFile::CanLock(path, true));
}
