// Cubic splines: natural runs against SciPy's reference values, break points, editing, refused
// input, lookup tables, rescaling, and the binary record (exact bytes, truncation, altered tags).
#include "Core/KrMessage.h"
#include "Math/Curves/KrInterpolationCubeSplineUnit.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrMemoryStream.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstring>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr CUBESPLINE_POINT_TYPE S = CUBESPLINE_POINT_SMOOTH, B = CUBESPLINE_POINT_BREAK;

double Eval(const TKRCUBESPLINEPOINT& p, double x) { return ((p.a3 * x + p.a2) * x + p.a1) * x + p.a0; }

std::vector<CUBESPLINE_POINT> Pts(std::initializer_list<std::pair<double, double>> xy,
                                  CUBESPLINE_POINT_TYPE type = S) {
    std::vector<CUBESPLINE_POINT> v;
    for (const auto& p : xy)
        v.push_back({type, {p.first, p.second}});
    return v;
}

// One case of the reference table: points, then (segment, x, y) samples.
struct TRefCase {
    std::string name;
    std::vector<CUBESPLINE_POINT> points;
    struct TSample { long segment; double x, y; };
    std::vector<TSample> samples;
};

std::vector<std::string> Words(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> w;
    for (std::string s; in >> s;)
        w.push_back(s);
    return w;
}

double Num(const std::string& s) { // locale-independent, like the library's own formats
    double v = kNaN;
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    EXPECT_TRUE(r.ec == std::errc() && r.ptr == s.data() + s.size()) << s;
    return v;
}

std::vector<TRefCase> ReadReference() {
    std::ifstream in(std::string(KRSTD_TEST_SOURCE_DIR) + "/Math/Curves/data/natural_splines.txt");
    std::vector<TRefCase> cases;
    std::string line;
    while (std::getline(in, line)) {
        const auto w = Words(line);
        if (w.empty() || w[0][0] == '#') continue;
        if (w[0] == "case") {
            cases.push_back({w.at(1), {}, {}});
        } else if (w[0] == "points" || w[0] == "eval") {
            const long n = std::stol(w.at(1));
            for (long i = 0; i < n && std::getline(in, line); ++i) {
                const auto r = Words(line);
                if (w[0] == "points")
                    cases.back().points.push_back({static_cast<CUBESPLINE_POINT_TYPE>(std::stol(r.at(0))),
                                                   {Num(r.at(1)), Num(r.at(2))}});
                else
                    cases.back().samples.push_back({std::stol(r.at(0)), Num(r.at(1)), Num(r.at(2))});
            }
        }
    }
    return cases;
}

std::vector<int> Table(const TKrInterpolationCubeSpline& s) {
    std::vector<int> t;
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
    const auto cases = ReadReference();
    ASSERT_GE(cases.size(), 20u);
    for (const TRefCase& c : cases) {
        SCOPED_TRACE(c.name);
        TKrCubeSpline s;
        ASSERT_TRUE(s.SetPoints(c.points, true));
        double scale = 1;
        for (const auto& p : c.points)
            scale = std::max(scale, std::abs(p.pt.y));
        ASSERT_FALSE(c.samples.empty());
        // The stored polynomial is in absolute x, so evaluating it cancels terms far larger
        // than the value; agreement is measured against the largest term.
        for (const auto& r : c.samples) {
            const TKRCUBESPLINEPOINT& p = s.Points().at(r.segment);
            const double terms = std::max({scale, std::abs(p.a0), std::abs(p.a1 * r.x),
                                           std::abs(p.a2 * r.x * r.x), std::abs(p.a3 * r.x * r.x * r.x)});
            EXPECT_NEAR(Eval(p, r.x), r.y, 1e-12 * terms) << "x=" << r.x;
        }
        // The same curve through the copy constructor of the table-making variant.
        TKrInterpolationCubeSpline t(s);
        for (std::size_t k = 0; k + 1 < c.points.size(); ++k)
            EXPECT_EQ(t.Points()[k].a3, s.Points()[k].a3);
    }
}

