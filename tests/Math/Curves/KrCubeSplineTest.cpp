// Cubic splines: natural runs split at break points against SciPy's reference values, editing,
// refused input, lookup tables, rescaling, and the binary record (bytes, truncation, altered tags).
#include "Core/KrMessage.h"
#include "Math/Curves/KrInterpolationCubeSplineUnit.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = NAN;
constexpr CUBESPLINE_POINT_TYPE S = CUBESPLINE_POINT_SMOOTH, B = CUBESPLINE_POINT_BREAK;
using TTable = std::vector<int>;

double Eval(const TKRCUBESPLINEPOINT& p, double x) {
    return ((p.a3 * x + p.a2) * x + p.a1) * x + p.a0;
}

std::vector<CUBESPLINE_POINT> Pts(std::initializer_list<std::pair<double, double>> xy) {
    std::vector<CUBESPLINE_POINT> v;
    for (const auto& p : xy)
        v.push_back({S, {p.first, p.second}});
    return v;
}

double Num(const std::string& s) { // locale-independent, like the library's own formats
    double v = kNaN;
    std::from_chars(s.data(), s.data() + s.size(), v);
    return v;
}

TTable Table(const TKrInterpolationCubeSpline& s) {
    TTable t;
    s.GetTransformTable(t);
    return t;
}

std::vector<unsigned char> Bytes(const TKrInterpolationCubeSpline& s) {
    TKrMemoryStream m;
    EXPECT_TRUE(s.Save(&m));
    return {m.GetBuffer(), m.GetBuffer() + m.getSize()};
}

} // namespace

TEST(CubeSpline, NaturalRunsMatchSciPy) {
    std::ifstream in(std::string(KRSTD_TEST_SOURCE_DIR) + "/Math/Curves/data/natural_splines.txt");
    std::string line, tag, name, a, b, c;
    std::vector<CUBESPLINE_POINT> pts;
    TKrCubeSpline s;
    int values = 0;
    double scale = 1; // the data's magnitude: coefficients are built from terms of that size
    while (std::getline(in, line)) {
        std::istringstream(line) >> tag >> a >> b >> c;
        if (tag == "case") {
            name = a, pts.clear(), scale = 1;
        } else if (tag == "p") {
            pts.push_back({static_cast<CUBESPLINE_POINT_TYPE>(std::stol(a)), {Num(b), Num(c)}});
            scale = std::max(scale, std::abs(pts.back().pt.y));
        } else if (tag == "v" && values++ >= 0) {
            ASSERT_TRUE(s.SetPoints(pts, true)) << name;
            // The polynomial is stored in absolute x, so its terms cancel to a far smaller
            // value: agreement is measured against the largest term.
            const double x = Num(b), want = Num(c);
            const TKRCUBESPLINEPOINT& p = s.Points().at(std::stoul(a));
            const double terms = std::max({scale, std::abs(p.a0), std::abs(p.a1 * x), std::abs(p.a2 * x * x),
                                           std::abs(p.a3 * x * x * x)});
            EXPECT_NEAR(Eval(p, x), want, 1e-12 * terms) << name << " x=" << x;
        }
    }
    EXPECT_GE(values, 1000);
}

TEST(CubeSpline, EditingAndRefusedInput) {
    TKrCubeSpline s;
    ASSERT_TRUE(s.SetPoints(Pts({{0, 0}, {100, 100}, {255, 0}}), true));
    const double a1 = s.Points()[0].a1;
    ASSERT_TRUE(s.SetPoints(Pts({{0, 10}, {100, 100}, {255, 0}, {300, 5}}), false));
    EXPECT_EQ(s.Points()[0].a1, a1); // kept until the next Recalc
    EXPECT_EQ(s.Points()[3].a1, 0);  // appended: zero
    for (const auto& bad : {Pts({{0, 0}, {0, 1}}), Pts({{0, 0}, {5, 1}, {4, 2}}), Pts({{kNaN, 0}, {1, 1}}),
                            Pts({{0, 0}, {kNaN, 1}}), Pts({{0, kNaN}, {1, 1}}), Pts({{0, -INFINITY}})}) {
        EXPECT_FALSE(s.SetPoints(bad, true));
        EXPECT_TRUE(TKrInterpolationCubeSpline(bad).Points().empty());
    }
    EXPECT_EQ(s.InsertPoint(S, {100, 7}, false), 2); // after the point of equal x
    EXPECT_EQ(s.InsertPoint(-5, B, {-1, 0}, false), 0);
    EXPECT_EQ(s.InsertPoint(99, S, {400, 0}, false), 6);
    const auto before = s.Points();
    EXPECT_FALSE(s.Recalc()); // repeated x: no polynomials, nothing changed
    EXPECT_FALSE(s.RecalcPart(1, 3));
    EXPECT_EQ(std::memcmp(before.data(), s.Points().data(), before.size() * sizeof(before[0])), 0);
    s.DeletePoint(2, true);
    EXPECT_NEAR(Eval(s.Points()[2], 255), 0, 1e-12); // recalculated
    EXPECT_FALSE(s.RecalcPart(4, 3));                // past the end
    EXPECT_THROW(s.InsertPoint(S, {kNaN, 1}, true), TKrMessage);
    EXPECT_THROW(s.InsertPoint(0, S, {1, INFINITY}, true), TKrMessage);
    EXPECT_EQ(s.Points().size(), 6u);
}

