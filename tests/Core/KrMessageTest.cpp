// TKrMessage: the formatter, parameter texts, body sharing, moves, nesting and traces.
#include "Core/KrMessage.h"
#include "Core/KrMessageParameters.h"

#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <climits>
#include <type_traits>

namespace {

static_assert(std::is_base_of_v<std::exception, TKrMessage>, "thrown by value, caught as std::exception");

std::string Format(const TKrMessage& m) {
    return m.c_str();
}
/// The text of a message with format `f` and the parameters `a`.
template <class... A> std::string Format(const char* f, const A&... a) {
    TKrMessage m(f);
    ((m << a), ...);
    return m.c_str();
}

TEST(KrMessageFormat, PlaceholderRules) {
    EXPECT_EQ(Format("Value %1% of %2%", 5, "x"), "Value 5 of x");
    EXPECT_EQ(Format("%2%-%1%-%2%", "a", "b"), "b-a-b");
    EXPECT_EQ(Format("%3% here", 1, 2), "??? here");
    EXPECT_EQ(Format("100%% sure"), "100% sure");
    EXPECT_EQ(Format("all: %*%.", 1, 2, 3), "all: 1, 2, 3.");
    EXPECT_EQ(Format("none: [%*%]"), "none: []");
    EXPECT_EQ(Format("50% done"), "50");
    EXPECT_EQ(Format("a %1% b %", 1), "a 1 b ");
    EXPECT_EQ(Format("%abc% stays", 1), "%abc% stays");
    EXPECT_EQ(Format("%0% too", 1), "%0% too");
    EXPECT_EQ(Format("%abc%1%", "p"), "%abc%1");
    EXPECT_EQ(Format("%0x2%", "a", "b"), "b");
    EXPECT_EQ(Format("%010%", 1, 2, 3, 4, 5, 6, 7, 8), "8"); // octal
    EXPECT_EQ(Format("%2nd%", "a", "b"), "b");               // trailing characters ignored
    EXPECT_EQ(Format("no placeholders"), "no placeholders");
    EXPECT_EQ(Format(""), "");
}

TEST(KrMessageFormat, ParameterTexts) {
    const void* null = nullptr;
    TKrMessage m("%*%");
    m << 1.5 << static_cast<const char*>(nullptr) << true << static_cast<signed char>(-3)
      << static_cast<unsigned char>(200) << -7L << ULONG_MAX << 2.5f << std::string("s") << null;
    EXPECT_EQ(Format(m), "1.5000000000000000e+00, (null), 1, -3, 200, -7, 18446744073709551615, "
                         "2.5000000000000000e+00, s, (nil)");

    TKrMessage q("%1%|%2%|%3%|%4%");
    q << QString::fromUtf8("\xC3\xA4") << (QStringList() << QStringLiteral("a") << QStringLiteral("b"))
      << std::wstring(L"\u00e9") << L"w";
    EXPECT_EQ(Format(q), "\xC3\xA4|[a; b]|\xC3\xA9|w");
    EXPECT_EQ(q.q_str(), QString::fromUtf8("\xC3\xA4|[a; b]|\xC3\xA9|w"));
}

TEST(KrMessageFormat, ParameterKindsFollowTheArgumentType) {
    using namespace KrMessageHelpers;
    TKrMessage m("x");
    m << 1 << 2u << 3L << 4UL << 5.0 << static_cast<const void*>(&m) << TKrMessage("n");
    const auto& p = m.body()->m_parameters;
    ASSERT_EQ(p.size(), 7u);
    EXPECT_NE(dynamic_cast<TKrMessageParameterLong*>(p[0]), nullptr);
    EXPECT_NE(dynamic_cast<TKrMessageParameterULong*>(p[1]), nullptr);
    EXPECT_NE(dynamic_cast<TKrMessageParameterLL*>(p[2]), nullptr);
    EXPECT_NE(dynamic_cast<TKrMessageParameterULL*>(p[3]), nullptr);
    EXPECT_NE(dynamic_cast<TKrMessageParameterDouble*>(p[4]), nullptr);
    EXPECT_NE(dynamic_cast<TKrMessageParameterPtr*>(p[5]), nullptr);
    EXPECT_NE(dynamic_cast<TParameterKrMessage*>(p[6]), nullptr);
}

TEST(KrMessage, EmptyMessageIgnoresEverything) {
    TKrMessage empty;
    empty << 1 << "x";
    empty.AppendMsg(TKrMessage("t"));
    EXPECT_TRUE(empty.empty());
    EXPECT_STREQ(empty.what(), "");
    EXPECT_EQ(empty.ParameterCount(), 0u);
    EXPECT_EQ(empty.GetTrace(), nullptr);
    EXPECT_TRUE(TKrMessage(static_cast<const char*>(nullptr)).empty());

    TKrMessage made;
    EXPECT_TRUE(made.set_format("now %1%"));
    made << 2;
    EXPECT_EQ(Format(made), "now 2");
    made.clear();
    EXPECT_TRUE(made.empty());
}

TEST(KrMessage, CopiesShareParametersButSetFormatSeparates) {
    TKrMessage first("A %1% %2%");
    first << 1;
    TKrMessage copy = first;
    copy << 2; // appending does not separate: both see it
    EXPECT_EQ(Format(first), "A 1 2");
    EXPECT_EQ(copy.body(), first.body());
    EXPECT_EQ(copy.body()->m_refCount.load(), 2);

    copy.set_format("B %2% %1%");
    EXPECT_NE(copy.body(), first.body());
    EXPECT_EQ(Format(copy), "B 2 1");
    EXPECT_EQ(Format(first), "A 1 2");
    copy << 3; // now private
    EXPECT_EQ(first.ParameterCount(), 2u);
    EXPECT_EQ(first.body()->m_refCount.load(), 1);
}

TEST(KrMessage, MovesTakeTheBodyAndReleaseTheTargets) {
    TKrMessage source("source");
    auto* body = source.body();
    TKrMessage target("target");
    TKrMessage observer = source;
    target = std::move(source);
    EXPECT_TRUE(source.empty());
    EXPECT_EQ(target.body(), body);
    EXPECT_EQ(body->m_refCount.load(), 2);

    TKrMessage constructed(std::move(target));
    EXPECT_TRUE(target.empty());
    EXPECT_EQ(Format(constructed), "source");

    TKrMessage& alias = constructed;
    constructed = std::move(alias); // self-move changes nothing
    EXPECT_EQ(Format(constructed), "source");
    constructed = observer; // copy-assign the same body
    EXPECT_EQ(body->m_refCount.load(), 2);
}

TEST(KrMessage, NestedMessagesFormatWhenTheOuterOneDoes) {
    TKrMessage inner("inner %1%");
    TKrMessage outer("outer(%1%) [%2%]");
    outer << inner << TKrMessage();
    inner << 9; // shared body: the nested parameter sees it
    EXPECT_EQ(Format(outer), "outer(inner 9) []");

    TKrMessage self("me:%1%;");
    self << 1;
    self << self; // nests a snapshot, not a cycle
    EXPECT_EQ(Format(self), "me:1;");
}

TEST(KrMessage, TraceKeepsAttachedMessagesInOrderOutsideTheText) {
    TKrMessage m("top");
    EXPECT_EQ(m.GetTrace(), nullptr);
    TKrMessage a("a");
    m.AppendMsg(a);
    m.AppendMsg(TKrMessage("b %1%") << 2);
    ASSERT_NE(m.GetTrace(), nullptr);
    ASSERT_EQ(m.GetTrace()->size(), 2u);
    EXPECT_EQ(m.GetTrace()->front().body(), a.body());
    EXPECT_EQ(Format(m.GetTrace()->back()), "b 2");
    EXPECT_EQ(Format(m), "top");

    TKrMessage shared = m;
    shared.set_format("separate"); // deep copy keeps the trace, sharing the entries' bodies
    ASSERT_NE(shared.GetTrace(), nullptr);
    EXPECT_EQ(shared.GetTrace()->size(), 2u);
    EXPECT_EQ(shared.GetTrace()->front().body(), a.body());
}

} // namespace
