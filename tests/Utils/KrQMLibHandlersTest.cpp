// User questions: the silent default, paging of long button lists page by page, failures of bad handlers,
// value texts under a foreign locale, and the console handler on scripted input.
#include "Core/KrMessage.h"
#include "Utils/KrConsoleQMLibHandlers.h"
#include "Utils/KrScriptedQMLibHandlers.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <string>
#include <vector>

namespace {

// The labels "L<first>" … "L<last>".
std::vector<std::string> Range(unsigned first, unsigned last) {
    std::vector<std::string> l;
    for (unsigned i = first; i <= last; ++i)
        l.push_back("L" + std::to_string(i));
    return l;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string ThrownText(unsigned (*f)(const char*, const char*, const std::vector<std::string>&),
                       const std::vector<std::string>& labels) {
    try {
        f("c", "t", labels);
    } catch (const TKrMessage& m) {
        return m.std_str();
    }
    return "(nothing thrown)";
}

} // namespace

TEST(KrQMLibHandlers, NullHandlerAnswersEveryQuestionWithItsDefault) {
    ASSERT_NE(dynamic_cast<TKrNullQMLibHandlers*>(KrQMLibGetHandlers()), nullptr);
    KrError(nullptr);
    KrPause();
    EXPECT_TRUE(KrYesOrNo("Go on?", true));
    EXPECT_EQ(KrYesNoCancel(nullptr, TE_YesNoCancel::Cancel), TE_YesNoCancel::Cancel);
    EXPECT_EQ(KrGetButtonDecision("c", "t", Range(0, 999)), 999u);
    EXPECT_EQ(KrGetButtonDecision("c", "t", TKrButtons()), 0u);
    bool flag = true;
    EXPECT_FALSE(KrGetCheckboxDecision("c", "t", TKrCheck("a", &flag) + TKrCheck("b", &flag)));
    EXPECT_TRUE(flag);
    EXPECT_EQ(KrGetString("name", nullptr), "");
    EXPECT_EQ(KrGetLong("n", -7, -10, 10), -7);
    EXPECT_EQ(KrGetDouble("d", 2.5, 0, 3), 2.5);
    EXPECT_EQ(KrGetSaveFileName("save", nullptr, "/b.tif"), "/b.tif");

    // Installing returns the previous handler; null brings the silent one back.
    TKrNullQMLibHandlers other;
    TKrQMLibHandlers* previous = KrQMLibSetHandlers(&other);
    EXPECT_EQ(KrQMLibSetNullHandlers(), &other);
    EXPECT_EQ(KrQMLibGetHandlers(), previous);
}

TEST(KrQMLibHandlers, TwentyLabelsPageForwardBackAndToTheLastLabel) {
    krtest::TScriptedQMLibHandlers h;
    const std::vector<std::string> labels = Range(0, 19);
    const std::vector<std::string> page1 = Join(Range(0, 7), {">> 8-14 (20)", "L19"});
    const std::vector<std::string> page2 =
        Join(Join({"<< 0-7 (20)"}, Range(8, 14)), {">> 15-19 (20)", "L19"});
    const std::vector<std::string> page3 = Join({"<< 8-14 (20)"}, Range(15, 19));

    h.answers = {3};
    EXPECT_EQ(KrGetButtonDecision("c", "t", labels), 3u);
    EXPECT_EQ(h.pages, std::vector<std::vector<std::string>>({page1}));

    // Forward, forward, back, then label 9 (the second label of page 2).
    h.pages.clear();
    h.answers = {8, 8, 0, 2};
    EXPECT_EQ(KrGetButtonDecision("c", "t", labels), 9u);
    EXPECT_EQ(h.pages, std::vector<std::vector<std::string>>({page1, page2, page3, page2}));

    // Back from page 2 returns to the first page; the repeated last label answers 19 anywhere.
    h.pages.clear();
    h.answers = {8, 0, 9};
    EXPECT_EQ(KrGetButtonDecision("c", "t", labels), 19u);
    EXPECT_EQ(h.pages, std::vector<std::vector<std::string>>({page1, page2, page1}));

    // Up to GetMaxButtons labels are shown as they are.
    h.pages.clear();
    h.answers = {9};
    EXPECT_EQ(KrGetButtonDecision("c", "t", Range(0, 9)), 9u);
    EXPECT_EQ(h.pages.back(), Range(0, 9));
}

TEST(KrQMLibHandlers, SixteenLabelsLeaveNoSingleLabelPage) {
    krtest::TScriptedQMLibHandlers h;
    TKrButtons buttons = TKrButton("L0") + TKrButton("L1");
    for (const std::string& l : Range(2, 15))
        buttons += TKrButton(l);
    h.answers = {8, 8};
    EXPECT_EQ(KrGetButtonDecision("c", "t", buttons), 15u);
    ASSERT_EQ(h.pages.size(), 2u);
    EXPECT_EQ(h.pages[0], Join(Range(0, 7), {">> 8-15 (16)", "L15"}));
    EXPECT_EQ(h.pages[1], Join({"<< 0-7 (16)"}, Range(8, 15)));

    // A larger handler: pages of 17 labels, the first with 18.
    h.maxButtons = 20;
    h.pages.clear();
    h.answers = {18, 0, 0};
    EXPECT_EQ(KrGetButtonDecision("c", "t", Range(0, 99)), 0u);
    EXPECT_EQ(h.pages[0], Join(Range(0, 17), {">> 18-34 (100)", "L99"}));
    EXPECT_EQ(h.pages[1].front(), "<< 0-17 (100)");
    EXPECT_EQ(h.pages[2], h.pages[0]);
}

TEST(KrQMLibHandlers, BadHandlersFailClearly) {
    krtest::TScriptedQMLibHandlers h;
    h.maxButtons = 9;
    const std::string text = ThrownText(KrGetButtonDecision, Range(0, 19));
    EXPECT_NE(text.find("Internal logic error"), std::string::npos) << text;
    EXPECT_NE(text.find("max_buttons >= 10"), std::string::npos) << text;
    EXPECT_NE(text.find("KrGetButtonDecision"), std::string::npos) << text;
    EXPECT_EQ(ThrownText(KrGetButtonDecision, {}), "(nothing thrown)");
}

TEST(KrQMLibHandlers, AnswersBeyondTheButtonsShown) {
    krtest::TScriptedQMLibHandlers h;
    h.maxButtons = 10;
    // A list that fits: the handler's answer comes back as it is.
    h.answers = {10};
    EXPECT_EQ(KrGetButtonDecision("c", "t", Range(0, 9)), 10u);
    // On a page every answer past the forward button means the last label ...
    h.answers = {10};
    EXPECT_EQ(KrGetButtonDecision("c", "t", Range(0, 19)), 19u);
    // ... and so does one past the labels of the last page, which has neither.
    h.answers = {8, 8, 6};
    EXPECT_EQ(KrGetButtonDecision("c", "t", Range(0, 19)), 19u);
}

TEST(KrQMLibHandlers, ValueTextsIgnoreTheLocale) {
    krtest::TScriptedQMLibHandlers h;
    const char* old = std::setlocale(LC_ALL, nullptr);
    const std::string saved = old ? old : "C";
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    KrShowLong("v", -1);
    KrShowLong("v", 255);
    KrShowDouble("d", 0.1);
    KrShowDouble("d", -12345678.9);
    KrShowString(nullptr, "plain");
    std::setlocale(LC_ALL, saved.c_str());
    // The referee: the printf formats in the "C" locale.
    char expected[200];
    std::snprintf(expected, sizeof expected, "2 d: %lg = %.16le", -12345678.9, -12345678.9);
    EXPECT_EQ(h.shown, std::vector<std::string>({
                           "1 v: -1 = 18446744073709551615u = 0xFFFFFFFFFFFFFFFF = -0x1",
                           "1 v: 255 = 255u = 0xFF = -0xFFFFFFFFFFFFFF01",
                           "2 d: 0.1 = 1.0000000000000001e-01",
                           expected,
                           "0 : plain",
                       }));
    if (!german) GTEST_SKIP() << "de_DE.UTF-8 is not installed; checked in the C locale only";
}

namespace {
// Runs `ask` on a console handler reading `input`; returns what it wrote.
template <class F> std::string Console(const std::string& input, F ask) {
    std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
    if (input.empty()) in = std::fopen("/dev/null", "r");
    char* buf = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buf, &size);
    TKrConsoleQMLibHandlers console(in, out);
    ask(console);
    std::fclose(in);
    std::fclose(out);
    std::string text(buf, size);
    std::free(buf);
    return text;
}
} // namespace

