// TUnity3DTransform, TShift3DTransform, TSwapXY3DTransform: the space transforms without a matrix of their
// own.
#pragma once

#include "Math/Transforms/Kr3DTransform.h"

/// The identity. Chains drop it when it is added.
class KRSTD_API TUnity3DTransform : public TKr3DTransform {
public:
    TUnity3DTransform() = default;

    var_a<TKr3DTransform*> CreateCopy() const override;
    var_a<TKr3DTransform*> CreateInverseTransform() const override;
    vec3d GetTraCoord(const vec3d& p) const override { return p; }
    vec3d GetInverseTraCoord(const vec3d& p) const override { return p; }
    /// FlagIdentity | FlagKeepsZ.
    unsigned GetTransformFlags() const override;
    /// The unit matrix.
    bool GetMatrix(matr4x4* m) const override;
};

/// (x, y, z) → (y, x, z); its own inverse.
class KRSTD_API TSwapXY3DTransform : public TKr3DTransform {
public:
    TSwapXY3DTransform() = default;

    var_a<TKr3DTransform*> CreateCopy() const override;
    var_a<TKr3DTransform*> CreateInverseTransform() const override;
    vec3d GetTraCoord(const vec3d& p) const override { return vec3d(p.y, p.x, p.z); }
    vec3d GetInverseTraCoord(const vec3d& p) const override { return vec3d(p.y, p.x, p.z); }
    /// FlagKeepsZ.
    unsigned GetTransformFlags() const override;
    bool GetMatrix(matr4x4* m) const override;
};

/// (x, y, z) → (x + dx, y + dy, z + dz).
class KRSTD_API TShift3DTransform : public TKr3DTransform {
public:
    /// No shift.
    TShift3DTransform() = default;
    explicit TShift3DTransform(const vec3d& shift) : m_shift(shift) {}
    TShift3DTransform(double dx, double dy, double dz) : m_shift(dx, dy, dz) {}

    const vec3d& GetShift() const noexcept { return m_shift; }

    var_a<TKr3DTransform*> CreateCopy() const override;
    /// The shift by the negated vector.
    var_a<TKr3DTransform*> CreateInverseTransform() const override;
    vec3d GetTraCoord(const vec3d& p) const override { return p + m_shift; }
    vec3d GetInverseTraCoord(const vec3d& p) const override { return p - m_shift; }
    /// FlagKeepsZ when dz is exactly 0, else 0.
    unsigned GetTransformFlags() const override;
    bool GetMatrix(matr4x4* m) const override;

private:
    vec3d m_shift;
};
