// Least-squares fits of plane transforms to point pairs, class choice, screening, similarity limits, 3D
// rotation fits.
#include "Math/Transforms/KrMatchPoints.h"

#include "Math/Transforms/KrZelMatrix.h"

#include <Eigen/Dense>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <stdexcept>

// The fits solve the least-squares problems as stated (raw coordinates, equal weights), but
// in shifted and scaled coordinates, transformed so that the minimiser is the same: that keeps
// the normal equations well conditioned when coordinates are large (map coordinates of 1e6
// with a spread of 1e3 would otherwise lose most digits).

namespace {

using Vec8 = Eigen::Matrix<double, 8, 1>;
using Mat8 = Eigen::Matrix<double, 8, 8>;

bool AllFinite(const TKrPointPairs& pairs) {
    for (const auto& p : pairs)
        if (!std::isfinite(p.first.x) || !std::isfinite(p.first.y) || !std::isfinite(p.second.x) ||
            !std::isfinite(p.second.y))
            return false;
    return true;
}

vec2d Apply(const matr3x3& m, const vec2d& p) {
    const double w = m.m20 * p.x + m.m21 * p.y + m.m22;
    return vec2d((m.m00 * p.x + m.m01 * p.y + m.m02) / w, (m.m10 * p.x + m.m11 * p.y + m.m12) / w);
}

double ResidualSum(const TKrPointPairs& pairs, const matr3x3& m) {
    double e = 0;
    for (const auto& p : pairs)
        e += norm2(Apply(m, p.first) - p.second);
    return e;
}

struct TCentroids {
    vec2d src, dst;
};

TCentroids Centroids(const TKrPointPairs& pairs) {
    TCentroids c;
    for (const auto& p : pairs) {
        c.src += p.first;
        c.dst += p.second;
    }
    const double f = 1.0 / static_cast<double>(pairs.size());
    c.src *= f;
    c.dst *= f;
    return c;
}

// Sums of the centred sources' second moments and of their products with the centred targets.
struct TMoments {
    double sxx = 0, sxy = 0, syy = 0;      // Σ x̃², Σ x̃ỹ, Σ ỹ²
    double xX = 0, yX = 0, xY = 0, yY = 0; // Σ x̃x̃′, Σ ỹx̃′, Σ x̃ỹ′, Σ ỹỹ′
};

TMoments Moments(const TKrPointPairs& pairs, const TCentroids& c) {
    TMoments m;
    for (const auto& p : pairs) {
        const double x = p.first.x - c.src.x, y = p.first.y - c.src.y;
        const double X = p.second.x - c.dst.x, Y = p.second.y - c.dst.y;
        m.sxx += x * x;
        m.sxy += x * y;
        m.syy += y * y;
        m.xX += x * X;
        m.yX += y * X;
        m.xY += x * Y;
        m.yY += y * Y;
    }
    return m;
}

// True when the sources' spread is nothing but rounding: below 1e-13 of their distance from
// the origin, or exactly zero.
bool Coincident(const TMoments& m, const TCentroids& c, std::size_t n) {
    const double spread = m.sxx + m.syy;
    return !(spread > static_cast<double>(n) * 1e-26 * norm2(c.src)) || spread == 0;
}

// The translation that makes the centroids match under the linear part of m.
void MatchCentroids(matr3x3& m, const TCentroids& c) {
    m.m02 = c.dst.x - (m.m00 * c.src.x + m.m01 * c.src.y);
    m.m12 = c.dst.y - (m.m10 * c.src.x + m.m11 * c.src.y);
}

template <class E> [[noreturn]] void Throw(const char* text) {
    throw E(text);
}

// Mirror handling: the better of the direct fit and the fit to the targets mirrored in y.
bool TranWithFlip(const TKrPointPairs& pairs, matr3x3& out, int type);

bool FitOfType(const TKrPointPairs& pairs, matr3x3& m, int type) {
    switch (type) {
    case 1:
        return MatchPoints_Translation(pairs, m);
    case 2:
        return MatchPoints_Isometry(pairs, m);
    case 3:
        return MatchPoints_Similarity(pairs, m);
    case 4:
        return MatchPoints_AffineEx(pairs, m);
    case 5:
        return MatchPoints_ProjectiveEx(pairs, m);
    default:
        return false;
    }
}

bool TranWithFlip(const TKrPointPairs& pairs, matr3x3& out, int type) {
    if (type < 1 || type > 5) return false;
    matr3x3 direct;
    const bool directOk = FitOfType(pairs, direct, type);
    if (!directOk) direct = matr3x3::Unit();
    const double e1 = ResidualSum(pairs, direct);

    TKrPointPairs mirrored = pairs;
    for (auto& p : mirrored)
        p.second.y = -p.second.y;
    matr3x3 m2;
    const bool mirroredOk = FitOfType(mirrored, m2, type);
    if (!directOk && !mirroredOk) return false;
    if (mirroredOk && ResidualSum(mirrored, m2) < e1) {
        m2.m10 = -m2.m10;
        m2.m11 = -m2.m11;
        m2.m12 = -m2.m12;
        out = m2;
    } else {
        out = direct;
    }
    return true;
}

// The corners of a working area: two points are opposite corners of an axis-parallel
// rectangle, expanded counter-clockwise from (min x, min y).
std::vector<vec2d> AreaCorners(const std::vector<vec2d>& area) {
    if (area.size() != 2) return area;
    const double x0 = std::min(area[0].x, area[1].x), x1 = std::max(area[0].x, area[1].x);
    const double y0 = std::min(area[0].y, area[1].y), y1 = std::max(area[0].y, area[1].y);
    return {vec2d(x0, y0), vec2d(x1, y0), vec2d(x1, y1), vec2d(x0, y1)};
}

// Whether m keeps the outline of the area a convex, counter-clockwise polygon: no corner on or
// across the line that m sends to infinity, no turn to the right by more than `tolerance` (a
// corner's distance from the chord of its neighbours), and a positive area.
bool KeepsAreaShape(const matr3x3& m, const std::vector<vec2d>& area, double tolerance) {
    const std::vector<vec2d> corners = AreaCorners(area);
    const std::size_t n = corners.size();
    std::vector<vec2d> q(n);
    int wSign = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = m.m20 * corners[i].x + m.m21 * corners[i].y + m.m22;
        const int s = w > 0 ? 1 : w < 0 ? -1 : 0;
        if (s == 0 || (wSign != 0 && s != wSign)) return false;
        wSign = s;
        q[i] = Apply(m, corners[i]);
        if (!std::isfinite(q[i].x) || !std::isfinite(q[i].y)) return false;
    }
    const double tol = std::max(0.0, tolerance);
    double area2 = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const vec2d& a = q[(i + n - 1) % n];
        const vec2d& b = q[i];
        const vec2d& c = q[(i + 1) % n];
        if (cross(b - a, c - b) < -tol * norm(c - a)) return false;
        area2 += cross(b, c);
    }
    return area2 > 0;
}

