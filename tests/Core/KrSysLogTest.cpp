// The system log, seen through this program's own openlog, syslog and closelog: the loader binds
// the library's calls to them, so nothing reaches the machine's log and no privileges are needed.
#include "Core/KrSysLog.h"

#include <QString>
#include <gtest/gtest.h>

#include <syslog.h>

#include <cstdarg>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
/// "open <option> <facility>", "<priority> <format>|<text>" and "close", in call order.
std::vector<std::string> g_calls;
std::string Open(int option, int facility) {
    return "open " + std::to_string(option) + " " + std::to_string(facility);
}
std::string Record(int priority, const std::string& text) {
    return std::to_string(priority) + " %s|" + text;
}
} // namespace

extern "C" {
void openlog(const char* ident, int option, int facility) {
    g_calls.push_back(ident ? "named " + std::string(ident) : Open(option, facility));
}
void syslog(int priority, const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    g_calls.push_back(std::to_string(priority) + " " + format + "|" + text);
}
void closelog() {
    g_calls.push_back("close");
}
}

TEST(KrSysLog, AnErrorIsOneErrorRecordOfTheUserFacilityWithTheTextAsItIs) {
    g_calls.clear();
    KrSysLogError("disk %s full %n 100%");
    const std::vector<std::string> once{Open(LOG_PID, LOG_USER), Record(LOG_ERR, "disk %s full %n 100%"),
                                        "close"};
    EXPECT_EQ(g_calls, once);
    g_calls.clear();
    KrSysLogError("disk %s full %n 100%", "TITLE", 3); // title and level change nothing
    EXPECT_EQ(g_calls, once);
}

TEST(KrSysLog, DebugMessagesStayOpenAndAreEchoedOnStandardError) {
    g_calls.clear();
    ::testing::internal::CaptureStderr();
    KrPrintDbgMsg(std::string("one %d"));
    KrPrintDbgMsg(std::wstring(L"caf\u00e9"));
    KrPrintDbgMsg(QString::fromUtf8("q\0tail", 6)); // ends at the zero character
    EXPECT_THROW(KrPrintDbgMsg(std::wstring(1, wchar_t(0x110000))), std::runtime_error);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              "[Debug]: one %d\n[Debug]: caf\xC3\xA9\n[Debug]: q\n");
    // Opened on the first use in the process (no earlier test writes debug messages), never closed.
    EXPECT_EQ(g_calls,
              (std::vector<std::string>{Open(LOG_CONS | LOG_PID, LOG_USER), Record(LOG_DEBUG, "one %d"),
                                        Record(LOG_DEBUG, "caf\xC3\xA9"), Record(LOG_DEBUG, "q")}));
}
