// Strict number parsing: the whole text must be a number in range, or the parse fails.
#include "Core/KrStringParse.h"

#include <cerrno>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <locale.h>
#include <string>

namespace {
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

const char* SkipSpace(const char* s) {
    while (IsSpace(*s))
        ++s;
    return s;
}

// strtol reads "", "+" and "-" as 0 with nothing left over; insisting on a digit after the
// optional sign rejects them.
bool StartsDecimal(const char* s) {
    if (*s == '+' || *s == '-') ++s;
    return IsDigit(*s);
}

bool ParseUnsigned(const char* text, unsigned long* value) {
    if (!text) return false;
    const char* s = SkipSpace(text);
    if (*s == '-' || !StartsDecimal(s)) return false;
    char* end = nullptr;
    errno = 0;
    const unsigned long v = std::strtoul(s, &end, 10);
    if (errno == ERANGE || *end != '\0') return false;
    *value = v;
    return true;
}

// A locale object for "C" numbers, made once; strtod_l then ignores the process's LC_NUMERIC.
locale_t CNumericLocale() {
    static const locale_t loc = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(0));
    return loc;
}

// Checks the decimal syntax and copies the number with "." as its separator into `out`.
bool ScanDecimal(const char* s, bool acceptComma, std::string& out) {
    if (*s == '+' || *s == '-') out += *s++;
    std::size_t digits = 0;
    while (IsDigit(*s))
        out += *s++, ++digits;
    if (*s == '.' || (acceptComma && *s == ',')) {
        out += '.';
        ++s;
        while (IsDigit(*s))
            out += *s++, ++digits;
    }
    if (digits == 0) return false;
    if (*s == 'e' || *s == 'E') {
        out += *s++;
        if (*s == '+' || *s == '-') out += *s++;
        if (!IsDigit(*s)) return false;
        while (IsDigit(*s))
            out += *s++;
    }
    return *s == '\0';
}
} // namespace

bool KrStringToInt(const char* text, int* out) {
    if (!text) return false;
    const char* s = SkipSpace(text);
    if (!StartsDecimal(s)) return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(s, &end, 10);
    if (errno == ERANGE || *end != '\0' || v < INT_MIN || v > INT_MAX) return false;
    if (out) *out = static_cast<int>(v);
    return true;
}

bool KrStringToUlong(const char* text, unsigned long* out) {
    unsigned long v = 0;
    if (!ParseUnsigned(text, &v)) return false;
    if (out) *out = v;
    return true;
}

bool KrStringToUlongRange(const char* text, unsigned long min, unsigned long max, unsigned long* out) {
    unsigned long v = 0;
    if (!ParseUnsigned(text, &v) || v < min || v > max) return false;
    if (out) *out = v;
    return true;
}

bool KrStringToSizeT(const char* text, std::size_t* out) {
    static_assert(sizeof(std::size_t) <= sizeof(unsigned long), "size_t wider than unsigned long");
    unsigned long v = 0;
    if (!ParseUnsigned(text, &v) || v > static_cast<unsigned long>(SIZE_MAX)) return false;
    if (out) *out = static_cast<std::size_t>(v);
    return true;
}

bool KrStringToDouble(const char* text, double* out, bool accept_comma) {
    if (!text) return false;
    std::string number;
    if (!ScanDecimal(SkipSpace(text), accept_comma, number)) return false;
    const locale_t loc = CNumericLocale();
    char* end = nullptr;
    errno = 0;
    const double v = loc ? strtod_l(number.c_str(), &end, loc) : std::strtod(number.c_str(), &end);
    if (*end != '\0' || !std::isfinite(v)) return false;
    if (out) *out = v;
    return true;
}

bool KrStringToDoubleRange(const char* text, double min, double max, double* out, bool accept_comma) {
    double v = 0;
    if (!KrStringToDouble(text, &v, accept_comma) || !(v >= min && v <= max)) return false;
    if (out) *out = v;
    return true;
}
