// Space transforms against Eigen: 4×4 inverses, homogeneous mapping, chains against the product of their
// matrices on both sides, merging and cancelling, singular matrices, array forms against single points.
#include "Core/KrMessage.h"
#include "Math/Transforms/Kr3DProjectiveTransform.h"
#include "Math/Transforms/KrAffineTransform3D.h"
#include "Math/Transforms/KrCombinedTransform3D.h"
#include "Math/Transforms/KrSimple3DTransforms.h"

#include <gtest/gtest.h>

#include <Eigen/Dense>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using Mat4 = Eigen::Matrix<double, 4, 4, Eigen::RowMajor>;

Mat4 ToEigen(const matr4x4& m) {
    return Eigen::Map<const Mat4>(m.data());
}

matr4x4 FromEigen(const Mat4& e) {
    matr4x4 m;
    Eigen::Map<Mat4>(m.data()) = e;
    return m;
}

matr4x4 MatrixOf(const TKr3DTransform& t) {
    matr4x4 m;
    EXPECT_TRUE(t.GetMatrix(&m));
    return m;
}

vec3d Apply(const Mat4& m, const vec3d& p) {
    const Eigen::Vector4d h = m * Eigen::Vector4d(p.x, p.y, p.z, 1.0);
    return vec3d(h(0) / h(3), h(1) / h(3), h(2) / h(3));
}

void ExpectClose(const vec3d& got, const vec3d& want, double rel, const std::string& what) {
    const double tol = rel * std::max(1.0, norm(want));
    EXPECT_NEAR(got.x, want.x, tol) << what;
    EXPECT_NEAR(got.y, want.y, tol) << what;
    EXPECT_NEAR(got.z, want.z, tol) << what;
}

// A well-conditioned projective matrix: a rotation-like part, a translation and a mild perspective row.
Mat4 RandomProjective(std::mt19937_64& rng) {
    std::uniform_real_distribution<double> u(-1, 1);
    Mat4 m = Mat4::Identity();
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m(r, c) += 0.4 * u(rng);
    for (int r = 0; r < 3; ++r)
        m(r, 3) = 100 * u(rng);
    for (int c = 0; c < 3; ++c)
        m(3, c) = 1e-3 * u(rng);
    m(3, 3) = 0.5 + std::fabs(u(rng));
    return m;
}

const TShift3DTransform kShift(10, -20, 5);
const TKrAffineTransform3D kAffine(0.9, -0.3, 0.1, 7, 0.35, 0.95, -0.05, -3, -0.1, 0.02, 1.1, 40);

std::vector<vec3d> Points() {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> u(-500, 500);
    std::vector<vec3d> p;
    for (int i = 0; i < 200; ++i)
        p.emplace_back(u(rng), u(rng), u(rng));
    return p;
}

} // namespace

TEST(Kr3DTransform, Invert4dMatchesEigenAndLeavesSingularUnchanged) {
    std::mt19937_64 rng(1);
    for (int k = 0; k < 200; ++k) {
        std::uniform_real_distribution<double> u(-10, 10);
        Mat4 e;
        for (int i = 0; i < 16; ++i)
            e.data()[i] = u(rng);
        matr4x4 inv;
        ASSERT_TRUE(Invert4d(FromEigen(e), inv));
        const Mat4 want = e.inverse();
        const double scale = want.cwiseAbs().maxCoeff();
        EXPECT_LE((ToEigen(inv) - want).cwiseAbs().maxCoeff(), 1e-10 * scale) << k;
    }
    matr4x4 singular = matr4x4::Unit();
    singular.m22 = 0;
    matr4x4 out = matr4x4::Unit();
    out.m03 = 42;
    EXPECT_FALSE(Invert4d(singular, out));
    EXPECT_EQ(out.m03, 42);
}

