// TKrXIniStreamWriter: byte-exact text, layout, gzip layers, merging and round trips.
#include "Core/KrBuildVersion.h"
#include "Core/KrMessage.h"
#include "Core/KrStringEncode.h"
#include "Streams/KrStringStream.h"
#include "System/KrPath.h"
#include "System/KrFsTestUtils.h"
#include "XIni/KrXIniStreamWriter.h"
#include "XIni/KrXIniTree.h"
#include "XIni/KrXIniWriteTree.h"
#include "KrXIniFakes.h"

#include <QXmlStreamReader>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <random>
#include <vector>

using W = TKrXIniStreamWriter;
using I = TE_KrXIniItemType;
using namespace KrFsTest;

namespace {

// Runs `body` on a writer with `header` over a string stream, closes it and returns the text.
std::string Written(W::THeaderType header, const std::function<void(W&)>& body, bool* closed = nullptr,
                    int compression = 0) {
    auto out = new_a<TKrStringStream>();
    {
        W w(out, compression, header);
        body(w);
        const bool ok = w.Close();
        if (closed) *closed = ok;
    }
    return out->str();
}

std::string Body(const std::function<void(W&)>& body) {
    return Written(W::RootOnly, body);
}

// Records every block it is given; refuses (short write) once `limit` bytes have arrived.
class TBlockStream : public TKrStringStream {
public:
    std::vector<streamsize_t> blocks;
    streamsize_t limit = ~streamsize_t(0);
    streamsize_t Write(const void* buf, streamsize_t n) override {
        blocks.push_back(n);
        if (str().size() + n > limit) return n / 2;
        return TKrStringStream::Write(buf, n);
    }
};

std::string Fmt(const char* format, double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, format, v);
    return buf;
}

} // namespace

TEST(XIniStreamWriter, HeaderTypesAreByteExact) {
    auto one = [](W& w) { w.WriteS<int>("a", 1); };
    EXPECT_EQ(Written(W::Full, one), "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                                     "<!DOCTYPE krini SYSTEM \"krini4.dtd\">\n<krini><!-- " +
                                         GetBuildVerString(true, true) +
                                         " -->\n  <i n=\"a\" v=\"1\"/>\n</krini>\n");
    EXPECT_EQ(Written(W::Declaration, one),
              "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<krini>\n  <i n=\"a\" v=\"1\"/>\n</krini>\n");
    EXPECT_EQ(Written(W::RootOnly, one), "<krini>\n  <i n=\"a\" v=\"1\"/>\n</krini>\n");
    // Compact from level 1: the closing root tag does not end the line either.
    EXPECT_EQ(Written(W::RootCompact, one), "<krini><i n=\"a\" v=\"1\"/></krini>");
    // Bare (any value from 4 on): no root, no closing tag, Close still succeeds; the compact
    // indent of level 1 starts the first line.
    bool closed = false;
    EXPECT_EQ(Written(static_cast<W::THeaderType>(7), one, &closed), "  <i n=\"a\" v=\"1\"/>");
    EXPECT_TRUE(closed);
    EXPECT_THROW(W(var_a<TKrStream*>(), 0, W::Full), std::logic_error);
}

TEST(XIniStreamWriter, IntegerTexts) {
    const std::string text = Written(W::Bare, [](W& w) {
        w.WriteS<int>("", -1);
        w.WriteS<int>("", INT_MIN);
        w.WriteS<unsigned>("", 4000000000u);
        w.WriteS<long>("", LONG_MIN);
        w.WriteS<unsigned long>("", ULONG_MAX);
        w.WriteS<bool>("", true);
        w.WriteS<char>("", '\xFF');
        w.WriteHexS<int>("", -1);
        w.WriteHexS<int>("", INT_MIN);
        w.WriteHexS<unsigned>("", 255u);
        w.WriteHexS<long>("", LONG_MIN);
        w.WriteHexS<long>("", 0);
        w.WriteHexS<unsigned long>("", ULONG_MAX);
        // Deduced from the argument: signed narrow types as int, char as unsigned, literals as text.
        w.WriteS("", static_cast<signed char>(-2));
        w.WriteHexS("", static_cast<signed char>(-1));
        w.WriteHexS("", '\xFF');
        w.WriteS("", "lit");
    });
    // Bare is compact: the items follow each other on one line.
    EXPECT_EQ(text, "  <i v=\"4294967295\"/><i v=\"2147483648\"/><i v=\"4000000000\"/>"
                    "<i v=\"-9223372036854775808\"/><i v=\"18446744073709551615\"/><i v=\"1\"/>"
                    "<i v=\"255\"/><i v=\"-0x1\"/><i v=\"-0x80000000\"/><i v=\"0xFF\"/>"
                    "<i v=\"-0x8000000000000000\"/><i v=\"0x0\"/><i v=\"0xFFFFFFFFFFFFFFFF\"/>"
                    "<i v=\"4294967294\"/><i v=\"-0x1\"/><i v=\"0xFF\"/><s v=\"lit\"/>");
}