matr3x3 Rotation(double angle) {
    const double c = std::cos(angle), s = std::sin(angle);
    return matr3x3(c, -s, 0, s, c, 0, 0, 0, 1);
}

// Fills the normal equations of the projective fit in scaled coordinates (sources divided by
// their root-mean-square norm σ, targets centred on c and divided by their spread τ) and
// returns the solution as a matrix in raw coordinates. Scaling the sources and shifting and
// scaling the targets multiply every residual by the same factor, so the minimiser is the one
// of the raw problem. (The sources are not shifted: that would change it.)
bool SolveProjective(const TKrPointPairs& pairs, matr3x3& out) {
    const std::size_t n = pairs.size();
    double srcNorm2 = 0;
    vec2d c;
    for (const auto& p : pairs) {
        srcNorm2 += norm2(p.first);
        c += p.second;
    }
    c *= 1.0 / static_cast<double>(n);
    double spread2 = 0;
    for (const auto& p : pairs)
        spread2 += norm2(p.second - c);
    const double sigma = std::sqrt(srcNorm2 / static_cast<double>(n));
    const double tau = std::sqrt(spread2 / static_cast<double>(n));
    if (!(sigma > 0) || !(tau > 0)) return false;
    const double is = 1 / sigma, it = 1 / tau;

    const auto rows = [&](const std::pair<vec2d, vec2d>& p, Vec8& r1, Vec8& r2, double& X, double& Y) {
        const double x = p.first.x * is, y = p.first.y * is;
        X = (p.second.x - c.x) * it;
        Y = (p.second.y - c.y) * it;
        r1 << x, y, 1, 0, 0, 0, -x * X, -y * X;
        r2 << 0, 0, 0, x, y, 1, -x * Y, -y * Y;
    };
    Mat8 N = Mat8::Zero();
    Vec8 rhs = Vec8::Zero(), r1, r2;
    double X, Y;
    for (const auto& p : pairs) {
        rows(p, r1, r2, X, Y);
        N.selfadjointView<Eigen::Lower>().rankUpdate(r1);
        N.selfadjointView<Eigen::Lower>().rankUpdate(r2);
        rhs += r1 * X + r2 * Y;
    }
    Vec8 g;
    Eigen::LDLT<Mat8, Eigen::Lower> ldlt(N);
    if (ldlt.info() == Eigen::Success && ldlt.isPositive() && ldlt.rcond() > 1e-10) {
        g = ldlt.solve(rhs);
    } else {
        // Nearly degenerate: the normal equations square the condition and would lose too
        // much, so the rows are solved directly; a rank below 8 means no fit exists.
        Eigen::Matrix<double, Eigen::Dynamic, 8> A(2 * n, 8);
        Eigen::VectorXd b(2 * n);
        for (std::size_t i = 0; i < n; ++i) {
            rows(pairs[i], r1, r2, X, Y);
            A.row(2 * i) = r1.transpose();
            A.row(2 * i + 1) = r2.transpose();
            b(2 * i) = X;
            b(2 * i + 1) = Y;
        }
        Eigen::ColPivHouseholderQR<Eigen::Matrix<double, Eigen::Dynamic, 8>> qr(A);
        qr.setThreshold(1e-10);
        if (qr.rank() < 8) return false;
        g = qr.solve(b);
    }
    if (!g.allFinite()) return false;
    const matr3x3 G(g(0), g(1), g(2), g(3), g(4), g(5), g(6), g(7), 1);
    // A map that flattens the (unit-sized) scaled configuration is no transform.
    if (!(std::fabs(G.Determinant()) > 1e-12)) return false;
    const matr3x3 target(tau, 0, c.x, 0, tau, c.y, 0, 0, 1);
    const matr3x3 source(is, 0, 0, 0, is, 0, 0, 0, 1);
    matr3x3 m = target * G * source;
    for (int i = 0; i < 8; ++i)
        m.data()[i] /= m.m22;
    m.m22 = 1;
    out = m;
    return true;
}

} // namespace

