// TKrFileStream on real files: the open-mode table, the retry and log paths, end of data, a full
// disk through /dev/full, and the error messages of OpenE.
#include "Core/KrMessage.h"
#include "Streams/KrFileStream.h"
#include "Streams/KrMemoryStream.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <filesystem>

using KrFsTest::ReadFile;
using KrFsTest::TLogCapture;
using KrFsTest::TScratchDir;

namespace {
using Clock = std::chrono::steady_clock;
using KrFsTest::MsSince;
std::string ReadAllOf(TKrFileStream& s) {
    std::string out(static_cast<std::size_t>(s.getSize64()), '\0');
    s.setPosition64(0);
    if (!out.empty() && s.Read(&out[0], out.size()) != out.size()) return "<read failed>";
    return out;
}
} // namespace

TEST(KrFileStream, OpenModesOnExistingAndMissingFiles) {
    TScratchDir dir;
    const std::string file = dir.Write("f.txt", "hello");

    // Read-write opens keep the content and can read and write.
    for (krOpenMode mode : {krOpenWrite, krOpenReadWrite, krOpenReadWriteExisting}) {
        TKrFileStream s(file, mode);
        ASSERT_TRUE(s.IsOpen()) << mode;
        EXPECT_EQ(s.GetOpenMode(), mode);
        EXPECT_EQ(ReadAllOf(s).substr(0, 5), "hello") << mode;
        s.setPosition64(s.getSize64());
        EXPECT_EQ(s.Write("!", 1), 1u);
    }
    EXPECT_EQ(ReadFile(file), "hello!!!");

    {
        TKrFileStream s(file, krCreate); // truncates, and reads back what it wrote
        ASSERT_TRUE(s.IsOpen());
        EXPECT_EQ(s.getSize64(), 0u);
        EXPECT_EQ(s.Write("new", 3), 3u);
        EXPECT_EQ(ReadAllOf(s), "new");
    }
    {
        TKrFileStream s;
        EXPECT_FALSE(s.Open(file, krCreateNew));
        EXPECT_EQ(s.GetLastError().value(), EEXIST);
        EXPECT_EQ(ReadFile(file), "new");
        EXPECT_TRUE(s.Open(dir / "fresh", krCreateNew));
        EXPECT_EQ(s.Write("x", 1), 1u);
    }
    {
        TKrFileStream s(dir / "missing", krOpenReadWriteExisting);
        EXPECT_FALSE(s.IsOpen());
        EXPECT_EQ(s.GetLastError().value(), ENOENT);
        EXPECT_EQ(s.GetOpenMode(), 0u);
        EXPECT_FALSE(std::filesystem::exists(dir / "missing"));
    }
    {
        TKrFileStream s(dir / "created", krOpenWrite);
        EXPECT_TRUE(s.IsOpen() && std::filesystem::exists(dir / "created"));
    }
    {
        // Read and read-write opens find the file ignoring case; the stream keeps the given path.
        dir.Write("Data/File.txt", "abc");
        TKrFileStream s(dir / "data/FILE.TXT", krOpenRead);
        ASSERT_TRUE(s.IsOpen());
        EXPECT_EQ(ReadAllOf(s), "abc");
        EXPECT_EQ(s.GetPath().str(), dir / "data/FILE.TXT");
        EXPECT_EQ(s.GetInfoName(), dir / "data/FILE.TXT");
        EXPECT_TRUE(s.Close() && !s.IsOpen() && s.Close());
        EXPECT_EQ(s.GetOpenMode(), 0u);
        // create and createNew take the path as written.
        EXPECT_FALSE(s.Open(dir / "data/NEW", krCreate));
        EXPECT_FALSE(s.Open(dir / "data/NEW", krCreateNew));
        EXPECT_TRUE(s.Open(dir / "Data/NEW", krCreate));
    }
}

