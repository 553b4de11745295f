// krtool: the library's formats and algorithms on the command line.
#include "KrToolCommand.h"
#include "KrToolProgress.h"

#include "Core/KrExceptions.h"
#include "Core/KrCmdProgress.h"
#include "Core/KrModuleStartup.h"
#include "Core/KrStartupLog.h"
#include "Utils/KrConsoleQMLibHandlers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {
std::vector<TKrToolCommand>& Registry() {
    static std::vector<TKrToolCommand> commands;
    return commands;
}

void PrintHelp(std::FILE* out) {
    std::fprintf(out, "usage: krtool COMMAND [ARGS...]\n\ncommands:\n");
    for (const TKrToolCommand& c : KrToolCommands()) {
        std::string head = std::string(c.name) + (*c.usage ? " " : "") + c.usage;
        if (head.size() <= 36)
            std::fprintf(out, "  %-36s %s\n", head.c_str(), c.summary);
        else
            std::fprintf(out, "  %s\n  %-36s %s\n", head.c_str(), "", c.summary);
    }
    std::fprintf(out, "\nkrtool --help prints this list; errors exit with 1, usage errors with 2.\n");
}

/// Keeps the library initialised for the whole run, as any client does; "--startup_log" and
/// "--startup_log_console" anywhere on the command line log the run from its first step, and
/// questions the library asks go to the terminal (stderr, answers from stdin).
struct TLibrary {
    TKrConsoleQMLibHandlers console;
    TLibrary() {
        InitStartupLog();
        Init_KrStd();
        KrQMLibSetHandlers(&console);
    }
    ~TLibrary() {
        KrQMLibSetNullHandlers();
        Deinit_KrStd();
        CloseStartupLog();
    }
};
} // namespace

TKrToolRegistrar::TKrToolRegistrar(const TKrToolCommand& command) {
    auto& r = Registry();
    r.insert(std::upper_bound(r.begin(), r.end(), command,
                              [](const TKrToolCommand& a, const TKrToolCommand& b) {
                                  return std::strcmp(a.name, b.name) < 0;
                              }),
             command);
}

const std::vector<TKrToolCommand>& KrToolCommands() {
    return Registry();
}

int KrToolUsage(const char* name) {
    for (const TKrToolCommand& c : KrToolCommands())
        if (std::strcmp(c.name, name) == 0) std::fprintf(stderr, "usage: krtool %s %s\n", c.name, c.usage);
    return 2;
}

int main(int argc, char** argv) {
    // The start-up log options may stand anywhere; InitStartupLog reads them from the process.
    std::vector<char*> words;
    for (int i = 0; i < argc; ++i)
        if (std::strcmp(argv[i], "--startup_log") != 0 && std::strcmp(argv[i], "--startup_log_console") != 0)
            words.push_back(argv[i]);
    argc = static_cast<int>(words.size());
    argv = words.data();
    if (argc < 2 || !std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h") ||
        !std::strcmp(argv[1], "help")) {
        PrintHelp(argc < 2 ? stderr : stdout);
        return argc < 2 ? 2 : 0;
    }
    const auto& commands = KrToolCommands();
    auto it = std::find_if(commands.begin(), commands.end(),
                           [&](const TKrToolCommand& c) { return std::strcmp(c.name, argv[1]) == 0; });
    if (it == commands.end()) {
        std::fprintf(stderr, "krtool: unknown command \"%s\" (krtool --help lists them)\n", argv[1]);
        return 2;
    }
    std::vector<std::string> args(argv + 2, argv + argc);
    // The library outlives the handler below, so that the error's text can still be looked up.
    std::unique_ptr<TLibrary> library;
    try {
        library = std::make_unique<TLibrary>();
        return it->run(args);
    } catch (...) {
        TKrMessage reason = KrGetExceptionReason();
        std::string text = reason.std_str();
        if (text.empty()) text = "failed (no text for this error in the loaded language files)";
        for (const std::string& path : KrToolRemovedOutputs())
            text += " The partial output " + path + " was removed.";
        std::fprintf(stderr, "krtool %s: %s\n", it->name, text.c_str());
        return KrCmdInterrupted() ? 130 : 1; // 128 + SIGINT, as shells report an interrupted program
    }
}
