// Sleeping and the process's millisecond tick count.
#pragma once

#include "Core/KrExport.h"

#include <cstdint>

/// Sleeps `ms` milliseconds, resuming after signals until the whole time has passed.
KRSTD_API void KrSleep(std::uint64_t ms);
/// Milliseconds of the monotonic clock since the first call in this process (the first call
/// returns 0).
KRSTD_API std::int64_t KrGetTickCount();
