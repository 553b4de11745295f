// The XML scanner's byte class table: which bytes are blanks, letters and name characters.
#pragma once

#include <cstdint>

/// Bits of the byte class table KrXmlCharClass.
struct TE_KrXmlCharClass {
    enum TKrXmlCharClass : std::uint8_t {
        xccSpace = 1,     ///< space, TAB, LF, CR
        xccLetter = 2,    ///< A-Z, a-z and every byte 0x80..0xFF (UTF-8 passes as letters)
        xccName = 4,      ///< letters, digits, '.', '-', '_', ':'
        xccNameStart = 8, ///< letters, '_', ':'
    };
};

/// Class bits of every byte value; a name is one xccNameStart byte followed by xccName bytes.
extern const std::uint8_t KrXmlCharClass[256];

/// True when `c` has any of the class bits in `bits`.
inline bool KrXmlIsClass(char c, unsigned bits) noexcept {
    return (KrXmlCharClass[static_cast<unsigned char>(c)] & bits) != 0;
}
