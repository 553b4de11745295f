// Colour transforms against plain reference formulas: brightness/contrast/gamma tables, channel
// mixers and layout conversions, channel remaps at several scales, background masks, and the tile
// walk (margins, failing sources).
#include "KrRasterTestUtils.h"
#include "Core/KrMessage.h"
#include "Raster/KrBCGDibData.h"
#include "Raster/KrColorTransformDibData.h"
#include "Raster/KrMaskDibData.h"
#include "Raster/KrScaleDibData.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

using krtest::MemSource;
using krtest::RandomImage;
using krtest::TGuardedBuffer;
using krtest::ThrownText;

namespace {

const TInterpolationQuality kQ = GetDisplayInterpolationQuality();
constexpr double kPi = 3.14159265358979323846;

// Brightness/contrast/gamma written out from the definition, independent of the library.
double ReferenceBCG(double x, double b, double c, double g) {
    const double k = std::fabs(c) > std::atan(1e6) / (kPi / 4) ? (c > 0 ? 1e6 : -1e6) : std::tan(c * kPi / 4);
    const double a = 0.5 * (std::fabs(k) * b + b - k) + 0.5;
    const double y = x * k + a;
    return y > 0 && y < 1 ? std::pow(y, std::clamp(g, 0.001, 1000.0)) : y;
}

unsigned Quantise(double v, double max) {
    return v <= 0   ? 0
           : v >= 1 ? static_cast<unsigned>(max)
                    : static_cast<unsigned>(std::floor(v * max + 0.5));
}

template <class T>
std::vector<T> ReadAll(TKrDibData& dib, const TKrDibRect& grid, unsigned* result = nullptr) {
    const std::size_t bpp = dib.Channels().GetBytesPP();
    std::vector<T> out(grid.count.x * grid.count.y * bpp / sizeof(T));
    const unsigned r =
        dib.GetRect({reinterpret_cast<char*>(out.data()), static_cast<std::int64_t>(grid.count.x * bpp)},
                    grid, kQ, 0, nullptr);
    if (result) *result = r;
    return out;
}

TKrDibRect Grid(double x, double y, std::uint64_t w, std::uint64_t h, double ps = 1) {
    return TKrDibRect{{x, y}, {w, h}, {ps, ps}};
}

} // namespace

TEST(BCGConverter, SlopeOffsetAndGammaAtTheirEnds) {
    TBCGConverter c;
    c.Init(0, 1, 1);
    EXPECT_EQ(c.a, 0);
    EXPECT_EQ(c.k, 1);
    c.Init(0.2, 1, 1);
    EXPECT_DOUBLE_EQ(c.a, 0.2);
    c.Init(0.4, 0, 1); // flat: everything maps to 0.5 · (b + 1)
    EXPECT_EQ(c.k, 0);
    EXPECT_DOUBLE_EQ(c.transform_bcg(0.9), 0.7);
    c.Init(0, 0.5, 1);
    EXPECT_NEAR(c.k, std::tan(kPi / 8), 1e-15);
    c.Init(0, 3, 1);
    EXPECT_EQ(c.k, 1e6);
    c.Init(0, -3, 1);
    EXPECT_EQ(c.k, -1e6);
    EXPECT_NEAR(KrBCGMaxContrast(), 1.99999873, 1e-8);
    c.Init(0, 1, 0);
    EXPECT_EQ(c.g, 0.001);
    c.Init(0, 1, -2); // negative gamma clamps like zero
    EXPECT_EQ(c.g, 0.001);
    c.Init(0, 1, 5000);
    EXPECT_EQ(c.g, 1000);
    EXPECT_DOUBLE_EQ(c.transform_bcg(0.25), std::pow(0.25, 1000.0));
    EXPECT_EQ(c.transform_bcg(1.5), 1.5); // outside 0..1 the power is not applied

    c.Init(0.1, 1.2, 0.8);
    const TBCGConverter before = c;
    EXPECT_NE(ThrownText([&] { c.Init(0, std::nan(""), 1); }).find("invalid brightness"), std::string::npos);
    EXPECT_THROW(c.Init(0, 1, std::nan("")), TKrMessage);
    EXPECT_THROW(c.Init(INFINITY, 1, 1), TKrMessage);
    EXPECT_EQ(c, before);
}

