// Resampling filters: nearest neighbour, linear/area weights, the 8-bit fixed-point and the
// double-precision linear filters.
#include "Raster/KrDibFilter2D.h"
#include "Core/KrMessage.h"
#include "Raster/KrDibHalving.h"
#include "Raster/KrRasterInternal.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif
#include <limits>
#include <type_traits>

namespace {

// Per-thread work space of InterpolateRect: the filters are shared by the worker threads of a
// rescaling read, so tap tables and intermediate rows cannot live in the filter. The vectors
// only grow, so a read allocates once per thread.
// Twelve elements of a two-tap horizontal pass whose source bytes lie within 32 bytes from
// `base`: one or two loads and byte shuffles give both taps of all twelve.
struct TShuffleGroup {
    std::int32_t base = 0;
    bool ok = false;   // the bytes fit (else the group goes the scalar way)
    bool wide = false; // they need the second 16 bytes
    alignas(16) unsigned char first[2][16];
    alignas(16) unsigned char second[2][16];
};

struct TWorkspace {
    std::vector<std::int64_t> xFirst, yFirst; // first tap of each column / row
    std::vector<std::int64_t> xOffsets;       // byte offsets (nearest filter)
    std::vector<double> xWeightsD, yWeightsD; // K per column / row
    std::vector<std::int32_t> eOff;           // 8-bit: byte offset of each element's first tap
    std::vector<std::uint32_t> eWeights, yWeightsI;
    std::vector<std::uint16_t> inter16;
    std::vector<std::uint32_t> acc32;
    std::vector<double> interD, accD;
    std::vector<const std::uint16_t*> rows;
    std::vector<TShuffleGroup> groups;
    TKrLinearSample sample;
};
thread_local TWorkspace t_work;

// The taps of `count` positions start + i · step on an axis of n source pixels. Returns K, the
// most taps a position has up to its last non-zero weight (at most n); position i uses the K
// consecutive pixels from first[i] = min(its first tap, n − K), its weights placed accordingly
// in weights[i · K ...] and zero elsewhere. Non-zero weights always fall on pixels 0 .. n − 1.
std::size_t BuildTaps(double start, double step, std::uint64_t count, std::int64_t n,
                      std::vector<std::int64_t>& first, std::vector<double>& weights) {
    TKrLinearSample& s = t_work.sample;
    std::size_t taps = 1;
    for (std::uint64_t i = 0; i < count; ++i) {
        InitLinearSample(start + static_cast<double>(i) * step, step, n, s);
        std::size_t used = s.weights.size();
        while (used > 1 && s.weights[used - 1] == 0)
            --used;
        taps = std::max(taps, used);
    }
    taps = std::min<std::size_t>(taps, static_cast<std::size_t>(n));
    first.resize(count);
    weights.assign(count * taps, 0.0);
    for (std::uint64_t i = 0; i < count; ++i) {
        InitLinearSample(start + static_cast<double>(i) * step, step, n, s);
        const std::int64_t f = std::clamp<std::int64_t>(s.first, 0, n - static_cast<std::int64_t>(taps));
        first[i] = f;
        for (std::size_t k = 0; k < s.weights.size(); ++k) {
            const std::int64_t slot = s.first + static_cast<std::int64_t>(k) - f;
            if (s.weights[k] != 0 && slot >= 0 && slot < static_cast<std::int64_t>(taps))
                weights[i * taps + static_cast<std::size_t>(slot)] = s.weights[k];
        }
    }
    return taps;
}

// --- 8-bit fixed point ------------------------------------------------------------------------
//
// The horizontal pass works element by element (an element is one channel of one output pixel):
// element e reads taps S[off[e] + k · cn] for k < K with weights w[k · n + e]. Every pixel's
// taps are consecutive source pixels, so K taps starting at a clamped first tap cover all of
// them (weights outside a pixel's own taps are 0). With weights summing to at most F + K / 2,
// the 15-bit clamp and the 8-bit clamp only bite from 256 taps on; they are kept regardless.

constexpr double kHorizontalScale = KrRasterInternal::kLinearU8HorizontalScale;
constexpr double kVerticalScale = KrRasterInternal::kLinearU8VerticalScale;

struct THorizontalU8 {
    const unsigned char* src;
    std::uint16_t* dst;
    std::size_t n; // elements
    std::size_t taps;
    std::int32_t cn; // bytes between taps
    const std::int32_t* off;
    const std::uint32_t* w; // tap-major
};

inline __attribute__((always_inline)) void HorizontalU8Scalar(const THorizontalU8& h, std::size_t from) {
    for (std::size_t e = from; e < h.n; ++e) {
        std::uint32_t acc = 32768u;
        const unsigned char* p = h.src + h.off[e];
        for (std::size_t k = 0; k < h.taps; ++k)
            acc += p[k * static_cast<std::size_t>(h.cn)] * h.w[k * h.n + e];
        h.dst[e] = static_cast<std::uint16_t>(std::min<std::uint32_t>(acc >> 16, 32767u));
    }
}

#if defined(__x86_64__)
// Eight elements at a time with dword gathers; `safe` elements may read 3 bytes past their last
// tap (the caller keeps those inside the row), the rest go the scalar way.
__attribute__((target("avx2"))) void HorizontalU8AVX2(const THorizontalU8& h, std::size_t safe) {
    const __m256i mask = _mm256_set1_epi32(0xFF), round = _mm256_set1_epi32(32768),
                  cap = _mm256_set1_epi32(32767);
    const int* base = reinterpret_cast<const int*>(h.src);
    std::size_t e = 0;
    for (; e + 8 <= safe; e += 8) {
        __m256i o = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h.off + e));
        const __m256i step = _mm256_set1_epi32(h.cn);
        __m256i acc = round;
        for (std::size_t k = 0; k < h.taps; ++k, o = _mm256_add_epi32(o, step)) {
            const __m256i v = _mm256_and_si256(_mm256_i32gather_epi32(base, o, 1), mask);
            const __m256i w = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(h.w + k * h.n + e));
            acc = _mm256_add_epi32(acc, _mm256_mullo_epi32(v, w));
        }
        acc = _mm256_min_epu32(_mm256_srli_epi32(acc, 16), cap);
        const __m128i packed =
            _mm_packus_epi32(_mm256_castsi256_si128(acc), _mm256_extracti128_si256(acc, 1));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(h.dst + e), packed);
    }
    HorizontalU8Scalar(h, e);
}

