// limits_t_: axis-aligned bounds of points, with an empty flag.
#pragma once

#include "Math/KrVec.h"

#include <algorithm>

/// Bounds [min, max] per axis of everything added so far; a default-made limits is empty and
/// its min and max mean nothing until the first point is added.
template <class T, std::size_t N> struct limits_t_ {
    using point_t = vec_t_<T, N>;

    point_t min{};
    point_t max{};
    bool empty = true;

    constexpr limits_t_() = default;
    /// Bounds from two corners, taken as given (min need not be below max on every axis).
    constexpr limits_t_(const point_t& lo, const point_t& hi) : min(lo), max(hi), empty(false) {}

    bool is_empty() const noexcept { return empty; }
    void clear() noexcept { empty = true; }

    /// Grows the bounds to include `p`.
    void add(const point_t& p) {
        if (empty) {
            min = max = p;
            empty = false;
            return;
        }
        for (std::size_t i = 0; i < N; ++i) {
            min.data()[i] = std::min(min.data()[i], p.data()[i]);
            max.data()[i] = std::max(max.data()[i], p.data()[i]);
        }
    }
    /// Grows the bounds to include `o` (nothing for an empty `o`).
    void add(const limits_t_& o) {
        if (o.empty) return;
        add(o.min);
        add(o.max);
    }
    /// True when `p` lies inside or on the border.
    bool contains(const point_t& p) const {
        if (empty) return false;
        for (std::size_t i = 0; i < N; ++i)
            if (p.data()[i] < min.data()[i] || p.data()[i] > max.data()[i]) return false;
        return true;
    }
    /// True when the two bounds share at least one point (touching counts).
    bool intersects(const limits_t_& o) const {
        if (empty || o.empty) return false;
        for (std::size_t i = 0; i < N; ++i)
            if (o.max.data()[i] < min.data()[i] || o.min.data()[i] > max.data()[i]) return false;
        return true;
    }
    point_t size() const { return max - min; }
    point_t center() const { return (min + max) / T(2); }
};

using limits2d = limits_t_<double, 2>;
using limits3d = limits_t_<double, 3>;
