// Transform fits from point pairs against least-squares solutions computed here with Eigen's SVD; class
// choice, screening, similarity limits, 3D rotations, and the small linear-algebra layer.
#include "Math/Transforms/KrMatchPoints.h"
#include "Math/Transforms/KrZelMatrix.h"
#include "Utils/KrDeltas.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>

namespace {

vec2d Map(const matr3x3& m, const vec2d& p) {
    const double w = m.m20 * p.x + m.m21 * p.y + m.m22;
    return vec2d((m.m00 * p.x + m.m01 * p.y + m.m02) / w, (m.m10 * p.x + m.m11 * p.y + m.m12) / w);
}

// Pairs over [0, 1000]² mapped by m, targets disturbed by Gaussian noise of `sigma`.
TKrPointPairs MakePairs(const matr3x3& m, std::size_t n, double sigma, unsigned seed = 7) {
    std::mt19937_64 rng(seed);
    std::uniform_real_distribution<double> coord(0, 1000);
    std::normal_distribution<double> noise(0, sigma > 0 ? sigma : 1);
    TKrPointPairs pairs;
    for (std::size_t i = 0; i < n; ++i) {
        const vec2d p(coord(rng), coord(rng));
        vec2d q = Map(m, p);
        if (sigma > 0) q += vec2d(noise(rng), noise(rng));
        pairs.emplace_back(p, q);
    }
    return pairs;
}

double ResidualRms(const TKrPointPairs& pairs, const matr3x3& m) {
    TKrDeltasXYR d;
    for (const auto& p : pairs)
        d.add_delta(Map(m, p.first) - p.second);
    d.calculate();
    return d.rms.r;
}

// Columns scaled to unit length first (the same minimiser, a far better conditioned matrix:
// raw columns range from 1 to x·x′ ≈ 1e6).
Eigen::VectorXd SvdSolve(const Eigen::MatrixXd& a, const Eigen::VectorXd& b) {
    const Eigen::VectorXd scale = a.colwise().norm().cwiseInverse().transpose();
    const Eigen::MatrixXd scaled = a * scale.asDiagonal();
    return scale.asDiagonal() * scaled.bdcSvd(Eigen::ComputeThinU | Eigen::ComputeThinV).solve(b);
}

// The reference fits: the least-squares problems as stated, in raw coordinates, by SVD.
matr3x3 RefTranslation(const TKrPointPairs& pairs) {
    Eigen::MatrixXd a(2 * pairs.size(), 2);
    Eigen::VectorXd b(2 * pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        a.row(2 * i) << 1, 0;
        a.row(2 * i + 1) << 0, 1;
        b(2 * i) = pairs[i].second.x - pairs[i].first.x;
        b(2 * i + 1) = pairs[i].second.y - pairs[i].first.y;
    }
    const Eigen::VectorXd t = SvdSolve(a, b);
    return matr3x3(1, 0, t(0), 0, 1, t(1), 0, 0, 1);
}

matr3x3 RefSimilarity(const TKrPointPairs& pairs) {
    Eigen::MatrixXd a(2 * pairs.size(), 4);
    Eigen::VectorXd b(2 * pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const vec2d& p = pairs[i].first;
        a.row(2 * i) << p.x, p.y, 1, 0;
        a.row(2 * i + 1) << p.y, -p.x, 0, 1;
        b(2 * i) = pairs[i].second.x;
        b(2 * i + 1) = pairs[i].second.y;
    }
    const Eigen::VectorXd s = SvdSolve(a, b);
    return matr3x3(s(0), s(1), s(2), -s(1), s(0), s(3), 0, 0, 1);
}

// The isometry is defined from the similarity: its linear part scaled to a rotation, the
// centroids matched.
matr3x3 RefIsometry(const TKrPointPairs& pairs) {
    matr3x3 m = RefSimilarity(pairs);
    const double s = std::hypot(m.m00, m.m01);
    m.m00 /= s, m.m01 /= s, m.m10 /= s, m.m11 /= s;
    vec2d cs, cd;
    for (const auto& p : pairs)
        cs += p.first, cd += p.second;
    cs = cs / double(pairs.size()), cd = cd / double(pairs.size());
    m.m02 = cd.x - (m.m00 * cs.x + m.m01 * cs.y);
    m.m12 = cd.y - (m.m10 * cs.x + m.m11 * cs.y);
    return m;
}

matr3x3 RefAffine(const TKrPointPairs& pairs) {
    Eigen::MatrixXd a(2 * pairs.size(), 6);
    Eigen::VectorXd b(2 * pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const vec2d& p = pairs[i].first;
        a.row(2 * i) << p.x, p.y, 1, 0, 0, 0;
        a.row(2 * i + 1) << 0, 0, 0, p.x, p.y, 1;
        b(2 * i) = pairs[i].second.x;
        b(2 * i + 1) = pairs[i].second.y;
    }
    const Eigen::VectorXd s = SvdSolve(a, b);
    return matr3x3(s(0), s(1), s(2), s(3), s(4), s(5), 0, 0, 1);
}

// The linearised projective problem with m22 = 1.
matr3x3 RefProjective(const TKrPointPairs& pairs) {
    Eigen::MatrixXd a(2 * pairs.size(), 8);
    Eigen::VectorXd b(2 * pairs.size());
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const vec2d &p = pairs[i].first, &q = pairs[i].second;
        a.row(2 * i) << p.x, p.y, 1, 0, 0, 0, -p.x * q.x, -p.y * q.x;
        a.row(2 * i + 1) << 0, 0, 0, p.x, p.y, 1, -p.x * q.y, -p.y * q.y;
        b(2 * i) = q.x;
        b(2 * i + 1) = q.y;
    }
    const Eigen::VectorXd s = SvdSolve(a, b);
    return matr3x3(s(0), s(1), s(2), s(3), s(4), s(5), s(6), s(7), 1);
}

