// TKrGZipWriter: exact header bytes, output the system gzip accepts, failures; krtool gzip and gunzip.
#include "KrGZipTestUtils.h"

#include "Core/KrMessage.h"
#include "Streams/KrFixedMemStream.h"

#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace KrGZipTest;

TEST(KrGZipWriter, HeaderCarriesTheInfoOnlyWhenPresent) {
    const std::string plain("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    TKrGZipFileInfo info;
    info.fileName = "ignored";
    EXPECT_EQ(Compress("abc", info).substr(0, 11), plain + '\x4b'); // deflate data follows at once

    info = TKrGZipFileInfo();
    info.present = true;
    info.modificationTime = 0x12345678;
    EXPECT_EQ(Compress("abc", info).substr(0, 11),
              std::string("\x1f\x8b\x08\x00\x78\x56\x34\x12\x00\x03\x4b", 11));

    info.fileName = std::string("a.txt\0tail", 10); // a zero byte would end the field early
    info.comment = "note";
    const std::string gz = Compress("abc", info);
    EXPECT_EQ(gz.substr(0, 21), std::string("\x1f\x8b\x08\x18\x78\x56\x34\x12\x00\x03"
                                            "a.txt\0note\0",
                                            21));

    TKrStringStream source(gz);
    TKrGZipReader reader;
    TKrGZipFileInfo back;
    ASSERT_TRUE(reader.Open(&source, &back));
    EXPECT_EQ(back.fileName, "a.txt");
    EXPECT_EQ(back.comment, "note");
    EXPECT_EQ(ReadRest(reader), "abc");
}

TEST(KrGZipWriter, SystemGzipAcceptsEveryLevelAndMemberSequences) {
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string data = Lines(5000) + RandomBytes(100000, 4) + Lines(100);
    SaveFile(dir.path + "/data", data);
    for (int level : {-1, 0, 1, 6, 9}) {
        TKrStringStream target;
        TKrGZipWriter writer;
        ASSERT_TRUE(writer.Open(&target, level));
        // Uneven pieces, several of them filling the output buffer.
        std::size_t at = 0;
        for (std::size_t piece : {std::size_t(0), std::size_t(1), std::size_t(7), std::size_t(70000)}) {
            ASSERT_EQ(writer.Write(data.data() + at, piece), piece);
            at += piece;
        }
        ASSERT_EQ(writer.Write(data.data() + at, data.size() - at), data.size() - at);
        EXPECT_EQ(writer.getSize64(), data.size());
        EXPECT_EQ(writer.getPosition64(), data.size());
        ASSERT_TRUE(writer.Close());
        SaveFile(dir.path + "/out.gz", target.str());
        int status = -1;
        RunShell(dir.path, "gzip -t out.gz", &status);
        EXPECT_EQ(status, 0) << level;
        RunShell(dir.path, "gzip -dc out.gz | cmp -s - data", &status);
        EXPECT_EQ(status, 0) << level;
    }

    // One writer, reopened on the same target, appends members that read back as one text.
    TKrStringStream target;
    TKrGZipWriter writer;
    TKrGZipFileInfo info;
    info.present = true;
    info.fileName = "first.txt";
    for (const char* part : {"one ", "two ", "", "three"}) {
        ASSERT_TRUE(writer.Open(&target, info, 9));
        writer.WriteStr(part);
    }
    ASSERT_TRUE(writer.Close());
    SaveFile(dir.path + "/multi.gz", target.str());
    EXPECT_EQ(RunShell(dir.path, "gzip -dc multi.gz"), "one two three");
    EXPECT_NE(RunShell(dir.path, "gzip -lvN multi.gz").find("first.txt"), std::string::npos);
}

TEST(KrGZipWriter, TargetFailuresAndMisuse) {
    char small[64];
    TKrFixedMemStream tooSmall(small, 5, krOpenWrite);
    TKrGZipWriter writer;
    EXPECT_FALSE(writer.Open(&tooSmall));
    EXPECT_EQ(writer.getState() & 0xF00u, TKrStream::stWriteError | TKrStream::stNoRoom);
    EXPECT_FALSE(writer);

    // The header fits; the first full output buffer does not.
    const std::string noise = RandomBytes(100000, 5);
    TKrFixedMemStream target(small, sizeof small, krOpenWrite);
    TKrGZipWriter second;
    second.setOptions(TKrStream::optFailWritesAfterError);
    ASSERT_TRUE(second.Open(&target, 0));
    EXPECT_EQ(second.Write(noise.data(), noise.size()), TKrStream::invalid_value);
    EXPECT_TRUE(second.getState() & TKrStream::stNoRoom);
    EXPECT_EQ(second.Write("x", 1), TKrStream::invalid_value);
    EXPECT_FALSE(second.Close());

    TKrStringStream sink;
    EXPECT_FALSE(writer.Open(&sink, 10)); // no such level
    TKrGZipWriter closed;
    EXPECT_EQ(closed.Write("x", 1), TKrStream::invalid_value);
    EXPECT_EQ(closed.getState(), TKrStream::stWriteError);
    EXPECT_TRUE(closed.Close());

    const std::pair<std::function<void()>, const char*> misuse[] = {
        {[&] { closed.Read(small, 1); }, "@TKrGZipWriter::Read() not applicable"},
        {[&] { closed.setSize(0); }, "@TKrGZipWriter::setSize() not applicable"},
        {[&] { closed.setSize64(1ul << 33); }, "@TKrGZipWriter::setSize() not applicable"},
        {[&] { closed.setPosition(0); }, "@TKrGZipWriter::setPosition() not applicable"},
        {[&] { closed.setPosition64(1ul << 33); }, "@TKrGZipWriter::setPosition() not applicable"},
    };
    for (const auto& [call, text] : misuse) {
        try {
            call();
            ADD_FAILURE() << text;
        } catch (const std::logic_error& e) {
            EXPECT_STREQ(e.what(), text);
        }
    }
    try {
        closed.Write(small, 1ul << 32);
        ADD_FAILURE();
    } catch (const TKrMessage& m) {
        EXPECT_STREQ(m.what(), "@virtual streamsize_t TKrGZipWriter::Write(const void *, streamsize_t): "
                               "Write block size too large");
    }

    struct TClosing : TKrStringStream {
        int closes = 0;
        bool Close() override { return ++closes, true; }
    } closing;
    {
        TKrGZipWriter owner;
        owner.setOptions(TKrStream::optCloseSource);
        ASSERT_TRUE(owner.Open(&closing));
        owner.WriteStr("finished by the destructor");
    }
    EXPECT_EQ(closing.closes, 1);
    TKrStringStream source(closing.str());
    TKrGZipReader reader;
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_EQ(ReadRest(reader), "finished by the destructor");
}

TEST(KrGZipTool, GzipAndGunzipAgreeWithTheSystemProgram) {
    const auto tool = std::filesystem::path(KRSTD_LIBRARY_FILE).parent_path() / "tools/krtool/krtool";
    if (!std::filesystem::exists(tool)) GTEST_SKIP() << "this build has no krtool";
    const std::string krtool = "'" + tool.string() + "' ";
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string data = Lines(30000);
    SaveFile(dir.path + "/data", data);
    int status = -1;
    RunShell(dir.path, krtool + "gzip -l 9 --name orig.txt --comment 'made here' data data.gz", &status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(RunShell(dir.path, "gzip -lvN data.gz").find("orig.txt"), std::string::npos);
    EXPECT_NE(LoadFile(dir.path + "/data.gz").find(std::string("made here\0", 10)), std::string::npos);
    RunShell(dir.path, "gzip -dc data.gz | cmp -s - data", &status);
    EXPECT_EQ(status, 0);

    // Three layers, the inner one of two members, all peeled at once.
    RunShell(dir.path,
             "(gzip -c data; gzip -c data) | gzip -c | gzip -1 -c > layers.gz && " + krtool +
                 "gunzip layers.gz out",
             &status);
    ASSERT_EQ(status, 0);
    EXPECT_TRUE(LoadFile(dir.path + "/out") == data + data);

    RunShell(dir.path, krtool + "gunzip data out 2>/dev/null", &status);
    EXPECT_EQ(status, 1);
    RunShell(dir.path, "head -c 2000 data.gz > cut.gz && " + krtool + "gunzip cut.gz out 2>/dev/null",
             &status);
    EXPECT_EQ(status, 1);
    RunShell(dir.path, krtool + "gzip -l 12 data x.gz 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}
