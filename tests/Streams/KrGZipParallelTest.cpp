// The parallel gzip writer: members every gzip reader takes as one stream, failures, krtool gzip --threads.
#include "KrGZipTestUtils.h"

#include "Streams/KrFixedMemStream.h"

#include <gtest/gtest.h>

using namespace KrGZipTest;

namespace {

/// `data` through a writer with `threads`, written in pieces of varying size.
std::string CompressParallel(const std::string& data, std::size_t threads, const TKrGZipFileInfo& info = {},
                             int level = -1) {
    TKrStringStream target;
    TKrGZipWriter writer;
    writer.SetThreads(threads);
    EXPECT_TRUE(writer.Open(&target, info, level));
    std::size_t at = 0;
    for (std::size_t step = 1; at < data.size(); step = step * 7 % 900001 + 1) {
        const std::size_t n = std::min(step, data.size() - at);
        EXPECT_EQ(writer.Write(data.data() + at, n), streamsize_t(n));
        at += n;
    }
    EXPECT_EQ(writer.getSize64(), streamsize_t(data.size()));
    return writer.Close() ? target.str() : std::string();
}

} // namespace

TEST(KrGZipParallel, MembersReadBackWithOurReaderGzipAndPython) {
    TScratchDir dir;
    // Several blocks and a partial one; text that compresses and bytes that do not.
    const std::string data = Lines(60000) + RandomBytes(300000, 9) + Lines(20000);
    TKrGZipFileInfo info;
    info.present = true;
    info.fileName = "orig.txt";
    info.modificationTime = 1234567890;
    for (const std::size_t threads : {std::size_t(0), std::size_t(2), std::size_t(3)}) {
        const std::string gz = CompressParallel(data, threads, info);
        // The header of the first member is the writer's own; the next ones start bare.
        EXPECT_EQ(gz.substr(0, 19), std::string("\x1f\x8b\x08\x08\xd2\x02\x96\x49\0\x03orig.txt\0", 19));
        EXPECT_NE(gz.find(std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10)), std::string::npos);
        TKrStringStream source(gz);
        TKrGZipReader reader;
        ASSERT_TRUE(reader.Open(&source));
        EXPECT_TRUE(ReadRest(reader, 100000) == data) << threads;
        dir.Write("data.gz", gz);
        dir.Write("data", data);
        int status = -1;
        RunShell(dir.path,
                 "gzip -t data.gz && gzip -dc data.gz | cmp -s - data && python3 -c \"import gzip,sys; "
                 "sys.exit(gzip.open('data.gz').read() != open('data','rb').read())\"",
                 &status);
        EXPECT_EQ(status, 0) << threads;
    }
    // Independent blocks cost little over one member at the same level.
    const std::string text = Lines(100000);
    EXPECT_LT(double(CompressParallel(text, 2).size()), 1.02 * double(Compress(text, {}, 6).size()));
}

TEST(KrGZipParallel, EmptyInputIsOneEmptyMemberAndLevelsAreChecked) {
    TScratchDir dir;
    const std::string gz = CompressParallel(std::string(), 2);
    TKrStringStream source(gz);
    TKrGZipReader reader;
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_EQ(ReadRest(reader), "");
    EXPECT_EQ(reader.getSize64(), 0u);
    dir.Write("empty.gz", gz);
    int status = -1;
    EXPECT_EQ(RunShell(dir.path, "gzip -dc empty.gz | wc -c", &status), "0\n");
    EXPECT_EQ(status, 0);

    const std::string data = Lines(40000);
    for (const int level : {0, 1, 9}) {
        TKrStringStream back(CompressParallel(data, 2, {}, level));
        ASSERT_TRUE(reader.Open(&back));
        EXPECT_TRUE(ReadRest(reader) == data) << level;
    }
    TKrStringStream target;
    TKrGZipWriter writer;
    writer.SetThreads(2);
    EXPECT_FALSE(writer.Open(&target, 10));
}

TEST(KrGZipParallel, RefusedOutputFailsWritesAndClose) {
    std::string room(50000, '\0');
    TKrFixedMemStream target(&room[0], room.size(), krOpenWrite);
    TKrGZipWriter writer;
    writer.SetThreads(2);
    ASSERT_TRUE(writer.Open(&target));
    const std::string data = RandomBytes(3u << 20, 5); // incompressible: the first member overflows
    streamsize_t last = 0;
    for (std::size_t at = 0; at < data.size() && last != TKrStream::invalid_value; at += 65536)
        last = writer.Write(data.data() + at, 65536);
    EXPECT_FALSE(writer.Close());
    EXPECT_TRUE(writer.getState() & TKrStream::stWriteError);
}

TEST(KrGZipTool, GzipThreadsWritesMembersTheSystemProgramReads) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    dir.Write("data", Lines(100000));
    int status = -1;
    RunShell(dir.path,
             krtool +
                 "gzip --threads 2 data data.gz && gzip -t data.gz && gzip -dc data.gz | cmp -s - data && " +
                 krtool + "gunzip data.gz out && cmp -s out data",
             &status);
    EXPECT_EQ(status, 0);
    RunShell(dir.path, krtool + "gzip --threads x data x.gz 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}
