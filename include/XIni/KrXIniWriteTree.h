// Writing XIni trees to streams and files, and opening a file for XIni writing.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrVarA.h"

class TKrPath;
class TKrProgressHandler;
class TKrStream;
class TKrXIniTree;
class TKrXIniWriter;

/// Writes `tree` as a complete XIni document (header Full) to `stream`, which is borrowed and
/// left open; `compression` is the TKrXIniStreamWriter compression word. Returns the merge
/// result; with `throwOnError` a failure throws the write error instead. `progress` may be null;
/// it follows the share of items written and may abandon the write by throwing. O(items).
KRSTD_API bool WriteKrXIniTree(TKrStream* stream, const TKrXIniTree* tree, int compression, bool throwOnError,
                               TKrProgressHandler* progress);

/// The same into a file created (or truncated) at `path`. A file that cannot be created throws
/// "Err_CreateFile_name" with the path, whatever `throwOnError` says.
KRSTD_API bool WriteKrXIniTreeToFile(const TKrPath& path, const TKrXIniTree* tree, int compression,
                                     bool throwOnError, TKrProgressHandler* progress);

/// Creates (or truncates) the file at `path` and returns an uncompressed TKrXIniStreamWriter with
/// header Full that owns the file stream; the document is complete once the writer is closed or released.
/// Throws "Err_CreateFile_name" with the path when the file cannot be created.
KRSTD_API var_a<TKrXIniWriter*> GetXIniWriter(const TKrPath& path);
