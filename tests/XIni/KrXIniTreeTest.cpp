// TKrXIniTree: searches, deep copies, splicing, deletion, comparison, the dump, raw names, depth.
#include "Streams/KrNullStream.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniInternal.h"
#include "XIni/KrXIniTree.h"

#include <gtest/gtest.h>

#include <pthread.h>

#include <functional>

namespace {

using T = TE_KrXIniItemType;
constexpr std::size_t npos = TKrXIniTree::npos;

std::string Dump(const TKrXIniTree& tree, std::size_t indent = 0) {
    TKrStringStream s;
    tree.DebugPrint(&s, indent);
    return s.str();
}

// A tree with one item of every kind, a nested section and a section without a child.
TKrXIniTree Sample() {
    TKrXIniTree t;
    t.AddItem(T::Integer, "n", "42");
    var_a<TKrXIniTree*> sub = t.AddSection("sub");
    sub->AddItem(T::String, "s", "text");
    sub->AddSection("empty");
    t.AddItem(T::Section, "bare", "");
    t.AddItem(T::Binary, "b", "AAE=");
    return t;
}

// Runs fn on a thread with a small stack, so recursion proportional to depth would overflow.
void OnSmallStack(const std::function<void()>& fn) {
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 256 * 1024);
    pthread_t thread;
    auto entry = [](void* p) -> void* {
        (*static_cast<const std::function<void()>*>(p))();
        return nullptr;
    };
    ASSERT_EQ(pthread_create(&thread, &attr, entry, const_cast<std::function<void()>*>(&fn)), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
}

var_a<TKrXIniTree*> Chain(std::size_t depth) {
    var_a<TKrXIniTree*> root = new_a<TKrXIniTree>();
    var_a<TKrXIniTree*> t = root;
    for (std::size_t i = 0; i < depth; ++i)
        t = t->AddSection("s");
    t->AddItem(T::String, "leaf", "v");
    return root;
}

} // namespace

TEST(XIniTree, SearchesAreExactForwardAndCyclic) {
    TKrXIniTree t;
    for (const char* n : {"a", "A", "ab", "", "a"})
        t.AddItem(T::String, n, "");
    EXPECT_EQ(t.FindItemIndexF("a", 1), 4u);
    EXPECT_EQ(t.FindItemIndexF("A", 0), 1u);
    EXPECT_EQ(t.FindItemIndexF("a", 5), npos);
    EXPECT_EQ(t.FindItemIndexF("abc", 2, 0), 2u);   // only the first two bytes count
    EXPECT_EQ(t.FindItemIndexF(nullptr, 7, 0), 3u); // null is the empty name
    EXPECT_EQ(t.Count("a"), 2u);
    EXPECT_EQ(t.Count("ab", 1), 2u);
    EXPECT_EQ(t.FindItemIndexC("A", 2), 1u); // wraps to the start
    EXPECT_EQ(t.FindItemIndexC("a", 1), 4u); // but prefers what follows
    EXPECT_EQ(t.FindItemIndexC("ab", npos), 2u);
    EXPECT_EQ(t.FindItemIndexC("zz", 3), npos);
    EXPECT_EQ(t.FindItem(5), nullptr);
}

TEST(XIniTree, AddingFromItsOwnItemsSurvivesGrowth) {
    TKrXIniTree t;
    t.AddItem(T::String, "a name long enough to live on the heap", "and a value of the same kind");
    for (int i = 0; i < 40; ++i) {
        t.AddItem(T::String, t.FindItem(0)->name, t.FindItem(0)->value);
        t.AddSection(t.FindItem(0)->name);
    }
    EXPECT_EQ(t.Count(t.FindItem(0)->name), 81u);
    EXPECT_EQ(t.FindItem(79)->value, t.FindItem(0)->value);
}

