// Sleeping through signals and the process's millisecond tick count.
#include "System/KrSysTime.h"

#include <cerrno>
#include <chrono>
#include <ctime>

void KrSleep(std::uint64_t ms) {
    if (ms == 0) return;
    timespec left{time_t(ms / 1000), long(ms % 1000) * 1000000L};
    // nanosleep reports what is left when a signal cuts it short; sleep that remainder.
    while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

std::int64_t KrGetTickCount() {
    static const auto base = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - base)
        .count();
}
