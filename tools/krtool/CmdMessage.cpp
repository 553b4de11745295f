// krtool message: format a message text with parameters, as the library formats its errors.
#include "KrToolCommand.h"

#include "Core/KrMessage.h"
#include "Core/KrNumberScan.h"

#include <cstdio>

namespace {
/// Integers become integer parameters, other numbers doubles, everything else text.
void AppendGuessed(const TKrMessage& m, const std::string& arg) {
    // strtoll's and strtod's forms, read whole; the locale has no say ("2.5" is a double anywhere).
    const char* s = arg.data();
    const char* last = s + arg.size();
    long i = 0;
    bool range = false;
    if (!arg.empty() && KrNumberScan::ScanLong(s, last, 10, i, &range) == last && !range) {
        m << static_cast<long long>(i);
        return;
    }
    double d = 0;
    if (!arg.empty() && KrNumberScan::ScanDouble(s, last, d).end == last) {
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
