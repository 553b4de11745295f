// printf-style formatting into std::string, durations, user-facing numbers and angle texts.
#pragma once

#include "Core/KrExport.h"

#include <cstdarg>
#include <string>

namespace Korvinex {

/// printf into a std::string. Formats into a 4096-character stack buffer first; a longer text
/// is formatted once more into a heap buffer of exactly the needed size, so the result is always
/// the whole text. Numbers are written as in the "C" locale (1.5, never 1,5) whatever the process
/// or thread locale says; characters (%ls) convert with the caller's LC_CTYPE. Returns "" when
/// the C library reports a formatting error (for example an invalid multibyte sequence for %ls).
/// Cost: one vsnprintf, two for texts of 4096 bytes or more, plus two uselocale switches.
KRSTD_API std::string ssprintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// The va_list form of ssprintf; `args` is left untouched (copies are formatted).
KRSTD_API std::string svsprintf(const char* format, va_list args);

/// wprintf into a std::wstring, numbers as in the "C" locale like ssprintf. vswprintf cannot
/// tell the needed length, so when the text does not fit, the buffer is doubled (4096, 8192,
/// ... characters) and formatting repeated until it fits or the size passes 0x3FFFFFFF characters. Returns
/// L"" on a formatting error (an encoding error stops at once instead of growing the buffer) or when the size
/// limit is passed.
KRSTD_API std::wstring wssprintf(const wchar_t* format, ...);
/// The va_list form of wssprintf; `args` is left untouched.
KRSTD_API std::wstring wsvsprintf(const wchar_t* format, va_list args);

} // namespace Korvinex

/// A duration as "h:mm:ss" (printf "%01u:%02lu:%02lu"); hours are not wrapped at 24.
KRSTD_API std::string KrGetTimeStr(unsigned seconds);

/// A duration for people to read: "h:mm:ss", with "<days>d " in front from 24 hours on, a
/// leading "-" for negative durations and `decimals` (0..9) digits of the second after a ".".
/// Seconds are rounded to the shown precision first, so 59.996 s with 2 decimals is "0:01:00.00".
/// NaN gives "?" and infinities "inf"/"-inf". Example: 93784.5 with 1 decimal: "1d 02:03:04.5".
KRSTD_API std::string KrGetTimeFormatedStr(double seconds, int decimals = 0);

/// A number for people to read, independent of the C locale: fixed notation with at most
/// `max_decimals` (0..15) digits after the point, trailing zeros and a bare point removed, and
/// never "-0". Magnitudes from 1e15 on, and non-zero magnitudes that would round to 0, use
/// printf "%.15g" (shortest of 15 significant digits). NaN gives "nan", infinities "inf"/"-inf".
/// Examples: 2.50 -> "2.5", 1234567.0 -> "1234567", 1.0/3 with 3 decimals -> "0.333".
KRSTD_API std::string KrDoubleToUserString(double value, int max_decimals = 6);

/// An angle in degrees as UTF-8 text.
///
/// The prefix is taken from the sign: for value > 0 "N" (latitude and letters), "E" (letters
/// only) or "+"; otherwise (0 and NaN included) "S", "W" or "-", and the magnitude is printed.
/// With `symbols` the degree, minute and second markers are "\u00b0", "'" and "\""; without,
/// they are empty. `precision` (clamped to 0..9) counts the decimals of the smallest unit:
///   mode 1: degrees and decimal minutes, precision + 2 decimals:  "+10 15.00"
///   mode 2: degrees, minutes, seconds, precision decimals:        "S12\u00b0 30' 00.0\""
///   other:  decimal degrees, precision + 4 decimals:              "+10.2500"
/// The sexagesimal modes round once, at the smallest unit, so 59.9999 seconds carry into the
/// minute. Values whose rounded count does not fit 62 bits (and infinities) print as decimal
/// degrees.
KRSTD_API std::string GetDMSString(double value, int mode, bool latitude, bool letters, bool symbols,
                                   int precision);
