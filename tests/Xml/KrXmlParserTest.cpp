// The scanner: what each construct is reported as, where scanning stops, and staying in bounds.
#include "KrXmlTestUtils.h"

#include "KrRecordingProgress.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

using KrXmlTest::TRecorder;

namespace {
struct TScan {
    bool ok;
    std::size_t stopAt;
    std::size_t rest;
    std::vector<std::string> log;
};

TScan Scan(const std::string& text, TRecorder rec = TRecorder()) {
    // An exact-size heap copy, so that a read past the end shows under ASan.
    std::unique_ptr<char[]> buf(new char[text.size() ? text.size() : 1]);
    std::memcpy(buf.get(), text.data(), text.size());
    TKrXmlParserLow parser;
    const char* stop = nullptr;
    std::size_t rest = 99;
    const bool ok = parser.ReadXml(buf.get(), text.size(), &stop, &rest, &rec);
    return {ok, static_cast<std::size_t>(stop - buf.get()), rest, rec.log};
}

using Log = std::vector<std::string>;
} // namespace

TEST(XmlScanner, ReportsEveryConstructWithRangesIntoTheBuffer) {
    const std::string doc = "<?xml version=\"1.0\"?>\n<!DOCTYPE r SYSTEM \"a>b\" [<!ENTITY e \"]>\">]>"
                            "<r a=\"1\" b = 'x&amp;\"y'>t&lt;<![CDATA[<c>]]><!-- n --><e/></r >tail";
    TScan s = Scan(doc);
    EXPECT_TRUE(s.ok);
    EXPECT_EQ(s.stopAt, doc.size());
    EXPECT_EQ(s.rest, 0u);
    EXPECT_EQ(s.log, (Log{"PI(<?xml version=\"1.0\"?>|xml version=\"1.0\")", "Text(\n)",
                          "Doctype(<!DOCTYPE r SYSTEM \"a>b\" [<!ENTITY e \"]>\">]>)",
                          "STag(<r a=\"1\" b = 'x&amp;\"y'>|r a=1 b=x&amp;\"y)", "Text(t&lt;)",
                          "CData(<![CDATA[<c>]]>|<c>)", "Comment(<!-- n -->| n )", "Empty(<e/>|e)",
                          "ETag(</r >|r)", "Text(tail)"}));
}

TEST(XmlScanner, NamesAcceptUtf8AndNameCharactersOnly) {
    EXPECT_EQ(Scan("<\xC3\xA4:x.y-z_1 \xC3\xB6=\"\"/>").log,
              (Log{"Empty(<\xC3\xA4:x.y-z_1 \xC3\xB6=\"\"/>|\xC3\xA4:x.y-z_1 \xC3\xB6=)"}));
    EXPECT_EQ(Scan("<1a>").log, (Log{"Unknown(<1a>)"}));
    EXPECT_EQ(Scan("<a\tb='1'\n/>").log, (Log{"Empty(<a\tb='1'\n/>|a b=1)"}));
}

TEST(XmlScanner, MalformedTagsAreUnknownAndStopTheDefaultCollector) {
    for (const char* bad : {"<a b=c>", "<a b>", "<a b='1'c='2'>", "<a b='1>", "<a / >", "< a>", "</>", "<"}) {
        TScan s = Scan(std::string(bad) + "<z/>");
        ASSERT_FALSE(s.ok) << bad;
        EXPECT_EQ(s.log.size(), 1u) << bad;
        EXPECT_EQ(s.log[0].rfind("Unknown(", 0), 0u) << bad << " -> " << s.log[0];
    }
    // The unrecognised piece runs to the next '>' after the failure, or to the end.
    EXPECT_EQ(Scan("<a b=c>x").log[0], "Unknown(<a b=c>)");
    EXPECT_EQ(Scan("<a b=\"x>y").log[0], "Unknown(<a b=\"x>)");
    EXPECT_EQ(Scan("<a b=\"xy").log[0], "Unknown(<a b=\"xy)");
    EXPECT_EQ(Scan("<!ELEMENT x>").log[0], "Unknown(<!ELEMENT x>)");
    EXPECT_EQ(Scan("<![IGNORE[ a ]]>").log[0], "Unknown(<![IGNORE[ a ]]>)");
    EXPECT_EQ(Scan("<![CDATA x]>").log[0], "Unknown(<![CDATA x]>)");
    EXPECT_EQ(Scan("<!DOCTYPE r [ 'x").log[0], "Unknown(<!DOCTYPE r [ 'x)");
    EXPECT_EQ(Scan("</a").log[0], "Unknown(</a)");
}

TEST(XmlScanner, UnterminatedSectionsRunToTheEndButAProcessingInstructionFails) {
    EXPECT_EQ(Scan("<![CDATA[abc]]").log, (Log{"CData(<![CDATA[abc]]|abc]])"}));
    EXPECT_EQ(Scan("<!-- x --").log, (Log{"Comment(<!-- x --| x --)"}));
    EXPECT_EQ(Scan("<!-->").log, (Log{"Comment(<!-->|>)"}));
    EXPECT_EQ(Scan("<!---->").log, (Log{"Comment(<!---->|)"}));

    TScan pi = Scan("<a/><?pi data");
    EXPECT_FALSE(pi.ok);
    EXPECT_EQ(pi.stopAt, 4u);
    EXPECT_EQ(pi.rest, 9u);
    EXPECT_FALSE(Scan("<?>").ok);
    EXPECT_EQ(Scan("<?"
                   "?>")
                  .log,
              (Log{"PI(<?"
                   "?>|)"}));
}

