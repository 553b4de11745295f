// GetBuildVerString: the library's version text, as written into file headers and logs.
#pragma once

#include "Core/KrExport.h"

#include <string>

/// "KrStd <major.minor.patch>", followed by " build <n>" when `withBuild` and by the edition
/// (" <os>-<cpu>") when `withEdition`. The text has no control bytes and no "--", so it can
/// stand inside an XML comment unchanged. O(1); builds a short string.
KRSTD_API std::string GetBuildVerString(bool withBuild, bool withEdition);
