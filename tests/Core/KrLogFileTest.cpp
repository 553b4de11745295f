// Log files: flush modes, appending from two processes, names, clean-up, creators, failures.
#include "Core/KrLog.h"
#include "Core/KrLogCreate.h"
#include "Core/KrLogFileStream.h"
#include "Core/KrLogParser.h"
#include "Streams/KrStringStream.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <set>
#include <thread>

using namespace KrFsTest;
namespace fs = std::filesystem;

namespace {

void Record(TKrStream* s, const std::string& source, const std::string& text) {
    KrLogWriteRecord(s, source, text, TE_KrLogMsgType::lmtInfo, 3, 0);
}

std::size_t Count(const std::string& text, const std::string& needle) {
    std::size_t n = 0;
    for (std::size_t p = text.find(needle); p != std::string::npos; p = text.find(needle, p + 1))
        ++n;
    return n;
}

std::vector<std::string> Names(const std::string& dir) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(KrLogFileStream, FlushModesDecideWhenRecordsReachTheFile) {
    TScratchDir dir;
    const std::string path = dir / "a.log";
    TKrLogFileStream log(path, krCreate);
    ASSERT_TRUE(log.IsOpen());
    EXPECT_EQ(log.GetFlushMode(), TKrLogFileStream::fmAlways);
    Record(&log, "s", "one");
    EXPECT_NE(ReadFile(path).find("\tI3\ts\tone\n"), std::string::npos);

    log.SetFlushMode(TKrLogFileStream::fmNever);
    Record(&log, "s", "two");
    EXPECT_EQ(ReadFile(path).find("two"), std::string::npos);
    EXPECT_TRUE(log.DoFlush());
    EXPECT_NE(ReadFile(path).find("two"), std::string::npos);

    // Timed flushing needs a timer: without one it falls back to flushing always.
    log.SetFlushMode(TKrLogFileStream::fmTimed);
    EXPECT_EQ(log.GetFlushMode(), TKrLogFileStream::fmAlways);
    EXPECT_EQ(log.GetFlushIntervalMs(), 10000u);
    log.SetFlushInterval(99999);
    log.SetTimerId(TKrLogFileStream::NewTimerId());
    log.SetFlushMode(TKrLogFileStream::fmTimed);
    EXPECT_EQ(log.GetFlushIntervalMs(), 32767000u);

    log.SetFlushInterval(1);
    log.SetFlushMode(TKrLogFileStream::fmTimed); // restarts the interval now
    Record(&log, "s", "three");
    TKrLogFileStream::DoFlushTimers();
    EXPECT_EQ(ReadFile(path).find("three"), std::string::npos);
    std::this_thread::sleep_for(std::chrono::milliseconds(1050));
    TKrLogFileStream::DoFlushTimers();
    EXPECT_NE(ReadFile(path).find("three"), std::string::npos);

    log.CloseTimer();
    EXPECT_EQ(log.GetTimerId(), 0u);
    log.SetFlushMode(TKrLogFileStream::fmNever);
    Record(&log, "s", "four");
    log.Close(); // a close writes what is still buffered
    EXPECT_NE(ReadFile(path).find("four"), std::string::npos);
}

TEST(KrLogFileStream, UnflushedBytesSpillAtRecordBoundaries) {
    TScratchDir dir;
    const std::string path = dir / "b.log";
    TKrLogFileStream log(path, krCreate);
    log.SetFlushMode(TKrLogFileStream::fmNever);
    const std::string text(1000, 'x');
    for (int i = 0; i < 100; ++i)
        Record(&log, "s", text + "\n" + std::to_string(i));
    const std::string spilled = ReadFile(path);
    ASSERT_FALSE(spilled.empty());
    // What reached the file ends with a whole record: its last line, then nothing more.
    EXPECT_EQ(spilled.back(), '\n');
    EXPECT_NE(spilled.substr(spilled.size() - 8).find("\t\t\t"), std::string::npos);
}

TEST(KrLogFileStream, TwoProcessesAppendingInterleaveWholeRecords) {
    TScratchDir dir;
    const std::string path = dir / "shared.log";
    constexpr int kRecords = 3000;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    const char* who = child == 0 ? "child" : "parent";
    {
        TKrLogFileStream log(path, krOpenWrite);
        for (int i = 0; i < kRecords; ++i)
            Record(&log, who,
                   std::string(who) + " " + std::to_string(i) + "\nsecond line " + std::to_string(i));
    }
    if (child == 0) _exit(0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));

