// IKrIterationsProgress: iteration display for optimisation loops, reached through a handler's KrInterface().
#pragma once

#include "Core/KrBaseProgress.h"
#include "Core/KrInterface.h"

/// An optimisation loop reports its objective value per iteration. The position follows the
/// value on a logarithmic scale from the first value towards the goal (LogFnValueToPos), which
/// suits objectives that shrink by factors, as least-squares residuals do. The user may end the
/// iterations early (IterationBreak) without cancelling the whole operation.
class KRSTD_API IKrIterationsProgress : public IKrInterface {
public:
    KR_INTERFACE_UID(IKrIterationsProgress);
    IKrInterface* GetInterface_Int(TKrUIDObject* id) override;

    /// Begins iterating from objective value `startValue`.
    virtual void Start(double startValue) = 0;
    /// One iteration reached `value`; `goal` is the value at which the loop would stop.
    virtual void Next(double value, double goal) = 0;
    /// An iteration without a new value (ticks the display).
    virtual void NextEvent() = 0;
    virtual void Stop() = 0;
    /// True when the user asked to stop iterating (keep the current result).
    virtual bool IterationBreak() = 0;
    virtual void ResetIterationBreak() = 0;
    /// True when the user cancelled the whole operation.
    virtual bool UserBreak() = 0;
    /// A handler for work inside one iteration.
    virtual var_a<TKrProgressHandler*> SubProgress(TKrLogMsgLevel msgLevel, TKrLogMsgLevel logLevel) = 0;

    /// Position 0..1 of `value` between `start` and `goal`: (ln start - ln value) /
    /// (ln start - ln goal) when all three are positive and start > goal, the linear fraction
    /// (start - value) / (start - goal) otherwise; clamped to 0..1, 0 when start equals goal.
    static double LogFnValueToPos(double start, double value, double goal);
};

/// A TBaseProgress that also offers IKrIterationsProgress through KrInterface().
class KRSTD_API TIterationFormProgress : public TBaseProgress, public IKrIterationsProgress {
public:
    explicit TIterationFormProgress(TKrProgressHandler* parent = nullptr, double from = 0.0, double to = 1.0);

    IKrInterface* KrInterface() override { return this; }

    void Start(double startValue) override;
    void Next(double value, double goal) override;
    void NextEvent() override;
    void Stop() override;
    bool IterationBreak() override { return m_iterationBreak; }
    void ResetIterationBreak() override { m_iterationBreak = false; }
    /// Asks the loop to finish after the current iteration.
    void SetIterationBreak() { m_iterationBreak = true; }
    bool UserBreak() override { return TBaseProgress::UserBreak(); }
    var_a<TKrProgressHandler*> SubProgress(TKrLogMsgLevel msgLevel, TKrLogMsgLevel logLevel) override;
    using TBaseProgress::Start;
    using TBaseProgress::SubProgress;

    int Iterations() const noexcept { return m_iterations; }
    double LastValue() const noexcept { return m_lastValue; }

private:
    double m_startValue = 0.0;
    double m_lastValue = 0.0;
    int m_iterations = 0;
    bool m_iterationBreak = false;
};
