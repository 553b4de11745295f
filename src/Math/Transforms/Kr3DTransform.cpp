// TKr3DTransform: array forms through the transform's matrix, matrix classes, creation from a matrix.
#include "Math/Transforms/Kr3DTransform.h"

#include "Core/KrMessage.h"
#include "Math/Transforms/Kr3DProjectiveTransform.h"
#include "Math/Transforms/KrAffineTransform3D.h"
#include "Math/Transforms/KrSimple3DTransforms.h"
#include "XIni/KrXIniReader.h"
#include "XIni/KrXIniWriter.h"

#include <cmath>

#include <cstring>

namespace {

const char* const kItems[16] = {"m00", "m01", "m02", "m03", "m10", "m11", "m12", "m13",
                                "m20", "m21", "m22", "m23", "m30", "m31", "m32", "m33"};

constexpr std::uint64_t kDenseStride = sizeof(vec3d);

// dst[i] = f(src[i]) over byte-strided arrays. Each point is read completely before it is
// written, so src and dst may coincide; the packed case works on plain double arrays, which the
// compiler keeps in registers.
template <class F>
void MapPoints(const vec3d* src, std::uint64_t srcStride, std::uint64_t count, vec3d* dst,
               std::uint64_t dstStride, F f) {
    if (srcStride == 0) srcStride = kDenseStride;
    if (dstStride == 0) dstStride = kDenseStride;
    if (srcStride == kDenseStride && dstStride == kDenseStride) {
        const double* s = src->data();
        double* d = dst->data();
        for (std::uint64_t i = 0; i < count; ++i) {
            const double x = s[3 * i], y = s[3 * i + 1], z = s[3 * i + 2];
            double o[3];
            f(x, y, z, o);
            d[3 * i] = o[0];
            d[3 * i + 1] = o[1];
            d[3 * i + 2] = o[2];
        }
        return;
    }
    const char* s = reinterpret_cast<const char*>(src);
    char* d = reinterpret_cast<char*>(dst);
    for (std::uint64_t i = 0; i < count; ++i, s += srcStride, d += dstStride) {
        double p[3], o[3];
        std::memcpy(p, s, sizeof p);
        f(p[0], p[1], p[2], o);
        std::memcpy(d, o, sizeof o);
    }
}

// Kept out of line and reading the coefficients through the matrix: in this form the compiler
// vectorises over pairs of points with one packed w per pair (three divisions per two points),
// where locals in registers lead it to split each point across lanes instead, about 20 % slower.
__attribute__((noinline)) void DenseProjective(const matr4x4& m, const double* s, double* d,
                                               std::uint64_t count) {
    for (std::uint64_t i = 0; i < count; ++i) {
        const double x = s[3 * i], y = s[3 * i + 1], z = s[3 * i + 2];
        const double w = m.m30 * x + m.m31 * y + m.m32 * z + m.m33;
        d[3 * i] = (m.m00 * x + m.m01 * y + m.m02 * z + m.m03) / w;
        d[3 * i + 1] = (m.m10 * x + m.m11 * y + m.m12 * z + m.m13) / w;
        d[3 * i + 2] = (m.m20 * x + m.m21 * y + m.m22 * z + m.m23) / w;
    }
}

// The packed loops are written out rather than passed through MapPoints: in this form the
// compiler vectorises across points (two at a time), which the strided form does not allow.
void MapMatrix(const matr4x4& m, const vec3d* src, std::uint64_t srcStride, std::uint64_t count, vec3d* dst,
               std::uint64_t dstStride) {
    const double a00 = m.m00, a01 = m.m01, a02 = m.m02, a03 = m.m03;
    const double a10 = m.m10, a11 = m.m11, a12 = m.m12, a13 = m.m13;
    const double a20 = m.m20, a21 = m.m21, a22 = m.m22, a23 = m.m23;
    const double a30 = m.m30, a31 = m.m31, a32 = m.m32, a33 = m.m33;
    const bool affine = a30 == 0.0 && a31 == 0.0 && a32 == 0.0 && a33 == 1.0;
    const bool dense =
        (srcStride == 0 || srcStride == kDenseStride) && (dstStride == 0 || dstStride == kDenseStride);
    if (dense) {
        const double* s = src->data();
        double* d = dst->data();
        if (affine) {
            for (std::uint64_t i = 0; i < count; ++i) {
                const double x = s[3 * i], y = s[3 * i + 1], z = s[3 * i + 2];
                d[3 * i] = a00 * x + a01 * y + a02 * z + a03;
                d[3 * i + 1] = a10 * x + a11 * y + a12 * z + a13;
                d[3 * i + 2] = a20 * x + a21 * y + a22 * z + a23;
            }
        } else {
            DenseProjective(m, s, d, count);
        }
        return;
    }
    if (affine) {
        MapPoints(src, srcStride, count, dst, dstStride, [=](double x, double y, double z, double* o) {
            o[0] = a00 * x + a01 * y + a02 * z + a03;
            o[1] = a10 * x + a11 * y + a12 * z + a13;
            o[2] = a20 * x + a21 * y + a22 * z + a23;
        });
        return;
    }
    MapPoints(src, srcStride, count, dst, dstStride, [=](double x, double y, double z, double* o) {
        const double w = a30 * x + a31 * y + a32 * z + a33;
        o[0] = (a00 * x + a01 * y + a02 * z + a03) / w;
        o[1] = (a10 * x + a11 * y + a12 * z + a13) / w;
        o[2] = (a20 * x + a21 * y + a22 * z + a23) / w;
    });
}

void Map(const TKr3DTransform& t, bool inverse, const vec3d* src, std::uint64_t srcStride,
         std::uint64_t count, vec3d* dst, std::uint64_t dstStride) {
    matr4x4 m;
    if (t.GetMatrix(&m)) return MapMatrix(m, src, srcStride, count, dst, dstStride);
    MapPoints(src, srcStride, count, dst, dstStride, [&](double x, double y, double z, double* o) {
        const vec3d p(x, y, z);
        const vec3d q = inverse ? t.GetInverseTraCoord(p) : t.GetTraCoord(p);
        o[0] = q.x;
        o[1] = q.y;
        o[2] = q.z;
    });
}

} // namespace

