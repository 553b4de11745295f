// Figure routines against hand values, the contour walk, the r²(φ) series both ways, and scores
// of copies (matching, with their turn and scale), other shapes, mirror images and degenerates.
#include "Math/Shapes/KrFeatureCorrR2.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <complex>
#include <vector>

namespace {

using Spectrum = std::vector<FeatureCorrR2_Internal::TFourierComp>;
using FeatureCorrR2_Internal::FigureFromFourier_r2dphi;
using FeatureCorrR2_Internal::FigureToFourier_r2dphi;
constexpr double kPi = 3.14159265358979323846;

// A polar figure r(φ) at n angles, counter-clockwise, closed by repeating the first point.
template <class R> TKrFigure Polar(R r, int n, double twist = 0) {
    TKrFigure f;
    for (int i = 0; i <= n; ++i) {
        const double a = 2 * kPi * (i % n) / n + (i % 2 ? twist : 0);
        f.emplace_back(r(i) * std::cos(a), r(i) * std::sin(a));
    }
    return f;
}
TKrFigure Circle(double r) {
    return Polar([r](int) { return r; }, 720);
}
// Five arms whose inner corners lean sideways, so that the star differs from its mirror image.
TKrFigure LeaningStar() {
    return Polar([](int i) { return i % 2 ? 1.2 : 3.0; }, 10, 0.3 - kPi / 5);
}
// An irregular hexagon: only a full turn maps it onto itself.
TKrFigure Blob() {
    return {{0, 0}, {4, -1}, {6, 1}, {5, 4}, {2, 5}, {-1, 2}, {0, 0}};
}

double Energy(const Spectrum& s) {
    double e = 0;
    for (const auto& c : s)
        e += c.re * c.re + c.im * c.im;
    return e;
}

TEST(KrFigure, AreaCentroidSizeOrientation) {
    const struct {
        TKrFigure f;
        double area;
        vec2d centre;
        double size;
    } cases[] = {
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}}, 1, {0.5, 0.5}, 1},
        {{{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}, 1, {0.5, 0.5}, 1}, // closed: same
        {{{0, 0}, {0, 1}, {1, 1}, {1, 0}}, -1, {0.5, 0.5}, 1},
        {{{0, 0}, {6, 0}, {0, 3}}, 9, {2, 1}, 6},
        {{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}, 3, {5.0 / 6, 5.0 / 6}, 2},
        {{{1e6, 1e6}, {1e6 + 4, 1e6}, {1e6 + 4, 1e6 + 2}, {1e6, 1e6 + 2}}, 8, {1e6 + 2, 1e6 + 1}, 4},
        // No area: the last point is the centroid.
        {{}, 0, {0, 0}, 0},
        {{{3, 4}}, 0, {3, 4}, 0},
        {{{0, 0}, {1, 1}, {3, 3}}, 0, {3, 3}, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.f.size());
        double area = -99;
        const vec2d centre = CalcFigureCenter(c.f, &area);
        EXPECT_NEAR(area, c.area, 1e-9);
        EXPECT_NEAR(CalcSignedFigureArea(c.f), c.area, 1e-9);
        EXPECT_NEAR(norm(centre - c.centre), 0, 1e-9);
        EXPECT_EQ(FigureSize(c.f), c.size);
        EXPECT_EQ(FigureOrient(c.f), c.area > 0 ? 1 : c.area < 0 ? -1 : 0);
    }
    const unsigned long top = 1UL << (sizeof(unsigned long) * CHAR_BIT - 1);
    const unsigned long pow2[][2] = {{0, 0},     {1, 1},     {3, 4},      {256, 256},
                                     {257, 512}, {top, top}, {top + 1, 0}};
    for (const auto& c : pow2)
        EXPECT_EQ(Ceil2Power(c[0]), c[1]) << c[0];
}

struct Recorder : ContourIntegral::TCoreFunc {
    double sum = 0;
    std::vector<std::pair<vec2d, double>> calls;
    void Add(const vec2d& q, double e) override { sum += e, calls.emplace_back(q, e); }
};

