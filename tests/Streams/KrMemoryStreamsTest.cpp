// The in-memory stream kinds: growth, bounds, state bits on every failure path.
#include "Core/KrMessage.h"
#include "Streams/KrBlockMemStream.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrNullStream.h"
#include "Streams/KrStringStream.h"
#include "KrProbeStream.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
using KrStreamTest::ThrownText;

constexpr unsigned kEOF = TKrStream::stEndOfData, kRead = TKrStream::stReadError,
                   kWrite = TKrStream::stWriteError, kNoRoom = TKrStream::stNoRoom;

TEST(KrMemoryStream, GrowsByHalfAndPositionsBeyondTheEnd) {
    TKrMemoryStream s;
    EXPECT_EQ(s.Write("0123456789", 10), 10u);
    EXPECT_EQ(s.GetCapacity(), 10u);
    EXPECT_EQ(s.Write("a", 1), 1u);
    EXPECT_EQ(s.GetCapacity(), 15u); // capacity + capacity / 2
    EXPECT_TRUE(s.setPosition(100));
    EXPECT_EQ(s.getSize(), 100u);
    char buf[4];
    EXPECT_EQ(s.Read(buf, 4), 0u);
    EXPECT_TRUE(s.eof());

    EXPECT_TRUE(s.setSize(5));
    EXPECT_EQ(s.getPosition(), 5u);
    s.setPosition(3);
    EXPECT_FALSE(s.ReadAll(buf, 3)); // only 2 left: nothing copied
    EXPECT_EQ(s.getPosition(), 3u);
    EXPECT_EQ(s.Read(buf, 4), 2u);
    EXPECT_EQ(std::string(buf, 2), "34");
    EXPECT_EQ(s.getState(), 0u); // memory streams never fail reads
}

TEST(KrFixedMemStream, BoundsAndModes) {
    char buffer[4] = {};
    TKrFixedMemStream w(buffer, sizeof buffer, krOpenWrite);
    EXPECT_EQ(w.Write("abcdef", 6), 4u);
    EXPECT_EQ(w.getState(), kNoRoom | kWrite);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    char out[8];
    EXPECT_EQ(w.Read(out, 1), TKrStream::invalid_value);
    EXPECT_TRUE(w.getState() & kRead);
    EXPECT_TRUE(w.setPosition(10));                       // any position is accepted...
    EXPECT_EQ(w.Write("x", 1), TKrStream::invalid_value); // ...but writing there fails

    TKrFixedMemStream r(static_cast<const void*>("wxyz"), 4);
    EXPECT_EQ(r.Write("a", 1), TKrStream::invalid_value);
    EXPECT_EQ(r.getState(), kWrite);
    EXPECT_FALSE(r.ReadAll(out, 5));
    EXPECT_EQ(r.Read(out, 8), 4u);
    EXPECT_TRUE(r.getState() & kEOF);
    EXPECT_TRUE(r.eof());
    r.setPosition(9);
    EXPECT_EQ(r.Read(out, 1), TKrStream::invalid_value);
    EXPECT_EQ(r.getState() & (kRead | kEOF), kRead | kEOF);

    EXPECT_FALSE(r.setSize(3));
    EXPECT_TRUE(r.setSize(4));
    EXPECT_EQ(r.getPosition(), 4u);
    EXPECT_EQ(ThrownText<std::logic_error>([&] { TKrFixedMemStream(buffer, 4, krCreate); }),
              "@TKrFixedMemStream: OpenMode not supported");
    EXPECT_FALSE(static_cast<bool>(TKrFixedMemStream(nullptr, 0, krOpenRead)));
}

TEST(KrStringStream, GapsFillWithZerosAndErrorsCanLatch) {
    TKrStringStream s("abc");
    char buf[8];
    EXPECT_EQ(s.Read(buf, 8), 3u);
    EXPECT_EQ(s.getState(), kEOF);
    EXPECT_EQ(s.Read(buf, 1), 0u);
    s.setPosition(5);
    EXPECT_EQ(s.Read(buf, 1), TKrStream::invalid_value);
    EXPECT_EQ(s.getState(), kEOF | kRead);
    s.setOptions(TKrStream::optFailReadsAfterError);
    s.setPosition(0);
    EXPECT_EQ(s.Read(buf, 1), TKrStream::invalid_value); // the recorded error latches

    EXPECT_EQ(s.Write("Z", 1), 1u);
    s.setPosition(6);
    EXPECT_EQ(s.Write("!", 1), 1u);
    EXPECT_EQ(s.str(), std::string("Zbc\0\0\0!", 7));
    EXPECT_TRUE(s.setSize(9));
    EXPECT_EQ(s.str(), std::string("Zbc\0\0\0!\0\0", 9));
    EXPECT_EQ(s.getPosition(), 9u);
}

