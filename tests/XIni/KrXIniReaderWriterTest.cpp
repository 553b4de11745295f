// The typed and by-name layers of the XIni reader and writer, and the load/save convention; the
// reader layer runs over the tree reader.
#include "KrXIniFakes.h"
#include "XIni/KrXIniSerialize.h"
#include "XIni/KrXIniTreeReader.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>

using krtest::TRecordingWriter;
using T = TE_KrXIniItemType;
constexpr std::size_t npos = TKrXIniReader::npos;

namespace {
var_a<TKrXIniTree*> Document() {
    var_a<TKrXIniTree*> root = new_a<TKrXIniTree>();
    root->AddItem(T::Integer, "flag", "0x10");         // 0
    root->AddItem(T::Integer, "byte", "300");          // 1
    root->AddItem(T::Integer, "neg", "-1");            // 2
    root->AddItem(T::Double, "pi", "3.25e+00");        // 3
    root->AddItem(T::String, "s", "text");             // 4
    var_a<TKrXIniTree*> sec = root->AddSection("sec"); // 5
    sec->AddItem(T::String, "", "long ");
    sec->AddItem(T::String, "", "string");
    root->AddSection("sec");                          // 6
    root->AddItem(T::String, "sec", "not a section"); // 7
    return root;
}

// Records what reaches the value-error slot; with `throwing` off it returns like a careless
// implementation would.
struct TTreeReader : TKrXIniTreeReader {
    using TKrXIniTreeReader::TKrXIniTreeReader;
    bool throwing = true;
    std::size_t lastErrorIndex = 0;
    std::string lastErrorMessage = "unset";
    void throw_error_value_message(std::size_t index, const std::string& message) override {
        lastErrorIndex = index;
        lastErrorMessage = message;
        if (throwing) TKrXIniTreeReader::throw_error_value_message(index, message);
    }
};

// A persistent value for the generic by-name load forms.
struct TPoint {
    int x = 0, y = 0;
};
void XIniLoadE(TKrXIniReader* r, std::size_t index, TPoint& p) {
    const std::size_t level = r->EnterSectionE(index);
    p.x = r->ReadE<int>(r->FindFE("x", 0));
    p.y = r->ReadE<int>(r->FindFE("y", 0));
    r->ExitSectionE(level);
}
} // namespace

TEST(XIniReader, TypedReadsGoThroughTheirSlotsAndTruncate) {
    TTreeReader r(Document());
    EXPECT_TRUE(r.Read<bool>(0, false));
    EXPECT_TRUE(r.ReadE<bool>(0));
    EXPECT_EQ(r.Read<char>(1, 'x'), 44);
    EXPECT_EQ(r.ReadE<unsigned char>(1), 44);
    EXPECT_EQ(r.Read<signed char>(2, 0), -1);
    EXPECT_EQ(r.Read<unsigned>(2, 0), UINT_MAX);
    EXPECT_EQ(r.Read<unsigned long>(0, 0), 16u);
    EXPECT_FLOAT_EQ(r.Read<float>(3, 0), 3.25f);
    // Defaults survive the narrow slots unchanged.
    EXPECT_EQ(r.Read<char>(99, '\xE9'), '\xE9');
    EXPECT_EQ(r.Read<signed char>(99, -7), -7);
    EXPECT_TRUE(r.Read<bool>(99, true));
    EXPECT_EQ(r.Read(99, static_cast<const char*>(nullptr)), "");
}

TEST(XIniReader, ByNameSearchesAdvancePositions) {
    TTreeReader r(Document());
    EXPECT_EQ(r.Count("sec"), 3u);
    EXPECT_EQ(r.CountE(std::string("sec")), 3u);
    EXPECT_EQ(r.Count(static_cast<const char*>(nullptr)), 0u);
    EXPECT_EQ(r.FindF("sec", 6), 6u);
    EXPECT_THROW(r.FindFE("none", 0), TKrMessage);

    std::size_t pos = 0;
    EXPECT_EQ(r.FindFP("sec", &pos), 5u);
    EXPECT_EQ(r.FindFP(std::string("sec"), &pos), 6u);
    EXPECT_EQ(pos, 7u);
    EXPECT_EQ(r.FindFP("flag", &pos), npos);
    EXPECT_EQ(pos, 7u); // unchanged on failure
    EXPECT_EQ(r.FindFPE("sec", &pos), 7u);
    EXPECT_EQ(pos, 8u);
    EXPECT_THROW(r.FindFPE("sec", &pos), TKrMessage);
    EXPECT_EQ(r.FindFP("s", nullptr), 4u);
    pos = 0; // names with NUL bytes are looked up whole
    EXPECT_EQ(r.FindFP(std::string("s\0x", 3), &pos), npos);
    EXPECT_EQ(r.FindFPE(std::string("s"), &pos), 4u);
}

