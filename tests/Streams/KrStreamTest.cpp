// Default behaviours of the stream interface, seen through a stream that supplies only the
// required operations.
#include "Core/KrMessage.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrNullStream.h"
#include "Streams/KrStream.h"
#include "KrProbeStream.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

/// The minimum a stream must supply, over a string, handing out at most `chunk` bytes per call
/// so that the looping defaults are exercised.
class TMinimalStream : public TKrStream {
public:
    std::string data;
    streamsize_t pos = 0;

    streamsize_t getPosition() override { return pos; }
    streamsize_t Read(void* buf, streamsize_t n) override {
        streamsize_t k = std::min<streamsize_t>({n, chunk, data.size() > pos ? data.size() - pos : 0});
        std::memcpy(buf, data.data() + pos, k);
        pos += k;
        return k;
    }
    streamsize_t Write(const void* buf, streamsize_t n) override {
        if (failWrites) return invalid_value;
        streamsize_t k = std::min<streamsize_t>(n, chunk);
        if (pos + k > data.size()) data.resize(pos + k);
        std::memcpy(&data[pos], buf, k);
        pos += k;
        return k;
    }
    streamsize_t getSize() override { return data.size(); }
    bool setSize(streamsize_t n) override {
        data.resize(n);
        return true;
    }
    bool setPosition(streamsize_t p) override {
        pos = p;
        return true;
    }
    explicit operator bool() override { return true; }
    bool failWrites = false;
    streamsize_t chunk = 3;
};

using krtest::ThrownText;

TEST(KrStream, LoopingReadAllAndWriteAll) {
    TMinimalStream s;
    EXPECT_TRUE(s.WriteAll("hello world", 11));
    EXPECT_EQ(s.data, "hello world");
    s.setPosition(0);
    char buf[16] = {};
    EXPECT_TRUE(s.ReadAll(buf, 11));
    EXPECT_STREQ(buf, "hello world");
    EXPECT_FALSE(s.ReadAll(buf, 1)); // at the end: Read gives 0
    EXPECT_TRUE(s.eof());
    EXPECT_EQ(ThrownText([&] { s.ReadAllE(buf, 4); }), "TKrStream::ReadAllE: Read 4 bytes failed!");
    s.failWrites = true;
    EXPECT_FALSE(s.WriteAll("x", 1));
    EXPECT_EQ(ThrownText([&] { s.WriteAllE("xy", 2); }), "TKrStream::WriteAllE: Write 2 bytes failed!");
    EXPECT_TRUE(s.Close() && s.Flush()); // the defaults have nothing to do
}

TEST(KrStream, SixtyFourBitFormsRefuseLargeValuesOnThirtyTwoBitStreams) {
    TMinimalStream s;
    EXPECT_FALSE(s.setSize64(0x100000000ul));
    EXPECT_FALSE(s.setPosition64(0x100000000ul));
    EXPECT_TRUE(s.setPosition64(0xFFFFFFFFul));
    EXPECT_EQ(ThrownText([&] { s.setSize64E(0x100000000ul); }),
              "TKrStream::setSize64E: Set size 4294967296 bytes failed!");
    EXPECT_EQ(ThrownText([&] { s.setPosition64E(0x100000001ul); }),
              "TKrStream::setPosition64E: Set pos 4294967297 bytes failed!");
    // Streams that handle large data override the 64-bit forms.
    TKrNullStream big;
    EXPECT_TRUE(big.setPosition64(0x100000010ul));
    EXPECT_TRUE(big.setSize64(0x100000010ul));
}

TEST(KrStream, GetLineSplitsOnEveryLineEnd) {
    TMinimalStream s;
    s.chunk = 1000;
    s.data = std::string("a\r\nb\rc\n\nlast", 12);
    char buf[10];
    const char* expected[] = {"a", "b", "c", "", "last"};
    for (const char* line : expected) {
        EXPECT_EQ(s.getLine(buf, sizeof buf), std::strlen(line));
        EXPECT_STREQ(buf, line);
    }
    EXPECT_EQ(s.getLine(buf, sizeof buf), 0u);
    EXPECT_STREQ(buf, "");
    EXPECT_EQ(s.getLine(buf, 0), 0u);
    s.pos = 0;
    s.chunk = 3; // a short read gives no line at all
    EXPECT_EQ(s.getLine(buf, sizeof buf), 0u);
    s.chunk = 1000;

    // A line longer than the buffer comes in pieces of cap - 1 bytes.
    s.data = "abcdefgh\nz";
    s.pos = 0;
    EXPECT_EQ(s.getLine(buf, 4), 3u);
    EXPECT_STREQ(buf, "abc");
    EXPECT_EQ(s.getPosition(), 3u);

    // "\r" as the last byte read: only it is consumed, the "\n" starts the next (empty) line.
    s.data = "ab\r\nc";
    s.pos = 0;
    EXPECT_EQ(s.getLine(buf, 4), 2u);
    EXPECT_EQ(s.getPosition(), 3u);
    EXPECT_EQ(s.getLine(buf, 4), 0u);
    EXPECT_EQ(s.getLine(buf, 4), 1u);
    EXPECT_STREQ(buf, "c");
}

TEST(KrStream, WriteStrEOLNormalisesEveryLineEnd) {
    const std::string mixed = "a\r\nb\rc\nd";
    const std::pair<TEOLType, const char*> cases[] = {
        {eolLF, "a\nb\nc\nd"}, {eolCR, "a\rb\rc\rd"}, {eolCRLF, "a\r\nb\r\nc\r\nd"}};
    for (const auto& c : cases) {
        TKrMemoryStream s;
        EXPECT_EQ(s.WriteStrEOL(mixed, c.first), std::strlen(c.second));
        EXPECT_EQ(std::string(s.GetBuffer(), s.getSize()), c.second);
    }
}

} // namespace