// Doubles as "%.16e", floats as "%.8e" (infinities and NaNs included), checked against printf.
TEST(XIniStreamWriter, DoubleTextMatchesPrintf) {
    // Infinities, signed zeros, subnormal and normal limits, a tie and ordinary values.
    std::vector<double> values = {HUGE_VAL, -HUGE_VAL, 1e300, 0.0,     -0.0,       5e-324,
                                  -5e-324,  0.1,       0.5,   1.0 / 3, 123456789.0};
    values.insert(values.end(), {2.2250738585072009e-308, 1.7976931348623157e308, 1000000000000000.25});
    for (int e = -320; e <= 308; ++e)
        values.push_back(std::pow(10.0, e));
    for (long i = -1000; i <= 1000; i += 7)
        values.push_back(double(i) * 1048577);
    std::mt19937_64 gen(42);
    for (int i = 0; i < 200000; ++i) {
        std::uint64_t bits = gen();
        if (i % 4 == 0) bits &= 0x800FFFFFFFFFFFFFull; // subnormals
        double d;
        std::memcpy(&d, &bits, sizeof d);
        values.push_back(d);
    }
    std::string expected = "<krini>\n";
    const std::string text = Body([&](W& w) {
        for (double d : values) {
            w.WriteS<double>("", d);
            w.WriteS<float>("", static_cast<float>(d));
            expected += "  <d v=\"" + Fmt("%.16e", d) + "\"/>\n  <d v=\"" +
                        Fmt("%.8e", double(static_cast<float>(d))) + "\"/>\n";
        }
    });
    expected += "</krini>\n";
    ASSERT_EQ(text.size(), expected.size());
    EXPECT_TRUE(text == expected);
}

TEST(XIniStreamWriter, NamesAndValuesAreEscaped) {
    const std::string text = Body([](W& w) {
        w.WriteS<int>("q\"\n'", 1);
        w.WriteS<std::string>("", std::string("<&>\t\x1F\0\xC3\xA9", 8));
        w.WriteS<std::string>("e", "");
    });
    EXPECT_EQ(text, "<krini>\n  <i n=\"q&quot;&#xA;'\" v=\"1\"/>\n"
                    "  <s v=\"&lt;&amp;&gt;&#x9;&#x1F;&#x0;\xC3\xA9\"/>\n  <s n=\"e\" v=\"\"/>\n</krini>\n");
}

TEST(XIniStreamWriter, SectionLevelsAndErrors) {
    bool closed = true;
    std::string text = Written(
        W::RootOnly,
        [](W& w) {
            EXPECT_FALSE(w.EndSection()); // nothing open
            EXPECT_EQ(w.BeginSectionS("a"), 1u);
            EXPECT_EQ(w.BeginSectionS(""), 2u);
            EXPECT_EQ(w.GetLevel(), 3u);
            EXPECT_FALSE(w.EndSection(3));
            EXPECT_TRUE(w.EndSection(1)); // closes both
            w.WriteS<int>("b", 2);
            w.BeginSectionS("open");
            EXPECT_THROW(w.EndSectionE(0), TKrMessage);
        },
        &closed);
    EXPECT_FALSE(closed); // the flag outlives later successes
    EXPECT_EQ(text, "<krini>\n  <x n=\"a\">\n    <x>\n    </x>\n  </x>\n  <i n=\"b\" v=\"2\"/>\n"
                    "  <x n=\"open\">\n  </x>\n</krini>\n");
}

