// TKrGZipReader against files of the system gzip program and hand-made headers.
#include "KrGZipTestUtils.h"

#include "Core/KrMessage.h"
#include "Streams/KrGZipFormat.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

using namespace KrGZipTest;

namespace {

/// The deflate data and trailer of a member without optional fields, behind a new header.
std::string Reheader(const std::string& member, const std::string& header) {
    return header + member.substr(10);
}

std::string Header(unsigned char flags) {
    return std::string("\x1f\x8b\x08", 3) + char(flags) + std::string(6, '\0');
}

void PutLE32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = char(v >> (8 * i));
}

} // namespace

TEST(KrGZipReader, ReadsSystemGzipFilesWithTheirHeader) {
    TScratchDir dir;
    ASSERT_FALSE(dir.path.empty());
    const std::string data = Lines(20000) + RandomBytes(70000, 1); // several input buffers
    const std::string gz = SystemGzip(dir, data, "-9", "lines.txt");
    struct stat st {};
    ASSERT_EQ(::stat((dir.path + "/lines.txt").c_str(), &st), 0);

    TKrStringStream source(gz);
    source.SetInfoName("mem");
    TKrGZipReader reader;
    TKrGZipFileInfo info;
    ASSERT_TRUE(reader.Open(&source, &info));
    EXPECT_TRUE(info.present);
    EXPECT_EQ(info.fileName, "lines.txt");
    EXPECT_EQ(info.modificationTime, std::uint32_t(st.st_mtime));
    EXPECT_EQ(reader.GetInfoName(), "mem:gzip");
    EXPECT_EQ(reader.getSize64(), data.size());
    // Odd read sizes cross every buffer boundary differently.
    EXPECT_TRUE(ReadRest(reader, 4093) == data);
    EXPECT_EQ(reader.getState(), TKrStream::stEndOfData);
    EXPECT_TRUE(reader.eof());
    EXPECT_EQ(reader.getPosition64(), data.size());

    // Reopening reuses the reader and starts over.
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_TRUE(ReadRest(reader, 1 << 20) == data);
}

TEST(KrGZipReader, ConcatenatedMembersReadAsOne) {
    TScratchDir dir;
    const std::string a = Lines(3000), b = RandomBytes(40000, 2);
    const std::string gz =
        SystemGzip(dir, a) + SystemGzip(dir, "") + SystemGzip(dir, b, "-1 -N") + Compress("end");
    TKrStringStream source(gz);
    TKrGZipReader reader;
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_EQ(reader.getSize64(), 3u); // only the last trailer is known before reading
    EXPECT_TRUE(ReadRest(reader, 1000) == a + b + "end");
    EXPECT_EQ(reader.getSize64(), a.size() + b.size() + 3);
    EXPECT_FALSE(reader.getState() & TKrStream::stReadError);
}

TEST(KrGZipReader, OptionalHeaderFieldsAreParsedOrSkipped) {
    const std::string member = Compress("payload");
    // FEXTRA with two subfields, FNAME, FCOMMENT and FHCRC, all in one header.
    std::string header = Header(4 | 8 | 16 | 2);
    PutLE32(header, 4, 1700000000);
    header += std::string("\x09\x00", 2) + std::string("AB\x05\x00hello", 9);
    header += std::string("name.txt\0", 9) + std::string("a comment\0", 10) + "\x12\x34";
    TKrStringStream source(Reheader(member, header));
    TKrGZipReader reader;
    TKrGZipFileInfo info;
    ASSERT_TRUE(reader.Open(&source, &info));
    EXPECT_EQ(info.fileName, "name.txt");
    EXPECT_EQ(info.comment, "a comment");
    EXPECT_EQ(info.modificationTime, 1700000000u);
    EXPECT_EQ(ReadRest(reader), "payload");

    // Fields longer than the input buffer.
    const std::string longName(50000, 'n');
    TKrStringStream big(Reheader(member, Header(8 | 16) + longName + '\0' + std::string(20000, 'c') + '\0'));
    ASSERT_TRUE(reader.Open(&big, &info));
    EXPECT_EQ(info.fileName, longName);
    EXPECT_EQ(info.comment.size(), 20000u);
    EXPECT_EQ(ReadRest(reader), "payload");
}

