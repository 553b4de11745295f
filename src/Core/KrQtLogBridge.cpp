// The bridge from Qt's message handler into the process-wide log.
#include "Core/KrQtLogBridge.h"
#include "Core/KrCmdLineParams.h"
#include "Core/KrLog.h"
#include "Core/KrNumberScan.h"

#include <QString>
#include <QtGlobal>

#include <climits>
#include <stdexcept>

namespace {
void Handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    int severity = 0;
    const char* prefix = "";
    switch (type) {
    case QtDebugMsg:
        severity = 0, prefix = "[QT Debug]: ";
        break;
    case QtInfoMsg:
        severity = 1, prefix = "[QT Info]: ";
        break;
    case QtWarningMsg:
        severity = 2, prefix = "[QT Warning]: ";
        break;
    case QtCriticalMsg:
        severity = 3, prefix = "[QT Critical]: ";
        break;
    case QtFatalMsg:
        severity = 4, prefix = "[QT Fatal]: ";
        break;
    }
    if (severity < TKrQLogMessageHandler::instance().MinimumSeverity()) return;
    try {
        KrLogWriteError(std::string(context.function ? context.function : ""),
                        prefix + message.toUtf8().toStdString(), 5, 0);
    } catch (...) {
        // Nothing may escape into Qt.
    }
}
} // namespace

TKrQLogMessageHandler& TKrQLogMessageHandler::instance() {
    static TKrQLogMessageHandler bridge;
    return bridge;
}

namespace {
// std::stoi's forms and errors, read without the locale.
int ParseSeverity(const std::string& text) {
    long v = 0;
    bool range = false;
    if (KrNumberScan::ScanLong(text.data(), text.data() + text.size(), 10, v, &range) == text.data())
        throw std::invalid_argument("stoi");
    if (range || v < INT_MIN || v > INT_MAX) throw std::out_of_range("stoi");
    return static_cast<int>(v);
}
} // namespace

TKrQLogMessageHandler::TKrQLogMessageHandler() {
    std::string level;
    if (TKrCmdLineParams::get("--qt_logging_level", &level)) m_minSeverity = ParseSeverity(level);
    m_previous = reinterpret_cast<void*>(qInstallMessageHandler(&Handle));
    m_installed = true;
}

TKrQLogMessageHandler::~TKrQLogMessageHandler() {
    Uninstall();
}

void TKrQLogMessageHandler::Uninstall() {
    if (!m_installed) return;
    qInstallMessageHandler(reinterpret_cast<QtMessageHandler>(m_previous));
    m_installed = false;
}
