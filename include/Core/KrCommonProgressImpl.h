// TKrCommonProgressImpl: the progress handler over the levels of a progress form.
#pragma once

#include "Core/KrBaseProgress.h"
#include "Core/KrConsoleProgressForm.h"
#include "Core/KrProgressHandler.h"

#include <cstdint>
#include <stdexcept>

/// A handler that shows itself on one level of a form (`TForm`: TKrConsoleProgressForm or a form
/// with the same operations). Mode 0 owns its form level (start, position, message and end go to
/// the form); modes 1 and 2 own none and only pass positions to the parent; mode 2 also makes its
/// own children show only for important levels. Reports to the parent are throttled by the
/// form's update timeout, so loops may call MoveNB per item. Children keep a plain pointer to
/// their parent and must go first. Single-threaded.
template <class TForm> class KRSTD_API TKrCommonProgressImpl : public TKrProgressHandler {
public:
    TKrCommonProgressImpl(TForm* form, unsigned long level, std::int32_t mode, TKrCommonProgressImpl* parent,
                          std::uint32_t tick, double from, double to, TKrLogMsgLevel logLevel)
        : m_form(form), m_level0(level), m_level(level), m_mode0(mode), m_mode(mode), m_parent(parent),
          m_from(from), m_span(to - from), m_logLevel(logLevel), m_lastUpdate(tick), m_lastRefresh(tick) {
        m_block = m_span == 0.0 || (parent && parent->GetBlockFlag());
        m_form->GetTimeouts(&m_updateTimeout, &m_refreshInterval);
    }
    TKrCommonProgressImpl(const TKrCommonProgressImpl&) = delete;
    TKrCommonProgressImpl& operator=(const TKrCommonProgressImpl&) = delete;

    void Start() override { StartImpl(false); }
    void StartIndefinite() override { StartImpl(true); }
    /// Ends the own form level (mode 0), gives the parent the end of this range and restores the
    /// level and mode a SubProgress call before Start may have lent to a child.
    void Stop() override {
        m_indefinite = false;
        bool ended = false;
        if (m_mode <= 0) {
            m_form->End(m_level);
            m_used = false;
            ended = true;
        }
        m_mode = m_mode0;
        m_level = m_level0;
        if (m_parent) {
            if (ended || Expired()) {
                try {
                    m_parent->SetPosNB(m_from + m_span);
                } catch (...) {
                }
                Touch();
            }
        } else if (ended) {
            Touch();
        }
        m_started = false;
    }
    bool Timeout() override { return Expired(); }
    bool IsStarted() override { return m_started; }
    void Tick() override {
        m_form->CheckBreak();
        const std::uint32_t now = KrProgressTickMs();
        if (now - m_lastRefresh >= m_refreshInterval) {
            m_form->Refresh();
            m_lastRefresh = now;
            m_form->GetTimeouts(&m_updateTimeout, &m_refreshInterval);
        }
    }
    void ThreadTick() override {}
    double GetPos() override { return m_position; }
    void SetPosNB(double pos) override {
        m_position = pos;
        if (m_mode <= 0) {
            m_form->SetPos(m_level, pos);
            m_used = true;
        }
        if (m_parent) m_parent->SetPosNB(pos * m_span + m_from);
        Touch();
    }
    bool MoveNB(double delta, bool force) override {
        if (force || Expired()) {
            SetPosNB(m_position + delta);
            return true;
        }
        m_position += delta;
        return false;
    }
    void SetMessage(const std::string& message) override {
        if (m_mode <= 0) {
            m_form->SetMessage(m_level, message);
            m_used = true;
        }
        Touch();
    }
    std::string GetMessage() override { return m_mode >= 1 ? std::string() : m_form->GetMessage(m_level); }
    bool UserBreak() override { return m_form->UserBreak(); }
    void UserBreakE() override { m_form->UserBreakE(); }
    void CheckBreak() override { m_form->CheckBreak(); }
    void SetOptions(int) override {
        m_form->CheckBreak();
        m_used = true;
    }
    int GetOptions() override {
        m_used = true;
        return 0;
    }
    /// A child for from..to. Before Start, a handler that has not written to its level lends
    /// the level to the child (Stop takes it back); one that has throws std::runtime_error.
    var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                           TKrLogMsgLevel logLevel) override {
        if (!m_started && m_mode <= 0) {
            if (m_used)
                throw std::runtime_error(
                    "@TKrCommonProgressImpl<T>::SubProgress(): SubProgress() called before "
                    "Start(), but the FForm has already been used.");
            m_mode = 1;
            --m_level; // wraps for level 0; the child's level + 1 wraps back
        }
        var_a<TKrProgressHandler*> child = MakeChild(msgLevel, m_level, from, to, logLevel);
        m_used = true;
        return child;
    }
    /// A child at the form's innermost level with the range p..p (p: that level's position), so
    /// its reports leave every position as it is.
    var_a<TKrProgressHandler*> InnermostSubProgress(TKrLogMsgLevel msgLevel,
                                                    TKrLogMsgLevel logLevel) override {
        const unsigned long n = m_form->GetInnermostProgressLevel();
        const double p = m_form->GetPos(n);
        return MakeChild(msgLevel, n, p, p, logLevel);
    }
    IKrInterface* KrInterface() override { return nullptr; }
    /// True when this handler or an ancestor has an empty range: its positions mean nothing.
    virtual bool GetBlockFlag() { return m_block; }
    /// Stops a started handler; failures are swallowed. Declared after GetBlockFlag so that the
    /// slots of the handler interface and GetBlockFlag come first.
    virtual ~TKrCommonProgressImpl() {
        if (!m_started) return;
        try {
            Stop();
        } catch (...) {
        }
    }

    TForm* Form() const noexcept { return m_form; }
    unsigned long GetLevel() const noexcept { return m_level; }
    std::int32_t GetMode() const noexcept { return m_mode; }

