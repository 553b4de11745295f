// Splitting, trimming and joining of texts, and command lines cut into arguments.
#include "Core/KrStringList.h"

#include <cstring>

void KrSplitString(const std::string& text, char sep, std::vector<std::string>& out) {
    out.clear();
    std::size_t begin = 0;
    for (std::size_t pos; (pos = text.find(sep, begin)) != std::string::npos; begin = pos + 1)
        out.emplace_back(text, begin, pos - begin);
    out.emplace_back(text, begin, std::string::npos);
}

void KrParseStringSet(std::set<std::string>& out, const std::string& text, const char* sep) {
    if (text.empty() || !sep || !*sep) return;
    const std::size_t sepLen = std::strlen(sep);
    std::size_t begin = 0;
    for (std::size_t pos; (pos = text.find(sep, begin, sepLen)) != std::string::npos; begin = pos + sepLen)
        out.insert(trim(text.substr(begin, pos - begin)));
    out.insert(trim(text.substr(begin)));
}

namespace {
template <class Items> std::string Merge(const Items& items, const char* sep) {
    const std::size_t sepLen = sep ? std::strlen(sep) : 0;
    std::size_t total = 0;
    for (const std::string& s : items)
        total += s.size() + sepLen;
    std::string out;
    out.reserve(total);
    bool first = true;
    for (const std::string& s : items) {
        if (!first) out.append(sep, sepLen);
        out += s;
        first = false;
    }
    return out;
}

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}
} // namespace

std::string KrMergeStrings(const std::set<std::string>& items, const char* sep) {
    return Merge(items, sep);
}

std::string KrMergeStrings(const std::vector<std::string>& items, const char* sep) {
    return Merge(items, sep);
}

std::string trim_left(const std::string& text, const char* chars) {
    const std::size_t begin = text.find_first_not_of(chars ? chars : "");
    return begin == std::string::npos ? std::string() : text.substr(begin);
}

std::string trim_right(const std::string& text, const char* chars) {
    const std::size_t last = text.find_last_not_of(chars ? chars : "");
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string trim(const std::string& text, const char* chars) {
    if (!chars) return text;
    const std::size_t begin = text.find_first_not_of(chars);
    if (begin == std::string::npos) return std::string();
    return text.substr(begin, text.find_last_not_of(chars) - begin + 1);
}

std::vector<std::string> SplitCmdLine(const std::string& line) {
    std::vector<std::string> args;
    std::string current;
    bool inArg = false; // an argument has started (it may still be empty: "")
    const std::size_t n = line.size();
    for (std::size_t i = 0; i < n; ++i) {
        const char c = line[i];
        if (IsBlank(c)) {
            if (inArg) args.push_back(current);
            current.clear();
            inArg = false;
            continue;
        }
        inArg = true;
        if (c == '\\') {
            if (i + 1 < n)
                current += line[++i];
            else
                current += c;
        } else if (c == '\'') {
            for (++i; i < n && line[i] != '\''; ++i)
                current += line[i];
        } else if (c == '"') {
            for (++i; i < n && line[i] != '"'; ++i) {
                const char d = line[i];
                if (d == '\\' && i + 1 < n && std::strchr("\"\\$`", line[i + 1]))
                    current += line[++i];
                else
                    current += d;
            }
        } else {
            current += c;
        }
    }
    if (inArg) args.push_back(current);
    return args;
}
