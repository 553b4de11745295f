// vec_t_: the fixed-size coordinate vector (2D and 3D points) shared by geometry, raster and
// transforms.
#pragma once

#include "Core/KrExport.h"

#include <cmath>
#include <cstddef>

namespace KrVecDetail {
/// Throws std::invalid_argument "vec_t_<T,N>::operator[]( size_t idx)[ const]: index out of range".
[[noreturn]] KRSTD_API void ThrowIndexOutOfRange(std::size_t n, bool isConst);
} // namespace KrVecDetail

/// A vector of N coordinates of type T. The 2D and 3D forms name their coordinates x, y (, z);
/// every form is an aggregate of N values in order, so arrays of points are plain coordinate
/// arrays. Indexing is checked and throws std::invalid_argument out of range.
template <class T, std::size_t N> struct vec_t_ {
    T v[N];

    T& operator[](std::size_t i) {
        if (i >= N) KrVecDetail::ThrowIndexOutOfRange(N, false);
        return v[i];
    }
    const T& operator[](std::size_t i) const {
        if (i >= N) KrVecDetail::ThrowIndexOutOfRange(N, true);
        return v[i];
    }
    T* data() noexcept { return v; }
    const T* data() const noexcept { return v; }
};

template <class T> struct vec_t_<T, 2> {
    T x, y;

    constexpr vec_t_() noexcept : x(), y() {}
    constexpr vec_t_(T x_, T y_) noexcept : x(x_), y(y_) {}

    T& operator[](std::size_t i) {
        if (i >= 2) KrVecDetail::ThrowIndexOutOfRange(2, false);
        return i == 0 ? x : y;
    }
    const T& operator[](std::size_t i) const {
        if (i >= 2) KrVecDetail::ThrowIndexOutOfRange(2, true);
        return i == 0 ? x : y;
    }
    T* data() noexcept { return &x; }
    const T* data() const noexcept { return &x; }
};

template <class T> struct vec_t_<T, 3> {
    T x, y, z;

    constexpr vec_t_() noexcept : x(), y(), z() {}
    constexpr vec_t_(T x_, T y_, T z_) noexcept : x(x_), y(y_), z(z_) {}

    T& operator[](std::size_t i) {
        if (i >= 3) KrVecDetail::ThrowIndexOutOfRange(3, false);
        return i == 0 ? x : i == 1 ? y : z;
    }
    const T& operator[](std::size_t i) const {
        if (i >= 3) KrVecDetail::ThrowIndexOutOfRange(3, true);
        return i == 0 ? x : i == 1 ? y : z;
    }
    T* data() noexcept { return &x; }
    const T* data() const noexcept { return &x; }
};

using vec2d = vec_t_<double, 2>;
using vec3d = vec_t_<double, 3>;

// Component-wise arithmetic of the 2D and 3D forms.
template <class T> constexpr vec_t_<T, 2> operator+(const vec_t_<T, 2>& a, const vec_t_<T, 2>& b) {
    return {a.x + b.x, a.y + b.y};
}
template <class T> constexpr vec_t_<T, 2> operator-(const vec_t_<T, 2>& a, const vec_t_<T, 2>& b) {
    return {a.x - b.x, a.y - b.y};
}
template <class T> constexpr vec_t_<T, 2> operator-(const vec_t_<T, 2>& a) {
    return {-a.x, -a.y};
}
template <class T> constexpr vec_t_<T, 2> operator*(const vec_t_<T, 2>& a, T s) {
    return {a.x * s, a.y * s};
}
template <class T> constexpr vec_t_<T, 2> operator*(T s, const vec_t_<T, 2>& a) {
    return {a.x * s, a.y * s};
}
template <class T> constexpr vec_t_<T, 2> operator/(const vec_t_<T, 2>& a, T s) {
    return {a.x / s, a.y / s};
}
template <class T> constexpr bool operator==(const vec_t_<T, 2>& a, const vec_t_<T, 2>& b) {
    return a.x == b.x && a.y == b.y;
}
template <class T> constexpr bool operator!=(const vec_t_<T, 2>& a, const vec_t_<T, 2>& b) {
    return !(a == b);
}
template <class T> vec_t_<T, 2>& operator+=(vec_t_<T, 2>& a, const vec_t_<T, 2>& b) {
    a.x += b.x;
    a.y += b.y;
    return a;
}
template <class T> vec_t_<T, 2>& operator-=(vec_t_<T, 2>& a, const vec_t_<T, 2>& b) {
    a.x -= b.x;
    a.y -= b.y;
    return a;
}
template <class T> vec_t_<T, 2>& operator*=(vec_t_<T, 2>& a, T s) {
    a.x *= s;
    a.y *= s;
    return a;
}

template <class T> constexpr vec_t_<T, 3> operator+(const vec_t_<T, 3>& a, const vec_t_<T, 3>& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
template <class T> constexpr vec_t_<T, 3> operator-(const vec_t_<T, 3>& a, const vec_t_<T, 3>& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
template <class T> constexpr vec_t_<T, 3> operator-(const vec_t_<T, 3>& a) {
    return {-a.x, -a.y, -a.z};
}
template <class T> constexpr vec_t_<T, 3> operator*(const vec_t_<T, 3>& a, T s) {
    return {a.x * s, a.y * s, a.z * s};
}
template <class T> constexpr vec_t_<T, 3> operator*(T s, const vec_t_<T, 3>& a) {
    return {a.x * s, a.y * s, a.z * s};
}
template <class T> constexpr vec_t_<T, 3> operator/(const vec_t_<T, 3>& a, T s) {
    return {a.x / s, a.y / s, a.z / s};
}
template <class T> constexpr bool operator==(const vec_t_<T, 3>& a, const vec_t_<T, 3>& b) {
    return a.x == b.x && a.y == b.y && a.z == b.z;
}
template <class T> constexpr bool operator!=(const vec_t_<T, 3>& a, const vec_t_<T, 3>& b) {
    return !(a == b);
}
template <class T> vec_t_<T, 3>& operator+=(vec_t_<T, 3>& a, const vec_t_<T, 3>& b) {
    a.x += b.x;
    a.y += b.y;
    a.z += b.z;
    return a;
}
template <class T> vec_t_<T, 3>& operator-=(vec_t_<T, 3>& a, const vec_t_<T, 3>& b) {
    a.x -= b.x;
    a.y -= b.y;
    a.z -= b.z;
    return a;
}
template <class T> vec_t_<T, 3>& operator*=(vec_t_<T, 3>& a, T s) {
    a.x *= s;
    a.y *= s;
    a.z *= s;
    return a;
}

/// Dot products, the plane's scalar cross product (a.x·b.y − a.y·b.x) and the space's cross
/// product, squared and plain lengths.
template <class T> constexpr T dot(const vec_t_<T, 2>& a, const vec_t_<T, 2>& b) {
    return a.x * b.x + a.y * b.y;
}
template <class T> constexpr T dot(const vec_t_<T, 3>& a, const vec_t_<T, 3>& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
template <class T> constexpr T cross(const vec_t_<T, 2>& a, const vec_t_<T, 2>& b) {
    return a.x * b.y - a.y * b.x;
}
template <class T> constexpr vec_t_<T, 3> cross(const vec_t_<T, 3>& a, const vec_t_<T, 3>& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
template <class T, std::size_t N> constexpr T norm2(const vec_t_<T, N>& a) {
    return dot(a, a);
}
template <class T, std::size_t N> T norm(const vec_t_<T, N>& a) {
    return std::sqrt(dot(a, a));
}
