// INI dialect: exact writer bytes, typed round trips in both read modes, Python's configparser as
// referee in both directions, bad input, and the emulated registry over scratch folders.
#include "Core/KrMessage.h"
#include "Streams/KrFixedMemStream.h"
#include "Streams/KrStringStream.h"
#include "XIni/KrIni.h"
#include "XIni/KrRegistry.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSettings>

#include <cmath>
#include <cstdio>
#include <functional>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string Write(const std::function<void(TKrIniFileManager&)>& f) {
    TKrStringStream s;
    {
        TKrIniFileManager m(&s, krOpenWrite, false);
        f(m);
    }
    return s.str();
}

// Runs python3 on `script` with `input` on stdin; empty optional-like flag `ok` when unavailable.
std::string Python(const std::string& script, const std::string& input, bool& ok) {
    ok = std::system("python3 -c 'import configparser' >/dev/null 2>&1") == 0;
    if (!ok) return {};
    char dir[] = "/tmp/kriniXXXXXX";
    if (!mkdtemp(dir)) return ok = false, std::string();
    std::string py = std::string(dir) + "/t.py", in = std::string(dir) + "/in.ini";
    std::ofstream(py, std::ios::binary) << script;
    std::ofstream(in, std::ios::binary) << input;
    FILE* f = popen(("python3 " + py + " " + in).c_str(), "r");
    std::string out;
    char buf[4096];
    for (std::size_t n; f && (n = fread(buf, 1, sizeof buf, f)) > 0;)
        out.append(buf, n);
    ok = f && pclose(f) == 0;
    std::filesystem::remove_all(dir);
    return out;
}

const char kDump[] = "import configparser,sys\n"
                     "c=configparser.ConfigParser(interpolation=None,strict=False,allow_no_value=True)\n"
                     "c.optionxform=str\n"
                     "c.read_file(open(sys.argv[1],newline=''))\n"
                     "for s in c.sections():\n"
                     "  for k,v in c.items(s): sys.stdout.write(s+'|'+k+'|'+str(v)+'\\n')\n";

} // namespace

TEST(KrIni, WriterBytesAndSectionRules) {
    EXPECT_EQ(Write([](TKrIniFileManager& m) {
                  EXPECT_TRUE(m.WriteSection("A"));
                  m.WriteInt("n", 5);
              }),
              ";KrINI3.5\r\n\r\n[A]\r\nn=5\r\n\r\n;KrINIend\r\n");
    std::string t = Write([](TKrIniFileManager& m) {
        EXPECT_TRUE(m.WriteSection("A"));
        EXPECT_TRUE(m.WriteSection("A")); // same as the last: nothing written
        EXPECT_TRUE(m.WriteSection("B"));
        EXPECT_FALSE(m.WriteSection("A"));
        EXPECT_TRUE(m.WriteSection("A", true));
        m.WriteString("k", "a\"b", true);
        m.WriteDouble2("d", 0.1, -2.5e-300);
        m.WriteFormatted("f", "iDsb", -7, 1.0, "x y", "\x01\xff");
    });
    EXPECT_EQ(
        t, ";KrINI3.5\r\n\r\n[A]\r\n\r\n[B]\r\n\r\n[A]\r\nk=\"a!Qb\"\r\n"
           "d=1.0000000000000001e-01,-2.5000000000000000e-300\r\nf=-7,1.0000000000000000e+00,\"x y\",01ff\r\n"
           "\r\n;KrINIend\r\n");
}

