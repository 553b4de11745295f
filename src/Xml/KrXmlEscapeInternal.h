// The XML escaping loop, shared by the buffer escaper and the writers that escape as they write.
#pragma once

#include "Streams/KrBufferedWriter.h"
#include "Xml/KrXmlEscape.h"

#include <array>
#include <cstddef>

namespace KrXmlEscapeInternal {

/// The mode bit that escapes each byte value (0: never escaped).
constexpr std::array<unsigned char, 256> MakeEscapeBits() {
    using M = TE_KrEncodeStringXmlMode;
    std::array<unsigned char, 256> t{};
    for (int c = 0; c < 0x20; ++c)
        t[static_cast<std::size_t>(c)] = M::xmlEncControl;
    t['"'] = M::xmlEncQuot;
    t['&'] = M::xmlEncAmp;
    t['\''] = M::xmlEncApos;
    t['<'] = M::xmlEncLt;
    t['>'] = M::xmlEncGt;
    return t;
}
inline constexpr std::array<unsigned char, 256> kEscapeBits = MakeEscapeBits();

/// The first byte of [p, end) that `mode` escapes, or end. Most text needs no escaping, so
/// four bytes are tested per step.
inline const char* SkipPlain(const char* p, const char* end, unsigned mode) noexcept {
    while (end - p >= 4) {
        const unsigned bits =
            kEscapeBits[static_cast<unsigned char>(p[0])] | kEscapeBits[static_cast<unsigned char>(p[1])] |
            kEscapeBits[static_cast<unsigned char>(p[2])] | kEscapeBits[static_cast<unsigned char>(p[3])];
        if (bits & mode) break;
        p += 4;
    }
    while (p < end && !(kEscapeBits[static_cast<unsigned char>(*p)] & mode))
        ++p;
    return p;
}

/// The reference that replaces byte c, escaped by mode bit `bit`, into out (6 bytes at most);
/// returns its length. Out of line: most text has few bytes to escape.
std::size_t Reference(unsigned bit, unsigned char c, char* out) noexcept;

/// The one escaping loop: hands runs of plain bytes and references to `put(p, n)` in order and
/// returns the escaped length.
template <class Put> std::size_t Escape(const char* s, std::size_t n, unsigned mode, Put&& put) {
    const char* p = s;
    const char* const end = s + n;
    std::size_t len = 0;
    while (p < end) {
        const char* run = p;
        p = SkipPlain(p, end, mode);
        if (p > run) {
            put(run, static_cast<std::size_t>(p - run));
            len += static_cast<std::size_t>(p - run);
        }
        if (p == end) break;
        char ref[8];
        const unsigned char c = static_cast<unsigned char>(*p++);
        const std::size_t k = Reference(kEscapeBits[c] & mode, c, ref);
        put(ref, k);
        len += k;
    }
    return len;
}

/// KrWriteStringXml from the first byte to escape, `firstEscaped`, on; out of line.
bool WriteEscaped(TKrBufferedWriter& out, const char* s, const char* firstEscaped, const char* end,
                  unsigned mode, std::size_t* written);

} // namespace KrXmlEscapeInternal

/// Writes the escaped text of [s, s + n) to `out`, byte for byte what KrEncodeStringXmlBufNZ
/// gives, without a staging copy: runs that need no escaping go to the writer as they are.
/// `written` (may be null) receives the escaped length. False when a block the writer handed on
/// meanwhile failed. One pass over the text; text that needs no escaping (names, most values)
/// costs the scan and one Write, inline.
inline bool KrWriteStringXml(TKrBufferedWriter& out, const char* s, std::size_t n,
                             TKrEncodeStringXmlMode mode, std::size_t* written = nullptr) {
    const char* const end = s + n;
    const char* const plainEnd = KrXmlEscapeInternal::SkipPlain(s, end, mode);
    if (plainEnd != end) return KrXmlEscapeInternal::WriteEscaped(out, s, plainEnd, end, mode, written);
    if (written) *written = n;
    return out.Write(s, n);
}
