// Plane transforms: forward then inverse over a grid reaching the far field, batch forms against single
// points, chain merging and matrices, singular matrices, quarter-turn rotations, effective transforms.
#include "Math/Transforms/KrAffineTransform.h"
#include "Math/Transforms/KrCombinedTransform.h"
#include "Math/Transforms/KrProjectiveTransform.h"
#include "Math/Transforms/KrShiftTransform.h"
#include "Math/Transforms/KrTransformUtils.h"
#include "Math/Transforms/KrUnityTransform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

var_a<TKr2DTransform*> Chain(std::initializer_list<const TKr2DTransform*> parts, bool collapse) {
    auto c = new_a<TCombinedTransform>();
    c->SetEnableCollapse(collapse);
    for (const TKr2DTransform* t : parts)
        c->AddTransform(*t);
    return c;
}

const TShiftTransform kShift(12.5, -3.25);
const TAffineTransform kAffine(1.2, 0.3, -50, -0.1, 0.9, 700);
const TProjectiveTransform kProj(1.1, 0.2, 30, -0.15, 0.95, 10, 2e-7, -1e-7, 1);

struct TNamed {
    std::string name;
    var_a<TKr2DTransform*> t;
};

std::vector<TNamed> AllKinds() {
    return {
        {"unity", new_a<TUnityTransform>()},
        {"shift", kShift.CreateCopy()},
        {"affine", kAffine.CreateCopy()},
        {"projective", kProj.CreateCopy()},
        {"chain", Chain({&kShift, &kAffine, &kProj, &kShift}, false)},
        {"collapsed chain", Chain({&kShift, &kAffine, &kProj, &kShift}, true)},
        {"empty chain", new_a<TCombinedTransform>()},
        {"rot-flip", MakeRotFlipTransform(3, vec2d(4000, 3000), true)},
    };
}

// A grid from −1e6 to 1e6 with the origin and small values; 41 × 41 points.
std::vector<vec2d> Grid() {
    std::vector<vec2d> g;
    for (int i = -20; i <= 20; ++i)
        for (int j = -20; j <= 20; ++j)
            g.emplace_back(std::copysign(std::pow(10.0, std::abs(i) * 0.3), i) - (i == 0),
                           std::copysign(std::pow(10.0, std::abs(j) * 0.3), j) - (j == 0));
    return g;
}

void ExpectClose(const vec2d& got, const vec2d& want, double rel, const std::string& what) {
    const double tol = rel * std::max(1.0, norm(want));
    EXPECT_NEAR(got.x, want.x, tol) << what;
    EXPECT_NEAR(got.y, want.y, tol) << what;
}

std::string ThrownText(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(nothing thrown)";
}

} // namespace

TEST(Kr2DTransform, ForwardThenInverseReturnsThePoint) {
    const std::vector<vec2d> grid = Grid();
    for (const TNamed& k : AllKinds()) {
        const var_a<TKr2DTransform*> inverse = k.t->CreateInverseTransform();
        for (const vec2d& p : grid) {
            const vec2d q = k.t->GetTraCoord(p);
            ExpectClose(k.t->GetInverseTraCoord(q), p, 1e-9, k.name);
            ExpectClose(inverse->GetTraCoord(q), p, 1e-9, k.name + " (inverse object)");
            vec2d b;
            ASSERT_TRUE(k.t->GetTraCoordB(p, b));
            EXPECT_EQ(b, q) << k.name;
        }
    }
}

