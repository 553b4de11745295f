// Leaf sources: headerless streams and caller memory read back against the bytes they were made
// from, window placement, refused grids and bad input; the void source and the shared functions.
#include "KrRasterTestUtils.h"
#include "Raster/KrRawDibData.h"
#include "Raster/KrRawMemDibData.h"
#include "Raster/KrVoidDibData.h"
#include "Streams/KrStringStream.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

using krtest::TGuardedBuffer;
using krtest::ThrownText;

namespace {

constexpr std::size_t kW = 13, kH = 9, kBpp = 3;
const TKrDibChannels kRGB(1, 1, 6, 4, 3);
const TInterpolationQuality kQ = GetDisplayInterpolationQuality();

std::string Bytes() {
    std::vector<unsigned char> img = krtest::RandomImage<unsigned char>(kW, kH, kBpp, 7);
    return std::string(img.begin(), img.end());
}

// What a read of `req` (pixel size 1) must leave: the image pixel at the rounded (stream) or
// truncated (memory) offset, the guard value elsewhere.
void ExpectWindow(TGuardedBuffer& buf, const std::string& img, const TKrDibRect& req, bool truncate) {
    auto offset = [&](double o) { return truncate ? std::trunc(o) : std::round(o); };
    const auto c0 = static_cast<long>(offset(req.origin.x)), r0 = static_cast<long>(offset(req.origin.y));
    for (std::size_t y = 0; y < req.count.y; ++y)
        for (std::size_t x = 0; x < req.count.x; ++x) {
            const long sx = c0 + static_cast<long>(x), sy = r0 + static_cast<long>(y);
            const bool inside = sx >= 0 && sy >= 0 && sx < long(kW) && sy < long(kH);
            for (std::size_t b = 0; b < kBpp; ++b) {
                const unsigned char want =
                    inside ? static_cast<unsigned char>(img[(sy * kW + sx) * kBpp + b]) : krtest::kGuard;
                ASSERT_EQ(*(buf.Pixel(x, y, kBpp) + b), want) << x << "," << y;
            }
        }
    EXPECT_TRUE(buf.GuardsIntact());
}

} // namespace

TEST(RawDibData, StreamAndMemoryReadTheWindowsTheyOverlap) {
    std::string img = Bytes();
    const TKrDibRect grid{{0, 0}, {kW, kH}, {1, 1}};
    const var_a<TKrDibData*> stream = TKrRawDibData::VCreate(new_a<TKrStringStream>(img), kRGB, grid);
    const var_a<TKrDibData*> mem = TKrRawMemDibData::VCreate({&img[0], kW * kBpp}, kRGB, grid, nullptr);
    const TKrDibRect requests[] = {
        {{0, 0}, {kW, kH}, {1, 1}},  {{-3, -2}, {6, 5}, {1, 1}},    {{10, 7}, {8, 8}, {1, 1}},
        {{4, 3}, {1, 1}, {1, 1}},    {{-2.4, 1.6}, {5, 4}, {1, 1}}, {{0.7, -0.7}, {3, 3}, {1, 1}},
        {{-20, 0}, {25, 1}, {1, 1}}, {{2, 2}, {3000, 1}, {1, 1}},
    };
    for (const TKrDibRect& req : requests) {
        for (bool memory : {false, true}) {
            TGuardedBuffer buf(req.count.x, req.count.y, kBpp);
            EXPECT_EQ((memory ? mem : stream)->GetRect(buf.Out(), req, kQ, 0, nullptr), grCompleteData);
            ExpectWindow(buf, img, req, memory);
        }
    }
    // Refused: another pixel size (NaN too), empty grids, no overlap, non-finite origins.
    const TKrDibRect refused[] = {
        {{0, 0}, {4, 4}, {2, 2}},        {{0, 0}, {4, 4}, {1, std::nan("")}}, {{0, 0}, {0, 4}, {1, 1}},
        {{13, 0}, {4, 4}, {1, 1}},       {{-4, 0}, {4, 4}, {1, 1}},           {{0, 9}, {4, 4}, {1, 1}},
        {{INFINITY, 0}, {4, 4}, {1, 1}}, {{1e300, 0}, {4, 4}, {1, 1}},
    };
    for (const TKrDibRect& req : refused)
        for (const var_a<TKrDibData*>& src : {stream, mem}) {
            TGuardedBuffer buf(4, 4, kBpp);
            EXPECT_EQ(src->GetRect(buf.Out(), req, kQ, 0, nullptr), grComplete);
            EXPECT_TRUE(buf.Untouched());
        }
    EXPECT_EQ(stream->Bounds(), grid);
    EXPECT_EQ(mem->GetAllLevels(nullptr), 1u);
    EXPECT_FALSE(IsMultiscaleDibData(mem));
}

