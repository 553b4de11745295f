// Tests of the GDAL adapter: pixels read through it match the file's bytes, and krtool raster read
// of a window matches gdal_translate -srcwin of the same window.
#include "Core/KrMessage.h"
#include "Raster/KrGdalDibData.h"

#include <gdal_priv.h>
#include <gdal_utils.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

class GdalDibData : public ::testing::Test {
protected:
    void SetUp() override {
        GDALAllRegister();
        m_dir = fs::temp_directory_path() /
                ("krgdal-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(m_dir, ec);
    }

    /// A w × h GeoTIFF of `bands` bands of `type` with a pattern unique per sample; returns the
    /// pixels interleaved by pixel, as the file holds them.
    std::vector<char> MakeTiff(const std::string& path, int w, int h, int bands, GDALDataType type) {
        const int bps = GDALGetDataTypeSizeBytes(type);
        std::vector<char> pixels(static_cast<std::size_t>(w) * h * bands * bps);
        std::uint32_t x = 12345;
        for (char& c : pixels) {
            x = x * 1664525u + 1013904223u;
            c = static_cast<char>(x >> 24);
        }
        if (type == GDT_Float32) // keep the samples ordinary numbers
            for (std::size_t i = 0; i < pixels.size() / 4; ++i) {
                const float f = static_cast<float>(i % 977) * 0.25f;
                std::memcpy(&pixels[i * 4], &f, 4);
            }
        GDALDriver* tiff = GetGDALDriverManager()->GetDriverByName("GTiff");
        GDALDataset* d = tiff->Create(path.c_str(), w, h, bands, type, nullptr);
        EXPECT_NE(d, nullptr);
        EXPECT_EQ(d->RasterIO(GF_Write, 0, 0, w, h, pixels.data(), w, h, type, bands, nullptr, bands * bps,
                              static_cast<GSpacing>(w) * bands * bps, bps, nullptr),
                  CE_None);
        GDALClose(d);
        return pixels;
    }

    fs::path m_dir;
};

TEST_F(GdalDibData, ChannelsFollowBandsAndTypes) {
    const std::string rgb = (m_dir / "rgb.tif").string();
    MakeTiff(rgb, 5, 4, 3, GDT_Byte);
    var_a<TKrDibData*> d = TKrGdalDibData::VCreate(rgb);
    EXPECT_TRUE(d->Channels().IsRGB_U8());
    EXPECT_EQ(d->Bounds(), (TKrDibRect{{0, 0}, {5, 4}, {1, 1}}));
    EXPECT_EQ(d->GetImageName(), rgb);

    const std::string gray16 = (m_dir / "gray16.tif").string();
    MakeTiff(gray16, 3, 3, 1, GDT_UInt16);
    var_a<TKrDibData*> g = TKrGdalDibData::VCreate(gray16);
    EXPECT_EQ(g->Channels(), TKrDibChannels(TE_KrDibChannelType::ctUInt, 2, TE_KrDibChannelKind::ckGray));

    const std::string rgba = (m_dir / "rgba.tif").string();
    MakeTiff(rgba, 3, 3, 4, GDT_Float32);
    var_a<TKrDibData*> f = TKrGdalDibData::VCreate(rgba);
    EXPECT_EQ(f->Channels().Type, TE_KrDibChannelType::ctFloat);
    EXPECT_EQ(f->Channels().BytesPS, 4u);
    EXPECT_EQ(f->Channels().size(), 4u);
    EXPECT_EQ(f->Channels().Kinds.back(), TE_KrDibChannelKind::ckAlpha);
}

TEST_F(GdalDibData, GetRectEqualsTheFileBytes) {
    for (GDALDataType type : {GDT_Byte, GDT_UInt16, GDT_Float32}) {
        const std::string path = (m_dir / "img.tif").string();
        const int w = 67, h = 45, bands = 3;
        const std::vector<char> pixels = MakeTiff(path, w, h, bands, type);
        var_a<TKrDibData*> d = TKrGdalDibData::VCreate(path);
        const std::size_t bpp = d->Channels().GetBytesPP();
        ASSERT_EQ(bpp, static_cast<std::size_t>(bands * GDALGetDataTypeSizeBytes(type)));

        // The whole image, into a buffer with spare bytes per row.
        const std::int64_t stride = static_cast<std::int64_t>(w * bpp + 7);
        std::vector<char> out(static_cast<std::size_t>(stride) * h, '\x5a');
        EXPECT_EQ(d->GetRect({out.data(), stride}, d->Bounds(), GetMathInterpolationQuality(), 0, nullptr),
                  grCompleteData);
        for (int r = 0; r < h; ++r)
            ASSERT_EQ(0, std::memcmp(&out[r * stride], &pixels[r * w * bpp], w * bpp))
                << "type " << type << " row " << r;
        EXPECT_EQ(out[static_cast<std::size_t>(w * bpp)], '\x5a') << "the row padding stays untouched";

        // A bottom-up buffer (negative stride): row 0 of the image lands in the last buffer row.
        std::vector<char> flipped(w * h * bpp);
        const std::int64_t row = static_cast<std::int64_t>(w * bpp);
        EXPECT_EQ(d->GetRect({flipped.data() + (h - 1) * row, -row}, d->Bounds(),
                             GetMathInterpolationQuality(), 0, nullptr),
                  grCompleteData);
        for (int r = 0; r < h; ++r)
            ASSERT_EQ(0, std::memcmp(&flipped[(h - 1 - r) * row], &pixels[r * row], row))
                << "flipped row " << r;

        // A window over the top-left corner: the part outside the image keeps the caller's bytes.
        const TKrDibRect window{{-3, -2}, {10, 6}, {1, 1}};
        std::vector<char> part(10 * 6 * bpp, '\x5a');
        EXPECT_EQ(d->GetRect({part.data(), static_cast<std::int64_t>(10 * bpp)}, window,
                             GetMathInterpolationQuality(), 0, nullptr),
                  grCompleteData);
        for (int r = 0; r < 6; ++r)
            for (int c = 0; c < 10; ++c) {
                const char* got = &part[(r * 10 + c) * bpp];
                if (r < 2 || c < 3) {
                    EXPECT_EQ(got[0], '\x5a');
                } else {
                    ASSERT_EQ(0, std::memcmp(got, &pixels[((r - 2) * w + (c - 3)) * bpp], bpp));
                }
            }

        // Grids the source does not serve: another pixel size, or wholly outside the image.
        EXPECT_EQ(d->GetRect({part.data(), 0}, TKrDibRect{{0, 0}, {2, 2}, {2, 2}},
                             GetMathInterpolationQuality(), 0, nullptr),
                  grComplete);
        EXPECT_EQ(d->GetRect({part.data(), static_cast<std::int64_t>(10 * bpp)},
                             TKrDibRect{{100, 0}, {2, 2}, {1, 1}}, GetMathInterpolationQuality(), 0, nullptr),
                  grComplete);
    }
}

TEST_F(GdalDibData, OpenFailuresThrowWithThePath) {
    const std::string missing = (m_dir / "missing.tif").string();
    try {
        TKrGdalDibData::VCreate(missing);
        FAIL() << "no exception";
    } catch (const TKrMessage& m) {
        EXPECT_NE(m.std_str().find("missing.tif"), std::string::npos) << m.std_str();
    }
    const std::string junk = (m_dir / "junk.png").string();
    std::FILE* f = std::fopen(junk.c_str(), "wb");
    std::fputs("not an image at all", f);
    std::fclose(f);
    EXPECT_THROW(TKrGdalDibData::VCreate(junk), TKrMessage);
}

#ifdef KRTOOL_FILE
/// Reads every band of an image file as bytes, interleaved by pixel.
std::vector<std::uint8_t> ReadBytes(const std::string& path, int& w, int& h, int& bands) {
    GDALDataset* d = GDALDataset::Open(path.c_str(), GDAL_OF_RASTER | GDAL_OF_READONLY);
    if (!d) return {};
    w = d->GetRasterXSize(), h = d->GetRasterYSize(), bands = d->GetRasterCount();
    std::vector<std::uint8_t> px(static_cast<std::size_t>(w) * h * bands);
    EXPECT_EQ(d->RasterIO(GF_Read, 0, 0, w, h, px.data(), w, h, GDT_Byte, bands, nullptr, bands,
                          static_cast<GSpacing>(w) * bands, 1, nullptr),
              CE_None);
    GDALClose(d);
    return px;
}

TEST_F(GdalDibData, KrtoolReadMatchesSrcwinAndBlockMeans) {
    const std::string src = (m_dir / "src.tif").string();
    MakeTiff(src, 90, 70, 3, GDT_Byte);
    const std::string ours = (m_dir / "ours.tif").string();
    const std::string theirs = (m_dir / "theirs.tif").string();
    const std::string cmd = std::string("\"") + KRTOOL_FILE + "\" raster read \"" + src + "\" \"" + ours +
                            "\" --rect 13 7 41 29 --pixel-size 1 > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;

    // gdal_translate -srcwin, through the library call the program itself makes.
    const char* argv[] = {"-srcwin", "13", "7", "41", "29", nullptr};
    GDALTranslateOptions* options = GDALTranslateOptionsNew(const_cast<char**>(argv), nullptr);
    GDALDatasetH in = GDALOpen(src.c_str(), GA_ReadOnly);
    ASSERT_NE(in, nullptr);
    GDALDatasetH out = GDALTranslate(theirs.c_str(), in, options, nullptr);
    ASSERT_NE(out, nullptr);
    GDALClose(out);
    GDALClose(in);
    GDALTranslateOptionsFree(options);

    int w1 = 0, h1 = 0, b1 = 0, w2 = 0, h2 = 0, b2 = 0;
    const auto a = ReadBytes(ours, w1, h1, b1);
    const auto b = ReadBytes(theirs, w2, h2, b2);
    EXPECT_EQ(w1, 41);
    EXPECT_EQ(h1, 29);
    EXPECT_EQ(std::make_tuple(w1, h1, b1), std::make_tuple(w2, h2, b2));
    EXPECT_TRUE(a == b) << "pixels differ";

    // Half size with area averaging: output pixel (i, j) is the mean of source block
    // (2i..2i+1, 2j..2j+1), so the grid starts at the centre of the first block.
    const std::string half = (m_dir / "half.png").string();
    const std::string cmd2 = std::string("\"") + KRTOOL_FILE + "\" raster read \"" + src + "\" \"" + half +
                             "\" --pixel-size 2 --filter linear > /dev/null";
    ASSERT_EQ(std::system(cmd2.c_str()), 0) << cmd2;
    int ws = 0, hs = 0, bs = 0;
    const auto full = ReadBytes(src, ws, hs, bs);
    const auto small = ReadBytes(half, w1, h1, b1);
    ASSERT_EQ(std::make_tuple(w1, h1, b1), std::make_tuple(45, 35, 3));
    int worst = 0;
    for (int y = 0; y < h1; ++y)
        for (int x = 0; x < w1; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx)
                        sum += full[((2 * y + dy) * ws + 2 * x + dx) * 3 + c];
                worst = std::max(worst, std::abs(4 * small[(y * w1 + x) * 3 + c] - sum));
            }
    EXPECT_LE(worst, 4) << "largest difference from the block mean, in quarters";
}