TEST(KrFileStream, FailedOpensAreLoggedWithoutNeedlessRetries) {
    TScratchDir dir;
    TLogCapture log;
    TKrFileStream s;

    auto t0 = Clock::now();
    EXPECT_FALSE(s.Open(dir / "missing", krOpenRead));
    EXPECT_LT(MsSince(t0), 90); // a missing file is not worth waiting for
    EXPECT_EQ(log.Count("\tI5\t\t@TKrFileStream::Open(krOpenRead): " + (dir / "missing") +
                        ": std::error_code: 2 (No such file or directory).\n"),
              1u);
    EXPECT_EQ(log.Count("retry"), 0u);
    EXPECT_EQ(s.GetInfoName(), dir / "missing");

    EXPECT_FALSE(s.Open(dir / "x", static_cast<krOpenMode>(3)));
    EXPECT_FALSE(s.IsOpen());
    EXPECT_EQ(s.GetLastError().value(), EINVAL);
    EXPECT_EQ(log.Count("\tE3\t\t@TKrFileStream::Open(): Unknown open mode: 3.\n"), 1u);
    EXPECT_EQ(log.Count("@TKrFileStream::Open(UnknownMode): "), 1u);

    // A folder exists but cannot be opened as a file: one retry after 100 ms, then give up.
    t0 = Clock::now();
    EXPECT_FALSE(s.Open(dir.path, krOpenRead));
    EXPECT_GE(MsSince(t0), 95);
    EXPECT_EQ(s.GetLastError().value(), EISDIR);
    EXPECT_EQ(log.Count("@TKrFileStream::OpenRead(): " + dir.path +
                        ": retry: GetLastError: 21 (Is a directory)...\n"),
              1u);
    EXPECT_EQ(log.Count("@TKrFileStream::OpenRead(): " + dir.path +
                        ": give-up: GetLastError: 21 (Is a directory)\n"),
              1u);
}

TEST(KrFileStream, OpenEThrowsTheModesMessageWithPathAndReason) {
    TScratchDir dir;
    dir.Write("exists", "");
    struct Row {
        krOpenMode mode;
        std::string path;
        const char* reason;
    } rows[] = {
        {krOpenRead, dir / "nope", "No such file or directory"},
        {krOpenReadWriteExisting, dir / "nope", "No such file or directory"},
        {krCreateNew, dir / "exists", "File exists"},
        {krOpenWrite, dir / "no/folder", "No such file or directory"},
    };
    for (const Row& r : rows) {
        try {
            TKrFileStream::VCreateE(r.path, r.mode);
            ADD_FAILURE() << "no exception for mode " << r.mode;
        } catch (const TKrMessage& m) {
            TKrMessage shown(m);
            shown.set_format("%1%|%2%");
            EXPECT_EQ(shown.std_str(), r.path + "|" + r.reason);
        }
    }
    var_a<TKrFileStream*> quiet = TKrFileStream::VCreate(dir / "nope", krOpenRead);
    ASSERT_TRUE(quiet);
    EXPECT_FALSE(quiet->IsOpen());
    EXPECT_TRUE(TKrFileStream::VCreateE(dir / "exists", krOpenRead)->IsOpen());
}

TEST(KrFileStream, ReadsPositionsAndSizes) {
    TScratchDir dir;
    const std::string data = KrFsTest::RandomBytes(100000, 7);
    var_a<TKrFileStream*> w = TKrFileStream::VCreateE(dir / "d.bin", krCreate);
    EXPECT_EQ(w->Write(data.data(), data.size()), data.size());
    EXPECT_EQ(w->getPosition64(), data.size());
    EXPECT_TRUE(w->Flush());
    w.reset();

    TKrFileStream s(dir / "d.bin", krOpenRead);
    char buf[100];
    EXPECT_TRUE(s.setPosition64(data.size() - 10));
    EXPECT_EQ(s.Read(buf, 100), 10u);
    EXPECT_EQ(std::string(buf, 10), data.substr(data.size() - 10));
    EXPECT_EQ(s.getState(), TKrStream::stEndOfData);
    EXPECT_TRUE(s.setPosition(1234));
    EXPECT_EQ(s.Read(buf, 100), 100u);
    EXPECT_EQ(std::string(buf, 100), data.substr(1234, 100));
    EXPECT_EQ(s.getPosition(), 1334u);
    EXPECT_TRUE(s.Flush()); // read-only: nothing to do
    EXPECT_FALSE(s.setSize64(5));
    EXPECT_TRUE(s.getState() & TKrStream::stWriteError);

    TKrFileStream rw(dir / "d.bin", krOpenReadWrite);
    EXPECT_TRUE(rw.setSize64(10));
    EXPECT_EQ(rw.getSize(), 10u);
    EXPECT_TRUE(rw.setSize(5000)); // grows with zeros
    EXPECT_EQ(ReadFile(dir / "d.bin"), data.substr(0, 10) + std::string(4990, '\0'));

    TKrFileStream closed;
    EXPECT_EQ(closed.getSize64(), TKrStream::invalid_value);
    EXPECT_EQ(closed.getPosition64(), TKrStream::invalid_value);
    EXPECT_FALSE(closed.setPosition64(0));
    EXPECT_EQ(closed.getState(), TKrStream::stSeekError);
    EXPECT_FALSE(closed.Flush());
    EXPECT_EQ(closed.Read(buf, 1), TKrStream::invalid_value);
    EXPECT_EQ(closed.Write(buf, 1), TKrStream::invalid_value);
    EXPECT_EQ(closed.getState(), TKrStream::stSeekError | TKrStream::stWriteError | TKrStream::stReadError);
    EXPECT_FALSE(static_cast<bool>(closed));
    // Open starts with a clean state word.
    EXPECT_TRUE(closed.Open(dir / "d.bin", krOpenRead));
    EXPECT_EQ(closed.getState(), 0u);
}