// --- Single classes ------------------------------------------------------------------------

bool MatchPoints_Translation(const TKrPointPairs& pairs, matr3x3& out) {
    if (pairs.empty() || !AllFinite(pairs)) return false;
    const TCentroids c = Centroids(pairs);
    out = matr3x3(1, 0, c.dst.x - c.src.x, 0, 1, c.dst.y - c.src.y, 0, 0, 1);
    return true;
}

matr3x3 MatchPoints_Translation(const TKrPointPairs& pairs) {
    if (pairs.size() < 1) Throw<std::length_error>("@MatchPoints_Translation: points.size() < 1");
    matr3x3 m;
    if (!MatchPoints_Translation(pairs, m))
        Throw<std::runtime_error>("@MatchPoints_Translation: degenerate transformation");
    return m;
}

bool MatchPoints_Similarity(const TKrPointPairs& pairs, matr3x3& out) {
    if (pairs.size() < 2 || !AllFinite(pairs)) return false;
    const TCentroids c = Centroids(pairs);
    const TMoments s = Moments(pairs, c);
    if (Coincident(s, c, pairs.size())) return false;
    const double d = s.sxx + s.syy;
    const double a = (s.xX + s.yY) / d, b = (s.yX - s.xY) / d;
    matr3x3 m(a, b, 0, -b, a, 0, 0, 0, 1);
    MatchCentroids(m, c);
    out = m;
    return true;
}

