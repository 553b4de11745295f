// matr3x3 and matr4x4_t_: the row-major 3×3 and 4×4 matrices shared by the plane and space transforms.
#pragma once

#include <cstddef>

/// A row-major 3×3 matrix of doubles: m00 m01 m02 / m10 m11 m12 / m20 m21 m22. As a plane
/// transform it maps (x, y) to ((m00·x + m01·y + m02) / w, (m10·x + m11·y + m12) / w) with
/// w = m20·x + m21·y + m22, so the translation sits in m02 and m12. Nine doubles in order, no
/// padding: an array of matrices is a plain array of doubles.
struct matr3x3 {
    double m00, m01, m02;
    double m10, m11, m12;
    double m20, m21, m22;

    /// All zeros.
    constexpr matr3x3() noexcept : m00(0), m01(0), m02(0), m10(0), m11(0), m12(0), m20(0), m21(0), m22(0) {}
    constexpr matr3x3(double a00, double a01, double a02, double a10, double a11, double a12, double a20,
                      double a21, double a22) noexcept
        : m00(a00), m01(a01), m02(a02), m10(a10), m11(a11), m12(a12), m20(a20), m21(a21), m22(a22) {}

    /// The unit matrix.
    static constexpr matr3x3 Unit() noexcept { return matr3x3(1, 0, 0, 0, 1, 0, 0, 0, 1); }

    /// Unchecked element access by row and column (0-based).
    double& operator()(std::size_t r, std::size_t c) noexcept { return (&m00)[3 * r + c]; }
    double operator()(std::size_t r, std::size_t c) const noexcept { return (&m00)[3 * r + c]; }
    double* data() noexcept { return &m00; }
    const double* data() const noexcept { return &m00; }

    constexpr double Determinant() const noexcept {
        return m00 * (m11 * m22 - m12 * m21) - m01 * (m10 * m22 - m12 * m20) + m02 * (m10 * m21 - m11 * m20);
    }
    /// The adjugate (transposed cofactors): the inverse times the determinant, defined for
    /// singular matrices too.
    constexpr matr3x3 Adjugate() const noexcept {
        return matr3x3(m11 * m22 - m12 * m21, m02 * m21 - m01 * m22, m01 * m12 - m02 * m11,
                       m12 * m20 - m10 * m22, m00 * m22 - m02 * m20, m02 * m10 - m00 * m12,
                       m10 * m21 - m11 * m20, m01 * m20 - m00 * m21, m00 * m11 - m01 * m10);
    }
    constexpr matr3x3 Transposed() const noexcept {
        return matr3x3(m00, m10, m20, m01, m11, m21, m02, m12, m22);
    }
};

/// The matrix product a·b (b applied first when both are transforms).
constexpr matr3x3 operator*(const matr3x3& a, const matr3x3& b) noexcept {
    return matr3x3(
        a.m00 * b.m00 + a.m01 * b.m10 + a.m02 * b.m20, a.m00 * b.m01 + a.m01 * b.m11 + a.m02 * b.m21,
        a.m00 * b.m02 + a.m01 * b.m12 + a.m02 * b.m22, a.m10 * b.m00 + a.m11 * b.m10 + a.m12 * b.m20,
        a.m10 * b.m01 + a.m11 * b.m11 + a.m12 * b.m21, a.m10 * b.m02 + a.m11 * b.m12 + a.m12 * b.m22,
        a.m20 * b.m00 + a.m21 * b.m10 + a.m22 * b.m20, a.m20 * b.m01 + a.m21 * b.m11 + a.m22 * b.m21,
        a.m20 * b.m02 + a.m21 * b.m12 + a.m22 * b.m22);
}
/// Exact element-wise comparison (a NaN compares unequal).
constexpr bool operator==(const matr3x3& a, const matr3x3& b) noexcept {
    return a.m00 == b.m00 && a.m01 == b.m01 && a.m02 == b.m02 && a.m10 == b.m10 && a.m11 == b.m11 &&
           a.m12 == b.m12 && a.m20 == b.m20 && a.m21 == b.m21 && a.m22 == b.m22;
}
constexpr bool operator!=(const matr3x3& a, const matr3x3& b) noexcept {
    return !(a == b);
}

/// A row-major 4×4 matrix of T: m00 m01 m02 m03 / m10 … / m30 m31 m32 m33; sixteen values in
/// order. The default constructor fills zeros.
template <class T> struct matr4x4_t_ {
    T m00, m01, m02, m03;
    T m10, m11, m12, m13;
    T m20, m21, m22, m23;
    T m30, m31, m32, m33;

    constexpr matr4x4_t_() noexcept
        : m00(), m01(), m02(), m03(), m10(), m11(), m12(), m13(), m20(), m21(), m22(), m23(), m30(), m31(),
          m32(), m33() {}

    static constexpr matr4x4_t_ Unit() noexcept {
        matr4x4_t_ u;
        u.m00 = u.m11 = u.m22 = u.m33 = T(1);
        return u;
    }

    /// Unchecked element access by row and column (0-based).
    T& operator()(std::size_t r, std::size_t c) noexcept { return (&m00)[4 * r + c]; }
    const T& operator()(std::size_t r, std::size_t c) const noexcept { return (&m00)[4 * r + c]; }
    T* data() noexcept { return &m00; }
    const T* data() const noexcept { return &m00; }
};

template <class T> matr4x4_t_<T> operator*(const matr4x4_t_<T>& a, const matr4x4_t_<T>& b) noexcept {
    matr4x4_t_<T> p;
    for (std::size_t r = 0; r < 4; ++r)
        for (std::size_t c = 0; c < 4; ++c) {
            T s = T();
            for (std::size_t k = 0; k < 4; ++k)
                s += a(r, k) * b(k, c);
            p(r, c) = s;
        }
    return p;
}

using matr4x4 = matr4x4_t_<double>;