// The classic direct linear transform: the null vector of the homogeneous 2n×9 system, in
// normalised coordinates, scaled to m22 = 1. Agrees with the fits on exact data only.
matr3x3 RefDlt(const TKrPointPairs& pairs) {
    Eigen::MatrixXd a(2 * pairs.size(), 9);
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        const double x = pairs[i].first.x / 1000, y = pairs[i].first.y / 1000;
        const double u = pairs[i].second.x / 1000, v = pairs[i].second.y / 1000;
        a.row(2 * i) << x, y, 1, 0, 0, 0, -x * u, -y * u, -u;
        a.row(2 * i + 1) << 0, 0, 0, x, y, 1, -x * v, -y * v, -v;
    }
    const Eigen::VectorXd h = a.jacobiSvd(Eigen::ComputeFullV).matrixV().col(8);
    const matr3x3 n(h(0), h(1), h(2), h(3), h(4), h(5), h(6), h(7), h(8));
    matr3x3 m = matr3x3(1000, 0, 0, 0, 1000, 0, 0, 0, 1) * n * matr3x3(1e-3, 0, 0, 0, 1e-3, 0, 0, 0, 1);
    for (int i = 0; i < 9; ++i)
        m.data()[i] /= (i == 8 ? 1 : m.m22);
    m.m22 = 1;
    return m;
}

void ExpectNear(const matr3x3& got, const matr3x3& want, double rel, const std::string& what) {
    for (int i = 0; i < 9; ++i)
        EXPECT_NEAR(got.data()[i], want.data()[i], rel * std::fabs(want.data()[i]) + 1e-14)
            << what << ", element " << i;
}

using TFit = bool (*)(const TKrPointPairs&, matr3x3&);

struct TFitCase {
    const char* name;
    TFit fit;
    matr3x3 (*reference)(const TKrPointPairs&);
    matr3x3 truth;
};

