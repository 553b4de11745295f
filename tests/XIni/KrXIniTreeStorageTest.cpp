// Trees read from documents share one storage: the pieces taken out of them, edits, splices
// across documents and the in-place reading of memory streams.
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrGZipWriter.h"
#include "Streams/KrMemoryStream.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniTree.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using T = TE_KrXIniItemType;

const char* const kDoc = "<?xml version=\"1.0\"?>\n<krini>\n"
                         "<i n=\"n\" v=\"42\"/>\n"
                         "<x n=\"sub &amp; more\">\n"
                         "  <s n=\"s\" v=\"a &lt;b&gt; &#x263A; c\"/>\n"
                         "  <x n=\"inner\"><d n=\"d\" v=\"1.5\"/></x>\n"
                         "  <x n=\"empty\"/>\n"
                         "</x>\n"
                         "<b n=\"bin\">\n  <![CDATA[AAEC\nAw==]]>\n</b>\n"
                         "<s n=\"\" v=\"\"/>\n"
                         "</krini>\n";

// The same content built item by item.
TKrXIniTree Expected() {
    TKrXIniTree t;
    t.AddItem(T::Integer, "n", "42");
    var_a<TKrXIniTree*> sub = t.AddSection("sub & more");
    sub->AddItem(T::String, "s", "a <b> \xE2\x98\xBA c");
    sub->AddSection("inner")->AddItem(T::Double, "d", "1.5");
    sub->AddSection("empty");
    t.AddItem(T::Binary, "bin", "AAECAw==");
    t.AddItem(T::String, "", "");
    return t;
}

var_a<TKrXIniTree*> Read(const std::string& text) {
    TKrStringStream s(text);
    return ReadKrXIniTree(&s, true, nullptr);
}

TEST(XIniTreeStorage, EveryStreamKindReadsTheSameTree) {
    const std::string doc = kDoc;
    const TKrXIniTree expected = Expected();
    EXPECT_TRUE(Read(doc)->EqualContent(expected));

    TKrFixedMemStream fixed(doc.data(), doc.size());
    EXPECT_TRUE(ReadKrXIniTree(&fixed, true, nullptr)->EqualContent(expected));

    TKrMemoryStream memory;
    memory.Write(doc.data(), doc.size());
    EXPECT_TRUE(ReadKrXIniTree(&memory, true, nullptr)->EqualContent(expected));

    // Compressed text in memory is inflated into a buffer of its own.
    TKrMemoryStream packed;
    {
        TKrGZipWriter gz;
        ASSERT_TRUE(gz.Open(&packed, 6));
        gz.Write(doc.data(), doc.size());
        gz.Close();
    }
    EXPECT_TRUE(ReadKrXIniTree(&packed, true, nullptr)->EqualContent(expected));

    // A write-only fixed stream cannot be read in place or otherwise.
    std::string room(doc);
    TKrFixedMemStream writeOnly(&room[0], room.size(), krOpenWrite);
    EXPECT_FALSE(ReadKrXIniTree(&writeOnly, false, nullptr));
}

