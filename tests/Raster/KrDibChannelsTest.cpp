// Pixel layouts: kind texts both ways, the sample accessors, the bad colour, buffer helpers.
#include "KrRasterTestUtils.h"
#include "Raster/KrDibChannels.h"
#include "Raster/KrDibRect.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using krtest::ThrownText;
using K = TE_KrDibChannelKind;

TEST(DibChannels, EveryKindTextParsesBackToItsKind) {
    int withText = 0;
    for (std::int32_t kind = -2; kind <= 310; ++kind) {
        const std::string text = ChannelKindToText(kind);
        if (text.empty()) continue;
        ++withText;
        bool bad = true;
        EXPECT_EQ(TextToChannelKind(text, &bad), kind) << text;
        EXPECT_FALSE(bad);
    }
    EXPECT_EQ(withText, 302); // 0..301, nothing else
    EXPECT_EQ(ChannelKindToText(40), "E8");
    EXPECT_EQ(ChannelKindToText(287), "E255");
    EXPECT_EQ(ChannelKindToText(K::ckAsterTIR14), "IT_A14");
    EXPECT_EQ(ThrownText([] { ChannelKindToTextE(302, ""); }),
              "@ChannelKindToTextE(): Invalid kind value: 302.");
    EXPECT_EQ(ThrownText([] { ChannelKindToTextE(-1, "while saving"); }),
              "while saving\n@ChannelKindToTextE(): Invalid kind value: -1.");
}

TEST(DibChannels, TextsParseByTheirLeadingCharacters) {
    struct {
        const char* text;
        std::int32_t kind;
        bool bad;
    } const cases[] = {
        {"", 0, true},          {" ", 0, true},
        {"\tR", 0, true},       {"x", 32, false},
        {"E300", 32, false},    {"E", 32, false},
        {"E255", 287, false},   {"E99999999999999999999", 32, false},
        {"Rxyz", 6, false},     {"R0", 7, false},
        {"B2", 2, false},       {"Bx", 3, false},
        {"I", 8, false},        {"I1", 8, false},
        {"IS", 11, false},      {"IS_L8", 11, false},
        {"IS_A3", 11, false},   {"IT", 20, false},
        {"IT_A15", 20, false},  {"IT_L62x", 27, false},
        {"#", 0, false},        {"#4", 0, false},
        {"#Cx", 0, false},      {"#Classify!", 301, false},
        {"#Dis", 0, false},     {"#SA", 0, false},
        {"#Zed", 291, false},   {"*", 0, false},
        {"\xC3\xA9", 0, false},
    };
    for (const auto& c : cases) {
        bool bad = !c.bad;
        EXPECT_EQ(TextToChannelKind(c.text, &bad), c.kind) << '"' << c.text << '"';
        EXPECT_EQ(bad, c.bad) << '"' << c.text << '"';
    }
    EXPECT_EQ(TextToChannelKind("G", nullptr), 4);
    EXPECT_EQ(TextToChannelKindE("A"), 289);
    EXPECT_EQ(ThrownText([] { TextToChannelKindE(" "); }), "@TextToChannelKindE(): Invalid text value:  .");
}

TEST(DibChannels, UserTextsFallBackToEnglishWithoutLanguageFiles) {
    EXPECT_EQ(ChannelKindToUserText(K::ckRed), "Red");
    EXPECT_EQ(ChannelKindToUserText(33), "Special colour 2");
    EXPECT_EQ(ChannelKindToUserText(K::ckColor), "???");
    EXPECT_EQ(ChannelKindToUserText(5000), "???");
    EXPECT_EQ(KrDibChannelTypeToUserText(2), "floating point");
    EXPECT_EQ(KrDibChannelTypeToUserText(7), "unknown");
}