TEST(XIniReader, EnteringSectionsByName) {
    TTreeReader r(Document());
    EXPECT_EQ(r.EnterSectionS("nothing"), 0u);
    EXPECT_EQ(r.EnterSectionS("s"), 0u); // exists, but no section
    EXPECT_THROW(r.EnterSectionSE("nothing"), TKrMessage);
    EXPECT_EQ(r.Level(), 0u);

    std::size_t pos = 6;
    EXPECT_EQ(r.EnterSectionSP("sec", &pos), 1u);
    EXPECT_EQ(pos, 7u);
    EXPECT_TRUE(r.ExitSection(1));
    EXPECT_EQ(r.EnterSectionSP("sec", &pos), 0u); // item 7 is a string
    EXPECT_EQ(pos, 8u);
    EXPECT_THROW(r.EnterSectionSPE("sec", &pos), TKrMessage);

    EXPECT_EQ(r.EnterSectionSE(std::string("sec")), 1u);
    EXPECT_EQ(r.Count(), 2u);
    r.ExitSectionE(1);
    EXPECT_EQ(r.ReadLongStringSE("sec"), "long string");
    EXPECT_EQ(r.ReadLongStringS(std::string("absent"), "def"), "def");
    EXPECT_THROW(r.ReadLongStringSE("absent"), TKrMessage);
}

TEST(XIniReader, ValueErrorsReachTheImplementation) {
    TTreeReader r(Document());
    EXPECT_THROW(r.throw_error_valueS("pi"), TKrMessage);
    EXPECT_EQ(r.lastErrorIndex, 3u);
    EXPECT_NE(r.lastErrorMessage, "unset");
    EXPECT_THROW(r.throw_error_valueS(std::string("absent")), TKrMessage);
    EXPECT_EQ(r.lastErrorIndex, npos);
    r.throwing = false; // an implementation that returns anyway still ends in an exception
    EXPECT_THROW(r.throw_error_value(0), TKrMessage);
    EXPECT_FALSE(r.ParseError());
}

TEST(XIniWriter, ThrowingFormsFailOnlyOnFailure) {
    TRecordingWriter w;
    w.WriteCommentE("c");
    EXPECT_EQ(w.BeginSectionSE("a"), 1u);
    EXPECT_EQ(w.BeginSectionCompactSE("b"), 2u);
    w.WriteSE("lit", "x");
    EXPECT_EQ(w.calls.size(), 4u);

    w.failing = true;
    TKrXIniTree tree;
    const std::vector<std::function<void()>> forms{[&] { w.WriteCommentE("c"); },
                                                   [&] { w.WriteLongStringSE("n", "v"); },
                                                   [&] { w.WriteBinarySE("n", "v"); },
                                                   [&] { w.WriteXIniSE("n", std::string("<krini/>")); },
                                                   [&] { w.WriteXIniSE("n", &tree); },
                                                   [&] { w.MergeXIniE(std::string("<krini/>")); },
                                                   [&] { w.MergeXIniE(&tree); },
                                                   [&] { w.BeginSectionSE("n"); },
                                                   [&] { w.BeginSectionCompactSE("n"); },
                                                   [&] { w.WriteDouble2SE("n", 1, 2); },
                                                   [&] { w.WriteDouble3SE("n", 1, 2, 3); },
                                                   [&] { w.WriteSE("n", 1.0); },
                                                   [&] { w.WriteHexSE("n", 1L); },
                                                   [&] { XIniSaveE(&w, tree); }};
    for (const auto& form : forms) {
        w.calls.clear();
        EXPECT_THROW(form(), TKrMessage);
        EXPECT_EQ(w.calls, (std::vector<std::string>{w.calls.front(), "error"}));
    }
    w.throwing = false; // a writer whose error hook returns still does not let the E form succeed
    EXPECT_THROW(w.WriteCommentE("c"), TKrMessage);
}

TEST(XIniSerialize, TreesAndGenericByNameForms) {
    var_a<TKrXIniTree*> doc = Document();
    var_a<TKrXIniTree*> pt = doc->AddSection("pt");
    pt->AddItem(T::Integer, "y", "2");
    pt->AddItem(T::Integer, "x", "1");
    var_a<TKrXIniTree*> bad = doc->AddSection("bad");
    bad->AddItem(T::Integer, "x", "1");
    TTreeReader r(doc);

    TKrXIniTree tree;
    tree.AddItem(T::String, "old", "");
    XIniLoadE(&r, 5, tree);
    EXPECT_TRUE(tree.EqualHierarchy(*doc->FindItem(5)->child));
    EXPECT_THROW(XIniLoadE(&r, 4, tree), TKrMessage);
    XIniLoadSE(&r, "pt", tree);
    EXPECT_EQ(tree.Count(), 2u);

    TPoint p;
    XIniLoadSE(&r, std::string("pt"), p);
    EXPECT_EQ(p.x, 1);
    EXPECT_EQ(p.y, 2);
    EXPECT_EQ(r.Level(), 0u);

    // A failure half way still leaves the default (the loader's section stays entered).
    EXPECT_FALSE(XIniLoadS(&r, "bad", p, TPoint{7, 8}));
    EXPECT_EQ(p.x, 7);
    EXPECT_EQ(p.y, 8);
    ASSERT_TRUE(r.ExitSection(1));
    EXPECT_FALSE(XIniLoadS(&r, std::string("absent"), tree, TKrXIniTree()));
    EXPECT_EQ(tree.Count(), 0u);
    EXPECT_TRUE(XIniLoadS(&r, "sec", tree, TKrXIniTree()));
    EXPECT_EQ(tree.Count(), 2u);

    TRecordingWriter w;
    XIniSaveE(&w, tree);
    EXPECT_EQ(w.calls, std::vector<std::string>{"mergetree =2"});
}