matr3x3 MatchPoints_Similarity(const TKrPointPairs& pairs) {
    if (pairs.size() < 2) Throw<std::length_error>("@MatchPoints_Similarity: points.size() < 2");
    matr3x3 m;
    if (!MatchPoints_Similarity(pairs, m))
        Throw<std::runtime_error>("@MatchPoints_Similarity: degenerate transformation");
    return m;
}

bool MatchPoints_Isometry(const TKrPointPairs& pairs, matr3x3& out) {
    matr3x3 m;
    if (!MatchPoints_Similarity(pairs, m)) return false;
    const double s = std::sqrt(m.m00 * m.m00 + m.m01 * m.m01);
    if (s < 1e-20) {
        out = m;
        return false;
    }
    m.m00 /= s;
    m.m01 /= s;
    m.m10 /= s;
    m.m11 /= s;
    MatchCentroids(m, Centroids(pairs));
    out = m;
    return true;
}

matr3x3 MatchPoints_Isometry(const TKrPointPairs& pairs) {
    matr3x3 m;
    if (!MatchPoints_Isometry(pairs, m))
        Throw<std::runtime_error>("@MatchPoints_Isometry: degenerate transformation");
    return m;
}

bool MatchPoints_AffineEx(const TKrPointPairs& pairs, matr3x3& out) {
    if (pairs.size() < 3 || !AllFinite(pairs)) return false;
    const TCentroids c = Centroids(pairs);
    const TMoments s = Moments(pairs, c);
    // Collinear sources: the smallest eigenvalue of the moment matrix (det / trace) vanishes
    // next to the largest (trace) up to rounding.
    const double det = s.sxx * s.syy - s.sxy * s.sxy;
    const double trace = s.sxx + s.syy;
    if (Coincident(s, c, pairs.size()) || !(det > 1e-12 * trace * trace)) return false;
    matr3x3 m((s.syy * s.xX - s.sxy * s.yX) / det, (s.sxx * s.yX - s.sxy * s.xX) / det, 0,
              (s.syy * s.xY - s.sxy * s.yY) / det, (s.sxx * s.yY - s.sxy * s.xY) / det, 0, 0, 0, 1);
    MatchCentroids(m, c);
    out = m;
    return true;
}

bool MatchPoints_Affine(const TKrPointPairs& pairs, matr3x3& out) {
    matr3x3 m;
    if (!MatchPoints_AffineEx(pairs, m) || !(m.m00 * m.m11 - m.m01 * m.m10 > 0)) return false;
    out = m;
    return true;
}

matr3x3 MatchPoints_AffineF(const TKrPointPairs& pairs, bool forbidFlip) {
    if (pairs.size() < 3) Throw<std::length_error>("@MatchPoints_Affine: points.size() < 3.");
    matr3x3 m;
    if (!MatchPoints_AffineEx(pairs, m))
        Throw<std::runtime_error>("@MatchPoints_Affine: degenerate transformation.");
    if (forbidFlip && !(m.m00 * m.m11 - m.m01 * m.m10 > 0))
        Throw<std::runtime_error>("@MatchPoints_Affine: flipping.");
    return m;
}

matr3x3 MatchPoints_Affine(const TKrPointPairs& pairs) {
    return MatchPoints_AffineF(pairs, true);
}

