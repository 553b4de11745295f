// KrPatternMatch on arbitrary text and pattern, checked against a dynamic-programming matcher.
#include "Core/KrStringCompare.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {
// match[j] after row i: pattern prefix of length j matches text prefix of length i.
bool Reference(const std::string& t, const std::string& p) {
    std::vector<char> row(p.size() + 1, 0), next(p.size() + 1, 0);
    row[0] = 1;
    for (std::size_t j = 1; j <= p.size(); ++j)
        row[j] = row[j - 1] && p[j - 1] == '*';
    for (std::size_t i = 1; i <= t.size(); ++i) {
        next[0] = 0;
        for (std::size_t j = 1; j <= p.size(); ++j) {
            const unsigned char pc = static_cast<unsigned char>(p[j - 1]);
            const unsigned char tc = static_cast<unsigned char>(t[i - 1]);
            if (pc == '*')
                next[j] = next[j - 1] || row[j];
            else
                next[j] = row[j - 1] && (pc == '?' || std::tolower(pc) == std::tolower(tc));
        }
        row.swap(next);
    }
    return row[p.size()];
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Text and pattern are the parts before and after the first NUL.
    const char* begin = reinterpret_cast<const char*>(data);
    const char* nul = static_cast<const char*>(std::memchr(begin, 0, size));
    const std::string text(begin, nul ? nul : begin + size);
    const std::string pattern(nul ? std::string(nul + 1, begin + size).c_str() : "");

    const bool got = KrPatternMatch(text.c_str(), pattern.c_str());
    if (got != Reference(text, pattern)) std::abort();
    if (!KrPatternMatch(text.c_str(), text.c_str())) std::abort();
    return 0;
}