TKr3DTransform::~TKr3DTransform() = default;

unsigned TKr3DTransform::GetTransformFlags() const {
    return 0;
}

void TKr3DTransform::GetTraCoordM(const vec3d* src, std::uint64_t srcStride, std::uint64_t count, vec3d* dst,
                                  std::uint64_t dstStride) const {
    if (count == 0) return;
    Map(*this, false, src, srcStride, count, dst, dstStride);
}

void TKr3DTransform::GetInverseTraCoordM(const vec3d* src, std::uint64_t srcStride, std::uint64_t count,
                                         vec3d* dst, std::uint64_t dstStride) const {
    if (count == 0) return;
    matr4x4 m;
    if (GetMatrix(nullptr)) {
        // The inverse object carries the inverse matrix; asking it costs one allocation per call.
        const var_a<TKr3DTransform*> inverse = CreateInverseTransform();
        if (inverse->GetMatrix(&m)) return MapMatrix(m, src, srcStride, count, dst, dstStride);
    }
    Map(*this, true, src, srcStride, count, dst, dstStride);
}

int classify(const matr4x4& m) noexcept {
    if (!(m.m30 == 0.0 && m.m31 == 0.0 && m.m32 == 0.0 && m.m33 == 1.0)) return 3;
    if (!(m.m00 == 1.0 && m.m01 == 0.0 && m.m02 == 0.0 && m.m10 == 0.0 && m.m11 == 1.0 && m.m12 == 0.0 &&
          m.m20 == 0.0 && m.m21 == 0.0 && m.m22 == 1.0))
        return 2;
    if (!(m.m03 == 0.0 && m.m13 == 0.0 && m.m23 == 0.0)) return 1;
    return 0;
}

var_a<TKr3DTransform*> VCreateTransform3D(const matr4x4& m) {
    return VCreateTransform3D(m, classify(m));
}

var_a<TKr3DTransform*> VCreateTransform3D(const matr4x4& m, int m44Class) {
    switch (m44Class) {
    case 0:
        return new_a<TUnity3DTransform>();
    case 1:
        return new_a<TShift3DTransform>(m.m03, m.m13, m.m23);
    case 2:
        return new_a<TKrAffineTransform3D>(m.data());
    case 3:
        return new_a<TKr3DProjectiveTransform>(m);
    default:
        throw TKrMessage("@VCreateTransform3D(const matr4x4&, int): invalid matrix class %1%") << m44Class;
    }
}

void XIniSaveE(TKrXIniWriter* writer, const TKr3DTransform& t) {
    matr4x4 m;
    if (!t.GetMatrix(&m)) throw TKrMessage("@XIniSaveE(TKrXIniWriter*, const TKr3DTransform&): no matrix");
    for (int i = 0; i < 16; ++i)
        writer->WriteSE(kItems[i], m.data()[i]);
}

void XIniLoadE(TKrXIniReader* reader, std::size_t index, var_a<TKr3DTransform*>& t) {
    const std::size_t level = reader->EnterSectionE(index);
    matr4x4 m;
    try {
        for (int i = 0; i < 16; ++i) {
            const std::size_t item = reader->FindFE(kItems[i], 0);
            m.data()[i] = reader->ReadE<double>(item);
            if (!std::isfinite(m.data()[i])) reader->throw_error_value(item);
        }
    } catch (...) {
        reader->ExitSection(level); // leave the reader where the caller had it
        throw;
    }
    reader->ExitSectionE(level);
    t = VCreateTransform3D(m);
}
