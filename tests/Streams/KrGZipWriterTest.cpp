// TKrGZipWriter: exact header bytes, output the system gzip accepts, failures; misuse of either
// direction; krtool gzip and gunzip.
#include "KrGZipTestUtils.h"

#include "KrThrownText.h"
#include "Streams/KrFixedMemStream.h"

#include <functional>
#include <gtest/gtest.h>
#include <stdexcept>

using namespace KrGZipTest;

TEST(KrGZipWriter, HeaderCarriesTheInfoOnlyWhenPresent) {
    TKrGZipFileInfo info;
    info.fileName = "ignored";
    EXPECT_EQ(Compress("abc", info).substr(0, 11), std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03\x4b", 11));
    info.present = true;
    info.fileName.clear();
    info.modificationTime = 0x12345678;
    EXPECT_EQ(Compress("abc", info).substr(0, 11),
              std::string("\x1f\x8b\x08\0\x78\x56\x34\x12\0\x03\x4b", 11));

    info.fileName = std::string("a.txt\0tail", 10); // a zero byte would end the field early
    info.comment = "note";
    const std::string gz = Compress("abc", info);
    EXPECT_EQ(gz.substr(0, 21), std::string("\x1f\x8b\x08\x18\x78\x56\x34\x12\0\x03"
                                            "a.txt\0note\0",
                                            21));
    TKrStringStream source(gz);
    TKrGZipReader reader;
    TKrGZipFileInfo back;
    ASSERT_TRUE(reader.Open(&source, &back));
    EXPECT_EQ(back.fileName + "|" + back.comment + "|" + ReadRest(reader), "a.txt|note|abc");
}

TEST(KrGZipWriter, SystemGzipAcceptsEveryLevelAndMemberSequences) {
    TScratchDir dir;
    const std::string data = Lines(5000) + RandomBytes(100000, 4) + Lines(100);
    dir.Write("data", data);
    for (int level : {-1, 0, 1, 6, 9}) {
        TKrStringStream target;
        TKrGZipWriter writer;
        ASSERT_TRUE(writer.Open(&target, level));
        ASSERT_EQ(writer.Write(data.data(), 7), 7u); // then pieces filling the output buffer many times
        ASSERT_EQ(writer.Write(data.data() + 7, data.size() - 7), data.size() - 7);
        EXPECT_EQ(writer.getSize64(), data.size());
        ASSERT_TRUE(writer.Close());
        dir.Write("out.gz", target.str());
        int status = -1;
        RunShell(dir.path, "gzip -t out.gz && gzip -dc out.gz | cmp -s - data", &status);
        EXPECT_EQ(status, 0) << level;
    }
    // One writer reopened on the same target appends members that read back as one text.
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
    dir.Write("multi.gz", target.str());
    EXPECT_EQ(RunShell(dir.path, "gzip -dc multi.gz"), "one two three");
}

TEST(KrGZipWriter, TargetFailuresAndClosing) {
    char small[64];
    TKrFixedMemStream tooSmall(small, 5, krOpenWrite);
    TKrGZipWriter writer;
    EXPECT_FALSE(writer.Open(&tooSmall));
    EXPECT_EQ(writer.getState() & 0xF00u, TKrStream::stWriteError | TKrStream::stNoRoom);
    EXPECT_FALSE(writer);

    // The header fits; the first full output buffer does not.
    const std::string noise = RandomBytes(100000, 5);
    TKrFixedMemStream target(small, sizeof small, krOpenWrite);
    ASSERT_TRUE(writer.Open(&target, 0));
    EXPECT_EQ(writer.Write(noise.data(), noise.size()), TKrStream::invalid_value);
    EXPECT_TRUE(writer.getState() & TKrStream::stNoRoom);
    EXPECT_FALSE(writer.Close());

    struct TClosing : TKrStringStream {
        int closes = 0;
        bool Close() override { return ++closes, false; }
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
    EXPECT_TRUE(reader.Close()); // the source stays open without the option
    reader.setOptions(TKrStream::optCloseSource);
    ASSERT_TRUE(reader.Open(&closing));
    EXPECT_FALSE(reader.Close()); // with it, the source's result
    EXPECT_EQ(closing.closes, 2);
}

TEST(KrGZipStreams, MisuseOfEitherDirection) {
    TKrGZipReader reader;
    TKrGZipWriter writer;
    char c = 0;
    EXPECT_EQ(reader.Read(&c, 1), TKrStream::invalid_value);
    EXPECT_EQ(writer.Write(&c, 1), TKrStream::invalid_value);
    EXPECT_EQ(reader.getState() | writer.getState(), TKrStream::stReadError | TKrStream::stWriteError);

    const std::pair<std::function<void()>, const char*> calls[] = {
        {[&] { reader.Write(&c, 1); }, "@TKrGZipReader::Write() not applicable"},
        {[&] { reader.setSize64(1ul << 33); }, "@TKrGZipReader::setSize() not applicable"},
        {[&] { writer.Read(&c, 1); }, "@TKrGZipWriter::Read() not applicable"},
        {[&] { writer.setSize(0); }, "@TKrGZipWriter::setSize() not applicable"},
        {[&] { writer.setPosition64(1ul << 33); }, "@TKrGZipWriter::setPosition() not applicable"},
        {[&] { reader.Read(&c, 1ul << 32); },
         "@virtual streamsize_t TKrGZipReader::Read(void *, streamsize_t): Read block size too large"},
        {[&] { writer.Write(&c, 1ul << 32); }, "@virtual streamsize_t TKrGZipWriter::Write(const void *, "
                                               "streamsize_t): Write block size too large"},
    };
    for (const auto& [call, text] : calls)
        EXPECT_EQ(krtest::ThrownText<std::exception>(call), text);
}

TEST(KrGZipTool, GzipAndGunzipAgreeWithTheSystemProgram) {
    const std::string krtool = Krtool();
    if (krtool.empty()) GTEST_SKIP() << "this build has no krtool";
    TScratchDir dir;
    dir.Write("data", Lines(30000));
    int status = -1;
    RunShell(dir.path, krtool + "gzip -l 9 --name orig.txt --comment 'made here' data data.gz", &status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(RunShell(dir.path, "gzip -lvN data.gz").find("orig.txt"), std::string::npos);
    EXPECT_EQ(RunShell(dir.path, "grep -c 'made here' data.gz"), "1\n");
    // Three layers, the inner one of two members, all peeled at once.
    RunShell(dir.path,
             "gzip -dc data.gz | cmp -s - data && (gzip -c data; gzip -c data) | gzip -c | gzip -1 -c > "
             "layers.gz && " +
                 krtool + "gunzip layers.gz out && cat data data | cmp -s - out",
             &status);
    EXPECT_EQ(status, 0);
    for (const char* failing : {"gunzip data out", "gunzip cut.gz out", "gzip -l 12 data x.gz"}) {
        RunShell(dir.path, "head -c 2000 data.gz > cut.gz; " + krtool + failing + " 2>/dev/null", &status);
        EXPECT_EQ(status, failing[1] == 'z' ? 2 : 1) << failing;
    }
}
