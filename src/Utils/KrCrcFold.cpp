// Carry-less-multiply folding of reflected CRCs, chosen at run time by the processor's features.
#include "Utils/KrCrcKernels.h"

#include "Core/KrExceptions.h"

#include <immintrin.h>

namespace KrCrcDetail {
namespace {

#define KR_TARGET_CLMUL __attribute__((target("pclmul,sse4.1")))
#define KR_TARGET_CLMUL512 __attribute__((target("avx512f,vpclmulqdq,pclmul,sse4.1")))

KR_TARGET_CLMUL inline __m128i Load128(const void* p) {
    return _mm_loadu_si128(static_cast<const __m128i*>(p));
}

/// x moved by the distance of `k`, plus `data`.
KR_TARGET_CLMUL inline __m128i Fold128(__m128i x, __m128i k, __m128i data) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11)),
                         data);
}

KR_TARGET_CLMUL512 inline __m512i Fold512(__m512i z, __m512i k, __m512i data) {
    // 0x96: a ^ b ^ c in one instruction.
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(z, k, 0x00),
                                     _mm512_clmulepi64_epi128(z, k, 0x11), data, 0x96);
}

KR_TARGET_CLMUL512 inline __m512i Load512(const void* p) {
    return _mm512_loadu_si512(p);
}

/// A multiplier pair in all four lanes. (The masked forms of broadcast and extract below spare
/// g++ 12 its false "may be used uninitialized" about the unmasked forms.)
KR_TARGET_CLMUL512 inline __m512i Wide512(const std::uint64_t* pair) {
    return _mm512_maskz_broadcast_i32x4(0xFFFF, _mm_loadu_si128(reinterpret_cast<const __m128i*>(pair)));
}

/// Folds the 16-byte chunks left after the wide loops and hands out the remainder.
KR_TARGET_CLMUL std::size_t FinishFold(const TKrFoldConstants& k, __m128i x, const unsigned char* start,
                                       const unsigned char* p, std::size_t n, unsigned char rest[16]) {
    const __m128i k128 = Load128(k.k128);
    for (; n >= 16; p += 16, n -= 16)
        x = Fold128(x, k128, Load128(p));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(rest), x);
    return static_cast<std::size_t>(p - start);
}

} // namespace

KR_TARGET_CLMUL std::size_t FoldClmul(const TKrFoldConstants& k, std::uint64_t init, const unsigned char* p,
                                      std::size_t n, unsigned char rest[16]) {
    KR_CHECK(n >= kClmulMin);
    const unsigned char* const start = p;
    // Four independent lanes of consecutive chunks hide the multiplier's latency.
    __m128i x0 = _mm_xor_si128(Load128(p), _mm_cvtsi64_si128(static_cast<long long>(init)));
    __m128i x1 = Load128(p + 16), x2 = Load128(p + 32), x3 = Load128(p + 48);
    p += 64;
    n -= 64;
    const __m128i k512 = Load128(k.k512);
    for (; n >= 64; p += 64, n -= 64) {
        x0 = Fold128(x0, k512, Load128(p));
        x1 = Fold128(x1, k512, Load128(p + 16));
        x2 = Fold128(x2, k512, Load128(p + 32));
        x3 = Fold128(x3, k512, Load128(p + 48));
    }
    __m128i x = Fold128(x0, Load128(k.k384), x3);
    x = Fold128(x1, Load128(k.k256), x);
    x = Fold128(x2, Load128(k.k128), x);
    return FinishFold(k, x, start, p, n, rest);
}

KR_TARGET_CLMUL512 std::size_t FoldClmul512(const TKrFoldConstants& k, std::uint64_t init,
                                            const unsigned char* p, std::size_t n, unsigned char rest[16]) {
    KR_CHECK(n >= 256);
    const unsigned char* const start = p;
    const __m512i first =
        _mm512_inserti32x4(_mm512_setzero_si512(), _mm_cvtsi64_si128(static_cast<long long>(init)), 0);
    __m512i z0 = _mm512_xor_si512(Load512(p), first);
    __m512i z1 = Load512(p + 64), z2 = Load512(p + 128), z3 = Load512(p + 192);
    p += 256;
    n -= 256;
    const __m512i k2048 = Wide512(k.k2048);
    for (; n >= 256; p += 256, n -= 256) {
        z0 = Fold512(z0, k2048, Load512(p));
        z1 = Fold512(z1, k2048, Load512(p + 64));
        z2 = Fold512(z2, k2048, Load512(p + 128));
        z3 = Fold512(z3, k2048, Load512(p + 192));
    }
    __m512i z = Fold512(z0, Wide512(k.k1536), z3);
    z = Fold512(z1, Wide512(k.k1024), z);
    z = Fold512(z2, Wide512(k.k512), z);
    const __m512i k512 = Wide512(k.k512);
    for (; n >= 64; p += 64, n -= 64)
        z = Fold512(z, k512, Load512(p));
    // The four 128-bit lanes of z are consecutive chunks: fold the first three into the last.
    __m128i x = _mm512_maskz_extracti32x4_epi32(0xF, z, 3);
    x = Fold128(_mm512_maskz_extracti32x4_epi32(0xF, z, 0), Load128(k.k384), x);
    x = Fold128(_mm512_maskz_extracti32x4_epi32(0xF, z, 1), Load128(k.k256), x);
    x = Fold128(_mm512_maskz_extracti32x4_epi32(0xF, z, 2), Load128(k.k128), x);
    return FinishFold(k, x, start, p, n, rest);
}

bool PathSupported(KrCrcInternal::TKrCrcPath path) {
    __builtin_cpu_init();
    const bool clmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    switch (path) {
    case KrCrcInternal::Crc_Table:
        return true;
    case KrCrcInternal::Crc_Clmul:
        return clmul;
    case KrCrcInternal::Crc_Clmul512:
        return clmul && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
    }
    return false;
}

KrCrcInternal::TKrCrcPath BestPath() {
    static const KrCrcInternal::TKrCrcPath best =
        PathSupported(KrCrcInternal::Crc_Clmul512) ? KrCrcInternal::Crc_Clmul512
        : PathSupported(KrCrcInternal::Crc_Clmul)  ? KrCrcInternal::Crc_Clmul
                                                   : KrCrcInternal::Crc_Table;
    return best;
}

} // namespace KrCrcDetail

namespace KrCrcInternal {
bool CrcPathSupported(TKrCrcPath path) {
    return KrCrcDetail::PathSupported(path);
}
TKrCrcPath CrcPathInUse() {
    return KrCrcDetail::BestPath();
}
const char* CrcPathName(TKrCrcPath path) {
    switch (path) {
    case Crc_Table:
        return "table";
    case Crc_Clmul:
        return "clmul";
    case Crc_Clmul512:
        return "clmul512";
    }
    return "?";
}
} // namespace KrCrcInternal
