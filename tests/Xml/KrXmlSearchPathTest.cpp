// Tag search paths: both text forms, matching, rendering and format errors.
#include "KrXmlTestUtils.h"

#include "Xml/KrXmlDom.h"
#include "Xml/KrXmlSearchPath.h"

#include <gtest/gtest.h>

using KrXmlTest::Params;
using P = TKrXmlSearchPathPredicate;

namespace {
TKrXmlTagItem Tag(const std::string& name, std::vector<std::pair<std::string, std::string>> attrs) {
    TKrXmlTagItem t(name);
    for (auto& a : attrs)
        t.AddAttribute(a.first, a.second);
    return t;
}

std::string ErrorOf(int type, const std::string& text) {
    return KrXmlTest::Caught([&] { P p(type, text); }).what();
}
} // namespace

TEST(XmlSearchPath, BothSyntaxesBuildTheSameSteps) {
    const P native("<a x='1' !y> <> <b z=\"&lt;\">");
    const P xpath(P::pathXPath, "a[@x='1'][not(@y)]/*/b[ @z = \"&lt;\" ]");
    for (const P* p : {&native, &xpath}) {
        ASSERT_EQ(p->size(), 3u);
        EXPECT_EQ(p->Steps()[0].name, "a");
        EXPECT_EQ(p->Steps()[1].name, "");
        ASSERT_EQ(p->Steps()[0].conditions.size(), 2u);
        EXPECT_EQ(p->Steps()[0].conditions[0].flags, unsigned(P::condValue));
        EXPECT_EQ(p->Steps()[0].conditions[1].flags, unsigned(P::condNegated));
        EXPECT_EQ(p->Steps()[2].conditions[0].value, "<");
        EXPECT_EQ(p->str(), "a[@x=\"1\"][not(@y)]/*/b[@z=\"<\"]");
    }
    EXPECT_TRUE(P("").empty());
    EXPECT_TRUE(P(P::pathXPath, "").empty());
}

TEST(XmlSearchPath, RendersBackToTheSameText) {
    for (const char* text : {"a/b[@x=\"1\"][not(@y)]", "*[not(@k=\"v\")]/c", "q[@v=\"&quot;&amp;\"]"}) {
        const P p(P::pathXPath, text);
        EXPECT_EQ(p.error_mask_name(0, p.size()), text);
        EXPECT_EQ(P(P::pathXPath, p.str()).str(), p.str());
    }
    const P p(P::pathXPath, "a/b/c");
    EXPECT_EQ(p.error_mask_name(1, 2), "b");
    EXPECT_EQ(p.error_mask_name(2, 2), "(none)");
    EXPECT_EQ(p.error_mask_name(1, 99), "b/c");
}

TEST(XmlSearchPath, TestChecksNameAndEveryCondition) {
    const TKrXmlTagItem t = Tag("a", {{"x", "1"}, {"e", ""}});
    struct Case {
        const char* path;
        int step0;
    };
    for (const Case& c :
         {Case{"a", 0}, Case{"*", 0}, Case{"b", 1}, Case{"a/b", 2}, Case{"a[@x]", 0}, Case{"a[@e=\"\"]", 0},
          Case{"a[@x=\"2\"]", 1}, Case{"a[@z]", 1}, Case{"a[not(@z)]", 0}, Case{"a[not(@x)]", 1},
          Case{"a[not(@x=\"2\")]", 0}, Case{"a[not(@z=\"2\")]", 0}, Case{"a[not(@x=\"1\")]", 1},
          Case{"a[@x][@e][not(@q)]", 0}})
        EXPECT_EQ(P(P::pathXPath, c.path).Test(t, 0), c.step0) << c.path;
    EXPECT_EQ(P(P::pathXPath, "a/a").Test(t, 1), P::testLast);
    EXPECT_EQ(P(P::pathXPath, "a").Test(t, 1), P::testNoMatch);
    EXPECT_EQ(P().Test(t, 0), P::testNoMatch);
}

TEST(XmlSearchPath, FormatErrorsNameThePosition) {
    EXPECT_EQ(ErrorOf(0, "<a x"), "@TKrXmlTagSearchPath format error at pos 4 (data=\"<a x\").");
    EXPECT_EQ(ErrorOf(0, "a"), "@TKrXmlTagSearchPath format error at pos 0 (data=\"a\").");
    EXPECT_EQ(ErrorOf(0, "<a x='1>"), "@TKrXmlTagSearchPath format error at pos 5 (data=\"<a x='1>\").");
    EXPECT_EQ(ErrorOf(0, "<a x='1'y>"), "@TKrXmlTagSearchPath format error at pos 8 (data=\"<a x='1'y>\").");
    EXPECT_EQ(ErrorOf(0, "<a x=1>"), "@TKrXmlTagSearchPath format error at pos 5 (data=\"<a x=1>\").");
    EXPECT_EQ(ErrorOf(1, "a//b"),
              "@TKrXmlTagSearchPath[xpath~] format error tag name or '*' expected at pos 2 "
              "(data=\"a//b\").");
    EXPECT_EQ(ErrorOf(1, "a[x]"),
              "@TKrXmlTagSearchPath[xpath~] format error '@' expected at pos 2 (data=\"a[x]\").");
    for (const char* bad : {"/a", "a/", "a[@x", "a[not(@x]", "a[@x=1]", "a[@x='1]", "a b", "a[@]"})
        EXPECT_NE(ErrorOf(1, bad), "") << bad;
    const TKrMessage type = KrXmlTest::Caught([] { P p(2, "a"); });
    EXPECT_EQ(std::string(type.what()), "@TKrXmlTagSearchPath: invalid path type (\"2\").");
    EXPECT_EQ(Params(type), "a, 2");
}
