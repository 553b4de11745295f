// TKrXIniTreeReader / TKrXIniTreeWriter: conversions, error paths, levels, value texts identical to
// the stream writer's, in-place patching, and round trips through XIni text.
#include "Core/KrMessageParameters.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrXIniReadTree.h"
#include "XIni/KrXIniStreamReader.h"
#include "XIni/KrXIniStreamWriter.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"
#include "XIni/KrXIniWriteTree.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <functional>

namespace {

using T = TE_KrXIniItemType;
using SW = TKrXIniStreamWriter;

// Language texts are not loaded here, so messages format empty: what identifies an error is its
// parameters. "path|inner parameters" for a read or write error ("Err_..._name_msg"), "!" when
// nothing was thrown.
std::string ErrorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const TKrMessage& m) {
        const auto& params = m.body()->m_parameters;
        if (params.size() != 2) return "?" + std::to_string(params.size());
        const auto* inner = dynamic_cast<const KrMessageHelpers::TParameterKrMessage*>(params[1]);
        std::string text = params[0]->GetString("") + "|";
        if (!inner) return text + params[1]->GetString("");
        if (inner->Value().body()) {
            for (const auto* p : inner->Value().body()->m_parameters)
                text += p->GetString("");
        }
        return text;
    }
    return "!";
}

// n=010, h=0x1F, j=" 12abc", bad=abc, neg=4294967295, d=0.5, s, b (bytes 0 1 2), sec{a, b},
// long{"x\n", "y"}, pair{1, 2}, bare (section without child), min=-0x8000000000000000.
var_a<TKrXIniTree*> Sample() {
    var_a<TKrXIniTree*> t = new_a<TKrXIniTree>();
    t->AddItem(T::Integer, "n", "010");
    t->AddItem(T::Integer, "h", "0x1F");
    t->AddItem(T::Integer, "j", " 12abc");
    t->AddItem(T::Integer, "bad", "abc");
    t->AddItem(T::Integer, "neg", "4294967295");
    t->AddItem(T::Double, "d", "5.0000000000000000e-01");
    t->AddItem(T::String, "s", "text");
    t->AddItem(T::Binary, "b", "AAEC");
    var_a<TKrXIniTree*> sec = t->AddSection("sec");
    sec->AddItem(T::Integer, "a", "1");
    sec->AddSection("inner")->AddItem(T::String, "", "deep");
    var_a<TKrXIniTree*> lng = t->AddSection("long");
    lng->AddItem(T::String, "", "x\n");
    lng->AddItem(T::String, "", "y");
    var_a<TKrXIniTree*> pair = t->AddSection("pair");
    pair->AddItem(T::Double, "", "1");
    pair->AddItem(T::Integer, "", "2e0");
    t->AddItem(T::Section, "bare", "");
    t->AddItem(T::Integer, "min", "-0x8000000000000000");
    return t;
}

// Runs the same calls on a stream writer and on a tree writer whose tree is then written by
// MergeXIni; compact layout keeps both on one line, so only the item texts can differ.
void ExpectSameText(const char* what, const std::function<void(TKrXIniWriter&)>& calls) {
    auto direct = new_a<TKrStringStream>();
    auto merged = new_a<TKrStringStream>();
    {
        SW w(direct, 0, SW::RootCompact);
        calls(w);
    }
    TKrXIniTreeWriter tw(nullptr);
    calls(tw);
    {
        SW w(merged, 0, SW::RootCompact);
        EXPECT_TRUE(w.MergeXIni(tw.GetRoot().get()));
    }
    EXPECT_EQ(merged->str(), direct->str()) << what;
}

std::string DocumentOf(const TKrXIniTree* tree) {
    TKrStringStream out;
    EXPECT_TRUE(WriteKrXIniTree(&out, tree, 0, true, nullptr));
    return out.str();
}

var_a<TKrXIniTree*> Parse(const std::string& text) {
    TKrFixedMemStream in(text.data(), text.size());
    return ReadKrXIniTree(&in, true, nullptr);
}

