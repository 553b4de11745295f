// TKrAffine3D and TKrAffineTransform3D: adjugate inverse, shifts on either side, construction and matrix.
#include "Math/Transforms/KrAffineTransform3D.h"

#include <cmath>
#include <utility>

namespace {

vec3d Mul(const matr3x3& r, const vec3d& v) noexcept {
    return vec3d(r.m00 * v.x + r.m01 * v.y + r.m02 * v.z, r.m10 * v.x + r.m11 * v.y + r.m12 * v.z,
                 r.m20 * v.x + r.m21 * v.y + r.m22 * v.z);
}

} // namespace

void SetIdentity(TKrAffine3D& a) noexcept {
    a.R = matr3x3::Unit();
    a.t = vec3d();
}

bool GetInverse(const TKrAffine3D& a, TKrAffine3D& out) noexcept {
    const double det = a.R.Determinant();
    if (!(std::fabs(det) >= TKrAffine3D::SingularDeterminant)) return false;
    matr3x3 inv = a.R.Adjugate();
    for (int i = 0; i < 9; ++i)
        inv.data()[i] /= det;
    const vec3d t = -Mul(inv, a.t);
    out.R = inv;
    out.t = t;
    return true;
}

void LShift(TKrAffine3D& a, const vec3d& v) noexcept {
    a.t += v;
}

void LShift(const TKrAffine3D& a, const vec3d& v, TKrAffine3D& out) noexcept {
    out.R = a.R;
    out.t = a.t + v;
}

void RShift(TKrAffine3D& a, const vec3d& v) noexcept {
    a.t += Mul(a.R, v);
}

void RShift(const TKrAffine3D& a, const vec3d& v, TKrAffine3D& out) noexcept {
    const vec3d t = a.t + Mul(a.R, v);
    out.R = a.R;
    out.t = t;
}

TKrAffineTransform3D::TKrAffineTransform3D() {
    SetIdentity(m_fwd);
    SetIdentity(m_inv);
}

TKrAffineTransform3D::TKrAffineTransform3D(const double* m) {
    TKrAffine3D a;
    a.R = matr3x3(m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]);
    a.t = vec3d(m[3], m[7], m[11]);
    Assign(a);
}

TKrAffineTransform3D::TKrAffineTransform3D(double r00, double r01, double r02, double t0, double r10,
                                           double r11, double r12, double t1, double r20, double r21,
                                           double r22, double t2) {
    const double m[12] = {r00, r01, r02, t0, r10, r11, r12, t1, r20, r21, r22, t2};
    *this = TKrAffineTransform3D(m);
}

TKrAffineTransform3D::TKrAffineTransform3D(const TKrAffine3D& a) {
    Assign(a);
}

TKrAffineTransform3D::TKrAffineTransform3D(const TKrAffine3D& a, int) : TKrAffineTransform3D(a) {
    std::swap(m_fwd, m_inv);
}

TKrAffineTransform3D::TKrAffineTransform3D(const TKrAffineTransform3D& t, int)
    : TKr3DTransform(t), m_fwd(t.m_inv), m_inv(t.m_fwd) {}

void TKrAffineTransform3D::Assign(const TKrAffine3D& a) noexcept {
    m_fwd = a;
    m_inv = TKrAffine3D();
    GetInverse(a, m_inv);
}

var_a<TKr3DTransform*> TKrAffineTransform3D::CreateCopy() const {
    return new_a<TKrAffineTransform3D>(*this);
}

var_a<TKr3DTransform*> TKrAffineTransform3D::CreateInverseTransform() const {
    return new_a<TKrAffineTransform3D>(*this, 0);
}

bool TKrAffineTransform3D::GetMatrix(matr4x4* m) const {
    if (m) {
        const matr3x3& r = m_fwd.R;
        *m = matr4x4::Unit();
        m->m00 = r.m00, m->m01 = r.m01, m->m02 = r.m02, m->m03 = m_fwd.t.x;
        m->m10 = r.m10, m->m11 = r.m11, m->m12 = r.m12, m->m13 = m_fwd.t.y;
        m->m20 = r.m20, m->m21 = r.m21, m->m22 = r.m22, m->m23 = m_fwd.t.z;
    }
    return true;
}