const double kHalfPi = std::acos(0.0);
const double kCos = std::cos(0.3), kSin = std::sin(0.3);
const TFitCase kFits[] = {
    {"translation", MatchPoints_Translation, RefTranslation, matr3x3(1, 0, 12.5, 0, 1, -40.25, 0, 0, 1)},
    {"isometry", MatchPoints_Isometry, RefIsometry, matr3x3(kCos, -kSin, 300, kSin, kCos, -120, 0, 0, 1)},
    {"similarity", MatchPoints_Similarity, RefSimilarity,
     matr3x3(2.5 * kCos, -2.5 * kSin, 1e5, 2.5 * kSin, 2.5 * kCos, 2e5, 0, 0, 1)},
    {"affine", MatchPoints_Affine, RefAffine, matr3x3(1.2, 0.3, -50, -0.1, 0.9, 700, 0, 0, 1)},
    {"projective", MatchPoints_Projective, RefProjective,
     matr3x3(1.1, 0.2, 30, -0.15, 0.95, 10, 2e-4, -1e-4, 1)},
};

} // namespace

TEST(KrMatchPoints, ExactDataIsRecovered) {
    for (const TFitCase& c : kFits) {
        const TKrPointPairs pairs = MakePairs(c.truth, 50, 0);
        matr3x3 m;
        ASSERT_TRUE(c.fit(pairs, m)) << c.name;
        ExpectNear(m, c.truth, 1e-9, c.name);
    }
    // The homogeneous solution agrees on exact data too.
    const TKrPointPairs pairs = MakePairs(kFits[4].truth, 12, 0);
    ExpectNear(MatchPoints_Projective(pairs), RefDlt(pairs), 1e-9, "DLT");
}

TEST(KrMatchPoints, NoisyDataGivesTheLeastSquaresSolution) {
    for (const TFitCase& c : kFits)
        for (std::size_t n : {6, 1000}) {
            const TKrPointPairs pairs = MakePairs(c.truth, n, 0.7, unsigned(n));
            const matr3x3 want = c.reference(pairs);
            matr3x3 m;
            ASSERT_TRUE(c.fit(pairs, m)) << c.name;
            ExpectNear(m, want, 1e-9, std::string(c.name) + " n=" + std::to_string(n));
            EXPECT_NEAR(ResidualRms(pairs, m), ResidualRms(pairs, want), 1e-9 * ResidualRms(pairs, want))
                << c.name;
        }
}