// The tree reader over Sample() and the stream reader over its document, which must agree on every
// value and every error. (A document has no section without content: "bare" gets an empty child.)
std::vector<var_a<TKrXIniReader*>> BothReaders() {
    var_a<TKrXIniTree*> tree = Sample();
    tree->FindItem(11)->child = new_a<TKrXIniTree>();
    return {new_a<TKrXIniTreeReader>(tree),
            new_a<TKrXIniStreamReader>(new_a<TKrStringStream>(DocumentOf(tree.get())), true, nullptr)};
}

} // namespace

TEST(XIniReaders, ConvertValueTextsLikeStrtol) {
    for (const var_a<TKrXIniReader*>& reader : BothReaders()) {
        TKrXIniReader& r = *reader;
        EXPECT_EQ(r.Read<int>(0, -7), 8);
        EXPECT_EQ(r.Read<int>(1, -7), 31);
        EXPECT_EQ(r.Read<int>(2, -7), 12);
        EXPECT_EQ(r.Read<int>(3, -7), -7);
        EXPECT_EQ(r.Read<int>(4, 0), -1);
        EXPECT_EQ(r.Read<unsigned>(4, 0), 4294967295u);
        EXPECT_EQ(r.Read<long>(4, 0), 4294967295L);
        EXPECT_EQ(r.Read<long>(12, 0), LONG_MIN);
        EXPECT_EQ(r.Read<bool>(1, false), true);
        EXPECT_EQ(r.Read<double>(5, 0), 0.5);
        EXPECT_EQ(r.Read<double>(0, -1), -1) << "an integer item is no double";
        EXPECT_EQ(r.Read<int>(5, -1), -1) << "a double item is no integer";
        EXPECT_EQ(r.Read<std::string>(6, "def"), "text");
        EXPECT_EQ(r.Read<std::string>(0, "def"), "def");
        EXPECT_EQ(r.ReadBinary(7, "def"), std::string("\0\1\2", 3));
        EXPECT_EQ(r.ReadBinary(6, "def"), "def");
        EXPECT_EQ(r.Read<int>(99, 5), 5);
        EXPECT_EQ(r.ReadE<unsigned long>(1), 31u);
        EXPECT_EQ(r.ReadE<int>(2), 12);
        EXPECT_EQ(r.ItemType(99), T::Invalid);
        EXPECT_EQ(r.ItemName(8), "sec");
        EXPECT_EQ(r.Count("long"), 1u);
        EXPECT_EQ(r.FindF("sec", 9), TKrXIniReader::npos);
    }
}

