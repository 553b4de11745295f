// Escaping and unescaping of XML text.
#include "Xml/KrXmlEscape.h"

#include <gtest/gtest.h>

#include <random>

namespace {
using M = TE_KrEncodeStringXmlMode;
std::string Dec(const std::string& s) {
    return KrDecodeStringXml(s);
}
} // namespace

TEST(XmlEscape, DecodesNamedAndNumericReferencesAndCopiesEverythingElse) {
    EXPECT_EQ(Dec("a &lt; b"), "a < b");
    EXPECT_EQ(Dec("&amp;&apos;&quot;&lt;&gt;"), "&'\"<>");
    EXPECT_EQ(Dec("&#65;&#x42;&#0067;&#x00044;"), "ABCD");
    EXPECT_EQ(Dec("&#xe4;&#x20AC;&#128512;"), "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80");
    EXPECT_EQ(Dec("&#x10FFFF;"), "\xF4\x8F\xBF\xBF");
    for (const char* same : {"&#X41;", "&nbsp;", "x & y", "&", "&;", "&#;", "&#x;", "&#65", "&#65 ;", "&#6a;",
                             "&#x110000;", "&#xD800;", "&#99999999999999999999;", "&amp", "&AMP;", "a&"})
        EXPECT_EQ(Dec(same), same) << same;
    EXPECT_EQ(Dec("&&amp;&#x41&#x41;"), "&&&#x41A");
    EXPECT_EQ(Dec(std::string("a\0&lt;b", 7)), std::string("a\0<b", 4));
}

TEST(XmlEscape, DecodesInPlace) {
    char buf[] = "x&amp;y&#x20AC;z&bogus;";
    const std::size_t n = KrDecodeStringXml(buf, sizeof buf - 1, buf);
    EXPECT_EQ(std::string(buf, n), "x&y\xE2\x82\xACz&bogus;");
}

TEST(XmlEscape, EncodesByModeBits) {
    EXPECT_EQ(KrEncodeStringXml("a\tb", 55), "a&#x9;b");
    EXPECT_EQ(KrEncodeStringXml("a\tb", 54), "a\tb");
    EXPECT_EQ(KrEncodeStringXml(std::string("\0\x1F\n", 3), M::xmlEncControl), "&#x0;&#x1F;&#xA;");
    const std::string all = "<'&\">\x7F\xC3\xA4";
    EXPECT_EQ(KrEncodeStringXml(all, M::xmlEncDefault), "&lt;'&amp;&quot;&gt;\x7F\xC3\xA4");
    EXPECT_EQ(KrEncodeStringXml(all, M::xmlEncAll), "&lt;&apos;&amp;&quot;&gt;\x7F\xC3\xA4");
    EXPECT_EQ(KrEncodeStringXml(all, 0), all);
    EXPECT_EQ(KrEncodeStringXml(all, M::xmlEncApos), "<&apos;&\">\x7F\xC3\xA4");
}

TEST(XmlEscape, EncodedTextFitsTheBoundAndDecodesBack) {
    std::mt19937 gen(7);
    for (int round = 0; round < 200; ++round) {
        std::string s(gen() % 64, '\0');
        for (char& c : s)
            c = static_cast<char>(gen());
        if (round % 3 == 0)
            for (char& c : s)
                c = "&<>\"'\t;#x"[static_cast<unsigned char>(c) % 9];
        for (unsigned mode : {4u, 55u, 63u, 5u}) {
            const std::size_t bound = KrEncodeStringXmlBufLength(s.data(), s.size(), mode);
            std::string out(bound + 8, '#');
            const std::size_t n = KrEncodeStringXmlBufNZ(s.data(), s.size(), &out[0], mode);
            EXPECT_LE(n, bound);
            EXPECT_EQ(out.substr(bound), std::string(8, '#'));
            EXPECT_EQ(Dec(out.substr(0, n)), s) << "mode " << mode;
        }
    }
}
