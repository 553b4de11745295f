// Console progress for command-line tools: a bar on a terminal, plain lines elsewhere, Ctrl-C.
#pragma once

#include "Core/KrCommonProgressImpl.h"
#include "Core/KrConsoleProgressForm.h"
#include "Core/KrLog.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

/// A console form that also shows its levels. Interactive (a terminal): one line redrawn in
/// place, at most every 100 ms: a bar and percentage for level 0, then the messages of the
/// levels joined by " > " with the innermost level's percentage; the line is cut to the
/// terminal's width so it never wraps. Batch: plain lines only, for the levels that the log
/// records too (log level 3 or less): the message when the level starts or the message changes,
/// and "<message>: done (h:mm:ss.t)" when it ends. CheckBreak turns a
/// caught Ctrl-C (KrCmdCatchInterrupt) into a user break.
class KRSTD_API TKrCmdProgressForm : public TKrConsoleProgressForm {
public:
    /// Writes to `out` (not owned); interactive when `out` is a terminal other than "dumb".
    explicit TKrCmdProgressForm(std::FILE* out);
    /// Clears the bar.
    ~TKrCmdProgressForm() override;

    void Start(unsigned long level, TKrLogMsgLevel logLevel, bool flag);
    void StartIndefinite(unsigned long level, TKrLogMsgLevel logLevel);
    void End(unsigned long level);
    void SetPos(unsigned long level, double pos);
    void SetMessage(unsigned long level, const std::string& message);
    /// Notes a pending Ctrl-C as a user break; throws the user-break message once one is set.
    void CheckBreak();
    /// Redraws when something changed since the last drawing (and turns the indefinite spinner).
    void Refresh();
    void Update() { Refresh(); }

    void SetInteractive(bool on);
    bool IsInteractive() const noexcept { return m_interactive; }
    /// Prints `text` as a line of its own; on a terminal above the bar, which is drawn again.
    void PrintLine(const std::string& text);
    /// The bar line for a terminal `width` columns wide (without control bytes).
    std::string BarText(std::size_t width) const;
    std::FILE* Out() const noexcept { return m_out; }

private:
    void Draw(bool force);
    void ClearBar();
    void Put(const std::string& bytes);
    std::size_t Width() const;
    bool AnyStarted() const;

    std::FILE* m_out;
    bool m_interactive;
    bool m_barShown = false;
    bool m_changed = false;
    std::uint32_t m_lastDraw = 0;
    unsigned m_spin = 0;
};

extern template class TKrCommonProgressImpl<TKrCmdProgressForm>;

/// Holds the form of a TKrCmdProgressImpl so that it is made before and destroyed after the
/// handler standing on it.
class KRSTD_API TKrCmdProgressFormOwner {
protected:
    explicit TKrCmdProgressFormOwner(std::FILE* out) : m_cmdForm(out) {}
    TKrCmdProgressForm m_cmdForm;
};

/// The root progress of a command-line tool: a level-0 TKrCommonProgressImpl over its own
/// TKrCmdProgressForm. Sub-progresses with a message level of at most 3 show as further levels.
class KRSTD_API TKrCmdProgressImpl : private TKrCmdProgressFormOwner,
                                     public TKrCommonProgressImpl<TKrCmdProgressForm> {
public:
    /// Draws on `out` (the standard output when null); interactive when that is a terminal.
    explicit TKrCmdProgressImpl(std::FILE* out = nullptr);
    /// Unhooks the log, stops when started and clears the bar.
    ~TKrCmdProgressImpl() override;

    /// Redraws one bar line in place (for a terminal).
    void MakeInteractive() { m_cmdForm.SetInteractive(true); }
    /// Plain lines only (for pipes and files).
    void MakeBatch() { m_cmdForm.SetInteractive(false); }
    bool IsInteractive() const noexcept { return m_cmdForm.IsInteractive(); }
    /// With `wait` on an interactive console whose input is a terminal, asks the user to press
    /// Enter and waits for it; otherwise returns at once.
    void WaitOK(bool wait);
    /// Shows error and warning records of level 3 or less above the bar ("error: ...",
    /// "warning: ..."), passing every record on to the extra sink that was set before.
    void HookLog();
    void UnhookLog();
    /// A line of the tool's own output that must not tear the bar.
    void PrintLine(const std::string& text) { m_cmdForm.PrintLine(text); }
    TKrCmdProgressForm& CmdForm() noexcept { return m_cmdForm; }

private:
    class TLogHook;
    std::unique_ptr<TLogHook> m_hook;
};

/// A sub-progress of a command-line root for a phase from..to; the root may be null, and then
/// nothing is reported.
class KRSTD_API TKrCmdSubProgress {
public:
    TKrCmdSubProgress(TKrCmdProgressImpl* root, double from, double to, TKrLogMsgLevel msgLevel = 3,
                      TKrLogMsgLevel logLevel = 3);
    /// The handler for the phase; null without a root.
    TKrProgressHandler* Handler() const noexcept { return m_handler.get(); }
    TKrCmdProgressImpl* Root() const noexcept { return m_root; }
    void MakeInteractive();
    void MakeBatch();
    void WaitOK(bool wait);
    /// False without a handler.
    bool UserBreak();
    /// Does nothing without a handler.
    void UserBreakE();

private:
    TKrCmdProgressImpl* m_root;
    var_a<TKrProgressHandler*> m_handler;
};

// The same operations on possibly null objects.
KRSTD_API void MakeInteractive(TKrCmdProgressImpl* progress);
KRSTD_API void MakeBatch(TKrCmdProgressImpl* progress);
KRSTD_API void WaitOK(TKrCmdProgressImpl* progress, bool wait);
KRSTD_API void MakeInteractive(TKrCmdSubProgress* progress);
KRSTD_API void MakeBatch(TKrCmdSubProgress* progress);
KRSTD_API void WaitOK(TKrCmdSubProgress* progress, bool wait);

/// Catches SIGINT: the first Ctrl-C only sets a flag that the console forms' CheckBreak turns
/// into a user break, so a tool can stop cleanly; a second one ends the process as usual.
KRSTD_API void KrCmdCatchInterrupt();
/// True once a Ctrl-C was caught.
KRSTD_API bool KrCmdInterrupted() noexcept;
/// Forgets a caught Ctrl-C.
KRSTD_API void KrCmdResetInterrupt() noexcept;
