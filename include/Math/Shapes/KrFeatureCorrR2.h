// Shape similarity of closed figures from the Fourier series of r²(φ) about their centroids.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"
#include "Math/Shapes/KrContourIntegral.h"
#include "Math/Shapes/KrFigure.h"

#include <cstdint>
#include <vector>

/// 0 for 0; x when x is a power of two; else the next power of two, or 0 when that overflows.
KRSTD_API unsigned long Ceil2Power(unsigned long x);

namespace FeatureCorrR2_Internal {

/// One complex Fourier component; index k of a spectrum is the harmonic order, and component 0
/// carries the mean of r² in its real part.
struct TFourierComp {
    double re = 0;
    double im = 0;
};

/// Adds the figure's r²(φ) components into *components (its length K sets how many) and scales
/// them, so that r²(φ) ≈ c_0.re + Σ (c_k.re·cos kφ + c_k.im·sin kφ); c_0.re is the enclosed
/// area / π, negative for clockwise travel. The figure should be centred and closed (first point
/// repeated). No change for fewer than two points, K = 0 or a figure of size 0. O(samples · K).
KRSTD_API void Fourier_r2_dphi(std::vector<TFourierComp>* components, const TKrFigure& f);

/// K zeroed components filled by Fourier_r2_dphi.
KRSTD_API std::vector<TFourierComp> FigureToFourier_r2dphi(const TKrFigure& f, unsigned long K);

/// The curve whose r²(φ) the spectrum describes: 16·K angle samples, travelled clockwise when
/// c_0.re is negative, with the first point repeated at the end (16·K + 1 points; none for K = 0).
/// Where the series dips below 0 the point goes to the opposite side of the origin.
KRSTD_API TKrFigure FigureFromFourier_r2dphi(const std::vector<TFourierComp>& components);

/// Walks the figure in the steps of ContourIntegral and hands each sample q the element
/// r·dφ = (q × dq) / |q|; samples at the origin are skipped.
KRSTD_API void Integral_r_dphi(ContourIntegral::TCoreFunc& fn, const TKrFigure& f);

} // namespace FeatureCorrR2_Internal

/// Compares figure shapes regardless of position, size, rotation and direction of travel. Keeps a
/// table of sines and cosines between comparisons, so one object serves one thread at a time.
class KRSTD_API TFeatureCorrR2 {
public:
    using TFourierComp = FeatureCorrR2_Internal::TFourierComp;

    /// Angle samples per harmonic in the maximum search.
    std::uint64_t m_oversampling = 16;
    /// Harmonics in a feature; CalcFeature yields this many + 1 components.
    std::uint64_t m_harmonics = 16;

    TFeatureCorrR2() = default;

    /// The figure's feature: the spectrum of its centred copy, negated for clockwise travel so
    /// that both directions give the same feature. Degenerate figures give zero components.
    std::vector<TFourierComp> CalcFeature(const TKrFigure& f) const;

    /// Similarity of two features over all relative rotations, in [0, 1] for features from
    /// CalcFeature; 0 when either is all zero. When `rotation` is not null it receives the angle
    /// in [0, 2π) by which the first figure best turns onto the second (resolution 2π over the
    /// table size; 0 when the score is 0).
    double Correlate(const std::vector<TFourierComp>& a, const std::vector<TFourierComp>& b,
                     double* rotation = nullptr);

    /// The largest value, not below 0, of the correlation function with spectrum p over the
    /// table's angles; a single component gives its real part as it is. `angle`, when not null,
    /// receives the angle of the maximum (0 when nothing beats 0). Rebuilds the tables when their
    /// size, the power of two at or above m_oversampling · (n − 1), changes. O(n · table size).
    double FindFigureMax(const std::vector<TFourierComp>& p, double* angle = nullptr);

private:
    std::uint64_t m_tableSize = 0;
    var_a<double*> m_cos;
    var_a<double*> m_sin;
};

/// One-off similarity of two figures with 16 harmonics, over 272 angles. Unlike TFeatureCorrR2 it
/// takes |correlation|, so figures of opposite travel compare like figures of the same travel.
/// 0 when either figure is degenerate.
KRSTD_API double FeatureCorrR2(const TKrFigure& a, const TKrFigure& b);