TEST(KrIni, TypedRoundTripInBothReadModes) {
    const double many[] = {1e308, -0.0, 3.141592653589793, 5e-324};
    const std::string bin("\0\r\n!\"\x7f\xff z", 10);
    std::string text = Write([&](TKrIniFileManager& m) {
        m.WriteSection("S");
        m.WriteInt("i", -2147483647 - 1);
        m.WriteDouble("d", 1.0 / 3);
        m.WriteDouble5("d5", 1, 2, 3, 4, 5);
        m.WriteDoubles("dn", many, 4);
        m.WriteString("s", "plain", false);
        m.WriteStdString("ss", "two\nlines");
        m.WriteRawString("raw", "as is!");
        m.WriteBinary("b", bin.data(), bin.size());
        m.WriteStdBinary("sb", std::string());
        m.WriteFormatted("f", "ids", 3, 2.5, "q");
        m.WriteSection("T");
        m.WriteInt("i", 9);
        m.WriteRawString("long", std::string(1 << 20, 'v')); // no line length limit
    });
    for (krOpenMode mode : {krOpenRead, krOpenReadWrite}) {
        TKrStringStream s(text);
        TKrIniFileManager m(&s, mode, false);
        EXPECT_EQ(m.GetSectionCount(), 2u);
        ASSERT_TRUE(m.SetSection("S"));
        EXPECT_EQ(m.ReadInt("i", 0), -2147483647 - 1);
        EXPECT_EQ(m.ReadDouble("d", 0), 1.0 / 3);
        double v[5] = {};
        EXPECT_EQ(m.ReadDouble5("d5", v, v + 1, v + 2, v + 3, v + 4), 5);
        EXPECT_EQ(v[4], 5);
        double w[6] = {7, 7, 7, 7, 7, 7};
        EXPECT_EQ(m.ReadDoubles("dn", w, 6), 4);
        EXPECT_EQ(w[0], 1e308);
        EXPECT_TRUE(std::signbit(w[1]));
        EXPECT_EQ(w[3], 5e-324);
        EXPECT_EQ(w[4], 7);
        EXPECT_STREQ(m.ReadString("s", "?"), "plain");
        EXPECT_EQ(m.ReadStdString("ss", "?"), "two\nlines");
        EXPECT_STREQ(m.ReadRawString("raw"), "as is!");
        std::string got;
        EXPECT_TRUE(m.ReadStdBinary("b", got));
        EXPECT_EQ(got, bin);
        const void* p = nullptr;
        std::size_t n = 1;
        EXPECT_TRUE(m.ReadBinary("sb", &p, &n));
        EXPECT_EQ(n, 0u);
        int i = 0;
        double d = 0;
        std::string q;
        EXPECT_EQ(m.ReadFormatted("f", "ids", &i, &d, &q), 3);
        EXPECT_EQ(i + d, 5.5);
        EXPECT_EQ(q, "q");
        EXPECT_EQ(m.ReadInt("missing", 42), 42);
        EXPECT_EQ(m.ReadRawString("missing"), nullptr);
        EXPECT_EQ(m.ReadInt("s", -1), -1); // not a number
        ASSERT_TRUE(m.SetSection("T"));
        EXPECT_EQ(m.ReadInt("i", 0), 9);
        EXPECT_EQ(m.ReadStdString("long", "").size(), 1u << 20);
        EXPECT_FALSE(m.SetSection("s"));
    }
}

TEST(KrIni, ReaderSearchAndCaseRules) {
    std::string text = ";KrINI3.5\r\n\r\n[X]\r\na=1\r\nb=2\r\nc=3\r\nName=n\r\nr=1,2\r\n\r\n;KrINIend\r\n";
    TKrStringStream s(text);
    TKrIniFileManager r(&s, krOpenRead, false);
    ASSERT_TRUE(r.SetSection("X"));
    for (auto [key, want] :
         std::vector<std::pair<const char*, int>>{{"b", 2}, {"a", 1}, {"c", 3}, {"c", 3}, {"a", 1}})
        EXPECT_EQ(r.ReadInt(key, 0), want) << key;
    EXPECT_STREQ(r.ReadString("name", "absent"), "absent"); // exact spelling in a reader
    double a = 0, b = 0, c = -1;
    EXPECT_EQ(r.ReadDouble3("r", &a, &b, &c), 2);
    EXPECT_EQ(c, -1);
    std::vector<std::string> keys;
    EXPECT_TRUE(r.ReadSection(keys));
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "c", "Name", "r", ";KrINIend"}));
    EXPECT_THROW(r.WriteInt("a", 1), std::runtime_error);

    TKrStringStream s2(text);
    TKrIniFileManager rw(&s2, krOpenReadWrite, false);
    rw.SetSection("X");
    EXPECT_STREQ(rw.ReadString("name", "absent"), "n");
}

TEST(KrIni, ReaderWriterRewritesSortedAndChecksInput) {
    TKrStringStream s(";c\n[b]\nk=1\nbare line\n\n[a]\nK=2\n");
    {
        TKrIniFileManager m(&s, krOpenReadWrite, false);
        m.SetSection("a");
        m.WriteInt("k", 3); // replaces K
        m.WriteSection("c");
        m.WriteInt("new", 4);
        EXPECT_TRUE(m.DeleteSection("b"));
    }
    EXPECT_EQ(s.str(), ";KrINI3.5\r\n\r\n[a]\r\nK=3\r\n\r\n[c]\r\nnew=4\r\n\r\n;KrINIend\r\n");

    for (auto [text, what] : std::vector<std::pair<std::string, std::string>>{
             {"[a]\nx=1\n[a]\n", "illegal ini file"}, {"[a]\nx=1\n[broken\n", "line 3"}}) {
        TKrStringStream t(text);
        try {
            TKrIniFileManager m(&t, krOpenReadWrite, false);
            ADD_FAILURE() << text;
        } catch (const std::exception& e) {
            EXPECT_NE(std::string(e.what()).find(what), std::string::npos) << e.what();
        }
    }
}