TEST(CubeSpline, BreakPointsMakeIndependentRuns) {
    // Three points: c1 = 3(δ2 − δ1) / (2(h1 + h2)) is the only interior curvature.
    TKrCubeSpline three;
    ASSERT_TRUE(three.SetPoints(Pts({{0, 0}, {1, 1}, {3, 0}}), true));
    const double c1 = 3 * (-0.5 - 1) / (2 * 3);
    EXPECT_NEAR(2 * three.Points()[0].a2 + 6 * three.Points()[0].a3 * 1, 2 * c1, 1e-14);

    auto pts = Pts({{0, 0}, {10, 50}, {20, 20}, {30, 90}, {40, 10}, {50, 60}});
    pts[2].type = static_cast<CUBESPLINE_POINT_TYPE>(-3); // any value but 1 breaks
    pts[4].type = B;
    TKrCubeSpline a;
    ASSERT_TRUE(a.SetPoints(pts, true));
    // The run 2..4 is natural on its own: the same as a spline of just those points.
    TKrCubeSpline alone;
    ASSERT_TRUE(alone.SetPoints({pts[2], pts[3], pts[4]}, true));
    for (int k = 0; k < 2; ++k)
        EXPECT_NEAR(a.Points()[2 + k].a1, alone.Points()[k].a1, 1e-12);
    // The run of two points after the last break is a line.
    EXPECT_EQ(a.Points()[4].a2, 0);
    EXPECT_EQ(a.Points()[4].a3, 0);
    EXPECT_DOUBLE_EQ(Eval(a.Points()[4], 45), 35);
    // Moving a point past a break leaves everything before the break alone.
    pts[3].pt.y = -500;
    TKrCubeSpline b;
    ASSERT_TRUE(b.SetPoints(pts, true));
    for (int k = 0; k < 2; ++k) {
        EXPECT_EQ(a.Points()[k].a0, b.Points()[k].a0);
        EXPECT_EQ(a.Points()[k].a3, b.Points()[k].a3);
    }
}

TEST(CubeSpline, EditingKeepsCoefficientsUntilRecalc) {
    TKrCubeSpline s;
    ASSERT_TRUE(s.SetPoints(Pts({{0, 0}, {100, 100}, {255, 0}}), true));
    const double a1 = s.Points()[0].a1;
    // Existing points keep their coefficients without recalc; an appended point starts at zero.
    ASSERT_TRUE(s.SetPoints(Pts({{0, 10}, {100, 100}, {255, 0}, {300, 5}}), false));
    EXPECT_EQ(s.Points()[0].a1, a1);
    EXPECT_EQ(s.Points()[3].a1, 0);

    // Equal x goes after the existing point; indexes clamp to the ends.
    EXPECT_EQ(s.InsertPoint(S, {100, 7}, false), 2);
    EXPECT_EQ(s.Points()[2].y, 7);
    EXPECT_EQ(s.InsertPoint(-5, B, {-1, 0}, false), 0);
    EXPECT_EQ(s.InsertPoint(99, S, {400, 0}, false), 6);
    EXPECT_EQ(s.Points()[0].type, B);
    // Repeated x has no polynomials: Recalc refuses and changes nothing.
    const auto before = s.Points();
    EXPECT_FALSE(s.Recalc());
    EXPECT_FALSE(s.RecalcPart(1, 3));
    EXPECT_EQ(std::memcmp(before.data(), s.Points().data(), before.size() * sizeof(before[0])), 0);
    s.DeletePoint(2, true);
    s.DeletePoint(99, true); // past the end: nothing
    EXPECT_EQ(s.Points().size(), 6u);
    EXPECT_TRUE(s.Recalc());
    for (std::size_t k = 0; k + 1 < s.Points().size(); ++k)
        EXPECT_NEAR(Eval(s.Points()[k], s.Points()[k + 1].x), s.Points()[k + 1].y, 1e-9);
    EXPECT_FALSE(s.RecalcPart(4, 3)); // reaches past the points

    EXPECT_THROW(s.InsertPoint(S, {kNaN, 1}, true), TKrMessage);
    EXPECT_THROW(s.InsertPoint(0, S, {1, INFINITY}, true), TKrMessage);
    EXPECT_EQ(s.Points().size(), 6u);
}

