// TShiftTransform: the translation's slots and its items "x", "y".
#include "Math/Transforms/KrShiftTransform.h"

#include "Math/Transforms/KrTransformItems.h"
#include "Math/Transforms/KrTransformLoops.h"

namespace {
const char* const kItems[] = {"x", "y"};
}

var_a<TKr2DTransform*> TShiftTransform::CreateCopy() const {
    return new_a<TShiftTransform>(*this);
}

var_a<TKr2DTransform*> TShiftTransform::CreateInverseTransform() const {
    return new_a<TShiftTransform>(-m_shift.x, -m_shift.y);
}

void TShiftTransform::GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                                   std::uint64_t dstStride) const {
    const double dx = m_shift.x, dy = m_shift.y;
    KrTransformLoops::MapPoints(src, srcStride, count, dst, dstStride,
                                [dx, dy](double x, double y, double& ox, double& oy) {
                                    ox = x + dx;
                                    oy = y + dy;
                                });
}

void TShiftTransform::GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                          vec2d* dst, std::uint64_t dstStride) const {
    const double dx = m_shift.x, dy = m_shift.y;
    KrTransformLoops::MapPoints(src, srcStride, count, dst, dstStride,
                                [dx, dy](double x, double y, double& ox, double& oy) {
                                    ox = x - dx;
                                    oy = y - dy;
                                });
}

double TShiftTransform::GetTransformTime(bool) const {
    return 0.1;
}

bool TShiftTransform::GetMatrix(matr3x3* m) const {
    if (m) *m = matr3x3(1, 0, m_shift.x, 0, 1, m_shift.y, 0, 0, 1);
    return true;
}

bool TShiftTransform::GetInverseMatrix(matr3x3* m) const {
    if (m) *m = matr3x3(1, 0, -m_shift.x, 0, 1, -m_shift.y, 0, 0, 1);
    return true;
}

void TShiftTransform::SaveContent(TKrXIniWriter* writer) const {
    KrTransformItems::Save(writer, kItems, m_shift.data(), 2);
}

void TShiftTransform::LoadContent(TKrXIniReader* reader) {
    vec2d shift;
    KrTransformItems::Load(reader, kItems, shift.data(), 2);
    m_shift = shift;
}