TEST(XIniReaders, ErrorsNameTheItemPathAndTheReason) {
    struct Case {
        std::function<void(TKrXIniReader&)> call;
        const char* error;
    } cases[] = {
        {[](TKrXIniReader& r) { r.ReadE<int>(3); }, "<i#3 \"bad\">|int"},
        {[](TKrXIniReader& r) { r.ReadE<unsigned>(6); }, "<s#6 \"s\">|uint"},
        {[](TKrXIniReader& r) { r.ReadE<long>(5); }, "<d#5 \"d\">|int64"},
        {[](TKrXIniReader& r) { r.ReadE<unsigned long>(5); }, "<d#5 \"d\">|uint64"},
        {[](TKrXIniReader& r) { r.ReadE<double>(0); }, "<i#0 \"n\">|double"},
        {[](TKrXIniReader& r) { r.ReadE<std::string>(7); }, "<b#7 \"b\">|string"},
        {[](TKrXIniReader& r) { r.ReadBinaryE(6); }, "<s#6 \"s\">|binary"},
        {[](TKrXIniReader& r) { r.EnterSectionE(6); }, "<s#6 \"s\">|section"},
        {[](TKrXIniReader& r) { r.ReadXIniTreeE(0); }, "<i#0 \"n\">|section"},
        {[](TKrXIniReader& r) { r.ReadE<int>(42); }, "<#42>|"},
        {[](TKrXIniReader& r) { r.ReadBinaryE(99); }, "<#99>|"},
        {[](TKrXIniReader& r) { r.ItemNameE(42); }, "<#42>|"},
        {[](TKrXIniReader& r) { r.FindFE("nope", 2); }, "<#2+ \"nope\">|"},
        {[](TKrXIniReader& r) { r.ExitSectionE(1); }, "<#1+ \"*\">|"},
        {[](TKrXIniReader& r) { r.ReadLongStringE(8); }, "<x#8 \"sec\">|string"},
        {[](TKrXIniReader& r) { r.ReadLongStringE(0); }, "<i#0 \"n\">|string"},
        {[](TKrXIniReader& r) { r.ReadDouble2E(0, nullptr, nullptr); }, "<i#0 \"n\">|double"},
        {[](TKrXIniReader& r) { r.ReadDouble2E(9, nullptr, nullptr); }, "<x#9 \"long\"> <s#0>|double"},
        {[](TKrXIniReader& r) { r.ReadDouble3E(10, nullptr, nullptr, nullptr); }, "<x#10 \"pair\"> <#2>|"},
        {[](TKrXIniReader& r) { r.throw_error_valueS("d"); }, "<d#5 \"d\">|"},
        {[](TKrXIniReader& r) { r.throw_error_value_message(7, "too big"); }, "<b#7 \"b\">|too big"},
    };
    for (const var_a<TKrXIniReader*>& reader : BothReaders()) {
        TKrXIniReader& r = *reader;
        for (const Case& c : cases)
            EXPECT_EQ(ErrorOf([&] { c.call(r); }), c.error);
        // Inside sections the path lists every entered level, outermost first.
        ASSERT_EQ(r.EnterSectionSE("sec"), 1u);
        ASSERT_EQ(r.EnterSectionE(1), 2u);
        EXPECT_EQ(ErrorOf([&] { r.ReadE<int>(0); }), "<x#8 \"sec\"> <x#1 \"inner\"> <s#0>|int");
        EXPECT_EQ(ErrorOf([&] { r.ReadE<unsigned>(0); }), "<x#8 \"sec\"> <x#1 \"inner\"> <s#0>|uint");
        EXPECT_EQ(ErrorOf([&] { r.ExitSectionE(3); }), "<x#8 \"sec\"> <x#1 \"inner\"> <#3+ \"*\">|");
        EXPECT_EQ(r.ReadE<std::string>(0), "deep");
    }
}

TEST(XIniTreeReader, EnterAndExitFollowTheLevelRules) {
    TKrXIniTreeReader r(Sample());
    EXPECT_EQ(r.EnterSection(0), 0u) << "no section";
    EXPECT_EQ(r.EnterSection(99), 0u);
    EXPECT_FALSE(r.ExitSection(1)) << "nothing entered";
    ASSERT_EQ(r.EnterSectionS("sec"), 1u);
    ASSERT_EQ(r.EnterSection(1), 2u);
    EXPECT_FALSE(r.ExitSection(0));
    EXPECT_FALSE(r.ExitSection(3));
    EXPECT_EQ(r.Level(), 2u) << "failed exits change nothing";
    EXPECT_EQ(r.ExitSectionE(2), 1u);
    EXPECT_EQ(r.ReadE<int>(0), 1);
    ASSERT_EQ(r.EnterSection(1), 2u);
    EXPECT_TRUE(r.ExitSection(1)) << "leaves both levels";
    EXPECT_EQ(r.Level(), 0u);
    EXPECT_EQ(r.CurrentIndex(), 8u) << "back on the section left";

    // A section without a child reads as empty; the const reader leaves the tree alone, the
    // mutable one gives it a child so that writes inside it stay in the tree.
    var_a<TKrXIniTree*> tree = Sample();
    const std::size_t bare = tree->FindItemIndexF("bare", 0);
    TKrXIniTreeReader cr(tree);
    ASSERT_EQ(cr.EnterSection(bare), 1u);
    EXPECT_EQ(cr.Count(), 0u);
    EXPECT_EQ(tree->FindItem(bare)->child, nullptr);
    TKrXIniTreeWriter w(tree);
    ASSERT_EQ(w.EnterSection(bare), 1u);
    w.WriteS("x", 1);
    EXPECT_EQ(tree->FindItem(bare)->child->Count(), 1u);
}

