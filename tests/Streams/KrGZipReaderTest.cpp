// TKrGZipReader against files of the system gzip program, hand-made headers and damaged data.
#include "KrGZipTestUtils.h"
#include "Streams/KrFixedMemStream.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <sys/stat.h>

using namespace KrGZipTest;

namespace {
std::string Header(unsigned char flags) {
    return std::string("\x1f\x8b\x08", 3) + char(flags) + std::string(6, '\0');
}

/// The deflate data and trailer of a member without optional fields, behind another header.
std::string Reheader(const std::string& member, const std::string& header) {
    return header + member.substr(10);
}

void PutLE32(std::string& s, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s[at + i] = char(v >> (8 * i));
}

/// Hands out at most 13 bytes per read: a source the reader cannot take in place, whose refills
/// split header fields, deflate blocks and trailers anywhere.
class TDribbleStream : public TKrStringStream {
public:
    using TKrStringStream::TKrStringStream;
    streamsize_t Read(void* buf, streamsize_t n) override {
        return TKrStringStream::Read(buf, std::min<streamsize_t>(n, 1 + getPosition() % 13));
    }
};
} // namespace

TEST(KrGZipReader, ReadsSystemGzipFilesAndConcatenatedMembers) {
    TScratchDir dir;
    const std::string a = Lines(20000), b = RandomBytes(70000, 1); // several input buffers each
    const std::string named = SystemGzip(dir, a, "-9", "lines.txt");
    struct stat st {};
    ASSERT_EQ(::stat((dir.path + "/lines.txt").c_str(), &st), 0);
    const std::string gz = named + SystemGzip(dir, "") + SystemGzip(dir, b, "-1") + Compress("end");

    TKrStringStream source(gz);
    TKrGZipReader reader;
    TKrGZipFileInfo info;
    ASSERT_TRUE(reader.Open(&source, &info));
    EXPECT_TRUE(info.present);
    EXPECT_EQ(info.fileName, "lines.txt");
    EXPECT_EQ(info.modificationTime, std::uint32_t(st.st_mtime));
    EXPECT_EQ(reader.getSize64(), 3u); // only the last member's size is known before reading
    EXPECT_TRUE(ReadRest(reader, 4093) == a + b + "end");
    EXPECT_EQ(reader.getState(), TKrStream::stEndOfData);
    EXPECT_EQ(reader.getSize64(), a.size() + b.size() + 3);
    EXPECT_TRUE(reader.eof());
}

TEST(KrGZipReader, OptionalHeaderFieldsAreParsedOrSkipped) {
    const std::string member = Compress("payload");
    std::string header = Header(4 | 8 | 16 | 2);
    PutLE32(header, 4, 1700000000);
    header += std::string("\x09\x00"
                          "AB\x05\x00hello",
                          11) +
              std::string("name.txt\0a comment\0", 19) + "\x12\x34";
    const std::string longName(50000, 'n'); // longer than the input buffer
    const std::string longFields = Header(8 | 16) + longName + '\0' + std::string(20000, 'c') + '\0';

    TKrGZipReader reader;
    TKrGZipFileInfo info;
    TKrStringStream source(Reheader(member, header)), big(Reheader(member, longFields));
    ASSERT_TRUE(reader.Open(&source, &info));
    EXPECT_EQ(info.fileName, "name.txt");
    EXPECT_EQ(info.comment, "a comment");
    EXPECT_EQ(info.modificationTime, 1700000000u);
    EXPECT_EQ(ReadRest(reader), "payload");
    ASSERT_TRUE(reader.Open(&big, &info)); // reopening reuses the reader
    EXPECT_EQ(info.fileName, longName);
    EXPECT_EQ(info.comment.size(), 20000u);
    EXPECT_EQ(ReadRest(reader), "payload");
}

TEST(KrGZipReader, BadHeadersMakeTheOpenFail) {
    const std::string good = Compress(Lines(10));
    for (const std::string& bytes :
         {std::string(), good.substr(0, 9), "\x1f\x8c" + good.substr(2),
          good.substr(0, 2) + '\x07' + good.substr(3), Reheader(good, Header(0x20)), // reserved flag
          Reheader(good, Header(4) + "\xff\xff"), // extra field longer than the file
          Header(8) + "unterminated name", Header(16) + "unterminated comment", Header(2) + "\x01"}) {
        TKrStringStream source(bytes);
        TKrGZipReader reader;
        TKrGZipFileInfo info;
        EXPECT_FALSE(reader.Open(&source, &info)) << bytes.size();
        EXPECT_FALSE(info.present || reader);
        EXPECT_EQ(reader.getSize64(), TKrStream::invalid_value64);
    }
}