    const std::string text = ReadFile(path);
    const std::regex record(
        "\n[^\t\n]+\tI3\t(child|parent)\t(child|parent) ([0-9]+)\n\t\t\tsecond line ([0-9]+)\n");
    std::map<std::string, std::set<int>> seen;
    std::size_t covered = 0;
    for (std::sregex_iterator it(text.begin(), text.end(), record), end; it != end; ++it) {
        const std::smatch& m = *it;
        ASSERT_EQ(static_cast<std::size_t>(m.position(0)), covered) << "torn record near byte " << covered;
        covered += static_cast<std::size_t>(m.length(0));
        EXPECT_EQ(m[1], m[2]);
        EXPECT_EQ(m[3], m[4]);
        EXPECT_TRUE(seen[m[1]].insert(std::stoi(m[3])).second) << "record written twice";
    }
    EXPECT_EQ(covered, text.size());
    EXPECT_EQ(seen["child"].size(), std::size_t(kRecords));
    EXPECT_EQ(seen["parent"].size(), std::size_t(kRecords));
}

TEST(KrLogFileNames, NameCarriesPrefixTimeAndSuffix) {
    const std::regex form("app-20[0-9]{6}-[0-9]{9}-run\\.log");
    EXPECT_TRUE(std::regex_match(GetKrLogFilename("app", "run"), form)) << GetKrLogFilename("app", "run");
    EXPECT_TRUE(std::regex_match(GetKrLogFilename("app", ""), std::regex("app-20[0-9]{6}-[0-9]{9}\\.log")));
}

TEST(KrLogFileNames, ClearingKeepsNewestHundredAndNewestThreeDays) {
    // `recent` files on the newest three days, the rest on older days, one per minute.
    auto fill = [](const TScratchDir& dir, int total, int recent) {
        for (int i = 0; i < total; ++i) {
            // Days grow with i, so the order of the names is the order of i.
            const int old = total - recent;
            const int day = i >= old ? 10 + (i - old) * 3 / recent : 1 + i * 5 / old;
            char name[64];
            std::snprintf(name, sizeof name, "app-202601%02d-%02d%02d00000.log", day, i / 60, i % 60);
            dir.Write(name, std::to_string(i));
        }
        dir.Write("other-20260101-000000000.log", "");
        dir.Write("app-notes.txt", "");
    };
    {
        TScratchDir dir;
        fill(dir, 150, 120);
        EXPECT_EQ(ClearKrLogDirectory(dir.path, "app"), 30u);
        const auto names = Names(dir.path);
        EXPECT_EQ(names.size(), 122u);
        EXPECT_EQ(std::count_if(names.begin(), names.end(),
                                [](const std::string& n) { return n.rfind("app-2026011", 0) == 0; }),
                  120);
    }
    {
        TScratchDir dir;
        fill(dir, 150, 30);
        EXPECT_EQ(ClearKrLogDirectory(dir.path, "app"), 50u);
        std::set<std::string> kept;
        for (const auto& n : Names(dir.path))
            kept.insert(ReadFile(dir / n));
        // The newest 100 by name (oldest days first) are the ones written last.
        for (int i = 0; i < 150; ++i)
            EXPECT_EQ(kept.count(std::to_string(i)), i >= 50 ? 1u : 0u) << i;
    }
    {
        TScratchDir dir;
        fill(dir, 100, 0);
        EXPECT_EQ(ClearKrLogDirectory(dir.path, "app"), 0u);
    }
}

