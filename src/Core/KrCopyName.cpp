// Names for copies of named things: "name [2]", "name copy [3]" and the next free one of them.
#include "Core/KrCopyName.h"
#include "Core/KrStringFormat.h"

#include <climits>

namespace {
struct TCopyName {
    std::string base;
    unsigned long long index = 0; // 0: no " [n]" at the end
};

// Splits a trailing " [n]" off `name`: the pattern " \[([0-9]{1,19})\]$" with n not overflowing.
// Matched by hand: it is anchored at the end, and a regular-expression engine would add
// nothing but the risk of deep recursion on long names.
TCopyName ParseCopyName(const std::string& name) {
    TCopyName parsed{name, 0};
    const std::size_t n = name.size();
    if (n < 4 || name[n - 1] != ']') return parsed;
    std::size_t open = n - 1;
    while (open > 0 && name[open - 1] >= '0' && name[open - 1] <= '9')
        --open;
    const std::size_t digits = n - 1 - open;
    if (digits == 0 || digits > 19 || open < 2 || name[open - 1] != '[' || name[open - 2] != ' ')
        return parsed;
    unsigned long long value = 0;
    for (std::size_t i = open; i < n - 1; ++i) {
        const unsigned d = static_cast<unsigned>(name[i] - '0');
        if (value > (ULLONG_MAX - d) / 10) return parsed;
        value = value * 10 + d;
    }
    if (value == 0) return parsed; // " [0]" is not a copy index: MakeCopyNameIndex never writes it
    parsed.base = name.substr(0, open - 2);
    parsed.index = value;
    return parsed;
}

bool EndsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}
} // namespace

std::string MakeCopyNameIndex(const std::string& name, unsigned long long index) {
    if (index == 0) return name;
    return name + Korvinex::ssprintf(" [%llu]", index);
}

std::string MakeCopyName(const std::string& name, const std::string& suffix,
                         const std::function<bool(const std::string&)>& is_taken) {
    TCopyName parsed = ParseCopyName(name);
    std::string family;
    unsigned long long index;
    if (suffix.empty() || EndsWith(parsed.base, suffix)) {
        family = parsed.base;
        index = parsed.index < 2 ? 2 : parsed.index + 1;
        if (parsed.index == ULLONG_MAX) {
            family = name;
            index = 2;
        }
    } else {
        family = name + suffix; // a copy of "x [3]" with a suffix is "x [3] copy"
        index = 0;
    }
    std::string candidate = MakeCopyNameIndex(family, index);
    while (is_taken && is_taken(candidate)) {
        if (index == ULLONG_MAX) { // the indices ran out: start a new family under this name
            family = candidate;
            index = 2;
        } else {
            index = index < 2 ? 2 : index + 1;
        }
        candidate = MakeCopyNameIndex(family, index);
    }
    return candidate;
}

std::string MakeCopyName(const std::string& name, const std::string& suffix) {
    return MakeCopyName(name, suffix, nullptr);
}