TEST(KrContourIntegral, SumsAreaLengthAndAngle) {
    Recorder r2, dl, rdphi, tiny;
    ContourIntegral::Integral_r2_dphi(r2, {{0, 0}, {6, 0}, {0, 3}, {0, 0}});
    ContourIntegral::Integral_dl(dl, {{0, 0}, {6, 0}, {0, 3}, {0, 0}});
    FeatureCorrR2_Internal::Integral_r_dphi(rdphi, Circle(2));
    EXPECT_NEAR(r2.sum, 2 * 9, 1e-9);
    EXPECT_NEAR(dl.sum, 9 + std::sqrt(45.0), 1e-9);
    EXPECT_NEAR(rdphi.sum, 2 * kPi * 2, 1e-3);
    // An edge under a thousandth of the size is one sample at its start with weight 1.
    ContourIntegral::Integral_dl(tiny, {{0, 0}, {1, 0}, {1, 0.0005}});
    ASSERT_FALSE(tiny.calls.empty());
    EXPECT_EQ(tiny.calls.back().first, vec2d(1, 0));
    EXPECT_DOUBLE_EQ(tiny.calls.back().second, 0.0005);
}

TEST(KrFeatureCorrR2, SeriesForwardAndBack) {
    // A circle anywhere, centred, has only its mean: ±R² by direction of travel.
    TKrFigure circle = Circle(3);
    MoveFigure(circle, vec2d(50, -20));
    RevertFigure(circle);
    CenterFigure(circle);
    const Spectrum c = FigureToFourier_r2dphi(circle, 9);
    EXPECT_NEAR(c[0].re, -9, 1e-3);
    EXPECT_NEAR(Energy(c) - c[0].re * c[0].re, 0, 1e-6);

    // r²(φ) = 4 + 1.5·cos 3φ + 0.5·sin 2φ. Each sample stands for the step after it, which turns
    // harmonic k by about k/2 of a step: hence the tolerance.
    auto r2 = [](double a) { return 4 + 1.5 * std::cos(3 * a) + 0.5 * std::sin(2 * a); };
    const Spectrum s =
        FigureToFourier_r2dphi(Polar([&](int i) { return std::sqrt(r2(2 * kPi * i / 4000)); }, 4000), 6);
    const double want[6][2] = {{4, 0}, {0, 0}, {0, 0.5}, {1.5, 0}, {0, 0}, {0, 0}};
    for (int k = 0; k < 6; ++k)
        EXPECT_NEAR(std::hypot(s[k].re - want[k][0], s[k].im - want[k][1]), 0, 5e-3) << k;

    const TKrFigure back = FigureFromFourier_r2dphi(s);
    ASSERT_EQ(back.size(), 16u * 6 + 1);
    EXPECT_EQ(back.front(), back.back());
    for (std::size_t j = 0; j + 1 < back.size(); ++j) {
        EXPECT_NEAR(norm2(back[j]), r2(2 * kPi * j / 96), 5e-3) << j;
        EXPECT_NEAR(std::atan2(back[j].y, back[j].x), std::remainder(2 * kPi * j / 96, 2 * kPi), 1e-9) << j;
    }

    // A negative mean rebuilds a clockwise curve; a negative value puts the point opposite.
    EXPECT_EQ(FigureOrient(FigureFromFourier_r2dphi(c)), -1);
    EXPECT_NEAR(FigureFromFourier_r2dphi({{1, 0}, {2, 0}})[16].x, 1, 1e-12); // θ = π: r = −1
    EXPECT_TRUE(FigureFromFourier_r2dphi({}).empty());
}

TEST(KrFeatureCorrR2, CopiesMatchAndRevealTurnAndScale) {
    const struct {
        TKrFigure f;
        double turn, scale, period;
        vec2d shift;
        bool reverse;
    } cases[] = {
        {Blob(), 1.1, 1, 2 * kPi, {0, 0}, false},
        {Blob(), 4.0, 2.5, 2 * kPi, {-300, 70}, false},
        {Blob(), 2.2, 0.01, 2 * kPi, {1, 1}, true},
        {LeaningStar(), 0.5, 3, 2 * kPi / 5, {10, 10}, false}, // five-fold: turns modulo a fifth
    };
    TFeatureCorrR2 corr;
    for (const auto& c : cases) {
        TKrFigure g = c.f;
        RotateFigure(g, c.turn);
        ScaleFigure(g, c.scale);
        MoveFigure(g, c.shift);
        if (c.reverse) RevertFigure(g);
        const Spectrum a = corr.CalcFeature(c.f), b = corr.CalcFeature(g);
        ASSERT_EQ(a.size(), 17u);
        double turn = -1;
        EXPECT_NEAR(corr.Correlate(a, b, &turn), 1, 1e-3);
        const double off = std::fmod(std::fabs(turn - c.turn) + 2 * kPi, c.period);
        EXPECT_LE(std::min(off, c.period - off), 2 * kPi / 256) << turn;
        EXPECT_NEAR(std::sqrt(b[0].re / a[0].re), c.scale, 1e-3 * c.scale);
        EXPECT_NEAR(FeatureCorrR2(c.f, g), 1, 1e-3);
    }
}