TEST(BCGTables, EightSixteenBitAndFloatFollowTheFormula) {
    struct TCase {
        double b, c, g;
    };
    for (const TCase p : {TCase{0, 1, 1}, TCase{0.1, 1.3, 0.7}, TCase{-0.3, 0.6, 2.2}, TCase{0.5, 1.9, 1},
                          TCase{0, -1, 1}, TCase{0.2, 3, 0}}) {
        SCOPED_TRACE(testing::Message() << p.b << " " << p.c << " " << p.g);
        T8bitBCGTF t8;
        T16bitBCGTF t16;
        TGenericBCGTF tf(TE_KrDibChannelType::ctFloat, 4);
        t8.SetBCG(p.b, p.c, p.g);
        t16.SetBCG(p.b, p.c, p.g);
        tf.SetBCG(p.b, p.c, p.g);
        for (unsigned v = 0; v < 256; ++v) {
            const double ref = ReferenceBCG(v / 255.0, p.b, p.c, p.g);
            ASSERT_EQ(t8.Table()[v], Quantise(ref, 255)) << v;
            // The 16-bit table at the same normalised value, and a float sample, agree within
            // the 8-bit step.
            const std::uint16_t in16 = static_cast<std::uint16_t>(v * 257);
            std::uint16_t out16;
            t16.Transform(reinterpret_cast<char*>(&out16), reinterpret_cast<const char*>(&in16));
            EXPECT_EQ(out16, Quantise(ref, 65535));
            EXPECT_NEAR(out16 / 65535.0, t8.Table()[v] / 255.0, 0.5 / 255 + 1e-9);
            const float inF = static_cast<float>(v / 255.0);
            float outF;
            tf.Transform(reinterpret_cast<char*>(&outF), reinterpret_cast<const char*>(&inF));
            const double refF = ReferenceBCG(inF, p.b, p.c, p.g); // float samples are not clamped
            EXPECT_NEAR(outF, refF, 1e-6 * std::max(1.0, std::fabs(refF)));
        }
    }
    T8bitBCGTF over; // brightness pushes values past 1 and below 0: the table clamps
    over.SetBCG(0.5, 1, 1);
    EXPECT_EQ(over.Table()[255], 255);
    over.SetBCG(-0.5, 1, 1);
    EXPECT_EQ(over.Table()[0], 0);
    EXPECT_EQ(over.Table()[200], Quantise(200 / 255.0 - 0.5, 255));
    over.SetBCGEffective(std::nan(""), 1, 1); // effective values are stored as given; NaN reads 0
    EXPECT_EQ(over.Table()[100], 0);
}

TEST(BCGDibData, PerChannelAdjustmentAcrossTilesAndOutsideTheSource) {
    auto img = RandomImage<unsigned char>(300, 200, 3, 1);
    TKrDibChannels rgb;
    rgb.SetRGB_U8();
    var_a<TKrDibData*> src = MemSource(img, 300, 200, rgb);
    TKrBCGDibData bcg(src);
    bcg.SetBCG(0.1, 1.4, 0.8);
    bcg.SetBCGChan(1, -0.2, 0.7, 1.5);
    EXPECT_THROW(bcg.SetBCGChan(3, 0, 1, 1), TKrMessage);
    EXPECT_THROW(bcg.SetBCG(0, std::nan(""), 1), TKrMessage);

    // The window starts left of and above the image and crosses several 128-pixel tiles.
    TGuardedBuffer out(280, 190, 3);
    const TKrDibRect grid = Grid(-20, -10, 280, 190);
    EXPECT_EQ(bcg.GetRect(out.Out(), grid, kQ, 0, nullptr), grCompleteData);
    EXPECT_TRUE(out.GuardsIntact());
    for (std::size_t y = 0; y < 190; y += 7)
        for (std::size_t x = 0; x < 280; x += 3)
            for (std::size_t c = 0; c < 3; ++c) {
                const unsigned char got = out.Pixel(x, y, 3)[c];
                if (x < 20 || y < 10) {
                    ASSERT_EQ(got, krtest::kGuard) << x << "," << y;
                    continue;
                }
                const double v = img[((y - 10) * 300 + (x - 20)) * 3 + c] / 255.0;
                const double ref = c == 1 ? ReferenceBCG(v, -0.2, 0.7, 1.5) : ReferenceBCG(v, 0.1, 1.4, 0.8);
                ASSERT_EQ(got, Quantise(ref, 255)) << x << "," << y << "," << c;
            }
    unsigned r = 0;
    ReadAll<unsigned char>(bcg, Grid(400, 0, 10, 10), &r);
    EXPECT_EQ(r, grComplete);
    // A new source of another layout does not fit the tables made for the old one.
    auto g = RandomImage<unsigned char>(10, 10, 1, 9);
    bcg.Init(MemSource(g, 10, 10, TKrDibChannels(1, 1, 1)), TKrDibChannels(1, 1, 1));
    EXPECT_NE(ThrownText([&] { ReadAll<unsigned char>(bcg, Grid(0, 0, 10, 10)); }).find("channels changed"),
              std::string::npos);
}