TEST(KrMatchPoints, ImpossibleFitsFailWithTheirTexts) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const TKrPointPairs one{{vec2d(1, 2), vec2d(3, 4)}};
    const TKrPointPairs two{{vec2d(0, 0), vec2d(1, 1)}, {vec2d(1, 0), vec2d(2, 1)}};
    const TKrPointPairs three{
        {vec2d(0, 0), vec2d(0, 0)}, {vec2d(1, 0), vec2d(1, 0)}, {vec2d(0, 1), vec2d(0, 1)}};
    const TKrPointPairs coincident{{vec2d(5, 5), vec2d(0, 0)},
                                   {vec2d(5, 5), vec2d(1, 0)},
                                   {vec2d(5, 5), vec2d(2, 2)},
                                   {vec2d(5, 5), vec2d(3, 1)}};
    TKrPointPairs collinear;
    for (int i = 0; i < 6; ++i)
        collinear.emplace_back(vec2d(0.1 * i, 0.3 * i + 7), vec2d(i * i, i));
    TKrPointPairs withNan = MakePairs(kFits[3].truth, 8, 0);
    withNan[5].second.y = nan;
    // Mirror image of the sources: fine without, impossible with the orientation test.
    TKrPointPairs mirrored = MakePairs(matr3x3(1, 0, 0, 0, -1, 0, 0, 0, 1), 8, 0);

    struct TCase {
        const TKrPointPairs* pairs;
        TFit fit;
        std::function<matr3x3(const TKrPointPairs&)> value;
        const char* text;
        bool length; // std::length_error, else std::runtime_error
    };
    const TCase cases[] = {
        {&withNan, MatchPoints_Translation, [](auto& p) { return MatchPoints_Translation(p); },
         "@MatchPoints_Translation: degenerate transformation", false},
        {&one, MatchPoints_Isometry, [](auto& p) { return MatchPoints_Isometry(p); },
         "@MatchPoints_Isometry: degenerate transformation", false},
        {&one, MatchPoints_Similarity, [](auto& p) { return MatchPoints_Similarity(p); },
         "@MatchPoints_Similarity: points.size() < 2", true},
        {&coincident, MatchPoints_Similarity, [](auto& p) { return MatchPoints_Similarity(p); },
         "@MatchPoints_Similarity: degenerate transformation", false},
        {&two, MatchPoints_Affine, [](auto& p) { return MatchPoints_Affine(p); },
         "@MatchPoints_Affine: points.size() < 3.", true},
        {&collinear, MatchPoints_AffineF, [](auto& p) { return MatchPoints_AffineF(p, false); },
         "@MatchPoints_Affine: degenerate transformation.", false},
        {&withNan, MatchPoints_Affine, [](auto& p) { return MatchPoints_Affine(p); },
         "@MatchPoints_Affine: degenerate transformation.", false},
        {&mirrored, MatchPoints_Affine, [](auto& p) { return MatchPoints_Affine(p); },
         "@MatchPoints_Affine: flipping.", false},
        {&three, MatchPoints_Projective, [](auto& p) { return MatchPoints_Projective(p); },
         "@MatchPoints_Projective: points.size() < 4.", true},
        {&collinear, MatchPoints_ProjectiveF, [](auto& p) { return MatchPoints_ProjectiveF(p, false); },
         "@MatchPoints_Projective: degenerate transformation.", false},
        {&coincident, MatchPoints_Projective, [](auto& p) { return MatchPoints_Projective(p); },
         "@MatchPoints_Projective: degenerate transformation.", false},
        {&mirrored, MatchPoints_Projective, [](auto& p) { return MatchPoints_Projective(p); },
         "@MatchPoints_Projective: flipping.", false},
        {&withNan, nullptr,
         [](auto& p) { return MatchPoints_SelfDefining(p, false, nullptr, TranType_Projective, 0); },
         "@MatchPoints_SelfDefining", false},
        {&withNan, nullptr,
         [](auto& p) { return MatchPoints_Screening(p, false, nullptr, TranType_Projective, 0, 0.2); },
         "@MatchPoints_Screening", false},
    };
    const matr3x3 untouched(9, 9, 9, 9, 9, 9, 9, 9, 9);
    for (const TCase& c : cases) {
        if (c.fit) {
            matr3x3 out = untouched;
            EXPECT_FALSE(c.fit(*c.pairs, out)) << c.text;
            EXPECT_EQ(out, untouched) << c.text;
        }
        try {
            c.value(*c.pairs);
            ADD_FAILURE() << "nothing thrown: " << c.text;
        } catch (const std::length_error& e) {
            EXPECT_TRUE(c.length) << c.text;
            EXPECT_STREQ(e.what(), c.text);
        } catch (const std::runtime_error& e) {
            EXPECT_FALSE(c.length) << c.text;
            EXPECT_STREQ(e.what(), c.text);
        }
    }
}

