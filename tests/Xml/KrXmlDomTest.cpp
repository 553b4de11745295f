// The DOM: reading with flags, positioned errors, lookups, writing and deep trees.
#include "KrXmlTestUtils.h"

#include "Streams/KrStringStream.h"
#include "Xml/KrXmlDom.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <sstream>

using KrXmlTest::Caught;
using KrXmlTest::Params;

namespace {
using RF = TE_KrReadXmlFlags;

var_a<TKrXmlTagItem*> Read(const std::string& text, unsigned flags = RF::rxDefault, const char* name = "") {
    TKrStringStream s(text);
    s.SetInfoName(name);
    return KrReadXmlEx(&s, flags, true, nullptr);
}

/// The message thrown for `text`, or an empty one.
TKrMessage ReadError(const std::string& text, const char* name = "") {
    return Caught([&] { Read(text, RF::rxDefault, name); });
}

std::string Write(const TKrXmlTagItem* root, const TWriteXmlOptions& o = TWriteXmlOptions(),
                  const std::map<const TKrXmlTagItem*, unsigned>& flags = {}) {
    TKrStringStream s;
    WriteXmlEx(&s, root, o, flags);
    return s.str();
}
} // namespace

TEST(XmlDom, ReadsElementsAttributesAndTextByFlags) {
    const std::string doc =
        "\xEF\xBB\xBF<?xml version=\"1.0\"?>\n<!DOCTYPE r>\n<!-- c0 -->"
        "<r a=\"x&amp;y\" b='&#x41;'>\n  <s>one &lt;two&gt;</s>\n  <![CDATA[&lt;]]><?p q?>"
        "<!--c1--><e/>\n</r>\n<!-- after -->\n";
    auto r = Read(doc);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->m_name, "r");
    EXPECT_EQ(r->m_attributes.get_value("a", ""), "x&y");
    EXPECT_EQ(r->m_attributes.get_value_e("b"), "A");
    // Default flags: blank text dropped, CDATA kept, no comments or PIs.
    ASSERT_EQ(r->m_items.size(), 3u);
    EXPECT_EQ(r->m_items.tag(0)->m_items.get_text(), "one <two>");
    EXPECT_EQ(r->m_items[1]->AsText()->m_text, "&lt;");
    EXPECT_EQ(r->m_items.tag(2)->m_name, "e");

    auto all = Read(doc, RF::rxKeepText | RF::rxKeepPi | RF::rxKeepComments);
    std::vector<int> kinds;
    for (const auto& item : all->m_items)
        kinds.push_back(item->Type());
    EXPECT_EQ(kinds, (std::vector<int>{1, 2, 1, 1, 3, 4, 2, 1}));
    EXPECT_EQ(all->m_items[4]->AsPi()->m_text, "p q");
    EXPECT_EQ(all->m_items[5]->AsComment()->m_text, "c1");
    EXPECT_EQ(all->m_items[5]->AsText(), nullptr);

    EXPECT_EQ(Read(doc, 0)->m_items.size(), 2u);
}

TEST(XmlDom, MalformedDocumentsGivePathAndPosition) {
    struct Case {
        const char* text;
        const char* params; // where, position
    };
    for (const Case& c :
         {Case{"<a><b></c></a>", "[0,<a>][0,<b>][0+], 6"}, Case{"<a><b/><c>", "[0,<a>][1,<c>][0+], 10"},
          Case{"<a/><b/>", "[1+], 4"}, Case{"x<a/>", "[0], 0"}, Case{"<a/>x", "[1+], 4"},
          Case{"<a x=1/>", "[0], 0"}, Case{"<a><?p </a>", "[0,<a>][0+], 3"}, Case{"<a>t</a></a>", "[1+], 8"},
          Case{"<a><!DOCTYPE a></a>", "[0,<a>][0+], 3"},
          Case{"<a><![CDATA[x]]></a><![CDATA[y]]>", "[1+], 20"}}) {
        TKrMessage m = ReadError(c.text);
        ASSERT_FALSE(m.empty()) << c.text;
        EXPECT_EQ(Params(m), c.params) << c.text;
        TKrStringStream s(c.text);
        EXPECT_FALSE(KrReadXmlEx(&s, RF::rxDefault, false, nullptr)) << c.text;
    }
    // A bare '&' is malformed unless the lenient flag keeps it; undeclared entities stay as they are.
    EXPECT_EQ(Params(ReadError("<a b='&#x41;&nbsp;'>x & y</a>")), "[0,<a>][0+], 22");
    TKrStringStream lenient("<a b='&#x41;&nbsp;&'>x & y</a>");
    auto r = KrReadXmlEx(&lenient, RF::rxDefault | RF::rxLenientReferences, true, nullptr);
    EXPECT_EQ(r->m_attributes.get_value("b", ""), "A&nbsp;&");
    EXPECT_EQ(r->m_items.get_text(), "x & y");
    // Named streams add the name last; no element at all has no position.
    EXPECT_EQ(Params(ReadError("<a>", "f.xml")), "[0,<a>][0+], 3, f.xml");
    EXPECT_EQ(ReadError("  \n").ParameterCount(), 0u);
    EXPECT_EQ(Params(ReadError("<!-- -->", "f.xml")), "f.xml");
}