TEST(CubeSpline, RefusedPointListsChangeNothing) {
    const std::vector<std::vector<CUBESPLINE_POINT>> bad = {
        Pts({{0, 0}, {0, 1}}),            Pts({{0, 0}, {5, 1}, {4, 2}}), Pts({{kNaN, 0}, {1, 1}}),
        Pts({{0, 0}, {kNaN, 1}}),         Pts({{0, kNaN}, {1, 1}}),     Pts({{0, 0}, {INFINITY, 1}}),
        Pts({{0, -INFINITY}}),
    };
    for (const auto& b : bad) {
        TKrInterpolationCubeSpline s(Pts({{0, 0}, {128, 200}, {255, 255}}));
        const auto table = Table(s);
        EXPECT_FALSE(s.SetPoints(b, true));
        EXPECT_EQ(s.Points().size(), 3u);
        EXPECT_EQ(Table(s), table);
        TKrInterpolationCubeSpline fresh(b); // a refused list leaves no points: the identity
        EXPECT_TRUE(fresh.Points().empty());
        EXPECT_EQ(Table(fresh)[200], 200);
    }
    // Fewer than two points compute nothing and succeed.
    TKrCubeSpline one;
    EXPECT_TRUE(one.SetPoints(Pts({{3, 4}}), true));
    EXPECT_TRUE(one.Recalc());
    EXPECT_EQ(one.Points()[0].a0, 0);
}