TEST(KrNullStream, CountsWithoutTouchingBuffers) {
    TKrNullStream rw;
    EXPECT_EQ(rw.Write(nullptr, 1000), 1000u);
    EXPECT_EQ(rw.Read(nullptr, 24), 24u);
    EXPECT_EQ(rw.getPosition(), 1024u);
    EXPECT_EQ(rw.getSize(), 0u);

    TKrNullStream ro(krOpenRead);
    EXPECT_EQ(ro.Write("x", 1), TKrStream::invalid_value);
    EXPECT_EQ(ro.getState(), kWrite);
    TKrNullStream wo(krOpenWrite);
    EXPECT_EQ(wo.Read(nullptr, 1), TKrStream::invalid_value);
    EXPECT_EQ(wo.getState(), kRead);
    EXPECT_FALSE(static_cast<bool>(TKrNullStream(static_cast<krOpenMode>(0xFFFFFFFFu))));
}

TEST(KrBlockMemData, BlocksFollowTheSize) {
    EXPECT_EQ(ThrownText<TKrMessage>([] { TKrBlockMemData(3000, false); }),
              "@TKrBlockMemData::TKrBlockMemData(size_t, bool): Invalid BlockSize 3000");
    TKrBlockMemData d(16, true);
    d.SetSize(33);
    EXPECT_EQ(d.GetBlocksCount(), 3u);
    EXPECT_EQ(d.GetCapacity(), 48u);
    d.SetSize(16);
    EXPECT_EQ(d.GetBlocksCount(), 1u);
    d.SetCapacity(40);
    EXPECT_EQ(d.GetBlocksCount(), 3u);
    EXPECT_EQ(d.GetSize(), 16u);
}

TEST(KrBlockMemStream, ReadsAndWritesAcrossBlocksAndSharesData) {
    const std::string data = KrFsTest::RandomBytes(1000, 7);
    auto shared = new_a<TKrBlockMemData>(64, false);
    TKrBlockMemStream w(shared, krOpenWrite);
    // Writes of odd sizes straddle block boundaries.
    for (std::size_t done = 0; done < data.size();) {
        std::size_t n = std::min<std::size_t>(37, data.size() - done);
        ASSERT_EQ(w.Write(data.data() + done, n), n);
        done += n;
    }
    EXPECT_EQ(w.GetBlocksCount(), 16u);
    char c;
    EXPECT_EQ(w.Read(&c, 1), TKrStream::invalid_value);

    TKrBlockMemStream r(shared, krOpenRead);
    std::string back(data.size(), '\0');
    ASSERT_TRUE(r.ReadAll(&back[0], back.size()));
    EXPECT_EQ(back, data);
    EXPECT_EQ(r.Write("x", 1), TKrStream::invalid_value);
    EXPECT_EQ(ThrownText<TKrMessage>([&] { r.ReadAllE(&c, 1); }),
              "@virtual void TKrBlockMemStream::ReadAllE(void *, streamsize_t): "
              "Insufficient data 1 (available 0)");
    EXPECT_EQ(ThrownText<TKrMessage>([&] { r.WriteAllE("x", 1); }),
              "@virtual void TKrBlockMemStream::WriteAllE(const void *, streamsize_t): Can`t be write");

    shared->SetBlockSize(256); // rebuilt, every byte kept
    r.setPosition(0);
    ASSERT_TRUE(r.ReadAll(&back[0], back.size()));
    EXPECT_EQ(back, data);
    EXPECT_EQ(r.GetBlocksCount(), 4u);

    EXPECT_TRUE(r.Close());
    EXPECT_TRUE(r.Close());
    EXPECT_FALSE(static_cast<bool>(r));
    EXPECT_EQ(ThrownText<TKrMessage>([&] { r.ReadAllE(&c, 1); }),
              "@virtual void TKrBlockMemStream::ReadAllE(void *, streamsize_t): Can`t be read");
    EXPECT_EQ(shared.use_count(), 2); // w still holds it; r let go
}

} // namespace
