// Rescaling against a plain double-precision resampler on 8-bit, 16-bit and float images;
// filter weights; pyramid level arithmetic and level choice.
#include "KrRasterTestUtils.h"
#include "Raster/KrDibFilter2D.h"
#include "Raster/KrMultiScaleDibData.h"
#include "Raster/KrRasterInternal.h"
#include "Raster/KrScaleDibData.h"
#include "System/KrThreads.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using krtest::TGuardedBuffer;
using krtest::ThrownText;

namespace {

const TInterpolationQuality kQ = GetDisplayInterpolationQuality();

// Taps of one output position on an axis of n pixels: indices (clamped) and weights.
struct TTaps {
    std::vector<long> index;
    std::vector<double> weight;
};

// The reference weights, straight from their definition: two neighbours when enlarging, a box
// of width `step` centred on x when reducing, both clipped to the axis.
TTaps ReferenceTaps(double x, double step, long n, bool linear) {
    TTaps t;
    auto add = [&](double i, double w) {
        t.index.push_back(std::clamp(static_cast<long>(i), 0L, n - 1));
        t.weight.push_back(w);
    };
    if (!linear) {
        add(x <= 0 ? 0 : x >= n - 1 ? n - 1 : std::floor(x + 0.5), 1);
    } else if (step <= 1) {
        if (x <= 0 || x >= n - 1)
            add(x <= 0 ? 0 : n - 1, 1);
        else
            add(std::floor(x), 1 - (x - std::floor(x))), add(std::floor(x) + 1, x - std::floor(x));
    } else {
        double a = x - step / 2 + 0.5, b = a + step - 1;
        if (a < 0) a = 0, b = std::max(b, 0.0);
        if (b > n - 1) b = double(n - 1), a = std::min(a, double(n - 1));
        const double norm = 1 / (b - a + 1);
        for (double i = std::floor(a); i <= std::floor(b) + 1; ++i) {
            const double w = i == std::floor(a)       ? (1 - (a - std::floor(a))) * norm
                             : i == std::floor(b) + 1 ? (b - std::floor(b)) * norm
                                                      : norm;
            add(i, w);
        }
    }
    return t;
}

struct TScaleCase {
    vec2d shift, scale;
    TKrDibRect request;
    bool linearOnly; // not on a binary-exact grid: nearest ties could round either way
};

const TScaleCase kCases[] = {
    {{0, 0}, {1, 1}, {{0, 0}, {37, 29}, {1, 1}}, false},          // passed straight through
    {{0.25, -0.5}, {2, 2}, {{-3, 1.5}, {80, 60}, {1, 1}}, false}, // enlarging, past the borders
    {{1, 2}, {0.5, 0.5}, {{0.25, -1}, {20, 17}, {1, 1}}, false},  // reducing by 2
    {{0, 0}, {1, 1}, {{0.375, 0.125}, {30, 40}, {0.75, 1.25}}, false},
    {{-2, 0}, {0.25, 0.5}, {{-1, 0}, {12, 20}, {1, 1}}, false}, // reducing by 4 and 2
    {{0.3, -0.2}, {1.5, 0.7}, {{2.1, -3.3}, {61, 25}, {1, 1}}, true},
    {{-0.4, 0.9}, {0.37, 3.1}, {{0.6, 5.2}, {15, 70}, {1.1, 0.9}}, true},
};

template <class T> void CheckAgainstReference(const TKrDibChannels& ch, std::size_t blockEdge, bool linear) {
    const std::size_t w = 37, h = 29, cn = ch.Kinds.size(), bps = sizeof(T), bpp = cn * bps;
    std::vector<T> img = krtest::RandomImage<T>(w, h, cn, 5);
    const var_a<TKrDibData*> source = krtest::MemSource(img, w, h, ch);
    for (const TScaleCase& c : kCases) {
        if (c.linearOnly && !linear) continue;
        SCOPED_TRACE(::testing::Message()
                     << "scale " << c.scale.x << "x" << c.scale.y << " block " << blockEdge);
        TKrScaleDibData scaled(source, c.shift, c.scale,
                               linear ? TKrScaleDibData::ftLinear : TKrScaleDibData::ftNearest);
        scaled.SetBlockSize(blockEdge);
        const TKrDibRect& req = c.request;
        TGuardedBuffer buf(req.count.x, req.count.y, bpp);
        ASSERT_EQ(scaled.GetRect(buf.Out(), req, kQ, 0, nullptr), grCompleteData);
        ASSERT_TRUE(buf.GuardsIntact());

        // Written are the samples whose pixel lies on the scaled image (BoundsEx).
        const TKrDibRect D = scaled.BoundsEx(req);
        const long i0 = std::lround((D.origin.x - req.origin.x) / req.pixel_size.x);
        const long j0 = std::lround((D.origin.y - req.origin.y) / req.pixel_size.y);
        int mismatches = 0;
        for (std::size_t j = 0; j < req.count.y; ++j) {
            const double v = (req.Sample(1, double(j)) / c.scale.y - c.shift.y);
            const TTaps ty = ReferenceTaps(v, req.pixel_size.y / c.scale.y, long(h), linear);
            for (std::size_t i = 0; i < req.count.x; ++i) {
                const unsigned char* px = buf.Pixel(i, j, bpp);
                const bool inside = long(i) >= i0 && long(i) < i0 + long(D.count.x) && long(j) >= j0 &&
                                    long(j) < j0 + long(D.count.y);
                if (!inside) {
                    mismatches +=
                        std::count_if(px, px + bpp, [](unsigned char b) { return b != krtest::kGuard; });
                    continue;
                }
                const double u = (req.Sample(0, double(i)) / c.scale.x - c.shift.x);
                const TTaps tx = ReferenceTaps(u, req.pixel_size.x / c.scale.x, long(w), linear);
                for (std::size_t k = 0; k < cn; ++k) {
                    double want = 0;
                    for (std::size_t y = 0; y < ty.index.size(); ++y) {
                        double row = 0;
                        for (std::size_t x = 0; x < tx.index.size(); ++x)
                            row += GetChannelValue(&img[(ty.index[y] * w + tx.index[x]) * cn + k], bps,
                                                   ch.Type) *
                                   tx.weight[x];
                        want += row * ty.weight[y];
                    }
                    const double got = GetChannelValue(px + k * bps, bps, ch.Type);
                    bool ok;
                    if (ch.Type == TE_KrDibChannelType::ctFloat) {
                        const float f = static_cast<float>(want);
                        ok = got == f || (linear && (static_cast<float>(got) == std::nextafter(f, 2.f) ||
                                                     static_cast<float>(got) == std::nextafter(f, -1.f)));
                    } else {
                        const double max = GetChannelNNMaxValue(bps, ch.Type);
                        ok = std::fabs(got * max - std::floor(want * max + 0.5)) <= (linear ? 1 : 0);
                    }
                    if (!ok && ++mismatches < 5)
                        ADD_FAILURE()
                            << "pixel " << i << "," << j << " channel " << k << ": " << got << " vs " << want;
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

} // namespace

TEST(ScaleDibData, MatchesADoublePrecisionResampler) {
    const TKrDibChannels u8(1, 1, 6, 4, 3), u16(1, 2, 6, 4, 3), f32(2, 4, 1, 289), gray(1, 1, 1);
    for (std::size_t edge : {std::size_t(128), std::size_t(16)})
        for (bool linear : {false, true}) {
            CheckAgainstReference<std::uint8_t>(u8, edge, linear);
            CheckAgainstReference<std::uint16_t>(u16, edge, linear);
            CheckAgainstReference<float>(f32, edge, linear);
        }
    // The portable 8-bit kernels, and one channel (other shuffle groups).
    for (bool simd : {false, true}) {
        KrRasterInternal::SetSimdKernels(simd);
        CheckAgainstReference<std::uint8_t>(u8, 128, true);
        CheckAgainstReference<std::uint8_t>(gray, 128, true);
    }
}

TEST(ScaleDibData, ResultsDoNotDependOnThreadsOrBlocks) {
    const std::size_t w = 300, h = 200;
    std::vector<unsigned char> img = krtest::RandomImage<unsigned char>(w, h, 3, 9);
    const var_a<TKrDibData*> src = krtest::MemSource(img, w, h, TKrDibChannels(1, 1, 6, 4, 3));
    const TKrDibRect req{{-5.5, 3.25}, {400, 180}, {0.7, 1.1}};
    std::vector<std::vector<unsigned char>> results;
    for (std::size_t edge : {128, 40})
        for (std::size_t threads : {1, 2}) {
            KrSetThreadsCountMax(threads);
            TKrScaleDibData s(src, {0, 0}, {1, 1}, TKrScaleDibData::ftLinear);
            s.SetBlockSize(edge);
            TGuardedBuffer buf(req.count.x, req.count.y, 3);
            EXPECT_EQ(s.GetRect(buf.Out(), req, kQ, 0, nullptr), grCompleteData);
            results.push_back(buf.mem);
        }
    KrSetThreadsCountMax(20);
    // Threads change nothing; other blocks may only move a weight across a rounding step.
    EXPECT_TRUE(results[1] == results[0]);
    EXPECT_TRUE(results[3] == results[2]);
    int far = 0;
    for (std::size_t i = 0; i < results[0].size(); ++i)
        far += std::abs(int(results[0][i]) - int(results[2][i])) > 1;
    EXPECT_EQ(far, 0);
}

// Records the grids its source is asked for.
class TSpyDibData : public TKrFilterDibData {
public:
    using TKrFilterDibData::TKrFilterDibData;
    std::vector<TKrDibRect> requests;
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& r,
                             const TInterpolationQuality& q, int f, TKrProgressHandler* p) override {
        requests.push_back(r);
        return m_source->GetRect(out, r, q, f, p);
    }
};

TEST(ScaleDibData, ExactRequestsPassStraightThroughOthersReadBoundedBlocks) {
    std::vector<unsigned char> img = krtest::RandomImage<unsigned char>(50, 40, 1, 2);
    const auto spy = new_a<TSpyDibData>(krtest::MemSource(img, 50, 40, TKrDibChannels(1, 1, 1)));
    TKrScaleDibData s(spy, {0, 0}, {1, 1}, TKrScaleDibData::ftNearest);
    TGuardedBuffer buf(10, 10, 1);
    const TKrDibRect whole{{3, 4}, {10, 10}, {1, 1}};
    EXPECT_EQ(s.GetRect(buf.Out(), whole, kQ, 0, nullptr), grCompleteData);
    ASSERT_EQ(spy->requests.size(), 1u);
    EXPECT_EQ(spy->requests[0], whole);
    EXPECT_EQ(*buf.Pixel(9, 9, 1), img[13 * 50 + 12]);

    // Outside the scaled image: nothing read, nothing written.
    spy->requests.clear();
    TKrScaleDibData half(spy, {0, 0}, {0.5, 0.5}, TKrScaleDibData::ftLinear);
    EXPECT_EQ(half.GetRect(buf.Out(), TKrDibRect{{25, 0}, {10, 10}, {1, 1}}, kQ, 0, nullptr), grComplete);
    EXPECT_TRUE(spy->requests.empty());
    EXPECT_EQ(half.Bounds(), (TKrDibRect{{0, 0}, {25, 20}, {1, 1}}));

    // Every block read fits the block edge.
    half.SetBlockSize(12);
    TGuardedBuffer big(25, 20, 1);
    EXPECT_EQ(half.GetRect(big.Out(), TKrDibRect{{0, 0}, {25, 20}, {1, 1}}, kQ, 0, nullptr), grCompleteData);
    EXPECT_GT(spy->requests.size(), 4u);
    for (const TKrDibRect& r : spy->requests)
        EXPECT_TRUE(r.count.x <= 12 && r.count.y <= 12 && r.pixel_size == vec2d(1, 1));
    EXPECT_TRUE(big.GuardsIntact());

    // A footprint that cannot fit: the scratch buffer's message; bad transforms are refused.
    TKrScaleDibData tiny(spy, {0, 0}, {0.01, 0.01}, TKrScaleDibData::ftLinear);
    tiny.SetBlockSize(12);
    EXPECT_EQ(ThrownText([&] {
                  tiny.GetRect(buf.Out(), TKrDibRect{{0, 0}, {1, 1}, {1, 1}}, kQ, 0, nullptr);
              }),
              "@TKrDibBufferCache::GetBuffer: Requested size too big (50 x 40).");
    EXPECT_EQ(ThrownText([&] {
                  TKrScaleDibData(spy, {0, 0}, {0, 1}, TKrScaleDibData::ftLinear);
              }),
              "@TKrScaleDibData::SetTransform: invalid shift (0, 0) or scale (0, 1).");
    EXPECT_EQ(ThrownText([&] {
                  s.SetTransform({std::nan(""), 0}, {1, 1});
              }),
              "@TKrScaleDibData::SetTransform: invalid shift (nan, 0) or scale (1, 1).");
    EXPECT_EQ(s.GetRect(buf.Out(), TKrDibRect{{0, 0}, {5, 5}, {0, 1}}, kQ, 0, nullptr), grComplete);
}

TEST(DibFilter2D, WeightsMarginsAndNearestEdges) {
    TKrLinearSample s;
    InitLinearSample(5, 3, 100, s);
    EXPECT_EQ(s.first, 4);
    ASSERT_EQ(s.weights.size(), 4u);
    for (int k = 0; k < 3; ++k)
        EXPECT_DOUBLE_EQ(s.weights[k], 1.0 / 3);
    EXPECT_EQ(s.weights[3], 0);
    InitLinearSample(-0.5, 2, 10, s); // box [-1, 0] clipped to [0, 0]
    EXPECT_EQ(s.first, 0);
    EXPECT_EQ(s.weights, (std::vector<double>{1, 0}));
    InitLinearSample(9.7, 0.5, 10, s);
    EXPECT_EQ(s.first, 9);

    TKrBilinearDibFilter2DUInt8 lin(TKrDibChannels(1, 1, 1));
    lin.SetPixelSize({0.5, 3});
    EXPECT_EQ(lin.MarginStart(), (TKrDibSize{1, 2}));
    EXPECT_EQ(lin.MarginEnd(), (TKrDibSize{2, 3}));
    EXPECT_EQ(ThrownText([] { TKrBilinearDibFilter2DUInt8(TKrDibChannels(1, 2, 1)); }),
              "@TKrBilinearDibFilter2DUInt8: the channels are not unsigned 1-byte samples.");

    const unsigned char src[2][5] = {{10, 11, 12, 13, 14}, {20, 21, 22, 23, 24}};
    TKrNearestDibFilter2D nearest(TKrDibChannels(1, 1, 1));
    TGuardedBuffer out(7, 2, 1);
    const TKrDibDataOutBuffer in{const_cast<char*>(reinterpret_cast<const char*>(src)), 5};
    nearest.InterpolateRect(in, {5, 2}, out.Out(), {7, 2}, {-3, 0}, {1, 1});
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out.Pixel(0, 1, 1)), 7),
              std::string("\x14\x14\x14\x14\x15\x16\x17"));
    nearest.InterpolateRect(in, {0, 2}, out.Out(), {7, 2}, {0, 0}, {1, 1}); // no source: the bad colour
    EXPECT_EQ(*out.Pixel(6, 1, 1), 77);                                     // 0.3 · 255
    lin.SetPixelSize({1, 1});
    lin.InterpolateRect(in, {5, 2}, out.Out(), {5, 2}, {0, 0}, {1, 1});
    EXPECT_EQ(std::memcmp(out.Pixel(0, 1, 1), src[1], 5), 0);
    EXPECT_TRUE(out.GuardsIntact());
}

TEST(MultiScaleDibData, LevelArithmetic) {
    std::vector<unsigned char> base(1000 * 600);
    krtest::TTestPyramid p(base, 1000, 600, 4);
    std::vector<TKrDibRect> levels;
    EXPECT_EQ(p.GetAllLevels(&levels), 4u);
    EXPECT_EQ(levels[2], (TKrDibRect{{1.5, 1.5}, {250, 150}, {4, 4}}));
    EXPECT_TRUE(IsMultiscaleDibData(static_a<TKrDibData>(&p)));
    EXPECT_EQ(p.GetScaleDimensions(3), (TKrDibSize{125, 75}));
    EXPECT_EQ(ThrownText([&] { p.GetScaleDimensions(4); }),
              "@TKrMultiScaleDibData::GetScaleDimensions(size_t): Invalid Scale (4)");
    EXPECT_EQ(ThrownText([&] { p.BaseLevelRead(); }),
              "@TKrGetRectResult TKrMultiScaleDibData::GetRect(size_t, const TKrDibRectI&, const "
              "TKrDibDataOutBuffer&): Don`t implemented!");

    struct {
        double pixelSize, originX;
        bool anyLevel;
        std::size_t level;
        std::int64_t left;
    } const rows[] = {
        {1, 0, false, 0, 0},     {1.1, 7, false, 0, 7},   {2.05, 4.5, false, 1, 2}, {3, 1.5, false, 2, 0},
        {3, 13.5, false, 2, 3},  {4, -6.5, false, 2, -2}, {16, 0, false, 3, 0},     {16, 7.5, true, 4, 0},
        {100, 3.5, false, 3, 0}, {100, 0, true, 7, 0},
    };
    for (const auto& r : rows) {
        TKrDibRectI out;
        EXPECT_EQ(p.Rect2RectI(TKrDibRect{{r.originX, 0}, {5, 6}, {r.pixelSize, r.pixelSize}}, kQ, 0, &out,
                               r.anyLevel),
                  r.level)
            << r.pixelSize;
        EXPECT_EQ(out.left, r.left) << r.pixelSize;
        EXPECT_EQ(out.width, 5u);
    }
    EXPECT_EQ(p.BoundsEx(TKrDibRect{{0, 0}, {0, 0}, {3, 3}}), (TKrDibRect{{1.5, 1.5}, {250, 150}, {4, 4}}));
    EXPECT_EQ(p.RectI2Rect(2, TKrDibRectI(3, -1, 7, 8)), (TKrDibRect{{12, -4}, {7, 8}, {4, 4}}));
    p.ResetLevelBounds();
    EXPECT_EQ(p.Bounds(), (TKrDibRect{{0, 0}, {0, 0}, {1, 1}}));
}

TEST(MultiScaleDibData, LevelChoiceByModeAndTolerance) {
    std::vector<unsigned char> base(64 * 48);
    krtest::TTestPyramid p(base, 64, 48, 4);
    struct {
        TKrDibRect request;
        TInterpolationQuality quality;
        TKrDibRect answer;
        bool exact;
    } const rows[] = {
        {{{0, 0}, {10, 10}, {1, 1}}, {0.5, 1}, {{0, 0}, {10, 10}, {1, 1}}, true},
        {{{1.5, 1.5}, {10, 10}, {4, 4}}, {0.5, 1}, {{1.5, 1.5}, {10, 10}, {4, 4}}, true},
        // Pixel size 3: nothing exact; the covering grid is on level 2 (modes 0, 1) or level 1.
        {{{0, 0}, {10, 10}, {3, 3}}, {0.5, 0}, {{-2.5, -2.5}, {9, 9}, {4, 4}}, false},
        {{{0, 0}, {10, 10}, {3, 3}}, {0.5, 1}, {{-2.5, -2.5}, {9, 9}, {4, 4}}, false},
        {{{0, 0}, {10, 10}, {3, 3}}, {0.5, 2}, {{-1.5, -1.5}, {16, 16}, {2, 2}}, false},
        {{{0, 0}, {10, 10}, {3, 3}}, {0.5, 3}, {{-1.5, -1.5}, {16, 16}, {2, 2}}, false},
        // Mode 3 from level 2 up chooses each axis by its own pixel size.
        {{{0, 0}, {10, 10}, {5, 3}}, {0.5, 3}, {{-2.5, -1.5}, {13, 16}, {4, 2}}, false},
        // A single sample: exact one level finer (modes 2, 3) within the tolerance.
        {{{2.5, 2.5}, {1, 1}, {3, 3}}, {0.25, 1}, {{1.5, 1.5}, {2, 2}, {4, 4}}, false},
        {{{2.5, 2.5}, {1, 1}, {3, 3}}, {0.25, 2}, {{2.5, 2.5}, {1, 1}, {2, 2}}, true},
        {{{2.5, 2.5}, {1, 1}, {3, 3}}, {0.25, 3}, {{2.5, 2.5}, {1, 1}, {2, 2}}, true},
        // Mode 0 rounds the level up, mode 1 to the nearest.
        {{{0.5, 0.5}, {1, 1}, {2.5, 2.5}}, {0.5, 0}, {{1.5, 1.5}, {1, 1}, {4, 4}}, true},
        {{{0.5, 0.5}, {1, 1}, {2.5, 2.5}}, {0.5, 1}, {{0.5, 0.5}, {1, 1}, {2, 2}}, true},
        // Beyond the last level: level 3, exact only with a loose tolerance.
        {{{3.5, 3.5}, {2, 2}, {64, 64}}, {0.5, 1}, {{35.5, 35.5}, {2, 2}, {8, 8}}, true},
        {{{3.5, 3.5}, {2, 2}, {64, 64}}, {0.25, 1}, {{3.5, 3.5}, {9, 9}, {8, 8}}, false},
        // Zero counts: mode 0 one level coarser, mode 2 one finer.
        {{{5, 5}, {0, 0}, {2, 2}}, {0.5, 0}, {{5.5, 5.5}, {0, 0}, {4, 4}}, false},
        {{{5, 5}, {0, 0}, {2, 2}}, {0.5, 1}, {{4.5, 4.5}, {0, 0}, {2, 2}}, true},
        {{{5, 5}, {0, 0}, {2, 2}}, {0.5, 2}, {{5, 5}, {0, 0}, {1, 1}}, false},
    };
    for (const auto& r : rows) {
        bool exact = !r.exact;
        EXPECT_EQ(p.GetInterpolationLevel(r.request, r.quality, &exact), r.answer)
            << "pixel size " << r.request.pixel_size.x << " mode " << r.quality.Mode;
        EXPECT_EQ(exact, r.exact) << "pixel size " << r.request.pixel_size.x << " mode " << r.quality.Mode;
    }
}

TEST(MultiScaleDibData, ReadsClipToTheChosenLevel) {
    std::vector<unsigned char> base = krtest::RandomImage<unsigned char>(64, 48, 1, 4);
    krtest::TTestPyramid p(base, 64, 48, 4);
    TGuardedBuffer buf(6, 5, 1);
    // Level 2 (16 × 12) from column −2, row 10: two columns and three rows hang off.
    EXPECT_EQ(p.GetRect(buf.Out(), TKrDibRect{{-6.5, 41.5}, {6, 5}, {4, 4}}, kQ, 0, nullptr), grCompleteData);
    EXPECT_EQ(p.lastLevel, 2u);
    EXPECT_EQ(p.lastRect, TKrDibRectI(0, 10, 4, 2));
    EXPECT_EQ(*buf.Pixel(2, 1, 1), p.levels[2][11 * 16 + 0]);
    EXPECT_EQ(*buf.Pixel(1, 1, 1), krtest::kGuard);
    EXPECT_EQ(*buf.Pixel(2, 2, 1), krtest::kGuard);
    EXPECT_TRUE(buf.GuardsIntact());
    EXPECT_EQ(p.GetRect(buf.Out(), TKrDibRect{{200, 0}, {6, 5}, {4, 4}}, kQ, 0, nullptr), grComplete);

    // Rescaling a pyramid reads the level the quality picks.
    TKrScaleDibData s(static_a<TKrDibData>(&p), {0, 0}, {1, 1}, TKrScaleDibData::ftLinear);
    EXPECT_EQ(s.GetRect(buf.Out(), TKrDibRect{{9.5, 9.5}, {6, 5}, {4, 4}}, kQ, 0, nullptr), grCompleteData);
    EXPECT_EQ(p.lastLevel, 2u);
    EXPECT_EQ(*buf.Pixel(0, 0, 1), p.levels[2][2 * 16 + 2]);
}
