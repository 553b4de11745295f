// The compression library's entry points: a reference-counted layer over the system zlib.
#pragma once

#include "Core/KrExport.h"

/// Checks that the zlib in the process is compatible with the one we were built against
/// (throws TKrMessage otherwise) and counts the user. Safe to call once per module start-up.
KRSTD_EXTERN_C KRSTD_API void Init_KrZLib();
/// Undoes one Init_KrZLib; unmatched calls are ignored.
KRSTD_EXTERN_C KRSTD_API void Deinit_KrZLib();
/// Outstanding Init_KrZLib calls.
KRSTD_TEST_API int KrZLibInitCount();
