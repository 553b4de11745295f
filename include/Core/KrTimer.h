// The library's monotonic timer: durations since one base instant fixed at start-up.
#pragma once

#include "Core/KrExport.h"

#include <chrono>

/// The base instant: the steady-clock time of the first request (made by module start-up).
KRSTD_API std::chrono::steady_clock::time_point KrTimerBaseInstant();

/// Time elapsed since the base instant, in the unit `Duration`.
template <class Duration> struct TKrTimerTpl {
    static Duration Elapsed() {
        return std::chrono::duration_cast<Duration>(std::chrono::steady_clock::now() - KrTimerBaseInstant());
    }
};

using TKrTimerMs = TKrTimerTpl<std::chrono::milliseconds>;
