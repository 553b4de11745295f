// Escaping of text for XML attribute values and content, and unescaping of entity references.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <string>

/// Bits of TKrEncodeStringXmlMode: which bytes KrEncodeStringXml escapes.
struct TE_KrEncodeStringXmlMode {
    enum : unsigned {
        xmlEncControl = 1, ///< 0x00..0x1F as "&#x%X;" (uppercase hexadecimal, no leading zeros)
        xmlEncQuot = 2,    ///< '"' as "&quot;"
        xmlEncAmp = 4,     ///< '&' as "&amp;"
        xmlEncApos = 8,    ///< '\'' as "&apos;"
        xmlEncLt = 16,     ///< '<' as "&lt;"
        xmlEncGt = 32,     ///< '>' as "&gt;"
        /// Everything but the apostrophe: what XIni documents and attribute values in '"' use.
        xmlEncDefault = 55,
        /// Character data: '&', '<', '>' only (line ends and tabs stay).
        xmlEncText = 52,
        xmlEncAll = 63,
    };
};
/// A bit mask of TE_KrEncodeStringXmlMode values.
using TKrEncodeStringXmlMode = unsigned;

/// Upper bound of the escaped length of n bytes: 6 bytes per byte that `mode` escapes, 1 per
/// other byte. One pass over the text.
KRSTD_API std::size_t KrEncodeStringXmlBufLength(const char* s, std::size_t n, TKrEncodeStringXmlMode mode);
/// Writes the escaped text to `out` (at least KrEncodeStringXmlBufLength bytes; no terminator)
/// and returns its length. Bytes >= 0x80 are copied, so UTF-8 passes unchanged.
KRSTD_API std::size_t KrEncodeStringXmlBufNZ(const char* s, std::size_t n, char* out,
                                             TKrEncodeStringXmlMode mode);
/// The escaped text.
KRSTD_API std::string KrEncodeStringXml(const char* s, std::size_t n, TKrEncodeStringXmlMode mode);
KRSTD_API std::string KrEncodeStringXml(const std::string& s, TKrEncodeStringXmlMode mode);

/// Unescapes n bytes into `out` and returns the length written, never more than n, so `out`
/// may equal `s` (in place). "&amp;", "&apos;", "&quot;", "&lt;", "&gt;" become their
/// characters; "&#" decimal or "&#x" hexadecimal digits (lowercase x) ending exactly at ';'
/// become the UTF-8 encoding of that code point (up to 0x10FFFF). Anything else, including an
/// '&' without a later ';', is copied unchanged. Text without '&' costs one memchr and a copy.
KRSTD_API std::size_t KrDecodeStringXml(const char* s, std::size_t n, char* out);
/// The unescaped text.
KRSTD_API std::string KrDecodeStringXml(const char* s, std::size_t n);
KRSTD_API std::string KrDecodeStringXml(const std::string& s);