TEST(XmlDom, AttributeAndChildLookups) {
    auto r = Read("<r><a k='1'/>t<b/><a k='2' j=''/><a k='1' k='3'/></r>");
    const TKrXmlTagItems& items = r->m_items;
    EXPECT_EQ(items.count_tags(), 4u);
    EXPECT_EQ(items.count_tags("a"), 3u);
    EXPECT_EQ(items.count_tags(TKrXmlSearchPathPredicate("<a k='1'>")), 2u);
    EXPECT_EQ(items.find_tag_f(1), 2u);
    EXPECT_EQ(items.find_tag_f("a", 1), 3u);
    EXPECT_EQ(items.find_tag_f("a", 5), TKrXmlTagItems::npos);
    EXPECT_EQ(items.find_tag_f(TKrXmlSearchPathPredicate("<a j>"), 0), 3u);
    EXPECT_EQ(items.find_tag_fe(TKrXmlSearchPathPredicate("<a !j k='1'>"), 1), 4u);
    EXPECT_EQ(items.tag(1), nullptr);
    EXPECT_EQ(items.tag(99), nullptr);

    EXPECT_EQ(Params(Caught([&] { items.find_tag_fe("zz", 2); })), "zz, 2");
    EXPECT_EQ(Params(Caught([&] { items.find_tag_fe(TKrXmlSearchPathPredicate("<a k='9'>"), 0); })),
              "a[@k=\"9\"], 0");
    EXPECT_THROW(items.find_tag_fe(5), TKrMessage);

    const TKrXmlTagAttributes& at = items.tag(4)->m_attributes;
    EXPECT_EQ(at.count("k"), 2u);
    EXPECT_EQ(at.find("k"), 0u);
    EXPECT_EQ(at.get_value(1, "d"), "3");
    EXPECT_EQ(at.get_value(2, "d"), "d");
    EXPECT_EQ(at.get_value("z", "d"), "d");
    EXPECT_THROW(at.find_e("z"), TKrMessage);
    EXPECT_THROW(at.get_value_e(2), TKrMessage);
}

TEST(XmlDom, GetTagDeepFollowsEveryStep) {
    auto r = Read("<r><x n='a'><i/></x><x n='b'><i v='1'/><i v='2'/></x></r>");
    TKrXmlSearchPathPredicate p(TKrXmlSearchPathPredicate::pathXPath, "x[@n=\"b\"]/i[@v='2']");
    ASSERT_NE(r->m_items.get_tag_deep(p), nullptr);
    EXPECT_EQ(r->m_items.get_tag_deep(p)->m_attributes.get_value("v", ""), "2");
    // The first x matches step 0 and has no i with v: the search does not backtrack.
    TKrXmlSearchPathPredicate q(TKrXmlSearchPathPredicate::pathXPath, "x/i[@v]");
    EXPECT_EQ(r->m_items.get_tag_deep(q), nullptr);
    EXPECT_EQ(Params(Caught([&] { r->m_items.get_tag_deep_e(q); })), "x/i[@v], 0");
    EXPECT_EQ(r->m_items.get_tag_deep(TKrXmlSearchPathPredicate()), nullptr);
}

TEST(XmlDom, WritesWhatItReadsBack) {
    const std::string doc =
        "<r a=\"&quot;&amp;&lt;&#xA;'\"><s>x &amp; &lt;y&gt;\r\n</s><e></e><!--c--><?p?></r>";
    auto r = Read(doc, RF::rxKeepText | RF::rxKeepPi | RF::rxKeepComments);
    TKrStringStream out;
    WriteXml(&out, r.get());
    EXPECT_EQ(out.str(), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + doc);
}