TEST(ChannelMixers, FixedPointAgreesWithDoublesAndReportsOverflow) {
    TKrDibChannels rgb16(TE_KrDibChannelType::ctUInt, 2, 6, 4, 3), gray8(TE_KrDibChannelType::ctUInt, 1, 1);
    TChannelMixerCTFUInt fixed(rgb16, gray8);
    TChannelMixerCTFGeneric generic(rgb16, gray8);
    for (TChannelMixerCTF* m :
         {static_cast<TChannelMixerCTF*>(&fixed), static_cast<TChannelMixerCTF*>(&generic)}) {
        m->AddMixer(0, 0, 0.299);
        m->AddMixer(0, 1, 0.587);
        m->AddMixer(0, 2, 0.114);
        m->AddMixer(0, TChannelMixerCTF::kConstant, -0.05);
    }
    const auto in = RandomImage<std::uint16_t>(1000, 1, 3, 2);
    std::vector<unsigned char> a(1000), b(1000);
    fixed.MixRow(reinterpret_cast<char*>(a.data()), reinterpret_cast<const char*>(in.data()), 1000);
    generic.MixRow(reinterpret_cast<char*>(b.data()), reinterpret_cast<const char*>(in.data()), 1000);
    for (std::size_t i = 0; i < 1000; ++i) {
        const double ref = (0.299 * in[3 * i] + 0.587 * in[3 * i + 1] + 0.114 * in[3 * i + 2]) / 65535 - 0.05;
        ASSERT_EQ(b[i], Quantise(ref, 255)) << i;
        ASSERT_NEAR(a[i], b[i], 1) << i; // 16-bit fixed-point weights
    }

    TKrDibChannels g32(TE_KrDibChannelType::ctUInt, 4, 1);
    TChannelMixerCTFUInt big(g32, g32);
    big.AddMixer(0, 0, 2.0);
    EXPECT_NE(ThrownText([&] { big.AddMixer(0, 0, 1e9); }).find("Overflow"), std::string::npos);
    const std::uint32_t v = 1000;
    std::uint32_t w = 0;
    big.MixRow(reinterpret_cast<char*>(&w), reinterpret_cast<const char*>(&v),
               1); // the failed call left it as it was
    EXPECT_EQ(w, 2000u);
    EXPECT_THROW(big.AddMixer(1, 0, 1), TKrMessage);
    EXPECT_THROW(big.AddMixer(0, 0, INFINITY), TKrMessage);
}

TEST(ColorTransform, EightBitLayoutShortcuts) {
    TKrDibChannels gray, grayA, rgb, rgba;
    gray.SetGray_U8();
    grayA.SetGrayA_U8();
    rgb.SetRGB_U8();
    rgba.SetRGBA_U8();
    const unsigned char g[3] = {0, 77, 255}, ga[4] = {10, 20, 30, 40}, c3[6] = {1, 2, 3, 4, 5, 6};
    unsigned char out[12];
    CreateColorTransformFunction(gray, rgba)
        .TransformRow(reinterpret_cast<char*>(out), reinterpret_cast<const char*>(g), 3);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 12),
              (std::vector<unsigned char>{0, 0, 0, 255, 77, 77, 77, 255, 255, 255, 255, 255}));
    CreateColorTransformFunction(grayA, rgba)
        .TransformRow(reinterpret_cast<char*>(out), reinterpret_cast<const char*>(ga), 2);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 8),
              (std::vector<unsigned char>{10, 10, 10, 20, 30, 30, 30, 40}));
    CreateColorTransformFunction(rgb, rgba).TransformRow(reinterpret_cast<char*>(out),
                                                         reinterpret_cast<const char*>(c3), 2);
    EXPECT_EQ(std::vector<unsigned char>(out, out + 8),
              (std::vector<unsigned char>{1, 2, 3, 255, 4, 5, 6, 255}));
    EXPECT_TRUE(CreateColorTransformFunction(rgb, rgb).Equivalent);
    EXPECT_FALSE(CreateColorTransformFunction(rgb, rgba).Equivalent);
}

