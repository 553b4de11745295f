// Tag search paths: the native and the XPath-like text forms, matching and rendering.
#include "Xml/KrXmlSearchPath.h"

#include "Core/KrMessage.h"
#include "Xml/KrXmlDom.h"
#include "Xml/KrXmlEscape.h"
#include "Xml/KrXmlParser.h"
#include "Xml/KrXmlCharClass.h"

#include <cstring>

namespace {
using CC = TE_KrXmlCharClass;

/// A cursor over the path text; every reader method leaves it on the first byte it did not take.
struct TCursor {
    const char* begin;
    const char* p;
    const char* end;

    bool AtEnd() const { return p >= end; }
    std::size_t Pos() const { return static_cast<std::size_t>(p - begin); }
    bool Is(char c) const { return p < end && *p == c; }
    bool Take(char c) {
        if (!Is(c)) return false;
        ++p;
        return true;
    }
    bool Take(const char* word, std::size_t n) {
        if (static_cast<std::size_t>(end - p) < n || std::memcmp(p, word, n) != 0) return false;
        p += n;
        return true;
    }
    void SkipSpace() {
        while (p < end && KrXmlIsClass(*p, CC::xccSpace))
            ++p;
    }
    /// An XML name, or false when none starts here.
    bool Name(std::string& out) {
        if (p >= end || !KrXmlIsClass(*p, CC::xccNameStart)) return false;
        const char* b = p++;
        while (p < end && KrXmlIsClass(*p, CC::xccName))
            ++p;
        out.assign(b, p);
        return true;
    }
    /// A value in '"' or '\'' quotes, unescaped.
    bool Quoted(std::string& out) {
        if (p >= end || (*p != '"' && *p != '\'')) return false;
        const char q = *p;
        const char* b = p + 1;
        const char* e = b;
        while (e < end && *e != q)
            ++e;
        if (e >= end) return false;
        out = KrDecodeStringXml(b, static_cast<std::size_t>(e - b));
        p = e + 1;
        return true;
    }
};

[[noreturn]] void ThrowNative(const TCursor& c) {
    throw TKrMessage("@TKrXmlTagSearchPath format error at pos %1% (data=\"%2%\").")
        << c.Pos() << std::string(c.begin, c.end);
}

[[noreturn]] void ThrowXPath(const TCursor& c, const char* what) {
    throw TKrMessage("@TKrXmlTagSearchPath[xpath~] format error %1% at pos %2% (data=\"%3%\").")
        << what << c.Pos() << std::string(c.begin, c.end);
}
} // namespace

TKrXmlSearchPathPredicate::TKrXmlSearchPathPredicate(const char* text, std::size_t length) {
    Init(text, length);
}

TKrXmlSearchPathPredicate::TKrXmlSearchPathPredicate(const std::string& text) {
    Init(text.data(), text.size());
}

TKrXmlSearchPathPredicate::TKrXmlSearchPathPredicate(int pathType, const char* text, std::size_t length) {
    Init(pathType, text, length);
}

TKrXmlSearchPathPredicate::TKrXmlSearchPathPredicate(int pathType, const std::string& text) {
    Init(pathType, text.data(), text.size());
}

void TKrXmlSearchPathPredicate::Init(int pathType, const char* text, std::size_t length) {
    if (pathType == pathNative) return Init(text, length);
    if (pathType == pathXPath) return InitXPath(text, length);
    throw TKrMessage("@TKrXmlTagSearchPath: invalid path type (\"%2%\").")
        << std::string(text, length) << pathType;
}