bool MatchPoints_AffineF(const TKrPointPairs& pairs, matr3x3& out) {
    return MatchPoints_AffineEx(pairs, out);
}

bool MatchPoints_ProjectiveEx(const TKrPointPairs& pairs, matr3x3& out) {
    if (pairs.size() < 4 || !AllFinite(pairs)) return false;
    return SolveProjective(pairs, out);
}

namespace {
bool ProjectiveKeepsOrientation(const matr3x3& m, const vec2d& p0) {
    return m.Determinant() * (m.m20 * p0.x + m.m21 * p0.y + m.m22) > 0;
}
} // namespace

bool MatchPoints_Projective(const TKrPointPairs& pairs, matr3x3& out) {
    matr3x3 m;
    if (!MatchPoints_ProjectiveEx(pairs, m) || !ProjectiveKeepsOrientation(m, pairs[0].first)) return false;
    out = m;
    return true;
}

matr3x3 MatchPoints_ProjectiveF(const TKrPointPairs& pairs, bool forbidFlip) {
    if (pairs.size() < 4) Throw<std::length_error>("@MatchPoints_Projective: points.size() < 4.");
    matr3x3 m;
    if (!MatchPoints_ProjectiveEx(pairs, m))
        Throw<std::runtime_error>("@MatchPoints_Projective: degenerate transformation.");
    if (forbidFlip && !ProjectiveKeepsOrientation(m, pairs[0].first))
        Throw<std::runtime_error>("@MatchPoints_Projective: flipping.");
    return m;
}

matr3x3 MatchPoints_Projective(const TKrPointPairs& pairs) {
    return MatchPoints_ProjectiveF(pairs, true);
}

bool MatchPoints_ProjectiveF(const TKrPointPairs& pairs, matr3x3& out) {
    return MatchPoints_ProjectiveEx(pairs, out);
}

bool MatchPoints_TranslationF(const TKrPointPairs& pairs, matr3x3& out) {
    return TranWithFlip(pairs, out, 1);
}

bool MatchPoints_IsometryF(const TKrPointPairs& pairs, matr3x3& out) {
    return TranWithFlip(pairs, out, 2);
}

bool MatchPoints_SimilarityF(const TKrPointPairs& pairs, matr3x3& out) {
    return TranWithFlip(pairs, out, 3);
}

// --- Class choice and screening ----------------------------------------------------------------

bool MatchPoints_SelfDefining(const TKrPointPairs& pairs, matr3x3& out, bool forbidFlip,
                              const std::vector<vec2d>* area, ETranType maxType, const double& tolerance,
                              ETranType* usedType) {
    ETranType used = TranType_None;
    const auto finish = [&](bool result) {
        if (usedType) *usedType = used;
        return result;
    };
    if (!AllFinite(pairs)) return finish(false);
    out = matr3x3::Unit();
    const std::size_t n = pairs.size();
    if (maxType == TranType_None || n == 0) return finish(true);
    int top = maxType;
    if (n == 1)
        top = std::min(top, 1);
    else if (n == 2)
        top = std::min(top, 3);
    else if (n == 3)
        top = std::min(top, 4);

    double e = 0;
    for (const auto& p : pairs)
        e += norm2(p.second - p.first);
    std::vector<vec2d> previous, mapped(n);
    if (tolerance > 0) {
        previous.reserve(n);
        for (const auto& p : pairs)
            previous.push_back(p.first);
    }
    for (int t = 1; t <= top; ++t) {
        matr3x3 m;
        bool ok;
        if (t > 5) return finish(false);
        if (forbidFlip) {
            switch (t) {
            case 1:
                ok = MatchPoints_Translation(pairs, m);
                break;
            case 2:
                ok = MatchPoints_Isometry(pairs, m);
                break;
            case 3:
                ok = MatchPoints_Similarity(pairs, m);
                break;
            case 4:
                ok = MatchPoints_Affine(pairs, m);
                break;
            default:
                ok = MatchPoints_Projective(pairs, m);
                break;
            }
        } else {
            ok = t <= 3 ? TranWithFlip(pairs, m, t) : FitOfType(pairs, m, t);
        }
        if (!ok) return finish(true);

        double et = 0;
        for (std::size_t i = 0; i < n; ++i) {
            mapped[i] = Apply(m, pairs[i].first);
            et += norm2(pairs[i].second - mapped[i]);
        }
        if (et > e * 1.0000001) break;
        if (t == 5 && forbidFlip && area && area->size() >= 2) {
            bool shapeKept = false;
            try {
                shapeKept = KeepsAreaShape(m, *area, tolerance);
            } catch (...) {
            }
            if (!shapeKept) break;
        }
        bool accept = tolerance <= 0;
        for (std::size_t i = 0; i < n && !accept; ++i)
            accept = std::fabs(mapped[i].x - previous[i].x) >= tolerance ||
                     std::fabs(mapped[i].y - previous[i].y) >= tolerance;
        if (accept) {
            out = m;
            used = static_cast<ETranType>(t);
            e = et;
            if (tolerance > 0) previous = mapped;
        }
    }
    return finish(true);
}

