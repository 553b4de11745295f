// TKrReportGenerator: one scan over the template, jumping back for bands and forward for conditions.
#include "Output/KrReportGenerator.h"
#include "Core/KrLanguage.h"
#include "Core/KrVarA.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniStreamReader.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

const char kRecursionError[] = "@Error in TKrReportGenerator::Parse(): variable recursion limit reached.";
// The top level runs at depth 1; ten nested levels are allowed.
constexpr int kDepthLimit = 11;
// Field widths beyond this are cut to it: a template cannot make one reference claim gigabytes.
constexpr long kMaxWidth = 65536;

bool StartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWithDollar(const std::string& s) {
    return !s.empty() && s.back() == '$';
}

// A variable holds template text when its name ends in "$" and is more than the "$".
bool IsExpandable(const std::string& name) {
    return name.size() >= 2 && name.back() == '$';
}

/// The leading integer of `text` as atoi reads it (blanks, a sign, digits), clamped to
/// +-kMaxWidth.
long ParseWidth(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = std::min(kMaxWidth, v * 10 + (text[i] - '0'));
    return negative ? -v : v;
}

/// Appends with the report's growth rule: at least 1024 bytes of spare room, doubling.
void Append(std::string& out, const char* p, std::size_t n) {
    if (out.capacity() - out.size() < n + 1024)
        out.reserve(std::max(out.capacity() * 2, out.size() + n + 1024));
    out.append(p, n);
}

/// Position just after the first occurrence of `pattern` at or after `from`, or npos.
std::size_t After(std::string_view text, const std::string& pattern, std::size_t from) {
    const std::size_t at = text.find(pattern, from);
    return at == std::string_view::npos ? at : at + pattern.size();
}

} // namespace

std::string TKrReportGenerator::Parse(const char* templ, const TVariables* variables) {
    m_variables = variables;
    m_bands.clear();
    std::string out;
    if (templ) {
        const std::size_t len = std::strlen(templ);
        out.reserve(2 * len);
        Expand(templ, len, 1, out);
    }
    m_bands.clear();
    return out;
}

std::string TKrReportGenerator::Expand(const char* text, std::size_t len, int depth) {
    std::string out;
    out.reserve(2 * len);
    Expand(text, len, depth, out);
    return out;
}

void TKrReportGenerator::Expand(const char* text, std::size_t len, int depth, std::string& out) {
    if (depth >= kDepthLimit) {
        Append(out, kRecursionError, sizeof kRecursionError - 1);
        return;
    }
    const std::string_view all(text, len);
    // Bands below `base` belong to the templates this one is nested in: their names resolve
    // here, but only bands opened in this text can be closed or jumped back to.
    const std::size_t base = m_bands.size();
    std::size_t p = 0;
    while (p < len) {
        std::size_t q = p;
        while (q < len && text[q] != '%' && text[q] != '\\')
            ++q;
        Append(out, text + p, q - p);
        p = q;
        if (p >= len) break;

        if (text[p] == '\\') {
            const char next = p + 1 < len ? text[p + 1] : '\0';
            if (next == '\\' || next == '%') {
                Append(out, &next, 1);
                p += 2;
            } else if (next == '$' && p + 2 < len && text[p + 2] == '\n') {
                p += 3;
            } else if (next == '$' && p + 2 < len && text[p + 2] == '\r') {
                p += p + 3 < len && text[p + 3] == '\n' ? 4 : 3;
            } else {
                Append(out, "\\", 1);
                p += 1;
            }
            continue;
        }

        // A directive: up to the next "%", or the end of the expansion when there is none.
        const std::size_t close = all.find('%', p + 1);
        if (close == std::string_view::npos) break;
        const std::string_view d = all.substr(p + 1, close - p - 1);
        const std::size_t next = close + 1;
        p = next;

        if (StartsWith(d, "start ")) {
            const std::string name(d.substr(6));
            std::string own = name;
            if (!m_bands.empty()) {
                const std::string formal = FormalPrefix(m_bands.size());
                if (!StartsWith(name, formal)) continue;
                own = name.substr(formal.size());
            }
            if (own.empty()) continue;
            if (!Exists(RealPrefix(m_bands.size()) + own + "[0]")) {
                const std::size_t skip = After(all, "%end " + name + "%", next);
                if (skip != std::string_view::npos) {
                    p = skip;
                    continue;
                }
                // Without its end the band is entered anyway; it closes at the end of the text.
            }
            m_bands.push_back(SBand{own, 0, next});
        } else if (StartsWith(d, "end ")) {
            if (m_bands.size() <= base) continue;
            if (std::string(d.substr(4)) + "." != FormalPrefix(m_bands.size())) continue;
            ++m_bands.back().index;
            std::string record = RealPrefix(m_bands.size());
            record.pop_back(); // the final "."
            if (Exists(record))
                p = m_bands.back().position;
            else
                m_bands.pop_back();
        } else if (StartsWith(d, "if ")) {
            const std::string condition(d.substr(3));
            if (Condition(condition)) continue;
            const std::size_t endif = After(all, "%endif " + condition + "%", next);
            const std::size_t other = After(all, "%else " + condition + "%", next);
            const std::size_t skip = std::min(endif, other); // npos is the largest
            if (skip != std::string_view::npos) p = skip;
        } else if (StartsWith(d, "else ")) {
            const std::size_t skip = After(all, "%endif " + std::string(d.substr(5)) + "%", next);
            if (skip != std::string_view::npos) p = skip;
        } else if (StartsWith(d, "endif ")) {
            // the end of a block that was entered: nothing to do
        } else if (StartsWith(d, "local ")) {
            const std::string_view rest = d.substr(6);
            const std::size_t space = rest.find(' ');
            if (space == std::string_view::npos || space == 0 ||
                rest.find(' ', space + 1) != std::string_view::npos)
                continue;
            const std::string* textOut = nullptr;
            if (LoadResString(std::string(rest.substr(0, space)), std::string(rest.substr(space + 1)),
                              &textOut) &&
                textOut)
                Append(out, textOut->data(), textOut->size());
        } else {
            Reference(std::string(d), depth, out);
        }
    }
    m_bands.resize(base); // bands left open by this text end with it
}

