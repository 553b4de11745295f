// Reading a whole XIni document into a tree, and flattening string items into a map.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"

#include <cstddef>
#include <map>
#include <string>

class TKrProgressHandler;
class TKrStream;
class TKrXIniReader;
class TKrXIniTree;

/// Loads the stream from position 0 like TKrXIniStreamReader (gzip layers undone, `krini` root
/// found) and parses the whole document into a new tree. Load failures and format errors
/// ("Err_XIni_Format_where" with where the parse stopped) throw when `throwOnError`, otherwise
/// they are logged under "KrXIni" and the result is null. `progress` may be null. O(bytes).
KRSTD_API var_a<TKrXIniTree*> ReadKrXIniTree(TKrStream* stream, bool throwOnError,
                                             TKrProgressHandler* progress);

/// Where a document stopped being well-formed: the byte offset in its text (after any gzip
/// layers are undone, from the first byte of the document) and the line and column of that
/// byte, both from 1 (KrXmlTextPlace's rules). The place is the start of the markup that broke
/// the format, or the end of the text when it ends inside the root. All zero when nothing is
/// known, as for load failures (unreadable stream, broken gzip data, no `krini` root).
struct TKrXIniFormatPlace {
    std::size_t offset = 0;
    std::size_t line = 0;
    std::size_t column = 0;
};

/// As above, and a format error of the document's body also fills `*failure` (may be null;
/// reset on every call) before it is thrown or logged, so that a program can show a person
/// where to look. The error's message is the same. Costs nothing until a format error occurs,
/// then O(offset) to count the lines.
KRSTD_API var_a<TKrXIniTree*> ReadKrXIniTree(TKrStream* stream, bool throwOnError,
                                             TKrProgressHandler* progress, TKrXIniFormatPlace* failure);

/// For every item of the current section: a string item adds out[prefix + name] = value, a
/// section is walked recursively with prefix + name + "."; any other type throws
/// "Err_XIni_InvalidValue" for that item. Existing keys are overwritten.
KRSTD_API void ReadKrXIniToLinearStringList(TKrXIniReader* reader, std::map<std::string, std::string>* out,
                                            const std::string& prefix);
