// krtool time: show one instant as ticks, UTC and local ISO 8601 texts and Unix time.
#include "KrToolCommand.h"

#include "Core/KrNumberScan.h"
#include "Utils/KrDateTime.h"

#include <charconv>
#include <cinttypes>
#include <cstdio>

namespace {
// strtoll's decimal forms, the whole text and in range.
bool ParseInt64(const std::string& text, std::int64_t& value) {
    const char* last = text.data() + text.size();
    long v = 0;
    bool range = false;
    if (KrNumberScan::ScanLong(text.data(), last, 10, v, &range) != last || text.empty() || range)
        return false;
    value = v;
    return true;
}

/// Texts are empty for years outside 1..9999.
std::string OrRange(const std::string& text) {
    return text.empty() ? "(year outside 1..9999)" : text;
}

int RunTime(const std::vector<std::string>& args) {
    TKrDateTime t;
    if (args.empty()) {
        t = TKrDateTime::Current();
    } else if (args.size() == 2 && (args[0] == "--unix" || args[0] == "--ticks")) {
        std::int64_t n = 0;
        if (!ParseInt64(args[1], n)) return KrToolUsage("time");
        if (args[0] == "--ticks") {
            t = TKrDateTime(n);
        } else {
            t = TKrDateTime::FromUnixTime64(n);
            if (t.IsNull() && n != -TKrDateTime::UnixEpochTicks / TKrDateTime::TicksPerSecond) {
                std::fprintf(stderr, "krtool time: %s seconds lie outside the 64-bit tick range\n",
                             args[1].c_str());
                return 1;
            }
        }
    } else if (args.size() == 1 && args[0].compare(0, 2, "--") != 0) {
        t = TKrDateTime::FromRFCString(args[0]);
        // 0 is also what a text of 1601-01-01 UTC gives; that instant means "no time set" anyway.
        if (t.IsNull()) {
            std::fprintf(stderr, "krtool time: not an ISO 8601 date-time: \"%s\"\n", args[0].c_str());
            return 1;
        }
    } else {
        return KrToolUsage("time");
    }

    std::printf("ticks:     %" PRId64 "%s\n", t.Ticks(), t.IsNull() ? " (no time set)" : "");
    std::printf("UTC:       %s\n", OrRange(t.ToRFCString(3, TKrDateTime::UTC)).c_str());
    std::printf("local:     %s\n", OrRange(t.ToRFCString(3, TKrDateTime::Local)).c_str());
    std::printf("unix:      %" PRId64 "\n", t.ToUnixTime64());
    char seconds[64]; // "%.6f" without the locale's decimal comma
    const std::to_chars_result r =
        std::to_chars(seconds, seconds + sizeof seconds, t.ToUnixTimeD(), std::chars_format::fixed, 6);
    std::printf("unix (s):  %.*s\n", r.ec == std::errc() ? int(r.ptr - seconds) : 0, seconds);
    return 0;
}
} // namespace

KRTOOL_COMMAND(time, "time", "[TEXT | --unix N | --ticks N]",
               "show an ISO 8601 text, Unix time or tick count (default: now) in every form", RunTime);
