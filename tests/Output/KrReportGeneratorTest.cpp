// Report templates: references and widths, bands, conditions, escapes, language texts, recursion.
#include "Core/KrLanguage.h"
#include "Core/KrMessage.h"
#include "Core/KrModuleStartup.h"
#include "Output/KrElevationPalette.h"
#include "Output/KrReportGenerator.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using TVars = TKrReportGenerator::TVariables;

std::string Expand(const std::string& templ, const TVars& vars = {}) {
    return TKrReportGenerator().Parse(templ.c_str(), &vars);
}

const TVars kItems{{"items[0]", ""}, {"items[0].name", "ab"}, {"items[1]", ""}, {"items[1].name", "abcdefg"}};

struct KrReportLanguages : ::testing::Test {
    void SetUp() override {
        Init_KrStd();
        setCurLanguageId("en");
    }
    void TearDown() override {
        setCurLanguageId("en");
        Deinit_KrStd();
    }
};

} // namespace

TEST(KrReportGenerator, ReferencesWidthsAndEscapes) {
    const TVars vars{{"a", "xyz"}, {"n", "42"}, {"sum$", "<%a%:%n 4%>"}};
    EXPECT_EQ(Expand("[%a 5%][%n 05%][%a 2%][%a 0%][%a%]", vars), "[xyz  ][   42][xy][xyz][xyz]");
    EXPECT_EQ(Expand("%sum%|%sum$ 4%", vars), "<xyz:42  >|<xyz");
    EXPECT_EQ(Expand("100\\% \\\\ \\n \\$\nnext \\$\r\nline \\$\rend\\", vars),
              "100% \\ \\n next line end\\");
    EXPECT_EQ(Expand("[%unknown 3%][%%][%a.b%]", vars), "[   ][][]");
    EXPECT_EQ(Expand("50%", vars), "50");
    EXPECT_EQ(Expand("%a%%n", vars), "xyz");
    EXPECT_EQ(TKrReportGenerator().Parse("%a%", nullptr), "");
    EXPECT_EQ(TKrReportGenerator().Parse(nullptr, &vars), "");
}

TEST(KrReportGenerator, BandsRepeatOverRecordsAndNest) {
    EXPECT_EQ(Expand("%start items%[%items.name 5%]%end items%", kItems), "[ab   ][abcde]");
    EXPECT_EQ(Expand("a%start items%[%items.name 5%]%end items%b"), "ab");
    // a band without its end is entered once and closes with the text
    EXPECT_EQ(Expand("%start items%x%items.name%", kItems), "xab");

    TVars nested{{"g[0]", ""},      {"g[0].t", "A"},      {"g[0].r[0]", ""}, {"g[0].r[0].v", "1"},
                 {"g[0].r[1]", ""}, {"g[0].r[1].v", "2"}, {"g[1]", ""},      {"g[1].t", "B"},
                 {"g[1].r[0]", ""}, {"g[1].r[0].v", "3"}, {"title", "T"}};
    EXPECT_EQ(Expand("%title%:%start g%%g.t%(%start g.r%%g.t%%g.r.v%%title%,%end g.r%)%end g%", nested),
              "T:A(A1T,A2T,)B(B3T,)");
    // a nested band named without the enclosing prefix, or ended by the wrong name, is ignored
    EXPECT_EQ(Expand("%start g%%start r%x%end r%%g.t%%end g%", nested), "xAxB");
    // names with more dots than open bands resolve to nothing
    EXPECT_EQ(Expand("%start g%[%g.r.v%]%end g%", nested), "[][]");
}

TEST(KrReportGenerator, ConditionsPairByText) {
    const std::string t = "%if mode==fast%F%else mode==fast%S%endif mode==fast%.";
    EXPECT_EQ(Expand(t, {{"mode", "fast"}}), "F.");
    EXPECT_EQ(Expand(t, {{"mode", "slow"}}), "S.");
    EXPECT_EQ(Expand(t), "S.");
    EXPECT_EQ(Expand("%if note%<%note%>%endif note%|", {{"note$", "%a%"}, {"a", "x"}}), "<x>|");
    EXPECT_EQ(Expand("%if note%<%note%>%endif note%|"), "|");
    // the compared value is taken as written, blanks included
    EXPECT_EQ(Expand("%if k== v%y%endif k== v%", {{"k", " v"}}), "y");
    // conditions inside bands see the current record; unresolvable names count as true
    EXPECT_EQ(Expand("%start items%%if items.name==ab%*%endif items.name==ab%%end items%%if x.y%!%endif x.y%",
                     kItems),
              "*!");
}

