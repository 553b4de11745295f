// TKrAffine3D and TKrAffineTransform3D: the space affine map R·p + t and the transform that carries it with
// its inverse.
#pragma once

#include "Math/Transforms/Kr3DTransform.h"

/// p → R·p + t. Zero-filled when default-constructed (SetIdentity makes the identity).
struct TKrAffine3D {
    matr3x3 R;
    vec3d t;

    /// Determinants of R below this magnitude count as singular.
    static constexpr double SingularDeterminant = 1e-8;
};

/// R = unit, t = 0.
KRSTD_API void SetIdentity(TKrAffine3D& a) noexcept;
/// R⁻¹ and t′ = −R⁻¹·t; false (out unchanged) when |det R| < 1e-8 or det R is NaN. `out` may be `a`.
KRSTD_API bool GetInverse(const TKrAffine3D& a, TKrAffine3D& out) noexcept;
/// t += v: the shift applied after a.
KRSTD_API void LShift(TKrAffine3D& a, const vec3d& v) noexcept;
KRSTD_API void LShift(const TKrAffine3D& a, const vec3d& v, TKrAffine3D& out) noexcept;
/// t += R·v: the shift applied before a.
KRSTD_API void RShift(TKrAffine3D& a, const vec3d& v) noexcept;
KRSTD_API void RShift(const TKrAffine3D& a, const vec3d& v, TKrAffine3D& out) noexcept;

/// R·p + t.
inline vec3d operator*(const TKrAffine3D& a, const vec3d& p) noexcept {
    const matr3x3& r = a.R;
    return vec3d(r.m00 * p.x + r.m01 * p.y + r.m02 * p.z + a.t.x,
                 r.m10 * p.x + r.m11 * p.y + r.m12 * p.z + a.t.y,
                 r.m20 * p.x + r.m21 * p.y + r.m22 * p.z + a.t.z);
}

/// An affine space transform holding its forward and inverse maps. A singular R (|det| < 1e-8)
/// raises no error: the inverse stays all zeros and maps every point to the origin.
class KRSTD_API TKrAffineTransform3D : public TKr3DTransform {
public:
    /// The identity.
    TKrAffineTransform3D();
    /// Twelve values row by row as a 3×4 matrix: r00 r01 r02 t0 / r10 r11 r12 t1 / r20 r21 r22 t2.
    explicit TKrAffineTransform3D(const double* m);
    /// The same twelve values in the same order.
    TKrAffineTransform3D(double r00, double r01, double r02, double t0, double r10, double r11, double r12,
                         double t1, double r20, double r21, double r22, double t2);
    explicit TKrAffineTransform3D(const TKrAffine3D& a);
    /// The inverse of `a` (the int only selects this form).
    TKrAffineTransform3D(const TKrAffine3D& a, int);
    TKrAffineTransform3D(const TKrAffineTransform3D&) = default;
    /// The inverse of `t`: forward and inverse swapped (the int only selects this form).
    TKrAffineTransform3D(const TKrAffineTransform3D& t, int);
    TKrAffineTransform3D& operator=(const TKrAffineTransform3D&) = default;

    const TKrAffine3D& GetAffine() const noexcept { return m_fwd; }
    const TKrAffine3D& GetInverseAffine() const noexcept { return m_inv; }
    /// This transform's inverse by value.
    TKrAffineTransform3D InverseTransform() const { return TKrAffineTransform3D(*this, 0); }

    var_a<TKr3DTransform*> CreateCopy() const override;
    /// Forward and inverse swapped.
    var_a<TKr3DTransform*> CreateInverseTransform() const override;
    vec3d GetTraCoord(const vec3d& p) const override { return m_fwd * p; }
    vec3d GetInverseTraCoord(const vec3d& p) const override { return m_inv * p; }
    /// [R t; 0 0 0 1].
    bool GetMatrix(matr4x4* m) const override;

private:
    void Assign(const TKrAffine3D& a) noexcept;

    TKrAffine3D m_fwd; // forward map
    TKrAffine3D m_inv; // inverse map; all zeros when R is singular
};
