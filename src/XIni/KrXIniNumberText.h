// Value texts the XIni writers produce: numbers in their fixed formats and the pieces of long strings.
#pragma once

#include <cstddef>

namespace KrXIniInternal {

// Room for any number text below, with space to spare for the caller's own suffix.
constexpr std::size_t NumberTextSize = 48;

// Each writes at p (which has NumberTextSize bytes of room) and returns the end; no NUL is added.
// Decimal: "%lli" / "%llu". A 32-bit signed value is written by the caller as its unsigned bit
// pattern (-1 as 4294967295), which strtol reads back as the same 32-bit value.
char* FormatDecText(char* p, long value) noexcept;
char* FormatDecText(char* p, unsigned long value) noexcept;
// Hexadecimal: "0x" and uppercase digits without leading zeros; negative values as "-0x" and the
// magnitude (LONG_MIN included).
char* FormatHexText(char* p, long value) noexcept;
char* FormatHexText(char* p, unsigned long value) noexcept;
// Exponent form with `precision` digits after the point, as "%.<precision>e" (16 for doubles,
// 8 for floats widened to double). Precision is at most 17.
char* FormatExpText(char* p, double value, int precision) noexcept;

// Long strings are stored one line per piece: the length of the piece starting at p (up to end),
// its terminator (LF, CR LF or a lone CR) included.
std::size_t LongStringPieceLength(const char* p, const char* end) noexcept;

} // namespace KrXIniInternal