TEST(XmlScanner, ARefusingCallbackStopsAfterItsConstruct) {
    TRecorder rec;
    rec.limit = 2;
    TScan s = Scan("<a>text<b/>more", rec);
    EXPECT_FALSE(s.ok);
    EXPECT_EQ(s.log.size(), 2u);
    EXPECT_EQ(s.stopAt, 7u);
    EXPECT_EQ(s.rest, 8u);
    // Resuming at the stop position continues with the next construct.
    EXPECT_EQ(Scan(std::string("<a>text<b/>more").substr(s.stopAt)).log[0], "Empty(<b/>|b)");
}

TEST(XmlScanner, EveryPrefixAndEveryCutStaysInsideTheBuffer) {
    const std::string doc =
        "<?p x?><!DOCTYPE d [<!ATTLIST a b CDATA 'q'>]><d a='1' b=\"&#x41;\"><![CDATA[c]]>"
        "<!--m--><e\n/>x</d>";
    for (std::size_t n = 0; n <= doc.size(); ++n) {
        TRecorder rec;
        rec.unknownAccepted = true;
        TScan s = Scan(doc.substr(0, n), rec);
        EXPECT_LE(s.stopAt, n);
        EXPECT_EQ(s.stopAt + s.rest, n);
        for (std::size_t m = 0; m < n; m += 7)
            Scan(doc.substr(m, n - m), rec);
    }
}

// Searches for quotes and '<' run 16 bytes at a time over the first 64 and hand longer spans to
// memchr: every length around those steps finds its delimiter, and an unclosed value or text
// that runs to the very end of the buffer reads nothing past it.
TEST(XmlScanner, ValuesAndTextsOfEveryLengthAroundTheSearchSteps) {
    for (std::size_t n = 0; n <= 140; ++n) {
        const std::string value(n, 'v');
        const std::string text(n, 't');
        TScan s = Scan("<a b=\"" + value + "\">" + text + "</a>" + text);
        EXPECT_TRUE(s.ok);
        Log want{"STag(<a b=\"" + value + "\">|a b=" + value + ")"};
        if (n) want.push_back("Text(" + text + ")");
        want.push_back("ETag(</a>|a)");
        if (n) want.push_back("Text(" + text + ")");
        EXPECT_EQ(s.log, want) << n;
        TRecorder rec;
        rec.unknownAccepted = true;
        TScan open = Scan("<a b='" + value, rec);
        EXPECT_EQ(open.stopAt, n + 6) << n;
    }
}

TEST(XmlScanner, ProgressIsReportedEvery64KiBAndABreakStopsTheScan) {
    using krtest::TRecordingProgress;
    std::string doc = "<r>";
    while (doc.size() < 4 * TKrXmlParserLow::ProgressStep)
        doc += "<i n=\"abc\" v=\"12345\"/>\n";
    doc += "</r>";
    TKrXmlParserLow parser;
    TKrXmlColl counter;
    auto progress = new_a<TRecordingProgress>();
    EXPECT_TRUE(parser.ReadXml(doc.data(), doc.size(), nullptr, nullptr, &counter, progress.get()));
    ASSERT_EQ(progress->positions.size(), 4u);
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_NEAR(progress->positions[i], double((i + 1) * TKrXmlParserLow::ProgressStep) / doc.size(),
                    0.001);

    progress = new_a<TRecordingProgress>();
    progress->breakAfterFirst = true;
    const char* stop = nullptr;
    EXPECT_FALSE(parser.ReadXml(doc.data(), doc.size(), &stop, nullptr, &counter, progress.get()));
    EXPECT_LT(static_cast<std::size_t>(stop - doc.data()), 2 * TKrXmlParserLow::ProgressStep);
}

TEST(XmlScanner, TextPlacesCountLineBreaksAsXmlDoesAndColumnsInCharacters) {
    // LF, CR LF and a lone CR each end a line; "\xC3\xA4" is one character.
    const std::string text = "ab\ncd\r\nef\rg\xC3\xA4h";
    auto place = [&](std::size_t offset) {
        const TKrXmlTextPlace p = KrXmlTextPlace(text.data(), text.size(), offset);
        return std::to_string(p.line) + ":" + std::to_string(p.column);
    };
    EXPECT_EQ(place(0), "1:1");
    EXPECT_EQ(place(2), "1:3"); // the LF itself is still on line 1
    EXPECT_EQ(place(3), "2:1");
    EXPECT_EQ(place(5), "2:3"); // the CR of CR LF
    EXPECT_EQ(place(6), "2:4"); // its LF
    EXPECT_EQ(place(7), "3:1");
    EXPECT_EQ(place(10), "4:1");  // after the lone CR
    EXPECT_EQ(place(13), "4:3");  // the 'h' after the two bytes of one character
    EXPECT_EQ(place(99), "4:4");  // past the end: the end
    const std::string cr = "a\r"; // a CR as the last byte ends its line
    EXPECT_EQ(KrXmlTextPlace(cr.data(), cr.size(), 2).line, 2u);
    EXPECT_EQ(KrXmlTextPlace(nullptr, 0, 5).column, 1u);
}
