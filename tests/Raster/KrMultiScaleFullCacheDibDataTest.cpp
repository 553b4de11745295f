// Whole-level pyramid caching: level choice, equality with the source's levels, one read per level.
#include "KrRasterTestUtils.h"
#include "Raster/KrMultiScaleFullCacheDibData.h"

#include <gtest/gtest.h>

namespace {

// A test pyramid that counts its level reads and can refuse one level.
class TCountingPyramid : public krtest::TTestPyramid {
public:
    using TKrMultiScaleDibData::GetRect;
    using TTestPyramid::TTestPyramid;
    int reads = 0;
    std::size_t refuse = 99;
    TKrGetRectResult GetRect(std::size_t level, const TKrDibRectI& r,
                             const TKrDibDataOutBuffer& out) override {
        ++reads;
        if (level == refuse) return grData;
        return TTestPyramid::GetRect(level, r, out);
    }
};

TKrDibRect Grid(double x, double y, std::uint64_t w, std::uint64_t h, double px, double py) {
    return TKrDibRect{{x, y}, {w, h}, {px, py}};
}

} // namespace

TEST(MultiScaleFullCacheDibData, ChoosesTheNearestLevelAndReadsItOnce) {
    const std::size_t w = 200, h = 120;
    auto src = new_a<TCountingPyramid>(krtest::RandomImage<unsigned char>(w, h, 1, 9), w, h, 4);
    kr::TMultiScaleFullCacheDibData cache(src);
    const struct {
        double px, py;
        std::size_t level;
    } choices[] = {{0.5, 0.5, 0}, {1, 1, 0},     {1.4, 1.4, 0}, {1.5, 1.5, 1}, {3, 3, 2},
                   {2, 4.5, 2},   {2.9, 2.9, 1}, {6, 6, 3},     {100, 100, 3}};
    for (const auto& c : choices)
        EXPECT_EQ(cache.ChooseLevel(Grid(0, 0, 1, 1, c.px, c.py)), c.level) << c.px << " " << c.py;

    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    const TKrDibRect requests[] = {Grid(0, 0, 200, 120, 1, 1),    Grid(-10, 5, 60, 60, 1, 1),
                                   Grid(0.5, 0.5, 100, 60, 2, 2), Grid(20.5, -3.5, 30, 30, 2, 2),
                                   Grid(1.5, 1.5, 50, 30, 4, 4),  Grid(3.5, 3.5, 40, 40, 8, 8)};
    for (const TKrDibRect& r : requests) {
        krtest::TGuardedBuffer mine(r.count.x, r.count.y, 1), theirs(r.count.x, r.count.y, 1);
        const TKrGetRectResult got = cache.GetRect(mine.Out(), r, q, 0, nullptr);
        const int readsBefore = src->reads;
        EXPECT_EQ(got, src->GetRect(theirs.Out(), r, q, 0, nullptr));
        src->reads = readsBefore;
        EXPECT_EQ(mine.mem, theirs.mem) << r.origin.x << " " << r.pixel_size.x;
    }
    EXPECT_EQ(src->reads, 4); // each level once, whole
    cache.PurgeCache();
    EXPECT_FALSE(cache.IsLevelLoaded(0));
}

TEST(MultiScaleFullCacheDibData, AFailedLevelAnswersNothingAgain) {
    auto src = new_a<TCountingPyramid>(krtest::RandomImage<unsigned char>(64, 64, 1, 2), 64, 64, 3);
    src->refuse = 1;
    kr::TMultiScaleFullCacheDibData cache(src);
    krtest::TGuardedBuffer buf(16, 16, 1);
    const TKrDibRect r = Grid(0.5, 0.5, 16, 16, 2, 2);
    const TInterpolationQuality q = GetDisplayInterpolationQuality();
    EXPECT_EQ(cache.GetRect(buf.Out(), r, q, 0, nullptr), grComplete);
    EXPECT_EQ(cache.GetRect(buf.Out(), r, q, 0, nullptr), grComplete);
    EXPECT_EQ(src->reads, 1);
    EXPECT_TRUE(buf.Untouched());
    EXPECT_EQ(cache.GetRect(buf.Out(), Grid(64, 0, 16, 16, 1, 1), q, 0, nullptr), grComplete); // outside

    kr::TMultiScaleFullCacheDibData empty;
    EXPECT_EQ(empty.GetRect(buf.Out(), r, q, 0, nullptr), grNothing);
    cache.Deinit();
    EXPECT_EQ(cache.GetRect(buf.Out(), r, q, 0, nullptr), grNothing);
}
