// TProjectiveTransform: the plane projective map (homography), carried with its inverse.
#pragma once

#include "Math/Transforms/Kr2DTransform.h"
#include "Math/Transforms/KrAffineTransform.h"
#include "Math/Transforms/KrShiftTransform.h"

/// x′ = (m00·x + m01·y + m02)/w, y′ = (m10·x + m11·y + m12)/w, w = m20·x + m21·y + m22, with both
/// matrices kept normalised (m22 = 1) and the inverse derived as the normalised adjugate.
/// Stored as "ProjectiveTransform" with the forward doubles "m00" … "m22". Evaluation makes no
/// test for w = 0.
///
/// Matrices that cannot be normalised (m22 zero or not finite), and matrices whose inverse is
/// singular or cannot be normalised, are refused with std::runtime_error
/// "TProjectiveTransform::Normalize()" and "TProjectiveTransform::InitInverse()": every object
/// holds a usable inverse.
class KRSTD_API TProjectiveTransform : public TKr2DTransform {
public:
    static constexpr const char* ContentName = "ProjectiveTransform";

    /// The identity.
    TProjectiveTransform();
    /// From a matrix: normalised, inverse derived.
    TProjectiveTransform(double m00, double m01, double m02, double m10, double m11, double m12, double m20,
                         double m21, double m22);
    explicit TProjectiveTransform(const matr3x3& m);
    /// The forward and inverse matrices of `t` copied (bottom rows 0, 0, 1).
    explicit TProjectiveTransform(const TShiftTransform& t);
    explicit TProjectiveTransform(const TAffineTransform& t);
    /// The same, forward and inverse swapped (the int only selects this form).
    TProjectiveTransform(const TShiftTransform& t, int);
    TProjectiveTransform(const TAffineTransform& t, int);
    TProjectiveTransform(const TProjectiveTransform&) = default;
    TProjectiveTransform(const TProjectiveTransform& t, int);
    TProjectiveTransform& operator=(const TProjectiveTransform&) = default;

    const matr3x3& GetForward() const noexcept { return m_fwd; }
    const matr3x3& GetInverse() const noexcept { return m_inv; }
    /// Replaces the forward matrix (normalised, inverse derived); throws as the constructor and
    /// leaves the transform unchanged then.
    void SetMatrix(const matr3x3& m);
    /// Divides the forward matrix by m22 (skipped when m22 is exactly 1).
    void Normalize();
    /// Derives the inverse from the forward matrix: the adjugate, normalised.
    void InitInverse();
    /// This transform's inverse by value.
    TProjectiveTransform InverseTransform() const { return TProjectiveTransform(*this, 0); }

    /// this = t·this (t applied after this); the product is normalised and its inverse derived.
    void LMul(const TShiftTransform& t);
    void LMul(const TAffineTransform& t);
    void LMul(const TProjectiveTransform& t);
    /// this = this·t (t applied first).
    void RMul(const TShiftTransform& t);
    void RMul(const TAffineTransform& t);
    void RMul(const TProjectiveTransform& t);
    TProjectiveTransform& operator*=(const TShiftTransform& t) {
        RMul(t);
        return *this;
    }
    TProjectiveTransform& operator*=(const TAffineTransform& t) {
        RMul(t);
        return *this;
    }
    TProjectiveTransform& operator*=(const TProjectiveTransform& t) {
        RMul(t);
        return *this;
    }

    var_a<TKr2DTransform*> CreateCopy() const override;
    var_a<TKr2DTransform*> CreateInverseTransform() const override;
    vec2d GetTraCoord(const vec2d& p) const override;
    vec2d GetInverseTraCoord(const vec2d& p) const override;
    /// Takes the affine formula (no division) when the matrix's bottom row is exactly 0, 0, 1.
    void GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                      std::uint64_t dstStride) const override;
    void GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                             std::uint64_t dstStride) const override;
    /// 1.5.
    double GetTransformTime(bool arg) const override;
    bool GetMatrix(matr3x3* m) const override;
    bool GetInverseMatrix(matr3x3* m) const override;
    const char* GetContentName() const override { return ContentName; }
    void SaveContent(TKrXIniWriter* writer) const override;
    /// Reads the nine forward values, normalises and derives the inverse; a missing, malformed
    /// or non-finite value throws the reader's error.
    void LoadContent(TKrXIniReader* reader) override;

private:
    // Sets both matrices from a forward one, or throws and changes nothing.
    void Assign(const matr3x3& forward);

    matr3x3 m_fwd; // forward, m22 = 1
    matr3x3 m_inv; // inverse, m22 = 1
};
