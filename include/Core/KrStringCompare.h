// Wildcard matching, byte and locale comparisons with selectable case rules, case conversion.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <string>

/// Wildcard match of a whole text: "?" matches any one byte, "*" any run of bytes (also an
/// empty one), and every other pattern byte matches the same byte ignoring case (tolower of the
/// "C" locale, so ASCII letters only, whatever the process locale). An empty pattern matches only an empty
/// text. A null text or pattern matches nothing. Runs in O(len(text) * len(pattern)) at worst, without
/// recursion, so any input is safe. Example: KrPatternMatch("Report.TXT", "*.txt") is true.
KRSTD_API bool KrPatternMatch(const char* text, const char* pattern);

// Comparisons of counted texts. All of them return -1, 0 or 1. They compare the common prefix
// first; when it is equal, the shorter text is the smaller. A null pointer with a non-zero
// length is read as an empty text.

/// Comparison selected by `mode`: 1 strcmpi_locale, 2 exact (bytes as signed char, like
/// strcmp_latin), 3 strcmp_locale; any other mode folds ASCII A-Z to lower case (strcmpi_latin).
KRSTD_API int krstrcmp(const char* a, std::size_t lenA, const char* b, std::size_t lenB, int mode);
/// ASCII letters folded to lower case, then bytes compared as signed char.
KRSTD_API int strcmpi_latin(const char* a, std::size_t lenA, const char* b, std::size_t lenB);
/// Bytes compared exactly, as signed char.
KRSTD_API int strcmp_latin(const char* a, std::size_t lenA, const char* b, std::size_t lenB);
/// Collation of the default QLocale (the system's unless the application set another): the
/// UTF-8 texts are decoded and compared by QCollator, ICU where Qt has it. Texts that collate
/// equal but differ in bytes are ordered by the prefix-then-length rule on their bytes, so only
/// identical texts give 0. Invalid UTF-8 is decoded with replacement characters. Cost: two
/// UTF-16 conversions per call; a collator is made per thread and per change of the locale.
KRSTD_API int strcmp_locale(const char* a, std::size_t lenA, const char* b, std::size_t lenB);
/// As strcmp_locale on the case-folded texts; texts that differ only in case give 0.
KRSTD_API int strcmpi_locale(const char* a, std::size_t lenA, const char* b, std::size_t lenB);

/// strcasecmp of two NUL-terminated texts as the "C" locale has it (ASCII letters folded to lower
/// case, bytes compared as unsigned char), whatever the process locale: a Turkish locale would
/// otherwise fold 'I' to a dotless i. Reduced to -1, 0 or 1; null reads as "".
KRSTD_API int krstrcmpi(const char* a, const char* b);
/// The same as strncasecmp, over at most `n` bytes.
KRSTD_API int krstrncmpi(const char* a, const char* b, std::size_t n);

/// 0 when `text` equals `alt1` or (when given) `alt2` exactly; otherwise the exact comparison of
/// `text` with `alt1` (-1 or 1). Null texts read as "". Meant for `strcmp_x(s, "yes", "on") == 0`.
KRSTD_API int strcmp_x(const char* text, const char* alt1, const char* alt2 = nullptr);
KRSTD_API int strcmp_x(const std::string& text, const char* alt1, const char* alt2 = nullptr);

/// ASCII classification and case mapping; every other byte is left as it is.
KRSTD_API bool isalpha_latin(char c);
KRSTD_API char toupper_latin(char c);
KRSTD_API char tolower_latin(char c);

/// Maps ASCII letters of the NUL-terminated `text` in place and returns `text` (null stays null).
KRSTD_API char* toupper(char* text);
KRSTD_API char* tolower(char* text);
/// Copies of `text` with ASCII letters mapped; bytes of UTF-8 sequences are left unchanged.
KRSTD_API std::string toupper(const std::string& text);
KRSTD_API std::string tolower(const std::string& text);