TEST(RawDibData, MemoryPixelStepReadsOnePlaneOfInterleavedData) {
    // A 4-sample interleaved image read as its 1-byte plane 2, its 2-byte planes 1..2, and
    // mirrored through a negative step; the owner keeps the memory alive.
    auto owner = new_a<std::vector<unsigned char>>(krtest::RandomImage<unsigned char>(kW, kH, 4, 3));
    std::vector<unsigned char>& img = *owner;
    for (std::size_t plane = 1; plane <= 2; ++plane) {
        const TKrDibChannels ch = plane == 1 ? TKrDibChannels(1, 1, 1) : TKrDibChannels(1, 1, 1, 289);
        const std::size_t bpp = ch.GetBytesPP();
        const var_a<TKrDibData*> src =
            TKrRawMemDibData::VCreate({reinterpret_cast<char*>(img.data()) + plane, kW * 4}, 4, ch,
                                      TKrDibRect{{0, 0}, {kW, kH}, {1, 1}}, owner);
        TGuardedBuffer buf(kW, kH, bpp);
        ASSERT_EQ(src->GetRect(buf.Out(), TKrDibRect{{0, 0}, {kW, kH}, {1, 1}}, kQ, 0, nullptr),
                  grCompleteData);
        for (std::size_t y = 0; y < kH; ++y)
            for (std::size_t x = 0; x < kW; ++x)
                for (std::size_t b = 0; b < bpp; ++b)
                    ASSERT_EQ(*(buf.Pixel(x, y, bpp) + b), img[(y * kW + x) * 4 + plane + b]);
        EXPECT_TRUE(buf.GuardsIntact());
    }
    const var_a<TKrDibData*> mirrored =
        TKrRawMemDibData::VCreate({reinterpret_cast<char*>(img.data()) + (kW - 1) * 4, kW * 4}, -4,
                                  TKrDibChannels(1, 4, 1), TKrDibRect{{0, 0}, {kW, kH}, {1, 1}}, owner);
    TGuardedBuffer buf(kW, 1, 4);
    ASSERT_EQ(mirrored->GetRect(buf.Out(), TKrDibRect{{0, 2}, {kW, 1}, {1, 1}}, kQ, 0, nullptr),
              grCompleteData);
    EXPECT_EQ(std::memcmp(buf.Pixel(kW - 1, 0, 4), &img[2 * kW * 4], 4), 0);
    EXPECT_EQ(std::memcmp(buf.Pixel(0, 0, 4), &img[(2 * kW + kW - 1) * 4], 4), 0);

    // Wide pixels go through the per-size copiers (16, 64) and the general one (24).
    for (std::size_t kinds : {2, 8, 3}) {
        TKrDibChannels ch(2, 8, 1);
        ch.Kinds.assign(kinds, 1);
        const std::size_t bpp = ch.GetBytesPP();
        std::vector<unsigned char> wide = krtest::RandomImage<unsigned char>(5 * 2, 3, bpp, 11);
        const var_a<TKrDibData*> w = TKrRawMemDibData::VCreate(
            {reinterpret_cast<char*>(wide.data()), static_cast<std::int64_t>(10 * bpp)},
            static_cast<std::int64_t>(2 * bpp), ch, TKrDibRect{{0, 0}, {5, 3}, {1, 1}}, nullptr);
        TGuardedBuffer b(5, 3, bpp);
        ASSERT_EQ(w->GetRect(b.Out(), TKrDibRect{{0, 0}, {5, 3}, {1, 1}}, kQ, 0, nullptr), grCompleteData);
        EXPECT_EQ(std::memcmp(b.Pixel(4, 2, bpp), &wide[(2 * 10 + 8) * bpp], bpp), 0);
        EXPECT_TRUE(b.GuardsIntact());
    }
}

