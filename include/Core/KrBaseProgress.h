// TBaseProgress: the standard progress handler mapping its 0..1 onto a slice of a parent's range.
#pragma once

#include "Core/KrProgressHandler.h"

#include <cstdint>

/// Reports to its parent at most every 100 ms unless forced. Start and Stop write
/// "<message> Started" / "<message> Finished" information records when a message is set.
/// Single-threaded.
class KRSTD_API TBaseProgress : public TKrProgressHandler {
public:
    /// A handler mapping 0..1 onto from..to of `parent` (may be null).
    TBaseProgress(TKrProgressHandler* parent = nullptr, double from = 0.0, double to = 1.0,
                  TKrLogMsgLevel visibleLevel = 3, TKrLogMsgLevel logLevel = 3);
    virtual ~TBaseProgress();

    /// Throws "Already started" when started.
    void Start() override;
    void StartIndefinite() override;
    /// Throws "Already stopped" when not started; reports position 1.
    void Stop() override;
    /// More than 100 ms since the last report.
    bool Timeout() override;
    bool IsStarted() override { return m_started; }
    void Tick() override;
    void ThreadTick() override;
    double GetPos() override { return m_position; }
    /// Stores p and sets the parent to min(1, from + p * range).
    void SetPosNB(double pos) override;
    bool MoveNB(double delta, bool force) override;
    void SetMessage(const std::string& message) override { m_message = message; }
    std::string GetMessage() override { return m_message; }
    bool UserBreak() override;
    void UserBreakE() override;
    void CheckBreak() override;
    void SetOptions(int options) override { m_options = options; }
    int GetOptions() override { return m_options; }
    var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                           TKrLogMsgLevel logLevel) override;
    var_a<TKrProgressHandler*> InnermostSubProgress(TKrLogMsgLevel, TKrLogMsgLevel) override { return {}; }
    IKrInterface* KrInterface() override;

    TKrProgressHandler* Parent() const noexcept { return m_parent; }
    double From() const noexcept { return m_from; }
    double To() const noexcept { return m_to; }
    double Range() const noexcept { return m_range; }

protected:
    /// Restarts the 100 ms report interval.
    void NoteTick() noexcept;
    void LogPhase(const char* textId);

    TKrProgressHandler* m_parent;
    bool m_started = false;
    double m_from;
    double m_to;
    double m_range;
    double m_position = 0.0;
    int m_options = 0;
    std::string m_message;
    TKrLogMsgLevel m_visibleLevel;
    TKrLogMsgLevel m_logLevel;
    std::uint32_t m_lastTick;
};

/// Milliseconds of the library's monotonic clock, wrapping at 32 bits (report throttling).
KRSTD_API std::uint32_t KrProgressTickMs() noexcept;

/// A handler mapping 0..1 onto from..to of `target` without starting or stopping it; cheap
/// enough for inner loops. Empty without a target.
KRSTD_API var_a<TKrProgressHandler*> CreateFastProgressV(const var_a<TKrProgressHandler*>& target,
                                                         double from, double to, TKrLogMsgLevel level = 3);
KRSTD_API var_a<TKrProgressHandler*> CreateFastProgress(TKrProgressHandler* target, double from, double to,
                                                        TKrLogMsgLevel level = 3);
