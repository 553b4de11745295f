// Value texts the XIni writers produce.
#include "XIni/KrXIniNumberText.h"
#include "XIni/KrXIniInternal.h"

#include <charconv>
#include <cstdint>
#include <cstring>

namespace KrXIniInternal {

char* FormatDecText(char* p, long value) noexcept {
    return std::to_chars(p, p + NumberTextSize, value).ptr;
}

char* FormatDecText(char* p, unsigned long value) noexcept {
    return std::to_chars(p, p + NumberTextSize, value).ptr;
}

namespace {
char* HexDigits(char* p, unsigned long v) noexcept {
    char tmp[16];
    int n = 0;
    do {
        tmp[n++] = "0123456789ABCDEF"[v & 0xF];
        v >>= 4;
    } while (v);
    while (n)
        *p++ = tmp[--n];
    return p;
}
} // namespace

char* FormatHexText(char* p, long value) noexcept {
    const unsigned long bits = static_cast<unsigned long>(value);
    if (value < 0) *p++ = '-';
    *p++ = '0';
    *p++ = 'x';
    return HexDigits(p, value < 0 ? 0 - bits : bits);
}

char* FormatHexText(char* p, unsigned long value) noexcept {
    *p++ = '0';
    *p++ = 'x';
    return HexDigits(p, value);
}

namespace {

using u128 = unsigned __int128;
using u64 = std::uint64_t;

// 10^q as M * 2^E with M a 128-bit integer whose top bit is set, for q in [MinPow, MaxPow].
// Built by repeated exact-then-truncated multiplication and division, so every M is at most
// |q| units of 2^-127 (relative) below the true value: far inside the margin used below.
constexpr int MinPow = -330;
constexpr int MaxPow = 345;

struct TPow10 {
    u128 m;
    int e;
};

struct TPow10Table {
    TPow10 pow[MaxPow - MinPow + 1];
    TPow10Table() {
        const u128 top = u128(1) << 127;
        TPow10 v{top, -127};
        pow[-MinPow] = v;
        for (int q = 1; q <= MaxPow; ++q) {
            // v * 10 as hi:lo (256 bits), then renormalised to 128 bits.
            const u128 lo = u128(u64(v.m)) * 10;
            const u128 hi = (v.m >> 64) * 10 + (lo >> 64);
            int shift = 0;
            while ((hi >> (64 + shift)) != 0)
                ++shift;
            // hi holds bits 64.. of the product; keep its top 128 bits.
            const u128 full_hi = hi >> shift; // bits 64+shift ..
            const u128 low_bits = (u64(lo) >> shift) | (shift ? u64(hi) << (64 - shift) : 0);
            v.m = (full_hi << 64) | low_bits;
            v.e += shift;
            pow[q - MinPow] = v;
        }
        v = TPow10{top, -127};
        for (int q = -1; q >= MinPow; --q) {
            const u128 quotient = v.m / 10;
            const unsigned rest = unsigned(v.m % 10);
            const int shift = (quotient >> 124) ? 3 : 4;
            v.m = (quotient << shift) + ((u128(rest) << shift) / 10);
            v.e -= shift;
            pow[q - MinPow] = v;
        }
    }
};

const TPow10Table& Pow10() {
    static const TPow10Table table;
    return table;
}

const char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                           "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                           "8081828384858687888990919293949596979899";

constexpr u64 kPow10u[] = {1ull,
                           10ull,
                           100ull,
                           1000ull,
                           10000ull,
                           100000ull,
                           1000000ull,
                           10000000ull,
                           100000000ull,
                           1000000000ull,
                           10000000000ull,
                           100000000000ull,
                           1000000000000ull,
                           10000000000000ull,
                           100000000000000ull,
                           1000000000000000ull,
                           10000000000000000ull,
                           100000000000000000ull,
                           1000000000000000000ull};

// round(m * 2^e * 10^q) as an integer when that is certain; false when the exact value lies
// too close to a rounding tie to decide with 128-bit precision, or out of range.
bool ScaledRound(u64 m, int e, int q, u64& out) {
    if (q < MinPow || q > MaxPow) return false;
    const TPow10& p = Pow10().pow[q - MinPow];
    // prod = m * p.m, 192 bits as hi (bits 64..191) and lo (bits 0..63).
    const u128 lo = u128(m) * u64(p.m);
    const u128 hi = u128(m) * u64(p.m >> 64) + (lo >> 64);
    const int t = -(e + p.e); // value = prod / 2^t
    if (t < 64 || t > 191) return false;
    const int u = t - 64;
    const u128 whole = hi >> u;
    if (whole >> 64) return false;
    const u64 frac = u == 0 ? u64(lo) : u < 64 ? (u64(hi) << (64 - u)) | (u64(lo) >> u) : u64(hi >> (u - 64));
    // The computed product is low by at most about 2^-117 of itself: around 2^-60 of a unit
    // here. Near-integers round to the nearest integer whichever side they are on; only a
    // fraction near one half is undecided.
    constexpr u64 half = u64(1) << 63, margin = u64(1) << 12;
    if (frac > half - margin && frac < half + margin) return false;
    out = u64(whole) + (frac > half ? 1 : 0);
    return true;
}

// "%.<precision>e" of a finite non-zero double from its 17 (or fewer) significant digits.
char* FastExp(char* p, double value, int precision, bool& ok) {
    ok = false;
    u64 bits;
    std::memcpy(&bits, &value, sizeof bits);
    const bool negative = bits >> 63;
    const int biased = int((bits >> 52) & 0x7FF);
    u64 m = bits & ((u64(1) << 52) - 1);
    int e;
    if (biased == 0) {
        e = -1074;
    } else {
        m |= u64(1) << 52;
        e = biased - 1075;
    }
    if (m == 0 || biased == 0x7FF || precision > 17) return p;
    const int digits = precision + 1;
    // floor(log10(2^q)) with q the position of the top bit: the exponent k is that or one more.
    const int topBit = 63 - __builtin_clzll(m) + e;
    int k = (topBit * 78913) >> 18;
    u64 n;
    if (!ScaledRound(m, e, digits - 1 - k, n)) return p;
    if (n >= kPow10u[digits]) {
        ++k;
        if (!ScaledRound(m, e, digits - 1 - k, n)) return p;
    }
    if (n == kPow10u[digits]) {
        n = kPow10u[digits - 1];
        ++k;
    }
    if (n < kPow10u[digits - 1] || n >= kPow10u[digits]) return p;
    if (negative) *p++ = '-';
    // The digits right to left into a scratch area, then the point after the first.
    char tmp[20] = {};
    char* d = tmp + digits;
    for (int i = digits; i >= 2; i -= 2) {
        d -= 2;
        std::memcpy(d, kDigitPairs + 2 * (n % 100), 2);
        n /= 100;
    }
    if (d > tmp) *--d = char('0' + n);
    *p++ = tmp[0];
    if (digits > 1) {
        *p++ = '.';
        std::memcpy(p, tmp + 1, std::size_t(digits - 1));
        p += digits - 1;
    }
    *p++ = 'e';
    *p++ = k < 0 ? '-' : '+';
    const unsigned ak = unsigned(k < 0 ? -k : k);
    if (ak >= 100) {
        *p++ = char('0' + ak / 100);
        std::memcpy(p, kDigitPairs + 2 * (ak % 100), 2);
    } else {
        std::memcpy(p, kDigitPairs + 2 * ak, 2);
    }
    p += 2;
    ok = true;
    return p;
}

} // namespace

char* FormatExpText(char* p, double value, int precision) noexcept {
    RepairFPU();
    bool ok = false;
    char* end = FastExp(p, value, precision, ok);
    if (ok) return end;
    // Zeros, infinities, NaNs and the rare undecided roundings.
    return std::to_chars(p, p + NumberTextSize, value, std::chars_format::scientific, precision).ptr;
}

std::size_t LongStringPieceLength(const char* p, const char* end) noexcept {
    const char* q = p;
    while (q < end && *q != '\n' && *q != '\r')
        ++q;
    if (q == end) return static_cast<std::size_t>(q - p);
    if (*q == '\r' && q + 1 < end && q[1] == '\n') ++q;
    return static_cast<std::size_t>(q + 1 - p);
}

} // namespace KrXIniInternal
