// Free stream functions: copying with progress, comparing, partial CRC, binary values.
#include "Core/KrExceptions.h"
#include "KrProbeStream.h"
#include "KrRecordingProgress.h"
#include "Streams/KrBinReadWrite.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrNullStream.h"
#include "Streams/KrStreamUtils.h"
#include "Streams/KrStringStream.h"
#include "System/KrFsTestUtils.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>
#include <zlib.h>

namespace {
using KrFsTest::RandomBytes;

using TCountingProgress = krtest::TRecordingProgress;

using krtest::ThrownText;

TEST(KrCopyStream, CopiesTheRestInChunksAndReportsProgress) {
    const std::string data = RandomBytes(0x280000, 1); // 2.5 chunks of 1 MiB
    TKrStringStream src(data);
    src.setPosition(0x80000);
    TKrMemoryStream dst;
    TCountingProgress progress;
    EXPECT_TRUE(KrCopyStream(&src, &dst, &progress));
    EXPECT_EQ(std::string(dst.GetBuffer(), dst.getSize()), data.substr(0x80000));
    EXPECT_EQ(progress.starts, 1);
    EXPECT_EQ(progress.positions, (std::vector<double>{0, 0.5, 1}));
    EXPECT_EQ(progress.ticks, 2);

    TKrMemoryStream dst2;
    src.setPosition(0);
    KrCopyStreamE(&src, &dst2, nullptr);
    EXPECT_EQ(dst2.getSize(), data.size());

    // At the end: nothing to do, success, no progress started.
    TCountingProgress idle;
    EXPECT_TRUE(KrCopyStream(&src, &dst2, &idle));
    EXPECT_EQ(idle.starts, 0);
}

TEST(KrCopyStream, FailsOnShortWrites) {
    TKrStringStream src(std::string(100, 'x'));
    char small[10];
    TKrFixedMemStream dst(small, sizeof small, krOpenWrite);
    EXPECT_FALSE(KrCopyStream(&src, &dst, nullptr));
    src.setPosition(0);
    TKrFixedMemStream dst2(small, sizeof small, krOpenWrite);
    EXPECT_THROW(KrCopyStreamE(&src, &dst2, nullptr), TKrMessage);
}

TEST(KrCmpStream, ReportsTheFirstDifference) {
    TKrStringStream a("same content"), b("same content"), c("same CONTENT"), d("short");
    EXPECT_NO_THROW(KrCmpStream(&a, &b, true));
    a.setPosition(0);
    b.setPosition(1);
    EXPECT_EQ(ThrownText([&] { KrCmpStream(&a, &b, false); }), "Difference Pos 0 1");
    b.setPosition(0);
    EXPECT_EQ(ThrownText([&] { KrCmpStream(&a, &d, false); }), "Difference Size 12 5");
    EXPECT_EQ(ThrownText([&] { KrCmpStream(&a, &c, false); }), "Difference Data");
}

TEST(ComputePartialCRC, WholeSmallStreamsAndSixteenSamplesOfLargeOnes) {
    const std::string small = RandomBytes(5000, 2);
    TKrStringStream s(small);
    EXPECT_EQ(ComputePartialCRC(&s), crc32(0, reinterpret_cast<const Bytef*>(small.data()), small.size()));

    const std::string large = RandomBytes(0x100000 + 12345, 3);
    std::string samples;
    const std::size_t step = (large.size() - 0x10000) >> 4;
    for (std::size_t k = 0; k < 16; ++k)
        samples += large.substr(k * step, 0x10000);
    TKrStringStream l(large);
    EXPECT_EQ(ComputePartialCRC(&l),
              crc32(0, reinterpret_cast<const Bytef*>(samples.data()), samples.size()));
}

TEST(KrStreamChecked, ReadWriteCloseFlushForms) {
    TKrStringStream s("abc");
    char buf[4];
    ReadStreamE(&s, buf, 2, "name");
    EXPECT_THROW(ReadStreamE(&s, buf, 2, "name"), TKrMessage);
    EXPECT_TRUE(WriteString(&s, std::string("xy")));
    EXPECT_TRUE(WriteString(&s, static_cast<const char*>(nullptr)));
    TKrNullStream ro(krOpenRead);
    EXPECT_FALSE(WriteString(&ro, "x"));
    EXPECT_THROW(WriteStringE(&ro, std::string("x")), TKrMessage);
    EXPECT_NO_THROW(CloseE(&s));
    EXPECT_NO_THROW(FlushE(&s));
}

TEST(KrBinReadWrite, StringsAndValuesRoundTrip) {
    auto stream = new_a<TKrMemoryStream>();
    TKrBinWriter w(stream);
    w.SaveE(std::string("hello"));
    w.SaveE(std::string());
    w.SaveE(3.25);
    w.SaveE(std::uint32_t(0xA1B2C3D4));
    const unsigned char prefix[8] = {5, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(stream->GetBuffer(), prefix, 8), 0); // little-endian length

    stream->setPosition(0);
    TKrBinReader r(stream);
    std::string a = "old", b = "old";
    double d = 0;
    std::uint32_t u = 0;
    r.LoadE(a);
    r.LoadE(b);
    r.LoadE(d);
    r.LoadE(u);
    EXPECT_EQ(a, "hello");
    EXPECT_EQ(b, "");
    EXPECT_EQ(d, 3.25);
    EXPECT_EQ(u, 0xA1B2C3D4u);
    EXPECT_EQ(ThrownText([&] { r.LoadE(a); }), "Load failed");
    EXPECT_EQ(a, "hello"); // untouched on failure

    // A corrupt length far beyond the data fails without a giant allocation.
    TKrMemoryStream corrupt;
    const unsigned char huge[8] = {0, 0, 0, 0, 0, 0, 0, 0x7f};
    corrupt.WriteAllE(huge, 8);
    corrupt.WriteAllE("abc", 3);
    corrupt.setPosition(0);
    TKrBinReader cr(static_a<TKrStream>(&corrupt));
    EXPECT_THROW(cr.LoadE(a), TKrMessage);

    char fixed[4];
    TKrBinWriter full(new_a<TKrFixedMemStream>(fixed, 4, krOpenWrite));
    EXPECT_EQ(ThrownText([&] { full.SaveE(std::string("x")); }), "Save failed");
}

} // namespace
