// TKrBufferedWriter: what the stream sees (full blocks until Flush) and the failure policies.
#include "Streams/KrBufferedWriter.h"

#include "Core/KrMessage.h"
#include "Streams/KrProbeStream.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using KrStreamTest::TProbeStream;
using TWrites = std::vector<std::pair<streamsize_t, streamsize_t>>;

TEST(BufferedWriter, StreamSeesOnlyFullBlocksUntilFlush) {
    TProbeStream s;
    TKrBufferedWriter w(&s, 8);
    EXPECT_TRUE(w.Write("abc", 3));
    EXPECT_TRUE(w.Write('d'));
    EXPECT_TRUE(w.Write("", 0));
    EXPECT_TRUE(s.writes.empty());
    EXPECT_TRUE(w.Write(std::string_view("efghijklmnopqrstu"))); // spans two blocks
    EXPECT_EQ(s.writes, (TWrites{{0, 8}, {8, 8}}));
    EXPECT_EQ(w.Count(), 21u);
    EXPECT_TRUE(w.Flush());
    EXPECT_TRUE(w.Flush()); // nothing left: no write
    EXPECT_EQ(s.writes, (TWrites{{0, 8}, {8, 8}, {16, 5}}));
    EXPECT_EQ(s.data, "abcdefghijklmnopqrstu");
    EXPECT_FALSE(w.Failed());
}

TEST(BufferedWriter, ShortWritesAreRetriedAndAFailedBlockIsRecordedForGood) {
    TProbeStream s;
    s.writeLimit = 3;
    TKrBufferedWriter w(&s, 8);
    EXPECT_TRUE(w.Write("0123456789", 10));
    EXPECT_EQ(s.writes, (TWrites{{0, 8}, {3, 5}, {6, 2}}));
    s.failWrite = true;
    EXPECT_FALSE(w.Write("abcdefgh", 8)); // the block "89abcdef" is refused
    EXPECT_TRUE(w.Failed());
    s.failWrite = false;
    EXPECT_TRUE(w.Write('x'));
    EXPECT_TRUE(w.Flush()); // later blocks are still offered
    EXPECT_TRUE(w.Failed());
    EXPECT_EQ(s.data, "01234567ghx");

    for (auto mode : {TKrBufferedWriter::RecordFailure, TKrBufferedWriter::ThrowFailure}) {
        TKrBufferedWriter none(nullptr, 4, mode); // a null stream fails without throwing
        EXPECT_TRUE(none.Write("abc", 3));
        EXPECT_FALSE(none.Flush());
        EXPECT_TRUE(none.Failed());
    }
}

TEST(BufferedWriter, ThrowFailureThrowsTheStreamsWriteError) {
    TProbeStream s;
    s.failWrite = true;
    TKrBufferedWriter w(&s, 4, TKrBufferedWriter::ThrowFailure);
    EXPECT_TRUE(w.Write("abc", 3));
    EXPECT_THROW(w.Write("de", 2), TKrMessage); // the full block "abcd" is refused
    EXPECT_TRUE(w.Write('f'));
    EXPECT_THROW(w.Flush(), TKrMessage);
}
