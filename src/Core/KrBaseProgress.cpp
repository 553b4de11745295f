// TBaseProgress and the fast sub-range handler.
#include "Core/KrBaseProgress.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Core/KrModule.h"
#include "Core/KrTimer.h"

#include <algorithm>

std::uint32_t KrProgressTickMs() noexcept {
    return static_cast<std::uint32_t>(TKrTimerMs::Elapsed().count());
}

namespace {
constexpr std::uint32_t kReportIntervalMs = 100;
// Far enough in the past that the first report is never held back.
std::uint32_t LongAgo() noexcept {
    return KrProgressTickMs() - 10 * kReportIntervalMs;
}
} // namespace

TBaseProgress::TBaseProgress(TKrProgressHandler* parent, double from, double to, TKrLogMsgLevel visibleLevel,
                             TKrLogMsgLevel logLevel)
    : m_parent(parent), m_from(from), m_to(to), m_range(from < to ? to - from : 0.0),
      m_visibleLevel(visibleLevel), m_logLevel(logLevel), m_lastTick(LongAgo()) {}

TBaseProgress::~TBaseProgress() = default;

void TBaseProgress::NoteTick() noexcept {
    m_lastTick = KrProgressTickMs();
}

void TBaseProgress::LogPhase(const char* textId) {
    if (m_message.empty()) return;
    KrLogWriteInfo(m_message + " " + KrModule_Initializer::instance().get_resource_string(textId),
                   m_logLevel);
}

void TBaseProgress::Start() {
    if (m_started) throw TKrMessage("@TBaseProgress::Start: Progress Already started!");
    LogPhase("global.Started");
    m_started = true;
}

void TBaseProgress::StartIndefinite() {
    if (m_started) throw TKrMessage("@TBaseProgress::StartIndefinite: Progress Already started!");
    m_started = true;
}

void TBaseProgress::Stop() {
    if (!m_started) throw TKrMessage("@TMTSubProgress::Stop: Progress Already stopped!");
    m_started = false;
    LogPhase("global.Finished");
    SetPosNB(1.0);
}

bool TBaseProgress::Timeout() {
    return KrProgressTickMs() - m_lastTick > kReportIntervalMs;
}

void TBaseProgress::Tick() {
    NoteTick();
    if (m_parent) m_parent->Tick();
}

void TBaseProgress::ThreadTick() {
    if (m_parent) m_parent->ThreadTick();
}

void TBaseProgress::SetPosNB(double pos) {
    NoteTick();
    m_position = pos;
    if (m_parent) m_parent->SetPosNB(std::min(1.0, m_from + pos * m_range));
}

bool TBaseProgress::MoveNB(double delta, bool force) {
    const double pos = std::min(1.0, m_position + delta);
    m_position = pos;
    if (!force && !Timeout()) return false;
    SetPosNB(pos);
    return true;
}

bool TBaseProgress::UserBreak() {
    return m_parent && m_parent->UserBreak();
}

void TBaseProgress::UserBreakE() {
    if (m_parent) m_parent->UserBreakE();
}

void TBaseProgress::CheckBreak() {
    if (m_parent) m_parent->CheckBreak();
}

var_a<TKrProgressHandler*> TBaseProgress::SubProgress(double from, double to, TKrLogMsgLevel msgLevel,
                                                      TKrLogMsgLevel logLevel) {
    return new_a<TBaseProgress>(this, from, to, msgLevel, logLevel);
}

IKrInterface* TBaseProgress::KrInterface() {
    return m_parent ? m_parent->KrInterface() : nullptr;
}

namespace {
/// Maps 0..1 onto from..to of a target it never starts or stops.
class TFastProgress final : public TKrProgressHandler {
public:
    TFastProgress(var_a<TKrProgressHandler*> owned, TKrProgressHandler* target, double from, double to,
                  TKrLogMsgLevel level)
        : m_owned(std::move(owned)), m_target(target), m_from(from), m_range(from < to ? to - from : 0.0),
          m_level(level) {}

    void Start() override {
        m_started = true;
        m_position = 0;
        if (m_target->Timeout()) {
            m_target->SetPosNB(m_from);
            m_target->Tick();
        }
    }
    void StartIndefinite() override { m_started = true; }
    void Stop() override {
        m_started = false;
        SetPosNB(1.0);
    }
    bool Timeout() override { return m_target->Timeout(); }
    bool IsStarted() override { return m_started; }
    void Tick() override { m_target->Tick(); }
    void ThreadTick() override { m_target->ThreadTick(); }
    double GetPos() override { return m_position; }
    void SetPosNB(double pos) override {
        m_position = pos;
        m_target->SetPosNB(m_from + pos * m_range);
    }
    bool MoveNB(double delta, bool force) override {
        m_position = std::min(1.0, m_position + delta);
        if (!force && !m_target->Timeout()) return false;
        SetPosNB(m_position);
        return true;
    }
    void SetMessage(const std::string& message) override {
        m_message = message;
        m_target->SetMessage(message);
    }
    std::string GetMessage() override { return m_message; }
    bool UserBreak() override { return m_target->UserBreak(); }
    void UserBreakE() override { m_target->UserBreakE(); }
    void CheckBreak() override { m_target->CheckBreak(); }
    void SetOptions(int options) override { m_target->SetOptions(options); }
    int GetOptions() override { return m_target->GetOptions(); }
    var_a<TKrProgressHandler*> SubProgress(double from, double to, TKrLogMsgLevel, TKrLogMsgLevel) override {
        return CreateFastProgress(m_target, m_from + from * m_range, m_from + to * m_range, m_level);
    }
    var_a<TKrProgressHandler*> InnermostSubProgress(TKrLogMsgLevel a, TKrLogMsgLevel b) override {
        return m_target->InnermostSubProgress(a, b);
    }
    IKrInterface* KrInterface() override { return m_target->KrInterface(); }

private:
    var_a<TKrProgressHandler*> m_owned; // keeps a counted target alive
    TKrProgressHandler* m_target;
    double m_position = 0;
    double m_from, m_range;
    std::string m_message;
    bool m_started = false;
    TKrLogMsgLevel m_level;
};
} // namespace

var_a<TKrProgressHandler*> CreateFastProgressV(const var_a<TKrProgressHandler*>& target, double from,
                                               double to, TKrLogMsgLevel level) {
    if (!target) return {};
    return new_a<TFastProgress>(target, target.get(), from, to, level);
}

var_a<TKrProgressHandler*> CreateFastProgress(TKrProgressHandler* target, double from, double to,
                                              TKrLogMsgLevel level) {
    if (!target) return {};
    return new_a<TFastProgress>(var_a<TKrProgressHandler*>(), target, from, to, level);
}