TEST(KrConsoleQMLibHandlers, ReadsAnswersAndFallsBackToDefaults) {
    Console("maybe\nY\n", [](TKrConsoleQMLibHandlers& c) { EXPECT_TRUE(c.KrYesOrNo("Go?", false)); });
    Console("", [](TKrConsoleQMLibHandlers& c) {
        EXPECT_EQ(c.KrYesNoCancel("Save?", TE_YesNoCancel::Cancel), TE_YesNoCancel::Cancel);
        EXPECT_EQ(c.KrGetLong("n", 3, 0, 9), 3);
        EXPECT_EQ(c.KrGetString("s", "d"), "d");
        EXPECT_EQ(c.KrGetButtonDecision("c", "t", Range(0, 2)), 2u);
    });
    const std::string out = Console("abc\n99999\n0x2A\n", [](TKrConsoleQMLibHandlers& c) {
        EXPECT_EQ(c.KrGetLong("Count", 5, 0, 100), 42);
    });
    EXPECT_NE(out.find("Count [0..100] (5) "), std::string::npos) << out;
    Console("1,5\n 1.5 \n",
            [](TKrConsoleQMLibHandlers& c) { EXPECT_EQ(c.KrGetDouble("d", 0.25, 0, 2), 1.5); });
    Console("0\n4\n2\n",
            [](TKrConsoleQMLibHandlers& c) { EXPECT_EQ(c.KrGetButtonDecision("c", "t", Range(0, 2)), 1u); });

    bool a = false, b = true, d = false;
    const TKrCheckList checks = {{"a", &a}, {"b", &b}, {"d", &d}};
    Console("1 3 9\n1\n\n",
            [&](TKrConsoleQMLibHandlers& c) { EXPECT_TRUE(c.KrGetCheckboxDecision("c", "t", checks)); });
    EXPECT_FALSE(a);
    EXPECT_TRUE(b);
    EXPECT_TRUE(d);
    Console("2\nc\n",
            [&](TKrConsoleQMLibHandlers& c) { EXPECT_FALSE(c.KrGetCheckboxDecision("c", "t", checks)); });
    EXPECT_TRUE(b);
}