TEST(Kr2DTransform, BatchFormsMatchSinglePoints) {
    std::vector<vec2d> grid = Grid(); // 1681 points: several chunks of a chain
    for (const TNamed& k : AllKinds()) {
        // Packed, into a strided array of 3 doubles per point, and in place.
        std::vector<vec2d> packed(grid.size());
        std::vector<double> strided(3 * grid.size(), -1);
        k.t->GetTraCoordM(grid.data(), 0, grid.size(), packed.data(), 0);
        k.t->GetTraCoordM(grid.data(), 16, grid.size(), reinterpret_cast<vec2d*>(strided.data()), 24);
        std::vector<vec2d> inPlace = grid;
        k.t->GetTraCoordM(inPlace.data(), 0, inPlace.size(), inPlace.data(), 0);
        std::vector<vec2d> back(grid.size());
        k.t->GetInverseTraCoordM(packed.data(), 0, packed.size(), back.data(), 16);
        for (std::size_t i = 0; i < grid.size(); ++i) {
            const vec2d q = k.t->GetTraCoord(grid[i]);
            ExpectClose(packed[i], q, 1e-15, k.name);
            EXPECT_EQ(packed[i], inPlace[i]) << k.name;
            EXPECT_EQ(vec2d(strided[3 * i], strided[3 * i + 1]), packed[i]) << k.name;
            EXPECT_EQ(strided[3 * i + 2], -1) << k.name << ": wrote between points";
            ExpectClose(back[i], k.t->GetInverseTraCoord(q), 1e-15, k.name);
        }
    }
}

TEST(Kr2DTransform, MatricesFlagsAndTimes) {
    struct TCase {
        const char* name;
        var_a<TKr2DTransform*> t;
        unsigned flags;
        double time;
    };
    const TCase cases[] = {
        {"unity", new_a<TUnityTransform>(), 1, 0.01},
        {"shift", kShift.CreateCopy(), 0, 0.1},
        {"affine", kAffine.CreateCopy(), 0, 1.0},
        {"projective", kProj.CreateCopy(), 0, 1.5},
        {"chain", Chain({&kShift, &kAffine, &kProj}, false), 0, 2.6},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(c.t->GetTransformFlags(), c.flags) << c.name;
        EXPECT_DOUBLE_EQ(c.t->GetTransformTime(false), c.time) << c.name;
        matr3x3 m, inv;
        ASSERT_TRUE(c.t->GetMatrix(nullptr) && c.t->GetMatrix(&m) && c.t->GetInverseMatrix(&inv)) << c.name;
        const matr3x3 id = m * inv;
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < 3; ++col)
                EXPECT_NEAR(id(r, col) / id.m22, r == col, 1e-12) << c.name;
        const vec2d p(123, -456);
        const double w = m.m20 * p.x + m.m21 * p.y + m.m22;
        ExpectClose(vec2d((m.m00 * p.x + m.m01 * p.y + m.m02) / w, (m.m10 * p.x + m.m11 * p.y + m.m12) / w),
                    c.t->GetTraCoord(p), 1e-14, c.name);
    }
    // The empty chain is the unit matrix; a chain with an element without a matrix has none.
    struct TNoMatrix : TShiftTransform {
        bool GetMatrix(matr3x3*) const override { return false; }
        var_a<TKr2DTransform*> CreateCopy() const override { return new_a<TNoMatrix>(); }
    };
    TCombinedTransform chain;
    matr3x3 m;
    ASSERT_TRUE(chain.GetMatrix(&m));
    EXPECT_EQ(m, matr3x3::Unit());
    chain.SetEnableCollapse(false);
    chain.AddTransform(kShift);
    chain.AddTransform(TNoMatrix());
    EXPECT_FALSE(chain.GetMatrix(nullptr));
    EXPECT_TRUE(chain.GetInverseMatrix(nullptr));
}

