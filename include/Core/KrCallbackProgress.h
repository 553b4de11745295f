// Callback-style progress: light objects that only receive positions, for code below the handlers.
#pragma once

#include "Core/KrExport.h"

#include <cstdint>

namespace KrProgress {
namespace CallbackDouble {

/// Where a callback object lies in its root: the root and the root's range it covers.
struct TBaseInfo {
    const class TBase* root;
    double from;
    double to;
};

/// Receives positions 0..1, or -1 when the position is not known.
class KRSTD_API TBase {
public:
    virtual ~TBase();
    virtual void SetPos(double pos) = 0;
    virtual TBaseInfo GetBaseInfo() const;

    /// value / total; -1 when |value| * 1e-10 >= |total| (the ratio means nothing).
    void SetPos(double value, double total);
    /// value / total; -1 for total 0.
    void SetPos(std::int64_t value, std::int64_t total);
};

/// Calls SetPos(0) on construction and SetPos(1) on destruction (null objects are fine).
class KRSTD_API TStarter {
public:
    explicit TStarter(TBase* progress);
    ~TStarter();
    TStarter(const TStarter&) = delete;
    TStarter& operator=(const TStarter&) = delete;

private:
    TBase* m_progress;
};

} // namespace CallbackDouble

/// Ignores every position.
class KRSTD_API TKrProgressNull : public CallbackDouble::TBase {
public:
    void SetPos(double) override {}
    using CallbackDouble::TBase::SetPos;
};

/// Maps 0..1 onto from..to of a parent (which may be null); -1 passes through.
class KRSTD_API TKrProgressRg : public CallbackDouble::TBase {
public:
    TKrProgressRg(CallbackDouble::TBase* parent, double from, double to);
    void SetPos(double pos) override;
    using CallbackDouble::TBase::SetPos;
    CallbackDouble::TBaseInfo GetBaseInfo() const override;

private:
    CallbackDouble::TBase* m_parent;
    double m_from;
    double m_to;
};

/// Counts steps of a known total and reports count / total within from..to of the parent.
class KRSTD_API TKrProgressStepRg : public TKrProgressRg {
public:
    TKrProgressStepRg(CallbackDouble::TBase* parent, double from, double to);
    void Start(std::int64_t total);
    void Step(std::int64_t steps = 1);
    void End();
    std::int64_t Count() const noexcept { return m_count; }

private:
    std::int64_t m_total = 0;
    std::int64_t m_count = 0;
};

namespace CallbackStep {
/// Starts a step counter for `total` steps on construction and ends it on destruction.
class KRSTD_API TStarter {
public:
    TStarter(TKrProgressStepRg* progress, std::int64_t total);
    ~TStarter();
    TStarter(const TStarter&) = delete;
    TStarter& operator=(const TStarter&) = delete;

private:
    TKrProgressStepRg* m_progress;
};
} // namespace CallbackStep

} // namespace KrProgress
