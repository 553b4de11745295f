// Elevation palettes: built-in colours at nodes and between them, packing, the registry.
#include "Core/KrMessage.h"
#include "Output/KrElevationPalette.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace {

TKrColorRef Packed(const TKrElevationPalette& p, double t) {
    TKrColorRef c = 0xFFFFFFFF;
    p.GetColor(t, &c);
    return c;
}

struct TRegistry : ::testing::Test {
    void SetUp() override { TKrElevationPalette::Initialize(); }
    void TearDown() override { TKrElevationPalette::Uninitialize(); }
    static const TKrElevationPalette& Get(const char* name) { return *TKrElevationPalette::GetPalette(name); }
};

const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

} // namespace

TEST(KrColorRef, PackingRoundsClampsAndRoundTrips) {
    EXPECT_EQ(GetColorRef(vec3d(-0.1, 0.5, 1.2)), KrRGB(0, 128, 255));
    EXPECT_EQ(GetColorRef(vec3d(kNaN, 1.0, 0.0)), KrRGB(0, 255, 0));
    // every byte survives SetColorRef and GetColorRef
    for (unsigned b = 0; b < 256; ++b) {
        const TKrColorRef c = KrRGB(b, 255 - b, b / 2);
        ASSERT_EQ(GetColorRef(SetColorRef(c)), c) << b;
    }
    EXPECT_EQ(SetColorRef(0x00FF8000).z, 1.0);
    EXPECT_EQ(SetColorRef(0x00FF8000).y, 128 / 255.0);
}

TEST(KrColorRef, FastPackingEqualsPackingEverywhere) {
    std::vector<double> values = {kNaN,
                                  kInf,
                                  -kInf,
                                  -0.0,
                                  0.0,
                                  1.0,
                                  -1e300,
                                  1e300,
                                  0.5 / 255,
                                  1.5 / 255,
                                  254.5 / 255,
                                  1.0 + 1e-16,
                                  std::nextafter(0.5 / 255, 0.0)};
    for (int i = -300; i <= 1300; ++i)
        values.push_back(i / 1000.0);
    for (double a : values)
        for (double b : {0.25, kNaN, 2.0}) {
            const vec3d c(a, b, 1 - a);
            ASSERT_EQ(GetColorRef_fast(c), GetColorRef(c)) << a << " " << b;
        }
}

TEST_F(TRegistry, BuiltInTablesAtTheirNodes) {
    const struct {
        const char* name;
        TKrColorRef first, seventh, eighth, last;
    } cases[] = {{"def", 0x3B1230, 0x4DFF89, 0x34F5BB, 0x03047A},
                 {"elev", 0x141414, 0x00AAFF, 0x00D4FF, 0xBFBF00},
                 {"nwrc", 0x030605, 0x609B5D, 0x67AB7F, 0x3F7FD7}};
    for (const auto& c : cases) {
        const TKrElevationPalette& p = Get(c.name);
        EXPECT_EQ(Packed(p, 0.0), c.first) << c.name;
        EXPECT_EQ(Packed(p, 7 / 15.0), c.seventh) << c.name;
        EXPECT_EQ(Packed(p, 8 / 15.0), c.eighth) << c.name;
        EXPECT_EQ(Packed(p, 1.0), c.last) << c.name;
        // outside [0, 1] and NaN: the end colours exactly
        vec3d lo, hi, nan;
        p.GetColor(-3.0, &lo);
        p.GetColor(7.0, &hi);
        p.GetColor(kNaN, &nan);
        EXPECT_EQ(GetColorRef(lo), c.first);
        EXPECT_EQ(GetColorRef(nan), c.first);
        EXPECT_EQ(GetColorRef(hi), c.last);
        EXPECT_EQ(lo.x, SetColorRef(c.first).x);
    }
}

TEST_F(TRegistry, BuiltInTablesBetweenNodes) {
    const struct {
        const char* name;
        double t;
        TKrColorRef color;
    } cases[] = {{"def", 0.1, 0xC85A44},   {"def", 0.7, 0x2FA2FC},   {"def", 0.9, 0x0325C0},
                 {"def", 0.05, 0x8C373D},  {"elev", 0.5, 0x00BFFF},  {"elev", 0.55, 0x00DFFF},
                 {"nwrc", 0.15, 0x273A28}, {"nwrc", 0.45, 0x5E9755}, {"nwrc", 0.85, 0x4B90BC}};
    for (const auto& c : cases)
        EXPECT_EQ(Packed(Get(c.name), c.t), c.color) << c.name << " " << c.t;
    // Terrain at t = 0.5 is the exact midpoint of entries 7 and 8
    vec3d mid;
    Get("elev").GetColor(0.5, &mid);
    EXPECT_DOUBLE_EQ(mid.y, (0xAA + 0xD4) / 2 / 255.0);
}