TEST(XmlDom, WriterOptionsAndElementFlags) {
    TKrXmlTagItem r("r");
    TKrXmlTagItem& a = r.AddTag("a");
    a.AddTag("b").AddAttribute("k", "v");
    TKrXmlTagItem& t = r.AddTag("t");
    t.AddText("l1\nl2");
    TKrXmlTagItem& hidden = r.AddTag("h");
    TKrXmlTagItem& flat = r.AddTag("f");
    flat.AddTag("g");

    TWriteXmlOptions o;
    o.byteOrderMark = true;
    o.declaration = TWriteXmlOptions::declLower;
    o.indent = "  ";
    o.eol = eolCRLF;
    o.normalizeEol = true;
    o.shortEmptyElements = true;
    const std::map<const TKrXmlTagItem*, unsigned> flags{{&hidden, TE_KrWriteXmlElementFlags::wxeOmit},
                                                         {&flat, TE_KrWriteXmlElementFlags::wxeInline}};
    EXPECT_EQ(Write(&r, o, flags),
              "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
              "<r>\r\n  <a>\r\n    <b k=\"v\"/>\r\n  </a>\r\n  <t>l1\r\nl2</t>\r\n  <f><g/></f>\r\n</r>\r\n");
    o = TWriteXmlOptions();
    o.declaration = TWriteXmlOptions::declNone;
    EXPECT_EQ(Write(&t, o), "<t>l1\nl2</t>");

    // What the indented writer produces reads back to the same tree shape.
    TKrStringStream s(Write(&r, TWriteXmlOptions{false, TWriteXmlOptions::declUpper, "\t"}));
    auto back = KrReadXml(&s, true, nullptr);
    EXPECT_EQ(back->m_items.count_tags(), 4u);
    EXPECT_EQ(back->m_items.tag(1)->m_items.get_text(), "l1\nl2");
}

TEST(XmlDom, DeepNestingNeitherOverflowsTheStackNorLeaks) {
    const std::size_t depth = 200000;
    std::string doc;
    for (std::size_t i = 0; i < depth; ++i)
        doc += "<a>";
    for (std::size_t i = 0; i < depth; ++i)
        doc += "</a>";
    auto r = Read(doc);
    TKrStringStream out;
    WriteXml(&out, r.get());
    EXPECT_EQ(out.str().size(), doc.size() + 39);
    TKrXmlTagItem copy(*r); // copying is iterative too
    r.reset();
    TKrStringStream again;
    WriteXml(&again, &copy);
    EXPECT_EQ(again.str(), out.str());
}

TEST(XmlDom, MessagePathHelpers) {
    std::string path;
    TKrXmlTagItem named("x"), unnamed;
    AppendMsgXPathTag(path, 3, &named);
    AppendMsgXPathTag(path, 3, &unnamed);
    AppendMsgXPathTag(path, 4, nullptr);
    AppendMsgXPathText(path, 2);
    AppendMsgXPathText(path, TKrXmlTagItems::npos);
    EXPECT_EQ(path, "/x/*[3]/*[4]/text()[2]#text");
}

TEST(XmlDom, StoredTextsAreTerminatedAndActLikeStrings) {
    // Texts right before markup, references that shrink or stay, CDATA, comments, PIs, empty values.
    const std::string doc =
        "<r a='x&amp;y' b='' c=\"&#x41;\">t&nbsp;<![CDATA[cd]]>t2 &lt;<!--m-->&#65;<?p i?>"
        "<e k=\"v\"/>t3</r>";
    auto r = Read(doc, RF::rxKeepText | RF::rxKeepPi | RF::rxKeepComments | RF::rxLenientReferences);
    std::vector<std::string> texts;
    for (const TKrXmlItem* item : r->m_items) {
        const TKrXmlString& s = item->AsText()      ? item->AsText()->m_text
                                : item->AsComment() ? item->AsComment()->m_text
                                : item->AsPi()      ? item->AsPi()->m_text
                                                    : item->AsTag()->m_name;
        EXPECT_EQ(std::strlen(s.c_str()), s.size()) << s;
        texts.push_back(s);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"t&nbsp;", "cd", "t2 <", "m", "A", "p i", "e", "t3"}));
    for (const TKrXmlTagAttribute& a : r->m_attributes)
        EXPECT_EQ(std::strlen(a.value.c_str()), a.value.size()) << a.name;
    EXPECT_EQ(r->m_attributes.get_value_e("a"), "x&y");
    EXPECT_TRUE(r->m_attributes.get_value_e("b").empty());

    // The operations callers use on names and values.
    const TKrXmlString& name = r->m_items.tag(6)->m_name;
    const std::string e = "e";
    EXPECT_TRUE(name == "e" && "e" == name && name == e && e == name && name == std::string_view("e"));
    EXPECT_TRUE(name != "f" && name != std::string("ee") && !(name != e));
    std::string copy = name;
    copy += r->m_name;
    EXPECT_EQ("<" + name + ">" + (name + '/') + (name + r->m_name) + copy, "<e>e/erer");
    const TKrXmlString& v = r->m_attributes.get_value_e("a");
    std::ostringstream os;
    os << v << v.substr(2) << v.find('&') << v.compare(0, 1, "x");
    EXPECT_EQ(os.str(), "x&yy10");
    EXPECT_EQ(TKrXmlString().c_str(), std::string());
}

