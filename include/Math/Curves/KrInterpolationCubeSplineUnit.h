// TKrInterpolationCubeSpline: a cubic spline over an integer range, as a lookup table and a binary record.
#pragma once

#include "Math/Curves/KrCubeSpline.h"

class TKrStream;

/// A cubic spline whose points lie in 0..N−1 on both axes, turned into a table of N integers
/// (input level to output level). Saves itself as the record "ICRV" "RANG" N "PNTS" n followed
/// by n × (type, x, y): 20 + 20·n bytes, little-endian, no coefficients.
class KRSTD_API TKrInterpolationCubeSpline : public TKrCubeSpline {
public:
    /// Range 256 until SetRange or Load, so a fresh curve maps 8-bit levels.
    static constexpr unsigned long DefaultRange = 256;

    TKrInterpolationCubeSpline() = default;
    /// SetPoints(points, true); a refused list leaves the curve without points.
    explicit TKrInterpolationCubeSpline(const std::vector<CUBESPLINE_POINT>& points);
    /// Copies the points, then Recalc.
    explicit TKrInterpolationCubeSpline(const TKrCubeSpline& spline);

    /// Stores n as the range. With `rescale`, multiplies every x and y by (n−1)/(old range−1)
    /// (each side taken as 1 below 2) and then, with `recalc`, recalculates.
    void SetRange(unsigned long n, bool rescale, bool recalc);
    unsigned long GetRange() const noexcept { return m_range; }

    /// Fills `table` with N entries: each input level's curve value rounded and clamped to
    /// 0..N−1; before the first point the first y, after the last the last y. A curve without
    /// points gives the identity. O(N + n).
    void GetTransformTable(std::vector<int>& table) const;

    /// Writes the record; false at the first write that moves fewer bytes than asked.
    bool Save(TKrStream* stream) const;
    /// Reads a record; false on a short read, a wrong tag or a non-finite coordinate, the curve
    /// then unchanged. The x order of the points is not checked; `recalc` recalculates.
    bool Load(TKrStream* stream, bool recalc);

private:
    unsigned long m_range = DefaultRange;
};