void TKrXmlSearchPathPredicate::Init(const char* text, std::size_t length) {
    std::vector<TStep> steps;
    TCursor c{text, text, text + length};
    for (c.SkipSpace(); !c.AtEnd(); c.SkipSpace()) {
        if (!c.Take('<')) ThrowNative(c);
        TStep step;
        c.Name(step.name);
        for (;;) {
            const bool spaced = c.AtEnd() || KrXmlIsClass(*c.p, CC::xccSpace);
            c.SkipSpace();
            if (c.Take('>')) break;
            if (!spaced) ThrowNative(c);
            TCondition cond;
            if (c.Take('!')) cond.flags |= condNegated;
            if (!c.Name(cond.name)) ThrowNative(c);
            const char* afterName = c.p;
            c.SkipSpace();
            if (c.Take('=')) {
                c.SkipSpace();
                if (!c.Quoted(cond.value)) ThrowNative(c);
                cond.flags |= condValue;
            } else {
                c.p = afterName;
            }
            step.conditions.push_back(std::move(cond));
        }
        steps.push_back(std::move(step));
    }
    m_steps.swap(steps);
}

void TKrXmlSearchPathPredicate::InitXPath(const char* text, std::size_t length) {
    std::vector<TStep> steps;
    TCursor c{text, text, text + length};
    while (!c.AtEnd()) {
        if (!steps.empty() && !c.Take('/')) ThrowXPath(c, "'/' expected");
        TStep step;
        if (!c.Take('*') && !c.Name(step.name)) ThrowXPath(c, "tag name or '*' expected");
        while (c.Take('[')) {
            TCondition cond;
            c.SkipSpace();
            const bool negated = c.Take("not", 3);
            if (negated) {
                cond.flags |= condNegated;
                c.SkipSpace();
                if (!c.Take('(')) ThrowXPath(c, "'(' expected");
                c.SkipSpace();
            }
            if (!c.Take('@')) ThrowXPath(c, "'@' expected");
            if (!c.Name(cond.name)) ThrowXPath(c, "attribute name expected");
            c.SkipSpace();
            if (c.Take('=')) {
                c.SkipSpace();
                if (!c.Quoted(cond.value)) ThrowXPath(c, "quoted value expected");
                cond.flags |= condValue;
                c.SkipSpace();
            }
            if (negated) {
                if (!c.Take(')')) ThrowXPath(c, "')' expected");
                c.SkipSpace();
            }
            if (!c.Take(']')) ThrowXPath(c, "']' expected");
            step.conditions.push_back(std::move(cond));
        }
        steps.push_back(std::move(step));
    }
    m_steps.swap(steps);
}

int TKrXmlSearchPathPredicate::Test(const TKrXmlTagItem& tag, std::size_t step) const {
    if (step >= m_steps.size()) return testNoMatch;
    const TStep& s = m_steps[step];
    if (!s.name.empty() && s.name != tag.m_name) return testNoMatch;
    for (const TCondition& cond : s.conditions) {
        const std::size_t i = tag.m_attributes.find(cond.name);
        bool holds = i != TKrXmlTagAttributes::npos;
        if (holds && (cond.flags & condValue)) holds = tag.m_attributes[i].value == cond.value;
        if (cond.flags & condNegated) holds = !holds;
        if (!holds) return testNoMatch;
    }
    return step + 1 == m_steps.size() ? testLast : testMore;
}

std::string TKrXmlSearchPathPredicate::error_mask_name(std::size_t from, std::size_t to) const {
    if (to > m_steps.size()) to = m_steps.size();
    if (from >= to) return "(none)";
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        const TStep& s = m_steps[i];
        if (i != from) out += '/';
        out += s.name.empty() ? std::string("*") : s.name;
        for (const TCondition& cond : s.conditions) {
            const bool negated = (cond.flags & condNegated) != 0;
            out += negated ? "[not(@" : "[@";
            out += cond.name;
            if (cond.flags & condValue) {
                out += "=\"";
                out += KrEncodeStringXml(cond.value, TE_KrEncodeStringXmlMode::xmlEncQuot |
                                                         TE_KrEncodeStringXmlMode::xmlEncAmp);
                out += '"';
            }
            out += negated ? ")]" : "]";
        }
    }
    return out;
}
