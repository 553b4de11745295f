// Scoped progress objects: TKrProgress, TKrProgressVar and TKrStepProgress over a nullable handler.
#pragma once

#include "Core/KrProgressHandler.h"

/// Starts a handler for a scope and stops it on the way out (only if it started it). Every
/// forwarder gives a neutral answer without a handler, so long operations can use it blindly.
class KRSTD_API TKrProgress {
public:
    TKrProgress() = default;
    /// With `start`, starts a non-null handler now.
    TKrProgress(TKrProgressHandler* handler, bool start);
    TKrProgress(const TKrProgress&) = delete;
    TKrProgress& operator=(const TKrProgress&) = delete;
    /// Stops the handler when this object started it (a failure there terminates the process).
    ~TKrProgress();

    void Start();
    void StartIndefinite();
    void Stop();
    /// Stops the previous handler when this object started it, then takes `handler` unstarted.
    void SetHandler(TKrProgressHandler* handler);
    /// The same, leaving no handler.
    void release_callback() { SetHandler(nullptr); }
    TKrProgressHandler* Handler() const noexcept { return m_handler; }
    bool StartedHere() const noexcept { return m_startedHere; }

    bool IsStarted();
    void SetPosNB(double pos);
    bool MoveNB(double delta, bool force = false);
    void Tick();
    void SetMessage(const std::string& message);
    std::string GetMessage();
    bool UserBreak();
    void UserBreakE();
    void CheckBreak();
    void SetOptions(int options);
    int GetOptions();
    var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel msgLevel = 3,
                                           TKrLogMsgLevel logLevel = 3);
    var_a<TKrProgressHandler*> InnermostSubProgress(TKrLogMsgLevel msgLevel = 3, TKrLogMsgLevel logLevel = 3);
    IKrInterface* KrInterface();
    /// Empty without a handler; a non-owning reference to the handler itself when `cond` is
    /// false (the phase reports into the whole range); otherwise the handler's sub-progress for
    /// from..to at levels 3, starting the handler first if this object has not.
    var_a<TKrProgressHandler*> SubProgressIf(bool cond, double from, double to);

protected:
    TKrProgressHandler* m_handler = nullptr;
    bool m_startedHere = false;
};

/// A TKrProgress that also owns its handler.
class KRSTD_API TKrProgressVar : public TKrProgress {
public:
    TKrProgressVar() = default;
    explicit TKrProgressVar(var_a<TKrProgressHandler*> handler, bool start = false);
    ~TKrProgressVar();

    /// Replaces the owned handler, stopping the previous one when started here.
    void SetHandlerV(var_a<TKrProgressHandler*> handler);
    /// Stops (when started here) and drops the handler.
    void release() { SetHandlerV(var_a<TKrProgressHandler*>()); }
    const var_a<TKrProgressHandler*>& HandlerV() const noexcept { return m_owned; }

private:
    var_a<TKrProgressHandler*> m_owned;
};

/// Counts n steps of a loop: Next() moves the handler to counter / n at most every 100 ms
/// (checking for a break then) and ticks it every time.
class KRSTD_API TKrStepProgress {
public:
    explicit TKrStepProgress(TKrProgressHandler* handler) : m_handler(handler) {}
    TKrStepProgress(const TKrStepProgress&) = delete;
    TKrStepProgress& operator=(const TKrStepProgress&) = delete;
    ~TKrStepProgress();

    /// Begins n steps (starting the handler unless it already runs).
    void Start(std::uint64_t n);
    void Next();
    /// A step that reports its position whatever the time since the last report.
    void NextEvent();
    /// Stops the handler when Start started it.
    void Stop();
    TKrProgressHandler* Handler() const noexcept { return m_handler; }
    bool UserBreak() { return m_handler && m_handler->UserBreak(); }
    std::uint64_t Count() const noexcept { return m_count; }

private:
    void Report(bool force);

    TKrProgressHandler* m_handler;
    std::uint64_t m_total = 0;
    std::uint64_t m_count = 0;
    bool m_startedHere = false;
};
