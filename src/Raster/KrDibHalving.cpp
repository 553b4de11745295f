// Exact halving of 8- and 16-bit images, a scalar and an AVX2 form chosen at run time.
#include "Raster/KrDibHalving.h"
#include "Raster/KrRasterInternal.h"

#include <atomic>
#include <cmath>
#include <cstring>
#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

std::atomic<bool> g_halving{true};

// The 8-bit filter's fixed-point weights of a half: the row pass maps a pair sum s to
// (s · kW + 2^15) >> 16 and the column pass a sum h of two of those to (h · kV + 2^22) >> 23.
constexpr std::uint32_t kW =
    static_cast<std::uint32_t>(0.5 * KrRasterInternal::kLinearU8HorizontalScale + 0.5);
constexpr std::uint32_t kV = static_cast<std::uint32_t>(0.5 * KrRasterInternal::kLinearU8VerticalScale + 0.5);
// The vector form splits kW into 64 · 2^16 + 2 · 8160 (so a 16-bit rounding multiply gives the
// low part) and takes kV's product's high 16 bits before the last shift. Both are exact only
// for these constants; the sums stay below the 15-bit and 8-bit clamps (510 · kW, 65534 · kV).
static_assert(kW == 64u * 65536u + 2u * 8160u, "row weight of a half");
static_assert(kV == 32641u, "column weight of a half");
static_assert((510u * kW + 32768u) >> 16 <= 32767u && (65534u * kV + 4194304u) >> 23 <= 255u, "no clamp");

inline std::uint32_t RowU8(std::uint32_t s) {
    return (s * kW + 32768u) >> 16;
}
inline unsigned char ColumnU8(std::uint32_t h) {
    return static_cast<unsigned char>((h * kV + 4194304u) >> 23);
}

// Elements (one sample of one output pixel) from..n of a row pair.
void HalveRowU8Scalar(const unsigned char* a, const unsigned char* b, unsigned char* d, std::size_t from,
                      std::size_t n, std::size_t cn) {
    for (std::size_t e = from; e < n; ++e) {
        const std::size_t i = 2 * e - e % cn; // first sample of the pair: pixel 2 · (e / cn), channel e % cn
        d[e] = ColumnU8(RowU8(a[i] + a[i + cn]) + RowU8(b[i] + b[i + cn]));
    }
}

#if defined(__x86_64__)
// The 15-bit row values of 2 · `out` samples: two 16-byte lanes `2 · out` bytes apart.
__attribute__((target("avx2"), always_inline)) inline __m256i RowSumsU8(const unsigned char* p,
                                                                        std::size_t out, __m256i shuffle) {
    const __m256i v =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 2 * out)), 1);
    const __m256i s = _mm256_maddubs_epi16(_mm256_shuffle_epi8(v, shuffle), _mm256_set1_epi8(1));
    return _mm256_add_epi16(_mm256_slli_epi16(s, 6), _mm256_mulhrs_epi16(s, _mm256_set1_epi16(8160)));
}

// Per 16-byte lane a byte shuffle puts each output sample's two source bytes side by side, and
// a multiply-add with ones sums them: 8 samples from 16 bytes, or 6 from 12 for 3 channels.
// Two lanes per step; the 15-bit and 8-bit rounding of the filter follows in 16-bit lanes.
__attribute__((target("avx2"))) std::size_t HalveRowU8AVX2(const unsigned char* a, const unsigned char* b,
                                                           unsigned char* d, std::size_t n, std::size_t cn) {
    alignas(16) static const unsigned char kPairs[5][16] = {
        {},
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
        {0, 2, 1, 3, 4, 6, 5, 7, 8, 10, 9, 11, 12, 14, 13, 15},
        {0, 3, 1, 4, 2, 5, 6, 9, 7, 10, 8, 11, 0x80, 0x80, 0x80, 0x80},
        {0, 4, 1, 5, 2, 6, 3, 7, 8, 12, 9, 13, 10, 14, 11, 15}};
    const std::size_t out = cn == 3 ? 6 : 8; // samples per lane
    const std::size_t reach = cn == 3 ? 14 : 16;
    const __m128i pairs = _mm_load_si128(reinterpret_cast<const __m128i*>(kPairs[cn]));
    const __m256i shuffle = _mm256_broadcastsi128_si256(pairs);
    const __m256i colMul = _mm256_set1_epi16(static_cast<short>(kV)), round = _mm256_set1_epi16(64);
    std::size_t e = 0;
    // Loads reach 2 · e + 2 · out + 16 source bytes, stores e + out + 8 output bytes.
    for (; e + reach <= n; e += 2 * out) {
        const __m256i h =
            _mm256_add_epi16(RowSumsU8(a + 2 * e, out, shuffle), RowSumsU8(b + 2 * e, out, shuffle));
        const __m256i v = _mm256_srli_epi16(_mm256_add_epi16(_mm256_mulhi_epu16(h, colMul), round), 7);
        const __m256i packed = _mm256_packus_epi16(v, v);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + e), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + e + out), _mm256_extracti128_si256(packed, 1));
    }
    return e;
}
#endif

