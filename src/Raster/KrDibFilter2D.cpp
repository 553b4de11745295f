// Resampling filters: nearest neighbour, linear/area weights, the 8-bit fixed-point and the
// double-precision linear filters.
#include "Raster/KrDibFilter2D.h"
#include "Core/KrMessage.h"
#include "Raster/KrRasterInternal.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace {

// Per-thread work space of InterpolateRect: the filters are shared by the worker threads of a
// rescaling read, so tap tables and intermediate rows cannot live in the filter. The vectors
// only grow, so a read allocates once per thread.
struct TWorkspace {
    std::vector<std::int64_t> xOffsets; // byte offsets of the taps, kx per column
    std::vector<std::int64_t> yRows;    // row indices of the taps, ky per row
    std::vector<std::int32_t> xWeightsI, yWeightsI;
    std::vector<double> xWeightsD, yWeightsD;
    std::vector<std::uint16_t> inter16;
    std::vector<std::uint32_t> acc32;
    std::vector<double> interD, accD;
    TKrLinearSample sample;
};
thread_local TWorkspace t_work;

// The largest tap count along an axis of n source pixels for positions start + i · step.
std::size_t MaxTaps(double step, std::uint64_t count) {
    if (!(step > 1)) return 2;
    // floor(b) − floor(a) + 2 with b − a = step − 1 is at most ceil(step − 1) + 2.
    (void)count;
    return static_cast<std::size_t>(std::ceil(step - 1)) + 2;
}

// Fills offsets (tap index · unit, clamped to the axis) and weights for `count` positions.
template <class W, class Conv>
void BuildTaps(double start, double step, std::uint64_t count, std::int64_t n, std::int64_t unit,
               std::size_t taps, std::vector<std::int64_t>& offsets, std::vector<W>& weights, Conv conv) {
    offsets.resize(count * taps);
    weights.resize(count * taps);
    TKrLinearSample& s = t_work.sample;
    for (std::uint64_t i = 0; i < count; ++i) {
        InitLinearSample(start + static_cast<double>(i) * step, step, n, s);
        for (std::size_t k = 0; k < taps; ++k) {
            const std::int64_t index = std::min(s.first + static_cast<std::int64_t>(k), n - 1);
            offsets[i * taps + k] = std::max<std::int64_t>(index, 0) * unit;
            weights[i * taps + k] = k < s.weights.size() ? conv(s.weights[k]) : W(0);
        }
    }
}

// --- 8-bit fixed point ------------------------------------------------------------------------

constexpr double kHorizontalScale = 32767.0 * 65536.0 / 255.0; // byte · weight → 15 bits << 16
constexpr double kVerticalScale = 255.0 * 8388608.0 / 32767.0; // 15 bits · weight → 8 bits << 23

template <int CN>
void HorizontalU8(const unsigned char* src, std::uint16_t* dst, std::size_t width, std::size_t cn,
                  const std::int64_t* offsets, const std::int32_t* weights, std::size_t taps) {
    const std::size_t channels = CN > 0 ? std::size_t(CN) : cn;
    for (std::size_t i = 0; i < width; ++i) {
        const std::int64_t* off = offsets + i * taps;
        const std::int32_t* w = weights + i * taps;
        std::uint16_t* d = dst + i * channels;
        if (CN > 0 && taps == 2) {
            const unsigned char* p0 = src + off[0];
            const unsigned char* p1 = src + off[1];
            const std::uint32_t w0 = static_cast<std::uint32_t>(w[0]), w1 = static_cast<std::uint32_t>(w[1]);
            for (int c = 0; c < CN; ++c) {
                const std::uint32_t acc = (p0[c] * w0 + p1[c] * w1 + 32768u) >> 16;
                d[c] = static_cast<std::uint16_t>(std::min<std::uint32_t>(acc, 32767u));
            }
            continue;
        }
        for (std::size_t c = 0; c < channels; ++c) {
            std::uint32_t acc = 32768u;
            for (std::size_t k = 0; k < taps; ++k)
                acc += src[off[k] + static_cast<std::int64_t>(c)] * static_cast<std::uint32_t>(w[k]);
            d[c] = static_cast<std::uint16_t>(std::min<std::uint32_t>(acc >> 16, 32767u));
        }
    }
}

