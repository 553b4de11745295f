// Callback-style progress objects.
#include "Core/KrCallbackProgress.h"

#include <cmath>

namespace KrProgress {
namespace CallbackDouble {

TBase::~TBase() = default;

TBaseInfo TBase::GetBaseInfo() const {
    return {this, 0.0, 1.0};
}

void TBase::SetPos(double value, double total) {
    SetPos(std::fabs(value) * 1e-10 >= std::fabs(total) ? -1.0 : value / total);
}

void TBase::SetPos(std::int64_t value, std::int64_t total) {
    SetPos(total == 0 ? -1.0 : static_cast<double>(value) / static_cast<double>(total));
}

TStarter::TStarter(TBase* progress) : m_progress(progress) {
    if (m_progress) m_progress->SetPos(0.0);
}

TStarter::~TStarter() {
    if (m_progress) m_progress->SetPos(1.0);
}

} // namespace CallbackDouble

TKrProgressRg::TKrProgressRg(CallbackDouble::TBase* parent, double from, double to)
    : m_parent(parent), m_from(from), m_to(to) {}

void TKrProgressRg::SetPos(double pos) {
    if (m_parent) m_parent->SetPos(pos < 0 ? -1.0 : m_from + pos * (m_to - m_from));
}

CallbackDouble::TBaseInfo TKrProgressRg::GetBaseInfo() const {
    if (!m_parent) return {this, m_from, m_to};
    CallbackDouble::TBaseInfo up = m_parent->GetBaseInfo();
    const double span = up.to - up.from;
    return {up.root, up.from + m_from * span, up.from + m_to * span};
}

TKrProgressStepRg::TKrProgressStepRg(CallbackDouble::TBase* parent, double from, double to)
    : TKrProgressRg(parent, from, to) {}

void TKrProgressStepRg::Start(std::int64_t total) {
    m_total = total;
    m_count = 0;
    SetPos(0.0);
}

void TKrProgressStepRg::Step(std::int64_t steps) {
    m_count += steps;
    CallbackDouble::TBase::SetPos(m_count, m_total);
}

void TKrProgressStepRg::End() {
    SetPos(1.0);
}

namespace CallbackStep {
TStarter::TStarter(TKrProgressStepRg* progress, std::int64_t total) : m_progress(progress) {
    if (m_progress) m_progress->Start(total);
}
TStarter::~TStarter() {
    if (m_progress) m_progress->End();
}
} // namespace CallbackStep

} // namespace KrProgress
