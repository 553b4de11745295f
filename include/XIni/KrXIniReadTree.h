// Reading a whole XIni document into a tree, and flattening string items into a map.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"

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

/// For every item of the current section: a string item adds out[prefix + name] = value, a
/// section is walked recursively with prefix + name + "."; any other type throws
/// "Err_XIni_InvalidValue" for that item. Existing keys are overwritten.
KRSTD_API void ReadKrXIniToLinearStringList(TKrXIniReader* reader, std::map<std::string, std::string>* out,
                                            const std::string& prefix);
