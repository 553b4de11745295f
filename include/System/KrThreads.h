// The worker-thread budget of the library's parallel algorithms; the main thread's id.
#pragma once

#include "Core/KrExport.h"

#include <cstddef>
#include <thread>

/// The processor count (Qt's ideal thread count, as TKrSysInfo reports it), but at most the
/// thread limit; the limit itself when the processor count is unknown (0). O(1) after the first
/// call.
KRSTD_API std::size_t KrGetThreadsCount();
/// Sets the process-wide thread limit (20 at start; 0 reads as 1). Thread-safe.
KRSTD_API void KrSetThreadsCountMax(std::size_t n);

/// The budget for a machine with `processors` processors under the current limit: the rule
/// KrGetThreadsCount applies to this machine.
KRSTD_API std::size_t KrGetThreadsCountFor(std::size_t processors);

// The application's main thread, recorded once at start-up so that other code can ask whether it
// runs on it. Until recorded, no thread is the main thread.
KRSTD_API void SetMainThreadId(std::thread::id id);
KRSTD_API std::thread::id GetMainThreadId();
/// The calling thread's id.
KRSTD_API std::thread::id GetThreadId();
KRSTD_API bool IsMainThread();