TEST(KrMatchPoints, MirrorsAreFoundOnlyWhenAllowed) {
    const matr3x3 flip(0.8, 0.6, 10, 0.6, -0.8, 20, 0, 0, 1); // a reflection with a shift
    const TKrPointPairs mirrored = MakePairs(flip, 3, 0);
    matr3x3 m;
    ASSERT_TRUE(MatchPoints_AffineF(mirrored, m));
    ExpectNear(m, flip, 1e-9, "AffineF");
    EXPECT_EQ(MatchPoints_AffineF(mirrored, false), m);
    for (TFit f : {MatchPoints_IsometryF, MatchPoints_SimilarityF}) {
        ASSERT_TRUE(f(mirrored, m));
        ExpectNear(m, flip, 1e-9, "mirrored");
        EXPECT_LT(m.Determinant(), 0);
    }
    // On ordinary data the mirror-allowing fit is the direct one.
    const TKrPointPairs plain = MakePairs(kFits[2].truth, 20, 0.5);
    ASSERT_TRUE(MatchPoints_SimilarityF(plain, m));
    EXPECT_EQ(m, MatchPoints_Similarity(plain));
    // A single pair: the translation, mirrored or not, is exact.
    ASSERT_TRUE(MatchPoints_TranslationF({{vec2d(1, 2), vec2d(4, 6)}}, m));
    EXPECT_EQ(Map(m, vec2d(1, 2)), vec2d(4, 6));
}

TEST(KrMatchPoints, SelfDefiningClimbsWhileTheResidualDoesNotGrow) {
    ETranType used = TranType_None;
    matr3x3 m;
    // One pair allows a translation only.
    ASSERT_TRUE(MatchPoints_SelfDefining({{vec2d(1, 1), vec2d(2, 3)}}, m, true, nullptr, TranType_Projective,
                                         0, &used));
    EXPECT_EQ(used, TranType_Translation);
    // With tolerance 0 every class up to the maximum is accepted.
    const TKrPointPairs shifted = MakePairs(kFits[0].truth, 10, 0);
    ASSERT_TRUE(MatchPoints_SelfDefining(shifted, m, true, nullptr, TranType_Affine, 0, &used));
    EXPECT_EQ(used, TranType_Affine);
    // A tolerance stops at the class after which nothing moves by that much.
    ASSERT_TRUE(MatchPoints_SelfDefining(shifted, m, true, nullptr, TranType_Projective, 1e-6, &used));
    EXPECT_EQ(used, TranType_Translation);
    ExpectNear(m, kFits[0].truth, 1e-12, "translation");
    const TKrPointPairs affine = MakePairs(kFits[3].truth, 30, 0);
    ASSERT_TRUE(MatchPoints_SelfDefining(affine, m, true, nullptr, TranType_Projective, 1e-6, &used));
    EXPECT_EQ(used, TranType_Affine);
    // A maximum beyond projective is refused after the classes that exist (noisy data, so that
    // no class ends the climb by a residual grown from rounding alone).
    EXPECT_FALSE(
        MatchPoints_SelfDefining(MakePairs(kFits[3].truth, 30, 1.0), m, true, nullptr, ETranType(6), 0));
    // With an area, a projective fit that sends part of it across the horizon is refused.
    const matr3x3 steep(1, 0, 0, 0, 1, 0, 1.5e-3, 0, 1); // horizon at x = −667
    const std::vector<vec2d> area{vec2d(-1000, 0), vec2d(1000, 1000)};
    const TKrPointPairs steepPairs = MakePairs(steep, 30, 0);
    ASSERT_TRUE(MatchPoints_SelfDefining(steepPairs, m, true, nullptr, TranType_Projective, 1e-6, &used));
    EXPECT_EQ(used, TranType_Projective);
    ASSERT_TRUE(MatchPoints_SelfDefining(steepPairs, m, true, &area, TranType_Projective, 1e-6, &used));
    EXPECT_EQ(used, TranType_Affine);
}

