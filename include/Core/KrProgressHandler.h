// TKrProgressHandler: the progress, cancellation and sub-progress interface of long operations.
#pragma once

#include "Core/KrExport.h"
#include "Core/KrLogTypes.h"
#include "Core/KrVarA.h"

#include <string>

class IKrInterface;

/// Long operations take a nullable TKrProgressHandler*: null reports nothing and never cancels.
/// Positions run from 0 to 1. Handlers are owned through var_a or by their creator, so the
/// interface has no virtual destructor.
class KRSTD_API TKrProgressHandler {
public:
    /// Begins a determinate run.
    virtual void Start() = 0;
    /// Begins a run without a known end.
    virtual void StartIndefinite() = 0;
    /// Ends the run; the position becomes 1.
    virtual void Stop() = 0;
    /// True when enough time has passed since the last report to report again.
    virtual bool Timeout() = 0;
    virtual bool IsStarted() = 0;
    /// Notes activity (restarts the report timer); may check for cancellation.
    virtual void Tick() = 0;
    /// Activity note from a worker thread.
    virtual void ThreadTick() = 0;
    virtual double GetPos() = 0;
    /// Sets the position without a cancellation check.
    virtual void SetPosNB(double pos) = 0;
    /// Advances by `delta`; without `force` reports only when Timeout(). Returns whether it reported.
    virtual bool MoveNB(double delta, bool force) = 0;
    virtual void SetMessage(const std::string& message) = 0;
    virtual std::string GetMessage() = 0;
    /// True when cancellation was requested.
    virtual bool UserBreak() = 0;
    /// Throws when cancellation was requested.
    virtual void UserBreakE() = 0;
    /// Throws an implementation-specific exception on cancellation.
    virtual void CheckBreak() = 0;
    virtual void SetOptions(int options) = 0;
    virtual int GetOptions() = 0;
    /// A child mapping 0..1 onto from..to of this handler. `msgLevel` rates its visible messages,
    /// `logLevel` its "Started"/"Finished" log records.
    virtual var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                                   TKrLogMsgLevel logLevel) = 0;
    /// The deepest running child; empty when the handler does not track children.
    virtual var_a<TKrProgressHandler*> InnermostSubProgress(TKrLogMsgLevel msgLevel,
                                                            TKrLogMsgLevel logLevel) = 0;
    /// Optional extension interface (for example IKrIterationsProgress); may be null.
    virtual IKrInterface* KrInterface() = 0;

protected:
    ~TKrProgressHandler() = default;
};
