// Checksum stream: CRC of the bytes moved, guards against repositioning, forwarding to the source.
#include "KrProbeStream.h"
#include "Core/KrMessage.h"
#include "Streams/KrCrc32Stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <stdexcept>
#include <string>

using KrStreamTest::TProbeStream;

namespace {
unsigned long ZlibCrc(const std::string& s, unsigned long crc = 0) {
    return crc32(crc, reinterpret_cast<const Bytef*>(s.data()), static_cast<uInt>(s.size()));
}
} // namespace

TEST(KrCrc32Stream, SumsTheBytesReadAndWrittenAcrossCalls) {
    const std::string text = "The quick brown fox jumps over the lazy dog";
    auto probe = new_a<TProbeStream>(text);
    probe->pos = 4;
    unsigned long cell = 1;
    TKrCrc32Stream crc(probe, &cell, 0);
    EXPECT_EQ(cell, 0u);
    char buf[64];
    EXPECT_EQ(crc.Read(buf, 10), 10u);
    EXPECT_EQ(crc.Read(buf, 64), text.size() - 14);
    EXPECT_EQ(crc.Read(buf, 8), 0u); // an empty read changes nothing
    EXPECT_EQ(crc.GetCrc32(), ZlibCrc(text.substr(4)));
    EXPECT_EQ(cell, crc.GetCrc32());

    // A failed read leaves the sum alone; writes continue it with the bytes the source took.
    probe->failRead = true;
    EXPECT_EQ(crc.Read(buf, 1), TKrStream::invalid_value);
    probe->writeLimit = 3;
    EXPECT_EQ(crc.Write("abcdef", 6), 3u);
    EXPECT_EQ(crc.GetCrc32(), ZlibCrc("abc", ZlibCrc(text.substr(4))));
    EXPECT_EQ(probe->data, text + "abc");

    unsigned long other = 0;
    crc.SetResultPtr(&other);
    EXPECT_EQ(other, crc.GetCrc32());
    probe->setPosition64(0);
    crc.SetCrc32(0xFFFFFFFFFFul); // only the low 32 bits are kept
    EXPECT_EQ(crc.GetCrc32(), 0xFFFFFFFFu);
    probe->failRead = false;
    EXPECT_EQ(crc.Read(buf, 3), 3u);
    EXPECT_EQ(other, ZlibCrc("The", 0xFFFFFFFFu));
    EXPECT_EQ(cell, ZlibCrc("abc", ZlibCrc(text.substr(4))));
}

TEST(KrCrc32Stream, RefusesToSumAfterRepositioningOrCutting) {
    auto probe = new_a<TProbeStream>(std::string(20, 'x'));
    TKrCrc32Stream crc(probe, nullptr, 0);
    char buf[8];
    EXPECT_EQ(crc.Read(buf, 8), 8u);
    const unsigned long sum = crc.GetCrc32();
    EXPECT_TRUE(crc.setPosition64(2)); // allowed, but the next transfer is not
    EXPECT_THROW(crc.Read(buf, 1), std::runtime_error);
    EXPECT_THROW(crc.Write("y", 1), std::runtime_error);
    EXPECT_EQ(probe->reads.size() + probe->writes.size(), 1u);
    crc.setPosition64(8);
    EXPECT_EQ(crc.Read(buf, 2), 2u);
    EXPECT_THROW(crc.setSize64(9), std::runtime_error);
    EXPECT_THROW(crc.setSize(9), std::runtime_error);
    EXPECT_EQ(probe->data.size(), 20u);
    EXPECT_TRUE(crc.setSize64(10));
    EXPECT_EQ(probe->data.size(), 10u);
    EXPECT_NE(crc.GetCrc32(), sum);
}

TEST(KrCrc32Stream, ForwardsToTheSourceAndOwnsItOnlyUnderOptions) {
    const std::string nullSource =
        KrStreamTest::ThrownText([] { TKrCrc32Stream(var_a<TKrStream*>(), nullptr, 0); });
    EXPECT_NE(nullSource.find("Internal logic error"), std::string::npos);
    EXPECT_NE(nullSource.find("(stream)==false"), std::string::npos);

    auto probe = new_a<TProbeStream>(std::string("abcdef"));
    probe->SetInfoName("probe");
    {
        TKrCrc32Stream crc(probe, nullptr, 7);
        EXPECT_EQ(crc.GetInfoName(), "probe");
        crc.setState(TKrStream::stSeekError);
        EXPECT_EQ(probe->getState(), TKrStream::stSeekError);
        EXPECT_TRUE(crc.Flush());
        EXPECT_TRUE(crc.Close());
        EXPECT_EQ(probe->flushes, 1);
        EXPECT_EQ(probe->closes, 0);
        probe->failFlush = probe->failClose = true;
        EXPECT_FALSE(crc.Flush());
        crc.setOptions(TKrStream::optNoFlushSource | TKrStream::optCloseSource);
        EXPECT_TRUE(crc.Flush());
        EXPECT_FALSE(crc.Close());
        probe->unusable = true;
        EXPECT_FALSE(static_cast<bool>(crc));
    }
    EXPECT_EQ(probe->closes, 2); // once more by the destructor
    EXPECT_EQ(probe.use_count(), 1);
}
