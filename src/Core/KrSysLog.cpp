// System-log output: one-shot error messages and the kept-open debug channel.
#include "Core/KrSysLog.h"

#include <QString>
#include <boost/locale/encoding_utf.hpp>
#include <cstdio>
#include <mutex>
#include <syslog.h>

void KrSysLogError(const std::string& text, const std::string&, unsigned) {
    try {
        openlog(nullptr, LOG_PID, LOG_USER);
        syslog(LOG_ERR, "%s", text.c_str());
        closelog();
    } catch (...) {
    }
}

void TKrSysLogDBG::write_log(const std::string& text) {
    static std::once_flag opened;
    std::call_once(opened, [] { openlog(nullptr, LOG_CONS | LOG_PID, LOG_USER); });
    syslog(LOG_DEBUG, "%s", text.c_str());
    std::fprintf(stderr, "[Debug]: %s\n", text.c_str());
    std::fflush(stderr);
}

void KrPrintDbgMsg(const std::string& text) {
    TKrSysLogDBG::write_log(text);
}

void KrPrintDbgMsg(const std::wstring& text) {
    TKrSysLogDBG::write_log(boost::locale::conv::utf_to_utf<char>(text, boost::locale::conv::stop));
}

void KrPrintDbgMsg(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    TKrSysLogDBG::write_log(std::string(utf8.constData())); // ends at the first zero character
}
