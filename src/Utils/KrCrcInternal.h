// The CRC code paths by name, for the library's own tests, fuzzers and benchmarks.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <cstdint>

namespace KrCrcInternal {
/// Ways to compute a CRC: slicing tables (any processor), folding with 128-bit carry-less
/// multiplication (PCLMULQDQ), folding with 512-bit carry-less multiplication (VPCLMULQDQ).
enum TKrCrcPath { Crc_Table, Crc_Clmul, Crc_Clmul512 };

/// Whether this processor runs `path`.
bool CrcPathSupported(TKrCrcPath path);
/// The path crc32 and crc64 take on this processor.
TKrCrcPath CrcPathInUse();
/// A short name of `path` ("table", "clmul", "clmul512").
const char* CrcPathName(TKrCrcPath path);
/// crc32 and crc64 along `path`; an unsupported path throws the internal-error message.
std::uint32_t Crc32Path(TKrCrcPath path, std::uint32_t crc, const void* data, std::size_t length);
std::uint64_t Crc64Path(TKrCrcPath path, std::uint64_t crc, const void* data, std::size_t length);
} // namespace KrCrcInternal
