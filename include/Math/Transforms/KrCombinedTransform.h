// TCombinedTransform: a chain of plane transforms applied first to last, merging where it can.
#pragma once

#include "Math/Transforms/Kr2DTransform.h"

#include <cstddef>
#include <vector>

/// Owns copies of the transforms added to it (never the caller's objects) and applies them
/// first to last; the inverse applies their inverses last to first. With collapse enabled (the
/// default) an added shift, affine or projective transform is merged into a last element of
/// those classes, so a chain of such maps holds one element. Stored as "CombinedTransform": one
/// unnamed section per element, each a stored transform, loaded back without merging.
///
/// Batch evaluation of several elements runs in chunks of 128 points through two fixed scratch
/// blocks: one virtual call per element and chunk, no allocation.
class KRSTD_API TCombinedTransform : public TKr2DTransform {
public:
    static constexpr const char* ContentName = "CombinedTransform";
    /// Points per chunk of the batch evaluation.
    static constexpr std::size_t ChunkSize = 128;

    /// Empty (the identity), collapse enabled.
    TCombinedTransform() = default;
    /// Deep copies: every element through CreateCopy; the collapse flag too.
    TCombinedTransform(const TCombinedTransform& other);
    TCombinedTransform& operator=(const TCombinedTransform& other);

    /// Appends `t` (applied after the present elements): a unity transform is ignored; with
    /// collapse enabled a shift, affine or projective transform merges into a last element of
    /// those classes and a chain is added element by element; anything else is appended as a
    /// copy.
    void AddTransform(const TKr2DTransform& t);
    void SetEnableCollapse(bool enable) noexcept { m_enableCollapse = enable; }
    bool GetEnableCollapse() const noexcept { return m_enableCollapse; }
    void Clear() noexcept;
    std::size_t GetTransformsCount() const noexcept { return m_transforms.size(); }
    /// The element at i; null when i is out of range.
    TKr2DTransform* GetTransform(std::size_t i) const noexcept;
    var_a<TKr2DTransform*> GetTransformV(std::size_t i) const;

    /// A chain with the same collapse flag holding the elements' inverses in reverse order.
    var_a<TKr2DTransform*> CreateCopy() const override;
    var_a<TKr2DTransform*> CreateInverseTransform() const override;
    vec2d GetTraCoord(const vec2d& p) const override;
    vec2d GetInverseTraCoord(const vec2d& p) const override;
    /// Stops at the first element that cannot map the point.
    bool GetTraCoordB(const vec2d& in, vec2d& out) const override;
    bool GetInverseTraCoordB(const vec2d& in, vec2d& out) const override;
    void GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                      std::uint64_t dstStride) const override;
    void GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                             std::uint64_t dstStride) const override;
    /// The sum of the elements' times.
    double GetTransformTime(bool arg) const override;
    /// M(n−1)·…·M(0) when every element has a matrix; the unit matrix when empty.
    bool GetMatrix(matr3x3* m) const override;
    /// Inv(0)·…·Inv(n−1) under the same rules.
    bool GetInverseMatrix(matr3x3* m) const override;
    const char* GetContentName() const override { return ContentName; }
    void SaveContent(TKrXIniWriter* writer) const override;
    /// Appends the stored elements as they are (no merging).
    void LoadContent(TKrXIniReader* reader) override;

private:
    void Append(var_a<TKr2DTransform*> t);
    void Refresh() noexcept { m_first = m_transforms.empty() ? nullptr : m_transforms.data(); }

    std::vector<var_a<TKr2DTransform*>> m_transforms;
    var_a<TKr2DTransform*>* m_first = nullptr; // the first element slot, null when empty
    bool m_enableCollapse = true;
};
