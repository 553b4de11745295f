// KrXIniInternal: name order, item designations, section paths, where-texts and generic errors.
#include "Core/KrMessage.h"
#include "XIni/KrXIniInternal.h"

#include <gtest/gtest.h>

using namespace KrXIniInternal;
using T = TE_KrXIniItemType;

TEST(XIniInternal, NameOrderIsBytewiseShorterFirst) {
    EXPECT_GT(strcmp_x("a", 1, "A", 1), 0);
    EXPECT_GT(strcmp_x("ab", 2, "a", 1), 0);
    EXPECT_LT(strcmp_x("a", 1, "ab", 2), 0);
    EXPECT_EQ(strcmp_x("abc", 2, "abd", 2), 0);
    EXPECT_GT(strcmp_x("\xE9", 1, "z", 1), 0);    // bytes compare unsigned
    EXPECT_LT(strcmp_x("a\0b", 3, "a\0c", 3), 0); // NUL bytes do not end a name
    EXPECT_EQ(strcmp_x(nullptr, 5, "", 0), 0);
}

TEST(XIniInternal, DesignationsAndPaths) {
    TKrXIniTree root;
    root.AddItem(T::String, "s", "");
    var_a<TKrXIniTree*> outer = root.AddSection("a b");
    outer->AddItem(static_cast<TKrXIniItemType>(6), "", "");
    EXPECT_EQ(FormatItemName(3), "<#3>");
    EXPECT_EQ(FormatItemName(3, T::Section), "<x#3>");
    EXPECT_EQ(FormatItemName(7, T::String, "a b"), "<s#7 \"a b\">");
    EXPECT_EQ(FormatItemSearchName(4) + FormatItemSearchName("x", 0), "<#4+><#0+ \"x\">");
    EXPECT_EQ(FormatXPath1P("a", "b") + FormatXPathP1("c", "d"), "a bc d");
    // Levels outermost first: a named item, an unnamed one of unknown type, one out of range.
    const TXPathLevels levels{{&root, 1}, {outer.get(), 0}, {outer.get(), 5}};
    EXPECT_EQ(FormatXPath(levels, "<#5>"), "<x#1 \"a b\"> <?#0> <#5> <#5>");
    EXPECT_EQ(FormatXPath({}, "leaf"), "leaf");
}

TEST(XIniInternal, ParseWhereFollowsTheLastItems) {
    EXPECT_EQ(FormatParseWhere(nullptr), "");
    TKrXIniTree t;
    EXPECT_EQ(FormatParseWhere(&t), "<#0+>");
    var_a<TKrXIniTree*> n = t.AddSection("n");
    EXPECT_EQ(FormatParseWhere(&t), "<x#0 \"n\"> <#0+>");
    n->AddItem(T::String, "a", "");
    n->AddItem(T::Binary, "", "");
    EXPECT_EQ(FormatParseWhere(&t), "<x#0 \"n\"> <b#1>");
    t.AddItem(T::Section, "bare", ""); // a section without child ends the walk
    EXPECT_EQ(FormatParseWhere(&t), "<x#1 \"bare\">");
}

TEST(XIniInternal, WriteErrorNamesTheStreamWhenItHasAName) {
    for (const char* name : {"out.x-ini", ""}) {
        try {
            throw_xwrite_error(name);
            ADD_FAILURE() << "no exception";
        } catch (const TKrMessage& m) {
            EXPECT_EQ(m.ParameterCount(), *name ? 1u : 0u);
        }
    }
    EXPECT_THROW(throw_xread_error(), TKrMessage);
}
