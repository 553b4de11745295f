// Plane transforms fitted to point pairs by least squares, with automatic class choice and outlier screening;
// 3D rotation and scale fits.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrMatrix.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <utility>
#include <vector>

/// Corresponding plane points: `first` is the source, `second` the target; fits map first onto
/// second.
using TKrPointPairs = std::vector<std::pair<vec2d, vec2d>>;
/// The same in space.
using TKrPointPairs3d = std::vector<std::pair<vec3d, vec3d>>;

/// Transform classes, from the fewest parameters up.
enum ETranType : int {
    TranType_None = 0,
    TranType_Translation = 1, ///< shift
    TranType_Isometry = 2,    ///< rotation + shift
    TranType_Similarity = 3,  ///< uniform scale + rotation + shift
    TranType_Affine = 4,
    TranType_Projective = 5,
};

/// A value with the index it came from; ordered by CompSDoubleSizeT.
struct SDoubleSizeT {
    double value;
    std::size_t index;
};
/// a before b when a.value < b.value.
inline bool CompSDoubleSizeT(const SDoubleSizeT& a, const SDoubleSizeT& b) noexcept {
    return a.value < b.value;
}

// Every fit minimises Σ |m(first) − second|² over the pairs with equal weights (the projective
// one its linearisation with m22 = 1, each pair giving the rows x·m00 + y·m01 + m02 − x·x′·m20
// − y·x′·m21 = x′ and likewise for y′) and returns a matr3x3 (x′ = (m00·x + m01·y + m02)/w with
// w = m20·x + m21·y + m22). The work is linear in the number of pairs.
//
// Bool forms return false, leaving `out` unchanged, when the fit is impossible: too few pairs,
// a coordinate that is NaN or infinite, or source points that do not determine the class
// (all coincident for the similarity, collinear for the affine and projective fits). Value forms
// throw instead: std::length_error for too few pairs, std::runtime_error otherwise, with the
// texts given below.

/// The mean shift. Value form: std::length_error "@MatchPoints_Translation: points.size() < 1";
/// non-finite input std::runtime_error "@MatchPoints_Translation: degenerate transformation".
KRSTD_API bool MatchPoints_Translation(const TKrPointPairs& pairs, matr3x3& out);
KRSTD_API matr3x3 MatchPoints_Translation(const TKrPointPairs& pairs);

/// The similarity fit with its linear part scaled to a rotation and the shift recomputed so
/// that the centroids match. False also when the similarity's scale is below 1e-20; `out` then
/// holds the similarity fit. Value form: std::runtime_error
/// "@MatchPoints_Isometry: degenerate transformation" for every failure.
KRSTD_API bool MatchPoints_Isometry(const TKrPointPairs& pairs, matr3x3& out);
KRSTD_API matr3x3 MatchPoints_Isometry(const TKrPointPairs& pairs);

/// [a b tx; −b a ty; 0 0 1]. Value form: std::length_error "@MatchPoints_Similarity:
/// points.size() < 2"; coincident sources std::runtime_error
/// "@MatchPoints_Similarity: degenerate transformation".
KRSTD_API bool MatchPoints_Similarity(const TKrPointPairs& pairs, matr3x3& out);
KRSTD_API matr3x3 MatchPoints_Similarity(const TKrPointPairs& pairs);

/// The affine fit, required to preserve orientation (m00·m11 − m01·m10 > 0). Value form:
/// std::length_error "@MatchPoints_Affine: points.size() < 3."; std::runtime_error
/// "@MatchPoints_Affine: flipping." for a mirrored result, "@MatchPoints_Affine: degenerate
/// transformation." for collinear sources.
KRSTD_API bool MatchPoints_Affine(const TKrPointPairs& pairs, matr3x3& out);
KRSTD_API matr3x3 MatchPoints_Affine(const TKrPointPairs& pairs);
/// The affine least-squares fit without the orientation test.
KRSTD_API bool MatchPoints_AffineEx(const TKrPointPairs& pairs, matr3x3& out);

/// The projective fit, required to preserve orientation at the first pair's source point
/// (det(m)·(m20·x0 + m21·y0 + m22) > 0). Value form: std::length_error
/// "@MatchPoints_Projective: points.size() < 4."; std::runtime_error
/// "@MatchPoints_Projective: flipping." and "@MatchPoints_Projective: degenerate transformation.".
KRSTD_API bool MatchPoints_Projective(const TKrPointPairs& pairs, matr3x3& out);
KRSTD_API matr3x3 MatchPoints_Projective(const TKrPointPairs& pairs);
/// The projective least-squares fit without the orientation test.
KRSTD_API bool MatchPoints_ProjectiveEx(const TKrPointPairs& pairs, matr3x3& out);