TEST(KrGZipReader, BadHeadersMakeTheOpenFail) {
    const std::string good = Compress(Lines(10));
    const std::string cases[] = {
        "",
        good.substr(0, 9),
        "\x1f\x8c" + good.substr(2),
        good.substr(0, 2) + '\x07' + good.substr(3),
        Reheader(good, Header(0x20)),
        Reheader(good, Header(4) + "\xff\xff"), // extra field longer than the file
        Header(8) + "unterminated name",
        Header(16) + "unterminated comment",
        Header(2) + "\x01",
    };
    for (const std::string& bytes : cases) {
        TKrStringStream source(bytes);
        TKrGZipReader reader;
        TKrGZipFileInfo info;
        EXPECT_FALSE(reader.Open(&source, &info)) << bytes.size();
        EXPECT_FALSE(info.present);
        EXPECT_FALSE(reader);
        EXPECT_EQ(reader.getSize64(), TKrStream::invalid_value64);
    }
}

TEST(KrGZipReader, CorruptDataFailsTheReadThatReachesIt) {
    const std::string data = Lines(2000);
    const std::string good = Compress(data);
    std::string badCrc = good;
    badCrc[good.size() - 8] ^= 1;
    std::string badDeflate = good;
    badDeflate[10] = '\xff'; // reserved block type
    // Where the deflate data itself is damaged, zlib may emit wrong bytes before it notices.
    const std::pair<std::string, bool> cases[] = {
        {badCrc, true},
        {good.substr(0, good.size() - 6), true},
        {good + "garbage after the member", true},
        {badDeflate, false},
        {good.substr(0, good.size() / 2) + good.substr(good.size() - 4), false}};
    for (const auto& [bytes, intact] : cases) {
        TKrStringStream source(bytes);
        TKrGZipReader reader;
        ASSERT_TRUE(reader.Open(&source));
        std::string all(data.size() + 100, '\0');
        const streamsize_t got = reader.Read(&all[0], all.size());
        EXPECT_TRUE(reader.getState() & TKrStream::stReadError) << bytes.size();
        ASSERT_LE(got, data.size());
        if (intact) {
            EXPECT_TRUE(all.substr(0, got) == data.substr(0, got)) << bytes.size();
        }
        EXPECT_EQ(reader.Read(&all[0], 10), 0u); // and stays failed
    }
    // With optFailReadsAfterError a later read fails before touching anything.
    TKrStringStream source(badCrc);
    TKrGZipReader reader;
    reader.setOptions(TKrStream::optFailReadsAfterError);
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_EQ(ReadRest(reader).size(), data.size());
    reader.setPosition(0);
    char c;
    EXPECT_EQ(reader.Read(&c, 1), TKrStream::invalid_value);
}

TEST(KrGZipReader, SeeksForwardAndRewindsToZeroOnly) {
    const std::string data = RandomBytes(3 << 20, 7);
    TKrStringStream source(Compress(data, {}, 1));
    TKrGZipReader reader;
    ASSERT_TRUE(reader.Open(&source));
    char buf[100];
    ASSERT_EQ(reader.Read(buf, 100), 100u);
    ASSERT_TRUE(reader.setPosition64((2 << 20) + 12345)); // a skip longer than its scratch buffer
    EXPECT_EQ(reader.getPosition64(), (2u << 20) + 12345);
    ASSERT_EQ(reader.Read(buf, 100), 100u);
    EXPECT_EQ(std::string(buf, 100), data.substr((2 << 20) + 12345, 100));

    reader.setPosition(50);
    EXPECT_THROW(reader.Read(buf, 1), std::logic_error);
    reader.setPosition(0);
    ASSERT_EQ(reader.Read(buf, 100), 100u);
    EXPECT_EQ(std::string(buf, 100), data.substr(0, 100));

    // A skip past the end stops there.
    reader.setPosition64(data.size() + 10);
    EXPECT_EQ(reader.Read(buf, 1), 0u);
    EXPECT_EQ(reader.getPosition64(), data.size());
    EXPECT_TRUE(reader.getState() & TKrStream::stEndOfData);
}

