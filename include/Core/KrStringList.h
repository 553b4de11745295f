// Splitting, trimming and joining of texts, and command lines cut into arguments.
#pragma once

#include "Core/KrExport.h"

#include <set>
#include <string>
#include <vector>

/// Clears `out` and appends every piece between `sep` characters in order, empty pieces
/// included; the piece after the last separator is always appended, so "" gives one empty
/// piece and "a,,b," at ',' gives "a", "", "b", "".
KRSTD_API void KrSplitString(const std::string& text, char sep, std::vector<std::string>& out);

/// Cuts `text` at every occurrence of the separator text `sep`, trims each piece of white space
/// and inserts it into `out` (which is not cleared; an empty piece is inserted as ""). Nothing
/// happens when the text or the separator is empty or null.
KRSTD_API void KrParseStringSet(std::set<std::string>& out, const std::string& text, const char* sep);

/// The items in order with `sep` between neighbours (a null separator reads as ""); an empty
/// collection gives "".
KRSTD_API std::string KrMergeStrings(const std::set<std::string>& items, const char* sep);
KRSTD_API std::string KrMergeStrings(const std::vector<std::string>& items, const char* sep);

/// The default white space of the trim functions: blank, tab, line feed, carriage return,
/// vertical tab and form feed.
constexpr const char* KrWhiteSpace = " \t\n\r\v\f";
/// Copies of `text` without the leading, trailing or both runs of bytes from `chars`.
KRSTD_API std::string trim_left(const std::string& text, const char* chars = KrWhiteSpace);
KRSTD_API std::string trim_right(const std::string& text, const char* chars = KrWhiteSpace);
KRSTD_API std::string trim(const std::string& text, const char* chars = KrWhiteSpace);

/// Cuts a command line into arguments the way a POSIX shell does without expansions:
/// unquoted white space separates arguments; a backslash outside quotes takes the next
/// character literally; inside '...' every character is literal; inside "..." a backslash
/// escapes only a double quote, a backslash, "$" and "`" and is literal elsewhere. Quotes join
/// with the text around them ("a"b'c' is one argument abc) and an empty pair makes an empty
/// argument. An unterminated quote runs to the end of the line; a final lone backslash is kept.
KRSTD_API std::vector<std::string> SplitCmdLine(const std::string& line);