TEST(RawDibData, BadInputIsRefusedWithAClearMessage) {
    std::string img = Bytes();
    const TKrDibRect grid{{0, 0}, {kW, kH}, {1, 1}};
    EXPECT_EQ(ThrownText([&] { TKrRawDibData(nullptr, kRGB, grid); }),
              "@TKrRawDibData::TKrRawDibData: no stream.");
    EXPECT_EQ(ThrownText([&] { TKrRawDibData(new_a<TKrStringStream>(img), TKrDibChannels(2, 2, 1), grid); }),
              "@TKrRawDibData::TKrRawDibData: invalid channels (type=2, bps=2, kinds=1).");
    EXPECT_EQ(ThrownText([&] {
                  TKrRawDibData(new_a<TKrStringStream>(img), kRGB, TKrDibRect{{0, 0}, {1, 1}, {0, 1}});
              }),
              "@TKrRawDibData::TKrRawDibData: invalid image grid (1 x 1 pixels of 3 bytes).");
    EXPECT_EQ(ThrownText([&] {
                  TKrRawMemDibData({&img[0], 10}, kRGB, grid, nullptr);
              }),
              "@TKrRawMemDibData::TKrRawMemDibData: the stride 10 is below the row span 39.");
    EXPECT_EQ(ThrownText([&] {
                  TKrRawMemDibData({nullptr, 39}, kRGB, grid, nullptr);
              }),
              "@TKrRawMemDibData::TKrRawMemDibData: no pixel memory.");
    EXPECT_EQ(
        ThrownText([&] {
            TKrRawMemDibData({&img[0], 39}, kRGB, TKrDibRect{{0, 0}, {std::uint64_t(1) << 60, 2}, {1, 1}},
                             nullptr);
        }),
        "@TKrRawMemDibData::TKrRawMemDibData: invalid image grid (1152921504606846976 x 2 pixels, step 3, "
        "stride 39).");

    // A stream shorter than the image: the rows it has arrive, then a message; nothing else moves.
    const var_a<TKrDibData*> cut =
        TKrRawDibData::VCreate(new_a<TKrStringStream>(img.substr(0, 5 * kW * kBpp + 4)), kRGB, grid);
    TGuardedBuffer buf(kW, kH, kBpp);
    EXPECT_EQ(ThrownText([&] { cut->GetRect(buf.Out(), grid, kQ, 0, nullptr); }),
              "@TKrRawDibData::GetRect: the stream \"\" ends or fails before image row 5 (39 bytes at 195).");
    EXPECT_TRUE(buf.GuardsIntact());
    EXPECT_EQ(*buf.Pixel(kW - 1, 4, kBpp), static_cast<unsigned char>(img[(5 * kW - 1) * kBpp]));

    // Output strides too small for the request.
    for (const var_a<TKrDibData*>& src :
         {cut, TKrRawMemDibData::VCreate({&img[0], kW * kBpp}, kRGB, grid, nullptr)}) {
        TGuardedBuffer small(4, 4, kBpp);
        TKrDibDataOutBuffer out = small.Out();
        out.stride = 11;
        EXPECT_THAT(ThrownText([&] {
                        src->GetRect(out, TKrDibRect{{0, 0}, {4, 4}, {1, 1}}, kQ, 0, nullptr);
                    }),
                    ::testing::HasSubstr("the output stride 11 is below the row length 12."));
        EXPECT_TRUE(small.Untouched());
    }
}

TEST(RawDibData, VoidSourceAndSharedGridFunctions) {
    TKrVoidDibData v;
    EXPECT_TRUE(v.Channels().IsRGB_U8());
    EXPECT_EQ(v.Bounds(), (TKrDibRect{{0, 0}, {1, 1}, {1, 1}}));
    const var_a<TKrDibData*> big = TKrVoidDibData::VCreate(TKrDibRect{{0, 0}, {200, 300}, {1, 1}}, kRGB);
    TGuardedBuffer buf(2, 2, 3);
    for (const TKrDibRect& r : {TKrDibRect{{0, 0}, {2, 2}, {1, 1}}, TKrDibRect{{-9, 0}, {2, 2}, {3, 1}}})
        EXPECT_EQ(big->GetRect(buf.Out(), r, kQ, 0, nullptr), grComplete);
    EXPECT_TRUE(buf.Untouched());
    // On the lattice of pyramid level 2: from the sample at or before 0 to the one at or after 199.
    EXPECT_EQ(big->BoundsEx(TKrDibRect{{1.5, 1.5}, {0, 0}, {4, 4}}),
              (TKrDibRect{{-2.5, -2.5}, {52, 77}, {4, 4}}));
    bool exact = false;
    EXPECT_EQ(big->GetInterpolationLevel(TKrDibRect{{0.3, 0}, {2, 2}, {3, 1}}, kQ, &exact),
              (TKrDibRect{{0.3, 0}, {2, 2}, {3, 1}}));
    EXPECT_TRUE(exact);
    EXPECT_EQ(GetTileKrRect(big, {0, 0}, {128, 128}).origin.y, 172);
    EXPECT_EQ(GetTileKrRect(big, {1, 2}, {128, 100}), (TKrDibRect{{128, 0}, {128, 100}, {1, 1}}));
    EXPECT_EQ(big->GetScaleDimensions(3), (TKrDibSize{25, 37}));

    // Single-level answers: exact on the lattice within tolerance, covering whole pixels.
    const TKrDibRect main{{0, 0}, {kW, kH}, {1, 1}};
    EXPECT_EQ(GetSimplestInterpolationLevel(main, TKrDibRect{{2.3, -1.5}, {4, 3}, {1, 1}}, kQ, &exact),
              (TKrDibRect{{2, -2}, {5, 4}, {1, 1}}));
    EXPECT_TRUE(exact); // 0.3 and 0.5 within half a pixel
    GetSimplestInterpolationLevel(main, TKrDibRect{{2.3, 0}, {4, 3}, {1, 1}}, GetMathInterpolationQuality(),
                                  &exact);
    EXPECT_FALSE(exact);
    EXPECT_EQ(GetSimplestInterpolationLevel(main, TKrDibRect{{2, 0}, {0, 3}, {2, 2}}, kQ, &exact), main);
    EXPECT_FALSE(exact);
    EXPECT_EQ(GetSimplestInterpolationLevel(main, TKrDibRect{{0.5, 0}, {3, 1}, {0.5, 1}}, kQ, nullptr).count,
              (TKrDibSize{2, 1}));
}
