// TKrProgressSplitter: one progress handler that fans every report out to several handlers.
#pragma once

#include "Core/KrProgressHandler.h"

#include <vector>

/// Reports go to every handler added; questions (Timeout, GetMessage, KrInterface) are answered
/// by the first one, the primary. A break reported by any handler counts.
class KRSTD_API TKrProgressSplitter : public TKrProgressHandler {
public:
    TKrProgressSplitter() = default;
    virtual ~TKrProgressSplitter();

    /// Adds a handler; empty values are ignored.
    void push_back(var_a<TKrProgressHandler*> handler);
    std::size_t size() const noexcept { return m_handlers.size(); }

    void Start() override;
    void StartIndefinite() override;
    void Stop() override;
    bool Timeout() override;
    bool IsStarted() override { return m_started; }
    void Tick() override;
    void ThreadTick() override;
    double GetPos() override { return m_position; }
    void SetPosNB(double pos) override;
    bool MoveNB(double delta, bool force) override;
    void SetMessage(const std::string& message) override;
    std::string GetMessage() override;
    bool UserBreak() override;
    void UserBreakE() override;
    void CheckBreak() override;
    void SetOptions(int options) override;
    int GetOptions() override { return m_options; }
    /// A child splitter holding the sub-progresses of every handler.
    var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                           TKrLogMsgLevel logLevel) override;
    var_a<TKrProgressHandler*> InnermostSubProgress(TKrLogMsgLevel, TKrLogMsgLevel) override { return {}; }
    IKrInterface* KrInterface() override;

private:
    void PropagateUp();

    bool m_started = false;
    double m_position = 0.0;
    int m_options = 0;
    std::vector<var_a<TKrProgressHandler*>> m_handlers;
    TKrProgressSplitter* m_parent = nullptr;
    double m_from = 0.0;
    double m_to = 1.0;
};