matr3x3 MatchPoints_SelfDefining(const TKrPointPairs& pairs, bool forbidFlip, const std::vector<vec2d>* area,
                                 ETranType maxType, const double& tolerance, ETranType* usedType) {
    matr3x3 m;
    if (!MatchPoints_SelfDefining(pairs, m, forbidFlip, area, maxType, tolerance, usedType))
        Throw<std::runtime_error>("@MatchPoints_SelfDefining");
    return m;
}

bool MatchPoints_Screening(const TKrPointPairs& pairs, matr3x3& out, bool forbidFlip,
                           const std::vector<vec2d>* area, ETranType maxType, const double& tolerance,
                           const double& rejectFraction, ETranType* usedType) {
    matr3x3 first;
    ETranType used = TranType_None;
    if (!MatchPoints_SelfDefining(pairs, first, forbidFlip, area, maxType, tolerance, &used)) {
        if (usedType) *usedType = used;
        return false;
    }
    const std::size_t n = pairs.size();
    const double f = std::clamp(rejectFraction, 0.0, 1.0); // NaN stays NaN: nothing rejected below
    const std::size_t keep = std::max<std::size_t>(
        3, f >= 0 ? static_cast<std::size_t>(std::floor((1.0 - f) * static_cast<double>(n))) : n);
    if (n < 4 || used < TranType_Similarity || n <= keep) {
        out = first;
        if (usedType) *usedType = used;
        return true;
    }
    std::vector<SDoubleSizeT> residuals(n);
    for (std::size_t i = 0; i < n; ++i)
        residuals[i] = {norm2(Apply(first, pairs[i].first) - pairs[i].second), i};
    std::sort(residuals.begin(), residuals.end(), CompSDoubleSizeT);
    TKrPointPairs kept;
    kept.reserve(keep);
    for (std::size_t i = 0; i < keep; ++i)
        kept.push_back(pairs[residuals[i].index]);
    return MatchPoints_SelfDefining(kept, out, forbidFlip, area, maxType, tolerance, usedType);
}

matr3x3 MatchPoints_Screening(const TKrPointPairs& pairs, bool forbidFlip, const std::vector<vec2d>* area,
                              ETranType maxType, const double& tolerance, const double& rejectFraction,
                              ETranType* usedType) {
    matr3x3 m;
    if (!MatchPoints_Screening(pairs, m, forbidFlip, area, maxType, tolerance, rejectFraction, usedType))
        Throw<std::runtime_error>("@MatchPoints_Screening");
    return m;
}

// --- Similarity limits -------------------------------------------------------------------------

