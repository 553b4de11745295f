// TMTProgress and TMTSubProgress: progress of parallel workers gathered for one target handler.
#pragma once

#include "Core/KrBaseProgress.h"

#include <list>
#include <mutex>
#include <thread>

class TMTSubProgress;

/// Workers each report through their own TMTSubProgress, which sends increments; the target
/// is only ever told positions on the thread that made this object (the owner), while other
/// threads merely cause ThreadTick on it. The owner applies pending increments whenever it
/// reports itself (for example MoveNB(0, true)). Sub-progresses must die before this object.
class KRSTD_API TMTProgress : public TBaseProgress {
public:
    explicit TMTProgress(var_a<TKrProgressHandler*> target);
    ~TMTProgress() override;

    /// Starts the target, then itself.
    void Start() override;
    bool Timeout() override;
    double GetPos() override;
    void SetPosNB(double pos) override;
    /// Adds `delta` to the pending increment; reports when forced or after 100 ms.
    bool MoveNB(double delta, bool force) override;
    /// On the owner thread the target's CheckBreak; elsewhere TKrMessage("Break") when the
    /// target reports a break.
    void CheckBreak() override;
    /// A TMTSubProgress for from..to; empty unless started and with a target.
    var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                           TKrLogMsgLevel logLevel) override;

    const var_a<TKrProgressHandler*>& Target() const noexcept { return m_target; }
    /// Live sub-progresses.
    std::size_t SubProgressCount();

private:
    friend class TMTSubProgress;
    void PosChangedNB();
    void Unregister(TMTSubProgress* child);

    var_a<TKrProgressHandler*> m_target;
    std::list<TMTSubProgress*> m_children;
    std::mutex m_mutex;
    std::thread::id m_owner;
    double m_pending = 0.0;
    std::uint32_t m_reportTick;
};

/// A worker's share of a TMTProgress: it never sets the parent's position, it sends forced
/// increments of (its progress) x (its range).
class KRSTD_API TMTSubProgress : public TBaseProgress {
public:
    TMTSubProgress(TMTProgress* parent, double from, double to, TKrLogMsgLevel msgLevel,
                   TKrLogMsgLevel logLevel);
    ~TMTSubProgress() override;

    void SetPosNB(double pos) override;
    bool MoveNB(double delta, bool force) override;

private:
    TMTProgress* m_mt;
    double m_pending = 0.0;
};