TEST(XIniTreeStorage, ReferencesAreFoundAtEveryLengthAndPlace) {
    // Short texts are copied in words whose ends overlap: a reference anywhere in any of them
    // must still be resolved.
    std::string doc = "<krini>";
    std::vector<std::string> expected;
    for (std::size_t length = 0; length <= 40; ++length)
        for (std::size_t at = 0; at + 4 <= length || (at == 0 && length < 4); ++at) {
            std::string raw(length, 'a');
            std::string plain = raw;
            if (length >= 4) {
                raw.replace(at, 4, "&lt;");
                plain = raw.substr(0, at) + "<" + raw.substr(at + 4);
            }
            doc += "<s n=\"" + raw + "\" v=\"" + raw + "\"/>";
            expected.push_back(plain);
        }
    doc += "</krini>";
    var_a<TKrXIniTree*> tree = Read(doc);
    ASSERT_EQ(tree->Count(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(tree->FindItem(i)->name, expected[i]) << i;
        EXPECT_EQ(tree->FindItem(i)->value, expected[i]) << i;
        EXPECT_EQ(std::strlen(tree->FindItem(i)->value.c_str()), expected[i].size()) << i;
    }
}

TEST(XIniTreeStorage, PiecesOutliveTheTreeTheyCameFrom) {
    var_a<TKrXIniTree*> root = Read(kDoc);
    var_a<TKrXIniTree*> sub = root->FindItem(1)->child;
    TKrXIniTree::TItem copied = *root->FindItem(0);
    TKrXIniTree::TItem moved = std::move(*sub->FindItem(0));
    TKrXIniString name = root->FindItem(2)->name;
    root.reset();

    // Under the address sanitizer any byte read from freed storage fails here.
    EXPECT_EQ(sub->FindItem(1)->name, "inner");
    EXPECT_EQ(sub->FindItem(1)->child->FindItem(0)->value, "1.5");
    EXPECT_EQ(copied.name, "n");
    EXPECT_EQ(copied.value, "42");
    EXPECT_EQ(moved.value, "a <b> \xE2\x98\xBA c");
    EXPECT_EQ(name, "bin");
    EXPECT_EQ(std::string(name.c_str()), "bin");

    // A tree moved out of a stored section keeps what it needs; the section stays usable.
    TKrXIniTree taken(std::move(*sub));
    sub.reset();
    EXPECT_EQ(taken.FindItem(1)->child->FindItem(0)->name, "d");
}

TEST(XIniTreeStorage, LoadedTreesCanBeEdited) {
    var_a<TKrXIniTree*> root = Read(kDoc);
    TKrXIniTree expected = Expected();
    var_a<TKrXIniTree*> sub = root->FindItem(1)->child;
    var_a<TKrXIniTree*> wanted = expected.FindItem(1)->child;

    // Growing a stored item array, overwriting borrowed texts, deleting from the middle.
    for (int i = 0; i < 10; ++i) {
        sub->AddItem(T::Integer, "k" + std::to_string(i), std::to_string(i));
        wanted->AddItem(T::Integer, "k" + std::to_string(i), std::to_string(i));
    }
    root->FindItem(0)->value = std::string("43");
    expected.FindItem(0)->value = "43";
    root->FindItem(0)->name.assign(root->FindItem(2)->name.data(), 2); // from another item's bytes
    expected.FindItem(0)->name = "bi";
    EXPECT_TRUE(sub->Delete(1, 2));
    EXPECT_TRUE(wanted->Delete(1, 2));
    EXPECT_TRUE(root->EqualContent(expected));

    // Clearing and moving over a stored section keeps the rest of the document alive.
    var_a<TKrXIniTree*> inner = Read(kDoc)->FindItem(1)->child;
    EXPECT_TRUE(inner->Clear());
    inner->AddItem(T::String, "x", "y");
    *sub = TKrXIniTree();
    *sub = *inner;
    EXPECT_EQ(sub->Count(), 1u);
    EXPECT_EQ(sub->FindItem(0)->value, "y");
}

TEST(XIniTreeStorage, SplicedItemsKeepTheirTexts) {
    // Into a tree with storage of its own: the texts are copied.
    var_a<TKrXIniTree*> a = Read(kDoc);
    var_a<TKrXIniTree*> b = Read(kDoc);
    a->Splice(b.get());
    b.reset();
    EXPECT_EQ(a->Count(), 8u);
    EXPECT_EQ(a->FindItem(5)->child->FindItem(0)->value, "a <b> \xE2\x98\xBA c");
    EXPECT_EQ(a->FindItem(6)->name, "bin");

    // Into a tree built by hand: it takes a share of the other's storage.
    TKrXIniTree hand;
    hand.AddItem(T::String, "first", "1");
    var_a<TKrXIniTree*> c = Read(kDoc);
    hand.Splice(c.get());
    c.reset();
    EXPECT_EQ(hand.Count(), 5u);
    EXPECT_EQ(hand.FindItem(3)->value, "AAECAw==");

    // A tree spliced into itself doubles.
    var_a<TKrXIniTree*> d = Read(kDoc);
    d->Splice(d.get());
    EXPECT_EQ(d->Count(), 8u);
    EXPECT_EQ(d->FindItem(4)->value, "42");
}

TEST(XIniTreeStorage, StringReadsLikeAConstantStdString) {
    TKrXIniString s("abc");
    const std::string t = s;
    EXPECT_EQ(t, "abc");
    EXPECT_TRUE(s == t && t == s && s != "abd" && std::string_view("abc") == s);
    EXPECT_EQ("x" + s + "y", "xabcy");
    EXPECT_EQ(s + s, "abcabc");
    TKrXIniString empty;
    EXPECT_TRUE(empty.empty());
    EXPECT_STREQ(empty.c_str(), "");
    TKrXIniString nul(std::string("a\0b", 3));
    EXPECT_EQ(nul.size(), 3u);
    EXPECT_TRUE(nul < s);
    TKrXIniString& same = s;
    s = same; // self-assignment keeps the bytes
    s.assign(s.data() + 1, 2);
    EXPECT_EQ(s, "bc");
}

} // namespace