TEST(ColorTransform, GeneralLayoutsByKindThroughGetRect) {
    // Red-green-blue-alpha floats into 16-bit blue, gray, near-infrared, green: blue and green by
    // kind, gray mixed from the colours, near-infrared absent (zero); alpha dropped.
    auto img = RandomImage<float>(150, 140, 4, 3);
    TKrDibChannels rgbaF(TE_KrDibChannelType::ctFloat, 4, 6, 4, 3, 289);
    TKrDibChannels out16(TE_KrDibChannelType::ctUInt, 2, 3, 1, 8, 4);
    var_a<TKrDibData*> t = TKrColorTransformDibData::VCreate(MemSource(img, 150, 140, rgbaF), out16);
    EXPECT_EQ(t->Channels(), out16);
    unsigned r = 0;
    const auto px = ReadAll<std::uint16_t>(*t, Grid(0, 0, 150, 140), &r);
    EXPECT_EQ(r, grCompleteData);
    for (std::size_t i = 0; i < 150 * 140; i += 13) {
        const float* s = &img[4 * i];
        ASSERT_EQ(px[4 * i], Quantise(s[2], 65535));
        ASSERT_EQ(px[4 * i + 1], Quantise(0.299 * s[0] + 0.587 * s[1] + 0.114 * s[2], 65535));
        ASSERT_EQ(px[4 * i + 2], 0);
        ASSERT_EQ(px[4 * i + 3], Quantise(s[1], 65535));
    }
    // 8-bit gray into 16-bit red-green-blue-alpha: gray in every colour, opaque alpha.
    auto g = RandomImage<unsigned char>(40, 30, 1, 4);
    TKrDibChannels gray;
    gray.SetGray_U8();
    var_a<TKrDibData*> t2 = TKrColorTransformDibData::VCreate(
        MemSource(g, 40, 30, gray), TKrDibChannels(TE_KrDibChannelType::ctUInt, 2, 6, 4, 3, 289));
    const auto px2 = ReadAll<std::uint16_t>(*t2, Grid(0, 0, 40, 30));
    for (std::size_t i = 0; i < 40 * 30; ++i) {
        for (std::size_t c = 0; c < 3; ++c)
            ASSERT_EQ(px2[4 * i + c], g[i] * 257) << i;
        ASSERT_EQ(px2[4 * i + 3], 65535) << i;
    }

    TKrDibChannels bad = gray;
    bad.Kinds = {5000};
    EXPECT_EQ(ThrownText([&] { CreateColorTransformFunction(gray, bad); }),
              "@KrDibData: invalid output channel kind.");
    EXPECT_EQ(ThrownText([&] { CreateColorTransformFunction(bad, gray); }),
              "@KrDibData: invalid input channel kind.");
    EXPECT_THROW(CreateColorTransformFunction(gray, TKrDibChannels(7, 1, 1)), TKrMessage);
}

TEST(ColorTransform, ChannelRemapAtSeveralScales) {
    auto img = RandomImage<unsigned char>(200, 150, 3, 5);
    TKrDibChannels rgb;
    rgb.SetRGB_U8();
    // A rescaler serves every pixel size; the remap must swap exactly what it delivers.
    var_a<TKrDibData*> scaled = TKrScaleDibData::VCreate(MemSource(img, 200, 150, rgb), vec2d(0, 0),
                                                         vec2d(1, 1), TKrScaleDibData::ftLinear);
    var_a<TKrDibData*> swapped = TKrColorTransformDibData::VCreateRemap(scaled, {2, 1, 0});
    EXPECT_EQ(swapped->Channels().Kinds, (std::vector<std::int32_t>{3, 4, 6}));
    var_a<TKrDibData*> picked = TKrColorTransformDibData::VCreateRemap(scaled, {1, 1});
    for (double ps : {1.0, 0.5, 2.0, 3.7}) {
        SCOPED_TRACE(ps);
        const TKrDibRect grid = Grid(-5.25, 3.5, 170, 90, ps);
        std::vector<unsigned char> ref(170 * 90 * 3, 0);
        TGuardedBuffer out(170, 90, 3), two(170, 90, 2);
        ASSERT_EQ(scaled->GetRect({reinterpret_cast<char*>(ref.data()), 170 * 3}, grid, kQ, 0, nullptr),
                  grCompleteData);
        // Zero the output rows the way the reference was, so untouched pixels compare equal.
        for (std::size_t y = 0; y < 90; ++y)
            std::memset(out.Pixel(0, y, 3), 0, 170 * 3), std::memset(two.Pixel(0, y, 2), 0, 170 * 2);
        ASSERT_EQ(swapped->GetRect(out.Out(), grid, kQ, 0, nullptr), grCompleteData);
        ASSERT_EQ(picked->GetRect(two.Out(), grid, kQ, 0, nullptr), grCompleteData);
        EXPECT_TRUE(out.GuardsIntact());
        for (std::size_t y = 0; y < 90; ++y)
            for (std::size_t x = 0; x < 170; ++x) {
                const unsigned char* r = &ref[(y * 170 + x) * 3];
                const unsigned char* o = out.Pixel(x, y, 3);
                ASSERT_TRUE(o[0] == r[2] && o[1] == r[1] && o[2] == r[0]) << x << "," << y;
                ASSERT_TRUE(two.Pixel(x, y, 2)[0] == r[1] && two.Pixel(x, y, 2)[1] == r[1]);
            }
    }
    EXPECT_NE(ThrownText([&] {
                  TKrColorTransformDibData::VCreateRemap(scaled, {0, 3});
              }).find("channel 3 does not exist"),
              std::string::npos);
    EXPECT_THROW(TKrColorTransformDibData::VCreateRemap(scaled, {}), TKrMessage);
    // The identity remap reads straight from the source.
    EXPECT_TRUE(dynamic_cast<TKrColorTransformDibData*>(
                    TKrColorTransformDibData::VCreateRemap(scaled, {0, 1, 2}).get())
                    ->IsEquivalentTransform());
}