TEST(DibChannels, LayoutsPresetsAndPixelSizes) {
    TKrDibChannels c;
    c.SetRGBA_U8();
    EXPECT_TRUE(c.IsRGBA_U8());
    EXPECT_FALSE(c.IsRGB_U8());
    EXPECT_EQ(c.Kinds, (std::vector<std::int32_t>{6, 4, 3, 289}));
    EXPECT_EQ(c.GetBytesPP(), 4u);
    c.BytesPS = 2;
    EXPECT_FALSE(c.IsRGBA_U8());
    EXPECT_TRUE(TKrDibChannels(1, 1, 1, 289).IsGrayA_U8());
    TKrDibChannels wide(2, 8, 1);
    wide.Kinds.resize(288);
    EXPECT_EQ(wide.GetBytesPP(), 2304u);
    wide.Kinds.push_back(1);
    EXPECT_EQ(wide.GetBytesPP(), 0u);
    wide.BytesPS = std::numeric_limits<std::size_t>::max(); // no overflow into a small size
    EXPECT_EQ(wide.GetBytesPP(), 0u);
}

TEST(DibChannels, NormalisedAccessorsClampRoundAndKeepNeighbours) {
    unsigned char b[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    SetChannelValue(b, 1, 1, 1.7);
    EXPECT_EQ(b[0], 255);
    SetChannelValue(b, 1, 1, -0.2);
    EXPECT_EQ(b[0], 0);
    SetChannelValue(b, 1, 1, std::nan(""));
    EXPECT_EQ(b[0], 0);
    EXPECT_EQ(b[1], 9); // only the sample's bytes are written
    SetChannelValue(b, 2, 1, 0.5);
    EXPECT_EQ(b[0] | b[1] << 8, 32768);
    EXPECT_DOUBLE_EQ(GetChannelValue(b, 2, 1), 32768.0 / 65535.0);
    SetChannelValue(b, 3, 1, 1.0);
    EXPECT_DOUBLE_EQ(GetChannelValue(b, 3, 1), 1.0);
    SetChannelValue(b, 4, 2, 2.5);
    EXPECT_EQ(GetChannelValue(b, 4, 2), 2.5);
    SetChannelValue(b, 8, 2, -1e300);
    EXPECT_EQ(GetChannelValue(b, 8, 2), -1e300);
    EXPECT_EQ(ThrownText([&] { GetChannelValue(b, 8, 1); }),
              "@GetChannelValue(): invalid channel type (type=1, bps=8)");
    EXPECT_EQ(ThrownText([&] { SetChannelValue(b, 2, 2, 0); }),
              "@SetChannelValue(): invalid channel type (type=2, bps=2)");

    unsigned char w[4] = {0x11, 0x22, 0x33, 0x44};
    EXPECT_EQ(GetChannelValueUInt(w, 0xFF00, 1), 0x2200u);
    SetChannelValueUInt(w, 0x00FF00, 1, 0xABCDEF);
    EXPECT_EQ(w[1], 0xCD);
    EXPECT_EQ(w[2], 0x33);
    EXPECT_EQ(ThrownText([&] { GetChannelValueUInt(w, 0xFF, 2); }),
              "@GetChannelValueUInt(): invalid channel type (type=2)");
}

TEST(DibChannels, RawFunctionTablesCoverEverySampleType) {
    struct {
        std::size_t bps;
        std::int32_t type;
        double max;
        double stored; // what 1e12 stores as
    } const cases[] = {{1, 1, 255, 255},
                       {2, 1, 65535, 65535},
                       {4, 1, 4294967295.0, 4294967295.0},
                       {4, 2, 1, 999999995904.0},
                       {8, 2, 1, 1e12}};
    for (const auto& c : cases) {
        unsigned char s[8] = {};
        EXPECT_EQ(GetChannelNNMaxValue(c.bps, c.type), c.max);
        GetSetChannelValueDoubleNNFunc(c.bps, c.type)(s, 1e12);
        EXPECT_EQ(GetGetChannelValueDoubleNNFunc(c.bps, c.type)(s), c.stored);
        GetSetChannelValueDoubleNNFunc(c.bps, c.type)(s, 2.5);
        const void* ptrs[2] = {s, s};
        double out[2];
        GetGetChannelValueDoubleNNArrayFunc(c.bps, c.type)(ptrs, out, 2);
        EXPECT_EQ(out[1], c.type == 1 ? 3.0 : 2.5);
        GetSetChannelValueDoubleNNFunc(c.bps, c.type)(s, -7);
        EXPECT_EQ(GetGetChannelValueDoubleNNFunc(c.bps, c.type)(s), c.type == 1 ? 0.0 : -7.0);
    }
    EXPECT_EQ(ThrownText([] { GetGetChannelValueDoubleNNFunc(3, 1); }),
              "@GetGetChannelValueDoubleFunc(): invalid channel type (type=1, bps=3)");
    EXPECT_EQ(ThrownText([] { GetGetChannelValueDoubleNNArrayFunc(2, 2); }),
              "@GetGetChannelValueDoubleArrayFunc(): invalid channel type (type=2, bps=2)");
    EXPECT_EQ(ThrownText([] { GetSetChannelValueDoubleNNFunc(1, 0); }),
              "@GetSetChannelValueDoubleFunc(): invalid channel type (type=0, bps=1)");
    EXPECT_EQ(ThrownText([] { GetChannelNNMaxValue(8, 1); }),
              "@GetChannelNNMaxValue(): invalid channel type (type=1, bps=8)");
}

TEST(DibChannels, BadColourByKind) {
    TKrDibChannels rgba;
    rgba.SetRGBA_U8();
    EXPECT_EQ(GetBadColor(rgba), std::string("\xFF\xB3\xFF\xFF", 4));
    const TKrDibChannels misc(1, 2, 1, 0, 290, 301);
    EXPECT_EQ(GetBadColor(misc),
              std::string("\xCD\x4C\x00\x00\xFF\xFF\x00\x00", 8)); // 0.3 · 65535 + 0.5 → 19661
    EXPECT_EQ(GetBadColor(TKrDibChannels()), "");
    EXPECT_EQ(ThrownText([] { GetBadColor(TKrDibChannels(3, 1, 1)); }),
              "@SetChannelValue(): invalid channel type (type=3, bps=1)");
}

TEST(DibBuffer, FillCopyAndCheckStayInsideTheRows) {
    krtest::TGuardedBuffer a(5, 3, 3), b(5, 3, 3, 0);
    FillDibColor(a.Out(), {5, 3}, "abc");
    EXPECT_TRUE(a.GuardsIntact());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(a.Pixel(4, 2, 3)), 3), "abc");
    KrCopyDibRect(a.Out(), b.Out(), {5, 3}, 3);
    EXPECT_TRUE(b.GuardsIntact());
    EXPECT_EQ(*b.Pixel(4, 2, 3), 'a');
    FillDibDefaultColor(b.Out(), {5, 3}, TKrDibChannels(1, 1, 6, 4, 3));
    FillDibDefaultColor(a.Out(), {5, 3}, TKrDibChannels(1, 1, 6, 4, 3));
    EXPECT_TRUE(a.GuardsIntact() && b.GuardsIntact());
    EXPECT_EQ(*b.Pixel(4, 2, 3) + *a.Pixel(4, 2, 3), 0);
    FillDibRandom(a.Out(), {5, 3}, 3);
    EXPECT_TRUE(a.GuardsIntact());

    TKrDibDataOutBuffer tight = a.Out();
    tight.stride = 14;
    EXPECT_EQ(ThrownText([&] {
                  FillDibColor(tight, {5, 3}, "abc");
              }),
              "@FillDibColor: the output stride 14 is below the row length 15.");
    EXPECT_EQ(ThrownText([&] {
                  FillDibRandom(a.Out(), {std::uint64_t(1) << 62, 1}, 3);
              }),
              "@FillDibRandom: the row length overflows (4611686018427387904 pixels of 3 bytes).");
    EXPECT_EQ(ThrownText([&] {
                  FillDibRandom(a.Out(), {1, std::uint64_t(1) << 61}, 3);
              }),
              "@FillDibRandom: the output span overflows (2305843009213693952 rows of stride 22).");
    EXPECT_EQ(ThrownText([] {
                  FillDibRandom({}, {1, 1}, 3);
              }),
              "@FillDibRandom: no output buffer for 1 x 1 pixels.");
    EXPECT_TRUE(a.GuardsIntact());
}

