// TKr3DProjectiveTransform and Invert4d: space transforms by a homogeneous 4×4 matrix with its inverse.
#pragma once

#include "Math/Transforms/Kr3DTransform.h"

/// inv = m⁻¹ (adjugate over determinant). Returns false and leaves `inv` unchanged when the
/// determinant is exactly 0; a NaN anywhere yields NaNs. `inv` may be `m`.
KRSTD_API bool Invert4d(const matr4x4& m, matr4x4& inv) noexcept;

/// p → (M·[p 1]) divided by its fourth coordinate. Both matrices are kept normalised (m33 = 1,
/// the other fifteen divided by the given m33). A singular matrix raises no error, as for the
/// affine transform: the inverse becomes the zero matrix with m33 = 1, mapping every point to
/// the origin. There is no test for a zero divisor when mapping.
class KRSTD_API TKr3DProjectiveTransform : public TKr3DTransform {
public:
    /// The identity.
    TKr3DProjectiveTransform();
    TKr3DProjectiveTransform(double m00, double m01, double m02, double m03, double m10, double m11,
                             double m12, double m13, double m20, double m21, double m22, double m23,
                             double m30, double m31, double m32, double m33);
    /// Sixteen values row by row.
    explicit TKr3DProjectiveTransform(const double* m);
    explicit TKr3DProjectiveTransform(const matr4x4& m);
    /// The inverse of `m` (the int only selects this form).
    TKr3DProjectiveTransform(const matr4x4& m, int);
    TKr3DProjectiveTransform(const TKr3DProjectiveTransform&) = default;
    /// The inverse of `t`: forward and inverse swapped (the int only selects this form).
    TKr3DProjectiveTransform(const TKr3DProjectiveTransform& t, int);
    TKr3DProjectiveTransform& operator=(const TKr3DProjectiveTransform&) = default;

    const matr4x4& GetForwardMatrix() const noexcept { return m_fwd; }
    const matr4x4& GetInverseMatrix() const noexcept { return m_inv; }
    /// Whether the normalised forward matrix is exactly the unit matrix.
    bool IsIdentity() const noexcept { return m_identity != 0; }
    /// Divides the first fifteen forward values by m33, sets m33 = 1 and the identity flag.
    void Normalize() noexcept;
    /// Derives the normalised inverse from the forward matrix.
    void InitInverse() noexcept;
    /// This transform's inverse by value.
    TKr3DProjectiveTransform InverseTransform() const { return TKr3DProjectiveTransform(*this, 0); }

    var_a<TKr3DTransform*> CreateCopy() const override;
    var_a<TKr3DTransform*> CreateInverseTransform() const override;
    vec3d GetTraCoord(const vec3d& p) const override;
    vec3d GetInverseTraCoord(const vec3d& p) const override;
    /// FlagIdentity | FlagKeepsZ when the identity flag is set, else 0.
    unsigned GetTransformFlags() const override;
    bool GetMatrix(matr4x4* m) const override;

private:
    void Assign(const matr4x4& m) noexcept;

    unsigned char m_identity; // 1 when m_fwd is exactly the unit matrix
    matr4x4 m_fwd;            // forward, m33 = 1
    matr4x4 m_inv;            // inverse, m33 = 1
};