TEST(KrLogCreator, InstallsFileInFrontOfPreviousLogAndRestoresIt) {
    TLogCapture previous;
    TScratchDir dir;
    const var_a<TKrStream*> before = KrLogGetLogV();
    EXPECT_FALSE(CreateKrLogFile(dir / "x.log", "", 0, 5));
    EXPECT_EQ(KrLogGetLogV(), before);
    EXPECT_TRUE(Names(dir.path).empty());

    std::string firstFile, secondFile;
    {
        var_a<TKrLogCreator*> outer = CreateKrLogFile(dir / "x.log", "tool", krLogToFile, 3);
        ASSERT_TRUE(outer);
        firstFile = outer->GetFilePath().str();
        KrLogWriteInfo(std::string("kept at 3"), 3);
        KrLogWriteInfo(std::string("filtered at 4"), 4);
        {
            // The same name again gets a copy index; creators nest.
            var_a<TKrLogCreator*> inner = CreateKrLogFile(dir / "x.log", "", krLogToFile, 5);
            ASSERT_TRUE(inner);
            secondFile = inner->GetFilePath().str();
            KrLogWriteInfo(std::string("inner record"), 3);
        }
        KrLogWriteInfo(std::string("after inner"), 3);
    }
    EXPECT_EQ(KrLogGetLogV(), before);
    EXPECT_EQ(firstFile, dir / "x.log");
    EXPECT_EQ(secondFile, dir / "x [1].log");

    const std::string first = ReadFile(firstFile);
    // The inner log passes its own header and closing line on to the outer file.
    for (const char* line :
         {"flags=0x1, level=3", "Log file of tool", "kept at 3", "inner record", "after inner"})
        EXPECT_EQ(Count(first, line), 1u) << line;
    for (const char* line :
         {"Log created, 0x", "\",Version ", "User ", "Locale id=", "CPU arch=", "Log closed, 0x"})
        EXPECT_EQ(Count(first, line), 2u) << line;
    EXPECT_EQ(Count(first, "filtered at 4"), 0u);
    EXPECT_EQ(Count(ReadFile(secondFile), "inner record"), 1u);
    EXPECT_EQ(Count(ReadFile(secondFile), "after inner"), 0u);
    // The previous log saw everything, each record once.
    for (const char* line : {"kept at 3", "filtered at 4", "inner record", "after inner"})
        EXPECT_EQ(previous.Count(line), 1u) << line;
    EXPECT_EQ(previous.Count("Log closed"), 2u);
}

TEST(KrLogCreator, TimedFlushingNeverStrandsTheRecordsOfAQuietPeriod) {
    TLogCapture previous;
    TScratchDir dir;
    const unsigned flags = krLogToFile | krLogFlushTimed | krLogFlushInterval(1);
    {
        // No event loop could drive a timer here, so the file flushes on every record.
        var_a<TKrLogCreator*> log = CreateKrLogFile(dir / "plain.log", "", flags, 5);
        ASSERT_TRUE(log);
        EXPECT_EQ(log->GetFileStream()->GetFlushMode(), TKrLogFileStream::fmAlways);
        KrLogWriteInfo(std::string("written at once"));
        EXPECT_NE(ReadFile(dir / "plain.log").find("written at once"), std::string::npos);
    }
    // With an application, its event loop flushes a record nobody follows within the interval.
    int argc = 1;
    char arg0[] = "KrLogFileTest";
    char* argv[] = {arg0, nullptr};
    QCoreApplication app(argc, argv);
    var_a<TKrLogCreator*> log = CreateKrLogFile(dir / "timed.log", "", flags, 5);
    ASSERT_TRUE(log);
    EXPECT_EQ(log->GetFileStream()->GetFlushMode(), TKrLogFileStream::fmTimed);
    KrLogWriteInfo(std::string("the last record for a while"));
    QTimer::singleShot(2500, &app, &QCoreApplication::quit);
    app.exec();
    EXPECT_NE(ReadFile(dir / "timed.log").find("the last record for a while"), std::string::npos);
}

