// Date-times in settings: round trips to the millisecond through a written tree, write failures, damaged
// text reading as 0, missing items under each load form.
#include "XIni/KrXIniDateTime.h"
#include "XIni/KrXIniFakes.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"

#include <gtest/gtest.h>

namespace {
// 2026-12-06 03:04:05.678 UTC plus 9,999 ticks below the millisecond.
const TKrDateTime kStamp(TKrDateTime::FromRFCString("2026-12-06T03:04:05.678Z").Ticks() + 9999);
const TKrDateTime kWhole(kStamp.Ticks() - 9999);
} // namespace

TEST(KrXIniDateTime, RoundTripKeepsWholeMilliseconds) {
    auto tree = new_a<TKrXIniTree>();
    {
        TKrXIniTreeWriter writer(tree);
        XIniSaveSE(&writer, "created", kStamp);
        EXPECT_TRUE(writer.WriteS("modified", TKrDateTime(kWhole.Ticks() + 20000)));
        writer.WriteSE("empty", TKrDateTime());
    }
    TKrXIniTreeReader reader(tree);
    EXPECT_EQ(reader.ReadE<std::string>(0), kStamp.ToRFCString());
    TKrDateTime t;
    XIniLoadSE(&reader, "created", t);
    EXPECT_EQ(t, kWhole);
    XIniLoadSE(&reader, std::string("modified"), t);
    EXPECT_EQ(t.Ticks(), kWhole.Ticks() + 20000);
    XIniLoadE(&reader, 0, t);
    EXPECT_EQ(t, kWhole);
    EXPECT_EQ(reader.ReadE<TKrDateTime>(1).Ticks(), kWhole.Ticks() + 20000);
    EXPECT_EQ(reader.Read<TKrDateTime>(0, TKrDateTime()), kWhole);
    // Generic code reaches the same forms through the templates.
    EXPECT_TRUE(XIniLoadS(&reader, "created", t, TKrDateTime(5)));
    EXPECT_EQ(t, kWhole);

    krtest::TRecordingWriter failing;
    failing.failing = true;
    EXPECT_THROW(XIniSaveSE(&failing, "created", kStamp), TKrMessage);
    EXPECT_EQ(failing.calls, std::vector<std::string>({"string created=" + kStamp.ToRFCString(), "error"}));
}

TEST(KrXIniDateTime, DamagedAndMissingItems) {
    auto tree = new_a<TKrXIniTree>();
    tree->AddItem(TE_KrXIniItemType::String, "garbage", "yesterday at noon");
    tree->AddItem(TE_KrXIniItemType::Integer, "number", "12");
    TKrXIniTreeReader reader(tree);
    TKrDateTime t(kStamp);
    XIniLoadSE(&reader, "garbage", t);
    EXPECT_TRUE(t.IsNull());
    EXPECT_THROW(XIniLoadSE(&reader, "absent", t), TKrMessage);
    EXPECT_THROW(XIniLoadSE(&reader, "number", t), TKrMessage);
    EXPECT_THROW(XIniLoadE(&reader, 7, t), TKrMessage);

    // The plain forms keep what they have: Read returns its default exactly, XIniLoadS the
    // value through its text.
    EXPECT_EQ(reader.Read<TKrDateTime>(1, kStamp), kStamp);
    EXPECT_EQ(reader.Read<TKrDateTime>(9, kStamp), kStamp);
    t = kStamp;
    XIniLoadS(&reader, "absent", t);
    EXPECT_EQ(t, kWhole);
    XIniLoadS(&reader, "garbage", t);
    EXPECT_TRUE(t.IsNull());
}
