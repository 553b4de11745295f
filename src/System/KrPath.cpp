// TKrPath text rules: normalisation, name parts, composition, comparison and relative forms; no disk access.
#include "System/KrPath.h"
#include "System/KrPathMetadata.h"

#include "Core/KrExceptions.h"
#include "Core/KrMessage.h"

#include <QString>

#include <cstring>
#include <ostream>

namespace {

QString ToQ(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}
std::string FromQ(const QString& s) {
    const QByteArray utf8 = s.toUtf8();
    return std::string(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

bool IsAscii(const std::string& s) noexcept {
    for (unsigned char c : s)
        if (c >= 0x80) return false;
    return true;
}
bool IsLatinLetter(char c) noexcept {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
char AsciiLower(char c) noexcept {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Case folding independent of the locale (a Turkish one would lower 'I' to a dotless i): ASCII
// texts fold byte-wise, others by Unicode's default mapping.
std::string LowerKey(const std::string& s) {
    if (IsAscii(s)) {
        std::string out(s);
        for (char& c : out)
            c = AsciiLower(c);
        return out;
    }
    return FromQ(ToQ(s).toLower());
}
std::string UpperKey(const std::string& s) {
    if (IsAscii(s)) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        return out;
    }
    return FromQ(ToQ(s).toUpper());
}
bool EqualNoCase(const char* a, std::size_t na, const char* b, std::size_t nb) {
    bool ascii = true;
    for (std::size_t i = 0; i < na && ascii; ++i)
        ascii = static_cast<unsigned char>(a[i]) < 0x80;
    for (std::size_t i = 0; i < nb && ascii; ++i)
        ascii = static_cast<unsigned char>(b[i]) < 0x80;
    if (ascii) {
        if (na != nb) return false;
        for (std::size_t i = 0; i < na; ++i)
            if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
        return true;
    }
    return LowerKey(std::string(a, na)) == LowerKey(std::string(b, nb));
}
bool EqualNoCase(const std::string& a, const std::string& b) {
    return EqualNoCase(a.data(), a.size(), b.data(), b.size());
}

bool IsDriveRoot(const std::string& t) noexcept {
    return t.size() == 3 && IsLatinLetter(t[0]) && t[1] == ':' && t[2] == '/';
}
bool LooksLikeDrive(const std::string& c) noexcept {
    return c.size() == 2 && IsLatinLetter(c[0]) && c[1] == ':';
}

// Length of the text without one trailing '/', keeping "/", "//" and "C:/" whole.
std::size_t RemSlashLength(const std::string& t) noexcept {
    if (t.empty() || t.back() != '/') return t.size();
    if (t == "/" || t == "//" || IsDriveRoot(t)) return t.size();
    return t.size() - 1;
}

// Splits `text` at '/' and calls `f` for every non-empty component.
template <class F> void ForEachComponent(const std::string& text, std::size_t from, F&& f) {
    while (from < text.size()) {
        std::size_t end = text.find('/', from);
        if (end == std::string::npos) end = text.size();
        if (end > from) f(text.substr(from, end - from));
        from = end + 1;
    }
}

// Joins a component stack made by simplify_ex. The leading "." of a relative stack is dropped
// unless the next component would then read as a drive.
std::string JoinStack(const std::vector<std::string>& stack, bool absolute) {
    if (stack.empty()) return std::string();
    std::string out;
    std::size_t i = 0;
    if (absolute) {
        out = stack[0].empty() ? std::string("/") : stack[0];
        if (stack.size() > 1 && out.back() != '/') out += '/';
        i = 1;
    } else if (stack[0] == "." && stack.size() > 1 && !LooksLikeDrive(stack[1])) {
        i = 1;
    }
    for (std::size_t first = i; i < stack.size(); ++i) {
        if (i > first) out += '/';
        out += stack[i];
    }
    return out;
}

} // namespace

// ---- construction --------------------------------------------------------------------------------

TKrPath::TKrPath() noexcept = default;
TKrPath::TKrPath(const std::string& path) {
    initPath(path);
}
TKrPath::TKrPath(const char* path) {
    initPath(path ? std::string(path) : std::string());
}
TKrPath::TKrPath(const std::wstring& path) {
    initPath(FromQ(QString::fromStdWString(path)));
}
TKrPath::TKrPath(const wchar_t* path) {
    initPath(path ? FromQ(QString::fromWCharArray(path)) : std::string());
}
TKrPath::TKrPath(const QString& path) {
    initPath(FromQ(path));
}
TKrPath::TKrPath(const TKrPath& other) : m_text(other.m_text) {}
TKrPath::TKrPath(TKrPath&& other) noexcept : m_text(std::move(other.m_text)) {
    other.m_metadata.reset();
}
TKrPath::TKrPath(std::string text, TRawText) noexcept : m_text(std::move(text)) {}
TKrPath::~TKrPath() = default;

TKrPath& TKrPath::operator=(const TKrPath& other) {
    if (this != &other) {
        m_text = other.m_text;
        m_metadata.reset();
    }
    return *this;
}
TKrPath& TKrPath::operator=(TKrPath&& other) noexcept {
    if (this != &other) {
        m_text = std::move(other.m_text);
        m_metadata.reset();
        other.m_metadata.reset();
    }
    return *this;
}

void TKrPath::setPath(const std::string& path) {
    initPath(path);
}
void TKrPath::setPath(const char* path) {
    initPath(path ? std::string(path) : std::string());
}
void TKrPath::setPath(const QString& path) {
    initPath(FromQ(path));
}

void TKrPath::initPath(std::string text) {
    std::size_t w = 0;
    for (std::size_t r = 0; r < text.size(); ++r) {
        char c = text[r] == '\\' ? '/' : text[r];
        // A slash after a slash goes, except in the first two places (the // of network paths).
        if (c == '/' && w >= 2 && text[w - 1] == '/') continue;
        text[w++] = c;
    }
    text.resize(w);
    if (text.size() == 2 && IsLatinLetter(text[0]) && text[1] == ':') text += '/';
    m_text = std::move(text);
    m_metadata.reset();
}

// ---- classification ------------------------------------------------------------------------------

bool TKrPath::isWinDisk() const noexcept {
    return m_text.size() >= 3 && IsLatinLetter(m_text[0]) && m_text[1] == ':' && m_text[2] == '/';
}
bool TKrPath::isWinNetwork() const noexcept {
    return m_text.size() >= 3 && m_text[0] == '/' && m_text[1] == '/' && m_text[2] != '/';
}
bool TKrPath::isRoot() const noexcept {
    return !m_text.empty() && m_text[0] == '/' && (m_text.size() == 1 || m_text[1] != '/');
}

// ---- composition ---------------------------------------------------------------------------------

TKrPath TKrPath::addPath(const TKrPath& p) const {
    if (p.isPathEmpty()) return addSlash();
    if (p.isAbsolute()) return p;
    if (m_text.empty()) return p;
    std::string text = m_text;
    if (text.back() != '/') text += '/';
    text += p.m_text;
    return TKrPath(text);
}

TKrPath& TKrPath::operator/=(const TKrPath& p) {
    return *this = addPath(p);
}

TKrPath TKrPath::addStr(const std::string& s) const {
    return TKrPath(m_text + s, TRawText{});
}

TKrPath TKrPath::addSlash() const {
    if (m_text.empty() || m_text.back() == '/') return TKrPath(m_text, TRawText{});
    return TKrPath(m_text + '/', TRawText{});
}

TKrPath TKrPath::remSlash() const {
    return TKrPath(m_text.substr(0, RemSlashLength(m_text)), TRawText{});
}

TKrPath TKrPath::path(bool ignoreTrailingSlash) const {
    if (m_text.empty()) return TKrPath();
    std::size_t from = m_text.size() - 1;
    if (ignoreTrailingSlash && m_text.back() == '/') {
        if (from == 0) return TKrPath();
        --from;
    }
    std::size_t slash = m_text.rfind('/', from);
    if (slash == std::string::npos) return TKrPath();
    return TKrPath(m_text.substr(0, slash + 1), TRawText{});
}

std::string TKrPath::fileName() const {
    std::size_t slash = m_text.rfind('/');
    return slash == std::string::npos ? m_text : m_text.substr(slash + 1);
}

// ---- name parts ----------------------------------------------------------------------------------

namespace {
struct TNameDots {
    std::string name;
    std::size_t first = std::string::npos; // first dot after the leading dots
    std::size_t last = std::string::npos;  // last dot after the leading dots
};
TNameDots FindDots(const std::string& name) {
    TNameDots d;
    d.name = name;
    std::size_t start = name.find_first_not_of('.');
    if (start == std::string::npos) return d;
    d.first = name.find('.', start);
    if (d.first != std::string::npos) d.last = name.rfind('.');
    return d;
}
} // namespace

std::string TKrPath::baseName() const {
    TNameDots d = FindDots(fileName());
    return d.first == std::string::npos ? d.name : d.name.substr(0, d.first);
}
std::string TKrPath::fullBaseName() const {
    TNameDots d = FindDots(fileName());
    return d.last == std::string::npos ? d.name : d.name.substr(0, d.last);
}
std::string TKrPath::mainExt() const {
    TNameDots d = FindDots(fileName());
    return d.last == std::string::npos ? std::string() : d.name.substr(d.last);
}
std::string TKrPath::fullExt() const {
    TNameDots d = FindDots(fileName());
    return d.first == std::string::npos ? std::string() : d.name.substr(d.first);
}
TKrPath TKrPath::removeMainExt() const {
    return TKrPath(m_text.substr(0, m_text.size() - mainExt().size()), TRawText{});
}
TKrPath TKrPath::removeFullExt() const {
    return TKrPath(m_text.substr(0, m_text.size() - fullExt().size()), TRawText{});
}

// ---- conversions and comparison ------------------------------------------------------------------

QString TKrPath::toQtStr() const {
    return ToQ(m_text);
}
std::string TKrPath::toQuotedStr(bool system) const {
    return '"' + (system ? toSysStr() : toPortableStr()) + '"';
}
std::string TKrPath::normalise(bool withoutTrailingSlash) const {
    return UpperKey(withoutTrailingSlash ? m_text.substr(0, RemSlashLength(m_text)) : m_text);
}

bool TKrPath::operator==(const TKrPath& other) const {
    return EqualNoCase(m_text.data(), RemSlashLength(m_text), other.m_text.data(),
                       RemSlashLength(other.m_text));
}

int pathcmp(const TKrPath& a, const TKrPath& b) {
    const std::string la = LowerKey(a.remSlash().str());
    const std::string lb = LowerKey(b.remSlash().str());
    if (la == lb) return 0;
    int c = QString::localeAwareCompare(ToQ(la), ToQ(lb));
    if (c == 0) c = la.compare(lb);
    return c < 0 ? -1 : 1;
}

std::ostream& operator<<(std::ostream& os, const TKrPath& path) {
    return os << path.str();
}
const TKrMessage& operator<<(const TKrMessage& m, const TKrPath& path) noexcept {
    return m << path.str();
}

// ---- validation ----------------------------------------------------------------------------------

bool TKrPath::isValidFileName(const std::string& name) {
    return !name.empty() && name.find_first_of(std::string("\0/\\", 3)) == std::string::npos;
}
bool TKrPath::isPathValid() const {
    return !m_text.empty() && m_text.find('\0') == std::string::npos;
}
std::string TKrPath::makeValidFileName(const std::string& name) {
    std::string out(name);
    for (char& c : out)
        if (c == ' ' || (c >= '\t' && c <= '\r')) c = '_'; // isspace of the "C" locale
    return out;
}

// ---- relative and absolute forms -----------------------------------------------------------------

std::vector<std::string> TKrPath::simplify_ex() const {
    std::vector<std::string> stack;
    if (m_text.empty()) return stack;
    std::size_t rest = 0;
    if (isWinDisk()) {
        stack.push_back(m_text.substr(0, 2));
        rest = 3;
    } else if (isWinNetwork()) {
        std::size_t slash = m_text.find('/', 2);
        if (slash == std::string::npos) slash = m_text.size();
        stack.push_back(m_text.substr(0, slash));
        rest = slash + 1;
    } else if (isRoot()) {
        stack.emplace_back();
        rest = 1;
    } else {
        stack.emplace_back(".");
    }
    ForEachComponent(m_text, rest, [&](std::string c) {
        if (c == ".") return;
        if (c == "..") {
            if (stack.back() == ".")
                stack.back() = "..";
            else if (stack.size() == 1 || stack.back() == "..")
                stack.push_back(std::move(c));
            else
                stack.pop_back();
            return;
        }
        stack.push_back(std::move(c));
    });
    return stack;
}

TKrPath TKrPath::simplify() const {
    return TKrPath(JoinStack(simplify_ex(), isAbsolute()));
}

TKrPath TKrPath::makeAbsolute(const TKrPath& base) const {
    if (isAbsolute()) return *this;
    if (base.isPathEmpty() || !base.isAbsolute()) return TKrPath();
    return (base / *this).simplify();
}

namespace {
// Stacks of two paths compared from the start: the index after the common part and whether
// they share a root at all. Relative stacks are compared without their leading ".".
struct TCommon {
    bool sameRoot = false;
    std::size_t a0 = 0, b0 = 0; // where the comparable components start
    std::size_t count = 0;      // common components after a0 / b0
};
TCommon CommonPart(const TKrPath& pa, const std::vector<std::string>& a, const TKrPath& pb,
                   const std::vector<std::string>& b) {
    TCommon c;
    if (a.empty() || b.empty() || pa.isAbsolute() != pb.isAbsolute()) return c;
    if (pa.isAbsolute()) {
        if (!EqualNoCase(a[0], b[0])) return c;
        c.a0 = c.b0 = 1;
    } else {
        c.a0 = a[0] == "." ? 1 : 0;
        c.b0 = b[0] == "." ? 1 : 0;
    }
    c.sameRoot = true;
    while (c.a0 + c.count < a.size() && c.b0 + c.count < b.size() &&
           EqualNoCase(a[c.a0 + c.count], b[c.b0 + c.count]))
        ++c.count;
    return c;
}
} // namespace

TKrPath TKrPath::makeRelative(const TKrPath& base) const {
    const std::vector<std::string> a = simplify_ex();
    const std::vector<std::string> b = base.simplify_ex();
    const TCommon c = CommonPart(*this, a, base, b);
    if (!c.sameRoot) return *this;
    KR_CHECK_TEXT(
        c.a0 + c.count <= a.size() && c.b0 + c.count <= b.size(),
        "TKrPath::makeRelative: Unexpected common_path folder length, exceeding either this_path or "
        "base_path");
    std::vector<std::string> out{"."};
    for (std::size_t i = c.b0 + c.count; i < b.size(); ++i) {
        // A ".." left in the base names a folder we cannot know; there is no way back from it.
        if (b[i] == "..") return *this;
        out.emplace_back("..");
    }
    out.insert(out.end(), a.begin() + static_cast<std::ptrdiff_t>(c.a0 + c.count), a.end());
    return TKrPath(JoinStack(out, false));
}

TKrPath TKrPath::commonPath(const TKrPath& other) const {
    std::vector<std::string> a = simplify_ex();
    const std::vector<std::string> b = other.simplify_ex();
    const TCommon c = CommonPart(*this, a, other, b);
    if (!c.sameRoot) return TKrPath();
    a.resize(c.a0 + c.count);
    if (!isAbsolute() && a.empty()) a.emplace_back(".");
    return TKrPath(JoinStack(a, isAbsolute()));
}

std::vector<std::string> TKrPath::split() const {
    std::vector<std::string> parts;
    std::size_t rest = 0;
    if (isWinDisk()) {
        parts.push_back(m_text.substr(0, 3));
        rest = 3;
    } else if (isWinNetwork()) {
        std::size_t slash = m_text.find('/', 2);
        parts.push_back(slash == std::string::npos ? m_text : m_text.substr(0, slash + 1));
        rest = slash == std::string::npos ? m_text.size() : slash + 1;
    } else if (isRoot()) {
        parts.emplace_back("/");
        rest = 1;
    }
    ForEachComponent(m_text, rest, [&](std::string c) { parts.push_back(std::move(c)); });
    return parts;
}

TKrPath TKrPath::stripAbs() const {
    if (isWinDisk()) return TKrPath(m_text.substr(3));
    if (isWinNetwork()) return TKrPath(m_text.substr(2));
    if (isRoot()) return TKrPath(m_text.substr(1));
    return *this;
}
