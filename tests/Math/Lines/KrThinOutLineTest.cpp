// Polyline thinning and densifying: the thinned line stays in the corridor (brute force), the
// end and closing rules, removal marks, one-sided corridors, and the densified piece lengths.
#include "Math/Lines/KrThinOutLine.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <vector>

namespace {

using Line = std::vector<vec3d>;

double SegDist(const vec3d& p, const vec3d& a, const vec3d& b, bool useZ) {
    vec3d ab = b - a, ap = p - a;
    if (!useZ) ab.z = ap.z = 0;
    const double l2 = norm2(ab);
    const double t = l2 > 0 ? std::fmax(0.0, std::fmin(1.0, dot(ap, ab) / l2)) : 0.0;
    return norm(ap - ab * t);
}

// Largest distance from an original vertex to the thinned line (its closing piece included).
double Deviation(const Line& orig, const Line& thin, bool closed, bool useZ = false) {
    double worst = 0;
    for (const vec3d& p : orig) {
        double best = INFINITY;
        const std::size_t pieces = closed || thin.size() == 1 ? thin.size() : thin.size() - 1;
        for (std::size_t i = 0; i < pieces; ++i)
            best = std::fmin(best, SegDist(p, thin[i], thin[(i + 1) % thin.size()], useZ));
        worst = std::fmax(worst, best);
    }
    return worst;
}

// A wobbly line with a reproducible generator: open along x, or closed around a circle.
Line Wobbly(std::size_t n, bool closed, std::uint32_t seed) {
    Line out;
    auto rnd = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) / double(1u << 24) - 0.5;
    };
    for (std::size_t i = 0; i < n; ++i) {
        const double t = closed ? 2 * M_PI * double(i) / double(n) : double(i) * 0.1;
        const double r = 10 + 0.06 * rnd();
        out.push_back(closed ? vec3d{r * std::cos(t), r * std::sin(t), double(i)}
                             : vec3d{t, std::sin(t) + 0.06 * rnd(), 0.06 * rnd()});
    }
    return out;
}

bool IsSubsequence(const Line& sub, const Line& of) {
    std::size_t i = 0;
    for (const vec3d& p : sub) {
        while (i < of.size() && of[i] != p)
            ++i;
        if (i++ >= of.size()) return false;
    }
    return true;
}

TEST(ThinOutLine, StaysInsideTheCorridor) {
    for (bool closed : {false, true})
        for (double tol : {0.02, 0.05, 0.09, 1.0}) {
            SCOPED_TRACE(testing::Message() << "closed " << closed << " tol " << tol);
            const Line orig = Wobbly(400, closed, 7);
            Line a = orig, e = orig;
            ASSERT_TRUE(ThinOutLine(a, closed, tol));
            ASSERT_TRUE(ThinOutLineE(e, closed, tol, tol));
            // Below the vertex spacing no vertex coincides, and the corridor pass alone keeps one
            // width; the collinear pass measures from an anchor's direction and may reach three.
            // Coincident vertices (within a square of tol) add up to sqrt(2) widths.
            const double extra = tol < 0.1 ? 0 : std::sqrt(2.0);
            EXPECT_LE(Deviation(orig, a, closed), (3 + extra) * tol);
            EXPECT_LE(Deviation(orig, e, closed), (1 + extra) * tol * (1 + 1e-12));
            for (const Line* t : {&a, &e}) {
                EXPECT_LT(t->size(), tol < 0.05 ? orig.size() : orig.size() / 2);
                EXPECT_TRUE(IsSubsequence(*t, orig));
                if (!closed) {
                    EXPECT_EQ((*t)[0], orig[0]);
                    EXPECT_EQ(t->back(), orig.back());
                }
            }
            std::vector<std::size_t> idx;
            Line s;
            ASSERT_TRUE(ThinOutLine3d(orig, closed, tol, &idx, &s));
            ASSERT_EQ(idx.size(), s.size());
            for (std::size_t i = 0; i < idx.size(); ++i)
                EXPECT_EQ(s[i], orig[idx[i]]);
            EXPECT_LE(Deviation(orig, s, closed, true),
                      (1 + (tol < 0.1 ? 0 : std::sqrt(3.0))) * tol * (1 + 1e-12));
        }
}

