// The library's monotonic timer: one base instant for the process, elapsed times from it.
#include "Core/KrModuleStartup.h"
#include "Core/KrTimer.h"

#include <gtest/gtest.h>

#include <thread>

TEST(KrTimer, TheBaseInstantNeverMovesAndElapsedTimeFollowsTheSteadyClock) {
    using namespace std::chrono;
    const steady_clock::time_point base = KrTimerBaseInstant();
    Init_KrStd(); // start-up asks for the base instant too
    Deinit_KrStd();
    EXPECT_EQ(KrTimerBaseInstant(), base);

    const milliseconds before = duration_cast<milliseconds>(steady_clock::now() - base);
    const milliseconds t0 = TKrTimerMs::Elapsed();
    std::this_thread::sleep_for(milliseconds(30));
    const milliseconds t1 = TKrTimerMs::Elapsed();
    EXPECT_LE(before, t0);
    // Both are truncated to whole milliseconds, so 30 ms of sleep show as at least 30.
    EXPECT_GE(t1 - t0, milliseconds(30));
    EXPECT_LE(t1, duration_cast<milliseconds>(steady_clock::now() - base));
    EXPECT_GE(TKrTimerTpl<microseconds>::Elapsed(), duration_cast<microseconds>(t1));
}