TEST(KrMatchPoints, ScreeningDropsGrossOutliers) {
    for (ETranType type : {TranType_Affine, TranType_Projective}) {
        const matr3x3 truth = type == TranType_Affine ? kFits[3].truth : kFits[4].truth;
        TKrPointPairs pairs = MakePairs(truth, 100, 0);
        std::mt19937_64 rng(3);
        std::uniform_real_distribution<double> length(40, 200), angle(-3.14159, 3.14159);
        for (std::size_t i = 0; i < pairs.size(); i += 5) { // every fifth pair is off by 40 to 200
            const double l = length(rng), a = angle(rng);
            pairs[i].second += vec2d(l * std::cos(a), l * std::sin(a));
        }
        ETranType used;
        const matr3x3 m = MatchPoints_Screening(pairs, true, nullptr, type, 0, 0.25, &used);
        EXPECT_EQ(used, type);
        ExpectNear(m, truth, 1e-9, "screened");
    }
    // Too few pairs to screen: the first result stands.
    const TKrPointPairs three = MakePairs(kFits[3].truth, 3, 0);
    ExpectNear(MatchPoints_Screening(three, true, nullptr, TranType_Affine, 0, 0.5), kFits[3].truth, 1e-9,
               "n=3");
}

TEST(KrMatchPoints, RestrictSimilarityClampsScaleAndAngle) {
    const auto similarity = [](double s, double a) {
        return matr3x3(s * std::cos(a), -s * std::sin(a), 5, s * std::sin(a), s * std::cos(a), 7, 0, 0, 1);
    };
    struct TCase {
        double scale, angle;       // of the input
        double scaleTol, angleTol; // limits around scale 2, angle 0.5 with 4-fold symmetry
        double wantScale, wantAngle;
    } cases[] = {
        {2.1, 0.52, 0.1, 0.1, 2.1, 0.52},                               // inside both ranges: unchanged
        {3.0, 0.5, 0.1, 0.1, 2 / 0.9, 0.5},                             // scale above 2/0.9
        {1.0, 0.5, 0.1, 0.1, 1.8, 0.5},                                 // scale below 0.9·2
        {2.0, 0.9, 0.5, 0.1, 2.0, 0.6},                                 // angle beyond 0.5 + 0.1
        {2.0, 0.5 + kHalfPi - 0.3, 0.5, 0.1, 2.0, 0.5 + kHalfPi - 0.1}, // next symmetric direction
        {2.0, 0.9, 2.0, 4.0, 2.0, 0.9}, // tolerances beyond the ranges: no limits
    };
    for (const TCase& c : cases) {
        matr3x3 m = similarity(c.scale, c.angle);
        RestrictSimilarity(m, 2, c.scaleTol, 0.5, c.angleTol, 4);
        ExpectNear(m, similarity(c.wantScale, c.wantAngle), 1e-12, "scale " + std::to_string(c.scale));
    }
    matr3x3 S, R, T;
    DecomposeSimilarity(similarity(3, 0.25), S, R, T);
    ExpectNear(T * R * S, similarity(3, 0.25), 1e-12, "decomposition");
    EXPECT_DOUBLE_EQ(S.m00, 3);
}

TEST(KrMatchPoints, RestrictProjTranLimitsTheCornerDeviation) {
    const std::vector<vec2d> area{vec2d(0, 0), vec2d(1000, 1000)};
    const matr3x3 proj = kFits[4].truth;
    matr3x3 m = proj;
    RestrictProjTran(m, {}, 0.01, 1, DBL_MAX, 0, DBL_MAX, 1);
    EXPECT_EQ(m, proj); // no area: unchanged
    RestrictProjTran(m, area, 0, 1, DBL_MAX, 0, DBL_MAX, 1);
    EXPECT_EQ(m.m20, 0); // no deviation allowed: the similarity
    EXPECT_NEAR(m.m00, m.m11, 1e-12);
    m = proj;
    RestrictProjTran(m, area, 1.0, 1, DBL_MAX, 0, DBL_MAX, 1); // generous limit: the projective again
    ExpectNear(m, proj, 1e-9, "unlimited");
}

