// Composite and synthetic sources: overlays on one grid (scratch and direct), the source limit and
// purging, channel and grid mismatches, detachable placeholders, the checkerboard pyramid and the
// test patterns.
#include "Core/KrMessage.h"
#include "KrRasterTestUtils.h"
#include "Raster/KrCheckersDibData.h"
#include "Raster/KrOverlayDibData.h"
#include "Raster/KrTearSourceDibData.h"
#include "Raster/KrTestDibData.h"

#include <gtest/gtest.h>

#include <cstring>

using krtest::ThrownText;

namespace {

const TInterpolationQuality kQ = GetDisplayInterpolationQuality();

TKrDibRect Grid(double x, double y, std::uint64_t w, std::uint64_t h, double ps = 1) {
    return TKrDibRect{{x, y}, {w, h}, {ps, ps}};
}

// An 8-bit gray source of one value over a grid that writes only even columns and counts its
// reads and purges.
class TCombSource : public TKrTestDibData {
public:
    unsigned char value;
    int reads = 0, purges = 0;
    TCombSource(unsigned char v, const TKrDibRect& where)
        : TKrTestDibData(TKrDibChannels(1, 1, 1), where.count), value(v) {
        m_rect = where;
    }
    void Pixel(std::uint64_t x, std::uint64_t, char* out) const override {
        if (x % 2 == 0) *out = static_cast<char>(value);
    }
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& r,
                             const TInterpolationQuality& q, int f, TKrProgressHandler* p) override {
        ++reads;
        // The pattern is laid from the grid's origin: shift the request into its frame.
        TKrDibRect local = r;
        local.origin = {r.origin.x - m_rect.origin.x, r.origin.y - m_rect.origin.y};
        return TKrTestDibData::GetRect(out, local, q, f, p);
    }
    void PurgeCache() override { ++purges; }
};

std::vector<unsigned char> Read(TKrDibData& dib, const TKrDibRect& g, unsigned* result = nullptr,
                                unsigned char fill = 9) {
    std::vector<unsigned char> out(g.count.x * g.count.y * dib.Channels().GetBytesPP(), fill);
    const unsigned r = dib.GetRect({reinterpret_cast<char*>(out.data()),
                                    static_cast<std::int64_t>(g.count.x * dib.Channels().GetBytesPP())},
                                   g, kQ, 0, nullptr);
    if (result) *result = r;
    return out;
}

} // namespace

TEST(OverlayDibData, LaterSourcesCoverEarlierOnesOnOneGrid) {
    // A: columns 0..199, B: columns 100..299, both 150 rows; B writes only even columns. The
    // request spans several 128-pixel blocks.
    auto a = new_a<TCombSource>(10, Grid(0, 0, 200, 150));
    auto b = new_a<TCombSource>(20, Grid(100, 0, 200, 150));
    const std::vector<var_a<TKrDibData*>> sources{a, b};
    const TKrDibRect g = Grid(-10, 0, 320, 150);
    var_a<TKrDibData*> scratch = TKrOverlayDibData::VCreate(sources, false);
    var_a<TKrDibData*> direct = TKrOverlayDibData::VCreate(sources, true);
    EXPECT_EQ(scratch->BoundsEx(g), Grid(0, 0, 300, 150));
    unsigned r1 = 0, r2 = 0;
    const auto s = Read(*scratch, g, &r1), d = Read(*direct, g, &r2);
    EXPECT_EQ(r1, grCompleteData);
    EXPECT_EQ(r2, grCompleteData);
    for (std::size_t y = 0; y < 150; y += 11)
        for (int x = -10; x < 310; ++x) {
            const std::size_t i = y * 320 + static_cast<std::size_t>(x + 10);
            const bool inA = x >= 0 && x < 200, inB = x >= 100 && x < 300;
            const int fromA = inA && x % 2 == 0 ? 10 : -1, fromB = inB && (x - 100) % 2 == 0 ? 20 : -1;
            // Scratch: B's whole overlap replaces A, its unwritten pixels as background (0).
            const int ws = inB ? (fromB >= 0 ? 20 : 0) : inA ? (fromA >= 0 ? 10 : 0) : 9;
            // Direct: each source touches only the pixels it writes.
            const int wd = fromB >= 0 ? 20 : fromA >= 0 ? 10 : 9;
            ASSERT_EQ(s[i], ws) << x << "," << y;
            ASSERT_EQ(d[i], wd) << x << "," << y;
        }

    // With one source per request only the first that meets it is read.
    TKrOverlayDibData one(sources, false);
    one.SetGetRectMaxRasters(1);
    const int readsB = b->reads;
    const auto o = Read(one, Grid(150, 0, 20, 5));
    EXPECT_EQ(o[0], 10);
    EXPECT_EQ(b->reads, readsB);
    EXPECT_EQ(Read(one, Grid(250, 0, 20, 5))[0], 20); // A does not meet this one
    unsigned r = 0;
    Read(one, Grid(500, 0, 20, 5), &r);
    EXPECT_EQ(r, grComplete);
    Read(one, Grid(0, 0, 0, 5), &r);
    EXPECT_EQ(r, grComplete);
}

