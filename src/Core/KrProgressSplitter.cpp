// TKrProgressSplitter: fan-out of progress reports.
#include "Core/KrProgressSplitter.h"

TKrProgressSplitter::~TKrProgressSplitter() = default;

void TKrProgressSplitter::push_back(var_a<TKrProgressHandler*> handler) {
    if (handler) m_handlers.push_back(std::move(handler));
}

void TKrProgressSplitter::Start() {
    m_started = true;
    m_position = 0.0;
    for (auto& h : m_handlers)
        h->Start();
    if (m_parent) m_parent->m_position = m_from;
}

void TKrProgressSplitter::StartIndefinite() {
    m_started = true;
    m_position = 0.0;
    for (auto& h : m_handlers)
        h->StartIndefinite();
    if (m_parent) m_parent->m_position = m_from;
}

void TKrProgressSplitter::Stop() {
    for (auto it = m_handlers.rbegin(); it != m_handlers.rend(); ++it)
        (*it)->Stop();
    if (m_parent) m_parent->m_position = m_to;
    m_started = false;
}

bool TKrProgressSplitter::Timeout() {
    return !m_handlers.empty() && m_handlers.front()->Timeout();
}

void TKrProgressSplitter::Tick() {
    for (auto& h : m_handlers)
        h->Tick();
}

void TKrProgressSplitter::ThreadTick() {
    for (auto& h : m_handlers)
        h->ThreadTick();
}

void TKrProgressSplitter::PropagateUp() {
    // The parents only learn the position; their own handlers hear from their children.
    for (TKrProgressSplitter* child = this; child->m_parent; child = child->m_parent)
        child->m_parent->m_position = child->m_from + child->m_position * (child->m_to - child->m_from);
}

void TKrProgressSplitter::SetPosNB(double pos) {
    m_position = pos;
    for (auto& h : m_handlers)
        h->SetPosNB(pos);
    PropagateUp();
}

bool TKrProgressSplitter::MoveNB(double delta, bool force) {
    if (!force && !Timeout()) {
        m_position += delta;
        return false;
    }
    SetPosNB(m_position + delta);
    return true;
}

void TKrProgressSplitter::SetMessage(const std::string& message) {
    for (auto& h : m_handlers)
        h->SetMessage(message);
}

std::string TKrProgressSplitter::GetMessage() {
    return m_handlers.empty() ? std::string() : m_handlers.front()->GetMessage();
}

bool TKrProgressSplitter::UserBreak() {
    for (auto& h : m_handlers)
        if (h->UserBreak()) return true;
    return false;
}

void TKrProgressSplitter::UserBreakE() {
    for (auto& h : m_handlers)
        h->UserBreakE();
}

void TKrProgressSplitter::CheckBreak() {
    for (auto& h : m_handlers)
        h->CheckBreak();
}

void TKrProgressSplitter::SetOptions(int options) {
    m_options = options;
    for (auto& h : m_handlers)
        h->SetOptions(options);
}

var_a<TKrProgressHandler*> TKrProgressSplitter::SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                                            TKrLogMsgLevel logLevel) {
    auto child = new_a<TKrProgressSplitter>();
    child->m_parent = this;
    child->m_from = from;
    child->m_to = to;
    for (auto& h : m_handlers)
        child->push_back(h->SubProgress(from, to, msgLevel, logLevel));
    return child;
}

IKrInterface* TKrProgressSplitter::KrInterface() {
    return m_handlers.empty() ? nullptr : m_handlers.front()->KrInterface();
}
