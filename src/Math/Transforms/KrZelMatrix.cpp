// The SPD solver by clamped Cholesky factorisation, and the symmetric eigen-problem through Eigen.
#include "Math/Transforms/KrZelMatrix.h"

#include <Eigen/Dense>

#include <cmath>
#include <stdexcept>

void Sqrt(TZelMatrix& a) {
    const std::size_t n = a.Rows();
    if (a.Cols() != n) throw std::invalid_argument("Sqrt(TZelMatrix&): the matrix is not square");
    for (std::size_t j = 1; j <= n; ++j) {
        double pivot = a(j, j);
        for (std::size_t k = 1; k < j; ++k)
            pivot -= a(j, k) * a(j, k);
        if (!(pivot >= 1e-50)) pivot = 1e-50; // also a NaN
        if (pivot > 1e50) pivot = 1e50;
        const double d = std::sqrt(pivot);
        a(j, j) = d;
        for (std::size_t i = j + 1; i <= n; ++i) {
            double v = a(i, j);
            for (std::size_t k = 1; k < j; ++k)
                v -= a(i, k) * a(j, k);
            a(i, j) = v / d;
        }
        for (std::size_t i = 1; i < j; ++i)
            a(i, j) = 0;
    }
}

TZelVec Solve(const TZelMatrix& a, const TZelVec& b) {
    const std::size_t n = a.Rows();
    if (a.Cols() != n || b.Size() != n)
        throw std::invalid_argument("Solve(TZelMatrix, TZelVec): sizes do not match");
    TZelMatrix l = a;
    Sqrt(l);
    TZelVec x(n);
    for (std::size_t i = 1; i <= n; ++i) {
        double v = b(i);
        for (std::size_t k = 1; k < i; ++k)
            v -= l(i, k) * x(k);
        x(i) = std::fabs(l(i, i)) < 1e-25 ? 0.0 : v / l(i, i);
    }
    for (std::size_t i = n; i >= 1; --i) {
        double v = x(i);
        for (std::size_t k = i + 1; k <= n; ++k)
            v -= l(k, i) * x(k);
        x(i) = std::fabs(l(i, i)) < 1e-25 ? 0.0 : v / l(i, i);
    }
    return x;
}

bool EigenProblem(const TZelMatrix& a, TZelVec& values, TZelMatrix& vectors) {
    const std::size_t n = a.Rows();
    if (a.Cols() != n) return false;
    Eigen::MatrixXd m(n, n);
    for (std::size_t i = 1; i <= n; ++i)
        for (std::size_t j = 1; j <= i; ++j) {
            m(i - 1, j - 1) = a(i, j);
            m(j - 1, i - 1) = a(i, j);
        }
    if (!m.allFinite()) return false;
    Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> solver(m);
    if (solver.info() != Eigen::Success) return false;
    TZelVec v(n);
    TZelMatrix e(n, n);
    for (std::size_t j = 1; j <= n; ++j) {
        v(j) = solver.eigenvalues()(j - 1);
        for (std::size_t i = 1; i <= n; ++i)
            e(i, j) = solver.eigenvectors()(i - 1, j - 1);
    }
    values = std::move(v);
    vectors = std::move(e);
    return true;
}
