// TProjectiveTransform: normalisation, adjugate inverse, composition, batch loops and the items "m00" …
// "m22".
#include "Math/Transforms/KrProjectiveTransform.h"

#include "Math/Transforms/KrTransformItems.h"
#include "Math/Transforms/KrTransformLoops.h"

#include <cmath>
#include <stdexcept>

namespace {

const char* const kItems[] = {"m00", "m01", "m02", "m10", "m11", "m12", "m20", "m21", "m22"};

// Determinants of the normalised forward matrix at or below this count as singular, as for
// the affine transform (whose matrices are the projective ones with bottom row 0, 0, 1).
constexpr double kSingularDeterminant = 1e-20;

bool AllFinite(const matr3x3& m) {
    for (int i = 0; i < 9; ++i)
        if (!std::isfinite(m.data()[i])) return false;
    return true;
}

// Divides by m22 unless it is exactly 1; false when m22 is 0 or the result is not finite.
bool NormalizeInPlace(matr3x3& m) {
    if (m.m22 != 1.0) {
        if (m.m22 == 0.0) return false;
        const double f = 1.0 / m.m22;
        for (int i = 0; i < 8; ++i)
            m.data()[i] *= f;
        m.m22 = 1.0;
    }
    return AllFinite(m);
}

// The normalised adjugate of a normalised matrix; false when the matrix is singular or its
// inverse sends the origin to infinity (adjugate m22 = 0), so that no inverse can be kept.
bool InverseOf(const matr3x3& fwd, matr3x3& inv) {
    if (!(std::fabs(fwd.Determinant()) > kSingularDeterminant)) return false;
    matr3x3 a = fwd.Adjugate();
    if (!NormalizeInPlace(a)) return false;
    inv = a;
    return true;
}

void MapMatrix(const matr3x3& m, const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
               std::uint64_t dstStride) {
    const double m00 = m.m00, m01 = m.m01, m02 = m.m02, m10 = m.m10, m11 = m.m11, m12 = m.m12;
    if (m.m20 == 0.0 && m.m21 == 0.0 && m.m22 == 1.0) {
        KrTransformLoops::MapPoints(src, srcStride, count, dst, dstStride,
                                    [=](double x, double y, double& ox, double& oy) {
                                        ox = m00 * x + m01 * y + m02;
                                        oy = m10 * x + m11 * y + m12;
                                    });
        return;
    }
    const double m20 = m.m20, m21 = m.m21, m22 = m.m22;
    KrTransformLoops::MapPoints(src, srcStride, count, dst, dstStride,
                                [=](double x, double y, double& ox, double& oy) {
                                    const double w = m20 * x + m21 * y + m22;
                                    ox = (m00 * x + m01 * y + m02) / w;
                                    oy = (m10 * x + m11 * y + m12) / w;
                                });
}

vec2d Map(const matr3x3& m, const vec2d& p) {
    const double w = m.m20 * p.x + m.m21 * p.y + m.m22;
    return vec2d((m.m00 * p.x + m.m01 * p.y + m.m02) / w, (m.m10 * p.x + m.m11 * p.y + m.m12) / w);
}

matr3x3 MatrixOf(const TKr2DTransform& t, bool inverse) {
    matr3x3 m;
    if (inverse)
        t.GetInverseMatrix(&m);
    else
        t.GetMatrix(&m);
    return m;
}

} // namespace

TProjectiveTransform::TProjectiveTransform() : m_fwd(matr3x3::Unit()), m_inv(matr3x3::Unit()) {}

TProjectiveTransform::TProjectiveTransform(double m00, double m01, double m02, double m10, double m11,
                                           double m12, double m20, double m21, double m22) {
    Assign(matr3x3(m00, m01, m02, m10, m11, m12, m20, m21, m22));
}

TProjectiveTransform::TProjectiveTransform(const matr3x3& m) {
    Assign(m);
}

TProjectiveTransform::TProjectiveTransform(const TShiftTransform& t)
    : m_fwd(MatrixOf(t, false)), m_inv(MatrixOf(t, true)) {}

