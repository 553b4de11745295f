// A progress handler for tests: records every position and counts calls; can report a user break.
#pragma once

#include "Core/KrBaseProgress.h"
#include "Core/KrMessage.h"

#include <atomic>
#include <vector>

namespace krtest {

struct TRecordingProgress : TBaseProgress {
    std::vector<double> positions;
    int starts = 0, ticks = 0, checks = 0;
    std::atomic<int> threadTicks{0}; // worker threads tick concurrently
    /// A break is reported while `breakWanted` is set, or once a position was recorded.
    bool breakWanted = false, breakAfterFirst = false;

    void Start() override { ++starts, TBaseProgress::Start(); }
    void SetPosNB(double pos) override {
        positions.push_back(pos);
        TBaseProgress::SetPosNB(pos);
    }
    void Tick() override { ++ticks, TBaseProgress::Tick(); }
    void ThreadTick() override { ++threadTicks; }
    bool UserBreak() override { return breakWanted || (breakAfterFirst && !positions.empty()); }
    void CheckBreak() override {
        ++checks;
        if (UserBreak()) throw TKrMessage("@stopped");
    }
};

} // namespace krtest
