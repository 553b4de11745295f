// The one reader of number texts: strtod's and strtol's forms from a char range, whatever the locale.
#pragma once

#include "Core/KrExport.h"

namespace KrNumberScan {

/// How a double text was written.
enum class TKrNumberForm { None, Decimal, Hex, Infinity, NaN };

/// Where a scanned double lies in its text.
struct TKrDoubleScan {
    const char* number; ///< the first character after the white space and the sign
    const char* end;    ///< one past the last character read; the range's start when nothing was read
    TKrNumberForm form;
};

/// strtod of the "C" locale over [first, last): white space (space, TAB, LF, VT, FF, CR), an
/// optional sign, then a decimal number ("." as the point, optional exponent), "0x" and a
/// hexadecimal number with an optional "p" exponent, "inf"/"infinity" or "nan"/"nan(chars)",
/// letters in either case; the longest such prefix is read and the rest left. Overflow gives
/// +-infinity, underflow +-0 or the nearest denormal, as strtod gives them; a NaN payload in
/// "nan(chars)" is not kept. `value` is written only when something was read. The process and
/// thread locales are never consulted. No allocation; cost: std::from_chars plus a look at the
/// sign and the prefix.
KRSTD_API TKrDoubleScan ScanDouble(const char* first, const char* last, double& value) noexcept;

/// strtol over [first, last): white space, an optional sign, then digits of `base` (2..36). Base
/// 0 picks 16 after "0x"/"0X" followed by a hexadecimal digit, 8 after a leading "0", else 10; base
/// 16 also skips such a "0x". A value out of range is clamped to LONG_MIN/LONG_MAX and sets
/// `*range` (when given). Returns the end of the number, or `first` when no digit was read (then
/// `value` is untouched).
KRSTD_API const char* ScanLong(const char* first, const char* last, int base, long& value,
                               bool* range = nullptr) noexcept;
/// strtoul with the same syntax: a "-" negates in unsigned arithmetic ("-1" is ULONG_MAX), a
/// magnitude out of range gives ULONG_MAX and sets `*range`. `*negative` (when given) tells
/// whether a "-" was read, for callers that refuse it.
KRSTD_API const char* ScanULong(const char* first, const char* last, int base, unsigned long& value,
                                bool* range = nullptr, bool* negative = nullptr) noexcept;

} // namespace KrNumberScan