// Two taps, groups of twelve elements by byte shuffles; groups that do not fit go the scalar way.
__attribute__((target("avx2"))) void HorizontalU8Shuffle(const THorizontalU8& h, const TShuffleGroup* groups,
                                                         std::size_t count) {
    const __m256i round8 = _mm256_set1_epi32(32768), cap8 = _mm256_set1_epi32(32767);
    const __m128i round4 = _mm_set1_epi32(32768), cap4 = _mm_set1_epi32(32767);
    const std::uint32_t* w0 = h.w;
    const std::uint32_t* w1 = h.w + h.n;
    for (std::size_t g = 0; g < count; ++g) {
        const std::size_t e = g * 12;
        const TShuffleGroup& grp = groups[g];
        if (!grp.ok) {
            for (std::size_t i = e; i < e + 12; ++i) {
                const unsigned char* p = h.src + h.off[i];
                const std::uint32_t acc = (p[0] * w0[i] + p[h.cn] * w1[i] + 32768u) >> 16;
                h.dst[i] = static_cast<std::uint16_t>(std::min<std::uint32_t>(acc, 32767u));
            }
            continue;
        }
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h.src + grp.base));
        __m128i a = _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(grp.first[0])));
        __m128i b = _mm_shuffle_epi8(v, _mm_load_si128(reinterpret_cast<const __m128i*>(grp.second[0])));
        if (grp.wide) {
            const __m128i v1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(h.src + grp.base + 16));
            a = _mm_or_si128(
                a, _mm_shuffle_epi8(v1, _mm_load_si128(reinterpret_cast<const __m128i*>(grp.first[1]))));
            b = _mm_or_si128(
                b, _mm_shuffle_epi8(v1, _mm_load_si128(reinterpret_cast<const __m128i*>(grp.second[1]))));
        }
        __m256i lo = _mm256_add_epi32(
            _mm256_mullo_epi32(_mm256_cvtepu8_epi32(a),
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w0 + e))),
            _mm256_mullo_epi32(_mm256_cvtepu8_epi32(b),
                               _mm256_loadu_si256(reinterpret_cast<const __m256i*>(w1 + e))));
        lo = _mm256_min_epu32(_mm256_srli_epi32(_mm256_add_epi32(lo, round8), 16), cap8);
        __m128i hi =
            _mm_add_epi32(_mm_mullo_epi32(_mm_cvtepu8_epi32(_mm_srli_si128(a, 8)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(w0 + e + 8))),
                          _mm_mullo_epi32(_mm_cvtepu8_epi32(_mm_srli_si128(b, 8)),
                                          _mm_loadu_si128(reinterpret_cast<const __m128i*>(w1 + e + 8))));
        hi = _mm_min_epu32(_mm_srli_epi32(_mm_add_epi32(hi, round4), 16), cap4);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(h.dst + e),
                         _mm_packus_epi32(_mm256_castsi256_si128(lo), _mm256_extracti128_si256(lo, 1)));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(h.dst + e + 8), _mm_packus_epi32(hi, hi));
    }
    HorizontalU8Scalar(h, count * 12);
}
#endif

