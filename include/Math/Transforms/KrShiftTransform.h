// TShiftTransform: the plane translation by (dx, dy).
#pragma once

#include "Math/Transforms/Kr2DTransform.h"

/// Maps (x, y) to (x + dx, y + dy); stored as "ShiftTransform" with the doubles "x" and "y".
class KRSTD_API TShiftTransform : public TKr2DTransform {
public:
    static constexpr const char* ContentName = "ShiftTransform";

    /// Zero shift.
    TShiftTransform() = default;
    explicit TShiftTransform(const vec2d& shift) : m_shift(shift) {}
    TShiftTransform(double dx, double dy) : m_shift(dx, dy) {}
    TShiftTransform(const TShiftTransform&) = default;
    TShiftTransform& operator=(const TShiftTransform&) = default;

    const vec2d& GetShift() const noexcept { return m_shift; }
    void SetShift(const vec2d& shift) noexcept { m_shift = shift; }
    /// Both add the other shift (translations commute).
    void LMul(const TShiftTransform& t) noexcept { m_shift += t.m_shift; }
    void RMul(const TShiftTransform& t) noexcept { m_shift += t.m_shift; }

    var_a<TKr2DTransform*> CreateCopy() const override;
    var_a<TKr2DTransform*> CreateInverseTransform() const override;
    vec2d GetTraCoord(const vec2d& p) const override { return p + m_shift; }
    vec2d GetInverseTraCoord(const vec2d& p) const override { return p - m_shift; }
    void GetTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                      std::uint64_t dstStride) const override;
    void GetInverseTraCoordM(const vec2d* src, std::uint64_t srcStride, std::uint64_t count, vec2d* dst,
                             std::uint64_t dstStride) const override;
    /// 0.1.
    double GetTransformTime(bool arg) const override;
    /// [1 0 dx; 0 1 dy; 0 0 1] and its inverse.
    bool GetMatrix(matr3x3* m) const override;
    bool GetInverseMatrix(matr3x3* m) const override;
    const char* GetContentName() const override { return ContentName; }
    void SaveContent(TKrXIniWriter* writer) const override;
    /// Reads "x" and "y"; a missing, malformed or non-finite value throws the reader's error.
    void LoadContent(TKrXIniReader* reader) override;

private:
    vec2d m_shift;
};
