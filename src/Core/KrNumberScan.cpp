// The one reader of number texts: strtod's and strtol's forms from a char range, whatever the locale.
#include "Core/KrNumberScan.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

namespace KrNumberScan {

namespace {

// The white space of the "C" locale; the process locale never widens it.
bool IsBlank(char c) noexcept {
    return c == ' ' || (c >= '\t' && c <= '\r');
}
bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char c) noexcept {
    const char lower = static_cast<char>(c | 0x20);
    return IsDigit(c) || (lower >= 'a' && lower <= 'f');
}
// "0x" or "0X" directly followed by what makes it a prefix: a hexadecimal digit, or a point
// when hexadecimal digits may follow it (from_chars then decides).
bool HexPrefix(const char* p, const char* last, bool pointToo) noexcept {
    return last - p > 2 && p[0] == '0' && (p[1] | 0x20) == 'x' &&
           (IsHexDigit(p[2]) || (pointToo && p[2] == '.'));
}

const char* SkipBlanksAndSign(const char* p, const char* last, bool& negative) noexcept {
    while (p < last && IsBlank(*p))
        ++p;
    negative = false;
    if (p < last && (*p == '+' || *p == '-')) negative = *p++ == '-';
    return p;
}

// For a mantissa and exponent that from_chars found out of range: whether the magnitude is too
// large (else too small). The power of the leading non-zero digit plus the exponent decides;
// such texts lie hundreds of powers away from 1, so a saturated count is enough.
bool TooLarge(const char* p, const char* end, bool hex) noexcept {
    constexpr long long kCap = 1LL << 40;
    long long lead = 0; // power of the leading non-zero digit, in digits
    bool seen = false, point = false;
    for (; p < end && (*p == '.' || (hex ? IsHexDigit(*p) : IsDigit(*p))); ++p) {
        if (*p == '.') {
            point = true;
        } else if (!point) {
            if (seen) lead += lead < kCap;
            seen = seen || *p != '0';
        } else if (!seen) {
            lead -= lead > -kCap;
            seen = *p != '0';
        }
    }
    long long exponent = 0;
    if (p < end) { // 'e' or 'p', then an optional sign and digits up to `end`
        const bool minus = p[1] == '-';
        for (p += 1 + (p[1] == '+' || p[1] == '-'); p < end; ++p)
            exponent = exponent < kCap ? exponent * 10 + (*p - '0') : kCap;
        if (minus) exponent = -exponent;
    }
    return (hex ? 4 * lead : lead) + exponent > 0;
}

struct TIntegerScan {
    const char* end;
    bool negative;
    bool overflow;
    unsigned long magnitude;
};

TIntegerScan ScanInteger(const char* first, const char* last, int base) noexcept {
    TIntegerScan s{first, false, false, 0};
    if (!first || first >= last || base < 0 || base == 1 || base > 36) return s;
    const char* p = SkipBlanksAndSign(first, last, s.negative);
    if ((base == 0 || base == 16) && HexPrefix(p, last, false)) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p < last && *p == '0' ? 8 : 10;
    }
    const std::from_chars_result r = std::from_chars(p, last, s.magnitude, base);
    if (r.ec == std::errc::invalid_argument) return s;
    s.end = r.ptr;
    s.overflow = r.ec == std::errc::result_out_of_range;
    return s;
}

} // namespace

TKrDoubleScan ScanDouble(const char* first, const char* last, double& value) noexcept {
    const TKrDoubleScan none{first, first, TKrNumberForm::None};
    if (!first || first >= last) return none;
    bool negative = false;
    const char* p = SkipBlanksAndSign(first, last, negative);
    if (p == last) return none;

    TKrNumberForm form = TKrNumberForm::None;
    double v = 0;
    std::from_chars_result r{p, std::errc::invalid_argument};
    const char* mantissa = p;
    // strtod reads "0x" as a prefix only when hexadecimal digits follow; otherwise the "0" alone
    // is the number. from_chars wants the digits without the prefix and its own sign refused.
    if (HexPrefix(p, last, true)) {
        r = std::from_chars(p + 2, last, v, std::chars_format::hex);
        if (r.ec != std::errc::invalid_argument) {
            form = TKrNumberForm::Hex;
            mantissa = p + 2;
        }
    }
    if (form == TKrNumberForm::None) {
        const char lower = static_cast<char>(*p | 0x20);
        if (IsDigit(*p) || *p == '.')
            form = TKrNumberForm::Decimal;
        else if (lower == 'i')
            form = TKrNumberForm::Infinity;
        else if (lower == 'n')
            form = TKrNumberForm::NaN;
        else
            return none; // a second sign, among others, which from_chars would take
        r = std::from_chars(p, last, v, std::chars_format::general);
        if (r.ec == std::errc::invalid_argument) return none;
    }
    // from_chars leaves the value alone out of range; strtod gives infinity or zero there.
    if (r.ec == std::errc::result_out_of_range)
        v = TooLarge(mantissa, r.ptr, form == TKrNumberForm::Hex) ? HUGE_VAL : 0.0;
    value = negative ? -v : v;
    return {p, r.ptr, form};
}

const char* ScanLong(const char* first, const char* last, int base, long& value, bool* range) noexcept {
    const TIntegerScan s = ScanInteger(first, last, base);
    if (s.end == first) return first;
    const unsigned long limit = s.negative ? 0UL - static_cast<unsigned long>(LONG_MIN) : LONG_MAX;
    const bool out = s.overflow || s.magnitude > limit;
    if (out)
        value = s.negative ? LONG_MIN : LONG_MAX;
    else if (s.negative)
        value = s.magnitude == 0 ? 0 : -static_cast<long>(s.magnitude - 1) - 1;
    else
        value = static_cast<long>(s.magnitude);
    if (range) *range = out;
    return s.end;
}

const char* ScanULong(const char* first, const char* last, int base, unsigned long& value, bool* range,
                      bool* negative) noexcept {
    const TIntegerScan s = ScanInteger(first, last, base);
    if (s.end == first) return first;
    value = s.overflow ? ULONG_MAX : s.negative ? 0UL - s.magnitude : s.magnitude;
    if (range) *range = s.overflow;
    if (negative) *negative = s.negative;
    return s.end;
}

} // namespace KrNumberScan
