// Console progress of a long krtool command and removal of partial outputs.
#include "KrToolProgress.h"

#include <cstdio>

namespace {
std::vector<std::string>& Removed() {
    static std::vector<std::string> removed;
    return removed;
}
} // namespace

const std::vector<std::string>& KrToolRemovedOutputs() {
    return Removed();
}

TKrToolProgress::TKrToolProgress(const std::string& message) {
    KrCmdCatchInterrupt();
    m_root.HookLog();
    m_root.SetMessage(message);
    m_root.Start();
}

TKrToolProgress::~TKrToolProgress() {
    if (m_done) return;
    // Unwinding from a failure or a Ctrl-C: end the bar first, so the error stands on a clean line.
    try {
        if (m_root.IsStarted()) m_root.Stop();
    } catch (...) {
    }
    m_root.UnhookLog();
    for (const std::string& path : m_outputs)
        if (std::remove(path.c_str()) == 0) Removed().push_back(path);
}

void TKrToolProgress::Report(double done, double total) {
    m_root.CheckBreak();
    if (total > 0 && m_root.Timeout()) m_root.SetPosNB(done / total);
    m_root.Tick();
}

void TKrToolProgress::Done() {
    m_root.UnhookLog();
    if (m_root.IsStarted()) m_root.Stop();
    m_done = true;
}