TEST(MaskDibData, ExactAndTolerantBackgroundOnOneThreeAndFourChannels) {
    // Pixel values step through the background value on every channel: the mask must flip
    // exactly at the tolerance bounds.
    for (std::size_t cn : {1u, 3u, 4u}) {
        SCOPED_TRACE(cn);
        std::vector<unsigned char> img(256 * cn);
        for (std::size_t x = 0; x < 256; ++x)
            for (std::size_t c = 0; c < cn; ++c)
                img[x * cn + c] = static_cast<unsigned char>(c == 0 ? x : 100 + c); // channel 0 varies
        TKrDibChannels ch(TE_KrDibChannelType::ctUInt, 1, 1);
        ch.Kinds.assign(cn, 0);
        const unsigned bg[4] = {100, 101, 102, 103};
        for (int below : {0, 2})
            for (int above : {0, 5}) {
                var_a<TKrDibData*> mask =
                    TKrMaskDibData::VCreate(MemSource(img, 256, 1, ch), bg, cn, below, above);
                EXPECT_EQ(mask->Channels().Kinds, std::vector<std::int32_t>{289});
                const auto m = ReadAll<unsigned char>(*mask, Grid(0, 0, 256, 1));
                for (int x = 0; x < 256; ++x) {
                    const int d = x - 100;
                    ASSERT_EQ(m[x], d >= -below && d <= above ? 0 : 255) << x << " " << below << " " << above;
                }
            }
    }
    // A channel off the background keeps the pixel in the mask whatever the others do.
    std::vector<unsigned char> px = {10, 20, 30, 10, 20, 31};
    const unsigned bg3[3] = {10, 20, 30};
    TKrDibChannels rgb;
    rgb.SetRGB_U8();
    var_a<TKrDibData*> m3 = TKrMaskDibData::VCreate(MemSource(px, 2, 1, rgb), bg3, 3, 0, 0);
    EXPECT_EQ(ReadAll<unsigned char>(*m3, Grid(0, 0, 2, 1)), (std::vector<unsigned char>{0, 255}));
}

TEST(MaskDibData, RequirementsNameTheirCondition) {
    std::vector<std::uint16_t> img16(4);
    std::vector<unsigned char> img5(5);
    const unsigned bg[5] = {0, 0, 0, 0, 0};
    TKrDibChannels rgb;
    rgb.SetRGB_U8();
    TKrDibChannels five(TE_KrDibChannelType::ctUInt, 1, 1);
    five.Kinds.assign(5, 1);
    std::vector<unsigned char> img(3);
    EXPECT_NE(ThrownText([&] {
                  TKrMaskDibData::VCreate(MemSource(img, 1, 1, rgb), bg, 5, 0, 0);
              }).find("BackColorSize <= 4"),
              std::string::npos);
    EXPECT_NE(ThrownText([&] {
                  TKrMaskDibData::VCreate(MemSource(img5, 1, 1, five), bg, 1, 0, 0);
              }).find("m_SrcChCount <= 4"),
              std::string::npos);
    EXPECT_NE(ThrownText([&] {
                  TKrMaskDibData::VCreate(MemSource(img16, 1, 1, TKrDibChannels(1, 2, 1)), bg, 1, 0, 0);
              }).find("vSrc->Channels().BytesPS == 1"),
              std::string::npos);
    EXPECT_NE(ThrownText([&] {
                  TKrMaskDibData::VCreate(MemSource(img16, 1, 1, TKrDibChannels(2, 4, 1)), bg, 1, 0, 0);
              }).find("vSrc->Channels().Type == ctUInt"),
              std::string::npos);
    EXPECT_THROW(TKrMaskDibData::VCreate(nullptr, bg, 1, 0, 0), TKrMessage);
}

