// TCombinedTransform3D: a chain of space transforms applied first to last, merging neighbours into one
// matrix.
#pragma once

#include "Math/Transforms/Kr3DTransform.h"

#include <cstddef>
#include <vector>

/// Owns copies of the transforms added to it (never the caller's objects) and applies them
/// first to last; the inverse applies their inverses last to first. With collapse enabled (the
/// default) a transform added next to an element that has a matrix is merged with it into the
/// simplest class holding the product, and the pair is dropped when the product is the unit
/// matrix, so a chain of matrix transforms holds at most one element.
class KRSTD_API TCombinedTransform3D : public TKr3DTransform {
public:
    static constexpr const char* ContentName = "CombinedTransform3D";

    /// Empty (the identity).
    explicit TCombinedTransform3D(bool enableCollapse = true) : m_enableCollapse(enableCollapse) {}
    /// Deep copies: every element through CreateCopy; the collapse flag too.
    TCombinedTransform3D(const TCombinedTransform3D& other);
    TCombinedTransform3D& operator=(const TCombinedTransform3D& other);

    /// AddL(t).
    void AddTransform(const TKr3DTransform& t) { AddL(t); }
    /// Appends `t`, applied after the chain. An identity (FlagIdentity) is ignored; a chain is
    /// added element by element, first to last.
    void AddL(const TKr3DTransform& t);
    /// Prepends `t`, applied before the chain; a chain is added element by element, last to first.
    void AddR(const TKr3DTransform& t);
    void Clear() noexcept;
    void SetEnableCollapse(bool enable) noexcept { m_enableCollapse = enable; }
    bool GetEnableCollapse() const noexcept { return m_enableCollapse; }
    std::size_t GetTransformsCount() const noexcept { return m_transforms.size(); }
    /// The element at i; null when i is out of range.
    TKr3DTransform* GetTransform(std::size_t i) const noexcept;

    var_a<TKr3DTransform*> CreateCopy() const override;
    /// A chain with the same collapse flag holding the elements' inverses in reverse order.
    var_a<TKr3DTransform*> CreateInverseTransform() const override;
    vec3d GetTraCoord(const vec3d& p) const override;
    vec3d GetInverseTraCoord(const vec3d& p) const override;
    /// The AND of the elements' flags; FlagIdentity | FlagKeepsZ when empty.
    unsigned GetTransformFlags() const override;
    /// M(n−1)·…·M(0) when every element has a matrix; the unit matrix when empty.
    bool GetMatrix(matr4x4* m) const override;
    virtual const char* GetContentName() const { return ContentName; }

private:
    void Add(const TKr3DTransform& t, bool append);
    void Refresh() noexcept { m_first = m_transforms.empty() ? nullptr : m_transforms.data(); }

    std::vector<var_a<TKr3DTransform*>> m_transforms;
    var_a<TKr3DTransform*>* m_first = nullptr; // the first element slot, null when empty
    bool m_enableCollapse = true;
};
