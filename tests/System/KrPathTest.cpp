// TKrPath text rules: normalisation, classification, composition, name parts, comparison,
// relative forms. Nothing here touches the disk.
#include "Core/KrMessage.h"
#include "System/KrPath.h"

#include <QString>

#include <gtest/gtest.h>

#include <random>

namespace {
/// Checks `op` on each (input, expected) pair.
template <class Op> void ExpectEach(std::initializer_list<std::pair<const char*, const char*>> cases, Op op) {
    for (const auto& c : cases)
        EXPECT_EQ(op(TKrPath(c.first)), c.second) << "input: " << c.first;
}
std::string Rel(const std::string& p, const std::string& base) {
    return TKrPath(p).makeRelative(base).str();
}
} // namespace

TEST(KrPathText, NormalisationTouchesOnlySlashesAndBareDrives) {
    // clang-format off
    ExpectEach({{"C:", "C:/"}, {"z:", "z:/"}, {"1:", "1:"}, {"C:\\x\\\\y", "C:/x/y"},
                {"\\\\srv\\share", "//srv/share"}, {"///x", "//x"}, {"a//b///c/", "a/b/c/"},
                {"./A/../B/", "./A/../B/"}, {"", ""}},
               [](const TKrPath& p) { return p.str(); });
    // clang-format on
    EXPECT_EQ(TKrPath(static_cast<const char*>(nullptr)).str(), "");
    EXPECT_EQ(TKrPath(L"d\\\u00e9//x").str(), "d/\xc3\xa9/x");
    EXPECT_EQ(TKrPath(QString::fromUtf8("\\\\h\\\xc3\xbc")).str(), "//h/\xc3\xbc");
    TKrPath p("x");
    p.setPath("C:\\\\a");
    EXPECT_EQ(p.str(), "C:/a");
}

TEST(KrPathText, Classification) {
    // Columns: drive, network, Unix root, absolute.
    // clang-format off
    ExpectEach({{"/", "0011"}, {"/a", "0011"}, {"//a", "0101"}, {"//", "0000"}, {"C:", "1001"},
                {"c:/x", "1001"}, {"C:x", "0000"}, {"a/b", "0000"}, {"", "0000"}},
               [](const TKrPath& p) {
                   std::string bits;
                   for (bool b : {p.isWinDisk(), p.isWinNetwork(), p.isRoot(), p.isAbsolute()})
                       bits += b ? '1' : '0';
                   EXPECT_NE(p.isAbsolute(), p.isRelative());
                   return bits;
               });
    // clang-format on
}

TEST(KrPathText, Composition) {
    EXPECT_EQ((TKrPath("x") / "/y").str(), "/y");
    EXPECT_EQ((TKrPath("x") / "C:\\y").str(), "C:/y");
    EXPECT_EQ((TKrPath("x") / TKrPath()).str(), "x/");
    EXPECT_EQ((TKrPath("x/") / "y").str(), "x/y");
    EXPECT_EQ((TKrPath() / "y").str(), "y");
    TKrPath acc("a");
    acc /= "b\\c/";
    EXPECT_EQ(acc.str(), "a/b/c/");
    EXPECT_EQ(TKrPath("a").addStr("\\\\b").str(), "a\\\\b"); // as it stands, no normalisation

    ExpectEach({{"C:/", "C:/"}, {"C:/a/", "C:/a"}, {"/", "/"}, {"//", "//"}, {"//srv/", "//srv"}, {"a", "a"}},
               [](const TKrPath& p) { return p.remSlash().str(); });
    ExpectEach({{"a/b/", "a/"}, {"a/b", "a/"}, {"b", ""}, {"/", ""}},
               [](const TKrPath& p) { return p.path(true).str(); });
    EXPECT_EQ(TKrPath("a/b/").path().str(), "a/b/");
    EXPECT_EQ(TKrPath("a/b/").fileName(), "");
}

TEST(KrPathText, NamePartsIgnoreLeadingDots) {
    // base | fullBase | mainExt | fullExt | removeMainExt | removeFullExt
    // clang-format off
    ExpectEach({{"dir/arch.tar.gz", "arch|arch.tar|.gz|.tar.gz|dir/arch.tar|dir/arch"},
                {".bashrc", ".bashrc|.bashrc|||.bashrc|.bashrc"},
                {"a/.bashrc", ".bashrc|.bashrc|||a/.bashrc|a/.bashrc"},
                {"dir.d/file", "file|file|||dir.d/file|dir.d/file"},
                {"..x.y.z", "..x|..x.y|.z|.y.z|..x.y|..x"},
                {"a.", "a|a|.|.|a|a"},
                {"...", "...|...|||...|..."},
                {"d/", "||||d/|d/"}},
               [](const TKrPath& p) {
                   EXPECT_EQ(p.toExecutable().str(), p.removeMainExt().str());
                   return p.baseName() + "|" + p.fullBaseName() + "|" + p.mainExt() + "|" + p.fullExt() +
                          "|" + p.removeMainExt().str() + "|" + p.removeFullExt().str();
               });
    // clang-format on
}

