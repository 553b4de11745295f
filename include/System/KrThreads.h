// The number of worker threads the library's parallel algorithms use.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>

/// The processor count, but at most the thread limit; the limit itself when the processor
/// count is unknown (0). O(1) after the first call.
KRSTD_API std::size_t KrGetThreadsCount();
/// Sets the process-wide thread limit (20 at start; 0 reads as 1). Thread-safe.
KRSTD_API void KrSetThreadsCountMax(std::size_t n);
