// TAffine and TAffineTransform: the plane affine map and the transform that carries it with its inverse.
#pragma once

#include "Math/Transforms/Kr2DTransform.h"
#include "Math/Transforms/KrShiftTransform.h"

/// The six coefficients of x′ = m00·x + m01·y + m02, y′ = m10·x + m11·y + m12.
struct KRSTD_API TAffine {
    double m00 = 1, m01 = 0, m02 = 0;
    double m10 = 0, m11 = 1, m12 = 0;

    /// Determinants at or below this magnitude count as singular.
    static constexpr double SingularDeterminant = 1e-20;

    /// out = this·other (other applied first). `out` may be this or other.
    void Mul(const TAffine& other, TAffine& out) const noexcept;
    /// The analytic inverse; false (out unchanged) when |m00·m11 − m01·m10| <= 1e-20 or NaN, or
    /// when an inverse coefficient overflows.
    bool GetInverse(TAffine& out) const noexcept;
    /// The 3×3 matrix with bottom row 0, 0, 1.
    void GetMatrix(matr3x3* m) const noexcept;
    vec2d Apply(const vec2d& p) const noexcept {
        return vec2d(m00 * p.x + m01 * p.y + m02, m10 * p.x + m11 * p.y + m12);
    }
};

/// An affine transform holding its forward and inverse coefficients; stored as
/// "AffineTransform" with the forward doubles "m00" … "m12" (the inverse is derived on load).
/// Composition updates both sides analytically: the inverse of T·A is A⁻¹·T⁻¹.
class KRSTD_API TAffineTransform : public TKr2DTransform {
public:
    static constexpr const char* ContentName = "AffineTransform";

    /// The identity.
    TAffineTransform() = default;
    /// From coefficients; a singular matrix throws std::runtime_error "TAffineTransform::InitInverseE()".
    TAffineTransform(double m00, double m01, double m02, double m10, double m11, double m12);
    explicit TAffineTransform(const TAffine& a);
    /// [1 0 dx; 0 1 dy].
    explicit TAffineTransform(const TShiftTransform& s);
    /// The inverse of `s` (the int only selects this form).
    TAffineTransform(const TShiftTransform& s, int);
    TAffineTransform(const TAffineTransform&) = default;
    /// The inverse of `t`: forward and inverse swapped (the int only selects this form).
    TAffineTransform(const TAffineTransform& t, int);
    TAffineTransform& operator=(const TAffineTransform&) = default;

    const TAffine& GetAffine() const noexcept { return m_fwd; }
    const TAffine& GetInverseAffine() const noexcept { return m_inv; }
    /// Replaces the forward coefficients and derives the inverse; throws as the constructor
    /// does and leaves the transform unchanged then.
    void SetAffine(const TAffine& a);
    /// Derives the inverse from the forward coefficients: det = m00·m11 − m01·m10; |det| <= 1e-20
    /// (or NaN, or an inverse that overflows) throws std::runtime_error
    /// "TAffineTransform::InitInverseE()".
    void InitInverseE();
    /// This transform's inverse by value.
    TAffineTransform InverseTransform() const { return TAffineTransform(*this, 0); }

    /// this = t·this (t applied after this).
    void LMul(const TShiftTransform& t) noexcept;
    void LMul(const TAffineTransform& t) noexcept;
    /// this = this·t (t applied first).
    void RMul(const TShiftTransform& t) noexcept;
    void RMul(const TAffineTransform& t) noexcept;
    TAffineTransform& operator*=(const TShiftTransform& t) noexcept {
        RMul(t);
        return *this;
    }
    TAffineTransform& operator*=(const TAffineTransform& t) noexcept {
        RMul(t);
        return *this;
    }

    var_a<TKr2DTransform*> CreateCopy() const override;
    var_a<TKr2DTransform*> CreateInverseTransform() const override;
    vec2d GetTraCoord(const vec2d& p) const override { return m_fwd.Apply(p); }
    vec2d GetInverseTraCoord(const vec2d& p) const override { return m_inv.Apply(p); }
    void GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                      std::uint64_t dstStride) const override;
    void GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                             std::uint64_t dstStride) const override;
    /// 1.0.
    double GetTransformTime(bool arg) const override;
    bool GetMatrix(matr3x3* m) const override;
    bool GetInverseMatrix(matr3x3* m) const override;
    const char* GetContentName() const override { return ContentName; }
    void SaveContent(TKrXIniWriter* writer) const override;
    /// Reads the six forward coefficients and derives the inverse; a missing, malformed or
    /// non-finite value throws the reader's error, a singular matrix as InitInverseE does.
    void LoadContent(TKrXIniReader* reader) override;

private:
    TAffine m_fwd; // forward coefficients
    TAffine m_inv; // inverse coefficients, same order
};