struct TVerticalU8 {
    const std::uint16_t* const* rows;
    const std::uint32_t* w;
    std::size_t taps, n;
    std::uint32_t* acc;
    unsigned char* dst;
};

inline __attribute__((always_inline)) void VerticalU8Body(const TVerticalU8& v) {
    // Locals and restrict: stores into dst must not make the compiler reload the row pointers
    // and the count, or the loops do not vectorise.
    const std::size_t n = v.n;
    unsigned char* __restrict dst = v.dst;
    if (v.taps == 2) {
        const std::uint16_t* __restrict r0 = v.rows[0];
        const std::uint16_t* __restrict r1 = v.rows[1];
        const std::uint32_t w0 = v.w[0], w1 = v.w[1];
        for (std::size_t e = 0; e < n; ++e) {
            const std::uint32_t s = (r0[e] * w0 + r1[e] * w1 + 4194304u) >> 23;
            dst[e] = static_cast<unsigned char>(s < 255u ? s : 255u);
        }
        return;
    }
    std::uint32_t* __restrict acc = v.acc;
    for (std::size_t e = 0; e < n; ++e)
        acc[e] = 4194304u;
    for (std::size_t k = 0; k < v.taps; ++k) {
        const std::uint16_t* __restrict r = v.rows[k];
        const std::uint32_t w = v.w[k];
        for (std::size_t e = 0; e < n; ++e)
            acc[e] += r[e] * w;
    }
    for (std::size_t e = 0; e < n; ++e) {
        const std::uint32_t s = acc[e] >> 23;
        dst[e] = static_cast<unsigned char>(s < 255u ? s : 255u);
    }
}

void VerticalU8(const TVerticalU8& v) {
    VerticalU8Body(v);
}
#if defined(__x86_64__)
__attribute__((target("avx2"))) void VerticalU8AVX2(const TVerticalU8& v) {
    VerticalU8Body(v);
}
#endif

std::atomic<bool> g_simd{true};

bool HaveAVX2() {
#if defined(__x86_64__)
    static const bool have = __builtin_cpu_supports("avx2");
    return have && g_simd.load(std::memory_order_relaxed);
#else
    return false;
#endif
}

// --- Double precision -----------------------------------------------------------------------------

template <class T> constexpr double SampleMax() {
    if constexpr (std::is_integral<T>::value)
        return static_cast<double>(std::numeric_limits<T>::max());
    else
        return 1.0;
}