TEST(XIniStreamWriter, CompactLayout) {
    // A compact section stays on one line, its closing tag ends the line.
    EXPECT_EQ(
        Body([](W& w) {
            w.BeginSectionCompactS("c");
            w.WriteS<int>("a", 1);
            w.BeginSectionS("d");
            w.SetCompactMode(false); // ignored: the enclosing section controls it
            w.WriteDouble2S("p", 1, 2);
            w.EndSection(1);
            w.WriteS<int>("z", 0);
        }),
        "<krini>\n  <x n=\"c\"><i n=\"a\" v=\"1\"/><x n=\"d\"><x n=\"p\"><d v=\"1.0000000000000000e+00\"/>"
        "<d v=\"2.0000000000000000e+00\"/></x></x></x>\n  <i n=\"z\" v=\"0\"/>\n</krini>\n");
    // SetCompactMode on and off at one level ends the compact line.
    EXPECT_EQ(Body([](W& w) {
                  w.SetCompactMode(true);
                  w.WriteS<int>("a", 1);
                  w.WriteS<int>("b", 2);
                  w.SetCompactMode(false);
                  w.WriteS<int>("c", 3);
              }),
              "<krini>\n  <i n=\"a\" v=\"1\"/><i n=\"b\" v=\"2\"/>\n  <i n=\"c\" v=\"3\"/>\n</krini>\n");
    // 200 items of 16 bytes: the first line ends after the item that reaches 1024 + indent.
    const std::string text = Written(W::RootCompact, [](W& w) {
        w.BeginSectionS("s");
        for (int i = 0; i < 200; ++i)
            w.WriteS<int>("n", i % 10);
    });
    const std::size_t firstBreak = text.find('\n');
    ASSERT_NE(firstBreak, std::string::npos);
    // "<krini><x n=\"s\">" is 16 bytes, indent 2: the 64th item brings the line to 1040 >= 1026.
    EXPECT_EQ(firstBreak, 16u + 64 * 16);
    EXPECT_EQ(text.compare(firstBreak + 1, 4, "  <i"), 0); // the next line starts indented
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 3);
}

TEST(XIniStreamWriter, CommentsBinaryLongStrings) {
    const std::string bytes = RandomBytes(100, 7), b64 = KrEncodeStringBase64(bytes);
    const std::string text = Body([&](W& w) {
        w.WriteComment("a--b ---- c\td");
        w.WriteBinaryS("b", bytes);
        w.WriteBinaryS("", "");
        w.WriteLongStringS("L", "one\ntwo\r\nthree\rfour");
        w.WriteLongStringS("E", "");
    });
    EXPECT_EQ(text,
              "<krini>\n  <!-- a-~b -~-~ c d -->\n  <b n=\"b\">\n    " + b64.substr(0, 64) + "\n    " +
                  b64.substr(64, 64) + "\n    " + b64.substr(128) +
                  "\n  </b>\n  <b>\n  </b>\n  <x n=\"L\">\n    <s v=\"one&#xA;\"/>\n"
                  "    <s v=\"two&#xD;&#xA;\"/>\n    <s v=\"three&#xD;\"/>\n    <s v=\"four\"/>\n  </x>\n"
                  "  <x n=\"E\">\n  </x>\n</krini>\n");
}

namespace {
var_a<TKrXIniTree*> SampleTree() {
    auto t = new_a<TKrXIniTree>();
    t->AddItem(I::Integer, "i", "-0x1F");
    t->AddItem(I::Double, "d&", "1.5e+00");
    t->AddItem(I::String, "", "x\"y\n");
    auto sec = t->AddSection("sec");
    sec->AddItem(I::Binary, "b", KrEncodeStringBase64(RandomBytes(70, 3)));
    sec->AddSection("empty");
    t->AddItem(I::Section, "childless", "");
    return t;
}
} // namespace