void TKrReportGenerator::Reference(const std::string& directive, int depth, std::string& out) {
    const std::size_t space = directive.find(' ');
    const std::string name = directive.substr(0, space);
    std::string value;
    std::string key;
    if (Resolve(name, key)) {
        const std::string* v = Find(key);
        if (!v && !EndsWithDollar(key)) {
            key += '$';
            v = Find(key);
        }
        if (v) value = IsExpandable(key) ? Expand(v->data(), v->size(), depth + 1) : *v;
    }
    if (space != std::string::npos) {
        const std::string_view widthText = std::string_view(directive).substr(space + 1);
        const long width = ParseWidth(widthText);
        if (width > 0) {
            const std::size_t w = static_cast<std::size_t>(width);
            if (w <= value.size())
                value.resize(w);
            else if (StartsWith(widthText, "0"))
                value.insert(0, w - value.size(), ' ');
            else
                value.append(w - value.size(), ' ');
        }
    }
    Append(out, value.data(), value.size());
}

bool TKrReportGenerator::Condition(const std::string& condition) const {
    const std::size_t eq = condition.find("==");
    std::string key;
    if (!Resolve(condition.substr(0, eq), key)) return true;
    if (eq != std::string::npos) {
        const std::string* v = Find(key);
        return v && v->compare(0, std::string::npos, condition, eq + 2, std::string::npos) == 0;
    }
    return Exists(key) || (!EndsWithDollar(key) && Exists(key + "$"));
}

bool TKrReportGenerator::Resolve(const std::string& name, std::string& key) const {
    const std::size_t dots = static_cast<std::size_t>(std::count(name.begin(), name.end(), '.'));
    if (dots > m_bands.size()) return false;
    if (dots == 0) {
        key = name;
        return true;
    }
    const std::string formal = FormalPrefix(dots);
    if (!StartsWith(name, formal)) return false;
    key = RealPrefix(dots);
    key.append(name, formal.size(), std::string::npos);
    return true;
}

std::string TKrReportGenerator::FormalPrefix(std::size_t bands) const {
    std::string s;
    for (std::size_t i = 0; i < bands; ++i) {
        s += m_bands[i].name;
        s += '.';
    }
    return s;
}

std::string TKrReportGenerator::RealPrefix(std::size_t bands) const {
    std::string s;
    for (std::size_t i = 0; i < bands; ++i) {
        s += m_bands[i].name;
        s += '[';
        s += std::to_string(m_bands[i].index);
        s += "].";
    }
    return s;
}

const std::string* TKrReportGenerator::Find(const std::string& key) const {
    if (!m_variables) return nullptr;
    const auto it = m_variables->find(key);
    return it == m_variables->end() ? nullptr : &it->second;
}

void TKrReportGenerator::Strings2Vars(const std::string& text, TVariables& variables) {
    std::size_t p = 0;
    while (p <= text.size()) {
        std::size_t end = text.find_first_of("\r\n", p);
        if (end == std::string::npos) end = text.size();
        const std::size_t eq = text.find('=', p);
        if (eq != std::string::npos && eq < end && eq > p)
            variables[text.substr(p, eq - p)] = text.substr(eq + 1, end - eq - 1);
        p = end + 1;
    }
}

void TKrReportGenerator::XStrings2VarsE(const std::string& text, TVariables& variables) {
    TKrXIniStreamReader reader(new_a<TKrStringStream>(text), true, nullptr);
    const std::size_t n = reader.CountE();
    for (std::size_t i = 0; i < n; ++i)
        if (reader.ItemTypeE(i) == TE_KrXIniItemType::String)
            variables[reader.ItemNameE(i)] = reader.ReadE_x_string(i);
}