TEST(KrFeatureCorrR2, OtherShapesScoreWhatTheSpectraSay) {
    TFeatureCorrR2 corr;
    // The circle has only a mean, so the square scores its energy's share in the mean.
    const TKrFigure square = {{0, 0}, {2, 0}, {2, 2}, {0, 2}, {0, 0}};
    const Spectrum sq = corr.CalcFeature(square);
    const double share = sq[0].re / std::sqrt(Energy(sq));
    EXPECT_LT(share, 0.99);
    EXPECT_NEAR(corr.Correlate(sq, corr.CalcFeature(Circle(1))), share, 1e-3);
    EXPECT_NEAR(FeatureCorrR2(square, Circle(1)), share, 1e-3);

    // A mirror image has the conjugate feature: max over θ of Σ Re(a_k²·e^(−ikθ)) / Σ|a_k|².
    const TKrFigure star = LeaningStar();
    TKrFigure mirror = star, back = star;
    for (vec2d& p : mirror)
        p.y = -p.y;
    RevertFigure(back);
    const Spectrum a = corr.CalcFeature(star);
    double best = 0;
    for (int j = 0; j < 256; ++j) {
        std::complex<double> v;
        for (std::size_t k = 0; k < a.size(); ++k)
            v +=
                std::pow(std::complex<double>(a[k].re, a[k].im), 2) * std::polar(1.0, -2 * kPi * k * j / 256);
        best = std::max(best, v.real() / Energy(a));
    }
    const double mirrored = corr.Correlate(a, corr.CalcFeature(mirror));
    EXPECT_NEAR(mirrored, best, 1e-6);
    EXPECT_LT(mirrored, 0.975); // the mean of r² weighs in every score
    EXPECT_LT(FeatureCorrR2(star, mirror), 0.975);
    // The direction of travel does not count (up to sampling from the other end of each edge).
    EXPECT_NEAR(corr.Correlate(a, corr.CalcFeature(back)), 1, 1e-4);
    EXPECT_NEAR(FeatureCorrR2(star, back), 1, 1e-4);
}

TEST(KrFeatureCorrR2, MaximumSearch) {
    TFeatureCorrR2 corr;
    double angle = -1;
    EXPECT_EQ(corr.FindFigureMax({}), 0);
    EXPECT_EQ(corr.FindFigureMax({{-0.5, 3}}), -0.5); // a lone mean is returned as it is
    EXPECT_EQ(corr.FindFigureMax({{-1, 0}, {0.1, 0}}), 0);
    EXPECT_NEAR(corr.FindFigureMax({{0.2, 0}, {0, 0.8}}, &angle), 1, 1e-12); // 0.2 + 0.8·sin θ
    EXPECT_NEAR(angle, kPi / 2, 1e-12);
    // A larger table replaces the cached one: 0.2 − 0.8·cos 3θ peaks at θ = π/3 (mod 2π/3).
    EXPECT_NEAR(corr.FindFigureMax({{0.2, 0}, {0, 0}, {0, 0}, {-0.8, 0}}, &angle), 1, 1e-12);
    EXPECT_NEAR(std::fmod(angle, 2 * kPi / 3), kPi / 3, 1e-12);
    corr.m_oversampling = 0; // no angles at all: nothing beats 0
    EXPECT_EQ(corr.FindFigureMax({{0.2, 0}, {0, 0.8}}), 0);
}

TEST(KrFeatureCorrR2, DegenerateFiguresScoreZero) {
    TFeatureCorrR2 corr;
    const Spectrum good = corr.CalcFeature(Blob());
    for (const TKrFigure& f :
         {TKrFigure{}, TKrFigure{{1, 2}}, TKrFigure{{1, 2}, {3, 4}}, TKrFigure{{5, 5}, {5, 5}, {5, 5}},
          TKrFigure{{0, 0}, {1, 1}, {3, 3}, {0, 0}}}) {
        const Spectrum s = corr.CalcFeature(f);
        double turn = -1;
        EXPECT_TRUE(s.size() == 17 && Energy(s) == 0) << f.size();
        EXPECT_TRUE(corr.Correlate(good, s, &turn) == 0 && turn == 0 && corr.Correlate(s, s) == 0)
            << f.size();
        EXPECT_TRUE(FeatureCorrR2(f, Blob()) == 0 && FeatureCorrR2(f, f) == 0) << f.size();
    }
    EXPECT_TRUE(FigureToFourier_r2dphi(Blob(), 0).empty());
}

} // namespace
