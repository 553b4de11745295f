// TKrConsoleProgressForm: level bookkeeping and the "Progress" start and end records.
#include "Core/KrConsoleProgressForm.h"
#include "Core/KrBaseProgress.h"
#include "Core/KrExceptions.h"
#include "Core/KrLanguage.h"
#include "Core/KrLog.h"
#include "Core/KrMessage.h"
#include "Core/KrModule.h"
#include "Core/KrStringFormat.h"

#include <cmath>
#include <cstring>

namespace {
constexpr std::uint32_t kTimeoutMs = 100;
const char* const kSource = "Progress";

/// The conversions of a printf format, each reduced to its length modifier and letter ("lu",
/// "s"); "%%" is skipped. Empty with `ok` false for a format with a malformed conversion.
std::string Conversions(const std::string& format, bool& ok) {
    std::string out;
    ok = true;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (++i < format.size() && format[i] == '%') continue;
        while (i < format.size() && std::strchr("-+ #0123456789.", format[i]))
            ++i;
        std::string modifier;
        while (i < format.size() && std::strchr("hlLqjzt", format[i]))
            modifier += format[i++];
        if (i >= format.size() || !std::strchr("diouxXeEfgGcsp", format[i])) {
            ok = false;
            return {};
        }
        out += modifier + format[i] + ',';
    }
    return out;
}

/// The language text `id` when it is a printf format whose conversions are exactly `expected`
/// (a translation must not be able to read arguments that are not there), else `fallback`.
std::string CheckedFormat(const char* id, const char* expected, const char* fallback) {
    const std::string text = KrModule_Initializer::instance().get_resource_string(id);
    bool ok = false;
    const std::string found = Conversions(text, ok);
    return ok && found == expected ? text : fallback;
}
} // namespace

TKrConsoleProgressForm::TKrConsoleProgressForm() = default;
TKrConsoleProgressForm::~TKrConsoleProgressForm() = default;

TKrConsoleProgressForm::TLevel& TKrConsoleProgressForm::Level(unsigned long level) {
    if (m_levels.size() <= level) m_levels.resize(level + 1);
    return m_levels[level];
}

void TKrConsoleProgressForm::Start(unsigned long level, TKrLogMsgLevel logLevel, bool flag) {
    TLevel& l = Level(level);
    m_levels.resize(level + 1);
    l.started = true;
    l.logLevel = logLevel;
    l.position = 0.0;
    l.indefinite = flag;
    l.startTick = KrProgressTickMs();
    if (logLevel <= 3) {
        // The text is a translatable printf format: the level number, then the message.
        const std::string format = CheckedFormat("global.ConsPrgStarted", "lu,s,", "Progress %lu: %s");
        KrLogWriteInfo(kSource, Korvinex::ssprintf(format.c_str(), level, l.message.c_str()), 3);
    }
}

void TKrConsoleProgressForm::StartIndefinite(unsigned long level, TKrLogMsgLevel logLevel) {
    Start(level, logLevel, true);
}

std::string TKrConsoleProgressForm::FormatElapsed(double seconds) {
    const double tenthsTotal = std::floor(seconds * 10.0 + 0.5);
    if (!(tenthsTotal <= 35999999.0)) return ">999:59:59.9"; // 999:59:59.9 in tenths; NaN too
    const auto t = static_cast<unsigned long>(tenthsTotal < 0 ? 0 : tenthsTotal);
    return Korvinex::ssprintf("%lu:%02lu:%02lu.%01lu", t / 36000, t / 600 % 60, t / 10 % 60, t % 10);
}

void TKrConsoleProgressForm::End(unsigned long level) {
    if (level >= m_levels.size()) return;
    const TLevel& l = m_levels[level];
    if (l.logLevel <= 3) {
        const double seconds = static_cast<std::uint32_t>(KrProgressTickMs() - l.startTick) / 1000.0;
        const std::string format =
            CheckedFormat("global.ConsPrgEnded", "lu,s,s,", "Progress %lu: %s finished in %s");
        KrLogWriteInfo(
            kSource,
            Korvinex::ssprintf(format.c_str(), level, l.message.c_str(), FormatElapsed(seconds).c_str()), 3);
    }
    m_levels.resize(level);
}

void TKrConsoleProgressForm::SetPos(unsigned long level, double pos) {
    Level(level).position = pos;
}
double TKrConsoleProgressForm::GetPos(unsigned long level) {
    return Level(level).position;
}
void TKrConsoleProgressForm::SetMessage(unsigned long level, const std::string& message) {
    Level(level).message = message;
}
std::string TKrConsoleProgressForm::GetMessage(unsigned long level) const {
    return level < m_levels.size() ? m_levels[level].message : std::string();
}

unsigned long TKrConsoleProgressForm::GetInnermostProgressLevel() const noexcept {
    return m_levels.empty() ? 0 : m_levels.size() - 1;
}

void TKrConsoleProgressForm::GetTimeouts(std::uint32_t* update, std::uint32_t* refresh) noexcept {
    if (update) *update = kTimeoutMs;
    if (refresh) *refresh = kTimeoutMs;
}

void TKrConsoleProgressForm::UserBreakE() const {
    if (m_userBreak) throw KrMsg_helper("Err_UserBreak");
}