TEST(XIniTree, CopiesAreDeepWhileItemsShareChildren) {
    TKrXIniTree original = Sample();
    TKrXIniTree copy(original);
    // A section that had no child gets an empty one in the copy; otherwise the copy is alike.
    EXPECT_FALSE(copy.EqualHierarchy(original));
    ASSERT_TRUE(copy.FindItem(2)->child);
    original.FindItem(2)->child = new_a<TKrXIniTree>();
    EXPECT_EQ(Dump(copy), Dump(original));
    EXPECT_EQ(Dump(*original.CreateCopy()), Dump(original));
    copy.FindItem(1)->child->AddItem(T::Integer, "x", "1");
    EXPECT_EQ(original.FindItem(1)->child->Count(), 2u);
    TKrXIniTree::TItem item = *original.FindItem(1);
    EXPECT_EQ(item.child, original.FindItem(1)->child);

    TKrXIniTree twice = Sample(); // CopyFrom appends, also from itself
    twice.CopyFrom(&twice);
    twice.CopyFrom(nullptr);
    EXPECT_EQ(twice.Count(), 8u);
    EXPECT_EQ(twice.FindItem(5)->child->FindItem(0)->value, "text");

    // Assigning a tree its own sub-tree: the source must be copied before the old content goes.
    twice = *twice.FindItem(1)->child;
    EXPECT_EQ(Dump(twice), Dump(*Sample().FindItem(1)->child));
    TKrXIniTree& alias = twice;
    twice = alias;
    twice = std::move(alias);
    EXPECT_EQ(twice.Count(), 2u);
}

TEST(XIniTree, ClearAndDeleteClipAndRejectBadIndexes) {
    TKrXIniTree t;
    EXPECT_FALSE(t.Clear());
    for (const char* n : {"0", "1", "2", "3"})
        t.AddItem(T::String, n, "");
    EXPECT_FALSE(t.Delete(4));
    EXPECT_FALSE(t.Delete(npos, 1));
    EXPECT_TRUE(t.Delete(2, 100));
    ASSERT_EQ(t.Count(), 2u);
    EXPECT_EQ(t.FindItem(1)->name, "1");
    EXPECT_TRUE(t.Delete(0, npos)); // index + count overflows
    EXPECT_FALSE(t.Clear());
}

TEST(XIniTree, SpliceMovesItemsAndLeavesEmptiedOnes) {
    TKrXIniTree a, b = Sample();
    a.AddItem(T::String, "own", "1");
    var_a<TKrXIniTree*> sub = b.FindItem(1)->child;
    a.Splice(&b);
    ASSERT_EQ(a.Count(), 5u);
    EXPECT_EQ(a.FindItem(2)->child, sub); // moved, not copied
    ASSERT_EQ(b.Count(), 4u);
    EXPECT_EQ(Dump(b), "<Invalid/>\n<Invalid/>\n<Invalid/>\n<Invalid/>\n");
    EXPECT_TRUE(b.FindItem(1)->name.empty() && !b.FindItem(1)->child);

    TKrXIniTree self = Sample();
    self.Splice(&self);
    self.Splice(nullptr);
    ASSERT_EQ(self.Count(), 8u);
    EXPECT_EQ(self.FindItem(0)->type, T::Invalid);
    EXPECT_EQ(self.FindItem(4)->value, "42");
}

TEST(XIniTree, EqualHierarchyComparesShapeEqualContentAlsoValues) {
    TKrXIniTree a = Sample(), b = Sample();
    EXPECT_TRUE(a.EqualContent(b));
    b.FindItem(1)->child->FindItem(0)->value = "other";
    EXPECT_FALSE(a.EqualContent(b)); // a nested value differs
    b.FindItem(0)->value = "other";
    EXPECT_TRUE(a.EqualHierarchy(b));
    EXPECT_TRUE(a.EqualHierarchy(a));
    b.FindItem(0)->child = new_a<TKrXIniTree>(); // a leaf's child is not looked at
    EXPECT_TRUE(a.EqualHierarchy(b));

    TKrXIniTree withChild = Sample(), deeper = Sample(), renamed = Sample(), retyped = Sample();
    withChild.FindItem(2)->child = new_a<TKrXIniTree>(); // null child against an empty one
    deeper.FindItem(1)->child->FindItem(1)->child->AddItem(T::String, "deep", "");
    renamed.FindItem(3)->name = "B";
    retyped.FindItem(0)->type = T::Double;
    for (const TKrXIniTree* other : {&withChild, &deeper, &renamed, &retyped}) {
        EXPECT_FALSE(a.EqualHierarchy(*other));
        EXPECT_FALSE(other->EqualHierarchy(a));
    }
}

