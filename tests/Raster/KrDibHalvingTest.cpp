// Fast paths of the rescaler against the general ones: 2 × 2 halving kernels, memory sources
// filtered in place, copies without a clear; and memory-source extents on other grids.
#include "KrRasterTestUtils.h"
#include "Raster/KrCacheDibData.h"
#include "Raster/KrDibFilter2D.h"
#include "Raster/KrDibHalving.h"
#include "Raster/KrRasterInternal.h"
#include "Raster/KrScaleDibData.h"

#include <gtest/gtest.h>

#include <cstring>

using krtest::TGuardedBuffer;

namespace {

const TInterpolationQuality kQ = GetDisplayInterpolationQuality();

// Forwards reads to its source: the rescaler cannot see the memory behind it, so it copies
// every block into its scratch buffer (the general path).
class TOpaqueDibData : public TKrFilterDibData {
public:
    using TKrFilterDibData::TKrFilterDibData;
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& r,
                             const TInterpolationQuality& q, int f, TKrProgressHandler* p) override {
        return m_source->GetRect(out, r, q, f, p);
    }
};

std::vector<unsigned char> Render(var_a<TKrDibData*> source, double scale, TKrScaleDibData::TFilterType type,
                                  const TKrDibRect& req) {
    TKrScaleDibData s(std::move(source), {0, 0}, {scale, scale}, type);
    s.SetBlockSize(40); // several blocks, some inside the image and some on its border
    TGuardedBuffer buf(req.count.x, req.count.y, s.Channels().GetBytesPP());
    EXPECT_EQ(s.GetRect(buf.Out(), req, kQ, 0, nullptr), grCompleteData);
    EXPECT_TRUE(buf.GuardsIntact());
    return buf.mem;
}

struct TFastPaths {
    TFastPaths(bool halving, bool simd) {
        KrRasterInternal::SetHalvingKernels(halving);
        KrRasterInternal::SetSimdKernels(simd);
    }
    ~TFastPaths() {
        KrRasterInternal::SetHalvingKernels(true);
        KrRasterInternal::SetSimdKernels(true);
    }
};

} // namespace

// Every (row pair sum, row pair sum) combination of 8-bit samples: the kernels (vector and
// portable) give the bytes of the general fixed-point filter, which are not always the
// rounded mean.
TEST(DibHalving, EightBitKernelMatchesTheFixedPointFilterOnEverySumPair) {
    const std::size_t n = 511, w = 2 * n;
    std::vector<unsigned char> img(w * w);
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < n; ++i) {
            img[2 * j * w + 2 * i] = static_cast<unsigned char>(std::min<std::size_t>(i, 255));
            img[2 * j * w + 2 * i + 1] = static_cast<unsigned char>(i - std::min<std::size_t>(i, 255));
            img[(2 * j + 1) * w + 2 * i] = static_cast<unsigned char>(std::min<std::size_t>(j, 255));
            img[(2 * j + 1) * w + 2 * i + 1] = static_cast<unsigned char>(j - std::min<std::size_t>(j, 255));
        }
    TKrDibChannels gray(1, 1, 1);
    TKrBilinearDibFilter2DUInt8 filter(gray);
    filter.SetPixelSize({2, 2});
    auto run = [&](bool halving, bool simd) {
        TFastPaths paths(halving, simd);
        std::vector<unsigned char> out(n * n);
        filter.InterpolateRect({reinterpret_cast<char*>(img.data()), std::int64_t(w)}, {w, w},
                               {reinterpret_cast<char*>(out.data()), std::int64_t(n)}, {n, n}, {0.5, 0.5},
                               {2, 2});
        return out;
    };
    const std::vector<unsigned char> general = run(false, true);
    EXPECT_TRUE(run(true, true) == general);
    EXPECT_TRUE(run(true, false) == general);
    int offMean = 0;
    for (std::size_t j = 0; j < n; ++j)
        for (std::size_t i = 0; i < n; ++i)
            offMean += general[j * n + i] != (i + j + 2) / 4;
    EXPECT_GT(offMean, 0); // the fixed point is not the rounded mean: a copy of it would not do
}

// Through the rescaler: 1 to 4 channels, 8 and 16 bits, odd image sizes, requests at odd
// places that run over the image's edges, with every fast path on and off.
TEST(DibHalving, RescalerFastPathsGiveTheGeneralResult) {
    const std::size_t w = 203, h = 97;
    const TKrDibRect requests[] = {
        {{3.25, 1.75}, {61, 31}, {1, 1}},   // halving grid inside the image
        {{-6.75, -4.25}, {63, 40}, {1, 1}}, // halving grid over the top-left border
        {{60.25, 20.75}, {50, 40}, {1, 1}}, // over the bottom-right border
        {{2.6, 1.1}, {47, 29}, {1, 1}},     // reducing by 2 off the lattice
    };
    for (std::size_t cn = 1; cn <= 4; ++cn)
        for (std::size_t bps : {1, 2}) {
            const TKrDibChannels ch(1, bps, 1, 4, 3, 289);
            TKrDibChannels chn = ch;
            chn.Kinds.resize(cn);
            std::vector<unsigned char> img =
                krtest::RandomImage<unsigned char>(w * bps, h, cn, unsigned(cn + bps));
            const var_a<TKrDibData*> mem = krtest::MemSource(img, w, h, chn);
            const var_a<TKrDibData*> opaque = new_a<TOpaqueDibData>(mem);
            for (const TKrDibRect& req : requests)
                for (auto type : {TKrScaleDibData::ftLinear, TKrScaleDibData::ftNearest}) {
                    SCOPED_TRACE(::testing::Message() << cn << " channels, " << bps << " bytes, request at "
                                                      << req.origin.x << ", filter " << type);
                    std::vector<unsigned char> general;
                    {
                        TFastPaths off(false, false);
                        general = Render(opaque, 0.5, type, req);
                    }
                    EXPECT_TRUE(Render(mem, 0.5, type, req) == general);
                    EXPECT_TRUE(Render(opaque, 0.5, type, req) == general);
                    TFastPaths portable(true, false);
                    EXPECT_TRUE(Render(mem, 0.5, type, req) == general);
                }
            // Enlarging and other reductions read the memory in place too.
            for (double scale : {1.5, 0.37})
                for (auto type : {TKrScaleDibData::ftLinear, TKrScaleDibData::ftNearest}) {
                    const TKrDibRect req{{-2.3, 5.9}, {310, 150}, {1, 1}};
                    EXPECT_TRUE(Render(mem, scale, type, req) == Render(opaque, scale, type, req))
                        << "scale " << scale << ", filter " << type;
                }
        }
}

