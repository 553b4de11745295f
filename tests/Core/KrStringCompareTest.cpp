#include "Core/KrStringCompare.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

namespace {
int Cmp(const char* a, const char* b, int mode) {
    return krstrcmp(a, std::strlen(a), b, std::strlen(b), mode);
}
} // namespace

TEST(KrPatternMatch, WildcardsAndCase) {
    EXPECT_TRUE(KrPatternMatch("Report.TXT", "*.txt"));
    EXPECT_TRUE(KrPatternMatch("", "*"));
    EXPECT_TRUE(KrPatternMatch("", ""));
    EXPECT_FALSE(KrPatternMatch("a", ""));
    EXPECT_FALSE(KrPatternMatch("", "?"));
    EXPECT_TRUE(KrPatternMatch("abc", "a?c"));
    EXPECT_FALSE(KrPatternMatch("ac", "a?c"));
    EXPECT_TRUE(KrPatternMatch("abcbcd", "*bc?")); // needs the later "bc"
    EXPECT_TRUE(KrPatternMatch("mississippi", "m*iss*ppi"));
    EXPECT_FALSE(KrPatternMatch("mississippi", "m*iss*ppx"));
    EXPECT_TRUE(KrPatternMatch("ab", "a**b*"));
    EXPECT_FALSE(KrPatternMatch("abc", "*b"));
    EXPECT_FALSE(KrPatternMatch(nullptr, "*"));
    EXPECT_FALSE(KrPatternMatch("x", nullptr));
}

TEST(KrPatternMatch, ManyStarsStayFast) {
    // A recursive matcher takes exponential time here.
    const std::string text(5000, 'a');
    std::string pattern;
    for (int i = 0; i < 200; ++i)
        pattern += "*a";
    pattern += "*b";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(KrPatternMatch(text.c_str(), pattern.c_str()));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

TEST(KrStringCompare, PrefixThenLengthInEveryMode) {
    for (int mode : {0, 1, 2, 3}) {
        EXPECT_EQ(Cmp("abc", "ab", mode), 1) << mode;
        EXPECT_EQ(Cmp("ab", "abc", mode), -1) << mode;
        EXPECT_EQ(Cmp("", "", mode), 0) << mode;
        EXPECT_EQ(Cmp("b", "abc", mode), 1) << mode;
    }
    // Counted texts: bytes past the length do not count, embedded NULs do.
    EXPECT_EQ(krstrcmp("abX", 2, "abY", 2, 2), 0);
    EXPECT_EQ(krstrcmp("a\0b", 3, "a\0c", 3, 2), -1);
    EXPECT_EQ(krstrcmp(nullptr, 5, "", 0, 0), 0);
}

TEST(KrStringCompare, CaseRulesPerMode) {
    EXPECT_EQ(Cmp("ABC", "abc", 0), 0);
    EXPECT_EQ(Cmp("ABC", "abc", 2), -1);
    EXPECT_EQ(Cmp("ABC", "abc", 1), 0);
    // The locale comparison is a total order: equal under collation yet different texts differ.
    EXPECT_NE(Cmp("ABC", "abc", 3), 0);
    EXPECT_EQ(Cmp("a", "A", 3), -Cmp("A", "a", 3));
    EXPECT_NE(Cmp("a", "A", 3), 0);
    // Signed bytes: a UTF-8 lead byte sorts before ASCII in the latin comparisons.
    EXPECT_EQ(Cmp("\xC3\xA9", "a", 2), -1);
    EXPECT_EQ(strcmpi_latin("[", 1, "a", 1), -1); // folding happens before comparing: '[' < 'a'
    // Non-ASCII letters only fold in the locale comparison.
    EXPECT_NE(Cmp("\xC3\x89", "\xC3\xA9", 0), 0);
    EXPECT_EQ(Cmp("\xC3\x89", "\xC3\xA9", 1), 0);
}

TEST(KrStringCompare, LocaleComparisonsFollowTheDefaultLocale) {
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const int collated = Cmp("apple", "Banana", 3);
    const int accented = Cmp("\xC3\xA9t\xC3\xA9", "f", 3); // "ete" with accents sorts before f
    QLocale::setDefault(saved);
    EXPECT_EQ(collated, -1); // bytes would say 1: 'a' > 'B'
    EXPECT_EQ(accented, -1);
}

TEST(KrStringCompare, StdLibFormsAndAlternatives) {
    EXPECT_EQ(krstrcmpi("Hello", "hELLO"), 0);
    EXPECT_EQ(krstrcmpi("a", "B"), -1);
    EXPECT_EQ(krstrcmpi(nullptr, ""), 0);
    EXPECT_EQ(krstrncmpi("abcX", "ABCy", 3), 0);
    EXPECT_EQ(strcmp_x("on", "yes", "on"), 0);
    EXPECT_EQ(strcmp_x("yes", "yes"), 0);
    EXPECT_EQ(strcmp_x("no", "yes", "on"), -1);
    EXPECT_EQ(strcmp_x(std::string("z"), "yes", nullptr), 1);
}

TEST(KrStringCompare, AsciiCaseMapping) {
    char buf[] = "Mixed \xC3\xA9 Case 1";
    EXPECT_STREQ(toupper(buf), "MIXED \xC3\xA9 CASE 1");
    EXPECT_STREQ(tolower(buf), "mixed \xC3\xA9 case 1");
    EXPECT_EQ(toupper(std::string("a\0b", 3)), std::string("A\0B", 3));
    EXPECT_EQ(toupper(static_cast<char*>(nullptr)), nullptr);
    EXPECT_TRUE(isalpha_latin('Z'));
    EXPECT_FALSE(isalpha_latin('\xE9'));
    EXPECT_EQ(toupper_latin('\xE9'), '\xE9');
}