TEST(Kr2DTransform, ChainsMergeWhereTheyCan) {
    const TUnityTransform unity;
    struct TCase {
        std::vector<const TKr2DTransform*> parts;
        bool collapse;
        std::vector<std::string> classes; // content names of the elements
    };
    const TCase cases[] = {
        {{&kShift, &kAffine, &kShift}, true, {"AffineTransform"}},
        {{&kShift, &kAffine, &kShift}, false, {"ShiftTransform", "AffineTransform", "ShiftTransform"}},
        {{&kShift, &kShift}, true, {"ShiftTransform"}},
        {{&kAffine, &kProj, &kShift}, true, {"ProjectiveTransform"}},
        {{&kProj, &kAffine}, true, {"ProjectiveTransform"}},
        {{&unity, &kShift, &unity}, false, {"ShiftTransform"}},
        {{&unity}, true, {}},
    };
    for (const TCase& c : cases) {
        TCombinedTransform chain;
        chain.SetEnableCollapse(c.collapse);
        TCombinedTransform reference; // never merges: the same map element by element
        reference.SetEnableCollapse(false);
        for (const TKr2DTransform* t : c.parts) {
            chain.AddTransform(*t);
            reference.AddTransform(*t);
        }
        ASSERT_EQ(chain.GetTransformsCount(), c.classes.size());
        for (std::size_t i = 0; i < c.classes.size(); ++i)
            EXPECT_EQ(chain.GetTransform(i)->GetContentName(), c.classes[i]);
        for (const vec2d& p : {vec2d(0, 0), vec2d(1e3, -2e3), vec2d(-5e4, 7)})
            ExpectClose(chain.GetTraCoord(p), reference.GetTraCoord(p), 1e-12, "merged");
    }
    // A chain added to a chain joins element by element, or as one element without collapse.
    TCombinedTransform outer;
    outer.AddTransform(*Chain({&kShift, &kProj}, false));
    EXPECT_EQ(outer.GetTransformsCount(), 1u);
    outer.SetEnableCollapse(false);
    outer.AddTransform(*Chain({&kShift, &kProj}, false));
    ASSERT_EQ(outer.GetTransformsCount(), 2u);
    EXPECT_STREQ(outer.GetTransform(1)->GetContentName(), "CombinedTransform");
    EXPECT_EQ(outer.GetTransform(2), nullptr);
    EXPECT_FALSE(outer.GetTransformV(2));
    // Elements are copies: changing the source afterwards changes nothing.
    TShiftTransform s(1, 1);
    TCombinedTransform copy;
    copy.AddTransform(s);
    s.SetShift(vec2d(9, 9));
    EXPECT_EQ(copy.GetTraCoord(vec2d(0, 0)), vec2d(1, 1));
    TCombinedTransform assigned;
    assigned = copy;
    EXPECT_NE(assigned.GetTransform(0), copy.GetTransform(0));
}

TEST(Kr2DTransform, CompositionUpdatesBothDirections) {
    TAffineTransform a = kAffine;
    a.LMul(kShift);
    a.RMul(TAffineTransform(0.5, 0, 1, 0, 2, -1));
    TProjectiveTransform p = kProj;
    p *= kAffine;
    p.LMul(kShift);
    const auto chainA = Chain({&kShift, &kAffine}, false);
    for (const vec2d& q : {vec2d(3, 4), vec2d(-1e4, 2e3)}) {
        ExpectClose(a.GetInverseTraCoord(a.GetTraCoord(q)), q, 1e-12, "affine");
        ExpectClose(p.GetInverseTraCoord(p.GetTraCoord(q)), q, 1e-12, "projective");
        ExpectClose(p.GetTraCoord(q), kShift.GetTraCoord(kProj.GetTraCoord(kAffine.GetTraCoord(q))), 1e-12,
                    "order");
    }
    EXPECT_EQ(p.GetForward().m22, 1);
    EXPECT_EQ(TProjectiveTransform(kAffine, 0).GetForward(), TProjectiveTransform(kAffine).GetInverse());
}

