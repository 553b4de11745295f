// krtool info: start the library and show what the module knows about itself.
#include "KrToolCommand.h"

#include "Core/KrDebugModes.h"
#include "Core/KrModuleStartup.h"
#include "Core/KrNumberScan.h"

#include <cstdio>

namespace {
int RunInfo(const std::vector<std::string>& args) {
    std::vector<std::string> modes{"Global"};
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--mode" && i + 1 < args.size()) {
            modes.push_back(args[++i]);
        } else if (args[i] == "--set" && i + 1 < args.size()) {
            const std::string& kv = args[++i];
            std::size_t eq = kv.find('=');
            if (eq == std::string::npos) return KrToolUsage("info");
            long value = 0; // atoi's forms: no number reads as 0
            KrNumberScan::ScanLong(kv.data() + eq + 1, kv.data() + kv.size(), 10, value);
            KrSetModuleDebugMode(kv.substr(0, eq).c_str(), static_cast<int>(value));
            modes.push_back(kv.substr(0, eq));
        } else {
            return KrToolUsage("info");
        }
    }
    const KrModule_Initializer& m = KrModule_Initializer::instance();
    std::printf("module:          %s\n", m.module_name().c_str());
    std::printf("path:            %s\n", m.full_path().c_str());
    std::printf("directory:       %s\n", m.directory().c_str());
    std::printf("file name:       %s\n", m.file_name().c_str());
    std::printf("extension:       %s\n", m.extension().c_str());
    std::printf("reference count: %llu\n", static_cast<unsigned long long>(m.ref_count()));
    std::printf("services:        %s\n", m.services_up() ? "up" : "down");
    std::printf("start-up steps:\n");
    for (const std::string& s : KrGetStartupSteps())
        std::printf("  %s\n", s.c_str());
    std::printf("debug modes:\n");
    for (const std::string& name : modes)
        std::printf("  %s = %d\n", name.c_str(), KrModuleDebugMode(name.c_str()));
    return 0;
}
} // namespace

KRTOOL_COMMAND(info, "info", "[--mode NAME]... [--set NAME=VALUE]...",
               "start the library; print module path, file name, extension, count, debug modes", RunInfo);
