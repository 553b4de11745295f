// Scoped progress objects over a nullable handler.
#include "Core/KrProgress.h"

#include <utility>

TKrProgress::TKrProgress(TKrProgressHandler* handler, bool start) : m_handler(handler) {
    if (m_handler && start) Start();
}

TKrProgress::~TKrProgress() {
    if (m_handler && m_startedHere) m_handler->Stop(); // noexcept destructor: a throw terminates
}

void TKrProgress::Start() {
    if (!m_handler) return;
    m_handler->Start();
    m_startedHere = true;
}

void TKrProgress::StartIndefinite() {
    if (!m_handler) return;
    m_handler->StartIndefinite();
    m_startedHere = true;
}

void TKrProgress::Stop() {
    if (!m_handler) return;
    m_handler->Stop();
    m_startedHere = false;
}

void TKrProgress::SetHandler(TKrProgressHandler* handler) {
    if (m_handler && m_startedHere) m_handler->Stop();
    m_startedHere = false;
    m_handler = handler;
}

bool TKrProgress::IsStarted() {
    return m_handler && m_handler->IsStarted();
}
void TKrProgress::SetPosNB(double pos) {
    if (m_handler) m_handler->SetPosNB(pos);
}
bool TKrProgress::MoveNB(double delta, bool force) {
    return m_handler && m_handler->MoveNB(delta, force);
}
void TKrProgress::Tick() {
    if (m_handler) m_handler->Tick();
}
void TKrProgress::SetMessage(const std::string& message) {
    if (m_handler) m_handler->SetMessage(message);
}
std::string TKrProgress::GetMessage() {
    return m_handler ? m_handler->GetMessage() : std::string();
}
bool TKrProgress::UserBreak() {
    return m_handler && m_handler->UserBreak();
}
void TKrProgress::UserBreakE() {
    if (m_handler) m_handler->UserBreakE();
}
void TKrProgress::CheckBreak() {
    if (m_handler) m_handler->CheckBreak();
}
void TKrProgress::SetOptions(int options) {
    if (m_handler) m_handler->SetOptions(options);
}
int TKrProgress::GetOptions() {
    return m_handler ? m_handler->GetOptions() : 0;
}
var_a<TKrProgressHandler*> TKrProgress::SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                                    TKrLogMsgLevel logLevel) {
    return m_handler ? m_handler->SubProgress(from, to, msgLevel, logLevel) : var_a<TKrProgressHandler*>();
}
var_a<TKrProgressHandler*> TKrProgress::InnermostSubProgress(TKrLogMsgLevel msgLevel,
                                                             TKrLogMsgLevel logLevel) {
    return m_handler ? m_handler->InnermostSubProgress(msgLevel, logLevel) : var_a<TKrProgressHandler*>();
}
IKrInterface* TKrProgress::KrInterface() {
    return m_handler ? m_handler->KrInterface() : nullptr;
}

var_a<TKrProgressHandler*> TKrProgress::SubProgressIf(bool cond, double from, double to) {
    if (!m_handler) return {};
    if (!cond) return static_a(m_handler);
    if (!m_startedHere) Start();
    return m_handler->SubProgress(from, to, 3, 3);
}

TKrProgressVar::TKrProgressVar(var_a<TKrProgressHandler*> handler, bool start)
    : TKrProgress(handler.get(), start), m_owned(std::move(handler)) {}

TKrProgressVar::~TKrProgressVar() {
    // Stop while the handler is still owned; the base destructor then has nothing to do.
    if (m_handler && m_startedHere) m_handler->Stop();
    m_startedHere = false;
}

void TKrProgressVar::SetHandlerV(var_a<TKrProgressHandler*> handler) {
    SetHandler(handler.get());
    m_owned = std::move(handler);
}

TKrStepProgress::~TKrStepProgress() {
    if (m_handler && m_startedHere) m_handler->Stop();
}

void TKrStepProgress::Start(std::uint64_t n) {
    m_total = n;
    m_count = 0;
    if (m_handler && !m_handler->IsStarted()) {
        m_handler->Start();
        m_startedHere = true;
    }
}

void TKrStepProgress::Report(bool force) {
    ++m_count;
    if (!m_handler) return;
    if (m_total != 0 && (force || m_handler->Timeout())) {
        m_handler->SetPosNB(static_cast<double>(m_count) / static_cast<double>(m_total));
        m_handler->CheckBreak();
    }
    m_handler->Tick();
}

void TKrStepProgress::Next() {
    Report(false);
}
void TKrStepProgress::NextEvent() {
    Report(true);
}

void TKrStepProgress::Stop() {
    if (m_handler && m_startedHere) m_handler->Stop();
    m_startedHere = false;
}