TEST(KrLogCreator, RotatedFilesKeepEachRecordExactlyOnce) {
    TLogCapture previous;
    TScratchDir dir;
    // Files of four days, 40 a day; after the clean-up the newest three days remain whole.
    for (int i = 0; i < 160; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "run-2026020%d-%06d000.log", 1 + i / 40, i);
        var_a<TKrLogCreator*> log = CreateKrLogFile(dir / name, "", krLogToFile, 5);
        ASSERT_TRUE(log);
        KrLogWriteInfo("record " + std::to_string(i) + ".");
    }
    EXPECT_EQ(ClearKrLogDirectory(dir.path, "run"), 40u);
    std::string all;
    for (const auto& n : Names(dir.path))
        all += ReadFile(dir / n);
    for (int i = 0; i < 160; ++i) {
        EXPECT_EQ(Count(all, "record " + std::to_string(i) + "."), i >= 40 ? 1u : 0u) << i;
        EXPECT_EQ(previous.Count("record " + std::to_string(i) + "."), 1u);
    }
}

TEST(KrLogCreator, UnwritableFolderIsReportedAndChangesNothing) {
    TLogCapture previous;
    TScratchDir dir;
    dir.Write("plain", "a file, not a folder");
    const var_a<TKrStream*> before = KrLogGetLogV();
    EXPECT_FALSE(CreateKrLogFile(dir / "plain/x.log", "", krLogToFile, 5));
    EXPECT_EQ(KrLogGetLogV(), before);
    EXPECT_NE(previous.Text().find("\tE3\t"), std::string::npos) << previous.Text();

    // A folder nobody may write to (root included, through the immutable attribute).
    fs::create_directory(dir / "locked");
    const bool locked = std::system(("chattr +i '" + dir / "locked" + "' 2>/dev/null").c_str()) == 0 ||
                        (geteuid() != 0 && ::chmod((dir / "locked").c_str(), 0555) == 0);
    if (locked) {
        const std::size_t errors = previous.Count("\tE3\t");
        // With the console asked for too, the log still comes up, without the file.
        var_a<TKrLogCreator*> log =
            CreateKrLogFile(dir / "locked/x.log", "", krLogToFile | krLogToConsole, 0);
        ASSERT_TRUE(log);
        EXPECT_EQ(log->GetFileStream(), nullptr);
        EXPECT_EQ(previous.Count("\tE3\t"), errors + 1);
        log.reset();
        (void)std::system(("chattr -i '" + dir / "locked" + "' 2>/dev/null").c_str());
        (void)::chmod((dir / "locked").c_str(), 0755);
    }
    EXPECT_TRUE(Names(dir / "locked").empty());
}

TEST(KrLogFileStream, FullDeviceIsReportedOnceAndTheLogGoesOn) {
    TLogCapture previous;
    var_a<TKrLogFileStream*> full = new_a<TKrLogFileStream>("/dev/full", krOpenWrite);
    ASSERT_TRUE(full->IsOpen());
    var_a<TKrLogRedirect*> redirect = new_a<TKrLogRedirect>();
    redirect->AddStream(KrLogGetLogV().get(), TKrLogRedirect::GetAllFilter(), false);
    redirect->AddStream(full.get(), TKrLogRedirect::GetAllFilter(), false);
    KrLogSetLogV(redirect);
    for (int i = 0; i < 5; ++i)
        KrLogWriteInfo("record " + std::to_string(i) + ".");
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(previous.Count("record " + std::to_string(i) + "."), 1u);
    EXPECT_EQ(full->getState() & (TKrStream::stWriteError | TKrStream::stNoRoom),
              TKrStream::stWriteError | TKrStream::stNoRoom);
    // One failed write, reported once (a warning and the low-space error), not once per record.
    EXPECT_EQ(previous.Count("\tW3\t"), 1u) << previous.Text();
    EXPECT_EQ(previous.Count("\tE3\t"), 1u) << previous.Text();
}