TEST(Kr3DTransform, ProjectiveMapsHomogeneouslyAndInvertsAgainstEigen) {
    std::mt19937_64 rng(2);
    const std::vector<vec3d> points = Points();
    for (int k = 0; k < 20; ++k) {
        const Mat4 e = RandomProjective(rng);
        const TKr3DProjectiveTransform t(FromEigen(e));
        const Mat4 inv = e.inverse();
        EXPECT_LE((ToEigen(t.GetInverseMatrix()) - inv / inv(3, 3)).cwiseAbs().maxCoeff(), 1e-12);
        for (const vec3d& p : points) {
            const vec3d q = t.GetTraCoord(p);
            ExpectClose(q, Apply(e, p), 1e-12, "forward");
            ExpectClose(t.GetInverseTraCoord(q), p, 1e-9, "back");
        }
    }
    // A multiple of the unit matrix is the identity.
    matr4x4 twice;
    twice.m00 = twice.m11 = twice.m22 = twice.m33 = 2;
    const TKr3DProjectiveTransform unit(twice);
    EXPECT_TRUE(unit.IsIdentity());
    EXPECT_EQ(unit.GetTransformFlags(), 3u);
    EXPECT_EQ(ToEigen(MatrixOf(unit)), Mat4::Identity());
    // A singular matrix still maps forward; backward everything lands on the origin.
    matr4x4 flat = matr4x4::Unit();
    flat.m22 = 0;
    flat.m03 = 5;
    const TKr3DProjectiveTransform proj(flat);
    EXPECT_EQ(proj.GetTraCoord(vec3d(1, 2, 3)), vec3d(6, 2, 0));
    EXPECT_EQ(proj.GetInverseTraCoord(vec3d(1, 2, 3)), vec3d(0, 0, 0));
}

TEST(Kr3DTransform, AffineFormsShiftsAndSingularInverse) {
    const double rows[12] = {0.9, -0.3, 0.1, 7, 0.35, 0.95, -0.05, -3, -0.1, 0.02, 1.1, 40};
    Mat4 e = Mat4::Identity();
    for (int i = 0; i < 12; ++i)
        e.data()[i] = rows[i];
    EXPECT_EQ(ToEigen(MatrixOf(TKrAffineTransform3D(rows))), e);
    EXPECT_EQ(ToEigen(MatrixOf(kAffine)), e);
    for (const vec3d& p : Points()) {
        ExpectClose(kAffine.GetTraCoord(p), Apply(e, p), 1e-14, "forward");
        ExpectClose(kAffine.GetInverseTraCoord(p), Apply(e.inverse(), p), 1e-12, "inverse");
        ExpectClose(TKrAffineTransform3D(kAffine.GetAffine(), 0).GetTraCoord(p),
                    kAffine.GetInverseTraCoord(p), 0, "int form");
    }

    // LShift applies the shift after the map, RShift before it.
    const vec3d v(1, -2, 3), p(4, 5, -6);
    TKrAffine3D left = kAffine.GetAffine(), right = kAffine.GetAffine();
    LShift(left, v);
    RShift(right, v);
    ExpectClose(left * p, kAffine.GetTraCoord(p) + v, 1e-14, "LShift");
    ExpectClose(right * p, kAffine.GetTraCoord(p + v), 1e-14, "RShift");

    // |det R| < 1e-8: no error, the inverse sends everything to the origin.
    const TKrAffineTransform3D flat(1, 0, 0, 1, 0, 1, 0, 2, 0, 0, 0.99e-8, 3);
    EXPECT_EQ(flat.GetTraCoord(vec3d(1, 1, 1)), vec3d(2, 3, 3 + 0.99e-8));
    EXPECT_EQ(flat.GetInverseTraCoord(vec3d(7, 8, 9)), vec3d(0, 0, 0));
    TKrAffine3D untouched;
    SetIdentity(untouched);
    EXPECT_FALSE(GetInverse(flat.GetAffine(), untouched));
    EXPECT_EQ(untouched.R, matr3x3::Unit());
    const TKrAffineTransform3D thin(1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1e-8, 0);
    EXPECT_EQ(thin.GetInverseTraCoord(vec3d(1, 1, 1e-8)), vec3d(1, 1, 1));
}

TEST(Kr3DTransform, ClassifyAndCreateFromMatrix) {
    matr4x4 m = matr4x4::Unit();
    EXPECT_NE(dynamic_cast<TUnity3DTransform*>(VCreateTransform3D(m).get()), nullptr);
    m.m23 = -4;
    auto shift = VCreateTransform3D(m);
    ASSERT_NE(dynamic_cast<TShift3DTransform*>(shift.get()), nullptr);
    EXPECT_EQ(shift->GetTraCoord(vec3d(1, 1, 1)), vec3d(1, 1, -3));
    m.m01 = std::numeric_limits<double>::quiet_NaN(); // NaN counts as different
    EXPECT_NE(dynamic_cast<TKrAffineTransform3D*>(VCreateTransform3D(m).get()), nullptr);
    m.m32 = 1e-300;
    EXPECT_NE(dynamic_cast<TKr3DProjectiveTransform*>(VCreateTransform3D(m).get()), nullptr);
    // A forced class takes the matching part of the matrix.
    EXPECT_EQ(VCreateTransform3D(m, 1)->GetTraCoord(vec3d()), vec3d(0, 0, -4));
    EXPECT_THROW(VCreateTransform3D(m, 4), TKrMessage);
}

