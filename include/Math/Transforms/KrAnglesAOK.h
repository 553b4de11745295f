// angles_aok: the rotation of an exterior orientation as alpha, omega, kappa, its rotation matrix and its
// settings form.
#pragma once

#include "Core/KrExport.h"
#include "Math/KrMatrix.h"
#include "Math/KrVec.h"

#include <cstddef>
#include <string>

class TKrXIniReader;
class TKrXIniWriter;

/// Three angles in radians, in the order alpha, omega, kappa. The rotation matrix they stand
/// for (AnglesToMatrix) is R = Ry(−alpha)·Rx(omega)·Rz(kappa), with Rx, Ry, Rz the usual
/// right-handed rotations about the coordinate axes.
///
/// In settings the angles are a section holding the double items "alpha", "omega", "kappa".
struct KRSTD_API angles_aok {
    double alpha = 0, omega = 0, kappa = 0;

    angles_aok() = default;
    angles_aok(double a, double w, double k) : alpha(a), omega(w), kappa(k) {}

    /// All three exactly zero.
    bool EQU_0() const noexcept { return alpha == 0 && omega == 0 && kappa == 0; }
    /// (alpha, omega, kappa) as a vector and back.
    vec3d to_xyz_d() const noexcept { return vec3d(alpha, omega, kappa); }
    void from_xyz_d(const vec3d& v) noexcept {
        alpha = v.x;
        omega = v.y;
        kappa = v.z;
    }
    static angles_aok mk_from_xyz_d(const vec3d& v) noexcept { return angles_aok(v.x, v.y, v.z); }

    /// Each angle becomes its floating remainder by 2π (sign kept), less 2π when that is ≥ π.
    /// Results lie in (−2π, π): negative angles below −π are not brought up. Cheap: no loop.
    void normalize_fast() noexcept;

    angles_aok& operator*=(double s) noexcept {
        alpha *= s;
        omega *= s;
        kappa *= s;
        return *this;
    }
    angles_aok& operator/=(double s) noexcept {
        alpha /= s;
        omega /= s;
        kappa /= s;
        return *this;
    }

    // --- Settings -----------------------------------------------------------------------------

    /// Enters the section at `index` and reads the three items, missing ones as 0. False (the
    /// angles unchanged) when there is no section there.
    bool Load(TKrXIniReader* reader, std::size_t index);
    /// The same, taking missing items from `defaults`.
    bool Load(TKrXIniReader* reader, std::size_t index, const angles_aok& defaults);
    /// The same, throwing the reader's error when the section or an item is missing or no double.
    void LoadE(TKrXIniReader* reader, std::size_t index);
    /// Load / LoadE of the first section named `name`.
    bool LoadS(TKrXIniReader* reader, const std::string& name);
    void LoadSE(TKrXIniReader* reader, const std::string& name);
    /// Writes the section `name` with the three items; false when a write fails.
    bool SaveS(TKrXIniWriter* writer, const std::string& name) const;
    /// The same, calling the writer's failure operation (which throws) on a failed write.
    void SaveSE(TKrXIniWriter* writer, const std::string& name) const;
};

/// Exact comparison; any NaN makes the angles unequal.
inline bool operator==(const angles_aok& a, const angles_aok& b) noexcept {
    return a.alpha == b.alpha && a.omega == b.omega && a.kappa == b.kappa;
}
inline bool operator!=(const angles_aok& a, const angles_aok& b) noexcept {
    return !(a == b);
}
inline angles_aok operator*(const angles_aok& a, double s) noexcept {
    return angles_aok(a.alpha * s, a.omega * s, a.kappa * s);
}
inline angles_aok operator*(double s, const angles_aok& a) noexcept {
    return a * s;
}
inline angles_aok operator/(const angles_aok& a, double s) noexcept {
    return angles_aok(a.alpha / s, a.omega / s, a.kappa / s);
}
/// Tolerant comparison of each angle: equal within 1e-12 times max(1, |a|, |b|).
KRSTD_API bool EQ_d(const angles_aok& a, const angles_aok& b) noexcept;

/// The rotation matrix, row-major into nine doubles:
///   cos a·cos k − sin a·sin w·sin k   −cos a·sin k − sin a·sin w·cos k   −sin a·cos w
///   cos w·sin k                        cos w·cos k                        −sin w
///   sin a·cos k + cos a·sin w·sin k   cos a·sin w·cos k − sin a·sin k    cos a·cos w
/// Six sines and cosines; NaN angles give NaNs, nothing is checked.
KRSTD_API void AlphaOmegaKappaToMatrix(double alpha, double omega, double kappa, double* m) noexcept;
KRSTD_API void AnglesToMatrix(const angles_aok& a, double* m) noexcept;
KRSTD_API void AnglesToMatrix(const angles_aok& a, matr3x3& m) noexcept;
KRSTD_API matr3x3 AnglesToMatrix(const angles_aok& a) noexcept;

/// The angles of a rotation matrix (nine doubles, row-major): omega from the third column,
/// alpha = atan2(−m13, m33) (0 when both are 0), kappa from the second row, or, when the
/// normalised third column puts |sin omega| above 0.7, from combinations of the first two
/// columns that stay well conditioned near omega = ±π/2. The matrix is not checked: a matrix
/// that is no rotation yields angles of no particular meaning (never a crash); see
/// MatrixToAnglesE for a checked form.
KRSTD_API void MatrixToAlphaOmegaKappa(const double* m, double& alpha, double& omega, double& kappa) noexcept;
/// Clears `a`, then fills it from the matrix.
KRSTD_API void MatrixToAngles(const matr3x3& m, angles_aok& a) noexcept;
KRSTD_API void MatrixToAngles(const double* m, angles_aok& a) noexcept;
KRSTD_API angles_aok MatrixToAngles(const matr3x3& m) noexcept;
/// MatrixToAngles for a proper rotation only: throws TKrMessage "@MatrixToAnglesE: not a
/// rotation matrix" when a value is not finite, RᵀR differs from the unit matrix by more than
/// 1e-6 in any element, or det R is not positive.
KRSTD_API angles_aok MatrixToAnglesE(const matr3x3& m);

/// The three items into the current section (the convention of persistent types).
KRSTD_API void XIniSaveE(TKrXIniWriter* writer, const angles_aok& a);
/// angles_aok::LoadE.
KRSTD_API void XIniLoadE(TKrXIniReader* reader, std::size_t index, angles_aok& a);
