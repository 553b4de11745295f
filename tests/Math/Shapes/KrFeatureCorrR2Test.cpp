// Figure routines against hand values, the contour walk, the r²(φ) series both ways, and shape
// scores: copies turned, scaled, moved and reversed match and reveal the turn and the scale;
// different shapes and mirror images score lower; degenerate figures score 0 without NaNs.
#include "Math/Shapes/KrFeatureCorrR2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

using Spectrum = std::vector<FeatureCorrR2_Internal::TFourierComp>;
constexpr double kPi = 3.14159265358979323846;

// Closes a figure for the contour integrals, which run over consecutive pairs only.
TKrFigure Closed(TKrFigure f) {
    if (!f.empty()) f.push_back(f.front());
    return f;
}

// A polar figure r(φ) sampled at n angles, counter-clockwise and closed.
template <class R>
TKrFigure Polar(R r, int n) {
    TKrFigure f;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * kPi * i / n;
        f.emplace_back(r(a) * std::cos(a), r(a) * std::sin(a));
    }
    return Closed(f);
}

TKrFigure Circle(double r, int n = 720) { return Polar([r](double) { return r; }, n); }

// A star whose arms lean sideways, so that it differs from its mirror image.
TKrFigure LeaningStar() {
    TKrFigure f;
    for (int i = 0; i < 5; ++i) {
        const double a = 2 * kPi * i / 5;
        f.emplace_back(3 * std::cos(a), 3 * std::sin(a));
        f.emplace_back(1.2 * std::cos(a + 0.3), 1.2 * std::sin(a + 0.3));
    }
    return Closed(f);
}

// An irregular hexagon: no turn but the full one maps it onto itself.
TKrFigure Blob() { return Closed({{0, 0}, {4, -1}, {6, 1}, {5, 4}, {2, 5}, {-1, 2}}); }

TKrFigure Transformed(TKrFigure f, double turn, double scale, vec2d shift, bool reverse) {
    RotateFigure(f, turn);
    ScaleFigure(f, scale);
    MoveFigure(f, shift);
    if (reverse) RevertFigure(f);
    return f;
}

bool AllZero(const Spectrum& s) {
    for (const auto& c : s)
        if (c.re != 0 || c.im != 0) return false;
    return true;
}

double AngleDiff(double a, double b) {
    const double d = std::fmod(std::fabs(a - b), 2 * kPi);
    return std::min(d, 2 * kPi - d);
}

