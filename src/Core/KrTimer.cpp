// Base instant of the library's monotonic timer.
#include "Core/KrTimer.h"

std::chrono::steady_clock::time_point KrTimerBaseInstant() {
    static const std::chrono::steady_clock::time_point base = std::chrono::steady_clock::now();
    return base;
}
