// Subcommand registry of krtool: each command file registers itself with KRTOOL_COMMAND.
#pragma once

#include <string>
#include <vector>

struct TKrToolCommand {
    const char* name;
    const char* usage;   // arguments after the name, e.g. "FILE..."
    const char* summary; // one line for --help
    int (*run)(const std::vector<std::string>& args);
};

/// All registered commands, sorted by name.
const std::vector<TKrToolCommand>& KrToolCommands();

struct TKrToolRegistrar {
    explicit TKrToolRegistrar(const TKrToolCommand& command);
};

#define KRTOOL_COMMAND(id, name, usage, summary, fn)                                                         \
    static const TKrToolRegistrar g_krtool_registrar_##id(TKrToolCommand{name, usage, summary, fn})

/// Prints "krtool NAME: usage: ..." to stderr and returns the usage exit code (2).
int KrToolUsage(const char* name);