// 16-bit halving is the rounded mean of the four samples, which the double-precision filter
// also reaches now that it weighs unsigned samples as integers.
TEST(DibHalving, SixteenBitHalvingIsTheRoundedMean) {
    const std::size_t w = 37, h = 23, cn = 3;
    std::vector<std::uint16_t> img = krtest::RandomImage<std::uint16_t>(w, h, cn, 4);
    const var_a<TKrDibData*> mem = krtest::MemSource(img, w, h, TKrDibChannels(1, 2, 6, 4, 3));
    const TKrDibRect req{{0.25, 0.25}, {18, 11}, {1, 1}};
    for (bool halving : {true, false}) {
        TFastPaths paths(halving, true);
        TKrScaleDibData s(mem, {0, 0}, {0.5, 0.5}, TKrScaleDibData::ftLinear);
        std::vector<std::uint16_t> out(18 * 11 * cn);
        ASSERT_EQ(
            s.GetRect({reinterpret_cast<char*>(out.data()), std::int64_t(18 * cn * 2)}, req, kQ, 0, nullptr),
            grCompleteData);
        int wrong = 0;
        for (std::size_t j = 0; j < 11; ++j)
            for (std::size_t e = 0; e < 18 * cn; ++e) {
                const std::size_t i = 2 * (e / cn) * cn + e % cn, r = 2 * j * w * cn;
                const std::uint32_t sum =
                    img[r + i] + img[r + i + cn] + img[r + w * cn + i] + img[r + w * cn + i + cn];
                wrong += out[j * 18 * cn + e] != (sum + 2) / 4;
            }
        EXPECT_EQ(wrong, 0) << "halving kernel " << halving;
    }
}

// A memory source with a pixel step of its own is copied, not cleared first; the copy still
// covers every pixel the filter reads.
TEST(DibHalving, StridedMemorySourceMatchesThePackedOne) {
    const std::size_t w = 61, h = 45;
    std::vector<unsigned char> planes = krtest::RandomImage<unsigned char>(w, h, 4, 8);
    std::vector<unsigned char> packed(w * h * 3);
    for (std::size_t p = 0; p < w * h; ++p)
        std::memcpy(&packed[p * 3], &planes[p * 4], 3);
    const TKrDibChannels rgb(1, 1, 6, 4, 3);
    const var_a<TKrDibData*> strided =
        TKrRawMemDibData::VCreate({reinterpret_cast<char*>(planes.data()), std::int64_t(w * 4)}, 4, rgb,
                                  TKrDibRect{{0, 0}, {w, h}, {1, 1}}, nullptr);
    const TKrDibRect req{{-1.75, 2.25}, {40, 30}, {1, 1}};
    EXPECT_TRUE(Render(strided, 0.5, TKrScaleDibData::ftLinear, req) ==
                Render(krtest::MemSource(packed, w, h, rgb), 0.5, TKrScaleDibData::ftLinear, req));
}

// A memory source's extent on a coarser grid is on that grid, so a cache over it asks for
// pixel size 2 (which the source does not serve) instead of handing out pixel-size-1 data.
TEST(DibHalving, MemorySourceBoundsFollowTheGridAskedAbout) {
    std::vector<unsigned char> img(10 * 7, 200);
    const TKrDibChannels gray(1, 1, 1);
    const var_a<TKrDibData*> mem = TKrRawMemDibData::VCreate({reinterpret_cast<char*>(img.data()), 10}, gray,
                                                             TKrDibRect{{0, 0}, {10, 7}, {1, 1}}, nullptr);
    EXPECT_EQ(mem->Bounds(), (TKrDibRect{{0, 0}, {10, 7}, {1, 1}}));
    EXPECT_EQ(mem->BoundsEx(TKrDibRect{{0.5, 0.5}, {0, 0}, {2, 2}}),
              (TKrDibRect{{-1.5, -1.5}, {7, 5}, {2, 2}}));
    EXPECT_EQ(mem->BoundsEx(TKrDibRect{{0, 0}, {3, 3}, {2, 2}}), (TKrDibRect{{0, 0}, {6, 4}, {2, 2}}));

    const TKrDibRect coarse{{0, 0}, {5, 3}, {2, 2}};
    TGuardedBuffer direct(5, 3, 1), cached(5, 3, 1);
    EXPECT_EQ(mem->GetRect(direct.Out(), coarse, kQ, 0, nullptr), grComplete);
    EXPECT_TRUE(direct.Untouched());
    // The cache hands out its cleared tiles, never the source's full-resolution pixels.
    TKrCacheDibData cache(mem, false, {4, 4}, nullptr);
    cache.GetRect(cached.Out(), coarse, kQ, 0, nullptr);
    for (std::size_t y = 0; y < 3; ++y)
        for (std::size_t x = 0; x < 5; ++x)
            EXPECT_NE(*cached.Pixel(x, y, 1), 200);
}
