// Whole-member gzip decompression of data held in memory, for loaders that want all of it.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstdint>

/// True when the library was built with a whole-buffer inflater (libdeflate); without one
/// KrGZipInflateMembers always answers Failed and callers stream through TKrGZipReader.
KRSTD_TEST_API bool KrGZipWholeAvailable() noexcept;

/// The last four bytes of gzip data: the last member's size modulo 2^32 as its trailer claims
/// it. Only a hint: it may lie, and for several members it covers the last one only. 0 when
/// fewer than four bytes are given.
KRSTD_TEST_API std::uint32_t KrGZipSizeHint(const unsigned char* data, std::size_t length) noexcept;

/// Where KrGZipInflateMembers stands: input bytes of complete members consumed, output bytes
/// produced by them.
struct TKrGZipWholeCursor {
    std::size_t in = 0;
    std::size_t out = 0;
};

enum class TE_KrGZipWhole {
    Done,   ///< every member decompressed and checked; the input is used up
    NoRoom, ///< the next member does not fit in the output; the cursor stands before it
    Failed  ///< damaged, truncated or trailing data, or no inflater: stream it instead
};

/// Decompresses the gzip members of [in, in + inLength) from cursor.in on into
/// [out + cursor.out, out + outCapacity), one whole member at a time, checking each CRC-32,
/// and advances the cursor past every member it completes. On NoRoom the caller provides more
/// room (keeping what is in `out`) and calls again. Failed says nothing about why: a streaming
/// read of the same data gives the reason. Linear in the data; allocates one inflater per call.
KRSTD_TEST_API TE_KrGZipWhole KrGZipInflateMembers(const unsigned char* in, std::size_t inLength,
                                                   unsigned char* out, std::size_t outCapacity,
                                                   TKrGZipWholeCursor& cursor);