TEST(KrIni, UsageErrorsAndFailures) {
    EXPECT_THROW(TKrIniFileManager(nullptr, krOpenRead, true), std::invalid_argument);
    TKrStringStream s;
    TKrIniFileManager w(&s, krOpenWrite, false);
    EXPECT_THROW(w.ReadInt("a", 0), std::runtime_error);
    EXPECT_THROW(w.WriteFormatted("f", "x", 1), std::invalid_argument);
    // Odd and bad hex in a 'b' value name the key.
    TKrStringStream h(";KrINI3.5\r\n\r\n[A]\r\nodd=abc\r\nbad=zz\r\n");
    TKrIniFileManager r(&h, krOpenRead, false);
    r.SetSection("A");
    std::string out;
    for (const char* key : {"odd", "bad"})
        try {
            r.ReadFormatted(key, "b", &out);
            ADD_FAILURE() << key;
        } catch (const TKrMessage& e) {
            EXPECT_NE(std::string(e.what()).find(key), std::string::npos) << e.what();
        }
    // A full stream sets the failure flag.
    char buf[16];
    auto* fixed = new TKrFixedMemStream(buf, sizeof buf, krOpenWrite);
    TKrIniFileManager f(fixed, krOpenWrite, true);
    EXPECT_FALSE(f.WriteRawString("long", std::string(20, 'x')));
    EXPECT_EQ(f.WriteStatus(), 2);
}

TEST(KrIni, ConfigParserReadsWhatWeWrite) {
    std::string text = Write([](TKrIniFileManager& m) {
        m.WriteSection("Main");
        m.WriteInt("Count", 12);
        m.WriteDouble("x", 0.5);
        m.WriteString("name", "with % and ; and \"q\"", true);
        m.WriteSection("Empty");
        m.WriteSection("Last");
        m.WriteRawString("raw", "a=b");
    });
    bool ok = false;
    std::string got = Python(kDump, text, ok);
    if (!ok) GTEST_SKIP() << "python3 with configparser is not available";
    EXPECT_EQ(got, "Main|Count|12\nMain|x|5.0000000000000000e-01\nMain|name|\"with % and ; and !Qq!Q\"\n"
                   "Last|raw|a=b\n");
}

TEST(KrIni, WeReadWhatConfigParserWrites) {
    // configparser writes sections, keys and values; we add its other accepted forms by hand.
    const char script[] = "import configparser,sys\n"
                          "c=configparser.ConfigParser(interpolation=None)\n"
                          "c.optionxform=str\n"
                          "c['one']={'a':'1','Mixed':'x y','pi':'3.25'}\n"
                          "c['empty']={}\n"
                          "c['two']={'list':'1.5,2,3'}\n"
                          "c.write(open(sys.argv[1],'w',newline='\\r\\n'),space_around_delimiters=False)\n"
                          "sys.stdout.write(open(sys.argv[1],newline='').read())\n";
    bool ok = false;
    std::string text = Python(script, "", ok);
    if (!ok) GTEST_SKIP() << "python3 with configparser is not available";
    text = "; a comment\r\n\r\n" + text + "[odd]\r\nk = spaced\r\nk=first\r\nk=second\r\n";
    TKrStringStream s(text);
    TKrIniFileManager r(&s, krOpenRead, false);
    EXPECT_EQ(r.GetSectionCount(), 4u);
    EXPECT_EQ(r.GetSectionName(0), "one"); // a header on the first line of text counts too
    ASSERT_TRUE(r.SetSection("one"));
    EXPECT_EQ(r.ReadInt("a", 0), 1);
    EXPECT_EQ(r.ReadStdString("Mixed", ""), "x y");
    EXPECT_EQ(r.ReadDouble("pi", 0), 3.25);
    ASSERT_TRUE(r.SetSection("empty"));
    std::vector<std::string> keys;
    r.ReadSection(keys);
    EXPECT_TRUE(keys.empty());
    ASSERT_TRUE(r.SetSection("two"));
    double v[3] = {};
    EXPECT_EQ(r.ReadDoubles("list", v, 3), 3);
    ASSERT_TRUE(r.SetSection("odd"));
    EXPECT_STREQ(r.ReadRawString("k"), "first"); // "k " is another key; the first duplicate wins
    EXPECT_STREQ(r.ReadRawString("k "), " spaced");
}