TEST_F(TRegistry, FastTableLookupEqualsTheVirtualOne) {
    for (const char* name : {"def", "elev", "nwrc"}) {
        const auto& p = static_cast<const TKrTableElevationPalette&>(Get(name));
        for (int i = -50; i <= 10050; ++i) {
            const double t = i / 10000.0;
            ASSERT_EQ(p.GetColorRefFast(t), Packed(p, t)) << name << " " << t;
        }
        EXPECT_EQ(p.GetColorRefFast(kNaN), Packed(p, kNaN));
        EXPECT_EQ(p.GetColorRefFast(kInf), Packed(p, kInf));
    }
}

TEST_F(TRegistry, StandardPaletteIsTheAnalyticRamp) {
    const TKrElevationPalette& p = Get("std");
    EXPECT_EQ(Packed(p, 0.0), KrRGB(0, 58, 40)); // 0.23 and 0.16 truncated, not rounded
    EXPECT_EQ(Packed(p, 0.25), KrRGB(187, 202, 0));
    EXPECT_EQ(Packed(p, 0.5), KrRGB(249, 250, 0)); // the upper branch: green 0.9805
    EXPECT_EQ(Packed(p, 1.0), KrRGB(150, 16, 0));
    EXPECT_EQ(Packed(p, -1.0), KrRGB(0, 0, 204)); // red and green below 0 clamp to 0
    EXPECT_EQ(Packed(p, kNaN), KrRGB(0, 0, 0));
    vec3d v;
    p.GetColor(-1.0, &v);
    EXPECT_DOUBLE_EQ(v.x, 3.92 * -2);
    EXPECT_DOUBLE_EQ(v.z, 0.16 + 0.64);
    // the branches meet at 0.5 to within the rounding of their constants
    const vec3d below = GetHSColor(std::nextafter(0.5, 0.0)), at = GetHSColor(0.5);
    EXPECT_NEAR(below.x, at.x, 1e-12);
    EXPECT_NEAR(below.y, at.y, 1e-3);
}

TEST_F(TRegistry, RegistrationByNameRemovalByIdentity) {
    std::vector<std::string> names{"stale"};
    TKrElevationPalette::GetRegisteredNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"std", "def", "elev", "nwrc"}));

    const TKrColorRef two[] = {0x000000, 0xFFFFFF};
    var_a<TKrElevationPalette*> twin = new_a<TKrTableElevationPalette>("def", "x", two, 2);
    var_a<TKrElevationPalette*> grey = new_a<TKrTableElevationPalette>("grey", "x", two, 2);
    EXPECT_FALSE(TKrElevationPalette::RegisterPalette(twin));
    EXPECT_FALSE(TKrElevationPalette::UnregisterPalette(twin));
    EXPECT_TRUE(TKrElevationPalette::RegisterPalette(grey));
    EXPECT_EQ(TKrElevationPalette::GetPalette("grey"), grey);
    EXPECT_FALSE(TKrElevationPalette::GetPalette("DEF"));

    EXPECT_TRUE(TKrElevationPalette::UnregisterPalette(TKrElevationPalette::GetPalette("def")));
    TKrElevationPalette::GetRegisteredNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"std", "elev", "nwrc", "grey"}));
    EXPECT_EQ(Packed(*grey, 0.5), KrRGB(128, 128, 128));

    TKrElevationPalette::Uninitialize();
    TKrElevationPalette::GetRegisteredNames(names);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(Packed(*grey, 1.0), 0xFFFFFFu); // our reference keeps it alive
}

TEST(KrTableElevationPalette, TooSmallTablesAreAnInternalError) {
    const TKrColorRef one[] = {0x123456};
    try {
        TKrTableElevationPalette p("x", "x", one, 1);
        FAIL() << "no exception";
    } catch (const TKrMessage& m) {
        const std::string text = m.what();
        EXPECT_NE(text.find("Internal logic error in TKrTableElevationPalette::"), std::string::npos) << text;
        EXPECT_NE(text.find("(TableSize > 1)==false."), std::string::npos) << text;
    }
    const vec3d none[1] = {};
    EXPECT_THROW(TKrTableElevationPalette("x", "x", none, -4), TKrMessage);
}

TEST(KrTableElevationPalette, VectorTablesAndFillGrad) {
    // unsorted or repeated colours are legal: the table is interpolated as given
    const vec3d table[] = {vec3d(1, 0, 0), vec3d(1, 0, 0), vec3d(0, 0, 1)};
    TKrTableElevationPalette p("v", "t", table, 3);
    EXPECT_EQ(Packed(p, 0.25), KrRGB(255, 0, 0));
    EXPECT_EQ(Packed(p, 0.75), KrRGB(128, 0, 128));
    p.GetTable()[1] = vec3d(0, 1, 0);
    p.FillGrad();
    EXPECT_EQ(Packed(p, 0.25), KrRGB(128, 128, 0));
}
