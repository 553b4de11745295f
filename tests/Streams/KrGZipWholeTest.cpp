// Whole-member inflation: room asked for member by member, damage refused as the streaming reader refuses it.
#include "KrGZipTestUtils.h"

#include "Streams/KrGZipWhole.h"

#include <gtest/gtest.h>

using namespace KrGZipTest;

namespace {

const unsigned char* Bytes(const std::string& s) {
    return reinterpret_cast<const unsigned char*>(s.data());
}

/// KrGZipInflateMembers over the whole of `gz` into `room` bytes, growing as it asks.
std::string InflateAll(const std::string& gz, std::size_t room, TE_KrGZipWhole& rc, int& grown) {
    std::string out(room, '\0');
    TKrGZipWholeCursor cursor;
    grown = 0;
    while ((rc = KrGZipInflateMembers(Bytes(gz), gz.size(), reinterpret_cast<unsigned char*>(&out[0]),
                                      out.size(), cursor)) == TE_KrGZipWhole::NoRoom) {
        out.resize(out.size() * 2);
        ++grown;
    }
    out.resize(cursor.out);
    return out;
}

} // namespace

TEST(KrGZipWhole, InflatesConcatenatedMembersAskingForRoomBetweenThem) {
    if (!KrGZipWholeAvailable()) GTEST_SKIP() << "built without a whole-buffer inflater";
    TKrGZipFileInfo info;
    info.present = true;
    info.fileName = "a";
    info.comment = "b";
    const std::string first = Lines(20000), second = Lines(500);
    const std::string gz = Compress(first, info) + Compress(second) + Compress("");
    EXPECT_EQ(KrGZipSizeHint(Bytes(gz), gz.size()), 0u); // the empty last member's size
    TE_KrGZipWhole rc{};
    int grown = 0;
    EXPECT_TRUE(InflateAll(gz, first.size() + second.size(), rc, grown) == first + second);
    EXPECT_EQ(rc, TE_KrGZipWhole::Done);
    EXPECT_EQ(grown, 0);
    // Too little room stops before a member, keeping the ones done.
    EXPECT_TRUE(InflateAll(gz, 1000, rc, grown) == first + second);
    EXPECT_GT(grown, 5);
    EXPECT_EQ(rc, TE_KrGZipWhole::Done);
}

TEST(KrGZipWhole, DamageFailsWhereTheStreamingReaderFails) {
    if (!KrGZipWholeAvailable()) GTEST_SKIP() << "built without a whole-buffer inflater";
    const std::string one = Compress(Lines(3000));
    std::string badCrc = one;
    badCrc[badCrc.size() - 6] ^= 1;
    std::string badData = one;
    badData[40] ^= 0x55;
    std::string reserved = one;
    reserved[3] = 32;
    const std::string cases[] = {std::string(), // found by fuzzing: no member is not "done"
                                 badCrc,
                                 badData,
                                 reserved,
                                 one.substr(0, one.size() - 3),
                                 one.substr(0, one.size() / 2),
                                 one + "garbage" + one,
                                 one + std::string(4, '\0'),
                                 one + one.substr(0, 12)};
    for (const std::string& gz : cases) {
        TE_KrGZipWhole rc{};
        int grown = 0;
        InflateAll(gz, 1 << 20, rc, grown);
        EXPECT_EQ(rc, TE_KrGZipWhole::Failed) << &gz - cases;
        TKrStringStream source(gz);
        TKrGZipReader reader;
        if (reader.Open(&source)) {
            ReadRest(reader);
            EXPECT_TRUE(reader.getState() & TKrStream::stReadError) << &gz - cases;
        }
    }
}