TEST(InterpolationCubeSpline, TablesAndRescaling) {
    struct TCase {
        std::vector<CUBESPLINE_POINT> points;
        unsigned long range;
        std::vector<std::pair<int, int>> expect; // (index, entry); index −1 checks the size
    };
    const std::vector<TCase> cases = {
        {Pts({{0, 0}, {255, 255}}), 256, {{-1, 256}, {0, 0}, {1, 1}, {128, 128}, {255, 255}}},
        {Pts({{100, 42.4}}), 256, {{0, 42}, {100, 42}, {255, 42}}},
        {Pts({{0, 0}, {255, 255}}), 0, {{-1, 0}}},
        {{}, 10, {{-1, 10}, {0, 0}, {9, 9}}}, // no points: the identity
        {Pts({{50.7, 20}, {200.2, 180}}), 256, {{0, 20}, {50, 20}, {201, 180}, {255, 180}}},
        {Pts({{0, -40}, {5, 300}, {9, 0}}), 10, {{0, 0}, {5, 9}, {9, 0}}},
        {Pts({{-20, 3}, {-10, 3}}), 8, {{0, 3}, {7, 3}}},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        TKrInterpolationCubeSpline s(cases[i].points);
        s.SetRange(cases[i].range, false, false);
        const TTable t = Table(s);
        for (const auto& [at, v] : cases[i].expect)
            EXPECT_EQ(at < 0 ? static_cast<int>(t.size()) : t.at(at), v) << "case " << i << " at " << at;
    }
    TKrInterpolationCubeSpline s(Pts({{0, 10}, {100, 200}, {255, 255}}));
    const TTable t = Table(s);
    for (int x : {1, 30, 100, 191, 254})
        EXPECT_EQ(t[x],
                  std::clamp(static_cast<int>(std::floor(Eval(s.Points()[x >= 100], x) + 0.5)), 0, 255));
    s.SetRange(65536, true, true); // 65535 / 255 = 257
    EXPECT_EQ(s.Points()[1].y, 51400);
    EXPECT_EQ(Table(s)[25700], 51400);
    s.SetRange(3, false, true);
    s.SetRange(1, true, false); // no rescale before, then from range 3: × 1 / 2
    EXPECT_EQ(s.Points()[2].x, 32767.5);
}

TEST(InterpolationCubeSpline, Records) {
    auto pts = Pts({{0, 1.5}, {255, 200}});
    pts[1].type = static_cast<CUBESPLINE_POINT_TYPE>(0x01020304);
    TKrInterpolationCubeSpline s(pts), back, target(Pts({{10, 20}, {200, 100}}));
    s.SetRange(0x1'0000'0100ul, false, false); // only the low 32 bits are stored
    const auto good = Bytes(s);
    ASSERT_EQ(good.size(), 60u);
    const unsigned char head[] = {'I', 'C', 'R', 'V', 'R', 'A', 'N', 'G', 0,    1,    0, 0, 'P', 'N', 'T',
                                  'S', 2,   0,   0,   0,   1,   0,   0,   0,    0,    0, 0, 0,   0,   0,
                                  0,   0,   0,   0,   0,   0,   0,   0,   0xf8, 0x3f, 4, 3, 2,   1};
    EXPECT_EQ(std::memcmp(good.data(), head, sizeof head), 0);
    TKrFixedMemStream in(good.data(), good.size());
    ASSERT_TRUE(back.Load(&in, true));
    EXPECT_EQ(back.GetRange(), 256u);
    EXPECT_EQ(back.Points()[1].type, pts[1].type);
    EXPECT_EQ(back.Points()[0].a1, s.Points()[0].a1);
    for (std::size_t room : {0, 19, 20, 23, 24, 43, 59}) { // short writes stop Save at once
        std::vector<unsigned char> buf(room + 1);
        TKrFixedMemStream out(buf.data(), room, krOpenWrite);
        EXPECT_FALSE(s.Save(&out)) << room;
    }

    // Damaged records: every truncation, altered tags, a forged count, non-finite numbers.
    target.SetRange(1000, false, false);
    const TTable expect = Table(target);
    std::vector<std::vector<unsigned char>> bad;
    for (std::size_t len = 0; len < good.size(); ++len)
        bad.emplace_back(good.begin(), good.begin() + static_cast<long>(len));
    for (std::size_t at : {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 14, 15, 19}) {
        bad.push_back(good);
        bad.back()[at] ^= 0x40;
    }
    for (std::size_t at : {24, 32, 44}) { // x, y of point 0, x of point 1
        bad.push_back(good);
        const double v = at == 32 ? INFINITY : kNaN;
        std::memcpy(bad.back().data() + at, &v, 8);
    }
    for (std::size_t i = 0; i < bad.size(); ++i) {
        TKrFixedMemStream din(bad[i].data(), bad[i].size());
        EXPECT_FALSE(target.Load(&din, true)) << i;
        EXPECT_EQ(target.GetRange(), 1000u) << i;
        EXPECT_EQ(Table(target), expect) << i;
    }
    // A record of no points loads as such, with its range.
    TKrInterpolationCubeSpline empty;
    empty.SetRange(77, false, false);
    const auto rec0 = Bytes(empty);
    TKrFixedMemStream in0(rec0.data(), rec0.size());
    EXPECT_TRUE(target.Load(&in0, true) && target.Points().empty() && target.GetRange() == 77u);
}