TProjectiveTransform::TProjectiveTransform(const TAffineTransform& t)
    : m_fwd(MatrixOf(t, false)), m_inv(MatrixOf(t, true)) {}

TProjectiveTransform::TProjectiveTransform(const TShiftTransform& t, int)
    : m_fwd(MatrixOf(t, true)), m_inv(MatrixOf(t, false)) {}

TProjectiveTransform::TProjectiveTransform(const TAffineTransform& t, int)
    : m_fwd(MatrixOf(t, true)), m_inv(MatrixOf(t, false)) {}

TProjectiveTransform::TProjectiveTransform(const TProjectiveTransform& t, int)
    : TKr2DTransform(t), m_fwd(t.m_inv), m_inv(t.m_fwd) {}

void TProjectiveTransform::Assign(const matr3x3& forward) {
    matr3x3 f = forward;
    if (!NormalizeInPlace(f)) throw std::runtime_error("TProjectiveTransform::Normalize()");
    matr3x3 inv;
    if (!InverseOf(f, inv)) throw std::runtime_error("TProjectiveTransform::InitInverse()");
    m_fwd = f;
    m_inv = inv;
}

void TProjectiveTransform::SetMatrix(const matr3x3& m) {
    Assign(m);
}

void TProjectiveTransform::Normalize() {
    matr3x3 f = m_fwd;
    if (!NormalizeInPlace(f)) throw std::runtime_error("TProjectiveTransform::Normalize()");
    m_fwd = f;
}

void TProjectiveTransform::InitInverse() {
    if (!InverseOf(m_fwd, m_inv)) throw std::runtime_error("TProjectiveTransform::InitInverse()");
}

void TProjectiveTransform::LMul(const TShiftTransform& t) {
    Assign(MatrixOf(t, false) * m_fwd);
}

void TProjectiveTransform::LMul(const TAffineTransform& t) {
    Assign(MatrixOf(t, false) * m_fwd);
}

void TProjectiveTransform::LMul(const TProjectiveTransform& t) {
    Assign(t.m_fwd * m_fwd);
}

void TProjectiveTransform::RMul(const TShiftTransform& t) {
    Assign(m_fwd * MatrixOf(t, false));
}

void TProjectiveTransform::RMul(const TAffineTransform& t) {
    Assign(m_fwd * MatrixOf(t, false));
}

void TProjectiveTransform::RMul(const TProjectiveTransform& t) {
    Assign(m_fwd * t.m_fwd);
}

var_a<TKr2DTransform*> TProjectiveTransform::CreateCopy() const {
    return new_a<TProjectiveTransform>(*this);
}

var_a<TKr2DTransform*> TProjectiveTransform::CreateInverseTransform() const {
    return new_a<TProjectiveTransform>(*this, 0);
}

vec2d TProjectiveTransform::GetTraCoord(const vec2d& p) const {
    return Map(m_fwd, p);
}

vec2d TProjectiveTransform::GetInverseTraCoord(const vec2d& p) const {
    return Map(m_inv, p);
}

void TProjectiveTransform::GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                        vec2d* dst, std::uint64_t dstStride) const {
    MapMatrix(m_fwd, src, srcStride, count, dst, dstStride);
}

void TProjectiveTransform::GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                               vec2d* dst, std::uint64_t dstStride) const {
    MapMatrix(m_inv, src, srcStride, count, dst, dstStride);
}

double TProjectiveTransform::GetTransformTime(bool) const {
    return 1.5;
}

bool TProjectiveTransform::GetMatrix(matr3x3* m) const {
    if (m) *m = m_fwd;
    return true;
}

bool TProjectiveTransform::GetInverseMatrix(matr3x3* m) const {
    if (m) *m = m_inv;
    return true;
}

void TProjectiveTransform::SaveContent(TKrXIniWriter* writer) const {
    KrTransformItems::Save(writer, kItems, m_fwd.data(), 9);
}

void TProjectiveTransform::LoadContent(TKrXIniReader* reader) {
    matr3x3 m;
    KrTransformItems::Load(reader, kItems, m.data(), 9);
    Assign(m);
}