namespace {

// A 3 × 3 box sum of 8-bit gray, to check that tiles see their margins.
class TBoxSum : public TKrByPartsChannelTransform {
public:
    explicit TBoxSum(var_a<TKrDibData*> src) : TKrByPartsChannelTransform(src, TKrDibChannels(1, 2, 1)) {
        SetMargin(1);
    }
    bool TransformBuffer(const TKrDibDataOutBuffer& d, const TKrDibDataOutBuffer& s,
                         const TKrDibRect& g) override {
        for (std::int64_t y = 0; y < static_cast<std::int64_t>(g.count.y); ++y)
            for (std::int64_t x = 0; x < static_cast<std::int64_t>(g.count.x); ++x) {
                std::uint16_t sum = 0;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx)
                        sum = static_cast<std::uint16_t>(sum +
                                                         static_cast<unsigned char>(s.Row(y + dy)[x + dx]));
                std::memcpy(d.Row(y) + 2 * x, &sum, 2);
            }
        return true;
    }
};

// Serves a source until a given number of reads, then throws.
class TFailingSource : public TKrFilterDibData {
public:
    int left;
    TFailingSource(var_a<TKrDibData*> src, int reads) : TKrFilterDibData(src), left(reads) {}
    TKrGetRectResult GetRect(const TKrDibDataOutBuffer& out, const TKrDibRect& r,
                             const TInterpolationQuality& q, int flags, TKrProgressHandler* p) override {
        if (left-- == 0) throw TKrMessage("@disk gone");
        return m_source->GetRect(out, r, q, flags, p);
    }
};

} // namespace

TEST(ByPartsChannelTransform, MarginsReachAcrossTilesAndFailuresPropagate) {
    auto img = RandomImage<unsigned char>(300, 260, 1, 6);
    TKrDibChannels gray;
    gray.SetGray_U8();
    TBoxSum box(MemSource(img, 300, 260, gray));
    const auto sums = ReadAll<std::uint16_t>(box, Grid(0, 0, 300, 260));
    for (std::size_t y = 0; y < 260; ++y)
        for (std::size_t x = 0; x < 300; ++x) {
            unsigned ref = 0; // outside the image the scratch holds the background, 0
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) {
                    const long xx = static_cast<long>(x) + dx, yy = static_cast<long>(y) + dy;
                    if (xx >= 0 && xx < 300 && yy >= 0 && yy < 260) ref += img[yy * 300 + xx];
                }
            ASSERT_EQ(sums[y * 300 + x], ref) << x << "," << y;
        }

    box.SetMargin(129); // wider than a tile
    EXPECT_NE(ThrownText([&] { ReadAll<std::uint16_t>(box, Grid(0, 0, 4, 4)); }).find("margin 129"),
              std::string::npos);

    var_a<TKrDibData*> failing = new_a<TFailingSource>(MemSource(img, 300, 260, gray), 2);
    var_a<TKrDibData*> rgba = TKrColorTransformDibData::VCreate(failing, TKrDibChannels(1, 1, 6, 4, 3, 289));
    std::vector<unsigned char> out(300 * 260 * 4);
    EXPECT_EQ(
        ThrownText([&] {
            rgba->GetRect({reinterpret_cast<char*>(out.data()), 1200}, Grid(0, 0, 300, 260), kQ, 0, nullptr);
        }),
        "@disk gone");
    // The tiles read before the failure were converted; the decorator still works afterwards.
    EXPECT_EQ(out[0], img[0]);
    EXPECT_EQ(out[3], 255);
    dynamic_cast<TFailingSource*>(failing.get())->left = 100;
    unsigned r = 0;
    ReadAll<unsigned char>(*rgba, Grid(0, 0, 300, 260), &r);
    EXPECT_EQ(r, grCompleteData);
}
