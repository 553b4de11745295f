// Reversible escaping of control characters, Base64, HTML and IRI encoders and decoders.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <string>

/// Escapes every byte below 35 except the blank (control characters, "!" and the double quote)
/// as "!" followed by the byte + 47: byte 0 as "!/", "!" as "!P", the double quote as "!Q".
/// Other bytes are copied. With `quote` the result is enclosed in double quotes. The result
/// holds no control character and, with `quote`, no inner double quote.
KRSTD_API std::string KrEncodeString(const std::string& s, bool quote);
/// The inverse of KrEncodeString. With `quoted`, a leading double quote is skipped and then a
/// final double quote dropped. "!" followed by a byte c in '/'..'Q' gives c - 47; any other "!"
/// is copied as it stands. Never fails.
KRSTD_API std::string KrDecodeString(const std::string& s, bool quoted);

/// Base64 with the standard alphabet of RFC 4648 and "=" padding, no line breaks.
KRSTD_API std::string KrEncodeStringBase64(const std::string& s);
KRSTD_API std::string KrEncodeStringBase64(const void* data, std::size_t length);
/// Length of the Base64 text of n bytes: 4 characters per started group of 3 bytes.
constexpr std::size_t KrEncodeStringBase64Length(std::size_t n) noexcept {
    return (n + 2) / 3 * 4;
}
/// Writes the Base64 text of `length` bytes to `out`, which holds at least
/// KrEncodeStringBase64Length(length) bytes (no terminator), and returns that length. A null
/// `data` writes nothing. Two table lookups per 3 bytes; allocates nothing.
KRSTD_API std::size_t KrEncodeStringBase64Buf(const void* data, std::size_t length, char* out);
/// Decodes `length` bytes of Base64 text; reads nothing past them. Up to two trailing "=" are
/// padding; the rest is read in groups of four characters, a final group of two or three
/// giving one or two bytes (unpadded input is accepted) and a final single character nothing.
/// Characters outside the alphabet, an inner "=" included, count as 0 bits. Never fails; a null
/// text gives "".
KRSTD_API std::string KrDecodeStringBase64(const char* text, std::size_t length);
KRSTD_API std::string KrDecodeStringBase64(const std::string& s);
/// True for A-Z, a-z, 0-9, "+" and "/" ("=" is padding, not part of the alphabet).
KRSTD_API bool IsBase64Char(char c);

/// "&" as "&amp;", "<" as "&lt;", ">" as "&gt;"; everything else copied (quotes included, so
/// the result is safe in element content, not in attribute values).
KRSTD_API std::string KrEncodeStringHtml(const std::string& s);

/// Percent-encodes an IRI query parameter: every byte below 0x80 that is not one of
/// ! $ ' ( ) * + , - . / 0-9 : ; = ? @ A-Z _ a-z ~ becomes "%" and two upper-case hex digits
/// (a blank "%20", "&" "%26"); bytes from 0x80 on (UTF-8 sequences) are copied unchanged.
KRSTD_API std::string KrEncodeStringIriQueryParam(const std::string& s);
/// Turns every "%" followed by two hex digits (either case) into its byte; a "%" without two
/// hex digits after it is copied as it stands. "+" is not a blank here. Reads nothing past `s`.
KRSTD_API std::string KrDecodeStringIri(const std::string& s);
/// The value 0..15 of one hex digit (0-9, a-f, A-F), or -1 for any other character.
KRSTD_API int KrHexDecode(char c);
