// TAffine and TAffineTransform: products, analytic inverses, batch loops and the items "m00" … "m12".
#include "Math/Transforms/KrAffineTransform.h"

#include "Math/Transforms/KrTransformItems.h"
#include "Math/Transforms/KrTransformLoops.h"

#include <cmath>
#include <stdexcept>

namespace {

const char* const kItems[] = {"m00", "m01", "m02", "m10", "m11", "m12"};

[[noreturn]] void ThrowSingular() {
    throw std::runtime_error("TAffineTransform::InitInverseE()");
}

TAffine ShiftAffine(double dx, double dy) {
    TAffine a;
    a.m02 = dx;
    a.m12 = dy;
    return a;
}

void MapAffine(const TAffine& a, const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
               std::uint64_t dstStride) {
    const double m00 = a.m00, m01 = a.m01, m02 = a.m02, m10 = a.m10, m11 = a.m11, m12 = a.m12;
    KrTransformLoops::MapPoints(src, srcStride, count, dst, dstStride,
                                [=](double x, double y, double& ox, double& oy) {
                                    ox = m00 * x + m01 * y + m02;
                                    oy = m10 * x + m11 * y + m12;
                                });
}

} // namespace

// --- TAffine -----------------------------------------------------------------------------------

void TAffine::Mul(const TAffine& o, TAffine& out) const noexcept {
    const TAffine r{m00 * o.m00 + m01 * o.m10, m00 * o.m01 + m01 * o.m11, m00 * o.m02 + m01 * o.m12 + m02,
                    m10 * o.m00 + m11 * o.m10, m10 * o.m01 + m11 * o.m11, m10 * o.m02 + m11 * o.m12 + m12};
    out = r;
}

bool TAffine::GetInverse(TAffine& out) const noexcept {
    const double det = m00 * m11 - m01 * m10;
    if (!(std::fabs(det) > SingularDeterminant)) return false;
    const TAffine r{m11 / det,  -m01 / det, (m01 * m12 - m11 * m02) / det,
                    -m10 / det, m00 / det,  (m10 * m02 - m00 * m12) / det};
    // Coefficients near the end of the double range overflow: such a map has no usable inverse.
    for (const double v : {r.m00, r.m01, r.m02, r.m10, r.m11, r.m12})
        if (!std::isfinite(v)) return false;
    out = r;
    return true;
}

void TAffine::GetMatrix(matr3x3* m) const noexcept {
    *m = matr3x3(m00, m01, m02, m10, m11, m12, 0, 0, 1);
}

// --- TAffineTransform --------------------------------------------------------------------------

TAffineTransform::TAffineTransform(double m00, double m01, double m02, double m10, double m11, double m12)
    : m_fwd{m00, m01, m02, m10, m11, m12} {
    InitInverseE();
}

TAffineTransform::TAffineTransform(const TAffine& a) : m_fwd(a) {
    InitInverseE();
}

TAffineTransform::TAffineTransform(const TShiftTransform& s)
    : m_fwd(ShiftAffine(s.GetShift().x, s.GetShift().y)),
      m_inv(ShiftAffine(-s.GetShift().x, -s.GetShift().y)) {}

TAffineTransform::TAffineTransform(const TShiftTransform& s, int)
    : m_fwd(ShiftAffine(-s.GetShift().x, -s.GetShift().y)),
      m_inv(ShiftAffine(s.GetShift().x, s.GetShift().y)) {}

TAffineTransform::TAffineTransform(const TAffineTransform& t, int)
    : TKr2DTransform(t), m_fwd(t.m_inv), m_inv(t.m_fwd) {}

void TAffineTransform::SetAffine(const TAffine& a) {
    TAffine inv;
    if (!a.GetInverse(inv)) ThrowSingular();
    m_fwd = a;
    m_inv = inv;
}

void TAffineTransform::InitInverseE() {
    if (!m_fwd.GetInverse(m_inv)) ThrowSingular();
}

void TAffineTransform::LMul(const TShiftTransform& t) noexcept {
    const vec2d& d = t.GetShift();
    ShiftAffine(d.x, d.y).Mul(m_fwd, m_fwd);
    m_inv.Mul(ShiftAffine(-d.x, -d.y), m_inv);
}

void TAffineTransform::LMul(const TAffineTransform& t) noexcept {
    t.m_fwd.Mul(m_fwd, m_fwd);
    m_inv.Mul(t.m_inv, m_inv);
}

void TAffineTransform::RMul(const TShiftTransform& t) noexcept {
    const vec2d& d = t.GetShift();
    m_fwd.Mul(ShiftAffine(d.x, d.y), m_fwd);
    ShiftAffine(-d.x, -d.y).Mul(m_inv, m_inv);
}

void TAffineTransform::RMul(const TAffineTransform& t) noexcept {
    m_fwd.Mul(t.m_fwd, m_fwd);
    t.m_inv.Mul(m_inv, m_inv);
}

var_a<TKr2DTransform*> TAffineTransform::CreateCopy() const {
    return new_a<TAffineTransform>(*this);
}

var_a<TKr2DTransform*> TAffineTransform::CreateInverseTransform() const {
    return new_a<TAffineTransform>(*this, 0);
}

void TAffineTransform::GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                    vec2d* dst, std::uint64_t dstStride) const {
    MapAffine(m_fwd, src, srcStride, count, dst, dstStride);
}

void TAffineTransform::GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                           vec2d* dst, std::uint64_t dstStride) const {
    MapAffine(m_inv, src, srcStride, count, dst, dstStride);
}

double TAffineTransform::GetTransformTime(bool) const {
    return 1.0;
}

bool TAffineTransform::GetMatrix(matr3x3* m) const {
    if (m) m_fwd.GetMatrix(m);
    return true;
}

bool TAffineTransform::GetInverseMatrix(matr3x3* m) const {
    if (m) m_inv.GetMatrix(m);
    return true;
}

void TAffineTransform::SaveContent(TKrXIniWriter* writer) const {
    KrTransformItems::Save(writer, kItems, &m_fwd.m00, 6);
}

void TAffineTransform::LoadContent(TKrXIniReader* reader) {
    double v[6];
    KrTransformItems::Load(reader, kItems, v, 6);
    SetAffine(TAffine{v[0], v[1], v[2], v[3], v[4], v[5]});
}