private:
    bool Expired() const { return KrProgressTickMs() - m_lastUpdate >= m_updateTimeout; }
    void Touch() {
        m_lastUpdate = m_lastRefresh = KrProgressTickMs();
        m_form->GetTimeouts(&m_updateTimeout, &m_refreshInterval);
    }
    void StartImpl(bool indefinite) {
        m_form->CheckBreak();
        if (m_block || indefinite) m_indefinite = true;
        if (m_mode <= 0) {
            if (indefinite)
                m_form->StartIndefinite(m_level, m_logLevel);
            else
                m_form->Start(m_level, m_logLevel, false);
            m_used = true;
            m_started = true;
            SetPosNB(0.0);
        } else {
            m_started = true;
            if (Expired()) SetPosNB(0.0);
        }
    }
    /// Own form level (one below `level`) when msgLevel passes this handler's threshold,
    /// otherwise the same level in mode 1 or 2.
    var_a<TKrProgressHandler*> MakeChild(TKrLogMsgLevel msgLevel, unsigned long level, double from, double to,
                                         TKrLogMsgLevel logLevel) {
        bool own;
        std::int32_t mode = 2;
        if (m_mode <= 1) {
            own = msgLevel <= m_form->GetPrgLogLevelVisible();
            if (msgLevel <= m_form->GetPrgLogLevelInvisible()) mode = 1;
        } else {
            own = msgLevel <= m_form->GetPrgLogLevelImportant();
        }
        if (own) mode = 0;
        return new_a<TKrCommonProgressImpl>(m_form, own ? level + 1 : level, mode, this, m_lastUpdate, from,
                                            to, logLevel);
    }

    TForm* m_form;
    unsigned long m_level0;
    unsigned long m_level;
    bool m_used = false;
    std::int32_t m_mode0;
    std::int32_t m_mode;
    TKrCommonProgressImpl* m_parent;
    double m_position = 0.0;
    double m_from;
    double m_span;
    TKrLogMsgLevel m_logLevel;
    bool m_started = false;
    bool m_block = false;
    bool m_indefinite = false;
    std::uint32_t m_lastUpdate;
    std::uint32_t m_lastRefresh;
    std::uint32_t m_updateTimeout = 100;
    std::uint32_t m_refreshInterval = 100;
};

extern template class TKrCommonProgressImpl<TKrConsoleProgressForm>;