void DecomposeSimilarity(const matr3x3& m, matr3x3& S, matr3x3& R, matr3x3& T) {
    const vec2d p0 = Apply(m, vec2d(0, 0)), p1 = Apply(m, vec2d(1, 0));
    T = matr3x3(1, 0, p0.x, 0, 1, p0.y, 0, 0, 1);
    const double s = norm(p1 - p0);
    S = matr3x3(s, 0, 0, 0, s, 0, 0, 0, 1);
    if (!(s > 0)) { // a map that collapses the plane has no rotation to speak of
        R = matr3x3::Unit();
        return;
    }
    const matr3x3 tInv(1, 0, -p0.x, 0, 1, -p0.y, 0, 0, 1);
    const matr3x3 sInv(1 / s, 0, 0, 0, 1 / s, 0, 0, 0, 1);
    R = tInv * m * sInv;
    if (R.m22 != 1 && R.m22 != 0) {
        for (int i = 0; i < 8; ++i)
            R.data()[i] /= R.m22;
        R.m22 = 1;
    }
}

void RestrictSimilarity(matr3x3& m, double refScale, double scaleTol, double refAngle, double angleTol,
                        int symmetryOrder) {
    matr3x3 S, R, T;
    DecomposeSimilarity(m, S, R, T);
    if (scaleTol < 1) {
        const double g = 1 - std::max(0.0, scaleTol);
        const double lo = g * refScale;
        const double hi = (g <= 1e-6 ? 1e6 : 1 / g) * refScale;
        double s = S.m00;
        if (s < lo)
            s = lo;
        else if (s > hi)
            s = hi;
        S.m00 = S.m11 = s;
    }
    const double pi = 3.14159265358979323846;
    const double period = pi / std::max(1, symmetryOrder);
    if (angleTol < period) {
        const double phi = std::atan2(R.m10, R.m00);
        double j = std::floor((phi - refAngle) / (2 * period));
        double d = (phi - refAngle) - 2 * j * period;
        if (d > period) {
            d -= 2 * period;
            j += 1;
        }
        const double centre = refAngle + 2 * j * period;
        const double a = std::max(0.0, angleTol);
        if (d > a)
            R = Rotation(centre + a);
        else if (d < -a)
            R = Rotation(centre - a);
    }
    m = T * R * S;
}

void RestrictProjTran(matr3x3& m, const std::vector<vec2d>& area, double maxDev, double refScale,
                      double scaleTol, double refAngle, double angleTol, int symmetryOrder) {
    if (area.empty()) return;
    const std::vector<vec2d> corners = AreaCorners(area);
    TKrPointPairs toMapped;
    for (const vec2d& c : corners)
        toMapped.emplace_back(c, Apply(m, c));
    matr3x3 s;
    if (!MatchPoints_Similarity(toMapped, s)) return;
    if (scaleTol != DBL_MAX || angleTol != DBL_MAX)
        RestrictSimilarity(s, refScale, scaleTol, refAngle, angleTol, symmetryOrder);
    if (maxDev <= 0) {
        m = s;
        return;
    }
    std::vector<vec2d> q;
    double x0 = DBL_MAX, x1 = -DBL_MAX, y0 = DBL_MAX, y1 = -DBL_MAX;
    for (const vec2d& c : corners) {
        q.push_back(Apply(s, c));
        x0 = std::min(x0, q.back().x);
        x1 = std::max(x1, q.back().x);
        y0 = std::min(y0, q.back().y);
        y1 = std::max(y1, q.back().y);
    }
    const double limX = maxDev * (x1 - x0), limY = maxDev * (y1 - y0);
    TKrPointPairs limited;
    for (std::size_t i = 0; i < corners.size(); ++i) {
        vec2d o = toMapped[i].second - q[i];
        o.x = std::clamp(o.x, -limX, limX);
        o.y = std::clamp(o.y, -limY, limY);
        limited.emplace_back(corners[i], q[i] + o);
    }
    matr3x3 r;
    if (MatchPoints_SelfDefining(limited, r, true, nullptr, TranType_Projective, 0.001)) m = r;
}

