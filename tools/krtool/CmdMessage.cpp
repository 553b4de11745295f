// krtool message: format a message text with parameters, as the library formats its errors.
#include "KrToolCommand.h"

#include "Core/KrMessage.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace {
/// Integers become integer parameters, other numbers doubles, everything else text.
void AppendGuessed(const TKrMessage& m, const std::string& arg) {
    const char* s = arg.c_str();
    char* end = nullptr;
    errno = 0;
    long long i = std::strtoll(s, &end, 10);
    if (!arg.empty() && *end == '\0' && errno == 0) {
        m << i;
        return;
    }
    double d = std::strtod(s, &end);
    if (!arg.empty() && *end == '\0') {
        m << d;
        return;
    }
    m << arg;
}

int RunMessage(const std::vector<std::string>& args) {
    if (args.empty()) return KrToolUsage("message");
    TKrMessage m(args[0]);
    for (std::size_t i = 1; i < args.size(); ++i)
        AppendGuessed(m, args[i]);
    std::printf("%s\n", m.c_str());
    return 0;
}
} // namespace

KRTOOL_COMMAND(message, "message", "FORMAT [PARAM]...",
               "format FORMAT with %n%, %% and %*% placeholders filled from PARAMs", RunMessage);