TEST(DibBuffer, ScratchCacheGrowsOnlyWhenNeededAndRefusesOversize) {
    TKrDibBufferCache cache(100);
    const char* first = cache.GetBuffer({10, 10}, 3).data;
    EXPECT_EQ(cache.GetBuffer({5, 4}, 3).stride, 15);
    EXPECT_EQ(cache.GetBuffer({10, 10}, 3).data, first);
    EXPECT_EQ(ThrownText([&] {
                  cache.GetBuffer({101, 1}, 1);
              }),
              "@TKrDibBufferCache::GetBuffer: Requested size too big (101 x 1).");
    EXPECT_EQ(ThrownText([&] {
                  cache.GetBuffer({1, 1}, 2305);
              }),
              "@TKrDibBufferCache::GetBuffer: Requested size too big (1 x 1).");
    EXPECT_EQ(cache.GetBuffer({20, 20}, 4).stride, 80);
    EXPECT_EQ(cache.Capacity(), 1600u);
}

TEST(DibRect, IntegerRectanglesIntersectAndExclude) {
    TKrDibRectI r(10, 20, 5, 4);
    r.set_left(8);
    EXPECT_EQ(r, TKrDibRectI(8, 20, 7, 4));
    r.set_bottom(30);
    EXPECT_EQ(r.height, 10u);
    EXPECT_TRUE(PointInRect(r, {14, 29}));
    EXPECT_FALSE(PointInRect(r, {15, 29}));
    TKrDibRectI o;
    EXPECT_FALSE(IntersectRect(TKrDibRectI(0, 0, 5, 5), TKrDibRectI(7, 0, 5, 5), o));
    EXPECT_EQ(static_cast<std::int64_t>(o.width), -2); // crossed edges wrap
    EXPECT_TRUE(IntersectRect(TKrDibRectI(0, 0, 5, 5), TKrDibRectI(3, -1, 5, 3), o));
    EXPECT_EQ(o, TKrDibRectI(3, 0, 2, 2));
    EXPECT_EQ(o.GetRect().right, 5);

    // Excluding must leave exactly the old area minus the hole, without overlaps.
    std::set<TKrDibRectI> set{TKrDibRectI(0, 0, 10, 10), TKrDibRectI(20, 0, 4, 4)};
    ExcludeDibRegionRect(set, TKrDibRectI(3, -2, 19, 5));
    int covered[12][26] = {};
    for (const TKrDibRectI& m : set)
        for (std::int64_t y = m.top; y < m.bottom(); ++y)
            for (std::int64_t x = m.left; x < m.right(); ++x)
                ++covered[y][x];
    for (int y = 0; y < 12; ++y)
        for (int x = 0; x < 26; ++x) {
            const bool old = (x < 10 && y < 10) || (x >= 20 && x < 24 && y < 4);
            const bool hole = x >= 3 && x < 22 && y < 3;
            EXPECT_EQ(covered[y][x], old && !hole ? 1 : 0) << x << "," << y;
        }
}

TEST(DibRect, ExactnessComparesFirstAndLastSamples) {
    const TKrDibRect a{{10, 20}, {100, 50}, {2, 2}};
    TKrDibRect b = a;
    b.origin.x += 0.4;
    EXPECT_TRUE(IsRectExact(a, b, 0.25)); // 0.4 ≤ 0.25 · 2
    EXPECT_FALSE(IsRectExact(a, b, 0.1));
    b = a;
    b.pixel_size.y = 2.01; // last row drifts by 0.49
    EXPECT_TRUE(IsRectExact(a, b, 0.25));
    b.pixel_size.y = 2.02;
    EXPECT_FALSE(IsRectExact(a, b, 0.25));
    b = a;
    b.count.x = 99;
    EXPECT_FALSE(IsRectExact(a, b, 1));
    TKrDibRect e1{{0, 0}, {0, 0}, {1, 1}}, e2{{0, 0}, {0, 0}, {1, 1.5}};
    EXPECT_FALSE(IsRectExact(e1, e2, 1));
    EXPECT_FALSE(IsRectExact(TKrDibRect{{std::nan(""), 0}, {1, 1}, {1, 1}}, a, 1));
}