void VerticalU8(const std::uint16_t* const* rows, const std::int32_t* weights, std::size_t taps,
                std::size_t n, std::uint32_t* acc, unsigned char* dst) {
    if (taps == 2) {
        const std::uint16_t* r0 = rows[0];
        const std::uint16_t* r1 = rows[1];
        const std::uint32_t w0 = static_cast<std::uint32_t>(weights[0]),
                            w1 = static_cast<std::uint32_t>(weights[1]);
        for (std::size_t e = 0; e < n; ++e) {
            const std::uint32_t v = (r0[e] * w0 + r1[e] * w1 + 4194304u) >> 23;
            dst[e] = static_cast<unsigned char>(v < 255u ? v : 255u);
        }
        return;
    }
    for (std::size_t e = 0; e < n; ++e)
        acc[e] = 4194304u;
    for (std::size_t k = 0; k < taps; ++k) {
        const std::uint16_t* r = rows[k];
        const std::uint32_t w = static_cast<std::uint32_t>(weights[k]);
        for (std::size_t e = 0; e < n; ++e)
            acc[e] += r[e] * w;
    }
    for (std::size_t e = 0; e < n; ++e) {
        const std::uint32_t v = acc[e] >> 23;
        dst[e] = static_cast<unsigned char>(v < 255u ? v : 255u);
    }
}

// --- Double precision -----------------------------------------------------------------------------

template <class T> constexpr double SampleMax() {
    if constexpr (std::is_integral<T>::value)
        return static_cast<double>(std::numeric_limits<T>::max());
    else
        return 1.0;
}

template <class T> struct TSample {
    static constexpr bool kUInt = std::is_integral<T>::value;
    static constexpr double kMax = SampleMax<T>();
    static double Get(const unsigned char* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return kUInt ? static_cast<double>(v) / kMax : static_cast<double>(v);
    }
    static void Set(unsigned char* p, double v) {
        T t;
        if constexpr (kUInt) {
            const double c = v > 0 ? (v < 1 ? v : 1.0) : 0.0;
            t = static_cast<T>(std::floor(c * kMax + 0.5));
        } else {
            t = static_cast<T>(v);
        }
        std::memcpy(p, &t, sizeof t);
    }
};

template <class T>
void InterpolateDouble(const TKrDibDataOutBuffer& source, TKrDibSize sourceSize,
                       const TKrDibDataOutBuffer& destination, TKrDibSize destinationSize, const vec2d& start,
                       const vec2d& step, std::size_t cn) {
    TWorkspace& w = t_work;
    const std::size_t bpp = cn * sizeof(T);
    const std::size_t kx = MaxTaps(step.x, destinationSize.x), ky = MaxTaps(step.y, destinationSize.y);
    const auto sw = static_cast<std::int64_t>(sourceSize.x), sh = static_cast<std::int64_t>(sourceSize.y);
    auto same = [](double v) { return v; };
    BuildTaps(start.x, step.x, destinationSize.x, sw, static_cast<std::int64_t>(bpp), kx, w.xOffsets,
              w.xWeightsD, same);
    BuildTaps(start.y, step.y, destinationSize.y, sh, 1, ky, w.yRows, w.yWeightsD, same);
    const std::int64_t r0 = *std::min_element(w.yRows.begin(), w.yRows.end());
    const std::int64_t r1 = *std::max_element(w.yRows.begin(), w.yRows.end());
    const std::size_t rowElems = destinationSize.x * cn;
    w.interD.resize(static_cast<std::size_t>(r1 - r0 + 1) * rowElems);
    for (std::int64_t r = r0; r <= r1; ++r) {
        const auto* src = reinterpret_cast<const unsigned char*>(source.Row(r));
        double* d = w.interD.data() + static_cast<std::size_t>(r - r0) * rowElems;
        for (std::size_t i = 0; i < destinationSize.x; ++i) {
            const std::int64_t* off = w.xOffsets.data() + i * kx;
            const double* wt = w.xWeightsD.data() + i * kx;
            for (std::size_t c = 0; c < cn; ++c) {
                double acc = 0;
                for (std::size_t k = 0; k < kx; ++k)
                    acc += TSample<T>::Get(src + off[k] + c * sizeof(T)) * wt[k];
                d[i * cn + c] = acc;
            }
        }
    }
    w.accD.resize(rowElems);
    for (std::size_t j = 0; j < destinationSize.y; ++j) {
        std::fill(w.accD.begin(), w.accD.end(), 0.0);
        for (std::size_t k = 0; k < ky; ++k) {
            const double wt = w.yWeightsD[j * ky + k];
            const double* row =
                w.interD.data() + static_cast<std::size_t>(w.yRows[j * ky + k] - r0) * rowElems;
            for (std::size_t e = 0; e < rowElems; ++e)
                w.accD[e] += row[e] * wt;
        }
        auto* dst = reinterpret_cast<unsigned char*>(destination.Row(static_cast<std::int64_t>(j)));
        for (std::size_t e = 0; e < rowElems; ++e)
            TSample<T>::Set(dst + e * sizeof(T), w.accD[e]);
    }
}