TEST_F(GdalDibData, KrtoolReadRemapsAdjustsAndMasks) {
    const std::string src = (m_dir / "src.tif").string();
    MakeTiff(src, 30, 20, 3, GDT_Byte);
    int ws = 0, hs = 0, bs = 0;
    const auto full = ReadBytes(src, ws, hs, bs);
    auto run = [&](const std::string& out, const std::string& options) {
        const std::string cmd = std::string("\"") + KRTOOL_FILE + "\" raster read \"" + src + "\" \"" + out +
                                "\" " + options + " > /dev/null 2>&1";
        return std::system(cmd.c_str());
    };
    // Blue and red swapped, then brightness 0.2 (contrast 1 and gamma 1 keep the slope): v + 51.
    const std::string swapped = (m_dir / "swapped.png").string();
    ASSERT_EQ(run(swapped, "--channels 2,1,0 --bcg 0.2,1,1"), 0);
    int w = 0, h = 0, b = 0;
    const auto px = ReadBytes(swapped, w, h, b);
    ASSERT_EQ(std::make_tuple(w, h, b), std::make_tuple(30, 20, 3));
    for (std::size_t i = 0; i < px.size(); ++i) {
        const std::size_t pixel = i / 3, c = i % 3;
        ASSERT_EQ(px[i], std::min(255, full[pixel * 3 + (2 - c)] + 51)) << i;
    }
    // The mask of black: one band, 255 wherever any channel is non-zero.
    const std::string mask = (m_dir / "mask.png").string();
    ASSERT_EQ(run(mask, "--channels 0 --mask"), 0);
    const auto m = ReadBytes(mask, w, h, b);
    ASSERT_EQ(b, 1);
    for (std::size_t i = 0; i < m.size(); ++i)
        ASSERT_EQ(m[i], full[i * 3] == 0 ? 0 : 255) << i;
    EXPECT_NE(run(mask, "--channels 0,3"), 0);
    EXPECT_NE(run(mask, "--bcg 1,2"), 0);
}

