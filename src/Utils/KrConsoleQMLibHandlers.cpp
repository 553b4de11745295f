// TKrConsoleQMLibHandlers: prompts, line reading and the parsing of answers.
#include "Utils/KrConsoleQMLibHandlers.h"

#include "Core/KrNumberScan.h"

#include <charconv>
#include <cmath>

namespace {

std::string Trim(const std::string& s) {
    const std::size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return std::string();
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

// ASCII lower case without the locale.
std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

std::string Num(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// A whole line holding one integer (any base prefix strtol accepts).
bool ParseLong(const std::string& s, long& v) {
    bool range = false;
    const char* end = KrNumberScan::ScanLong(s.data(), s.data() + s.size(), 0, v, &range);
    return end != s.data() && end == s.data() + s.size() && !range;
}

bool ParseDouble(const std::string& s, double& v) {
    const auto r = KrNumberScan::ScanDouble(s.data(), s.data() + s.size(), v);
    return r.end != s.data() && r.end == s.data() + s.size() && !std::isnan(v);
}

} // namespace

bool TKrConsoleQMLibHandlers::Ask(const std::string& prompt, std::string& line) {
    std::fputs(prompt.c_str(), m_out);
    std::fflush(m_out);
    line.clear();
    int c;
    while ((c = std::fgetc(m_in)) != EOF && c != '\n')
        line += static_cast<char>(c);
    if (c == EOF && line.empty()) {
        std::fputs("\n", m_out);
        return false;
    }
    line = Trim(line);
    return true;
}

void TKrConsoleQMLibHandlers::KrError(const char* text) {
    std::fprintf(m_out, "Error: %s\n", text);
}

void TKrConsoleQMLibHandlers::KrPause() {
    std::string line;
    Ask("Press Enter to continue... ", line);
}

bool TKrConsoleQMLibHandlers::KrYesOrNo(const char* text, bool def) {
    return AskYesNo(text, def ? TE_YesNoCancel::Yes : TE_YesNoCancel::No, false) == TE_YesNoCancel::Yes;
}

int TKrConsoleQMLibHandlers::KrYesNoCancel(const char* text, int def) {
    return AskYesNo(text, def, true);
}

int TKrConsoleQMLibHandlers::AskYesNo(const char* text, int def, bool cancel) {
    const char* shown = def == TE_YesNoCancel::Yes ? "y" : def == TE_YesNoCancel::No ? "n" : "c";
    const std::string prompt = std::string(text) + (cancel ? " [y/n/c] (" : " [y/n] (") + shown + ") ";
    std::string line;
    while (Ask(prompt, line)) {
        const std::string a = Lower(line);
        if (a.empty()) break;
        if (a == "y" || a == "yes") return TE_YesNoCancel::Yes;
        if (a == "n" || a == "no") return TE_YesNoCancel::No;
        if (cancel && (a == "c" || a == "cancel")) return TE_YesNoCancel::Cancel;
    }
    return def;
}

unsigned TKrConsoleQMLibHandlers::GetMaxButtons() {
    return 24;
}

unsigned TKrConsoleQMLibHandlers::KrGetButtonDecision(const char* caption, const char* text,
                                                      const std::vector<std::string>& labels) {
    if (labels.empty()) return 0;
    std::fprintf(m_out, "%s\n%s\n", caption, text);
    for (std::size_t i = 0; i < labels.size(); ++i)
        std::fprintf(m_out, "  %2zu) %s\n", i + 1, labels[i].c_str());
    const std::string prompt =
        "choice [1-" + std::to_string(labels.size()) + "] (" + std::to_string(labels.size()) + ") ";
    std::string line;
    while (Ask(prompt, line)) {
        long v = 0;
        if (line.empty()) break;
        if (ParseLong(line, v) && v >= 1 && static_cast<unsigned long>(v) <= labels.size())
            return static_cast<unsigned>(v - 1);
    }
    return static_cast<unsigned>(labels.size() - 1);
}

unsigned TKrConsoleQMLibHandlers::GetMaxChecks() {
    return 24;
}

bool TKrConsoleQMLibHandlers::KrGetCheckboxDecision(const char* caption, const char* text,
                                                    const TKrCheckList& checks) {
    std::vector<bool> marks;
    for (const auto& c : checks)
        marks.push_back(c.second && *c.second);
    std::fprintf(m_out, "%s\n%s\n", caption, text);
    std::string line;
    for (;;) {
        for (std::size_t i = 0; i < checks.size(); ++i)
            std::fprintf(m_out, "  %2zu) [%c] %s\n", i + 1, marks[i] ? 'x' : ' ', checks[i].first.c_str());
        if (!Ask("numbers to toggle, Enter to accept, c to cancel: ", line)) return false;
        if (line.empty()) break;
        if (Lower(line) == "c" || Lower(line) == "cancel") return false;
        const char* p = line.data();
        const char* end = p + line.size();
        while (p < end) {
            long v = 0;
            const char* next = KrNumberScan::ScanLong(p, end, 10, v);
            if (next == p) { // not a number: skip a separator
                ++p;
                continue;
            }
            if (v >= 1 && static_cast<unsigned long>(v) <= marks.size()) marks[v - 1] = !marks[v - 1];
            p = next;
        }
    }
    for (std::size_t i = 0; i < checks.size(); ++i)
        if (checks[i].second) *checks[i].second = marks[i];
    return true;
}

void TKrConsoleQMLibHandlers::KrShowValue(TShowType, const char* caption, const char* text) {
    std::fprintf(m_out, "%s: %s\n", caption, text);
}

std::string TKrConsoleQMLibHandlers::KrGetString(const char* caption, const char* def) {
    std::string line;
    if (!Ask(std::string(caption) + " (" + def + ") ", line) || line.empty()) return def;
    return line;
}

long TKrConsoleQMLibHandlers::KrGetLong(const char* caption, long def, long min, long max) {
    const std::string prompt = std::string(caption) + " [" + std::to_string(min) + ".." +
                               std::to_string(max) + "] (" + std::to_string(def) + ") ";
    std::string line;
    while (Ask(prompt, line) && !line.empty()) {
        long v = 0;
        if (ParseLong(line, v) && v >= min && v <= max) return v;
    }
    return def;
}

double TKrConsoleQMLibHandlers::KrGetDouble(const char* caption, double def, double min, double max) {
    const std::string prompt =
        std::string(caption) + " [" + Num(min) + ".." + Num(max) + "] (" + Num(def) + ") ";
    std::string line;
    while (Ask(prompt, line) && !line.empty()) {
        double v = 0;
        if (ParseDouble(line, v) && v >= min && v <= max) return v;
    }
    return def;
}

std::string TKrConsoleQMLibHandlers::KrGetOpenFileName(const char* caption, const char* filter,
                                                       const char* def) {
    const std::string c = *filter ? std::string(caption) + " " + filter : std::string(caption);
    return KrGetString(c.c_str(), def);
}

std::string TKrConsoleQMLibHandlers::KrGetSaveFileName(const char* caption, const char* filter,
                                                       const char* def) {
    return KrGetOpenFileName(caption, filter, def);
}