bool FillBad(const TKrDibChannels& channels, const TKrDibSize& sourceSize,
             const TKrDibDataOutBuffer& destination, const TKrDibSize& destinationSize) {
    if (destinationSize.x == 0 || destinationSize.y == 0) return true;
    if (sourceSize.x == 0 || sourceSize.y == 0) {
        FillDibColor(destination, destinationSize, GetBadColor(channels));
        return true;
    }
    return false;
}

} // namespace

// --- Weights ----------------------------------------------------------------------------------------

void InitLinearSample(double x, double step, std::int64_t n, TKrLinearSample& out) {
    if (!std::isfinite(x)) x = 0;
    const double last = static_cast<double>(std::max<std::int64_t>(n, 1) - 1);
    if (!(step > 1)) {
        out.weights.resize(2);
        if (x <= 0) {
            out.first = 0;
            out.weights[0] = 1;
            out.weights[1] = 0;
        } else if (x >= last) {
            out.first = static_cast<std::int64_t>(last);
            out.weights[0] = 1;
            out.weights[1] = 0;
        } else {
            const double f = std::floor(x);
            out.first = static_cast<std::int64_t>(f);
            out.weights[0] = 1 - (x - f);
            out.weights[1] = x - f;
        }
        return;
    }
    double a = x - step / 2 + 0.5;
    double b = a + step - 1;
    if (a < 0) {
        a = 0;
        if (b < 0) b = 0;
    }
    if (b > last) {
        b = last;
        if (a > last) a = last;
    }
    const double fa = std::floor(a), fb = std::floor(b);
    const double norm = 1 / (b - a + 1);
    const auto count = static_cast<std::size_t>(fb - fa) + 2;
    out.first = static_cast<std::int64_t>(fa);
    out.weights.assign(count, norm);
    out.weights.front() = (1 - (a - fa)) * norm;
    out.weights.back() = (b - fb) * norm;
}

// --- Filters ----------------------------------------------------------------------------------------

TKrDibFilter2D::TKrDibFilter2D(const TKrDibChannels& channels)
    : m_channels(channels), m_bytesPP(channels.GetBytesPP()) {
    KrRasterInternal::CheckChannels(channels, "TKrDibFilter2D::TKrDibFilter2D");
}

TKrDibFilter2D::~TKrDibFilter2D() = default;

TKrNearestDibFilter2D::TKrNearestDibFilter2D(const TKrDibChannels& channels) : TKrDibFilter2D(channels) {}
TKrNearestDibFilter2D::~TKrNearestDibFilter2D() = default;

void TKrNearestDibFilter2D::SetPixelSize(const vec2d&) {}

TKrDibSize TKrNearestDibFilter2D::MarginStart() const {
    return {0, 0};
}