TEST(KrFileStream, FullDiskSetsNoRoomAndLogsLowSpace) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    TLogCapture log;
    TKrFileStream s("/dev/full", krOpenWrite);
    ASSERT_TRUE(s.IsOpen());
    std::string block(4096, 'x');
    EXPECT_EQ(s.Write(block.data(), block.size()), TKrStream::invalid_value);
    EXPECT_EQ(s.getState(), TKrStream::stWriteError | TKrStream::stNoRoom);
    EXPECT_EQ(
        log.Count(
            "\tW3\t\t@TKrFileStream::Write(): /dev/full: GetLastError: 28 (No space left on device).\n"),
        1u);
    // The low-space report is an error record of its own (its text comes from the language files).
    EXPECT_EQ(log.Count("\tE3\t"), 1u);

    // With the option set, later writes fail at once and quietly.
    s.setOptions(TKrStream::optFailWritesAfterError);
    const std::size_t records = log.Count("\n\n");
    EXPECT_EQ(s.Write(block.data(), 1), TKrStream::invalid_value);
    EXPECT_EQ(log.Count("\n\n"), records);
}

TEST(KrFileStream, FailingReadsAndWritesAreRetriedOnceAndReported) {
    TScratchDir dir;
    TLogCapture log;
    const std::string name = dir / "w.bin";

    // A write-only stream cannot read: the read is retried once after 100 ms, then reported.
    TKrFileStream w(name, krCreateNew);
    ASSERT_TRUE(w.IsOpen());
    char buf[8];
    auto t0 = Clock::now();
    EXPECT_EQ(w.Read(buf, sizeof buf), TKrStream::invalid_value);
    EXPECT_GE(MsSince(t0), 95);
    EXPECT_EQ(w.getState(), TKrStream::stReadError);
    EXPECT_EQ(log.Count("\tW2\t\t@TKrFileStream::Read(): " + name +
                        ": GetLastError: 9 (Bad file descriptor). Will retry...\n"),
              1u);
    EXPECT_EQ(log.Count("\tE2\t\t@TKrFileStream::Read(): " + name +
                        ": retry: GetLastError: 9 (Bad file descriptor)\n"),
              1u);

    w.setOptions(TKrStream::optFailReadsAfterError);
    t0 = Clock::now();
    EXPECT_EQ(w.Read(buf, sizeof buf), TKrStream::invalid_value);
    EXPECT_LT(MsSince(t0), 90);

    // A read-only stream cannot write: a plain write error, no low-space bit.
    TKrFileStream r(name, krOpenRead);
    EXPECT_EQ(r.Write("x", 1), TKrStream::invalid_value);
    EXPECT_EQ(r.getState(), TKrStream::stWriteError);
    EXPECT_EQ(log.Count("@TKrFileStream::Write(): " + name + ": GetLastError: 9 (Bad file descriptor).\n"),
              1u);
}

TEST(KrFileStream, FileTimesComeFromTheFile) {
    TScratchDir dir;
    TKrFileStream s(dir / "t", krCreate);
    std::filesystem::last_write_time(dir / "t",
                                     std::filesystem::file_time_type::clock::now() - std::chrono::hours(50));
    TKrDateTime created, modified, accessed;
    EXPECT_TRUE(s.GetFileTime(&created, &modified, nullptr));
    EXPECT_TRUE(s.GetFileTime(nullptr, nullptr, &accessed));
    const std::int64_t now = TKrDateTime::Current().Ticks(), minute = 60 * TKrDateTime::TicksPerSecond;
    EXPECT_LT(std::llabs(created.Ticks() - now), minute);
    EXPECT_LT(std::llabs(accessed.Ticks() - now), minute);
    EXPECT_LT(std::llabs(modified.Ticks() + 50 * 60 * minute - now), minute);
}

TEST(KrMemoryStream, SwapSaveAndLoad) {
    KrFsTest::TScratchDir dir;
    const std::string path = dir / "m.bin";
    TKrMemoryStream a, b;
    a.WriteAllE("payload", 7);
    a.SaveE(path);
    b.WriteAllE("other", 5);
    b.LoadE(path);
    EXPECT_EQ(b.getPosition(), 0u);
    EXPECT_EQ(std::string(b.GetBuffer(), b.getSize()), "payload");
    a.Swap(b);
    EXPECT_EQ(a.getPosition(), 0u);
    EXPECT_EQ(b.getPosition(), 7u);
    EXPECT_THROW(b.LoadE(path + ".missing"), TKrMessage);
    EXPECT_EQ(b.getSize(), 7u); // a failed load keeps the content
}
