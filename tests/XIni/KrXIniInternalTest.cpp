// KrXIniInternal: name order, item designations, section paths, where-texts and generic errors.
#include "Core/KrMessage.h"
#include "XIni/KrXIniInternal.h"

#include <gtest/gtest.h>

using namespace KrXIniInternal;
using T = TE_KrXIniItemType;

TEST(XIniInternal, NameOrderIsBytewiseShorterFirst) {
    EXPECT_NE(strcmp_x("a", 1, "A", 1), 0);
    EXPECT_GT(strcmp_x("a", 1, "A", 1), 0);
    EXPECT_GT(strcmp_x("ab", 2, "a", 1), 0);
    EXPECT_LT(strcmp_x("a", 1, "ab", 2), 0);
    EXPECT_EQ(strcmp_x("abc", 2, "abd", 2), 0);
    EXPECT_GT(strcmp_x("\xE9", 1, "z", 1), 0);    // bytes compare unsigned
    EXPECT_LT(strcmp_x("a\0b", 3, "a\0c", 3), 0); // NUL bytes do not end a name
    EXPECT_EQ(strcmp_x(nullptr, 5, "", 0), 0);
}

TEST(XIniInternal, ItemDesignations) {
    EXPECT_EQ(FormatItemName(3), "<#3>");
    EXPECT_EQ(FormatItemName(3, T::Section), "<x#3>");
    EXPECT_EQ(FormatItemName(7, T::String, "a b"), "<s#7 \"a b\">");
    EXPECT_EQ(FormatItemName(0, T::Invalid), "<?#0>");
    EXPECT_EQ(FormatItemName(1, static_cast<TKrXIniItemType>(6)), "<?#1>");

    TKrXIniTree::TItem item;
    item.type = T::Double;
    EXPECT_EQ(FormatItemName(12, &item), "<d#12>");
    item.name = "Title";
    EXPECT_EQ(FormatItemName(12, &item), "<d#12 \"Title\">");
    EXPECT_EQ(FormatItemName(12, nullptr), "<#12>");

    EXPECT_EQ(FormatItemSearchName(4), "<#4+>");
    EXPECT_EQ(FormatItemSearchName("x", 0), "<#0+ \"x\">");
    EXPECT_EQ(FormatXPath1P("a", "b"), "a b");
    EXPECT_EQ(FormatXPathP1("a", "b"), "a b");
    EXPECT_EQ(FormatItemName(std::size_t(-1)), "<#18446744073709551615>");

    for (char c : {'x', 'i', 'd', 's', 'b'})
        EXPECT_EQ(KrXIniItemLetter(KrXIniItemTypeFromLetter(c)), c);
    EXPECT_EQ(KrXIniItemTypeFromLetter('X'), T::Invalid);
}

TEST(XIniInternal, PathsListLevelsOutermostFirst) {
    TKrXIniTree root;
    root.AddItem(T::String, "s", "");
    var_a<TKrXIniTree*> outer = root.AddSection("outer");
    outer->AddSection("");
    const TXPathLevels levels{{&root, 1}, {outer.get(), 0}};
    EXPECT_EQ(FormatXPath(levels, "<#5>"), "<x#1 \"outer\"> <x#0> <#5>");
    EXPECT_EQ(FormatXPath({}, "<#5>"), "<#5>");
    EXPECT_EQ(FormatXPath({{&root, 9}, {nullptr, 2}}, "leaf"), "<#9> <#2> leaf");
}

TEST(XIniInternal, ParseWhereFollowsTheLastItems) {
    EXPECT_EQ(FormatParseWhere(nullptr), "");
    TKrXIniTree t;
    EXPECT_EQ(FormatParseWhere(&t), "<#0+>");
    t.AddItem(T::Integer, "", "1");
    EXPECT_EQ(FormatParseWhere(&t), "<i#0>");
    var_a<TKrXIniTree*> n = t.AddSection("n");
    EXPECT_EQ(FormatParseWhere(&t), "<x#1 \"n\"> <#0+>");
    n->AddItem(T::String, "a", "");
    n->AddItem(T::Binary, "b", "");
    EXPECT_EQ(FormatParseWhere(&t), "<x#1 \"n\"> <b#1 \"b\">");
    t.AddItem(T::Section, "bare", ""); // a section without child ends the walk
    EXPECT_EQ(FormatParseWhere(&t), "<x#2 \"bare\">");
}

TEST(XIniInternal, GenericErrorsCarryTheStreamName) {
    try {
        throw_xwrite_error("out.x-ini");
        ADD_FAILURE() << "no exception";
    } catch (const TKrMessage& m) {
        EXPECT_EQ(m.ParameterCount(), 1u);
    }
    try {
        throw_xwrite_error("");
        ADD_FAILURE() << "no exception";
    } catch (const TKrMessage& m) {
        EXPECT_EQ(m.ParameterCount(), 0u);
    }
    EXPECT_THROW(throw_xread_error(), TKrMessage);
}