TKrDibSize TKrNearestDibFilter2D::MarginEnd() const {
    return {0, 0};
}

void TKrNearestDibFilter2D::InterpolateRect(const TKrDibDataOutBuffer& source, TKrDibSize sourceSize,
                                            const TKrDibDataOutBuffer& destination,
                                            TKrDibSize destinationSize, const vec2d& start,
                                            const vec2d& step) const {
    if (FillBad(m_channels, sourceSize, destination, destinationSize)) return;
    auto nearest = [](double x, std::uint64_t n) -> std::int64_t {
        const double last = static_cast<double>(n - 1);
        if (!(x > 0)) return 0; // NaN too
        if (x >= last) return static_cast<std::int64_t>(last);
        return static_cast<std::int64_t>(std::floor(x + 0.5));
    };
    TWorkspace& w = t_work;
    w.xOffsets.resize(destinationSize.x);
    const auto bpp = static_cast<std::int64_t>(m_bytesPP);
    for (std::uint64_t i = 0; i < destinationSize.x; ++i)
        w.xOffsets[i] = nearest(start.x + static_cast<double>(i) * step.x, sourceSize.x) * bpp;
    const KrRasterInternal::TGatherPixels gather = KrRasterInternal::GatherPixelsFor(m_bytesPP);
    for (std::uint64_t j = 0; j < destinationSize.y; ++j) {
        const std::int64_t row = nearest(start.y + static_cast<double>(j) * step.y, sourceSize.y);
        gather(destination.Row(static_cast<std::int64_t>(j)), source.Row(row), w.xOffsets.data(),
               destinationSize.x, m_bytesPP);
    }
}

TKrLinearDibFilter2DBase::TKrLinearDibFilter2DBase(const TKrDibChannels& channels)
    : TKrDibFilter2D(channels) {}
TKrLinearDibFilter2DBase::~TKrLinearDibFilter2DBase() = default;

void TKrLinearDibFilter2DBase::SetPixelSize(const vec2d& step) {
    auto margin = [](double s) -> std::uint64_t {
        if (!(s > 1)) return 1;
        const double m = std::round(s * 0.5 + 0.5);
        return m < 1e9 ? static_cast<std::uint64_t>(m) : std::uint64_t(1e9);
    };
    m_margin = {margin(step.x), margin(step.y)};
}

TKrDibSize TKrLinearDibFilter2DBase::MarginStart() const {
    return m_margin;
}

TKrDibSize TKrLinearDibFilter2DBase::MarginEnd() const {
    return {m_margin.x + 1, m_margin.y + 1};
}

TKrBilinearDibFilter2D::TKrBilinearDibFilter2D(const TKrDibChannels& channels)
    : TKrLinearDibFilter2DBase(channels) {}
TKrBilinearDibFilter2D::~TKrBilinearDibFilter2D() = default;

void TKrBilinearDibFilter2D::InterpolateRect(const TKrDibDataOutBuffer& source, TKrDibSize sourceSize,
                                             const TKrDibDataOutBuffer& destination,
                                             TKrDibSize destinationSize, const vec2d& start,
                                             const vec2d& step) const {
    if (FillBad(m_channels, sourceSize, destination, destinationSize)) return;
    const std::size_t cn = m_channels.Kinds.size();
    using CT = TE_KrDibChannelType;
    if (m_channels.Type == CT::ctUInt && m_channels.BytesPS == 1)
        InterpolateDouble<std::uint8_t>(source, sourceSize, destination, destinationSize, start, step, cn);
    else if (m_channels.Type == CT::ctUInt && m_channels.BytesPS == 2)
        InterpolateDouble<std::uint16_t>(source, sourceSize, destination, destinationSize, start, step, cn);
    else if (m_channels.Type == CT::ctUInt && m_channels.BytesPS == 4)
        InterpolateDouble<std::uint32_t>(source, sourceSize, destination, destinationSize, start, step, cn);
    else if (m_channels.Type == CT::ctFloat && m_channels.BytesPS == 4)
        InterpolateDouble<float>(source, sourceSize, destination, destinationSize, start, step, cn);
    else
        InterpolateDouble<double>(source, sourceSize, destination, destinationSize, start, step, cn);
}

