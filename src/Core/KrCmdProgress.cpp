// Console progress for tools: the terminal bar, plain batch lines, the log hook and Ctrl-C.
#include "Core/KrCmdProgress.h"
#include "Core/KrBaseProgress.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>

template class TKrCommonProgressImpl<TKrCmdProgressForm>;

namespace {
constexpr std::uint32_t kDrawIntervalMs = 100;
constexpr std::size_t kBarCells = 24;
volatile std::sig_atomic_t g_interrupted = 0;

bool IsTerminal(std::FILE* out) {
    if (!out || !::isatty(::fileno(out))) return false;
    const char* term = std::getenv("TERM");
    return !term || std::strcmp(term, "dumb") != 0;
}

/// Batch output shows the levels the log shows: those with a message and a log level of 3 or less.
bool Printed(const TKrConsoleProgressForm::TLevel& level) {
    return !level.message.empty() && level.logLevel <= 3;
}

int Percent(double pos) {
    if (!(pos >= 0.0)) return 0; // NaN too
    return static_cast<int>(std::min(pos, 1.0) * 100.0);
}

/// `text` cut to at most `width` bytes without splitting a UTF-8 sequence.
std::string CutUtf8(std::string text, std::size_t width) {
    if (text.size() <= width) return text;
    std::size_t n = width;
    while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
        --n;
    text.resize(n);
    return text;
}

extern "C" void KrCmdOnInterrupt(int) {
    if (g_interrupted) {
        std::signal(SIGINT, SIG_DFL);
        std::raise(SIGINT);
        return;
    }
    g_interrupted = 1;
}
} // namespace

// ---- the form ------------------------------------------------------------------------------------

TKrCmdProgressForm::TKrCmdProgressForm(std::FILE* out)
    : m_out(out ? out : stdout), m_interactive(IsTerminal(m_out)) {}

TKrCmdProgressForm::~TKrCmdProgressForm() {
    ClearBar();
}

void TKrCmdProgressForm::Put(const std::string& bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), m_out);
    std::fflush(m_out);
}

