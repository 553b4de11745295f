// CRC-64 (reflected, reversed polynomial 0xA17870F5D4F51B49), continued across calls.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstdint>

/// Continues the CRC-64 `crc` over `length` bytes at `data` and returns the new value; start
/// with 0. The running value is inverted before and after the bytes, so pieces fed one after the
/// other give the CRC of the whole. A length of 0 returns `crc` unchanged, and so does a null
/// `data` (there are no bytes to read). Costs about 0.05 ns per byte where the processor has
/// carry-less multiplication, about 0.5 ns per byte elsewhere.
KRSTD_API std::uint64_t crc64(std::uint64_t crc, const void* data, std::size_t length);
