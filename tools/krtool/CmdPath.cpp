// krtool path: normalise, simplify, relate and split paths the way the library does.
#include "KrToolCommand.h"

#include "System/KrPath.h"

#include <cstdio>

namespace {
int RunPath(const std::vector<std::string>& args) {
    if (args.size() < 2) return KrToolUsage("path");
    const std::string& op = args[0];
    if (op == "normalize" || op == "simplify") {
        for (std::size_t i = 1; i < args.size(); ++i) {
            TKrPath p(args[i]);
            std::printf("%s\n", (op == "normalize" ? p : p.simplify()).str().c_str());
        }
        return 0;
    }
    if (op == "relative" && args.size() == 3) {
        std::printf("%s\n", TKrPath(args[1]).makeRelative(TKrPath(args[2])).str().c_str());
        return 0;
    }
    if (op == "split" && args.size() == 2) {
        for (const std::string& part : TKrPath(args[1]).split())
            std::printf("%s\n", part.c_str());
        return 0;
    }
    return KrToolUsage("path");
}
} // namespace

KRTOOL_COMMAND(path, "path", "normalize|simplify PATH... | relative PATH BASE | split PATH",
               "print normalised or simplified paths, PATH relative to BASE, or the parts of PATH", RunPath);