TEST(KrPathText, ComparisonIgnoresCaseAndOneTrailingSlash) {
    EXPECT_EQ(TKrPath("A/B/"), TKrPath("a/b"));
    EXPECT_EQ(TKrPath("C:/Data/"), TKrPath("c:\\data"));
    EXPECT_NE(TKrPath("a/b"), TKrPath("a/bc"));
    EXPECT_NE(TKrPath("/"), TKrPath(""));
    EXPECT_EQ(TKrPath("/x/\xc3\x84Rger"), TKrPath("/X/\xc3\xa4rger/")); // non-ASCII letters fold too
    EXPECT_NE(TKrPath("\xc3\x84"), TKrPath("\xc3\xa5"));

    EXPECT_EQ(pathcmp(TKrPath("A/b/"), TKrPath("a/B")), 0);
    EXPECT_LT(pathcmp(TKrPath("a/B"), TKrPath("a/c")), 0);
    EXPECT_GT(pathcmp(TKrPath("B"), TKrPath("a")), 0);
    EXPECT_EQ(TKrPath("a/b/").normalise(), "A/B");
    EXPECT_EQ(TKrPath("a/\xc3\xa4/").normalise(false), "A/\xc3\x84/");
    EXPECT_EQ((TKrMessage("@open %1%") << TKrPath("x//y")).std_str(), "@open x/y");
}

TEST(KrPathText, Simplify) {
    // Nothing clamps at the root; a relative result that would read as a drive keeps its "./".
    // clang-format off
    ExpectEach({{"/a/../../b", "/../b"}, {"/a/./b/../c/", "/a/c"}, {"/a/..", "/"}, {"C:/a/..", "C:/"},
                {"C:/..", "C:/.."}, {"//srv/share/../x", "//srv/x"}, {"a/b/../../..", ".."},
                {"../../a/./b", "../../a/b"}, {"./a", "a"}, {"a/..", "."}, {"", ""}, {"x/../C:", "./C:"}},
               [](const TKrPath& p) { return p.simplify().str(); });
    // clang-format on
    EXPECT_EQ(TKrPath("//srv/s").simplify_ex(), (std::vector<std::string>{"//srv", "s"}));
}

TEST(KrPathText, AbsoluteRelativeAndCommonForms) {
    EXPECT_EQ(TKrPath("a/../b").makeAbsolute(TKrPath("/base/")).str(), "/base/b");
    EXPECT_EQ(TKrPath("a/../b").makeAbsolute(TKrPath("base")).str(), "");
    EXPECT_EQ(TKrPath("/x/./y").makeAbsolute(TKrPath("/base")).str(), "/x/./y"); // absolute: unchanged
    EXPECT_EQ(TKrPath("c").makeAbsolute().str(), TKrPath::workingDir().addStr("c").str());

    EXPECT_EQ(Rel("/a/b/c", "/a/x/y"), "../../b/c");
    EXPECT_EQ(Rel("C:/Data/Img/1.tif", "c:/data"), "Img/1.tif");
    EXPECT_EQ(Rel("/a/b", "/a/b/"), ".");
    EXPECT_EQ(Rel("//srv/s/x", "//SRV/s/y"), "../x");
    EXPECT_EQ(Rel("../x", "y"), "../../x");
    EXPECT_EQ(Rel("D:/x", "C:/x"), "D:/x");    // other drive
    EXPECT_EQ(Rel("/x", "y"), "/x");           // absolute against relative
    EXPECT_EQ(Rel("//a/x", "//b/x"), "//a/x"); // other server
    EXPECT_EQ(Rel("x/y", "../z"), "x/y");      // no way back out of the base's ".."

    EXPECT_EQ(TKrPath("/a/B/c").commonPath(TKrPath("/a/b/d/../e")).str(), "/a/B");
    EXPECT_EQ(TKrPath("/a").commonPath(TKrPath("/b")).str(), "/");
    EXPECT_EQ(TKrPath("C:/a").commonPath(TKrPath("D:/a")).str(), "");

    EXPECT_EQ(TKrPath("//srv/share/x/").split(), (std::vector<std::string>{"//srv/", "share", "x"}));
    EXPECT_EQ(TKrPath("C:/x").split(), (std::vector<std::string>{"C:/", "x"}));
    EXPECT_EQ(TKrPath("a/../b").split(), (std::vector<std::string>{"a", "..", "b"}));
    ExpectEach({{"C:/x", "x"}, {"//srv/x", "srv/x"}, {"/x", "x"}, {"x/y", "x/y"}},
               [](const TKrPath& p) { return p.stripAbs().str(); });
}

// base / makeRelative(p, base) leads back to p for random absolute paths of the same root.
TEST(KrPathText, RelativeFormLeadsBack) {
    std::mt19937 gen(7);
    const char* names[] = {"a", "B", "c", ".", "..", "dd", "A"};
    auto randomPath = [&](const std::string& root) {
        std::string s = root;
        for (int n = static_cast<int>(gen() % 6); n > 0; --n)
            s += std::string(names[gen() % 7]) + "/";
        return TKrPath(s);
    };
    for (int i = 0; i < 2000; ++i) {
        const std::string root = (i % 3 == 0) ? "C:/" : (i % 3 == 1) ? "/" : "//srv/";
        TKrPath p = randomPath(root), base = randomPath(root);
        TKrPath rel = p.makeRelative(base);
        bool baseHasDotDot = false;
        for (const std::string& c : base.simplify_ex())
            baseHasDotDot |= c == "..";
        if (baseHasDotDot) continue;
        ASSERT_TRUE(rel.isRelative()) << p << " from " << base << " gave " << rel;
        EXPECT_EQ((base / rel).simplify(), p.simplify()) << p << " from " << base << " gave " << rel;
    }
}

TEST(KrPathText, Validation) {
    EXPECT_TRUE(TKrPath::isValidFileName("a b.txt"));
    for (const std::string& bad :
         {std::string(), std::string("a/b"), std::string("a\\b"), std::string("a\0b", 3)})
        EXPECT_FALSE(TKrPath::isValidFileName(bad)) << bad;
    EXPECT_FALSE(TKrPath("").isPathValid());
    EXPECT_FALSE(TKrPath(std::string("a\0b", 3)).isPathValid());
    EXPECT_EQ(TKrPath::makeValidFileName(" a\tb\nc\r\v\fd"), "_a_b_c___d");
}