TEST(XIniTreeReader, ReadsCompositeValues) {
    TKrXIniTreeReader r(Sample());
    EXPECT_EQ(r.ReadLongStringS("long", "def"), "x\ny");
    EXPECT_EQ(r.ReadLongString(8, "def"), "def") << "a non-string piece";
    EXPECT_EQ(r.ReadLongString(11, "def"), "") << "no child: no pieces";
    double x = -1, y = -1, z = -1;
    EXPECT_EQ(r.ReadDouble3(10, &x, &y, &z), 2u) << "types are not examined; the third is missing";
    EXPECT_EQ(x, 1);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(z, -1);
    EXPECT_EQ(r.ReadDouble2(8, &x, &y), 1u) << "\"sec\" holds no number at 1";
    EXPECT_EQ(r.ReadDouble2(0, &x, &y), 0u);
    r.ReadDouble2E(10, &x, &y);

    var_a<TKrXIniTree*> copy = r.ReadXIniTreeE(8);
    EXPECT_TRUE(copy->EqualContent(*r.GetRoot()->FindItem(8)->child));
    copy->Clear();
    EXPECT_EQ(r.GetRoot()->FindItem(8)->child->Count(), 2u) << "a deep copy";
    EXPECT_EQ(r.ReadXIniTree(0, TKrXIniReader::NullIfAbsent), nullptr);
    EXPECT_EQ(r.ReadXIniTree(99, TKrXIniReader::EmptyIfAbsent)->Count(), 0u);
    EXPECT_EQ(r.ReadXIniTreeE(11)->Count(), 0u);

    // ReadXIni is the section as a document of its own, as WriteKrXIniTree writes it.
    EXPECT_EQ(r.ReadXIniE(8), DocumentOf(r.GetRoot()->FindItem(8)->child.get()));
    EXPECT_EQ(r.ReadXIni(0), "");
    var_a<TKrXIniTree*> broken = new_a<TKrXIniTree>();
    broken->AddSection("s")->AddItem(static_cast<TKrXIniItemType>(9), "odd", "");
    TKrXIniTreeReader br(broken);
    EXPECT_EQ(br.ReadXIni(0), "");
    EXPECT_EQ(ErrorOf([&] { br.ReadXIniE(0); }), "<x#0 \"s\">|");
}

TEST(XIniTreeWriter, StoresTheStreamWritersValueTexts) {
    const std::string bytes100(100, '\xA5');
    struct Case {
        const char* what;
        std::function<void(TKrXIniWriter&)> calls;
    } cases[] = {
        {"int32", [](TKrXIniWriter& w) { w.WriteS("a", -1), w.WriteS("b", INT_MIN), w.WriteS("", 7); }},
        {"uint32", [](TKrXIniWriter& w) { w.WriteS("a", UINT_MAX); }},
        {"int64", [](TKrXIniWriter& w) { w.WriteS("a", LONG_MIN), w.WriteS("b", -5L); }},
        {"uint64", [](TKrXIniWriter& w) { w.WriteS("a", ULONG_MAX); }},
        {"narrow",
         [](TKrXIniWriter& w) {
             w.WriteS("b", true), w.WriteS("c", '\xFF'), w.WriteS("s", (signed char)-2);
         }},
        {"float", [](TKrXIniWriter& w) { w.WriteS("f", 0.1f), w.WriteS("g", -3e38f); }},
        {"double",
         [](TKrXIniWriter& w) {
             w.WriteS("p", M_PI), w.WriteS("t", 1e-300), w.WriteS("z", -0.0), w.WriteS("i", HUGE_VAL);
         }},
        {"hex",
         [](TKrXIniWriter& w) {
             w.WriteHexS("a", -1), w.WriteHexS("b", INT_MIN), w.WriteHexS("c", 255u),
                 w.WriteHexS("d", LONG_MIN), w.WriteHexS("e", ULONG_MAX), w.WriteHexS("f", (unsigned char)0),
                 w.WriteHexS("g", (signed char)-16);
         }},
        {"string", [](TKrXIniWriter& w) { w.WriteS("n\"<&>\n'", "v\"<&>\t'\xC3\xA4"), w.WriteS("e", ""); }},
        {"long string",
         [](TKrXIniWriter& w) { w.WriteLongStringS("l", "a\r\nb\rc\n\nd"), w.WriteLongStringS("e", ""); }},
        {"binary", [&](TKrXIniWriter& w) { w.WriteBinaryS("b", bytes100), w.WriteBinaryS("e", ""); }},
        {"doubles",
         [](TKrXIniWriter& w) { w.WriteDouble2S("p", 1, -2.5), w.WriteDouble3S("q", 0.1, 1e10, -0.0); }},
        {"sections",
         [](TKrXIniWriter& w) {
             const std::size_t outer = w.BeginSectionS("o");
             w.BeginSectionCompactS("i");
             w.WriteS("x", 1);
             w.EndSection(outer);
             w.BeginSectionS("empty");
             w.EndSection();
             w.WriteS("after", 2);
         }},
        {"tree",
         [](TKrXIniWriter& w) {
             var_a<TKrXIniTree*> t = Sample();
             t->FindItem(11)->type = T::String; // "bare" would be skipped by one side only
             w.WriteXIniS("t", t.get());
             w.MergeXIni(t.get());
         }},
    };
    for (const Case& c : cases)
        ExpectSameText(c.what, c.calls);
}

