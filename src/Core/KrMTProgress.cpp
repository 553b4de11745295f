// Progress of parallel workers: increments gathered under a mutex, applied by the owner thread.
#include "Core/KrMTProgress.h"
#include "Core/KrMessage.h"

#include <algorithm>

TMTProgress::TMTProgress(var_a<TKrProgressHandler*> target)
    : TBaseProgress(target.get(), 0.0, 1.0, 3, 3), m_target(std::move(target)),
      m_owner(std::this_thread::get_id()), m_reportTick(KrProgressTickMs() - 1000) {
    if (m_target) m_message = m_target->GetMessage();
}

TMTProgress::~TMTProgress() = default;

void TMTProgress::Start() {
    if (m_target) m_target->Start();
    TBaseProgress::Start();
}

bool TMTProgress::Timeout() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return KrProgressTickMs() - m_reportTick > 100;
}

double TMTProgress::GetPos() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_position;
}

void TMTProgress::SetPosNB(double pos) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_position = pos;
        m_pending = 0.0;
    }
    PosChangedNB();
}

bool TMTProgress::MoveNB(double delta, bool force) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pending += delta;
    }
    if (!force && !Timeout()) return false;
    PosChangedNB();
    return true;
}

void TMTProgress::PosChangedNB() {
    if (!m_target) return;
    if (std::this_thread::get_id() != m_owner) {
        m_target->ThreadTick();
        return;
    }
    double pos;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_position = std::min(1.0, m_position + m_pending);
        m_pending = 0.0;
        m_reportTick = KrProgressTickMs();
        pos = m_position;
    }
    m_target->SetPosNB(pos);
}

void TMTProgress::CheckBreak() {
    if (!m_target) return;
    if (std::this_thread::get_id() == m_owner)
        m_target->CheckBreak();
    else if (m_target->UserBreak())
        throw TKrMessage("Break");
}

var_a<TKrProgressHandler*> TMTProgress::SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                                    TKrLogMsgLevel logLevel) {
    if (!m_started || !m_target) return {};
    auto child = new_a<TMTSubProgress>(this, from, to, msgLevel, logLevel);
    std::lock_guard<std::mutex> lock(m_mutex);
    m_children.push_back(child.get());
    return child;
}

std::size_t TMTProgress::SubProgressCount() {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_children.size();
}

void TMTProgress::Unregister(TMTSubProgress* child) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_children.remove(child);
}

TMTSubProgress::TMTSubProgress(TMTProgress* parent, double from, double to, TKrLogMsgLevel msgLevel,
                               TKrLogMsgLevel logLevel)
    : TBaseProgress(parent, from, to, msgLevel, logLevel), m_mt(parent) {}

TMTSubProgress::~TMTSubProgress() {
    m_mt->Unregister(this);
}

void TMTSubProgress::SetPosNB(double pos) {
    const double increment = (pos - m_position + m_pending) * m_range;
    m_position = pos;
    m_pending = 0.0;
    NoteTick();
    m_mt->MoveNB(increment, true);
}

bool TMTSubProgress::MoveNB(double delta, bool force) {
    if (!force && !Timeout()) {
        m_pending += delta;
        return false;
    }
    m_position = std::min(1.0, m_position + m_pending + delta);
    const double increment = (m_pending + delta) * m_range;
    m_pending = 0.0;
    NoteTick();
    m_mt->MoveNB(increment, true);
    return true;
}
