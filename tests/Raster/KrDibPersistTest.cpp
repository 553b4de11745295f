// Raster records in settings (grids, channel sets in both layouts) and progress of rescaling reads.
#include "Core/KrModuleStartup.h"
#include "KrRasterTestUtils.h"
#include "KrRecordingProgress.h"
#include "Core/KrModule.h"
#include "Raster/KrDibChannels.h"
#include "Raster/KrDibRect.h"
#include "Raster/KrScaleDibData.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniSerialize.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using krtest::ThrownText;
using ::testing::HasSubstr;

namespace {

// A reader over the XIni document whose root holds `items`.
struct TTextReader {
    var_a<TKrXIniTree*> tree;
    TKrXIniTreeReader reader;
    explicit TTextReader(const std::string& items)
        : tree(ReadKrXIniTree(
              new_a<TKrStringStream>("<?xml version=\"1.0\"?>\n<krini>" + items + "</krini>").get(), true,
              nullptr)),
          reader(tree) {}
};

std::string Channels(const char* type, const char* bps, const char* channels) {
    return std::string("<x n=\"ch\"><s n=\"type\" v=\"") + type + "\"/><i n=\"bytes_ps\" v=\"" + bps +
           "\"/><s n=\"channels\" v=\"" + channels + "\"/></x>";
}

std::string OldChannels(const char* type, const char* bps, const char* channels) {
    return std::string("<x n=\"ch\"><s n=\"Type\" v=\"") + type + "\"/><i n=\"BytesPS\" v=\"" + bps +
           "\"/><s n=\"Channels\" v=\"" + channels + "\"/></x>";
}

// The reader's errors name the item only in the library's language texts: keep them loaded.
class DibPersist : public ::testing::Test {
protected:
    void SetUp() override { Init_KrStd(); }
    void TearDown() override { Deinit_KrStd(); }
};

} // namespace

TEST_F(DibPersist, GridsRoundTripInTheirKeyOrder) {
    const TKrDibRect rect{{-0.5, 1e10}, {4294967295u, 3}, {0.125, 3.75}};
    auto tree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter writer(tree);
    writer.BeginSectionSE("grid");
    XIniSaveE(&writer, rect);
    writer.EndSectionE();
    const TKrXIniTree& section = *tree->FindItem(0)->child;
    const char* keys[] = {"origin_x", "origin_y", "pixel_size_x", "pixel_size_y", "count_x", "count_y"};
    for (std::size_t i = 0; i < 6; ++i)
        EXPECT_EQ(section.FindItem(i)->name, keys[i]);
    TKrXIniTreeReader reader(tree);
    TKrDibRect back;
    XIniLoadSE(&reader, "grid", back);
    EXPECT_EQ(back, rect);

    TKrDibRect wide = rect;
    wide.count.y = std::uint64_t(1) << 32;
    EXPECT_EQ(ThrownText([&] { XIniSaveE(&writer, wide); }),
              "@XIniSaveE(TKrDibRect): a count above 4294967295 (4294967295 x 4294967296) cannot be stored.");

    // Missing items and values no grid can have are the reader's errors; the target keeps its value.
    const char* bad[] = {
        "<x n=\"grid\"><d n=\"origin_x\" v=\"1\"/></x>",
        "<x n=\"grid\"><d n=\"origin_x\" v=\"1\"/><d n=\"origin_y\" v=\"1\"/><d n=\"pixel_size_x\" v=\"0\"/>"
        "<d n=\"pixel_size_y\" v=\"1\"/><i n=\"count_x\" v=\"1\"/><i n=\"count_y\" v=\"1\"/></x>",
        "<x n=\"grid\"><d n=\"origin_x\" v=\"nan\"/><d n=\"origin_y\" v=\"1\"/><d n=\"pixel_size_x\" "
        "v=\"1\"/>"
        "<d n=\"pixel_size_y\" v=\"1\"/><i n=\"count_x\" v=\"1\"/><i n=\"count_y\" v=\"1\"/></x>",
    };
    for (const char* text : bad) {
        TTextReader r(text);
        TKrDibRect kept = rect;
        EXPECT_THROW(XIniLoadSE(&r.reader, "grid", kept), TKrMessage) << text;
        EXPECT_EQ(kept, rect);
        EXPECT_EQ(r.reader.Level(), 0u); // the section was left again
    }
}