TEST(XIniStreamWriter, MergeTreeAndMergeTextAgree) {
    const auto tree = SampleTree();
    const std::string fromTree = Body([&](W& w) { EXPECT_TRUE(w.WriteXIniS("n", tree.get())); });
    EXPECT_EQ(fromTree.find("childless"), std::string::npos);
    EXPECT_NE(fromTree.find("    <s v=\"x&quot;y&#xA;\"/>\n    <x n=\"sec\">\n      <b n=\"b\">\n        "),
              std::string::npos)
        << fromTree;
    // The text of a complete document, merged, comes out exactly as the tree did.
    std::string document = Written(W::RootOnly, [&](W& w) { w.MergeXIni(tree.get()); });
    EXPECT_EQ(Body([&](W& w) { EXPECT_TRUE(w.WriteXIniS("n", document)); }), fromTree);
    // In compact layout markup pieces are joined by one blank, character data by nothing.
    EXPECT_EQ(Written(W::RootCompact,
                      [](W& w) {
                          EXPECT_TRUE(
                              w.MergeXIni("<krini>\n  <x n=\"a\">\n    <i v=\"1\"/>\n    <b>\n      QUJD\n"
                                          "      REVG\n    </b>\n  </x>\n<!-- c\n -->\n</krini>"));
                      }),
              "<krini><x n=\"a\"><i v=\"1\"/><b>QUJDREVG</b></x><!-- c --></krini>");

    auto bad = new_a<TKrXIniTree>();
    bad->AddItem(static_cast<TKrXIniItemType>(9), "q", "");
    bool closed = true;
    Written(
        W::RootOnly, [&](W& w) { EXPECT_THROW(w.MergeXIni(bad.get()), TKrMessage); }, &closed);
    EXPECT_FALSE(closed);
}

TEST(XIniStreamWriter, MergeTextRejectsWhatIsNotABody) {
    std::string out = Body([](W& w) {
        EXPECT_FALSE(w.MergeXIni("<root><i v=\"1\"/></root>"));
        EXPECT_TRUE(w.MergeXIni("<?xml version=\"1.0\"?><krini/>"));
        EXPECT_FALSE(w.MergeXIni("<krini><item v=\"1\"/></krini>"));
        EXPECT_FALSE(w.MergeXIni("<krini><i v=\"1\"/>"));
        EXPECT_FALSE(w.MergeXIni("<krini><x></krini>"));
    });
    // What a failed merge copied before it stopped stays written.
    EXPECT_EQ(out, "<krini>\n  <i v=\"1\"/><x></krini>\n");
}

TEST(XIniStreamWriter, RawWrites) {
    EXPECT_EQ(Body([](W& w) {
                  w.BeginSectionS("s");
                  w.WriteRaw("<i v=\"1\"/>");
                  w.WriteRawBuffer("\n", 1); // the line count is untouched: no indent follows
                  w.WriteRaw("");
                  w.WriteRaw("x");
                  w.EndSection();
                  const char n[] = "a&amp;", v[] = "QUJD";
                  w.WriteItemRaw(I::Binary, n, n + 6, v, v + 4);
                  w.WriteItemRaw(I::Section, nullptr, nullptr, nullptr, nullptr);
                  w.WriteItemRaw(I::String, n, n + 1, v, v);
                  EXPECT_FALSE(w.WriteItemRaw(I::Invalid, n, n, v, v));
              }),
              "<krini>\n  <x n=\"s\">\n    <i v=\"1\"/>\nx</x>\n  <b n=\"a&amp;\">\n    QUJD\n  </b>\n"
              "  <x>\n    <s n=\"a\" v=\"\"/>\n  </x>\n</krini>\n");
}

TEST(XIniStreamWriter, BufferReachesStreamInWholeBlocks) {
    auto out = new_a<TBlockStream>();
    const std::string big(3000, 'v');
    {
        W w(out, 0, W::RootOnly);
        for (int i = 0; i < 1000; ++i)
            w.WriteS<std::string>("s", big);
        EXPECT_EQ(out->blocks, (std::vector<streamsize_t>{W::BufferSize, W::BufferSize}));
        EXPECT_TRUE(w.Flush());
        EXPECT_EQ(out->blocks.size(), 3u);
        EXPECT_TRUE(w.Close());
        EXPECT_TRUE(w.Close()); // idempotent
    }
    EXPECT_EQ(out->blocks.size(), 4u);
    EXPECT_EQ(out->str().size(), 8u + 1000 * (3000 + 18) + 9);

    // A short write: the operation fails, Close reports it, the E forms throw.
    auto failing = new_a<TBlockStream>();
    failing->limit = 0;
    failing->SetInfoName("target.xini");
    W w(failing, 0, W::RootOnly);
    EXPECT_FALSE(w.Flush());
    EXPECT_TRUE(w.HasError());
    EXPECT_THROW(w.CloseE(), TKrMessage);
}