/// Mirrors allowed: the better (smaller residual sum) of the direct fit and the fit to the
/// targets with y negated, the latter returned as diag(1, −1, 1)·m. A direct fit that fails
/// counts as the identity; false only when neither fit is possible.
KRSTD_API bool MatchPoints_TranslationF(const TKrPointPairs& pairs, matr3x3& out);
KRSTD_API bool MatchPoints_IsometryF(const TKrPointPairs& pairs, matr3x3& out);
KRSTD_API bool MatchPoints_SimilarityF(const TKrPointPairs& pairs, matr3x3& out);
/// The plain fits without orientation test (as the Ex forms).
KRSTD_API bool MatchPoints_AffineF(const TKrPointPairs& pairs, matr3x3& out);
KRSTD_API bool MatchPoints_ProjectiveF(const TKrPointPairs& pairs, matr3x3& out);
/// With `forbidFlip` clear the fit without orientation test (its failures thrown as the value
/// form throws them); with it set exactly the value form MatchPoints_Affine / _Projective.
KRSTD_API matr3x3 MatchPoints_AffineF(const TKrPointPairs& pairs, bool forbidFlip);
KRSTD_API matr3x3 MatchPoints_ProjectiveF(const TKrPointPairs& pairs, bool forbidFlip);

/// Chooses the class: from translation up to `maxType` (capped by the pair count: one pair
/// allows translation, two similarity, three affine), each class is fitted and accepted while
/// its residual sum does not grow by more than the factor 1.0000001 and it moves some mapped
/// point by `tolerance` or more in x or y (every class when tolerance <= 0); the first class
/// that fails or grows the residual ends the search with the last accepted result (identity
/// when none). With `forbidFlip`, mirrored fits are excluded, and a projective fit must keep
/// the outline of `area` (2 points: opposite corners of a rectangle; optional) convex and
/// counter-clockwise. `usedType` (optional) receives the accepted class. False for a maxType
/// above 5 or non-finite coordinates. Value form: std::runtime_error "@MatchPoints_SelfDefining".
KRSTD_API bool MatchPoints_SelfDefining(const TKrPointPairs& pairs, matr3x3& out, bool forbidFlip,
                                        const std::vector<vec2d>* area, ETranType maxType,
                                        const double& tolerance, ETranType* usedType = nullptr);
KRSTD_API matr3x3 MatchPoints_SelfDefining(const TKrPointPairs& pairs, bool forbidFlip,
                                           const std::vector<vec2d>* area, ETranType maxType,
                                           const double& tolerance, ETranType* usedType = nullptr);

/// MatchPoints_SelfDefining, then again on the max(3, ⌊(1 − f)·n⌋) pairs with the smallest
/// residuals under the first result (f = rejectFraction clamped to [0, 1]); the first result
/// stands when n < 4, when it is a translation or isometry, or when nothing is rejected.
/// O(n log n). Value form: std::runtime_error "@MatchPoints_Screening".
KRSTD_API bool MatchPoints_Screening(const TKrPointPairs& pairs, matr3x3& out, bool forbidFlip,
                                     const std::vector<vec2d>* area, ETranType maxType,
                                     const double& tolerance, const double& rejectFraction,
                                     ETranType* usedType = nullptr);
KRSTD_API matr3x3 MatchPoints_Screening(const TKrPointPairs& pairs, bool forbidFlip,
                                        const std::vector<vec2d>* area, ETranType maxType,
                                        const double& tolerance, const double& rejectFraction,
                                        ETranType* usedType = nullptr);

/// Splits m = T·R·S: T the translation to m(0, 0), S = diag(s, s, 1) with s = |m(1, 0) − m(0, 0)|,
/// R = T⁻¹·m·S⁻¹ normalised.
KRSTD_API void DecomposeSimilarity(const matr3x3& m, matr3x3& S, matr3x3& R, matr3x3& T);

/// Clamps the scale of the similarity m into [g·refScale, refScale/g] with g = 1 − scaleTol
/// (when scaleTol < 1) and its rotation to within angleTol of the nearest of the
/// `symmetryOrder` directions refAngle + j·2π/k (when angleTol is below π/k); angles in radians.
KRSTD_API void RestrictSimilarity(matr3x3& m, double refScale, double scaleTol, double refAngle,
                                  double angleTol, int symmetryOrder);

/// Constrains a projective m over `area` (empty: unchanged; 2 points: rectangle corners): the
/// similarity best matching m at the corners, restricted as RestrictSimilarity does unless both
/// tolerances are the largest finite double, replaces m when maxDev <= 0; otherwise each corner
/// may deviate from it by at most maxDev times the area's mapped extent per axis, and m becomes
/// the transform through the limited corners.
KRSTD_API void RestrictProjTran(matr3x3& m, const std::vector<vec2d>& area, double maxDev, double refScale,
                                double scaleTol, double refAngle, double angleTol, int symmetryOrder);

/// The rotation R (second ≈ R·first) as the eigenvector of the smallest eigenvalue of the
/// pairs' quaternion system. False (R unchanged) for fewer than 2 pairs, non-finite input, or
/// pairs that do not fix the rotation (all on one line through the origin). The value form
/// throws std::runtime_error "@FindRot3d: degenerate rotation".
KRSTD_API bool FindRot3d(const TKrPointPairs3d& pairs, matr3x3* R);
KRSTD_API matr3x3 FindRot3d(const TKrPointPairs3d& pairs);
/// Σ(first·second) / Σ(first·first): the scale s of second ≈ s·first (0 when every first is 0).
KRSTD_API double FindScale3d(const TKrPointPairs3d& pairs);
/// The same for second ≈ s·R·first.
KRSTD_API double FindScale3dEx(const TKrPointPairs3d& pairs, const matr3x3& R);
/// FindRot3d, then FindScale3dEx with that rotation; either output may be null.
KRSTD_API bool FindRotScale3d(const TKrPointPairs3d& pairs, matr3x3* R, double* scale);