TEST_F(DibPersist, ChannelSetsRoundTripAndLoadBothLayouts) {
    TKrDibChannels many(1, 1, 297);
    for (std::int32_t k = 0; k <= 301; ++k)
        many.Kinds.push_back(k);
    for (const TKrDibChannels& ch :
         {TKrDibChannels(1, 1, 6, 4, 3, 289), TKrDibChannels(2, 4, 40, 1), many, TKrDibChannels()}) {
        auto tree = new_a<TKrXIniTree>();
        TKrXIniTreeWriter writer(tree);
        writer.BeginSectionSE("ch");
        ASSERT_TRUE(ch.Save(&writer));
        writer.EndSectionE();
        TKrXIniTreeReader reader(tree);
        TKrDibChannels back(1, 2, 1);
        XIniLoadSE(&reader, "ch", back);
        EXPECT_EQ(back, ch);
    }
    TKrDibChannels rgba;
    rgba.SetRGBA_U8();
    auto tree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter writer(tree);
    rgba.SaveE(&writer);
    EXPECT_EQ(tree->FindItem(2)->value, "R,G,B,A");

    struct {
        std::string items;
        TKrDibChannels want;
    } const good[] = {
        {Channels("U", "2", "L,E8,#Weight"), TKrDibChannels(1, 2, 1, 40, 296)},
        {Channels("F", "8", "Red,Gx,IS_L5"), TKrDibChannels(2, 8, 6, 4, 18)},
        {OldChannels("U", "1", "RGBA"), TKrDibChannels(1, 1, 6, 4, 3, 289)},
        {OldChannels("F", "4", "-IMS"), TKrDibChannels(2, 4, 0, 1, 290, 32)},
    };
    for (const auto& g : good) {
        TTextReader r(g.items);
        TKrDibChannels c;
        XIniLoadSE(&r.reader, "ch", c);
        EXPECT_EQ(c, g.want) << g.items;
    }
}

TEST_F(DibPersist, BadChannelRecordsAreValueErrorsOnTheirItem) {
    const std::string manyKinds = [] {
        std::string s = "L";
        for (int i = 0; i < 2304; ++i)
            s += ",L";
        return s;
    }();
    const std::string doubles = [] {
        std::string s = "L";
        for (int i = 0; i < 288; ++i)
            s += ",L";
        return s;
    }();
    struct {
        std::string items;
        const char* item; // the item the error names
    } const bad[] = {
        {Channels("X", "1", "R"), "type"},
        {Channels("UU", "1", "R"), "type"},
        {Channels("U", "3", "R"), "bytes_ps"},
        {Channels("F", "2", "R"), "bytes_ps"},
        {Channels("U", "-1", "R"), "bytes_ps"},
        {Channels("U", "1", "R,,G"), "channels"},
        {Channels("U", "1", "R, G"), "channels"},
        {Channels("U", "1", manyKinds.c_str()), "channels"},
        {Channels("F", "8", doubles.c_str()), "channels"}, // 289 doubles: one more than 2304 bytes
        {OldChannels("U", "1", "RGQ"), "Channels"},
        {OldChannels("U", "8", "R"), "BytesPS"},
        {"<x n=\"ch\"><s n=\"type\" v=\"U\"/><s n=\"channels\" v=\"R\"/></x>", "bytes_ps"},
    };
    for (const auto& b : bad) {
        TTextReader r(b.items);
        r.reader.EnterSectionSE("ch");
        TKrDibChannels c(2, 4, 1);
        EXPECT_THAT(ThrownText([&] { c.LoadE(&r.reader); }), HasSubstr(std::string("\"") + b.item + "\""))
            << b.items.substr(0, 120);
        EXPECT_EQ(c, TKrDibChannels(2, 4, 1));
        EXPECT_FALSE(c.Load(&r.reader));
    }

    auto tree = new_a<TKrXIniTree>();
    TKrXIniTreeWriter writer(tree);
    EXPECT_EQ(ThrownText([&] { TKrDibChannels(0, 1, 1).SaveE(&writer); }),
              "@TKrDibChannels::SaveE(): invalid channel type (type=0, bps=1)");
    EXPECT_EQ(ThrownText([&] { TKrDibChannels(1, 2, 6, 302).SaveE(&writer); }),
              "@TKrDibChannels::SaveE(): invalid channel kind (type=1, bps=2, kind=302)");
    EXPECT_FALSE(TKrDibChannels(1, 2, 6, -1).Save(&writer));
    EXPECT_EQ(tree->Count(), 0u);
}

TEST_F(DibPersist, RescalingReportsProgressAndStopsOnABreak) {
    std::vector<unsigned char> img = krtest::RandomImage<unsigned char>(300, 300, 1, 1);
    TKrScaleDibData s(krtest::MemSource(img, 300, 300, TKrDibChannels(1, 1, 1)), {0, 0}, {1.5, 1.5},
                      TKrScaleDibData::ftLinear);
    const TKrDibRect req{{0, 0}, {450, 450}, {1, 1}};
    krtest::TGuardedBuffer buf(450, 450, 1);
    krtest::TRecordingProgress progress;
    EXPECT_EQ(s.GetRect(buf.Out(), req, GetDisplayInterpolationQuality(), 0, &progress), grCompleteData);
    ASSERT_GE(progress.positions.size(), 3u); // the row starts and the end
    EXPECT_TRUE(std::is_sorted(progress.positions.begin(), progress.positions.end()));
    EXPECT_EQ(progress.positions.back(), 1.0);

    krtest::TRecordingProgress stopping;
    stopping.breakAfterFirst = true;
    krtest::TGuardedBuffer part(450, 450, 1);
    EXPECT_EQ(s.GetRect(part.Out(), req, GetDisplayInterpolationQuality(), 0, &stopping), grNothing);
    EXPECT_TRUE(part.Untouched());
}