TEST(KrMatchPoints, RotationsInSpaceMatchTheSvdSolution) {
    const Eigen::Matrix3d truth =
        Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, -2, 0.5).normalized()).toRotationMatrix();
    std::mt19937_64 rng(11);
    std::uniform_real_distribution<double> coord(-100, 100);
    std::normal_distribution<double> noise(0, 0.3);
    for (double sigma : {0.0, 1.0}) {
        TKrPointPairs3d pairs;
        Eigen::Matrix3d cov = Eigen::Matrix3d::Zero();
        for (int i = 0; i < 40; ++i) {
            const Eigen::Vector3d a(coord(rng), coord(rng), coord(rng));
            const Eigen::Vector3d b =
                1.5 * truth * a + sigma * Eigen::Vector3d(noise(rng), noise(rng), noise(rng));
            pairs.emplace_back(vec3d(a.x(), a.y(), a.z()), vec3d(b.x(), b.y(), b.z()));
            cov += b * a.transpose();
        }
        // Kabsch: the rotation nearest to Σ b·aᵀ.
        Eigen::JacobiSVD<Eigen::Matrix3d> svd(cov, Eigen::ComputeFullU | Eigen::ComputeFullV);
        Eigen::Matrix3d d = Eigen::Matrix3d::Identity();
        d(2, 2) = (svd.matrixU() * svd.matrixV().transpose()).determinant();
        const Eigen::Matrix3d want = svd.matrixU() * d * svd.matrixV().transpose();
        matr3x3 R;
        double scale = 0;
        ASSERT_TRUE(FindRotScale3d(pairs, &R, &scale));
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                EXPECT_NEAR(R(r, c), want(r, c), 1e-9) << "sigma " << sigma;
        EXPECT_NEAR(scale, 1.5, sigma > 0 ? 1e-2 : 1e-12);
    }
    EXPECT_FALSE(FindRot3d({{vec3d(1, 0, 0), vec3d(0, 1, 0)}}, nullptr)); // one pair leaves an axis free
    EXPECT_THROW(FindRot3d(TKrPointPairs3d{}), std::runtime_error);
    EXPECT_DOUBLE_EQ(FindScale3d({{vec3d(1, 0, 0), vec3d(3, 1, 0)}, {vec3d(0, 1, 0), vec3d(0, 3, 0)}}), 3);
}

TEST(KrZelMatrix, SolveAndEigenProblemAgreeWithEigen) {
    TZelMatrix a(3, 3);
    const double v[3][3] = {{4, 1, 0.5}, {1, 3, -0.2}, {0.5, -0.2, 2}};
    Eigen::Matrix3d e;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            a(i + 1, j + 1) = e(i, j) = v[i][j];
    TZelVec b(3);
    b(1) = 1, b(2) = -2, b(3) = 3;
    const Eigen::Vector3d want = e.llt().solve(Eigen::Vector3d(1, -2, 3));
    const TZelVec x = Solve(a, b);
    for (int i = 0; i < 3; ++i)
        EXPECT_NEAR(x(i + 1), want(i), 1e-14);

    TZelVec values;
    TZelMatrix vectors;
    ASSERT_TRUE(EigenProblem(a, values, vectors));
    const Eigen::SelfAdjointEigenSolver<Eigen::Matrix3d> es(e);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(values(i + 1), es.eigenvalues()(i), 1e-12);
        const double dotp = vectors(1, i + 1) * es.eigenvectors()(0, i) +
                            vectors(2, i + 1) * es.eigenvectors()(1, i) +
                            vectors(3, i + 1) * es.eigenvectors()(2, i);
        EXPECT_NEAR(std::fabs(dotp), 1, 1e-12);
    }
    // A singular system still solves: the clamped pivot keeps the factorisation finite.
    TZelMatrix s(2, 2);
    s(1, 1) = s(1, 2) = s(2, 1) = s(2, 2) = 1;
    TZelVec r(2);
    r(1) = r(2) = 2;
    const TZelVec y = Solve(s, r);
    EXPECT_TRUE(std::isfinite(y(1)) && std::isfinite(y(2)));
    EXPECT_THROW(Solve(TZelMatrix(2, 3), r), std::invalid_argument);
}
