// Value texts the XIni writers produce.
#include "XIni/KrXIniNumberText.h"
#include "XIni/KrXIniInternal.h"

#include <charconv>

namespace KrXIniInternal {

char* FormatDecText(char* p, long value) noexcept {
    return std::to_chars(p, p + NumberTextSize, value).ptr;
}

char* FormatDecText(char* p, unsigned long value) noexcept {
    return std::to_chars(p, p + NumberTextSize, value).ptr;
}

namespace {
char* HexDigits(char* p, unsigned long v) noexcept {
    char tmp[16];
    int n = 0;
    do {
        tmp[n++] = "0123456789ABCDEF"[v & 0xF];
        v >>= 4;
    } while (v);
    while (n)
        *p++ = tmp[--n];
    return p;
}
} // namespace

char* FormatHexText(char* p, long value) noexcept {
    const unsigned long bits = static_cast<unsigned long>(value);
    if (value < 0) *p++ = '-';
    *p++ = '0';
    *p++ = 'x';
    return HexDigits(p, value < 0 ? 0 - bits : bits);
}

char* FormatHexText(char* p, unsigned long value) noexcept {
    *p++ = '0';
    *p++ = 'x';
    return HexDigits(p, value);
}

char* FormatExpText(char* p, double value, int precision) noexcept {
    RepairFPU();
    return std::to_chars(p, p + NumberTextSize, value, std::chars_format::scientific, precision).ptr;
}

std::size_t LongStringPieceLength(const char* p, const char* end) noexcept {
    const char* q = p;
    while (q < end && *q != '\n' && *q != '\r')
        ++q;
    if (q == end) return static_cast<std::size_t>(q - p);
    if (*q == '\r' && q + 1 < end && q[1] == '\n') ++q;
    return static_cast<std::size_t>(q + 1 - p);
}

} // namespace KrXIniInternal