// Unsigned samples are read as raw integers, the result clamped to 0 .. max: normalising by
// the maximum and scaling back would only add two roundings.
template <class T> struct TSample {
    static constexpr bool kUInt = std::is_integral<T>::value;
    static constexpr double kMax = SampleMax<T>();
    static double Get(const unsigned char* p) {
        T v;
        std::memcpy(&v, p, sizeof v);
        return static_cast<double>(v);
    }
    static void Set(unsigned char* p, double v) {
        T t;
        if constexpr (kUInt) {
            const double c = v > 0 ? (v < kMax ? v : kMax) : 0.0;
            t = static_cast<T>(std::floor(c + 0.5));
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
    const auto sw = static_cast<std::int64_t>(sourceSize.x), sh = static_cast<std::int64_t>(sourceSize.y);
    const std::size_t kx = BuildTaps(start.x, step.x, destinationSize.x, sw, w.xFirst, w.xWeightsD);
    const std::size_t ky = BuildTaps(start.y, step.y, destinationSize.y, sh, w.yFirst, w.yWeightsD);
    const std::int64_t r0 = w.yFirst.front(), r1 = w.yFirst.back() + static_cast<std::int64_t>(ky) - 1;
    const std::size_t rowElems = destinationSize.x * cn;
    w.interD.resize(static_cast<std::size_t>(r1 - r0 + 1) * rowElems);
    for (std::int64_t r = r0; r <= r1; ++r) {
        const auto* src = reinterpret_cast<const unsigned char*>(source.Row(r));
        double* d = w.interD.data() + static_cast<std::size_t>(r - r0) * rowElems;
        for (std::size_t i = 0; i < destinationSize.x; ++i) {
            const unsigned char* p = src + static_cast<std::size_t>(w.xFirst[i]) * bpp;
            const double* wt = w.xWeightsD.data() + i * kx;
            for (std::size_t c = 0; c < cn; ++c) {
                double acc = 0;
                for (std::size_t k = 0; k < kx; ++k)
                    acc += TSample<T>::Get(p + k * bpp + c * sizeof(T)) * wt[k];
                d[i * cn + c] = acc;
            }
        }
    }
    w.accD.resize(rowElems);
    for (std::size_t j = 0; j < destinationSize.y; ++j) {
        std::fill(w.accD.begin(), w.accD.end(), 0.0);
        for (std::size_t k = 0; k < ky; ++k) {
            const double wt = w.yWeightsD[j * ky + k];
            if (wt == 0) continue;
            const double* row =
                w.interD.data() + static_cast<std::size_t>(w.yFirst[j] + std::int64_t(k) - r0) * rowElems;
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

void KrRasterInternal::SetSimdKernels(bool enabled) noexcept {
    g_simd.store(enabled, std::memory_order_relaxed);
}

bool KrRasterInternal::SimdKernelsUsable() noexcept {
    return HaveAVX2();
}

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
    // 3-byte pixels move as overlapping 4-byte words while the word stays inside the source row
    // and the next output pixel overwrites its fourth byte (offsets never decrease).
    std::size_t wordCopies = 0;
    if (bpp == 3)
        while (wordCopies + 1 < destinationSize.x &&
               w.xOffsets[wordCopies] + 4 <= static_cast<std::int64_t>(sourceSize.x) * 3)
            ++wordCopies;
    const KrRasterInternal::TGatherPixels gather = KrRasterInternal::GatherPixelsFor(m_bytesPP);
    std::int64_t previous = -1;
    for (std::uint64_t j = 0; j < destinationSize.y; ++j) {
        const std::int64_t row = nearest(start.y + static_cast<double>(j) * step.y, sourceSize.y);
        char* dst = destination.Row(static_cast<std::int64_t>(j));
        if (row == previous) { // enlarging: the same source row again
            std::memcpy(dst, destination.Row(static_cast<std::int64_t>(j) - 1),
                        destinationSize.x * m_bytesPP);
            continue;
        }
        previous = row;
        const char* src = source.Row(row);
        for (std::size_t i = 0; i < wordCopies; ++i)
            std::memcpy(dst + i * 3, src + w.xOffsets[i], 4);
        gather(dst + wordCopies * m_bytesPP, src, w.xOffsets.data() + wordCopies,
               destinationSize.x - wordCopies, m_bytesPP);
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
    std::int64_t x0, y0;
    if (m_channels.Type == CT::ctUInt && m_channels.BytesPS == 2 &&
        KrRasterInternal::FindHalving(sourceSize, destinationSize, start, step, x0, y0)) {
        KrRasterInternal::HalveU16(source, x0, y0, destination, destinationSize, cn);
        return;
    }
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
    const std::size_t cn = m_bytesPP;
    std::int64_t x0, y0;
    if (KrRasterInternal::FindHalving(sourceSize, destinationSize, start, step, x0, y0)) {
        KrRasterInternal::HalveU8(source, x0, y0, destination, destinationSize, cn);
        return;
    }
    TWorkspace& w = t_work;
    const auto sw = static_cast<std::int64_t>(sourceSize.x), sh = static_cast<std::int64_t>(sourceSize.y);
    const std::size_t kx = BuildTaps(start.x, step.x, destinationSize.x, sw, w.xFirst, w.xWeightsD);
    const std::size_t ky = BuildTaps(start.y, step.y, destinationSize.y, sh, w.yFirst, w.yWeightsD);
    auto fixed = [](double v, double scale) {
        return static_cast<std::uint32_t>(std::floor(v * scale + 0.5));
    };

    // Element tables of the horizontal pass.
    const std::size_t n = destinationSize.x * cn;
    w.eOff.resize(n);
    w.eWeights.resize(n * kx);
    for (std::size_t i = 0; i < destinationSize.x; ++i)
        for (std::size_t c = 0; c < cn; ++c) {
            const std::size_t e = i * cn + c;
            w.eOff[e] = static_cast<std::int32_t>(static_cast<std::size_t>(w.xFirst[i]) * cn + c);
            for (std::size_t k = 0; k < kx; ++k)
                w.eWeights[k * n + e] = fixed(w.xWeightsD[i * kx + k], kHorizontalScale);
        }
    w.yWeightsI.resize(w.yWeightsD.size());
    for (std::size_t k = 0; k < w.yWeightsD.size(); ++k)
        w.yWeightsI[k] = fixed(w.yWeightsD[k], kVerticalScale);

    // Elements whose 4-byte gathers stay inside a source row.
    const std::size_t rowBytes = sourceSize.x * cn;
    std::size_t safe = n;
    while (safe > 0 && static_cast<std::size_t>(w.eOff[safe - 1]) + (kx - 1) * cn + 4 > rowBytes)
        --safe;
    const bool avx2 = HaveAVX2();
    // Two-tap rows of 1 to 4 channels (enlarging, or halving on the pixel lattice): shuffle
    // groups where their bytes fit.
    std::size_t groups = 0;
    if (avx2 && kx == 2 && cn <= 4 && 12 % cn == 0) {
        groups = n / 12;
        w.groups.resize(groups);
        for (std::size_t g = 0; g < groups; ++g) {
            TShuffleGroup& grp = w.groups[g];
            grp.base = w.eOff[g * 12];
            const std::int64_t span = w.eOff[g * 12 + 11] - grp.base + static_cast<std::int64_t>(cn) + 1;
            grp.wide = span > 16;
            grp.ok = span <= 32 && static_cast<std::size_t>(grp.base) + (grp.wide ? 32 : 16) <= rowBytes;
            auto lane = [](std::int64_t d, int half) -> unsigned char {
                return d < 0 || d / 16 != half ? 0x80 : static_cast<unsigned char>(d % 16);
            };
            for (std::size_t j = 0; j < 16; ++j) {
                const std::int64_t d = j < 12 ? w.eOff[g * 12 + j] - grp.base : -1;
                const std::int64_t d2 = d < 0 ? -1 : d + static_cast<std::int64_t>(cn);
                for (int half = 0; half < 2; ++half) {
                    grp.first[half][j] = lane(d, half);
                    grp.second[half][j] = lane(d2, half);
                }
            }
        }
    }

    const std::int64_t r0 = w.yFirst.front(), r1 = w.yFirst.back() + static_cast<std::int64_t>(ky) - 1;
    w.inter16.resize(static_cast<std::size_t>(r1 - r0 + 1) * n);
    for (std::int64_t r = r0; r <= r1; ++r) {
        const THorizontalU8 h{reinterpret_cast<const unsigned char*>(source.Row(r)),
                              w.inter16.data() + static_cast<std::size_t>(r - r0) * n,
                              n,
                              kx,
                              static_cast<std::int32_t>(cn),
                              w.eOff.data(),
                              w.eWeights.data()};
#if defined(__x86_64__)
        if (groups) {
            HorizontalU8Shuffle(h, w.groups.data(), groups);
            continue;
        }
        if (avx2) {
            HorizontalU8AVX2(h, safe);
            continue;
        }
#endif
        HorizontalU8Scalar(h, 0);
    }
    w.acc32.resize(n);
    w.rows.resize(ky);
    for (std::size_t j = 0; j < destinationSize.y; ++j) {
        for (std::size_t k = 0; k < ky; ++k)
            w.rows[k] = w.inter16.data() + static_cast<std::size_t>(w.yFirst[j] + std::int64_t(k) - r0) * n;
        const TVerticalU8 v{w.rows.data(),
                            w.yWeightsI.data() + j * ky,
                            ky,
                            n,
                            w.acc32.data(),
                            reinterpret_cast<unsigned char*>(destination.Row(static_cast<std::int64_t>(j)))};
#if defined(__x86_64__)
        if (avx2) {
            VerticalU8AVX2(v);
            continue;
        }
#endif
        VerticalU8(v);
    }
}
