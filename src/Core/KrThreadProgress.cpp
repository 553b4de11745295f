// TKrThreadProgressHandler: progress state shared under one mutex between worker and controller.
#include "Core/KrThreadProgress.h"
#include "Core/KrBaseProgress.h"
#include "Core/KrMessage.h"

#include <algorithm>
#include <mutex>

struct TKrThreadProgressHandler::TShared {
    bool breakRequested = false;
    bool breakThrown = false;
    bool started = false;
    std::mutex mutex;
    std::uint32_t lastChange = 0;
};

const char* const TKrThreadProgressHandler::TBreakException::s_What = "User break";
const char* TKrThreadProgressHandler::TBreakException::what() const noexcept {
    return s_What;
}

TKrThreadProgressHandler::TKrThreadProgressHandler() : TKrThreadProgressHandler(nullptr, 0.0, 1.0) {}

TKrThreadProgressHandler::TKrThreadProgressHandler(TKrThreadProgressHandler* parent, double from, double to)
    : m_parent(parent), m_from(from), m_to(to), m_scale(to - from > 0 ? to - from : 1.0),
      m_shared(parent ? parent->m_shared : std::make_shared<TShared>()) {
    if (!parent) m_shared->lastChange = KrProgressTickMs() - 1000; // the first report is never held back
}

TKrThreadProgressHandler::~TKrThreadProgressHandler() = default;

void TKrThreadProgressHandler::SetUserBreak() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->breakRequested = true;
}

void TKrThreadProgressHandler::Start() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (!m_parent) {
        m_shared->breakRequested = false;
        m_shared->breakThrown = false;
    }
    m_shared->started = true;
}

void TKrThreadProgressHandler::StartIndefinite() {
    throw TKrMessage("@TKrThreadProgressHandler::StartIndefinite Not implemented");
}

void TKrThreadProgressHandler::Stop() {
    SetPosNB(1.0);
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    if (!m_parent) m_shared->started = false;
}

bool TKrThreadProgressHandler::Timeout() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return KrProgressTickMs() - m_shared->lastChange > 100;
}

bool TKrThreadProgressHandler::IsStarted() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->started;
}

void TKrThreadProgressHandler::Tick() {
    CheckBreak();
}

double TKrThreadProgressHandler::GetPos() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_position;
}

void TKrThreadProgressHandler::SetPosNB(double pos) {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_position = pos;
    for (TKrThreadProgressHandler* child = this; child->m_parent; child = child->m_parent)
        child->m_parent->m_position = child->m_position * child->m_scale + child->m_from;
    m_shared->lastChange = KrProgressTickMs();
}

bool TKrThreadProgressHandler::MoveNB(double delta, bool force) {
    const bool report = force || Timeout();
    SetPosNB(std::min(1.0, GetPos() + delta));
    return report;
}

void TKrThreadProgressHandler::SetMessage(const std::string& message) {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_message = message;
}

std::string TKrThreadProgressHandler::GetMessage() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_message;
}

bool TKrThreadProgressHandler::UserBreak() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_shared->breakRequested;
}

void TKrThreadProgressHandler::UserBreakE() {
    if (UserBreak()) throw TBreakException();
}

void TKrThreadProgressHandler::CheckBreak() {
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    if (!m_shared->breakRequested || m_shared->breakThrown) return;
    m_shared->breakThrown = true;
    lock.unlock();
    throw TBreakException();
}

void TKrThreadProgressHandler::SetOptions(int options) {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_options = options;
}

int TKrThreadProgressHandler::GetOptions() {
    std::lock_guard<std::mutex> lock(m_shared->mutex);
    return m_options;
}

var_a<TKrProgressHandler*> TKrThreadProgressHandler::SubProgress(double from, double to, TKrLogMsgLevel,
                                                                 TKrLogMsgLevel) {
    // The private constructor is reachable from here only; new_a needs a public one.
    struct TChild : TKrThreadProgressHandler {
        TChild(TKrThreadProgressHandler* parent, double from, double to)
            : TKrThreadProgressHandler(parent, from, to) {}
    };
    return new_a<TChild>(this, from, to);
}