TEST(XIniTreeWriter, SectionsUseReaderLevels) {
    TKrXIniTreeWriter w(nullptr);
    EXPECT_FALSE(w.EndSection()) << "nothing open";
    EXPECT_THROW(w.EndSectionE(), TKrMessage);
    EXPECT_EQ(w.BeginSectionS("a"), 1u);
    EXPECT_EQ(w.BeginSectionS("b"), 2u);
    EXPECT_EQ(w.BeginSectionS("c"), 3u);
    EXPECT_TRUE(w.EndSection());
    EXPECT_TRUE(w.EndSection(1));
    EXPECT_EQ(w.Level(), 0u);
    EXPECT_TRUE(w.WriteComment("ignored") && w.Flush() && w.Close());
    w.SetCompactMode(true);
    EXPECT_EQ(w.GetRoot()->Count(), 1u);
    EXPECT_EQ(w.GetRoot()->FindItem(0)->child->FindItem(0)->child->Count(), 1u);

    // Copying the writer's own tree into itself copies what was there before the call.
    w.WriteXIniS("self", w.GetRoot().get());
    w.MergeXIni(w.GetRoot().get());
    EXPECT_EQ(w.GetRoot()->Count(), 4u);
    EXPECT_EQ(w.GetRoot()->FindItem(1)->child->Count(), 1u);

    // Removing the section the writer is in leaves it writing into the detached tree.
    w.BeginSectionS("gone");
    w.GetRoot()->Clear();
    w.WriteS("lost", 1);
    EXPECT_EQ(w.Count(), 1u);
    EXPECT_TRUE(w.EndSection());
    EXPECT_EQ(w.Count(), 0u);
}