TEST(KrFigure, AreaCentroidSizeOrientation) {
    struct Case {
        const char* name;
        TKrFigure f;
        double area;
        vec2d centre;
        double size;
    } cases[] = {
        {"unit square ccw", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 1, {0.5, 0.5}, 1},
        {"square closed", {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, 1, {0.5, 0.5}, 1},
        {"square cw", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, -1, {0.5, 0.5}, 1},
        {"triangle", {{0, 0}, {6, 0}, {0, 3}}, 9, {2, 1}, 6},
        {"L shape", {{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, 3, {5.0 / 6, 5.0 / 6}, 2},
        {"far-off rectangle", {{1e6, 1e6}, {1e6 + 4, 1e6}, {1e6 + 4, 1e6 + 2}, {1e6, 1e6 + 2}}, 8,
         {1e6 + 2, 1e6 + 1}, 4},
        // Degenerate: the last point is the centroid and the area is 0.
        {"no points", {}, 0, {0, 0}, 0},
        {"one point", {{3, 4}}, 0, {3, 4}, 0},
        {"two points", {{0, 0}, {2, 1}}, 0, {2, 1}, 2},
        {"collinear", {{0, 0}, {1, 1}, {3, 3}}, 0, {3, 3}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        double area = -99;
        const vec2d centre = CalcFigureCenter(c.f, &area);
        EXPECT_NEAR(area, c.area, 1e-9);
        EXPECT_NEAR(CalcSignedFigureArea(c.f), c.area, 1e-9);
        EXPECT_NEAR(centre.x, c.centre.x, 1e-9);
        EXPECT_NEAR(centre.y, c.centre.y, 1e-9);
        EXPECT_EQ(FigureSize(c.f), c.size);
        EXPECT_EQ(FigureOrient(c.f), c.area > 0 ? 1 : c.area < 0 ? -1 : 0);
        TKrFigure moved = c.f;
        CenterFigure(moved);
        const vec2d after = CalcFigureCenter(moved);
        EXPECT_NEAR(after.x, 0, 1e-9);
        EXPECT_NEAR(after.y, 0, 1e-9);
    }
}

TEST(KrFigure, Ceil2Power) {
    const unsigned long top = 1UL << (sizeof(unsigned long) * CHAR_BIT - 1);
    const unsigned long cases[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, 4}, {256, 256}, {257, 512},
                                      {top, top}, {top + 1, 0}, {ULONG_MAX, 0}};
    for (const auto& c : cases) EXPECT_EQ(Ceil2Power(c[0]), c[1]) << c[0];
}

struct Recorder : ContourIntegral::TCoreFunc {
    double sum = 0;
    std::vector<std::pair<vec2d, double>> calls;
    void Add(const vec2d& q, double e) override {
        sum += e;
        calls.emplace_back(q, e);
    }
};

TEST(KrContourIntegral, SumsAreaLengthAndAngle) {
    const TKrFigure tri = Closed({{0, 0}, {6, 0}, {0, 3}});
    Recorder r2, dl, rdphi;
    ContourIntegral::Integral_r2_dphi(r2, tri);
    ContourIntegral::Integral_dl(dl, tri);
    EXPECT_NEAR(r2.sum, 2 * 9, 1e-9);
    EXPECT_NEAR(dl.sum, 9 + std::sqrt(45.0), 1e-9);
    FeatureCorrR2_Internal::Integral_r_dphi(rdphi, Circle(2));
    EXPECT_NEAR(rdphi.sum, 2 * kPi * 2, 1e-3);

    // An edge under a thousandth of the size is one sample at its start with weight 1.
    Recorder tiny;
    ContourIntegral::Integral_dl(tiny, {{0, 0}, {1, 0}, {1, 0.0005}});
    ASSERT_FALSE(tiny.calls.empty());
    EXPECT_EQ(tiny.calls.back().first, vec2d(1, 0));
    EXPECT_DOUBLE_EQ(tiny.calls.back().second, 0.0005);

    Recorder none;
    ContourIntegral::Integral_dl(none, {{1, 1}});
    ContourIntegral::Integral_r2_dphi(none, {{1, 1}, {1, 1}, {1, 1}});
    EXPECT_TRUE(none.calls.empty());
}

TEST(KrFeatureCorrR2, CircleSeriesIsItsRadiusSquared) {
    for (bool clockwise : {false, true}) {
        TKrFigure c = Circle(3);
        MoveFigure(c, vec2d(50, -20));
        if (clockwise) RevertFigure(c);
        CenterFigure(c);
        const Spectrum s = FeatureCorrR2_Internal::FigureToFourier_r2dphi(c, 9);
        ASSERT_EQ(s.size(), 9u);
        EXPECT_NEAR(s[0].re, clockwise ? -9 : 9, 1e-3);
        EXPECT_EQ(s[0].im, 0);
        for (std::size_t k = 1; k < s.size(); ++k) {
            EXPECT_NEAR(s[k].re, 0, 1e-3) << k;
            EXPECT_NEAR(s[k].im, 0, 1e-3) << k;
        }
    }
}

TEST(KrFeatureCorrR2, SeriesForwardAndBack) {
    // r²(φ) = 4 + 1.5·cos 3φ + 0.5·sin 2φ: the series must find exactly these terms.
    auto r2 = [](double a) { return 4 + 1.5 * std::cos(3 * a) + 0.5 * std::sin(2 * a); };
    const TKrFigure f = Polar([&](double a) { return std::sqrt(r2(a)); }, 4000);
    const Spectrum s = FeatureCorrR2_Internal::FigureToFourier_r2dphi(f, 6);
    // Each sample stands for the step after it, which turns harmonic k by about k/2 of a step.
    const double want[6][2] = {{4, 0}, {0, 0}, {0, 0.5}, {1.5, 0}, {0, 0}, {0, 0}};
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(s[k].re, want[k][0], 5e-3) << k;
        EXPECT_NEAR(s[k].im, want[k][1], 5e-3) << k;
    }

    const TKrFigure back = FeatureCorrR2_Internal::FigureFromFourier_r2dphi(s);
    ASSERT_EQ(back.size(), 16u * 6 + 1);
    EXPECT_EQ(back.front(), back.back());
    for (std::size_t j = 0; j + 1 < back.size(); ++j) {
        const double a = 2 * kPi * j / 96;
        EXPECT_NEAR(norm2(back[j]), r2(a), 5e-3) << j;
        EXPECT_NEAR(std::atan2(back[j].y, back[j].x), std::remainder(a, 2 * kPi), 1e-9) << j;
    }
    // The rebuilt curve has the same spectrum (up to its coarser sampling).
    const Spectrum again = FeatureCorrR2_Internal::FigureToFourier_r2dphi(back, 6);
    for (int k = 0; k < 6; ++k) {
        EXPECT_NEAR(again[k].re, s[k].re, 2e-2) << k;
        EXPECT_NEAR(again[k].im, s[k].im, 2e-2) << k;
    }

    // A clockwise spectrum rebuilds a clockwise curve; a negative series flips the point over.
    Spectrum cw = s;
    for (auto& c : cw) c.re = -c.re, c.im = -c.im;
    EXPECT_EQ(FigureOrient(FeatureCorrR2_Internal::FigureFromFourier_r2dphi(cw)), -1);
    const TKrFigure dip = FeatureCorrR2_Internal::FigureFromFourier_r2dphi({{1, 0}, {2, 0}});
    EXPECT_NEAR(dip[16].x, 1, 1e-12); // θ = π: v = 1 − 2 = −1, r = −1
    EXPECT_TRUE(FeatureCorrR2_Internal::FigureFromFourier_r2dphi({}).empty());
}

TEST(KrFeatureCorrR2, CopiesMatchAndRevealTurnAndScale) {
    struct Case {
        const char* name;
        TKrFigure f;
        double turn, scale;
        vec2d shift;
        bool reverse;
    } cases[] = {
        {"blob as is", Blob(), 0, 1, {0, 0}, false},
        {"blob turned", Blob(), 1.1, 1, {0, 0}, false},
        {"blob turned, scaled, moved", Blob(), 4.0, 2.5, {-300, 70}, false},
        {"blob shrunk and reversed", Blob(), 2.2, 0.01, {1, 1}, true},
        {"star turned and moved", LeaningStar(), 0.5, 3, {10, 10}, false},
    };
    TFeatureCorrR2 corr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TKrFigure g = Transformed(c.f, c.turn, c.scale, c.shift, c.reverse);
        const Spectrum a = corr.CalcFeature(c.f), b = corr.CalcFeature(g);
        ASSERT_EQ(a.size(), 17u);
        double turn = -1;
        EXPECT_NEAR(corr.Correlate(a, b, &turn), 1, 1e-3);
        EXPECT_LE(corr.Correlate(a, b), 1 + 1e-12);
        // The star repeats every fifth of a turn; the blob only after a full one.
        const double period = c.f.size() == 11 ? 2 * kPi / 5 : 2 * kPi;
        const double off = std::fmod(AngleDiff(turn, c.turn), period);
        EXPECT_LE(std::min(off, period - off), 2 * kPi / 256) << turn;
        EXPECT_NEAR(std::sqrt(b[0].re / a[0].re), c.scale, 1e-3 * c.scale);
        EXPECT_NEAR(FeatureCorrR2(c.f, g), 1, 1e-3);
    }
}

TEST(KrFeatureCorrR2, DifferentShapesScoreLower) {
    TFeatureCorrR2 corr;
    const TKrFigure square = Closed({{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    const Spectrum sq = corr.CalcFeature(square), ci = corr.CalcFeature(Circle(1));
    // The circle has only the mean, so the score is the square's share of energy in its mean.
    double energy = 0;
    for (const auto& c : sq) energy += c.re * c.re + c.im * c.im;
    const double share = sq[0].re / std::sqrt(energy);
    EXPECT_LT(share, 0.99);
    EXPECT_NEAR(corr.Correlate(sq, ci), share, 1e-3);
    EXPECT_NEAR(FeatureCorrR2(square, Circle(1)), share, 1e-3);

    // A leaning star and its mirror image: the mirror is no turn of the original.
    const TKrFigure star = LeaningStar();
    TKrFigure mirror = star;
    for (vec2d& p : mirror) p.y = -p.y;
    const double self = corr.Correlate(corr.CalcFeature(star), corr.CalcFeature(star));
    const Spectrum a = corr.CalcFeature(star);
    const double mirrored = corr.Correlate(a, corr.CalcFeature(mirror));
    // The mirror's feature is the conjugate, so the score is max over θ of Σ Re(a_k²·e^(−ikθ)) / Σ|a_k|².
    double energy2 = 0, best = 0;
    for (const auto& c : a) energy2 += c.re * c.re + c.im * c.im;
    for (int j = 0; j < 256; ++j) {
        double v = 0;
        for (std::size_t k = 0; k < a.size(); ++k) {
            const double re = a[k].re * a[k].re - a[k].im * a[k].im, im = 2 * a[k].re * a[k].im;
            v += re * std::cos(2 * kPi * k * j / 256) + im * std::sin(2 * kPi * k * j / 256);
        }
        best = std::max(best, v / energy2);
    }
    EXPECT_NEAR(self, 1, 1e-9);
    EXPECT_NEAR(mirrored, best, 1e-6);
    EXPECT_LT(mirrored, 0.975); // the mean of r² dominates every score
    EXPECT_LT(FeatureCorrR2(star, mirror), 0.975);
    // Direction of travel does not count in either form.
    TKrFigure back = star;
    RevertFigure(back);
    // (up to the sampling, which starts at the other end of each edge)
    EXPECT_NEAR(corr.Correlate(a, corr.CalcFeature(back)), 1, 1e-4);
    EXPECT_NEAR(FeatureCorrR2(star, back), 1, 1e-4);
}

TEST(KrFeatureCorrR2, MaximumSearch) {
    TFeatureCorrR2 corr;
    EXPECT_EQ(corr.FindFigureMax({}), 0);
    EXPECT_EQ(corr.FindFigureMax({{-0.5, 3}}), -0.5);
    EXPECT_EQ(corr.FindFigureMax({{-1, 0}, {0.1, 0}}), 0);
    // 0.2 + 0.8·cos(θ − π/2) peaks at θ = π/2 with 1; a second, longer search reuses nothing stale.
    double angle = 0;
    EXPECT_NEAR(corr.FindFigureMax({{0.2, 0}, {0, 0.8}}, &angle), 1, 1e-12);
    EXPECT_NEAR(angle, kPi / 2, 1e-12);
    EXPECT_NEAR(corr.FindFigureMax({{0.2, 0}, {0, 0}, {0, 0}, {-0.8, 0}}, &angle), 1, 1e-12);
    EXPECT_NEAR(std::fmod(angle, 2 * kPi / 3), kPi / 3, 1e-12);
    corr.m_oversampling = 0; // no table at all: nothing beats 0
    EXPECT_EQ(corr.FindFigureMax({{0.2, 0}, {0, 0.8}}), 0);
}

TEST(KrFeatureCorrR2, DegenerateFiguresScoreZero) {
    const TKrFigure degenerate[] = {{}, {{1, 2}}, {{1, 2}, {3, 4}}, {{5, 5}, {5, 5}, {5, 5}, {5, 5}},
                                    {{0, 0}, {1, 1}, {3, 3}, {0, 0}}};
    TFeatureCorrR2 corr;
    const Spectrum good = corr.CalcFeature(Blob());
    for (const TKrFigure& f : degenerate) {
        SCOPED_TRACE(f.size());
        const Spectrum s = corr.CalcFeature(f);
        EXPECT_EQ(s.size(), 17u);
        EXPECT_TRUE(AllZero(s));
        double turn = -1;
        EXPECT_EQ(corr.Correlate(good, s, &turn), 0);
        EXPECT_EQ(turn, 0);
        EXPECT_EQ(corr.Correlate(s, s), 0);
        EXPECT_EQ(FeatureCorrR2(f, Blob()), 0);
        EXPECT_EQ(FeatureCorrR2(f, f), 0);
    }
    EXPECT_TRUE(FeatureCorrR2_Internal::FigureToFourier_r2dphi(Blob(), 0).empty());
    EXPECT_EQ(corr.Correlate({}, good), 0);
}

} // namespace