// ---- registry --------------------------------------------------------------------------------

class KrRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/kriniregXXXXXX";
        ASSERT_TRUE(mkdtemp(dir));
        m_dir = dir;
        setenv("HOME", (m_dir + "/home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_dir + "/home/.config").c_str(), 1);
        std::filesystem::create_directories(m_dir + "/etc/7");
        TKrRegIniHandle::relocate(QString(), QString::fromStdString(m_dir + "/etc"));
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string UserFile() const { return m_dir + "/home/.config/tessal/korvinex/7/config.ini"; }
    static std::string Slurp(const std::string& f) {
        std::ifstream in(f, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string m_dir;
};

TEST_F(KrRegistry, PathsValuesAndGroups) {
    EXPECT_EQ(TKrRegIniHandle::prepRegPath(1, QStringLiteral("Software\\My App\\Opt")),
              QStringLiteral("hkcu/Software/My_App/Opt"));
    EXPECT_EQ(TKrRegIniHandle::prepRegPath(7, QStringLiteral("x")), QStringLiteral("hklm/x"));
    const QString path = QStringLiteral("Software\\My App");
    EXPECT_FALSE(TKrRegMan(1, path, krRegWrite).isOpen()); // must exist
    EXPECT_TRUE(TKrRegMan::writeString(1, path, QStringLiteral("Opt"), QStringLiteral("v 1"), true));
    EXPECT_NE(Slurp(UserFile()).find("My_App"), std::string::npos);
    EXPECT_TRUE(TKrRegIniHandle::exists(1, QStringLiteral("Software")));
    EXPECT_FALSE(TKrRegIniHandle::exists(1, QStringLiteral("Soft")));
    TKrRegMan m(1, path, krRegRead);
    ASSERT_TRUE(m.isOpen());
    EXPECT_EQ(m.readString(QStringLiteral("Opt")), QStringLiteral("v 1"));
    EXPECT_TRUE(m.writeString(QStringLiteral("Sub"), QStringLiteral("N"), QStringLiteral("2")));
    EXPECT_EQ(TKrRegMan::readString(1, path + QStringLiteral("\\Sub"), QStringLiteral("N")),
              QStringLiteral("2"));
    EXPECT_TRUE(m.removeEntry(QStringLiteral("Opt")));
    EXPECT_EQ(m.readString(QStringLiteral("Opt")), QString());
    EXPECT_EQ(TKrRegIniHandle::getSettings(0), nullptr);
}

TEST_F(KrRegistry, ReadOnlyMachineFileFallsBackToUser) {
    const std::string machine = m_dir + "/etc/7/config.ini";
    std::ofstream(machine) << "[hklm]\nSoftware\\Tool\\Mode=site\n";
    const bool root = geteuid() == 0;
    const bool locked = root ? std::system(("chattr +i '" + machine + "' 2>/dev/null").c_str()) == 0
                             : ::chmod(machine.c_str(), 0444) == 0;
    if (!locked) GTEST_SKIP() << "cannot make the machine file read-only";
    TKrRegIniHandle::relocate(QString(), QString::fromStdString(m_dir + "/etc"));
    EXPECT_FALSE(TKrRegIniHandle::machineWritable());
    EXPECT_EQ(TKrRegMan::readString(2, QStringLiteral("Software\\Tool"), QStringLiteral("Mode")),
              QStringLiteral("site"));
    EXPECT_FALSE(TKrRegIniHandle::createValue(2, QStringLiteral("Software"), QStringLiteral("x")));
    TKrRegMan m(2, krRegCreate);
    EXPECT_EQ(m.key(), 1);
    EXPECT_TRUE(m.writeString(QStringLiteral("Software\\Tool\\Mode"), QStringLiteral("mine")));
    EXPECT_NE(Slurp(UserFile()).find("mine"), std::string::npos);
    EXPECT_EQ(Slurp(machine).find("mine"), std::string::npos);
    if (root) (void)std::system(("chattr -i '" + machine + "' 2>/dev/null").c_str());
}
