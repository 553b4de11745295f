// Shape similarity of closed figures from the Fourier series of r²(φ) about their centroids.
#include "Math/Shapes/KrFeatureCorrR2.h"

#include "Math/Shapes/KrContourSteps.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Below this the product of the spectra's energies counts as zero (a degenerate figure).
constexpr double kTinyNorm = 1e-30;
// Harmonics of the one-off comparison.
constexpr unsigned long kOneOffComponents = 17;

using TFourierComp = FeatureCorrR2_Internal::TFourierComp;

// a_k·conj(b_k) over the shorter spectrum, divided by the product of the energies' roots;
// empty when that product vanishes.
std::vector<TFourierComp> NormalisedCrossSpectrum(const std::vector<TFourierComp>& a,
                                                  const std::vector<TFourierComp>& b) {
    const std::size_t n = std::min(a.size(), b.size());
    std::vector<TFourierComp> p(n);
    double ea = 0, eb = 0;
    for (std::size_t k = 0; k < n; ++k) {
        p[k].re = a[k].re * b[k].re + a[k].im * b[k].im;
        p[k].im = a[k].im * b[k].re - a[k].re * b[k].im;
        ea += a[k].re * a[k].re + a[k].im * a[k].im;
        eb += b[k].re * b[k].re + b[k].im * b[k].im;
    }
    const double nrm = std::sqrt(ea * eb);
    if (!(nrm >= kTinyNorm)) return {};
    for (TFourierComp& c : p) {
        c.re /= nrm;
        c.im /= nrm;
    }
    return p;
}

} // namespace

unsigned long Ceil2Power(unsigned long x) {
    if (x == 0 || (x & (x - 1)) == 0) return x;
    unsigned long p = 1;
    while (p < x) {
        if (p > ULONG_MAX / 2) return 0;
        p <<= 1;
    }
    return p;
}

namespace FeatureCorrR2_Internal {

void Fourier_r2_dphi(std::vector<TFourierComp>* components, const TKrFigure& f) {
    if (!components) return;
    std::vector<TFourierComp>& c = *components;
    const std::size_t K = c.size();
    const double size = FigureSize(f);
    if (f.size() < 2 || K == 0 || size == 0) return;
    ContourIntegral::Detail::ForEachEdgeSample(f, size, [&](const vec2d& q, const vec2d& d, double weight) {
        const double r = norm(q);
        if (r == 0) return;
        const double w = cross(q, d) * weight;
        const double cs = q.x / r, sn = q.y / r;
        c[0].re += w;
        // (cos kφ, sin kφ) by repeated complex multiplication: no trigonometric calls per sample.
        double ck = 1, sk = 0;
        for (std::size_t k = 1; k < K; ++k) {
            const double t = ck * cs - sk * sn;
            sk = ck * sn + sk * cs;
            ck = t;
            c[k].re += w * ck;
            c[k].im += w * sk;
        }
    });
    c[0].re *= 1 / (2 * kPi);
    for (std::size_t k = 1; k < K; ++k) {
        c[k].re *= 1 / kPi;
        c[k].im *= 1 / kPi;
    }
}

std::vector<TFourierComp> FigureToFourier_r2dphi(const TKrFigure& f, unsigned long K) {
    std::vector<TFourierComp> c(K);
    Fourier_r2_dphi(&c, f);
    return c;
}

TKrFigure FigureFromFourier_r2dphi(const std::vector<TFourierComp>& components) {
    const std::size_t K = components.size();
    if (K == 0) return {};
    const std::size_t M = 16 * K;
    const double s = components[0].re < 0 ? -1.0 : 1.0;
    const double step = s * 2 * kPi / static_cast<double>(M);
    TKrFigure out;
    out.reserve(M + 1);
    for (std::size_t j = 0; j < M; ++j) {
        const double th = static_cast<double>(j) * step;
        double v = components[0].re;
        for (std::size_t k = 1; k < K; ++k) {
            const double kt = static_cast<double>(k) * th;
            v += components[k].re * std::cos(kt) + components[k].im * std::sin(kt);
        }
        v *= s;
        const double r = v >= 0 ? std::sqrt(v) : -std::sqrt(-v);
        out.emplace_back(r * std::cos(th), r * std::sin(th));
    }
    out.push_back(out.front());
    return out;
}

void Integral_r_dphi(ContourIntegral::TCoreFunc& fn, const TKrFigure& f) {
    const double size = FigureSize(f);
    if (f.size() < 2 || size == 0) return;
    ContourIntegral::Detail::ForEachEdgeSample(f, size, [&](const vec2d& q, const vec2d& d, double w) {
        const double r = norm(q);
        if (r != 0) fn.Add(q, cross(q, d) * w / r);
    });
}

} // namespace FeatureCorrR2_Internal

