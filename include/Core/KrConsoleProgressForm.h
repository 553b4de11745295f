// TKrConsoleProgressForm: the numbered levels behind console progress, logged at start and end.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrLogTypes.h"

#include <cstdint>
#include <string>
#include <vector>

/// The level table of console progress (not a handler itself). Level 0 is the outermost; every
/// operation on a level first creates the missing levels up to it. A level whose log level is at
/// most 3 writes an information record with the source "Progress" when it starts and one with its
/// running time when it ends. Single-threaded.
class KRSTD_API TKrConsoleProgressForm {
public:
    struct TLevel {
        bool started = false;
        TKrLogMsgLevel logLevel = 5;
        std::string message;
        double position = 0.0;
        bool indefinite = false;
        std::uint32_t startTick = 0;
    };

    TKrConsoleProgressForm();
    virtual ~TKrConsoleProgressForm();

    /// Drops the levels above `level` and starts it (position 0, start time now).
    void Start(unsigned long level, TKrLogMsgLevel logLevel, bool flag);
    void StartIndefinite(unsigned long level, TKrLogMsgLevel logLevel);
    /// Logs the level's end with its running time, then drops it and every level above.
    void End(unsigned long level);
    void SetPos(unsigned long level, double pos);
    double GetPos(unsigned long level);
    void SetMessage(unsigned long level, const std::string& message);
    /// Empty for a level that does not exist (which this does not create).
    std::string GetMessage(unsigned long level) const;
    /// The deepest level's number; 0 without levels.
    unsigned long GetInnermostProgressLevel() const noexcept;
    /// The levels, outermost first.
    const std::vector<TLevel>& Levels() const noexcept { return m_levels; }

    static TKrLogMsgLevel GetPrgLogLevelVisible() noexcept { return 3; }
    static TKrLogMsgLevel GetPrgLogLevelInvisible() noexcept { return 4; }
    static TKrLogMsgLevel GetPrgLogLevelImportant() noexcept { return 1; }
    /// Update timeout and refresh interval of the handlers over this form: 100 ms each.
    static void GetTimeouts(std::uint32_t* update, std::uint32_t* refresh) noexcept;

    // Hooks for a form that shows the levels somewhere; the plain form shows nothing.
    void CheckBreak() {}
    void Update() {}
    void Refresh() {}

    void SetUserBreak(bool on) noexcept { m_userBreak = on; }
    bool UserBreak() const noexcept { return m_userBreak; }
    /// Throws the "Err_UserBreak" message when a break was requested.
    void UserBreakE() const;

    /// A running time as "h:mm:ss.t" (tenths rounded); above 999:59:59.9 ">999:59:59.9".
    static std::string FormatElapsed(double seconds);

protected:
    TLevel& Level(unsigned long level);

    std::vector<TLevel> m_levels;
    bool m_userBreak = false;
};
