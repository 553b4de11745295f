// The start-up log that the command-line options "--startup_log" and "--startup_log_console" open.
#include "Core/KrStartupLog.h"
#include "Core/KrCmdLineParams.h"
#include "Core/KrLog.h"
#include "Core/KrLogCreate.h"

namespace {
var_a<TKrLogCreator*> g_startupLog;
int g_startupInits = 0; // KrLogInitialize calls still to be matched
} // namespace

void InitStartupLog() {
    const std::vector<std::string> args = TKrCmdLineParams::arguments();
    unsigned flags = 0;
    for (std::size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--startup_log")
            flags |= krLogToFile;
        else if (args[i] == "--startup_log_console")
            flags |= krLogToConsole;
    }
    if (!flags) return;
    KrLogInitialize();
    ++g_startupInits;
    g_startupLog.reset(); // the earlier log restores its predecessor before the new one reads it
    g_startupLog = CreateKrLogTemp("KrFrw", flags);
}

void CloseStartupLog() {
    if (g_startupInits == 0) return;
    g_startupLog.reset();
    while (g_startupInits > 0) {
        --g_startupInits;
        KrLogFinalize();
    }
}
