// Processes on real children (exit codes, signals, time-outs, floods of output, start failures),
// single-instance conditions, the /proc process table, machine facts and the notification hooks.
#include "Core/KrModule.h"
#include "System/KrFsTestUtils.h"
#include "System/KrProcess.h"
#include "System/KrSysInfo.h"
#include "System/KrSysNotify.h"
#include "System/KrSysProcessInfo.h"
#include "System/KrSysTime.h"
#include "System/KrThreads.h"

#include <QStandardPaths>
#include <QString>
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <pthread.h>
#include <thread>

namespace {
using KrFsTest::MsSince;
using Clock = std::chrono::steady_clock;

// Whether `pid` is still in the process table, a zombie included.
bool InProcTable(std::uint64_t pid) {
    return std::filesystem::exists("/proc/" + std::to_string(pid));
}

int Sh(const std::string& script, TKrExecStatus& status, std::uint64_t timeoutMs = 0,
       const TKrPath& dir = {}) {
    return KrExecSyncProcess("/bin/sh", {"-c", script}, dir, timeoutMs, TE_KrExecCondition::ecAlways,
                             &status);
}

TEST(KrExecSync, ExitCodesSignalsTimeOutsAndOutput) {
    TKrExecStatus st{9, "stale"};
    EXPECT_EQ(Sh("exit 0", st), 1);
    EXPECT_EQ(std::make_pair(st.code, st.text), std::make_pair(0, std::string()));
    EXPECT_EQ(Sh("printf 'bad input' >&2; exit 3", st), 0);
    EXPECT_EQ(std::make_pair(st.code, st.text), std::make_pair(4, std::string("bad input")));
    // 64 MiB on standard output neither blocks the child nor reaches the status.
    EXPECT_EQ(Sh("head -c 67108864 /dev/zero; echo tail >&2; exit 1", st), 0);
    EXPECT_EQ(std::make_pair(st.code, st.text), std::make_pair(4, std::string("tail\n")));
    EXPECT_EQ(Sh("kill -KILL $$", st), 0);
    EXPECT_EQ(st.code, 4);
    KrFsTest::TScratchDir dir;
    EXPECT_EQ(Sh("pwd >&2; exit 1", st, 0, TKrPath(dir.path)), 0);
    EXPECT_EQ(st.text, std::filesystem::canonical(dir.path).string() + "\n");

    const auto start = Clock::now();
    EXPECT_EQ(Sh("echo $$ > " + dir / "pid" + "; exec sleep 30", st, 300), 0);
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_EQ(std::make_pair(st.code, st.text),
              std::make_pair(2, KrModule_Initializer::instance().get_resource_string("global.Err_TIMEOUT")));
    EXPECT_FALSE(InProcTable(std::stoull(KrFsTest::ReadFile(dir / "pid")))); // killed and reaped
}

TEST(KrExecStart, FailuresCarryTheSystemReason) {
    KrFsTest::TScratchDir dir;
    const std::string plain = dir.Write("plain.txt", "#!/bin/sh\n");
    struct Case {
        TKrPath program, workDir;
        int error;
    } cases[] = {{dir / "missing", {}, ENOENT},
                 {"no-such-program-krstd", {}, ENOENT},
                 {plain, {}, EACCES},
                 {"/bin/sh", dir / "missing", ENOENT}};
    for (const Case& c : cases) {
        TKrExecStatus st;
        TKrProcHandle h;
        const std::string why = std::strerror(c.error);
        EXPECT_EQ(KrExecSyncProcess(c.program, {}, c.workDir, 0, TE_KrExecCondition::ecAlways, &st), 0);
        EXPECT_EQ(std::make_pair(st.code, st.text), std::make_pair(1, why)) << c.program.str();
        EXPECT_EQ(KrExecProcess(c.program, {}, c.workDir, h, TE_KrExecCondition::ecAlways, &st), 0);
        EXPECT_EQ(std::make_pair(st.code, st.text), std::make_pair(1, why));
        EXPECT_EQ(KrExecProcess(c.program, {}, c.workDir, TE_KrExecCondition::ecAlways, &st), 0);
        EXPECT_EQ(std::make_pair(st.code, st.text), std::make_pair(1, why));
    }
    // A failed start still replaces the handle: it must not go on naming the previous child.
    TKrProcHandle h;
    ASSERT_EQ(KrExecProcess("/bin/sh", {"-c", "exec sleep 30"}, {}, h), 1);
    EXPECT_EQ(KrExecProcess(dir / "missing", {}, {}, h), 0);
    EXPECT_TRUE(h.empty());
}

/// A private copy of sleep: its name and path are ours alone in the process table.
struct TSleeper {
    KrFsTest::TScratchDir dir;
    TKrPath path;
    explicit TSleeper(const std::string& sub = "a") {
        std::filesystem::create_directories(dir / sub);
        path = TKrPath(dir / sub + "/krsleep" + std::to_string(::getpid()));
        std::filesystem::copy_file(QStandardPaths::findExecutable(QStringLiteral("sleep")).toStdString(),
                                   path.str());
    }
    std::string name() const { return path.fileName(); }
};

TEST(KrProcHandle, WaitTerminateDetachAndNoZombies) {
    TSleeper sleeper;
    TKrProcHandle h;
    ASSERT_EQ(KrExecProcess(sleeper.path, {"30"}, {}, h), 1);
    const std::uint64_t pid = h.processId();
    EXPECT_TRUE(h.isRunning());
    const auto listed = TKrSysProcessInfo::findProcessInfo(sleeper.name(), sleeper.path);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(std::make_pair(listed[0].id, listed[0].path.str()), std::make_pair(pid, sleeper.path.str()));
    EXPECT_FALSE(h.wait(100));
    h.terminate();
    EXPECT_TRUE(h.wait(0));
    EXPECT_EQ(std::make_pair(h.isRunning(), h.exitCode()), std::make_pair(false, -1));
    EXPECT_FALSE(InProcTable(pid));

    // Dropping a handle ends its child; a detached child outlives the handle.
    ASSERT_EQ(KrExecProcess(sleeper.path, {"30"}, {}, h), 1);
    const std::uint64_t dropped = h.processId();
    h = TKrProcHandle();
    EXPECT_FALSE(InProcTable(dropped));
    ASSERT_EQ(KrExecProcess(sleeper.path, {"30"}, {}, h), 1);
    const std::uint64_t detached = h.processId();
    h.detach();
    h = TKrProcHandle();
    EXPECT_EQ(TKrSysProcessInfo::findProcess(sleeper.name()), std::vector<std::uint64_t>{detached});
    ::kill(pid_t(detached), SIGKILL);
    const auto start = Clock::now();
    while (InProcTable(detached) && MsSince(start) < 5000)
        KrSleep(10);
    EXPECT_FALSE(InProcTable(detached)) << "left as a zombie";
}

TEST(KrProcHandle, ConditionsSkipARunningProgram) {
    TSleeper sleeper, twin("b");
    const TKrPath& other = twin.path; // same name, another folder
    TKrProcHandle h, h2;
    EXPECT_FALSE(IsProcessRunning(sleeper.path, TE_KrExecCondition::ecNoSameName));
    ASSERT_EQ(KrExecProcess(sleeper.path, {"30"}, {}, h, TE_KrExecCondition::ecNoSameName), 1);
    const std::uint64_t pid = h.processId();
    TKrExecStatus st{1, "x"};
    EXPECT_EQ(KrExecProcess(sleeper.path, {"30"}, {}, h, TE_KrExecCondition::ecNoSameName, &st), 2);
    EXPECT_EQ(std::make_tuple(h.processId(), st.code, st.text), std::make_tuple(pid, 0, std::string()));
    EXPECT_EQ(KrExecSyncProcess(other, {"30"}, {}, 0, TE_KrExecCondition::ecNoSameName), 2);
    EXPECT_FALSE(IsProcessRunning(other, TE_KrExecCondition::ecNoSameNameAndPath));
    EXPECT_TRUE(IsProcessRunning(sleeper.path, TE_KrExecCondition::ecNoSameNameAndPath));
    EXPECT_FALSE(IsProcessRunning(sleeper.path, TE_KrExecCondition::ecAlways));
    EXPECT_EQ(KrExecProcess(other, {"30"}, {}, h2, TE_KrExecCondition::ecNoSameNameAndPath), 1);
}

TEST(KrExecDetached, ChildRunsOnItsOwn) {
    KrFsTest::TScratchDir dir;
    ASSERT_EQ(KrExecProcess("/bin/sh", {"-c", "echo $PPID > ppid"}, TKrPath(dir.path)), 1);
    const auto start = Clock::now();
    while (KrFsTest::ReadFile(dir / "ppid").empty() && MsSince(start) < 5000)
        KrSleep(10);
    EXPECT_NE(KrFsTest::ReadFile(dir / "ppid"), std::to_string(::getpid()) + "\n"); // not our child
    EXPECT_FALSE(KrFsTest::ReadFile(dir / "ppid").empty());
}

TEST(KrSysProcessInfo, ProcessTableFromProc) {
    const auto ids = TKrSysProcessInfo::getRunningProcessesId();
    EXPECT_NE(std::find(ids.begin(), ids.end(), std::uint64_t(::getpid())), ids.end());
    const TKrSysProcessInfo self = TKrSysProcessInfo::getCurrentProcessInfo();
    const std::string exe = std::filesystem::canonical("/proc/self/exe").string();
    EXPECT_EQ(std::make_tuple(self.id, self.path.str(), self.name),
              std::make_tuple(std::uint64_t(::getpid()), exe, std::filesystem::path(exe).stem().string()));
    EXPECT_TRUE(TKrSysProcessInfo::getProcessInfoByProcessId(std::uint64_t(1) << 40).empty());
    const auto same = TKrSysProcessInfo::findProcess(self.name, self.path);
    EXPECT_NE(std::find(same.begin(), same.end(), self.id), same.end());
    EXPECT_TRUE(TKrSysProcessInfo::findProcess(self.name, TKrPath("/elsewhere/" + self.name)).empty());
}

TEST(KrSysInfo, MachineFactsAndThreadBudget) {
    const TKrSysInfo& si = TKrSysInfo::Instance();
    EXPECT_GT(si.totalPhysicalMemory(), 0u);
    EXPECT_EQ(si.totalVirtualMemory(), si.totalPhysicalMemory() + si.totalSwap());

    EXPECT_EQ(std::make_pair(KrGetThreadsCountFor(32), KrGetThreadsCountFor(0)), std::make_pair(20ul, 20ul));
    KrSetThreadsCountMax(64);
    EXPECT_EQ(std::make_pair(KrGetThreadsCountFor(32), KrGetThreadsCountFor(0)), std::make_pair(32ul, 64ul));
    KrSetThreadsCountMax(20);
    EXPECT_EQ(TKrSysInfo::threadsCount(), std::min<std::size_t>(si.processorCount(), 20));

    std::uint64_t resident = 1, peak = 1, priv = 1;
    ASSERT_TRUE(KrGetCurrentProcessMemoryInfo(&resident, &peak, &priv));
    EXPECT_EQ(std::make_pair(peak, priv), std::make_pair(0ul, 0ul));
    EXPECT_GT(resident, 0u);
    EXPECT_EQ(resident % si.pageSize(), 0u);
}

TEST(KrSysInfo, UserNameFallsBackFromAnEmptyUsername) {
    const char* oldUsername = std::getenv("USERNAME");
    const char* oldUser = std::getenv("USER");
    const std::string savedUsername = oldUsername ? oldUsername : "", savedUser = oldUser ? oldUser : "";
    setenv("USER", "alice", 1);
    setenv("USERNAME", "", 1);
    EXPECT_EQ(KrGetUserName(), "alice");
    setenv("USERNAME", "bob", 1);
    EXPECT_EQ(KrGetUserName(), "bob");
    oldUsername ? setenv("USERNAME", savedUsername.c_str(), 1) : unsetenv("USERNAME");
    oldUser ? setenv("USER", savedUser.c_str(), 1) : unsetenv("USER");
}

TEST(KrSysTime, SleepOutlastsSignalsAndTicksFollow) {
    struct sigaction sa {
    }, old{};
    sa.sa_handler = [](int) {};
    sigaction(SIGUSR1, &sa, &old); // no SA_RESTART: the sleep is cut short
    const pthread_t sleeper = pthread_self();
    const std::int64_t t0 = KrGetTickCount();
    const auto start = Clock::now();
    std::thread poker([sleeper] {
        for (int i = 0; i < 5; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            pthread_kill(sleeper, SIGUSR1);
        }
    });
    KrSleep(200);
    const long long slept = MsSince(start);
    poker.join();
    sigaction(SIGUSR1, &old, nullptr);
    EXPECT_GE(slept, 200);
    EXPECT_GE(KrGetTickCount() - t0, 200);
}

std::string g_seen;
TEST(KrSysNotify, HooksReplaceTheDialogAndPowerRequests) {
    const TKrSysMsgDialogHook dialog = [](const std::string& text, const std::string& title, bool isError) {
        g_seen += title + "|" + text + (isError ? "|E;" : "|I;");
    };
    EXPECT_EQ(KrSetSysMsgDialogHook(dialog), &KrDefaultSysMsgDialog);
    KrDisplaySysMsgDialog("disk full", "Job", true);
    const TKrPowerHook power = [](TKrPowerRequest r) {
        g_seen += r == TE_KrPowerRequest::prSoftOff ? "off;" : "hib;";
    };
    EXPECT_EQ(KrSetPowerHook(power), &KrPowerLogRequest); // never the kernel by default
    KrPower_SoftOff();
    KrPower_Hibernate();
    EXPECT_EQ(g_seen, "Job|disk full|E;off;hib;");
    KrSetSysMsgDialogHook(nullptr);
    KrSetPowerHook(nullptr);

    if (QStandardPaths::findExecutable(QStringLiteral("zenity")).isEmpty()) {
        testing::internal::CaptureStderr();
        KrDisplaySysMsgDialog("all done", "Job", false);
        KrPower_SoftOff();
        EXPECT_EQ(
            testing::internal::GetCapturedStderr(),
            "Job: all done\nRequest to power off the machine (not carried out: no power hook installed).\n");
    }
    const auto start = Clock::now();
    KrBeep(0, 5000); // no tone for frequency 0
    EXPECT_LT(MsSince(start), 1000);
}

} // namespace