TEST(Kr3DTransform, ChainMatchesTheProductOfItsMatricesOnBothSides) {
    std::mt19937_64 rng(3);
    const TKr3DProjectiveTransform proj(FromEigen(RandomProjective(rng)));
    const TSwapXY3DTransform swap;
    const std::vector<const TKr3DTransform*> parts = {&kShift, &kAffine, &swap, &proj, &kShift, &swap};
    const std::vector<vec3d> points = Points();
    for (bool collapse : {false, true}) {
        TCombinedTransform3D appended(collapse), prepended(collapse);
        Mat4 product = Mat4::Identity();
        for (std::size_t i = 0; i < parts.size(); ++i) {
            appended.AddL(*parts[i]);
            prepended.AddR(*parts[parts.size() - 1 - i]);
            product = ToEigen(MatrixOf(*parts[i])) * product;
        }
        const std::size_t n = collapse ? 1 : parts.size();
        EXPECT_EQ(appended.GetTransformsCount(), n);
        EXPECT_EQ(prepended.GetTransformsCount(), n);
        const std::string what = collapse ? "collapsed" : "kept";
        for (const TCombinedTransform3D* c : {&appended, &prepended}) {
            const Mat4 m = ToEigen(MatrixOf(*c));
            EXPECT_LE((m / m(3, 3) - product / product(3, 3)).cwiseAbs().maxCoeff(), 1e-12) << what;
            const var_a<TKr3DTransform*> inverse = c->CreateInverseTransform();
            for (const vec3d& p : points) {
                const vec3d q = c->GetTraCoord(p);
                ExpectClose(q, Apply(product, p), 1e-11, what);
                ExpectClose(c->GetInverseTraCoord(q), p, 1e-9, what + " back");
                ExpectClose(inverse->GetTraCoord(q), p, 1e-9, what + " inverse object");
            }
        }
        // A chain added to a chain goes in element by element, on either side.
        TCombinedTransform3D nested(collapse);
        nested.AddL(kShift);
        nested.AddL(appended);
        nested.AddR(prepended);
        EXPECT_EQ(nested.GetTransformsCount(), collapse ? 1 : 2 * parts.size() + 1);
        for (const vec3d& p : points)
            ExpectClose(nested.GetTraCoord(p),
                        appended.GetTraCoord(kShift.GetTraCoord(prepended.GetTraCoord(p))), 1e-10,
                        what + " nested");
    }
}