TEST(XIniTree, DebugPrintLayout) {
    TKrXIniTree t = Sample();
    t.AddItem(T::Double, "d", "1.5e+00");
    t.AddItem(T::Invalid, "ignored", "ignored");
    t.AddItem(static_cast<TKrXIniItemType>(9), "q", "<&>");
    EXPECT_EQ(Dump(t, 1), "  <i n=\"n\" v=\"42\"/>\n"
                          "  <x n=\"sub\">\n"
                          "    <s n=\"s\" v=\"text\"/>\n"
                          "    <x n=\"empty\">\n"
                          "    </x>\n"
                          "  </x>\n"
                          "  <x n=\"bare\">\n"
                          "    (null)\n"
                          "  </x>\n"
                          "  <b n=\"b\">\n"
                          "    <!-- base64 -->AAE=<!-- end -->\n"
                          "  </b>\n"
                          "  <d n=\"d\" v=\"1.5e+00\"/>\n"
                          "  <Invalid/>\n"
                          "  <unknown(9) n=\"q\" v=\"<&>\"/>\n");
    t.DebugPrint(nullptr, 0);

    // Large dumps go out in blocks, complete: 20000 lines and the digits of 0..19999.
    TKrXIniTree big;
    for (int i = 0; i < 20000; ++i)
        big.AddItem(T::Integer, "k", std::to_string(i));
    EXPECT_EQ(Dump(big).size(), 20000 * std::string("<i n=\"k\" v=\"\"/>\n").size() + 88890);
}

TEST(XIniTree, RawTextIsUnescaped) {
    TKrXIniTree t;
    const std::string name = "a&amp;b&lt;&gt;&quot;&apos;&#65;&#x42;&#xe9;&#128512;";
    const std::string value = "&AMP;&#X41;&#x;&#;&#65x;&#1114112;&nbsp;& x;&"; // none is a reference
    t.AddItemRaw(T::String, name.data(), name.data() + name.size(), value.data(),
                 value.data() + value.size());
    EXPECT_EQ(t.FindItem(0)->name, "a&b<>\"'AB\xC3\xA9\xF0\x9F\x98\x80");
    EXPECT_EQ(t.FindItem(0)->value, value);

    const std::string sect = "x&amp;amp;";
    t.AddSectionRaw(sect.data(), sect.data() + sect.size());
    EXPECT_EQ(t.FindItem(1)->name, "x&amp;"); // decoded once
    ASSERT_TRUE(t.FindItem(1)->child);
    t.AddSectionRaw(nullptr, nullptr);
    t.AddItemRaw(T::Integer, sect.data() + 3, sect.data(), nullptr, sect.data());
    EXPECT_EQ(t.FindItem(3)->name + t.FindItem(3)->value, "");
}

TEST(XIniTree, DeepNestingNeedsNoDeepStack) {
    OnSmallStack([] {
        var_a<TKrXIniTree*> deep = Chain(100000);
        TKrXIniTree copy(*deep);
        EXPECT_TRUE(copy.EqualHierarchy(*deep));
        deep->CopyFrom(&copy);
        EXPECT_FALSE(copy.EqualHierarchy(*deep));
        EXPECT_EQ(KrXIniInternal::FormatParseWhere(&copy).size(),
                  100000 * 10 + 12); // <x#0 "s"> ... <s#0 "leaf">
        TKrNullStream sink;
        Chain(8000)->DebugPrint(&sink, 0);
        TKrXIniTree assigned;
        assigned = copy;
        EXPECT_TRUE(copy.Clear());
        EXPECT_TRUE(assigned.Delete(0));
    });
}
