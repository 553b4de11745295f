// CSV parser, template and creator: record shapes checked against Python's csv module, numbers,
// angles, bad input, the creator's quoting rules and its settings round trip through XIni.
#include "Streams/KrStringStream.h"
#include "XIni/KrCSV.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniTreeReader.h"
#include "XIni/KrXIniTreeWriter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <fstream>
#include <unistd.h>

namespace {

using Table = std::vector<std::vector<std::string>>;

Table ParseAll(const std::string& text, const std::string& seps, bool strict) {
    TKrCSVParser p(new_a<TKrStringStream>(text), true);
    p.SetSeparators(seps);
    p.SetStrictSeparators(strict);
    p.SetAnsi(false);
    Table t;
    while (p.NextString()) {
        t.emplace_back();
        for (std::size_t i = 0; i < p.NumFields(); ++i)
            t.back().push_back(p.GetRawField(i));
    }
    return t;
}

// Python's csv reading of `text` with one delimiter; rows of fields. Sets `ok` false when python3
// cannot be run.
Table PythonRead(const std::string& text, char delimiter, bool& ok) {
    char path[] = "/tmp/krcsvXXXXXX";
    int fd = mkstemp(path);
    ok = fd >= 0 && write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    if (fd >= 0) close(fd);
    Table t;
    std::string cmd = std::string("python3 -c \"import csv,sys\n"
                                  "for r in csv.reader(open(sys.argv[1],newline='',encoding='latin-1'),"
                                  "delimiter=chr(int(sys.argv[2]))):\n"
                                  " print(' '.join((f.encode('latin-1').hex() or '-') for f in r))\" ") +
                      path + " " + std::to_string(int(delimiter)) + " 2>/dev/null";
    FILE* f = ok ? popen(cmd.c_str(), "r") : nullptr;
    std::string out;
    char buf[4096];
    while (f && !feof(f))
        out.append(buf, fread(buf, 1, sizeof buf, f));
    ok = f && pclose(f) == 0;
    std::remove(path);
    std::size_t pos = 0;
    while (pos < out.size()) {
        std::size_t eol = out.find('\n', pos);
        std::string line = out.substr(pos, eol - pos);
        pos = eol == std::string::npos ? out.size() : eol + 1;
        t.emplace_back();
        std::size_t q = 0;
        while (!line.empty() && q <= line.size()) {
            std::size_t sp = line.find(' ', q);
            std::string h = line.substr(q, sp - q), field;
            if (h != "-")
                for (std::size_t k = 0; k + 1 < h.size(); k += 2)
                    field += static_cast<char>(std::strtol(h.substr(k, 2).c_str(), nullptr, 16));
            t.back().push_back(field);
            if (sp == std::string::npos) break;
            q = sp + 1;
        }
    }
    return t;
}

TEST(KrCSVParser, StrictRecordsMatchPythonCsv) {
    struct Case {
        const char* text;
        char sep;
    };
    const Case cases[] = {
        {"a,b,c\r\n1,2,3\r\n", ','},
        {"x,\"a\"\"b\",\"c,d\"\n\"e\nf\",,g", ','}, // doubled quote, quoted separator, LF inside quotes
        {"\"multi\r\nline\",2\r\n3,\"\"\r\n", ','}, // CR LF inside quotes, quoted empty field
        {",,\n,\n", ','},                           // empty fields only
        {"1,5;2,25;x\n3;\"4;5\";\n", ';'},          // decimal commas with ';' between fields
        {"a b\t\"c\td\"\t\n", '\t'},                // TAB separated, trailing empty field
        {"p,q\rr,s", ','},                          // lone CR as line end, no final line end
        {"\"a\"b,c\n", ','},                        // text after the closing quote
    };
    for (const Case& c : cases) {
        bool ok = false;
        Table expected = PythonRead(c.text, c.sep, ok);
        if (!ok) GTEST_SKIP() << "python3 is not available";
        EXPECT_EQ(ParseAll(c.text, std::string(1, c.sep), true), expected) << c.text;
    }
}

TEST(KrCSVParser, LooseSeparatorsAndLineNumbers) {
    EXPECT_EQ(ParseAll("1  2\t 3\n", " \t,", false), (Table{{"1", "2", "3"}}));
    EXPECT_EQ(ParseAll("  a , b,,c ,\n\n\"x, y\",2\n", " \t,", false),
              (Table{{"a", "b", "", "c", ""}, {}, {"x, y", "2"}}));
    EXPECT_EQ(ParseAll("\"a\"\"b\"", " \t,", false), (Table{{"a\"b"}}));

    TKrCSVParser p(new_a<TKrStringStream>("h\n\"q\nq\"\r\nlast"), true);
    std::vector<std::size_t> lines;
    while (p.NextString())
        lines.push_back(p.LineNumber());
    EXPECT_EQ(lines, (std::vector<std::size_t>{1, 2, 4}));
}

// The parser reads ahead in large blocks; what callers see must stay as if it read line by line:
// the stream sits after each line's end, a repositioned stream is read from the new place, and a
// stream that grows after its end was reached is followed.
TEST(KrCSVParser, ReadAheadKeepsTheStreamPosition) {
    std::string text;
    std::vector<std::size_t> starts;
    for (int k = 0; text.size() < 200000; ++k) {
        starts.push_back(text.size());
        text += std::string(static_cast<std::size_t>(k * 37 % 1500), 'a' + k % 26) + "," + std::to_string(k) +
                (k % 3 ? "\r\n" : "\n");
    }
    var_a<TKrStringStream*> s = new_a<TKrStringStream>(text);
    TKrCSVParser p(s, true);
    p.SetSeparators(",");
    p.SetStrictSeparators(true);
    std::size_t line = 0;
    while (p.NextString()) {
        ASSERT_EQ(p.Get<int>(1), int(line)) << "line " << line;
        ASSERT_EQ(s->getPosition(), line + 1 < starts.size() ? starts[line + 1] : text.size());
        ++line;
    }
    EXPECT_EQ(line, starts.size());

    s->setPosition(starts[3]);
    ASSERT_TRUE(p.NextString());
    EXPECT_EQ(p.Get<int>(1), 3);
    s->setPosition(s->getSize());
    ASSERT_FALSE(p.NextString());
    const std::string more = "z,77\n";
    s->Write(more.data(), more.size());
    s->setPosition(text.size());
    ASSERT_TRUE(p.NextString());
    EXPECT_EQ(p.Get<int>(1), 77);
}

TEST(KrCSVParser, NumbersAnglesAndDecimalComma) {
    TKrCSVParser p(new_a<TKrStringStream>("12\xB0\x33\x30'15.5;-12 30 0;12 75 0;3,25;42;0x10;\"7\"\n"), true);
    p.SetSeparators(";");
    p.SetAngles(true);
    p.SetDecimalComma(true);
    ASSERT_TRUE(p.NextString());
    EXPECT_NEAR(p.Get<double>(0), 12.504305555555556, 1e-12);
    EXPECT_DOUBLE_EQ(p.Get<double>(1), -12.5);
    EXPECT_DOUBLE_EQ(p.Get<double>(2), 12.0);
    EXPECT_DOUBLE_EQ(p.Get<double>(3), 3.25);
    EXPECT_EQ(p.Get<int>(4), 42);
    EXPECT_EQ(p.Get<int>(5), 0); // base 10 only
    EXPECT_EQ(p.GetE<int>(6), 7);
    EXPECT_EQ(p.Get<int>(9), 0);
    EXPECT_EQ(p.GetKrStr(0), "12\xC2\xB0\x33\x30'15.5"); // code page to UTF-8

    EXPECT_DOUBLE_EQ(atof_Smart("3,25"), 3.25);
    EXPECT_DOUBLE_EQ(atof_Smart("-1.5e2"), -150.0);
    EXPECT_DOUBLE_EQ(atof_Smart(nullptr), 0.0);
}

std::string ErrorText(const std::function<void()>& f) {
    try {
        f();
    } catch (const TKrMessage& m) {
        return m.std_str();
    }
    return "no error";
}

TEST(KrCSVParser, BadInputNamesTheLine) {
    TKrCSVParser p(new_a<TKrStringStream>("1,2\nx,\"open\n"), true);
    p.SetStrictSeparators(true);
    ASSERT_TRUE(p.NextStringE());
    EXPECT_EQ(ErrorText([&] { p.CheckNumFieldsE(3); }), "@CSV line 1 has 2 fields instead of 3.");
    EXPECT_EQ(ErrorText([&] { p.NextStringE(); }),
              "@CSV line 2: a quoted field is not closed before the end of the data.");
    EXPECT_TRUE(p.Unterminated());
    EXPECT_EQ(p.GetRawField(1), std::string("open\n"));
    EXPECT_EQ(ErrorText([&] { p.GetE<double>(0); }), "@CSV line 2, field 1 (\"x\"): not a number.");
    EXPECT_EQ(ErrorText([&] { p.GetE<int>(5); }), "@CSV line 2, field 6 (\"\"): the field is missing.");
    EXPECT_DOUBLE_EQ(p.Get<double>(0), 0.0);

    // A line longer than the maximum is cut, its rest skipped; the next line is intact.
    TKrCSVParser q(new_a<TKrStringStream>("abcdefghij\r\nk\n"), true);
    q.SetMaxLineLength(4);
    EXPECT_EQ(ErrorText([&] { q.NextStringE(); }), "@CSV line 1 is longer than 4 bytes.");
    EXPECT_EQ(q.GetCurStr(), "abcd");
    ASSERT_TRUE(q.NextStringE());
    EXPECT_EQ(q.GetCurStr(), "k");
    EXPECT_EQ(q.LineNumber(), 2u);
    EXPECT_FALSE(q.NextString());

    // A line of exactly the maximum is whole, whatever its line end.
    for (const char* text : {"abcd\nk", "abcd\r\nk", "abcd\rk"}) {
        TKrCSVParser r(new_a<TKrStringStream>(text), true);
        r.SetMaxLineLength(4);
        ASSERT_TRUE(r.NextStringE());
        ASSERT_TRUE(r.NextStringE());
        EXPECT_EQ(r.GetCurStr(), "k");
        EXPECT_EQ(r.LineNumber(), 2u);
    }
}

TEST(KrCSVTemplate, ColumnsByNameAndNormalisedName) {
    TKrCSVTemplate t;
    EXPECT_FALSE(t.Init(""));
    ASSERT_TRUE(t.Init("Point_ID; *, X  Y;\"Z value\""));
    EXPECT_EQ(t.NumColumns(), 5u);
    EXPECT_EQ(t.Find("Point_ID"), 0);
    EXPECT_EQ(t.Find("point id"), 0);
    EXPECT_EQ(t.Find("*"), -1);
    EXPECT_EQ(t.Find("Y"), 3);
    EXPECT_EQ(t.Find("ZVALUE"), 4);
}

struct Row {
    int i = -3;
    unsigned u = 7;
    double d = 1.5;
    const char* text = "a,\"b\"";
};

TKrCSVCreator MakeCreator(Row& row) {
    TKrCSVCreator c;
    c.items = {{"i", TKrCSVCreator::TItem::tInt, &row.i},
               {"u", TKrCSVCreator::TItem::tUnsigned, &row.u},
               {"d", TKrCSVCreator::TItem::tDouble, &row.d},
               {"t", TKrCSVCreator::TItem::tText, row.text},
               {"n", TKrCSVCreator::TItem::tDouble, nullptr}};
    return c;
}

TEST(KrCSVCreator, QuotingRules) {
    Row row;
    struct Case {
        bool comma, all, allText;
        char sep;
        const char* line;
    };
    const Case cases[] = {
        {false, false, true, ',', "-3,7,1.500000000000000000,\"a,\"\"b\"\"\",,\r\n"},
        {true, false, false, ',', "-3,7,\"1,500000000000000000\",\"a,\"\"b\"\"\",,\r\n"},
        {false, true, false, ';', "\"-3\";\"7\";\"1.500000000000000000\";\"a,\"\"b\"\"\";;\r\n"},
        {false, false, false, '.', "-3.7.\"1.500000000000000000\".\"a,\"\"b\"\"\"..\r\n"},
        {true, false, false, ';', "-3;7;1,500000000000000000;\"a,\"\"b\"\"\";;\r\n"},
    };
    for (const Case& c : cases) {
        TKrCSVCreator cr = MakeCreator(row);
        cr.params.decimal_comma = c.comma;
        cr.params.quote_all_fields = c.all;
        cr.params.quote_all_text_fields = c.allText;
        cr.params.separator = c.sep;
        auto out = new_a<TKrStringStream>();
        cr.Init(out, "i u d t n unknown");
        cr.WriteLine();
        EXPECT_EQ(cr.LastLine(), c.line);
        EXPECT_EQ(out->str(), c.line);
    }
    TKrCSVCreator cr = MakeCreator(row);
    cr.params.use_decimal_limit = true;
    cr.params.decimal_limit = 2;
    cr.items[3].value = "plain";
    cr.params.quote_all_text_fields = false;
    cr.Init(new_a<TKrStringStream>(), "t;d");
    cr.WriteLine();
    EXPECT_EQ(cr.LastLine(), "plain,1.50\r\n");
}

TEST(KrCSVCreator, Errors) {
    TKrCSVCreator c;
    EXPECT_EQ(ErrorText([&] { c.Init(new_a<TKrStringStream>(), "a"); }), "@global.CSVErrNoItems");
    c.items.push_back({"a", TKrCSVCreator::TItem::tText, "x"});
    c.params.separator = '"';
    EXPECT_EQ(ErrorText([&] { c.Init(new_a<TKrStringStream>(), "a"); }), "@global.CSVErrInvalidSep");
    c.params.separator = ',';
    EXPECT_EQ(ErrorText([&] { c.Init(new_a<TKrStringStream>(), "\"a"); }), "@global.CSVErrTemplate");
    c.items[0].type = 9;
    c.Init(new_a<TKrStringStream>(), "a");
    EXPECT_NE(ErrorText([&] { c.WriteLine(); }).find("Invalid item specification"), std::string::npos);
}

TEST(KrCSVCreator, WrittenTableReadsBackInPython) {
    Row row;
    TKrCSVCreator c = MakeCreator(row);
    c.params.quote_all_text_fields = false;
    auto out = new_a<TKrStringStream>();
    c.Init(out, "t,d,i");
    const char* texts[] = {"plain", "with,comma", "q\"uote", "line\r\nbreak", ""};
    for (const char* t : texts) {
        c.items[3].value = t;
        row.d = -row.d / 3;
        c.WriteLine();
    }
    bool ok = false;
    Table py = PythonRead(out->str(), ',', ok);
    if (!ok) GTEST_SKIP() << "python3 is not available";
    ASSERT_EQ(py.size(), 5u);
    double d = 1.5;
    for (std::size_t k = 0; k < 5; ++k) {
        d = -d / 3;
        ASSERT_EQ(py[k].size(), 3u);
        EXPECT_EQ(py[k][0], texts[k]);
        EXPECT_NEAR(atof_Smart(py[k][1].c_str()), d, 1e-17);
        EXPECT_EQ(py[k][2], "-3");
    }
    EXPECT_EQ(ParseAll(out->str(), ",", true), py);
}

TEST(KrCSVCreator, ParamsAndItemsRoundTripThroughXIni) {
    TKrCSVCreator c;
    c.params = {true, true, false, ';', 4, true};
    c.items = {{"x", 2, nullptr}, {"id", 1, nullptr}, {"odd", 7, nullptr}};
    var_a<TKrXIniTree*> tree = new_a<TKrXIniTree>();
    {
        TKrXIniTreeWriter w(tree);
        c.params.SaveE(&w);
        c.items.SaveE(&w);
    }
    TKrXIniTreeReader r(tree);
    TKrCSVCreator back;
    back.params.Load(&r);
    back.items.Load(&r);
    EXPECT_TRUE(back.params.decimal_comma && back.params.quote_all_fields && back.params.use_decimal_limit);
    EXPECT_FALSE(back.params.quote_all_text_fields);
    EXPECT_EQ(back.params.separator, ';');
    EXPECT_EQ(back.params.decimal_limit, 4u);
    ASSERT_EQ(back.items.size(), 3u);
    EXPECT_EQ(back.items[0].name, "x");
    EXPECT_EQ(back.items[0].type, 2);
    EXPECT_EQ(back.items[1].type, 1);
    EXPECT_EQ(back.items[2].type, -1); // "" is no type name

    // Absent keys keep the defaults.
    var_a<TKrXIniTree*> empty = new_a<TKrXIniTree>();
    TKrXIniTreeReader re(empty);
    TKrCSVCreator::TParams d;
    d.Load(&re);
    EXPECT_EQ(d.separator, ',');
    EXPECT_TRUE(d.quote_all_text_fields);
    EXPECT_EQ(d.decimal_limit, 18u);
}

} // namespace