TEST(Kr3DTransform, ChainCancelsIgnoresIdentityAndCombinesFlags) {
    TCombinedTransform3D c;
    EXPECT_EQ(c.GetTransformFlags(), 3u);
    EXPECT_EQ(c.GetTraCoord(vec3d(1, 2, 3)), vec3d(1, 2, 3));
    EXPECT_EQ(ToEigen(MatrixOf(c)), Mat4::Identity());
    c.AddL(TShift3DTransform(1, 2, 3));
    c.AddL(TShift3DTransform(-1, -2, -3));
    EXPECT_EQ(c.GetTransformsCount(), 0u);
    EXPECT_EQ(c.GetTransform(0), nullptr);
    c.AddR(TSwapXY3DTransform());
    c.AddR(TSwapXY3DTransform());
    EXPECT_EQ(c.GetTransformsCount(), 0u);

    // Identities are dropped even with collapse disabled; flags are the AND of the elements'.
    TCombinedTransform3D kept(false);
    kept.AddL(TUnity3DTransform());
    kept.AddL(TKr3DProjectiveTransform(matr4x4::Unit()));
    EXPECT_EQ(kept.GetTransformsCount(), 0u);
    kept.AddL(TSwapXY3DTransform());
    kept.AddL(TShift3DTransform(1, 1, 0));
    EXPECT_EQ(kept.GetTransformsCount(), 2u);
    EXPECT_EQ(kept.GetTransformFlags(), 2u);
    EXPECT_EQ(kept.GetTraCoord(vec3d(1, 2, 3)), vec3d(3, 2, 3));
    kept.AddR(TShift3DTransform(0, 0, 1));
    EXPECT_EQ(kept.GetTransformFlags(), 0u);
    EXPECT_NE(dynamic_cast<TShift3DTransform*>(kept.GetTransform(0)), nullptr);

    // Copies are deep; merging replaces the neighbour by the simplest class of the product.
    TCombinedTransform3D copy(kept);
    copy.SetEnableCollapse(true);
    copy.AddL(kAffine);
    EXPECT_EQ(kept.GetTransformsCount(), 3u);
    EXPECT_NE(dynamic_cast<TKrAffineTransform3D*>(copy.GetTransform(2)), nullptr);
    kept = copy;
    // A chain added to itself: its elements in turn, merged into its last one.
    kept.AddL(kept);
    EXPECT_EQ(kept.GetTransformsCount(), 3u);
    const vec3d p(3, -1, 2);
    ExpectClose(kept.GetTraCoord(p), copy.GetTraCoord(copy.GetTraCoord(p)), 1e-13, "self");
}

namespace {
// A transform without a matrix, so that the array forms fall back to single points.
struct TCubeX : TKr3DTransform {
    var_a<TKr3DTransform*> CreateCopy() const override { return new_a<TCubeX>(); }
    var_a<TKr3DTransform*> CreateInverseTransform() const override { return new_a<TCubeX>(); }
    vec3d GetTraCoord(const vec3d& p) const override { return vec3d(p.x * p.x * p.x, p.y, p.z); }
    vec3d GetInverseTraCoord(const vec3d& p) const override { return vec3d(std::cbrt(p.x), p.y, p.z); }
    bool GetMatrix(matr4x4*) const override { return false; }
};
} // namespace

TEST(Kr3DTransform, ArrayFormsAgreeWithSinglePointsForAnyStride) {
    std::mt19937_64 rng(4);
    TCombinedTransform3D chain(false);
    chain.AddL(kShift);
    chain.AddL(TKr3DProjectiveTransform(FromEigen(RandomProjective(rng))));
    TCombinedTransform3D opaque(false);
    opaque.AddL(kAffine);
    opaque.AddL(TCubeX());
    const std::vector<vec3d> points = Points();
    const std::size_t n = points.size();
    for (const TKr3DTransform* t : std::vector<const TKr3DTransform*>{
             &kShift, &kAffine, &chain, &opaque, new TUnity3DTransform(), new TSwapXY3DTransform()}) {
        // Packed, in place, and with a 32-byte stride (one double of padding per point).
        std::vector<vec3d> dense(n), inverse(n), inplace = points;
        std::vector<double> padded(4 * n, -1.0), back(4 * n, -1.0);
        t->GetTraCoordM(points.data(), 0, n, dense.data(), 0);
        t->GetTraCoordM(inplace.data(), 0, n, inplace.data(), 0);
        t->GetTraCoordM(points.data(), sizeof(vec3d), n, reinterpret_cast<vec3d*>(padded.data()), 32);
        t->GetInverseTraCoordM(reinterpret_cast<const vec3d*>(padded.data()), 32, n,
                               reinterpret_cast<vec3d*>(back.data()), 32);
        t->GetInverseTraCoordM(dense.data(), 0, n, inverse.data(), 0);
        for (std::size_t i = 0; i < n; ++i) {
            const vec3d want = t->GetTraCoord(points[i]);
            ExpectClose(dense[i], want, 1e-12, "dense");
            EXPECT_EQ(inplace[i], dense[i]);
            EXPECT_EQ(vec3d(padded[4 * i], padded[4 * i + 1], padded[4 * i + 2]), dense[i]);
            EXPECT_EQ(padded[4 * i + 3], -1.0);
            ExpectClose(inverse[i], points[i], 1e-9, "inverse");
            ExpectClose(vec3d(back[4 * i], back[4 * i + 1], back[4 * i + 2]), points[i], 1e-9,
                        "strided inverse");
        }
        if (t != &kShift && t != &kAffine && t != &chain && t != &opaque) delete t;
    }
}
