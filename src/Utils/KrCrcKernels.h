// Table and carry-less-multiply kernels shared by the reflected CRCs of 32 and 64 bits.
#pragma once

#include "Utils/KrCrcInternal.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the CRC kernels load words little-endian");

namespace KrCrcDetail {

/// Slicing tables of a reflected CRC with the reversed polynomial `Reversed`: row 0 is the
/// byte-wise table (one byte through the register), row k the same byte followed by k zero bytes.
/// Built by the compiler, so there is no first-call race and nothing to guard.
template <class T, T Reversed> struct TKrCrcTables {
    using TRows = std::array<std::array<T, 256>, 8>;
    static constexpr TRows Make() {
        TRows t{};
        for (unsigned i = 0; i < 256; ++i) {
            T r = static_cast<T>(i);
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 1) ? static_cast<T>((r >> 1) ^ Reversed) : static_cast<T>(r >> 1);
            t[0][i] = r;
        }
        for (unsigned k = 1; k < 8; ++k)
            for (unsigned i = 0; i < 256; ++i)
                t[k][i] = static_cast<T>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff]);
        return t;
    }
    static constexpr TRows rows = Make();
};

/// Continues the raw register `state` (no inversions) over `n` bytes, eight bytes per step.
/// The eight lookups of a step are independent; the step itself is bound by the load latency,
/// about one byte per cycle.
template <class T, T Reversed> inline T CrcTableUpdate(T state, const unsigned char* p, std::size_t n) {
    const auto& t = TKrCrcTables<T, Reversed>::rows;
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        w ^= state;
        state = t[7][w & 0xff] ^ t[6][(w >> 8) & 0xff] ^ t[5][(w >> 16) & 0xff] ^ t[4][(w >> 24) & 0xff] ^
                t[3][(w >> 32) & 0xff] ^ t[2][(w >> 40) & 0xff] ^ t[1][(w >> 48) & 0xff] ^ t[0][w >> 56];
    }
    for (; n; --n)
        state = static_cast<T>(t[0][(state ^ *p++) & 0xff] ^ (state >> 8));
    return state;
}

/// Multipliers of the folding kernels. A 128-bit chunk R = H*x^64 + L (H in the low quadword,
/// since reflected registers keep the highest powers in the lowest bits) is moved D bits further
/// as H*(x^(D+64) mod P) + L*(x^D mod P); each pair holds those two multipliers in that order.
struct TKrFoldConstants {
    std::uint64_t k128[2], k256[2], k384[2], k512[2], k1024[2], k1536[2], k2048[2];
};

/// x^n mod P as a reflected register of the CRC's width: the highest power in bit 0.
template <class T, T Reversed> constexpr T XPowMod(unsigned n) {
    T r = static_cast<T>(T(1) << (sizeof(T) * 8 - 1)); // x^0
    for (; n; --n)
        r = (r & 1) ? static_cast<T>((r >> 1) ^ Reversed) : static_cast<T>(r >> 1);
    return r;
}

/// The multiplier that moves a 64-bit half by D bits. The carry-less product of two reflected
/// 64-bit values lands one bit short of a reflected 128-bit value (it has 127 bits), which is
/// the same as a factor x: hence x^(D-1). Narrow CRCs sit in the high bits of the quadword.
template <class T, T Reversed> constexpr std::uint64_t FoldMultiplier(unsigned distance) {
    return static_cast<std::uint64_t>(XPowMod<T, Reversed>(distance - 1)) << (64 - sizeof(T) * 8);
}

template <class T, T Reversed> constexpr TKrFoldConstants MakeFoldConstants() {
    auto m = [](unsigned d) { return FoldMultiplier<T, Reversed>(d); };
    return TKrFoldConstants{{m(128 + 64), m(128)},  {m(256 + 64), m(256)},   {m(384 + 64), m(384)},
                            {m(512 + 64), m(512)},  {m(1024 + 64), m(1024)}, {m(1536 + 64), m(1536)},
                            {m(2048 + 64), m(2048)}};
}

/// Folds the longest prefix of [p, p + n) whose length is a multiple of 16 bytes into one 128-bit
/// value congruent to it modulo P, `init` being added to its first eight bytes first; stores that
/// value in `rest` and returns the prefix length. Needs n >= 64 and a processor with PCLMULQDQ
/// and SSE4.1.
std::size_t FoldClmul(const TKrFoldConstants& k, std::uint64_t init, const unsigned char* p, std::size_t n,
                      unsigned char rest[16]);
/// The same with 512-bit registers (VPCLMULQDQ and AVX-512F); needs n >= 256.
std::size_t FoldClmul512(const TKrFoldConstants& k, std::uint64_t init, const unsigned char* p, std::size_t n,
                         unsigned char rest[16]);

/// Whether this processor runs `path`.
bool PathSupported(KrCrcInternal::TKrCrcPath path);
/// The fastest path this processor runs, decided once.
KrCrcInternal::TKrCrcPath BestPath();

/// Below these lengths the folding set-up costs more than it saves.
constexpr std::size_t kClmulMin = 64;
constexpr std::size_t kClmul512Min = 512;

/// Continues the raw register `state` over `n` bytes along `path` (which must be supported).
template <class T, T Reversed>
T CrcUpdate(KrCrcInternal::TKrCrcPath path, T state, const unsigned char* p, std::size_t n,
            const TKrFoldConstants& k) {
    std::size_t done = 0;
    unsigned char rest[16];
    if (path == KrCrcInternal::Crc_Clmul512 && n >= kClmul512Min)
        done = FoldClmul512(k, state, p, n, rest);
    else if (path != KrCrcInternal::Crc_Table && n >= kClmulMin)
        done = FoldClmul(k, state, p, n, rest);
    // The folded value, run through the register from zero, is the state after the prefix.
    if (done) state = CrcTableUpdate<T, Reversed>(T(0), rest, 16);
    return CrcTableUpdate<T, Reversed>(state, p + done, n - done);
}

} // namespace KrCrcDetail