TKrBilinearDibFilter2DUInt8::TKrBilinearDibFilter2DUInt8(const TKrDibChannels& channels)
    : TKrLinearDibFilter2DBase(channels) {
    if (channels.Type != TE_KrDibChannelType::ctUInt || channels.BytesPS != 1)
        throw TKrMessage("@TKrBilinearDibFilter2DUInt8: the channels are not unsigned 1-byte samples.");
}
TKrBilinearDibFilter2DUInt8::~TKrBilinearDibFilter2DUInt8() = default;

void TKrBilinearDibFilter2DUInt8::InterpolateRect(const TKrDibDataOutBuffer& source, TKrDibSize sourceSize,
                                                  const TKrDibDataOutBuffer& destination,
                                                  TKrDibSize destinationSize, const vec2d& start,
                                                  const vec2d& step) const {
    if (FillBad(m_channels, sourceSize, destination, destinationSize)) return;
    TWorkspace& w = t_work;
    const std::size_t cn = m_bytesPP;
    const std::size_t kx = MaxTaps(step.x, destinationSize.x), ky = MaxTaps(step.y, destinationSize.y);
    const auto sw = static_cast<std::int64_t>(sourceSize.x), sh = static_cast<std::int64_t>(sourceSize.y);
    BuildTaps(start.x, step.x, destinationSize.x, sw, static_cast<std::int64_t>(cn), kx, w.xOffsets,
              w.xWeightsI,
              [](double v) { return static_cast<std::int32_t>(std::floor(v * kHorizontalScale + 0.5)); });
    BuildTaps(start.y, step.y, destinationSize.y, sh, 1, ky, w.yRows, w.yWeightsI,
              [](double v) { return static_cast<std::int32_t>(std::floor(v * kVerticalScale + 0.5)); });
    const std::int64_t r0 = *std::min_element(w.yRows.begin(), w.yRows.end());
    const std::int64_t r1 = *std::max_element(w.yRows.begin(), w.yRows.end());
    const std::size_t rowElems = destinationSize.x * cn;
    w.inter16.resize(static_cast<std::size_t>(r1 - r0 + 1) * rowElems);
    for (std::int64_t r = r0; r <= r1; ++r) {
        const auto* src = reinterpret_cast<const unsigned char*>(source.Row(r));
        std::uint16_t* d = w.inter16.data() + static_cast<std::size_t>(r - r0) * rowElems;
        switch (cn) {
        case 1:
            HorizontalU8<1>(src, d, destinationSize.x, cn, w.xOffsets.data(), w.xWeightsI.data(), kx);
            break;
        case 3:
            HorizontalU8<3>(src, d, destinationSize.x, cn, w.xOffsets.data(), w.xWeightsI.data(), kx);
            break;
        case 4:
            HorizontalU8<4>(src, d, destinationSize.x, cn, w.xOffsets.data(), w.xWeightsI.data(), kx);
            break;
        default:
            HorizontalU8<0>(src, d, destinationSize.x, cn, w.xOffsets.data(), w.xWeightsI.data(), kx);
            break;
        }
    }
    w.acc32.resize(rowElems);
    const std::uint16_t* rows[64];
    std::vector<const std::uint16_t*> manyRows;
    const std::uint16_t** rowPtr = rows;
    if (ky > 64) {
        manyRows.resize(ky);
        rowPtr = manyRows.data();
    }
    for (std::size_t j = 0; j < destinationSize.y; ++j) {
        for (std::size_t k = 0; k < ky; ++k)
            rowPtr[k] = w.inter16.data() + static_cast<std::size_t>(w.yRows[j * ky + k] - r0) * rowElems;
        VerticalU8(rowPtr, w.yWeightsI.data() + j * ky, ky, rowElems, w.acc32.data(),
                   reinterpret_cast<unsigned char*>(destination.Row(static_cast<std::int64_t>(j))));
    }
}
