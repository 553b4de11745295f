// The start-up log: a log file and/or console log switched on from the command line.
#pragma once

#include "Core/KrExport.h"

/// Reads the process's command line: "--startup_log" logs to a file in the temporary folder
/// ("KrFrw-<time>.log"), "--startup_log_console" to the standard error stream. With either,
/// initialises logging (one KrLogInitialize, matched by CloseStartupLog) and installs the log,
/// replacing an earlier start-up log. Call it first thing in main(), before anything that logs.
KRSTD_API void InitStartupLog();
/// Releases the start-up log (restoring the log it stood in front of) and finalises logging once.
/// Does nothing when InitStartupLog found no option.
KRSTD_API void CloseStartupLog();
