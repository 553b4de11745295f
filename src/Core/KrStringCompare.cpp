// Wildcard matching, byte and locale comparisons with selectable case rules, case conversion.
#include "Core/KrStringCompare.h"

#include <QCollator>
#include <QLocale>
#include <QString>

#include <cstring>

namespace {
inline int Sign(int v) {
    return (v > 0) - (v < 0);
}

// ASCII folding only: the locale's tolower maps 'I' to a dotless i under Turkish, and bytes of
// UTF-8 sequences to letters under single-byte locales.
inline char FoldCase(unsigned char c) {
    return tolower_latin(static_cast<char>(c));
}

// strcasecmp as the "C" locale does it, over at most `n` bytes: ASCII letters folded, bytes
// compared as unsigned char.
int CompareNoCase(const char* a, const char* b, std::size_t n) {
    for (; n; --n, ++a, ++b) {
        const unsigned char ca = static_cast<unsigned char>(tolower_latin(*a));
        const unsigned char cb = static_cast<unsigned char>(tolower_latin(*b));
        if (ca != cb) return ca < cb ? -1 : 1;
        if (!ca) break;
    }
    return 0;
}

// Two-pointer glob matching. On a mismatch after a "*", the star is made to swallow one more
// text byte and matching resumes right after it; only the latest star needs to be retried,
// because any match found through an earlier star is also reachable through the later one.
bool Glob(const unsigned char* t, const unsigned char* p) {
    const unsigned char* starP = nullptr; // pattern position after the latest "*"
    const unsigned char* starT = nullptr; // text position that star currently stops at
    while (*t) {
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (!*p) return true; // a trailing star takes any rest
            starP = p;
            starT = t;
        } else if (*p && (*p == '?' || FoldCase(*p) == FoldCase(*t))) {
            ++p;
            ++t;
        } else if (starP) {
            p = starP;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (*p == '*')
        ++p;
    return !*p;
}

template <class Fold>
int CompareBytes(const char* a, std::size_t lenA, const char* b, std::size_t lenB, Fold fold) {
    if (!a) lenA = 0;
    if (!b) lenB = 0;
    const std::size_t n = lenA < lenB ? lenA : lenB;
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = static_cast<signed char>(fold(a[i]));
        const int cb = static_cast<signed char>(fold(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return lenA == lenB ? 0 : (lenA < lenB ? -1 : 1);
}

char Same(char c) {
    return c;
}

QString FromUtf8(const char* s, std::size_t len) {
    if (!s || len == 0) return QString();
    return QString::fromUtf8(s, static_cast<int>(len > 0x7FFFFFFF ? 0x7FFFFFFF : len));
}

// A collator for the current default QLocale, kept per thread (QCollator is not thread-safe
// and costly to make) and remade when the default locale changes.
const QCollator& Collator() {
    thread_local QLocale locale;
    thread_local QCollator collator(locale);
    const QLocale current;
    if (current != locale) {
        locale = current;
        collator = QCollator(locale);
    }
    return collator;
}

int CompareLocale(const char* a, std::size_t lenA, const char* b, std::size_t lenB, bool ignoreCase) {
    QString qa = FromUtf8(a, lenA), qb = FromUtf8(b, lenB);
    if (ignoreCase) {
        qa = qa.toCaseFolded();
        qb = qb.toCaseFolded();
    }
    const int c = Sign(Collator().compare(qa, qb));
    if (c != 0) return c;
    // Equal under collation: a total order still needs a tie-break that is consistent with the
    // case rule, so use the folded UTF-16 texts when case does not count and the bytes when it does.
    if (ignoreCase) return Sign(qa.compare(qb));
    return CompareBytes(a, lenA, b, lenB, Same);
}

const char* OrEmpty(const char* s) {
    return s ? s : "";
}
} // namespace

bool KrPatternMatch(const char* text, const char* pattern) {
    if (!text || !pattern) return false;
    return Glob(reinterpret_cast<const unsigned char*>(text),
                reinterpret_cast<const unsigned char*>(pattern));
}

int krstrcmp(const char* a, std::size_t lenA, const char* b, std::size_t lenB, int mode) {
    switch (mode) {
    case 1:
        return strcmpi_locale(a, lenA, b, lenB);
    case 2:
        return strcmp_latin(a, lenA, b, lenB);
    case 3:
        return strcmp_locale(a, lenA, b, lenB);
    default:
        return strcmpi_latin(a, lenA, b, lenB);
    }
}

int strcmpi_latin(const char* a, std::size_t lenA, const char* b, std::size_t lenB) {
    return CompareBytes(a, lenA, b, lenB, tolower_latin);
}

int strcmp_latin(const char* a, std::size_t lenA, const char* b, std::size_t lenB) {
    return CompareBytes(a, lenA, b, lenB, Same);
}

int strcmp_locale(const char* a, std::size_t lenA, const char* b, std::size_t lenB) {
    return CompareLocale(a, lenA, b, lenB, false);
}

int strcmpi_locale(const char* a, std::size_t lenA, const char* b, std::size_t lenB) {
    return CompareLocale(a, lenA, b, lenB, true);
}

int krstrcmpi(const char* a, const char* b) {
    return CompareNoCase(OrEmpty(a), OrEmpty(b), static_cast<std::size_t>(-1));
}

int krstrncmpi(const char* a, const char* b, std::size_t n) {
    return CompareNoCase(OrEmpty(a), OrEmpty(b), n);
}

int strcmp_x(const char* text, const char* alt1, const char* alt2) {
    text = OrEmpty(text);
    const int c = Sign(std::strcmp(text, OrEmpty(alt1)));
    if (c == 0 || (alt2 && std::strcmp(text, alt2) == 0)) return 0;
    return c;
}

int strcmp_x(const std::string& text, const char* alt1, const char* alt2) {
    if (alt1 && text == alt1) return 0;
    if (alt2 && text == alt2) return 0;
    return Sign(text.compare(OrEmpty(alt1)));
}

bool isalpha_latin(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

char toupper_latin(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char tolower_latin(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

char* toupper(char* text) {
    if (text)
        for (char* p = text; *p; ++p)
            *p = toupper_latin(*p);
    return text;
}

char* tolower(char* text) {
    if (text)
        for (char* p = text; *p; ++p)
            *p = tolower_latin(*p);
    return text;
}

std::string toupper(const std::string& text) {
    std::string out(text);
    for (char& c : out)
        c = toupper_latin(c);
    return out;
}

std::string tolower(const std::string& text) {
    std::string out(text);
    for (char& c : out)
        c = tolower_latin(c);
    return out;
}