TEST(XIniTreeWriter, PatchesItemsInPlace) {
    var_a<TKrXIniTree*> tree = Sample();
    TKrXIniTreeWriter w(tree);
    const std::size_t n = tree->Count();

    EXPECT_EQ(w.FindCreateF("sec", 0), 8u);
    EXPECT_EQ(w.FindCreateF("sec", 9), n) << "none after 8: a new string item";
    EXPECT_EQ(w.CurrentIndex(), n);
    EXPECT_EQ(w.ItemType(n), T::String);
    EXPECT_EQ(w.FindCreateFE("new", 0), n + 1);

    w.Write(8, -1); // a section becomes an integer; its child goes
    EXPECT_EQ(tree->FindItem(8)->value, "4294967295");
    EXPECT_EQ(tree->FindItem(8)->child, nullptr);
    EXPECT_EQ(w.ReadE<int>(8), -1);
    w.WriteHex(0, (unsigned char)200);
    EXPECT_EQ(tree->FindItem(0)->value, "0xC8");
    w.Write(6, 0.25f);
    EXPECT_EQ(tree->FindItem(6)->value, "2.50000000e-01");
    EXPECT_EQ(tree->FindItem(6)->name, "s") << "names stay";
    w.Write(5, "str");
    EXPECT_EQ(w.ReadE<std::string>(5), "str");

    w.WriteLongString(1, "p\nq");
    EXPECT_EQ(w.ReadLongStringE(1), "p\nq");
    w.WriteBinary(2, "\xFF\x00");
    EXPECT_EQ(w.ReadBinaryE(2), std::string("\xFF", 1));
    double x, y, z;
    w.WriteDouble3(3, 1, 2, 3);
    w.ReadDouble3E(3, &x, &y, &z);
    EXPECT_EQ(z, 3);
    w.WriteXIni(4, tree.get()); // a copy of the whole tree, taken before item 4 changes
    EXPECT_EQ(tree->FindItem(4)->child->FindItem(4)->type, T::Integer);

    // OpenXIniTree shares the child; OpenSection converts and enters.
    var_a<TKrXIniTree*> pieces = w.OpenXIniTreeE(1);
    pieces->AddItem(T::String, "", "!");
    EXPECT_EQ(w.ReadLongStringE(1), "p\nq!");
    EXPECT_EQ(w.OpenXIniTree(0), nullptr);
    EXPECT_EQ(ErrorOf([&] { w.OpenXIniTreeE(0); }), "<i#0 \"n\">|section");
    ASSERT_EQ(w.OpenSectionE(0), 1u);
    w.WriteS("in", 1);
    EXPECT_TRUE(w.EndSection());
    EXPECT_EQ(tree->FindItem(0)->type, T::Section);
    EXPECT_EQ(tree->FindItem(0)->value, "");
    EXPECT_EQ(tree->FindItem(0)->child->Count(), 1u);

    EXPECT_EQ(w.OpenSection(999), 0u);
    EXPECT_EQ(ErrorOf([&] { w.Write(999, 1); }), "<#999>|");
    EXPECT_EQ(ErrorOf([&] { w.WriteBinary(999, ""); }), "<#999>|");
    EXPECT_EQ(ErrorOf([&] { w.OpenSectionE(999); }), "<#999>|");

    EXPECT_TRUE(w.Delete(1, 100));
    EXPECT_EQ(tree->Count(), 1u);
    EXPECT_FALSE(w.Delete(1));
    EXPECT_TRUE(w.Clear());
    EXPECT_FALSE(w.Clear());
}

TEST(XIniTreeWriter, MergesAndNestsXIniText) {
    const std::string doc =
        "<?xml version=\"1.0\"?><krini><i n=\"a\" v=\"1\"/><x n=\"s\"><s v=\"&lt;\"/></x></krini>";
    TKrXIniTreeWriter w(nullptr);
    const TKrXIniTree& root = *w.GetRoot();
    EXPECT_TRUE(w.MergeXIni(doc));
    EXPECT_TRUE(w.WriteXIniS("nested", doc));
    EXPECT_TRUE(w.MergeXIni("<krini/>"));
    EXPECT_TRUE(w.WriteXIniS("empty", "<krini/>"));
    ASSERT_EQ(root.Count(), 4u);
    EXPECT_TRUE(root.FindItem(2)->child->EqualContent(*Parse(doc)));
    EXPECT_EQ(root.FindItem(1)->child->FindItem(0)->value, "<");
    EXPECT_EQ(root.FindItem(3)->child->Count(), 0u);

    for (const char* bad : {"", "<root/>", "<krini><i n=\"a\"/></krini>", "<krini><x>"}) {
        EXPECT_FALSE(w.MergeXIni(bad)) << bad;
        EXPECT_FALSE(w.WriteXIniS("bad", bad)) << bad;
        EXPECT_EQ(root.Count(), 4u) << "nothing added for " << bad;
    }
    w.WriteXIni(0, doc);
    EXPECT_EQ(root.FindItem(0)->child->Count(), 2u);
    // The write error carries the parser's message, which says where parsing stopped.
    EXPECT_EQ(ErrorOf([&] { w.WriteXIni(0, "<krini><q/></krini>"); }), "<x#0 \"a\">|<#0+>");
    EXPECT_EQ(root.FindItem(0)->child->Count(), 2u) << "a failed write leaves the item";
}
