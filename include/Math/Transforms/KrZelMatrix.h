// TZelMatrix and TZelVec: small dense matrices with 1-based access, the SPD solver and the symmetric
// eigen-problem.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <vector>

/// A dense vector of doubles with 1-based element access (v(1) … v(n)); zeros when made.
class KRSTD_API TZelVec {
public:
    TZelVec() = default;
    explicit TZelVec(std::size_t n) : m_v(n, 0.0) {}

    std::size_t Size() const noexcept { return m_v.size(); }
    /// Element i, 1 <= i <= Size() (unchecked).
    double& operator()(std::size_t i) noexcept { return m_v[i - 1]; }
    double operator()(std::size_t i) const noexcept { return m_v[i - 1]; }
    double* data() noexcept { return m_v.data(); }
    const double* data() const noexcept { return m_v.data(); }

private:
    std::vector<double> m_v;
};

/// A dense row-major matrix of doubles with 1-based element access (m(1, 1) … m(rows, cols));
/// zeros when made.
class KRSTD_API TZelMatrix {
public:
    TZelMatrix() = default;
    TZelMatrix(std::size_t rows, std::size_t cols) : m_rows(rows), m_cols(cols), m_v(rows * cols, 0.0) {}

    std::size_t Rows() const noexcept { return m_rows; }
    std::size_t Cols() const noexcept { return m_cols; }
    /// Element (i, j), 1-based (unchecked).
    double& operator()(std::size_t i, std::size_t j) noexcept { return m_v[(i - 1) * m_cols + (j - 1)]; }
    double operator()(std::size_t i, std::size_t j) const noexcept { return m_v[(i - 1) * m_cols + (j - 1)]; }
    double* data() noexcept { return m_v.data(); }
    const double* data() const noexcept { return m_v.data(); }

private:
    std::size_t m_rows = 0, m_cols = 0;
    std::vector<double> m_v;
};

/// Cholesky factorisation in place: the lower triangle becomes L with L·Lᵀ = a (the upper
/// triangle is zeroed). Each pivot is clamped into [1e-50, 1e50] (a NaN pivot counts as too
/// small) before its square root, so a singular or indefinite matrix still factorises.
/// O(n³/6). A non-square matrix throws std::invalid_argument.
KRSTD_API void Sqrt(TZelMatrix& a);

/// Solves a·x = b for a symmetric positive definite `a` through Sqrt; during the forward and
/// back substitution a component whose diagonal entry of L is below 1e-25 in magnitude is set
/// to 0 instead of divided. Sizes that do not match throw std::invalid_argument.
KRSTD_API TZelVec Solve(const TZelMatrix& a, const TZelVec& b);

/// Eigenvalues (ascending) and unit eigenvectors (column j belongs to value j) of the symmetric
/// matrix `a`, of which only the lower triangle is read. False (outputs unchanged) for a
/// non-square matrix, non-finite entries or no convergence. O(n³).
KRSTD_API bool EigenProblem(const TZelMatrix& a, TZelVec& values, TZelMatrix& vectors);