// 16-bit rows go through memcpy: a source or stride of odd byte count is allowed.
inline std::uint32_t Load16(const unsigned char* p) {
    std::uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
}

inline void HalveU16Sample(const unsigned char* a, const unsigned char* b, unsigned char* d, std::size_t cn) {
    const std::uint32_t s = Load16(a) + Load16(a + 2 * cn) + Load16(b) + Load16(b + 2 * cn);
    const auto v = static_cast<std::uint16_t>((s + 2) >> 2);
    std::memcpy(d, &v, 2);
}

// Samples from..n of a row pair.
void HalveRowU16Scalar(const unsigned char* a, const unsigned char* b, unsigned char* d, std::size_t from,
                       std::size_t n, std::size_t cn) {
    for (std::size_t e = from; e < n; ++e) {
        const std::size_t i = 2 * e - e % cn; // as for 8 bits, in samples
        HalveU16Sample(a + 2 * i, b + 2 * i, d + 2 * e, cn);
    }
}

#if defined(__x86_64__)
// The pairs of a 16-byte lane (8 samples, or 6 for 3 channels) side by side, then a signed
// multiply-add with ones sums each pair: the samples are biased by −32768 to fit it, and the
// bias (4 · −32768 per output) is added back before rounding.
__attribute__((target("avx2"), always_inline)) inline __m256i
PairSumsU16(const unsigned char* p, std::size_t inStep, __m256i shuffle) {
    const __m256i v =
        _mm256_inserti128_si256(_mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))),
                                _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + inStep)), 1);
    const __m256i biased = _mm256_xor_si256(_mm256_shuffle_epi8(v, shuffle), _mm256_set1_epi16(-32768));
    return _mm256_madd_epi16(biased, _mm256_set1_epi16(1));
}

__attribute__((target("avx2"))) std::size_t HalveRowU16AVX2(const unsigned char* a, const unsigned char* b,
                                                            unsigned char* d, std::size_t n, std::size_t cn) {
    alignas(16) static const unsigned char kPairs[5][16] = {
        {},
        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15},
        {0, 1, 4, 5, 2, 3, 6, 7, 8, 9, 12, 13, 10, 11, 14, 15},
        {0, 1, 6, 7, 2, 3, 8, 9, 4, 5, 10, 11, 0x80, 0x80, 0x80, 0x80},
        {0, 1, 8, 9, 2, 3, 10, 11, 4, 5, 12, 13, 6, 7, 14, 15}};
    const std::size_t out = cn == 3 ? 3 : 4; // samples per lane
    const std::size_t reach = cn == 3 ? 7 : 8;
    const __m256i shuffle =
        _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(kPairs[cn])));
    const __m256i bias = _mm256_set1_epi32(4 * 32768 + 2);
    std::size_t e = 0;
    // Loads reach 4 · e + 4 · out + 16 source bytes, stores 2 · (e + out) + 8 output bytes.
    for (; e + reach <= n; e += 2 * out) {
        const __m256i s = _mm256_add_epi32(PairSumsU16(a + 4 * e, 4 * out, shuffle),
                                           PairSumsU16(b + 4 * e, 4 * out, shuffle));
        const __m256i v = _mm256_srli_epi32(_mm256_add_epi32(s, bias), 2);
        const __m256i packed = _mm256_packus_epi32(v, v);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 2 * e), _mm256_castsi256_si128(packed));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(d + 2 * (e + out)), _mm256_extracti128_si256(packed, 1));
    }
    return e;
}
#endif

