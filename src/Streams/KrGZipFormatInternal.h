// Byte layout of a gzip member header and trailer, and the buffer size both directions use.
#pragma once

#include <cstdint>

namespace KrGZipFormat {

constexpr unsigned char kId1 = 0x1F;
constexpr unsigned char kId2 = 0x8B;
constexpr unsigned char kMethodDeflate = 8;
constexpr unsigned char kOsUnix = 3;

// Flag byte.
constexpr unsigned kFlagText = 1;
constexpr unsigned kFlagHeaderCrc = 2;
constexpr unsigned kFlagExtra = 4;
constexpr unsigned kFlagName = 8;
constexpr unsigned kFlagComment = 16;
constexpr unsigned kFlagsKnown = 31; // anything above is reserved and rejected

constexpr unsigned kFixedHeaderSize = 10;
constexpr unsigned kTrailerSize = 8;

/// Compressed input (reader) and output (writer) buffer; held in the stream's state block.
constexpr unsigned kBufferSize = 16384;

/// zlib's window bits for deflate data without the zlib wrapper, at the full 32 KiB window.
constexpr int kRawWindowBits = -15;

inline std::uint32_t GetLE32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

inline void PutLE32(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
    p[2] = static_cast<unsigned char>(v >> 16);
    p[3] = static_cast<unsigned char>(v >> 24);
}

} // namespace KrGZipFormat
