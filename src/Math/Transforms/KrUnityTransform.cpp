// TUnityTransform: the identity's slots.
#include "Math/Transforms/KrUnityTransform.h"

#include "Math/Transforms/KrTransformLoops.h"

var_a<TKr2DTransform*> TUnityTransform::CreateCopy() const {
    return new_a<TUnityTransform>();
}

var_a<TKr2DTransform*> TUnityTransform::CreateInverseTransform() const {
    return new_a<TUnityTransform>();
}

void TUnityTransform::GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                                   std::uint64_t dstStride) const {
    KrTransformLoops::CopyPoints(src, srcStride, count, dst, dstStride);
}

void TUnityTransform::GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count,
                                          vec2d* dst, std::uint64_t dstStride) const {
    KrTransformLoops::CopyPoints(src, srcStride, count, dst, dstStride);
}

unsigned TUnityTransform::GetTransformFlags() const {
    return FlagIdentity;
}

double TUnityTransform::GetTransformTime(bool) const {
    return 0.01;
}

bool TUnityTransform::GetMatrix(matr3x3* m) const {
    if (m) *m = matr3x3::Unit();
    return true;
}

bool TUnityTransform::GetInverseMatrix(matr3x3* m) const {
    return GetMatrix(m);
}

void TUnityTransform::SaveContent(TKrXIniWriter*) const {}

void TUnityTransform::LoadContent(TKrXIniReader*) {}