TEST_F(GdalDibData, KrtoolCachedReadAndPyramidLevels) {
    const std::string src = (m_dir / "src.tif").string();
    MakeTiff(src, 300, 200, 3, GDT_Byte);
    const std::string plain = (m_dir / "plain.tif").string(), cached = (m_dir / "cached.tif").string();
    const std::string read = std::string("\"") + KRTOOL_FILE + "\" raster read \"" + src + "\" \"";
    ASSERT_EQ(std::system((read + plain + "\" --rect 37 11 250 170 > /dev/null").c_str()), 0);
    ASSERT_EQ(std::system((read + cached + "\" --rect 37 11 250 170 --cache 0.1 > /dev/null").c_str()), 0);
    int w1 = 0, h1 = 0, b1 = 0, w2 = 0, h2 = 0, b2 = 0;
    EXPECT_TRUE(ReadBytes(plain, w1, h1, b1) == ReadBytes(cached, w2, h2, b2))
        << "a smaller budget than the window";

    const std::string dir = (m_dir / "levels").string();
    ASSERT_EQ(std::system((std::string("\"") + KRTOOL_FILE + "\" raster pyramid \"" + src + "\" \"" + dir +
                           "\" > /dev/null")
                              .c_str()),
              0);
    const auto full = ReadBytes(src, w1, h1, b1);
    EXPECT_TRUE(ReadBytes(dir + "/level_0.png", w2, h2, b2) == full);
    const auto level1 = ReadBytes(dir + "/level_1.png", w2, h2, b2);
    ASSERT_EQ(std::make_tuple(w2, h2, b2), std::make_tuple(150, 100, 3));
    int worst = 0;
    for (int y = 0; y < h2; ++y)
        for (int x = 0; x < w2; ++x)
            for (int c = 0; c < 3; ++c) {
                int sum = 0;
                for (int d = 0; d < 4; ++d)
                    sum += full[((2 * y + d / 2) * w1 + 2 * x + d % 2) * 3 + c];
                worst = std::max(worst, std::abs(4 * level1[(y * w2 + x) * 3 + c] - sum));
            }
    EXPECT_LE(worst, 4) << "largest difference from the block mean, in quarters";
    ReadBytes(dir + "/level_2.png", w2, h2, b2);
    EXPECT_EQ(std::make_tuple(w2, h2), std::make_tuple(75, 50));
    EXPECT_FALSE(std::filesystem::exists(dir + "/level_3.png"));
}
#endif

} // namespace
