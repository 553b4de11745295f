// TKr3DProjectiveTransform and Invert4d: cofactor inverse, normalisation by m33, homogeneous mapping.
#include "Math/Transforms/Kr3DProjectiveTransform.h"

#include <utility>

bool Invert4d(const matr4x4& m, matr4x4& inv) noexcept {
    const double* a = m.data();
    // 2×2 minors of the lower and upper row pairs, shared by the sixteen cofactors.
    const double s0 = a[0] * a[5] - a[4] * a[1];
    const double s1 = a[0] * a[6] - a[4] * a[2];
    const double s2 = a[0] * a[7] - a[4] * a[3];
    const double s3 = a[1] * a[6] - a[5] * a[2];
    const double s4 = a[1] * a[7] - a[5] * a[3];
    const double s5 = a[2] * a[7] - a[6] * a[3];
    const double c5 = a[10] * a[15] - a[14] * a[11];
    const double c4 = a[9] * a[15] - a[13] * a[11];
    const double c3 = a[9] * a[14] - a[13] * a[10];
    const double c2 = a[8] * a[15] - a[12] * a[11];
    const double c1 = a[8] * a[14] - a[12] * a[10];
    const double c0 = a[8] * a[13] - a[12] * a[9];
    const double det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
    if (det == 0.0) return false;
    const double d = 1.0 / det;
    double r[16];
    r[0] = (a[5] * c5 - a[6] * c4 + a[7] * c3) * d;
    r[1] = (-a[1] * c5 + a[2] * c4 - a[3] * c3) * d;
    r[2] = (a[13] * s5 - a[14] * s4 + a[15] * s3) * d;
    r[3] = (-a[9] * s5 + a[10] * s4 - a[11] * s3) * d;
    r[4] = (-a[4] * c5 + a[6] * c2 - a[7] * c1) * d;
    r[5] = (a[0] * c5 - a[2] * c2 + a[3] * c1) * d;
    r[6] = (-a[12] * s5 + a[14] * s2 - a[15] * s1) * d;
    r[7] = (a[8] * s5 - a[10] * s2 + a[11] * s1) * d;
    r[8] = (a[4] * c4 - a[5] * c2 + a[7] * c0) * d;
    r[9] = (-a[0] * c4 + a[1] * c2 - a[3] * c0) * d;
    r[10] = (a[12] * s4 - a[13] * s2 + a[15] * s0) * d;
    r[11] = (-a[8] * s4 + a[9] * s2 - a[11] * s0) * d;
    r[12] = (-a[4] * c3 + a[5] * c1 - a[6] * c0) * d;
    r[13] = (a[0] * c3 - a[1] * c1 + a[2] * c0) * d;
    r[14] = (-a[12] * s3 + a[13] * s1 - a[14] * s0) * d;
    r[15] = (a[8] * s3 - a[9] * s1 + a[10] * s0) * d;
    double* out = inv.data();
    for (int i = 0; i < 16; ++i)
        out[i] = r[i];
    return true;
}

namespace {

void NormalizeInPlace(matr4x4& m) noexcept {
    double* v = m.data();
    const double d = v[15];
    for (int i = 0; i < 15; ++i)
        v[i] /= d;
    v[15] = 1.0;
}

// Exact comparison of the first fifteen values (m33 is 1 after normalisation).
bool IsUnit(const matr4x4& m) noexcept {
    const matr4x4 u = matr4x4::Unit();
    for (int i = 0; i < 15; ++i)
        if (!(m.data()[i] == u.data()[i])) return false;
    return true;
}

vec3d Map(const matr4x4& m, const vec3d& p) noexcept {
    const double w = m.m30 * p.x + m.m31 * p.y + m.m32 * p.z + m.m33;
    return vec3d((m.m00 * p.x + m.m01 * p.y + m.m02 * p.z + m.m03) / w,
                 (m.m10 * p.x + m.m11 * p.y + m.m12 * p.z + m.m13) / w,
                 (m.m20 * p.x + m.m21 * p.y + m.m22 * p.z + m.m23) / w);
}

} // namespace

TKr3DProjectiveTransform::TKr3DProjectiveTransform()
    : m_identity(1), m_fwd(matr4x4::Unit()), m_inv(matr4x4::Unit()) {}

TKr3DProjectiveTransform::TKr3DProjectiveTransform(double m00, double m01, double m02, double m03, double m10,
                                                   double m11, double m12, double m13, double m20, double m21,
                                                   double m22, double m23, double m30, double m31, double m32,
                                                   double m33) {
    const double v[16] = {m00, m01, m02, m03, m10, m11, m12, m13, m20, m21, m22, m23, m30, m31, m32, m33};
    matr4x4 m;
    for (int i = 0; i < 16; ++i)
        m.data()[i] = v[i];
    Assign(m);
}

TKr3DProjectiveTransform::TKr3DProjectiveTransform(const double* v) {
    matr4x4 m;
    for (int i = 0; i < 16; ++i)
        m.data()[i] = v[i];
    Assign(m);
}

TKr3DProjectiveTransform::TKr3DProjectiveTransform(const matr4x4& m) {
    Assign(m);
}

TKr3DProjectiveTransform::TKr3DProjectiveTransform(const matr4x4& m, int) {
    Assign(m);
    std::swap(m_fwd, m_inv);
    m_identity = IsUnit(m_fwd) ? 1 : 0;
}

TKr3DProjectiveTransform::TKr3DProjectiveTransform(const TKr3DProjectiveTransform& t, int)
    : TKr3DTransform(t), m_identity(t.m_identity), m_fwd(t.m_inv), m_inv(t.m_fwd) {}

void TKr3DProjectiveTransform::Assign(const matr4x4& m) noexcept {
    m_fwd = m;
    Normalize();
    InitInverse();
}

void TKr3DProjectiveTransform::Normalize() noexcept {
    NormalizeInPlace(m_fwd);
    m_identity = IsUnit(m_fwd) ? 1 : 0;
}

void TKr3DProjectiveTransform::InitInverse() noexcept {
    if (Invert4d(m_fwd, m_inv)) {
        NormalizeInPlace(m_inv);
    } else {
        // No inverse: send every point to the origin, as the affine transform does.
        m_inv = matr4x4();
        m_inv.m33 = 1.0;
    }
}

var_a<TKr3DTransform*> TKr3DProjectiveTransform::CreateCopy() const {
    return new_a<TKr3DProjectiveTransform>(*this);
}

var_a<TKr3DTransform*> TKr3DProjectiveTransform::CreateInverseTransform() const {
    return new_a<TKr3DProjectiveTransform>(*this, 0);
}

vec3d TKr3DProjectiveTransform::GetTraCoord(const vec3d& p) const {
    return Map(m_fwd, p);
}

vec3d TKr3DProjectiveTransform::GetInverseTraCoord(const vec3d& p) const {
    return Map(m_inv, p);
}

unsigned TKr3DProjectiveTransform::GetTransformFlags() const {
    return m_identity ? FlagIdentity | FlagKeepsZ : 0;
}

bool TKr3DProjectiveTransform::GetMatrix(matr4x4* m) const {
    if (m) *m = m_fwd;
    return true;
}