TEST(KrGZipReader, CorruptDataFailsTheReadThatReachesIt) {
    const std::string data = Lines(2000), good = Compress(data);
    std::string badCrc = good, badDeflate = good;
    badCrc[good.size() - 8] ^= 1;
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
        EXPECT_TRUE(!intact || all.compare(0, got, data, 0, got) == 0) << bytes.size();
        EXPECT_EQ(reader.Read(&all[0], 10), 0u); // and stays failed
        reader.setOptions(TKrStream::optFailReadsAfterError);
        EXPECT_EQ(reader.Read(&all[0], 10), TKrStream::invalid_value);
    }
}

TEST(KrGZipReader, SeeksForwardAndRewindsToZeroOnly) {
    const std::string data = RandomBytes(3 << 20, 7);
    TKrStringStream source(Compress(data, {}, 1));
    TKrGZipReader reader;
    ASSERT_TRUE(reader.Open(&source));
    char buf[100];
    ASSERT_EQ(reader.Read(buf, 100), 100u);
    ASSERT_TRUE(reader.setPosition64((2 << 20) + 12345)); // a skip longer than its scratch buffer
    ASSERT_EQ(reader.Read(buf, 100), 100u);
    EXPECT_EQ(std::string(buf, 100), data.substr((2 << 20) + 12345, 100));

    reader.setPosition(50);
    EXPECT_THROW(reader.Read(buf, 1), std::logic_error);
    reader.setPosition(0);
    ASSERT_EQ(reader.Read(buf, 100), 100u);
    EXPECT_EQ(std::string(buf, 100), data.substr(0, 100));

    reader.setPosition64(data.size() + 10); // a skip past the end stops there
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
    std::string buf(500, '\0');
    ASSERT_EQ(reader.Read(&buf[0], 10), 10u);
    EXPECT_EQ(reader.getSize64(), 10u);
    ASSERT_EQ(reader.Read(&buf[0], 1), 1u);
    EXPECT_EQ(reader.getSize64(), 10u + (1ul << 32)); // taken as wrapped around 2^32
    EXPECT_EQ(ReadRest(reader).size(), data.size() - 11);
    EXPECT_EQ(reader.getSize64(), data.size()); // exact once the end was seen, also after a rewind
    reader.setPosition(0);
    EXPECT_EQ(reader.getSize64(), data.size());

    TKrStringStream empty(Compress(""));
    ASSERT_TRUE(reader.Open(&empty));
    EXPECT_EQ(reader.getSize64(), 0u);
    EXPECT_EQ(reader.Read(&buf[0], 1), 0u);
    EXPECT_EQ(reader.getState(), TKrStream::stEndOfData);
}

TEST(KrGZipReader, InPlaceAndCopiedInputGiveTheSame) {
    const std::string data = RandomBytes(1 << 20, 3), longName(70000, 'n'); // past a heap block
    const std::string gz = Reheader(Compress(data, {}, 1), Header(8) + longName + '\0') + Compress("tail");
    std::string badCrc = gz;
    badCrc[badCrc.size() - 8] ^= 1;
    for (const std::string& bytes : {gz, gz.substr(0, gz.size() - 3), badCrc}) {
        TDribbleStream dribble(bytes);
        TKrStringStream string(bytes);
        TKrGZipReader copied, inPlace;
        TKrGZipFileInfo info;
        ASSERT_TRUE(copied.Open(&dribble) && inPlace.Open(&string, &info));
        EXPECT_EQ(info.fileName, longName);
        std::string head(1000, '\0');
        ASSERT_EQ(inPlace.Read(&head[0], head.size()), 1000u);
        string.str().reserve(bytes.size() * 2); // moves the bytes read in place
        EXPECT_TRUE(head + ReadRest(inPlace) == ReadRest(copied)) << bytes.size();
        EXPECT_EQ(inPlace.getState(), copied.getState()) << bytes.size();
        EXPECT_EQ(bool(copied.getState() & TKrStream::stReadError), bytes != gz) << bytes.size();
    }
    // Sources whose own reads fail are not read around.
    TKrFixedMemStream writeOnly(&badCrc[0], badCrc.size(), krOpenWrite);
    TKrStringStream failed(gz);
    failed.setOptions(TKrStream::optFailReadsAfterError);
    failed.setState(TKrStream::stReadError);
    TKrGZipReader reader;
    EXPECT_FALSE(reader.Open(&writeOnly) || reader.Open(&failed));
}