TEST(OverlayDibData, PurgesAfterTwentySourcesAndNeverTheFirstOnRequest) {
    std::vector<var_a<TKrDibData*>> sources;
    std::vector<TCombSource*> raw;
    for (int i = 0; i < 22; ++i) {
        auto s = new_a<TCombSource>(static_cast<unsigned char>(i), Grid(i * 4.0, 0, 4, 4));
        raw.push_back(s.get());
        sources.push_back(s);
    }
    TKrOverlayDibData overlay(sources, false);
    Read(overlay, Grid(0, 0, 88, 4));
    // 21 sources read: all recorded ones purged once, the 22nd read after the purge.
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(raw[i]->purges, 1) << i;
    EXPECT_EQ(raw[21]->purges, 0);
    overlay.PurgeCache();
    EXPECT_EQ(raw[0]->purges, 1);
    EXPECT_EQ(raw[21]->purges, 1);
}

TEST(OverlayDibData, MismatchedChannelsAndGrids) {
    std::vector<unsigned char> px(16, 7), px2(64, 8);
    TKrDibChannels gray, rgb;
    gray.SetGray_U8();
    rgb.SetRGB_U8();
    auto g1 = krtest::MemSource(px, 4, 4, gray);
    EXPECT_EQ(ThrownText([&] {
                  TKrOverlayDibData({g1, krtest::MemSource(px2, 4, 4, rgb)}, false);
              }),
              "@TKrOverlayDibData::TKrOverlayDibData(): channels mismatch in dibdata[1].");
    EXPECT_NE(ThrownText([&] {
                  TKrOverlayDibData({g1, nullptr}, false);
              }).find("source_dibdata[i]"),
              std::string::npos);
    EXPECT_THROW(TKrOverlayDibData({}, true), TKrMessage);

    // A source stored at pixel size 2 does not serve pixel-size-1 requests: the overlay leaves
    // its area alone and still reports the other source's data.
    auto coarse = TKrRawMemDibData::VCreate({reinterpret_cast<char*>(px2.data()), 8}, gray,
                                            Grid(4, 0, 8, 8, 2), nullptr);
    TKrOverlayDibData overlay({g1, coarse}, false);
    unsigned r = 0;
    const auto out = Read(overlay, Grid(0, 0, 8, 4), &r, 1);
    EXPECT_EQ(r, grCompleteData);
    EXPECT_EQ(out[0], 7);
    EXPECT_EQ(out[6], 1);
}

TEST(TearSourceDibData, DetachedKeepsTheDescription) {
    EXPECT_EQ(ThrownText([] { TKrTearSourceDibData t(nullptr); }), "TKrTearSourceDibData: FSrcDibData == 0");
    TKrDibChannels rgba;
    rgba.SetRGBA_U8();
    auto pyramid = new_a<TKrTestDibDataMSDummy>(3, TKrDibSize{64, 32}, rgba);
    TKrTearSourceDibData tear(pyramid);
    std::vector<TKrDibRect> levels, saved;
    pyramid->GetAllLevels(&levels);
    const auto attached = Read(tear, Grid(0.5, 0.5, 8, 4, 2));
    EXPECT_EQ(attached, Read(*pyramid, Grid(0.5, 0.5, 8, 4, 2)));

    tear.SetSrcDibData(nullptr);
    EXPECT_TRUE(tear.Channels().IsRGBA_U8());
    EXPECT_EQ(tear.GetAllLevels(&saved), 3u);
    EXPECT_EQ(saved, levels);
    EXPECT_EQ(tear.Bounds(), levels[0]);
    EXPECT_EQ(tear.BoundsEx(levels[2]), levels[2]);
    EXPECT_EQ(tear.GetScaleDimensions(1), (TKrDibSize{32, 16}));
    bool exact = false;
    EXPECT_EQ(tear.GetInterpolationLevel(Grid(3, 3, 5, 5, 3), kQ, &exact), Grid(3, 3, 5, 5, 3));
    unsigned r = 9;
    const auto detached = Read(tear, Grid(0, 0, 8, 4), &r, 42);
    EXPECT_EQ(r, grNothing);
    EXPECT_EQ(detached, std::vector<unsigned char>(8 * 4 * 4, 42));

    tear.SetSrcDibData(new_a<TKrTestDibDataGray>(TKrDibSize{10, 10})); // a new snapshot
    tear.SetSrcDibData(nullptr);
    EXPECT_TRUE(tear.Channels().IsGray_U8());
    EXPECT_EQ(tear.GetAllLevels(nullptr), 1u);
    EXPECT_EQ(tear.Bounds(), Grid(0, 0, 10, 10));
}