TEST(KrGZipReader, SizeFollowsTheTrailerUntilTheEnd) {
    const std::string data = Lines(1000);
    std::string gz = Compress(data);
    PutLE32(gz, gz.size() - 4, 10); // the trailer claims 10 bytes
    TKrStringStream source(gz);
    TKrGZipReader reader;
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_EQ(reader.getSize64(), 10u);
    std::string buf(500, '\0');
    ASSERT_EQ(reader.Read(&buf[0], 10), 10u);
    EXPECT_EQ(reader.getSize64(), 10u);
    ASSERT_EQ(reader.Read(&buf[0], 1), 1u);
    EXPECT_EQ(reader.getSize64(), 10u + (1ul << 32)); // taken as wrapped around 2^32
    EXPECT_FALSE(reader.eof());
    EXPECT_EQ(ReadRest(reader).size(), data.size() - 11);
    EXPECT_EQ(reader.getSize64(), data.size()); // exact once the end was seen
    reader.setPosition(0);
    EXPECT_EQ(reader.getSize64(), data.size());
}

TEST(KrGZipReader, EmptyMember) {
    TKrStringStream source(Compress(""));
    EXPECT_EQ(source.str().size(), 20u);
    TKrGZipReader reader;
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_EQ(reader.getSize64(), 0u);
    EXPECT_TRUE(reader.eof());
    char c;
    EXPECT_EQ(reader.Read(&c, 1), 0u);
    EXPECT_EQ(reader.getState(), TKrStream::stEndOfData);
}

TEST(KrGZipReader, ClosedAndNotApplicable) {
    TKrGZipReader reader;
    char c;
    EXPECT_EQ(reader.Read(&c, 1), TKrStream::invalid_value);
    EXPECT_EQ(reader.getState(), TKrStream::stReadError);
    EXPECT_FALSE(reader.setPosition(0));
    EXPECT_TRUE(reader.Close());
    try {
        reader.Write("x", 1);
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "@TKrGZipReader::Write() not applicable");
    }
    try {
        reader.setSize64(0);
        FAIL();
    } catch (const std::logic_error& e) {
        EXPECT_STREQ(e.what(), "@TKrGZipReader::setSize() not applicable");
    }
    try {
        reader.Read(&c, 1ul << 32);
        FAIL();
    } catch (const TKrMessage& m) {
        EXPECT_STREQ(
            m.what(),
            "@virtual streamsize_t TKrGZipReader::Read(void *, streamsize_t): Read block size too large");
    }

    struct TClosing : TKrStringStream {
        using TKrStringStream::TKrStringStream;
        int closes = 0;
        bool Close() override { return ++closes, false; }
    } source(Compress("x"));
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_TRUE(reader.Close());
    EXPECT_EQ(source.closes, 0);
    reader.setOptions(TKrStream::optCloseSource);
    ASSERT_TRUE(reader.Open(&source));
    EXPECT_FALSE(reader.Close()); // the source's result
    EXPECT_EQ(source.closes, 1);
    EXPECT_TRUE(reader.Close());
    EXPECT_EQ(source.closes, 1);

    EXPECT_EQ(KrGZipSignatureSize(), 2u);
    EXPECT_EQ(KrGZipSignatureData()[0], 0x1F);
    EXPECT_EQ(KrGZipSignatureData()[1], 0x8B);
}
