// Coordinate vectors and bounds: checked indexing texts, arithmetic, growing bounds.
#include "Math/KrLimits.h"
#include "Math/KrVec.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {
template <class F> std::string InvalidArgumentText(F f) {
    try {
        f();
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "(nothing thrown)";
}
} // namespace

TEST(KrVec, IndexingIsCheckedWithTheFamilyTexts) {
    vec2d p(1, 2);
    const vec3d q(1, 2, 3);
    p[1] = 5;
    EXPECT_EQ(p.y, 5);
    EXPECT_EQ(q[2], 3);
    EXPECT_EQ(InvalidArgumentText([&] { p[2] = 0; }),
              "vec_t_<T,2>::operator[]( size_t idx): index out of range");
    EXPECT_EQ(InvalidArgumentText([&] { (void)q[3]; }),
              "vec_t_<T,3>::operator[]( size_t idx) const: index out of range");
}

TEST(KrVec, ArithmeticAndProducts) {
    const vec3d a(1, 2, 3), b(4, 5, 6);
    EXPECT_EQ(a + b, vec3d(5, 7, 9));
    EXPECT_EQ(b - a, vec3d(3, 3, 3));
    EXPECT_EQ(2.0 * a, vec3d(2, 4, 6));
    EXPECT_EQ(dot(a, b), 32);
    EXPECT_EQ(cross(a, b), vec3d(-3, 6, -3));
    EXPECT_EQ(cross(vec2d(1, 0), vec2d(0, 1)), 1);
    EXPECT_EQ(norm(vec2d(3, 4)), 5);
}

TEST(KrLimits, GrowFromEmptyAndTest) {
    limits2d l;
    EXPECT_TRUE(l.is_empty());
    EXPECT_FALSE(l.contains(vec2d(0, 0)));
    l.add(vec2d(1, 5));
    l.add(vec2d(-2, 3));
    EXPECT_EQ(l.min, vec2d(-2, 3));
    EXPECT_EQ(l.max, vec2d(1, 5));
    EXPECT_TRUE(l.contains(vec2d(1, 3))); // the border is inside
    EXPECT_TRUE(l.intersects(limits2d(vec2d(1, 5), vec2d(9, 9))));
    EXPECT_FALSE(l.intersects(limits2d(vec2d(1.5, 0), vec2d(9, 9))));
    EXPECT_FALSE(l.intersects(limits2d()));
}