std::vector<TFourierComp> TFeatureCorrR2::CalcFeature(const TKrFigure& f) const {
    TKrFigure c = f;
    CenterFigure(c);
    std::vector<TFourierComp> feature =
        FeatureCorrR2_Internal::FigureToFourier_r2dphi(c, static_cast<unsigned long>(m_harmonics + 1));
    if (!feature.empty() && feature[0].re < 0)
        for (TFourierComp& x : feature) {
            x.re = -x.re;
            x.im = -x.im;
        }
    return feature;
}

double TFeatureCorrR2::Correlate(const std::vector<TFourierComp>& a, const std::vector<TFourierComp>& b,
                                 double* rotation) {
    if (rotation) *rotation = 0;
    const std::vector<TFourierComp> p = NormalisedCrossSpectrum(a, b);
    if (p.empty()) return 0;
    double angle = 0;
    const double best = FindFigureMax(p, &angle);
    // The correlation peaks at θ = −α for a second figure turned by α against the first.
    if (rotation && angle > 0) *rotation = 2 * kPi - angle;
    return best;
}

double TFeatureCorrR2::FindFigureMax(const std::vector<TFourierComp>& p, double* angle) {
    if (angle) *angle = 0;
    const std::size_t n = p.size();
    if (n == 0) return 0;
    if (n == 1) return p[0].re;
    const std::uint64_t T = Ceil2Power(static_cast<unsigned long>(m_oversampling * (n - 1)));
    if (T != m_tableSize) {
        // Build both before replacing either, so a failed allocation leaves the old tables intact.
        var_a<double*> cs = newarray_a(new double[T]);
        var_a<double*> sn = newarray_a(new double[T]);
        for (std::uint64_t j = 0; j < T; ++j) {
            const double a = 2 * kPi * static_cast<double>(j) / static_cast<double>(T);
            cs.get()[j] = std::cos(a);
            sn.get()[j] = std::sin(a);
        }
        m_cos = cs;
        m_sin = sn;
        m_tableSize = T;
    }
    const double* cs = m_cos.get();
    const double* sn = m_sin.get();
    const std::uint64_t mask = T - 1;
    double best = 0;
    for (std::uint64_t j = 0; j < T; ++j) {
        double v = p[0].re;
        std::uint64_t idx = 0;
        for (std::size_t k = 1; k < n; ++k) {
            idx = (idx + j) & mask;
            v += p[k].re * cs[idx] + p[k].im * sn[idx];
        }
        if (v > best) {
            best = v;
            if (angle) *angle = 2 * kPi * static_cast<double>(j) / static_cast<double>(T);
        }
    }
    return best;
}

double FeatureCorrR2(const TKrFigure& a, const TKrFigure& b) {
    TKrFigure ca = a, cb = b;
    CenterFigure(ca);
    CenterFigure(cb);
    const std::vector<TFourierComp> fa =
        FeatureCorrR2_Internal::FigureToFourier_r2dphi(ca, kOneOffComponents);
    const std::vector<TFourierComp> fb =
        FeatureCorrR2_Internal::FigureToFourier_r2dphi(cb, kOneOffComponents);
    const std::vector<TFourierComp> p = NormalisedCrossSpectrum(fa, fb);
    if (p.empty()) return 0;
    double best = 0;
    for (const vec2d& q : FeatureCorrR2_Internal::FigureFromFourier_r2dphi(p))
        best = std::max(best, norm2(q));
    return best;
}
