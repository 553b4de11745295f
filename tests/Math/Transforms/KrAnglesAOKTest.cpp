// Rotation angles: the matrix against Eigen's axis rotations, matrix → angles → matrix over a dense grid
// through omega = ±90°, normalisation, scalar arithmetic and the checked decomposition.
#include "Core/KrMessage.h"
#include "Math/Transforms/KrAnglesAOK.h"

#include <gtest/gtest.h>

#include <Eigen/Geometry>

#include <cmath>
#include <limits>

namespace {

constexpr double kPi = 3.14159265358979323846;

using Mat3 = Eigen::Matrix<double, 3, 3, Eigen::RowMajor>;

Mat3 ToEigen(const matr3x3& m) {
    return Eigen::Map<const Mat3>(m.data());
}

// The angles' rotation built from axis rotations: alpha turns about −y, omega about x, kappa about z.
Mat3 Reference(double a, double w, double k) {
    using Eigen::AngleAxisd;
    using Eigen::Vector3d;
    return (AngleAxisd(-a, Vector3d::UnitY()) * AngleAxisd(w, Vector3d::UnitX()) *
            AngleAxisd(k, Vector3d::UnitZ()))
        .toRotationMatrix();
}

} // namespace

TEST(KrAnglesAOK, MatrixMatchesAxisRotationsAndRoundTripsOverADenseGrid) {
    const double omegas[] = {-kPi / 2, -kPi / 2 + 1e-9, -1.2,   -0.8, -0.5, 0, 0.5, 0.775, 0.8,
                             1.5,      kPi / 2 - 1e-12, kPi / 2};
    int branches[3] = {0, 0, 0};
    for (double w : omegas)
        for (int i = -12; i <= 12; ++i)
            for (int j = -12; j <= 12; ++j) {
                const double a = i * kPi / 12.5, k = j * kPi / 12.5;
                const matr3x3 m = AnglesToMatrix(angles_aok(a, w, k));
                ASSERT_LE((ToEigen(m) - Reference(a, w, k)).cwiseAbs().maxCoeff(), 2e-15)
                    << a << " " << w << " " << k;
                const angles_aok back = MatrixToAngles(m);
                ASSERT_LE((ToEigen(AnglesToMatrix(back)) - ToEigen(m)).cwiseAbs().maxCoeff(), 1e-12)
                    << a << " " << w << " " << k;
                const double s = std::sin(w);
                ++branches[s > 0.7 ? 0 : s < -0.7 ? 1 : 2];
                EXPECT_GT(back.kappa, -kPi);
                EXPECT_LE(back.kappa, kPi);
                // Away from the vertical, the angles themselves come back (alpha and kappa modulo 2π).
                if (std::fabs(w) < 1.5) {
                    EXPECT_NEAR(back.omega, w, 1e-12);
                    EXPECT_NEAR(std::remainder(back.alpha - a, 2 * kPi), 0, 1e-12);
                    EXPECT_NEAR(std::remainder(back.kappa - k, 2 * kPi), 0, 1e-12);
                }
            }
    EXPECT_GT(branches[0], 0);
    EXPECT_GT(branches[1], 0);
    EXPECT_GT(branches[2], 0);

    angles_aok zero(1, 2, 3);
    MatrixToAngles(matr3x3::Unit(), zero);
    EXPECT_TRUE(zero.EQU_0());
    EXPECT_EQ(AnglesToMatrix(angles_aok()), matr3x3::Unit());
    double nine[9];
    AlphaOmegaKappaToMatrix(0.3, -0.2, 0.1, nine);
    double a, w, k;
    MatrixToAlphaOmegaKappa(nine, a, w, k);
    EXPECT_NEAR(a, 0.3, 1e-15);
    EXPECT_NEAR(w, -0.2, 1e-15);
    EXPECT_NEAR(k, 0.1, 1e-15);
}

TEST(KrAnglesAOK, BadMatricesAndNaNsNeverCrash) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const matr3x3 fromNaN = AnglesToMatrix(angles_aok(nan, 0, 0));
    EXPECT_TRUE(std::isnan(fromNaN.m00));
    EXPECT_EQ(fromNaN.m10, 0.0); // the second row does not involve alpha
    // The zero matrix: alpha is 0 by rule, the rest follows the formulas.
    const angles_aok zero = MatrixToAngles(matr3x3());
    EXPECT_EQ(zero, angles_aok(0, 0, 0));
    // A stretched rotation decomposes without complaint; the checked form refuses it.
    matr3x3 stretched = AnglesToMatrix(angles_aok(0.1, 0.2, 0.3));
    for (int i = 0; i < 3; ++i)
        stretched(0, i) *= 1.01;
    EXPECT_NO_THROW(MatrixToAngles(stretched));
    EXPECT_THROW(MatrixToAnglesE(stretched), TKrMessage);
    EXPECT_THROW(MatrixToAnglesE(matr3x3()), TKrMessage);
    EXPECT_THROW(MatrixToAnglesE(fromNaN), TKrMessage);
    const matr3x3 mirror(1, 0, 0, 0, 1, 0, 0, 0, -1);
    EXPECT_THROW(MatrixToAnglesE(mirror), TKrMessage);
    const angles_aok good(0.1, 0.2, 0.3);
    EXPECT_TRUE(EQ_d(MatrixToAnglesE(AnglesToMatrix(good)), good));
}

TEST(KrAnglesAOK, NormalisationAndComparisons) {
    angles_aok n(7, 4, -4);
    n.normalize_fast();
    EXPECT_DOUBLE_EQ(n.alpha, 7 - 2 * kPi);
    EXPECT_DOUBLE_EQ(n.omega, 4 - 2 * kPi);
    EXPECT_EQ(n.kappa, -4);
    angles_aok far(-10, kPi, 2 * kPi);
    far.normalize_fast();
    EXPECT_DOUBLE_EQ(far.alpha, std::fmod(-10.0, 2 * kPi));
    EXPECT_DOUBLE_EQ(far.omega, -kPi);
    EXPECT_EQ(far.kappa, 0);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const angles_aok withNaN(nan, 0, 0);
    EXPECT_NE(withNaN, withNaN);
    EXPECT_FALSE(EQ_d(withNaN, withNaN));
    EXPECT_TRUE(EQ_d(angles_aok(1, 2, 3), angles_aok(1 + 1e-13, 2, 3 - 1e-13)));
    EXPECT_FALSE(EQ_d(angles_aok(1, 2, 3), angles_aok(1 + 1e-10, 2, 3)));
}
