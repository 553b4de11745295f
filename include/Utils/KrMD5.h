// The MD5 message digest of RFC 1321: incremental state, one-shot digest and its hexadecimal text.
#pragma once

#include "Core/KrExport.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace KrMD5 {

/// The running state of a digest: the message length in bits (low word first), the four
/// chaining words and the partial 64-byte block. Plain data: copying it forks the digest.
struct md5_state_s {
    std::uint32_t count[2];
    std::uint32_t abcd[4];
    unsigned char buf[64];
};

/// Starts a new digest in `state`.
KRSTD_API void md5_init(md5_state_s* state);
/// Adds `length` bytes at `data` to the digest; whole 64-byte blocks are hashed straight from
/// `data` (about 1.3 ns per byte), a partial block waits in the state. A null state, a negative
/// length or a null `data` with a positive length throws the internal-error message.
KRSTD_API void md5_append(md5_state_s* state, const void* data, int length);
/// Pads the message, writes its 16-byte digest to `digest`. Start again with md5_init before
/// using `state` for another message.
KRSTD_API void md5_finish(md5_state_s* state, unsigned char digest[16]);

/// The digest of the bytes of `text`. A text longer than 2147483648 bytes throws the
/// internal-error message naming this function.
KRSTD_API void md5(std::string_view text, unsigned char digest[16]);
/// The digest of `text` as 32 lower-case hexadecimal digits, first byte first.
KRSTD_API std::string md5(std::string_view text);

} // namespace KrMD5
