// TKrQLogMessageHandler: routes Qt's own diagnostics into the process-wide log.
#pragma once

#include "Core/KrExport.h"

/// Installed as Qt's message handler on first use. Qt messages of at least the minimum
/// severity (debug 0, info 1, warning 2, critical 3, fatal 4; default 2, or the value of the
/// command-line option "--qt_logging_level") become level-5 error records whose source is the
/// function Qt names and whose text is "[QT Warning]: " (etc.) plus the message.
class KRSTD_API TKrQLogMessageHandler {
public:
    /// The bridge, installed on the first call. Throws std::invalid_argument or
    /// std::out_of_range when "--qt_logging_level" is not a decimal integer.
    static TKrQLogMessageHandler& instance();

    int MinimumSeverity() const noexcept { return m_minSeverity; }
    void SetMinimumSeverity(int severity) noexcept { m_minSeverity = severity; }
    /// Puts the handler that was installed before the bridge back.
    void Uninstall();

private:
    TKrQLogMessageHandler();
    ~TKrQLogMessageHandler();

    int m_minSeverity = 2;
    void* m_previous = nullptr;
    bool m_installed = false;
};
