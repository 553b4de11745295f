// Console progress of a long krtool command, with clean stopping on Ctrl-C.
#pragma once

#include "Core/KrCmdProgress.h"

#include <string>
#include <vector>

/// Shows the progress of one command (a bar on a terminal, plain lines otherwise), shows log
/// errors and warnings above it, and turns Ctrl-C into a user break at the next check. Output
/// files registered with RemoveOnFailure are deleted unless Done() is called, so an interrupted
/// or failed command leaves no partial output behind.
class TKrToolProgress {
public:
    explicit TKrToolProgress(const std::string& message);
    ~TKrToolProgress();

    TKrProgressHandler* Handler() noexcept { return &m_root; }
    TKrCmdProgressImpl& Root() noexcept { return m_root; }
    /// Reports `done` of `total` (throttled) and checks for Ctrl-C.
    void Report(double done, double total);
    void RemoveOnFailure(const std::string& path) { m_outputs.push_back(path); }
    /// Success: the outputs stay; the progress ends.
    void Done();

private:
    TKrCmdProgressImpl m_root;
    std::vector<std::string> m_outputs;
    bool m_done = false;
};

/// The partial outputs the failed command removed, for its error message.
const std::vector<std::string>& KrToolRemovedOutputs();
