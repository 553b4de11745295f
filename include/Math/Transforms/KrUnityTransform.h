// TUnityTransform: the plane transform that maps every point to itself.
#pragma once

#include "Math/Transforms/Kr2DTransform.h"

/// The identity; stored as "UnityTransform" with no items. Chains drop it when it is added.
class KRSTD_API TUnityTransform : public TKr2DTransform {
public:
    static constexpr const char* ContentName = "UnityTransform";

    var_a<TKr2DTransform*> CreateCopy() const override;
    var_a<TKr2DTransform*> CreateInverseTransform() const override;
    vec2d GetTraCoord(const vec2d& p) const override { return p; }
    vec2d GetInverseTraCoord(const vec2d& p) const override { return p; }
    /// Copies the points (nothing to do when src and dst coincide with equal strides).
    void GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                      std::uint64_t dstStride) const override;
    void GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                             std::uint64_t dstStride) const override;
    /// FlagIdentity.
    unsigned GetTransformFlags() const override;
    /// 0.01.
    double GetTransformTime(bool arg) const override;
    /// The unit matrix.
    bool GetMatrix(matr3x3* m) const override;
    bool GetInverseMatrix(matr3x3* m) const override;
    const char* GetContentName() const override { return ContentName; }
    void SaveContent(TKrXIniWriter* writer) const override;
    void LoadContent(TKrXIniReader* reader) override;
};