TEST(XIniStreamWriter, GZipLayersDecompress) {
    TScratchDir dir;
    auto body = [](W& w) {
        for (int i = 0; i < 5000; ++i)
            w.WriteS<int>("n", i);
    };
    const std::string plain = Written(W::Full, body);
    for (int layers = 0; layers < 3; ++layers) {
        for (int level : {-1, 0, 9}) {
            bool closed = false;
            std::string data = Written(W::Full, body, &closed, W::CompressionWord(level, layers));
            EXPECT_TRUE(closed);
            for (int k = 0; k <= layers; ++k) {
                dir.Write("doc.gz", data);
                data = RunShell(dir.path, "gzip -dc doc.gz");
            }
            EXPECT_TRUE(data == plain) << layers << " " << level;
        }
    }
    // Any low byte other than 1 means plain text; an invalid level fails the gzip open.
    EXPECT_EQ(Written(W::Full, body, nullptr, 0x0F02), plain);
    bool closed = true;
    EXPECT_EQ(Written(W::Full, body, &closed, 0x0F01), "");
    EXPECT_FALSE(closed);
}

namespace {
// Builds a tree from XIni text with Qt's reader: element letter -> type, n and v attributes,
// the text of b elements with white space removed.
var_a<TKrXIniTree*> ParseWithQt(const std::string& text) {
    QXmlStreamReader xml(QByteArray::fromRawData(text.data(), int(text.size())));
    auto root = new_a<TKrXIniTree>();
    std::vector<TKrXIniTree*> stack;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            const std::string tag = xml.name().toString().toStdString();
            if (tag == "krini") {
                stack.push_back(root.get());
                continue;
            }
            const std::string name = xml.attributes().value("n").toString().toStdString();
            const TKrXIniItemType type = KrXIniItemTypeFromLetter(tag.size() == 1 ? tag[0] : '?');
            if (type == I::Section) {
                stack.push_back(stack.back()->AddSection(name).get());
            } else if (type == I::Binary) {
                std::string b64 = xml.readElementText().toStdString();
                b64.erase(std::remove_if(b64.begin(), b64.end(), [](char c) { return std::isspace(c); }),
                          b64.end());
                stack.back()->AddItem(type, name, b64);
            } else {
                stack.back()->AddItem(type, name, xml.attributes().value("v").toString().toStdString());
            }
        } else if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("x")) {
            stack.pop_back();
        }
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    return root;
}

} // namespace

TEST(XIniStreamWriter, RoundTripThroughIndependentReader) {
    std::mt19937 gen(5);
    const char* alphabet[] = {"a", "b", " ", "<", ">", "&", "\"", "'", "\t", "\n", "\r", "\xC3\xA4", "-"};
    const auto tree = krtest::RandomTree(gen, 3000, [&](std::size_t maxLen) {
        std::string s;
        for (std::size_t n = gen() % maxLen; n > 0; --n)
            s += alphabet[gen() % 13];
        return s;
    });
    auto out = new_a<TKrStringStream>();
    EXPECT_TRUE(WriteKrXIniTree(out.get(), tree.get(), 0, true, nullptr));
    // Qt normalises CR LF to LF only in character data; attribute references stay exact.
    EXPECT_TRUE(tree->EqualContent(*ParseWithQt(out->str())));
}

TEST(XIniStreamWriter, FilesAndFreeFunctions) {
    TScratchDir dir;
    const auto tree = SampleTree();
    auto expected = new_a<TKrStringStream>();
    ASSERT_TRUE(WriteKrXIniTree(expected.get(), tree.get(), 0, false, nullptr));
    EXPECT_TRUE(WriteKrXIniTreeToFile(TKrPath(dir.path + "/t.xini"), tree.get(), 0, true, nullptr));
    EXPECT_EQ(RunShell(dir.path, "cat t.xini"), expected->str());

    {
        var_a<TKrXIniWriter*> w = GetXIniWriter(TKrPath(dir.path + "/w.xini"));
        w->WriteSE<int>("a", 1);
    }
    EXPECT_EQ(RunShell(dir.path, "tail -2 w.xini"), "  <i n=\"a\" v=\"1\"/>\n</krini>\n");
    EXPECT_THROW(
        WriteKrXIniTreeToFile(TKrPath(dir.path + "/no/such/dir/t.xini"), tree.get(), 0, false, nullptr),
        TKrMessage);
    EXPECT_THROW(GetXIniWriter(TKrPath(dir.path + "/no/such/dir/w.xini")), TKrMessage);
}
