// TSimpleConsoleProgress: progress as one character per report on the standard output.
#pragma once

#include "Core/KrProgressHandler.h"

#include <cstdint>
#include <cstdio>

/// Prints a shade character for each position report ('_' at 0 up to the full block 0xDB at 1)
/// and "*" for each Tick; reports when 5 s have passed without activity. Cheap and unthrottled:
/// every SetPosNB prints, so callers should report through MoveNB.
class KRSTD_API TSimpleConsoleProgress : public TKrProgressHandler {
public:
    /// The characters for positions 0 .. 1 (int(p * 4.99) picks one).
    static const unsigned char States[5];

    /// Prints to `out` (the standard output by default; not owned).
    explicit TSimpleConsoleProgress(std::FILE* out = nullptr);

    void Start() override { m_started = true; }
    void StartIndefinite() override { m_started = true; }
    void Stop() override { m_started = false; }
    /// More than 5000 ms since the last report or tick.
    bool Timeout() override;
    bool IsStarted() override { return m_started; }
    /// Prints "*".
    void Tick() override;
    void ThreadTick() override {}
    double GetPos() override { return m_position; }
    /// Prints the character for clamp(pos, 0, 1).
    void SetPosNB(double pos) override;
    bool MoveNB(double delta, bool force) override;
    void SetMessage(const std::string&) override {}
    std::string GetMessage() override { return std::string(); }
    bool UserBreak() override { return false; }
    void UserBreakE() override {}
    void CheckBreak() override {}
    void SetOptions(int) override {}
    int GetOptions() override { return 0; }
    /// A range mapper (TBaseProgress) onto this handler.
    var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                           TKrLogMsgLevel logLevel) override;
    var_a<TKrProgressHandler*> InnermostSubProgress(TKrLogMsgLevel, TKrLogMsgLevel) override { return {}; }
    IKrInterface* KrInterface() override { return nullptr; }
    virtual ~TSimpleConsoleProgress();

private:
    void Put(char c);

    double m_position = 0.0;
    std::uint32_t m_lastTick;
    bool m_started = false;
    std::FILE* m_out;
};