TEST(ThinOutLine, EndsCoincidenceAndMarks) {
    const double big = DBL_MAX;
    struct Case {
        const char* what;
        Line in;
        unsigned closed;
        Line out;
    } cases[] = {
        {"open, last two coincide", {{0, 0, 0}, {5, 0, 1}, {5.001, 0, 2}}, 0, {{0, 0, 0}, {5.001, 0, 2}}},
        {"closed ring within tol", {{0, 0, 0}, {0.001, 0, 1}, {0, 0.002, 2}, {-0.001, 0, 3}}, 1, {{0, 0, 0}}},
        {"open line all coincident", {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}, {0, 0, 3}}, 0, {{0, 0, 0}, {0, 0, 3}}},
        {"closed: vertex 0 meets the last",
         {{0, 0, 0}, {1, 0, 1}, {1, 1, 2}, {0.001, 0, 3}},
         1,
         {{1, 0, 1}, {1, 1, 2}, {0.001, 0, 3}}},
        {"marked vertex goes alone",
         {{0, 0, 0}, {1, 1, big}, {2, 0, 2}, {3, 1, 3}},
         0,
         {{0, 0, 0}, {2, 0, 2}, {3, 1, 3}}},
    };
    for (const Case& c : cases) {
        Line l = c.in;
        EXPECT_TRUE(RemoveLineCoincidedVertices(l, c.closed, 0.01));
        EXPECT_EQ(l, c.out) << c.what;
    }
    // The 3d form keeps vertices apart in z only.
    Line l = {{0, 0, 0}, {0, 0, 1}, {0, 0, 2}, {1, 0, 3}};
    EXPECT_TRUE(RemoveLineCoincidedVertices3d(l, 0, 0.01) && l.size() == 4u);
}

TEST(ThinOutLine, StraightLinesAndOneSidedCorridor) {
    Line straight;
    for (int i = 0; i < 10; ++i)
        straight.push_back({double(i), 2.0 * i, double(i)});
    Line l = straight;
    EXPECT_TRUE(ThinOutLine(l, 0, 1e-9));
    EXPECT_EQ(l, (Line{straight.front(), straight.back()}));

    // The chord that reaches the last vertex keeps the vertex before it.
    l = {{0, 0, 0}, {1, 0.05, 0}, {2, -0.05, 0}, {3, 0, 0}, {4, 0, 0}};
    EXPECT_TRUE(ThinOutLineE(l, 0, 0.1, 0.1));
    EXPECT_EQ(l, (Line{{0, 0, 0}, {3, 0, 0}, {4, 0, 0}}));

    // Heading +x, a negative y lies right of the chord: only the right bulge may go.
    const Line bumps = {{0, 0, 0}, {1, -0.5, 0}, {2, 0, 0}, {3, 0.5, 0}, {4, 0, 0}, {5, 0, 0}};
    l = bumps;
    EXPECT_TRUE(ThinOutLineE(l, 0, 0, 1));
    EXPECT_EQ(l, (Line{{0, 0, 0}, {3, 0.5, 0}, {4, 0, 0}, {5, 0, 0}}));
    l = bumps;
    EXPECT_TRUE(ThinOutLineE(l, 0, 1, 0));
    EXPECT_EQ(l, (Line{{0, 0, 0}, {1, -0.5, 0}, {4, 0, 0}, {5, 0, 0}}));

    l = bumps;
    EXPECT_FALSE(ThinOutLine(l, 0, -1));
    EXPECT_FALSE(ThinOutLineE(l, 0, NAN, 1));
    EXPECT_EQ(l, bumps);
}

TEST(ArrayCoincided, DropsNearPointsAnywhere) {
    Line p = {{0, 0, 0}, {5, 5, 0}, {0.01, -0.01, 1}, {5, 5.02, 2}, {0, 0.5, 3}, {5.01, 4.99, 4}};
    EXPECT_EQ(RemoveArrayCoincidedVertices(p, 0.015), 2u);
    EXPECT_EQ(p, (Line{{0, 0, 0}, {5, 5, 0}, {5, 5.02, 2}, {0, 0.5, 3}}));
}

TEST(ThickenLine, NoPieceLongerThanTheStep) {
    Line l = {{0, 0, 0}, {10, 0, 4}};
    ThickenLine(l, false, 3);
    ASSERT_EQ(l.size(), 5u);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(l[i], (vec3d{2.5 * i, 0, 1.0 * i}));

    for (bool closed : {false, true})
        for (double step : {0.05, 0.7, 3.0, 100.0}) {
            const Line orig = Wobbly(60, closed, 11);
            Line t = orig;
            ThickenLine(t, closed, step);
            const std::size_t pieces = closed ? t.size() : t.size() - 1;
            for (std::size_t i = 0; i < pieces; ++i) {
                const vec3d d = t[(i + 1) % t.size()] - t[i];
                EXPECT_LE(std::hypot(d.x, d.y), step * (1 + 1e-12));
            }
            EXPECT_TRUE(IsSubsequence(orig, t));
            EXPECT_LE(Deviation(t, orig, closed, true), 1e-9);
        }
    Line one = {{1, 2, 3}};
    ThickenLine(one, true, 1);
    EXPECT_EQ(one.size(), 1u);
    EXPECT_THROW(ThickenLine(l, false, 0), std::invalid_argument);
    EXPECT_THROW(ThickenLine(l, false, 1e-300), std::length_error);
}

} // namespace