TEST(InterpolationCubeSpline, TransformTables) {
    struct TCase {
        const char* name;
        std::vector<CUBESPLINE_POINT> points;
        unsigned long range;
        std::vector<std::pair<int, int>> expect; // (index, entry); index −1 checks the size
    };
    const std::vector<TCase> cases = {
        {"identity", Pts({{0, 0}, {255, 255}}), 256, {{-1, 256}, {0, 0}, {1, 1}, {128, 128}, {255, 255}}},
        {"one point", Pts({{100, 42.4}}), 256, {{0, 42}, {100, 42}, {255, 42}}},
        {"range 0", Pts({{0, 0}, {255, 255}}), 0, {{-1, 0}}},
        {"no points", {}, 10, {{-1, 10}, {0, 0}, {9, 9}}},
        {"flat ends", Pts({{50.7, 20}, {200.2, 180}}), 256, {{0, 20}, {50, 20}, {201, 180}, {255, 180}}},
        {"rounding", Pts({{0, 0.49}, {10, 10.6}}), 256, {{0, 0}, {10, 11}}},
        {"clamped", Pts({{0, -40}, {5, 300}, {9, 0}}), 10, {{0, 0}, {5, 9}, {9, 0}}},
        {"before the table", Pts({{-20, 3}, {-10, 3}}), 8, {{0, 3}, {7, 3}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TKrInterpolationCubeSpline s(c.points);
        s.SetRange(c.range, false, false);
        const auto t = Table(s);
        for (const auto& [i, v] : c.expect) {
            if (i < 0)
                EXPECT_EQ(t.size(), static_cast<std::size_t>(v));
            else
                EXPECT_EQ(t.at(i), v) << "at " << i;
        }
    }
    // The curve between points follows the polynomials, rounded.
    TKrInterpolationCubeSpline s(Pts({{0, 0}, {64, 100}, {192, 120}, {255, 255}}));
    const auto t = Table(s);
    for (int x : {1, 30, 64, 100, 191, 254})
        EXPECT_EQ(t[x], static_cast<int>(std::floor(Eval(s.Points()[x < 64 ? 0 : x < 192 ? 1 : 2], x) + 0.5)));
}

TEST(InterpolationCubeSpline, RescalingToANewRange) {
    TKrInterpolationCubeSpline s(Pts({{0, 10}, {100, 200}, {255, 255}}));
    EXPECT_EQ(s.GetRange(), 256u);
    s.SetRange(65536, true, true);
    EXPECT_EQ(s.GetRange(), 65536u);
    EXPECT_EQ(s.Points()[1].x, 25700);
    EXPECT_EQ(s.Points()[1].y, 51400);
    EXPECT_NEAR(Eval(s.Points()[0], 25700), 51400, 1e-6);
    const auto wide = Table(s);
    EXPECT_EQ(wide.size(), 65536u);
    EXPECT_EQ(wide[65535], 65535);
    s.SetRange(3, false, true); // no rescale: points stay
    EXPECT_EQ(s.Points()[2].x, 65535);
    s.SetRange(1, true, false); // old range 3 → factor 1 / 2
    EXPECT_EQ(s.Points()[2].x, 32767.5);
}

TEST(InterpolationCubeSpline, RecordBytesAndRoundTrip) {
    auto pts = Pts({{0, 1.5}, {255, 200}});
    pts[1].type = static_cast<CUBESPLINE_POINT_TYPE>(0x01020304);
    TKrInterpolationCubeSpline s(pts);
    s.SetRange(0x1'0000'0100ul, false, false); // only the low 32 bits are stored
    const auto bytes = Bytes(s);
    ASSERT_EQ(bytes.size(), 60u);
    const unsigned char head[20] = {'I', 'C', 'R', 'V', 'R', 'A', 'N', 'G', 0x00, 0x01, 0, 0,
                                    'P', 'N', 'T', 'S', 2, 0, 0, 0};
    EXPECT_EQ(std::memcmp(bytes.data(), head, 20), 0);
    const unsigned char type1[4] = {4, 3, 2, 1};
    EXPECT_EQ(std::memcmp(bytes.data() + 40, type1, 4), 0);
    double y0;
    std::memcpy(&y0, bytes.data() + 32, 8);
    EXPECT_EQ(y0, 1.5);

    TKrInterpolationCubeSpline back;
    TKrFixedMemStream in(bytes.data(), bytes.size());
    ASSERT_TRUE(back.Load(&in, true));
    EXPECT_EQ(back.GetRange(), 256u);
    EXPECT_EQ(back.Points()[1].type, pts[1].type);
    EXPECT_EQ(back.Points()[0].a1, s.Points()[0].a1);

    TKrInterpolationCubeSpline empty;
    empty.SetRange(77, false, false);
    empty.SetPoints({}, false);
    const auto rec0 = Bytes(empty);
    TKrFixedMemStream in0b(rec0.data(), rec0.size());
    ASSERT_TRUE(back.Load(&in0b, true));
    EXPECT_TRUE(back.Points().empty());
    EXPECT_EQ(back.GetRange(), 77u);

    // A stream that takes fewer bytes than asked stops Save at once.
    for (std::size_t room : {0, 19, 20, 23, 24, 43, 59}) {
        std::vector<unsigned char> buf(room + 1);
        TKrFixedMemStream out(buf.data(), room, krOpenWrite);
        EXPECT_FALSE(s.Save(&out)) << room;
    }
}

TEST(InterpolationCubeSpline, DamagedRecordsLeaveTheCurveAlone) {
    TKrInterpolationCubeSpline s(Pts({{0, 0}, {90, 30}, {255, 255}}));
    const auto good = Bytes(s);
    TKrInterpolationCubeSpline target(Pts({{10, 20}, {200, 100}}));
    target.SetRange(1000, false, false);
    const auto expectTable = Table(target);
    auto check = [&](const std::vector<unsigned char>& rec, const std::string& what) {
        TKrFixedMemStream in(rec.data(), rec.size());
        EXPECT_FALSE(target.Load(&in, true)) << what;
        EXPECT_EQ(target.GetRange(), 1000u) << what;
        EXPECT_EQ(target.Points().size(), 2u) << what;
        EXPECT_EQ(Table(target), expectTable) << what;
    };
    for (std::size_t len = 0; len < good.size(); ++len)
        check({good.begin(), good.begin() + static_cast<long>(len)}, "truncated to " + std::to_string(len));
    for (std::size_t at : {0, 1, 2, 3, 4, 5, 6, 7, 12, 13, 14, 15}) {
        auto bad = good;
        bad[at] ^= 0x20;
        check(bad, "tag byte " + std::to_string(at));
    }
    auto forged = good; // a count far beyond the data
    forged[19] = 0x7f;
    check(forged, "count");
    for (std::size_t at : {24, 32, 44}) {
        auto bad = good;
        const double v = at == 32 ? INFINITY : kNaN;
        std::memcpy(bad.data() + at, &v, 8);
        check(bad, "non-finite at " + std::to_string(at));
    }
}