using TRowKernel = void (*)(const unsigned char*, const unsigned char*, unsigned char*, std::size_t,
                            std::size_t, std::size_t);
using TSimdRowKernel = std::size_t (*)(const unsigned char*, const unsigned char*, unsigned char*,
                                       std::size_t, std::size_t);

// Every output row from its two source rows: the SIMD kernel (when usable) takes what it can,
// the scalar one the rest.
void HalveRows(const TKrDibDataOutBuffer& source, std::int64_t x0, std::int64_t y0,
               const TKrDibDataOutBuffer& destination, const TKrDibSize& size, std::size_t cn,
               std::size_t bytesPerSample, TSimdRowKernel simd, TRowKernel scalar) {
    const std::size_t n = static_cast<std::size_t>(size.x) * cn;
    const auto skip = static_cast<std::size_t>(x0) * cn * bytesPerSample;
    if (!(simd && KrRasterInternal::SimdKernelsUsable() && cn >= 1 && cn <= 4)) simd = nullptr;
    for (std::uint64_t j = 0; j < size.y; ++j) {
        const std::int64_t r = y0 + 2 * static_cast<std::int64_t>(j);
        const auto* a = reinterpret_cast<const unsigned char*>(source.Row(r)) + skip;
        const auto* b = reinterpret_cast<const unsigned char*>(source.Row(r + 1)) + skip;
        auto* d = reinterpret_cast<unsigned char*>(destination.Row(static_cast<std::int64_t>(j)));
        scalar(a, b, d, simd ? simd(a, b, d, n, cn) : 0, n, cn);
    }
}

// Whether positions start + i · 2 sample whole-pixel boxes inside [0, n): the box of position
// x covers x − 0.5 .. x + 0.5, so x − 0.5 must be a whole number.
bool AxisHalving(double start, double step, std::uint64_t count, std::uint64_t n, std::int64_t& first) {
    if (step != 2.0 || count == 0) return false;
    const double a = start - 0.5;
    if (!(a >= 0) || a != std::floor(a) || a + 2.0 * static_cast<double>(count) > static_cast<double>(n))
        return false;
    first = static_cast<std::int64_t>(a);
    return true;
}

} // namespace

bool KrRasterInternal::FindHalving(const TKrDibSize& sourceSize, const TKrDibSize& destinationSize,
                                   const vec2d& start, const vec2d& step, std::int64_t& x0,
                                   std::int64_t& y0) noexcept {
    return g_halving.load(std::memory_order_relaxed) &&
           AxisHalving(start.x, step.x, destinationSize.x, sourceSize.x, x0) &&
           AxisHalving(start.y, step.y, destinationSize.y, sourceSize.y, y0);
}

void KrRasterInternal::HalveU8(const TKrDibDataOutBuffer& source, std::int64_t x0, std::int64_t y0,
                               const TKrDibDataOutBuffer& destination, const TKrDibSize& size,
                               std::size_t cn) {
#if defined(__x86_64__)
    HalveRows(source, x0, y0, destination, size, cn, 1, &HalveRowU8AVX2, &HalveRowU8Scalar);
#else
    HalveRows(source, x0, y0, destination, size, cn, 1, nullptr, &HalveRowU8Scalar);
#endif
}

void KrRasterInternal::HalveU16(const TKrDibDataOutBuffer& source, std::int64_t x0, std::int64_t y0,
                                const TKrDibDataOutBuffer& destination, const TKrDibSize& size,
                                std::size_t cn) {
#if defined(__x86_64__)
    HalveRows(source, x0, y0, destination, size, cn, 2, &HalveRowU16AVX2, &HalveRowU16Scalar);
#else
    HalveRows(source, x0, y0, destination, size, cn, 2, nullptr, &HalveRowU16Scalar);
#endif
}

void KrRasterInternal::SetHalvingKernels(bool enabled) noexcept {
    g_halving.store(enabled, std::memory_order_relaxed);
}

bool KrRasterInternal::HalvingKernelsEnabled() noexcept {
    return g_halving.load(std::memory_order_relaxed);
}