TEST(XmlDom, CollectorOnACallersBufferCopiesEverything) {
    var_a<TKrXmlTagItem*> root;
    {
        auto doc = std::make_unique<std::string>("<r a='1'>x &amp; y<s/></r>");
        TKrXmlCollXmlTree tree(RF::rxKeepText, doc->data());
        TKrXmlParserLow parser;
        ASSERT_TRUE(parser.ReadXml(doc->data(), doc->size(), nullptr, nullptr, &tree));
        ASSERT_TRUE(tree.Finish(doc->data() + doc->size()));
        EXPECT_EQ(*doc, "<r a='1'>x &amp; y<s/></r>");
        root = tree.Root();
    } // the buffer and the collector are gone
    EXPECT_EQ(root->m_items.get_text(), "x & y");
    EXPECT_EQ(root->m_attributes.get_value("a", ""), "1");
    EXPECT_EQ(root->m_items.tag(1)->m_name, "s");
}

TEST(XmlDom, CopiesAndMovesOwnTheirStorage) {
    auto r = Read("<r><a k='1'><b>t</b><c/></a><z/></r>");
    TKrXmlTagItem a = *r->m_items.tag(0); // deep copy, outlives the document
    TKrXmlTagItem whole(std::move(*r));   // a root moves: the storage changes hands
    EXPECT_TRUE(r->m_name.empty() && r->m_items.empty());
    r.reset();
    EXPECT_EQ(a.m_attributes.get_value("k", ""), "1");
    EXPECT_EQ(a.m_items.tag(0)->m_items.get_text(), "t");
    EXPECT_EQ(whole.m_items.count_tags(), 2u);

    // Assigning a descendant: into a root (fresh storage) and into a node (the root's storage).
    TKrXmlTagItem* b = whole.m_items.tag(0)->m_items.tag(0);
    *whole.m_items.tag(0) = *b;
    EXPECT_EQ(whole.m_items.tag(0)->m_name, "b");
    EXPECT_EQ(whole.m_items.tag(0)->m_items.get_text(), "t");
    whole = *whole.m_items.tag(0);
    EXPECT_EQ(whole.m_name, "b");
    EXPECT_EQ(whole.m_items.get_text(), "t");
    const TKrXmlTagItem& same = whole;
    whole = same;
    EXPECT_EQ(whole.m_name, "b");
    a = TKrXmlTagItem();
    EXPECT_TRUE(a.m_name.empty() && a.m_items.empty());
    EXPECT_EQ(TKrXmlTagItem(whole).m_items.get_text(), "t");
}

TEST(XmlDom, HandBuiltTreesGrowAndEdit) {
    TKrXmlTagItem r("r");
    for (int i = 0; i < 1000; ++i)
        r.AddTag(std::to_string(i).insert(0, "t")).AddAttribute("i", std::to_string(i));
    EXPECT_EQ(r.m_items.size(), 1000u);
    EXPECT_EQ(r.m_items.tag(999)->m_attributes.get_value("i", ""), "999");
    const std::string big(3u << 20, 'x'); // bigger than any block
    EXPECT_EQ(r.AddText(big).m_text, big);
    for (std::size_t i = 1001; i-- > 2;)
        r.RemoveItem(i);
    EXPECT_THROW(r.RemoveItem(2), TKrMessage);

    TKrXmlTagItem& t = *r.m_items.tag(1);
    t.SetName("u");
    t.SetAttribute("i", "<1>");
    t.SetAttribute("j", "2");
    t.AddAttribute("j", "3");
    t.AddComment("c");
    t.AddPi("p");
    t.AddText("a&b");
    TWriteXmlOptions o;
    o.declaration = TWriteXmlOptions::declNone;
    EXPECT_EQ(Write(&r, o),
              "<r><t0 i=\"0\"></t0><u i=\"&lt;1&gt;\" j=\"2\" j=\"3\"><!--c--><?p?>a&amp;b</u></r>");
}
