// The system log: error messages for administrators and debug messages for developers.
#pragma once

#include "Core/KrExport.h"

#include <string>

class QString;

/// Sends `text` to the system log as one error-priority message of the user facility (the
/// process name and id identify the sender). `title` and `level` do not change the result;
/// failures are swallowed.
KRSTD_API void KrSysLogError(const std::string& text, const std::string& title = std::string(),
                             unsigned level = 0);

/// Writes `text` to the system log at debug priority (opened on first use, kept open) and
/// "[Debug]: " + text + "\n" to standard error. Wide texts are converted to UTF-8 (an invalid
/// character throws the conversion error); Qt texts end at their first zero character.
KRSTD_API void KrPrintDbgMsg(const std::string& text);
KRSTD_API void KrPrintDbgMsg(const std::wstring& text);
KRSTD_API void KrPrintDbgMsg(const QString& text);

/// The debug channel behind KrPrintDbgMsg.
class KRSTD_API TKrSysLogDBG {
public:
    static void write_log(const std::string& text);
};