// --- Space ------------------------------------------------------------------------------------

namespace {
bool AllFinite3(const TKrPointPairs3d& pairs) {
    for (const auto& p : pairs)
        for (int k = 0; k < 3; ++k)
            if (!std::isfinite(p.first.data()[k]) || !std::isfinite(p.second.data()[k])) return false;
    return true;
}

vec3d Mul(const matr3x3& R, const vec3d& v) {
    return vec3d(R.m00 * v.x + R.m01 * v.y + R.m02 * v.z, R.m10 * v.x + R.m11 * v.y + R.m12 * v.z,
                 R.m20 * v.x + R.m21 * v.y + R.m22 * v.z);
}
} // namespace

bool FindRot3d(const TKrPointPairs3d& pairs, matr3x3* R) {
    if (pairs.size() < 2 || !AllFinite3(pairs)) return false;
    // For a unit quaternion q, |q·a − b·q| = |R(q)·a − b|; q·a − b·q is linear in q with the
    // matrix [0 −dᵀ; d [s]×] (d = b − a, s = a + b), so the least-squares rotation is the
    // eigenvector of the smallest eigenvalue of the sum of the matrices' Gram products.
    TZelMatrix ata(4, 4);
    for (const auto& p : pairs) {
        const vec3d d = p.second - p.first, s = p.first + p.second;
        const double a[4][4] = {
            {0, -d.x, -d.y, -d.z}, {d.x, 0, -s.z, s.y}, {d.y, s.z, 0, -s.x}, {d.z, -s.y, s.x, 0}};
        for (int i = 0; i < 4; ++i)
            for (int j = 0; j <= i; ++j) {
                double sum = 0;
                for (int k = 0; k < 4; ++k)
                    sum += a[k][i] * a[k][j];
                ata(i + 1, j + 1) += sum;
            }
    }
    TZelVec values;
    TZelMatrix vectors;
    if (!EigenProblem(ata, values, vectors)) return false;
    // A second eigenvalue as small as the first: the pairs leave the rotation free.
    if (!(values(2) - values(1) > 1e-12 * std::max(values(4), DBL_MIN))) return false;
    double w = vectors(1, 1), x = vectors(2, 1), y = vectors(3, 1), z = vectors(4, 1);
    const double len = std::sqrt(w * w + x * x + y * y + z * z);
    w /= len;
    x /= len;
    y /= len;
    z /= len;
    if (R)
        *R = matr3x3(1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y), 2 * (x * y + w * z),
                     1 - 2 * (x * x + z * z), 2 * (y * z - w * x), 2 * (x * z - w * y), 2 * (y * z + w * x),
                     1 - 2 * (x * x + y * y));
    return true;
}

matr3x3 FindRot3d(const TKrPointPairs3d& pairs) {
    matr3x3 R;
    if (!FindRot3d(pairs, &R)) Throw<std::runtime_error>("@FindRot3d: degenerate rotation");
    return R;
}

double FindScale3d(const TKrPointPairs3d& pairs) {
    double num = 0, den = 0;
    for (const auto& p : pairs) {
        num += dot(p.first, p.second);
        den += dot(p.first, p.first);
    }
    return den > 0 ? num / den : 0;
}

double FindScale3dEx(const TKrPointPairs3d& pairs, const matr3x3& R) {
    double num = 0, den = 0;
    for (const auto& p : pairs) {
        const vec3d r = Mul(R, p.first);
        num += dot(r, p.second);
        den += dot(r, r);
    }
    return den > 0 ? num / den : 0;
}

bool FindRotScale3d(const TKrPointPairs3d& pairs, matr3x3* R, double* scale) {
    matr3x3 rot;
    if (!FindRot3d(pairs, &rot)) return false;
    if (R) *R = rot;
    if (scale) *scale = FindScale3dEx(pairs, rot);
    return true;
}
