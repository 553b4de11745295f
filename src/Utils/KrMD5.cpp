// The MD5 message digest: a fully unrolled compression function over whole blocks.
#include "Utils/KrMD5.h"

#include "Core/KrExceptions.h"

#include <cstring>

namespace KrMD5 {
namespace {

inline std::uint32_t Rotl(std::uint32_t v, int s) {
    return (v << s) | (v >> (32 - s));
}

// Each step adds the message word and the constant first: that sum does not wait for the step
// before, so only the round function, the rotation and one addition stay on the dependency chain.
// The round functions are written to keep b, the newest word, as late as possible: F and I as
// selections, G as a sum of disjoint masks (no carries, so + is |).
#define KR_MD5_F(a, b, c, d, x, t, s)                                                                        \
    a += (t) + (x);                                                                                          \
    a += (d) ^ ((b) & ((c) ^ (d)));                                                                          \
    a = Rotl(a, s) + (b)
#define KR_MD5_G(a, b, c, d, x, t, s)                                                                        \
    a += (t) + (x) + (~(d) & (c));                                                                           \
    a += (d) & (b);                                                                                          \
    a = Rotl(a, s) + (b)
#define KR_MD5_H(a, b, c, d, x, t, s)                                                                        \
    a += (t) + (x);                                                                                          \
    a += (b) ^ ((c) ^ (d));                                                                                  \
    a = Rotl(a, s) + (b)
#define KR_MD5_I(a, b, c, d, x, t, s)                                                                        \
    a += (t) + (x);                                                                                          \
    a += (c) ^ ((b) | ~(d));                                                                                 \
    a = Rotl(a, s) + (b)

/// Runs `blocks` 64-byte blocks at `p` through the chaining words.
void Compress(std::uint32_t abcd[4], const unsigned char* p, std::size_t blocks) {
    std::uint32_t a = abcd[0], b = abcd[1], c = abcd[2], d = abcd[3];
    for (; blocks; --blocks, p += 64) {
        std::uint32_t x[16];
        std::memcpy(x, p, 64); // the words are little-endian, as is the processor
        const std::uint32_t a0 = a, b0 = b, c0 = c, d0 = d;

        KR_MD5_F(a, b, c, d, x[0], 0xd76aa478u, 7);
        KR_MD5_F(d, a, b, c, x[1], 0xe8c7b756u, 12);
        KR_MD5_F(c, d, a, b, x[2], 0x242070dbu, 17);
        KR_MD5_F(b, c, d, a, x[3], 0xc1bdceeeu, 22);
        KR_MD5_F(a, b, c, d, x[4], 0xf57c0fafu, 7);
        KR_MD5_F(d, a, b, c, x[5], 0x4787c62au, 12);
        KR_MD5_F(c, d, a, b, x[6], 0xa8304613u, 17);
        KR_MD5_F(b, c, d, a, x[7], 0xfd469501u, 22);
        KR_MD5_F(a, b, c, d, x[8], 0x698098d8u, 7);
        KR_MD5_F(d, a, b, c, x[9], 0x8b44f7afu, 12);
        KR_MD5_F(c, d, a, b, x[10], 0xffff5bb1u, 17);
        KR_MD5_F(b, c, d, a, x[11], 0x895cd7beu, 22);
        KR_MD5_F(a, b, c, d, x[12], 0x6b901122u, 7);
        KR_MD5_F(d, a, b, c, x[13], 0xfd987193u, 12);
        KR_MD5_F(c, d, a, b, x[14], 0xa679438eu, 17);
        KR_MD5_F(b, c, d, a, x[15], 0x49b40821u, 22);

        KR_MD5_G(a, b, c, d, x[1], 0xf61e2562u, 5);
        KR_MD5_G(d, a, b, c, x[6], 0xc040b340u, 9);
        KR_MD5_G(c, d, a, b, x[11], 0x265e5a51u, 14);
        KR_MD5_G(b, c, d, a, x[0], 0xe9b6c7aau, 20);
        KR_MD5_G(a, b, c, d, x[5], 0xd62f105du, 5);
        KR_MD5_G(d, a, b, c, x[10], 0x02441453u, 9);
        KR_MD5_G(c, d, a, b, x[15], 0xd8a1e681u, 14);
        KR_MD5_G(b, c, d, a, x[4], 0xe7d3fbc8u, 20);
        KR_MD5_G(a, b, c, d, x[9], 0x21e1cde6u, 5);
        KR_MD5_G(d, a, b, c, x[14], 0xc33707d6u, 9);
        KR_MD5_G(c, d, a, b, x[3], 0xf4d50d87u, 14);
        KR_MD5_G(b, c, d, a, x[8], 0x455a14edu, 20);
        KR_MD5_G(a, b, c, d, x[13], 0xa9e3e905u, 5);
        KR_MD5_G(d, a, b, c, x[2], 0xfcefa3f8u, 9);
        KR_MD5_G(c, d, a, b, x[7], 0x676f02d9u, 14);
        KR_MD5_G(b, c, d, a, x[12], 0x8d2a4c8au, 20);

        KR_MD5_H(a, b, c, d, x[5], 0xfffa3942u, 4);
        KR_MD5_H(d, a, b, c, x[8], 0x8771f681u, 11);
        KR_MD5_H(c, d, a, b, x[11], 0x6d9d6122u, 16);
        KR_MD5_H(b, c, d, a, x[14], 0xfde5380cu, 23);
        KR_MD5_H(a, b, c, d, x[1], 0xa4beea44u, 4);
        KR_MD5_H(d, a, b, c, x[4], 0x4bdecfa9u, 11);
        KR_MD5_H(c, d, a, b, x[7], 0xf6bb4b60u, 16);
        KR_MD5_H(b, c, d, a, x[10], 0xbebfbc70u, 23);
        KR_MD5_H(a, b, c, d, x[13], 0x289b7ec6u, 4);
        KR_MD5_H(d, a, b, c, x[0], 0xeaa127fau, 11);
        KR_MD5_H(c, d, a, b, x[3], 0xd4ef3085u, 16);
        KR_MD5_H(b, c, d, a, x[6], 0x04881d05u, 23);
        KR_MD5_H(a, b, c, d, x[9], 0xd9d4d039u, 4);
        KR_MD5_H(d, a, b, c, x[12], 0xe6db99e5u, 11);
        KR_MD5_H(c, d, a, b, x[15], 0x1fa27cf8u, 16);
        KR_MD5_H(b, c, d, a, x[2], 0xc4ac5665u, 23);

        KR_MD5_I(a, b, c, d, x[0], 0xf4292244u, 6);
        KR_MD5_I(d, a, b, c, x[7], 0x432aff97u, 10);
        KR_MD5_I(c, d, a, b, x[14], 0xab9423a7u, 15);
        KR_MD5_I(b, c, d, a, x[5], 0xfc93a039u, 21);
        KR_MD5_I(a, b, c, d, x[12], 0x655b59c3u, 6);
        KR_MD5_I(d, a, b, c, x[3], 0x8f0ccc92u, 10);
        KR_MD5_I(c, d, a, b, x[10], 0xffeff47du, 15);
        KR_MD5_I(b, c, d, a, x[1], 0x85845dd1u, 21);
        KR_MD5_I(a, b, c, d, x[8], 0x6fa87e4fu, 6);
        KR_MD5_I(d, a, b, c, x[15], 0xfe2ce6e0u, 10);
        KR_MD5_I(c, d, a, b, x[6], 0xa3014314u, 15);
        KR_MD5_I(b, c, d, a, x[13], 0x4e0811a1u, 21);
        KR_MD5_I(a, b, c, d, x[4], 0xf7537e82u, 6);
        KR_MD5_I(d, a, b, c, x[11], 0xbd3af235u, 10);
        KR_MD5_I(c, d, a, b, x[2], 0x2ad7d2bbu, 15);
        KR_MD5_I(b, c, d, a, x[9], 0xeb86d391u, 21);

        a += a0;
        b += b0;
        c += c0;
        d += d0;
    }
    abcd[0] = a;
    abcd[1] = b;
    abcd[2] = c;
    abcd[3] = d;
}

#undef KR_MD5_F
#undef KR_MD5_G
#undef KR_MD5_H
#undef KR_MD5_I

void PutLE32(unsigned char* out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(v >> (8 * i));
}

} // namespace

void md5_init(md5_state_s* state) {
    KR_CHECK(state);
    state->count[0] = state->count[1] = 0;
    state->abcd[0] = 0x67452301u;
    state->abcd[1] = 0xefcdab89u;
    state->abcd[2] = 0x98badcfeu;
    state->abcd[3] = 0x10325476u;
}

void md5_append(md5_state_s* state, const void* data, int length) {
    KR_CHECK(state);
    KR_CHECK(length >= 0);
    if (length == 0) return;
    KR_CHECK(data);
    const unsigned char* p = static_cast<const unsigned char*>(data);
    std::size_t n = static_cast<std::size_t>(length);
    const std::size_t used = (state->count[0] >> 3) & 63;

    const std::uint32_t bits = static_cast<std::uint32_t>(n << 3);
    state->count[1] += static_cast<std::uint32_t>(n >> 29);
    state->count[0] += bits;
    if (state->count[0] < bits) ++state->count[1];

    if (used) {
        const std::size_t take = n < 64 - used ? n : 64 - used;
        std::memcpy(state->buf + used, p, take);
        p += take;
        n -= take;
        if (used + take < 64) return;
        Compress(state->abcd, state->buf, 1);
    }
    Compress(state->abcd, p, n / 64);
    p += n / 64 * 64;
    n %= 64;
    if (n) std::memcpy(state->buf, p, n);
}

void md5_finish(md5_state_s* state, unsigned char digest[16]) {
    KR_CHECK(state);
    KR_CHECK(digest);
    static const unsigned char pad[64] = {0x80};
    unsigned char length[8];
    PutLE32(length, state->count[0]);
    PutLE32(length + 4, state->count[1]);
    // 0x80, then zeros up to 56 bytes into a block, then the bit length.
    const int used = static_cast<int>((state->count[0] >> 3) & 63);
    md5_append(state, pad, used < 56 ? 56 - used : 120 - used);
    md5_append(state, length, 8);
    for (int i = 0; i < 4; ++i)
        PutLE32(digest + 4 * i, state->abcd[i]);
}

void md5(std::string_view text, unsigned char digest[16]) {
    KR_CHECK(text.size() <= 2147483648u);
    md5_state_s state;
    md5_init(&state);
    // md5_append counts in int: feed pieces of 1 GiB.
    constexpr std::size_t kPiece = std::size_t(1) << 30;
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        const std::size_t n = text.size() - at < kPiece ? text.size() - at : kPiece;
        md5_append(&state, text.data() + at, static_cast<int>(n));
    }
    md5_finish(&state, digest);
}

std::string md5(std::string_view text) {
    unsigned char digest[16];
    md5(text, digest);
    static const char hex[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int i = 0; i < 16; ++i) {
        out[2 * i] = hex[digest[i] >> 4];
        out[2 * i + 1] = hex[digest[i] & 15];
    }
    return out;
}

} // namespace KrMD5