TEST(Kr2DTransform, SingularMatricesAreRefused) {
    EXPECT_EQ(ThrownText([] { TAffineTransform(1e-20, 0, 0, 0, 1, 0); }), "TAffineTransform::InitInverseE()");
    EXPECT_EQ(ThrownText([] { TAffineTransform(2e-20, 0, 0, 0, 1, 0); }), "(nothing thrown)");
    EXPECT_EQ(ThrownText([] { TAffineTransform(std::nan(""), 0, 0, 0, 1, 0); }),
              "TAffineTransform::InitInverseE()");
    EXPECT_EQ(ThrownText([] { TProjectiveTransform(1, 2, 3, 2, 4, 6, 0, 0, 1); }),
              "TProjectiveTransform::InitInverse()");
    // Non-singular, but the inverse sends the origin to infinity: no normalised inverse exists.
    EXPECT_EQ(ThrownText([] { TProjectiveTransform(0, 1, 0, 0, 0, 1, 1, 0, 1); }),
              "TProjectiveTransform::InitInverse()");
    EXPECT_EQ(ThrownText([] { TProjectiveTransform(1, 0, 0, 0, 1, 0, 1, 0, 0); }),
              "TProjectiveTransform::Normalize()");
    TAffineTransform a = kAffine;
    EXPECT_EQ(ThrownText([&] {
                  a.SetAffine(TAffine{1, 2, 0, 2, 4, 0});
              }),
              "TAffineTransform::InitInverseE()");
    EXPECT_EQ(a.GetAffine().m00, kAffine.GetAffine().m00); // unchanged after the failure
    TAffine inv;
    EXPECT_FALSE((TAffine{1, 1, 0, 1, 1, 0}.GetInverse(inv)));
}

TEST(Kr2DTransform, RotFlipAndEffectiveTransforms) {
    struct TRot {
        int rotation;
        bool swap;
        vec2d origin, corner; // images of (0, 0) and (100, 50)
    } rots[] = {
        {1, false, vec2d(50, 0), vec2d(0, 100)}, {1, true, vec2d(100, 0), vec2d(50, 100)},
        {2, false, vec2d(100, 50), vec2d(0, 0)}, {3, false, vec2d(0, 100), vec2d(50, 0)},
        {5, false, vec2d(50, 0), vec2d(0, 100)}, {-1, false, vec2d(0, 0), vec2d(100, 50)},
        {0, true, vec2d(0, 0), vec2d(100, 50)},
    };
    for (const TRot& r : rots) {
        const auto t = MakeRotFlipTransform(r.rotation, vec2d(100, 50), r.swap);
        EXPECT_STREQ(t->GetContentName(), "ProjectiveTransform");
        EXPECT_EQ(t->GetTraCoord(vec2d(0, 0)), r.origin) << r.rotation;
        EXPECT_EQ(t->GetTraCoord(vec2d(100, 50)), r.corner) << r.rotation;
    }
    struct TEff {
        var_a<TKr2DTransform*> t;
        const char* want; // content name, or "" for null
    } effs[] = {
        {Chain({}, true), "UnityTransform"},
        {new_a<TProjectiveTransform>(1, 0, 5, 0, 1, 6, 0, 0, 1), "ShiftTransform"},
        {new_a<TProjectiveTransform>(2, 0, 5, 0, 1, 6, 0, 0, 1), "AffineTransform"},
        {Chain({&kShift, &kProj}, false), "ProjectiveTransform"},
        {var_a<TKr2DTransform*>(), ""},
    };
    for (const TEff& e : effs) {
        const auto got = KrGetEffectiveTransform(e.t, false);
        EXPECT_EQ(got ? got->GetContentName() : "", std::string(e.want));
        if (got) ExpectClose(got->GetTraCoord(vec2d(7, 8)), e.t->GetTraCoord(vec2d(7, 8)), 1e-14, e.want);
    }
    EXPECT_FALSE(KrGetEffectiveTransform(Chain({}, true), true));
    const var_a<TKr2DTransform*> affine = kAffine.CreateCopy();
    EXPECT_EQ(KrGetEffectiveTransform(affine, true), affine); // already the simplest: the same object
    EXPECT_EQ(classify(matr3x3(1, 0, 0, 0, 1, 0, 0, 0, std::nan(""))), 3);
}
