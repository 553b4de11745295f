// Strict number parsing: the whole text must be a number in range, or the parse fails.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>

// Common rules: a null or empty text fails; leading white space is skipped (as strtol does),
// any other character left after the number fails; a value out of the target type's range
// fails. The output is written only on success and may be null (then only the check is made).

/// Decimal int, with an optional sign ("-12", "+7").
KRSTD_API bool KrStringToInt(const char* text, int* out);
/// Decimal unsigned long. A minus sign fails (strtoul would wrap "-1" to the largest value).
KRSTD_API bool KrStringToUlong(const char* text, unsigned long* out);
/// As KrStringToUlong, and the value must lie in [min, max].
KRSTD_API bool KrStringToUlongRange(const char* text, unsigned long min, unsigned long max,
                                    unsigned long* out);
/// As KrStringToUlong for std::size_t.
KRSTD_API bool KrStringToSizeT(const char* text, std::size_t* out);

/// A finite decimal number, read the same way whatever the C locale says: optional sign,
/// digits with an optional fraction (at least one digit in all), optional exponent
/// ("e"/"E", optional sign, digits). With `accept_comma` a "," is accepted as the decimal
/// separator too (one separator at most). Hexadecimal, "inf", "nan", digit grouping and values
/// that overflow a double fail; values that underflow give the nearest representable number.
KRSTD_API bool KrStringToDouble(const char* text, double* out, bool accept_comma = false);
/// As KrStringToDouble, and the value must lie in [min, max].
KRSTD_API bool KrStringToDoubleRange(const char* text, double min, double max, double* out,
                                     bool accept_comma = false);
