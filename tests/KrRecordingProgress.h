// A progress handler for tests: records every position it is given and can report a user break.
#pragma once

#include "Core/KrBaseProgress.h"
#include "Core/KrMessage.h"

#include <vector>

namespace krtest {

struct TRecordingProgress : TBaseProgress {
    std::vector<double> positions;
    /// Once set, a break is reported as soon as one position was recorded.
    bool breakAfterFirst = false;

    void SetPosNB(double pos) override {
        positions.push_back(pos);
        TBaseProgress::SetPosNB(pos);
    }
    bool UserBreak() override { return breakAfterFirst && !positions.empty(); }
    void CheckBreak() override {
        if (UserBreak()) throw TKrMessage("@stopped");
    }
};

} // namespace krtest