TEST(KrReportGenerator, UnbalancedTemplatesStillExpand) {
    // a false condition without its else or endif enters the block
    EXPECT_EQ(Expand("%if missing%A%else other%B"), "AB");
    EXPECT_EQ(Expand("%if missing%A%endif missing%B%endif missing%C"), "BC");
    EXPECT_EQ(Expand("1%else x%2%endif x%3%endif y%%end items%4"), "134");
    EXPECT_EQ(Expand("%if%%else%%endif%", {{"if", "i"}, {"else", "e"}}), "ie"); // no blank: plain names
}

TEST(KrReportGenerator, RecursionStopsAtTenLevels) {
    EXPECT_EQ(Expand("%a%", {{"a$", "%a%"}}),
              "@Error in TKrReportGenerator::Parse(): variable recursion limit reached.");
    TVars chain;
    for (int i = 1; i < 10; ++i)
        chain["v" + std::to_string(i) + "$"] = "%v" + std::to_string(i + 1) + "%";
    chain["v10"] = "deep";
    EXPECT_EQ(Expand("%v1%", chain), "deep"); // ten levels in all
    chain["v10$"] = "%v11%";
    chain.erase("v10");
    chain["v11"] = "deeper";
    EXPECT_EQ(Expand("%v1%", chain),
              "@Error in TKrReportGenerator::Parse(): variable recursion limit reached.");
}

TEST(KrReportGenerator, VariablesFromLinesAndXIni) {
    TVars vars{{"keep", "1"}};
    TKrReportGenerator::Strings2Vars("a=1\r\nb==x=y\rnoequals\n=empty\na=2\nc=", vars);
    EXPECT_EQ(vars, (TVars{{"keep", "1"}, {"a", "2"}, {"b", "=x=y"}, {"c", ""}}));

    TVars x;
    TKrReportGenerator::XStrings2VarsE("<krini><s n=\"items[0].name\" v=\"a&amp;b\"/><i n=\"n\" v=\"3\"/>"
                                       "<x n=\"sec\"><s n=\"inner\" v=\"no\"/></x></krini>",
                                       x);
    EXPECT_EQ(x, (TVars{{"items[0].name", "a&b"}}));
    EXPECT_THROW(TKrReportGenerator::XStrings2VarsE("<krini><s n=\"a\" v=\"1\"></krini>", x), TKrMessage);
}

TEST_F(KrReportLanguages, LocalTextsFollowTheLanguage) {
    const std::string t = "%local KrStd global.Report_Title%: %local KrStd global.Report_Height% %h%"
                          "[%local  global.Report_Title%][%local KrStd global.Nothing%][%local KrStd a b%]";
    const TVars vars{{"h", "12.5"}};
    EXPECT_EQ(Expand(t, vars), "Point report: Height 12.5[][][]");
    ASSERT_NE(setCurLanguageId("de"), 0xFFFFFFFFu);
    EXPECT_EQ(Expand(t, vars), "Punktbericht: H\xC3\xB6he 12.5[][][]");
}

TEST_F(KrReportLanguages, StartUpRegistersThePalettesWithTitles) {
    std::vector<std::string> names;
    TKrElevationPalette::GetRegisteredNames(names);
    EXPECT_EQ(names, (std::vector<std::string>{"std", "def", "elev", "nwrc"}));
    EXPECT_EQ(TKrElevationPalette::GetPalette("def")->GetTitle(), "Rainbow");
    ASSERT_NE(setCurLanguageId("de"), 0xFFFFFFFFu);
    EXPECT_EQ(TKrElevationPalette::GetPalette("def")->GetTitle(), "Regenbogen");
}