TEST(CheckersDibData, SquaresKeepTheirSizeOnEveryLevel) {
    var_a<TKrDibData*> c = TKrCheckersDibData::VCreate(Grid(0, 0, 64, 64), 3);
    EXPECT_TRUE(c->Channels().IsRGBA_U8());
    EXPECT_EQ(c->GetAllLevels(nullptr), 3u);
    // Level k read at its own lattice: squares of 4, 2 and 1 level pixels, (0, 0) black.
    for (int k = 0; k < 3; ++k) {
        const double p = 1 << k;
        unsigned r = 0;
        const auto px = Read(*c, Grid(0.5 * p - 0.5, 0.5 * p - 0.5, 16, 16, p), &r);
        EXPECT_EQ(r, grCompleteData);
        const int cell = 4 >> k;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                const bool white = ((x / cell) % 2) != ((y / cell) % 2);
                const unsigned char* q = &px[(y * 16 + x) * 4];
                ASSERT_EQ(q[0], white ? 255 : 0) << k << ":" << x << "," << y;
                ASSERT_EQ(q[1], q[0]);
                ASSERT_EQ(q[3], 255);
            }
    }
}

TEST(TestDibData, PatternsAndScales) {
    TKrTestDibDataGray16A ga({20, 10});
    const auto px = Read(ga, Grid(3, 2, 1, 1));
    std::uint16_t v[2];
    std::memcpy(v, px.data(), 4);
    EXPECT_EQ(v[0], 97 * 3 + 389 * 2);
    EXPECT_EQ(v[1], 65535); // 3 + 2 is no multiple of 3
    // Pixel size 2 from origin 0.5: the nearest pixel centres are 1, 3, 5, ...
    TKrTestDibDataGray gray({100, 100});
    const auto half = Read(gray, Grid(0.5, 0.5, 3, 1, 2));
    EXPECT_EQ(half, (std::vector<unsigned char>{1 + 2, 3 + 2, 5 + 2}));
    unsigned r = 0;
    EXPECT_EQ(Read(gray, Grid(98, 99, 4, 1), &r, 0),
              (std::vector<unsigned char>{98 + 198 - 256, 99 + 198 - 256, 0, 0}));
    EXPECT_EQ(r, grCompleteData);
    TKrTestDibDataGrayConst k(300);
    EXPECT_EQ(Read(k, Grid(5, 5, 1, 1))[0], 300 - 256);
    EXPECT_THROW(TKrTestDibDataMSDummy(2, {8, 8}, TKrDibChannels(3, 1, 1)), TKrMessage);
}

TEST(TestDibData, ColourPatternsAndPyramids) {
    TKrTestDibDataRGB rgb(false, {300, 10});
    EXPECT_TRUE(rgb.Channels().IsRGB_U8());
    EXPECT_EQ(Read(rgb, Grid(260, 3, 1, 1)), (std::vector<unsigned char>{260 - 256, 3, 263 - 256}));
    // The noise differs between neighbours and channels but not between two reads.
    TKrTestDibDataRGBA noise(true, {16, 16});
    EXPECT_TRUE(noise.Channels().IsRGBA_U8());
    const auto a = Read(noise, Grid(0, 0, 16, 16)), b = Read(noise, Grid(0, 0, 16, 16));
    EXPECT_EQ(a, b);
    EXPECT_NE(std::vector<unsigned char>(a.begin(), a.begin() + 4),
              std::vector<unsigned char>(a.begin() + 4, a.begin() + 8));
    EXPECT_EQ(Read(*new_a<TKrTestDibDataRGBA>(false, TKrDibSize{4, 4}), Grid(1, 2, 1, 1)),
              (std::vector<unsigned char>{1, 2, 3, 255}));

    // Every level of the gray pyramid is the decimation of level 0, the pattern moved by (-10, 20).
    TKrTestDibDataMultiScaleGray ms(3, {64, 64}, -10, 20);
    std::vector<TKrDibRect> levels;
    ASSERT_EQ(ms.GetAllLevels(&levels), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        const TKrDibRect& l = levels[k];
        const auto px = Read(
            ms, Grid(l.origin.x + 3 * l.pixel_size.x, l.origin.y + 5 * l.pixel_size.y, 1, 1, l.pixel_size.x));
        EXPECT_EQ(px[0], ((3u << k) - 10 + 2 * ((5u << k) + 20)) & 255) << k;
    }

    // The float chessboard keeps its squares at 4 full-resolution pixels on every level.
    var_a<TKrDibData*> chess = TKrTestDibDataFChess::VCreate(4, {32, 16});
    EXPECT_EQ(chess->GetAllLevels(nullptr), 6u); // 32, 16, 8, 4, 2, 1 columns
    for (int k = 0; k < 3; ++k) {
        const double p = 1 << k;
        const auto px = Read(*chess, Grid(0.5 * p - 0.5, 0.5 * p - 0.5, 8, 1, p));
        float v[8];
        std::memcpy(v, px.data(), sizeof v);
        for (int x = 0; x < 8; ++x)
            ASSERT_EQ(v[x], ((x << k) / 4) % 2 ? 1.0f : 0.0f) << k << ":" << x;
    }
}