std::size_t TKrCmdProgressForm::Width() const {
    struct winsize ws {};
    if (::ioctl(::fileno(m_out), TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
    return 80;
}

bool TKrCmdProgressForm::AnyStarted() const {
    return std::any_of(m_levels.begin(), m_levels.end(), [](const TLevel& l) { return l.started; });
}

std::string TKrCmdProgressForm::BarText(std::size_t width) const {
    if (m_levels.empty() || width < 2) return std::string();
    const TLevel& root = m_levels[0];
    std::string line = "[";
    if (root.indefinite) {
        // A three-cell block sweeping back and forth.
        const std::size_t span = kBarCells - 3;
        const std::size_t step = m_spin % (2 * span);
        const std::size_t at = step <= span ? step : 2 * span - step;
        line += std::string(at, '-') + "<=>" + std::string(kBarCells - 3 - at, '-') + "]    ";
    } else {
        const std::size_t filled = static_cast<std::size_t>(Percent(root.position)) * kBarCells / 100;
        line += std::string(filled, '#') + std::string(kBarCells - filled, '-') + "] ";
        char pct[8];
        std::snprintf(pct, sizeof pct, "%3d%%", Percent(root.position));
        line += pct;
    }
    std::string messages;
    for (std::size_t i = 0; i < m_levels.size(); ++i) {
        const TLevel& l = m_levels[i];
        if (l.message.empty()) continue;
        if (!messages.empty()) messages += " > ";
        messages += l.message;
    }
    if (!messages.empty()) line += " " + messages;
    if (m_levels.size() > 1 && !m_levels.back().indefinite && m_levels.back().started)
        line += " (" + std::to_string(Percent(m_levels.back().position)) + "%)";
    return CutUtf8(line, width - 1);
}

void TKrCmdProgressForm::Draw(bool force) {
    if (!m_interactive) return;
    const std::uint32_t now = KrProgressTickMs();
    if (!force && now - m_lastDraw < kDrawIntervalMs) {
        m_changed = true;
        return;
    }
    if (!AnyStarted()) return;
    Put("\r" + BarText(Width()) + "\033[K");
    m_barShown = true;
    m_changed = false;
    m_lastDraw = now;
}

void TKrCmdProgressForm::ClearBar() {
    if (!m_barShown) return;
    Put("\r\033[K");
    m_barShown = false;
}

void TKrCmdProgressForm::PrintLine(const std::string& text) {
    if (m_interactive) {
        ClearBar();
        Put(text + "\n");
        Draw(true);
    } else {
        Put(text + "\n");
    }
}

void TKrCmdProgressForm::Start(unsigned long level, TKrLogMsgLevel logLevel, bool flag) {
    TKrConsoleProgressForm::Start(level, logLevel, flag);
    if (m_interactive) {
        Draw(true);
    } else if (Printed(m_levels[level])) {
        Put(std::string(2 * std::min<unsigned long>(level, 8), ' ') + m_levels[level].message + "\n");
    }
}

void TKrCmdProgressForm::StartIndefinite(unsigned long level, TKrLogMsgLevel logLevel) {
    Start(level, logLevel, true);
}

void TKrCmdProgressForm::End(unsigned long level) {
    if (level >= m_levels.size()) return;
    const std::string message = m_levels[level].message;
    const bool started = m_levels[level].started;
    const bool printed = Printed(m_levels[level]);
    const double seconds =
        static_cast<std::uint32_t>(KrProgressTickMs() - m_levels[level].startTick) / 1000.0;
    TKrConsoleProgressForm::End(level);
    const std::string summary =
        message + (UserBreak() ? ": cancelled (" : ": done (") + FormatElapsed(seconds) + ")";
    if (m_interactive) {
        if (level == 0) {
            ClearBar();
            if (started && !message.empty()) Put(summary + "\n");
        } else {
            Draw(true);
        }
    } else if (started && printed) {
        Put(std::string(2 * std::min<unsigned long>(level, 8), ' ') + summary + "\n");
    }
}

void TKrCmdProgressForm::SetPos(unsigned long level, double pos) {
    TKrConsoleProgressForm::SetPos(level, pos);
    Draw(false);
}

void TKrCmdProgressForm::SetMessage(unsigned long level, const std::string& message) {
    const bool changed = GetMessage(level) != message;
    TKrConsoleProgressForm::SetMessage(level, message);
    if (!changed) return;
    if (m_interactive)
        Draw(false);
    else if (m_levels[level].started && Printed(m_levels[level]))
        Put(std::string(2 * std::min<unsigned long>(level, 8), ' ') + message + "\n");
}

void TKrCmdProgressForm::CheckBreak() {
    if (g_interrupted) SetUserBreak(true);
    UserBreakE();
}

void TKrCmdProgressForm::Refresh() {
    if (!m_levels.empty() && m_levels[0].indefinite) {
        ++m_spin;
        m_changed = true;
    }
    if (m_changed) Draw(false);
}

void TKrCmdProgressForm::SetInteractive(bool on) {
    if (!on) ClearBar();
    m_interactive = on;
}

// ---- the root and its log hook -------------------------------------------------------------------

/// The extra log sink that shows errors and warnings above the bar.
class TKrCmdProgressImpl::TLogHook final : public TKrLog {
public:
    TLogHook(TKrCmdProgressForm& form, TKrLog* previous) : m_form(form), m_previous(previous) {}
    bool Write(const std::string& source, const std::string& text, TKrLogMsgType type, TKrLogMsgLevel level,
               int extra) override {
        if (m_previous) m_previous->Write(source, text, type, level, extra);
        if (type != TE_KrLogMsgType::lmtInfo && level <= 3)
            m_form.PrintLine((type == TE_KrLogMsgType::lmtError ? "error: " : "warning: ") + text);
        return true;
    }
    TKrLog* Previous() const noexcept { return m_previous; }

private:
    TKrCmdProgressForm& m_form;
    TKrLog* m_previous;
};

TKrCmdProgressImpl::TKrCmdProgressImpl(std::FILE* out)
    : TKrCmdProgressFormOwner(out), TKrCommonProgressImpl<TKrCmdProgressForm>(
                                        &m_cmdForm, 0, 0, nullptr, KrProgressTickMs(), 0.0, 1.0, 3) {}

TKrCmdProgressImpl::~TKrCmdProgressImpl() {
    UnhookLog();
    if (IsStarted()) {
        try {
            Stop();
        } catch (...) {
        }
    }
}

void TKrCmdProgressImpl::WaitOK(bool wait) {
    if (!wait || !IsInteractive() || !::isatty(STDIN_FILENO)) return;
    PrintLine("Press Enter to continue...");
    for (int c; (c = std::getchar()) != EOF && c != '\n';) {
    }
}

void TKrCmdProgressImpl::HookLog() {
    if (m_hook) return;
    m_hook = std::make_unique<TLogHook>(m_cmdForm, KrLogGetLog());
    KrLogSetLog(m_hook.get());
}

void TKrCmdProgressImpl::UnhookLog() {
    if (!m_hook) return;
    if (KrLogGetLog() == m_hook.get()) KrLogSetLog(m_hook->Previous());
    m_hook.reset();
}

// ---- sub-progress and the null-tolerant helpers --------------------------------------------------

TKrCmdSubProgress::TKrCmdSubProgress(TKrCmdProgressImpl* root, double from, double to,
                                     TKrLogMsgLevel msgLevel, TKrLogMsgLevel logLevel)
    : m_root(root) {
    if (root) m_handler = root->SubProgress(from, to, msgLevel, logLevel);
}

void TKrCmdSubProgress::MakeInteractive() {
    ::MakeInteractive(m_root);
}
void TKrCmdSubProgress::MakeBatch() {
    ::MakeBatch(m_root);
}
void TKrCmdSubProgress::WaitOK(bool wait) {
    ::WaitOK(m_root, wait);
}
bool TKrCmdSubProgress::UserBreak() {
    return m_handler && m_handler->UserBreak();
}
void TKrCmdSubProgress::UserBreakE() {
    if (m_handler) m_handler->UserBreakE();
}

void MakeInteractive(TKrCmdProgressImpl* progress) {
    if (progress) progress->MakeInteractive();
}
void MakeBatch(TKrCmdProgressImpl* progress) {
    if (progress) progress->MakeBatch();
}
void WaitOK(TKrCmdProgressImpl* progress, bool wait) {
    if (progress) progress->WaitOK(wait);
}
void MakeInteractive(TKrCmdSubProgress* progress) {
    if (progress) progress->MakeInteractive();
}
void MakeBatch(TKrCmdSubProgress* progress) {
    if (progress) progress->MakeBatch();
}
void WaitOK(TKrCmdSubProgress* progress, bool wait) {
    if (progress) progress->WaitOK(wait);
}

void KrCmdCatchInterrupt() {
    struct sigaction sa {};
    sa.sa_handler = &KrCmdOnInterrupt;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &sa, nullptr);
}

bool KrCmdInterrupted() noexcept {
    return g_interrupted != 0;
}

void KrCmdResetInterrupt() noexcept {
    g_interrupted = 0;
}
